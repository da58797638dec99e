// The maker's web addresses that more than one deliverable builds on.
#pragma once

// The maker's home page; the host's menus and tip and the options library's upgrade note build
// their pages on it.
inline constexpr const wchar_t* MakerHomePage = L"http://www.morva-corporation.example/";
