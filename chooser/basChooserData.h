// The chooser's loading of the user's data: on every request it reads the override lists and
// the alias records from the working folder or, when the folder holds no data files, straight
// from the data archive in memory. It never writes a file.
#pragma once
#include <string>

#include "Rundel.h"

// How the last load on this thread found the working folder.
struct ChooserDataFolder {
    bool FolderExisted = false;  // the working folder was there
    bool FilesExisted = false;   // it held ".dat" files, which were read as they are
    std::wstring WorkingFolder;  // the shared working folder
};
const ChooserDataFolder& LastChooserDataFolder();

// The archive's members a request reads; the category file need only be there.
inline constexpr const wchar_t* kRequestMembers[] = {L"TesselAdd.dat", L"TesselDel.dat", L"TesselDef.dat",
                                                     L"Tesselma.xml"};

// Loads the three lists (Add, Remove, Def) and the aliases: from the working folder's files
// when an options window has them there, otherwise from the data archive. The lists go into
// data; the alias records stay with the thread for AliasShownByOriginal. False when there is
// no usable data: no archive, one that cannot be read, or one without its category file.
bool LoadChooserData(ChooserData& data);
// The same with the archive at archivePath.
bool LoadChooserDataFrom(const std::wstring& archivePath, ChooserData& data);

// The alias of a program by the values its scan found, from the records the last load read.
std::optional<AliasShown> AliasShownByOriginal(const std::vector<std::wstring>& programFields);
