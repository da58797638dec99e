// The screen as the run time sees it: twips per pixel, its size in twips, the application's
// mouse pointer, and DoEvents (one pass over the pending window messages).
#pragma once

namespace vb {

// 1440 / LOGPIXELSX (horizontally) and 1440 / LOGPIXELSY (vertically).
int TwipsPerPixelX();
int TwipsPerPixelY();

long ScreenWidth();   // twips
long ScreenHeight();  // twips

// Mouse pointers as the run time numbers them.
enum : int { vbDefault = 0, vbArrow = 1, vbHourglass = 11, vbArrowHourglass = 13 };
int ScreenMousePointer();
void SetScreenMousePointer(int pointer);
// The cursor the application's windows show while the screen pointer is not the default;
// nullptr while it is.
void* ScreenCursorOverride();

// Processes the messages waiting for this thread, then returns. A WM_QUIT is left in the queue.
void DoEvents();

}  // namespace vb
