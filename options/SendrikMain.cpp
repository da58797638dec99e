// The library's entry points: COM self-registration, the class object and unloading.
#include <windows.h>

#include "CForm.h"
#include "LibraryMessages.h"
#include "Sendrik.h"
#include "basMessageHandler.h"
#include "com/ComModule.h"
#include "com/ComRegistration.h"
#include "frmAssociationRestorer.h"
#include "frmTesselOptions.h"
#include "ToolWindowOpener.h"
#include "vb/VbApp.h"
#include "vb/VbError.h"
#include "vb/VbThreadState.h"
#include "win/Window.h"

namespace {

const com::ClassRegistration kCForm = {&CLSID_CForm, L"MorvaSendrik.CForm", L"MorvaSendrik.CForm", L"Apartment",
                                       &LIBID_MorvaSendrik, L"20.0", false};

}  // namespace

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        vb::SetProjectName(L"Sendrik");
        SetMessageRows(LibraryMessageRow);
        StartAssociationRestorer();
        InstallToolWindowOpener();
    }
    vb::ThreadStateOnDllNotification(reason, reserved);
    return TRUE;
}

extern "C" HRESULT __stdcall DllCanUnloadNow() {
    try {
        // A window of the library still runs code of this module.
        if (!win::Window::LoadedWindows().empty()) return S_FALSE;
        // A closed options window that runs nothing any more holds only its own automation object.
        frmTesselOptions::FreeClosedWindows();
        return com::CanUnloadNow();
    } catch (...) {
        vb::Err().Clear();
        return S_FALSE;
    }
}

extern "C" HRESULT __stdcall DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
    try {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (IsEqualCLSID(clsid, CLSID_CForm)) return com::CreateClassFactory(sendrik::CreateCForm, riid, ppv);
        return CLASS_E_CLASSNOTAVAILABLE;
    } catch (...) {
        vb::Err().Clear();
        return E_UNEXPECTED;
    }
}

extern "C" HRESULT __stdcall DllRegisterServer() {
    try {
        const std::wstring path = vb::ModuleFileName(vb::ThisModule());
        HRESULT hr = com::RegisterModuleTypeLib(path);
        if (FAILED(hr)) return hr;
        return com::RegisterComClass(kCForm, path);
    } catch (...) {
        vb::Err().Clear();
        return E_UNEXPECTED;
    }
}

extern "C" HRESULT __stdcall DllUnregisterServer() {
    try {
        HRESULT result = com::UnregisterComClass(kCForm);
        HRESULT hr = com::UnregisterModuleTypeLib(vb::ModuleFileName(vb::ThisModule()));
        if (FAILED(hr) && SUCCEEDED(result)) result = hr;
        return result;
    } catch (...) {
        vb::Err().Clear();
        return E_UNEXPECTED;
    }
}
