// Helpers of the host's tests: the registry's roots redirected to scratch keys, a fake frame
// with its toolbar, a meter that answers set loads, and the products of the tests' own.
#pragma once
#include <windows.h>
#include <oaidl.h>

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "HostContract.h"
#include "HostFrame.h"
#include "clsCPUUsage.h"

namespace hosttest {

// The folder of the test program (the fakes lie beside it).
std::wstring TestFolder();
std::wstring ZintraPath();
// The help file Lumox.chm as the build compiled it.
std::wstring BuiltHelpFilePath();

// Runs a command line and answers its exit code (-1 when it could not start).
long RunAndWait(const std::wstring& commandLine);

// HKEY_LOCAL_MACHINE and HKEY_CLASSES_ROOT of this process go to scratch keys for the
// object's lifetime (registry calls of other processes still reach the real ones).
class RegistryRedirect {
public:
    RegistryRedirect();
    ~RegistryRedirect();
    RegistryRedirect(const RegistryRedirect&) = delete;
    RegistryRedirect& operator=(const RegistryRedirect&) = delete;

private:
    std::wstring scratch_;
    HKEY machine_ = nullptr;
    HKEY classes_ = nullptr;
};

std::optional<std::wstring> ReadString(HKEY root, const std::wstring& key, const wchar_t* valueName);
bool KeyExists(HKEY root, const std::wstring& key);
void WriteString(HKEY root, const std::wstring& key, const wchar_t* valueName, const std::wstring& data);
// Value names of a key, in registry order.
std::vector<std::wstring> ValueNames(HKEY root, const std::wstring& key);

// The host key and its numeric subkeys.
inline const std::wstring HostKey = L"Software\\Morva Corporation\\Morva Utility Manager";
inline std::wstring HostSubkey(const wchar_t* n) { return HostKey + L"\\" + n; }

// COM on the calling thread for the object's lifetime.
class ComApartment {
public:
    ComApartment() { OleInitialize(nullptr); }
    ~ComApartment() { OleUninitialize(); }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;
};

// The products of the tests' own (MorvaFakeA to MorvaFakeD), registered once per process.
class FakeProducts {
public:
    static void RegisterOnce();
    static void Reset();
    static void Set(const std::wstring& owner, const wchar_t* member, const std::wstring& text);
    static void Set(const std::wstring& owner, const wchar_t* member, const wchar_t* text) {
        Set(owner, member, std::wstring(text));
    }
    static void Set(const std::wstring& owner, const wchar_t* member, double number);
    static void Set(const std::wstring& owner, const wchar_t* member, bool value);
    // The member fails with an error when called; Remove makes it unknown by name.
    static void Fail(const std::wstring& owner, const wchar_t* member);
    static void Remove(const std::wstring& owner, const wchar_t* member);
    // "owner|member" per call, in order.
    static std::vector<std::wstring> Calls();
    static long Live(const std::wstring& owner);
    // A modal window of the products' module, owned by owner, until it is sent WM_CLOSE.
    static void ShowModalWindow(HWND owner);
};

// The toolbar as the build-up sees it: a record of what was asked of it.
struct FakeButton {
    std::wstring key;
    int style = -1;
    std::wstring toolTip;
    bool pictures = false;  // a product's pictures arrived
    std::wstring imageKeys;  // "up,down,over" of the frame's own image list
};

class FakeToolbar : public HostToolbar {
public:
    FakeToolbar() { FakeButton first;
        first.key = L"Help";
        buttons.push_back(first); }
    int AddButton() override {
        buttons.emplace_back();
        return ButtonCount();
    }
    int ButtonCount() const override { return static_cast<int>(buttons.size()); }
    void SetButtonPictures(int button, IPicture* up, IPicture* down, IPicture* over) override {
        At(button).pictures = up || down || over;
    }
    void SetButtonImages(int button, const std::wstring& up, const std::wstring& down,
                         const std::wstring& over) override {
        At(button).imageKeys = up + L"," + down + L"," + over;
    }
    void SetButtonToolTip(int button, const std::wstring& text) override { At(button).toolTip = text; }
    void SetButtonKey(int button, const std::wstring& key) override { At(button).key = key; }
    void SetButtonStyle(int button, int style) override { At(button).style = style; }
    void Refresh(int how) override { refreshed = how; }

    FakeButton& At(int button) { return buttons.at(static_cast<size_t>(button - 1)); }
    std::vector<FakeButton> buttons;
    int refreshed = 0;
};

class FakeFrame : public HostFrame {
public:
    HWND Handle() const override { return nullptr; }
    std::wstring PanelText(int panel) const override { return panels.at(static_cast<size_t>(panel)); }
    void SetPanelText(int panel, const std::wstring& text) override { panels.at(static_cast<size_t>(panel)) = text; }
    int WindowState() const override { return windowState; }
    bool Visible() const override { return true; }
    long Width() const override { return width; }
    long Height() const override { return height; }
    void SetWidth(long twips) override { width = twips; }
    void SetHeight(long twips) override { height = twips; }
    void LayoutControls() override {
        ++layouts;
        if (onLayout) onLayout();
    }
    std::vector<IDispatch*> MdiChildren() const override { return children; }
    std::vector<HostTimerClient*> LoadedHostWindows() const override { return hostWindows; }
    void CheckTray() override { ++trayChecks; }
    void Beep() override { ++beeps; }

    FakeToolbar toolbar;
    std::vector<std::wstring> panels{L"", contract::HookOffText, L"", L"", L""};
    int windowState = 0;
    long width = 9000, height = 7000;
    int layouts = 0, trayChecks = 0, beeps = 0;
    std::function<void()> onLayout;
    std::vector<IDispatch*> children;
    std::vector<HostTimerClient*> hostWindows;
};

// Answers the loads queued, then -1... or a fixed load once the queue is empty.
class FakeMeter : public CPUUsageMeter {
public:
    void Initialize() override { ++initialized; }
    long Query() override {
        ++queries;
        if (loads.empty()) return whenEmpty;
        long load = loads.front();
        loads.pop_front();
        return load;
    }
    void Terminate() override { ++terminated; }

    std::deque<long> loads;
    long whenEmpty = 50;
    int initialized = 0, queries = 0, terminated = 0;
};

}  // namespace hosttest
