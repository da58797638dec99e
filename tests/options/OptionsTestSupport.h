// What the options library's tests share: a late-bound object with named properties (a parent
// form, a plug-in face), a driver for modal windows, and clipboard readers.
#pragma once
#include <windows.h>
#include <oaidl.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "com/ComDispatch.h"
#include "vb/VbScreen.h"
#include "vb/VbText.h"
#include "vb/VbVariant.h"

// The options window's own tests: a frame of the tests' own, archives and data files.
#include <windows.h>
#include <objbase.h>
#include <gtest/gtest.h>
#include <atomic>
#include <functional>
#include <string>
#include <thread>
#include <vector>
#include "TestSupport.h"
#include "com/ComModule.h"
#include "host/FrameAutomation.h"
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

}  // namespace optionstest

namespace optionstest {

inline constexpr char kPassword[] = "UWLpKEh+";

// An MDI frame with a status bar of four panels; its automation object sits on its window as
// the frame property, as the host's frame does it.
class TestFrame : public win::Window, public FrameSurface {
    HWND client_ = nullptr;

public:
    TestFrame();
    ~TestFrame() override;

    bool IsMdiFrame() const override { return true; }
    void ShowMDIForm() override { ++shownAgain; }
    std::wstring PanelText(int panel) const override { return sta1.PanelText(panel); }
    void SetPanelText(int panel, const std::wstring& text) override {
        sta1.SetPanelText(panel, text);
        panelWrites.push_back(text);
    }
    int WindowState() const override { return win::Window::WindowState(); }
    HWND Handle() const override { return win::Window::Handle(); }
    HWND MdiClient() const override { return client_; }
    void AddMdiChild(HWND window, IDispatch* form) override;
    void RemoveMdiChild(HWND window) override;

    struct Child {
        HWND window;
        com::ComPtr<IDispatch> form;
    };
    std::vector<Child> children;
    std::vector<std::wstring> panelWrites;
    int shownAgain = 0;
    win::StatusBar& sta1;

protected:
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    LRESULT SystemMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    com::ComPtr<IDispatch> automation_;
};

// Runs this thread's messages until done() or the time is up; answers done().
bool PumpUntil(const std::function<bool()>& done, DWORD milliseconds = 20000);
void PumpFor(DWORD milliseconds);

// Closes any message box or dialog of this process that stays open longer than a moment,
// counting them: a library showing a box the test cannot answer must not hang the test.
class DialogWatchdog {
public:
    DialogWatchdog();
    ~DialogWatchdog();
    int closed() const { return closed_.load(); }
    std::vector<std::wstring> texts() const;

private:
    std::atomic<bool> stop_{false};
    std::atomic<int> closed_{0};
    std::thread thread_;
};

// The root folder of a library at programFolder ("...\Programs" less that part).
std::wstring DataFolderOf(const std::wstring& root);
// Writes files (name, content) into a new folder and packs them into root\Data\TesselMorva.dat.
void WriteArchive(const std::wstring& root, const std::vector<std::pair<std::wstring, std::string>>& files);
std::string ReadFileBytes(const std::wstring& path);
bool WriteFileBytes(const std::wstring& path, const std::string& bytes);
// Sets a file's last-write time to now less days (whole days).
void AgeFile(const std::wstring& path, int days);

// A small category file without the marker of the shipped one.
std::string CategoryFile();
// n program lines: statuses cycle OK, NE, WD, SD.
std::string ProgramLines(int n);

// HKLM "...\Morva Utility Manager\4" "Morva Utility Manager First Time".
void SetFirstRun(const wchar_t* value);
std::wstring FirstRunValue();

}  // namespace optionstest
