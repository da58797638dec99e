// The data files as text: read line by line and written whole through a new file beside the
// old one, so a failed or interrupted save leaves the old file as it was. The files are in
// the ANSI code page.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "basIO.h"  // FileExists

// Reads a whole file, sharing it with readers, writers and a save that replaces it. False when
// the file cannot be opened; bytes is then left as it was.
bool ReadFileBytes(const std::wstring& path, std::string& bytes);

// Reads every line (ended by CR LF, LF or CR; the last one may lack its end). False when the
// file cannot be opened; lines is then left as it was.
bool ReadTextLines(const std::wstring& path, std::vector<std::wstring>& lines);

// The lines of a data file's bytes, split as ReadTextLines splits them.
std::vector<std::wstring> SplitTextLines(std::string_view bytes);

// Writes text to a new file beside path, then puts it in path's place in one step. Raises a
// run-time error (75) naming the file when either step fails; the old file then stays whole.
void WriteTextFileReplacing(const std::wstring& path, const std::wstring& text);

// WriteTextFileReplacing, unless the file still holds this very text as this function's last
// write of it on this thread left it (same size and time since): a save that changed nothing
// then touches nothing, and the archive's update finds nothing new. Answers whether it wrote.
bool WriteTextFileIfChanged(const std::wstring& path, const std::wstring& text);
