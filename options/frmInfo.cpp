#include "frmInfo.h"

#include "OptionsLinks.h"
#include "basErrorHandler.h"
#include "basUserInterface.h"
#include "vb/VbError.h"
#include "vb/VbScreen.h"

namespace {

constexpr int kClientWidth = 520;
constexpr int kClientHeight = 380;
constexpr int kMargin = 10;
constexpr int kButtonHeight = 24;
constexpr int kBoxHeight = kClientHeight - 3 * kMargin - kButtonHeight;
constexpr int kButtonTop = kClientHeight - kMargin - kButtonHeight;

// The note file's bytes; false when it cannot be read.
bool ReadNoteFile(const std::wstring& path, std::string& document) {
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return false;
    bool ok = true;
    char buffer[8192];
    for (;;) {
        DWORD got = 0;
        if (!ReadFile(file, buffer, sizeof(buffer), &got, nullptr)) {
            ok = false;
            break;
        }
        if (got == 0) break;
        document.append(buffer, got);
    }
    CloseHandle(file);
    return ok;
}

}  // namespace

frmInfo::frmInfo()
    : win::Window(L"frmInfo"),
      rtfMsg((Create(L"Information", kClientWidth, kClientHeight, WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN,
                     WS_EX_CONTROLPARENT | WS_EX_DLGMODALFRAME),
              Add<win::RichTextBox>(nullptr, L"rtfMsg", -1,
                                    win::Rect{kMargin, kMargin, kClientWidth - 2 * kMargin, kBoxHeight}))),
      txtMsg(Add<win::TextBox>(nullptr, L"txtMsg", -1, L"",
                               win::Rect{kMargin, kMargin, kClientWidth - 2 * kMargin, kBoxHeight},
                               ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL)),
      chkDontDisplayAgain(Add<win::CheckBox>(nullptr, L"chkDontDisplayAgain", -1, L"Dont display this message again",
                                             win::Rect{kMargin, kButtonTop + 4, 200, 18})),
      btnCopyToClipboard(Add<win::Button>(nullptr, L"btnCopyToClipboard", -1, L"Copy To Clipboard",
                                          win::Rect{kClientWidth - kMargin - 90 - 8 - 120, kButtonTop, 120,
                                                    kButtonHeight})),
      btnClose(Add<win::Button>(nullptr, L"btnClose", -1, L"Close",
                                win::Rect{kClientWidth - kMargin - 90, kButtonTop, 90, kButtonHeight},
                                BS_DEFPUSHBUTTON)) {
    txtMsg.SetVisible(false);
    btnCopyToClipboard.OnClick = [this] { CopyToClipboard(); };
    btnClose.OnClick = [this] { CloseClicked(); };
    TrappedVoid(L"Form_Load", [&] {
        // Centred over the host frame; on the screen when there is none.
        if (win::Window* frame = HostFrameWindow(); frame && frame->Loaded()) {
            Move(frame->Left() + frame->Width() / 2 - Width() / 2, frame->Top() + frame->Height() / 2 - Height() / 2);
        } else {
            PlaceForm(*this, phCentre, pvCentre);
        }
        savedPointer_ = vb::ScreenMousePointer();
        vb::SetScreenMousePointer(vb::vbDefault);
    });
}

frmInfo& frmInfo::Default() { return win::DefaultInstance<frmInfo>::Get(); }
frmInfo* frmInfo::Existing() { return win::DefaultInstance<frmInfo>::Existing(); }
void frmInfo::Release() { win::DefaultInstance<frmInfo>::Release(); }

void frmInfo::ShowRTF(const std::wstring& rsFile) {
    // Read before the window is touched, so a missing note leaves no loaded window (and no
    // changed mouse pointer) behind.
    std::string document;
    if (!ReadNoteFile(rsFile, document)) return;
    try {
        frmInfo& form = Default();
        if (!form.rtfMsg.LoadRtf(document)) return;
        form.ShowRichBox();
        // Owned, so that the window it disables can never be brought over it.
        ShowModalOwnedBy(form, OptionsDialogOwner());
    } catch (...) {
        // Anything that fails ends the call quietly.
        vb::Err().Clear();
    }
}

void frmInfo::ShowText(const std::wstring& text) {
    frmInfo& form = Default();
    form.txtMsg.SetText(text);
    // The same text as last time is no change, yet the text box is the one to show.
    form.ShowTextBox();
    form.chkDontDisplayAgain.SetVisible(false);
    ShowModalOwnedBy(form, OptionsDialogOwner());
}

void frmInfo::ShowRichBox() {
    rtfMsg.SetVisible(true);
    txtMsg.SetVisible(false);
    chkDontDisplayAgain.SetVisible(false);
}

void frmInfo::ShowTextBox() {
    rtfMsg.SetVisible(false);
    txtMsg.SetVisible(true);
}

void frmInfo::OnTextChanged(win::Control& control) {
    if (&control == &txtMsg) ShowTextBox();
}

LRESULT frmInfo::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case DM_GETDEFID:
            // Enter presses "Close", as its default frame says.
            return MAKELRESULT(GetDlgCtrlID(btnClose.Handle()), DC_HASDEFID);
        case WM_COMMAND:
            // Escape closes the note like "Close".
            if (LOWORD(wParam) == IDCANCEL && lParam == 0) {
                CloseClicked();
                return 0;
            }
            break;
        case WM_CTLCOLORSTATIC:
            // The read-only text box reads like the note box beside it, not like a greyed field.
            if (reinterpret_cast<HWND>(lParam) == txtMsg.Handle()) {
                SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_WINDOW));
                return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_WINDOW));
            }
            break;
        default:
            break;
    }
    return DefaultMessage(msg, wParam, lParam);
}

void frmInfo::CopyToClipboard() {
    TrappedVoid(L"btnCopyToClipboard_Click", [&] {
        const bool ok = txtMsg.Visible() ? PutTextOnClipboard(txtMsg.Text())
                                         : PutRichTextOnClipboard(rtfMsg.Rtf(), rtfMsg.PlainText());
        if (!ok) vb::Raise(521, std::nullopt, std::wstring(L"Can't open Clipboard"));
    });
}

void frmInfo::CloseClicked() {
    TrappedVoid(L"btnClose_Click", [&] {
        Hide();
        RefreshOptionsWindow();
        vb::DoEvents();
    });
}

void frmInfo::OnUnload() {
    TrappedVoid(L"Form_Unload", [&] { vb::SetScreenMousePointer(savedPointer_); });
}
