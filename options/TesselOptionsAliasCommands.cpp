// The options window's alias and new-extension commands: the dialogs they open and the window
// they work on.
#include "OptionsLinks.h"
#include "basErrorHandler.h"
#include "frmAlias.h"
#include "frmExtensions.h"
#include "frmTesselOptions.h"

namespace {

// Puts a dialog in the middle of the window it is shown over, kept inside that screen's work area.
void CentreOver(HWND dialog, HWND owner) {
    RECT box{}, over{};
    if (!dialog || !owner || !GetWindowRect(dialog, &box) || !GetWindowRect(owner, &over)) return;
    const LONG width = box.right - box.left;
    const LONG height = box.bottom - box.top;
    LONG left = over.left + (over.right - over.left - width) / 2;
    LONG top = over.top + (over.bottom - over.top - height) / 2;
    MONITORINFO screen{};
    screen.cbSize = sizeof screen;
    if (GetMonitorInfoW(MonitorFromWindow(owner, MONITOR_DEFAULTTONEAREST), &screen)) {
        const RECT& work = screen.rcWork;
        if (left + width > work.right) left = work.right - width;
        if (top + height > work.bottom) top = work.bottom - height;
        if (left < work.left) left = work.left;
        if (top < work.top) top = work.top;
    }
    SetWindowPos(dialog, nullptr, left, top, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

void frmTesselOptions::mnuAssignAlias() {
    TrappedVoid(L"mnuAssignAlias", [&] {
        // Owned by the window the user sees: the host frame when the options window is its child.
        frmAlias& dialog = frmAlias::Default();
        const HWND owner = OptionsDialogOwner();
        CentreOver(dialog.Handle(), owner);
        ShowModalOwnedBy(dialog, owner);
    });
}

short frmTesselOptions::mnuShowAddExtensions() {
    TrappedVoid(L"mnuShowAddExtensions", [&] {
        frmExtensions& dialog = frmExtensions::Default();
        dialog.SetEditor(editor_.get());
        ShowModalOwnedBy(dialog, OptionsDialogOwner());
    });
    return 0;
}
