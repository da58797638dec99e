// The road of one edit: a program and an extension dropped on a subcategory of the category
// tree become an Add line and category nodes in the data archive when the options side closes;
// made the default, a Def line; and the chooser, started by COM for a file of that extension,
// then starts the program directly. The options side is the tree's own operations with the data
// model's opening (unpack, load) and closing (save, pack) steps; its archive is copied to and
// from the installed suite, whose chooser reads it.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <memory>

#include "CategoryHost.h"
#include "CategoryTree.h"
#include "E2ESupport.h"
#include "FakePresenter.h"
#include "LibraryMessages.h"
#include "TestSupport.h"
#include "UiTestForms.h"
#include "basAliases.h"
#include "basCategories.h"
#include "basData.h"
#include "basIniFile.h"
#include "basMessageHandler.h"
#include "basUserChoices.h"
#include "vb/VbApp.h"
#include "vb/VbText.h"

namespace {

const char kCategories[] =
    "<?xml version=\"1.0\" ?>\r\n"
    "<MorvaTessel>\r\n"
    "   <Category name=\"Road Tests\">\r\n"
    "      <Subcategory name=\"Documents\">\r\n"
    "      </Subcategory>\r\n"
    "</Category>\r\n"
    "</MorvaTessel>\r\n";

void WriteAnsi(const std::wstring& path, const std::string& text) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    DWORD written = 0;
    WriteFile(file, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(file);
}

// The options window as far as the road needs it: the tree, the program list and the extension list.
class OptionsSide : public CategoryHost, public CategoryTreeWindow {
public:
    OptionsSide() : form(L"frmTesselOptions", 500, 400) {
        tree = &form.Put<win::TreeView>(nullptr, L"tvwChoices", -1, win::Rect{0, 0, 250, 400});
        programs = &form.Put<win::ListView>(nullptr, L"lvwPrograms", -1, win::Rect{250, 0, 250, 400}, false);
        for (const wchar_t* column : {L"Status", L"Version", L"Programs", L"Exe", L"Path", L"Short"})
            programs->AddColumn(column, 40);
        ops = std::make_unique<CategoryTree>(*tree, *this);
        previous = SetCategoryHost(this);
    }
    ~OptionsSide() {
        ops.reset();
        SetCategoryHost(previous);
    }

    // Opening: the archive unpacked into the working folder, the overrides, aliases and tree loaded.
    bool Open(const char* categoryFile = nullptr) {
        if (!UnpackFiles()) return false;
        AddList().Clear();
        DefList().Clear();
        RemoveList().Clear();
        GetUserChoices(false);
        GetAliases();
        if (categoryFile) WriteAnsi(CategoryFilePath(), categoryFile);
        return GetCategories();
    }
    // Closing: the last save, then the working folder packed back into the archive.
    void Close() {
        ::SaveUserChoices(true);
        CategoriesLoaded() = false;
        PackFiles();
    }

    win::TreeNode Subcategory(const std::wstring& category, const std::wstring& name) const {
        return tree->ItemByKey(category + L"*" + name);
    }
    void ListProgram(const std::vector<std::wstring>& f) {
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

    // CategoryHost
    win::TreeNodes& Choices() override { return *tree; }
    long ExtensionRowCount() const override { return 1; }
    std::wstring ExtensionRowText(long) const override { return L".lxnone"; }
    long ExtensionRowTag(long) const override { return 1; }
    void SetCategoryFileUntouched(bool) override {}
    // CategoryTreeWindow
    void SaveUserChoices(bool saveNow) override { ::SaveUserChoices(saveNow); }
    void RescanPrograms() override {}
    bool GetPrograms() override { return false; }
    void DisplayPrograms(bool) override {}

    TestForm form;
    win::TreeView* tree = nullptr;
    win::ListView* programs = nullptr;
    std::unique_ptr<CategoryTree> ops;

private:
    CategoryHost* previous = nullptr;
};

class RoadOfOneEdit : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        installed = e2e::InstallSuite(std::wstring(temp) + L"LumoxRoad", suite, failure);
    }
    static void TearDownTestSuite() { e2e::RemoveSuite(suite); }
    void SetUp() override {
        CoInitialize(nullptr);
        ASSERT_TRUE(installed) << vb::ToAnsi(failure);
        SetMessageRows(LibraryMessageRow);
        road = vb::AppPath() + L"\\roadcheck";
        testsupport::RemoveTree(road);
        CreateDirectoryW(road.c_str(), nullptr);
        CreateDirectoryW((RootFolder() + L"\\Data").c_str(), nullptr);
    }
    void TearDown() override {
        e2e::SwitchOff();
        CoUninitialize();
    }

    // The options library's archive is the suite's: copied over before it opens, back after it closed.
    void TakeSuiteArchive() {
        ASSERT_TRUE(CopyFileW((suite.root + L"\\Data\\TesselMorva.dat").c_str(), GetArchivePath().c_str(), FALSE));
    }
    void GiveArchiveBack(const wchar_t* keepAs) {
        ASSERT_TRUE(CopyFileW(GetArchivePath().c_str(), (suite.root + L"\\Data\\TesselMorva.dat").c_str(), FALSE));
        ASSERT_TRUE(CopyFileW(GetArchivePath().c_str(), (road + L"\\" + keepAs).c_str(), FALSE));
    }

    static inline e2e::Suite suite;
    static inline bool installed = false;
    static inline std::wstring failure;
    std::wstring road;
    FakePresenter boxes;
};

std::wstring Line(const std::wstring& ext, const std::vector<std::wstring>& f, const wchar_t* status) {
    return ext + L"|" + f[0] + L"|" + f[1] + L"|" + status + L"|" + f[3] + L"|" + f[4];
}

TEST_F(RoadOfOneEdit, AnEditInTheTreeReachesTheChooser) {
    const std::wstring program = suite.App(L"fixed");
    const std::vector<std::wstring> fixed = {L"Quillon Test Works - Fixed", L"3.1.4.1", L"OK", program,
                                             e2e::ShortPath(program)};
    const std::wstring addLine = Line(L".lxnone", fixed, L"OK-A");
    const std::wstring defLine = Line(L".lxnone", fixed, L"OK-D");
    WriteAnsi(road + L"\\expected_add.txt", vb::ToAnsi(addLine) + "\n");
    WriteAnsi(road + L"\\expected_def.txt", vb::ToAnsi(defLine) + "\n");

    // A program and an extension dropped on a subcategory; the window closes.
    TakeSuiteArchive();
    {
        OptionsSide options;
        ASSERT_TRUE(options.Open(kCategories));
        win::TreeNode documents = options.Subcategory(L"Road Tests", L"Documents");
        ASSERT_NE(documents, nullptr);
        options.ListProgram(fixed);
        options.ops->AddProgramToSubcategory(documents, options.programs, true);
        options.ops->AddExtensionToSubcategory(documents, L".lxnone", 1, true);
        EXPECT_EQ(AddList()[AddList().UBound()], addLine);
        options.Close();
    }
    GiveArchiveBack(L"first.dat");

    // Opened again: the program made the default; the window closes.
    TakeSuiteArchive();
    {
        OptionsSide options;
        ASSERT_TRUE(options.Open());
        win::TreeNode documents = options.Subcategory(L"Road Tests", L"Documents");
        ASSERT_NE(documents, nullptr);
        win::TreeNode node = options.tree->Child(options.tree->Child(documents));
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(options.tree->Text(node), L"Quillon Test Works - Fixed 3.1.4.1");
        EXPECT_EQ(options.tree->Text(options.tree->Child(options.ops->ExtensionsFolderOf(documents))), L".lxnone");
        options.ops->SetCurrentTreeNode(node);
        options.ops->mnuMakeDefault();
        EXPECT_TRUE(options.tree->Bold(node));
        options.Close();
    }
    GiveArchiveBack(L"second.dat");
    EXPECT_TRUE(boxes.shown.empty()) << vb::ToAnsi(boxes.shown.empty() ? L"" : boxes.shown[0].prompt);

    // The shell opens a file of that extension: the chooser starts the program without its list.
    for (const wchar_t* name : {L"fixed", L"winprog"}) DeleteFileW(suite.Log(name).c_str());
    e2e::SwitchOn();
    const std::wstring plain = suite.Doc(L"plain.lxnone");
    e2e::ListUser user(e2e::ListCaption(L".lxnone"), {VK_ESCAPE});
    const e2e::ShellResult result = e2e::PlayShell(plain);
    EXPECT_FALSE(user.Finish());
    EXPECT_EQ(result.hook, S_OK);
    EXPECT_FALSE(result.openedByShell);
    const std::vector<std::wstring> lines = e2e::LogLines(suite.Log(L"fixed"), 1, 20000);
    ASSERT_EQ(lines.size(), 1u);
    const std::wstring argument = L" " + e2e::ShortPath(plain);
    EXPECT_EQ(lines[0].substr(lines[0].size() - argument.size()), argument) << vb::ToAnsi(lines[0]);
    EXPECT_TRUE(e2e::LogLines(suite.Log(L"winprog"), 0, 500).empty());
}

}  // namespace
