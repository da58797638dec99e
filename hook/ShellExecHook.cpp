#include "ShellExecHook.h"

#include <shlwapi.h>

#include <cstring>

#include "basErrorHandler.h"
#include "basHook.h"
#include "basManageHooks.h"

namespace zintra {

namespace {

const int16_t kExecuteSlot = 4;

// Creating and releasing objects patches a table the whole process shares; the lock keeps
// the count of live objects and the slot in step. The request path never takes it.
class PatchLock {
public:
    PatchLock() { EnterCriticalSection(&Section()); }
    ~PatchLock() { LeaveCriticalSection(&Section()); }
    PatchLock(const PatchLock&) = delete;
    PatchLock& operator=(const PatchLock&) = delete;

private:
    static CRITICAL_SECTION& Section() {
        static struct Holder {
            Holder() { InitializeCriticalSection(&cs); }
            ~Holder() { DeleteCriticalSection(&cs); }
            CRITICAL_SECTION cs;
        } holder;
        return holder.cs;
    }
};

long g_liveHooks = 0;
// The class's own execute pointer, as the first patch found it in the slot.
uintptr_t g_classExecute = 0;

void* HookedExecuteAddress() { return reinterpret_cast<void*>(&HookedExecute); }

// Puts the class's own pointer back when a later object's record held only HookedExecute
// as its "earlier" pointer.
void RestoreClassSlot(void* p) {
    if (g_classExecute == 0) return;
    Z_vTableEntrySwap entry;
    FillVTableEntry(entry, p, kExecuteSlot);
    if (entry.lpOldFunc == g_classExecute) return;
    entry.lpNewFunc = g_classExecute;
    SetvTableEntry(entry);
}

}  // namespace

long LiveShellExecHooks() {
    PatchLock lock;
    return g_liveHooks;
}

ShellExecHook::ShellExecHook() {
    HookSilence silence;
    PatchLock lock;
    ++g_liveHooks;
    void* p = static_cast<IShellExecuteHookA*>(this);
    if (VTableEntryMgr(vtIsPatched, p, kExecuteSlot) != -1) {
        const intptr_t old = VTableEntryMgr(vtPatch, p, kExecuteSlot, HookedExecuteAddress());
        if (old != 0 && old != reinterpret_cast<intptr_t>(HookedExecuteAddress()))
            g_classExecute = static_cast<uintptr_t>(old);
    }
}

ShellExecHook::~ShellExecHook() {
    HookSilence silence;
    PatchLock lock;
    --g_liveHooks;
    void* p = static_cast<IShellExecuteHookA*>(this);
    if (g_liveHooks > 0) {
        // Other objects still answer through the shared slot: only this object's record goes.
        VTableEntryMgr(vtForget, p, kExecuteSlot);
        return;
    }
    if (VTableEntryMgr(vtIsPatched, p, kExecuteSlot) != 0) VTableEntryMgr(vtUnpatch, p, kExecuteSlot);
    try {
        RestoreClassSlot(p);
    } catch (...) {
        vb::Err().Clear();
    }
}

STDMETHODIMP ShellExecHook::QueryInterface(REFIID riid, void** ppv) {
    static const QITAB table[] = {
        QITABENTMULTI2(ShellExecHook, IID_IShellExecuteHookA, IShellExecuteHookA),
        QITABENTMULTI2(ShellExecHook, IID__ShellExecHook, _ShellExecHook),
        QITABENTMULTI2(ShellExecHook, IID_IDispatch, _ShellExecHook),
        {nullptr, 0},
    };
    return QISearch(this, table, riid, ppv);
}

STDMETHODIMP ShellExecHook::Execute(LPSHELLEXECUTEINFOA) {
    HookSilence silence;
    try {
        vb::Err().Clear();
        HookRegistration(7);
    } catch (...) {
    }
    vb::Err().Clear();
    // Not handled: the shell goes on and opens the file itself, so the user's open is not lost.
    return S_FALSE;
}

HRESULT CreateShellExecHook(REFIID riid, void** ppv) {
    try {
        return com::CreateAndQuery<ShellExecHook>(riid, ppv);
    } catch (...) {
        vb::Err().Clear();
        return E_UNEXPECTED;
    }
}

}  // namespace zintra
