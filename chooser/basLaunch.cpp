#include "basLaunch.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdio>

#include "basDescriptions.h"
#include "basErrorHandler.h"
#include "basIO.h"
#include "basStrings.h"
#include "vb/VbApp.h"
#include "vb/VbText.h"

namespace {

const wchar_t kMarkerResting[] = L"Bl1.ok";
const wchar_t kMarkerArmed[] = L"Bl1.ign";

// Field 0 of an override line; an empty line has no fields and raises, as the list's own
// look-up does.
std::wstring KeyField(const std::wstring& line) {
    std::vector<std::wstring> fields = vb::Split(line, L"|");
    if (fields.empty()) vb::Raise(vb::ErrSubscript);
    return fields[0];
}

}  // namespace

std::wstring GetAppPath() { return vb::AppPath(); }

std::wstring FindExecutableForFile(const std::wstring& File) {
    wchar_t buffer[MAX_PATH + 1] = {};
    FindExecutableW(File.c_str(), nullptr, buffer);
    return std::wstring(buffer);
}

std::wstring GetWindowsDefaultProgram(const std::wstring& File) {
    ProcGuard guard;
    const std::wstring program = FindExecutableForFile(File);
    const std::wstring shortPath = GetDosPath(vb::Variant(program));
    const FileVersionInfo info = GetFileInfo(shortPath);
    const std::wstring company = CleanCompanyName(info.CompanyName, L"Missing Info.");
    if (company.empty()) return {};
    std::wstring description;
    const std::wstring fileDescription = vb::Trim(info.FileDescription);
    if (!fileDescription.empty())
        description = company + L" - " + fileDescription;
    else if (!info.ProductName.empty())
        description = company + L"- " + info.ProductName;
    const std::wstring version = CleanFieldText(info.FileVersion);
    if (version.find(L'.') == std::wstring::npos || description.empty()) return {};
    return description + L"|" + version + L"|" + L"OK" + L"|" + program + L"|" + shortPath;
}

long FindRecordRun(const std::wstring& Key, const vb::List<std::wstring>& Records, long& Last) {
    ProcGuard guard;
    Last = 0;
    const long upper = Records.UBound();
    for (long i = 1; i <= upper; ++i) {
        if (!vb::TextEquals(KeyField(Records[i]), Key)) continue;
        Last = i + 1;
        while (Last <= upper && vb::TextEquals(KeyField(Records[Last]), Key)) ++Last;
        --Last;
        return i;
    }
    return upper + 1;
}

long LaunchProgram(const std::wstring& Program, const std::wstring& File, const std::wstring& Verb) {
    ProcGuard guard;
    const std::wstring verb = Verb.empty() ? std::wstring(L"open") : Verb;
    const ProgramPathRecord record = GetFileType(File);
    const std::wstring folder = JoinPaths(record.PathRoot.IsEmpty() ? std::wstring() : record.PathRoot.ToString(),
                                          record.Folder.IsEmpty() ? std::wstring() : record.Folder.ToString());
    // A path with a blank would reach the program as two arguments.
    const std::wstring parameters = File.find(L' ') != std::wstring::npos ? L"\"" + File + L"\"" : File;
    SHELLEXECUTEINFOW info{};
    info.cbSize = sizeof(info);
    // The shell's caller is waiting on this request: a failure comes back as a code, never a box.
    info.fMask = SEE_MASK_FLAG_NO_UI;
    info.hwnd = GetDesktopWindow();
    info.lpVerb = verb.c_str();
    info.lpFile = Program.c_str();
    info.lpParameters = parameters.c_str();
    info.lpDirectory = folder.empty() ? nullptr : folder.c_str();
    info.nShow = SW_SHOWNORMAL;
    // A hook on the way may have left its own success code behind a failed start.
    if (!ShellExecuteExW(&info)) {
        const long code = static_cast<long>(reinterpret_cast<INT_PTR>(info.hInstApp));
        return code <= 32 ? code : 0;
    }
    return static_cast<long>(reinterpret_cast<INT_PTR>(info.hInstApp));
}

bool CheckIgnoreMarker(const std::wstring& folder) {
    const std::wstring armed = JoinPaths(folder, kMarkerArmed);
    if (!FileExists(armed)) return false;
    // An armed marker that cannot be put back would decline every later request: remove it.
    if (!MoveFileExW(armed.c_str(), JoinPaths(folder, kMarkerResting).c_str(), MOVEFILE_REPLACE_EXISTING))
        DeleteFileW(armed.c_str());
    return true;
}

void SetIgnoreMarker(const std::wstring& folder) {
    const std::wstring resting = JoinPaths(folder, kMarkerResting);
    const std::wstring armed = JoinPaths(folder, kMarkerArmed);
    if (FileExists(resting)) {
        if (MoveFileExW(resting.c_str(), armed.c_str(), MOVEFILE_REPLACE_EXISTING)) return;
        // Without an armed marker the launch's own request would show the list again.
        DeleteFileW(resting.c_str());
    }
    FILE* f = _wfopen(armed.c_str(), L"wb");
    if (!f) return;
    fputs(" \r\n", f);
    fclose(f);
}
