#include <windows.h>

#include "zip/ZipArchive.h"
#include "zip/ZipFiles.h"
#include "zip/ZipReader.h"

namespace zip {

namespace {

// Writes one member to a new temporary file in the folder, with the member's time.
bool WriteTemporary(const std::wstring& folder, const detail::Member& member, std::wstring& tempPath) {
    wchar_t path[MAX_PATH];
    if (!GetTempFileNameW(folder.c_str(), L"unz", 0, path)) return false;
    tempPath = path;
    files::FileHandle file(CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return false;
    if (!files::WriteAll(file.get(), member.data.data(), member.data.size())) return false;
    if (!SetFileTime(file.get(), nullptr, nullptr, &member.modified)) return false;
    return file.Close();
}

}  // namespace

ZipResult UnpackFiles(const std::wstring& archivePath, const std::wstring& folder, const std::string& password,
                      std::vector<std::wstring>* written) {
    if (written) written->clear();
    std::vector<detail::Member> members;
    ZipResult result = detail::ReadArchive(archivePath, password, members);
    if (result != ZipResult::Ok) return result;

    DWORD attributes = GetFileAttributesW(folder.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_DIRECTORY))
        return ZipResult::WriteFailed;

    // Every member goes to a temporary file first, so a failure midway never leaves a
    // half-written member under its real name; then each is renamed into place.
    std::vector<std::wstring> temps;
    std::vector<std::wstring> placed;
    auto undo = [&]() {
        for (const auto& path : temps) DeleteFileW(path.c_str());
        for (const auto& path : placed) DeleteFileW(path.c_str());
        return ZipResult::WriteFailed;
    };
    for (const auto& member : members) {
        std::wstring temp;
        bool ok = WriteTemporary(folder, member, temp);
        if (!temp.empty()) temps.push_back(temp);
        if (!ok) return undo();
    }
    for (size_t i = 0; i < members.size(); ++i) {
        std::wstring target = files::JoinPath(folder, members[i].name);
        if (!MoveFileExW(temps[i].c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING)) return undo();
        temps[i].clear();
        placed.push_back(target);
    }
    if (written) *written = std::move(placed);
    return ZipResult::Ok;
}

}  // namespace zip
