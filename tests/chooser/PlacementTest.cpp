// The list window's place at the pointer and its foreground timer, as tables.
#include <gtest/gtest.h>

#include "ForegroundWatch.h"
#include "basPlacement.h"
#include "vb/VbScreen.h"

namespace {

// A 1024 x 768 screen at 15 twips per pixel.
const long W = 15360, H = 11520;

CursorPlacementInput At(long cursorX, long cursorY, TaskbarRect taskbar) {
    CursorPlacementInput in;
    in.formWidth = 3000;
    in.formHeight = 2000;
    in.cursorX = cursorX;
    in.cursorY = cursorY;
    in.screenWidth = W;
    in.screenHeight = H;
    in.taskbar = taskbar;
    return in;
}

}  // namespace

TEST(PlaceAtCursor, KeepsTheWindowOnTheScreenAndOffTheTaskbar) {
    const TaskbarRect bottom{H - 450, 0, W, 450};
    const TaskbarRect top{0, 0, W, 450};
    const TaskbarRect left{0, 0, 900, H};
    const TaskbarRect right{0, W - 900, 900, H};
    const TaskbarRect none{};
    const struct {
        const wchar_t* name;
        CursorPlacementInput in;
        long left, top;
    } cases[] = {
        {L"in the open: at the pointer", At(6000, 5000, bottom), 6000, 5000},
        {L"bottom taskbar: moved up to 75 twips above it", At(6000, 10000, bottom), 6000, H - 450 - 75 - 2000},
        {L"bottom taskbar: kept 75 from the top", At(6000, 10, bottom), 6000, 75},
        {L"top taskbar: below its band", At(6000, 100, top), 6000, 450 + 75},
        {L"top taskbar: 75 from the bottom", At(6000, 11000, top), 6000, H - 2000 - 75},
        {L"left taskbar: its width plus 150 from the left", At(100, 5000, left), 900 + 150, 5000},
        {L"left taskbar: 75 from the right", At(14000, 5000, left), W - 3000 - 75, 5000},
        {L"right taskbar: clear of its band", At(14000, 5000, right), W - 3000 - 975, 5000},
        {L"right taskbar: 75 from the left", At(10, 5000, right), 75, 5000},
        {L"no taskbar: the margins stay", At(10, 11500, none), 75, H - 2000 - 75},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const CursorPlacement place = PlaceAtCursor(c.in);
        EXPECT_EQ(place.left, c.left);
        EXPECT_EQ(place.top, c.top);
    }
}

TEST(PlaceAtCursor, OffsetsAndTheWindowsOwnPositionCount) {
    CursorPlacementInput in = At(3000, 4000, TaskbarRect{H - 450, 0, W, 450});
    in.formLeft = 1500;
    in.formTop = 600;
    in.xOffset = 150;
    in.yOffset = 60.5;
    const CursorPlacement place = PlaceAtCursor(in);
    EXPECT_EQ(place.left, 1500 + 3000 - 150);
    EXPECT_EQ(place.top, 600 + 4000 - 60);  // 4539.5 goes to the even neighbour, 4540
}

TEST(ForegroundTimer, LockTicks) {
    EXPECT_EQ(LockTicksFromTimeout(true, 200000), 2000);
    EXPECT_EQ(LockTicksFromTimeout(true, 0), 0);
    EXPECT_EQ(LockTicksFromTimeout(true, 150), 2);
    EXPECT_EQ(LockTicksFromTimeout(true, 250), 2);
    EXPECT_EQ(LockTicksFromTimeout(false, 200000), 0);
}

TEST(ForegroundTimer, TicksDecide) {
    const HWND self = reinterpret_cast<HWND>(0x100), shell = reinterpret_cast<HWND>(0x200),
               other = reinterpret_cast<HWND>(0x300);
    struct Tick {
        HWND foreground, again;
        TickAction action;
    };
    const struct {
        const wchar_t* name;
        long lockTicks;
        std::vector<Tick> ticks;
    } cases[] = {
        {L"lock of 0: asks for the foreground from the first tick", 0,
         {{shell, shell, TickAction::RequestForeground}, {self, self, TickAction::None},
          {other, other, TickAction::Close}}},
        {L"within the lock: waits, then closes when the user turns away", 3,
         {{shell, shell, TickAction::None}, {shell, other, TickAction::Close}}},
        {L"the lock runs out: asks for the foreground on every tick", 2,
         {{shell, shell, TickAction::None}, {other, other, TickAction::RequestForeground},
          {other, other, TickAction::RequestForeground}}},
        {L"in front once: losing the foreground closes it, even within the lock", 2000,
         {{self, self, TickAction::None}, {shell, shell, TickAction::Close}}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ForegroundWatch watch;
        watch.lockTicks = c.lockTicks;
        watch.atActivation = shell;
        int n = 0;
        for (const Tick& t : c.ticks) {
            SCOPED_TRACE(++n);
            EXPECT_EQ(ForegroundTick(watch, self, t.foreground, t.again), t.action);
        }
        EXPECT_EQ(watch.ticks, static_cast<long>(c.ticks.size()));
    }
}

TEST(ForegroundTimer, ALockOf200SecondsWaits1999Ticks) {
    const HWND self = reinterpret_cast<HWND>(0x100), shell = reinterpret_cast<HWND>(0x200);
    ForegroundWatch watch;
    watch.lockTicks = LockTicksFromTimeout(true, 200000);
    watch.atActivation = shell;
    for (int i = 1; i < 2000; ++i) ASSERT_EQ(ForegroundTick(watch, self, shell, shell), TickAction::None) << i;
    EXPECT_EQ(ForegroundTick(watch, self, shell, shell), TickAction::RequestForeground);
}

TEST(ScreenSize, InEachUnit) {
    const long px = GetSystemMetrics(SM_CXSCREEN), py = GetSystemMetrics(SM_CYSCREEN);
    long w = 0, h = 0;
    GetScreenSize(w, h);
    EXPECT_EQ(w, px);
    EXPECT_EQ(h, py);
    GetScreenSize(w, h, 1);
    EXPECT_EQ(w, px * vb::TwipsPerPixelX());
    EXPECT_EQ(h, py * vb::TwipsPerPixelY());
    GetScreenSize(w, h, 2);
    EXPECT_EQ(w, px * vb::TwipsPerPixelX() / 1440);
    GetScreenSize(w, h, 3);
    EXPECT_EQ(h, py * vb::TwipsPerPixelY() / 1440 * 72);
}
