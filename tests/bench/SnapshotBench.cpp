// Times the restorer's "Save" (the snapshot written, read back and compared) of a registry of
// 5,000 extensions and 3,000 associations, next to "reg export" of the same keys to a file in
// the same run. The keys live in a scratch key of this process's own, seen as
// HKEY_CLASSES_ROOT; the settings and snapshot files go to a temporary folder.
// Usage: snapshot_bench [rounds]
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "BenchPresenter.h"
#include "BenchSupport.h"
#include "LibraryMessages.h"
#include "basAssocCompare.h"
#include "basAssocSnapshot.h"
#include "basData.h"
#include "basIniFile.h"
#include "basMessageHandler.h"
#include "basRegistryModel.h"
#include "vb/VbText.h"
#include "../common/TestSupport.h"

namespace {

using benchsupport::CountingPresenter;
using benchsupport::Now;
using benchsupport::SetString;

std::wstring Numbered(const wchar_t* prefix, int n) { return benchsupport::Numbered(prefix, n, 4); }

const int kExtensions = 5000;
const int kAssociations = 3000;

void BuildRegistry(HKEY classes, const std::wstring& program) {
    for (int a = 0; a < kAssociations; ++a) {
        std::wstring name = Numbered(L"benchfile", a);
        SetString(classes, name, L"", L"Bench document " + std::to_wstring(a));
        SetString(classes, name + L"\\DefaultIcon", L"", L"C:\\Bench\\icons.dll," + std::to_wstring(a));
        SetString(classes, name + L"\\shell\\open\\command", L"", L"\"" + program + L"\" \"%1\"");
    }
    for (int e = 0; e < kExtensions; ++e) {
        std::wstring name = Numbered(L".b", e);
        SetString(classes, name, L"", Numbered(L"benchfile", e % kAssociations));
        SetString(classes, name, L"Content Type", L"application/x-bench");
        if (e % 3 == 0) SetString(classes, name + L"\\ShellNew", L"NullFile", L"");
    }
}

// "reg export" of the key to file, as a user would run it; answers whether it ran and succeeded.
bool RegExport(const std::wstring& key, const std::wstring& file) {
    std::wstring command = L"reg.exe export \"" + key + L"\" \"" + file + L"\" /y";
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi))
        return false;
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code == 0;
}

long long FileSize(const std::wstring& path) {
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data)) return -1;
    return (static_cast<long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    int rounds = argc > 1 ? std::max(1, _wtoi(argv[1])) : 3;
    SetMessageRows(LibraryMessageRow);
    CountingPresenter presenter(AnswerOk);
    SetMessagePresenter(&presenter);
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    std::wstring folder = testsupport::FreshTempFolder(L"LumoxSnapshotBench");
    SetIniFolderOverride(folder);
    UseDataFolder(folder);
    wchar_t program[MAX_PATH];
    GetModuleFileNameW(nullptr, program, MAX_PATH);

    const std::wstring scratch = L"Software\\LumoxBench\\Snapshot" + std::to_wstring(GetCurrentProcessId());
    testsupport::DeleteRegistryTree(HKEY_CURRENT_USER, scratch);
    HKEY classes;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, scratch.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &classes,
                        nullptr) != ERROR_SUCCESS) {
        std::fprintf(stderr, "cannot create the scratch key\n");
        return 1;
    }
    std::printf("building %d extensions and %d associations...\n", kExtensions, kAssociations);
    double t0 = Now();
    BuildRegistry(classes, program);
    std::printf("built in %.2f s\n", Now() - t0);
    RegOverridePredefKey(HKEY_CLASSES_ROOT, classes);
    LoadRegistryExtensions();
    LoadRegistryAssociations();

    const std::wstring exportFile = folder + L"\\export.reg";
    double bestExport = 1e9, bestSave = 1e9, bestWrite = 1e9, bestRead = 1e9;
    bool exported = false;
    for (int r = 0; r < rounds; ++r) {
        double start = Now();
        exported = RegExport(L"HKEY_CURRENT_USER\\" + scratch, exportFile);
        bestExport = std::min(bestExport, Now() - start);

        start = Now();
        WriteAssocSnapshot(GetSnapshotFilePath(), ExtKeys(), AssocKeys(), ExtByName());
        double written = Now();
        GetAssocSnapshot(GetSnapshotFilePath());
        double read = Now();
        DetermineAssocExtDiffs();
        double end = Now();
        bestSave = std::min(bestSave, end - start);
        bestWrite = std::min(bestWrite, written - start);
        bestRead = std::min(bestRead, read - written);
    }
    const size_t differences = AssocDiffs().size() - 1;
    const long long snapshotSize = FileSize(GetSnapshotFilePath());
    const long long exportSize = FileSize(exportFile);

    RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
    RegCloseKey(classes);
    testsupport::DeleteRegistryTree(HKEY_CURRENT_USER, scratch);
    UseDataFolder(L"");
    SetIniFolderOverride(L"");
    testsupport::RemoveTree(folder);
    SetMessagePresenter(nullptr);

    std::printf("reg export: %s, %lld bytes in %.3f s (best of %d)\n", exported ? "ok" : "FAILED", exportSize,
                bestExport, rounds);
    std::printf("save: %zu extensions, %zu associations, %lld bytes, %zu differences, in %.3f s\n",
                ExtKeys().size() - 1, AssocKeys().size() - 1, snapshotSize, differences, bestSave);
    std::printf("  of which writing %.3f s, reading back %.3f s, comparing %.3f s\n", bestWrite, bestRead,
                bestSave - bestWrite - bestRead);
    std::printf("messages shown: %d\n", presenter.shown);
    std::printf("ratio: %.2f\n", bestSave / bestExport);
    CoUninitialize();
    return 0;
}
