// The cost of a save of the user's data now that every save also brings the archive up to
// date: SaveUserChoices after one list changed (the override lists, the category and alias
// files and the archive holding a program list of 20,000 lines and a snapshot of 5,000
// extensions) against writing the three override lists alone, both the first save after each
// start of the options window (the one an open, edit, close use makes; each start a fresh
// unpack, its one first save measured on its own, and the slowest shown too) and the saves
// after it; the archive's update after one changed
// file against packing the same files afresh; and a save with nothing changed against the
// three lists.
// Usage: data_save_bench [rounds]
#include <windows.h>
#include <objbase.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "LibraryMessages.h"
#include "basAliases.h"
#include "basData.h"
#include "basIniFile.h"
#include "basMessageHandler.h"
#include "basStrings.h"
#include "basUserChoices.h"
#include "zip/ZipArchive.h"

namespace {

using benchsupport::Now;

double Median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

bool WriteBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(h, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(h);
    return ok && written == bytes.size();
}

std::string Lines(int count, const char* status) {
    std::string text;
    char line[512];
    for (int i = 1; i <= count; ++i) {
        std::snprintf(line, sizeof line, ".e%d|Vendor %d - Product %d|%d.%d.%d|%s|C:\\Program Files\\Vendor%d\\App%d.exe|"
                      "C:\\PROGRA~1\\VENDOR~%d\\APP%d~1.EXE\r\n",
                      i, i % 700, i, 1 + i % 9, i % 13, i % 100, status, i % 700, i, i % 700, i);
        text += line;
    }
    return text;
}

// An association snapshot of the given number of extensions, each with its association key.
std::string Snapshot(int extensions) {
    std::string text = "<?xml version=\"1.0\" ?>\r\n<Snapshot>\r\n";
    char line[512];
    for (int i = 1; i <= extensions; ++i) {
        std::snprintf(line, sizeof line,
                      "  <Ext Name=\".e%d\" Value=\"file%d\" ContentType=\"application/x-e%d\">\r\n"
                      "    <Assoc Name=\"file%d\" Command=\"&quot;C:\\Program Files\\Vendor%d\\App%d.exe&quot; "
                      "&quot;%%1&quot;\"/>\r\n  </Ext>\r\n",
                      i, i % 900, i, i % 900, i % 700, i % 700);
        text += line;
    }
    return text + "</Snapshot>\r\n";
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int rounds = argc > 1 ? std::max(1, _wtoi(argv[1])) : 15;
    const int starts = 9;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    SetMessageRows(LibraryMessageRow);
    const std::wstring data = JoinPaths(RootFolder(), L"Data");
    CreateDirectoryW(data.c_str(), nullptr);
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    const std::wstring source = std::wstring(temp) + L"data_save_bench";
    CreateDirectoryW(source.c_str(), nullptr);

    std::string programList = Lines(20000, "OK");
    for (size_t p = 0; (p = programList.find(".e", p)) != std::string::npos;) programList.erase(p, programList.find('|', p) + 1 - p);
    const std::vector<std::pair<std::wstring, std::string>> files = {
        {L"TesselExe.dat", programList},
        {L"TesselAdd.dat", Lines(300, "OK-A")},
        {L"TesselDel.dat", Lines(40, "OK-R")},
        {L"TesselDef.dat", Lines(60, "OK-D")},
        {L"Tesselcat.xml", "<?xml version=\"1.0\" ?>\r\n<MorvaTessel>\r\n</MorvaTessel>\r\n"},
        {L"Tesselma.xml", "<?xml version=\"1.0\" ?>\r\n<MorvaTesselAlias>\r\n</MorvaTesselAlias>\r\n"},
        {L"TesselAsscSS.xml", Snapshot(5000)},
    };
    std::vector<std::wstring> paths;
    for (const auto& [name, bytes] : files) {
        paths.push_back(JoinPaths(source, name));
        if (!WriteBytes(paths.back(), bytes)) return 1;
    }
    if (zip::PackFiles(GetArchivePath(), paths, ArchivePassword) != zip::ZipResult::Ok) return 1;

    // A start that gives the user aliases, closed as the window closes (not measured: the
    // process's first save also pays for setting itself up).
    if (!UnpackFiles()) return 1;
    GetUserChoices(false);
    for (int i = 1; i <= 20; ++i) {
        AliasRecord r;
        r.Company = r.CompanyA = L"Company " + std::to_wstring(i);
        r.Product = r.ProductA = L"Product & Co";
        Aliases().Add(r);
    }
    SaveUserChoices(true);
    PackFiles();

    // Starts of the options window, each with its unpack and loads, and the first save after
    // the user changed one list. The last start stays open for the rounds below.
    double start = 0, unpack = 0;
    std::vector<double> firstSaves;
    for (int s = 0; s < starts; ++s) {
        Aliases().Clear();
        start = Now();
        if (!UnpackFiles()) return 1;
        if (s == 0) unpack = Now() - start;
        GetUserChoices(false);
        GetAliases();
        if (AliasCount() != 20) return 1;
        AddList().Add(L".f" + std::to_wstring(s) + L"|Vendor - Product|1.0|OK-A|C:\\f.exe|C:\\F.EXE");
        start = Now();
        SaveUserChoices(true);
        firstSaves.push_back(Now() - start);
        if (s + 1 < starts) PackFiles();
    }

    // The floor: the three override lists written, each through a new file and a swap.
    std::vector<double> saves, lists, idle;
    for (int r = 0; r < rounds; ++r) {
        start = Now();
        SaveUserChoiceFile(GetAddFilePath(), AddList());
        SaveUserChoiceFile(GetDelFilePath(), RemoveList());
        SaveUserChoiceFile(GetDefFilePath(), DefList());
        lists.push_back(Now() - start);
    }
    // A save as the options window makes it: after the user changed one list. Then a save with
    // nothing changed since.
    for (int r = 0; r < rounds; ++r) {
        AddList().Add(L".s" + std::to_wstring(r) + L"|Vendor - Product|1.0|OK-A|C:\\s.exe|C:\\S.EXE");
        start = Now();
        SaveUserChoices(true);
        saves.push_back(Now() - start);
        start = Now();
        SaveUserChoices(true);
        idle.push_back(Now() - start);
    }
    // The archive's own cost: brought up to date after one override list changed (the other
    // members copied as they are stored), against packing every working file afresh.
    const std::vector<std::wstring> working = {GetExeFilePath(), GetAddFilePath(),   GetDelFilePath(),
                                               GetDefFilePath(), CategoryFilePath(), AliasFilePath(),
                                               GetSnapshotFilePath()};
    std::vector<double> updates, repacks;
    for (int r = 0; r < rounds; ++r) {
        AddList().Add(L".x" + std::to_wstring(r) + L"|Vendor - Product|1.0|OK-A|C:\\x.exe|C:\\X.EXE");
        SaveUserChoiceFile(GetAddFilePath(), AddList());
        start = Now();
        zip::UpdateFiles(GetArchivePath(), working, ArchivePassword, true);
        updates.push_back(Now() - start);
        start = Now();
        zip::PackFiles(GetArchivePath(), working, ArchivePassword);
        repacks.push_back(Now() - start);
    }

    start = Now();
    PackFiles();
    const double pack = Now() - start;

    std::printf("UnpackFiles (archive copy, unpack, checks): %.2f ms\n", unpack * 1000);
    std::printf("PackFiles (pack, delete, remove folder):    %.2f ms\n", pack * 1000);
    const double slowestFirstSave = *std::max_element(firstSaves.begin(), firstSaves.end());
    std::printf("first save after a start:                   %.2f ms (median of %d starts, each its own)\n",
                Median(firstSaves) * 1000, starts);
    std::printf("ratio: %.2f\n", Median(firstSaves) / Median(lists));
    std::printf("first save after a start, slowest of %d:     %.2f ms\n", starts, slowestFirstSave * 1000);
    std::printf("ratio: %.2f\n", slowestFirstSave / Median(lists));
    std::printf("SaveUserChoices after one list changed:     %.2f ms (median of %d)\n", Median(saves) * 1000, rounds);
    std::printf("the three override lists written alone:     %.2f ms (median of %d)\n", Median(lists) * 1000, rounds);
    std::printf("ratio: %.2f\n", Median(saves) / Median(lists));
    std::printf("archive update, one member changed:         %.2f ms (median of %d)\n", Median(updates) * 1000,
                rounds);
    std::printf("the same files packed afresh:               %.2f ms (median of %d)\n", Median(repacks) * 1000,
                rounds);
    std::printf("ratio: %.2f\n", Median(updates) / Median(repacks));
    std::printf("SaveUserChoices with nothing changed:       %.2f ms (median of %d)\n", Median(idle) * 1000, rounds);
    std::printf("ratio: %.2f\n", Median(idle) / Median(lists));

    for (const std::wstring& p : paths) DeleteFileW(p.c_str());
    RemoveDirectoryW(source.c_str());
    DeleteFileW(GetArchivePath().c_str());
    RemoveDirectoryW(data.c_str());
    return 0;
}
