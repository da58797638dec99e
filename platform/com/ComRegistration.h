// Self-registration of COM classes and type libraries. Class entries go under
// HKEY_LOCAL_MACHINE\Software\Classes, where every COM run time (Wine's too) reads them.
#pragma once
#include <windows.h>

#include <string>

namespace com {

std::wstring GuidText(REFGUID guid);  // "{XXXXXXXX-...}", upper-case digits

struct ClassRegistration {
    const CLSID* clsid;
    const wchar_t* progId;          // "Library.Class"
    const wchar_t* description;     // the class key's default value
    const wchar_t* threadingModel;  // in-process servers: "Apartment"; nullptr for local servers
    const GUID* libid;              // the type library holding the class; may be nullptr
    const wchar_t* version;         // type library version text, e.g. "1.0"
    bool localServer;               // LocalServer32 instead of InprocServer32
};

// Writes CLSID\{clsid} (default, InprocServer32 or LocalServer32 with the module path,
// ThreadingModel, ProgID, VERSION, TypeLib, Programmable) and the ProgID key. No key with
// subkeys of its own is written, so plain key deletion can tidy any single entry.
HRESULT RegisterComClass(const ClassRegistration& reg, const std::wstring& modulePath);
// Removes both keys with their subtrees; missing keys are no failure.
HRESULT UnregisterComClass(const ClassRegistration& reg);

// The type library embedded in a module as resource 1 TYPELIB.
HRESULT RegisterModuleTypeLib(const std::wstring& modulePath);
HRESULT UnregisterModuleTypeLib(const std::wstring& modulePath);

// Deletes a key and everything below it; a missing key counts as done.
LONG DeleteKeyTree(HKEY root, const std::wstring& path);

}  // namespace com
