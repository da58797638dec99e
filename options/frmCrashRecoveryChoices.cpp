#include "frmCrashRecoveryChoices.h"

#include <algorithm>

#include "OptionsLinks.h"
#include "RecoveryMail.h"
#include "basErrorHandler.h"
#include "basIniFile.h"
#include "basUserInterface.h"
#include "com/ComDispatch.h"
#include "vb/VbError.h"
#include "vb/VbText.h"

namespace {

constexpr int kMargin = 12;
constexpr int kClientWidth = 580;
constexpr int kButtonWidth = 80;
constexpr int kButtonHeight = 24;
constexpr int kLabelLeft = kMargin + kButtonWidth + 12;
constexpr int kLabelWidth = kClientWidth - kLabelLeft - kMargin;
constexpr int kRowGap = 12;

struct ChoiceText {
    const wchar_t* button;
    const wchar_t* description;
    const wchar_t* recommendation;
};

const ChoiceText kChoices[4] = {
    {L"Send",
     L"Launches your default email program and put the results of the logged information in an email. Then all you "
     L"have to do is press 'Send' and our support department will receive your email.",
     L"Recommended if you have a default email client on your computer."},
    {L"Copy",
     L"Copys the logged information for an email to your Windows Clipboard. Then you can Paste the information into "
     L"an email yourself. It then does equivalent of pressing 'Leave'.",
     L"Recommended if you don't have a default email client on your computer."},
    {L"Leave",
     L"Leaves things as they are and when you retry you will come back to this form.",
     L"Recommended if you accidentally try this again before you have had a solution from our Customer Support Team."},
    {L"Retry",
     L"Tells Lumox to forget about the crash and start off fresh. I.e.: as if it didn 't happen.",
     L"Used once our Customer Support Team has given you a solution."},
};

std::wstring LabelText(const ChoiceText& choice) {
    return std::wstring(choice.description) + L"\r\n" + choice.recommendation;
}

// Height in pixels that the text takes when wrapped to width in the controls' font.
int WrappedHeight(const std::wstring& text, int width) {
    HDC dc = GetDC(nullptr);
    HGDIOBJ old = SelectObject(dc, GetStockObject(DEFAULT_GUI_FONT));
    RECT r{0, 0, width, 0};
    DrawTextW(dc, text.c_str(), static_cast<int>(text.size()), &r, DT_CALCRECT | DT_WORDBREAK | DT_NOPREFIX);
    SelectObject(dc, old);
    ReleaseDC(nullptr, dc);
    return r.bottom - r.top;
}

int LineHeight() { return WrappedHeight(L"X", 100); }

}  // namespace

frmCrashRecoveryChoices::frmCrashRecoveryChoices()
    : win::Window(L"frmCrashRecoveryChoices"),
      lblTitle((Create(L"Recovery Choices", kClientWidth, 400, WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN,
                       WS_EX_CONTROLPARENT | WS_EX_DLGMODALFRAME),
                Add<win::Label>(nullptr, L"lblTitle", -1, L"",
                                win::Rect{kMargin, kMargin, kClientWidth - 2 * kMargin, 3 * LineHeight()}))) {
    int top = kMargin + lblTitle.Height() + kRowGap;
    for (int i = 0; i < 4; ++i) {
        const std::wstring text = LabelText(kChoices[i]);
        const int labelHeight = WrappedHeight(text, kLabelWidth);
        cmds[static_cast<size_t>(i)] = &Add<win::Button>(nullptr, L"cmds", i, kChoices[i].button,
                                                         win::Rect{kMargin, top, kButtonWidth, kButtonHeight});
        lbls[static_cast<size_t>(i)] =
            &Add<win::Label>(nullptr, L"lbls", i, text, win::Rect{kLabelLeft, top, kLabelWidth, labelHeight});
        cmds[static_cast<size_t>(i)]->OnClick = [this, i] { ChoiceClicked(i); };
        top += std::max(labelHeight, kButtonHeight) + kRowGap;
    }
    // The client area ends one margin below the last row.
    RECT r{0, 0, kClientWidth, top - kRowGap + kMargin};
    AdjustWindowRectEx(&r, static_cast<DWORD>(GetWindowLongW(Handle(), GWL_STYLE)), FALSE,
                       static_cast<DWORD>(GetWindowLongW(Handle(), GWL_EXSTYLE)));
    SetWindowPos(Handle(), nullptr, 0, 0, r.right - r.left, r.bottom - r.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

frmCrashRecoveryChoices::~frmCrashRecoveryChoices() {
    if (parent_) parent_->Release();
}

frmCrashRecoveryChoices& frmCrashRecoveryChoices::Default() {
    return win::DefaultInstance<frmCrashRecoveryChoices>::Get();
}
frmCrashRecoveryChoices* frmCrashRecoveryChoices::Existing() {
    return win::DefaultInstance<frmCrashRecoveryChoices>::Existing();
}
void frmCrashRecoveryChoices::Release() { win::DefaultInstance<frmCrashRecoveryChoices>::Release(); }

void frmCrashRecoveryChoices::SetParentForm(IDispatch* parent) {
    if (parent) parent->AddRef();
    if (parent_) parent_->Release();
    parent_ = parent;
    // No answer yet: a value an earlier dialog left must not pass for this one's.
    if (parent_) com::TryCallByName(parent_, L"ReturnValue", DISPATCH_PROPERTYPUT, {vb::Variant()}, nullptr);
}

void frmCrashRecoveryChoices::HideLeaveAndRetry() {
    for (size_t i = 2; i < 4; ++i) {
        cmds[i]->SetVisible(false);
        lbls[i]->SetVisible(false);
    }
}

LRESULT frmCrashRecoveryChoices::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_ACTIVATE:
            if (LOWORD(wParam) != WA_INACTIVE && !activated_) Activated();
            break;
        default:
            break;
    }
    return DefaultMessage(msg, wParam, lParam);
}

void frmCrashRecoveryChoices::Activated() {
    activated_ = true;
    TrappedVoid(L"Form_Activate", [&] {
        if (!lbls[2]->Visible()) {
            const int space = lbls[3]->Top() + lbls[3]->Height() - lbls[2]->Top();
            Move(Left(), Top(), Width(), Height() - win::PixelsToTwipsY(space));
        }
        PlaceForm(*this, phCentre, pvCentre);
        FormGetSetPosAndSize(plRestore, *this);
    });
}

void frmCrashRecoveryChoices::ChoiceClicked(int index) {
    TrappedVoid(L"cmds_Click", [&] {
        if (index == rcSend || index == rcCopy) {
            // A failed mail or clipboard step is reported; the choice still counts.
            TrappedVoid(L"cmds_Click", [&] {
                const std::wstring content = GetIniFileContent();
                if (content.empty()) return;
                if (index == rcSend) {
                    SendRecoveryMail(content, Handle());
                } else if (!PutTextOnClipboard(content)) {
                    vb::Raise(521, std::nullopt, std::wstring(L"Can't open Clipboard"));
                }
            });
        }
        if (index >= rcSend && index <= rcRetry && parent_) {
            com::TryCallByName(parent_, L"ReturnValue", DISPATCH_PROPERTYPUT,
                               {vb::Variant(static_cast<int16_t>(index))}, nullptr);
        }
    });
    UnloadSoon();
}

void frmCrashRecoveryChoices::OnUnload() {
    if (parent_) {
        parent_->Release();
        parent_ = nullptr;
    }
}

void OfferCrashRecoveryChoices(IDispatch* parentForm, const std::wstring& title, bool onlyMailAndCopy) {
    frmCrashRecoveryChoices& dialog = frmCrashRecoveryChoices::Default();
    dialog.SetParentForm(parentForm);
    dialog.lblTitle.SetText(title);
    if (onlyMailAndCopy) dialog.HideLeaveAndRetry();
    ShowModalOwnedBy(dialog, HostFrameHandle());
}

std::wstring GetIniFileContent() {
    std::wstring content;
    TrappedVoid(L"GetIniFileContent", [&] {
        HANDLE file = CreateFileW(GetIniFilePath().c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            vb::NoteLastDllError();
            vb::Raise(GetLastError() == ERROR_FILE_NOT_FOUND ? static_cast<long>(vb::ErrFileNotFound) : 75L);
        }
        struct Closer {
            HANDLE h;
            ~Closer() { CloseHandle(h); }
        } closer{file};

        // Lines end in CR LF, LF or CR; each is passed on with CR LF as soon as it is whole.
        std::string line;
        bool lastWasCr = false;
        auto endLine = [&] {
            content += vb::FromAnsi(line) + L"\r\n";
            line.clear();
        };
        char buffer[4096];
        for (;;) {
            DWORD got = 0;
            if (!ReadFile(file, buffer, sizeof(buffer), &got, nullptr)) {
                vb::NoteLastDllError();
                vb::Raise(62);  // input past end of file, as a failed read shows itself
            }
            if (got == 0) break;
            for (DWORD i = 0; i < got; ++i) {
                const char c = buffer[i];
                if (c == '\n' && lastWasCr) {
                    lastWasCr = false;
                    continue;
                }
                lastWasCr = c == '\r';
                if (c == '\r' || c == '\n') {
                    endLine();
                } else {
                    line += c;
                }
            }
        }
        if (!line.empty()) endLine();
    });
    return content;
}
