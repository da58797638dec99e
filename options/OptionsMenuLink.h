// What the pop-up menus call on the options window.
#pragma once
#include <cwchar>

#include "CategoryTree.h"
#include "OptionsMenus.h"
#include "basAssocLinks.h"
#include "basRegistryModel.h"
#include "basUserChoices.h"
#include "frmAlias.h"
#include "frmFind.h"
#include "frmInfo.h"
#include "frmTesselOptions.h"

// What the menus call on the window.
class OptionsMenuLink final : public OptionsMenuCommands {
public:
    explicit OptionsMenuLink(frmTesselOptions& window) : w_(window) {}

    void ActivateDeactivateCategory(bool activate) override { w_.Categories().ActivateDeactivateCategory(activate); }
    void ExpandCollapseBranch(bool expand) override { w_.Categories().ExpandCollapseBranch(expand, nullptr); }
    void mnuAddCategory() override {
        std::wstring name;
        w_.Categories().mnuAddCategory(name);
    }
    void mnuDeleteCategory() override { w_.Categories().mnuDeleteCategory(); }
    void mnuRenameCategory() override { w_.MenuRenameCategory(); }
    void mnuAddSubcategory() override { w_.MenuAddSubcategory(); }
    void CloseOptions() override {
        // After the menu's message: the window goes once this command has returned.
        PostMessageW(w_.Handle(), WM_CLOSE, 0, 0);
    }
    void mnuDeleteSubcategory() override {
        w_.Categories().mnuDeleteSubcategory(w_.Categories().CurrentTreeNode(), true, false);
        ::SaveUserChoices(true);
    }
    void mnuRenameSubcategory() override { w_.MenuRenameSubcategory(); }
    void RemoveCurrentExtension() override {
        w_.Categories().RemoveExtension(w_.Categories().CurrentTreeNode(), true);
    }
    void mnuMakeDefault() override { w_.Categories().mnuMakeDefault(); }
    void mnuRemoveDefault() override { w_.Categories().mnuRemoveDefault(); }
    void mnuDeleteProgram() override { w_.Categories().mnuDeleteProgram(); }
    void mnuAssignAlias() override { w_.mnuAssignAlias(); }
    void RemoveAlias() override { frmAlias::Default().RemoveAlias(); }
    void FindInListView(long direction, bool repeat) override { w_.FindInListView(direction, repeat); }
    void mnuRefresh() override { w_.Categories().mnuRefresh(); }
    void SetFilterBox(int item, bool checked) override {
        win::CheckBox* box = item == 70   ? &w_.chkNormallyExcluded
                             : item == 80 ? &w_.chkWindows
                             : item == 90 ? &w_.chkSystemFiles
                                          : &w_.chkRelatedOnly;
        // The box takes the value, then its own click lists the programs again.
        if (box->Checked() == checked) return;
        box->SetChecked(checked);
        box->Click();
    }
    void mnuShowAddExtensions() override { w_.mnuShowAddExtensions(); }
    void MakeExtensionAssociated() override {
        const int row = ListViewFindable(w_.lvwExts).SelectedRow();
        if (row < 0) return;
        const std::wstring key = w_.lvwExts.RowKey(row);
        if (key.size() < 2) return;
        const long n = std::wcstol(key.c_str() + 1, nullptr, 10);
        RegKeyRecords& records = ExtKeys();
        if (n <= 0 || n >= static_cast<long>(records.size())) return;
        if (::MakeExtensionAssociated(records[static_cast<size_t>(n)])) w_.RedisplayExtensionListFromMenu();
    }
    void ShowAssociationRestorer() override {
        if (CurrentToolWindowOpener()) CurrentToolWindowOpener()(ToolWindow::AssociationRestorer, HostFrameWindowOf(w_));
    }
    void ShowPreviewerController(bool explorerPrecatch) override {
        if (CurrentToolWindowOpener())
            CurrentToolWindowOpener()(explorerPrecatch ? ToolWindow::ExplorerPrecatchController : ToolWindow::PreviewerController,
                     HostFrameWindowOf(w_));
    }
    void SetDragInProgress(bool value) override { w_.DragInProgress = value ? -1 : 0; }
    std::wstring GetHowDoIFile(const std::wstring& key) override { return w_.GetHowDoIFile(key); }
    void AddHowDoIFile(const std::wstring& key, const std::wstring& path) override { w_.AddHowDoIFile(key, path); }
    void ShowNote(const std::wstring& path) override { frmInfo::ShowRTF(path); }

private:
    frmTesselOptions& w_;
};

