// The menus, notes and find keys on the real options window inside a test frame.
#include <windows.h>

#include <gtest/gtest.h>

#include <fstream>

#include "FakePresenter.h"
#include "LibraryMessages.h"
#include "OptionsMenus.h"
#include "OptionsTestSupport.h"
#include "OptionsWindowSupport.h"
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

// Keys as the list sees them, with the thread's key state saying which are held.
void PressInList(HWND list, WORD key, bool ctrl = false, bool shift = false) {
    BYTE state[256] = {};
    GetKeyboardState(state);
    state[VK_CONTROL] = ctrl ? 0x80 : 0;
    state[VK_SHIFT] = shift ? 0x80 : 0;
    SetKeyboardState(state);
    SendMessageW(list, WM_KEYDOWN, key, 1);
    SendMessageW(list, WM_KEYUP, key, 0xC0000001);
    state[VK_CONTROL] = 0;
    state[VK_SHIFT] = 0;
    SetKeyboardState(state);
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
        CloseWindow();
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
        if (!frame) frame = std::make_unique<TestFrame>();
        frmTesselOptions& w = frmTesselOptions::Default();
        w.ShowForm();
        EXPECT_TRUE(PumpUntil([&] { return !w.Loaded() || w.FormReadiness() == frReady; }));
        return w;
    }
    void CloseWindow() {
        if (frmTesselOptions* w = frmTesselOptions::Existing()) {
            PumpUntil([&] { return !w->Loaded() || w->FormReadiness() != frLoading; }, 10000);
            if (frmTesselOptions::Existing()) frmTesselOptions::Existing()->RequestClose();
            PumpUntil([] { return frmTesselOptions::Existing() == nullptr; }, 10000);
        }
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

        // The native item's command, as the menu sends it to its owner: the note opens.
        std::wstring seen;
        optionstest::RunDriven([&] { SendMessageW(w.Handle(), WM_COMMAND, MAKEWPARAM(id, 0), 0); },
                               [&] {
                                   frmInfo* info = frmInfo::Existing();
                                   if (!info || !info->Visible()) return false;
                                   seen = info->rtfMsg.PlainText();
                                   info->btnClose.Click();
                                   return true;
                               });
        EXPECT_NE(seen.find(L"Two"), std::wstring::npos) << opening;

        // The pointer over the window starts the tool tip's delay again.
        w.ToolTipCountdown = -1;
        SendMessageW(w.Handle(), WM_SETCURSOR, reinterpret_cast<WPARAM>(w.Handle()),
                     MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        EXPECT_EQ(w.ToolTipCountdown, ToolTipResetCount) << opening;
        CloseWindow();
        ASSERT_EQ(frmTesselOptions::Existing(), nullptr);
    }
}

TEST_F(MenusWindowTest, CtrlFOpensTheFindDialogAndF3FindsTheNextRowWithoutIt) {
    frmTesselOptions& w = Open();
    ASSERT_TRUE(w.Loaded());
    ASSERT_EQ(w.lvwPrograms.Count(), 3);
    w.lvwPrograms.SetFocus();
    ASSERT_EQ(w.ActiveControl(), &w.lvwPrograms);

    std::wstring caption;
    int shown = 0;
    optionstest::RunDriven([&] { PressInList(w.lvwPrograms.Handle(), 'F', true); },
                           [&] {
                               frmFind* find = frmFind::Existing();
                               if (!find || !find->Visible()) return false;
                               ++shown;
                               caption = find->Caption();
                               find->txt.SetText(L"Acme Viewer");
                               find->cmdFind.Click();
                               return true;
                           });
    EXPECT_EQ(shown, 1);
    EXPECT_EQ(caption, L" Find Exe File");
    EXPECT_EQ(SelectedRow(w.lvwPrograms), 0);

    // F3: the next row, with no dialog.
    PressInList(w.lvwPrograms.Handle(), VK_F3);
    EXPECT_EQ(SelectedRow(w.lvwPrograms), 1);
    PressInList(w.lvwPrograms.Handle(), VK_F3);
    EXPECT_EQ(SelectedRow(w.lvwPrograms), 2);
    // Shift+F3 goes back.
    PressInList(w.lvwPrograms.Handle(), VK_F3, false, true);
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
    RECT client{};
    GetClientRect(w.tvwChoices.Handle(), &client);
    const LPARAM bottom = MAKELPARAM(5, client.bottom - 3);
    SendMessageW(w.tvwChoices.Handle(), WM_RBUTTONDOWN, MK_RBUTTON, bottom);
    SendMessageW(w.tvwChoices.Handle(), WM_RBUTTONUP, 0, bottom);
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
