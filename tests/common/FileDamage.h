// Damage as a storage fault does it: one byte of a file flipped where it lies, the file's size
// and last-write time kept, so that only a check of its bytes can see it.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>

namespace testsupport {

inline bool FlipByteKeepingSizeAndTime(const std::wstring& path, uint64_t offset, uint8_t mask = 0x20) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    FILETIME lastWrite{};
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(offset);
    uint8_t byte = 0;
    DWORD done = 0;
    bool ok = GetFileTime(file, nullptr, nullptr, &lastWrite) && SetFilePointerEx(file, at, nullptr, FILE_BEGIN) &&
              ReadFile(file, &byte, 1, &done, nullptr) && done == 1;
    byte ^= mask;
    ok = ok && SetFilePointerEx(file, at, nullptr, FILE_BEGIN) && WriteFile(file, &byte, 1, &done, nullptr) &&
         done == 1;
    // The time goes back after the write, as the handle's own last change.
    ok = ok && FlushFileBuffers(file) && SetFileTime(file, nullptr, nullptr, &lastWrite);
    CloseHandle(file);
    return ok;
}

}  // namespace testsupport
