// The list window's timer: during the system's foreground lock period the list does not
// push itself to the front and closes when the foreground moves elsewhere; after it, the
// list asks for the foreground on every tick. Once it has been in front, losing the
// foreground closes it. Kept apart from the window so each tick's decision can be checked.
#pragma once
#include <windows.h>

struct ForegroundWatch {
    long lockTicks = 0;          // the lock timeout in timer ticks
    HWND atActivation = nullptr; // the foreground window when the list was first activated
    bool hasBeenForeground = false;
    long ticks = 0;
};

enum class TickAction { None, RequestForeground, Close };

// The lock timeout in ticks of intervalMs, halves to even; 0 when reading the timeout failed.
long LockTicksFromTimeout(bool readOk, DWORD timeoutMs, long intervalMs = 100);

// One tick, after pending messages have run: foreground is the foreground window, and
// foregroundAgain the answer when it is asked a second time.
TickAction ForegroundTick(ForegroundWatch& watch, HWND self, HWND foreground, HWND foregroundAgain);
