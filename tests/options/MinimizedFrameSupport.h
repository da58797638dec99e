// The options window laid out inside its frame, and a user who minimizes the frame and brings it
// back while the window stays loaded: what the options window's layout tests share, in the tests'
// own frame and in the host's.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>
#include <vector>

#include "UserInput.h"
#include "frmTesselOptions.h"
#include "vb/VbText.h"

namespace minimizedframe {

// Where the window's lists and the label above the program list lie in its client area.
struct Layout {
    RECT client{};
    RECT tree{}, extensions{}, programs{}, programsLabel{};
};

inline RECT InClientOf(HWND window, HWND control) {
    RECT r{};
    GetWindowRect(control, &r);
    MapWindowPoints(nullptr, window, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

// Pumps until the window's layout has settled at its present size.
inline bool LayoutSettled(frmTesselOptions& w) {
    return userinput::PumpUntil(
        [&] { return w.ResizeSettleCount() == 0 && w.OldFormWidth == w.Width() && w.OldFormHeight == w.Height(); },
        10000);
}

inline Layout LayoutOf(frmTesselOptions& w) {
    Layout l;
    GetClientRect(w.Handle(), &l.client);
    l.tree = InClientOf(w.Handle(), w.tvwChoices.Handle());
    l.extensions = InClientOf(w.Handle(), w.lvwExts.Handle());
    l.programs = InClientOf(w.Handle(), w.lvwPrograms.Handle());
    l.programsLabel = InClientOf(w.Handle(), w.lblPrograms.Handle());
    return l;
}

inline std::string Describe(const RECT& r) {
    return "(" + std::to_string(r.left) + "," + std::to_string(r.top) + ")-(" + std::to_string(r.right) + "," +
           std::to_string(r.bottom) + ")";
}

inline void ExpectInside(const RECT& r, const RECT& client, const char* what) {
    EXPECT_TRUE(r.left >= client.left && r.top >= client.top && r.right <= client.right && r.bottom <= client.bottom)
        << what << " " << Describe(r) << " lies outside the client area " << Describe(client);
}

// The layout after the frame came back is the one it had before: the same client area, and the
// tree and both lists inside it where they were (a pixel of rounding allowed).
inline void ExpectSameLayout(const Layout& before, const Layout& after) {
    EXPECT_EQ(after.client.right, before.client.right);
    EXPECT_EQ(after.client.bottom, before.client.bottom);
    struct Part {
        const char* name;
        RECT Layout::*rect;
    };
    for (const Part& p : {Part{"the tree", &Layout::tree}, Part{"the extension list", &Layout::extensions},
                          Part{"the program list", &Layout::programs},
                          Part{"the programs label", &Layout::programsLabel}}) {
        const RECT& b = before.*p.rect;
        const RECT& a = after.*p.rect;
        ExpectInside(a, after.client, p.name);
        EXPECT_TRUE(std::abs(a.left - b.left) <= 1 && std::abs(a.top - b.top) <= 1 && std::abs(a.right - b.right) <= 1 &&
                    std::abs(a.bottom - b.bottom) <= 1)
            << p.name << " was " << Describe(b) << " and is now " << Describe(a);
    }
}

// The ticks of the options window's own timer (the one that settles its layout) seen on this
// thread while the frame was minimized.
inline std::atomic<int>& TicksWhileMinimized() {
    static std::atomic<int> ticks{0};
    return ticks;
}

// Runs this thread's messages until done() answers true (at most ms), counting the options
// window's timer ticks that arrive while the frame is minimized.
inline bool PumpCountingTicks(HWND frame, HWND window, const std::function<bool()>& done, DWORD ms = 30000) {
    const DWORD end = GetTickCount() + ms;
    MSG msg;
    for (;;) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_TIMER && msg.hwnd == window && IsIconic(frame)) ++TicksWhileMinimized();
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done()) return true;
        if (static_cast<LONG>(end - GetTickCount()) <= 0) return done();
        Sleep(5);
    }
}

// On the user's thread: the frame minimized with its minimize box, left so until the options
// window's timer has ticked a few times (its layout would have settled by then), and brought
// back with a double click. Answers what went wrong, or an empty text.
inline std::string MinimizeAndRestoreAsUser(HWND frame) {
    const POINT box = userinput::MinimizeBoxOf(frame);
    if (box.x < 0) return "the frame shows no minimize box";
    TicksWhileMinimized() = 0;
    userinput::Click(box);
    if (!userinput::WaitUntil([&] { return IsIconic(frame) != FALSE; }, 5000))
        return "the click on the minimize box did not minimize the frame";
    if (!userinput::WaitUntil([] { return TicksWhileMinimized().load() >= 8; }, 10000))
        return "the window's timer did not tick while the frame was minimized";
    // Without a task bar the minimized frame lies as a small title bar on the desktop: a double
    // click on it brings the frame back.
    RECT icon{};
    GetWindowRect(frame, &icon);
    userinput::DoubleClick(POINT{(icon.left + icon.right) / 2, (icon.top + icon.bottom) / 2});
    if (!userinput::WaitUntil([&] { return !IsIconic(frame) && IsWindowVisible(frame); }, 5000))
        return "the double click on the minimized frame did not bring it back";
    return {};
}

}  // namespace minimizedframe
