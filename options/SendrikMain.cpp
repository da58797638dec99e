#include <windows.h>

#include "LibraryMessages.h"
#include "basMessageHandler.h"
#include "frmAssociationRestorer.h"
#include "vb/VbError.h"
#include "vb/VbThreadState.h"

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        vb::SetProjectName(L"Sendrik");
        SetMessageRows(LibraryMessageRow);
        StartAssociationRestorer();
    }
    vb::ThreadStateOnDllNotification(reason, reserved);
    return TRUE;
}

extern "C" HRESULT __stdcall DllCanUnloadNow() { return S_OK; }
