// The options window's layout inside the frame as a user meets it: maximized at every frame size,
// and through a minimized frame while the window stays loaded (here, during "Refresh Exe's").
// The pointer and keys go through SendInput from a second thread while this thread runs the
// windows.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <map>
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
        FillTheScreen(*frame);
        ASSERT_TRUE(OpenOptionsWindow(w));
        ASSERT_TRUE(w->Loaded());
        ASSERT_TRUE(IsZoomed(w->Handle()));
        userinput::BringToFront(frame->Handle());
    }
    void TearDown() override {
        CloseOptionsWindow();
        frame.reset();
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
    const int refresh = optionstest::MenuPositionStartingWith(menu, L"Refresh Exe's");
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


TEST_F(OptionsLayoutTest, MaximizedInTheFrameBothListsGrowAndEachLabelStaysOnItsList) {
    Layout first{}, previous{};
    bool any = false;
    std::map<std::string, int> labelHeights;
    for (SIZE size : {SIZE{500, 380}, SIZE{640, 480}, SIZE{800, 600}, SIZE{1024, 768}}) {
        SCOPED_TRACE(std::to_string(size.cx) + "x" + std::to_string(size.cy));
        SetWindowPos(frame->Handle(), nullptr, 0, 0, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
        ASSERT_TRUE(Settled());
        ASSERT_TRUE(IsZoomed(w->Handle()));
        const Layout l = LayoutOf(*w);
        const RECT extensionsLabel = InClientOf(w->Handle(), w->lblExts.Handle());
        const RECT categoriesLabel = InClientOf(w->Handle(), w->lblChoices.Handle());
        ExpectInside(l.tree, l.client, "the tree");
        ExpectInside(l.extensions, l.client, "the extension list");
        ExpectInside(l.programs, l.client, "the program list");
        ExpectInside(l.programsLabel, l.client, "the programs label");
        // Each label sits on the list below it, never over it.
        const struct {
            const char* name;
            RECT label, list;
        } pairs[] = {{"categories", categoriesLabel, l.tree},
                     {"extensions", extensionsLabel, l.extensions},
                     {"programs", l.programsLabel, l.programs}};
        // Each label keeps the one height it has at the smallest size, so its text, kept to its
        // middle, stays next to the list at every size.
        for (const auto& p : pairs) {
            EXPECT_LE(p.label.bottom, p.list.top) << "the " << p.name << " label " << Describe(p.label)
                                                  << " lies over its list " << Describe(p.list);
            EXPECT_LE(p.list.top - p.label.bottom, 4) << "the " << p.name << " label " << Describe(p.label)
                                                      << " floats above its list " << Describe(p.list);
            const int height = p.label.bottom - p.label.top;
            auto kept = labelHeights.emplace(p.name, height).first;
            EXPECT_EQ(height, kept->second) << "the " << p.name << " label " << Describe(p.label)
                                            << " grew with the window: its text drifts away from its list";
        }
        // Between the two lists no more than a margin that grows a little with the window.
        EXPECT_GE(l.programsLabel.top, l.extensions.bottom)
            << "the programs label " << Describe(l.programsLabel) << " lies over the extension list "
            << Describe(l.extensions);
        EXPECT_LE(l.programsLabel.top - l.extensions.bottom, 2 + l.client.bottom / 50)
            << "a gap opens under the extension list " << Describe(l.extensions) << " above the programs label "
            << Describe(l.programsLabel);
        if (!any) {
            first = l;
            any = true;
        } else if (l.client.bottom > previous.client.bottom + 20) {
            // Both lists grow with the window, each keeping its share of the height.
            EXPECT_GT(l.programs.bottom - l.programs.top, previous.programs.bottom - previous.programs.top);
            EXPECT_GT(l.extensions.bottom - l.extensions.top, previous.extensions.bottom - previous.extensions.top);
            const double share = double(l.programs.bottom - l.programs.top) / (l.extensions.bottom - l.extensions.top);
            const double firstShare =
                double(first.programs.bottom - first.programs.top) / (first.extensions.bottom - first.extensions.top);
            EXPECT_NEAR(share, firstShare, firstShare * 0.1) << "the program list's share of the height changed";
        }
        previous = l;
    }
}

}  // namespace
