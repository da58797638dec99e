// The in-memory copy of the Windows file associations: the extension keys of
// HKEY_CLASSES_ROOT, the association keys that their default values name, and Explorer's
// per-extension keys, each key with its values and all its subkeys flattened into one list.
// Loading leaves progress marks in the settings file so that a registry that crashes or
// loops the load can be tracked down on the next run.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "vb/VbVariant.h"

// One registry value. The empty name is the key's unnamed (default) value.
struct RegValueRecord {
    std::wstring ValueName;
    long ValueType = 0;
    vb::Variant ValueData;  // as CvtRegData gives it, REG_SZ without trailing NULs
};

// One key's own part.
struct SubkeyRecord {
    // Extension record: the association index when the default value carries the previewer-
    // disable tag; association record: an extension that links to it that way. 0 = none.
    long TaggedLink = 0;
    // The same for an untagged default value.
    long Link = 0;
    // Extension record: the command line of its association.
    std::wstring CmdLine;
    // Key record: the name below the reader's base key; subkey record: the path below the root.
    std::wstring KeyName;
    // Index into KeyValues of the unnamed value; -1 when there is none.
    long ValueIndex = -1;
    std::vector<RegValueRecord> KeyValues;  // enumeration order
};

// One extension, association or Explorer key, with every key below it, depth-first in
// enumeration order (a key before its children).
struct RegKeyRecord : SubkeyRecord {
    std::vector<SubkeyRecord> Subkeys;
    // A class recorded as there although it could not be read: nothing of it is known.
    bool Unread = false;
};

using RegKeyRecords = std::vector<RegKeyRecord>;

// The record a link or index names, or nullptr for 0 (no record) and anything outside the array.
template <typename Records>
auto RecordAt(Records& records, long index) -> decltype(&records[0]) {
    if (index < 1 || static_cast<size_t>(index) >= records.size()) return nullptr;
    return &records[static_cast<size_t>(index)];
}

// Whether the key holds an unnamed value.
inline bool HasDefault(const SubkeyRecord& record) {
    return record.ValueIndex >= 0 && static_cast<size_t>(record.ValueIndex) < record.KeyValues.size();
}

// The model. Element 0 of each array is an empty record and never a key, so 0 in a link
// means "no link".
RegKeyRecords& ExtKeys();
RegKeyRecords& AssocKeys();
RegKeyRecords& ExplorerExtKeys();
// Index arrays: element 0 = 0, then the record indexes in order.
std::vector<long>& ExtByName();
std::vector<long>& ExtByAssoc();
std::vector<long>& AssocByName();

// The logging state of the current load; marks are written only while it is 2 or 4.
short& LogMode();

// Where Explorer keeps its per-extension keys under HKEY_CURRENT_USER.
inline constexpr const wchar_t* ExplorerFileExtsKey = L"Software\\Microsoft\\Windows\\CurrentVersion\\Explorer\\FileExts";

// Subkeys nested deeper than this below a key are never read: whatever the names, a cycle of
// linked keys cannot make a reader descend without end.
inline constexpr int MaxSubkeyDepth = 64;
// Subkey records of one key record beyond which its reading stops, also counted as runaway
// nesting: linked subkeys that lead back branch out, so their paths grow by the power of the
// depth, and the names alternate, so the test of equal parts never fires.
inline constexpr size_t MaxSubkeyRecords = 100000;

// The load order: extensions, associations (they link the extensions), Explorer's keys.
void LoadRegistryExtensions();
void SortExtensions();
void LoadRegistryAssociations();
void LoadExplorerFileExts();

// Whether the last loads of the extensions and the associations each read the registry to the
// end (an enumeration that ended early, or a failed sort or link, counts as not). A load that stopped part way leaves keys out, or extensions unlinked from classes that
// are there; such a model must never stand for the registry as a whole.
bool RegistryModelWhole();

// The big system keys of HKEY_CLASSES_ROOT whose children the association reader passes over.
const std::vector<std::wstring>& AssociationSkipList();
// Whether name (in any letter case) is one of them or a path below one.
bool IsSkippedKey(const std::wstring& name);
// The classes that extensions of the last load name which are there but could not be read.
const std::vector<std::wstring>& UnreadAssociations();

bool RegistryGetExtKeys(const std::wstring& basePath, HKEY root, const std::wstring& patterns);
bool RegistryGetAssocKeys(const std::wstring& basePath, HKEY root);
bool RegistryGetExplorerExtKeys(const std::wstring& basePath, HKEY root, const std::wstring& patterns);

// Append the keys below keyPath to the Subkeys of record ownerIndex of their array; recursion
// is set when runaway nesting was met.
void RegistryGetExtSubkeys(const std::wstring& keyPath, HKEY root, long ownerIndex, bool& recursion, bool isSubkey);
void RegistryGetAssocSubkeys(const std::wstring& keyPath, HKEY root, long ownerIndex, bool& recursion, bool isSubkey);
void RegistryGetExplorerFileExtsSubkeys(const std::wstring& keyPath, HKEY root, long ownerIndex, bool& recursion,
                                        bool isSubkey);

// Fills KeyValues and ValueIndex from an open key, with the figures its key query returned.
void GetValuesFromOpenKey(SubkeyRecord& record, HKEY key, DWORD values, DWORD longestName, DWORD largestData);

// Index arrays over records: Sort by KeyName (element 0 stays 0, 1..n ordered); SortExtKeys
// over 0..n by association name (the default value without the previewer-disable tag).
std::vector<long> Sort(const RegKeyRecords& records);
std::vector<long> SortExtKeys(const RegKeyRecords& records);

// The association name an extension record names: its unnamed value as text without the
// previewer-disable tag ("" when it has none). hasTag tells whether the tag was there.
std::wstring AssociationNameOf(const SubkeyRecord& record, bool& hasTag);
// A value's data as text: strings as they are, numbers as their text, bytes as ANSI characters.
std::wstring ValueDataText(const vb::Variant& data);
// The text of a record's unnamed value; "" when it has none.
std::wstring UnnamedValueText(const SubkeyRecord& record);

// True when the last parts of path repeat so often that the key can only be a runaway nesting.
bool IsRunawayNesting(const std::wstring& path);

// The running Windows version as the data model asks for it (GetWindowsVersionName);
// tests stand in a name of their own ("" restores the real one).
std::wstring ModelWindowsVersionName();
void SetModelWindowsVersionOverride(const std::wstring& name);

// Back to the state of a freshly loaded library: model emptied, counters and the
// once-per-load message flag reset. For tests.
void ResetRegistryModelState();
