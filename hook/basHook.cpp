#include "basHook.h"

#include <vector>

#include "MorvaKestrow.h"
#include "basChooserEnding.h"
#include "basErrorHandler.h"
#include "basHookNames.h"
#include "basMessageHandler.h"
#include "basWinAPI_Atom.h"
#include "basWinAPI_Registry.h"
#include "com/Bstr.h"
#include "com/ComModule.h"
#include "vb/VbApp.h"
#include "vb/VbText.h"

namespace {

const wchar_t kCrLf[] = L"\r\n";
const long kHInstAppDone = 33;

thread_local int t_silenceDepth = 0;

SilentPresenter g_silentPresenter(&HookSilence::Active);

// Spaces only, as the request's fields are trimmed.
std::wstring TrimmedField(const char* text) { return vb::Trim(StrFromAnsiPtr(text)); }

std::wstring ClassKeyText(HKEY classKey) {
    // A buffer of NULs that a failed read leaves as it is (an empty line).
    std::vector<char> buffer(260, '\0');
    LONG size = 260;
    RegQueryValueA(classKey, nullptr, buffer.data(), &size);
    size_t end = 0;
    while (end < buffer.size() && buffer[end] != '\0') ++end;
    if (end == buffer.size()) vb::Raise(vb::ErrInvalidCall);
    return vb::Trim(vb::FromAnsi(std::string_view(buffer.data(), end)));
}

std::wstring ClassLine(const SHELLEXECUTEINFOA& info) {
    if ((info.fMask & SEE_MASK_CLASSKEY) == SEE_MASK_CLASSKEY) return ClassKeyText(info.hkeyClass);
    if ((info.fMask & SEE_MASK_CLASSNAME) == SEE_MASK_CLASSNAME) return TrimmedField(info.lpClass);
    return L"No class information available.";
}

// Creates the chooser and hands it the request; any failure raises. A chooser server that was
// ending as the request came is asked once more (COM then starts a fresh one), but the request
// itself only when the answer promises that the first one never ran.
HRESULT AskChooser(const std::wstring& request) {
    const com::Bstr text(request);
    if (!text.Get()) vb::Raise(vb::ErrOutOfMemory);
    for (int attempt = 1;; ++attempt) {
        const bool mayRetry = attempt == 1;
        com::ComPtr<_MorvaTavixExe> chooser;
        HRESULT hr =
            CoCreateInstance(CLSID_MorvaTavixExe, nullptr, CLSCTX_SERVER, IID__MorvaTavixExe, chooser.PutVoid());
        if (FAILED(hr) || !chooser) {
            if (mayRetry && ChooserServerWasEnding(hr)) continue;
            vb::Raise(vb::ErrCannotCreateObject);
        }
        // COM starts the chooser's process, or finds it still running from the last request; the
        // process the user types in is this one. Without its leave the list could not come to the
        // front, and the user's keys would go to the window behind it. Where the system has no
        // such rule, or cannot pass it on, nothing is lost.
        CoAllowSetForegroundWindow(chooser.Get(), nullptr);
        LONG code = 1;
        hr = chooser->Rundel(text.Get(), &code);
        if (SUCCEEDED(hr)) return static_cast<HRESULT>(code);
        if (mayRetry && ChooserCallNeverRan(hr)) continue;
        vb::Raise(hr);
    }
}

}  // namespace

HookSilence::HookSilence() { ++t_silenceDepth; }
HookSilence::~HookSilence() { --t_silenceDepth; }
bool HookSilence::Active() { return t_silenceDepth > 0; }

void InstallHookPresenter() { g_silentPresenter.Install(); }

std::wstring StrFromAnsiPtr(const char* text) {
    if (!text) return std::wstring();
    const int length = lstrlenA(text);
    return vb::FromAnsi(std::string_view(text, static_cast<size_t>(length)));
}

std::wstring BuildHookRequest(const SHELLEXECUTEINFOA& info) {
    std::wstring request;
    request.reserve(256);
    request += info.lpVerb ? TrimmedField(info.lpVerb) : std::wstring(L"open");
    request += kCrLf;
    request += vb::Hex(static_cast<long>(info.fMask));
    request += kCrLf;
    request += TrimmedField(info.lpFile);
    request += kCrLf;
    // The folder comes before the parameters, unlike in the record.
    request += TrimmedField(info.lpDirectory);
    request += kCrLf;
    request += TrimmedField(info.lpParameters);
    request += kCrLf;
    request += std::to_wstring(info.nShow);
    request += kCrLf;
    request += ClassLine(info);
    request += kCrLf;
    request += (info.fMask & 12) != 0 ? L"Launched by IDLIST." : L"Not IDLIST related.";
    request += kCrLf;
    return request;
}

HRESULT STDMETHODCALLTYPE HookedExecute(IShellExecuteHookA*, LPSHELLEXECUTEINFOA info) {
    // Nothing may reach the shell but a code: no box, no trace entry, no exception.
    HookSilence silence;
    HRESULT result = S_FALSE;
    try {
        if (!info) vb::Raise(vb::ErrInvalidCall);
        const std::wstring request = BuildHookRequest(*info);
        const vb::Variant atom = Atom(atomGlobalFind, HookOnAtom, vb::Variant(37));
        if (atom.IsNumeric() && atom.ToLong() != 0) result = AskChooser(request);
    } catch (...) {
        result = S_FALSE;
    }
    vb::Err().Clear();
    if (info) info->hInstApp = reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(kHInstAppDone));
    return result;
}

vb::Variant HookRegistration(int16_t Op) {
    ProcGuard guard;
    switch (Op) {
        case regDelete:
            Registry(regDelete, ShellExecuteHooksKey, L"", vb::Variant(HookClsidText), std::nullopt, std::nullopt,
                     HKEY_LOCAL_MACHINE, true);
            break;
        case regSave:
            Registry(regSave, ShellExecuteHooksKey, L"", vb::Variant(HookClsidText), vb::Variant(ZintraProductName()),
                     std::nullopt, HKEY_LOCAL_MACHINE, false);
            break;
        default:
            vb::Raise(MessageBase + 4001);
    }
    return vb::Variant();
}

std::wstring ZintraProductName() {
    HMODULE module = vb::ThisModule();
    HRSRC resource = FindResourceW(module, MAKEINTRESOURCEW(VS_VERSION_INFO), MAKEINTRESOURCEW(16) /* RT_VERSION */);
    if (!resource) return HookProductName;
    HGLOBAL loaded = LoadResource(module, resource);
    const DWORD size = SizeofResource(module, resource);
    const void* data = loaded ? LockResource(loaded) : nullptr;
    if (!data || size == 0) return HookProductName;
    // VerQueryValue wants a copy it may write into.
    std::vector<BYTE> copy(static_cast<const BYTE*>(data), static_cast<const BYTE*>(data) + size);
    struct Translation {
        WORD language;
        WORD codePage;
    }* translation = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(copy.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&translation), &length) ||
        length < sizeof(Translation))
        return HookProductName;
    wchar_t path[64];
    wsprintfW(path, L"\\StringFileInfo\\%04x%04x\\ProductName", translation->language, translation->codePage);
    wchar_t* name = nullptr;
    if (!VerQueryValueW(copy.data(), path, reinterpret_cast<void**>(&name), &length) || !name || length == 0)
        return HookProductName;
    return std::wstring(name);
}
