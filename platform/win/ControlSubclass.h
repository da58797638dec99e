// Sub-classing of a control that another window owns: the keys and mouse buttons of a list or a
// tree reach the form's handlers although the host runs the message loop.
#pragma once
#include <windows.h>

#include <functional>

namespace win {

// Answers true when it handled the message and set result; otherwise the control's own
// procedure runs as usual.
using SubclassHandler = std::function<bool(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result)>;

class ControlSubclass {
public:
    ControlSubclass() = default;
    ControlSubclass(HWND control, SubclassHandler handler) { Attach(control, std::move(handler)); }
    ~ControlSubclass() { Detach(); }
    ControlSubclass(const ControlSubclass&) = delete;
    ControlSubclass& operator=(const ControlSubclass&) = delete;

    void Attach(HWND control, SubclassHandler handler);
    void Detach();
    HWND Handle() const { return hwnd_; }
    // The control's own procedure, for a handler that wants it to run first.
    LRESULT CallOriginal(UINT msg, WPARAM wParam, LPARAM lParam) const;

private:
    static LRESULT CALLBACK Procedure(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    HWND hwnd_ = nullptr;
    WNDPROC original_ = nullptr;
    SubclassHandler handler_;
};

}  // namespace win
