// The extension list "lvwExts": the reload after the registry changed, the state of "Make
// Extension Associated", typing to jump to an extension, the mouse buttons and the column headers.
#include <windows.h>
#include <commctrl.h>

#include "OptionsEditor.h"
#include "TypeAhead.h"
#include "basAssocLinks.h"
#include "basCategories.h"
#include "basErrorHandler.h"
#include "basRegistryModel.h"
#include "basUserChoices.h"
#include "vb/VbScreen.h"
#include "vb/VbText.h"

bool OptionsEditor::RedisplayExtensionList() {
    return Trapped(L"RedisplayExtensionList", [&] {
        RebuildExtensionsAndTree([] {
            AddList().Clear();
            RemoveList().Clear();
            DefList().Clear();
            GetUserChoices(true);
            LoadRegistryExtensions();
            LoadRegistryAssociations();
        });
        return true;
    });
}

void OptionsEditor::RebuildExtensionsAndTree(const std::function<void()>& reloadModel) {
    // What the user edited is written before the lists and the tree are emptied, and nothing
    // is written while they are rebuilt: a save in between would write them empty. The
    // category file is written again only once it has been read back whole.
    WorkScope work(window_);
    if (window_.NeedToSaveUserChoices()) SaveUserChoices(true);
    CategoriesLoaded() = false;
    UserChoicesSaveHold hold;

    lvwExts_.Clear();
    tree_.Clear();
    vb::DoEvents();

    reloadModel();
    window_.DisplayExtensions();
    if (GetCategories()) RemoveStaleNodes();
}

void OptionsEditor::SetAssociatedMenuItem() {
    TrappedVoid(L"SetAssociatedMenuItem", [&] {
        bool enabled = false;
        const int row = lvwExts_.SelectedRow();
        if (row >= 0) {
            const long record = window_.ExtensionRecordOfRow(row);
            RegKeyRecords& records = ExtKeys();
            if (record > 0 && static_cast<size_t>(record) < records.size() &&
                !vb::TextEquals(records[static_cast<size_t>(record)].KeyName, L"*")) {
                long state = 0;
                IsValidAssociation(records[static_cast<size_t>(record)], state);
                enabled = (state & (asNoAssociation | asNoCommand)) != 0;
            }
        }
        menus_->SetMakeExtensionAssociatedEnabled(enabled);
    });
}

void OptionsEditor::SetPositionInExtList(wchar_t typed) {
    TrappedVoid(L"SetPositionInExtList", [&] {
        std::vector<std::wstring> texts;
        const int count = lvwExts_.Count();
        texts.reserve(static_cast<size_t>(count));
        for (int row = 0; row < count; ++row) texts.push_back(lvwExts_.ItemText(row));
        int row = ExtensionTypeAheadRow(texts, lvwExts_.SelectedRow() + 1, std::wstring(1, typed));
        if (row > 0) SelectRow(lvwExts_, row - 1);
    });
}

void OptionsEditor::lvwExts_KeyPress(short& keyAscii) {
    // Control characters (Ctrl+F, Enter, Escape, Backspace) are no text to jump by.
    if (Ready() && static_cast<unsigned short>(keyAscii) >= 32) SetPositionInExtList(static_cast<wchar_t>(keyAscii));
    keyAscii = 0;
}

void OptionsEditor::lvwExts_MouseDown(int button, int /*shift*/, POINT point) {
    if (!Ready()) return;
    TrappedVoid(L"lvwExts_MouseDown", [&] {
        if (button != mbLeft) {
            // The selection stays: the menu acts on the row the user sees highlighted.
            SetAssociatedMenuItem();
            menus_->PopUp(5);
            return;
        }
        const int row = RowAt(lvwExts_, point);
        if (row < 0) return;
        SelectRow(lvwExts_, row);
        if (lvwExts_.ItemText(row) != L"*") drag_.Drag(lvwExts_.Handle(), point, DragController::FileDragCursor());
    });
}

void OptionsEditor::lvwExts_DragOver(HWND source, POINT /*point*/, int state) {
    if (source != lvwPrograms_.Handle()) return;
    if (state == dsEnter) drag_.SetDragIcon(DragController::NoDropCursor());
    else if (state == dsLeave) drag_.SetDragIcon(DragController::FileDragCursor());
}

void OptionsEditor::lvwExts_ColumnClick() {
    if (Ready()) window_.SetFindPending();
}
