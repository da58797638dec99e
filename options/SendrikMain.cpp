#include <windows.h>

#include "LibraryMessages.h"
#include "basMessageHandler.h"
#include "vb/VbError.h"
#include "vb/VbThreadState.h"

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    switch (reason) {
        case DLL_PROCESS_ATTACH:
            vb::SetProjectName(L"Sendrik");
            SetMessageRows(LibraryMessageRow);
            break;
        case DLL_THREAD_DETACH:
            vb::ReleaseThreadState();
            break;
        case DLL_PROCESS_DETACH:
            if (!reserved) vb::ReleaseAllThreadState();
            break;
        default:
            break;
    }
    return TRUE;
}

extern "C" HRESULT __stdcall DllCanUnloadNow() { return S_OK; }
