// The chooser's own catalogue rows and ranges: the hook library's rows, with the block of
// e-mail rows numbered two higher. Installed with SetMessageRows(ChuselMessageRow, ChuselMessageRanges).
#pragma once
#include <string>

#include "basMessageHandler.h"

bool ChuselMessageRow(long n, std::wstring& text, std::wstring& title);
inline constexpr MessageRanges ChuselMessageRanges{4513, 5001};

// While one lives on a thread, the chooser's message boxes stay unseen there: the shell is
// waiting on the request, and nobody is there to answer a box.
class RequestSilence {
public:
    RequestSilence();
    ~RequestSilence();
    RequestSilence(const RequestSilence&) = delete;
    RequestSilence& operator=(const RequestSilence&) = delete;
    static bool Active();
};

// Puts the silencing presenter in front of whichever presenter is current.
void InstallRequestSilencePresenter();
