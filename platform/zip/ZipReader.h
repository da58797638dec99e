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

}  // namespace zip::detail
