// What this process knows of the archives and files it has read or written, so that an update
// can trust an archive's stored bytes and leave unread the files whose contents it knows; and
// the large buffers that updates reuse instead of allocating them afresh for every save.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

namespace zip::detail {

// A file as it lay at one moment: its size, last-write time and the CRC-32 of its bytes.
struct FileStamp {
    uint64_t size = 0;
    FILETIME lastWrite{};
    uint32_t crc = 0;
};

// An archive whose every member this process has checked (by unpacking it) or which it wrote
// itself. Only the last few are kept.
void RememberArchive(const FileStamp& stamp);
bool KnowsArchive(const FileStamp& stamp);

// The archive at path, read in pieces and stamped, remembered when its size and time are still
// those it had before it was unpacked (size, lastWrite): the bytes checked are the ones stamped.
void RememberUnpackedArchive(const std::wstring& path, uint64_t size, const FILETIME& lastWrite);

// A file whose contents this process wrote or read whole: the CRC holds while the file keeps
// this size and last-write time and nobody calls ForgetFile for it.
void RememberFile(const std::wstring& path, const FileStamp& stamp);
// As RememberFile, with the size and time the file now has on disk.
void RememberFileAsItIs(const std::wstring& path, uint32_t crc);
// The CRC of the file's contents when size and time are still those remembered.
bool KnownFileCrc(const std::wstring& path, uint64_t size, const FILETIME& lastWrite, uint32_t& crc);
void ForgetFile(const std::wstring& path);

// A byte buffer taken from a small pool and given back when it goes, so that a save grows its
// buffers once per process instead of allocating megabytes every time.
class ScratchBuffer {
public:
    ScratchBuffer();
    ~ScratchBuffer();
    ScratchBuffer(const ScratchBuffer&) = delete;
    ScratchBuffer& operator=(const ScratchBuffer&) = delete;
    std::vector<uint8_t> bytes;
};

}  // namespace zip::detail
