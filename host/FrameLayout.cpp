#include "FrameLayout.h"

#include <cmath>

namespace {
long ToLong(double value) { return static_cast<long>(std::nearbyint(value)); }
}  // namespace

FrameBox KeepFrameOnScreen(FrameBox box, long screenWidth, long screenHeight) {
    if (box.top > screenHeight) box.top = ToLong(screenHeight * 0.9);
    if (box.top < 0) box.top = ToLong(screenHeight * 0.05);
    if (box.height > screenHeight) box.height = ToLong((screenHeight - box.top) * 0.95);
    if (box.width > screenWidth) box.width = ToLong(screenWidth * 0.9);
    return box;
}

float SpacerWidth(long frameWidth, long buttonsWidth, long button1Height, int twipsPerPixelX, int twipsPerPixelY) {
    return static_cast<float>(static_cast<double>(frameWidth - buttonsWidth) / twipsPerPixelX -
                              (button1Height * 0.33) / twipsPerPixelY);
}

short ToolbarMinWidth(long button1Height, long buttonsWidth, int twipsPerPixelX, int twipsPerPixelY) {
    return static_cast<short>(
        std::nearbyint(button1Height * 0.5 / twipsPerPixelY + static_cast<double>(buttonsWidth) / twipsPerPixelX));
}
