// The maker's web pages and the help topics of the frame's menus, and how a page is opened.
#pragma once
#include <windows.h>

#include <optional>
#include <string>

// mnuURLs(index): "FAQ's", "Support", "Contact Us", "Morva Home", "OnLine Store"; "" for any other index.
std::wstring UrlsMenuAddress(int index);
// mnuSpecial(index): the upgrade page for 0; "" for any other index.
std::wstring SpecialMenuAddress(int index);
// The store page: used as it is when it is a full address, else under the home page.
std::wstring StorePageUrl();

// Opens the address with the shell's "open" verb in a normal window; failures are ignored.
void OpenWebPage(HWND owner, const std::wstring& address);
// How a page is opened; tests put their own in place so that no browser starts.
using WebPageOpener = void (*)(HWND owner, const std::wstring& address);
// nullptr restores the shell; answers the previous opener (nullptr for the shell).
WebPageOpener SetWebPageOpener(WebPageOpener opener);

// The help topic a menu entry opens in the help file "Lumox"; none for other indexes.
std::optional<long> HelpMenuTopic(int index);       // mnuHelp
std::optional<long> TutorialsMenuTopic(int index);  // mnuTutorials
inline constexpr const wchar_t* HostHelpFile = L"Lumox";
