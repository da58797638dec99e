// The drives the user allows for the program scan, and the search for executable files
// on them.
#pragma once
#include <string>
#include <vector>

class frmDoingStuff;

// Drive types as Windows numbers them, and the suite's own code for a substituted drive.
enum DriveTypeCode : int {
    dtRemovable = 2,
    dtFixed = 3,
    dtRemote = 4,
    dtCdRom = 5,
    dtRamDisk = 6,
    dtSubstituted = 7,
};

// Shows the drive dialog with the drives of the flagged types. Element 0 is "Ok" or
// "Cancel" (empty when there is no drive at all), elements 1 on the ticked drive roots.
std::vector<std::wstring> GetDrivesToScan(bool removable, bool fixed, bool remote, bool cdRom, bool ramDisk,
                                          bool substituted, bool showCancel);

int GetDriveTypeEx(const std::wstring& driveRoot);
bool IsSubstDrive(const std::wstring& driveRoot);
// Reads "C:\autoexec.bat" again at the next IsSubstDrive.
void ResetSubstDrives();

// Appends folder's files that match pattern (and, with recurse, its subfolders' files, the
// folder's own first) to files at counter + 1 on. progress may be nullptr.
void SearchExeFiles(const std::wstring& folder, const std::wstring& pattern, long& counter,
                    std::vector<std::wstring>& files, frmDoingStuff* progress, bool recurse, bool log);
