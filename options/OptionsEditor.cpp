// The editor's wiring: the three controls sub-classed so that their keys and mouse buttons reach
// the handlers, the tree's label-edit and drag notifications, the drag targets, and the row and
// node look-ups the handlers share.
#include "OptionsEditor.h"

#include <windowsx.h>

namespace {

int ShiftState() {
    int shift = 0;
    if (GetKeyState(VK_SHIFT) < 0) shift |= 1;
    if (GetKeyState(VK_CONTROL) < 0) shift |= 2;
    if (GetKeyState(VK_MENU) < 0) shift |= 4;
    return shift;
}

int ButtonOf(UINT msg) {
    switch (msg) {
        case WM_LBUTTONDOWN: return mbLeft;
        case WM_RBUTTONDOWN: return mbRight;
        case WM_MBUTTONDOWN: return mbMiddle;
        default: return 0;
    }
}

POINT PointOf(LPARAM lParam) { return POINT{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}; }

}  // namespace

OptionsEditor::OptionsEditor(OptionsEditorWindow& window, CategoryTree& tree, win::ListView& lvwPrograms,
                             win::ListView& lvwExts)
    : window_(window), ops_(tree), tree_(tree.Tree()), lvwPrograms_(lvwPrograms), lvwExts_(lvwExts) {
    ops_.TrackNode(&dropHighlight_);
    ops_.TrackNode(&labelEditNode_);
}

OptionsEditor::~OptionsEditor() {
    Detach();
    ops_.UntrackNode(&dropHighlight_);
    ops_.UntrackNode(&labelEditNode_);
}

void OptionsEditor::SetPopupMenus(OptionsPopupMenus* menus) { menus_ = menus ? menus : &quietMenus_; }

void OptionsEditor::Attach() {
    if (attached_) return;
    attached_ = true;
    // The controls' handlers are the window's handlers too (a pop-up menu or a drag runs its
    // loop inside them): they count as running for the window.
    programsHook_.Attach(lvwPrograms_.Handle(), [this](UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
        HandlerScope running(window_);
        return ListMessage(lvwPrograms_, msg, wParam, lParam, result);
    });
    extsHook_.Attach(lvwExts_.Handle(), [this](UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
        HandlerScope running(window_);
        return ListMessage(lvwExts_, msg, wParam, lParam, result);
    });
    treeHook_.Attach(tree_.Handle(), [this](UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
        HandlerScope running(window_);
        return TreeMessage(msg, wParam, lParam, result);
    });
    tree_.OnOtherNotify = [this](NMHDR* header, LRESULT& result) { return TreeNotify(header, result); };
    if (HWND hwnd = tree_.Handle())
        SetWindowLongPtrW(hwnd, GWL_STYLE, GetWindowLongPtrW(hwnd, GWL_STYLE) | TVS_EDITLABELS);

    drag_.ClearTargets();
    drag_.AddTarget(
        lvwPrograms_.Handle(),
        [this](HWND source, POINT point, int state) { lvwPrograms_DragOver(source, point, state); }, nullptr);
    drag_.AddTarget(
        lvwExts_.Handle(), [this](HWND source, POINT point, int state) { lvwExts_DragOver(source, point, state); },
        nullptr);
    drag_.AddTarget(
        tree_.Handle(), [this](HWND source, POINT point, int state) { tvwChoices_DragOver(source, point, state); },
        [this](HWND source, POINT point) { tvwChoices_DragDrop(source, point); });
    drag_.OnEnd = [this](HWND source) { DragEnded(source); };
    drag_.OnRunning = [this](bool running) { window_.SetDragInProgress(running); };
}

void OptionsEditor::Detach() {
    if (!attached_) return;
    attached_ = false;
    programsHook_.Detach();
    extsHook_.Detach();
    treeHook_.Detach();
    tree_.OnOtherNotify = nullptr;
    drag_.ClearTargets();
    drag_.OnEnd = nullptr;
    drag_.OnRunning = nullptr;
}

bool OptionsEditor::ListMessage(win::ListView& list, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    const bool programs = &list == &lvwPrograms_;
    switch (msg) {
        case WM_CHAR: {
            // Typing jumps by the rows' first letters; the list's own search never sees the key.
            short keyAscii = static_cast<short>(wParam);
            if (programs) lvwPrograms_KeyPress(keyAscii);
            else lvwExts_KeyPress(keyAscii);
            result = 0;
            return true;
        }
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN: {
            // The handlers select, drag and open menus themselves; the right button in particular
            // leaves the selection as the user sees it.
            if (GetFocus() != list.Handle()) ::SetFocus(list.Handle());
            const POINT point = PointOf(lParam);
            if (programs) lvwPrograms_MouseDown(ButtonOf(msg), ShiftState(), point);
            else lvwExts_MouseDown(ButtonOf(msg), ShiftState(), point);
            result = 0;
            return true;
        }
        case WM_NOTIFY: {
            auto* header = reinterpret_cast<NMHDR*>(lParam);
            if (header->code != HDN_ITEMCLICKW && header->code != HDN_ITEMCLICKA) return false;
            // The header's click reaches the list first; the list's own sorting request follows.
            result = programs ? programsHook_.CallOriginal(msg, wParam, lParam)
                              : extsHook_.CallOriginal(msg, wParam, lParam);
            if (programs) lvwPrograms_ColumnClick();
            else lvwExts_ColumnClick();
            return true;
        }
        default:
            return false;
    }
}

bool OptionsEditor::TreeMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (msg) {
        case WM_LBUTTONDOWN:
            // The tree selects and detects a drag itself (TVN_BEGINDRAG); the handler only learns
            // which node the commands act on.
            tvwChoices_MouseDown(mbLeft, ShiftState(), PointOf(lParam));
            return false;
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
            if (GetFocus() != tree_.Handle()) ::SetFocus(tree_.Handle());
            tvwChoices_MouseDown(ButtonOf(msg), ShiftState(), PointOf(lParam));
            result = 0;
            return true;
        case WM_KEYDOWN: {
            int keyCode = static_cast<int>(wParam);
            tvwChoices_KeyDown(keyCode, ShiftState());
            if (keyCode != 0) return false;
            result = 0;
            return true;
        }
        default:
            return false;
    }
}

bool OptionsEditor::TreeNotify(NMHDR* header, LRESULT& result) {
    switch (header->code) {
        case TVN_BEGINLABELEDITW:
        case TVN_BEGINLABELEDITA:
            // Names change through the commands only (F2, the menus, a new node), never by a
            // click on a label, so "All" and the fixed folders keep theirs.
            result = tree_.LabelEditRequested() ? FALSE : TRUE;
            if (result == FALSE) labelEditNode_ = reinterpret_cast<NMTVDISPINFOW*>(header)->item.hItem;
            return true;
        case TVN_ENDLABELEDITW: {
            auto* info = reinterpret_cast<NMTVDISPINFOW*>(header);
            result = FALSE;
            // One edit ends once, however many ways the control reports its end.
            if (!labelEditNode_ || labelEditNode_ != info->item.hItem) return true;
            labelEditNode_ = nullptr;
            if (!info->item.pszText) {
                // The user cancelled: the name stays. A node the menus have just made keeps the
                // name they gave it, and is still written.
                if (info->item.hItem && IsNewNodeName(tree_.Text(info->item.hItem)))
                    window_.SetNeedToSaveUserChoices(true);
                return true;
            }
            std::wstring newString = info->item.pszText;
            bool cancel = false;
            tvwChoices_AfterLabelEdit(cancel, newString, info->item.hItem);
            if (!cancel && info->item.hItem) tree_.SetText(info->item.hItem, newString);
            return true;
        }
        case TVN_BEGINDRAGW:
        case TVN_BEGINDRAGA: {
            // The tree has seen the pointer leave the drag distance with the left button down.
            auto* info = reinterpret_cast<NMTREEVIEWW*>(header);
            tvwChoices_MouseMove(mbLeft, ShiftState(), info->ptDrag);
            result = 0;
            return true;
        }
        default:
            return false;
    }
}

void OptionsEditor::DragEnded(HWND /*source*/) {
    // Whatever became of the drag, a node can be dragged again.
    treeDragStarted_ = false;
    SetDropHighlight(nullptr);
}

void OptionsEditor::SelectRow(win::ListView& list, int row) {
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = 0;
    SendMessageW(list.Handle(), LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list.Handle(), LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    SendMessageW(list.Handle(), LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
}

int OptionsEditor::RowAt(const win::ListView& list, POINT point) const {
    LVHITTESTINFO hit{};
    hit.pt = point;
    int row = static_cast<int>(SendMessageW(list.Handle(), LVM_SUBITEMHITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    return (hit.flags & LVHT_ONITEM) ? row : -1;
}

win::TreeNode OptionsEditor::NodeAt(POINT point) const {
    TVHITTESTINFO hit{};
    hit.pt = point;
    auto node = reinterpret_cast<HTREEITEM>(SendMessageW(tree_.Handle(), TVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)));
    return (hit.flags & (TVHT_ONITEM | TVHT_ONITEMRIGHT)) ? node : nullptr;
}

void OptionsEditor::SetDropHighlight(win::TreeNode node) {
    if (node == dropHighlight_) return;
    dropHighlight_ = node;
    if (tree_.Handle())
        SendMessageW(tree_.Handle(), TVM_SELECTITEM, TVGN_DROPHILITE, reinterpret_cast<LPARAM>(node));
}
