// Named flags that every process on the desktop can see (global atoms), and the calling
// process's local atoms. The global atom of id 0 is the suite's on/off switch.
#pragma once
#include <string>

#include "vb/VbVariant.h"

// Fixed part of every global atom name: "<id in decimal>" followed by this.
inline constexpr const wchar_t* AtomNameGuid = L"{C77744F3-A6F8-4997-AFDB-4B0ACB5B6006}";

// The id whose global atom marks the suite as switched on.
inline constexpr long HookOnAtom = 0;

enum AtomOp : long {
    atomLocalAdd = 1,
    atomLocalDelete = 2,
    atomLocalFind = 3,
    atomLocalName = 4,
    atomInitTable = 5,
    atomGlobalAdd = 6,
    atomGlobalDelete = 7,
    atomGlobalFind = 8,
    atomGlobalName = 9,
};

// Id in decimal followed by the GUID string.
vb::Variant AtomGlobalName(long Id);

// The dispatcher; Extra is read only by op 5 (every caller passes 37). Atoms travel as
// 16-bit signed values. No trap: errors go to the caller.
vb::Variant Atom(long Op, long Id, const vb::Variant& Extra = vb::Variant(37));
