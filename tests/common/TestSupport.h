// Clean-up helpers the tests and benchmarks share: temporary trees of files and scratch registry keys.
#pragma once
#include <windows.h>

#include <string>

namespace testsupport {

// Deletes a folder with everything in it, read-only files included.
inline void RemoveTree(const std::wstring& folder) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find != INVALID_HANDLE_VALUE) {
        do {
            std::wstring name = data.cFileName;
            if (name == L"." || name == L"..") continue;
            std::wstring full = folder + L"\\" + name;
            SetFileAttributesW(full.c_str(), FILE_ATTRIBUTE_NORMAL);
            if (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)
                RemoveTree(full);
            else
                DeleteFileW(full.c_str());
        } while (FindNextFileW(find, &data));
        FindClose(find);
    }
    RemoveDirectoryW(folder.c_str());
}

// An empty folder of this process's own under %TEMP%, whatever an earlier run left there.
inline std::wstring FreshTempFolder(const std::wstring& name) {
    wchar_t tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, tmp);
    std::wstring folder = std::wstring(tmp) + name + std::to_wstring(GetCurrentProcessId());
    RemoveTree(folder);
    CreateDirectoryW(folder.c_str(), nullptr);
    return folder;
}

// Deletes a registry key with all its subkeys.
inline void DeleteRegistryTree(HKEY parent, const std::wstring& name) {
    HKEY key;
    if (RegOpenKeyExW(parent, name.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    wchar_t sub[256];
    for (;;) {
        DWORD length = 256;
        if (RegEnumKeyExW(key, 0, sub, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        DeleteRegistryTree(key, sub);
    }
    RegCloseKey(key);
    RegDeleteKeyW(parent, name.c_str());
}

}  // namespace testsupport
