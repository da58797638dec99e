#include "frmUpgradeNote.h"

#include <shellapi.h>

#include "MakerAddresses.h"
#include "OptionsLinks.h"
#include "basErrorHandler.h"
#include "basMessageHandler.h"
#include "basUserInterface.h"

namespace {

constexpr int kClientWidth = 420;
constexpr int kMargin = 12;
constexpr int kLabelHeight = 120;
constexpr int kButtonHeight = 24;
constexpr int kButtonTop = kMargin + kLabelHeight + 12;
constexpr int kClientHeight = kButtonTop + kButtonHeight + kMargin;
constexpr int kStoreButtonWidth = 200;
constexpr int kContinueButtonWidth = 100;

UpgradePageOpener g_opener = nullptr;

void ShellOpenPage(HWND owner, const std::wstring& address) {
    // In a normal window: a browser started hidden would leave the user nothing to see.
    ShellExecuteW(owner, L"open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace

std::wstring UpgradePageAddress() { return std::wstring(MakerHomePage) + L"index.html?upgrade.html"; }

UpgradePageOpener SetUpgradePageOpener(UpgradePageOpener opener) {
    UpgradePageOpener previous = g_opener;
    g_opener = opener;
    return previous;
}

frmUpgradeNote::frmUpgradeNote()
    : win::Window(L"frmUpgradeNote"),
      lbls((Create(L" Special Upgrade Offer", kClientWidth, kClientHeight,
                   WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT | WS_EX_DLGMODALFRAME),
            Add<win::Label>(nullptr, L"lbls", -1, L"", win::Rect{kMargin, kMargin, kClientWidth - 2 * kMargin, kLabelHeight}))),
      CancelButton(Add<win::Button>(nullptr, L"CancelButton", -1, L"Go to Upgrade Store && Continue",
                                    win::Rect{kClientWidth - kMargin - kContinueButtonWidth - 8 - kStoreButtonWidth,
                                              kButtonTop, kStoreButtonWidth, kButtonHeight})),
      OKButton(Add<win::Button>(nullptr, L"OKButton", -1, L"Just Continue",
                                win::Rect{kClientWidth - kMargin - kContinueButtonWidth, kButtonTop,
                                          kContinueButtonWidth, kButtonHeight},
                                BS_DEFPUSHBUTTON)) {
    CancelButton.OnClick = [this] { CancelButton_Click(); };
    OKButton.OnClick = [this] { OKButton_Click(); };
    TrappedVoid(L"Form_Load", [&] {
        lbls.SetText(L"");
        PlaceForm(*this, phCentre, pvCentre);
    });
}

frmUpgradeNote& frmUpgradeNote::Default() { return win::DefaultInstance<frmUpgradeNote>::Get(); }
frmUpgradeNote* frmUpgradeNote::Existing() { return win::DefaultInstance<frmUpgradeNote>::Existing(); }
void frmUpgradeNote::Release() { win::DefaultInstance<frmUpgradeNote>::Release(); }

void frmUpgradeNote::CancelButton_Click() {
    TrappedVoid(L"CancelButton_Click", [&] { (g_opener ? g_opener : &ShellOpenPage)(HostFrameHandle(), UpgradePageAddress()); });
    UnloadSoon();
}

void frmUpgradeNote::OKButton_Click() { UnloadSoon(); }

LRESULT frmUpgradeNote::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_ACTIVATE:
            if (LOWORD(wParam) != WA_INACTIVE && !activated_) {
                activated_ = true;
                CurrentMessagePresenter().Beep();
            }
            break;
        case DM_GETDEFID:
            return MAKELRESULT(GetDlgCtrlID(OKButton.Handle()), DC_HASDEFID);
        case WM_COMMAND:
            // Escape: "Just Continue".
            if (LOWORD(wParam) == IDCANCEL && lParam == 0) {
                OKButton_Click();
                return 0;
            }
            break;
        default:
            break;
    }
    return DefaultMessage(msg, wParam, lParam);
}
