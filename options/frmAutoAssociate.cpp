#include "frmAutoAssociate.h"

#include "basErrorHandler.h"
#include "basMessageHandler.h"
#include "basUserInterface.h"
#include "vb/VbError.h"

namespace {

constexpr int kClientWidth = 640;
constexpr int kClientHeight = 440;
constexpr int kMargin = 10;
constexpr int kInnerWidth = kClientWidth - 2 * kMargin;
constexpr int kButtonWidth = 90;
constexpr int kButtonHeight = 24;

struct Column {
    const wchar_t* header;
    long twips;
};
const Column kColumns[] = {
    {L"Status", 630},       {L"Version", 1300},   {L"Programs on your Computer", 3750},
    {L"Executable (.Exe)", 1600}, {L"File Path", 4250}, {L"Short File Path", 4250},
};

const wchar_t kInstruction[] =
    L"Press enter for all listed or uncheck those that you don't want associated. This is just a quick setup to help "
    L"you get started. You can quickly and easily change all choices made here at any time. We recommend that you "
    L"accept these choices and change them later.";

}  // namespace

frmAutoAssociate::frmAutoAssociate()
    : win::Window(L"frmAutoAssociate"),
      lvwPrograms((Create(L"Associations to Automatically Add", kClientWidth, kClientHeight,
                          WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN,
                          WS_EX_CONTROLPARENT | WS_EX_DLGMODALFRAME),
                   Add<win::ListView>(nullptr, L"lvwPrograms", -1, win::Rect{kMargin, 150, kInnerWidth, 180}, true))),
      OKButton(Add<win::Button>(nullptr, L"OKButton", -1, L"Add",
                                win::Rect{kClientWidth - kMargin - 3 * kButtonWidth - 16, kClientHeight - kMargin -
                                          kButtonHeight, kButtonWidth, kButtonHeight},
                                BS_DEFPUSHBUTTON)),
      CancelButton(Add<win::Button>(nullptr, L"CancelButton", -1, L"Don't Add",
                                    win::Rect{kClientWidth - kMargin - 2 * kButtonWidth - 8,
                                              kClientHeight - kMargin - kButtonHeight, kButtonWidth, kButtonHeight})),
      cmdAddAll(Add<win::Button>(nullptr, L"cmdAddAll", -1, L"Automatic",
                                 win::Rect{kClientWidth - kMargin - kButtonWidth, kClientHeight - kMargin - kButtonHeight,
                                           kButtonWidth, kButtonHeight})) {
    // The title with the number of sets left at its right; the description below; the
    // extensions of the set; the list; the note with the instruction.
    lbl[2] = &Add<win::Label>(nullptr, L"lbl", 2, L"Non-Associated Extensions",
                              win::Rect{kMargin, kMargin, kInnerWidth - 60, 16});
    lbl[4] = &Add<win::Label>(nullptr, L"lbl", 4, L"", win::Rect{kClientWidth - kMargin - 50, kMargin, 50, 16},
                              SS_RIGHT);
    lbl[5] = &Add<win::Label>(nullptr, L"lbl", 5, L"Description", win::Rect{kMargin, 34, 90, 16});
    lbl[0] = &Add<win::Label>(nullptr, L"lbl", 0, L"Description", win::Rect{kMargin + 96, 34, kInnerWidth - 96, 56});
    lbl[6] = &Add<win::Label>(nullptr, L"lbl", 6, L"Extensions", win::Rect{kMargin, 96, 90, 16});
    lbl[3] = &Add<win::Label>(nullptr, L"lbl", 3, L".*", win::Rect{kMargin + 96, 96, kInnerWidth - 96, 48});
    lbl[7] = &Add<win::Label>(nullptr, L"lbl", 7, L"Note", win::Rect{kMargin, 340, 90, 16});
    lbl[1] = &Add<win::Label>(nullptr, L"lbl", 1, L"Footnote", win::Rect{kMargin + 96, 340, kInnerWidth - 96, 52});

    OKButton.OnClick = [this] { OKButtonClicked(); };
    CancelButton.OnClick = [this] { CancelButtonClicked(); };
    cmdAddAll.OnClick = [this] { AddAllClicked(); };

    TrappedVoid(L"Form_Load", [&] {
        for (const Column& column : kColumns) lvwPrograms.AddColumn(column.header, win::TwipsToPixelsX(column.twips));
        lbl[1]->SetText(kInstruction);
        PlaceForm(*this, phRight, pvFraction, nullptr, 0, 0.4);
    });
}

frmAutoAssociate& frmAutoAssociate::Default() { return win::DefaultInstance<frmAutoAssociate>::Get(); }
frmAutoAssociate* frmAutoAssociate::Existing() { return win::DefaultInstance<frmAutoAssociate>::Existing(); }
void frmAutoAssociate::Release() { win::DefaultInstance<frmAutoAssociate>::Release(); }

void frmAutoAssociate::OKButtonClicked() {
    addSelected_ = true;
    answered_ = true;
}

void frmAutoAssociate::CancelButtonClicked() {
    addSelected_ = false;
    answered_ = true;
}

void frmAutoAssociate::AddAllClicked() {
    addAll_ = true;
    answered_ = true;
}

LRESULT frmAutoAssociate::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_ACTIVATE && LOWORD(wParam) != WA_INACTIVE && !activated_) {
        activated_ = true;
        FirstActivation();
    }
    return DefaultMessage(msg, wParam, lParam);
}

void frmAutoAssociate::FirstActivation() {
    TrappedVoid(L"Form_Activate", [&] {
        MessageHandler(MessageBase + 4535);
        AddAllClicked();
        SetWindowPos(Handle(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
    });
}

namespace {

class SharedDialog : public AutoAssociateDialog {
public:
    bool Loaded() const override { return frmAutoAssociate::Existing() != nullptr; }
    void ShowModeless() override { frmAutoAssociate::Default().Show(); }
    void Unload() override {
        if (frmAutoAssociate* dialog = frmAutoAssociate::Existing()) dialog->Unload();
    }
    void SetLabel(int index, const std::wstring& caption) override {
        frmAutoAssociate& dialog = frmAutoAssociate::Default();
        if (index < 0 || static_cast<size_t>(index) >= dialog.lbl.size()) vb::Raise(vb::ErrSubscript);
        dialog.lbl[static_cast<size_t>(index)]->SetText(caption);
    }
    win::ListView& Programs() override { return frmAutoAssociate::Default().lvwPrograms; }
    bool AddSelected() const override { return frmAutoAssociate::Default().AddSelected(); }
    bool AddAll() const override { return frmAutoAssociate::Default().AddAll(); }
    bool Answered() const override { return frmAutoAssociate::Default().Answered(); }
    void SetAnswered(bool value) override { frmAutoAssociate::Default().SetAnswered(value); }
};

}  // namespace

AutoAssociateDialog& SharedAutoAssociateDialog() {
    static SharedDialog dialog;
    return dialog;
}
