#include "HostMessages.h"

#include "basWinAPI_Email.h"
#include "basMain.h"

namespace {
const std::wstring kTwoLineEnds = L"\r\n\r\n";
}

bool HostMessageRow(long n, std::wstring& text, std::wstring&) {
    switch (n) {
        case 4001:
            text = L"You have called a 'Select Case' where a CASE statement does not exist for the SELECT value.";
            return true;
        case 4002:
            text = std::wstring(L"Error - ") + L"Cannot perform this action because item has already been used.";
            return true;
        case msgRegSvr32Missing:
            text = std::wstring(L"You are missing a Windows system file called RegSvr32.exe.") + kTwoLineEnds +
                   L"Lumox needs this file to install and to update properly. You can download the system file "
                   L"from the Microsoft website or you can extract it from a cab file on your Windows installation "
                   L"disk." +
                   kTwoLineEnds + L"Once you obtain the file place it in the folder: " + StartUpSystemFolder() + L"\r\n" +
                   L"and then rerun Lumox. If Lumox does not run properly reinstall it as it should install "
                   L"properly now that this system file is in place.";
            return true;
        case msgNoMailProgram:
            text = L"Sorry, it apprears that you do not have a default email program set on your computer.";
            return true;
        case msgSuggestionTerms:
            text = std::wstring(L"Sorry people, our lawyers tell us we have to present this at this point. So "
                                L"here's the legal stuff:") +
                   kTwoLineEnds +
                   L"You agree that: (1) your submissions will automatically become the property of Morva "
                   L"Corporation, without compensation to you, and (2) Morva Corporation can use the submissions "
                   L"for any purpose and in any way, even give them to others." +
                   kTwoLineEnds +
                   L"If you don't mind the legal stuff just press Yes, otherwise you can press No to stop here.";
            return true;
        default:
            return false;
    }
}

void InstallHostMessages() {
    SetMessageRows(HostMessageRow, HostMessageRanges);
    SetNoMailProgramMessage(msgNoMailProgram);
}
