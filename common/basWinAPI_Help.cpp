#include "basWinAPI_Help.h"

#include "basErrorHandler.h"
#include "basIO.h"
#include "basStrings.h"
#include "basWinAPI_Windows.h"
#include "vb/VbApp.h"
#include "vb/VbText.h"

namespace {

constexpr long kIndexHelpId = 400;
constexpr UINT kHelpContext = 1;      // HELP_CONTEXT
constexpr UINT kHelpIndex = 3;        // HELP_INDEX
constexpr long kContentsHelpId = 0;
constexpr UINT kHhDisplayTopic = 0;   // HH_DISPLAY_TOPIC
constexpr UINT kHhDisplayToc = 1;     // HH_DISPLAY_TOC
constexpr UINT kHhHelpContext = 15;   // HH_HELP_CONTEXT

class SystemEngines : public HelpEngines {
public:
    BOOL OpenWinHelp(HWND owner, const std::wstring& path, UINT command, ULONG_PTR data) override {
        return ::WinHelpW(owner, path.c_str(), command, data);
    }
    HWND OpenHtmlHelp(HWND owner, const std::wstring& path, UINT command, DWORD_PTR data) override {
        // HTML Help lives in hhctrl.ocx, which not every system carries; load it when asked, by
        // its full path in the system folder: the program's own folder, searched first for a bare
        // name, must not be able to put another file of that name in its place.
        using HtmlHelpFn = HWND(WINAPI*)(HWND, LPCWSTR, UINT, DWORD_PTR);
        static HMODULE module = LoadLibraryExW(JoinPaths(SystemFolder(), L"hhctrl.ocx").c_str(), nullptr,
                                               LOAD_WITH_ALTERED_SEARCH_PATH);
        if (!module) return nullptr;
        auto fn = reinterpret_cast<HtmlHelpFn>(reinterpret_cast<void*>(GetProcAddress(module, "HtmlHelpW")));
        if (!fn) return nullptr;
        return fn(owner, path.c_str(), command, data);
    }
};

SystemEngines g_systemEngines;
HelpEngines* g_engines = nullptr;

HelpEngines& Engines() { return g_engines ? *g_engines : g_systemEngines; }

bool EndsWithThree(const std::wstring& name, const wchar_t* ending) {
    if (name.size() < 3) return false;
    return vb::TextEquals(std::wstring_view(name).substr(name.size() - 3), ending);
}

// A number, or a text that reads as one.
bool ReadHelpId(const vb::Variant& helpId, long& id) {
    if (!helpId.IsNumeric() && !helpId.IsString()) return false;
    try {
        id = helpId.ToLong();
        return true;
    } catch (...) {
        vb::Err().Clear();
        return false;
    }
}

// The help file is missing, or the engine could not show it (a damaged file, no engine): the
// user is told which file, and the caller goes on.
[[noreturn]] void RaiseMissingHelp(const std::wstring& asked, const std::wstring& fallback) {
    std::wstring files = asked;
    if (!vb::TextEquals(asked, fallback)) files += L" (or " + fallback + L")";
    vb::Raise(vb::ErrFileNotFound, std::nullopt, L"The help file " + files + L" cannot be found.");
}
[[noreturn]] void RaiseUnshownHelp(const std::wstring& path) {
    vb::Raise(vb::ErrPathFileAccess, std::nullopt, L"The help file " + path + L" cannot be shown.");
}

void ShowWinHelp(HWND owner, const std::wstring& asked, const std::wstring& path, UINT command, long id) {
    if (!FileExists(path)) RaiseMissingHelp(asked, path);
    if (!Engines().OpenWinHelp(owner, path, command, static_cast<ULONG_PTR>(id))) RaiseUnshownHelp(path);
}

void ShowHtmlHelp(HWND owner, const std::wstring& path, const std::wstring& target, UINT command, DWORD_PTR data) {
    if (!Engines().OpenHtmlHelp(owner, target, command, data)) RaiseUnshownHelp(path);
}

}  // namespace

HelpEngines& SystemHelpEngines() { return g_systemEngines; }

HelpEngines* SetHelpEngines(HelpEngines* engines) {
    HelpEngines* previous = g_engines;
    g_engines = engines;
    return previous;
}

void InvokeHelp(const std::wstring& helpFileName, HWND owner, const vb::Variant& helpId) {
    TrappedVoid(L"InvokeHelp", [&] {
        long id = 0;
        bool numeric = ReadHelpId(helpId, id);

        std::wstring name = helpFileName;
        if (!EndsWithThree(name, L"hlp") && !EndsWithThree(name, L"chm")) name += L".chm";
        const std::wstring asked = JoinPaths(vb::AppPath(), name);
        std::wstring path = asked;

        if (!FileExists(path)) {
            // No HTML Help beside us: fall back on the WinHelp file of the same name.
            std::wstring base = helpFileName;
            if (EndsWithThree(base, L"hlp") || EndsWithThree(base, L"chm")) {
                size_t dot = base.size() - 3;
                base.erase(dot > 0 && base[dot - 1] == L'.' ? dot - 1 : dot);
            }
            if (numeric && id == kIndexHelpId) base = L"Morva Utility Manager";
            path = JoinPaths(vb::AppPath(), base + L".hlp");
        }

        if (EndsWithThree(path, L"hlp")) {
            if (!numeric) return;
            ShowWinHelp(owner, asked, path, id == kIndexHelpId ? kHelpIndex : kHelpContext, id);
            return;
        }
        // "file::/page" names a page inside the file ("file>name" would name a window type).
        if (numeric && id == kIndexHelpId) {
            ShowHtmlHelp(owner, path, path + L"::/index.html", kHhDisplayTopic, 0);
            return;
        }
        // Topic 0 is the contents: the file's own first page, index.html, beside its contents tree.
        if (numeric && id == kContentsHelpId) {
            ShowHtmlHelp(owner, path, path, kHhDisplayToc, 0);
            return;
        }
        // Any other id is a context number; one that is no number is a type mismatch.
        if (!numeric) vb::Raise(vb::ErrTypeMismatch);
        ShowHtmlHelp(owner, path, path, kHhHelpContext, static_cast<DWORD_PTR>(id));
    });
}
