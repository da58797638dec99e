// The data files as text: read line by line and written whole through a new file beside the
// old one, so a failed or interrupted save leaves the old file as it was. The files are in
// the ANSI code page.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "basIO.h"  // FileExists

// Reads a whole file, sharing it with readers, writers and a save that replaces it, and tells
// the archive layer what the file holds at its size and time. False when the file cannot be
// opened or a read fails part way; bytes is then left as it was.
bool ReadFileBytes(const std::wstring& path, std::string& bytes);

// Reads every line (ended by CR LF, LF or CR; the last one may lack its end). False when the
// file cannot be read whole; lines is then left as it was.
bool ReadTextLines(const std::wstring& path, std::vector<std::wstring>& lines);

// The lines of a data file's bytes, split as ReadTextLines splits them.
std::vector<std::wstring> SplitTextLines(std::string_view bytes);

// Every file of the working folder is written through these, which tell the archive layer
// what the file now holds, so that no writer has to.

// Writes text to a new file beside path, then puts it in path's place in one step. Raises a
// run-time error (75) naming the file when either step fails; the old file then stays whole.
void WriteWorkingFile(const std::wstring& path, const std::wstring& text);

// WriteWorkingFile, unless the file, as it lies, holds this very text as far as this process
// knows (it unpacked, read or wrote these bytes at the file's present size and time): a save
// that changed nothing then touches nothing, the first save after a start too, and the
// archive's update finds nothing new. Answers whether it wrote.
bool WriteWorkingFileIfChanged(const std::wstring& path, const std::wstring& text);

// Puts fresh, a complete new file written beside path by other means (an XML document's own
// save), in path's place in one step. False, with the system's error code kept for
// GetLastError, when that fails; fresh is then deleted and the old file stays whole.
bool PutWorkingFileInPlace(const std::wstring& fresh, const std::wstring& path);
