// The recovery mail: the settings file's content, as an HTML body, to the maker's support
// address through the user's mail program.
#pragma once
#include <windows.h>
#include <oaidl.h>

#include <string>
#include <string_view>

// The one place that names the support address.
inline constexpr wchar_t kSupportAddress[] = L"Support <support@morva.example>";
// Longer "mailto:" addresses are cut short by mail programs and the shell; the body gives way.
inline constexpr size_t kMailtoAddressLimit = 2000;

struct RecoveryMail {
    std::wstring to;
    std::wstring subject;  // percent-encoded
    std::wstring body;     // percent-encoded
    bool shortened = false;  // lines at the end of the content did not fit
};

// A field of a "mailto:" address: everything but the plain characters becomes %XX of its UTF-8 bytes.
std::wstring PercentEncodeMailField(std::wstring_view text);

// The subject names the product and its version; each line of the content (lines ended by
// CR LF) ends in "<BR>" in the body. Whole lines at the end are left out when the address
// would otherwise pass the limit.
RecoveryMail BuildRecoveryMail(const std::wstring& content, const std::wstring& productName,
                               const std::wstring& version);

// Reads ProductName and Version of a new plug-in face object and opens the mail. False when
// the mail program could not be started (SendMail has said so).
bool SendRecoveryMail(const std::wstring& content, HWND owner);

// Makes a new plug-in face object (CForm); by default through COM by its class. The plug-in
// face and the tests put their own in place; nullptr restores COM. Answers the previous one.
using PlugInFaceFactory = HRESULT (*)(IDispatch** face);
PlugInFaceFactory SetPlugInFaceFactory(PlugInFaceFactory factory);
