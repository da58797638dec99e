// The user's override lists: the Add list ("TesselAdd.dat"), the Remove list ("TesselDel.dat")
// and the Def list ("TesselDef.dat"). Each entry is a UserChoice line of six fields joined by
// "|": extension, description, version, status with its list suffix, long path, short path.
#pragma once
#include <string>
#include <vector>

#include "vb/VbList.h"
#include "win/Window.h"

// The calling thread's lists: entries 1 to UBound in file order, element 0 empty.
vb::List<std::wstring>& AddList();
vb::List<std::wstring>& RemoveList();
vb::List<std::wstring>& DefList();

// The fields of the entries found stale by CleanUserData (each kept once), element 0 empty;
// the options window's GetNodesToBeRemoved reads them.
vb::List<std::vector<std::wstring>>& StaleEntries();

// Loads the three files; with clean, drops the entries whose program is gone (CleanUserData).
void GetUserChoices(bool clean);
// Reads one file into the list its name picks ("...Add.dat", "...Del.dat", "...Def.dat"); a
// missing file leaves the list as it was, any other name reads nothing.
void LoadUserChoiceFile(const std::wstring& path);
// The same for lines read elsewhere (from the archive in memory, say) of the file fileName.
void LoadUserChoiceLines(const std::wstring& fileName, std::vector<std::wstring> lines);

// What a clean-up follows: loading the lists (the window's start, a change to the extension
// list) or a program scan.
enum class CleanUpAfter { Load, Scan };
// Drops the entries whose program is no longer in the program list, collects them in
// StaleEntries, saves the lists and reports them in the information window. With an empty
// program list nothing counts as stale; lines with fewer than six fields are kept as they are.
// An entry the list lacks stays when its drive was not scanned or its file is still there;
// such entries are reported only after a scan.
void CleanUserData(CleanUpAfter after = CleanUpAfter::Load);
void AddStaleNode(const std::vector<std::wstring>& fields);
// Removes the category tree's program nodes of the stale entries, then saves.
void RemoveStaleNodes();
std::wstring DescribeUserChoice(const std::vector<std::wstring>& fields);

// With save: writes the three lists, the category file and the alias file, clears the options
// window's NeedToSaveUserChoices and brings the archive up to date. Without: nothing.
void SaveUserChoices(bool save);
// While one is alive (the options window rebuilds its lists and tree), SaveUserChoices writes
// nothing; a save asked for meanwhile runs when the last hold ends.
class UserChoicesSaveHold {
public:
    UserChoicesSaveHold();
    ~UserChoicesSaveHold();
    UserChoicesSaveHold(const UserChoicesSaveHold&) = delete;
    UserChoicesSaveHold& operator=(const UserChoicesSaveHold&) = delete;
};
void SaveUserChoiceFile(const std::wstring& path, const vb::List<std::wstring>& list);
// listName "Add", "Def" or "Remove" (any case); any other name does nothing.
void RemoveUserChoice(const std::wstring& listName, long index);

// The program fields of a row of the options window's program list: description, version,
// status, long path (folder and file name joined), short path.
std::vector<std::wstring> GetListItemFields(const win::ListView& list, int item);
