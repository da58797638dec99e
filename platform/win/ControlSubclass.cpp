// The window procedure is replaced through the window's own slot (SetWindowLongPtr), which every
// version of the common controls allows. The procedure finds its object again in a table of our
// own: a window property would cost a trip to the window manager on every message, which a list
// filled with thousands of rows feels.
#include "win/ControlSubclass.h"

#include <unordered_map>

namespace win {

namespace {

class SubclassTable {
public:
    SubclassTable() { InitializeCriticalSection(&lock_); }
    void Set(HWND hwnd, ControlSubclass* self) {
        EnterCriticalSection(&lock_);
        entries_[hwnd] = self;
        LeaveCriticalSection(&lock_);
    }
    void Remove(HWND hwnd, const ControlSubclass* self) {
        EnterCriticalSection(&lock_);
        auto it = entries_.find(hwnd);
        if (it != entries_.end() && it->second == self) entries_.erase(it);
        LeaveCriticalSection(&lock_);
    }
    ControlSubclass* Find(HWND hwnd) {
        EnterCriticalSection(&lock_);
        auto it = entries_.find(hwnd);
        ControlSubclass* self = it == entries_.end() ? nullptr : it->second;
        LeaveCriticalSection(&lock_);
        return self;
    }

private:
    CRITICAL_SECTION lock_;
    std::unordered_map<HWND, ControlSubclass*> entries_;
};

// Never freed: a control may still get a message while the module's statics go away.
SubclassTable& Table() {
    static SubclassTable* table = new SubclassTable;
    return *table;
}

}  // namespace

void ControlSubclass::Attach(HWND control, SubclassHandler handler) {
    Detach();
    if (!control || !IsWindow(control)) return;
    handler_ = std::move(handler);
    hwnd_ = control;
    Table().Set(control, this);
    original_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&ControlSubclass::Procedure)));
}

void ControlSubclass::Detach() {
    if (hwnd_ && IsWindow(hwnd_) && original_) {
        // Only when nobody sub-classed the control after us; otherwise their chain would break.
        if (reinterpret_cast<WNDPROC>(GetWindowLongPtrW(hwnd_, GWLP_WNDPROC)) == &ControlSubclass::Procedure)
            SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original_));
    }
    if (hwnd_) Table().Remove(hwnd_, this);
    hwnd_ = nullptr;
    original_ = nullptr;
}

LRESULT ControlSubclass::CallOriginal(UINT msg, WPARAM wParam, LPARAM lParam) const {
    return CallWindowProcW(original_, hwnd_, msg, wParam, lParam);
}

LRESULT CALLBACK ControlSubclass::Procedure(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    ControlSubclass* self = Table().Find(hwnd);
    if (!self) return DefWindowProcW(hwnd, msg, wParam, lParam);
    WNDPROC original = self->original_;
    if (msg == WM_NCDESTROY) {
        SetWindowLongPtrW(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original));
        Table().Remove(hwnd, self);
        self->hwnd_ = nullptr;
        self->original_ = nullptr;
        return CallWindowProcW(original, hwnd, msg, wParam, lParam);
    }
    LRESULT result = 0;
    if (self->handler_ && self->handler_(msg, wParam, lParam, result)) return result;
    return CallWindowProcW(original, hwnd, msg, wParam, lParam);
}

}  // namespace win
