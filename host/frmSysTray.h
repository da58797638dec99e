// The notification-area icon: a hidden window of the host's that owns the icon, answers its
// clicks and shows its pop-up menu (the products' entries, "&Restore" and "E&xit").
#pragma once
#include <windows.h>
#include <shellapi.h>

#include <string>
#include <vector>

#include "ProductRecord.h"
#include "win/Window.h"

// What the icon does with the frame.
class TrayFrame {
public:
    virtual int FrameWindowState() const = 0;
    virtual void MinimizeFrame() = 0;
    virtual void ShowMDIForm() = 0;
    // Unloads the frame through its close path.
    virtual void CloseFrame() = 0;
    virtual const std::vector<MenuEntry>& SysTrayMenu() const = 0;
    // Whether a modal window disables the frame while it waits: a dialog or message box of a
    // product's library, whose modal loops the host's own count (win::ModalDepth, kept per
    // module) does not see.
    virtual bool FrameUnderModalWindow() const = 0;

protected:
    ~TrayFrame() = default;
};

// The icon's callback arrives as this mouse message; the icon's own mouse message stands in
// its position.
inline constexpr UINT TrayCallbackMessage = WM_MOUSEMOVE;

enum class TrayAction { None, ToggleFrame, ShowFrame, PopupMenu };
TrayAction TrayActionFor(UINT mouseMessage);

// The tip: the product name cut so that it fits the 64 characters of the tip field together
// with its terminating NUL.
std::wstring TrayTipText(const std::wstring& productName);
inline constexpr size_t TrayTipField = 64;

// Menu entries of the tray menu by index.
enum : int { trayRestore = 11, trayExit = 12 };

class frmSysTray : public win::Window {
    // Ahead of the controls: the window procedure runs while they are being created.
    TrayFrame* frame_ = nullptr;
    bool trayIconAdded_ = false;
    // The icon reported a double click: the button-up that ends it is no click of its own.
    bool doubleClickEnding_ = false;
    HICON icon_ = nullptr;
    NOTIFYICONDATAW record_{};

public:
    frmSysTray();
    ~frmSysTray() override;
    static frmSysTray& Default();
    static frmSysTray* Existing();

    // The window's first activation: adds the icon (once) and hides the window again.
    void Activate(TrayFrame& frame);
    // The frame's unload: takes the icon away with the same record.
    void RemoveIcon();
    bool IconAdded() const { return trayIconAdded_; }
    const NOTIFYICONDATAW& TrayIconRecord() const { return record_; }

    // The icon's callback (its mouse message) and the pop-up menu's choice. A double click comes
    // as button down, up, double click and up: the first up toggles the frame, the double click
    // shows it, and the last up does nothing, so the frame ends shown.
    void IconMessage(UINT mouseMessage);
    void MenuClick(int index);
    // The entries the pop-up shows now (visible ones), by index.
    std::vector<int> PopupEntries() const;

protected:
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void OnUnload() override;

private:
    void ShowPopup();
    // A modal window of the host or of a product waits for the user: the icon's commands are
    // dropped until it is answered.
    bool ModalWindowWaits() const;
};
