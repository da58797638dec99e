#include "basWinAPI_Processes.h"

#include <vector>

#include "basErrorHandler.h"
#include "basStrings.h"
#include "basWinAPI_Windows.h"

namespace {
const wchar_t kShellAndWait[] = L"ShellAndWaitUntilDone";
constexpr DWORD kWaitMilliseconds = 30000;
}  // namespace

bool ShellAndWaitUntilDone(const std::wstring& program, const std::wstring& arguments, DWORD* exitCode) {
    return Trapped(kShellAndWait, [&] {
        if (exitCode) *exitCode = STILL_ACTIVE;
        std::wstring commandLine = program + L" " + arguments;
        // CreateProcessW may write into the command line, so it gets its own buffer.
        std::vector<wchar_t> buffer(commandLine.begin(), commandLine.end());
        buffer.push_back(L'\0');

        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process{};
        BOOL started = CreateProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, NORMAL_PRIORITY_CLASS,
                                      nullptr, nullptr, &startup, &process);
        if (CheckAPIResult(started, kShellAndWait, 0) == 0) return false;

        // The thread handle is of no use to us; leaving it open would leak one per run.
        CheckAPIResult(CloseHandle(process.hThread), kShellAndWait, 0);
        DWORD waited = WaitForSingleObject(process.hProcess, kWaitMilliseconds);
        bool ok = CheckAPIResult(static_cast<long>(waited), kShellAndWait, -1) != -1;
        DWORD code = STILL_ACTIVE;
        if (CheckAPIResult(GetExitCodeProcess(process.hProcess, &code), kShellAndWait, 0) != 0 && exitCode)
            *exitCode = code;
        CheckAPIResult(CloseHandle(process.hProcess), kShellAndWait, 0);
        return ok;
    });
}

bool RegisterDLL(const std::wstring& path) {
    return Trapped(L"RegisterDLL", [&] {
        std::wstring target = path;
        if (target.find(L' ') != std::wstring::npos && target.find(L'"') == std::wstring::npos)
            target = L"\"" + target + L"\"";
        // The system's own regsvr32 (the one start-up checked), never a namesake found first on
        // the search path (the program's folder, the current folder).
        std::wstring regsvr32 = JoinPaths(SystemFolder(), L"regsvr32.exe");
        if (regsvr32.find(L' ') != std::wstring::npos) regsvr32 = L"\"" + regsvr32 + L"\"";
        // A stale registration is cleared first; its failure (nothing registered) is no concern.
        for (int i = 0; i < 2; ++i) {
            try {
                ShellAndWaitUntilDone(regsvr32, L"/s /u " + target);
            } catch (...) {
            }
        }
        DWORD exitCode = STILL_ACTIVE;
        bool ran = ShellAndWaitUntilDone(regsvr32, L"/s " + target, &exitCode);
        return ran && exitCode == 0;
    });
}
