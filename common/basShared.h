#pragma once
#include <string>
#include <string_view>

// The text without the suffix when it ends with it (case aside), else unchanged.
std::wstring StripSuffix(std::wstring_view text, std::wstring_view suffix);
