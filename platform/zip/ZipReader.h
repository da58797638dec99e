// Reads a whole archive into memory: every member decrypted, inflated and CRC-checked.
#pragma once
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "zip/ZipArchive.h"

namespace zip::detail {

struct Member {
    std::wstring name;          // checked: a bare, safe file name
    std::vector<uint8_t> data;  // the member's plain contents
    FILETIME modified{};        // UTC
};

// Ok only when every member of the archive is sound; members then holds them in
// archive order.
ZipResult ReadArchive(const std::wstring& archivePath, const std::string& password,
                      std::vector<Member>& members);

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
