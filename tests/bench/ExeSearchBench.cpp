// Times the executable search against a bare FindFirstFile/FindNextFile walk of the same
// tree (20,000 files in 2,000 folders), with no progress window and the recovery marks off.
// Usage: exe_search_bench [folder for the tree]
//        exe_search_bench --search FOLDER   (lists what the search finds there)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "LibraryMessages.h"
#include "basExeSearch.h"
#include "basMessageHandler.h"
#include "vb/VbText.h"
#include "../common/TestSupport.h"

namespace {

using benchsupport::Now;

const int kTopFolders = 50;
const int kSubfolders = 39;  // 50 + 50 * 39 = 2,000 folders
const int kFilesPerFolder = 10;

void FillFolder(const std::wstring& folder) {
    CreateDirectoryW(folder.c_str(), nullptr);
    for (int i = 0; i < kFilesPerFolder; ++i) {
        std::wstring name = folder + L"\\program" + std::to_wstring(i) + (i < 8 ? L".exe" : L".dll");
        HANDLE h = CreateFileW(name.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (h != INVALID_HANDLE_VALUE) CloseHandle(h);
    }
}

void BuildTree(const std::wstring& root) {
    CreateDirectoryW(root.c_str(), nullptr);
    for (int t = 0; t < kTopFolders; ++t) {
        std::wstring top = root + L"\\Vendor" + std::to_wstring(t);
        FillFolder(top);
        for (int s = 0; s < kSubfolders; ++s) FillFolder(top + L"\\Product" + std::to_wstring(s));
    }
}

// The bare walk: every entry once, into every folder.
long BareWalk(const std::wstring& folder) {
    long files = 0;
    WIN32_FIND_DATAW d;
    HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &d);
    if (h == INVALID_HANDLE_VALUE) return 0;
    do {
        if (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (wcscmp(d.cFileName, L".") != 0 && wcscmp(d.cFileName, L"..") != 0)
                files += BareWalk(folder + L"\\" + d.cFileName);
        } else {
            ++files;
        }
    } while (FindNextFileW(h, &d));
    FindClose(h);
    return files;
}

long Search(const std::wstring& folder) {
    long counter = 0;
    std::vector<std::wstring> found(1);
    SearchExeFiles(folder, L"*.exe", counter, found, nullptr, true, false);
    return counter;
}

template <class F>
double Best(F&& run, long& result) {
    double best = 1e9;
    for (int i = 0; i < 3; ++i) {
        double start = Now();
        result = run();
        best = std::min(best, Now() - start);
    }
    return best;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    SetMessageRows(LibraryMessageRow);
    if (argc == 3 && std::wstring(argv[1]) == L"--search") {
        long counter = 0;
        std::vector<std::wstring> found(1);
        SearchExeFiles(argv[2], L"*.exe", counter, found, nullptr, true, false);
        for (long i = 1; i <= counter; ++i) std::printf("%s\n", vb::ToAnsi(found[static_cast<size_t>(i)]).c_str());
        std::printf("%ld files\n", counter);
        return 0;
    }
    std::wstring root;
    if (argc == 2) {
        root = argv[1];
    } else {
        wchar_t tmp[MAX_PATH];
        GetTempPathW(MAX_PATH, tmp);
        root = std::wstring(tmp) + L"LumoxSearchBench" + std::to_wstring(GetCurrentProcessId());
    }
    std::printf("building 20000 files in 2000 folders ...\n");
    testsupport::RemoveTree(root);
    BuildTree(root);

    long bareFiles = 0, searchFiles = 0;
    BareWalk(root);  // warm the caches for both
    double bare = Best([&] { return BareWalk(root); }, bareFiles);
    double search = Best([&] { return Search(root); }, searchFiles);
    std::printf("bare walk:      %8.3f s  (%ld files)\n", bare, bareFiles);
    std::printf("SearchExeFiles: %8.3f s  (%ld executables)\n", search, searchFiles);
    std::printf("ratio:          %8.2f\n", search / bare);
    testsupport::RemoveTree(root);
    return 0;
}
