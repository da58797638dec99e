#include "frmLatestVerTip.h"

#include "HostAddresses.h"
#include "HostControls.h"
#include "HostWeb.h"
#include "basErrorHandler.h"
#include "basMessageHandler.h"
#include "basUserInterface.h"

frmLatestVerTip::frmLatestVerTip()
    : win::Window(L"frmLatestVerTip"),
      lblTip((Create(L" Tip: Getting the latest version of Morva Lumox", 420, 206,
                     WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT | WS_EX_DLGMODALFRAME),
              Add<win::Label>(nullptr, L"lblTip", -1, L"", win::Rect{14, 12, 392, 146}))),
      CancelButton(Add<win::Button>(nullptr, L"CancelButton", -1, L"Go to Morva's Website && Continue",
                                    win::Rect{14, 168, 230, 26})),
      OKButton(Add<win::Button>(nullptr, L"OKButton", -1, L"Just Continue", win::Rect{286, 168, 120, 26},
                                BS_DEFPUSHBUTTON)) {
    CancelButton.OnClick = [this] { CancelButton_Click(); };
    OKButton.OnClick = [this] { TrappedVoid(L"OKButton_Click", [&] { Unload(); }); };
    TrappedVoid(L"Form_Load", [&] {
        lblTip.SetText(NoteText());
        PlaceForm(*this, phCentre, pvCentre);
    });
}

frmLatestVerTip& frmLatestVerTip::Default() { return win::DefaultInstance<frmLatestVerTip>::Get(); }
frmLatestVerTip* frmLatestVerTip::Existing() { return win::DefaultInstance<frmLatestVerTip>::Existing(); }

std::wstring frmLatestVerTip::NoteText() {
    const std::wstring crlf = L"\r\n";
    return L"This product appears to be out of date which can happen when downloading from download sites." + crlf +
           crlf + L"Please visit our web site at " + MakerHomePage +
           L" and download the latest version of this product for evaluation." + crlf + crlf +
           L"You may also find a variation of Lumox that more preceisely meets your needs." + crlf + crlf +
           L"Enjoy!" + crlf + L"Morva Corporation";
}

LRESULT frmLatestVerTip::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    // Each activation beeps, also a return to the tip from another window.
    if (msg == WM_ACTIVATE && LOWORD(wParam) != WA_INACTIVE) CurrentMessagePresenter().Beep();
    FocusOnActivation(*this, OKButton, msg, wParam);
    return DefaultMessage(msg, wParam, lParam);
}

void frmLatestVerTip::CancelButton_Click() {
    TrappedVoid(L"CancelButton_Click", [&] {
        OpenWebPage(Handle(), MakerHomePage);
        Unload();
    });
}
