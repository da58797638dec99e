// The library's entry points: COM self-registration, the class objects and unloading.
#include <windows.h>

#include "CForm.h"
#include "ShellExecHook.h"
#include "Zintra.h"
#include "ZintraMessages.h"
#include "basHook.h"
#include "basMessageHandler.h"
#include "com/ComModule.h"
#include "com/ComRegistration.h"
#include "vb/VbApp.h"
#include "vb/VbError.h"
#include "vb/VbThreadState.h"

namespace {

const com::ClassRegistration kClasses[] = {
    {&CLSID_ShellExecHook, L"MorvaZintra.ShellExecHook", L"MorvaZintra.ShellExecHook", L"Apartment",
     &LIBID_MorvaZintra, L"1.0", false},
    {&CLSID_CForm, L"MorvaZintra.CForm", L"MorvaZintra.CForm", L"Apartment", &LIBID_MorvaZintra, L"1.0", false},
};

}  // namespace

BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID reserved) {
    if (reason == DLL_PROCESS_ATTACH) {
        vb::SetProjectName(L"Zintra");
        SetMessageRows(ZintraMessageRow, ZintraMessageRanges);
        InstallHookPresenter();
    }
    // The shell's threads come and go; each one's module data goes with it.
    vb::ThreadStateOnDllNotification(reason, reserved);
    return TRUE;
}

extern "C" HRESULT __stdcall DllCanUnloadNow() { return com::CanUnloadNow(); }

extern "C" HRESULT __stdcall DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
    try {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (IsEqualCLSID(clsid, CLSID_ShellExecHook)) return com::CreateClassFactory(zintra::CreateShellExecHook, riid, ppv);
        if (IsEqualCLSID(clsid, CLSID_CForm)) return com::CreateClassFactory(zintra::CreateCForm, riid, ppv);
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
        for (const com::ClassRegistration& reg : kClasses) {
            hr = com::RegisterComClass(reg, path);
            if (FAILED(hr)) return hr;
        }
        return S_OK;
    } catch (...) {
        vb::Err().Clear();
        return E_UNEXPECTED;
    }
}

extern "C" HRESULT __stdcall DllUnregisterServer() {
    try {
        HRESULT result = S_OK;
        for (const com::ClassRegistration& reg : kClasses) {
            HRESULT hr = com::UnregisterComClass(reg);
            if (FAILED(hr)) result = hr;
        }
        HRESULT hr = com::UnregisterModuleTypeLib(vb::ModuleFileName(vb::ThisModule()));
        if (FAILED(hr) && SUCCEEDED(result)) result = hr;
        return result;
    } catch (...) {
        vb::Err().Clear();
        return E_UNEXPECTED;
    }
}
