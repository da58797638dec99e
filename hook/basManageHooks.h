// Patching one slot of a live object's function table, and putting it back.
#pragma once
#include <cstdint>
#include <string>

// One patched slot. Addresses are pointer-sized so the same code is right in both builds.
struct Z_vTableEntrySwap {
    int16_t iEntry = 0;      // 1-based slot (QueryInterface 1, AddRef 2, Release 3, ...)
    uintptr_t lpCOM = 0;     // the interface pointer whose table is patched
    uintptr_t lpEntry = 0;   // address of the slot
    uintptr_t lpNewFunc = 0; // written into the slot
    uintptr_t lpOldFunc = 0; // found in the slot before the write
    uintptr_t lpVTable = 0;  // the table: the first pointer of the object
};

enum VTableEntryMgrOp : long {
    vtIsPatched = 1,   // -1 when the slot holds the recorded new pointer, else 0
    vtPatchAll = 3,    // writes every recorded patch again; -1
    vtForget = 4,      // drops the record; 0
    vtPatch = 21,      // the pointer that was in the slot; 0 when already patched or on failure
    vtUnpatch = 23,    // writes the earlier pointer back; SetvTableEntry's result, 0 when not patched
};

// The dispatcher. Refuses an op that is already running on this thread (answers 0);
// swallows every error and answers 0.
intptr_t VTableEntryMgr(long Op, void* lpCOM, int16_t iEntry, void* lpNewFunc = nullptr);

// Writes lpNewFunc into the slot; answers lpOldFunc, 0 on failure (reported).
uintptr_t SetvTableEntry(Z_vTableEntrySwap& entry);

// Fills everything but lpNewFunc from the live object.
void FillVTableEntry(Z_vTableEntrySwap& entry, void* lpCOM, int16_t iEntry);

// "<interface pointer in hex>:<slot in hex>", upper-case digits, no leading zeros.
std::wstring GetEntrySwapKey(const Z_vTableEntrySwap& entry);
std::wstring GetSlotKey(const void* lpCOM, int16_t iEntry);

// Records in this thread's patch table (for tests and diagnostics).
size_t PatchTableCount();
