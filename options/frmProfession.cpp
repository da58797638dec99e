#include "frmProfession.h"

#include <cwchar>

#include "OptionsLinks.h"
#include "basErrorHandler.h"
#include "basUserInterface.h"
#include "basWinAPI_Help.h"
#include "vb/VbScreen.h"
#include "vb/VbText.h"

namespace {

constexpr int kClientWidth = 360;
constexpr int kMargin = 12;
constexpr int kInner = kClientWidth - 2 * kMargin;
constexpr int kOptionHeight = 20;
constexpr int kFrameTop = 96;
constexpr int kFrameHeight = 24 + 3 * kOptionHeight + 8;
constexpr int kButtonWidth = 80;
constexpr int kButtonHeight = 24;
constexpr int kButtonTop = kFrameTop + kFrameHeight + 12;
constexpr int kClientHeight = kButtonTop + kButtonHeight + kMargin;

struct Profession {
    const wchar_t* caption;
    const wchar_t* topic;  // the help topic of the profession's tutorial
};
const Profession kProfessions[3] = {{L"Accountant", L"100"}, {L"Neither of the above", L"300"}, {L"Webmaster", L"200"}};

}  // namespace

frmProfession::frmProfession()
    : win::Window(L"frmProfession"),
      lblWho((Create(L" Profession", kClientWidth, kClientHeight, WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN,
                     WS_EX_CONTROLPARENT | WS_EX_DLGMODALFRAME),
              Add<win::Label>(nullptr, L"lblWho", -1, L"Morva Lumox First Start", win::Rect{kMargin, kMargin, kInner, 20}))),
      lblWhy(Add<win::Label>(nullptr, L"lblWhy", -1,
                             L"Please select a profession so that we may direct you to the tutorial that will be most "
                             L"useful to you.",
                             win::Rect{kMargin, kMargin + 28, kInner, 44})),
      fraOptions(Add<win::Container>(nullptr, L"fraOptions", -1, L"Please select your profession.",
                                     win::Rect{kMargin, kFrameTop, kInner, kFrameHeight}, true)),
      OKButton(Add<win::Button>(nullptr, L"OKButton", -1, L"OK",
                                win::Rect{kClientWidth - kMargin - kButtonWidth, kButtonTop, kButtonWidth, kButtonHeight},
                                BS_DEFPUSHBUTTON)) {
    for (int i = 0; i < 3; ++i) {
        DWORD style = BS_AUTORADIOBUTTON | (i == 0 ? WS_GROUP : 0);
        win::Button& option = Add<win::Button>(&fraOptions, L"optChoice", i, kProfessions[i].caption,
                                               win::Rect{12, 24 + i * kOptionHeight, kInner - 24, kOptionHeight}, style);
        option.SetTag(kProfessions[i].topic);
        optChoice[static_cast<size_t>(i)] = &option;
    }
    OKButton.OnClick = [this] { OKButton_Click(); };
    TrappedVoid(L"Form_Load", [&] {
        PlaceForm(*this, phCentre, pvFraction, nullptr, 0, 0.35);
        savedPointer_ = vb::ScreenMousePointer();
        vb::SetScreenMousePointer(vb::vbDefault);
    });
}

frmProfession& frmProfession::Default() { return win::DefaultInstance<frmProfession>::Get(); }
frmProfession* frmProfession::Existing() { return win::DefaultInstance<frmProfession>::Existing(); }
void frmProfession::Release() { win::DefaultInstance<frmProfession>::Release(); }

long frmProfession::ChosenTopic() const {
    for (const win::Button* option : optChoice)
        if (SendMessageW(option->Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED) return std::wcstol(option->Tag().c_str(), nullptr, 10);
    return 0;
}

void frmProfession::OKButton_Click() {
    TrappedVoid(L"OKButton_Click", [&] {
        // Without a choice there is no tutorial to direct the user to.
        if (const long topic = ChosenTopic()) InvokeHelp(L"Lumox", HostFrameHandle(), vb::Variant(topic));
    });
    UnloadSoon();
}

LRESULT frmProfession::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case DM_GETDEFID:
            return MAKELRESULT(GetDlgCtrlID(OKButton.Handle()), DC_HASDEFID);
        default:
            break;
    }
    return DefaultMessage(msg, wParam, lParam);
}

void frmProfession::OnUnload() {
    TrappedVoid(L"Form_Unload", [&] { vb::SetScreenMousePointer(savedPointer_); });
}
