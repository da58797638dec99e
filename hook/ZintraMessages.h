#pragma once
#include <string>

#include "basMessageHandler.h"

// The hook library's own catalogue rows and ranges;
// installed with SetMessageRows(ZintraMessageRow, ZintraMessageRanges).
bool ZintraMessageRow(long n, std::wstring& text, std::wstring& title);
inline constexpr MessageRanges ZintraMessageRanges{4511, 5001};
