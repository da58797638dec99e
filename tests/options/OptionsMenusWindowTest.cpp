// The menus, notes and find keys on the real options window inside a test frame.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>
#include <initializer_list>

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
#include "basWinAPI_Windows.h"
#include "frmFind.h"
#include "frmInfo.h"
#include "frmTesselOptions.h"
#include "vb/VbError.h"

using namespace windowtest;

namespace {

void WriteNote(const std::wstring& path, const std::string& title, const std::string& body) {
    std::ofstream out(path.c_str(), std::ios::binary);
    out << "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\r\n\\pard\\ul\\b " << title << "\\ulnone\\b0\\par\r\n" << body
        << "\\par\r\n}\r\n";
}

// On the user's thread: the window with that caption once it is up in front; null when it does
// not come.
HWND WaitForWindowInFront(const wchar_t* caption) {
    HWND found = nullptr;
    const bool inFront = userinput::WaitUntil(
        [&] {
            found = FindWindowW(nullptr, caption);
            return found && IsWindowVisible(found) && GetForegroundWindow() == found;
        },
        5000);
    return inFront ? found : nullptr;
}

int SelectedRow(const win::ListView& list) {
    for (int i = 0; i < list.Count(); ++i)
        if (list.Selected(i)) return i;
    return -1;
}

class MenusWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        SetMessageRows(LibraryMessageRow);
        vb::Err().Clear();
        root = RootFolder();
        // Twelve programs, every fourth "OK" and so listed: three rows.
        WriteArchive(root, {{L"Tesselcat.xml", CategoryFile()}, {L"TesselExe.dat", ProgramLines(12)}});
        SetFirstRun(L"False");
        notes = JoinPaths(root, L"Messages\\Lumox");
        CreateDirectoryW(JoinPaths(root, L"Messages").c_str(), nullptr);
        CreateDirectoryW(notes.c_str(), nullptr);
        DeleteFileW(JoinPaths(notes, L"Welcome.app.note").c_str());
        WriteNote(JoinPaths(notes, L"aaa first.all.note"), "First note", "One");
        WriteNote(JoinPaths(notes, L"aab second.all.note"), "Second note", "Two");
        SetProgramScan([](ExeScanHost&, bool) { return true; });
    }
    void TearDown() override {
        CloseOptionsWindow();
        frmFind::Release();
        frame.reset();
        SetProgramScan(nullptr);
        DeleteFileW(JoinPaths(notes, L"aaa first.all.note").c_str());
        DeleteFileW(JoinPaths(notes, L"aab second.all.note").c_str());
        Pump(50);
        vb::Err().Clear();
        CoUninitialize();
    }
    frmTesselOptions& Open() {
        if (!frame) {
            frame = std::make_unique<TestFrame>();
            // The whole frame on the screen, so the user's pointer reaches what the test aims at.
            FillTheScreen(*frame);
        }
        frmTesselOptions* w = nullptr;
        EXPECT_TRUE(OpenOptionsWindow(w));
        return *w;
    }
    // The frame in front, as the user last clicked it.
    void InFront() {
        EXPECT_TRUE(userinput::BringToFront(frame->Handle()));
        userinput::PumpFor(100);
    }
    // Below every node of the tree, on the screen.
    static POINT EmptyTreeSpace(frmTesselOptions& w) {
        RECT client{};
        GetClientRect(w.tvwChoices.Handle(), &client);
        return userinput::OnScreen(w.tvwChoices.Handle(), POINT{5, client.bottom - 3});
    }
    // The command id of the second note's native item in the category menu.
    static UINT SecondNoteId(frmTesselOptions& w) {
        HMENU sub = w.Menus() ? w.Menus()->NativeSubMenu(mgCategory, 13) : nullptr;
        if (!sub) return 0;
        for (int i = 0; i < GetMenuItemCount(sub); ++i) {
            wchar_t text[128] = {};
            GetMenuStringW(sub, static_cast<UINT>(i), text, 127, MF_BYPOSITION);
            if (std::wstring(text) == L"Second note") return GetMenuItemID(sub, i);
        }
        return 0;
    }

    std::wstring root, notes;
    std::unique_ptr<TestFrame> frame;
    FakePresenter boxes;
};

TEST_F(MenusWindowTest, ASecondOpeningKeepsItsNoteItemsAndToolTipReset) {
    for (int opening = 1; opening <= 2; ++opening) {
        frmTesselOptions& w = Open();
        ASSERT_TRUE(w.Loaded()) << opening;
        const UINT id = SecondNoteId(w);
        ASSERT_GE(id, FirstNoteCommandId) << opening;
        EXPECT_EQ(w.Menus()->HowDoICaption(mgCategory), L"First note");

        // The user right-clicks empty tree space, opens "How Do I..." and chooses the second note;
        // the note opens, and the user closes it.
        InFront();
        bool noteShown = false, noteClosed = false;
        EXPECT_EQ(userinput::ActAsUser([&] {
            userinput::Click(EmptyTreeSpace(w), userinput::Button::Right);
            HWND shown = userinput::WaitForPopUpMenu();
            HMENU menu = shown ? reinterpret_cast<HMENU>(SendMessageW(shown, 0x01E1 /*MN_GETHMENU*/, 0, 0)) : nullptr;
            const int howDoI = menu ? optionstest::MenuPositionOf(menu, L"&How Do I...") : -1;
            HMENU notesMenu = howDoI >= 0 ? GetSubMenu(menu, howDoI) : nullptr;
            const int second = notesMenu ? optionstest::MenuPositionOf(notesMenu, L"Second note") : -1;
            const bool notesShown = second >= 0 && userinput::ChooseFromSubMenu(menu, howDoI, notesMenu, second);
            if (!notesShown) {
                ADD_FAILURE() << (!shown      ? "the pop-up did not open"
                                  : second < 0 ? "the pop-up has no How Do I item with the second note"
                                               : "the second note could not be chosen from How Do I's sub-menu");
                userinput::Press(VK_ESCAPE);
                userinput::Press(VK_ESCAPE);
                return;
            }
            HWND info = WaitForWindowInFront(L"Information");
            noteShown = info != nullptr;
            if (!info) return;
            userinput::Click(userinput::CentreOf(FindWindowExW(info, nullptr, nullptr, L"Close")));
            noteClosed = userinput::WaitUntil([&] { return !IsWindowVisible(info); }, 5000);
        }), 0) << opening << ": an input was lost";
        EXPECT_TRUE(noteShown) << opening;
        EXPECT_TRUE(noteClosed) << opening;
        ASSERT_NE(frmInfo::Existing(), nullptr) << opening;
        EXPECT_NE(frmInfo::Existing()->rtfMsg.PlainText().find(L"Two"), std::wstring::npos) << opening;

        // The pointer moved over the window starts the tool tip's delay again.
        userinput::PumpFor(100);
        w.ToolTipCountdown = -1;
        const POINT over = userinput::CentreOf(w.tvwChoices.Handle());
        POINT now{};
        GetCursorPos(&now);
        userinput::MoveTo(POINT{over.x + (now.x == over.x ? 7 : 0), over.y});
        EXPECT_TRUE(userinput::PumpUntilHandled(nullptr, WM_MOUSEMOVE, 5000)) << opening;
        EXPECT_EQ(w.ToolTipCountdown, ToolTipResetCount) << opening;
        CloseOptionsWindow();
        ASSERT_EQ(frmTesselOptions::Existing(), nullptr);
    }
}

TEST_F(MenusWindowTest, CtrlFOpensTheFindDialogAndF3FindsTheNextRowWithoutIt) {
    frmTesselOptions& w = Open();
    ASSERT_TRUE(w.Loaded());
    ASSERT_EQ(w.lvwPrograms.Count(), 3);
    InFront();
    w.lvwPrograms.SetFocus();
    ASSERT_EQ(w.ActiveControl(), &w.lvwPrograms);

    // The user presses Ctrl+F in the list, types what to find and clicks "Find".
    std::wstring caption;
    int shown = 0;
    EXPECT_EQ(userinput::ActAsUser([&] {
        userinput::Chord({VK_CONTROL, 'F'});
        HWND find = WaitForWindowInFront(L" Find Exe File");
        if (!find) return;
        ++shown;
        wchar_t text[64] = {};
        GetWindowTextW(find, text, 63);
        caption = text;
        userinput::Type(L"Acme Viewer");
        userinput::Click(userinput::CentreOf(FindWindowExW(find, nullptr, nullptr, L"Find")));
        userinput::WaitUntil([&] { return !IsWindowVisible(find); }, 5000);
    }), 0) << "an input was lost";
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(caption, L" Find Exe File");
    EXPECT_EQ(SelectedRow(w.lvwPrograms), 0);

    // F3: the next row, with no dialog.
    const auto pressInList = [&](std::initializer_list<WORD> keys) {
        userinput::Chord(keys);
        EXPECT_TRUE(userinput::PumpUntilHandled(w.lvwPrograms.Handle(), WM_KEYUP, 5000)) << "the keys reached the list";
        userinput::PumpFor(20);
    };
    pressInList({VK_F3});
    EXPECT_EQ(SelectedRow(w.lvwPrograms), 1);
    pressInList({VK_F3});
    EXPECT_EQ(SelectedRow(w.lvwPrograms), 2);
    // Shift+F3 goes back.
    pressInList({VK_SHIFT, VK_F3});
    EXPECT_EQ(SelectedRow(w.lvwPrograms), 1);
    EXPECT_EQ(shown, 1);
    EXPECT_FALSE(frmFind::Existing()->Visible());
}

// The right button on empty tree space opens the category menu with what is left for no node.
TEST_F(MenusWindowTest, RightClickOnEmptyTreeSpaceShowsItsPopUp) {
    frmTesselOptions& w = Open();
    ASSERT_TRUE(w.Loaded());
    bool dragDuringMenu = false;
    optionstest::PopUpMenuCloser menu;
    menu.whileOpen = [&] { dragDuringMenu = w.DragInProgress != 0; };
    // The user right-clicks below every node.
    InFront();
    userinput::Click(EmptyTreeSpace(w), userinput::Button::Right);
    EXPECT_TRUE(userinput::PumpUntil([&] { return menu.closed; }, 8000)) << "the pop-up opened";
    Pump(100);
    EXPECT_TRUE(menu.closed);
    EXPECT_EQ(menu.items, (std::vector<std::wstring>{L"&Add Category", L"-", L"C&lose", L"-", L"&How Do I..."}));
    EXPECT_TRUE(dragDuringMenu);
    EXPECT_EQ(w.DragInProgress, 0);
    EXPECT_EQ(w.CurrentTreeNode(), nullptr);
}

TEST_F(MenusWindowTest, TheLoadSetsTheExtensionListsSystemItems) {
    frmTesselOptions& w = Open();
    ASSERT_TRUE(w.Loaded());
    ASSERT_NE(w.Menus(), nullptr);
    for (int i : {3, 4, 5}) EXPECT_TRUE(w.Menus()->Visible(mgExtList, i)) << i;
    bool nine = false;
    const std::wstring name = GetWindowsVersionName(nine);
    const bool enabled = name == L"Windows XP" || name == L"Windows ?? P2";
    EXPECT_EQ(w.Menus()->Enabled(mgExtList, 6), enabled) << name.c_str();
    EXPECT_EQ(w.Menus()->Enabled(mgExtList, 7), enabled);
}

}  // namespace
