// The options window's pictures, drawn by the library itself: the node images of the category
// tree and the three looks of the host's toolbar button.
#pragma once
#include <windows.h>
#include <commctrl.h>

// Images 1 to 8 as the category file's node kinds number them; shared, never freed.
HIMAGELIST CategoryImageList();
// A new bitmap (the caller owns it) of the toolbar button: 0 up, 1 down, 2 up with the pointer over it.
HBITMAP DrawToolbarButtonPicture(int which);
