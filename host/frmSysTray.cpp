#include "frmSysTray.h"

#include <utility>

#include "MarldenResources.h"
#include "ProductSuite.h"
#include "basErrorHandler.h"
#include "vb/VbApp.h"

namespace {
constexpr UINT kMenuIdBase = 100;
}

TrayAction TrayActionFor(UINT mouseMessage) {
    switch (mouseMessage) {
        case WM_LBUTTONUP: return TrayAction::ToggleFrame;
        case WM_LBUTTONDBLCLK: return TrayAction::ShowFrame;
        case WM_RBUTTONUP: return TrayAction::PopupMenu;
        default: return TrayAction::None;
    }
}

std::wstring TrayTipText(const std::wstring& productName) {
    return productName.substr(0, TrayTipField - 1);
}

frmSysTray::frmSysTray() : win::Window(L"frmSysTray") {
    Create(L"Form1", 120, 40, WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX, 0);
    icon_ = static_cast<HICON>(LoadImageW(vb::ThisModule(), MAKEINTRESOURCEW(IDI_MARLDEN), IMAGE_ICON,
                                          GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    if (icon_) SendMessageW(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
}

frmSysTray::~frmSysTray() {
    if (Loaded()) Unload();
    if (icon_) DestroyIcon(icon_);
}

frmSysTray& frmSysTray::Default() { return win::DefaultInstance<frmSysTray>::Get(); }
frmSysTray* frmSysTray::Existing() { return win::DefaultInstance<frmSysTray>::Existing(); }

void frmSysTray::Activate(TrayFrame& frame) {
    frame_ = &frame;
    if (trayIconAdded_) return;
    record_ = NOTIFYICONDATAW{};
    record_.cbSize = NOTIFYICONDATAW_V1_SIZE;
    record_.hWnd = Handle();
    record_.uID = 1;
    record_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    record_.uCallbackMessage = TrayCallbackMessage;
    record_.hIcon = icon_;
    // Cut to fit, the terminating NUL included.
    std::wstring tip = TrayTipText(SuiteProductName());
    tip.copy(record_.szTip, tip.size());
    record_.szTip[tip.size()] = L'\0';
    Shell_NotifyIconW(NIM_ADD, &record_);
    trayIconAdded_ = true;
    Hide();
}

void frmSysTray::RemoveIcon() {
    if (!record_.hWnd) return;
    Shell_NotifyIconW(NIM_DELETE, &record_);
}

bool frmSysTray::ModalWindowWaits() const {
    return win::ModalDepth() > 0 || (frame_ && frame_->FrameUnderModalWindow());
}

void frmSysTray::IconMessage(UINT mouseMessage) {
    if (!frame_) return;
    // Followed whatever the frame is doing, so a button-up is always matched with its press.
    if (mouseMessage == WM_LBUTTONDOWN) doubleClickEnding_ = false;
    if (mouseMessage == WM_LBUTTONDBLCLK) doubleClickEnding_ = true;
    if (mouseMessage == WM_LBUTTONUP && std::exchange(doubleClickEnding_, false)) return;
    // A dialog or message box of the host or of a product waits for the user: the frame it
    // belongs to stays as it is until it is answered.
    if (ModalWindowWaits()) return;
    switch (TrayActionFor(mouseMessage)) {
        case TrayAction::ToggleFrame:
            SetForegroundWindow(Handle());
            if (frame_->FrameWindowState() == 1)
                frame_->ShowMDIForm();
            else
                frame_->MinimizeFrame();
            break;
        case TrayAction::ShowFrame:
            frame_->ShowMDIForm();
            break;
        case TrayAction::PopupMenu:
            SetForegroundWindow(Handle());
            ShowPopup();
            break;
        case TrayAction::None:
            break;
    }
}

std::vector<int> frmSysTray::PopupEntries() const {
    std::vector<int> entries;
    if (!frame_) return entries;
    const std::vector<MenuEntry>& menu = frame_->SysTrayMenu();
    for (size_t i = 0; i < menu.size(); ++i)
        if (menu[i].Visible) entries.push_back(static_cast<int>(i));
    return entries;
}

void frmSysTray::ShowPopup() {
    HMENU popup = CreatePopupMenu();
    if (!popup) return;
    const std::vector<MenuEntry>& menu = frame_->SysTrayMenu();
    for (int i : PopupEntries()) {
        const MenuEntry& entry = menu[static_cast<size_t>(i)];
        AppendMenuW(popup, MF_STRING | (entry.Enabled ? MF_ENABLED : MF_GRAYED), kMenuIdBase + static_cast<UINT>(i),
                    entry.Caption.c_str());
    }
    POINT at{};
    GetCursorPos(&at);
    TrackPopupMenu(popup, 0, at.x, at.y, 0, Handle(), nullptr);
    // Lets the menu close when the user clicks elsewhere.
    PostMessageW(Handle(), WM_NULL, 0, 0);
    DestroyMenu(popup);
}

void frmSysTray::MenuClick(int index) {
    if (!frame_ || ModalWindowWaits()) return;
    switch (index) {
        case trayRestore: frame_->ShowMDIForm(); break;
        case trayExit: frame_->CloseFrame(); break;
        default: break;  // the products' entries do nothing here
    }
}

LRESULT frmSysTray::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case TrayCallbackMessage:
            IconMessage(static_cast<UINT>(lParam));
            return 0;
        case WM_COMMAND:
            if (lParam == 0 && LOWORD(wParam) >= kMenuIdBase) {
                MenuClick(static_cast<int>(LOWORD(wParam) - kMenuIdBase));
                return 0;
            }
            break;
        case WM_SIZE:
            if (wParam == SIZE_MINIMIZED) Hide();
            break;
        default:
            break;
    }
    return DefaultMessage(msg, wParam, lParam);
}

void frmSysTray::OnUnload() { frame_ = nullptr; }
