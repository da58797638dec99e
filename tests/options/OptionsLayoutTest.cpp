// The options window's layout inside the frame as a user meets it: maximized at every frame size,
// and through a minimized frame while the window stays loaded (here, during "Refresh Exe's").
// The pointer and keys go through SendInput from a second thread while this thread runs the
// windows.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>

#include "FakePresenter.h"
#include "LibraryMessages.h"
#include "MinimizedFrameSupport.h"
#include "OptionsMenus.h"
#include "OptionsTestSupport.h"
#include "OptionsWindowSupport.h"
#include "UserInput.h"
#include "basData.h"
#include "basIniFile.h"
#include "basMessageHandler.h"
#include "basStrings.h"
#include "frmTesselOptions.h"
#include "vb/VbError.h"
#include "vb/VbText.h"

using namespace windowtest;
using namespace minimizedframe;

namespace {

// The position of the first item whose caption starts with that text, -1 when none does.
int MenuPositionStartingWith(HMENU menu, const std::wstring& start) {
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[256] = {};
        GetMenuStringW(menu, static_cast<UINT>(i), text, 255, MF_BYPOSITION);
        if (std::wstring(text).rfind(start, 0) == 0) return i;
    }
    return -1;
}

class OptionsLayoutTest : public ::testing::Test {
protected:
    void SetUp() override {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        SetMessageRows(LibraryMessageRow);
        vb::Err().Clear();
        const std::wstring root = RootFolder();
        WriteArchive(root, {{L"Tesselcat.xml", CategoryFile()}, {L"TesselExe.dat", ProgramLines(40)}});
        SetFirstRun(L"False");
        DeleteFileW(JoinPaths(root, L"Messages\\Lumox\\Welcome.app.note").c_str());
        SetProgramScan([](ExeScanHost&, bool) { return true; });
        frame = std::make_unique<TestFrame>();
        // The whole frame on the screen, in front, so the pointer reaches what the test aims at.
        SetWindowPos(frame->Handle(), HWND_TOP, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                     SWP_SHOWWINDOW);
        w = &frmTesselOptions::Default();
        w->ShowForm();
        ASSERT_TRUE(PumpUntil([&] { return !w->Loaded() || w->FormReadiness() == frReady; }));
        ASSERT_TRUE(w->Loaded());
        ASSERT_TRUE(IsZoomed(w->Handle()));
        userinput::BringToFront(frame->Handle());
    }
    void TearDown() override {
        if (frmTesselOptions* open = frmTesselOptions::Existing()) {
            open->RequestClose();
            PumpUntil([] { return frmTesselOptions::Existing() == nullptr; }, 10000);
        }
        frame.reset();
        SetProgramScan(nullptr);
        Pump(50);
        vb::Err().Clear();
        CoUninitialize();
    }

    // Pumps until the window's layout has settled at its present size.
    bool Settled() {
        return PumpUntil(
            [&] { return w->ResizeSettleCount() == 0 && w->OldFormWidth == w->Width() && w->OldFormHeight == w->Height(); },
            10000);
    }

    std::unique_ptr<TestFrame> frame;
    frmTesselOptions* w = nullptr;
    FakePresenter boxes;
};

TEST_F(OptionsLayoutTest, AFrameMinimizedAndRestoredDuringARescanGivesTheWindowItsLayoutBack) {
    ASSERT_TRUE(Settled());
    const Layout before = LayoutOf(*w);
    ExpectInside(before.tree, before.client, "the tree");

    std::atomic<bool> scanning{false}, userDone{false};
    SetProgramScan([&](ExeScanHost&, bool) {
        scanning = true;
        // The scan takes as long as the user is busy with the frame.
        PumpCountingTicks(frame->Handle(), w->Handle(), [&] { return userDone.load(); });
        return true;
    });
    RECT row{};
    row.left = LVIR_LABEL;
    SendMessageW(w->lvwPrograms.Handle(), LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row));
    const POINT at = userinput::OnScreen(w->lvwPrograms.Handle(), POINT{row.left + 8, (row.top + row.bottom) / 2});
    const HMENU menu = w->Menus()->NativeMenu(mgPrgList);
    const int refresh = MenuPositionStartingWith(menu, L"Refresh Exe's");
    ASSERT_GE(refresh, 0);
    const HWND frameWindow = frame->Handle();
    std::string problem;
    const int leftOpen = userinput::ActAsUser([&] {
        userinput::Click(at, userinput::Button::Right);
        if (!userinput::WaitForPopUpMenu()) {
            problem = "no pop-up came on the program list";
        } else if (!optionstest::ClickMenuItemAsUser(menu, refresh) ||
                   !userinput::WaitUntil([&] { return scanning.load(); }, 5000)) {
            problem = "the click on \"Refresh Exe's\" started no rescan";
        } else {
            problem = MinimizeAndRestoreAsUser(frameWindow);
        }
        userDone = true;
    });
    EXPECT_EQ(problem, "");
    EXPECT_EQ(leftOpen, 0) << "a pop-up or window still waited once the user was done: an input was lost";
    ASSERT_TRUE(scanning.load());
    ASSERT_TRUE(Settled());
    EXPECT_TRUE(IsZoomed(w->Handle()));
    ExpectSameLayout(before, LayoutOf(*w));
}

}  // namespace
