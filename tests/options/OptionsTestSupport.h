// What the options library's tests share: a late-bound object with named properties (a parent
// form, a plug-in face), a driver for modal windows, and clipboard readers.
#pragma once
#include <windows.h>
#include <oaidl.h>

#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "UserInput.h"
#include "com/ComDispatch.h"
#include "vb/VbScreen.h"
#include "vb/VbText.h"
#include "vb/VbVariant.h"
#include "win/Window.h"

namespace optionstest {

// An automation object whose members are the named properties it was given. Lives on the
// stack; references are counted only to be checked.
class FakeDispatch : public IDispatch {
public:
    explicit FakeDispatch(std::vector<std::pair<std::wstring, vb::Variant>> properties)
        : properties_(std::move(properties)) {}

    vb::Variant Get(const std::wstring& name) const {
        for (auto& p : properties_)
            if (vb::TextEquals(p.first, name)) return p.second;
        return {};
    }
    void Set(const std::wstring& name, const vb::Variant& value) {
        for (auto& p : properties_)
            if (vb::TextEquals(p.first, name)) p.second = value;
    }
    // Every property put, in order.
    std::vector<std::pair<std::wstring, vb::Variant>> puts;
    LONG References() const { return refs_; }

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDispatch) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    STDMETHODIMP_(ULONG) Release() override { return static_cast<ULONG>(InterlockedDecrement(&refs_)); }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (count != 1) return E_INVALIDARG;
        for (size_t i = 0; i < properties_.size(); ++i) {
            if (vb::TextEquals(properties_[i].first, names[0])) {
                ids[0] = static_cast<DISPID>(i + 1);
                return S_OK;
            }
        }
        ids[0] = DISPID_UNKNOWN;
        return DISP_E_UNKNOWNNAME;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                        UINT*) override {
        if (id < 1 || static_cast<size_t>(id) > properties_.size()) return DISP_E_MEMBERNOTFOUND;
        auto& property = properties_[static_cast<size_t>(id - 1)];
        if (flags & DISPATCH_PROPERTYPUT) {
            if (!params || params->cArgs != 1) return DISP_E_BADPARAMCOUNT;
            try {
                property.second = com::FromVARIANT(params->rgvarg[0]);
            } catch (...) {
                return DISP_E_TYPEMISMATCH;
            }
            puts.emplace_back(property.first, property.second);
            return S_OK;
        }
        if (result) com::ToVARIANT(property.second, result);
        return S_OK;
    }

private:
    LONG refs_ = 1;
    std::vector<std::pair<std::wstring, vb::Variant>> properties_;
};

// Runs show() (which shows a modal window and returns when it closes) while step() acts as
// the user from a timer inside the modal loop: step is called every tick until it answers
// true. A window still open after the deadline is closed, so no test waits forever.
inline bool g_driverTimedOut = false;
inline std::function<bool()> g_driverStep;
inline int g_driverTicks = 0;

inline void CALLBACK DriverTimer(HWND, UINT, UINT_PTR id, DWORD) {
    if (!g_driverStep) return;
    if (++g_driverTicks > 250) {
        g_driverTimedOut = true;
        KillTimer(nullptr, id);
        g_driverStep = nullptr;
        EnumThreadWindows(
            GetCurrentThreadId(),
            [](HWND w, LPARAM) -> BOOL {
                if (IsWindowVisible(w)) PostMessageW(w, WM_CLOSE, 0, 0);
                return TRUE;
            },
            0);
        return;
    }
    // The step may itself run a message loop; it must not be entered twice.
    auto step = std::move(g_driverStep);
    g_driverStep = nullptr;
    if (step()) {
        KillTimer(nullptr, id);
        return;
    }
    if (!g_driverStep) g_driverStep = std::move(step);
}

inline bool RunDriven(const std::function<void()>& show, std::function<bool()> step) {
    g_driverTimedOut = false;
    g_driverTicks = 0;
    g_driverStep = std::move(step);
    UINT_PTR timer = SetTimer(nullptr, 0, 20, &DriverTimer);
    show();
    KillTimer(nullptr, timer);
    g_driverStep = nullptr;
    return !g_driverTimedOut;
}

// A message box's text as written, without the line breaks the catalogue wraps it with.
inline std::wstring Unwrapped(const std::wstring& prompt) {
    std::wstring out;
    for (size_t i = 0; i < prompt.size(); ++i) {
        if (prompt.compare(i, 2, L"\r\n") == 0 && i > 0 && prompt[i - 1] == L' ') {
            ++i;
            continue;
        }
        out += prompt[i];
    }
    return vb::Trim(out);
}

inline void Press(HWND button) { SendMessageW(button, BM_CLICK, 0, 0); }

// Lets pending messages (posted unloads, activations) run.
inline void Pump(int rounds = 5) {
    for (int i = 0; i < rounds; ++i) {
        vb::DoEvents();
        Sleep(10);
    }
}

inline UINT RichTextFormat() { return RegisterClipboardFormatW(L"Rich Text Format"); }

inline std::wstring ClipboardText() {
    std::wstring text;
    if (!OpenClipboard(nullptr)) return L"<clipboard busy>";
    if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
        if (auto* p = static_cast<const wchar_t*>(GlobalLock(data))) {
            text = p;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

inline std::string ClipboardBytes(UINT format) {
    std::string bytes;
    if (!OpenClipboard(nullptr)) return bytes;
    if (HANDLE data = GetClipboardData(format)) {
        if (auto* p = static_cast<const char*>(GlobalLock(data))) {
            bytes = p;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return bytes;
}

inline void PutClipboardSentinel(const std::wstring& text) {
    if (!OpenClipboard(nullptr)) return;
    EmptyClipboard();
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t));
    memcpy(GlobalLock(memory), text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(memory);
    SetClipboardData(CF_UNICODETEXT, memory);
    CloseClipboard();
}

// Writes bytes to a file, replacing it.
inline void WriteBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    DWORD written = 0;
    WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
}

// %XX back to the UTF-8 bytes and then to text.
inline std::wstring PercentDecode(const std::wstring& text) {
    std::string bytes;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == L'%' && i + 2 < text.size()) {
            bytes += static_cast<char>(std::stoi(std::wstring(text.substr(i + 1, 2)), nullptr, 16));
            i += 2;
        } else {
            bytes += static_cast<char>(text[i]);
        }
    }
    int n = MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, bytes.data(), static_cast<int>(bytes.size()), out.data(), n);
    return out;
}

// Closes the next pop-up menu of this thread once it shows, after reading its items. A menu's
// window may come a few ticks after the call that opens it, so the probe keeps looking (up to
// about five seconds) and then gives up; the destructor stops it either way.
class PopUpMenuCloser {
public:
    std::vector<std::wstring> items;  // "-" for a separator
    bool closed = false;
    std::function<void()> whileOpen;   // runs once the menu is visible, before it closes

    PopUpMenuCloser() {
        Current() = this;
        timer_ = SetTimer(nullptr, 0, 50, &Tick);
    }
    ~PopUpMenuCloser() {
        if (timer_) KillTimer(nullptr, timer_);
        Current() = nullptr;
    }
    PopUpMenuCloser(const PopUpMenuCloser&) = delete;
    PopUpMenuCloser& operator=(const PopUpMenuCloser&) = delete;

private:
    static PopUpMenuCloser*& Current() {
        static PopUpMenuCloser* closer = nullptr;
        return closer;
    }
    static void CALLBACK Tick(HWND, UINT, UINT_PTR id, DWORD) {
        PopUpMenuCloser* self = Current();
        if (!self || self->timer_ != id) {
            KillTimer(nullptr, id);
            return;
        }
        HWND menuWindow = FindWindowW(L"#32768", nullptr);
        if (!menuWindow || !IsWindowVisible(menuWindow)) {
            if (++self->ticks_ > 100) {
                KillTimer(nullptr, id);
                self->timer_ = 0;
            }
            return;
        }
        KillTimer(nullptr, id);
        self->timer_ = 0;
        HMENU menu = reinterpret_cast<HMENU>(SendMessageW(menuWindow, 0x01E1 /*MN_GETHMENU*/, 0, 0));
        for (int i = 0; menu && i < GetMenuItemCount(menu); ++i) {
            wchar_t text[128] = {};
            GetMenuStringW(menu, static_cast<UINT>(i), text, 127, MF_BYPOSITION);
            self->items.push_back(text[0] ? text : L"-");
        }
        if (self->whileOpen) self->whileOpen();
        EndMenu();
        self->closed = true;
    }
    UINT_PTR timer_ = 0;
    int ticks_ = 0;
};

// ---- a person at the keyboard ----

// Runs show() (which shows a modal window and returns when it closes) while a person uses it.
// Once window() names the window shown, it is brought to the front and look() reads what it
// shows on this thread; then user() moves the pointer, clicks and types through SendInput from
// a thread of its own, as the person does. Once the user is done, a window of this thread still
// up and waiting means an input was lost: it is closed, so the test fails instead of waiting for
// ever. Answers whether the window came up and the user left nothing open.
inline bool ShowToUser(const std::function<void()>& show, const std::function<HWND()>& window,
                       const std::function<void()>& look, const std::function<void()>& user) {
    std::atomic<bool> seen{false};
    bool driven = false;
    const int leftOpen = userinput::ShowWhileUserActs(
        [&] {
            driven = RunDriven(show, [&] {
                HWND shown = window();
                if (!shown || !IsWindowVisible(shown)) return false;
                userinput::BringToFront(shown);
                look();
                seen = true;
                return true;
            });
        },
        [&] {
            if (userinput::WaitUntil([&] { return seen.load(); }, 10000)) user();
        });
    return driven && seen && leftOpen == 0;
}

// The window that has the keyboard focus on the thread that owns the given window.
inline HWND FocusOnThreadOf(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
    return info.hwndFocus;
}

// On the user's thread: clicks the middle of a control of the window in front and waits until
// answered() says the click has done its work. Answers whether it did in time.
inline bool ClickAsUser(HWND control, const std::function<bool()>& answered, DWORD ms = 5000) {
    userinput::Click(userinput::CentreOf(control));
    return userinput::WaitUntil(answered, ms);
}

// On the user's thread: the open pop-up menu's item at that position clicked with the pointer,
// once the menu (or the sub-menu) shows it and has highlighted it under the pointer.
inline bool ClickMenuItemAsUser(HMENU menu, int position) { return userinput::ClickMenuItem(menu, position); }

// The position of the item with that caption in a native menu, -1 when it is not there.
inline int MenuPositionOf(HMENU menu, const std::wstring& caption) { return win::MenuPositionByCaption(menu, caption); }
// The position of the first item whose caption starts with that text, -1 when none does.
inline int MenuPositionStartingWith(HMENU menu, const std::wstring& start) {
    return win::MenuPositionByCaption(menu, start, win::CaptionMatch::Start);
}

}  // namespace optionstest
