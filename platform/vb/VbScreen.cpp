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
// The newest of this thread's pump filters; each links to the one installed before it.
thread_local PumpFilterScope* g_newestPumpFilter = nullptr;
}  // namespace

PumpFilterScope::PumpFilterScope(PumpFilter filter) : filter_(std::move(filter)), older_(g_newestPumpFilter) {
    if (older_) older_->newer_ = this;
    g_newestPumpFilter = this;
}

PumpFilterScope::~PumpFilterScope() {
    // Scopes of different owners may end in any order: each takes out only itself.
    if (newer_)
        newer_->older_ = older_;
    else if (g_newestPumpFilter == this)
        g_newestPumpFilter = older_;
    if (older_) older_->newer_ = newer_;
}

int InstalledPumpFilters() {
    int count = 0;
    for (const PumpFilterScope* scope = g_newestPumpFilter; scope; scope = scope->Older()) ++count;
    return count;
}

bool FilterPumpedMessage(MSG& msg) {
    for (PumpFilterScope* scope = g_newestPumpFilter; scope;) {
        // The next one is taken before this one runs.
        PumpFilterScope* older = scope->Older();
        if (scope->Filter(msg)) return true;
        scope = older;
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
        if (g_newestPumpFilter && FilterPumpedMessage(msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

}  // namespace vb
