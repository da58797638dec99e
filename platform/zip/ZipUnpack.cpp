#include <windows.h>

#include <cwchar>
#include <utility>

#include <zlib.h>

#include "zip/ZipArchive.h"
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

// Writes each member, as the reader passes its bytes, to a new temporary file beside its
// place, with the member's time; the files stay under their temporary names until every member
// was read and checked.
class TemporaryWriter final : public detail::MemberWriter {
public:
    explicit TemporaryWriter(const std::wstring& folder) : folder_(folder) {}
    ~TemporaryWriter() override { Discard(); }

    bool Begin(const std::wstring& name, uint32_t) override {
        if (names.empty() && !FolderExists()) return false;
        names.push_back(name);
        temps.emplace_back();
        crcs.push_back(0);
        file_ = CreateTemporary(files::JoinPath(folder_, name), temps.back());
        return file_.valid();
    }
    bool Put(const uint8_t* data, size_t size) override {
        crcs.back() = static_cast<uint32_t>(crc32_z(crcs.back(), data, size));
        return files::WriteAll(file_.get(), data, size);
    }
    bool End(const FILETIME& modified) override {
        if (!SetFileTime(file_.get(), nullptr, nullptr, &modified)) return false;
        return file_.Close();
    }
    bool FolderExists() const { return files::FolderExists(folder_); }
    // Removes the temporary files that have not taken their places.
    void Discard() {
        file_.Close();
        for (auto& path : temps)
            if (!path.empty()) DeleteFileW(path.c_str());
        temps.clear();
        names.clear();
        crcs.clear();
    }

    std::vector<std::wstring> names;  // the members begun, in archive order
    std::vector<std::wstring> temps;  // their temporary files; emptied once in place
    std::vector<uint32_t> crcs;       // the CRC-32 of what each was given

private:
    std::wstring folder_;
    files::FileHandle file_;
};

}  // namespace

ZipResult UnpackFiles(const std::wstring& archivePath, const std::wstring& folder, const std::string& password,
                      std::vector<std::wstring>* written) {
    if (written) written->clear();
    uint64_t archiveSize = 0;
    FILETIME archiveTime{};
    const bool stamped = files::SizeAndTime(archivePath, archiveSize, archiveTime);
    // Every member goes to a temporary file first and is checked (size and CRC) as it is
    // written; a bad member or a failed write removes them all, so nothing takes the place of
    // a file unless the whole archive is sound. Then each is renamed into place. A file it
    // replaces waits beside it until all are in place, so that a failure puts it back.
    TemporaryWriter writer(folder);
    ZipResult result = detail::ReadArchive(archivePath, password, writer);
    if (result != ZipResult::Ok) {
        writer.Discard();
        return result;
    }
    if (writer.names.empty() && !writer.FolderExists()) return ZipResult::WriteFailed;

    std::vector<std::wstring> placed;
    std::vector<std::pair<std::wstring, std::wstring>> aside;  // a replaced file, and where it waits
    auto undo = [&]() {
        writer.Discard();
        for (const auto& path : placed) DeleteFileW(path.c_str());
        for (const auto& [target, waiting] : aside)
            MoveFileExW(waiting.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING);
        return ZipResult::WriteFailed;
    };
    for (size_t i = 0; i < writer.names.size(); ++i) {
        const std::wstring target = files::JoinPath(folder, writer.names[i]);
        const std::wstring& temp = writer.temps[i];
        // The rename refuses to replace: a file already there is first set aside.
        if (!MoveFileExW(temp.c_str(), target.c_str(), 0)) {
            const DWORD existing = GetFileAttributesW(target.c_str());
            if (existing == INVALID_FILE_ATTRIBUTES || (existing & FILE_ATTRIBUTE_DIRECTORY)) return undo();
            const std::wstring waiting = temp + L".old";
            if (!MoveFileExW(target.c_str(), waiting.c_str(), MOVEFILE_REPLACE_EXISTING)) return undo();
            aside.emplace_back(target, waiting);
            if (!MoveFileExW(temp.c_str(), target.c_str(), 0)) return undo();
        }
        writer.temps[i].clear();
        placed.push_back(target);
    }
    for (const auto& [target, waiting] : aside) DeleteFileW(waiting.c_str());
    // Every member was checked: an update may copy this archive's stored bytes, and need not
    // read a file placed here again while it stays as it is.
    if (stamped) detail::RememberUnpackedArchive(archivePath, archiveSize, archiveTime);
    for (size_t i = 0; i < placed.size(); ++i) detail::RememberFileAsItIs(placed[i], writer.crcs[i]);
    if (written) *written = std::move(placed);
    return ZipResult::Ok;
}

}  // namespace zip
