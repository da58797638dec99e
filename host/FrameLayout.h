// The frame's size rules: kept on the screen after a resize, and the toolbar's spacer that
// takes up the free width so that the host's own buttons sit at the right end.
#pragma once

// The frame's outer box in twips.
struct FrameBox {
    long top = 0, left = 0, width = 0, height = 0;
};

// In this order, each step seeing the earlier ones' result: a Top below the screen goes to
// 90 % of the screen height, a negative Top to 5 %; a frame taller than the screen becomes 95 %
// of the space below its Top, one wider than the screen 90 % of the screen width.
FrameBox KeepFrameOnScreen(FrameBox box, long screenWidth, long screenHeight);

// The spacer's width in pixels: (frame width - other buttons' width) in pixels, less a third of
// button 1's height. All inputs in twips.
float SpacerWidth(long frameWidth, long buttonsWidth, long button1Height, int twipsPerPixelX, int twipsPerPixelY);

// The smallest width the toolbar needs, in pixels (half of button 1's height added).
short ToolbarMinWidth(long button1Height, long buttonsWidth, int twipsPerPixelX, int twipsPerPixelY);
