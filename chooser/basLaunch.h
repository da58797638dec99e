// Launching: the program Windows itself would use for a file, the run of override entries
// of one extension, the start of a program through the shell, and the marker pair with which
// the chooser recognises the request that its own launch causes.
#pragma once
#include <string>

#include "vb/VbList.h"

// "description|version|OK|long path|short path" of the program Windows associates with the
// file; "" when there is none or it has no usable description or version.
std::wstring GetWindowsDefaultProgram(const std::wstring& File);

// The program Windows associates with the file; "" when none.
std::wstring FindExecutableForFile(const std::wstring& File);

// Index of the first entry whose field 0 is Key (text compare) and, in Last, of the last entry
// of the unbroken run that follows; not found: UBound + 1 with Last 0. An empty entry raises.
long FindRecordRun(const std::wstring& Key, const vb::List<std::wstring>& Records, long& Last);

// Starts Program with File (quoted when it holds a blank) through the shell, in File's folder;
// an empty Verb means "open". Answers the shell's result (32 or less: not started).
long LaunchProgram(const std::wstring& Program, const std::wstring& File, const std::wstring& Verb);

// The marker files "Bl1.ok" (resting) and "Bl1.ign" (armed) live in folder. Errors are ignored.
// Check: True when an armed marker was found; it is put back to resting.
bool CheckIgnoreMarker(const std::wstring& folder);
// Arms the marker before a launch.
void SetIgnoreMarker(const std::wstring& folder);

// The folder of the chooser's program file.
std::wstring GetAppPath();
