// This test program run again as a separate process that runs one disabled test of its own:
// a scan that ends without a close, a crash, a program that holds a file open. A child that
// outlives its limit is ended, so that it cannot keep files busy for the rows after it.
#pragma once
#include <windows.h>

#include <string>

namespace testsupport {

// The exit code answered for a child that could not start or that was ended at its limit.
constexpr DWORD kChildNotStarted = 0xFFFFFFFFu;
constexpr DWORD kChildOverran = 0xFFFFFFFEu;

class ChildTest {
public:
    ChildTest() = default;
    ~ChildTest() { End(); }
    ChildTest(const ChildTest&) = delete;
    ChildTest& operator=(const ChildTest&) = delete;

    // Starts the child on the named test ("Suite.DISABLED_Name"); the environment variables
    // set before the call reach it.
    bool Start(const std::wstring& test) {
        End();
        wchar_t self[MAX_PATH] = {};
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::wstring commandLine =
            L"\"" + std::wstring(self) + L"\" --gtest_also_run_disabled_tests --gtest_filter=" + test;
        STARTUPINFOW si{};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi{};
        if (!CreateProcessW(self, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi))
            return false;
        CloseHandle(pi.hThread);
        process_ = pi.hProcess;
        return true;
    }

    // Waits for the child to end and answers its exit code; one still running after limitMs is
    // ended (kChildOverran).
    DWORD Wait(DWORD limitMs) {
        if (!process_) return kChildNotStarted;
        DWORD code = kChildOverran;
        if (WaitForSingleObject(process_, limitMs) == WAIT_OBJECT_0) {
            if (!GetExitCodeProcess(process_, &code)) code = kChildNotStarted;
        } else {
            TerminateProcess(process_, kChildOverran);
            WaitForSingleObject(process_, 10000);
        }
        CloseHandle(process_);
        process_ = nullptr;
        return code;
    }

    // Ends a child that is still running.
    void End() {
        if (!process_) return;
        TerminateProcess(process_, kChildOverran);
        WaitForSingleObject(process_, 10000);
        CloseHandle(process_);
        process_ = nullptr;
    }

private:
    HANDLE process_ = nullptr;
};

// Runs the child on the named test and answers its exit code (see ChildTest::Wait).
inline DWORD RunChildTest(const std::wstring& test, DWORD limitMs = 120000) {
    ChildTest child;
    if (!child.Start(test)) return kChildNotStarted;
    return child.Wait(limitMs);
}

// A file held open by another process without any sharing, as a backup program or a virus
// checker may hold one: neither read, nor written, nor replaced while it lasts. The test program
// must have a disabled test holdTest whose body is HoldTheFileAsAsked().
class FileHeldElsewhere {
public:
    FileHeldElsewhere(const std::wstring& path, const std::wstring& holdTest) {
        const std::wstring tag = std::to_wstring(GetCurrentProcessId()) + L"-" + std::to_wstring(++Counter());
        ready_ = CreateEventW(nullptr, TRUE, FALSE, (L"LumoxHeldFileReady-" + tag).c_str());
        release_ = CreateEventW(nullptr, TRUE, FALSE, (L"LumoxHeldFileRelease-" + tag).c_str());
        SetEnvironmentVariableW(L"LX_HOLD_PATH", path.c_str());
        SetEnvironmentVariableW(L"LX_HOLD_TAG", tag.c_str());
        if (!ready_ || !release_ || !child_.Start(holdTest)) return;
        holding_ = WaitForSingleObject(ready_, 60000) == WAIT_OBJECT_0;
    }
    ~FileHeldElsewhere() {
        Release();
        if (ready_) CloseHandle(ready_);
        if (release_) CloseHandle(release_);
    }
    FileHeldElsewhere(const FileHeldElsewhere&) = delete;
    FileHeldElsewhere& operator=(const FileHeldElsewhere&) = delete;

    // Whether the other process holds the file now.
    bool Holding() const { return holding_; }

    // Lets the file go: the other process closes it and ends.
    void Release() {
        if (release_) SetEvent(release_);
        child_.Wait(30000);
        holding_ = false;
    }

private:
    static int& Counter() {
        static int counter = 0;
        return counter;
    }
    ChildTest child_;
    HANDLE ready_ = nullptr;
    HANDLE release_ = nullptr;
    bool holding_ = false;
};

// The body of the child's disabled test for FileHeldElsewhere: opens the file without sharing,
// says so, and holds it until it is told to let go (a minute at most). Never returns.
inline void HoldTheFileAsAsked() {
    wchar_t path[MAX_PATH] = {}, tag[64] = {};
    GetEnvironmentVariableW(L"LX_HOLD_PATH", path, MAX_PATH);
    GetEnvironmentVariableW(L"LX_HOLD_TAG", tag, 64);
    HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, (std::wstring(L"LumoxHeldFileReady-") + tag).c_str());
    HANDLE release = OpenEventW(SYNCHRONIZE, FALSE, (std::wstring(L"LumoxHeldFileRelease-") + tag).c_str());
    if (!ready || !release) ExitProcess(2);
    HANDLE file = CreateFileW(path, GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) ExitProcess(3);
    SetEvent(ready);
    WaitForSingleObject(release, 60000);
    CloseHandle(file);
    ExitProcess(0);
}

}  // namespace testsupport
