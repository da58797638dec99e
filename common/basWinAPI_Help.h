// Opening the library's help: the HTML Help file beside the library, else its WinHelp file.
#pragma once
#include <windows.h>

#include <string>

#include "vb/VbVariant.h"

// helpFileName normally comes without extension ("Lumox"); helpId is a number or a text that
// reads as one; 0 opens the contents, 400 the index page.
void InvokeHelp(const std::wstring& helpFileName, HWND owner, const vb::Variant& helpId);

// The two help engines. Tests put their own in place so no help window ever opens.
class HelpEngines {
public:
    virtual BOOL WinHelp(HWND owner, const std::wstring& path, UINT command, ULONG_PTR data) = 0;
    virtual HWND HtmlHelp(HWND owner, const std::wstring& path, UINT command, DWORD_PTR data) = 0;

protected:
    ~HelpEngines() = default;
};
// nullptr restores the real engines; answers the previous ones (nullptr for the real ones).
HelpEngines* SetHelpEngines(HelpEngines* engines);
