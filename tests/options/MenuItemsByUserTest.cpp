// The pop-up menus' items as a user reaches them: the real options window inside a test frame,
// the pointer moved and clicked and keys typed through SendInput from a second thread while
// this thread runs the window, the item chosen with the pointer on the open pop-up.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <initializer_list>
#include <string>
#include <thread>
#include <vector>

#include "FakePresenter.h"
#include "LibraryMessages.h"
#include "OptionsMenus.h"
#include "OptionsTestSupport.h"
#include "OptionsWindowSupport.h"
#include "UserInput.h"
#include "basData.h"
#include "basIniFile.h"
#include "basMessageHandler.h"
#include "basStrings.h"
#include "frmAlias.h"
#include "frmExtensions.h"
#include "frmFind.h"
#include "frmTesselOptions.h"
#include "vb/VbError.h"
#include "vb/VbText.h"

using namespace windowtest;

namespace {

// Two copies of one program without version information.
const char kUnversionedCopies[] =
    "Missing info. - Missing info.|No version info.|OK|C:\\Apps\\a\\tool.exe|C:\\Apps\\a\\tool.exe\r\n"
    "Missing info. - Missing info.|No version info.|OK|C:\\Apps\\b\\tool.exe|C:\\Apps\\b\\tool.exe\r\n";

const wchar_t kLateExtension[] = L".zzlate";

int CountOf(const std::string& text, const std::string& part) {
    int n = 0;
    for (size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
    return n;
}

// The open pop-up menu's window, if any.
HWND OpenPopUp() {
    HWND menu = FindWindowW(L"#32768", nullptr);
    return menu && IsWindowVisible(menu) ? menu : nullptr;
}

// ---- what the user does (on the user's thread) ----

// Right-clicks at the point and clicks the item of the pop-up that opens.
void ChooseFromPopUp(POINT at, HMENU menu, const std::wstring& caption) {
    userinput::Click(at, userinput::Button::Right);
    ASSERT_TRUE(userinput::WaitUntil([] { return OpenPopUp() != nullptr; }, 5000)) << "no pop-up";
    Sleep(150);
    const int position = optionstest::MenuPositionOf(menu, caption);
    ASSERT_GE(position, 0) << vb::ToAnsi(caption);
    ASSERT_TRUE(optionstest::ClickMenuItemAsUser(menu, position)) << vb::ToAnsi(caption);
    if (!userinput::WaitUntil([] { return OpenPopUp() == nullptr; }, 5000)) {
        RECT item{};
        GetMenuItemRect(nullptr, menu, static_cast<UINT>(position), &item);
        RECT shown{};
        GetWindowRect(OpenPopUp(), &shown);
        POINT pointer{};
        GetCursorPos(&pointer);
        ADD_FAILURE() << "the pop-up stays: item " << item.left << "," << item.top << "-" << item.right << ","
                      << item.bottom << " menu " << shown.left << "," << shown.top << "-" << shown.right << ","
                      << shown.bottom << " pointer " << pointer.x << "," << pointer.y;
        userinput::Press(VK_ESCAPE);
        userinput::WaitUntil([] { return OpenPopUp() == nullptr; }, 2000);
    }
}
// Waits for a top-level window of this process with that caption.
HWND WaitForWindow(const wchar_t* caption) {
    HWND found = nullptr;
    userinput::WaitUntil(
        [&] {
            found = FindWindowW(nullptr, caption);
            return found && IsWindowVisible(found) && GetForegroundWindow() == found;
        },
        5000);
    Sleep(150);
    return found;
}
void WaitUntilGone(HWND window) {
    userinput::WaitUntil([&] { return !IsWindow(window) || !IsWindowVisible(window); }, 5000);
}


// The watchdog, on the user's thread once the user is done: a modal window of this process that
// still waits (its loop keeps the frame disabled) means an input was lost. It is closed, so the
// test fails instead of waiting for ever; answers how many windows were closed.
int CloseModalWindowsLeftOpen(HWND frame) {
    if (userinput::WaitUntil([&] { return IsWindowEnabled(frame) != FALSE; }, 3000)) return 0;
    struct Left {
        HWND frame;
        std::vector<HWND> windows;
    } left{frame, {}};
    EnumWindows(
        [](HWND window, LPARAM param) -> BOOL {
            auto& l = *reinterpret_cast<Left*>(param);
            DWORD process = 0;
            GetWindowThreadProcessId(window, &process);
            if (process == GetCurrentProcessId() && window != l.frame && IsWindowVisible(window) &&
                IsWindowEnabled(window))
                l.windows.push_back(window);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&left));
    for (HWND window : left.windows) PostMessageW(window, WM_CLOSE, 0, 0);
    return static_cast<int>(left.windows.size());
}

class MenuItemsByUserTest;

// One row of the table: the program list the archive carries, and what the user does and sees.
struct ItemCase {
    const char* name;
    std::string programLines;
    std::function<void(MenuItemsByUserTest&)> run;
};

void PrintTo(const ItemCase& item, std::ostream* out) { *out << item.name; }

class MenuItemsByUserTest : public ::testing::TestWithParam<ItemCase> {
public:
    void SetUp() override {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        SetMessageRows(LibraryMessageRow);
        vb::Err().Clear();
        const std::wstring root = RootFolder();
        // An alias file without records, so that no row finds what another row left.
        WriteArchive(root, {{L"Tesselcat.xml", CategoryFile()},
                            {L"TesselExe.dat", GetParam().programLines},
                            {L"Tesselma.xml", "<?xml version=\"1.0\" ?>\r\n<MorvaTesselAlias>\r\n</MorvaTesselAlias>\r\n"}});
        SetFirstRun(L"False");
        DeleteFileW(JoinPaths(root, L"Messages\\Lumox\\Welcome.app.note").c_str());
        RegDeleteKeyW(HKEY_CLASSES_ROOT, kLateExtension);
        SetProgramScan([](ExeScanHost&, bool) { return true; });

        frame = std::make_unique<TestFrame>();
        // The whole frame on the screen, in front, so the pointer reaches what the test aims at.
        SetWindowPos(frame->Handle(), HWND_TOP, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                     SWP_SHOWWINDOW);
        w = &frmTesselOptions::Default();
        w->ShowForm();
        ASSERT_TRUE(PumpUntil([&] { return !w->Loaded() || w->FormReadiness() == frReady; }));
        ASSERT_TRUE(w->Loaded());
        userinput::BringToFront(frame->Handle());
        Pump(300);
    }
    void TearDown() override {
        if (frmTesselOptions* open = frmTesselOptions::Existing()) {
            open->RequestClose();
            PumpUntil([] { return frmTesselOptions::Existing() == nullptr; }, 10000);
        }
        frmFind::Release();
        frmAlias::Release();
        frame.reset();
        SetProgramScan(nullptr);
        RegDeleteKeyW(HKEY_CLASSES_ROOT, kLateExtension);
        Pump(50);
        vb::Err().Clear();
        CoUninitialize();
    }

    // Runs what the user does on a thread of its own while this thread runs the windows (and any
    // menu or modal loop they open); returns once the user is done and the windows caught up.
    void AsUser(const std::function<void()>& actions) {
        std::atomic<bool> done{false};
        int leftOpen = 0;
        std::thread user([&] {
            actions();
            leftOpen = CloseModalWindowsLeftOpen(frame->Handle());
            done = true;
        });
        PumpUntil([&] { return done.load(); }, 30000);
        user.join();
        Pump(300);
        EXPECT_EQ(leftOpen, 0) << "a window still waited for the user once the user was done: an input was lost";
    }

    // ---- where things are (on this thread) ----

    POINT RowPoint(win::ListView& list, int row) {
        RECT r{};
        r.left = LVIR_LABEL;
        SendMessageW(list.Handle(), LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&r));
        return userinput::OnScreen(list.Handle(), POINT{r.left + 8, (r.top + r.bottom) / 2});
    }
    // A point of the list where the user right-clicks: its first row, or empty space.
    POINT ListPoint(win::ListView& list) {
        if (list.Count() > 0) return RowPoint(list, 0);
        return userinput::OnScreen(list.Handle(), POINT{40, 40});
    }
    win::TreeNode NodeNamed(const std::wstring& text) {
        for (long i = 1; i <= w->tvwChoices.Count(); ++i)
            if (win::TreeNode node = w->tvwChoices.Item(i); node && w->tvwChoices.Text(node) == text) return node;
        return nullptr;
    }
    POINT NodePoint(win::TreeNode node) {
        w->tvwChoices.EnsureVisible(node);
        Pump(50);
        RECT r{};
        TreeView_GetItemRect(w->tvwChoices.Handle(), node, &r, TRUE);
        return userinput::OnScreen(w->tvwChoices.Handle(), POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
    }
    int RowWithPath(const std::wstring& shortPath) {
        for (int row = 0; row < w->lvwPrograms.Count(); ++row)
            if (vb::TextEquals(w->lvwPrograms.ItemText(row, 5), shortPath)) return row;
        return -1;
    }
    int RowsWithStatus(const std::wstring& status) {
        int n = 0;
        for (int row = 0; row < w->lvwPrograms.Count(); ++row)
            if (w->lvwPrograms.ItemText(row, 0) == status) ++n;
        return n;
    }
    HMENU Menu(int group) { return w->Menus()->NativeMenu(group); }

    // The alias file once the window's timer has written what the records now hold.
    std::string AliasFileAfterSave() {
        PumpUntil([&] { return !w->NeedToSaveUserChoices(); }, 5000);
        Pump(200);
        return ReadFileBytes(AliasFilePath());
    }

    // The alias file once saved: that many records, and each text given exactly once.
    void ExpectAliasFile(int records, std::initializer_list<const char*> once = {}) {
        const std::string file = AliasFileAfterSave();
        EXPECT_EQ(CountOf(file, "<Alias "), records) << file;
        for (const char* part : once) EXPECT_EQ(CountOf(file, part), 1) << part << "\n" << file;
    }

    // ---- steps shared by rows ----

    // A filter item chosen twice: the rows of that status come and go (or, for "Hide Normally
    // Shown Executables", the "OK" rows go and come back).
    void ToggleFilter(const std::wstring& caption, const std::wstring& status, bool hides) {
        const int before = RowsWithStatus(status);
        EXPECT_EQ(before, hides ? 10 : 0);
        for (int round = 1; round <= 2; ++round) {
            const POINT at = ListPoint(w->lvwPrograms);
            const HMENU menu = Menu(mgPrgList);
            AsUser([&] { ChooseFromPopUp(at, menu, caption); });
            const bool changed = round == 1;
            const int expected = changed == hides ? 0 : 10;
            EXPECT_TRUE(PumpUntil([&] { return RowsWithStatus(status) == expected; }, 5000))
                << vb::ToAnsi(caption) << " round " << round << ": " << RowsWithStatus(status) << " rows";
            EXPECT_EQ(w->Menus()->Checked(mgPrgList, PositionIndex(caption)), changed);
        }
    }
    int PositionIndex(const std::wstring& caption) {
        for (int index : {70, 80, 90, 100})
            if (w->Menus()->Item(mgPrgList, index)->caption == caption) return index;
        return -1;
    }

    // Renames the right-clicked node (not the selected one) through the menu item.
    void RenameRightClicked(const std::wstring& selectFirst, const std::wstring& target, int group,
                            const std::wstring& item, const std::wstring& newName) {
        win::TreeNode selected = NodeNamed(selectFirst);
        win::TreeNode node = NodeNamed(target);
        ASSERT_TRUE(selected && node);
        const POINT selectAt = NodePoint(selected);
        AsUser([&] { userinput::Click(selectAt); });
        ASSERT_EQ(w->tvwChoices.Selected(), selected);
        const POINT at = NodePoint(node);
        const HMENU menu = Menu(group);
        AsUser([&] {
            ChooseFromPopUp(at, menu, item);
            Sleep(300);
            userinput::Type(newName);
            userinput::Press(VK_RETURN);
            Sleep(200);
        });
        EXPECT_EQ(w->tvwChoices.Text(node), newName);
        EXPECT_EQ(w->tvwChoices.Text(selected), selectFirst);
        EXPECT_TRUE(boxes.shown.empty());
    }

    // "Assign Alias" on the row of that short path, with the three texts typed into the dialog.
    void AssignAlias(const std::wstring& shortPath, const std::wstring& company, const std::wstring& product,
                     const std::wstring& version) {
        const int row = RowWithPath(shortPath);
        ASSERT_GE(row, 0);
        const POINT at = RowPoint(w->lvwPrograms, row);
        const HMENU menu = Menu(mgPrgList);
        AsUser([&] {
            ChooseFromPopUp(at, menu, L"Assign Alias");
            HWND dialog = WaitForWindow(L"Assign Alias");
            ASSERT_NE(dialog, nullptr);
            // The company box has the focus with its text selected; Tab moves to the next box.
            userinput::Type(company);
            userinput::Press(VK_TAB);
            userinput::Type(product);
            userinput::Press(VK_TAB);
            userinput::Type(version);
            userinput::Press(VK_RETURN);
            WaitUntilGone(dialog);
        });
        EXPECT_TRUE(boxes.shown.empty());
    }
    void RemoveAlias(const std::wstring& shortPath) {
        const int row = RowWithPath(shortPath);
        ASSERT_GE(row, 0);
        const POINT at = RowPoint(w->lvwPrograms, row);
        const HMENU menu = Menu(mgPrgList);
        AsUser([&] { ChooseFromPopUp(at, menu, L"Remove Alias"); });
    }
    std::wstring Shown(const std::wstring& shortPath) {
        const int row = RowWithPath(shortPath);
        return row < 0 ? L"(no row)" : w->lvwPrograms.ItemText(row, 2) + L" " + w->lvwPrograms.ItemText(row, 1);
    }

    std::unique_ptr<TestFrame> frame;
    frmTesselOptions* w = nullptr;
    FakePresenter boxes;
};

TEST_P(MenuItemsByUserTest, DoesWhatItSays) { GetParam().run(*this); }

// Programs "Acme - Viewer 0" to "Acme - Viewer 39": ten each of "OK", "NE", "WD" and "SD".
const std::string kForty = ProgramLines(40);

const ItemCase kItems[] = {
    {"ShowNormallyExcluded", kForty,
     [](MenuItemsByUserTest& t) { t.ToggleFilter(L"Show Normally Excluded Executables", L"NE", false); }},
    {"ShowWindowsDirectory", kForty,
     [](MenuItemsByUserTest& t) { t.ToggleFilter(L"Show Executables in the Windows Directory", L"WD", false); }},
    {"ShowSystemDirectory", kForty,
     [](MenuItemsByUserTest& t) { t.ToggleFilter(L"Show Executables in Windows System Directory", L"SD", false); }},
    {"HideNormallyShown", kForty,
     [](MenuItemsByUserTest& t) { t.ToggleFilter(L"Hide Normally Shown Executables", L"OK", true); }},
    {"RenameCategoryRightClicked", kForty,
     [](MenuItemsByUserTest& t) {
         t.RenameRightClicked(L"Viewers", L"Text", mgCategory, L"&Rename Category", L"Prose");
     }},
    {"RenameSubcategoryRightClicked", kForty,
     [](MenuItemsByUserTest& t) {
         t.RenameRightClicked(L"Text", L"Editors", mgSubcategory, L"&Rename Subcategory", L"Writers");
     }},
    {"AliasWithADashInItsCompany", ProgramLines(4),
     [](MenuItemsByUserTest& t) {
         const std::wstring program = L"C:\\Apps\\prog0.exe";
         t.AssignAlias(program, L"X-Rite", L"Color", L"2.0");
         EXPECT_EQ(t.Shown(program), L"X-Rite - Color 2.0");
         t.ExpectAliasFile(1, {"CompanyA=\"X-Rite\" ProductA=\"Color\" VersionA=\"2.0\"",
                               "Company=\"Acme\" Product=\"Viewer 0\" Version=\"1.0\""});

         // Another alias replaces it in its record.
         t.AssignAlias(program, L"X-Rite", L"Color Pro", L"2.1");
         EXPECT_EQ(t.Shown(program), L"X-Rite - Color Pro 2.1");
         t.ExpectAliasFile(1, {"ProductA=\"Color Pro\""});

         t.RemoveAlias(program);
         EXPECT_EQ(t.Shown(program), L"Acme - Viewer 0 1.0");
         t.ExpectAliasFile(0);
     }},
    {"AliasOnTwoUnversionedCopies", ProgramLines(4) + kUnversionedCopies,
     [](MenuItemsByUserTest& t) {
         const std::wstring a = L"C:\\Apps\\a\\tool.exe", b = L"C:\\Apps\\b\\tool.exe";
         const char* const pathA = "LongPath=\"C:\\Apps\\a\\tool.exe\"";
         const char* const pathB = "LongPath=\"C:\\Apps\\b\\tool.exe\"";
         t.AssignAlias(a, L"Toolsmith", L"Tool", L"1");
         t.ExpectAliasFile(1, {pathA});

         t.AssignAlias(b, L"Toolsmith", L"Tool", L"1");
         t.ExpectAliasFile(2, {pathA, pathB});
         EXPECT_EQ(t.Shown(a), L"Toolsmith - Tool 1");
         EXPECT_EQ(t.Shown(b), L"Toolsmith - Tool 1");

         // Removing the second copy's alias leaves the first copy's.
         t.RemoveAlias(b);
         EXPECT_EQ(t.Shown(b), L"Missing info. - Missing info. No version info.");
         EXPECT_EQ(t.Shown(a), L"Toolsmith - Tool 1");
         t.ExpectAliasFile(1, {pathA});

         // A new alias on the second copy makes it a record of its own again.
         t.AssignAlias(b, L"Toolsmith", L"Tool B", L"2");
         t.ExpectAliasFile(2, {pathA, pathB});
         EXPECT_EQ(t.Shown(a), L"Toolsmith - Tool 1");
         EXPECT_EQ(t.Shown(b), L"Toolsmith - Tool B 2");
     }},
    {"CtrlFFromRowFiveOfTen", kForty,
     [](MenuItemsByUserTest& t) {
         ASSERT_EQ(t.w->lvwPrograms.Count(), 10);
         const POINT row5 = t.RowPoint(t.w->lvwPrograms, 4);
         t.AsUser([&] { userinput::Click(row5); });
         ASSERT_TRUE(t.w->lvwPrograms.Selected(4));
         t.AsUser([&] {
             userinput::Chord({VK_CONTROL, 'F'});
             HWND find = WaitForWindow(L" Find Exe File");
             ASSERT_NE(find, nullptr);
             userinput::Type(L"Acme");
             userinput::Press(VK_RETURN);
             WaitUntilGone(find);
         });
         EXPECT_TRUE(t.w->lvwPrograms.Selected(5));
         EXPECT_FALSE(t.w->lvwPrograms.Selected(1));
     }},
    {"NewExtensionOverAKeyRegisteredMeanwhile", ProgramLines(4),
     [](MenuItemsByUserTest& t) {
         // Another program registers the extension after the window read the registry.
         HKEY key = nullptr;
         ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, kLateExtension, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                   nullptr),
                   ERROR_SUCCESS);
         const wchar_t app[] = L"LateApp";
         RegSetValueExW(key, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(app), sizeof app);
         RegCloseKey(key);

         const POINT at = t.ListPoint(t.w->lvwExts);
         const HMENU menu = t.Menu(mgExtList);
         t.AsUser([&] {
             ChooseFromPopUp(at, menu, L"&Add Extension");
             HWND dialog = WaitForWindow(L"Add Extensions");
             ASSERT_NE(dialog, nullptr);
             HWND box = FindWindowExW(dialog, nullptr, L"Edit", nullptr);
             userinput::Click(userinput::CentreOf(box));
             Sleep(100);
             userinput::Press(VK_END);
             userinput::Type(L"zzlate");
             userinput::Press(VK_RETURN);  // "Add"
             Sleep(200);
             userinput::Click(userinput::CentreOf(FindWindowExW(dialog, nullptr, L"Button", L"OK")));
             WaitUntilGone(dialog);
         });
         ASSERT_EQ(t.boxes.shown.size(), 1u);
         EXPECT_EQ(t.boxes.shown[0].prompt.find(L"This Extension is already registered with Windows."), 0u);
         wchar_t value[64] = {};
         LONG size = sizeof value;
         EXPECT_EQ(RegQueryValueW(HKEY_CLASSES_ROOT, kLateExtension, value, &size), ERROR_SUCCESS);
         EXPECT_STREQ(value, L"LateApp");
         for (int row = 0; row < t.w->lvwExts.Count(); ++row) EXPECT_NE(t.w->lvwExts.ItemText(row), kLateExtension);
     }},
};

INSTANTIATE_TEST_SUITE_P(Items, MenuItemsByUserTest, ::testing::ValuesIn(kItems),
                         [](const ::testing::TestParamInfo<ItemCase>& info) { return info.param.name; });

}  // namespace
