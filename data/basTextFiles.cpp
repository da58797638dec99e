#include "basTextFiles.h"

#include <windows.h>

#include <cstdint>
#include <string_view>

#include <zlib.h>

#include "basErrorHandler.h"
#include "vb/VbError.h"
#include "vb/VbText.h"
#include "zip/ZipArchive.h"
#include "zip/ZipFiles.h"

namespace {

constexpr long ErrPathFileAccess = 75;

using zip::files::FileHandle;

[[noreturn]] void RaiseFileError(const std::wstring& what, const std::wstring& path, DWORD code) {
    SetLastError(code);
    vb::NoteLastDllError();
    std::wstring text = what + L" " + path;
    std::wstring system = GetSystemErrorText(static_cast<long>(code));
    if (!system.empty()) text += L": " + system;
    vb::Raise(ErrPathFileAccess, std::nullopt, text);
}

uint32_t CrcOf(std::string_view bytes) {
    return static_cast<uint32_t>(crc32_z(0, reinterpret_cast<const Bytef*>(bytes.data()), bytes.size()));
}

// Reads the whole file; lastWrite receives its time as the read began, and unchanged tells
// whether the time was still the same when the read ended. False when the file cannot be
// opened or a read fails part way.
bool ReadWhole(const std::wstring& path, std::string& bytes, FILETIME& lastWrite, bool& unchanged) {
    // Every sharing is granted, deleting and renaming included, so that a save replacing the
    // file is never refused while it is read.
    FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file.valid()) return false;
    const bool timed = GetFileTime(file.get(), nullptr, nullptr, &lastWrite) != FALSE;
    std::string read;
    LARGE_INTEGER size{};
    if (GetFileSizeEx(file.get(), &size) && size.QuadPart > 0) read.reserve(static_cast<size_t>(size.QuadPart));
    char buffer[65536];
    for (;;) {
        DWORD got = 0;
        // A read that fails part way is no file at all: a short list taken for the whole one
        // would be written back by the next save.
        if (!ReadFile(file.get(), buffer, sizeof buffer, &got, nullptr)) return false;
        if (got == 0) break;
        read.append(buffer, got);
    }
    FILETIME after{};
    unchanged = timed && GetFileTime(file.get(), nullptr, nullptr, &after) && CompareFileTime(&after, &lastWrite) == 0;
    bytes = std::move(read);
    return true;
}

// Puts the new file written beside path in its place and tells the archive layer what the file
// now holds (crc, when known), so that neither the next update nor the next save need read it.
// False, with the system's error code kept, when the move failed; the new file is then gone.
bool MoveIntoPlace(const std::wstring& fresh, const std::wstring& path, const uint32_t* crc) {
    if (!MoveFileExW(fresh.c_str(), path.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)) {
        const DWORD code = GetLastError();
        DeleteFileW(fresh.c_str());
        SetLastError(code);
        return false;
    }
    // Told even when the new file has the old one's size and a time within the same tick.
    if (crc)
        zip::NoteFileWritten(path, *crc);
    else
        zip::NoteFileChanged(path);
    return true;
}

}  // namespace

bool ReadFileBytes(const std::wstring& path, std::string& bytes) {
    std::string read;
    FILETIME lastWrite{};
    bool unchanged = false;
    if (!ReadWhole(path, read, lastWrite, unchanged)) return false;
    // What was read is what the file holds at this size and time: an unchanged file needs
    // neither a write at the next save nor a read at the next update of the archive.
    if (unchanged) {
        uint64_t size = 0;
        FILETIME now{};
        if (zip::files::SizeAndTime(path, size, now) && size == read.size() && CompareFileTime(&now, &lastWrite) == 0)
            zip::NoteFileWritten(path, CrcOf(read));
    }
    bytes = std::move(read);
    return true;
}

bool ReadTextLines(const std::wstring& path, std::vector<std::wstring>& lines) {
    std::string bytes;
    if (!ReadFileBytes(path, bytes)) return false;
    lines = SplitTextLines(bytes);
    return true;
}

std::vector<std::wstring> SplitTextLines(std::string_view bytes) {
    std::vector<std::wstring> read;
    size_t start = 0;
    const size_t n = bytes.size();
    while (start < n) {
        size_t end = start;
        while (end < n && bytes[end] != '\r' && bytes[end] != '\n') ++end;
        read.push_back(vb::FromAnsi(bytes.substr(start, end - start)));
        if (end < n && bytes[end] == '\r' && end + 1 < n && bytes[end + 1] == '\n') ++end;
        start = end + 1;
    }
    return read;
}

void WriteWorkingFile(const std::wstring& path, const std::wstring& text) {
    const std::wstring fresh = path + L".new";
    const std::string bytes = vb::ToAnsi(text);
    {
        FileHandle file(
            CreateFileW(fresh.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
        if (!file.valid()) RaiseFileError(L"Cannot write", fresh, GetLastError());
        BOOL ok = zip::files::WriteAll(file.get(), bytes.data(), bytes.size());
        if (ok) ok = FlushFileBuffers(file.get());
        DWORD code = GetLastError();
        file.Close();
        if (!ok) {
            DeleteFileW(fresh.c_str());
            RaiseFileError(L"Cannot write", fresh, code);
        }
    }
    const uint32_t crc = CrcOf(bytes);
    if (!MoveIntoPlace(fresh, path, &crc)) RaiseFileError(L"Cannot replace", path, GetLastError());
}

bool PutWorkingFileInPlace(const std::wstring& fresh, const std::wstring& path) {
    // The new file was just written, so reading it back for its CRC costs little, and spares
    // the next update a read and a fresh compression when its bytes are the member's.
    std::string bytes;
    FILETIME lastWrite{};
    bool unchanged = false;
    uint32_t crc = 0;
    const bool known = ReadWhole(fresh, bytes, lastWrite, unchanged) && unchanged;
    if (known) crc = CrcOf(bytes);
    return MoveIntoPlace(fresh, path, known ? &crc : nullptr);
}

bool WriteWorkingFileIfChanged(const std::wstring& path, const std::wstring& text) {
    const std::string bytes = vb::ToAnsi(text);
    if (zip::FileKnownToHold(path, bytes.size(), CrcOf(bytes))) return false;
    WriteWorkingFile(path, text);
    return true;
}
