// A small category tree in the real tree view, with the real journal, a window that counts
// the saves and the fake presenter.
//
//   Non-associated Extensions (not removable)   All (not removable): *
//   Graphics                                    Viewers: Pix (default) | .bmp .gif
//                                               Editors: Zed           | .txt
//   Office (inactive)                           Docs: Word (default)   | .doc
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "CategoryTree.h"
#include "TreeTestSupport.h"
#include "UiTestForms.h"
#include "UserJournal.h"
#include "basCategories.h"
#include "win/TreeView.h"

namespace treetest {

using Fields = std::vector<std::wstring>;

inline const Fields kPix = {L"Quillon - Pix", L"1.2", L"OK", L"C:\\Pix\\pix.exe", L"C:\\PIX\\pix.exe"};
inline const Fields kZed = {L"Acme - Zed", L"2.0", L"OK", L"C:\\Zed\\zed.exe", L"C:\\ZED\\zed.exe"};
inline const Fields kWord = {L"Wordy - Word", L"9", L"SD", L"C:\\Word\\word.exe", L"C:\\WORD\\word.exe"};

// The journal line of a pair: the extension, then the fields with the list's suffix on the status.
inline std::wstring Line(const std::wstring& ext, const Fields& f, const wchar_t* suffix) {
    return ext + L"|" + f[0] + L"|" + f[1] + L"|" + f[2].substr(0, 2) + suffix + L"|" + f[3] + L"|" + f[4];
}

class CountingWindow : public CategoryTreeWindow {
public:
    void SaveUserChoices(bool saveNow) override { ++(saveNow ? saves : quietSaves); }
    void RescanPrograms() override { calls.push_back(L"RescanPrograms"); }
    bool GetPrograms() override {
        calls.push_back(L"GetPrograms");
        return programsFound;
    }
    void DisplayPrograms(bool force) override { calls.push_back(force ? L"DisplayPrograms True" : L"DisplayPrograms"); }

    int saves = 0;
    int quietSaves = 0;
    bool programsFound = true;
    std::vector<std::wstring> calls;
};

class CategoryTreeFixture : public JournalFixture {
protected:
    void SetUp() override {
        JournalFixture::SetUp();
        form = std::make_unique<TestForm>(L"frmTesselOptions", 400, 400);
        tree = &form->Put<win::TreeView>(nullptr, L"tvwChoices", -1, win::Rect{0, 0, 250, 400});
        programs = &form->Put<win::ListView>(nullptr, L"lvwPrograms", -1, win::Rect{250, 0, 150, 400}, false);
        for (const wchar_t* column : {L"Status", L"Version", L"Programs", L"Exe", L"Path", L"Short"})
            programs->AddColumn(column, 40);
        ops = std::make_unique<CategoryTree>(*tree, window);

        nonAssociated = Category(NonAssociatedCategory, win::tnNotRemovable);
        all = Sub(nonAssociated, AllSubcategory, win::tnNotRemovable);
        star = Ext(all, L"*", 0);
        graphics = Category(L"Graphics");
        viewers = Sub(graphics, L"Viewers");
        pix = Prog(viewers, kPix, true);
        bmp = Ext(viewers, L".bmp", 3);
        gif = Ext(viewers, L".gif", 4);
        editors = Sub(graphics, L"Editors");
        zed = Prog(editors, kZed);
        txt = Ext(editors, L".txt", 7);
        office = Category(L"Office", win::tnInactive);
        docs = Sub(office, L"Docs");
        word = Prog(docs, kWord, true);
        doc = Ext(docs, L".doc", 5);

        // The journal as the tree above leaves it.
        DefList() = ListOf({Line(L".bmp", kPix, L"-D"), Line(L".gif", kPix, L"-D")});
        AddList() = ListOf({Line(L".txt", kZed, L"-A")});
    }
    void TearDown() override {
        ops.reset();
        form.reset();
        JournalFixture::TearDown();
    }

    win::TreeNode Category(const std::wstring& name, unsigned marks = 0) {
        win::TreeNode n = tree->Add(nullptr, name, name, ciCategory);
        tree->SetMarks(n, marks);
        return n;
    }
    win::TreeNode Sub(win::TreeNode category, const std::wstring& name, unsigned marks = 0) {
        const std::wstring key = tree->Key(category) + L"*" + name;
        win::TreeNode n = tree->Add(category, key, name, ciSubcategory);
        tree->SetMarks(n, marks);
        tree->SetSorted(tree->Add(n, key + L"*P", L"Programs", ciProgramsFolder), true);
        tree->SetSorted(tree->Add(n, key + L"*E", L"Extensions", ciExtensionsFolder), true);
        return n;
    }
    win::TreeNode Prog(win::TreeNode sub, const Fields& f, bool bold = false) {
        win::TreeNode n = tree->Add(tree->Child(sub), L"", f[0] + L" " + f[1], ciProgram);
        tree->SetNodeTag(n, vb::Variant(vb::Variant::Array(f.begin(), f.end())));
        if (bold) tree->SetMarks(n, win::tnDefault);
        return n;
    }
    win::TreeNode Ext(win::TreeNode sub, const std::wstring& text, long tag) {
        win::TreeNode folder = tree->LastSibling(tree->Child(sub));
        win::TreeNode n = tree->Add(folder, L"", text, ciExtension);
        tree->SetNodeTag(n, vb::Variant(tag));
        return n;
    }
    // A row of the program list, selected, as the scan lists the program.
    void ListProgram(const Fields& f) {
        programs->Clear();
        size_t slash = f[3].find_last_of(L'\\');
        int row = programs->AddItem(f[2]);
        programs->SetSubItem(row, 1, f[1]);
        programs->SetSubItem(row, 2, f[0]);
        programs->SetSubItem(row, 3, f[3].substr(slash + 1));
        programs->SetSubItem(row, 4, f[3].substr(0, slash));
        programs->SetSubItem(row, 5, f[4]);
        LVITEMW item{};
        item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(programs->Handle(), LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    }

    std::vector<std::wstring> Texts(win::TreeNode folder) const {
        std::vector<std::wstring> texts;
        for (win::TreeNode n : ops->ChildrenOf(folder)) texts.push_back(tree->Text(n));
        return texts;
    }
    std::vector<std::wstring> ProgramsOf(win::TreeNode sub) const { return Texts(tree->Child(sub)); }
    std::vector<std::wstring> ExtensionsOf(win::TreeNode sub) const { return Texts(tree->LastSibling(tree->Child(sub))); }
    bool Exists(win::TreeNode node) const {
        for (long i = 1; i <= tree->Count(); ++i)
            if (tree->Item(i) == node) return true;
        return false;
    }

    CountingWindow window;
    std::unique_ptr<TestForm> form;
    win::TreeView* tree = nullptr;
    win::ListView* programs = nullptr;
    std::unique_ptr<CategoryTree> ops;
    win::TreeNode nonAssociated{}, all{}, star{}, graphics{}, viewers{}, pix{}, bmp{}, gif{}, editors{}, zed{}, txt{},
        office{}, docs{}, word{}, doc{};
};

}  // namespace treetest
