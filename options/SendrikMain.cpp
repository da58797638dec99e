#include <windows.h>

#include "LibraryMessages.h"
#include "basMessageHandler.h"
#include "frmAutoAssociate.h"
#include "vb/VbError.h"
#include "vb/VbThreadState.h"

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        vb::SetProjectName(L"Sendrik");
        SetMessageRows(LibraryMessageRow);
        InstallAutoAssociateDialog();
    }
    vb::ThreadStateOnDllNotification(reason, reserved);
    return TRUE;
}

extern "C" HRESULT __stdcall DllCanUnloadNow() { return S_OK; }
