// Sending a mail through the user's mail program: a "mailto:" address opened by the shell.
#pragma once
#include <windows.h>

#include <string>

// The "mailto:" address; the parts go in unchanged (callers encode line breaks as "%0D%0A").
std::wstring BuildMailtoAddress(const std::wstring& to, const std::wstring& subject, const std::wstring& body,
                                const std::wstring& copy, const std::wstring& blindCopy);

// Opens a new mail. True when the shell took the address; no mail program shows message 4548
// (or the row SetNoMailProgramMessage named).
bool SendMail(const std::wstring& to, const std::wstring& subject, const std::wstring& body,
              const std::wstring& copy = L"", const std::wstring& blindCopy = L"", HWND owner = nullptr);

// The catalogue row shown when no mail program is set up; each deliverable's catalogue has its own.
void SetNoMailProgramMessage(long n);

// How the address is opened: ShellExecuteW's result. Tests put their own in place so that no
// mail program starts.
using ShellOpenFunction = HINSTANCE (*)(HWND owner, const std::wstring& address);
// nullptr restores the shell; answers the previous function (nullptr for the shell).
ShellOpenFunction SetShellOpenFunction(ShellOpenFunction open);
