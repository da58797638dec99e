#include "HostControls.h"

void OptionButton::SetValue(bool value) {
    if (!value) {
        SendMessageW(Handle(), BM_SETCHECK, BST_UNCHECKED, 0);
        return;
    }
    // Clear the rest of the group (the option buttons of the same container).
    for (win::Control* c : Form().Controls()) {
        auto* other = dynamic_cast<OptionButton*>(c);
        if (other && other != this && other->Container() == Container())
            SendMessageW(other->Handle(), BM_SETCHECK, BST_UNCHECKED, 0);
    }
    SendMessageW(Handle(), BM_SETCHECK, BST_CHECKED, 0);
}

HFONT FontHolder::Make(const wchar_t* face, int points, int weight) {
    if (font_) DeleteObject(font_);
    HDC screen = GetDC(nullptr);
    int height = -MulDiv(points, GetDeviceCaps(screen, LOGPIXELSY), 72);
    ReleaseDC(nullptr, screen);
    font_ = CreateFontW(height, 0, 0, 0, weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET, OUT_DEFAULT_PRECIS,
                        CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, face);
    return font_;
}

void SetControlFont(win::Control& control, HFONT font) {
    if (control.Handle() && font) SendMessageW(control.Handle(), WM_SETFONT, reinterpret_cast<WPARAM>(font), TRUE);
}

void FocusOnActivation(win::Window& form, win::Control& preferred, UINT msg, WPARAM wParam) {
    // Posted by the activation, so that it runs after the activation set its own focus.
    constexpr UINT kFocusPreferred = WM_APP + 0x20;
    if (msg == kFocusPreferred) {
        if (preferred.Handle() && IsWindowVisible(preferred.Handle())) SetFocus(preferred.Handle());
        return;
    }
    if (msg != WM_ACTIVATE || LOWORD(wParam) == WA_INACTIVE || !preferred.Handle()) return;
    HWND focus = GetFocus();
    if (focus && focus != form.Handle() && IsChild(form.Handle(), focus)) return;
    PostMessageW(form.Handle(), kFocusPreferred, 0, 0);
}
