// The data archive "TesselMorva.dat" and the working folder into which it is unpacked: the
// folder's state, the paths of the data files in it, and the unpacking and packing.
#pragma once
#include <string>
#include <vector>

#include "zip/ZipArchive.h"

// The archive's password, the same in every deliverable that opens it.
inline constexpr char ArchivePassword[] = "UWLpKEh+";
inline constexpr wchar_t ArchiveFileName[] = L"TesselMorva.dat";

// Module state of the calling thread: empty until UnpackFiles (or UseDataFolder) ran.
const std::wstring& WorkingFolder();
const std::wstring& CategoryFilePath();
const std::wstring& AliasFilePath();

// Points the data-file paths at folder (WorkingFolder, CategoryFilePath, AliasFilePath).
// UnpackFiles does this for the working folder; a reader that unpacks into a folder of its
// own points the paths there.
void UseDataFolder(const std::wstring& folder);

// The data files in the working folder.
std::wstring GetAddFilePath();
std::wstring GetDefFilePath();
std::wstring GetDelFilePath();
std::wstring GetExeFilePath();
std::wstring GetSnapshotFilePath();
std::wstring GetRecoveryFolder();
std::wstring GetExeListRecoveryPath();
std::wstring GetExeDetailRecoveryPath();
// root\Messages\Lumox: independent of the working folder.
std::wstring GetMessagesFolder();

// The temporary folder's "Lopt", whether it is there or not; sets and makes nothing.
std::wstring WorkingFolderPath();

// The temporary folder's "Lopt": sets WorkingFolder and makes the folder when missing.
// Answers whether the folder was already there.
bool GetWorkingFolder();

// Copies archivePath into folder, unpacks the copy there (waiting for the copy and trying up
// to 11 times, letting pending window events run) and deletes the copy. Answers whether the
// last unzip attempt succeeded; written receives the files that it wrote. Shows nothing.
// outcome receives the last attempt's result; WriteFailed when the archive reads but its copy
// cannot be written into folder, CannotOpen when the archive cannot be read.
bool UnpackArchiveInto(const std::wstring& archivePath, const std::wstring& folder,
                       std::vector<std::wstring>* written = nullptr, zip::ZipResult* outcome = nullptr);

// The message for an unpack that failed on this machine rather than in the archive: what
// went wrong (result WriteFailed: the working folder; otherwise: reading the archive), and
// that the archive must not be replaced.
std::wstring LocalUnpackFailureText(const std::wstring& archive, const std::wstring& folder, zip::ZipResult result);

// Empties the working folder and unpacks the archive into it. True when the archive was
// unpacked and holds the category file; otherwise message 4521 (the archive is missing or
// damaged) or a message that names the local cause, and False. Working files newer than the
// archive (a closing that could not pack them) are first packed into it; when that fails
// too, message 4549, and they are used as they stand (True).
bool UnpackFiles();

// Packs the working folder's ".dat" and ".xml" files into the archive, deletes them and
// removes the folder. Does nothing unless UnpackFiles succeeded on this thread (so an empty
// or partial folder never replaces the user's data). A failed pack raises an error and
// leaves the archive and the working files as they were.
void PackFiles();

// PackFiles as the options window closes: a failure is told to the user (message 4549)
// instead of raised; the working files stay, newer than the archive, and the next
// UnpackFiles packs them before it unpacks.
void PackFilesOnClose();

// Brings the archive up to date with the working files, which stay in place; raises an error
// when it cannot be written. Does nothing unless UnpackFiles succeeded on this thread.
void UpdateArchive();

// Removes the working folder when it is empty; never reports an error.
void RemoveWorkingFolder();

// True from a successful UnpackFiles until PackFiles has packed the files away.
bool WorkingFilesUnpacked();
