// The built-in default associations: well-known programs of the program list and well-known
// registered extensions, offered set by set for fixed subcategories of the category tree while
// the category file has never been saved by the user.
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "win/TreeView.h"

// Seven rows separated by CR LF; fields joined by "|": 0 extensions (comma-separated),
// 1 program file names (comma-separated), 2 title, 3 description, 4 "Category:Subcategory".
extern const wchar_t* const DefaultAssociationTable;
// Every program file name of the table, in ascending order without regard to case.
extern const wchar_t* const KnownProgramNames;
// Every extension of the table, in ascending order without regard to case.
extern const wchar_t* const KnownExtensions;

// An entry of the working lists: the program line's or the extension record's index, and the
// known name it matched.
using FoundEntry = std::pair<long, std::wstring>;

// The programs of programLines (element 0 on) whose file name is a known one, and the extension
// records (in their name order) whose name is a known one, each list in known-name order.
std::vector<FoundEntry> FindKnownPrograms(const std::vector<std::wstring>& programLines, long lastLine);
std::vector<FoundEntry> FindKnownExtensions();

// Runs the offer through frmAutoAssociate and adds what is accepted to the category tree.
// True when at least one program or extension was added. Does nothing while the options
// window's category file is not untouched.
bool RunDefaultAssociations();

// Whether a row's program starts unchecked: the Notepad of the Windows folder when the one of
// the System folder is offered too, on Windows 2000 and later.
bool FindDefaultProgram(const std::vector<FoundEntry>& rowPrograms, const std::vector<std::wstring>& fields);

// Walks from node over its following siblings to the first whose text is text (without regard
// to case), or to the last sibling; node is left where the walk stopped.
void FindSiblingByText(const win::TreeNodes& tree, win::TreeNode& node, const std::wstring& text, bool& found);
