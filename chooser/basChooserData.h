// The chooser's loading of the user's data: on every request it reads the override lists and
// the alias records from the working folder, or unpacks the data archive for itself when the
// folder holds no data files. It never writes a data file.
#pragma once
#include <string>

#include "Rundel.h"

// How the last load on this thread found the working folder.
struct ChooserDataFolder {
    bool FolderExisted = false;  // the working folder was there before the request
    bool FilesExisted = false;   // it held ".dat" files, which were read as they are
    std::wstring WorkingFolder;  // the shared working folder
    std::wstring OwnFolder;      // the folder this request unpacked into ("" when none)
};
const ChooserDataFolder& LastChooserDataFolder();

// Unpacks when needed (UnpackFiles), loads the three lists (GetUserChoices) and the aliases
// (GetAliases) and removes what it unpacked (DeleteWorkingFiles). The lists go into data; the
// alias records stay with the thread for AliasShownByOriginal. False when there is no usable
// data: no archive, an archive that cannot be unpacked, or one without its category file.
bool LoadChooserData(ChooserData& data);

// The alias of a program by the values its scan found, from the records the last load read.
std::optional<AliasShown> AliasShownByOriginal(const std::vector<std::wstring>& programFields);
