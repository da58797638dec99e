// The note shown at every start: fetch the latest version from the maker's web site.
#pragma once
#include "win/Window.h"

class frmLatestVerTip : public win::Window {
public:
    frmLatestVerTip();
    static frmLatestVerTip& Default();
    static frmLatestVerTip* Existing();

    // The note's text.
    static std::wstring NoteText();

    win::Label& lblTip;
    win::Button& CancelButton;
    win::Button& OKButton;

protected:
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void CancelButton_Click();
};
