// Files, times and hand-made archives for the archive tests.
#pragma once
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

#include <zlib.h>

#include "TestSupport.h"
#include "zip/ZipArchive.h"

namespace ziptest {

inline const std::string kPassword = "UWLpKEh+";

inline std::wstring ModuleFolder() {
    wchar_t path[MAX_PATH];
    DWORD n = GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring full(path, n);
    return full.substr(0, full.find_last_of(L'\\'));
}

// The archives made by Info-ZIP before the tests ran, and the folder the check after them reads.
inline std::wstring FixturesFolder() { return ModuleFolder() + L"\\fixtures"; }

inline std::string ReadBytes(const std::wstring& path) {
    std::string bytes;
    HANDLE h = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (h == INVALID_HANDLE_VALUE) return bytes;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(h, buffer, sizeof buffer, &got, nullptr) && got > 0) bytes.append(buffer, got);
    CloseHandle(h);
    return bytes;
}

inline bool WriteBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD done = 0;
    bool ok = bytes.empty() || (WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr) &&
                                done == bytes.size());
    CloseHandle(h);
    return ok;
}

inline FILETIME MakeTime(WORD year, WORD month, WORD day, WORD hour, WORD minute, WORD second) {
    SYSTEMTIME st{};
    st.wYear = year, st.wMonth = month, st.wDay = day;
    st.wHour = hour, st.wMinute = minute, st.wSecond = second;
    FILETIME ft{};
    SystemTimeToFileTime(&st, &ft);
    return ft;
}

inline bool SetModified(const std::wstring& path, const FILETIME& time) {
    HANDLE h = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                           OPEN_EXISTING, 0, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    bool ok = SetFileTime(h, nullptr, nullptr, &time) != FALSE;
    CloseHandle(h);
    return ok;
}

inline FILETIME Modified(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
    return data.ftLastWriteTime;
}

inline double SecondsApart(const FILETIME& a, const FILETIME& b) {
    auto ticks = [](const FILETIME& t) {
        return static_cast<int64_t>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime);
    };
    int64_t d = ticks(a) - ticks(b);
    return (d < 0 ? -d : d) / 1e7;
}

// Names in a folder (files and folders), sorted.
inline std::vector<std::wstring> ListFolder(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        std::wstring name = data.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    std::sort(names.begin(), names.end());
    return names;
}

// A member of a hand-made archive: unencrypted, with any name, method and flags.
struct RawMember {
    std::string name;
    std::string data;         // as stored
    uint16_t method = 0;      // stored
    uint16_t flags = 0;
    bool saturatedSizes = false;  // sizes left to ZIP64 records
    uint32_t crcXor = 0;          // spoils the recorded CRC
};

inline void Put16(std::string& out, uint32_t v) {
    out.push_back(static_cast<char>(v & 0xff));
    out.push_back(static_cast<char>((v >> 8) & 0xff));
}
inline void Put32(std::string& out, uint32_t v) {
    Put16(out, v & 0xffff);
    Put16(out, v >> 16);
}

struct RawEnd {
    uint16_t disk = 0;
    bool saturatedCount = false;
};

// Builds an archive byte by byte, without the code under test.
inline std::string BuildRawZip(const std::vector<RawMember>& members, RawEnd endRecord = {}) {
    std::string out, directory;
    for (const auto& m : members) {
        uint32_t crc = static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>(m.data.data()),
                                                   static_cast<uInt>(m.data.size()))) ^ m.crcXor;
        uint32_t size = m.saturatedSizes ? 0xffffffffu : static_cast<uint32_t>(m.data.size());
        uint32_t offset = static_cast<uint32_t>(out.size());
        auto common = [&](std::string& h) {
            Put16(h, 20);
            Put16(h, m.flags);
            Put16(h, m.method);
            Put16(h, 0x5000);  // 10:00:00
            Put16(h, 0x5021);  // 2020-01-01
            Put32(h, crc);
            Put32(h, size);
            Put32(h, size);
            Put16(h, static_cast<uint32_t>(m.name.size()));
            Put16(h, 0);
        };
        Put32(out, 0x04034b50);
        common(out);
        out += m.name;
        out += m.data;
        Put32(directory, 0x02014b50);
        Put16(directory, 20);
        common(directory);
        Put16(directory, 0);  // comment
        Put16(directory, 0);  // disk
        Put16(directory, 0);
        Put32(directory, 0);
        Put32(directory, offset);
        directory += m.name;
    }
    uint32_t directoryOffset = static_cast<uint32_t>(out.size());
    out += directory;
    Put32(out, 0x06054b50);
    Put16(out, endRecord.disk);
    Put16(out, endRecord.disk);
    uint32_t count = endRecord.saturatedCount ? 0xffff : static_cast<uint32_t>(members.size());
    Put16(out, count);
    Put16(out, count);
    Put32(out, static_cast<uint32_t>(directory.size()));
    Put32(out, directoryOffset);
    Put16(out, 0);
    return out;
}

}  // namespace ziptest
