#include "SuiteInstall.h"

#include <shlobj.h>

#include "ChooserTestSupport.h"
#include "TestSupport.h"

namespace e2e {

namespace {

bool Copy(const std::wstring& from, const std::wstring& to, std::wstring& failure) {
    if (CopyFileW(from.c_str(), to.c_str(), FALSE)) return true;
    failure = L"cannot copy " + from + L" to " + to + L" (error " + std::to_wstring(GetLastError()) + L")";
    return false;
}

// Every file of a folder that matches the pattern, copied into another.
bool CopyMatching(const std::wstring& from, const wchar_t* pattern, const std::wstring& to, std::wstring& failure) {
    WIN32_FIND_DATAW found{};
    HANDLE find = FindFirstFileW((from + L"\\" + pattern).c_str(), &found);
    if (find == INVALID_HANDLE_VALUE) {
        failure = std::wstring(L"no ") + pattern + L" in " + from;
        return false;
    }
    bool ok = true;
    do {
        ok = Copy(from + L"\\" + found.cFileName, to + L"\\" + found.cFileName, failure);
    } while (ok && FindNextFileW(find, &found));
    FindClose(find);
    return ok;
}

}  // namespace

SuiteLayout::SuiteLayout(const std::wstring& root)
    : root(root),
      programs(root + L"\\Programs"),
      data(root + L"\\Data"),
      messages(root + L"\\Messages\\Lumox"),
      host(root + L"\\Marlden.exe") {}

void SuiteLayout::MakeFolders() const {
    for (const std::wstring& folder : {root, programs, data, data + L"\\Initial", root + L"\\Messages", messages})
        CreateDirectoryW(folder.c_str(), nullptr);
}

const std::vector<std::wstring>& DesktopTestFiles() {
    static const std::vector<std::wstring> names{L"Lumox Test.txt", L"Lumox Test.htm"};
    return names;
}

std::wstring WindowsDesktop() {
    wchar_t path[MAX_PATH] = {};
    if (FAILED(SHGetFolderPathW(nullptr, CSIDL_DESKTOPDIRECTORY, nullptr, SHGFP_TYPE_CURRENT, path))) return L"";
    return path;
}

bool InstallWholeSuite(const SuiteBuild& build, const SuiteLayout& layout, std::wstring& failure) {
    const std::wstring desktop = WindowsDesktop();
    const DWORD desktopAttributes = desktop.empty() ? INVALID_FILE_ATTRIBUTES : GetFileAttributesW(desktop.c_str());
    if (desktopAttributes == INVALID_FILE_ATTRIBUTES || !(desktopAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
        failure = L"the Windows desktop folder \"" + desktop + L"\" is missing";
        return false;
    }
    // Wine marks its links to the Linux home so; an install never writes through them.
    if (desktopAttributes & FILE_ATTRIBUTE_REPARSE_POINT) {
        failure = L"the Windows desktop \"" + desktop +
                  L"\" is a link out of the Wine prefix; prepare the prefix with scripts/wineenv";
        return false;
    }

    testsupport::RemoveTree(layout.root);
    layout.MakeFolders();
    const std::pair<std::wstring, std::wstring> files[] = {
        {build.host, layout.host},
        {build.help, layout.root + L"\\Lumox.chm"},
        {build.help, layout.programs + L"\\Lumox.chm"},
        {build.sendrik, layout.programs + L"\\Sendrik.dll"},
        {build.zintra, layout.programs + L"\\Zintra.dll"},
        {build.chusel, layout.programs + L"\\Chusel.exe"},
        {build.archive, layout.data + L"\\TesselMorva.dat"},
        {build.firstArchive, layout.data + L"\\Initial\\TesselMorva.dat"},
    };
    for (const auto& [from, to] : files)
        if (!Copy(from, to, failure)) return false;
    if (!CopyMatching(build.notes, L"*.note", layout.messages, failure)) return false;
    for (const std::wstring& name : DesktopTestFiles())
        if (!Copy(build.desktop + L"\\" + name, desktop + L"\\" + name, failure)) return false;
    return true;
}

void RemoveWholeSuite(const SuiteLayout& layout) {
    for (const wchar_t* dll : {L"Zintra.dll", L"Sendrik.dll"})
        choosertest::RunAndWait(L"regsvr32 /s /u \"" + layout.programs + L"\\" + dll + L"\"");
    choosertest::RunAndWait(L"\"" + layout.programs + L"\\Chusel.exe\" /UnregServer");
    testsupport::RemoveTree(layout.root);
    const std::wstring desktop = WindowsDesktop();
    if (!desktop.empty() && !(GetFileAttributesW(desktop.c_str()) & FILE_ATTRIBUTE_REPARSE_POINT))
        for (const std::wstring& name : DesktopTestFiles()) DeleteFileW((desktop + L"\\" + name).c_str());
}

std::optional<std::wstring> FirstRunValue() {
    wchar_t data[64] = {};
    DWORD size = sizeof(data) - sizeof(wchar_t);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Morva Corporation\\Morva Utility Manager\\4",
                     L"Morva Utility Manager First Time", RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(data);
}

}  // namespace e2e
