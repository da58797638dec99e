// The program scan: every "*.exe" on the chosen drives, detailed from its version resource,
// sorted and written to the program list "TesselExe.dat". Marks in the settings file and the
// Recovery folder let the next run resume after a crash and pass over the file that caused it.
#pragma once
#include <string>
#include <vector>

#include "ExeScanHost.h"

// Runs the scan for host. True only when this run wrote "TesselExe.dat" completely; False when
// it was cancelled, stopped, ended from the crash-recovery dialog or failed.
bool RefreshExeList(ExeScanHost& host, bool showCancel);
// The options window's form of the call: a, b and c are not used (every caller passes True);
// rescan shows the drive dialog's Cancel button; ok receives the result, which is also answered.
bool RefreshExeList(ExeScanHost& host, bool a, bool b, bool c, bool rescan, bool& ok);

// The options window's public members that the scan and the version reader write through.
void File2Ini(const std::wstring& path);
void Detail2Ini(const std::wstring& mark, bool force);
std::wstring Ini2Detail(std::wstring& defaultText);

// The problem files "File0", "File1", ... at elements 1 on (element 0 empty).
std::vector<std::wstring> GetProblemFiles();
// Adds the file named by "File" to the problem files.
void MoveCrashedFile();
// Reloads the lines saved so far into ProgramLines from element 0; answers how many.
long PopulateArrayWithProgressivelySavedDetails();
// Appends one line to "ExeDetail.lst".
void SaveProgress(const std::wstring& line);
void SetScanningProgress(const std::wstring& text);

// The program-list line of one found file; sortKey receives its sort key.
std::wstring DetailExeFile(const std::wstring& path, std::wstring& sortKey);

// Called with each path just before its version resource is read; tests use it to end the process there, as
// a file that brings the process down would. nullptr removes it.
void SetDetailingObserver(void (*observer)(const std::wstring& path));

// The logging levels of the scan in hand (as read at the start of its pass).
short SearchingLevel();
short DetailingLevel();
// The sort order of the last scan (position -> element of ProgramLines) and its first real entry.
const std::vector<long>& ProgramLineOrder();
long FirstProgramLine();
