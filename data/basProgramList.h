// The program list "TesselExe.dat" in memory and the look-up that tells whether an override
// entry's program is still in it. A line: description|version|status|long path|short path,
// the lines in ascending ordinal order of their sort key (GetExeLineKey).
#pragma once
#include <string>
#include <vector>

// The loaded program list of the calling thread, the file's first line at element 0, and the
// index of its last line (-1 when the list is empty). The options window fills them when it
// reads the file.
std::vector<std::wstring>& ProgramLines();
long& ProgramLineLast();

// Fills ProgramLines and ProgramLineLast from lines.
void SetProgramLines(std::vector<std::wstring> lines);

// The lower-case form of a line's fields 0 to 3 run together: its sort key.
std::wstring GetExeLineKey(const std::wstring& line);

// True when the line's long path (field 3), in lower case, equals path (already lower case).
bool CompareExeKey(const std::wstring& path, const std::wstring& line);

// True when the program of an override entry (split at "|": 0 extension, 1 description,
// 2 version, 3 status with its suffix, 4 long path, 5 short path) is in the loaded list.
bool IsLineAsArrayValidExe(const std::vector<std::wstring>& entry);

// Field index of a line split at "|", empty when the line has fewer fields.
const std::wstring& Field(const std::vector<std::wstring>& fields, size_t index);

// Lower case as the program list's keys use it.
std::wstring LowerCase(std::wstring text);
