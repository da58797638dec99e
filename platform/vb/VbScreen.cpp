#include "vb/VbScreen.h"

#include <windows.h>

#include "vb/VbPumpFilter.h"

namespace vb {

namespace {
int LogPixels(int index) {
    HDC dc = GetDC(nullptr);
    int dpi = dc ? GetDeviceCaps(dc, index) : 96;
    if (dc) ReleaseDC(nullptr, dc);
    return dpi > 0 ? dpi : 96;
}
thread_local int g_pointer = vbDefault;
PumpFilter g_pumpFilter = nullptr;
}  // namespace

PumpFilter SetPumpFilter(PumpFilter filter) {
    PumpFilter previous = g_pumpFilter;
    g_pumpFilter = filter;
    return previous;
}

int TwipsPerPixelX() { return 1440 / LogPixels(LOGPIXELSX); }
int TwipsPerPixelY() { return 1440 / LogPixels(LOGPIXELSY); }

long ScreenWidth() { return static_cast<long>(GetSystemMetrics(SM_CXSCREEN)) * TwipsPerPixelX(); }
long ScreenHeight() { return static_cast<long>(GetSystemMetrics(SM_CYSCREEN)) * TwipsPerPixelY(); }

int ScreenMousePointer() { return g_pointer; }

void* ScreenCursorOverride() {
    switch (g_pointer) {
        case vbDefault: return nullptr;
        case vbHourglass: return LoadCursorW(nullptr, IDC_WAIT);
        case vbArrowHourglass: return LoadCursorW(nullptr, IDC_APPSTARTING);
        default: return LoadCursorW(nullptr, IDC_ARROW);
    }
}

void SetScreenMousePointer(int pointer) {
    g_pointer = pointer;
    HCURSOR cursor = static_cast<HCURSOR>(ScreenCursorOverride());
    SetCursor(cursor ? cursor : LoadCursorW(nullptr, IDC_ARROW));
}

void DoEvents() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            return;
        }
        if (g_pumpFilter && g_pumpFilter(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

}  // namespace vb
