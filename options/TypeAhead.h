// Typing a letter in the program or extension list jumps to a row that starts with it. The rows
// are in sorted order, so the search bisects instead of scanning.
#pragma once
#include <string>
#include <vector>

// texts: the rows' descriptions (the program list's sub-item 2) in row order; selected: the
// selected row from 1, 0 when none (the search then starts at row 1). Answers the row to select
// (from 1), 0 for an empty list. Repeating the letter of the selected row moves to the next
// company that starts with it, and from the last one back to the first.
int ProgramTypeAheadRow(const std::vector<std::wstring>& descriptions, int selected, const std::wstring& typed);

// texts: the rows' extensions (".txt"), whose letter is the one after the dot. Repeating the
// letter of the selected row steps to the next extension with that letter, then wraps to the first.
int ExtensionTypeAheadRow(const std::vector<std::wstring>& extensions, int selected, const std::wstring& typed);

// The program line's company: the description before its first "-", trailing blanks removed
// (the whole description when it has no "-").
std::wstring CompanyOfDescription(const std::wstring& description);
