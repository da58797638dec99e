// The settings file "Lumox Options.ini" beside the library, and the locations of the data archive.
#pragma once
#include <string>

#include "vb/VbVariant.h"

inline constexpr short IniRead = 8;
inline constexpr short IniWrite = 25;

// Action 8 reads (a whole number unless the default is a text), 25 writes (the value trimmed);
// any other action does nothing and answers Empty.
vb::Variant IniFile(short action, const std::wstring& key, const vb::Variant& value = {},
                    const vb::Variant& defaultValue = {});

std::wstring GetIniFilePath();
std::wstring GetArchivePath();
std::wstring GetInitialArchivePath();

// The install root for a program folder: a trailing "Programs" is cut off.
std::wstring RootFolderOf(const std::wstring& programFolder);
std::wstring RootFolder();

// Where the settings file lives; empty means the library's own folder. Tests point it elsewhere.
void SetIniFolderOverride(const std::wstring& folder);
