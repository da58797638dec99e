// The frame's heartbeat against a fake frame and a meter that answers set loads.
#include <gtest/gtest.h>

#include <algorithm>

#include "FakePresenter.h"
#include "FrameTimer.h"
#include "HostMessages.h"
#include "HostTestSupport.h"
#include "ProductSuite.h"
#include "basErrorHandler.h"
#include "basHookSwitch.h"
#include "basMain.h"
#include "basWinAPI_Atom.h"
#include "com/ComModule.h"
#include "vb/VbError.h"

using namespace hosttest;

namespace {

bool SwitchAtomPresent() {
    vb::Variant found = Atom(atomGlobalFind, HookOnAtom);
    return found.IsNumeric() && found.ToLong() != 0;
}

class CountingWindow : public HostTimerClient {
public:
    void TimerEvent() override {
        ++events;
        if (onEvent) onEvent();
    }
    int events = 0;
    std::function<void()> onEvent;
};

class FrameTimerTest : public ::testing::Test {
protected:
    void SetUp() override {
        vb::SetProjectName(L"HostTests");
        InstallHostMessages();
        ErrorHandler(ehClearAll);
        TurnHookOff();
        HookSwitchedOn() = false;
        PauseCountdown() = 0;
        auto meter = std::make_unique<FakeMeter>();
        meter_ = meter.get();
        timer_.SetMeter(std::move(meter));
    }
    void TearDown() override {
        TurnHookOff();
        HookSwitchedOn() = false;
        suite_.ReleaseAll();
        ErrorHandler(ehClearAll);
    }
    void Ticks(int n) {
        for (int i = 0; i < n; ++i) timer_.Tick();
    }
    // Seconds until the panel first shows the hook on; 0 when it did not within limit.
    int SecondsUntilOn(int limit) {
        for (int second = 1; second <= limit; ++second) {
            Ticks(8);
            if (frame_.PanelText(1) == contract::HookOnText) return second;
        }
        return 0;
    }

    ComApartment apartment_;  // first in, last out: products are released before COM goes
    RegistryRedirect redirect_;
    FakePresenter presenter_;
    FakeFrame frame_;
    ProductSuite suite_;
    FrameTimer timer_{frame_, suite_};
    FakeMeter* meter_ = nullptr;
};

}  // namespace

TEST_F(FrameTimerTest, FirstSampleInTheEighthTick) {
    Ticks(7);
    EXPECT_EQ(meter_->queries, 0);
    Ticks(1);
    EXPECT_EQ(meter_->queries, 1);
    EXPECT_EQ(timer_.IdlePollCount, 1);
    Ticks(8);
    EXPECT_EQ(meter_->queries, 2);
}

TEST_F(FrameTimerTest, QuietSamplesSwitchTheHookOn) {
    struct Case {
        const char* name;
        std::vector<long> loads;
        long otherwise;
        int second;  // 0: not within 100 seconds
    };
    std::vector<long> busyThenUnknownAt90(89, 50);
    busyThenUnknownAt90.push_back(-1);
    busyThenUnknownAt90.insert(busyThenUnknownAt90.end(), {5, 40, 5, 5});
    std::vector<long> unknownAt90Busy(89, 50);
    unknownAt90Busy.push_back(-1);
    const Case cases[] = {
        {"third quiet sample, not consecutive", {3, 40, 5, 60, 2}, 50, 5},
        {"six is not quiet, five is", {6, 6, 6, 5, 5, 5}, 50, 6},
        {"busy throughout: the 90th second", {}, 50, 90},
        {"unknown in the 90th second: quiet samples later", busyThenUnknownAt90, 50, 94},
        {"unknown in the 90th second and busy after", unknownAt90Busy, 50, 0},
        {"no value ever", {}, -1, 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        frame_ = FakeFrame{};
        timer_.IdlePollCount = timer_.QuietSampleCount = 0;
        meter_->loads.assign(c.loads.begin(), c.loads.end());
        meter_->whenEmpty = c.otherwise;
        const int second = SecondsUntilOn(100);
        EXPECT_EQ(second, c.second);
        if (c.second) {
            EXPECT_EQ(frame_.beeps, 1);
            EXPECT_EQ(frame_.trayChecks, 1);
            EXPECT_TRUE(SwitchAtomPresent());
            EXPECT_TRUE(HookSwitchedOn());
        } else {
            EXPECT_EQ(frame_.beeps, 0);
            EXPECT_FALSE(SwitchAtomPresent());
        }
    }
}

TEST_F(FrameTimerTest, HookAlreadyOnInTheNinetiethSecond) {
    frame_.SetPanelText(1, contract::HookOnText);
    meter_->whenEmpty = 50;
    Ticks(8 * 89);
    EXPECT_EQ(timer_.QuietSampleCount, 0);
    Ticks(8);
    EXPECT_EQ(timer_.QuietSampleCount, 1);
    EXPECT_EQ(frame_.beeps, 0);
    EXPECT_EQ(frame_.trayChecks, 0);
    EXPECT_FALSE(SwitchAtomPresent());
}

TEST_F(FrameTimerTest, PanelDblClickHandlerSwitchesByHandAndForGood) {
    timer_.PanelDblClick(2);
    timer_.PanelDblClick(4);
    EXPECT_EQ(frame_.PanelText(1), contract::HookOffText);
    EXPECT_EQ(timer_.IdlePollCount, 0);

    timer_.PanelDblClick(1);
    EXPECT_EQ(frame_.PanelText(1), contract::HookOnText);
    EXPECT_TRUE(SwitchAtomPresent());
    EXPECT_TRUE(HookSwitchedOn());
    EXPECT_EQ(frame_.beeps, 0);
    EXPECT_EQ(frame_.trayChecks, 0);

    timer_.PanelDblClick(1);
    EXPECT_EQ(frame_.PanelText(1), contract::HookOffText);
    EXPECT_FALSE(SwitchAtomPresent());
    EXPECT_TRUE(HookSwitchedOn());  // stays: the tray logic only asks whether it ever went on

    // Neither quiet samples nor the 90th second switch it on again.
    meter_->whenEmpty = 0;
    EXPECT_EQ(SecondsUntilOn(100), 0);

    // The on-text in any letter case counts as on.
    frame_.SetPanelText(1, L"lumox is on");
    timer_.PanelDblClick(1);
    EXPECT_EQ(frame_.PanelText(1), contract::HookOffText);
}

TEST_F(FrameTimerTest, MinimumSizeFourNormalTicksAfterAResize) {
    frame_.width = 4000;
    frame_.height = 5000;
    timer_.FrameResized();
    Ticks(3);
    EXPECT_EQ(frame_.width, 4000);
    EXPECT_EQ(frame_.layouts, 0);
    Ticks(1);
    EXPECT_EQ(frame_.width, 6000);
    EXPECT_EQ(frame_.height, 6000);
    EXPECT_EQ(frame_.layouts, 1);
    EXPECT_EQ(timer_.MinimumSizeCountdown, 0);

    // Minimised or maximised, the check waits.
    frame_.width = 100;
    frame_.height = 7000;
    timer_.FrameResized();
    frame_.windowState = 1;
    Ticks(10);
    frame_.windowState = 2;
    Ticks(10);
    EXPECT_EQ(frame_.width, 100);
    frame_.windowState = 0;
    Ticks(4);
    EXPECT_EQ(frame_.width, 6000);
    EXPECT_EQ(frame_.height, 7000);
}

TEST_F(FrameTimerTest, NestedTickIsANoOp) {
    CountingWindow window;
    window.onEvent = [&] {
        EXPECT_TRUE(timer_.TickBusy());
        timer_.Tick();
    };
    frame_.hostWindows = {&window};
    PauseCountdown() = 4;
    timer_.Tick();
    EXPECT_EQ(window.events, 1);
    EXPECT_EQ(PauseCountdown(), 3);
}

TEST_F(FrameTimerTest, AFailedTickDoesNotStopTheHeartbeat) {
    int failures = 1;
    frame_.onLayout = [&] {
        if (failures-- > 0) vb::Raise(vb::ErrInvalidCall);
    };
    frame_.width = 1000;
    timer_.FrameResized();
    PauseCountdown() = 10;
    Ticks(4);  // the fourth fails in the minimum-size step
    EXPECT_FALSE(timer_.TickBusy());
    EXPECT_EQ(PauseCountdown(), 7);
    EXPECT_TRUE(presenter_.shown.empty());  // no message for it
    Ticks(1);
    EXPECT_EQ(PauseCountdown(), 6);
    Ticks(3);
    EXPECT_EQ(meter_->queries, 0);  // the failed tick did not count
    Ticks(1);
    EXPECT_EQ(meter_->queries, 1);  // the once-a-second block still comes round
}

TEST_F(FrameTimerTest, WindowsGetTheirHeartbeatAndTheFramesState) {
    FakeProducts::RegisterOnce();
    FakeProducts::Reset();
    suite_.Products.resize(2);
    suite_.Products[0].ProgIdPrefix = L"MorvaFakeA";
    suite_.Products[1].ProgIdPrefix = L"MorvaFakeB";
    ASSERT_TRUE(suite_.OpenProduct(0, L"test"));
    ASSERT_TRUE(suite_.OpenProduct(1, L"test"));
    FakeProducts::Remove(L"MorvaFakeB.Window", L"TimerEvent");
    FakeProducts::Set(L"MorvaFakeA.Window", L"Visible", true);
    FakeProducts::Set(L"MorvaFakeB.Window", L"Visible", true);
    frame_.children = {suite_.Products[1].ShownForm.Get(), suite_.Products[0].ShownForm.Get()};
    frame_.windowState = 2;

    CountingWindow failing, counting;
    failing.onEvent = [] { vb::Raise(vb::ErrMemberMissing); };
    frame_.hostWindows = {&failing, &counting};
    FakeProducts::Reset();
    FakeProducts::Remove(L"MorvaFakeB.Window", L"TimerEvent");
    timer_.Tick();

    std::vector<std::wstring> calls = FakeProducts::Calls();
    EXPECT_EQ(calls, (std::vector<std::wstring>{L"MorvaFakeB.Window|MdiFrmWindowState=2",
                                                L"MorvaFakeA.Window|TimerEvent",
                                                L"MorvaFakeA.Window|MdiFrmWindowState=2"}));
    EXPECT_EQ(failing.events, 1);
    EXPECT_EQ(counting.events, 1);
    EXPECT_TRUE(presenter_.shown.empty());
}

TEST_F(FrameTimerTest, IdleProductsGoOnceASecond) {
    FakeProducts::RegisterOnce();
    FakeProducts::Reset();
    suite_.Products.resize(1);
    suite_.Products[0].ProgIdPrefix = L"MorvaFakeA";
    ASSERT_TRUE(suite_.OpenProduct(0, L"test"));
    FakeProducts::Set(L"MorvaFakeA.Window", L"Visible", false);
    FakeProducts::Set(L"MorvaFakeA.Window", L"Interruptible", L"True");
    meter_->whenEmpty = -1;  // released even in a second without a sample
    Ticks(7);
    EXPECT_TRUE(suite_.Products[0].Product);
    Ticks(1);
    EXPECT_FALSE(suite_.Products[0].Product);
    EXPECT_EQ(FakeProducts::Live(L"MorvaFakeA.Window"), 0);
}

TEST_F(FrameTimerTest, TheMeterEndsOnce) {
    timer_.EndMeter();
    EXPECT_EQ(timer_.Meter(), nullptr);
    timer_.EndMeter();
    Ticks(8);  // no meter: the block runs without a sample
    EXPECT_EQ(timer_.IdlePollCount, 1);
}

namespace {
FrameTimer* g_ticking = nullptr;
}

// ShowMDIForm's pause can come from inside a window's TimerEvent: the ticks it waits for are
// then no-ops, and the clock still ends the wait.
TEST_F(FrameTimerTest, PauseInsideATickStillReturns) {
    CountingWindow window;
    DWORD waited = 0;
    window.onEvent = [&] {
        if (window.events != 1) return;
        short count = 1;
        const DWORD started = GetTickCount();
        Pause(count);
        waited = GetTickCount() - started;
    };
    frame_.hostWindows = {&window};
    g_ticking = &timer_;
    UINT_PTR id = SetTimer(nullptr, 0, 20, [](HWND, UINT, UINT_PTR, DWORD) { g_ticking->Tick(); });
    const DWORD started = GetTickCount();
    while (window.events < 3 && GetTickCount() - started < 5000) {
        MSG msg;
        if (GetMessageW(&msg, nullptr, 0, 0) <= 0) break;
        DispatchMessageW(&msg);
    }
    KillTimer(nullptr, id);
    g_ticking = nullptr;
    EXPECT_GE(window.events, 3);  // the heartbeat went on after the pause
    EXPECT_GE(waited, 400u);
    EXPECT_LT(waited, 2000u);
}
