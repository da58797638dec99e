#include "HostWeb.h"

#include <shellapi.h>

#include "HostAddresses.h"
#include "vb/VbText.h"

namespace {

WebPageOpener g_opener = nullptr;

void ShellOpenPage(HWND owner, const std::wstring& address) {
    // Shown in a normal window: a browser started hidden would leave the user nothing to see.
    ShellExecuteW(owner, L"open", address.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

const wchar_t* const kStorePage = L"store";

}  // namespace

std::wstring StorePageUrl() {
    std::wstring page = kStorePage;
    if (page.size() >= 4 && vb::TextEquals(std::wstring_view(page).substr(0, 4), L"http")) return page;
    return std::wstring(MakerHomePage) + page + L".html";
}

std::wstring UrlsMenuAddress(int index) {
    static const wchar_t* const pages[] = {L"faqs.html", L"support.html", L"contactus.html", L"index.html"};
    if (index >= 0 && index <= 3) return std::wstring(MakerHomePage) + pages[index];
    if (index == 4) return StorePageUrl();
    return L"";
}

std::wstring SpecialMenuAddress(int index) {
    return index == 0 ? std::wstring(MakerHomePage) + L"index.html?upgrade.html" : L"";
}

WebPageOpener SetWebPageOpener(WebPageOpener opener) {
    WebPageOpener previous = g_opener;
    g_opener = opener;
    return previous;
}

void OpenWebPage(HWND owner, const std::wstring& address) {
    if (address.empty()) return;
    try {
        (g_opener ? g_opener : &ShellOpenPage)(owner, address);
    } catch (...) {
        // A page that cannot be opened is no reason to disturb the user.
    }
}

std::optional<long> HelpMenuTopic(int index) {
    if (index == 0) return 400;
    if (index == 1) return 0;
    return std::nullopt;
}

std::optional<long> TutorialsMenuTopic(int index) {
    if (index == 0) return 300;
    return std::nullopt;
}
