// Clean-up helpers the tests and benchmarks share: temporary trees of files and scratch registry keys.
#pragma once
#include <windows.h>

#include <initializer_list>
#include <string>
#include <vector>

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

// Empty WinHelp files beside the test program for the object's lifetime: a help call then reaches
// the recording engine that stands in for WinHelp (a missing file is reported before any engine
// is asked).
class WinHelpFilesBeside {
public:
    explicit WinHelpFilesBeside(std::initializer_list<const wchar_t*> names) {
        wchar_t program[MAX_PATH];
        GetModuleFileNameW(nullptr, program, MAX_PATH);
        const std::wstring folder = std::wstring(program).substr(0, std::wstring(program).rfind(L'\\') + 1);
        for (const wchar_t* name : names) {
            paths_.push_back(folder + name);
            HANDLE file = CreateFileW(paths_.back().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
            if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        }
    }
    ~WinHelpFilesBeside() {
        for (const std::wstring& path : paths_) DeleteFileW(path.c_str());
    }
    WinHelpFilesBeside(const WinHelpFilesBeside&) = delete;
    WinHelpFilesBeside& operator=(const WinHelpFilesBeside&) = delete;

private:
    std::vector<std::wstring> paths_;
};

}  // namespace testsupport
