#include "basData.h"

#include <windows.h>

#include <cstdint>

#include "zip/ZipArchive.h"
#include "zip/ZipFiles.h"
#include "basErrorHandler.h"
#include "basIO.h"
#include "basIniFile.h"
#include "basMessageHandler.h"
#include "basStrings.h"
#include "basTextFiles.h"
#include "vb/VbError.h"
#include "vb/VbScreen.h"
#include "vb/VbText.h"
#include "vb/VbThreadState.h"

namespace {

struct DataFolderState {
    std::wstring WorkingFolder;
    std::wstring CategoryFilePath;
    std::wstring AliasFilePath;
    bool Unpacked = false;
};

DataFolderState& State() { return vb::ThreadInstance<DataFolderState>(); }

// Bounds of the waits: passes over the pending window events while the archive's copy
// appears, and further unzip attempts after the first.
constexpr int CopyWaitPasses = 100;
constexpr int UnzipAttempts = 10;
constexpr long ErrPathFileAccess = 75;

// The names of the plain files (not folders) directly in folder.
std::vector<std::wstring> FilesIn(const std::wstring& folder) { return FileNamesMatching(JoinPaths(folder, L"*.*")); }

using zip::files::FolderExists;

// The working files that belong in the archive: ".dat" and ".xml", never the archive's copy.
std::vector<std::wstring> FilesToPack(const std::wstring& folder) {
    std::vector<std::wstring> paths;
    for (const std::wstring& name : FilesIn(folder)) {
        if (!vb::EndsWith(name, L".dat") && !vb::EndsWith(name, L".xml")) continue;
        if (vb::TextEquals(name, ArchiveFileName)) continue;
        paths.push_back(JoinPaths(folder, name));
    }
    return paths;
}

// Writes the archive from the working files; false when there was nothing to pack.
bool PackWorkingFiles(std::vector<std::wstring>& packed) {
    DataFolderState& state = State();
    if (!state.Unpacked || state.WorkingFolder.empty()) return false;
    packed = FilesToPack(state.WorkingFolder);
    if (packed.empty()) return false;
    const std::wstring archive = GetArchivePath();
    // Only what changed is compressed again. A member whose file has gone from the folder (a
    // temp-folder cleaner, say; the program deletes none of them) stays as it was.
    zip::ZipResult result = zip::UpdateFiles(archive, packed, ArchivePassword, true);
    if (result != zip::ZipResult::Ok)
        vb::Raise(ErrPathFileAccess, std::nullopt,
                  L"The data file " + archive + L" could not be written: " + zip::ZipResultText(result));
    return true;
}

uint64_t LastWriteOf(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<uint64_t>(data.ftLastWriteTime.dwHighDateTime) << 32) | data.ftLastWriteTime.dwLowDateTime;
}

// Whether the working folder holds a set of working files (the category file among them) of
// which one was written after the archive: work that has not reached the archive. Files that
// an unpack wrote carry their members' times, older than the archive.
bool NewerWorkingFilesThanArchive(const std::wstring& folder) {
    const uint64_t archive = LastWriteOf(GetArchivePath());
    if (archive == 0 || !FileExists(JoinPaths(folder, L"Tesselcat.xml"))) return false;
    for (const std::wstring& path : FilesToPack(folder))
        if (LastWriteOf(path) > archive) return true;
    return false;
}

}  // namespace

const std::wstring& WorkingFolder() { return State().WorkingFolder; }
const std::wstring& CategoryFilePath() { return State().CategoryFilePath; }
const std::wstring& AliasFilePath() { return State().AliasFilePath; }

void UseDataFolder(const std::wstring& folder) {
    DataFolderState& state = State();
    state.WorkingFolder = folder;
    state.CategoryFilePath = JoinPaths(folder, L"Tesselcat.xml");
    state.AliasFilePath = JoinPaths(folder, L"Tesselma.xml");
}

std::wstring GetAddFilePath() { return JoinPaths(WorkingFolder(), L"TesselAdd.dat"); }
std::wstring GetDefFilePath() { return JoinPaths(WorkingFolder(), L"TesselDef.dat"); }
std::wstring GetDelFilePath() { return JoinPaths(WorkingFolder(), L"TesselDel.dat"); }
std::wstring GetExeFilePath() { return JoinPaths(WorkingFolder(), L"TesselExe.dat"); }
std::wstring GetSnapshotFilePath() { return JoinPaths(WorkingFolder(), L"TesselAsscSS.xml"); }
std::wstring GetRecoveryFolder() { return JoinPaths(WorkingFolder(), L"Recovery"); }
std::wstring GetExeListRecoveryPath() { return JoinPaths(GetRecoveryFolder(), L"Exe.lst"); }
std::wstring GetExeDetailRecoveryPath() { return JoinPaths(GetRecoveryFolder(), L"ExeDetail.lst"); }
std::wstring GetMessagesFolder() { return JoinPaths(RootFolder(), L"Messages", {L"Lumox"}); }

std::wstring WorkingFolderPath() {
    // Sized by a first call: a long temporary path must not leave a relative "Lopt" that
    // would put the working folder (and its clearing out) under the current directory.
    std::wstring temp(GetTempPathW(0, nullptr), L'\0');
    DWORD n = temp.empty() ? 0 : GetTempPathW(static_cast<DWORD>(temp.size()), temp.data());
    temp.resize(n < temp.size() ? n : 0);
    size_t slash = temp.find_last_of(L'\\');
    return (slash == std::wstring::npos ? std::wstring() : temp.substr(0, slash + 1)) + L"Lopt";
}

bool GetWorkingFolder() {
    ProcGuard guard;
    const std::wstring folder = WorkingFolderPath();
    State().WorkingFolder = folder;
    if (FolderExists(folder)) return true;
    CreateDirectoryW(folder.c_str(), nullptr);
    return false;
}

namespace {

// Whether another program lets the file be read now.
bool ReadableFile(const std::wstring& path) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                              nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    CloseHandle(file);
    return true;
}

}  // namespace

bool UnpackArchiveInto(const std::wstring& archivePath, const std::wstring& folder,
                       std::vector<std::wstring>* written, zip::ZipResult* outcome) {
    ProcGuard guard;
    const std::wstring copy = JoinPaths(folder, ArchiveFileName);
    const std::wstring categoryFile = JoinPaths(folder, L"Tesselcat.xml");
    if (!CopyFileW(archivePath.c_str(), copy.c_str(), FALSE) && ReadableFile(archivePath)) {
        // The archive reads but its copy cannot be written: the working folder is full or
        // not writable. An archive that cannot be read is left to the unpack to report.
        DeleteFileW(copy.c_str());
        if (outcome) *outcome = zip::ZipResult::WriteFailed;
        return false;
    }
    // The copy may still be on its way when the copy call returns on some file systems.
    int counter = 0;
    do {
        vb::DoEvents();
        ++counter;
    } while (!FileExists(copy) && counter <= CopyWaitPasses);

    counter = 0;
    bool succeeded = false;
    zip::ZipResult last = zip::ZipResult::CannotOpen;
    do {
        std::vector<std::wstring> files;
        last = zip::UnpackFiles(copy, folder, ArchivePassword, &files);
        succeeded = last == zip::ZipResult::Ok;
        vb::DoEvents();
        if (written) written->insert(written->end(), files.begin(), files.end());
        vb::DoEvents();
        ++counter;
    } while (!FileExists(categoryFile) && counter <= UnzipAttempts && !succeeded);

    DeleteFileW(copy.c_str());
    if (outcome) *outcome = last;
    return succeeded;
}

namespace {

// Whether a failed unpack says the archive itself is missing or bad, so that replacing it with
// the first copy is the cure; a local trouble (a full temp folder, an archive held open by
// another program) leaves a sound archive that must not be replaced.
bool ArchiveItselfFailed(const std::wstring& archive, zip::ZipResult result, bool categoryFileMissing) {
    if (GetFileAttributesW(archive.c_str()) == INVALID_FILE_ATTRIBUTES) return true;
    switch (result) {
        case zip::ZipResult::NotZip:
        case zip::ZipResult::Damaged:
        case zip::ZipResult::BadPassword:
        case zip::ZipResult::CrcMismatch:
        case zip::ZipResult::Unsupported:
        case zip::ZipResult::UnsafeName:
            return true;
        case zip::ZipResult::Ok:
            return categoryFileMissing;
        default:
            return false;
    }
}

void ReportLocalUnpackFailure(const std::wstring& archive, const std::wstring& folder, zip::ZipResult result) {
    CurrentMessagePresenter().Beep();
    CurrentMessagePresenter().Show(LocalUnpackFailureText(archive, folder, result), MB_OK | MB_ICONEXCLAMATION,
                                   vb::ProjectName());
}

}  // namespace

std::wstring LocalUnpackFailureText(const std::wstring& archive, const std::wstring& folder, zip::ZipResult result) {
    const std::wstring cause =
        result == zip::ZipResult::WriteFailed
            ? L"Its files could not be written to the folder " + folder +
                  L" (the disk may be full, or the folder or a file in it may be read-only or in use)."
            : L"It could not be read: another program (a backup or virus checker, say) may be holding it open.";
    return L"Your settings could not be opened from " + archive + L".\r\n\r\n" + cause +
           L"\r\n\r\nYour data file itself is fine: do not replace it. " +
           (result == zip::ZipResult::WriteFailed
                ? L"Make room on that disk or free the folder, then open the options again."
                : L"Close other programs that may be using it, then open the options again.");
}

bool UnpackFiles() {
    ProcGuard guard;
    DataFolderState& state = State();
    state.Unpacked = false;
    GetWorkingFolder();
    UseDataFolder(state.WorkingFolder);

    // Working files that a closing could not pack (or saved after the last update of the
    // archive) go into the archive before anything is deleted; when the archive still cannot
    // be written they are used as they are.
    if (NewerWorkingFilesThanArchive(state.WorkingFolder)) {
        std::vector<std::wstring> packed = FilesToPack(state.WorkingFolder);
        if (zip::UpdateFiles(GetArchivePath(), packed, ArchivePassword, true) != zip::ZipResult::Ok) {
            MessageHandler(MessageBase + 4549);
            state.Unpacked = true;
            return true;
        }
    }

    // Files left over from an earlier run that ended without packing.
    std::vector<std::wstring> leftovers = FilesIn(state.WorkingFolder);
    if (!leftovers.empty()) {
        for (const std::wstring& name : leftovers) DeleteFileW(JoinPaths(state.WorkingFolder, name).c_str());
        vb::DoEvents();
    }

    bool result = false;
    zip::ZipResult outcome = zip::ZipResult::CannotOpen;
    try {
        result = UnpackArchiveInto(GetArchivePath(), state.WorkingFolder, nullptr, &outcome) &&
                 FileExists(state.CategoryFilePath);
    } catch (...) {
        result = false;
    }
    if (!result) {
        vb::Err().Clear();
        // The archive is missing, damaged, or lacks the category file: the user is told how to
        // put the first copy in place. Anything else is no fault of the archive.
        if (ArchiveItselfFailed(GetArchivePath(), outcome, !FileExists(state.CategoryFilePath)))
            MessageHandler(MessageBase + 4521);
        else
            ReportLocalUnpackFailure(GetArchivePath(), state.WorkingFolder, outcome);
    }
    state.Unpacked = result;
    return result;
}

void PackFiles() {
    ProcGuard guard;
    std::vector<std::wstring> packed;
    if (!PackWorkingFiles(packed)) {
        if (State().Unpacked) RemoveWorkingFolder();
        return;
    }
    for (const std::wstring& path : packed) DeleteFileW(path.c_str());
    State().Unpacked = false;
    RemoveWorkingFolder();
}

void PackFilesOnClose() {
    try {
        PackFiles();
    } catch (...) {
        vb::CaptureCurrentException();
        vb::Err().Clear();
        MessageHandler(MessageBase + 4549);
    }
}

void UpdateArchive() {
    ProcGuard guard;
    std::vector<std::wstring> packed;
    PackWorkingFiles(packed);
}

void RemoveWorkingFolder() {
    ProcGuard guard;
    const std::wstring& folder = WorkingFolder();
    if (!folder.empty()) RemoveDirectoryW(folder.c_str());
}

bool WorkingFilesUnpacked() { return State().Unpacked; }
