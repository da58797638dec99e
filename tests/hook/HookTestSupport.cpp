#include "HookTestSupport.h"

#include <cstdio>
#include <vector>

#include "vb/VbApp.h"

namespace hooktest {

namespace {

std::wstring Beside(const wchar_t* name) { return TestFolder() + L"\\" + name; }

std::vector<char> ReadAll(const std::wstring& path) {
    std::vector<char> data;
    FILE* f = _wfopen(path.c_str(), L"rb");
    if (!f) return data;
    char buffer[4096];
    size_t n;
    while ((n = fread(buffer, 1, sizeof(buffer), f)) > 0) data.insert(data.end(), buffer, buffer + n);
    fclose(f);
    return data;
}

}  // namespace

std::wstring TestFolder() { return vb::AppPath(); }

std::wstring ZintraPath() {
    wchar_t full[MAX_PATH];
    const std::wstring relative = TestFolder() + L"\\" + ZINTRA_RELATIVE_PATH;
    GetFullPathNameW(relative.c_str(), MAX_PATH, full, nullptr);
    return full;
}

std::wstring FakeChooserPath() { return Beside(L"hook_fake_chooser.exe"); }

long RunAndWait(const std::wstring& commandLine) {
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    std::wstring line = commandLine;
    if (!CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return -1;
    WaitForSingleObject(pi.hProcess, 120000);
    DWORD code = 0;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return static_cast<long>(code);
}

void RegisterServersOnce() {
    static bool done = false;
    if (done) return;
    done = true;
    RunAndWait(L"regsvr32 /s \"" + ZintraPath() + L"\"");
    RunAndWait(L"\"" + FakeChooserPath() + L"\" /RegServer");
}

std::optional<std::wstring> ReadString(HKEY root, const std::wstring& key, const wchar_t* valueName) {
    HKEY h = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return std::nullopt;
    wchar_t data[1024] = {};
    DWORD size = sizeof(data) - sizeof(wchar_t);
    DWORD type = 0;
    LONG rc = RegQueryValueExW(h, valueName, nullptr, &type, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(h);
    if (rc != ERROR_SUCCESS) return std::nullopt;
    return std::wstring(data);
}

bool KeyExists(HKEY root, const std::wstring& key) {
    HKEY h = nullptr;
    if (RegOpenKeyExW(root, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    RegCloseKey(h);
    return true;
}

void WriteString(HKEY root, const std::wstring& key, const wchar_t* valueName, const std::wstring& data) {
    HKEY h = nullptr;
    if (RegCreateKeyExW(root, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr) != ERROR_SUCCESS) return;
    RegSetValueExW(h, valueName, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                   static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(h);
}

void SetChooserAnswer(const std::string& answer) {
    FILE* f = _wfopen(Beside(L"FakeChooserAnswer.txt").c_str(), L"wb");
    if (!f) return;
    fwrite(answer.data(), 1, answer.size(), f);
    fclose(f);
}

void SetChooserEnding(const std::string& mode) {
    FILE* f = _wfopen(Beside(L"FakeChooserEnding.txt").c_str(), L"wb");
    if (!f) return;
    fwrite(mode.data(), 1, mode.size(), f);
    fclose(f);
}

bool ChooserEndingPending() {
    return GetFileAttributesW(Beside(L"FakeChooserEnding.txt").c_str()) != INVALID_FILE_ATTRIBUTES;
}

void ForgetChooserEnding() { DeleteFileW(Beside(L"FakeChooserEnding.txt").c_str()); }

void ForgetChooserCalls() {
    DeleteFileW(Beside(L"FakeChooserCalls.txt").c_str());
    DeleteFileW(Beside(L"FakeChooserRequest.txt").c_str());
}

int ChooserCalls() { return static_cast<int>(ReadAll(Beside(L"FakeChooserCalls.txt")).size()); }

std::wstring LastChooserRequest() {
    std::vector<char> data = ReadAll(Beside(L"FakeChooserRequest.txt"));
    return std::wstring(reinterpret_cast<const wchar_t*>(data.data()), data.size() / sizeof(wchar_t));
}

}  // namespace hooktest
