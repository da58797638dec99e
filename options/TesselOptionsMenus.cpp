// The options window's pop-up menus, "How Do I" notes, find keys and status-bar tool tips: what
// the menus call on the window, and the window's side of them (its own window procedure hands
// their commands back and restarts the tool tip on WM_SETCURSOR).
#include "CategoryTree.h"
#include "OptionsMenuLink.h"
#include "OptionsMenus.h"
#include "ToolTips.h"
#include "basAssocLinks.h"
#include "basData.h"
#include "basErrorHandler.h"
#include "basRegistryModel.h"
#include "basStrings.h"
#include "basUserChoices.h"
#include "basUserInterface.h"
#include "basWinAPI_Windows.h"
#include "frmAlias.h"
#include "frmExtensions.h"
#include "frmFind.h"
#include "frmInfo.h"
#include "frmTesselOptions.h"
#include "vb/VbError.h"

namespace {

ToolWindowOpener& Opener() {
    static ToolWindowOpener opener;
    return opener;
}

}  // namespace

const ToolWindowOpener& CurrentToolWindowOpener() { return Opener(); }

ToolWindowOpener SetToolWindowOpener(ToolWindowOpener opener) {
    ToolWindowOpener previous = std::move(Opener());
    Opener() = std::move(opener);
    return previous;
}

// ---- the window's side ----

void frmTesselOptions::CreateMenus() {
    if (menus_) return;
    menuLink_ = std::make_unique<OptionsMenuLink>(*this);
    menus_ = std::make_unique<frmMenus>(*menuLink_, Handle());
    menus_->SetTree(&tvwChoices);
    ConnectMenus();
}

void frmTesselOptions::DestroyMenus() {
    DisconnectMenus();
    menus_.reset();
    menuLink_.reset();
}

void frmTesselOptions::BuildHowDoIMenus() {
    CreateMenus();
    ::BuildHowDoIMenus(*menus_, *menuLink_, GetMessagesFolder());
}

void frmTesselOptions::SetMenusForOSVersion() {
    ProcGuard guard;
    try {
        CreateMenus();
        const long restorer = menus_->MnuAssocRestorer();
        for (long i = restorer - 1; i <= restorer + 1; ++i) menus_->SetVisible(mgExtList, static_cast<int>(i), true);
        bool nine = false;
        const std::wstring name = GetWindowsVersionName(nine);
        if (name == L"Windows XP" || name == L"Windows ?? P2") {
            menus_->SetEnabled(mgExtList, static_cast<int>(menus_->MnuPreviewMngr()), true);
            menus_->SetEnabled(mgExtList, static_cast<int>(menus_->MnuExplorerPrecatchMngr()), true);
        }
    } catch (...) {
        TrapError(L"SetMenusForOSVersion");
    }
}

bool frmTesselOptions::MenuCommand(WPARAM wParam, LPARAM lParam) {
    // Menus only: a control's notification carries its window in lParam.
    if (lParam != 0 || HIWORD(wParam) != 0 || !menus_) return false;
    return menus_->OnCommand(LOWORD(wParam));
}

namespace {

class StatusPanel : public ToolTipPanel {
public:
    void ClearToolTip() override { ShowStatus(4, L"", false, true); }
    void ShowToolTipText(const std::wstring& text) override { ShowStatus(4, text, false, false); }
};

}  // namespace

void frmTesselOptions::ShowToolTip() {
    ProcGuard guard;
    try {
        ToolTipInputs in;
        in.buttonDown = GetMouseButtonState() != 0;
        in.dragInProgress = DragInProgress != 0;
        HWND frame = HostFrameWindowOf(*this);
        in.hostActive = frame && frame == GetActiveWindow();
        POINT point{};
        if (GetCursorPos(&point)) in.underCursor = WindowFromPoint(point);
        StatusPanel panel;
        toolTips_.Tick(ToolTipCountdown, in,
                       [this](HWND hwnd) {
                           win::Control* control = ControlFromHandle(hwnd);
                           return control ? GetTagProperty(*control, L"ToolTip") : std::wstring();
                       },
                       panel);
    } catch (...) {
        TrapError(L"ShowToolTip");
    }
}

void frmTesselOptions::FindInListView(long direction, bool repeat) {
    ProcGuard guard;
    try {
        win::Control* active = ActiveControl();
        OptionsListView* list = active == &lvwExts ? &lvwExts : active == &lvwPrograms ? &lvwPrograms : nullptr;
        if (!list) return;
        const bool exts = list == &lvwExts;
        std::wstring& lastText = exts ? lastExtSearch_ : lastProgramSearch_;
        if (!repeat || !frmFind::Existing()) {
            frmFind& find = frmFind::Default();
            find.SetCaption(exts ? L" Find Extension" : L" Find Exe File");
            find.chkColumnsOnly.SetText(exts ? L"Extensions only" : L"Company, Product && Version columns only");
            find.txt.SetText(lastText);
            find.ShowOver(Handle());
            if (!Loaded()) return;
            lastText = find.txt.Text();
        }
        frmFind* find = frmFind::Existing();
        if (!find) return;
        ListViewFindable rows(*list);
        const std::optional<long> found = find->Search(&rows, direction);
        if (!found) return;
        const int row = static_cast<int>(*found) - 1;
        list->SetFocus();
        for (int i = 0; i < list->Count(); ++i)
            if (list->Selected(i) && i != row) list->SetSelected(i, false);
        list->SetSelected(row, true);
        ListView_SetItemState(list->Handle(), row, LVIS_FOCUSED, LVIS_FOCUSED);
        ListView_EnsureVisible(list->Handle(), row, FALSE);
    } catch (...) {
        TrapError(L"FindInListView");
    }
}

void frmTesselOptions::Form_KeyUp(WPARAM key) {
    win::Control* active = ActiveControl();
    if (active != &lvwExts && active != &lvwPrograms) return;
    const bool ctrl = (GetKeyState(VK_CONTROL) & 0x8000) != 0;
    const bool shift = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
    if (key == VK_F3) {
        FindInListView(shift ? -1 : 1, true);
    } else if (key == 'F' && ctrl) {
        FindInListView(1, false);
    }
}
