// Times the program scan (RefreshExeList, as on a first run: no recovery marks, no progressive
// save) over a tree of 20,000 small programs with version resources, next to a bare walk of
// the same tree that reads each file's version information the same way (size, resource,
// translation and the thirteen strings).
// Usage: program_scan_bench [files]   (the tree lies in C:\lxbench<pid> and is removed afterwards)
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "FakePresenter.h"
#include "LibraryMessages.h"
#include "ScanTestSupport.h"
#include "TestSupport.h"
#include "basData.h"
#include "basExeScan.h"
#include "basIniFile.h"
#include "basMessageHandler.h"
#include "vb/VbApp.h"
#include "vb/VbText.h"

namespace {

using benchsupport::Now;

const int kFilesPerFolder = 100;

double CpuSeconds() {
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    auto seconds = [](const FILETIME& f) {
        return static_cast<double>((static_cast<unsigned long long>(f.dwHighDateTime) << 32) | f.dwLowDateTime) / 1e7;
    };
    return seconds(kernel) + seconds(user);
}

bool BuildTree(const std::wstring& root, int files) {
    const std::wstring stub = vb::AppPath() + L"\\..\\data\\stub_full.exe";
    if (GetFileAttributesW(stub.c_str()) == INVALID_FILE_ATTRIBUTES) {
        std::fwprintf(stderr, L"missing %ls (build the data tests first)\n", stub.c_str());
        return false;
    }
    CreateDirectoryW(root.c_str(), nullptr);
    for (int i = 0; i < files; ++i) {
        std::wstring folder = root + L"\\Vendor" + std::to_wstring(i / kFilesPerFolder);
        if (i % kFilesPerFolder == 0) CreateDirectoryW(folder.c_str(), nullptr);
        std::wstring file = folder + L"\\program" + std::to_wstring(i) + L".exe";
        if (!CopyFileW(stub.c_str(), file.c_str(), FALSE)) return false;
    }
    return true;
}

const wchar_t* const kStrings[] = {L"Comments",       L"CompanyName",     L"FileDescription", L"FileVersion",
                                   L"InternalName",   L"LegalCopyright",  L"LegalTrademarks", L"OLESelfRegister",
                                   L"OriginalFileName", L"PrivateBuild",  L"ProductName",     L"ProductVersion",
                                   L"SpecialBuild"};

// One file's version information, read as the scan's reader reads it.
size_t ReadVersion(const std::wstring& file) {
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(file.c_str(), &handle);
    if (size == 0) return 0;
    std::vector<BYTE> buffer(size);
    if (!GetFileVersionInfoW(file.c_str(), 0, size, buffer.data())) return 0;
    void* fixed = nullptr;
    UINT length = 0;
    VerQueryValueW(buffer.data(), L"\\", &fixed, &length);
    WORD* pair = nullptr;
    if (!VerQueryValueW(buffer.data(), L"\\VarFileInfo\\Translation", reinterpret_cast<void**>(&pair), &length) ||
        length < 4)
        return 0;
    wchar_t translation[16];
    swprintf(translation, 16, L"%04X%04X", pair[0], pair[1]);
    size_t total = 0;
    for (const wchar_t* name : kStrings) {
        std::wstring block = std::wstring(L"\\StringFileInfo\\") + translation + L"\\" + name;
        wchar_t* text = nullptr;
        if (VerQueryValueW(buffer.data(), block.c_str(), reinterpret_cast<void**>(&text), &length) && text)
            total += wcsnlen(text, length);
    }
    return total;
}

long BareWalk(const std::wstring& folder, size_t& characters) {
    long files = 0;
    WIN32_FIND_DATAW d;
    HANDLE h = FindFirstFileW((folder + L"\\*").c_str(), &d);
    if (h == INVALID_HANDLE_VALUE) return 0;
    do {
        std::wstring path = folder + L"\\" + d.cFileName;
        if (d.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
            if (wcscmp(d.cFileName, L".") != 0 && wcscmp(d.cFileName, L"..") != 0) files += BareWalk(path, characters);
        } else if (vb::EndsWith(d.cFileName, L".exe")) {
            characters += ReadVersion(path);
            ++files;
        }
    } while (FindNextFileW(h, &d));
    FindClose(h);
    return files;
}

// When the scan reached its phases: the first file detailed, the list saved.
double g_detailingStarted = 0, g_lastDetailed = 0;
void NoteDetailing(const std::wstring&) {
    g_lastDetailed = Now();
    if (g_detailingStarted == 0) g_detailingStarted = g_lastDetailed;
}
class TimedHost : public scantest::FakeScanHost {
public:
    void SetProgramListTimeStamp(const FILETIME& lastWrite) override {
        saved = Now();
        FakeScanHost::SetProgramListTimeStamp(lastWrite);
    }
    double saved = 0;
};

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int files = argc > 1 ? _wtoi(argv[1]) : 20000;
    SetMessageRows(LibraryMessageRow);
    FakePresenter boxes;  // message 4513 and the closing beep go nowhere

    const std::wstring root = scantest::FreshRootFolder(L"lxbench");
    testsupport::RemoveTree(root);
    const std::wstring settings = testsupport::FreshTempFolder(L"lxbenchini");
    const std::wstring work = testsupport::FreshTempFolder(L"lxbenchwork");
    SetIniFolderOverride(settings);
    UseDataFolder(work);

    double t0 = Now();
    if (!BuildTree(root, files)) return 1;
    std::wprintf(L"tree: %d programs in %.2f s\n", files, Now() - t0);

    size_t characters = 0;
    BareWalk(root, characters);  // warms the file cache for both

    TimedHost host;
    host.drives = {L"Ok", root + L"\\"};
    SetDetailingObserver(&NoteDetailing);
    // Rounds of one bare walk and one scan each, so a busy machine slows both alike; the
    // fastest of each counts.
    double bare = 1e9, ours = 1e9, bareCpu = 1e9, oursCpu = 1e9;
    long found = 0;
    bool ok = true;
    for (int round = 1; round <= 3; ++round) {
        characters = 0;
        double c0 = CpuSeconds();
        t0 = Now();
        found = BareWalk(root, characters);
        const double bareRound = Now() - t0;
        bare = std::min(bare, bareRound);
        bareCpu = std::min(bareCpu, CpuSeconds() - c0);

        // As on a first run: the settings hold no marks.
        DeleteFileW(GetIniFilePath().c_str());
        g_detailingStarted = 0;
        c0 = CpuSeconds();
        t0 = Now();
        ok = RefreshExeList(host, false) && ok;
        const double total = Now() - t0;
        oursCpu = std::min(oursCpu, CpuSeconds() - c0);
        std::wprintf(L"  round %d: bare %.3f s; scan %.3f s = search and found-list save %.3f s, detailing %.3f s, "
                     L"sort and save %.3f s, wrap-up %.3f s\n",
                     round, bareRound, total, g_detailingStarted - t0,
                     g_lastDetailed - g_detailingStarted, host.saved - g_lastDetailed, t0 + total - host.saved);
        ours = std::min(ours, total);
    }
    std::wprintf(L"bare walk with version reading: %ld files, %.3f s (%.3f s processor)\n", found, bare, bareCpu);
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(GetExeFilePath().c_str(), GetFileExInfoStandard, &data);
    std::wprintf(L"RefreshExeList: %ls, list of %lu bytes, %.3f s (%.3f s processor)\n", ok ? L"written" : L"FAILED",
                 data.nFileSizeLow, ours, oursCpu);
    std::wprintf(L"ratio: %.2f\n", ours / bare);

    SetIniFolderOverride(L"");
    testsupport::RemoveTree(root);
    testsupport::RemoveTree(work);
    testsupport::RemoveTree(settings);
    return ok ? 0 : 1;
}
