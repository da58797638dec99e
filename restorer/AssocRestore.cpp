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

// What a restore left alone, and why, in the user's words.
using Refusals = std::vector<RefusedRow>;

// A key may go only when it was written after the snapshot: one written before it was there
// when the user saved, whatever the file says.
bool WrittenSinceSnapshot(const std::wstring& path) {
    if (path.empty()) return false;
    const FILETIME snapshot = SnapshotWritten();
    if (snapshot.dwLowDateTime == 0 && snapshot.dwHighDateTime == 0) return false;
    FILETIME written{};
    return RegistryKeyLastWritten(path, HKEY_CLASSES_ROOT, written) && CompareFileTime(&written, &snapshot) > 0;
}

// Why the key may not be deleted; empty when it may. "*" holds every file's shell extensions
// and never goes; nor does a system key the suite passes over.
std::wstring WhyKeyStays(const std::wstring& path) {
    if (path == L"*") return L"the key of all files is never removed";
    if (IsSkippedKey(path)) return L"it is a system key";
    if (!SnapshotLive()) return L"the snapshot was not saved by this version, so it cannot show that the key is new";
    if (!WrittenSinceSnapshot(path)) return L"the key was already there when the snapshot was taken";
    return {};
}

// Deletes the tree; answers why it stays when it does.
std::wstring DeleteKeyTree(const std::wstring& path) {
    std::wstring why = WhyKeyStays(path);
    if (!why.empty()) return why;
    Registry(regDelete, path, L"", std::nullopt, std::nullopt, std::nullopt, HKEY_CLASSES_ROOT, true, true, true);
    if (RegistryKeyExists(path, HKEY_CLASSES_ROOT)) return L"the registry did not let the key be removed whole";
    return {};
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
    // A class the snapshot could not read holds nothing to write back.
    if (const RegKeyRecord* association = RecordAt(SnapshotAssocKeys(), snapshot->Link))
        if (!association->Unread && IsSnapshotAssociationName(association->KeyName) && association->KeyName != L"*" &&
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
std::wstring RemoveAssociation(const AssocDiff& diff, const std::set<long>& leaving) {
    const RegKeyRecord* current = RecordAt(ExtKeys(), diff.CurrentIndex);
    if (!current || current->KeyName.empty()) return {};
    const RegKeyRecord* snapshot = RecordAt(SnapshotExtKeys(), diff.SnapshotIndex);
    if (!snapshot) return {};
    if (!HasDefault(*snapshot)) {
        if (!HasDefault(*current)) return {};
        std::wstring why = WhyKeyStays(current->KeyName);
        if (!why.empty()) return why;
        Registry(regDelete, current->KeyName, L"", vb::Variant(L""), std::nullopt, std::nullopt, HKEY_CLASSES_ROOT,
                 true, true);
        return {};
    }
    const RegKeyRecord* association = RecordAt(AssocKeys(), current->Link);
    if (!association || association->KeyName.empty()) return {};
    const std::wstring& name = association->KeyName;
    if (!SnapshotProvesClassNew(*snapshot, name)) return L"the snapshot does not show that the class is new";
    if (name == L"*") return L"the key of all files is never removed";
    if (!IsSnapshotAssociationName(name)) return L"the class is a system key or lies below another key";
    if (HoldsKeyNamed(ExtKeys(), name)) return L"the class is an extension of its own";
    if (HoldsKeyNamed(SnapshotAssocKeys(), name)) return L"the snapshot holds the class";
    if (OtherExtensionLinks(current->Link, diff.CurrentIndex, leaving)) return L"another extension uses the class";
    return DeleteKeyTree(name);
}

// "Restore Assoc.": the extension's unnamed value as the snapshot had it, as text.
void RestoreAssociation(const AssocDiff& diff) {
    const RegKeyRecord* snapshot = RecordAt(SnapshotExtKeys(), diff.SnapshotIndex);
    if (!snapshot || snapshot->KeyName.empty()) return;
    const std::wstring data = HasDefault(*snapshot) ? ValueDataText(DefaultValue(*snapshot).ValueData) : L"";
    Registry(regSave, snapshot->KeyName, L"", vb::Variant(L""), vb::Variant(data), std::nullopt, HKEY_CLASSES_ROOT,
             true, true, false, REG_SZ);
}

// Answers why the row was left alone; empty when it was acted on.
std::wstring RestoreDifference(const AssocDiff& diff, int kind, const std::set<long>& leaving) {
    switch (kind) {
        case dkExtRemoved:
            if (const RegKeyRecord* snapshot = RecordAt(SnapshotExtKeys(), diff.SnapshotIndex))
                AddKeysToReg(*snapshot);
            break;
        case dkExtAdded:
            if (const RegKeyRecord* current = RecordAt(ExtKeys(), diff.CurrentIndex))
                return DeleteKeyTree(current->KeyName);
            break;
        case dkAssocRemoved: AddAssociation(diff); break;
        case dkAssocAdded: return RemoveAssociation(diff, leaving);
        case dkAssocChanged: RestoreAssociation(diff); break;
        default: break;  // "Fix Assoc." and "Install Program" restore nothing
    }
    return {};
}

}  // namespace

std::vector<RefusedRow> RestoreDifferences(const std::vector<RestoreRow>& rows) {
    Refusals refused;
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
            std::wstring why = RestoreDifference(diff, row.Kind, leaving);
            if (!why.empty()) refused.push_back(RefusedRow{row.DiffIndex, std::move(why)});
        } catch (...) {
            TrapError(L"RestoreMarkedChanges");
        }
    }
    return refused;
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

bool ReloadModelFromRegistry(std::wstring* why) {
    std::wstring reason;
    const bool whole = Trapped(
        L"ReloadModelFromRegistry",
        [&] {
            bool rebuilt = true;
            if (OptionsWindowServices* options = OptionsServices()) {
                rebuilt = options->RedisplayExtensionList();
            } else {
                LoadRegistryExtensions();
                LoadRegistryAssociations();
            }
            if (!RegistryModelWhole())
                reason = L"the file associations could not be read from the registry to the end";
            else if (!rebuilt)
                reason = L"the options window could not rebuild its list of extensions from the registry";
            return reason.empty();
        },
        false);
    if (!whole && reason.empty()) reason = L"an error stopped the reading of the file associations from the registry";
    if (why) *why = reason;
    return whole;
}
