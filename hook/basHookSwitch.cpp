#include "basHookSwitch.h"

#include "basErrorHandler.h"
#include "basHookNames.h"
#include "basWinAPI_Atom.h"
#include "basWinAPI_Registry.h"

namespace {
bool g_hookSwitchedOn = false;
}

bool& HookSwitchedOn() { return g_hookSwitchedOn; }

void TurnHookOn() {
    ProcGuard guard;
    try {
        Atom(atomGlobalAdd, HookOnAtom, vb::Variant(37));
    } catch (...) {
        vb::Err().Clear();
    }
    try {
        Registry(regSave, ShellExecuteHooksKey, L"", vb::Variant(HookClsidText), vb::Variant(HookProductName),
                 std::nullopt, HKEY_LOCAL_MACHINE, true);
    } catch (...) {
        vb::Err().Clear();
    }
    g_hookSwitchedOn = true;
}

void TurnHookOff() {
    ProcGuard guard;
    try {
        Atom(atomGlobalDelete, HookOnAtom, vb::Variant(37));
    } catch (...) {
        vb::Err().Clear();
    }
    try {
        Registry(regDelete, ShellExecuteHooksKey, L"", vb::Variant(HookClsidText), std::nullopt, std::nullopt,
                 HKEY_LOCAL_MACHINE, true);
    } catch (...) {
        vb::Err().Clear();
    }
}
