// The shell-execute hook class. Creating an object puts HookedExecute into the execute slot
// of the class's IShellExecuteHookA function table; the slot stays so while any object of
// the class lives in the process.
#pragma once
#include <windows.h>
#include <shellapi.h>  // before shlobj.h, which declares IShellExecuteHookA only after it
#include <shlobj.h>

#include "Zintra.h"
#include "com/ComDispatch.h"
#include "com/ComModule.h"

namespace zintra {

class ShellExecHook : public IShellExecuteHookA, public com::DualDispatch<_ShellExecHook>, public com::RefCounted {
public:
    ShellExecHook();   // Class_Initialize
    ~ShellExecHook() override;  // Class_Terminate

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return AddRefImpl(); }
    STDMETHODIMP_(ULONG) Release() override { return ReleaseImpl(); }

    // The class's own body: reached only while the slot is not patched.
    STDMETHODIMP Execute(LPSHELLEXECUTEINFOA info) override;
};

HRESULT CreateShellExecHook(REFIID riid, void** ppv);

// Objects of the class alive in this process.
long LiveShellExecHooks();

}  // namespace zintra
