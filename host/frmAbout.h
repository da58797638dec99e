// The about boxes: frmAbout for the host program, frmAboutKestrow for the suite's product,
// and the agreement viewer both offer.
#pragma once
#include <string>

#include "HostControls.h"
#include "win/RichTextBox.h"
#include "win/Window.h"

// What both about boxes share: picture, texts, the agreement and OK buttons.
class AboutBox : public win::Window {
protected:
    FontHolder titleFont_;

public:
    // The public members of both boxes.
    void StartSysInfo();
    bool GetKeyValue(HKEY keyRoot, const std::wstring& keyName, const std::wstring& subKeyRef, std::wstring& keyVal);

    win::Container& picIcon;
    win::Label& lblTitle;
    win::Label& lblVersion;
    win::Label& lblDescription;
    win::Label& linDivider;
    win::Label& lblDisclaimer;
    win::Button& cmdOK;
    win::Button& cmdAgreement;

protected:
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    // descriptionHeight: the description's share of the box, in pixels.
    AboutBox(const wchar_t* name, const wchar_t* caption, int descriptionHeight);
};

class frmAbout : public AboutBox {
public:
    frmAbout();
    static frmAbout& Default();
    static frmAbout* Existing();

    win::Button& cmdSysInfo;
};

class frmAboutKestrow : public AboutBox {
public:
    frmAboutKestrow();
    static frmAboutKestrow& Default();
    static frmAboutKestrow* Existing();

    static std::wstring DescriptionFor(const std::wstring& productName);
};

class frmAgreement : public win::Window {
public:
    frmAgreement();
    static frmAgreement& Default();
    static frmAgreement* Existing();

    // The agreement as plain text (what the rich-text box shows).
    std::wstring AgreementText() const;

    win::RichTextBox& rtfAgreement;
    win::Button& OKButton;

protected:
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
};
