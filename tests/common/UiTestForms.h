// Plain forms and a stand-in MDI extender for the window-layout tests.
#pragma once
#include <memory>
#include <string>

#include "win/Window.h"

// A form whose controls the test adds itself.
class TestForm : public win::Window {
public:
    explicit TestForm(const std::wstring& name = L"frmTest", int clientWidth = 400, int clientHeight = 300,
                      DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN)
        : win::Window(name) {
        Create(name, clientWidth, clientHeight, style);
    }
    template <class T, class... A>
    T& Put(A&&... args) {
        return Add<T>(std::forward<A>(args)...);
    }
    void PutControl(std::unique_ptr<win::Control> control) { Adopt(std::move(control)); }

    std::optional<long> normalTop, normalLeft, normalWidth, normalHeight;
    std::optional<long> NormalTop() const override { return normalTop; }
    std::optional<long> NormalLeft() const override { return normalLeft; }
    std::optional<long> NormalWidth() const override { return normalWidth; }
    std::optional<long> NormalHeight() const override { return normalHeight; }
};

// Stands in for the MDI extender: the host frame as parent form and the state the test sets.
class FakeExtender : public win::MdiExtender {
public:
    FakeExtender(win::Window& form, win::Window* parent, int state = 0)
        : win::MdiExtender(form, L"mdiExt"), parent_(parent), state_(state) {}
    win::Window* ParentForm() const override { return parent_; }
    int WindowState() const override { return state_; }
    void SetState(int state) { state_ = state; }

private:
    win::Window* parent_;
    int state_;
};
