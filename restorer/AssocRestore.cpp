#include "AssocRestore.h"

#include <set>

#include "NeighbourServices.h"
#include "basAssocSnapshot.h"
#include "basData.h"
#include "basErrorHandler.h"
#include "basStrings.h"
#include "basWinAPI_Registry.h"
#include "vb/VbError.h"
#include "vb/VbText.h"

namespace {

const RegValueRecord& DefaultValue(const SubkeyRecord& record) {
    return record.KeyValues[static_cast<size_t>(record.ValueIndex)];
}

// The snapshot keeps a DWORD as its decimal text; one of another size comes back as the
// characters of its bytes, and goes back in as those bytes.
vb::Variant DataToWrite(const RegValueRecord& value) {
    const bool dword = value.ValueType == REG_DWORD || value.ValueType == REG_DWORD_BIG_ENDIAN;
    if (dword && value.ValueData.IsString()) {
        const std::wstring text = value.ValueData.ToString();
        if (!vb::IsNumeric(text)) return vb::Variant(SnapshotTextToBytes(text, text.size()));
    }
    return value.ValueData;
}

// When the snapshot file was last written; zero when it cannot be told.
FILETIME SnapshotWritten() {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(GetSnapshotFilePath().c_str(), GetFileExInfoStandard, &data)) return FILETIME{};
    return data.ftLastWriteTime;
}

// A key may go only when it was written after the snapshot: one written before it was there
// when the user saved, whatever the file says. "*" holds every file's shell extensions and
// never goes.
bool WrittenSinceSnapshot(const std::wstring& path) {
    if (path.empty() || path == L"*") return false;
    const FILETIME snapshot = SnapshotWritten();
    if (snapshot.dwLowDateTime == 0 && snapshot.dwHighDateTime == 0) return false;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) return false;
    FILETIME written{};
    const LONG rc =
        RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
                         &written);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS && CompareFileTime(&written, &snapshot) > 0;
}

void DeleteKeyTree(const std::wstring& path) {
    if (!WrittenSinceSnapshot(path)) return;
    Registry(regDelete, path, L"", std::nullopt, std::nullopt, std::nullopt, HKEY_CLASSES_ROOT, true, true, true);
}

// The extension's key as it stands now, else as the snapshot names it.
std::wstring ExtensionPath(const RegKeyRecord* current, const RegKeyRecord* snapshot) {
    if (current && !current->KeyName.empty()) return current->KeyName;
    return snapshot ? snapshot->KeyName : std::wstring();
}

// Whether one of the records (from index 1) is the key of that name.
bool HoldsKeyNamed(const RegKeyRecords& records, const std::wstring& name) {
    for (size_t i = 1; i < records.size(); ++i)
        if (vb::TextEquals(records[i].KeyName, name)) return true;
    return false;
}

// Whether a present extension other than the one restored, and not itself losing its link in
// this restore, links to the association.
bool OtherExtensionLinks(long association, long restored, const std::set<long>& leaving) {
    const RegKeyRecords& extensions = ExtKeys();
    for (size_t i = 1; i < extensions.size(); ++i) {
        const long index = static_cast<long>(i);
        if (index == restored || leaving.count(index)) continue;
        if (extensions[i].Link == association || extensions[i].TaggedLink == association) return true;
    }
    return false;
}

// "Add Assoc.": the snapshot's association key comes back when it is missing now, and the
// extension's unnamed value with it when the extension has none now; a row without a snapshot
// association writes no key. A class that is still there keeps what it holds now: other
// extensions may share it, and the comparison never showed its contents as changed.
void AddAssociation(const AssocDiff& diff) {
    const RegKeyRecord* snapshot = RecordAt(SnapshotExtKeys(), diff.SnapshotIndex);
    if (!snapshot) return;
    if (const RegKeyRecord* association = RecordAt(SnapshotAssocKeys(), snapshot->Link))
        if (IsSnapshotAssociationName(association->KeyName) && association->KeyName != L"*" &&
            !RegistryKeyExists(association->KeyName, HKEY_CLASSES_ROOT))
            AddKeysToReg(*association);
    const RegKeyRecord* current = RecordAt(ExtKeys(), diff.CurrentIndex);
    if (HasDefault(*snapshot) && !(current && HasDefault(*current))) {
        const std::wstring path = ExtensionPath(current, snapshot);
        if (!path.empty()) AddValuesToReg(path, {DefaultValue(*snapshot)});
    }
}

// The snapshot proves a class new only where the extension's own unnamed value named it then
// and it led nowhere: the snapshot records only the classes extensions linked to, so a class
// missing from it may well have been there.
bool SnapshotProvesClassNew(const RegKeyRecord& snapshot, const std::wstring& name) {
    if (!HasDefault(snapshot) || snapshot.Link != 0) return false;
    return vb::TextEquals(vb::Trim(ValueDataText(DefaultValue(snapshot).ValueData)), name);
}

// "Remove Assoc.": the extension goes back to the snapshot's state. When the snapshot had no
// unnamed value, only that value goes. Its association key goes only when the snapshot proves
// it new, nothing else uses it, and it is no extension of its own.
void RemoveAssociation(const AssocDiff& diff, const std::set<long>& leaving) {
    const RegKeyRecord* current = RecordAt(ExtKeys(), diff.CurrentIndex);
    if (!current || current->KeyName.empty()) return;
    const RegKeyRecord* snapshot = RecordAt(SnapshotExtKeys(), diff.SnapshotIndex);
    if (!snapshot) return;
    if (!HasDefault(*snapshot)) {
        if (HasDefault(*current) && WrittenSinceSnapshot(current->KeyName))
            Registry(regDelete, current->KeyName, L"", vb::Variant(L""), std::nullopt, std::nullopt,
                     HKEY_CLASSES_ROOT, true, true);
        return;
    }
    const RegKeyRecord* association = RecordAt(AssocKeys(), current->Link);
    if (!association || association->KeyName.empty()) return;
    const std::wstring& name = association->KeyName;
    if (!SnapshotProvesClassNew(*snapshot, name)) return;
    if (name == L"*" || !IsSnapshotAssociationName(name) || HoldsKeyNamed(ExtKeys(), name) ||
        HoldsKeyNamed(SnapshotAssocKeys(), name))
        return;
    if (OtherExtensionLinks(current->Link, diff.CurrentIndex, leaving)) return;
    DeleteKeyTree(name);
}

// "Restore Assoc.": the extension's unnamed value as the snapshot had it, as text.
void RestoreAssociation(const AssocDiff& diff) {
    const RegKeyRecord* snapshot = RecordAt(SnapshotExtKeys(), diff.SnapshotIndex);
    if (!snapshot || snapshot->KeyName.empty()) return;
    const std::wstring data = HasDefault(*snapshot) ? ValueDataText(DefaultValue(*snapshot).ValueData) : L"";
    Registry(regSave, snapshot->KeyName, L"", vb::Variant(L""), vb::Variant(data), std::nullopt, HKEY_CLASSES_ROOT,
             true, true, false, REG_SZ);
}

void RestoreDifference(const AssocDiff& diff, int kind, const std::set<long>& leaving) {
    switch (kind) {
        case dkExtRemoved:
            if (const RegKeyRecord* snapshot = RecordAt(SnapshotExtKeys(), diff.SnapshotIndex))
                AddKeysToReg(*snapshot);
            break;
        case dkExtAdded:
            if (const RegKeyRecord* current = RecordAt(ExtKeys(), diff.CurrentIndex)) DeleteKeyTree(current->KeyName);
            break;
        case dkAssocRemoved: AddAssociation(diff); break;
        case dkAssocAdded: RemoveAssociation(diff, leaving); break;
        case dkAssocChanged: RestoreAssociation(diff); break;
        default: break;  // "Fix Assoc." and "Install Program" restore nothing
    }
}

}  // namespace

void RestoreDifferences(const std::vector<RestoreRow>& rows) {
    // Extensions that lose their link in this restore do not keep a new association alive.
    std::set<long> leaving;
    for (const RestoreRow& row : rows) {
        if (row.DiffIndex < 1 || static_cast<size_t>(row.DiffIndex) >= AssocDiffs().size()) continue;
        if (row.Kind == dkAssocAdded || row.Kind == dkExtAdded)
            leaving.insert(AssocDiffs()[static_cast<size_t>(row.DiffIndex)].CurrentIndex);
    }
    for (const RestoreRow& row : rows) {
        if (row.DiffIndex < 1 || static_cast<size_t>(row.DiffIndex) >= AssocDiffs().size()) continue;
        // A copy: nothing a row does may move the entry under it.
        const AssocDiff diff = AssocDiffs()[static_cast<size_t>(row.DiffIndex)];
        try {
            RestoreDifference(diff, row.Kind, leaving);
        } catch (...) {
            TrapError(L"RestoreMarkedChanges");
        }
    }
}

bool AddKeysToReg(const RegKeyRecord& record) {
    ProcGuard guard;
    if (!AddKeyToReg(record, L"")) return false;
    // Each subkey's name is already its whole path below the root.
    for (const SubkeyRecord& subkey : record.Subkeys) AddKeyToReg(subkey, L"");
    return true;
}

bool AddKeyToReg(const SubkeyRecord& record, const std::wstring& parent) {
    ProcGuard guard;
    try {
        const std::wstring path = parent.empty() ? record.KeyName : JoinPaths(parent, record.KeyName);
        // The key gets no value of its own: an unnamed value the snapshot did not record would
        // read as an association that was never there.
        if (!RegistryCreateKey(path, HKEY_CLASSES_ROOT, true)) return false;
        AddValuesToReg(path, record.KeyValues);
        vb::Err().Clear();
        return true;
    } catch (...) {
        vb::Err().Clear();
        return false;
    }
}

bool AddValuesToReg(const std::wstring& keyPath, const std::vector<RegValueRecord>& values) {
    ProcGuard guard;
    if (values.empty()) return false;
    for (const RegValueRecord& value : values) {
        try {
            Registry(regSave, keyPath, L"", vb::Variant(value.ValueName), DataToWrite(value), std::nullopt,
                     HKEY_CLASSES_ROOT, true, true, false, value.ValueType);
        } catch (...) {
            vb::Err().Clear();
        }
    }
    return true;
}

bool ReloadModelFromRegistry() {
    return Trapped(
        L"ReloadModelFromRegistry",
        [] {
            if (OptionsWindowServices* options = OptionsServices())
                return options->RedisplayExtensionList() && RegistryModelWhole();
            LoadRegistryExtensions();
            LoadRegistryAssociations();
            return RegistryModelWhole();
        },
        false);
}
