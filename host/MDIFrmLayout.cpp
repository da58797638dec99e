// The frame's resize: kept on the screen, its normal placement recorded, the tray step when
// minimized, the options window reopened after a restore; and the toolbar's spacer.
#include <cmath>

#include "FrameLayout.h"
#include "HostContract.h"
#include "MDIFrm.h"
#include "basErrorHandler.h"
#include "basUserInterface.h"
#include "vb/VbScreen.h"
#include "vb/VbText.h"

namespace {
constexpr int kHookPanelWidth = 110;  // pixels

// Room for a panel's text in the bar's own font, with the panel's borders and some air.
int PanelWidthFor(HWND bar, const std::wstring& text) {
    int width = 180;
    if (HDC dc = GetDC(bar)) {
        HGDIOBJ font = reinterpret_cast<HGDIOBJ>(SendMessageW(bar, WM_GETFONT, 0, 0));
        if (!font) font = GetStockObject(DEFAULT_GUI_FONT);
        HGDIOBJ old = SelectObject(dc, font);
        SIZE size{};
        if (GetTextExtentPoint32W(dc, text.c_str(), static_cast<int>(text.size()), &size)) width = size.cx + 24;
        SelectObject(dc, old);
        ReleaseDC(bar, dc);
    }
    return width;
}
}  // namespace

int MDIFrm::ExitNoticeWidth() const { return PanelWidthFor(sta1.Handle(), ExitWaitsText); }

void MDIFrm::LayoutBars() {
    if (!Handle()) return;
    RECT client{};
    GetClientRect(Handle(), &client);
    const int width = client.right - client.left;
    const int barHeight = asxToolbar1.BarHeight();
    MoveWindow(asxToolbar1.Handle(), 0, 0, width, barHeight, TRUE);

    SendMessageW(sta1.Handle(), WM_SIZE, 0, 0);
    RECT status{};
    GetWindowRect(sta1.Handle(), &status);
    // The bar's own style: while the frame itself is hidden (its load) the bar still takes its place.
    const bool statusShown = (GetWindowLongW(sta1.Handle(), GWL_STYLE) & WS_VISIBLE) != 0;
    const int statusHeight = statusShown ? status.bottom - status.top : 0;
    // Panel 1 holds the on/off text; the library's three status texts share the rest, and while
    // an Exit waits its notice takes a panel of its own at the right end.
    const int notice = exitNoticeShown_ ? ExitNoticeWidth() : 0;
    const int rest = width - kHookPanelWidth - notice - 16;
    int edges[ExitWaitsPanel] = {kHookPanelWidth, kHookPanelWidth + rest / 3, kHookPanelWidth + 2 * rest / 3,
                                 kHookPanelWidth + rest, -1};
    const int parts = exitNoticeShown_ ? ExitWaitsPanel : ExitWaitsPanel - 1;
    edges[parts - 1] = -1;
    SendMessageW(sta1.Handle(), SB_SETPARTS, static_cast<WPARAM>(parts), reinterpret_cast<LPARAM>(edges));
    sta1.RefreshToolTips();

    if (mdiClient_) {
        int height = client.bottom - barHeight - statusHeight;
        MoveWindow(mdiClient_, 0, barHeight, width, height > 0 ? height : 0, TRUE);
    }
}

void MDIFrm::LayoutControls() {
    ResizeControls(*this);
    LayoutBars();
}

void MDIFrm::SetWidth(long twips) { Move(Left(), Top(), twips, win::Window::Height()); }
void MDIFrm::SetHeight(long twips) { Move(Left(), Top(), win::Window::Width(), twips); }

void MDIFrm::MDIForm_Resize() {
    ++resizeDepth_;
    TrappedVoid(L"MDIForm_Resize", [&] {
        const int state = WindowState();
        if (state == 0 || state == 2) {
            if (state == 0) {
                FrameBox box{Top(), Left(), win::Window::Width(), win::Window::Height()};
                FrameBox kept = KeepFrameOnScreen(box, vb::ScreenWidth(), vb::ScreenHeight());
                if (kept.top != box.top || kept.height != box.height || kept.width != box.width)
                    Move(kept.left, kept.top, kept.width, kept.height);
                normalTop_ = Top();
                normalLeft_ = Left();
                normalWidth_ = win::Window::Width();
                normalHeight_ = win::Window::Height();
            }
            if (resizeDepth_ < 2) ToolbarSpacerSetWidth();
            if (previousWindowState_ == 1) OpenProductUnlessLoaded(contract::OptionsWindowName, 0);
            timer.FrameResized();
        } else if (state == 1) {
            CheckTray();
        }
        previousWindowState_ = WindowState();
    });
    --resizeDepth_;
}

void MDIFrm::ToolbarAdjustableSpacerSetRef() {
    TrappedVoid(L"ToolbarAdjustableSpacerSetRef", [&] {
        for (int i = 1; i <= asxToolbar1.ButtonCount(); ++i)
            if (vb::TextEquals(asxToolbar1.Key(i), L"Adjustable")) {
                spacerIndex_ = i;
                return;
            }
    });
}

void MDIFrm::ToolbarButtonsWidthGet() {
    TrappedVoid(L"ToolbarButtonsWidthGet", [&] {
        const int tppX = vb::TwipsPerPixelX();
        const int tppY = vb::TwipsPerPixelY();
        for (int i = 1; i <= asxToolbar1.ButtonCount(); ++i) {
            if (vb::TextEquals(asxToolbar1.Key(i), L"Adjustable")) continue;
            buttonsWidth_ = static_cast<long>(std::nearbyint(buttonsWidth_ + asxToolbar1.ButtonWidth(i) * tppX));
        }
        if (asxToolbar1.ButtonCount() >= 1)
            minWidth_ = ToolbarMinWidth(asxToolbar1.ButtonHeight(1) * tppY, buttonsWidth_, tppX, tppY);
    });
}

void MDIFrm::ToolbarSpacerSetWidth() {
    TrappedVoid(L"ToolbarSpacerSetWidth", [&] {
        if (spacerIndex_ == 0) return;
        const int tppX = vb::TwipsPerPixelX();
        const int tppY = vb::TwipsPerPixelY();
        float width = SpacerWidth(win::Window::Width(), buttonsWidth_, asxToolbar1.ButtonHeight(1) * tppY, tppX, tppY);
        asxToolbar1.SetButtonWidth(spacerIndex_, width);
        asxToolbar1.Refresh(0);
    });
}
