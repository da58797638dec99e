// The maker's addresses the host's windows and mails use.
#pragma once

// The maker's home page; every web page of the menus and the tip builds on it.
inline constexpr const wchar_t* MakerHomePage = L"http://www.morva-corporation.example/";
// The suggestion mail's recipient, and the placeholder the user replaces with a friend's address.
inline constexpr const wchar_t* MakerSuggestionAddress = L"suggestions@morva-corporation.example";
inline constexpr const wchar_t* FriendPlaceholderAddress = L"your.friend@example.com";
