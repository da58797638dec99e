#include "frmAbout.h"

#include "AboutSysInfo.h"
#include "FrameAccess.h"
#include "HostVersion.h"
#include "MarldenResources.h"
#include "ProductSuite.h"
#include "basErrorHandler.h"
#include "basUserInterface.h"
#include "vb/VbApp.h"
#include "win/RichTextBox.h"

namespace {

constexpr int kBoxWidth = 430;
const wchar_t kDisclaimer[] =
    L"This program is protected by copyright law. Copying it or passing it on, in whole or in part, "
    L"without the written permission of Morva Corporation is not allowed and may be prosecuted.";

DWORD DialogStyle() { return WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN; }
DWORD DialogExStyle() { return WS_EX_CONTROLPARENT | WS_EX_DLGMODALFRAME; }

HICON ProgramIcon() {
    return static_cast<HICON>(LoadImageW(vb::ThisModule(), MAKEINTRESOURCEW(IDI_MARLDEN), IMAGE_ICON, 32, 32, 0));
}

std::string AgreementResource() {
    HMODULE module = vb::ThisModule();
    HRSRC found = FindResourceW(module, MAKEINTRESOURCEW(IDR_AGREEMENT), MAKEINTRESOURCEW(10));  // RT_RCDATA
    if (!found) return {};
    HGLOBAL loaded = LoadResource(module, found);
    const char* data = loaded ? static_cast<const char*>(LockResource(loaded)) : nullptr;
    if (!data) return {};
    return std::string(data, SizeofResource(module, found));
}

}  // namespace

// ---- both about boxes ----

AboutBox::AboutBox(const wchar_t* name, const wchar_t* caption, int descriptionHeight)
    : win::Window(name),
      picIcon((Create(caption, kBoxWidth, 178 + descriptionHeight, DialogStyle(), DialogExStyle(), FrameHandle()),
               Add<win::Container>(nullptr, L"picIcon", -1, L"", win::Rect{16, 16, 32, 32}, false))),
      lblTitle(Add<win::Label>(nullptr, L"lblTitle", -1, L"Application Title", win::Rect{64, 16, 350, 22})),
      lblVersion(Add<win::Label>(nullptr, L"lblVersion", -1, L"Version", win::Rect{64, 40, 350, 18})),
      lblDescription(Add<win::Label>(nullptr, L"lblDescription", -1, L"App Description",
                                     win::Rect{64, 62, 350, descriptionHeight})),
      linDivider(Add<win::Label>(nullptr, L"linDivider", -1, L"", win::Rect{16, 72 + descriptionHeight, 398, 2},
                                 SS_ETCHEDHORZ)),
      lblDisclaimer(Add<win::Label>(nullptr, L"lblDisclaimer", -1, kDisclaimer,
                                    win::Rect{16, 84 + descriptionHeight, 270, 84})),
      cmdOK(Add<win::Button>(nullptr, L"cmdOK", -1, L"OK", win::Rect{300, 84 + descriptionHeight, 114, 26},
                             BS_DEFPUSHBUTTON)),
      cmdAgreement(Add<win::Button>(nullptr, L"cmdAgreement", -1, L"License Agreement",
                                    win::Rect{300, 116 + descriptionHeight, 114, 26})) {
    picIcon.SetIcon(ProgramIcon());
    SetControlFont(lblTitle, titleFont_.Make(L"Arial", 12, FW_BOLD));
    cmdOK.OnClick = [this] { TrappedVoid(L"cmdOK_Click", [&] { Unload(); }); };
    cmdAgreement.OnClick = [] { TrappedVoid(L"cmdAgreement_Click", [] { frmAgreement::Default().ShowModal(); }); };
}

void AboutBox::StartSysInfo() { ::StartSysInfo(); }

LRESULT AboutBox::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    FocusOnActivation(*this, cmdOK, msg, wParam);
    return DefaultMessage(msg, wParam, lParam);
}

bool AboutBox::GetKeyValue(HKEY keyRoot, const std::wstring& keyName, const std::wstring& subKeyRef,
                           std::wstring& keyVal) {
    return ::GetKeyValue(keyRoot, keyName, subKeyRef, keyVal);
}

// ---- frmAbout ----

frmAbout::frmAbout()
    : AboutBox(L"frmAbout", L"About MyApp", 58),
      cmdSysInfo(Add<win::Button>(nullptr, L"cmdSysInfo", -1, L"&System Info...", win::Rect{300, 148 + 58, 114, 26})) {
    cmdSysInfo.OnClick = [this] { TrappedVoid(L"cmdSysInfo_Click", [&] { StartSysInfo(); }); };
    TrappedVoid(L"Form_Load", [&] {
        SetCaption(std::wstring(L"About ") + AppTitle);
        HostVersion version = OwnVersion();
        lblTitle.SetText(AppTitle);
        lblVersion.SetText(LongVersionLabel(version));
        lblDescription.SetText(version.Comments);
        PlaceForm(*this, phCentre, pvFraction, FrameWindow(), 0, 0.33);
    });
}

frmAbout& frmAbout::Default() { return win::DefaultInstance<frmAbout>::Get(); }
frmAbout* frmAbout::Existing() { return win::DefaultInstance<frmAbout>::Existing(); }

// ---- frmAboutKestrow ----

std::wstring frmAboutKestrow::DescriptionFor(const std::wstring& productName) {
    return productName +
           L" gives you the power to quickly and easily choose the applications that can open your files.  Lumox "
           L"looks at the file you are opening and automatically determines which programs are capable of launching "
           L"it and presents you with a list. Also, you can customize Lumox with one click if you do not want to be "
           L"presented with a list of choices when you open certain types of files.";
}

frmAboutKestrow::frmAboutKestrow() : AboutBox(L"frmAboutKestrow", L"About Lumox", 96) {
    TrappedVoid(L"Form_Load", [&] {
        lblVersion.SetText(L"Version " + SuiteProductVersion());
        lblTitle.SetText(SuiteProductName());
        lblDescription.SetText(DescriptionFor(SuiteProductName()));
        PlaceForm(*this, phCentre, pvFraction, FrameWindow(), 0, 0.33);
    });
}

frmAboutKestrow& frmAboutKestrow::Default() { return win::DefaultInstance<frmAboutKestrow>::Get(); }
frmAboutKestrow* frmAboutKestrow::Existing() { return win::DefaultInstance<frmAboutKestrow>::Existing(); }

// ---- frmAgreement ----

frmAgreement::frmAgreement()
    : win::Window(L"frmAgreement"),
      rtfAgreement((Create(L"License Agreement", 480, 384, DialogStyle(), DialogExStyle(), FrameHandle()),
                    Add<win::RichTextBox>(nullptr, L"rtfAgreement", -1, win::Rect{10, 10, 460, 328},
                                          ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL | WS_TABSTOP))),
      OKButton(Add<win::Button>(nullptr, L"OKButton", -1, L"OK", win::Rect{190, 348, 100, 26}, BS_DEFPUSHBUTTON)) {
    OKButton.OnClick = [this] { TrappedVoid(L"OKButton_Click", [&] { Unload(); }); };
    TrappedVoid(L"Form_Load", [&] {
        rtfAgreement.LoadRtf(AgreementResource());
        PlaceForm(*this, phCentre, pvFraction, nullptr, 0, 0.35);
    });
}

frmAgreement& frmAgreement::Default() { return win::DefaultInstance<frmAgreement>::Get(); }
frmAgreement* frmAgreement::Existing() { return win::DefaultInstance<frmAgreement>::Existing(); }

std::wstring frmAgreement::AgreementText() const { return rtfAgreement.PlainText(); }

LRESULT frmAgreement::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    FocusOnActivation(*this, OKButton, msg, wParam);
    return DefaultMessage(msg, wParam, lParam);
}
