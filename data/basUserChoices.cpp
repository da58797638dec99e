#include "basUserChoices.h"

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

const std::wstring& Field(const std::vector<std::wstring>& fields, size_t index) {
    static const std::wstring empty;
    return index < fields.size() ? fields[index] : empty;
}

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

void SaveOverrideFiles() {
    SaveUserChoiceFile(GetAddFilePath(), State().Add);
    SaveUserChoiceFile(GetDelFilePath(), State().Remove);
    SaveUserChoiceFile(GetDefFilePath(), State().Def);
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

void LoadUserChoiceFile(const std::wstring& path) {
    ProcGuard guard;
    try {
        vb::List<std::wstring>* list = nullptr;
        if (vb::EndsWith(path, L"Add.dat"))
            list = &State().Add;
        else if (vb::EndsWith(path, L"Del.dat"))
            list = &State().Remove;
        else if (vb::EndsWith(path, L"Def.dat"))
            list = &State().Def;
        std::vector<std::wstring> lines;
        if (!ReadTextLines(path, lines) || !list) return;
        vb::List<std::wstring> loaded;
        for (std::wstring& line : lines) loaded.Add(std::move(line));
        *list = std::move(loaded);
    } catch (...) {
        vb::Err().Clear();
    }
}

void CleanUserData() {
    TrappedVoid(L"CleanUserData", [] {
        UserChoiceState& state = State();
        state.Stale.Clear();
        // Without a program list there is nothing to check the entries against.
        if (ProgramLineLast() < 0 || ProgramLines().empty()) return;

        std::vector<std::wstring> descriptions;
        for (vb::List<std::wstring>* list : {&state.Add, &state.Remove, &state.Def}) {
            for (long i = 1; i <= list->UBound();) {
                const std::wstring& entry = (*list)[i];
                std::vector<std::wstring> fields = vb::Split(entry, L"|");
                // Blank and malformed lines are left alone.
                if (entry.empty() || fields.size() < UserChoiceFieldCount || IsLineAsArrayValidExe(fields)) {
                    ++i;
                    continue;
                }
                std::wstring description = DescribeUserChoice(fields);
                bool known = false;
                for (const std::wstring& d : descriptions) known = known || vb::TextEquals(d, description);
                if (!known) descriptions.push_back(std::move(description));
                AddStaleNode(fields);
                list->RemoveAt(i);
            }
        }
        if (descriptions.empty()) return;

        SaveOverrideFiles();
        UpdateArchive();

        std::wstring text =
            L"The following associations have been removed because they are referring to programs that no longer "
            L"exist on your computer.\r\n\r\n";
        for (const std::wstring& d : descriptions) text += d + L"\r\n\r\n";
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
    std::wstring text;
    for (const std::wstring& line : list) {
        text += line;
        text += L"\r\n";
    }
    WriteTextFileReplacing(path, text);
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
