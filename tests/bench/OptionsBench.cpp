// Times the options window from ShowForm to readiness 2 on a program list of 20,000 lines, a
// registry of 5,000 extensions and a category tree of 300 nodes, next to a bare sequence of the
// same work in the same process: unpack the same archive (the ZIP layer over zlib), enumerate the
// same registry keys and values, and fill a plain list view and tree view with the same rows and
// nodes. The registry lives in a scratch key of this process's own, seen as HKEY_CLASSES_ROOT.
// Usage: options_bench [rounds]
#include <windows.h>
#include <commctrl.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "BenchPresenter.h"
#include "BenchSupport.h"
#include "LibraryMessages.h"
#include "basData.h"
#include "basIniFile.h"
#include "basMessageHandler.h"
#include "basStrings.h"
#include "frmTesselOptions.h"
#include "vb/VbText.h"
#include "zip/ZipArchive.h"
#include "../common/TestSupport.h"

namespace {

using benchsupport::CountingPresenter;
using benchsupport::Now;
using benchsupport::SetString;

std::wstring Numbered(const wchar_t* prefix, int n) { return benchsupport::Numbered(prefix, n, 5); }

const int kPrograms = 20000;
const int kExtensions = 5000;
const int kCategories = 10;
const int kSubcategories = 4;  // per category; each with two programs and two extensions

void BuildRegistry(HKEY classes) {
    for (int e = 0; e < kExtensions; ++e) {
        std::wstring assoc = Numbered(L"benchfile", e);
        SetString(classes, Numbered(L".b", e), L"", assoc);
        SetString(classes, assoc, L"", L"Bench document " + std::to_wstring(e));
        SetString(classes, assoc + L"\\shell\\open\\command", L"", L"\"C:\\Bench\\p" + std::to_wstring(e) + L".exe\" \"%1\"");
    }
}

std::string ProgramLine(int i) {
    std::string n = std::to_string(i);
    return "Maker" + std::to_string(i % 97) + " - Product " + n + "|1." + n + "|OK|C:\\Program Files\\Maker\\prog" + n +
           ".exe|C:\\PROGRA~1\\MAKER\\PROG" + n + ".EXE";
}

std::string CategoryFile() {
    std::string xml = "<?xml version=\"1.0\" ?>\r\n<MorvaTessel>\r\n";
    int program = 0, extension = 0;
    for (int c = 0; c < kCategories; ++c) {
        xml += "   <Category name=\"Category " + std::to_string(c) + "\">\r\n";
        for (int s = 0; s < kSubcategories; ++s) {
            xml += "      <Subcategory name=\"Sub " + std::to_string(s) + "\">\r\n";
            for (int p = 0; p < 2; ++p, program += 97) {
                std::vector<std::string> f;
                std::string line = ProgramLine(program);
                size_t start = 0;
                for (int k = 0; k < 5; ++k) {
                    size_t bar = line.find('|', start);
                    f.push_back(line.substr(start, bar == std::string::npos ? std::string::npos : bar - start));
                    start = bar + 1;
                }
                xml += "         <Program T1=\"" + f[0] + "\" T2=\"" + f[1] + "\" T3=\"OK\" T4=\"" + f[3] + "\" T5=\"" +
                       f[4] + "\"/>\r\n";
            }
            for (int e = 0; e < 2; ++e, extension += 61)
                xml += "         <Extension ext=\"" + vb::ToAnsi(Numbered(L".b", extension)) + "\" />\r\n";
            xml += "      </Subcategory>\r\n";
        }
        xml += "   </Category>\r\n";
    }
    return xml + "</MorvaTessel>\r\n";
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    DWORD written = 0;
    BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr);
    CloseHandle(file);
    return ok && written == bytes.size();
}

long BareEnumerate(HKEY key) {
    long items = 0;
    DWORD subkeys = 0, longestSub = 0, values = 0, longestName = 0, largestData = 0;
    if (RegQueryInfoKeyW(key, nullptr, nullptr, nullptr, &subkeys, &longestSub, nullptr, &values, &longestName,
                         &largestData, nullptr, nullptr) != ERROR_SUCCESS)
        return 0;
    std::vector<wchar_t> name(longestName + 2);
    std::vector<BYTE> data(largestData + 2);
    for (DWORD i = 0; i < values; ++i) {
        DWORD nameLength = static_cast<DWORD>(name.size()), size = static_cast<DWORD>(data.size()), type = 0;
        if (RegEnumValueW(key, i, name.data(), &nameLength, nullptr, &type, data.data(), &size) == ERROR_SUCCESS) ++items;
    }
    std::vector<wchar_t> sub(longestSub + 2);
    for (DWORD i = 0; i < subkeys; ++i) {
        DWORD length = static_cast<DWORD>(sub.size());
        if (RegEnumKeyExW(key, i, sub.data(), &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        HKEY child;
        if (RegOpenKeyExW(key, sub.data(), 0, KEY_READ, &child) != ERROR_SUCCESS) continue;
        items += 1 + BareEnumerate(child);
        RegCloseKey(child);
    }
    return items;
}

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

// The bare sequence: unpack, read the program list, enumerate, fill plain controls.
double BareRound(const std::wstring& archive, const std::wstring& folder, HKEY classes) {
    const double start = Now();
    testsupport::RemoveTree(folder);
    CreateDirectoryW(folder.c_str(), nullptr);
    zip::UnpackFiles(archive, folder, ArchivePassword);
    std::vector<std::wstring> lines;
    {
        HANDLE file = CreateFileW((folder + L"\\TesselExe.dat").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        std::string bytes;
        char buffer[65536];
        DWORD got = 0;
        while (file != INVALID_HANDLE_VALUE && ReadFile(file, buffer, sizeof buffer, &got, nullptr) && got) bytes.append(buffer, got);
        if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
        for (const std::wstring& l : vb::Split(vb::FromAnsi(bytes), L"\r\n"))
            if (!l.empty()) lines.push_back(l);
    }
    BareEnumerate(classes);

    HWND window = CreateWindowExW(0, WC_STATICW, L"bare", WS_OVERLAPPEDWINDOW, 0, 0, 800, 600, nullptr, nullptr,
                                  nullptr, nullptr);
    HWND programs = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | LVS_REPORT, 0, 0, 400, 300, window, nullptr,
                                    nullptr, nullptr);
    HWND extensions = CreateWindowExW(0, WC_LISTVIEWW, L"", WS_CHILD | LVS_REPORT, 400, 0, 400, 300, window, nullptr,
                                      nullptr, nullptr);
    HWND tree = CreateWindowExW(0, WC_TREEVIEWW, L"", WS_CHILD, 0, 300, 400, 300, window, nullptr, nullptr, nullptr);
    for (int c = 0; c < 6; ++c) {
        LVCOLUMNW column{};
        column.mask = LVCF_WIDTH | LVCF_TEXT;
        column.cx = 80;
        column.pszText = const_cast<wchar_t*>(L"c");
        ListView_InsertColumn(programs, c, &column);
        if (c < 2) ListView_InsertColumn(extensions, c, &column);
    }
    SendMessageW(programs, WM_SETREDRAW, FALSE, 0);
    for (size_t i = 0; i < lines.size(); ++i) {
        std::vector<std::wstring> f = vb::Split(lines[i], L"|");
        f.resize(5);
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = static_cast<int>(i);
        item.pszText = f[2].data();
        int row = ListView_InsertItem(programs, &item);
        std::wstring file = f[3].substr(f[3].rfind(L'\\') + 1), folderPart = f[3].substr(0, f[3].rfind(L'\\') + 1);
        const std::wstring* texts[] = {&f[1], &f[0], &file, &folderPart, &f[4]};
        for (int s = 0; s < 5; ++s) ListView_SetItemText(programs, row, s + 1, const_cast<wchar_t*>(texts[s]->c_str()));
    }
    SendMessageW(programs, WM_SETREDRAW, TRUE, 0);
    SendMessageW(extensions, WM_SETREDRAW, FALSE, 0);
    for (int e = 0; e < kExtensions; ++e) {
        std::wstring name = Numbered(L".b", e), description = L"Bench document " + std::to_wstring(e);
        LVITEMW item{};
        item.mask = LVIF_TEXT;
        item.iItem = e;
        item.pszText = name.data();
        int row = ListView_InsertItem(extensions, &item);
        ListView_SetItemText(extensions, row, 1, description.data());
    }
    SendMessageW(extensions, WM_SETREDRAW, TRUE, 0);
    for (int c = 0; c < kCategories; ++c) {
        TVINSERTSTRUCTW insert{};
        insert.hInsertAfter = TVI_LAST;
        insert.item.mask = TVIF_TEXT;
        std::wstring text = L"Category " + std::to_wstring(c);
        insert.item.pszText = text.data();
        HTREEITEM category = TreeView_InsertItem(tree, &insert);
        for (int s = 0; s < kSubcategories; ++s) {
            insert.hParent = category;
            HTREEITEM sub = TreeView_InsertItem(tree, &insert);
            for (int k = 0; k < 2; ++k) {
                insert.hParent = sub;
                HTREEITEM folderNode = TreeView_InsertItem(tree, &insert);
                insert.hParent = folderNode;
                TreeView_InsertItem(tree, &insert);
                TreeView_InsertItem(tree, &insert);
            }
            insert.hParent = nullptr;
        }
    }
    Pump();
    const double elapsed = Now() - start;
    DestroyWindow(window);
    testsupport::RemoveTree(folder);
    return elapsed;
}

double OptionsRound() {
    const double start = Now();
    frmTesselOptions& window = frmTesselOptions::Default();
    window.ShowForm();
    while (window.Loaded() && window.FormReadiness() != frReady) {
        Pump();
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 1, QS_ALLINPUT);
    }
    const double elapsed = Now() - start;
    if (!window.Loaded()) return -1;
    window.RequestClose();
    Pump();
    return elapsed;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const int rounds = argc > 1 ? std::max(1, _wtoi(argv[1])) : 3;
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_TREEVIEW_CLASSES};
    InitCommonControlsEx(&controls);
    SetMessageRows(LibraryMessageRow);
    CountingPresenter presenter(AnswerNo);
    SetMessagePresenter(&presenter);
    const std::wstring scratchFolder = testsupport::FreshTempFolder(L"LumoxOptionsBench");
    SetIniFolderOverride(scratchFolder);

    // The registry.
    const std::wstring scratch = L"Software\\LumoxBench\\Options" + std::to_wstring(GetCurrentProcessId());
    testsupport::DeleteRegistryTree(HKEY_CURRENT_USER, scratch);
    HKEY classes;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, scratch.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &classes,
                        nullptr) != ERROR_SUCCESS) {
        std::fprintf(stderr, "cannot create the scratch key\n");
        return 1;
    }
    std::printf("building %d extensions with their associations...\n", kExtensions);
    BuildRegistry(classes);
    RegOverridePredefKey(HKEY_CLASSES_ROOT, classes);
    // Not a first run: no welcome.
    SetString(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Morva Corporation\\Morva Utility Manager\\4",
              L"Morva Utility Manager First Time", L"False");

    // The archive in the Data folder beside this program.
    const std::wstring data = JoinPaths(RootFolder(), L"Data");
    CreateDirectoryW(data.c_str(), nullptr);
    const std::wstring source = scratchFolder + L"\\source";
    CreateDirectoryW(source.c_str(), nullptr);
    std::string programList;
    for (int i = 0; i < kPrograms; ++i) programList += ProgramLine(i) + "\r\n";
    WriteFileBytes(source + L"\\TesselExe.dat", programList);
    WriteFileBytes(source + L"\\Tesselcat.xml", CategoryFile());
    WriteFileBytes(source + L"\\Tesselma.xml", "<?xml version=\"1.0\" ?>\r\n<MorvaAliases>\r\n</MorvaAliases>\r\n");
    const std::wstring archive = GetArchivePath();
    zip::PackFiles(archive, {source + L"\\TesselExe.dat", source + L"\\Tesselcat.xml", source + L"\\Tesselma.xml"},
                   ArchivePassword);

    double bestOurs = 1e9, bestBare = 1e9;
    long rows = 0, extensions = 0, nodes = 0;
    for (int r = 0; r < rounds; ++r) {
        bestBare = std::min(bestBare, BareRound(archive, scratchFolder + L"\\bare", classes));
        double ours = OptionsRound();
        if (ours < 0) {
            std::fprintf(stderr, "the options window did not get ready (%d boxes)\n", presenter.shown);
            return 1;
        }
        bestOurs = std::min(bestOurs, ours);
        if (frmTesselOptions* w = frmTesselOptions::Existing()) (void)w;
    }
    {
        // One more open to count what it showed.
        frmTesselOptions& window = frmTesselOptions::Default();
        window.ShowForm();
        while (window.Loaded() && window.FormReadiness() != frReady) Pump();
        rows = window.lvwPrograms.Count();
        extensions = window.lvwExts.Count();
        nodes = window.tvwChoices.Count();
        window.RequestClose();
        Pump();
    }
    std::printf("program rows %ld, extension rows %ld, tree nodes %ld, boxes %d\n", rows, extensions, nodes,
                presenter.shown);
    std::printf("ShowForm to readiness 2: %.3f s (best of %d)\n", bestOurs, rounds);
    std::printf("bare unpack, enumerate and fill:   %.3f s\n", bestBare);
    std::printf("ratio: %.2f\n", bestOurs / bestBare);

    RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr);
    RegCloseKey(classes);
    testsupport::DeleteRegistryTree(HKEY_CURRENT_USER, scratch);
    testsupport::RemoveTree(scratchFolder);
    return 0;
}
