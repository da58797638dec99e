// The host's start routine and its helpers: first-run clean-up, folders, registration of
// the type libraries and COM servers of the Programs folder, the programs run at start, and
// the two waits that keep the window thread pumping.
#pragma once
#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "basHookSwitch.h"
#include "basIO.h"

class HostWindows;

// The host's globals.
std::wstring& SplashFormName();   // the splash's window name, "" when none was shown
short& PauseCountdown();          // set to 4 by Pause; the frame's tick counts it down

// The program's entry: answers the process exit code. Returns once the start-up is done
// (the frame is shown) or the program ends early; the caller then runs the message loop
// while the frame lives.
int Main(HostWindows& windows);
// True when the start-up ended the program early (RegSvr32 missing, another instance).
bool StartUpEndedProgram();

// The four version words of a stored value name's trailing version ("Sendrik.dll20.0.0.7").
struct VersionParts {
    unsigned short Major = 0, Minor = 0, Build = 0, Revision = 0;
};

void RemoveOldRegistrations();
bool RegisterTLB();
void CreateSubDirs();
void AddHiddenSwitch();
void RunProgramsExes();
void CheckDLLs();
VersionParts ExtractVersionFromString(const std::wstring& text);
long ExtractVerNo(const std::wstring& text);
void ProcessNewDLL(const ProgramPathRecord& dll, const std::wstring& oldValueName);
// The value name a registered DLL is kept under: file name directly followed by its version.
std::wstring DllValueName(const ProgramPathRecord& dll);

// Waits about count half-seconds, pumping messages; the frame's tick counts PauseCountdown
// down, and the elapsed time ends the wait in any case (from inside a tick, or with no timer).
void Pause(short& count);
// Pumps messages while a loaded window of that name exists.
void WaitWhileFormLoaded(const std::wstring& formName);

// True when another Marlden is already running (a named mutex held for this process's life).
bool AnotherInstanceRunning();
// The RegSvr32.exe test of the start: true when the file exists in systemFolder.
bool RegSvr32Present(const std::wstring& systemFolder);
// The folder the start looks for RegSvr32.exe in: the System folder unless tests point elsewhere.
std::wstring StartUpSystemFolder();
void SetStartUpSystemFolderOverride(const std::wstring& folder);

// All values of a numeric subkey of the host key as (name, data) pairs, in registry order.
std::vector<std::pair<std::wstring, std::wstring>> HostKeyValues(const wchar_t* key, bool quiet);

// Where the start-up works: the program folder (App.Path); tests point it elsewhere.
std::wstring HostProgramFolder();
void SetHostProgramFolderOverride(const std::wstring& folder);
// The Programs folder with a trailing backslash.
std::wstring ProgramsFolder();
