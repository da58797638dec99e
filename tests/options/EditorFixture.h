// The category tree fixture with the rest of what the editor works on: the extension list
// "lvwExts" beside the program list, a window that records what the handlers ask of it, and the
// editor attached to the three controls.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "CategoryHost.h"
#include "CategoryTreeFixture.h"
#include "OptionsEditor.h"
#include "basRegistryModel.h"

namespace edittest {

class FakeEditorWindow : public OptionsEditorWindow, public CategoryHost {
public:
    short FormReadiness() const override { return readiness; }
    void SetFindPending() override { ++findRequests; }
    void SetDragInProgress(bool value) override { dragInProgress.push_back(value); }
    DATE ProgramListModified() const override { return listDate; }
    bool NeedToSaveUserChoices() const override { return needSave; }
    void SetNeedToSaveUserChoices(bool value) override { needSave = value; }
    void DisplayExtensions() override {
        exts->Clear();
        rowTags.clear();
        const std::vector<long>& order = ExtByName();
        for (size_t position = 1; position < order.size(); ++position) {
            const long record = order[position];
            int row = exts->AddItem(ExtKeys()[static_cast<size_t>(record)].KeyName);
            exts->SetSubItem(row, 1, L"");
            rowTags.push_back(record);
        }
        ++displays;
    }
    long ExtensionRecordOfRow(int row) const override {
        return row >= 0 && static_cast<size_t>(row) < rowTags.size() ? rowTags[static_cast<size_t>(row)] : 0;
    }

    // CategoryHost
    win::TreeNodes& Choices() override { return *tree; }
    long ExtensionRowCount() const override { return exts->Count(); }
    std::wstring ExtensionRowText(long row) const override { return exts->ItemText(static_cast<int>(row) - 1); }
    long ExtensionRowTag(long row) const override { return ExtensionRecordOfRow(static_cast<int>(row) - 1); }
    void SetCategoryFileUntouched(bool) override {}

    short readiness = 2;
    int findRequests = 0;
    std::vector<bool> dragInProgress;
    DATE listDate = 0;
    bool needSave = false;
    int displays = 0;
    win::ListView* exts = nullptr;
    win::TreeView* tree = nullptr;
    std::vector<long> rowTags;
};

class EditorFixture : public treetest::CategoryTreeFixture {
protected:
    void SetUp() override {
        CategoryTreeFixture::SetUp();
        exts = &form->Put<win::ListView>(nullptr, L"lvwExts", -1, win::Rect{250, 0, 150, 200}, false);
        exts->AddColumn(L"Ext", 60);
        exts->AddColumn(L"Association", 80);
        programs->Move(250, 200, 150, 200);
        host.exts = exts;
        host.tree = tree;
        editor = std::make_unique<OptionsEditor>(host, *ops, *programs, *exts);
        editor->Attach();
    }
    void TearDown() override {
        editor.reset();
        CategoryTreeFixture::TearDown();
    }

    // The extension list's rows: text and record index.
    void ListExtensions(const std::vector<std::pair<std::wstring, long>>& rows) {
        exts->Clear();
        host.rowTags.clear();
        for (const auto& [text, tag] : rows) {
            exts->AddItem(text);
            host.rowTags.push_back(tag);
        }
    }
    void SelectExtension(int row) {
        LVITEMW item{};
        item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(exts->Handle(), LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    }
    static int Selected(const win::ListView& list) {
        return static_cast<int>(SendMessageW(list.Handle(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    }
    // The middle of a node's label, in the tree's client pixels (the node made visible first).
    POINT PointOf(win::TreeNode node) {
        tree->EnsureVisible(node);
        RECT r = tree->TextRect(node);
        return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }
    // Below every node, with the categories closed.
    POINT EmptySpace() {
        for (win::TreeNode n = tree->FirstNode(); n; n = tree->Next(n)) ops->ExpandCollapseBranch(false, n);
        RECT client;
        GetClientRect(tree->Handle(), &client);
        return POINT{5, client.bottom - 3};
    }
    win::TreeNode CategoryNamed(const std::wstring& name) const {
        for (win::TreeNode n = tree->FirstNode(); n; n = tree->Next(n))
            if (tree->Text(n) == name) return n;
        return nullptr;
    }

    FakeEditorWindow host;
    win::ListView* exts = nullptr;
    std::unique_ptr<OptionsEditor> editor;
};

}  // namespace edittest
