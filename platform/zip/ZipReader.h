// Reads an archive held in memory: every member decrypted, inflated and CRC-checked on its way
// to a writer, piece by piece.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "zip/ZipArchive.h"

namespace zip::detail {

// Takes the members of an archive as they are read, in archive order, each one's plain bytes
// in pieces as they come out of the inflater; a false answer ends the reading with
// WriteFailed.
class MemberWriter {
public:
    virtual ~MemberWriter() = default;
    // A member begins; name is checked: a bare, safe file name; size is what the archive says
    // of its plain size (checked by the end).
    virtual bool Begin(const std::wstring& name, uint32_t size) = 0;
    virtual bool Put(const uint8_t* data, size_t size) = 0;
    // All of the member's bytes were put and matched its size and CRC; modified is its time (UTC).
    virtual bool End(const FILETIME& modified) = 0;
};

// Reads every member of the archive into writer. Each member is checked as it goes; a bad one
// (damaged, wrong password, CRC mismatch) ends the reading with its result. By then the members
// before it were ended and its own may have been begun, so the writer must be able to throw
// away what it took. Ok only when every member of the archive is sound.
ZipResult ReadArchive(const std::wstring& archivePath, const std::string& password, MemberWriter& writer);

// One member as it lies in the archive, for copying it into another archive unopened.
struct StoredMember {
    std::wstring name;  // checked: a bare, safe file name
    uint16_t flags = 0;
    uint16_t method = 0;
    uint16_t dosTime = 0;
    uint16_t dosDate = 0;
    uint16_t localDosTime = 0;  // the local header's: the check byte's source with a data descriptor
    uint32_t crc = 0;
    uint32_t packedSize = 0;  // the stored data: encryption header and compressed bytes
    uint32_t size = 0;
    bool hasUnixTime = false;
    uint32_t unixTime = 0;
    size_t dataStart = 0;  // where the stored data begins in the archive's bytes
};

// The members of an archive held in bytes, each directory entry checked against its local
// header; the data itself is neither decrypted nor inflated.
ZipResult ReadStoredMembers(const std::vector<uint8_t>& bytes, std::vector<StoredMember>& members);

}  // namespace zip::detail
