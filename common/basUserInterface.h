// Window placement and its memory in the registry, the layout of a window's controls after
// a resize, list-view column sizing, the host's status-bar text and the group switching of
// a window's controls during long work.
#pragma once
#include <windows.h>

#include <string>
#include <string_view>

#include "win/Window.h"

// PlaceForm modes.
enum PlaceHorizontal : int { phFraction = 3, phCentre = 4, phRight = 5 };
enum PlaceVertical : int { pvFraction = 0, pvCentre = 1, pvBottom = 2 };

// FormGetSetPosAndSize actions.
enum PlacementAction : short { plRestore = 22, plSave = 29 };

// Moves the window against reference (nullptr: the screen); its size stays.
void PlaceForm(win::Window& form, int horizontalMode, int verticalMode, const win::Window* reference = nullptr,
               double horizontalFraction = 0, double verticalFraction = 0);

// 22 restores the window's placement from the host key's subkey 1, 29 saves it there.
void FormGetSetPosAndSize(short action, win::Window& form);

// Re-lays out the controls by their anchors after the window's size changed.
void ResizeControls(win::Window& form);
// False while the window has nothing to lay its controls out in: its host frame (or itself) is
// minimized, or its client area is empty.
bool HasRoomForLayout(const win::Window& form);

// Sizes the columns from firstColumn (0-based) to their contents and headers; report view only.
void ListViewAutoSizeColumns(win::ListView& list, bool hideWhileSizing = false, int firstColumn = 0);

void ScrollToLeft(win::Control& control);

// 0 normal, 1 minimised, 2 maximised; a form inside the host frame answers its extender's state.
int GetFormWindowState(const win::Window& form);

// True when a loaded window of this thread has the name (text compare).
bool GetLoadedForm(std::wstring_view formName);

win::Window* GetTopParent(win::Control& control);
win::Window* GetTopParent(win::Window& form);

// Writes text into a panel (from 1) of the host frame's status bar, at most every 250 ms
// unless forced or the panel turns empty or non-empty.
bool ShowStatus(long panel, const std::wstring& text, bool hourglass = false, bool force = false);

// ".ext" from whatever the user typed.
std::wstring NormalizeExtension(std::wstring_view extension);

// Switches the window's controls off (false) and back on (true), nested; true when this call
// changed the controls.
bool SetControlsEnabled(win::Window& form, bool enable);
// Sets one control's state, or records it while the window's controls are switched off.
bool SetControlEnabled(win::Window& form, win::Control& control, bool enable);
bool CanReceiveFocus(const win::Control& control);

// The clock of the status-bar throttle; nullptr restores local time. Tests drive it.
void SetStatusClock(SYSTEMTIME (*clock)());
// Forgets the throttle's state, as at the library's start.
void ResetStatusThrottle();
