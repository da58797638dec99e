// The program's own version resource, as the splash and the about box show it.
#pragma once
#include <string>

inline constexpr const wchar_t* AppTitle = L"Morva Utility Manager";

struct HostVersion {
    int Major = 0;
    int Minor = 0;
    int Revision = 0;  // the fourth number of the file version
    std::wstring Comments;
    std::wstring LegalCopyright;
};

// Read from the module that carries this code (the program, or a test program with the same resource).
HostVersion OwnVersion();

// "Version 2.1" (splash) and "Version 2.1.314" (about box) for a build numbered 2.01.0314.
std::wstring ShortVersionLabel(const HostVersion& version);
std::wstring LongVersionLabel(const HostVersion& version);
