#include <windows.h>

#include "LibraryMessages.h"
#include "basMessageHandler.h"
#include "vb/VbError.h"

BOOL WINAPI DllMain(HINSTANCE instance, DWORD reason, LPVOID) {
    if (reason == DLL_PROCESS_ATTACH) {
        DisableThreadLibraryCalls(instance);
        vb::SetProjectName(L"Sendrik");
        SetMessageRows(LibraryMessageRow);
    }
    return TRUE;
}

extern "C" HRESULT __stdcall DllCanUnloadNow() { return S_OK; }
