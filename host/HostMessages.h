// The host's own message rows and ranges; installed with
// SetMessageRows(HostMessageRow, HostMessageRanges).
#pragma once
#include <string>

#include "basMessageHandler.h"

bool HostMessageRow(long n, std::wstring& text, std::wstring& title);
inline constexpr MessageRanges HostMessageRanges{4516, 5002};

// The host's rows it asks for itself.
enum HostMessage : long {
    msgRegSvr32Missing = 4505,
    msgNoMailProgram = 4515,
    msgSuggestionTerms = 5001,
};

// Installs the host's catalogue (rows, ranges and its no-mail-program row).
void InstallHostMessages();
