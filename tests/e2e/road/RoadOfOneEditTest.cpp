// The road of one edit: a program and an extension dropped on a subcategory of the options
// window's category tree become an Add line and category nodes in the data archive when the
// window closes; made the default, a Def line; and the chooser, started by COM for a file of that
// extension, then starts the program directly. The options window runs in this program on the
// archive beside it, which is copied to the installed suite, whose chooser reads it.
#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>

#include "CategoryHost.h"
#include "CategoryTree.h"
#include "ChooserTestSupport.h"
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
#include "frmTesselOptions.h"
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

bool PumpUntil(const std::function<bool()>& done, DWORD milliseconds = 20000) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > milliseconds) return false;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}

// No first-run steps (restorer, welcome note) in the window's load.
void NotFirstRun() {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Morva Corporation\\Morva Utility Manager\\4", 0, nullptr, 0,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    const wchar_t value[] = L"False";
    RegSetValueExW(key, L"Morva Utility Manager First Time", 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                   sizeof value);
    RegCloseKey(key);
}

// The options window as the user opens it: loaded, its data unpacked and shown.
frmTesselOptions* OpenOptionsWindow() {
    frmTesselOptions& w = frmTesselOptions::Default();
    w.ShowForm();
    if (!PumpUntil([&] { return !w.Loaded() || w.FormReadiness() == frReady; })) return nullptr;
    return w.Loaded() && w.FormReadiness() == frReady ? &w : nullptr;
}

// The row of a list whose column holds text; -1 when none.
int RowOf(const win::ListView& list, int column, const std::wstring& text) {
    for (int row = 0; row < list.Count(); ++row)
        if (vb::TextEquals(list.ItemText(row, column), text)) return row;
    return -1;
}

void SelectOnly(win::ListView& list, int row) {
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list.Handle(), LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(list.Handle(), LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
}

win::TreeNode Subcategory(frmTesselOptions& w, const std::wstring& category, const std::wstring& name) {
    return w.tvwChoices.ItemByKey(category + L"*" + name);
}

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
        if (frmTesselOptions* w = frmTesselOptions::Existing()) DestroyWindow(w->Handle());
        e2e::SwitchOff();
        CoUninitialize();
    }

    // The program's five fields as the program list gives them.
    static std::vector<std::wstring> Program(const wchar_t* name, const wchar_t* product) {
        const std::wstring path = suite.App(name);
        return {std::wstring(L"Quillon Test Works - ") + product, L"3.1.4.1", L"OK", path, e2e::ShortPath(path)};
    }
    // The options library's archive beside this program: the suite's programs scanned, its
    // overrides, and a category file with one empty subcategory.
    void WriteOptionsArchive() {
        std::wstring programs, add, def;
        for (const auto& [name, product] : {std::pair{L"editor", L"Editor"}, {L"fixed", L"Fixed"}, {L"viewer", L"Viewer"}}) {
            const std::vector<std::wstring> f = Program(name, product);
            programs += f[0] + L"|" + f[1] + L"|" + f[2] + L"|" + f[3] + L"|" + f[4] + L"\r\n";
        }
        add = Line(L".lxadd", Program(L"editor", L"Editor"), L"OK-A") + L"\r\n" +
              Line(L".lxadd", Program(L"viewer", L"Viewer"), L"OK-A") + L"\r\n";
        def = Line(L".lxdef", Program(L"fixed", L"Fixed"), L"OK-D") + L"\r\n";
        ASSERT_TRUE(choosertest::MakeArchive(GetArchivePath(), {{L"Tesselcat.xml", kCategories},
                                                                {L"TesselExe.dat", vb::ToAnsi(programs)},
                                                                {L"TesselAdd.dat", vb::ToAnsi(add)},
                                                                {L"TesselDef.dat", vb::ToAnsi(def)},
                                                                {L"TesselDel.dat", ""}}));
    }
    // After the window closed: the chooser reads what it packed; Info-ZIP looks at a copy later.
    void GiveArchiveToTheSuite(const wchar_t* keepAs) {
        ASSERT_TRUE(CopyFileW(GetArchivePath().c_str(), (suite.root + L"\\Data\\TesselMorva.dat").c_str(), FALSE));
        ASSERT_TRUE(CopyFileW(GetArchivePath().c_str(), (road + L"\\" + keepAs).c_str(), FALSE));
    }
    static std::wstring Line(const std::wstring& ext, const std::vector<std::wstring>& f, const wchar_t* status) {
        return ext + L"|" + f[0] + L"|" + f[1] + L"|" + status + L"|" + f[3] + L"|" + f[4];
    }

    static inline e2e::Suite suite;
    static inline bool installed = false;
    static inline std::wstring failure;
    std::wstring road;
    FakePresenter boxes;
};

TEST_F(RoadOfOneEdit, AnEditInTheTreeReachesTheChooser) {
    const std::vector<std::wstring> fixed = Program(L"fixed", L"Fixed");
    const std::wstring addLine = Line(L".lxnone", fixed, L"OK-A");
    const std::wstring defLine = Line(L".lxnone", fixed, L"OK-D");
    WriteAnsi(road + L"\\expected_add.txt", vb::ToAnsi(addLine) + "\n");
    WriteAnsi(road + L"\\expected_def.txt", vb::ToAnsi(defLine) + "\n");
    WriteOptionsArchive();
    NotFirstRun();

    // The program and the extension dragged from the window's lists onto a subcategory; the
    // window closes.
    {
        frmTesselOptions* w = OpenOptionsWindow();
        ASSERT_NE(w, nullptr);
        win::TreeNode documents = Subcategory(*w, L"Road Tests", L"Documents");
        ASSERT_NE(documents, nullptr);
        const int program = RowOf(w->lvwPrograms, 2, fixed[0]);
        ASSERT_GE(program, 0);
        SelectOnly(w->lvwPrograms, program);
        w->AddProgramToSubcategory(documents, w->lvwPrograms, true);
        const int extension = RowOf(w->lvwExts, 0, L".lxnone");
        ASSERT_GE(extension, 0);
        w->AddExtensionToSubcategory(documents, L".lxnone", std::wcstol(w->lvwExts.RowTag(extension).c_str(), nullptr, 10),
                                     true);
        EXPECT_NE(std::find(AddList().begin(), AddList().end(), addLine), AddList().end());
        EXPECT_TRUE(w->RequestClose());
        EXPECT_FALSE(w->Loaded());
    }
    GiveArchiveToTheSuite(L"first.dat");

    // Opened again: the program made the default from its pop-up menu; the window closes.
    {
        frmTesselOptions* w = OpenOptionsWindow();
        ASSERT_NE(w, nullptr);
        win::TreeNode documents = Subcategory(*w, L"Road Tests", L"Documents");
        ASSERT_NE(documents, nullptr);
        CategoryTree& tree = w->Categories();
        win::TreeNode node = w->tvwChoices.Child(tree.ProgramsFolderOf(documents));
        ASSERT_NE(node, nullptr);
        EXPECT_EQ(w->tvwChoices.Text(node), L"Quillon Test Works - Fixed 3.1.4.1");
        EXPECT_EQ(w->tvwChoices.Text(w->tvwChoices.Child(tree.ExtensionsFolderOf(documents))), L".lxnone");
        tree.SetCurrentTreeNode(node);
        tree.mnuMakeDefault();
        EXPECT_TRUE(w->tvwChoices.Bold(node));
        EXPECT_TRUE(w->RequestClose());
    }
    GiveArchiveToTheSuite(L"second.dat");
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
