// Build-time tool: packs the first data files of a fresh install into the data archive, with
// the password every deliverable opens it with.
//   PackShippedData <archive> <file>...
#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "basData.h"
#include "zip/ZipArchive.h"

int wmain(int argc, wchar_t** argv) {
    if (argc < 3) {
        std::fwprintf(stderr, L"usage: PackShippedData <archive> <file>...\n");
        return 2;
    }
    std::vector<std::wstring> files(argv + 2, argv + argc);
    zip::ZipResult result = zip::PackFiles(argv[1], files, ArchivePassword);
    if (result != zip::ZipResult::Ok) {
        std::fwprintf(stderr, L"PackShippedData: %ls: %ls\n", argv[1], zip::ZipResultText(result));
        return 1;
    }
    return 0;
}
