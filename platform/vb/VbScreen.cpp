#include "vb/VbScreen.h"

#include <windows.h>

#include <algorithm>
#include <vector>

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
// The pumps' filters of this thread, oldest first.
thread_local std::vector<PumpFilterScope*> g_pumpFilters;
}  // namespace

PumpFilterScope::PumpFilterScope(PumpFilter filter) : filter_(std::move(filter)) { g_pumpFilters.push_back(this); }

PumpFilterScope::~PumpFilterScope() {
    // Scopes of different owners may end in any order: each takes out only itself.
    g_pumpFilters.erase(std::remove(g_pumpFilters.begin(), g_pumpFilters.end(), this), g_pumpFilters.end());
}

int InstalledPumpFilters() { return static_cast<int>(g_pumpFilters.size()); }

bool FilterPumpedMessage(MSG& msg) {
    // A filter may end its own scope or another's while it runs: the list is read afresh each time.
    for (size_t i = g_pumpFilters.size(); i > 0; --i) {
        if (i > g_pumpFilters.size()) continue;
        if (g_pumpFilters[i - 1]->Filter(msg)) return true;
    }
    return false;
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
        if (!g_pumpFilters.empty() && FilterPumpedMessage(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

}  // namespace vb
