// The request path of the shell-execute hook: the request text, the stand-in for the
// execute slot, and the plain writer and deleter of the shell's hook registration.
#pragma once
#include <windows.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdint>
#include <string>

#include "vb/VbVariant.h"

// A NUL-terminated ANSI text in the system code page; a null pointer gives "".
std::wstring StrFromAnsiPtr(const char* text);

// HookRequest: eight lines, each ended by CR LF (verb, fMask in hex, file, folder,
// parameters, nShow, class text, IDLIST line). Raises when the class key's value fills the
// whole buffer without a NUL.
std::wstring BuildHookRequest(const SHELLEXECUTEINFOA& info);

// Stands in the execute slot of IShellExecuteHookA. Answers the chooser's code unchanged
// while the suite is switched on, else 1; any failure answers 1. Always sets hInstApp to 33.
HRESULT STDMETHODCALLTYPE HookedExecute(IShellExecuteHookA* self, LPSHELLEXECUTEINFOA info);

// Op 7 deletes the ShellExecuteHooks value (quiet), op 25 writes it (not quiet); any other
// op raises MessageBase + 4001. Answers Empty; no trap.
vb::Variant HookRegistration(int16_t Op);

// The library's product name from its version information.
std::wstring ZintraProductName();

// While one lives on a thread, message boxes of this library stay unseen there: the hook
// never shows anything to a user who is only opening a file.
class HookSilence {
public:
    HookSilence();
    ~HookSilence();
    HookSilence(const HookSilence&) = delete;
    HookSilence& operator=(const HookSilence&) = delete;
    static bool Active();
};

// Puts the silencing presenter in front of whichever presenter is current.
void InstallHookPresenter();
