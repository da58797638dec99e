// The maker's addresses the host's windows and mails use.
#pragma once

// The home page (MakerHomePage) is shared with the options library.
#include "MakerAddresses.h"

// The suggestion mail's recipient, and the placeholder the user replaces with a friend's address.
inline constexpr const wchar_t* MakerSuggestionAddress = L"suggestions@morva-corporation.example";
inline constexpr const wchar_t* FriendPlaceholderAddress = L"your.friend@example.com";
