// Registry access: one dispatcher for every read, write and deletion of a registry key or
// value, its four workers and the conversion of raw registry data into values.
// Names and text data go to and from the registry in the ANSI code page.
#pragma once
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>

#include "vb/VbVariant.h"

// Dispatcher actions.
enum RegistryAction : short {
    regDelete = 7,     // delete a value, or a key (with its subtree when DeleteOption)
    regGet = 8,        // read one value
    regGetValues = 12, // read all values of a key
    regSave = 25,      // write one value
};

// The suite's own key under HKEY_LOCAL_MACHINE; numeric keys and subkeys are composed below it.
inline constexpr const wchar_t* SuiteRegistryKey = L"Software\\Morva Corporation\\Morva Utility Manager";

// Fields of the table that action 12 answers (first index).
enum RegistryValueField : int { regFieldName = 0, regFieldData = 1, regFieldType = 2 };

// Failed registry calls during the latest dispatcher call on this thread, and writes refused
// before they reached the registry; read it after an action 25 to learn whether the write went
// through.
long& RegistryFailureCount();
// Result of the latest key-information query of RegistryDelete (and the association readers).
long& LastRegResult();

// The path the dispatcher works on: composed under the suite's key when Key is numeric, or
// SubKey is not empty under HKEY_LOCAL_MACHINE, unless KeyIsAbsolute; else Key as given.
std::wstring RegistryKeyPath(const std::wstring& Key, const std::wstring& SubKey, HKEY Root, bool KeyIsAbsolute);

// The dispatcher. A missing ValueName (nullopt) differs from "" (the key's unnamed value).
//  7: ValueName given deletes that value, missing deletes the key; answers Boolean (key opened).
//  8: Default and ValueName required (else error 5); answers the value, or Default.
// 12: answers the values table (see RegistryGetValues), or Empty.
// 25: Value and ValueName required (else error 5); answers Empty, success shows in
//     RegistryFailureCount().
// Any other action: error 5, reported; answers Empty. Never throws.
vb::Variant Registry(short Action, const std::wstring& Key, const std::wstring& SubKey = L"",
                     const std::optional<vb::Variant>& ValueName = std::nullopt,
                     const std::optional<vb::Variant>& Value = std::nullopt,
                     const std::optional<vb::Variant>& Default = std::nullopt, HKEY Root = HKEY_LOCAL_MACHINE,
                     bool Quiet = false, bool KeyIsAbsolute = false, bool DeleteOption = false,
                     long ValueType = REG_SZ);

// Workers. Failed registry calls are reported unless quiet and counted in RegistryFailureCount().
// A root key itself is never touched: deleting a key whose path is empty (or only backslashes)
// and writing a value there are refused, reported unless quiet and counted as failures.
// RegistrySave writes a Byte array as it is for every type but the text types, so values of
// the types without a writer of their own (REG_NONE, REG_QWORD, ...) and empty values go back
// as they were read.
bool RegistryDelete(const std::wstring& keyPath, const std::optional<vb::Variant>& valueName, HKEY root, bool quiet,
                    bool deleteOption);
bool RegistrySave(const std::wstring& keyPath, const vb::Variant& valueName, const vb::Variant& value, HKEY root,
                  bool quiet, long valueType = REG_SZ);
// Creates root\keyPath (every missing level) without writing any value; false when it could not
// be created. Starts the failure count afresh like the dispatcher.
bool RegistryCreateKey(const std::wstring& keyPath, HKEY root, bool quiet);
// Whether root\keyPath is there and may be read; asks quietly, never counts a failure.
bool RegistryKeyExists(const std::wstring& keyPath, HKEY root);
// When root\keyPath was last written (a value set, a direct subkey made or removed); false when
// the key cannot be opened or asked. Quiet, like RegistryKeyExists.
bool RegistryKeyLastWritten(const std::wstring& keyPath, HKEY root, FILETIME& written);
vb::Variant RegistryGet(const std::wstring& keyPath, const vb::Variant& valueName, const vb::Variant& defaultValue,
                        HKEY root, bool quiet);
// The values of a key as a two-dimensional table (0 To 2, 0 To n - 1), held as an Array of
// three Arrays of n elements each: result.AsArray()[field].AsArray()[r], field by
// RegistryValueField (name String, data as CvtRegData gives it, type Long). Empty when the key
// is missing or no value reads as anything.
vb::Variant RegistryGetValues(const std::wstring& keyPath, HKEY root, bool quiet);

// Raw registry data to a value: strings (types 1, 2, 7) as text without trailing NULs, DWORDs
// (4, 5) as unsigned Doubles, everything else of types 3 to 10 as Bytes; Empty for size < 1
// or any other type.
vb::Variant CvtRegData(long type, long size, const vb::Variant::Bytes& data);

// The four bytes of value in reverse order.
int32_t SwapLongBytes(int32_t value);

// A Byte array as the characters whose ANSI codes are its bytes; anything else as text.
// Never fails: what cannot be converted gives "".
std::wstring ByteArrayToString(const vb::Variant& value);
