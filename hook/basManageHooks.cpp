#include "basManageHooks.h"

#include <windows.h>

#include <cstring>
#include <utility>
#include <vector>

#include "basErrorHandler.h"
#include "vb/VbText.h"
#include "vb/VbThreadState.h"

namespace {

using PatchTable = std::vector<std::pair<std::wstring, Z_vTableEntrySwap>>;

// Module data, one set per thread: the shell calls the hook on several threads at once.
struct ManageHooksState {
    std::vector<long> opStack = std::vector<long>(1);  // index 0 is never used
    PatchTable patches;
};

ManageHooksState& Hooks() { return vb::ThreadInstance<ManageHooksState>(); }

std::wstring HexDigits(uintptr_t value) {
    static const wchar_t digits[] = L"0123456789ABCDEF";
    std::wstring text;
    do {
        text.insert(text.begin(), digits[value & 0xF]);
        value >>= 4;
    } while (value != 0);
    return text;
}

PatchTable::iterator FindRecord(const std::wstring& key) {
    PatchTable& table = Hooks().patches;
    for (auto it = table.begin(); it != table.end(); ++it)
        if (vb::TextEquals(it->first, key)) return it;
    return table.end();
}

bool IsInCollection(const std::wstring& key, Z_vTableEntrySwap* item = nullptr) {
    auto it = FindRecord(key);
    if (it == Hooks().patches.end()) return false;
    if (item) *item = it->second;
    return true;
}

uintptr_t ReadPointer(uintptr_t address) {
    uintptr_t value;
    std::memcpy(&value, reinterpret_cast<const void*>(address), sizeof(value));
    return value;
}

intptr_t IsPatched(void* lpCOM, int16_t iEntry) {
    Z_vTableEntrySwap stored;
    if (!IsInCollection(GetSlotKey(lpCOM, iEntry), &stored)) return 0;
    Z_vTableEntrySwap live;
    FillVTableEntry(live, lpCOM, iEntry);
    return live.lpOldFunc == stored.lpNewFunc ? -1 : 0;
}

intptr_t RunOp(long Op, void* lpCOM, int16_t iEntry, void* lpNewFunc) {
    switch (Op) {
        case vtIsPatched:
            return IsPatched(lpCOM, iEntry);
        case vtPatchAll: {
            // A copy: SetvTableEntry may report, and nothing here may see the table change under it.
            const PatchTable records = Hooks().patches;
            for (const auto& record : records) {
                Z_vTableEntrySwap entry = record.second;
                if (IsPatched(reinterpret_cast<void*>(entry.lpCOM), entry.iEntry) != -1) SetvTableEntry(entry);
            }
            return -1;
        }
        case vtForget: {
            auto it = FindRecord(GetSlotKey(lpCOM, iEntry));
            if (it != Hooks().patches.end()) Hooks().patches.erase(it);
            return 0;
        }
        case vtPatch: {
            if (IsPatched(lpCOM, iEntry) == -1) return 0;
            Z_vTableEntrySwap entry;
            FillVTableEntry(entry, lpCOM, iEntry);
            entry.lpNewFunc = reinterpret_cast<uintptr_t>(lpNewFunc);
            const uintptr_t old = SetvTableEntry(entry);
            if (old != 0 && !IsInCollection(GetSlotKey(lpCOM, iEntry)))
                Hooks().patches.emplace_back(GetEntrySwapKey(entry), entry);
            return static_cast<intptr_t>(old);
        }
        case vtUnpatch: {
            if (IsPatched(lpCOM, iEntry) == 0) return 0;
            auto it = FindRecord(GetSlotKey(lpCOM, iEntry));
            Z_vTableEntrySwap entry = it->second;
            std::swap(entry.lpNewFunc, entry.lpOldFunc);
            const uintptr_t result = SetvTableEntry(entry);
            it = FindRecord(GetSlotKey(lpCOM, iEntry));
            if (it != Hooks().patches.end()) Hooks().patches.erase(it);
            return static_cast<intptr_t>(result);
        }
        default:
            vb::Raise(MessageBase + 4001);
    }
}

// Keeps the op on the stack while it runs; popped on every way out, so an op that failed
// once is not refused for the rest of the thread's life.
class OpStackEntry {
public:
    explicit OpStackEntry(long op) { Hooks().opStack.push_back(op); }
    ~OpStackEntry() { Hooks().opStack.pop_back(); }
    OpStackEntry(const OpStackEntry&) = delete;
    OpStackEntry& operator=(const OpStackEntry&) = delete;
};

}  // namespace

std::wstring GetSlotKey(const void* lpCOM, int16_t iEntry) {
    return HexDigits(reinterpret_cast<uintptr_t>(lpCOM)) + L":" +
           HexDigits(static_cast<uintptr_t>(static_cast<uint16_t>(iEntry)));
}

std::wstring GetEntrySwapKey(const Z_vTableEntrySwap& entry) {
    return GetSlotKey(reinterpret_cast<const void*>(entry.lpCOM), entry.iEntry);
}

size_t PatchTableCount() { return Hooks().patches.size(); }

void FillVTableEntry(Z_vTableEntrySwap& entry, void* lpCOM, int16_t iEntry) {
    ProcGuard guard;
    // No object, or a slot before the table's start, would read memory that is not ours.
    if (!lpCOM || iEntry < 1) vb::Raise(vb::ErrInvalidCall);
    const long offset = (static_cast<long>(iEntry) - 1) * static_cast<long>(sizeof(void*));
    if (offset > 32767) vb::Raise(vb::ErrOverflow);
    entry.lpCOM = reinterpret_cast<uintptr_t>(lpCOM);
    entry.iEntry = iEntry;
    entry.lpVTable = ReadPointer(entry.lpCOM);
    entry.lpEntry = entry.lpVTable + static_cast<uintptr_t>(offset);
    entry.lpOldFunc = ReadPointer(entry.lpEntry);
}

uintptr_t SetvTableEntry(Z_vTableEntrySwap& entry) {
    ProcGuard guard;
    try {
        void* slot = reinterpret_cast<void*>(entry.lpEntry);
        DWORD oldProtection = 0;
        BOOL ok = VirtualProtect(slot, sizeof(void*), PAGE_EXECUTE_READWRITE, &oldProtection);
        if (CheckAPIResult(ok ? 1 : 0, L"SetvTableEntry", 0) == 0) return 0;
        std::memcpy(slot, &entry.lpNewFunc, sizeof(entry.lpNewFunc));
        DWORD ignored = 0;
        ok = VirtualProtect(slot, sizeof(void*), oldProtection, &ignored);
        CheckAPIResult(ok ? 1 : 0, L"SetvTableEntry", 0);
        return entry.lpOldFunc;
    } catch (...) {
        TrapError(L"SetvTableEntry");
        return 0;
    }
}

intptr_t VTableEntryMgr(long Op, void* lpCOM, int16_t iEntry, void* lpNewFunc) {
    ProcGuard guard;
    try {
        const std::vector<long>& stack = Hooks().opStack;
        for (size_t i = 1; i < stack.size(); ++i)
            if (stack[i] == Op) return 0;
        OpStackEntry running(Op);
        return RunOp(Op, lpCOM, iEntry, lpNewFunc);
    } catch (...) {
        // Nothing is reported: the caller only learns 0.
        vb::Err().Clear();
        return 0;
    }
}
