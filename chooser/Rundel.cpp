#include "Rundel.h"

#include <windows.h>

#include "ChuselMessages.h"
#include "basErrorHandler.h"
#include "basIO.h"
#include "basLaunch.h"
#include "basWinAPI_Windows.h"
#include "vb/VbText.h"

namespace {

const wchar_t kWindowsDefaultSuffix[] = L"    [Windows Default]";
const COLORREF kBlack = 0;

// The thread's request is under way. The list's wait, and the archive's, let window messages
// run, and with them any request that COM hands this thread meanwhile.
thread_local bool t_busy = false;

// A field that is not there is an index error, which declines the request.
const std::wstring& Field(const std::vector<std::wstring>& fields, size_t index) {
    if (index >= fields.size()) vb::Raise(vb::ErrSubscript);
    return fields[index];
}

// Whether a directory search for normal files with path as the pattern finds one.
bool NormalFileFound(const std::wstring& path) {
    return FirstFileWhere(path, [](const WIN32_FIND_DATAW& data) {
        return !(data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM));
    });
}

bool VerbPasses(const std::wstring& verbLine) {
    for (const std::wstring& verb : vb::Split(L"open, new, play", L", "))
        if (vb::InStr(verbLine, verb, vb::TextCompare) != 0) return true;
    return false;
}

// Starts the program of an override line with the file's short path. The marker is armed
// first, so that the launch's own request, coming back through the hook, is declined; any
// marker still armed afterwards is taken back, so that the user's next open is not skipped.
long LaunchEntry(ChooserServices& services, const std::wstring& entry, const std::wstring& shortPath) {
    const std::vector<std::wstring> fields = vb::Split(entry, L"|");
    const std::wstring& program = Field(fields, 4);
    const std::wstring markers = services.MarkerFolder();
    SetIgnoreMarker(markers);
    long started = 0;
    try {
        // A program file has one verb for sure: "open".
        started = services.Launch(program, shortPath, L"");
    } catch (...) {
        CheckIgnoreMarker(markers);
        throw;
    }
    CheckIgnoreMarker(markers);
    // Not started (no such program, say): the shell opens the file instead.
    return started > 32 ? 0 : 1;
}

long HandleRequest(const std::wstring& rsParams, ChooserServices& services) {
    ChooserData data;
    GetWindowsFolder();
    GetSystemFolder();
    LoadSearchPaths();

    if (CheckIgnoreMarker(services.MarkerFolder())) return 1;
    // One request at a time (one list on the screen): a request meanwhile goes to the shell.
    if (t_busy) return 1;
    BusyScope busy(t_busy);

    const std::vector<std::wstring> lines = vb::Split(rsParams, L"\r\n");
    if (!VerbPasses(Field(lines, 0))) return 1;

    const ProgramPathRecord record = GetFileType(Field(lines, 2));
    std::wstring key = L"." + (record.ProgramExtension.IsEmpty() ? std::wstring() : record.ProgramExtension.ToString());
    if (vb::TextEquals(key, L".exe") || vb::TextEquals(key, L".dll") || vb::TextEquals(key, L".vxd")) return 1;

    const std::wstring& file = Field(lines, 2);
    if (vb::InStr(Field(lines, 7), L"Launched", vb::TextCompare) != 0) {
        if (file.empty() || !NormalFileFound(file)) return 1;
    }

    const std::wstring& verbLine = Field(lines, 0);
    const size_t open = vb::InStr(verbLine, L"open", vb::TextCompare);
    if (open != 0) {
        const std::wstring verb = vb::RTrim(verbLine.substr(open - 1));
        if (vb::TextEquals(verb, L"openas") || vb::TextEquals(verb, L"Open With...")) key = L"*";
    }

    const std::wstring shortPath = GetDosPath(vb::Variant(file));
    if (shortPath.empty()) return 1;

    if (!services.LoadData(data)) return 1;

    long last = 0;
    long first = FindRecordRun(key, data.DefList, last);
    if (first <= last) return LaunchEntry(services, data.DefList[first], shortPath);

    // An extension the user took the Windows program away from gets no Windows row.
    FindRecordRun(key, data.RemoveList, last);
    const bool windowsRemoved = last != 0;
    std::vector<std::wstring> windows;
    if (!windowsRemoved) {
        try {
            windows = vb::Split(services.WindowsDefaultProgram(file), L"|");
        } catch (...) {
            vb::Err().Clear();
            windows = {std::wstring()};
        }
    }

    first = FindRecordRun(key, data.AddList, last);
    if (first > last) return 1;

    std::vector<ListRow> rows;
    long row = 0;
    long windowsRow = -1;
    bool windowsFound = false;
    for (long i = first; i <= last; ++i) {
        std::wstring suffix;
        const std::vector<std::wstring> fields = vb::Split(data.AddList[i], L"|");
        if (!windowsRemoved && windows.size() > 1 && !windowsFound &&
            vb::TextEquals(Field(fields, 5), Field(windows, 4))) {
            suffix = kWindowsDefaultSuffix;
            windowsRow = row;
            windowsFound = true;
        }
        // The alias is looked up by the entry's program fields: description to short path.
        const std::vector<std::wstring> programFields{Field(fields, 1), Field(fields, 2), Field(fields, 3),
                                                      Field(fields, 4), Field(fields, 5)};
        ListRow r;
        r.tag = row;
        if (std::optional<AliasShown> alias = services.FindAlias(programFields)) {
            r.text = alias->CompanyA + L" - " + alias->ProductA;
            r.extraInfo = alias->VersionA + suffix;
            r.color = kAliasColour;
        } else {
            r.text = Field(fields, 1);
            r.extraInfo = Field(fields, 2) + suffix;
            r.color = kBlack;
        }
        rows.push_back(r);
        ++row;
    }

    if (!windowsRemoved && !windowsFound) {
        ListRow r;
        r.tag = row;
        r.color = kBlack;
        if (windows.size() > 1) {
            r.text = windows[0];
            r.extraInfo = windows[1] + kWindowsDefaultSuffix;
        } else {
            r.text = L"Windows Default";
            r.extraInfo = L"No version info.";
        }
        windowsRow = row;
        rows.push_back(r);
        ++row;
    }

    // The user's one program, with nothing else to choose from, starts at once.
    if (windowsRemoved && rows.size() == 1) return LaunchEntry(services, data.AddList[first], shortPath);
    if (rows.size() < 2) return 1;

    long chosen = services.ShowList(L"  [" + key + L"] - Morva Lumox Choices ", rows);
    if (chosen == kListNotSized) return 1;
    ChosenIndex() = chosen - 1;
    chosen = ChosenIndex();
    if (chosen < 0) return 0;
    if (chosen == windowsRow) return 1;
    if (chosen >= static_cast<long>(rows.size())) return 1;
    return LaunchEntry(services, data.AddList[first + chosen], shortPath);
}

}  // namespace

long Rundel(const std::wstring& rsParams, ChooserServices& services) {
    // The shell waits on this call: no box may appear, whatever happens inside.
    RequestSilence silence;
    ProcGuard guard;
    long result = 1;
    try {
        result = HandleRequest(rsParams, services);
    } catch (...) {
        result = 1;
    }
    vb::Err().Clear();
    return result;
}
