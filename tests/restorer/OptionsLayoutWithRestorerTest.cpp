// The options window keeps its layout when the user minimizes and restores the frame while the
// association restorer, opened from the extension list's menu, keeps the window loaded. The real
// options window and the real restorer, inside a small MDI frame of the tests' own; the pointer
// goes through SendInput from a second thread while this thread runs the windows.
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
#include "ToolWindowOpener.h"
#include "UserInput.h"
#include "basData.h"
#include "basIniFile.h"
#include "basMessageHandler.h"
#include "basStrings.h"
#include "frmAssociationRestorer.h"
#include "frmTesselOptions.h"
#include "vb/VbError.h"

using namespace windowtest;
using namespace minimizedframe;

namespace {

class OptionsLayoutWithRestorerTest : public ::testing::Test {
protected:
    void SetUp() override {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        SetMessageRows(LibraryMessageRow);
        vb::Err().Clear();
        const std::wstring root = RootFolder();
        WriteArchive(root, {{L"Tesselcat.xml", CategoryFile()}, {L"TesselExe.dat", ProgramLines(8)}});
        SetFirstRun(L"False");
        IniFile(IniWrite, L"Log Snapshot", vb::Variant(0L));
        DeleteFileW(JoinPaths(root, L"Messages\\Lumox\\Welcome.app.note").c_str());
        SetProgramScan([](ExeScanHost&, bool) { return true; });
        StartAssociationRestorer();
        InstallToolWindowOpener();
        frame = std::make_unique<TestFrame>();
        FillTheScreen(*frame);
        ASSERT_TRUE(OpenOptionsWindow(w, 30000));
        ASSERT_TRUE(w->Loaded());
        ASSERT_TRUE(IsZoomed(w->Handle()));
        userinput::BringToFront(frame->Handle());
    }
    void TearDown() override {
        if (frmAssociationRestorer* restorer = frmAssociationRestorer::Existing()) restorer->Unload();
        frmAssociationRestorer::Release();
        CloseOptionsWindow();
        frame.reset();
        SetToolWindowOpener(nullptr);
        SetAssociationRestorerOpener(nullptr);
        SetProgramScan(nullptr);
        Pump(50);
        vb::Err().Clear();
        CoUninitialize();
    }

    bool Settled() { return minimizedframe::LayoutSettled(*w); }

    std::unique_ptr<TestFrame> frame;
    frmTesselOptions* w = nullptr;
    FakePresenter boxes;
};

TEST_F(OptionsLayoutWithRestorerTest, AFrameMinimizedAndRestoredWithTheRestorerOpenGivesTheWindowItsLayoutBack) {
    ASSERT_TRUE(Settled());
    const Layout before = LayoutOf(*w);

    const POINT at = userinput::OnScreen(w->lvwExts.Handle(), POINT{40, 30});
    const HMENU menu = w->Menus()->NativeMenu(mgExtList);
    const int item = optionstest::MenuPositionOf(menu, L"Association &Save && Restore");
    ASSERT_GE(item, 0);
    const HWND frameWindow = frame->Handle();
    std::atomic<bool> restorerUp{false}, done{false};
    std::string problem;
    // This thread runs the windows (the restorer's activation included), noting when the restorer
    // shows and counting the options window's ticks while the frame is minimized.
    const int leftOpen = userinput::ShowWhileUserActs(
        [&] {
            PumpCountingTicks(frameWindow, w->Handle(), [&] {
                if (frmAssociationRestorer* restorer = frmAssociationRestorer::Existing())
                    if (restorer->Loaded() && restorer->Visible()) restorerUp = true;
                return done.load();
            });
        },
        [&] {
            userinput::Click(at, userinput::Button::Right);
            if (!userinput::WaitForPopUpMenu()) {
                problem = "no pop-up came on the extension list";
            } else if (!optionstest::ClickMenuItemAsUser(menu, item) ||
                       !userinput::WaitUntil([&] { return restorerUp.load(); }, 20000)) {
                problem = "the menu item opened no restorer";
            } else {
                problem = MinimizeAndRestoreAsUser(frameWindow);
            }
            done = true;
        });
    EXPECT_EQ(leftOpen, 0) << "a pop-up or window still waited once the user was done: an input was lost";
    EXPECT_EQ(problem, "");
    ASSERT_TRUE(restorerUp.load());
    ASSERT_TRUE(Settled());
    EXPECT_TRUE(IsZoomed(w->Handle()));
    EXPECT_NE(frmAssociationRestorer::Existing(), nullptr) << "the restorer stayed open meanwhile";
    ExpectSameLayout(before, LayoutOf(*w));
}

}  // namespace
