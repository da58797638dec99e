#include "zip/ZipFiles.h"

#include <ntsecapi.h>

#include <algorithm>
#include <new>

namespace zip::files {

namespace {
constexpr DWORD kChunk = 1u << 30;  // one ReadFile or WriteFile moves at most this much
}

ReadStatus ReadWholeFile(const std::wstring& path, uint64_t maxSize, std::vector<uint8_t>& bytes,
                         FILETIME* lastWrite) {
    bytes.clear();
    FileHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN, nullptr));
    if (!file.valid()) return ReadStatus::CannotOpen;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(file.get(), &size)) return ReadStatus::ReadError;
    if (lastWrite && !GetFileTime(file.get(), nullptr, nullptr, lastWrite)) return ReadStatus::ReadError;
    if (size.QuadPart < 0 || static_cast<uint64_t>(size.QuadPart) > maxSize ||
        static_cast<uint64_t>(size.QuadPart) > SIZE_MAX)
        return ReadStatus::TooLarge;
    try {
        bytes.resize(static_cast<size_t>(size.QuadPart));
    } catch (const std::bad_alloc&) {
        return ReadStatus::TooLarge;
    }
    size_t done = 0;
    while (done < bytes.size()) {
        DWORD want = static_cast<DWORD>(std::min<size_t>(bytes.size() - done, kChunk));
        DWORD got = 0;
        if (!ReadFile(file.get(), bytes.data() + done, want, &got, nullptr)) return ReadStatus::ReadError;
        if (got == 0) break;  // shorter than it said: the file changed under us
        done += got;
    }
    if (done != bytes.size()) return ReadStatus::ReadError;
    return ReadStatus::Ok;
}

bool SizeAndTime(const std::wstring& path, uint64_t& size, FILETIME& lastWrite) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
        (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
        return false;
    size = (static_cast<uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    lastWrite = data.ftLastWriteTime;
    return true;
}

bool FolderExists(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool WriteAll(HANDLE file, const void* data, size_t size) {
    const uint8_t* p = static_cast<const uint8_t*>(data);
    while (size > 0) {
        DWORD want = static_cast<DWORD>(std::min<size_t>(size, kChunk));
        DWORD done = 0;
        if (!WriteFile(file, p, want, &done, nullptr) || done != want) return false;
        p += done;
        size -= done;
    }
    return true;
}

std::wstring FolderOf(const std::wstring& path) {
    size_t slash = path.find_last_of(L"\\/");
    if (slash == std::wstring::npos) return L".";
    if (slash == 0 || (slash == 2 && path[1] == L':')) return path.substr(0, slash + 1);
    return path.substr(0, slash);
}

std::wstring NameOf(const std::wstring& path) {
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring JoinPath(const std::wstring& folder, const std::wstring& name) {
    if (folder.empty()) return name;
    if (folder.back() == L'\\' || folder.back() == L'/') return folder + name;
    return folder + L"\\" + name;
}

bool RandomBytes(void* buffer, size_t count) {
    uint8_t* p = static_cast<uint8_t*>(buffer);
    while (count > 0) {
        ULONG n = static_cast<ULONG>(std::min<size_t>(count, 1u << 20));
        if (!RtlGenRandom(p, n)) return false;
        p += n;
        count -= n;
    }
    return true;
}

}  // namespace zip::files
