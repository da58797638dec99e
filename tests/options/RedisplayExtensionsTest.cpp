// The extension list's reload after the registry changed, on real files in a working folder and
// a scratch registry: what the files hold comes back, a later save writes it back unchanged,
// edits not yet saved survive, and a category file that cannot be read is never overwritten.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "EditorFixture.h"
#include "TestSupport.h"
#include "basCategories.h"
#include "basData.h"
#include "basIniFile.h"
#include "basProgramList.h"
#include "basUserChoices.h"

namespace {

using edittest::EditorFixture;
using treetest::LinesOf;

std::string Read(const std::wstring& path) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

void Write(const std::wstring& path, const std::string& bytes) {
    std::ofstream out(std::filesystem::path(path), std::ios::binary | std::ios::trunc);
    out << bytes;
}

const char kAdd[] = ".bmp|Quillon - Pix|1.2|OK-A|C:\\Pix\\pix.exe|C:\\PIX\\pix.exe\r\n"
                    ".txt|Acme - Zed|2.0|OK-A|C:\\Zed\\zed.exe|C:\\ZED\\zed.exe\r\n";
const char kDef[] = ".gif|Quillon - Pix|1.2|OK-D|C:\\Pix\\pix.exe|C:\\PIX\\pix.exe\r\n";
const char kDel[] = ".doc|Wordy - Word|9|SD-R|C:\\Word\\word.exe|C:\\WORD\\word.exe\r\n";

class RedisplayExtensionsTest : public EditorFixture {
protected:
    void SetUp() override {
        EditorFixture::SetUp();
        scratch = L"Software\\LumoxTests\\Redisplay" + std::to_wstring(GetCurrentProcessId());
        testsupport::DeleteRegistryTree(HKEY_CURRENT_USER, scratch);
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, (scratch + L"\\HKCR").c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                                  nullptr, &classes, nullptr),
                  ERROR_SUCCESS);
        for (const wchar_t* ext : {L"*", L".bmp", L".doc", L".gif", L".txt"}) {
            HKEY key;
            RegCreateKeyExW(classes, ext, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
            RegCloseKey(key);
        }
        ASSERT_EQ(RegOverridePredefKey(HKEY_CLASSES_ROOT, classes), ERROR_SUCCESS);

        folder = testsupport::FreshTempFolder(L"lxredisplay");
        SetIniFolderOverride(folder);
        UseDataFolder(folder);
        previousHost = SetCategoryHost(&host);
        ResetRegistryModelState();
        // No program list: no override entry counts as stale.
        savedProgramLines = ProgramLines();
        SetProgramLines({});

        // The files as the tree and the lists above were last saved.
        CategoriesLoaded() = true;
        categoryFile = CategoryFileText(*tree);
        Write(CategoryFilePath(), categoryFile);
        Write(GetAddFilePath(), kAdd);
        Write(GetDefFilePath(), kDef);
        Write(GetDelFilePath(), kDel);
        // What memory holds meanwhile differs from the files.
        AddList() = treetest::ListOf({L".zip|Other|1|OK-A|C:\\o.exe|C:\\o.exe"});
    }
    void TearDown() override {
        RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
        RegCloseKey(classes);
        testsupport::DeleteRegistryTree(HKEY_CURRENT_USER, scratch);
        SetCategoryHost(previousHost);
        CategoriesLoaded() = false;
        SetIniFolderOverride(L"");
        ResetRegistryModelState();
        SetProgramLines(savedProgramLines);
        EditorFixture::TearDown();
        testsupport::RemoveTree(folder);
    }
    win::TreeNode Find(win::TreeNode parent, const std::wstring& text) const {
        for (win::TreeNode n = parent ? tree->Child(parent) : tree->FirstNode(); n; n = tree->Next(n))
            if (tree->Text(n) == text) return n;
        return nullptr;
    }

    std::wstring scratch;
    HKEY classes = nullptr;
    std::wstring folder;
    std::string categoryFile;
    CategoryHost* previousHost = nullptr;
    std::vector<std::wstring> savedProgramLines;
};

TEST_F(RedisplayExtensionsTest, TheListsAndTheTreeAreTheFilesAfterwardsAndSaveBackUnchanged) {
    EXPECT_TRUE(editor->RedisplayExtensionList());
    EXPECT_EQ(LinesOf(AddList()), (std::vector<std::wstring>{
                                      L".bmp|Quillon - Pix|1.2|OK-A|C:\\Pix\\pix.exe|C:\\PIX\\pix.exe",
                                      L".txt|Acme - Zed|2.0|OK-A|C:\\Zed\\zed.exe|C:\\ZED\\zed.exe"}));
    EXPECT_EQ(DefList().Count(), 1);
    EXPECT_EQ(RemoveList().Count(), 1);
    EXPECT_EQ(host.displays, 1);
    EXPECT_EQ(exts->Count(), 5);
    EXPECT_TRUE(CategoriesLoaded());
    win::TreeNode graphicsAgain = Find(nullptr, L"Graphics");
    ASSERT_NE(graphicsAgain, nullptr);
    EXPECT_NE(Find(graphicsAgain, L"Viewers"), nullptr);

    SaveUserChoices(true);
    EXPECT_EQ(Read(CategoryFilePath()), categoryFile);
    EXPECT_EQ(Read(GetAddFilePath()), kAdd);
    EXPECT_EQ(Read(GetDefFilePath()), kDef);
    EXPECT_EQ(Read(GetDelFilePath()), kDel);
}

TEST_F(RedisplayExtensionsTest, ARenameNotYetSavedSurvives) {
    tree->SetText(editors, L"Writers");
    host.needSave = true;
    editor->RedisplayExtensionList();
    win::TreeNode graphicsAgain = Find(nullptr, L"Graphics");
    ASSERT_NE(graphicsAgain, nullptr);
    EXPECT_NE(Find(graphicsAgain, L"Writers"), nullptr);
    EXPECT_EQ(Find(graphicsAgain, L"Editors"), nullptr);
}

TEST_F(RedisplayExtensionsTest, ACategoryFileThatFailsToLoadStaysUntouched) {
    const std::string broken = "<MorvaTessel><Category name=\"Half";
    Write(CategoryFilePath(), broken);
    editor->RedisplayExtensionList();
    EXPECT_FALSE(CategoriesLoaded());
    // Later saves write the lists but leave the category file as it is.
    SaveUserChoices(true);
    EXPECT_EQ(Read(CategoryFilePath()), broken);
    EXPECT_EQ(Read(GetAddFilePath()), kAdd);
}

TEST_F(RedisplayExtensionsTest, SavesWaitWhileHeld) {
    {
        UserChoicesSaveHold hold;
        AddList().Clear();
        SaveUserChoices(true);
        EXPECT_EQ(Read(GetAddFilePath()), kAdd);
        AddList() = treetest::ListOf({L".txt|Acme - Zed|2.0|OK-A|C:\\Zed\\zed.exe|C:\\ZED\\zed.exe"});
    }
    EXPECT_EQ(Read(GetAddFilePath()), ".txt|Acme - Zed|2.0|OK-A|C:\\Zed\\zed.exe|C:\\ZED\\zed.exe\r\n");
}

}  // namespace
