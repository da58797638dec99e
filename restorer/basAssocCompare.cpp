#include "basAssocCompare.h"

#include <unordered_map>

#include "basAssocLinks.h"
#include "basAssocSnapshot.h"
#include "basErrorHandler.h"
#include "basIO.h"
#include "basStrings.h"
#include "basUserInterface.h"
#include "vb/VbError.h"
#include "vb/VbText.h"

namespace {

struct CompareState {
    std::vector<AssocDiff> diffs{1};
    // The highest position of the current side already validated in this comparison.
    long validatedUpTo = 0;
    // Whether a command line's program exists, as found earlier in this comparison: many
    // associations share one program, and taking a command line apart means file look-ups.
    std::unordered_map<std::wstring, bool> programFound;
};

CompareState& State() {
    static CompareState state;
    return state;
}

std::wstring DefaultText(const SubkeyRecord& record) {
    return HasDefault(record) ? ValueDataText(record.KeyValues[static_cast<size_t>(record.ValueIndex)].ValueData)
                              : std::wstring();
}

// The name of the association record a link points at; element 0 (no link) has none.
std::wstring LinkedName(const RegKeyRecords& associations, long link) {
    const RegKeyRecord* record = RecordAt(associations, link);
    return record ? record->KeyName : std::wstring();
}

bool PlainFileExists(const std::wstring& path) {
    if (path.empty()) return false;
    DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

void Record(long currentIndex, long snapshotIndex, DiffKind kind) {
    // A snapshot not taken live by this version may lack keys that were there when it was
    // written: it proves nothing new, so nothing is offered for removal from it.
    if ((kind == dkAssocAdded || kind == dkExtAdded) && SnapshotRead() && !SnapshotLive()) return;
    RecordDiff(currentIndex, snapshotIndex);
    State().diffs.back().Kind = kind;
}

}  // namespace

const std::array<ChangeKindRow, 7>& ChangeKind() {
    static const std::array<ChangeKindRow, 7> table{{
        {L"Add Assoc.", L"Assoc. removed"},
        {L"Remove Assoc.", L"Assoc. added"},
        {L"Restore Assoc.", L"Assoc. changed"},
        {L"Add Ext.", L"Ext. removed"},
        {L"Remove Ext.", L"Ext. added"},
        {L"Fix Assoc.", L"Assoc. missing"},
        {L"Install Program", L"Program missing"},
    }};
    return table;
}

int KindOfAction(const std::wstring& text) {
    for (size_t k = 0; k < ChangeKind().size(); ++k)
        if (vb::TextEquals(ChangeKind()[k].Action, text)) return static_cast<int>(k);
    return -1;
}

std::vector<AssocDiff>& AssocDiffs() { return State().diffs; }

void RecordDiff(long currentIndex, long snapshotIndex) {
    TrappedVoid(L"RecordDiff", [&] {
        AssocDiff diff;
        diff.CurrentIndex = currentIndex;
        diff.SnapshotIndex = snapshotIndex;
        State().diffs.push_back(diff);
    });
}

bool IncrementIndex(long& position, long& record, const std::vector<long>& order, long snapshotRecord, bool validate,
                    bool reset) {
    ProcGuard guard;
    RestorerDetail2Ini(L"IncIdx");
    if (reset) State().validatedUpTo = 0;
    if (validate && position >= 1 && static_cast<size_t>(position) < order.size() &&
        position > State().validatedUpTo) {
        State().validatedUpTo = position;
        IsValidAssociation(order[static_cast<size_t>(position)], snapshotRecord);
    }
    if (position + 1 >= static_cast<long>(order.size())) return false;
    ++position;
    record = order[static_cast<size_t>(position)];
    return true;
}

bool DecrementIndex(long& position, long& record, const std::vector<long>& order, long lowerBound) {
    return Trapped(
        L"DecrementIndex",
        [&] {
            RestorerDetail2Ini(L"DecIdx");
            const long lowest = lowerBound == LowerBoundOfOrder ? 1 : lowerBound;
            if (position <= lowest || static_cast<size_t>(position - 1) >= order.size()) return false;
            --position;
            record = order[static_cast<size_t>(position)];
            return true;
        },
        false);
}

bool DetermineAssocDiffs(long currentIndex, long snapshotIndex) {
    return Trapped(
        L"DetermineAssocDiffs",
        [&] {
            const RegKeyRecord* current = RecordAt(ExtKeys(), currentIndex);
            const RegKeyRecord* snapshot = RecordAt(SnapshotExtKeys(), snapshotIndex);
            if (!current || !snapshot) return false;
            const bool currentDefault = HasDefault(*current);
            const bool snapshotDefault = HasDefault(*snapshot);
            if (currentDefault != snapshotDefault) {
                Record(currentIndex, snapshotIndex, snapshotDefault ? dkAssocRemoved : dkAssocAdded);
                return true;
            }
            if (currentDefault && !vb::TextEquals(DefaultText(*current), DefaultText(*snapshot))) {
                Record(currentIndex, snapshotIndex, dkAssocChanged);
                return true;
            }
            const long currentLink = RecordAt(AssocKeys(), current->Link) ? current->Link : 0;
            const long snapshotLink = RecordAt(SnapshotAssocKeys(), snapshot->Link) ? snapshot->Link : 0;
            // A class the snapshot holds as there but unread says nothing more than the equal
            // unnamed values already did.
            if (snapshotLink && SnapshotAssocKeys()[static_cast<size_t>(snapshotLink)].Unread) return false;
            if (!vb::TextEquals(LinkedName(AssocKeys(), currentLink), LinkedName(SnapshotAssocKeys(), snapshotLink))) {
                DiffKind kind = currentLink && snapshotLink ? dkAssocChanged : currentLink ? dkAssocAdded : dkAssocRemoved;
                Record(currentIndex, snapshotIndex, kind);
                return true;
            }
            return false;
        },
        false);
}

bool FindValueIndex(const std::vector<RegValueRecord>& values, const std::wstring& name, long& index) {
    for (size_t i = 0; i < values.size(); ++i) {
        if (vb::TextEquals(values[i].ValueName, name)) {
            index = static_cast<long>(i);
            return true;
        }
    }
    return false;
}

bool FindRegValue(long recordIndex, const std::wstring& name, long& index, bool subkeyMode, bool inSubkeys) {
    ProcGuard guard;
    try {
        RestorerDetail2Ini(L"FRKOV: " + name);
        const RegKeyRecord* record = RecordAt(ExtKeys(), recordIndex);
        if (!record) return false;
        if (subkeyMode) {
            for (size_t i = 0; i < record->Subkeys.size(); ++i) {
                if (vb::TextEquals(record->Subkeys[i].KeyName, name)) {
                    index = static_cast<long>(i);
                    return true;
                }
            }
            return false;
        }
        if (!inSubkeys) return FindValueIndex(record->KeyValues, name, index);
        if (index >= 0) {
            long found = -1;
            if (FindValueIndex(record->Subkeys.at(static_cast<size_t>(index)).KeyValues, name, found)) return true;
            return false;
        }
        for (size_t i = 0; i < record->Subkeys.size(); ++i) {
            long found = -1;
            if (FindValueIndex(record->Subkeys[i].KeyValues, name, found)) {
                index = static_cast<long>(i);
                return true;
            }
        }
    } catch (...) {
        // An index outside the arrays simply finds nothing.
        vb::Err().Clear();
    }
    return false;
}

bool IsValidAssociation(long currentIndex, long snapshotIndex) {
    return Trapped(
        L"IsValidAssociation",
        [&] {
            const RegKeyRecord* extension = RecordAt(ExtKeys(), currentIndex);
            if (!extension) return false;
            if (const RegKeyRecord* association = RecordAt(AssocKeys(), extension->Link)) {
                long source = 0;
                const std::wstring command = GetCmdLineFromAssoc(association->Subkeys, source);
                RestorerDetail2Ini(L"IVA: 1: " + command);
                bool valid = false;
                if (!command.empty()) {
                    auto known = State().programFound.find(command);
                    if (known != State().programFound.end()) {
                        valid = known->second;
                    } else {
                        ProgramPathRecord program = GetFileType(command);
                        valid = PlainFileExists(JoinPaths(ValueDataText(program.PathRoot),
                                                          ValueDataText(program.Folder), {ValueDataText(program.FileName)}));
                        State().programFound.emplace(command, valid);
                    }
                }
                if (!valid) Record(currentIndex, snapshotIndex, dkProgramMissing);
                return valid;
            }
            RestorerDetail2Ini(L"IVA: 2");
            Record(currentIndex, snapshotIndex, dkAssocMissing);
            long flags = 0;
            long index = -1;
            if (FindRegValue(currentIndex, L"Content Type", index, false, false)) flags |= mfContentType;
            index = -1;
            if (FindRegValue(currentIndex, L"NoOpen", index, false, false)) flags |= mfNoOpen;
            index = -1;
            if (FindRegValue(currentIndex, JoinPaths(extension->KeyName, L"PersistentHandler"), index, true, false))
                flags |= mfPersistentHandler;
            index = -1;
            if (FindRegValue(currentIndex, JoinPaths(extension->KeyName, L"ShellEx"), index, true, false))
                flags |= mfShellEx;
            State().diffs.back().Flags = flags;
            return false;
        },
        false);
}

void DetermineAssocExtDiffs() {
    ProcGuard guard;
    try {
        CompareState& state = State();
        state.diffs.assign(1, AssocDiff{});
        state.validatedUpTo = 0;
        state.programFound.clear();
        ShowStatus(2, L"Determining Association Differences", true);
        RestorerDetail2Ini(L"DAED");

        const RegKeyRecords& current = ExtKeys();
        const std::vector<long>& currentOrder = ExtByName();
        const RegKeyRecords& snapshot = SnapshotExtKeys();
        const std::vector<long>& snapshotOrder = SnapshotExtOrder();
        // A snapshot that did not read has no side in the walk: the present extensions are only
        // validated, never taken for added ones.
        const bool compare = SnapshotRead();
        const long currentCount = static_cast<long>(std::min(currentOrder.size(), current.size())) - 1;
        const long snapshotCount =
            compare ? static_cast<long>(std::min(snapshotOrder.size(), snapshot.size())) - 1 : 0;

        auto currentName = [&](long p) -> const std::wstring& { return current[currentOrder[p]].KeyName; };
        auto snapshotName = [&](long p) -> const std::wstring& { return snapshot[snapshotOrder[p]].KeyName; };

        long pc = 1, ps = 1;
        long currentRecord = currentCount >= 1 ? currentOrder[1] : 0;
        long snapshotRecord = snapshotCount >= 1 ? snapshotOrder[1] : 0;
        bool firstStep = true;
        // Leaves the current entry, validating it against its pair (0 when it has none).
        auto stepCurrent = [&](long pair) {
            if (!IncrementIndex(pc, currentRecord, currentOrder, pair, true, firstStep)) pc = currentCount + 1;
            firstStep = false;
        };
        auto stepSnapshot = [&] {
            if (!IncrementIndex(ps, snapshotRecord, snapshotOrder, 0, false, false)) ps = snapshotCount + 1;
        };
        // The entry one back on a side, when its name equals the other side's present name.
        auto backMatch = [&](long position, const std::vector<long>& order, auto nameAt, const std::wstring& other,
                             long& record) {
            long p = position;
            if (!DecrementIndex(p, record, order, LowerBoundOfOrder)) return false;
            return vb::TextEquals(nameAt(p), other);
        };

        while (pc <= currentCount || ps <= snapshotCount) {
            if (pc <= currentCount) ShowStatus(3, std::to_wstring(pc));
            long back = 0;
            if (pc > currentCount) {
                if (backMatch(pc, currentOrder, currentName, snapshotName(ps), back))
                    DetermineAssocDiffs(back, snapshotRecord);
                else
                    Record(0, snapshotRecord, dkExtRemoved);
                stepSnapshot();
                continue;
            }
            if (ps > snapshotCount) {
                long pair = 0;
                if (compare && snapshotCount >= 1 &&
                    backMatch(ps, snapshotOrder, snapshotName, currentName(pc), back)) {
                    DetermineAssocDiffs(currentRecord, back);
                    pair = back;
                } else if (compare) {
                    Record(currentRecord, 0, dkExtAdded);
                }
                stepCurrent(pair);
                continue;
            }
            const int c = vb::StrComp(currentName(pc), snapshotName(ps), vb::TextCompare);
            if (c == 0) {
                DetermineAssocDiffs(currentRecord, snapshotRecord);
                stepCurrent(snapshotRecord);
                stepSnapshot();
            } else if (c < 0) {
                long pair = 0;
                if (backMatch(ps, snapshotOrder, snapshotName, currentName(pc), back)) {
                    DetermineAssocDiffs(currentRecord, back);
                    pair = back;
                } else {
                    Record(currentRecord, 0, dkExtAdded);
                }
                stepCurrent(pair);
            } else {
                if (backMatch(pc, currentOrder, currentName, snapshotName(ps), back))
                    DetermineAssocDiffs(back, snapshotRecord);
                else
                    Record(0, snapshotRecord, dkExtRemoved);
                stepSnapshot();
            }
        }
    } catch (...) {
        TrapError(L"DetermineAssocExtDiffs");
    }
    ShowStatus(2, L"");
    ShowStatus(3, L"");
}
