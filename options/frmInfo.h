// The note viewer: a rich-text note file ("How Do I" notes, the welcome note) or a plain text
// (the clean-up's report), shown modally. "Close" hides the window, which stays loaded for the
// next note; closing it by its title bar unloads it.
#pragma once
#include <string>

#include "win/RichTextBox.h"
#include "win/Window.h"

class frmInfo : public win::Window {
    // Ahead of the controls: the window procedure runs while they are being created.
    int savedPointer_ = 0;

public:
    frmInfo();

    static frmInfo& Default();
    static frmInfo* Existing();
    static void Release();

    // Loads the note file into rtfMsg and shows the window modally, without owner. A file that
    // cannot be read ends the call at once: nothing is shown and nothing reported.
    static void ShowRTF(const std::wstring& rsFile);
    // The plain-text use: txtMsg takes the text, chkDontDisplayAgain is hidden, shown modally.
    static void ShowText(const std::wstring& text);

    void CopyToClipboard();
    void CloseClicked();

    win::RichTextBox& rtfMsg;
    win::TextBox& txtMsg;
    win::CheckBox& chkDontDisplayAgain;
    win::Button& btnCopyToClipboard;
    win::Button& btnClose;

protected:
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void OnTextChanged(win::Control& control) override;
    void OnUnload() override;

private:
    void ShowRichBox();
    void ShowTextBox();
};
