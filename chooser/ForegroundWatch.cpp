#include "ForegroundWatch.h"

#include <cmath>

long LockTicksFromTimeout(bool readOk, DWORD timeoutMs, long intervalMs) {
    if (!readOk || intervalMs <= 0) return 0;
    return static_cast<long>(std::nearbyint(static_cast<double>(timeoutMs) / static_cast<double>(intervalMs)));
}

TickAction ForegroundTick(ForegroundWatch& watch, HWND self, HWND foreground, HWND foregroundAgain) {
    ++watch.ticks;
    if (foreground == self) {
        watch.hasBeenForeground = true;
        return TickAction::None;
    }
    // The user has left the list.
    if (watch.hasBeenForeground) return TickAction::Close;
    if (watch.ticks >= watch.lockTicks) return TickAction::RequestForeground;
    // The user turned to another window before the list came to the front.
    if (foregroundAgain != watch.atActivation) return TickAction::Close;
    return TickAction::None;
}
