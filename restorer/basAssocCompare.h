// The comparison of the registry model's extensions with the snapshot's: a single merge walk
// over both sides in name order that records what changed, and the validity test that reports
// present extensions without an association key or without the program their association opens.
#pragma once
#include <array>
#include <string>
#include <vector>

#include "basRegistryModel.h"

// The kinds of difference, as ChangeKind lists them.
enum DiffKind : short {
    dkAssocRemoved = 0,   // "Add Assoc."
    dkAssocAdded = 1,     // "Remove Assoc."
    dkAssocChanged = 2,   // "Restore Assoc."
    dkExtRemoved = 3,     // "Add Ext."
    dkExtAdded = 4,       // "Remove Ext."
    dkAssocMissing = 5,   // "Fix Assoc."
    dkProgramMissing = 6, // "Install Program"
};

struct ChangeKindRow {
    std::wstring Action;    // what a restore of the row does; the list's first column
    std::wstring Detected;  // what the comparison found
};
const std::array<ChangeKindRow, 7>& ChangeKind();
// The kind whose action text equals text (case-insensitive); -1 when none does.
int KindOfAction(const std::wstring& text);

// Flags of an "Assoc. missing" difference.
enum MissingFlags : long { mfNoOpen = 1, mfPersistentHandler = 2, mfShellEx = 4, mfContentType = 8 };

struct AssocDiff {
    short Kind = 0;
    long CurrentIndex = 0;   // record of ExtKeys (not read for kind 3)
    long SnapshotIndex = 0;  // record of SnapshotExtKeys (not read for kind 4; 0 = none)
    long Flags = 0;          // kind 5 only
};

// Entry 0 is empty; the differences run from 1 in the order found.
std::vector<AssocDiff>& AssocDiffs();

// The whole comparison of ExtKeys (in ExtByName order) with the snapshot (in SnapshotExtOrder).
// After a failed snapshot read only the validity findings (kinds 5 and 6) are recorded.
void DetermineAssocExtDiffs();

// One step forward on the current side (validating the entry it leaves when asked, once per
// entry, against the snapshot record snapshotRecord); false at the end, position unchanged.
bool IncrementIndex(long& position, long& record, const std::vector<long>& order, long snapshotRecord, bool validate,
                    bool reset);
// One step back; false at the lower bound (LowerBoundOfOrder: the order's own lower bound, 1).
inline constexpr long LowerBoundOfOrder = -10000000;
bool DecrementIndex(long& position, long& record, const std::vector<long>& order, long lowerBound);

// Appends a difference with these indexes; the caller sets its Kind at once.
void RecordDiff(long currentIndex, long snapshotIndex);

// Compares the extension's present record with its snapshot record; true when a difference
// was recorded.
bool DetermineAssocDiffs(long currentIndex, long snapshotIndex);

// Whether the present extension record's association opens an existing program; records kind 6
// (program missing) or kind 5 (no association, with its flags) otherwise.
bool IsValidAssociation(long currentIndex, long snapshotIndex);

// Subkey mode: a subkey of the extension record whose path equals name. Value mode: a value of
// that name among the record's own values (inSubkeys false), or, with inSubkeys, among the values of the
// given subkey (index on entry) or of every subkey (index -1). index receives where it was found.
bool FindRegValue(long recordIndex, const std::wstring& name, long& index, bool subkeyMode, bool inSubkeys);
bool FindValueIndex(const std::vector<RegValueRecord>& values, const std::wstring& name, long& index);
