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
#include <cstdio>
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

// Button presses and keys handed to Windows, and those the window thread has since taken from its
// queue. While ShowWhileUserActs runs, the window thread counts what it takes (a hook sees each
// button and key message as its loop takes it, whichever loop that is: a menu's, a dialog's, a
// drag's), so the user's thread can tell an input that is still on its way from one that has
// arrived. Pointer moves are not counted: Windows merges them.
struct InputLedger {
    std::atomic<long> sent{0};
    std::atomic<long> arrived{0};
    std::atomic<bool> counting{false};
    // Where the last counted button message went: its point on the screen and its window.
    std::atomic<long> lastX{0}, lastY{0};
    std::atomic<HWND> lastWindow{nullptr};
};
inline InputLedger& Ledger() {
    static InputLedger ledger;
    return ledger;
}
inline UINT Send(UINT count, INPUT* inputs) {
    const UINT sent = SendInput(count, inputs, sizeof(INPUT));
    Ledger().sent += static_cast<long>(sent);
    return sent;
}

// A pointer input aimed at a screen point.
inline INPUT PointerAt(POINT screen, DWORD flags) {
    const int width = GetSystemMetrics(SM_CXSCREEN);
    const int height = GetSystemMetrics(SM_CYSCREEN);
    INPUT input{};
    input.type = INPUT_MOUSE;
    // The middle of the pixel, so the rounding back to pixels lands on the pixel asked for.
    input.mi.dx = static_cast<LONG>((2LL * screen.x + 1) * 65536 / (2LL * width));
    input.mi.dy = static_cast<LONG>((2LL * screen.y + 1) * 65536 / (2LL * height));
    input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE | flags;
    return input;
}

inline void MoveTo(POINT screen) {
    PointerTarget() = screen;
    INPUT input = PointerAt(screen, 0);
    SendInput(1, &input, sizeof(input));
}

enum class Button { Left, Right };

// A button pressed or let go where the last move sent the pointer. The press carries that point
// itself: under Xvfb a late motion event of the display server can still move Wine's pointer
// back for a moment, and a bare press would land wherever it was then.
inline void PressOrRelease(DWORD flags) {
    const POINT target = PointerTarget();
    INPUT input{};
    if (target.x >= 0 && target.y >= 0) {
        input = PointerAt(target, flags);
    } else {
        input.type = INPUT_MOUSE;
        input.mi.dwFlags = flags;
    }
    Send(1, &input);
}

inline void ButtonDown(Button b) { PressOrRelease(b == Button::Left ? MOUSEEVENTF_LEFTDOWN : MOUSEEVENTF_RIGHTDOWN); }

inline void ButtonUp(Button b) { PressOrRelease(b == Button::Left ? MOUSEEVENTF_LEFTUP : MOUSEEVENTF_RIGHTUP); }

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
    Send(1, &input);
}

inline void KeyUp(WORD vk) {
    INPUT input{};
    input.type = INPUT_KEYBOARD;
    input.ki.wVk = vk;
    input.ki.wScan = static_cast<WORD>(MapVirtualKeyW(vk, MAPVK_VK_TO_VSC));
    input.ki.dwFlags = KEYEVENTF_KEYUP;
    Send(1, &input);
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
        Send(2, input);
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

// The middle of the box along a window's caption that answers the hit-test code (HTCLOSE,
// HTMINBUTTON ...) on the screen, found by asking the window, of this process or another, what
// lies along its caption; {-1, -1} when it has none there.
inline POINT CaptionBoxOf(HWND hwnd, LRESULT hit) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    const int y = r.top + GetSystemMetrics(SM_CYFRAME) + GetSystemMetrics(SM_CYCAPTION) / 2;
    const auto at = [&](int x) {
        DWORD_PTR answer = HTNOWHERE;
        if (!SendMessageTimeoutW(hwnd, WM_NCHITTEST, 0, MAKELPARAM(x, y), SMTO_ABORTIFHUNG, 2000, &answer))
            return static_cast<LRESULT>(HTNOWHERE);
        return static_cast<LRESULT>(answer);
    };
    int first = -1, last = -1;
    for (int x = r.right - 1; x > r.right - 8 * GetSystemMetrics(SM_CXSIZE) && x > r.left; --x) {
        const bool onBox = at(x) == hit;
        if (onBox && first < 0) first = x;
        if (onBox) last = x;
        if (!onBox && first >= 0) break;
    }
    if (first < 0) return POINT{-1, -1};
    return POINT{(first + last) / 2, y};
}
inline POINT CloseBoxOf(HWND hwnd) { return CaptionBoxOf(hwnd, HTCLOSE); }
inline POINT MinimizeBoxOf(HWND hwnd) { return CaptionBoxOf(hwnd, HTMINBUTTON); }

// ---- the window thread, watched while the user acts ----

namespace watch {

inline bool IsButtonMessage(WPARAM message) {
    switch (message) {
        case WM_LBUTTONDOWN: case WM_LBUTTONUP: case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDOWN: case WM_RBUTTONUP: case WM_RBUTTONDBLCLK:
        case WM_MBUTTONDOWN: case WM_MBUTTONUP: case WM_MBUTTONDBLCLK:
        case WM_NCLBUTTONDOWN: case WM_NCLBUTTONUP: case WM_NCLBUTTONDBLCLK:
        case WM_NCRBUTTONDOWN: case WM_NCRBUTTONUP: case WM_NCRBUTTONDBLCLK:
        case WM_NCMBUTTONDOWN: case WM_NCMBUTTONUP: case WM_NCMBUTTONDBLCLK:
            return true;
        default:
            return false;
    }
}

// Hooks of the window thread: they run as its loop takes a message from the queue.
inline LRESULT CALLBACK CountButton(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && IsButtonMessage(wParam)) {
        const auto* info = reinterpret_cast<const MOUSEHOOKSTRUCT*>(lParam);
        InputLedger& ledger = Ledger();
        ledger.lastX = info->pt.x;
        ledger.lastY = info->pt.y;
        ledger.lastWindow = info->hwnd;
        ++ledger.arrived;
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}
inline LRESULT CALLBACK CountKey(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION) ++Ledger().arrived;
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// A message the user's thread posts to the window thread to learn when that thread has taken
// everything queued before it.
inline UINT SyncMessage() {
    static const UINT message = RegisterWindowMessageW(L"UserInput.WindowThreadSync");
    return message;
}
inline std::atomic<long>& SyncsTaken() {
    static std::atomic<long> taken{0};
    return taken;
}
inline std::atomic<long>& SyncsPosted() {
    static std::atomic<long> posted{0};
    return posted;
}
inline LRESULT CALLBACK SeeSync(int code, WPARAM wParam, LPARAM lParam) {
    if (code == HC_ACTION && (wParam & PM_REMOVE)) {
        const auto* msg = reinterpret_cast<const MSG*>(lParam);
        if (msg->message == SyncMessage() && !msg->hwnd) {
            const long number = static_cast<long>(msg->wParam);
            if (number > SyncsTaken().load()) SyncsTaken() = number;
        }
    }
    return CallNextHookEx(nullptr, code, wParam, lParam);
}

// The thread the hooks watch (0 while none does).
inline std::atomic<DWORD>& WatchedThread() {
    static std::atomic<DWORD> thread{0};
    return thread;
}

// Installs the counting hooks on this thread for its lifetime, unless they are already there.
class Hooks {
public:
    Hooks() {
        if (WatchedThread().load() != 0) return;
        const DWORD self = GetCurrentThreadId();
        Ledger().arrived = Ledger().sent.load();
        mouse_ = SetWindowsHookExW(WH_MOUSE, &CountButton, nullptr, self);
        keys_ = SetWindowsHookExW(WH_KEYBOARD, &CountKey, nullptr, self);
        messages_ = SetWindowsHookExW(WH_GETMESSAGE, &SeeSync, nullptr, self);
        if (mouse_ && keys_ && messages_) {
            WatchedThread() = self;
            Ledger().counting = true;
        }
    }
    ~Hooks() {
        if (mouse_ && keys_ && messages_ && WatchedThread().load() == GetCurrentThreadId()) {
            Ledger().counting = false;
            WatchedThread() = 0;
        }
        if (mouse_) UnhookWindowsHookEx(mouse_);
        if (keys_) UnhookWindowsHookEx(keys_);
        if (messages_) UnhookWindowsHookEx(messages_);
    }
    Hooks(const Hooks&) = delete;
    Hooks& operator=(const Hooks&) = delete;

private:
    HHOOK mouse_ = nullptr, keys_ = nullptr, messages_ = nullptr;
};

inline std::string Narrow(const std::wstring& text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n : 0), '\0');
    if (n > 0) WideCharToMultiByte(CP_UTF8, 0, text.c_str(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

inline std::string NameOf(HWND hwnd) {
    if (!hwnd) return "(none)";
    wchar_t cls[64] = {}, text[128] = {};
    GetClassNameW(hwnd, cls, 63);
    GetWindowTextW(hwnd, text, 127);
    return Narrow(std::wstring(cls) + L" \"" + text + L"\"");
}

// The pop-up menu of that thread that shows, if any.
inline HWND OpenMenuOf(DWORD thread) {
    for (HWND menu = FindWindowExW(nullptr, nullptr, L"#32768", nullptr); menu;
         menu = FindWindowExW(nullptr, menu, L"#32768", nullptr))
        if (IsWindowVisible(menu) && GetWindowThreadProcessId(menu, nullptr) == thread) return menu;
    return nullptr;
}

// What that thread shows: its windows with their texts, an open pop-up with its items, who holds
// the pointer and the keys, and how far the user's input got.
inline std::string Describe(DWORD thread) {
    std::string out;
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (GetGUIThreadInfo(thread, &info)) {
        out += "active " + NameOf(info.hwndActive) + ", focus " + NameOf(info.hwndFocus);
        if (info.hwndCapture) out += ", pointer captured by " + NameOf(info.hwndCapture);
        if (info.flags & GUI_INMENUMODE) out += ", in a menu";
        out += "\n";
    }
    if (HWND menu = OpenMenuOf(thread)) {
        out += "pop-up menu:";
        HMENU items = nullptr;
        DWORD_PTR answer = 0;
        if (SendMessageTimeoutW(menu, 0x01E1 /*MN_GETHMENU*/, 0, 0, SMTO_ABORTIFHUNG, 1000, &answer))
            items = reinterpret_cast<HMENU>(answer);
        for (int i = 0; items && i < GetMenuItemCount(items); ++i) {
            wchar_t text[128] = {};
            GetMenuStringW(items, static_cast<UINT>(i), text, 127, MF_BYPOSITION);
            out += " [" + Narrow(text[0] ? text : L"-") +
                   ((GetMenuState(items, static_cast<UINT>(i), MF_BYPOSITION) & MF_HILITE) ? "*]" : "]");
        }
        out += "\n";
    }
    struct Windows {
        std::string* out;
    } windows{&out};
    EnumThreadWindows(
        thread,
        [](HWND w, LPARAM param) -> BOOL {
            if (!IsWindowVisible(w)) return TRUE;
            std::string& o = *reinterpret_cast<Windows*>(param)->out;
            o += "window " + NameOf(w) + (IsWindowEnabled(w) ? "" : " (disabled)") + ":";
            EnumChildWindows(
                w,
                [](HWND child, LPARAM p) -> BOOL {
                    wchar_t text[128] = {};
                    if (IsWindowVisible(child) && GetWindowTextW(child, text, 127) > 0)
                        *reinterpret_cast<std::string*>(p) += " \"" + Narrow(text) + "\"";
                    return TRUE;
                },
                reinterpret_cast<LPARAM>(&o));
            o += "\n";
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&windows));
    const InputLedger& ledger = Ledger();
    out += "inputs sent " + std::to_string(ledger.sent.load()) + ", taken by the window thread " +
           std::to_string(ledger.arrived.load()) + "; the last click reached " + std::to_string(ledger.lastX.load()) +
           "," + std::to_string(ledger.lastY.load()) + " on " + NameOf(ledger.lastWindow.load()) + "\n";
    return out;
}

// The windows of that thread that show.
inline std::vector<HWND> ShownWindowsOf(DWORD thread) {
    std::vector<HWND> shown;
    EnumThreadWindows(
        thread,
        [](HWND w, LPARAM param) -> BOOL {
            if (IsWindowVisible(w)) reinterpret_cast<std::vector<HWND>*>(param)->push_back(w);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&shown));
    return shown;
}

// Leaves what still waits on that thread as a user who walks away does, gentlest first: an open
// pop-up menu and a held pointer get Escape (and, later, the button let go), then the windows that
// came up while the user acted and still wait get WM_CLOSE; the windows that showed before (the
// test's frame) are left alone. Posted, so no focus or pointer position is needed. Notes each
// window met.
inline void Leave(DWORD thread, int round, const std::vector<HWND>& before, std::vector<HWND>& met) {
    const auto note = [&](HWND w) {
        if (std::find(met.begin(), met.end(), w) == met.end()) met.push_back(w);
    };
    if (HWND menu = OpenMenuOf(thread)) {
        note(menu);
        PostMessageW(menu, WM_KEYDOWN, VK_ESCAPE, 0);
        return;
    }
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (GetGUIThreadInfo(thread, &info) && info.hwndCapture && round < 4) {
        note(info.hwndCapture);
        if (round % 2 == 0)
            PostMessageW(info.hwndCapture, WM_KEYDOWN, VK_ESCAPE, 0);
        else
            PostMessageW(info.hwndCapture, WM_LBUTTONUP, 0, 0);
        return;
    }
    for (HWND w : ShownWindowsOf(thread)) {
        if (!IsWindowEnabled(w) || std::find(before.begin(), before.end(), w) != before.end()) continue;
        note(w);
        PostMessageW(w, WM_CLOSE, 0, 0);
    }
}

}  // namespace watch

// On the user's thread: waits until the window thread has taken from its queue every button press
// and key sent so far (at once when no window thread is watched). Answers whether all came.
inline bool InputArrived(DWORD ms = 10000) {
    if (!Ledger().counting) return true;
    return WaitUntil([] { return Ledger().arrived.load() >= Ledger().sent.load(); }, ms);
}

// On the user's thread: waits until the window thread has taken every input sent so far and then,
// twice over, every message queued behind it, so that what an input posted (a menu's command) has
// been handed on too. Answers whether the thread caught up in time.
inline bool WindowThreadCaughtUp(DWORD ms = 10000) {
    const DWORD thread = watch::WatchedThread().load();
    if (!thread) return true;
    const DWORD end = GetTickCount() + ms;
    const auto left = [&] {
        const LONG l = static_cast<LONG>(end - GetTickCount());
        return l > 0 ? static_cast<DWORD>(l) : 0;
    };
    if (!InputArrived(left())) return false;
    for (int round = 0; round < 2; ++round) {
        const long number = ++watch::SyncsPosted();
        PostThreadMessageW(thread, watch::SyncMessage(), static_cast<WPARAM>(number), 0);
        if (!WaitUntil([&] { return watch::SyncsTaken().load() >= number; }, left())) return false;
    }
    return true;
}

// What the last ShowWhileUserActs (or ActAsUser) found still open once the user was done, for the
// test's failure message; empty when nothing waited.
inline std::string& WhatWasLeftOpen() {
    static std::string report;
    return report;
}

// Runs show() on this thread - a modal window, whose loop pumps this thread - while user() acts
// from a second thread as a person at the screen does. Once the user is done and the window thread
// has taken every input the user sent, a loop of this thread that still waits (a pop-up menu, a
// held pointer, a window that stays up) means an input was lost: it is left with Escape or closed,
// so the test fails instead of hanging, and WhatWasLeftOpen() says what was on screen. Should it
// never come back, the program ends with that report rather than wait for ever. Answers how many
// windows had to be left or closed.
inline int ShowWhileUserActs(const std::function<void()>& show, const std::function<void()>& user,
                             DWORD graceMs = 3000) {
    const DWORD shower = GetCurrentThreadId();
    watch::Hooks hooks;
    WhatWasLeftOpen().clear();
    const std::vector<HWND> before = watch::ShownWindowsOf(shower);
    std::atomic<bool> shown{false}, done{false};
    std::vector<HWND> closed;
    std::string report;
    std::thread person([&] {
        user();
        const bool arrived = InputArrived(graceMs + 7000);
        WaitUntil([&] { return shown.load(); }, graceMs);
        if (!shown) report = watch::Describe(shower);
        else if (!arrived) report = "some input never reached the window thread\n" + watch::Describe(shower);
        const DWORD giveUp = GetTickCount() + graceMs + 60000;
        for (int round = 0; !shown; ++round) {
            watch::Leave(shower, round, before, closed);
            WaitUntil([&] { return shown.load(); }, 1000);
            if (!shown && static_cast<LONG>(giveUp - GetTickCount()) <= 0) {
                std::fprintf(stderr, "\nThe window thread never came back once the user was done. On screen:\n%s\n",
                             report.c_str());
                std::fflush(stderr);
                TerminateProcess(GetCurrentProcess(), 3);
            }
        }
        done = true;
    });
    show();
    shown = true;
    PumpUntil([&] { return done.load(); }, graceMs + 90000);
    person.join();
    WhatWasLeftOpen() = report;
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
                                 // What the input set going (a menu's command) has run, or waits in
                                 // a loop the watchdog then finds.
                                 WindowThreadCaughtUp();
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

// On the user's thread: points at the item of the open pop-up menu at that position, waits until
// the menu shows it highlighted (so the menu follows the pointer there), and clicks it. A move the
// menu has not followed yet is made again, which is harmless; the click is made once. Answers
// whether the item was highlighted before the click.
inline bool ClickMenuItem(HMENU menu, int position, DWORD ms = 5000) {
    const UINT at = static_cast<UINT>(position);
    RECT item{};
    if (!WaitUntil([&] { return GetMenuItemRect(nullptr, menu, at, &item) && item.right > item.left; }, ms))
        return false;
    const POINT target{item.left + 12, (item.top + item.bottom) / 2};
    const auto lit = [&] { return (GetMenuState(menu, at, MF_BYPOSITION) & MF_HILITE) != 0; };
    // The item may still show the highlight of an earlier opening, so the pointer always goes
    // there first; the press then carries that point.
    MoveTo(target);
    SettlePointer();
    const bool highlighted = WaitUntil(
        [&] {
            if (lit()) return true;
            MoveTo(target);
            SettlePointer();
            return WaitUntil(lit, 300);
        },
        ms);
    ButtonDown(Button::Left);
    ButtonUp(Button::Left);
    return highlighted;
}

// On the user's thread: opens the sub-menu of the open pop-up menu's item at that position and
// chooses the sub-menu's item at subPosition. The pointer rests on the parent item until the
// sub-menu shows, and clicks it when the rest did not open it; then it points at the sub-menu's
// item and clicks it once the menu shows it lit. Wine's menu can close a sub-menu under a click
// that comes just as the rest opened it, and can leave an item unlit while it still follows the
// parent menu: the user then points at the parent item again and goes on from there. The click on
// the sub-menu's item is made once. Answers whether it was made.
inline bool ChooseFromSubMenu(HMENU menu, int position, HMENU sub, int subPosition, DWORD ms = 15000) {
    const DWORD end = GetTickCount() + ms;
    const auto timeLeft = [&] { return static_cast<LONG>(end - GetTickCount()) > 0; };
    // An item of a menu shown on the screen now, and where it lies.
    const auto shown = [](HMENU m, int at, RECT& r) {
        if (!GetMenuItemRect(nullptr, m, static_cast<UINT>(at), &r) || r.right <= r.left) return false;
        wchar_t cls[16] = {};
        const HWND under = WindowFromPoint(POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
        return under && IsWindowVisible(under) && GetClassNameW(under, cls, 16) && std::wstring(cls) == L"#32768";
    };
    const auto lit = [](HMENU m, int at) {
        return (GetMenuState(m, static_cast<UINT>(at), MF_BYPOSITION) & MF_HILITE) != 0;
    };
    RECT parent{}, item{};
    if (!WaitUntil([&] { return shown(menu, position, parent); }, 5000)) return false;
    const POINT onParent{parent.left + 12, (parent.top + parent.bottom) / 2};
    while (timeLeft()) {
        if (!shown(sub, subPosition, item)) {
            MoveTo(onParent);
            SettlePointer();
            if (!WaitUntil([&] { return shown(sub, subPosition, item); }, 1500)) {
                ButtonDown(Button::Left);
                ButtonUp(Button::Left);
                WaitUntil([&] { return shown(sub, subPosition, item); }, 1500);
            }
            continue;
        }
        MoveTo(POINT{item.left + 12, (item.top + item.bottom) / 2});
        SettlePointer();
        if (WaitUntil([&] { return lit(sub, subPosition); }, 1500)) {
            ButtonDown(Button::Left);
            ButtonUp(Button::Left);
            return true;
        }
        MoveTo(onParent);
        SettlePointer();
        WaitUntil([&] { return lit(menu, position); }, 1000);
    }
    return false;
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
