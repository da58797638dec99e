#include <windows.h>

#include <cwchar>
#include <utility>

#include "zip/ZipArchive.h"
#include <zlib.h>

#include "zip/ZipFiles.h"
#include "zip/ZipLedger.h"
#include "zip/ZipReader.h"

namespace zip {

namespace {

// Creates a new file for a member beside its final place, under a name of this call's own
// that ends in neither ".dat" nor ".xml", so nobody takes it for a data file.
files::FileHandle CreateTemporary(const std::wstring& target, std::wstring& tempPath) {
    static LONG counter = 0;
    for (int attempt = 0; attempt < 100; ++attempt) {
        wchar_t suffix[40];
        swprintf(suffix, 40, L".%lx-%lx.part", GetCurrentProcessId(),
                 static_cast<unsigned long>(InterlockedIncrement(&counter)));
        std::wstring path = target + suffix;
        HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) {
            tempPath = path;
            return files::FileHandle(h);
        }
        if (GetLastError() != ERROR_FILE_EXISTS && GetLastError() != ERROR_ALREADY_EXISTS) break;
    }
    return files::FileHandle();
}

// Writes one member to a new temporary file, with the member's time.
bool WriteTemporary(const std::wstring& target, const detail::Member& member, std::wstring& tempPath) {
    files::FileHandle file = CreateTemporary(target, tempPath);
    if (!file.valid()) return false;
    if (!files::WriteAll(file.get(), member.data.data(), member.data.size())) return false;
    if (!SetFileTime(file.get(), nullptr, nullptr, &member.modified)) return false;
    return file.Close();
}

}  // namespace

ZipResult UnpackFiles(const std::wstring& archivePath, const std::wstring& folder, const std::string& password,
                      std::vector<std::wstring>* written) {
    if (written) written->clear();
    uint64_t archiveSize = 0;
    FILETIME archiveTime{};
    const bool stamped = detail::SizeAndTime(archivePath, archiveSize, archiveTime);
    std::vector<detail::Member> members;
    ZipResult result = detail::ReadArchive(archivePath, password, members);
    if (result != ZipResult::Ok) return result;

    DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return ZipResult::WriteFailed;

    // Every member goes to a temporary file first, so a failure midway never leaves a
    // half-written member under its real name; then each is renamed into place. A file it
    // replaces waits beside it until all are in place, so that a failure puts it back.
    std::vector<std::wstring> temps;
    std::vector<std::wstring> placed;
    std::vector<std::pair<std::wstring, std::wstring>> aside;  // a replaced file, and where it waits
    auto undo = [&]() {
        for (const auto& path : temps)
            if (!path.empty()) DeleteFileW(path.c_str());
        for (const auto& path : placed) DeleteFileW(path.c_str());
        for (const auto& [target, waiting] : aside)
            MoveFileExW(waiting.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING);
        return ZipResult::WriteFailed;
    };
    for (const auto& member : members) {
        std::wstring temp;
        bool ok = WriteTemporary(files::JoinPath(folder, member.name), member, temp);
        if (!temp.empty()) temps.push_back(temp);
        if (!ok) return undo();
    }
    for (size_t i = 0; i < members.size(); ++i) {
        std::wstring target = files::JoinPath(folder, members[i].name);
        const DWORD existing = GetFileAttributesW(target.c_str());
        if (existing != INVALID_FILE_ATTRIBUTES && !(existing & FILE_ATTRIBUTE_DIRECTORY)) {
            const std::wstring waiting = temps[i] + L".old";
            if (!MoveFileExW(target.c_str(), waiting.c_str(), MOVEFILE_REPLACE_EXISTING)) return undo();
            aside.emplace_back(target, waiting);
        }
        if (!MoveFileExW(temps[i].c_str(), target.c_str(), 0)) return undo();
        temps[i].clear();
        placed.push_back(target);
    }
    for (const auto& [target, waiting] : aside) DeleteFileW(waiting.c_str());
    // Every member was checked: an update may copy this archive's stored bytes, and need not
    // read a file placed here again while it stays as it is.
    if (stamped) detail::RememberUnpackedArchive(archivePath, archiveSize, archiveTime);
    for (size_t i = 0; i < members.size(); ++i) {
        const std::vector<uint8_t>& data = members[i].data;
        detail::RememberFileAsItIs(placed[i], static_cast<uint32_t>(crc32_z(0, data.data(), data.size())));
    }
    if (written) *written = std::move(placed);
    return ZipResult::Ok;
}

}  // namespace zip
