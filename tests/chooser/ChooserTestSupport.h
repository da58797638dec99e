// What the chooser's tests share: request texts, a fake of the chooser's services, files in
// a fresh temporary folder and the recorder program's log.
#pragma once
#include <windows.h>
#include <tlhelp32.h>

#include <functional>
#include <map>
#include <string>
#include <vector>

#include "Rundel.h"
#include "TestSupport.h"
#include "vb/VbApp.h"
#include "zip/ZipArchive.h"

namespace choosertest {

// The eight lines of a request as the hook writes them.
inline std::wstring Request(const std::wstring& verb, const std::wstring& file, bool idList = false) {
    const std::wstring end = L"\r\n";
    return verb + end + (idList ? L"C" : L"0") + end + file + end + L"" + end + L"" + end + L"1" + end +
           L"No class information available." + end + (idList ? L"Launched by IDLIST." : L"Not IDLIST related.") + end;
}

inline void WriteFileText(const std::wstring& path, const std::string& text) {
    HANDLE f = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (f == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(f, text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    CloseHandle(f);
}

inline std::string ReadFileText(const std::wstring& path) {
    std::string text;
    HANDLE f = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
    if (f == INVALID_HANDLE_VALUE) return text;
    char buffer[4096];
    DWORD got = 0;
    while (ReadFile(f, buffer, sizeof(buffer), &got, nullptr) && got > 0) text.append(buffer, got);
    CloseHandle(f);
    return text;
}

inline bool Exists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

inline std::wstring ShortPath(const std::wstring& path) {
    wchar_t buffer[MAX_PATH] = {};
    GetShortPathNameW(path.c_str(), buffer, MAX_PATH);
    return buffer;
}

inline std::wstring FromUtf8(const std::string& text) {
    if (text.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

// The recorder's lines "<folder>|<command line>", waiting up to timeoutMs for count of them.
inline std::vector<std::wstring> RecorderLines(const std::wstring& logPath, size_t count = 0, DWORD timeoutMs = 0) {
    const DWORD start = GetTickCount();
    for (;;) {
        std::vector<std::wstring> lines;
        std::wstring text = FromUtf8(ReadFileText(logPath));
        size_t from = 0;
        for (size_t end; (end = text.find(L"\r\n", from)) != std::wstring::npos; from = end + 2)
            lines.push_back(text.substr(from, end - from));
        if (lines.size() >= count || GetTickCount() - start >= timeoutMs) return lines;
        Sleep(50);
    }
}

// Runs a command line and answers its exit code (-1 when it could not start).
inline long RunAndWait(const std::wstring& commandLine, DWORD timeoutMs = 120000) {
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    std::wstring line = commandLine;
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
    WaitForSingleObject(pi.hProcess, timeoutMs);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return static_cast<long>(code);
}

// The ids of the chooser's processes running now.
inline std::vector<DWORD> ChuselProcessIds() {
    std::vector<DWORD> ids;
    HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE) return ids;
    PROCESSENTRY32W entry{};
    entry.dwSize = sizeof(entry);
    for (BOOL more = Process32FirstW(snapshot, &entry); more; more = Process32NextW(snapshot, &entry))
        if (_wcsicmp(entry.szExeFile, L"Chusel.exe") == 0) ids.push_back(entry.th32ProcessID);
    CloseHandle(snapshot);
    return ids;
}
inline int ChuselProcesses() { return static_cast<int>(ChuselProcessIds().size()); }

// Waits until count chooser processes run; false when the time ran out first. A server stays
// a while after its last object went, so waiting for none takes longer than that.
inline bool WaitForChuselProcesses(int count, DWORD timeoutMs = 30000) {
    const DWORD start = GetTickCount();
    while (ChuselProcesses() != count) {
        if (GetTickCount() - start > timeoutMs) return false;
        Sleep(50);
    }
    return true;
}

inline std::wstring TestFolder() { return vb::AppPath(); }
inline std::wstring RecorderPath() { return TestFolder() + L"\\lumox_recorder.exe"; }

// An override line: extension, description, version, status, long path, short path.
inline std::wstring Entry(const std::wstring& ext, const std::wstring& description, const std::wstring& version,
                          const std::wstring& status, const std::wstring& longPath, const std::wstring& shortPath) {
    return ext + L"|" + description + L"|" + version + L"|" + status + L"|" + longPath + L"|" + shortPath;
}

// Packs files (name and ANSI content) into a data archive at archivePath, with the archive's
// password, through our own ZIP layer.
inline bool MakeArchive(const std::wstring& archivePath,
                        const std::vector<std::pair<std::wstring, std::string>>& files) {
    const std::wstring scratch = testsupport::FreshTempFolder(L"archive-source");
    std::vector<std::wstring> paths;
    for (const auto& [name, content] : files) {
        paths.push_back(scratch + L"\\" + name);
        WriteFileText(paths.back(), content);
    }
    const bool ok = zip::PackFiles(archivePath, paths, "UWLpKEh+") == zip::ZipResult::Ok;
    testsupport::RemoveTree(scratch);
    return ok;
}

inline std::string Ansi(const std::wstring& text) {
    const int n = WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, text.c_str(), static_cast<int>(text.size()), out.data(), n, nullptr, nullptr);
    return out;
}

inline const char* CategoryFileText() { return "<?xml version=\"1.0\" ?>\r\n<MorvaTesselCategories>\r\n</MorvaTesselCategories>\r\n"; }

struct Launched {
    std::wstring program, file, verb;
};

// The chooser's world, as the tests set it up and watch it.
class FakeServices : public ChooserServices {
public:
    explicit FakeServices(std::wstring markerFolder) : markerFolder_(std::move(markerFolder)) {}

    bool LoadData(ChooserData& loaded) override {
        ++loads;
        if (auto callback = onLoad) callback();  // a copy: the callback may replace itself
        loaded = data;
        return loadOk;
    }
    std::optional<AliasShown> FindAlias(const std::vector<std::wstring>& programFields) override {
        aliasQueries.push_back(programFields);
        auto it = aliases.find(programFields.empty() ? std::wstring() : programFields[0]);
        if (it == aliases.end()) return std::nullopt;
        return it->second;
    }
    std::wstring WindowsDefaultProgram(const std::wstring& file) override {
        ++windowsLookups;
        windowsFile = file;
        if (windowsRaises) vb::Raise(vb::ErrInvalidCall);
        return windowsRecord;
    }
    long ShowList(const std::wstring& caption, const std::vector<ListRow>& rows) override {
        ++lists;
        shownCaption = caption;
        shownRows = rows;
        if (auto callback = onList) callback();  // a copy: the callback may replace itself
        return listAnswer;
    }
    long Launch(const std::wstring& program, const std::wstring& file, const std::wstring& verb) override {
        launched.push_back({program, file, verb});
        if (auto callback = onLaunch) callback();  // a copy: the callback may replace itself
        return launchResult;
    }
    std::wstring MarkerFolder() override { return markerFolder_; }
    void SetMarkerFolder(const std::wstring& folder) { markerFolder_ = folder; }

    ChooserData data;
    bool loadOk = true;
    std::map<std::wstring, AliasShown> aliases;  // by description
    std::wstring windowsRecord;
    bool windowsRaises = false;
    long listAnswer = -1;
    long launchResult = 42;
    std::function<void()> onLoad, onList, onLaunch;

    int loads = 0;
    int windowsLookups = 0;
    std::wstring windowsFile;
    int lists = 0;
    std::wstring shownCaption;
    std::vector<ListRow> shownRows;
    std::vector<Launched> launched;
    std::vector<std::vector<std::wstring>> aliasQueries;

private:
    std::wstring markerFolder_;
};

}  // namespace choosertest
