// The status-bar tool tip as a state machine driven by a scripted pointer.
#include <gtest/gtest.h>

#include "ToolTips.h"

namespace {

class Panel : public ToolTipPanel {
public:
    std::vector<std::wstring> shown;
    int clears = 0;
    void ClearToolTip() override { ++clears; }
    void ShowToolTipText(const std::wstring& text) override { shown.push_back(text); }
};

HWND const kButton = reinterpret_cast<HWND>(0x100);
HWND const kList = reinterpret_cast<HWND>(0x200);
HWND const kBare = reinterpret_cast<HWND>(0x300);

std::wstring TipOf(HWND hwnd) {
    if (hwnd == kButton) return L"Press me";
    if (hwnd == kList) return L"The programs";
    return L"";
}

// The tick (from 1) at which a tip shows, 0 when none within limit ticks.
int TickOfTip(ToolTipTracker& tracker, long& countdown, Panel& panel, const std::vector<ToolTipInputs>& script,
              int limit = 30) {
    for (int tick = 1; tick <= limit; ++tick) {
        const ToolTipInputs& in = script[std::min<size_t>(static_cast<size_t>(tick - 1), script.size() - 1)];
        const size_t before = panel.shown.size();
        tracker.Tick(countdown, in, TipOf, panel);
        if (panel.shown.size() > before) return tick;
    }
    return 0;
}

ToolTipInputs At(HWND hwnd) { return ToolTipInputs{false, false, true, hwnd}; }

TEST(ToolTips, FifthTickWhenRestingTenthWhenComingFromElsewhere) {
    {
        ToolTipTracker tracker;
        Panel panel;
        long countdown = 4;
        // The first check finds no last window: the countdown starts again.
        EXPECT_EQ(TickOfTip(tracker, countdown, panel, {At(kButton)}), 10);
        EXPECT_EQ(panel.shown, std::vector<std::wstring>{L"Press me"});
        EXPECT_EQ(countdown, -1);
        // It stays until a reset; the pointer moving over the window resets it.
        tracker.Tick(countdown, At(kButton), TipOf, panel);
        EXPECT_EQ(panel.shown.size(), 1u);
        countdown = ToolTipResetCount;
        EXPECT_EQ(TickOfTip(tracker, countdown, panel, {At(kButton)}), 5);
        // Moving to another control: ten ticks again.
        countdown = ToolTipResetCount;
        EXPECT_EQ(TickOfTip(tracker, countdown, panel, {At(kList)}), 10);
        EXPECT_EQ(panel.shown.back(), L"The programs");
    }
}

TEST(ToolTips, ButtonsDragsAndOtherWindowsHoldItBack) {
    struct Case {
        const char* what;
        ToolTipInputs in;
    };
    const Case cases[] = {
        {"a button down", {true, false, true, kButton}},
        {"a drag or a menu", {false, true, true, kButton}},
        {"host not active", {false, false, false, kButton}},
        {"a control without a tip", At(kBare)},
        {"no window", At(nullptr)},
    };
    for (const Case& c : cases) {
        ToolTipTracker tracker;
        Panel panel;
        long countdown = 4;
        EXPECT_EQ(TickOfTip(tracker, countdown, panel, {c.in}), 0) << c.what;
        EXPECT_GE(countdown, 0) << c.what;
        EXPECT_GT(panel.clears, 0) << c.what;
    }
    // A tip that shows goes with a button press.
    ToolTipTracker tracker;
    Panel panel;
    long countdown = 4;
    ASSERT_EQ(TickOfTip(tracker, countdown, panel, {At(kButton)}), 10);
    ASSERT_EQ(countdown, -1);
    const int clears = panel.clears;
    tracker.Tick(countdown, ToolTipInputs{true, false, true, kButton}, TipOf, panel);
    EXPECT_EQ(countdown, ToolTipResetCount);
    EXPECT_EQ(panel.clears, clears + 1);
}

}  // namespace
