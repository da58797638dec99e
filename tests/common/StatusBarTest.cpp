#include <windows.h>

#include <gtest/gtest.h>

#include "FakePresenter.h"
#include "NeighbourServices.h"
#include "UiTestForms.h"
#include "basUserInterface.h"
#include "vb/VbScreen.h"

namespace {

SYSTEMTIME g_now{};
SYSTEMTIME Now() { return g_now; }
void Advance(int ms) {
    FILETIME ft;
    SystemTimeToFileTime(&g_now, &ft);
    ULARGE_INTEGER t{{ft.dwLowDateTime, ft.dwHighDateTime}};
    t.QuadPart += static_cast<ULONGLONG>(ms) * 10000;
    ft = {t.LowPart, t.HighPart};
    FileTimeToSystemTime(&ft, &g_now);
}

// The host frame with its status bar, reached as the library reaches it: through the options
// window's MDI extender.
class StatusBarTest : public ::testing::Test {
protected:
    void SetUp() override {
        host_.Put<win::StatusBar>(L"sta1", 3);
        options_.PutControl(std::make_unique<FakeExtender>(options_, &host_));
        SetOptionsWindowAccessor([this] { return &options_; });
        g_now = SYSTEMTIME{2026, 12, 4, 10, 23, 59, 59, 900};  // the throttle must count across midnight
        SetStatusClock(&Now);
        ResetStatusThrottle();
    }
    void TearDown() override {
        SetOptionsWindowAccessor(nullptr);
        SetStatusClock(nullptr);
        ResetStatusThrottle();
        vb::SetScreenMousePointer(vb::vbDefault);
    }
    std::wstring Panel(long i) { return host_.Find<win::StatusBar>(L"sta1")->PanelText(i); }

    FakePresenter boxes;
    TestForm host_{L"MDIFrm", 600, 400};
    TestForm options_{L"frmTesselOptions", 300, 200};
};

TEST_F(StatusBarTest, ThrottleShowsAtMostEvery250Milliseconds) {
    EXPECT_TRUE(ShowStatus(2, L"Listing Extensions"));
    EXPECT_EQ(Panel(2), L"Listing Extensions") << "the first call counts as 250 ms";
    Advance(100);
    ShowStatus(2, L"second");
    EXPECT_EQ(Panel(2), L"Listing Extensions") << "within 250 ms: skipped";
    ShowStatus(2, L"forced", false, true);
    EXPECT_EQ(Panel(2), L"forced");
    Advance(50);
    ShowStatus(2, L"");
    EXPECT_EQ(Panel(2), L"") << "turning empty always shows";
    Advance(10);
    ShowStatus(2, L"again");
    EXPECT_EQ(Panel(2), L"again") << "turning non-empty always shows";
    Advance(249);
    ShowStatus(2, L"too soon");
    EXPECT_EQ(Panel(2), L"again");
    Advance(1);
    ShowStatus(2, L"in time");
    EXPECT_EQ(Panel(2), L"in time") << "250 ms after the last shown update, across midnight";
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(StatusBarTest, HourglassFollowsThePanelText) {
    ShowStatus(1, L"Working", true);
    EXPECT_EQ(vb::ScreenMousePointer(), vb::vbHourglass);
    Advance(10);
    ShowStatus(1, L"", true);
    EXPECT_EQ(vb::ScreenMousePointer(), vb::vbDefault);
}

TEST_F(StatusBarTest, WithoutHostThereIsNothingToShow) {
    SetOptionsWindowAccessor(nullptr);
    EXPECT_FALSE(ShowStatus(1, L"nowhere"));
    EXPECT_TRUE(boxes.shown.empty());
}

}  // namespace
