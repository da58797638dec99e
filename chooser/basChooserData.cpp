#include "basChooserData.h"

#include <windows.h>

#include "basAliases.h"
#include "basData.h"
#include "basErrorHandler.h"
#include "basIniFile.h"
#include "basMessageHandler.h"
#include "basStrings.h"
#include "basTextFiles.h"
#include "basUserChoices.h"
#include "vb/VbText.h"
#include "vb/VbThreadState.h"

namespace {

ChooserDataFolder& FolderState() { return vb::ThreadInstance<ChooserDataFolder>(); }

// The options window's copy of the archive is no working file: one left by a window that died
// while unpacking would otherwise pass for a folder full of them.
bool AnyFile(const std::wstring& pattern) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return false;
    bool found = false;
    do {
        found = !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !vb::TextEquals(data.cFileName, ArchiveFileName);
    } while (!found && FindNextFileW(find, &data));
    FindClose(find);
    return found;
}

// A folder of this request's own below the working folder: another process's files are
// never in it, so removing it can never take them away.
std::wstring MakeOwnFolder(const std::wstring& workingFolder) {
    static unsigned long counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::wstring folder = JoinPaths(workingFolder, L"Chusel-" + std::to_wstring(GetCurrentProcessId()) +
                                                                 L"-" + std::to_wstring(++counter));
        if (CreateDirectoryW(folder.c_str(), nullptr)) return folder;
    }
    return {};
}

void RemoveOwnFolder(const std::wstring& folder) {
    if (folder.empty()) return;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(JoinPaths(folder, L"*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) continue;
            const std::wstring path = JoinPaths(folder, data.cFileName);
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(path.c_str());
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
}

// The chooser's UnpackFiles: the working folder's own files when it has any, else the archive
// unpacked into a folder of this request's own. Shows nothing.
bool ChooserUnpackFiles() {
    ProcGuard guard;
    ChooserDataFolder& state = FolderState();
    state.FolderExisted = GetWorkingFolder();
    const std::wstring workingFolder = WorkingFolder();
    state.WorkingFolder = workingFolder;
    if (AnyFile(JoinPaths(workingFolder, L"*.dat"))) {
        // Those of an open options window, say: read as they are.
        state.FilesExisted = true;
        UseDataFolder(workingFolder);
        return true;
    }
    state.OwnFolder = MakeOwnFolder(workingFolder);
    if (state.OwnFolder.empty()) return false;
    UseDataFolder(state.OwnFolder);
    if (!UnpackArchiveInto(GetArchivePath(), state.OwnFolder)) return false;
    if (FileExists(CategoryFilePath())) return true;
    // A damaged archive. The request is declined; the message goes nowhere while a request
    // is handled, for nobody is there to answer it.
    vb::Err().Clear();
    MessageHandler(MessageBase + 4502);
    return false;
}

// Removes only what this request unpacked, and the working folder only when this request made it.
void DeleteWorkingFiles() {
    ProcGuard guard;
    ChooserDataFolder& state = FolderState();
    RemoveOwnFolder(state.OwnFolder);
    // Only an empty folder goes: whatever another process put there meanwhile stays.
    if (!state.FolderExisted && !state.WorkingFolder.empty()) RemoveDirectoryW(state.WorkingFolder.c_str());
}

}  // namespace

const ChooserDataFolder& LastChooserDataFolder() { return FolderState(); }

bool LoadChooserData(ChooserData& data) {
    ProcGuard guard;
    // Each request starts afresh: nothing of an earlier request's folder or records counts.
    FolderState() = ChooserDataFolder{};
    AddList().Clear();
    RemoveList().Clear();
    DefList().Clear();
    Aliases().Clear();
    bool ok = false;
    try {
        ok = ChooserUnpackFiles();
        if (ok) {
            GetUserChoices(false);
            GetAliases();
        }
    } catch (...) {
        vb::Err().Clear();
        ok = false;
    }
    DeleteWorkingFiles();
    data.AddList = AddList();
    data.RemoveList = RemoveList();
    data.DefList = DefList();
    return ok;
}

std::optional<AliasShown> AliasShownByOriginal(const std::vector<std::wstring>& programFields) {
    const long index = AliasIndexByOriginal(programFields);
    if (index < 1 || index > Aliases().UBound()) return std::nullopt;
    const AliasRecord& record = Aliases()[index];
    return AliasShown{record.CompanyA, record.ProductA, record.VersionA};
}
