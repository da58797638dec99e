// The window procedure is replaced through the window's own slot (SetWindowLongPtr), which every
// version of the common controls allows; the object is found again through a window property.
#include "win/ControlSubclass.h"

namespace win {

namespace {
constexpr const wchar_t* kSubclassProperty = L"LumoxControlSubclass";
}

void ControlSubclass::Attach(HWND control, SubclassHandler handler) {
    Detach();
    if (!control || !IsWindow(control)) return;
    handler_ = std::move(handler);
    hwnd_ = control;
    SetPropW(control, kSubclassProperty, this);
    original_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ControlSubclass::Procedure)));
}

void ControlSubclass::Detach() {
    if (hwnd_ && IsWindow(hwnd_) && original_) {
        // Only when nobody sub-classed the control after us; otherwise their chain would break.
        if (reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd_, GWLP_WNDPROC)) == &ControlSubclass::Procedure)
            SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original_));
        RemovePropW(hwnd_, kSubclassProperty);
    }
    hwnd_ = nullptr;
    original_ = nullptr;
}

LRESULT ControlSubclass::CallOriginal(UINT msg, WPARAM wParam, LPARAM lParam) const {
    return CallWindowProcW(original_, hwnd_, msg, wParam, lParam);
}

LRESULT CALLBACK ControlSubclass::Procedure(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = static_cast<ControlSubclass*>(GetPropW(hwnd, kSubclassProperty));
    if (!self) return DefWindowProcW(hwnd, msg, wParam, lParam);
    WNDPROC original = self->original_;
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
        RemovePropW(hwnd, kSubclassProperty);
        self->hwnd_ = nullptr;
        self->original_ = nullptr;
        return CallWindowProcW(original, hwnd, msg, wParam, lParam);
    }
    LRESULT result = 0;
    if (self->handler_ && self->handler_(msg, wParam, lParam, result)) return result;
    return CallWindowProcW(original, hwnd, msg, wParam, lParam);
}

}  // namespace win
