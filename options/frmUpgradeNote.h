// The upgrade note: a short offer with a way to the maker's upgrade store. Nothing in the library
// opens it at present; it is kept complete.
#pragma once
#include <windows.h>

#include <string>

#include "win/Window.h"

class frmUpgradeNote : public win::Window {
    // Ahead of the controls: the window procedure runs while they are being created.
    bool activated_ = false;

public:
    frmUpgradeNote();

    static frmUpgradeNote& Default();
    static frmUpgradeNote* Existing();
    static void Release();

    // "Go to Upgrade Store & Continue": the upgrade page opens, the note goes.
    void CancelButton_Click();
    // "Just Continue": the note goes.
    void OKButton_Click();

    win::Label& lbls;
    win::Button& CancelButton;
    win::Button& OKButton;

protected:
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
};

// The maker's upgrade page, under the home page.
std::wstring UpgradePageAddress();

// How the page is opened: the shell's "open" verb in a normal window. Tests put their own in
// place so that no browser starts; nullptr restores the shell. Answers the previous opener
// (nullptr for the shell).
using UpgradePageOpener = void (*)(HWND owner, const std::wstring& address);
UpgradePageOpener SetUpgradePageOpener(UpgradePageOpener opener);
