// Running a program and waiting for it, and registering COM servers with "regsvr32".
#pragma once
#include <windows.h>

#include <string>

// Runs program with arguments and waits up to 30 seconds for it. True when it was started and
// the wait worked; its exit code (STILL_ACTIVE when it outlived the wait) goes to exitCode.
bool ShellAndWaitUntilDone(const std::wstring& program, const std::wstring& arguments,
                           DWORD* exitCode = nullptr);

// Silently unregisters the server twice, then registers it. True only when the registering
// run of regsvr32 ended with exit code 0.
bool RegisterDLL(const std::wstring& path);
