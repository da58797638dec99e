// Input as a user gives it: the pointer moved and clicked and keys typed through SendInput, so
// Windows routes them to the window under the pointer or to the one with the keyboard focus,
// through the same queues, hit tests, menus and dialog managers a person's input goes through.
//
// SendInput only queues the input; the thread that owns the target window must pump messages
// for it to arrive. A test whose thread waits in a modal loop (a pop-up menu, a modal window)
// sends from a second thread or from a timer step, and pumps with PumpUntil otherwise.
#pragma once
#include <windows.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <initializer_list>
#include <string>
#include <thread>
#include <vector>

namespace userinput {

// Pumps until done() answers true or the time is up; answers done().
inline bool PumpUntil(const std::function<bool()>& done, DWORD ms = 10000) {
    const DWORD end = GetTickCount() + ms;
    MSG msg;
    for (;;) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (done()) return true;
        if (static_cast<LONG>(end - GetTickCount()) <= 0) return done();
        Sleep(5);
    }
}

// Pumps this thread's messages for a while.
inline void PumpFor(DWORD ms) { PumpUntil([] { return false; }, ms); }

// Pumps until this thread has handed a message of that kind to the window (or to any window
// when hwnd is null) and the window has answered it: for input whose effect is that nothing
// happens, the sign that the input has arrived. Answers whether it came in time.
inline bool PumpUntilHandled(HWND hwnd, UINT message, DWORD ms = 10000) {
    const DWORD end = GetTickCount() + ms;
    MSG msg;
    for (;;) {
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            const bool awaited = msg.message == message && (!hwnd || msg.hwnd == hwnd);
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
            if (awaited) return true;
        }
        if (static_cast<LONG>(end - GetTickCount()) <= 0) return false;
        Sleep(10);
    }
}

// Waits (without pumping this thread) until done() answers true or the time is up; for a second
// thread that drives windows owned by the test's main thread.
inline bool WaitUntil(const std::function<bool()>& done, DWORD ms = 10000) {
    const DWORD end = GetTickCount() + ms;
    while (!done()) {
        if (static_cast<LONG>(end - GetTickCount()) <= 0) return done();
        Sleep(20);
    }
    return true;
}

// Where the last move sent the pointer, for SettlePointer.
inline POINT& PointerTarget() {
    static POINT target{-1, -1};
    return target;
}

inline void MoveTo(POINT screen) {
    PointerTarget() = screen;
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    INPUT input{};
    input.type = INPUT_MOUSE;
    // The middle of the pixel, so the rounding back to pixels lands on the pixel asked for.
    input.mi.dx = static_cast<LONG>((2LL * screen.x + 1) * 65536 / (2LL * width));
    input.mi.dy = static_cast<LONG>((2LL * screen.y + 1) * 65536 / (2LL * height));
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &input, sizeof(input));
}

enum class Button { Left, Right };

inline void ButtonDown(Button b) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = b == Button::Left ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_RIGHTDOWN;
    SendInput(1, &input, sizeof(input));
}

inline void ButtonUp(Button b) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dwFlags = b == Button::Left ? MOUSEEVENTF_LEFTUP : MOUSEEVENTF_RIGHTUP;
    SendInput(1, &input, sizeof(input));
}

// Under Wine the pointer reaches its new place a moment after the move is queued; a button
// pressed at once would land where the pointer was. Waits until the pointer is where the last
// move sent it (at most a second: a point off the screen is never reached).
inline void SettlePointer() {
    const POINT target = PointerTarget();
    const DWORD end = GetTickCount() + 1000;
    POINT at{};
    while (GetCursorPos(&at) && (at.x != target.x || at.y != target.y) && static_cast<LONG>(end - GetTickCount()) > 0)
        Sleep(5);
}

// Moves the pointer to a screen point and clicks there.
inline void Click(POINT screen, Button b = Button::Left) {
    MoveTo(screen);
    SettlePointer();
    ButtonDown(b);
    ButtonUp(b);
}

inline void DoubleClick(POINT screen) {
    MoveTo(screen);
    SettlePointer();
    for (int i = 0; i < 2; ++i) {
        ButtonDown(Button::Left);
        ButtonUp(Button::Left);
    }
}

// A point of a window's client area, on the screen.
inline POINT OnScreen(HWND hwnd, POINT client) {
    ClientToScreen(hwnd, &client);
    return client;
}

// The middle of a window, on the screen.
inline POINT CentreOf(HWND hwnd) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

inline void KeyDown(WORD vk) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    SendInput(1, &input, sizeof(input));
}

inline void KeyUp(WORD vk) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(1, &input, sizeof(input));
}

// One key pressed and let go.
inline void Press(WORD vk) {
    KeyDown(vk);
    KeyUp(vk);
}

// Keys held together, as Ctrl+F: pressed in order, let go in reverse.
inline void Chord(std::initializer_list<WORD> keys) {
    for (WORD vk : keys) KeyDown(vk);
    for (auto it = keys.end(); it != keys.begin();) KeyUp(*--it);
}

// Text typed as characters (letters, digits, punctuation, any script).
inline void Type(const std::wstring& text) {
    for (wchar_t ch : text) {
        INPUT input[2]{};
        input[0].type = INPUT_KEYBOARD;
        input[0].ki.wScan = ch;
        input[0].ki.dwFlags = KEYEVENTF_UNICODE;
        input[1] = input[0];
        input[1].ki.dwFlags = KEYEVENTF_UNICODE | KEYEVENTF_KEYUP;
        SendInput(2, input, sizeof(INPUT));
    }
}

// Clicks a push button of the window in front where the user clicks it, in its middle, and
// pumps until the button has answered the click (its command has run by then).
inline bool ClickButton(HWND button, DWORD ms = 10000) {
    Click(CentreOf(button));
    return PumpUntilHandled(button, WM_LBUTTONUP, ms);
}

// Brings a top-level window to the front as a click on its caption would, and waits until
// Windows has made it the foreground window.
inline bool BringToFront(HWND hwnd, DWORD ms = 3000) {
    SetForegroundWindow(hwnd);
    return PumpUntil([&] { return GetForegroundWindow() == hwnd; }, ms);
}

// The middle of a window's close box on the screen, found by asking the window what lies along
// its caption; {-1, -1} when it has none there.
inline POINT CloseBoxOf(HWND hwnd) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    const int y = r.top + GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION) / 2;
    int first = -1, last = -1;
    for (int x = r.right - 1; x > r.right - 6 * GetSystemMetrics(SM_CXSIZE) && x > r.left; --x) {
        const bool onBox = SendMessageW(hwnd, WM_NCHITTEST, 0, MAKELPARAM(x, y)) == HTCLOSE;
        if (onBox && first < 0) first = x;
        if (onBox) last = x;
        if (!onBox && first >= 0) break;
    }
    if (first < 0) return POINT{-1, -1};
    return POINT{(first + last) / 2, y};
}

// Runs show() on this thread - a modal window, whose loop pumps this thread - while user() acts
// from a second thread as a person at the screen does. Once the user is done, a window of this
// thread that still waits (visible and enabled a moment later) means an input was lost: it is
// closed, so the test fails instead of hanging. Answers how many windows had to be closed.
inline int ShowWhileUserActs(const std::function<void()>& show, const std::function<void()>& user,
                             DWORD graceMs = 3000) {
    const DWORD shower = GetCurrentThreadId();
    std::atomic<bool> shown{false}, done{false};
    std::vector<HWND> closed;
    std::thread person([&] {
        user();
        const DWORD end = GetTickCount() + graceMs + 10000;
        WaitUntil([&] { return shown.load(); }, graceMs);
        while (!shown && static_cast<LONG>(end - GetTickCount()) > 0) {
            // A pop-up menu still open is left as the user leaves it.
            HWND menu = FindWindowW(L"#32768", nullptr);
            if (menu && IsWindowVisible(menu) && GetWindowThreadProcessId(menu, nullptr) == shower) {
                if (std::find(closed.begin(), closed.end(), menu) == closed.end()) closed.push_back(menu);
                Press(VK_ESCAPE);
                Press(VK_ESCAPE);
                WaitUntil([&] { return shown.load() || !IsWindowVisible(menu); }, 1000);
                continue;
            }
            struct Left {
                std::vector<HWND>* closed;
            } left{&closed};
            EnumThreadWindows(
                shower,
                [](HWND w, LPARAM param) -> BOOL {
                    if (!IsWindowVisible(w) || !IsWindowEnabled(w)) return TRUE;
                    auto& c = *reinterpret_cast<Left*>(param)->closed;
                    if (std::find(c.begin(), c.end(), w) == c.end()) c.push_back(w);
                    PostMessageW(w, WM_CLOSE, 0, 0);
                    return TRUE;
                },
                reinterpret_cast<LPARAM>(&left));
            WaitUntil([&] { return shown.load(); }, 1000);
        }
        done = true;
    });
    show();
    shown = true;
    PumpUntil([&] { return done.load(); }, graceMs + 20000);
    person.join();
    return static_cast<int>(closed.size());
}

// What the window's thread asks from a timer while ShowWhileUserActs runs (see below).
inline std::function<void()>*& ShowerTick() {
    static std::function<void()>* tick = nullptr;
    return tick;
}
inline void CALLBACK ShowerTimer(HWND, UINT, UINT_PTR, DWORD) {
    if (std::function<void()>* tick = ShowerTick()) (*tick)();
}

// As above, for a window only this thread can find (a form's default instance belongs to the
// thread that made it): find() is asked from a timer on this thread, which runs inside the modal
// loop too, until it answers a window that shows; user() then acts on it from the second thread.
template <typename Form>
int ShowWhileUserActs(const std::function<void()>& show, const std::function<Form*()>& find,
                      const std::function<void(Form&)>& user, DWORD graceMs = 3000) {
    std::atomic<Form*> found{nullptr};
    std::function<void()> look = [&] {
        if (found.load()) return;
        Form* form = find();
        if (form && IsWindowVisible(form->Handle())) found = form;
    };
    ShowerTick() = &look;
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, &ShowerTimer);
    const int left = ShowWhileUserActs(
        show,
        [&] {
            if (WaitUntil([&] { return found.load() != nullptr; })) user(*found.load());
        },
        graceMs);
    KillTimer(nullptr, timer);
    ShowerTick() = nullptr;
    return left;
}

// Runs user() on a second thread while this thread pumps its windows (and any pop-up menu or
// modal window the input opens), until the user is done; a window still waiting then is closed
// as above. Answers how many windows had to be closed.
inline int ActAsUser(const std::function<void()>& user, DWORD graceMs = 3000) {
    std::atomic<bool> acted{false};
    return ShowWhileUserActs([&] { PumpUntil([&] { return acted.load(); }, 60000); },
                             [&] {
                                 user();
                                 acted = true;
                             },
                             graceMs);
}

// On the user's thread: the open pop-up menu's window, waited for; null when none opened.
inline HWND WaitForPopUpMenu(DWORD ms = 5000) {
    HWND menu = nullptr;
    WaitUntil(
        [&] {
            menu = FindWindowW(L"#32768", nullptr);
            return menu && IsWindowVisible(menu);
        },
        ms);
    return menu && IsWindowVisible(menu) ? menu : nullptr;
}

// The captions of a menu's items ("-" for a separator).
inline std::vector<std::wstring> MenuItems(HMENU menu) {
    std::vector<std::wstring> items;
    for (int i = 0; menu && i < GetMenuItemCount(menu); ++i) {
        wchar_t text[256] = {};
        GetMenuStringW(menu, static_cast<UINT>(i), text, 255, MF_BYPOSITION);
        items.push_back(text[0] ? text : L"-");
    }
    return items;
}

// On the user's thread: waits until the window is the one in front (where Windows hands the
// user's input) and answers whether it came there in time.
inline bool WaitForFront(HWND hwnd, DWORD ms = 5000) {
    return WaitUntil([&] { return IsWindowVisible(hwnd) && GetForegroundWindow() == hwnd; }, ms);
}

// Moves a top-level window wholly onto the screen, as a user drags a window that hangs off an
// edge back into view before clicking on it.
inline void OntoTheScreen(HWND hwnd) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    const int width = GetSystemMetrics(SM_CXSCREEN), height = GetSystemMetrics(SM_CYSCREEN);
    int x = r.left, y = r.top;
    if (r.right > width) x = width - (r.right - r.left);
    if (r.bottom > height) y = height - (r.bottom - r.top);
    if (x < 0) x = 0;
    if (y < 0) y = 0;
    if (x != r.left || y != r.top) SetWindowPos(hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// The window that holds the keyboard in the window in front (any thread's).
inline HWND FocusedWindow() {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    return GetGUIThreadInfo(0, &info) ? info.hwndFocus : nullptr;
}

// On the user's thread: clicks into a one-line text box, selects what it holds with the keys
// (Home, Shift+End) and types the text over it. Answers whether the box then shows the text.
inline bool TypeInto(HWND box, const std::wstring& text, DWORD ms = 5000) {
    Click(CentreOf(box));
    if (!WaitUntil([&] { return FocusedWindow() == box; }, ms)) return false;
    Press(VK_HOME);
    Chord({VK_SHIFT, VK_END});
    Type(text);
    return WaitUntil(
        [&] {
            wchar_t shown[512] = {};
            GetWindowTextW(box, shown, 511);
            return text == shown;
        },
        ms);
}

}  // namespace userinput
