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

// Right-clicks at the point and, once the pop-up shows, clicks its item with that caption and
// waits until the pop-up has gone.
void ChooseFromPopUp(POINT at, HMENU menu, const std::wstring& caption) {
    // What the last command left queued (a refill of the list, say) is done before the click.
    userinput::WindowThreadCaughtUp();
    userinput::Click(at, userinput::Button::Right);
    HWND shown = userinput::WaitForPopUpMenu(10000);
    ASSERT_NE(shown, nullptr) << "no pop-up for " << vb::ToAnsi(caption);
    // Another pop-up than the list's means the click met the window while it was still busy
    // with the last command: a user closes it with Escape, which chooses nothing, and clicks again.
    for (int again = 0; again < 2 && reinterpret_cast<HMENU>(SendMessageW(shown, 0x01E1 /*MN_GETHMENU*/, 0, 0)) != menu;
         ++again) {
        userinput::Press(VK_ESCAPE);
        if (!userinput::WaitUntil([] { return !OpenPopUp(); }, 5000)) break;
        userinput::WindowThreadCaughtUp();
        userinput::Click(at, userinput::Button::Right);
        shown = userinput::WaitForPopUpMenu(10000);
        ASSERT_NE(shown, nullptr) << "no pop-up for " << vb::ToAnsi(caption) << " on the click again";
    }
    const userinput::InputLedger& ledger = userinput::Ledger();
    ASSERT_EQ(reinterpret_cast<HMENU>(SendMessageW(shown, 0x01E1 /*MN_GETHMENU*/, 0, 0)), menu)
        << "the right click aimed at " << at.x << "," << at.y << " opened another pop-up; it reached "
        << ledger.lastX.load() << "," << ledger.lastY.load();
    // The items show or hide by what was clicked, so the item is looked up in the menu as it opened.
    const int position = optionstest::MenuPositionOf(menu, caption);
    ASSERT_GE(position, 0) << vb::ToAnsi(caption);
    // Once the window has taken the click and caught up, a pop-up still open did not take the
    // click as a choice (it closes before its loop looks at the queue again): clicking the item
    // once more then is what a user does, and chooses nothing twice.
    for (int click = 1;; ++click) {
        const bool highlighted = userinput::ClickMenuItem(menu, position);
        const bool caughtUp = userinput::WindowThreadCaughtUp();
        if (!OpenPopUp()) break;
        if (!caughtUp || click == 3) {
            ADD_FAILURE() << "the pop-up stays after " << click << " clicks on " << vb::ToAnsi(caption)
                          << (highlighted ? "" : " (never highlighted)");
            return;
        }
    }
}

// Waits for a window of this process with that caption in front, holding the keyboard (one of
// its controls does, unless the window keeps it itself until the user clicks into a box).
HWND WaitForWindow(const wchar_t* caption, bool controlHasTheKeys = true) {
    HWND found = nullptr;
    const bool ready = userinput::WaitUntil(
        [&] {
            found = FindWindowW(nullptr, caption);
            if (!found || !IsWindowVisible(found) || GetForegroundWindow() != found) return false;
            const HWND focus = userinput::FocusedWindow();
            return focus && (IsChild(found, focus) || (!controlHasTheKeys && focus == found));
        },
        10000);
    return ready ? found : nullptr;
}
bool WaitUntilGone(HWND window) {
    return userinput::WaitUntil([&] { return !IsWindow(window) || !IsWindowVisible(window); }, 10000);
}
std::wstring TextOf(HWND window) {
    wchar_t text[512] = {};
    GetWindowTextW(window, text, 511);
    return text;
}
// Types into the box that has the keyboard and waits until the box shows what it should.
bool TypeAndSee(HWND box, const std::wstring& text, const std::wstring& shown) {
    if (!userinput::WaitUntil([&] { return userinput::FocusedWindow() == box; }, 10000)) return false;
    userinput::Type(text);
    return userinput::WaitUntil([&] { return TextOf(box) == shown; }, 10000);
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
        FillTheScreen(*frame);
        ASSERT_TRUE(OpenOptionsWindow(w));
        ASSERT_TRUE(w->Loaded());
        userinput::BringToFront(frame->Handle());
        Pump(300);
    }
    void TearDown() override {
        CloseOptionsWindow();
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
    // menu or modal loop they open); returns once the user is done and the window has handled all
    // of it. A loop still waiting then (an input was lost) is left or closed and the row fails
    // with what was on screen.
    void AsUser(const std::function<void()>& actions) {
        const int leftOpen = userinput::ActAsUser(actions);
        EXPECT_EQ(leftOpen, 0) << "still open once the user was done (an input was lost):\n"
                               << userinput::WhatWasLeftOpen();
    }

    // ---- where things are (on this thread) ----

    // A point of the list at that height (client pixels) where the user sees the list itself and
    // not a control drawn over it.
    POINT VisiblePoint(win::ListView& list, int y) {
        RECT client{};
        GetClientRect(list.Handle(), &client);
        for (int x = 8; x < client.right - 8; x += 8) {
            const POINT at = userinput::OnScreen(list.Handle(), POINT{x, y});
            if (WindowFromPoint(at) == list.Handle()) return at;
        }
        ADD_FAILURE() << "the list is covered at " << y;
        return userinput::OnScreen(list.Handle(), POINT{8, y});
    }
    POINT RowPoint(win::ListView& list, int row) {
        RECT r{};
        r.left = LVIR_LABEL;
        SendMessageW(list.Handle(), LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&r));
        return VisiblePoint(list, (r.top + r.bottom) / 2);
    }
    // A point of the list where the user right-clicks: the first row it shows, or empty space.
    POINT ListPoint(win::ListView& list) {
        if (list.Count() > 0) return RowPoint(list, ListView_GetTopIndex(list.Handle()));
        return VisiblePoint(list, 40);
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
        const HWND tree = w->tvwChoices.Handle();
        AsUser([&] {
            userinput::Click(selectAt);
            EXPECT_TRUE(userinput::WaitUntil([&] { return TreeView_GetSelection(tree) == selected; }, 10000))
                << "the click selected the node";
        });
        ASSERT_EQ(w->tvwChoices.Selected(), selected);
        const POINT at = NodePoint(node);
        const HMENU menu = Menu(group);
        AsUser([&] {
            ChooseFromPopUp(at, menu, item);
            // The node's name opens for editing with the keyboard in it, its text selected.
            HWND edit = nullptr;
            ASSERT_TRUE(userinput::WaitUntil(
                [&] {
                    edit = TreeView_GetEditControl(tree);
                    return edit && IsWindowVisible(edit) && userinput::FocusedWindow() == edit;
                },
                10000))
                << "no name to edit";
            ASSERT_TRUE(TypeAndSee(edit, newName, newName)) << "the name took the typing: " << vb::ToAnsi(TextOf(edit));
            userinput::Press(VK_RETURN);
            EXPECT_TRUE(WaitUntilGone(edit)) << "Enter ended the editing";
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
            ASSERT_NE(dialog, nullptr) << "the dialog came to the front";
            // The company box has the keyboard with its text selected.
            HWND box = userinput::FocusedWindow();
            ASSERT_TRUE(TypeAndSee(box, company, company)) << "company: " << vb::ToAnsi(TextOf(box));
            // The next boxes in the dialog's order, each clicked into and typed over.
            for (const std::wstring* text : {&product, &version}) {
                box = GetNextDlgTabItem(dialog, box, FALSE);
                ASSERT_TRUE(userinput::TypeInto(box, *text)) << vb::ToAnsi(*text) << ": " << vb::ToAnsi(TextOf(box));
            }
            userinput::Click(userinput::CentreOf(FindWindowExW(dialog, nullptr, L"Button", L"Assign Alias")));
            EXPECT_TRUE(WaitUntilGone(dialog)) << "the click on Assign Alias assigned it and closed the dialog";
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
    // "Add Extension" from the extension list's pop-up: the user types the extension after the
    // dot, clicks "Add" and then the button given ("OK" or "Cancel"). Answers how many entries
    // the dialog's list held after the click on "Add".
    int AddExtension(const std::wstring& typed, int finalButton) {
        const POINT at = ListPoint(w->lvwExts);
        const HMENU menu = Menu(mgExtList);
        int listed = -1;
        AsUser([&] {
            ChooseFromPopUp(at, menu, L"&Add Extension");
            HWND dialog = WaitForWindow(L"Add Extensions", false);
            ASSERT_NE(dialog, nullptr) << "the dialog came to the front";
            HWND box = FindWindowExW(dialog, nullptr, L"Edit", nullptr);
            HWND list = FindWindowExW(dialog, nullptr, L"ListBox", nullptr);
            HWND add = FindWindowExW(dialog, nullptr, L"Button", L"Add");
            ASSERT_TRUE(box && list && add);
            userinput::Click(userinput::CentreOf(box));
            ASSERT_TRUE(userinput::WaitUntil([&] { return userinput::FocusedWindow() == box; }, 10000));
            userinput::Press(VK_END);
            ASSERT_TRUE(TypeAndSee(box, typed, L"." + typed)) << "the box took the typing";
            userinput::Click(userinput::CentreOf(add));
            // The click has been handled once the window thread has caught up with it.
            ASSERT_TRUE(userinput::WindowThreadCaughtUp()) << "the click on Add reached the dialog";
            listed = static_cast<int>(SendMessageW(list, LB_GETCOUNT, 0, 0));
            EXPECT_EQ(TextOf(box), L".") << "the box is ready for the next extension";
            userinput::Click(userinput::CentreOf(
                FindWindowExW(dialog, nullptr, L"Button", finalButton == ebOK ? L"OK" : L"Cancel")));
            EXPECT_TRUE(WaitUntilGone(dialog)) << "the dialog closed";
        });
        return listed;
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
         const HWND list = t.w->lvwPrograms.Handle();
         t.AsUser([&] {
             userinput::Click(row5);
             EXPECT_TRUE(userinput::WaitUntil(
                 [&] {
                     return userinput::FocusedWindow() == list &&
                            ListView_GetItemState(list, 4, LVIS_SELECTED) == LVIS_SELECTED;
                 },
                 10000))
                 << "the click selected the row and gave the list the keyboard";
         });
         ASSERT_TRUE(t.w->lvwPrograms.Selected(4));
         t.AsUser([&] {
             userinput::Chord({VK_CONTROL, 'F'});
             HWND find = WaitForWindow(L" Find Exe File");
             ASSERT_NE(find, nullptr) << "Ctrl+F brought the find dialog to the front";
             HWND box = userinput::FocusedWindow();
             ASSERT_TRUE(TypeAndSee(box, L"Acme", L"Acme")) << "the search box took the typing";
             userinput::Click(userinput::CentreOf(FindWindowExW(find, nullptr, nullptr, L"Find")));
             EXPECT_TRUE(WaitUntilGone(find)) << "the click on Find searched and closed the dialog";
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

         t.AddExtension(L"zzlate", ebOK);
         ASSERT_EQ(t.boxes.shown.size(), 1u);
         EXPECT_EQ(t.boxes.shown[0].prompt.find(L"This Extension is already registered with Windows."), 0u);
         wchar_t value[64] = {};
         LONG size = sizeof value;
         EXPECT_EQ(RegQueryValueW(HKEY_CLASSES_ROOT, kLateExtension, value, &size), ERROR_SUCCESS);
         EXPECT_STREQ(value, L"LateApp");
         for (int row = 0; row < t.w->lvwExts.Count(); ++row) EXPECT_NE(t.w->lvwExts.ItemText(row), kLateExtension);
     }},
    {"NewExtensionTheCodePageCannotHold", ProgramLines(4),
     [](MenuItemsByUserTest& t) {
         // A letter this computer's ANSI code page has no place for: its registry key would be
         // written with a question mark in its stead.
         std::wstring letter;
         for (const wchar_t* candidate : {L"\u4E2D", L"\u0416", L"\u05D0", L"\u0E01"})
             if (vb::FromAnsi(vb::ToAnsi(candidate)) != candidate) {
                 letter = candidate;
                 break;
             }
         ASSERT_FALSE(letter.empty());
         const std::wstring typed = L"zz" + letter;
         const std::wstring stored = vb::FromAnsi(vb::ToAnsi(L"." + typed));
         RegDeleteKeyW(HKEY_CLASSES_ROOT, stored.c_str());
         const int extensions = t.w->lvwExts.Count();

         EXPECT_EQ(t.AddExtension(typed, ebOK), 0) << "the extension stays off the list";
         ASSERT_EQ(t.boxes.shown.size(), 1u) << "the user is told why";
         const std::wstring told = optionstest::Unwrapped(t.boxes.shown[0].prompt);
         EXPECT_NE(told.find(L"." + typed), std::wstring::npos) << vb::ToAnsi(told);
         EXPECT_NE(told.find(L"cannot be registered"), std::wstring::npos) << vb::ToAnsi(told);
         EXPECT_EQ(t.boxes.shown[0].style, StyleInformation);
         HKEY key = nullptr;
         EXPECT_NE(RegOpenKeyExW(HKEY_CLASSES_ROOT, stored.c_str(), 0, KEY_READ, &key), ERROR_SUCCESS)
             << "no key of question marks";
         if (key) RegCloseKey(key);
         EXPECT_EQ(t.w->lvwExts.Count(), extensions);
     }},
};

INSTANTIATE_TEST_SUITE_P(Items, MenuItemsByUserTest, ::testing::ValuesIn(kItems),
                         [](const ::testing::TestParamInfo<ItemCase>& info) { return info.param.name; });

}  // namespace
