// File helpers: the program path of a command line, a file's version resource, the short
// form of a path, the folders of PATH, the extension filter of the executable search and
// the search's progress writers.
#pragma once
#include <windows.h>

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "vb/VbList.h"
#include "vb/VbVariant.h"

// A file's version resource; all zero and empty when the file has none.
struct FileVersionInfo {
    VS_FIXEDFILEINFO FixedInfo{};
    std::wstring Translation;  // first language and code page, e.g. 040904B0
    std::wstring FileTypeName;
    std::wstring Comments;
    std::wstring CompanyName;
    std::wstring FileDescription;
    std::wstring FileVersion;
    std::wstring InternalName;
    std::wstring LegalCopyright;
    std::wstring LegalTrademarks;
    std::wstring OLESelfRegister;
    std::wstring OriginalFileName;
    std::wstring PrivateBuild;
    std::wstring ProductName;
    std::wstring ProductVersion;
    std::wstring SpecialBuild;
};

// A command line taken apart. Variant fields are Empty when not set.
struct ProgramPathRecord {
    std::wstring CommandLine;
    std::wstring ExpandedCommandLine;
    bool Quoted = false;
    vb::Variant Arguments;
    vb::Variant ProgramPath;
    vb::Variant Attributes;
    vb::Variant PathRoot;
    vb::Variant UncRoot;
    vb::Variant DriveLetter;
    vb::Variant Folder;
    vb::Variant FileName;
    vb::Variant ProgramExtension;
    vb::Variant BaseName;
    vb::Variant TypeExtension;
    VS_FIXEDFILEINFO FixedInfo{};
    vb::Variant ClassBaseName;
    vb::Variant Reserved1;
    vb::Variant Reserved2;
    vb::Variant ClassExtension;
    vb::Variant Reserved3;
    vb::Variant Reserved4;
    vb::Variant ComPrefix;
};

// The folders of this process's "Path" variable, from element 1 on (element 0 empty).
void LoadSearchPaths();
// As last loaded on this thread; loaded on first use.
const vb::List<std::wstring>& SearchPaths();

// The program and arguments of a command line. attributesFlag given and true (True or a
// non-zero number) reads the attributes of the expanded command line.
ProgramPathRecord GetFileType(const std::wstring& commandLine,
                              const std::optional<vb::Variant>& attributesFlag = std::nullopt);

FileVersionInfo GetFileInfo(const std::wstring& file);
// size receives the version resource's size (0 when there is none).
VS_FIXEDFILEINFO GetVersionInfo(const std::wstring& file, DWORD& size);
// One string of the resource's string table, "" when absent.
std::wstring GetVerQueryValueString(const std::vector<BYTE>& resource, const std::wstring& translation,
                                    const std::wstring& name);
void SwapBytes(BYTE& a, BYTE& b);
// The right-most digits characters of "00000000" & Hex(value).
std::wstring HexPad(long value, int digits);

// True when a file (not a folder) is at path.
bool FileExists(const std::wstring& path);

// Whether a directory search for pattern finds an entry that takes answers true for; the
// search stops at the first.
bool FirstFileWhere(const std::wstring& pattern, const std::function<bool(const WIN32_FIND_DATAW&)>& takes);
// The names of the plain files (not folders) a directory search for pattern finds.
std::vector<std::wstring> FileNamesMatching(const std::wstring& pattern);

// The short (8.3) form of an existing path, "" when it does not exist: the library's existence test.
std::wstring GetDosPath(const vb::Variant& path);

// Inside a running directory listing started with pattern (e.g. "*.exe"): name, or the first
// further name from nextName, whose extension is as long as the pattern's; Empty when the
// listing ends (nextName answers "") or name is empty. Passes over names like tool.exe_ that
// the file system matched through their short form.
vb::Variant FileWithValidExtension(const std::wstring& name, const std::wstring& pattern,
                                   const std::function<std::wstring()>& nextName);

// The executable search's progress marks, written while the program scan's searching level is
// 1 or more and flag is True.
void LogFileToIni(const std::wstring& file, const std::wstring& detail, bool flag);
void LogPathToIni(const std::wstring& folder, const std::wstring& detail, bool flag);
