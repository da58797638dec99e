#include "frmDoingStuff.h"

#include "NeighbourServices.h"
#include "basErrorHandler.h"
#include "basMessageHandler.h"
#include "basUserInterface.h"
#include "vb/VbScreen.h"

// The window exists before its controls are added, so each reference binds to a control
// created in declaration order.
frmDoingStuff::frmDoingStuff()
    : win::Window(L"frmDoingStuff"),
      lblTitle((Create(L"Please Wait . . .", 420, 210, WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN),
                Add<win::Label>(nullptr, L"lblTitle", -1, L"Title", win::Rect{60, 10, 350, 20}))),
      lblNote(Add<win::Label>(nullptr, L"lblNote", -1, L"Note", win::Rect{60, 34, 350, 86})),
      lblInfo(Add<win::Label>(nullptr, L"lblInfo", -1, L"Processing ...",
                              win::Rect{10, 126, 400, 20}, SS_LEFT | SS_PATHELLIPSIS)),
      lblUserInterruptible(Add<win::Label>(nullptr, L"lblUserInterruptible", -1,
                                           L"Cannot interrupt this part of the process.",
                                           win::Rect{10, 150, 400, 20})),
      prg(Add<win::ProgressBar>(nullptr, L"prg", -1, win::Rect{10, 178, 400, 18})),
      pic(Add<win::Container>(nullptr, L"pic", -1, L"", win::Rect{10, 10, 40, 40}, false)) {
    pic.SetIcon(LoadCursorW(nullptr, IDC_WAIT));
}

frmDoingStuff& frmDoingStuff::Default() { return win::DefaultInstance<frmDoingStuff>::Get(); }
frmDoingStuff* frmDoingStuff::Existing() { return win::DefaultInstance<frmDoingStuff>::Existing(); }

void frmDoingStuff::SetUserInterruptible(bool value) {
    TrappedVoid(L"UserInterruptible", [&] {
        userInterruptible_ = value;
        lblUserInterruptible.SetText(value ? L"This part of the process is interruptible."
                                           : L"Cannot interrupt this part of the process.");
    });
}

void frmDoingStuff::Close() {
    if (Handle()) SendMessageW(Handle(), WM_CLOSE, 0, 0);
}

void frmDoingStuff::CentreOverCaller() {
    TrappedVoid(L"Form_Activate", [&] {
        win::Window* reference = caller_;
        if (caller_ && caller_->IsMdiChild()) reference = HostFrameOf(*caller_);
        PlaceForm(*this, phCentre, pvCentre, reference);
    });
}

LRESULT frmDoingStuff::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_ACTIVATE:
            if (LOWORD(wParam) != WA_INACTIVE && !activated_) {
                activated_ = true;
                CentreOverCaller();
            }
            break;
        default:
            break;
    }
    return DefaultMessage(msg, wParam, lParam);
}

void frmDoingStuff::OnTextChanged(win::Control& control) {
    if (&control != &lblInfo && &control != &lblUserInterruptible) return;
    TrappedVoid(L"lblInfo_Change", [&] {
        if (caller_ && caller_->Loaded() && caller_->Visible() != Visible()) {
            if (caller_->Visible()) {
                // Shown without taking the focus, so no activation places it: it is centred over
                // its caller before it shows, not moved away under the user's first click.
                if (!activated_) {
                    activated_ = true;
                    CentreOverCaller();
                }
                ShowWindow(Handle(), SW_SHOWNOACTIVATE);
            } else
                Hide();
        }
        if (Visible()) {
            SetWindowPos(Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
            vb::DoEvents();
        }
    });
}

bool frmDoingStuff::OnQueryUnload() {
    return Trapped(
        L"Form_QueryUnload",
        [&] {
            if (closedByCode_) return false;
            if (userInterruptible_) {
                vb::Variant answer = MessageHandler(MessageBase + 5002);
                if (answer.IsNumeric() && answer.ToLong() == AnswerYes) userWantsToStop_ = true;
            }
            return true;
        },
        true);
}
