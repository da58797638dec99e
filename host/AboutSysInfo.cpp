#include "AboutSysInfo.h"

#include <vector>

#include "HostVersion.h"
#include "basMessageHandler.h"
#include "basStrings.h"

namespace {

ProgramStarter g_starter = nullptr;

bool StartNormalFocused(const std::wstring& path) {
    std::wstring commandLine = L"\"" + path + L"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = SW_SHOWNORMAL;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &process))
        return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
}

std::wstring Expanded(const std::wstring& path) {
    DWORD needed = ExpandEnvironmentStringsW(path.c_str(), nullptr, 0);
    if (needed == 0) return path;
    std::wstring out(needed, L'\0');
    DWORD written = ExpandEnvironmentStringsW(path.c_str(), out.data(), needed);
    if (written == 0 || written > needed) return path;
    out.resize(written - 1);
    return out;
}

bool IsFile(const std::wstring& path) {
    DWORD attributes = GetFileAttributesW(path.c_str());
    return !path.empty() && attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Starts the tool when the (expanded) path names an existing file.
bool TryStart(const std::wstring& path) {
    std::wstring program = Expanded(path);
    if (!IsFile(program)) return false;
    return (g_starter ? g_starter : &StartNormalFocused)(program);
}

}  // namespace

ProgramStarter SetSysInfoStarter(ProgramStarter starter) {
    ProgramStarter previous = g_starter;
    g_starter = starter;
    return previous;
}

bool GetKeyValue(HKEY keyRoot, const std::wstring& keyName, const std::wstring& subKeyRef, std::wstring& keyVal) {
    HKEY key = nullptr;
    // Read access is all it takes; a limited user must still see the information.
    if (RegOpenKeyExW(keyRoot, keyName.c_str(), 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS) {
        keyVal.clear();
        return false;
    }
    std::vector<BYTE> buffer(1024 * sizeof(wchar_t) + sizeof(wchar_t), 0);
    DWORD length = 1024 * sizeof(wchar_t);
    DWORD type = 0;
    LONG read = RegQueryValueExW(key, subKeyRef.c_str(), nullptr, &type, buffer.data(), &length);
    RegCloseKey(key);
    if (read != ERROR_SUCCESS) {
        keyVal.clear();
        return false;
    }
    switch (type) {
        case REG_SZ:
        case REG_EXPAND_SZ: {
            std::wstring text(reinterpret_cast<const wchar_t*>(buffer.data()), length / sizeof(wchar_t));
            while (!text.empty() && text.back() == L'\0') text.pop_back();
            keyVal = text;
            break;
        }
        case REG_DWORD:
            if (length >= sizeof(DWORD)) {
                DWORD value = 0;
                memcpy(&value, buffer.data(), sizeof(value));
                keyVal = std::to_wstring(value);
            }
            break;
        default:
            break;
    }
    return true;
}

void StartSysInfo() {
    std::wstring path;
    if (GetKeyValue(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Shared Tools\\MSINFO", L"PATH", path) && TryStart(path))
        return;
    std::wstring folder;
    if (GetKeyValue(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Shared Tools Location", L"MSINFO", folder) &&
        !folder.empty() && TryStart(JoinPaths(folder, L"MSINFO32.EXE")))
        return;
    CurrentMessagePresenter().Show(SysInfoUnavailableText, MB_OK, AppTitle);
}
