// Opening the library's help: the HTML Help file beside the library, else its WinHelp file.
#pragma once
#include <windows.h>

#include <string>

#include "vb/VbVariant.h"

// helpFileName normally comes without extension ("Lumox"); helpId is a number or a text that
// reads as one; 0 opens the contents, 400 the index page. A help file that is missing or cannot
// be shown is reported to the user as an error of "InvokeHelp"; the call then returns.
void InvokeHelp(const std::wstring& helpFileName, HWND owner, const vb::Variant& helpId);

// The two help engines. Tests put their own in place so no help window ever opens. The members
// are named apart from the system's WinHelp and HtmlHelp, which <windows.h> turns into macros.
class HelpEngines {
public:
    // Answers FALSE when the help could not be started.
    virtual BOOL OpenWinHelp(HWND owner, const std::wstring& path, UINT command, ULONG_PTR data) = 0;
    // Answers the help window, or nullptr when the file could not be shown.
    virtual HWND OpenHtmlHelp(HWND owner, const std::wstring& path, UINT command, DWORD_PTR data) = 0;

protected:
    ~HelpEngines() = default;
};
// nullptr restores the real engines; answers the previous ones (nullptr for the real ones).
HelpEngines* SetHelpEngines(HelpEngines* engines);
// The system's engines, whichever are installed.
HelpEngines& SystemHelpEngines();
