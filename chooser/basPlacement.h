// The chooser's small window routines: the list view's height for a number of rows, the
// list window's place at the mouse pointer (kept on the screen and clear of the taskbar),
// the taskbar's rectangle and the screen's size.
#pragma once
#include <windows.h>

#include "win/Window.h"

// The margin the placement keeps at the screen's edges, in twips.
inline constexpr long kPlacementMargin = 75;

// Top, Left, Width, Height, all in twips.
struct TaskbarRect {
    long Top = 0;
    long Left = 0;
    long Width = 0;
    long Height = 0;
};

// The outer height in pixels that shows Rows rows of a report-view list view (the column
// header not counted); 0 when it cannot tell.
long GetListViewHeightForRows(const win::ListView* listView, long Rows);

// What the placement works from, all in twips.
struct CursorPlacementInput {
    long formLeft = 0, formTop = 0, formWidth = 0, formHeight = 0;
    long cursorX = 0, cursorY = 0;  // the pointer in the window's client coordinates
    double xOffset = 0, yOffset = 0;
    long screenWidth = 0, screenHeight = 0;
    TaskbarRect taskbar;
};
struct CursorPlacement {
    long left = 0;
    long top = 0;
};
// Where the window goes: at the pointer less the offsets, kept 75 twips inside the screen's
// edges and off the taskbar's band.
CursorPlacement PlaceAtCursor(const CursorPlacementInput& in);

// Moves the window to the mouse pointer, as PlaceAtCursor says. The offsets are in twips.
void PlaceFormAtCursor(win::Window& form, double XOffset, double YOffset);

// The taskbar's window rectangle in twips; all zeros when there is no taskbar.
void GetTaskbarRect(TaskbarRect& rect);

// The screen in pixels (Units 0), twips (1), whole inches (2) or points of whole inches (3).
void GetScreenSize(long& Width, long& Height, long Units = 0);

// A whole number from a real one, halves to the even neighbour, as the run time converts.
long RoundHalfEven(double value);
