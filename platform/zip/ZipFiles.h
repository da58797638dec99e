// Small file helpers of the archive layer.
#pragma once
#include <windows.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace zip::files {

// Owns a file handle.
class FileHandle {
public:
    explicit FileHandle(HANDLE h = INVALID_HANDLE_VALUE) : h_(h) {}
    ~FileHandle() { Close(); }
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;
    FileHandle(FileHandle&& other) noexcept : h_(other.h_) { other.h_ = INVALID_HANDLE_VALUE; }
    FileHandle& operator=(FileHandle&& other) noexcept {
        if (this != &other) {
            Close();
            h_ = other.h_;
            other.h_ = INVALID_HANDLE_VALUE;
        }
        return *this;
    }
    HANDLE get() const { return h_; }
    bool valid() const { return h_ != INVALID_HANDLE_VALUE; }
    bool Close() {
        bool ok = true;
        if (valid()) ok = CloseHandle(h_) != FALSE;
        h_ = INVALID_HANDLE_VALUE;
        return ok;
    }

private:
    HANDLE h_;
};

enum class ReadStatus { Ok, CannotOpen, TooLarge, ReadError };

// Reads a whole file (up to maxSize bytes) and its last-write time (optional).
ReadStatus ReadWholeFile(const std::wstring& path, uint64_t maxSize, std::vector<uint8_t>& bytes,
                         FILETIME* lastWrite = nullptr);

// The size and last-write time of a file (not a folder), without opening it.
bool SizeAndTime(const std::wstring& path, uint64_t& size, FILETIME& lastWrite);

// Whether path names an existing folder.
bool FolderExists(const std::wstring& path);

// Writes all bytes at the file's current position.
bool WriteAll(HANDLE file, const void* data, size_t size);

// The folder part of a path ("." when it has none), without a trailing backslash unless it is
// a drive's root.
std::wstring FolderOf(const std::wstring& path);
// The part after the last backslash or slash.
std::wstring NameOf(const std::wstring& path);
// folder + "\" + name, with one backslash between.
std::wstring JoinPath(const std::wstring& folder, const std::wstring& name);

// Cryptographically strong random bytes from the system.
bool RandomBytes(void* buffer, size_t count);

}  // namespace zip::files
