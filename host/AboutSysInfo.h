// The system-information tool behind the about box's "System Info..." button, and the
// registry read it is found with.
#pragma once
#include <windows.h>

#include <string>

// Reads a value of a key opened for reading only. Text values (also expandable ones, as they
// are stored) and DWORDs (as decimal text) go into keyVal; for other types keyVal is left as it
// was. False, with keyVal empty, when the key or the value cannot be read.
bool GetKeyValue(HKEY keyRoot, const std::wstring& keyName, const std::wstring& subKeyRef, std::wstring& keyVal);

// Finds MSINFO32 through the registry and starts it in a normal, focused window; shows
// "System Information Is Unavailable At This Time" when it is not there or does not start.
void StartSysInfo();

// The program start of StartSysInfo; tests put their own in place. Answers whether it started.
using ProgramStarter = bool (*)(const std::wstring& path);
// nullptr restores the real start; answers the previous starter (nullptr for the real one).
ProgramStarter SetSysInfoStarter(ProgramStarter starter);

inline constexpr const wchar_t* SysInfoUnavailableText = L"System Information Is Unavailable At This Time";
