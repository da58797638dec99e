// The host's frame window for the host's small windows: the window they centre on and that
// owns them while they are shown.
#pragma once
#include "win/Window.h"

// The loaded frame; nullptr before its load and after its unload.
win::Window* FrameWindow();
HWND FrameHandle();
