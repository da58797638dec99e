#include "UserJournal.h"

#include "basErrorHandler.h"
#include "basMessageHandler.h"
#include "basRegistryModel.h"
#include "basUserChoices.h"
#include "vb/VbText.h"

namespace {

const wchar_t* const kValidStatuses[] = {L"OK", L"SD", L"WD", L"NE"};

// Every entry has its five elements, however short the caller's array was.
JournalEntry Padded(JournalEntry entry) {
    if (entry.size() < 5) entry.resize(5);
    return entry;
}

std::wstring Status(const JournalEntry& entry) { return entry[2].substr(0, 2); }

// Element 2 becomes the status with the list's suffix; answers the matching line, -1 when none.
long FindWithSuffix(JournalEntry& entry, const std::wstring& status, const wchar_t* suffix,
                    const vb::List<std::wstring>& list, const std::wstring& extension) {
    entry[2] = status + suffix;
    long lastSeen = 0, index = -1;
    return FindUserChoice(entry, list, extension, 1, lastSeen, index);
}

void ShowMessage(long n) { MessageHandler(MessageBase + n); }

}  // namespace

std::wstring JournalExtensionName(long extIndex, const std::wstring& extension) {
    const RegKeyRecords& records = ExtKeys();
    if (extIndex >= 1 && static_cast<size_t>(extIndex) < records.size() && !records[static_cast<size_t>(extIndex)].KeyName.empty())
        return records[static_cast<size_t>(extIndex)].KeyName;
    return extension;
}

bool IsDefaultRecorded(const std::wstring& extension, JournalEntry entry) {
    entry = Padded(std::move(entry));
    return FindWithSuffix(entry, Status(entry), L"-D", DefList(), extension) >= 0;
}

bool IsValidUserSelectionsB(long /*extIndex*/, const std::wstring& /*extension*/, const JournalEntry& entry) {
    return Trapped(L"IsValidUserSelectionsB", [&] {
        const std::wstring status = entry.size() > 2 ? entry[2].substr(0, 2) : std::wstring();
        for (const wchar_t* valid : kValidStatuses)
            if (vb::TextEquals(status, valid)) return true;
        ShowMessage(4501);
        return false;
    });
}

long FindUserChoice(const JournalEntry& entry, const vb::List<std::wstring>& list, const std::wstring& extension,
                    long offset, long& lastSeen, long& index) {
    ProcGuard guard;
    index = -1;
    const long upper = static_cast<long>(entry.size()) - 1;
    for (long i = 1; i <= list.UBound(); ++i) {
        std::vector<std::wstring> fields = vb::Split(list[i], L"|");
        if (fields.empty() || !vb::TextEquals(fields[0], extension)) continue;
        lastSeen = i;
        bool same = true;
        for (long k = 1; k <= upper - 1 && same; ++k) {
            const size_t field = static_cast<size_t>(k + offset);
            same = field < fields.size() && vb::TextEquals(entry[static_cast<size_t>(k)], fields[field]);
        }
        if (same) {
            index = i;
            break;
        }
    }
    return index;
}

void FindExtensionLines(const std::wstring& extension, const vb::List<std::wstring>& list, long& last,
                        long& first) {
    ProcGuard guard;
    first = list.UBound() + 1;
    last = 0;
    auto holds = [&](long i) {
        std::vector<std::wstring> fields = vb::Split(list[i], L"|");
        return !fields.empty() && vb::TextEquals(fields[0], extension);
    };
    for (long i = 1; i <= list.UBound(); ++i) {
        if (!holds(i)) continue;
        first = i;
        last = i;
        while (last < list.UBound() && holds(last + 1)) ++last;
        return;
    }
}

void AppendUserChoice(const std::wstring& listName, const std::wstring& extension, const JournalEntry& entry) {
    ProcGuard guard;
    vb::List<std::wstring>* list = nullptr;
    if (vb::TextEquals(listName, L"Add"))
        list = &AddList();
    else if (vb::TextEquals(listName, L"Def"))
        list = &DefList();
    else if (vb::TextEquals(listName, L"Remove"))
        list = &RemoveList();
    if (!list) return;

    std::wstring line = extension;
    for (const std::wstring& element : entry) line += L"|" + element;
    // After every line that sorts up to the new one, so equal lines keep their order.
    long at = list->UBound() + 1;
    for (long i = 1; i <= list->UBound(); ++i) {
        if (vb::StrComp((*list)[i], line, vb::TextCompare) > 0) {
            at = i;
            break;
        }
    }
    list->Insert(at, std::move(line));
}

void UserAddB(long extIndex, const std::wstring& extension, JournalEntry entry, bool quiet) {
    TrappedVoid(L"UserAddB", [&] {
        entry = Padded(std::move(entry));
        if (!IsValidUserSelectionsB(extIndex, extension, entry)) return;
        const std::wstring status = Status(entry);
        if (FindWithSuffix(entry, status, L"-A", AddList(), extension) >= 0) {
            if (!quiet) ShowMessage(4504);
            return;
        }
        // Adding a program back undoes its removal; nothing more is written.
        if (long i = FindWithSuffix(entry, status, L"-R", RemoveList(), extension); i >= 0) {
            RemoveUserChoice(L"Remove", i);
            return;
        }
        if (long i = FindWithSuffix(entry, status, L"-D", DefList(), extension); i >= 0) RemoveUserChoice(L"Def", i);
        entry[2] = status + L"-A";
        AppendUserChoice(L"Add", JournalExtensionName(extIndex, extension), entry);
    });
}

void UserDefaultB(long extIndex, const std::wstring& extension, JournalEntry entry) {
    TrappedVoid(L"UserDefaultB", [&] {
        entry = Padded(std::move(entry));
        if (!IsValidUserSelectionsB(extIndex, extension, entry)) return;
        long last = 0, first = 0;
        FindExtensionLines(extension, DefList(), last, first);
        if (first <= last) {
            ShowMessage(4507);
            return;
        }
        const std::wstring status = Status(entry);
        if (long i = FindWithSuffix(entry, status, L"-R", RemoveList(), extension); i >= 0)
            RemoveUserChoice(L"Remove", i);
        else if (long j = FindWithSuffix(entry, status, L"-A", AddList(), extension); j >= 0)
            RemoveUserChoice(L"Add", j);
        entry[2] = status + L"-D";
        AppendUserChoice(L"Def", JournalExtensionName(extIndex, extension), entry);
    });
}

void UserRemoveB(long extIndex, const std::wstring& extension, JournalEntry entry) {
    TrappedVoid(L"UserRemove", [&] {
        entry = Padded(std::move(entry));
        if (!IsValidUserSelectionsB(extIndex, extension, entry)) return;
        const std::wstring status = Status(entry);
        if (long i = FindWithSuffix(entry, status, L"-A", AddList(), extension); i >= 0) {
            RemoveUserChoice(L"Add", i);
            return;
        }
        if (long i = FindWithSuffix(entry, status, L"-D", DefList(), extension); i >= 0) {
            RemoveUserChoice(L"Def", i);
            return;
        }
        if (FindWithSuffix(entry, status, L"-R", RemoveList(), extension) >= 0) {
            ShowMessage(4505);
            return;
        }
        // No line for the pair: nothing is recorded. A "-R" line would hide the Windows default
        // of the whole extension in the chooser, which is not what removing one pair means.
    });
}
