// The restore: marked differences written back into HKEY_CLASSES_ROOT from the snapshot.
// Every registry access goes through the dispatcher with absolute paths and stays quiet; a
// write or delete that fails leaves its difference in place, and the next comparison lists it
// again. No difference reaches a root key. A class is deleted only when the snapshot proves it
// was not there (the extension named it then without a link), and never while it is an
// extension, "*", a system key, a class of the snapshot, or the class of another present
// extension. That proof holds for a snapshot taken from the registry as it stood; as a second
// guard, no key is deleted that was last written before the snapshot file, and "*" never is.
#pragma once
#include <string>
#include <vector>

#include "basAssocCompare.h"
#include "basRegistryModel.h"

// One checked row of the list: its difference and the kind its action text names.
struct RestoreRow {
    long DiffIndex = 0;
    int Kind = -1;
};

// A row the restore left alone by its rules, and why in the user's words.
struct RefusedRow {
    long DiffIndex = 0;
    std::wstring Why;
};

// Restores the rows in list order, each on its own, against the present model and the
// snapshot arrays (neither is reloaded here) and the snapshot file's last-write time. Answers the
// rows that a rule kept from being restored ("*", system keys, keys older than the snapshot, a
// class not proved new); a write or delete the registry refuses is not among them.
std::vector<RefusedRow> RestoreDifferences(const std::vector<RestoreRow>& rows);

// Re-creates one key with every subkey recorded for it, at their recorded paths, with their
// values; false when the key itself could not be created (no subkey is then tried).
bool AddKeysToReg(const RegKeyRecord& record);
// Creates the key at parent joined with the record's name, without a value of its own, and
// writes the recorded values; false when the key could not be created.
bool AddKeyToReg(const SubkeyRecord& record, const std::wstring& parent);
// Writes each value with its type and data; single failures are passed over. False when there
// are no values.
bool AddValuesToReg(const std::wstring& keyPath, const std::vector<RegValueRecord>& values);

// The present keys loaded again, after a restore and before a snapshot or a comparison: through
// the options window when it is loaded (its extension list follows), else straight into the
// model. The options window is never created for it. False when the model could not be loaded
// whole, or the options window failed to rebuild: the model must then not be written as a
// snapshot nor compared. why (when given) receives the reason in the user's words.
bool ReloadModelFromRegistry(std::wstring* why = nullptr);
