// Menu handles and pop-up menu items, the mouse-button state, the Windows and System
// folders and the name of the running Windows version.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "vb/VbVariant.h"

// The menu bar of the window, then the sub-menu at each position in turn; 0 when a step fails.
HMENU GetVbMenuHandleItem(HWND window, const std::vector<int>& positions = {});

// items: an array of item descriptions, each an array of {flags, id, caption}; an id below 0
// takes the next command id (5000 up, never reused). menu 0 makes a new pop-up menu and hands
// it back through menu. Answers the ids of the items added; empty when an append failed.
std::vector<long> CreateMenuItem(HMENU& menu, const vb::Variant& items);

// 1 left, 2 right, 4 middle, added together for the buttons held down.
int GetMouseButtonState();

// Fill this thread's copy of the folders (as Windows returns them).
void GetWindowsFolder();
void GetSystemFolder();
// The folders as last filled on this thread; filled on first use.
const std::wstring& WindowsFolder();
const std::wstring& SystemFolder();

// Whether the drive (or any path on it) is the drive of the Windows or the System folder.
// Drive letters are compared without regard to case: "c:" and "C:\" are the same drive.
bool IsWindowsOrSystemDrive(const std::wstring& drive);

// The running version's name; isWindows9x is set true on the 9x family and left alone otherwise.
std::wstring GetWindowsVersionName(bool& isWindows9x);
// The naming table on its own (platform id, major and minor version).
std::wstring WindowsVersionName(DWORD platformId, DWORD major, DWORD minor, bool& isWindows9x);
