// The folder of our own module (not of the program that loaded us), as App.Path gives it:
// no trailing backslash unless it is a drive's root.
#pragma once
#include <windows.h>

#include <string>

namespace vb {

HMODULE ThisModule();
std::wstring ModuleFileName(HMODULE module);
std::wstring AppPath();

}  // namespace vb
