// The host's own builds of shared procedures: type-library registration, the number in a
// text, the loaded-window test that also sees the frame's MDI children, the placement that
// reads the window state back, and the sorted file listing of the start-up.
#pragma once
#include <string>
#include <vector>

#include "win/Window.h"

class HostFrame;

// Loads the type library at path and registers it with helpFolder; failures are not reported.
void RegisterTypeLibFile(const std::wstring& path, const std::wstring& helpFolder);

// The first number written in text, as text ("Tmp3" gives "3"); "0" when there is none.
std::wstring ValidateNumericText(const std::wstring& text);

// True when a loaded host window, or a library window the frame shows as its MDI child, has
// that name (text compare). frame may be nullptr.
bool HostGetLoadedForm(const std::wstring& name, const HostFrame* frame);

// FormGetSetPosAndSize of the common library; restoring (22) also reads the stored
// "WindowState" (default 0) into newWindowState.
void HostFormGetSetPosAndSize(short action, win::Window& form, short& newWindowState);

// The names matching pattern (a folder and a wildcard), in the order the file system lists
// them, without names whose extension is longer than the pattern's ("x.dllx" for "*.dll").
// Answers the indexes of names in ascending, case-insensitive order; names is left empty
// when nothing matched.
std::vector<long> GetFiles(const std::wstring& pattern, std::vector<std::wstring>& names);
