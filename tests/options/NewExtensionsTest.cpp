// The new-extension dialog on the real extension list and tree, with HKEY_CLASSES_ROOT
// redirected to a scratch key and the data files in a working folder of their own.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "EditorFixture.h"
#include "OptionsTestSupport.h"
#include "TestSupport.h"
#include "basCategories.h"
#include "basData.h"
#include "basIniFile.h"
#include "basRegistryModel.h"
#include "basUserChoices.h"
#include "frmExtensions.h"

namespace {

using edittest::EditorFixture;
using treetest::ShownNumbers;

void Write(const std::wstring& path, const std::string& bytes) {
    std::ofstream out(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
    out << bytes;
}

class NewExtensionsTest : public EditorFixture {
protected:
    void SetUp() override {
        EditorFixture::SetUp();
        scratch = L"Software\\LumoxTests\\NewExtensions" + std::to_wstring(GetCurrentProcessId());
        testsupport::DeleteRegistryTree(HKEY_CURRENT_USER, scratch);
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, (scratch + L"\\HKCR").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &classes, nullptr),
                  ERROR_SUCCESS);
        for (const wchar_t* ext : {L"*", L".bmp", L".doc", L".gif", L".txt"}) {
            HKEY key;
            RegCreateKeyExW(classes, ext, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
            RegCloseKey(key);
        }
        Redirect(classes);

        folder = testsupport::FreshTempFolder(L"lxnewext");
        SetIniFolderOverride(folder);
        UseDataFolder(folder);
        previousHost = SetCategoryHost(&host);
        ResetRegistryModelState();
        LoadRegistryExtensions();
        host.DisplayExtensions();
        CategoriesLoaded() = true;
        Write(CategoryFilePath(), CategoryFileText(*tree));
        dialog = &frmExtensions::Default();
        dialog->SetEditor(editor.get());
    }
    void TearDown() override {
        frmExtensions::Release();
        RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
        RegCloseKey(classes);
        testsupport::DeleteRegistryTree(HKEY_CURRENT_USER, scratch);
        SetCategoryHost(previousHost);
        CategoriesLoaded() = false;
        SetIniFolderOverride(L"");
        ResetRegistryModelState();
        EditorFixture::TearDown();
        testsupport::RemoveTree(folder);
    }
    static void Redirect(HKEY key) { ASSERT_EQ(RegOverridePredefKey(HKEY_CLASSES_ROOT, key), ERROR_SUCCESS); }

    void Type(const std::wstring& text) {
        dialog->txt.SetText(text);
        dialog->cmds[ebAddRemove]->Click();
    }
    std::vector<std::wstring> Listed() const {
        std::vector<std::wstring> entries;
        for (int i = 0; i < dialog->lstExt.Count(); ++i) entries.push_back(dialog->lstExt.Item(i));
        return entries;
    }
    std::vector<std::wstring> ExtensionRows() const {
        std::vector<std::wstring> rows;
        for (int i = 0; i < exts->Count(); ++i) rows.push_back(exts->ItemText(i));
        return rows;
    }
    std::vector<std::wstring> ModelNames() const {
        std::vector<std::wstring> names;
        for (size_t p = 1; p < ExtByName().size(); ++p) names.push_back(ExtKeys()[static_cast<size_t>(ExtByName()[p])].KeyName);
        return names;
    }
    // The default value of HKEY_CLASSES_ROOT\name in the scratch key; nullopt when the key is missing.
    std::optional<std::wstring> DefaultValue(const std::wstring& name) const {
        HKEY key;
        if (RegOpenKeyExW(classes, name.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return std::nullopt;
        wchar_t data[64] = {};
        DWORD size = sizeof(data), type = 0;
        LONG r = RegQueryValueExW(key, nullptr, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
        RegCloseKey(key);
        if (r != ERROR_SUCCESS || type != REG_SZ) return std::wstring(L"?");
        return std::wstring(data);
    }
    // Lets the dialog's posted unload run.
    static void Pump() {
        MSG msg;
        for (int i = 0; i < 5; ++i)
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
    }

    std::wstring scratch;
    HKEY classes = nullptr;
    std::wstring folder;
    CategoryHost* previousHost = nullptr;
    frmExtensions* dialog = nullptr;
};

TEST_F(NewExtensionsTest, TypedExtensionsAreNormalisedAndCheckedAgainstTheListAndTheModel) {
    struct Case {
        const wchar_t* typed;
        std::vector<std::wstring> listed;
        std::vector<long> messages;
    };
    const Case cases[] = {
        {L"  my.LMX ", {L".LMX"}, {}},
        {L".", {L".LMX"}, {}},
        {L"", {L".LMX"}, {}},
        {L".lmx", {L".LMX"}, {4509}},          // the same extension in another case
        {L"zip", {L".LMX", L".zip"}, {}},
        {L".bmp", {L".LMX", L".zip"}, {4510}},  // one the model holds
        {L".GIF", {L".LMX", L".zip"}, {4510}},
        {L"a:b/.new?", {L".LMX", L".zip", L".new"}, {}},
    };
    for (const Case& c : cases) {
        boxes.shown.clear();
        Type(c.typed);
        EXPECT_EQ(Listed(), c.listed) << c.typed;
        EXPECT_EQ(ShownNumbers(boxes), c.messages) << c.typed;
        EXPECT_EQ(dialog->txt.Text(), L".") << c.typed;
    }
}

TEST_F(NewExtensionsTest, OKWritesEachKeyAddsSortedRecordsAndListsTheRows) {
    Type(L".lmx");
    Type(L".ABC");
    const size_t recordsBefore = ExtKeys().size();
    dialog->cmds[ebOK]->Click();

    EXPECT_EQ(DefaultValue(L".lmx"), std::optional<std::wstring>(L"Unassociated"));
    EXPECT_EQ(DefaultValue(L".ABC"), std::optional<std::wstring>(L"Unassociated"));
    EXPECT_EQ(ExtKeys().size(), recordsBefore + 2);
    for (size_t i = recordsBefore; i < ExtKeys().size(); ++i) {
        const RegKeyRecord& r = ExtKeys()[i];
        EXPECT_EQ(r.ValueIndex, 0);
        ASSERT_EQ(r.KeyValues.size(), 1u);
        EXPECT_EQ(r.KeyValues[0].ValueName, L"");
        EXPECT_EQ(r.KeyValues[0].ValueType, REG_SZ);
        EXPECT_EQ(r.KeyValues[0].ValueData.ToString(), L"Unassociated");
    }
    const std::vector<std::wstring> sorted = {L"*", L".ABC", L".bmp", L".doc", L".gif", L".lmx", L".txt"};
    EXPECT_EQ(ModelNames(), sorted);
    EXPECT_EQ(ExtensionRows(), sorted);
    EXPECT_TRUE(Listed().empty());
    // The tree came back from the category file.
    EXPECT_TRUE(CategoriesLoaded());
    std::vector<std::wstring> categories;
    for (win::TreeNode n = tree->FirstNode(); n; n = tree->Next(n)) categories.push_back(tree->Text(n));
    std::sort(categories.begin(), categories.end());
    EXPECT_EQ(categories, (std::vector<std::wstring>{L"Graphics", NonAssociatedCategory, L"Office"}));
    EXPECT_TRUE(boxes.shown.empty());

    Pump();
    EXPECT_EQ(frmExtensions::Existing(), nullptr);
}

TEST_F(NewExtensionsTest, ARefusedWriteAddsNoRecordAndStillTakesTheEntryOff) {
    Type(L".lmx");
    // HKEY_CLASSES_ROOT stands for a key that is gone: every write under it is refused.
    HKEY gone = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, (scratch + L"\\Gone").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &gone, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegDeleteKeyW(HKEY_CURRENT_USER, (scratch + L"\\Gone").c_str()), ERROR_SUCCESS);
    Redirect(gone);
    const size_t recordsBefore = ExtKeys().size();

    dialog->cmds[ebOK]->Click();

    Redirect(classes);
    RegCloseKey(gone);
    EXPECT_FALSE(DefaultValue(L".lmx").has_value());
    EXPECT_EQ(ExtKeys().size(), recordsBefore);
    EXPECT_EQ(ModelNames(), (std::vector<std::wstring>{L"*", L".bmp", L".doc", L".gif", L".txt"}));
    EXPECT_EQ(ExtensionRows(), ModelNames());
    EXPECT_TRUE(Listed().empty());
    // The failure was reported.
    EXPECT_FALSE(boxes.shown.empty());
}

TEST_F(NewExtensionsTest, OKOnAnEmptyListTouchesNothing) {
    const int displays = host.displays;
    tree->SetText(tree->FirstNode(), L"Renamed");
    dialog->cmds[ebOK]->Click();
    Pump();
    EXPECT_EQ(host.displays, displays);
    EXPECT_EQ(tree->Text(tree->FirstNode()), L"Renamed");
    EXPECT_EQ(ModelNames(), (std::vector<std::wstring>{L"*", L".bmp", L".doc", L".gif", L".txt"}));
    EXPECT_EQ(frmExtensions::Existing(), nullptr);
}

TEST_F(NewExtensionsTest, AnEditNotYetSavedSurvivesOK) {
    tree->SetText(editors, L"Writers");
    host.needSave = true;
    Type(L".lmx");
    dialog->cmds[ebOK]->Click();
    win::TreeNode graphicsAgain = nullptr;
    for (win::TreeNode n = tree->FirstNode(); n; n = tree->Next(n))
        if (tree->Text(n) == L"Graphics") graphicsAgain = n;
    ASSERT_NE(graphicsAgain, nullptr);
    std::vector<std::wstring> subcategories;
    for (win::TreeNode n = tree->Child(graphicsAgain); n; n = tree->Next(n)) subcategories.push_back(tree->Text(n));
    EXPECT_NE(std::find(subcategories.begin(), subcategories.end(), L"Writers"), subcategories.end());
}

TEST_F(NewExtensionsTest, TheThirdButtonFollowsTheFocusAndRemovesTheSelectedEntry) {
    dialog->Show();
    dialog->txt.SetFocus();
    EXPECT_EQ(dialog->cmds[ebAddRemove]->Text(), L"Add");
    // An empty list hands the focus straight back.
    dialog->lstExt.SetFocus();
    EXPECT_EQ(GetFocus(), dialog->txt.Handle());
    EXPECT_EQ(dialog->cmds[ebAddRemove]->Text(), L"Add");

    Type(L".one");
    Type(L".two");
    dialog->lstExt.SetFocus();
    EXPECT_EQ(dialog->cmds[ebAddRemove]->Text(), L"Remove");
    dialog->lstExt.SetListIndex(0);
    dialog->cmds[ebAddRemove]->Click();
    EXPECT_EQ(Listed(), (std::vector<std::wstring>{L".two"}));
    // Nothing selected: nothing goes.
    dialog->cmds[ebAddRemove]->Click();
    EXPECT_EQ(Listed(), (std::vector<std::wstring>{L".two"}));
    dialog->lstExt.SetListIndex(0);
    dialog->cmds[ebAddRemove]->Click();
    EXPECT_TRUE(Listed().empty());
    EXPECT_EQ(GetFocus(), dialog->txt.Handle());
    EXPECT_EQ(dialog->cmds[ebAddRemove]->Text(), L"Add");
}

TEST_F(NewExtensionsTest, CancelUnloadsWithoutWriting) {
    Type(L".lmx");
    dialog->cmds[ebCancel]->Click();
    Pump();
    EXPECT_EQ(frmExtensions::Existing(), nullptr);
    EXPECT_FALSE(DefaultValue(L".lmx").has_value());
}

}  // namespace
