#include "frmQuit.h"

#include "basErrorHandler.h"
#include "basUserInterface.h"

frmQuit::frmQuit()
    : win::Window(L"frmQuit"),
      fraOptions((Create(L" Minimize / Exit", 330, 232, WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN,
                         WS_EX_CONTROLPARENT | WS_EX_DLGMODALFRAME),
                  Add<win::Container>(nullptr, L"fraOptions", -1, L"Minimize / Exit", win::Rect{10, 8, 310, 174},
                                      true))),
      optChoice0(Add<OptionButton>(&fraOptions, L"optChoice", 0, L"Minimize", win::Rect{14, 22, 200, 18}, true)),
      lblChoice0(Add<ClickLabel>(&fraOptions, L"lblChoice", 0,
                                 L"While minimized Lumox will continue to function by giving you your list of "
                                 L"program choices for file extensions.",
                                 win::Rect{32, 42, 266, 44})),
      optChoice1(Add<OptionButton>(&fraOptions, L"optChoice", 1, L"Exit", win::Rect{14, 96, 200, 18}, false)),
      lblChoice1(Add<ClickLabel>(&fraOptions, L"lblChoice", 1,
                                 L"Once exited Lumox will no longer perform the associations you set.",
                                 win::Rect{32, 116, 266, 44})),
      OKButton(Add<win::Button>(nullptr, L"OKButton", -1, L"OK", win::Rect{120, 194, 90, 26}, BS_DEFPUSHBUTTON)) {
    optChoice0.SetValue(true);
    lblChoice0.OnClick = [this] { TrappedVoid(L"lblChoice_Click", [&] { optChoice0.SetValue(true); }); };
    lblChoice1.OnClick = [this] { TrappedVoid(L"lblChoice_Click", [&] { optChoice1.SetValue(true); }); };
    OKButton.OnClick = [this] { OKButton_Click(); };
    TrappedVoid(L"Form_Load", [&] { PlaceForm(*this, phCentre, pvFraction, nullptr, 0, 0.35); });
}

frmQuit& frmQuit::Default() { return win::DefaultInstance<frmQuit>::Get(); }
frmQuit* frmQuit::Existing() { return win::DefaultInstance<frmQuit>::Existing(); }

void frmQuit::Ask(bool& exitFlag) {
    exitFlag_ = &exitFlag;
    ShowModal();
    exitFlag_ = nullptr;
}

void frmQuit::OKButton_Click() {
    TrappedVoid(L"OKButton_Click", [&] {
        if (exitFlag_) *exitFlag_ = optChoice1.Value();
        Unload();
    });
}

LRESULT frmQuit::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    FocusOnActivation(*this, OKButton, msg, wParam);
    return DefaultMessage(msg, wParam, lParam);
}
