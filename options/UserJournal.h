// The user-override journal: how an edit of the category tree turns into lines of the Add,
// Def and Remove lists that the chooser reads. Each operation takes one pair of extension and
// program; it undoes an opposite line instead of stacking a new one and refuses contradictions
// with a message. Only the lists in memory change; the calling tree operation saves.
#pragma once
#include <string>
#include <vector>

#include "vb/VbList.h"

// Program entry: 0 "Company - Product", 1 version, 2 status (its first two characters count),
// 3 long path, 4 short path; with the description and version as the scan found them.
using JournalEntry = std::vector<std::wstring>;

// The status must start with "OK", "SD", "WD" or "NE"; otherwise message 4501 and False.
bool IsValidUserSelectionsB(long extIndex, const std::wstring& extension, const JournalEntry& entry);

// The index of the first line of the extension whose version, status and long path equal the
// entry's (offset 1: entry element k against line field k + 1), -1 when none; lastSeen is the
// last line of the extension that the walk passed.
long FindUserChoice(const JournalEntry& entry, const vb::List<std::wstring>& list, const std::wstring& extension,
                    long offset, long& lastSeen, long& index);

// The run of lines of the extension: first to last; without one, first = UBound + 1, last = 0.
void FindExtensionLines(const std::wstring& extension, const vb::List<std::wstring>& list, long& last,
                        long& first);

// Inserts "extension|e0|e1|..." into the list named "Add", "Def" or "Remove" (any case) after
// the lines that sort up to it; any other name does nothing.
void AppendUserChoice(const std::wstring& listName, const std::wstring& extension, const JournalEntry& entry);

// Add a program to an extension (quiet: no message 4504 when it is there already).
void UserAddB(long extIndex, const std::wstring& extension, JournalEntry entry, bool quiet);
// Make a program the extension's default; message 4507 when the extension has one already.
void UserDefaultB(long extIndex, const std::wstring& extension, JournalEntry entry);
// Take a program away from an extension; message 4505 when it is removed already. A program
// with no line for the extension records nothing.
void UserRemoveB(long extIndex, const std::wstring& extension, JournalEntry entry);

// Whether the Def list holds the program's line for the extension.
bool IsDefaultRecorded(const std::wstring& extension, JournalEntry entry);

// The extension as a new line names it: the name of the extension record at extIndex, or the
// text when the model holds no such record.
std::wstring JournalExtensionName(long extIndex, const std::wstring& extension);
