#include "basUserChoices.h"

#include <optional>
#include <unordered_set>

#include "NeighbourServices.h"
#include "basAliases.h"
#include "basCategories.h"
#include "basData.h"
#include "basErrorHandler.h"
#include "basProgramList.h"
#include "basStrings.h"
#include "basTextFiles.h"
#include "basUserInterface.h"
#include "vb/VbScreen.h"
#include "vb/VbText.h"
#include "vb/VbThreadState.h"

namespace {

struct UserChoiceState {
    vb::List<std::wstring> Add;
    vb::List<std::wstring> Remove;
    vb::List<std::wstring> Def;
    vb::List<std::vector<std::wstring>> Stale;
    bool Saving = false;
    int SaveHolds = 0;
    bool SaveWaiting = false;
};

UserChoiceState& State() { return vb::ThreadInstance<UserChoiceState>(); }

constexpr size_t UserChoiceFieldCount = 6;

vb::List<std::wstring>* ListByName(const std::wstring& name) {
    if (vb::TextEquals(name, L"Add")) return &State().Add;
    if (vb::TextEquals(name, L"Def")) return &State().Def;
    if (vb::TextEquals(name, L"Remove")) return &State().Remove;
    return nullptr;
}

// Puts the screen's pointer back however the save ends.
class HourglassWhileSaving {
public:
    HourglassWhileSaving() : previous_(vb::ScreenMousePointer()) { vb::SetScreenMousePointer(vb::vbHourglass); }
    ~HourglassWhileSaving() { vb::SetScreenMousePointer(previous_); }
    HourglassWhileSaving(const HourglassWhileSaving&) = delete;
    HourglassWhileSaving& operator=(const HourglassWhileSaving&) = delete;

private:
    int previous_;
};

std::wstring UserChoiceFileText(const vb::List<std::wstring>& list) {
    std::wstring text;
    for (const std::wstring& line : list) {
        text += line;
        text += L"\r\n";
    }
    return text;
}

// An unchanged list costs no write, and the archive's update then finds nothing new.
void SaveOverrideFiles() {
    WriteWorkingFileIfChanged(GetAddFilePath(), UserChoiceFileText(State().Add));
    WriteWorkingFileIfChanged(GetDelFilePath(), UserChoiceFileText(State().Remove));
    WriteWorkingFileIfChanged(GetDefFilePath(), UserChoiceFileText(State().Def));
}

}  // namespace

vb::List<std::wstring>& AddList() { return State().Add; }
vb::List<std::wstring>& RemoveList() { return State().Remove; }
vb::List<std::wstring>& DefList() { return State().Def; }
vb::List<std::vector<std::wstring>>& StaleEntries() { return State().Stale; }

void GetUserChoices(bool clean) {
    ProcGuard guard;
    auto step = [](auto&& body) {
        try {
            body();
        } catch (...) {
            TrapError(L"GetUserChoices");
        }
    };
    step([] { ShowStatus(2, L"Loading User Overrides", true, false); });
    step([] { LoadUserChoiceFile(GetAddFilePath()); });
    step([] { LoadUserChoiceFile(GetDelFilePath()); });
    step([] { LoadUserChoiceFile(GetDefFilePath()); });
    if (clean) step([] { CleanUserData(); });
    step([] { ShowStatus(2, L"", true, false); });
}

namespace {

// The list a file's name says it holds; nullptr for any other file.
vb::List<std::wstring>* ListOfFile(const std::wstring& path) {
    if (vb::EndsWith(path, L"Add.dat")) return &State().Add;
    if (vb::EndsWith(path, L"Del.dat")) return &State().Remove;
    if (vb::EndsWith(path, L"Def.dat")) return &State().Def;
    return nullptr;
}

}  // namespace

void LoadUserChoiceFile(const std::wstring& path) {
    ProcGuard guard;
    try {
        std::vector<std::wstring> lines;
        if (!ListOfFile(path) || !ReadTextLines(path, lines)) return;
        LoadUserChoiceLines(path, std::move(lines));
    } catch (...) {
        vb::Err().Clear();
    }
}

void LoadUserChoiceLines(const std::wstring& fileName, std::vector<std::wstring> lines) {
    vb::List<std::wstring>* list = ListOfFile(fileName);
    if (!list) return;
    vb::List<std::wstring> loaded;
    for (std::wstring& line : lines) loaded.Add(std::move(line));
    *list = std::move(loaded);
}

namespace {

// The folder a path's drive begins with: "C:\" or "\\server\share\".
std::wstring DriveOf(const std::wstring& path) {
    if (path.size() >= 2 && path[1] == L':') return path.substr(0, 2) + L"\\";
    if (path.rfind(L"\\\\", 0) == 0) {
        const size_t server = path.find(L'\\', 2);
        const size_t share = server == std::wstring::npos ? server : path.find(L'\\', server + 1);
        return share == std::wstring::npos ? path + L"\\" : path.substr(0, share + 1);
    }
    return {};
}

// The program list as the clean-up asks it, built once per clean-up rather than walked per entry.
class ListedPrograms {
public:
    ListedPrograms() {
        const std::vector<std::wstring>& lines = ProgramLines();
        for (long i = 0; i <= ProgramLineLast() && static_cast<size_t>(i) < lines.size(); ++i) {
            const std::vector<std::wstring> fields = vb::Split(lines[static_cast<size_t>(i)], L"|");
            if (fields.size() < 4) continue;
            const std::wstring path = LowerCase(fields[3]);
            drives_.insert(DriveOf(path));
            paths_.insert(path);
        }
    }
    // The narrowing look-up relies on the list's order; this has the last word before an entry goes.
    bool HoldsPath(const std::wstring& path) const { return paths_.count(LowerCase(path)) != 0; }
    // A drive the scan found programs on. One it found none on was most likely not scanned (not
    // ticked, or offline that day), and may not be reachable now either.
    bool CoversDriveOf(const std::wstring& path) const {
        const std::wstring drive = DriveOf(LowerCase(path));
        return !drive.empty() && drives_.count(drive) != 0;
    }

private:
    std::unordered_set<std::wstring> paths_;
    std::unordered_set<std::wstring> drives_;
};

// Adds a description once.
void Note(std::vector<std::wstring>& to, std::wstring description) {
    for (const std::wstring& d : to)
        if (vb::TextEquals(d, description)) return;
    to.push_back(std::move(description));
}

void AppendGroup(std::wstring& text, const wchar_t* heading, const std::vector<std::wstring>& descriptions) {
    if (descriptions.empty()) return;
    text += heading;
    text += L"\r\n\r\n";
    for (const std::wstring& d : descriptions) text += d + L"\r\n\r\n";
}

}  // namespace

void CleanUserData(CleanUpAfter after) {
    TrappedVoid(L"CleanUserData", [after] {
        UserChoiceState& state = State();
        state.Stale.Clear();
        // Without a program list there is nothing to check the entries against.
        if (ProgramLineLast() < 0 || ProgramLines().empty()) return;

        // Built only when an entry is not found by the look-up, which is rare.
        std::optional<ListedPrograms> index;
        auto listed = [&index]() -> const ListedPrograms& {
            if (!index) index.emplace();
            return *index;
        };
        std::vector<std::wstring> removed, stillOnDisk, driveNotScanned;
        for (vb::List<std::wstring>* list : {&state.Add, &state.Remove, &state.Def}) {
            for (long i = 1; i <= list->UBound();) {
                const std::wstring& entry = (*list)[i];
                std::vector<std::wstring> fields = vb::Split(entry, L"|");
                // Blank and malformed lines are left alone.
                if (entry.empty() || fields.size() < UserChoiceFieldCount || IsLineAsArrayValidExe(fields) ||
                    listed().HoldsPath(fields[4])) {
                    ++i;
                    continue;
                }
                // Not in the list, but not gone either: a program on a drive the scan did not
                // reach, or one whose file is still there, keeps its settings. The drive is
                // asked first: a drive that was not scanned may be an offline share or an empty
                // drive, where a look at the disk would wait or ask for a disk.
                if (!listed().CoversDriveOf(fields[4])) {
                    Note(driveNotScanned, DescribeUserChoice(fields));
                    ++i;
                    continue;
                }
                if (FileExists(fields[4])) {
                    Note(stillOnDisk, DescribeUserChoice(fields));
                    ++i;
                    continue;
                }
                Note(removed, DescribeUserChoice(fields));
                AddStaleNode(fields);
                list->RemoveAt(i);
            }
        }
        if (!removed.empty()) {
            SaveOverrideFiles();
            UpdateArchive();
        }
        // What was kept is news only right after a scan; at any other clean-up it would be the
        // same report again each time.
        if (after != CleanUpAfter::Scan) {
            stillOnDisk.clear();
            driveNotScanned.clear();
        }
        std::wstring text;
        AppendGroup(text,
                    L"The following associations have been removed because they are referring to programs that "
                    L"no longer exist on your computer.",
                    removed);
        AppendGroup(text,
                    L"The following programs were not found by the scan, but their program files are still there, so "
                    L"their associations have been kept.",
                    stillOnDisk);
        AppendGroup(text,
                    L"The following programs are on drives on which the scan found no programs (a drive that was not "
                    L"selected for scanning, or one that could not be reached), so their associations have been kept.",
                    driveNotScanned);
        if (text.empty()) return;
        if (OptionsWindowServices* options = OptionsServices()) options->ShowInfo(text);
    });
}

void AddStaleNode(const std::vector<std::wstring>& fields) {
    ProcGuard guard;
    vb::List<std::vector<std::wstring>>& stale = State().Stale;
    for (const std::vector<std::wstring>& known : stale) {
        if (known.size() < fields.size()) continue;
        bool same = true;
        for (size_t k = 0; k < fields.size() && same; ++k) same = vb::TextEquals(known[k], fields[k]);
        if (same) return;
    }
    stale.Add(fields);
}

void RemoveStaleNodes() {
    TrappedVoid(L"RemoveStaleNodes", [] {
        if (State().Stale.UBound() < 1) return;
        if (OptionsWindowServices* options = OptionsServices()) {
            vb::List<HTREEITEM> nodes = options->GetNodesToBeRemoved();
            for (HTREEITEM node : nodes) options->RemoveProgram(node, false);
        }
        State().Stale.Clear();
        SaveUserChoices(true);
    });
}

std::wstring DescribeUserChoice(const std::vector<std::wstring>& fields) {
    return L"Status:     " + Field(fields, 3) + L"\r\n" +  //
           L"Extension:  " + Field(fields, 0) + L"\r\n" +  //
           L"Program:    " + Field(fields, 1) + L" " + Field(fields, 2) + L"\r\n" +
           L"Short Path: " + Field(fields, 5) + L"\r\n" +  //
           L"Long Path:  " + Field(fields, 4);
}

void SaveUserChoices(bool save) {
    UserChoiceState& state = State();
    if (state.Saving) return;
    if (save && state.SaveHolds > 0) {
        state.SaveWaiting = true;
        return;
    }
    state.Saving = true;
    if (save) {
        TrappedVoid(L"SaveUserChoices", [] {
            // Nothing was loaded from a data folder yet, so there is nowhere to save to.
            if (WorkingFolder().empty()) return;
            HourglassWhileSaving pointer;
            SaveOverrideFiles();
            SaveCategories();
            SaveAliases();
            if (OptionsWindowServices* options = OptionsServices()) options->SetNeedToSaveUserChoices(false);
            // What the user saved survives a crash of the process, not only the working folder.
            UpdateArchive();
        });
    }
    state.Saving = false;
}

UserChoicesSaveHold::UserChoicesSaveHold() { ++State().SaveHolds; }

UserChoicesSaveHold::~UserChoicesSaveHold() {
    UserChoiceState& state = State();
    if (--state.SaveHolds > 0 || !state.SaveWaiting) return;
    state.SaveWaiting = false;
    SaveUserChoices(true);
}

void SaveUserChoiceFile(const std::wstring& path, const vb::List<std::wstring>& list) {
    ProcGuard guard;
    WriteWorkingFile(path, UserChoiceFileText(list));
}

void RemoveUserChoice(const std::wstring& listName, long index) {
    ProcGuard guard;
    vb::List<std::wstring>* list = ListByName(listName);
    if (!list) return;
    if (index < 1) vb::Raise(vb::ErrSubscript);
    list->RemoveAt(index);
}

std::vector<std::wstring> GetListItemFields(const win::ListView& list, int item) {
    return {list.ItemText(item, 2), list.ItemText(item, 1), list.ItemText(item, 0),
            JoinPaths(list.ItemText(item, 4), list.ItemText(item, 3)), list.ItemText(item, 5)};
}
