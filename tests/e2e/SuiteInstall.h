// The suite laid out as its installer lays it (scripts/run does the same from the shell): the
// host and its help file in the application folder, the components in Programs with the help
// file again (the options library opens help from its own folder), the shipped data in Data,
// the notes in Messages\Lumox, and the two test files of the first start's message on the
// Windows desktop.
#pragma once
#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace e2e {

// The folders of an install under its application folder.
struct SuiteLayout {
    explicit SuiteLayout(const std::wstring& root = L"");
    std::wstring root;
    std::wstring programs;  // root\Programs
    std::wstring data;      // root\Data, with the archive's first copy in Initial
    std::wstring messages;  // root\Messages\Lumox
    std::wstring host;      // root\Marlden.exe
    // Creates the folders (the ones that exist stay as they are).
    void MakeFolders() const;
};

// What an install copies: the built files, and the folders that hold the notes and the
// desktop's test files.
struct SuiteBuild {
    std::wstring host, sendrik, zintra, chusel, help, archive, firstArchive;
    std::wstring notes;    // *.note
    std::wstring desktop;  // the test files of the Windows desktop
};

// The test files the first start tells the user about, by name.
const std::vector<std::wstring>& DesktopTestFiles();
// The user's Windows desktop folder as Windows gives it; empty when there is none.
std::wstring WindowsDesktop();

// Lays the whole suite out (a fresh application folder; the registry is left as it is).
// Refuses, with a reason, when the Windows desktop is a link out of the Wine prefix (the
// Linux home): the prefixes of scripts/wineenv keep a folder of their own there.
bool InstallWholeSuite(const SuiteBuild& build, const SuiteLayout& layout, std::wstring& failure);
// Unregisters the components, removes the application folder and the desktop's test files.
void RemoveWholeSuite(const SuiteLayout& layout);

// The host's first-run value ("True" until the first start is through); none when missing.
std::optional<std::wstring> FirstRunValue();

}  // namespace e2e
