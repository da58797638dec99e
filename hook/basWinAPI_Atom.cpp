#include "basWinAPI_Atom.h"

#include <windows.h>

#include <cstdint>

#include "basErrorHandler.h"
#include "basStrings.h"
#include "vb/VbText.h"

namespace {

// Local atoms belong to the process, so the flag that guards the table's sizing does too.
LONG g_localAtomAdded = 0;

std::wstring LocalName(long id) { return std::to_wstring(id); }

vb::Variant AtomValue(ATOM atom) { return vb::Variant(static_cast<int16_t>(atom)); }

// Atom values pass as 16-bit signed whole numbers; anything wider does not fit.
ATOM AtomFromId(long id) {
    if (id < -32768 || id > 32767) vb::Raise(vb::ErrOverflow);
    return static_cast<ATOM>(static_cast<int16_t>(id));
}

// What GetAtomName left in a buffer of spaces: trailing spaces and control characters
// (the terminating NUL) go.
std::wstring NameFromBuffer(const std::wstring& buffer, UINT length) {
    if (length == 0) return std::wstring();
    return StripChrs(vb::RTrim(buffer), L"", true);
}

}  // namespace

vb::Variant AtomGlobalName(long Id) { return vb::Variant(std::to_wstring(Id) + AtomNameGuid); }

vb::Variant Atom(long Op, long Id, const vb::Variant& Extra) {
    ProcGuard guard;
    switch (Op) {
        case atomLocalAdd: {
            const std::wstring name = LocalName(Id);
            if (FindAtomW(name.c_str()) != 0) return vb::Variant();
            ATOM atom = AddAtomW(name.c_str());
            if (atom != 0) InterlockedExchange(&g_localAtomAdded, 1);
            return AtomValue(atom);
        }
        case atomLocalDelete: {
            ATOM atom = FindAtomW(LocalName(Id).c_str());
            return AtomValue(DeleteAtom(atom));
        }
        case atomLocalFind:
            return AtomValue(FindAtomW(LocalName(Id).c_str()));
        case atomLocalName: {
            ATOM atom = AtomFromId(Id);
            std::wstring buffer(255, L' ');
            UINT n = GetAtomNameW(atom, &buffer[0], 255);
            return vb::Variant(NameFromBuffer(buffer, n));
        }
        case atomInitTable: {
            if (InterlockedCompareExchange(&g_localAtomAdded, 0, 0) != 0) vb::Raise(MessageBase + 4002);
            return vb::Variant(static_cast<long>(InitAtomTable(static_cast<DWORD>(Extra.ToLong()))));
        }
        case atomGlobalAdd: {
            const std::wstring name = AtomGlobalName(Id).ToString();
            if (GlobalFindAtomW(name.c_str()) != 0) return vb::Variant();
            return AtomValue(GlobalAddAtomW(name.c_str()));
        }
        case atomGlobalDelete: {
            ATOM atom = GlobalFindAtomW(AtomGlobalName(Id).ToString().c_str());
            return AtomValue(GlobalDeleteAtom(atom));
        }
        case atomGlobalFind:
            return AtomValue(GlobalFindAtomW(AtomGlobalName(Id).ToString().c_str()));
        case atomGlobalName: {
            ATOM atom = AtomFromId(Id);
            std::wstring buffer(255, L' ');
            UINT n = GlobalGetAtomNameW(atom, &buffer[0], 255);
            std::wstring name = NameFromBuffer(buffer, n);
            if (name.empty()) return vb::Variant(name);
            const size_t guidLength = std::wstring(AtomNameGuid).size();
            if (name.size() < guidLength) vb::Raise(vb::ErrInvalidCall);
            return vb::Variant(name.substr(0, name.size() - guidLength));
        }
        default:
            return vb::Variant();
    }
}
