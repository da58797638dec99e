// Small controls the host's windows use beyond the window layer's own: option buttons and
// labels that answer a click.
#pragma once
#include "win/Window.h"

// A round option button; the first of a group carries WS_GROUP.
class OptionButton : public win::Button {
public:
    OptionButton(win::Window& form, win::Control* container, std::wstring name, int index, const std::wstring& text,
                 const win::Rect& r, bool firstOfGroup)
        : win::Button(form, container, std::move(name), index, text, r,
                      BS_AUTORADIOBUTTON | (firstOfGroup ? WS_GROUP : 0)) {}
    bool Value() const { return SendMessageW(Handle(), BM_GETCHECK, 0, 0) == BST_CHECKED; }
    // Selecting one clears the others of its group, as a click does.
    void SetValue(bool value);
};

// A label that reports clicks.
class ClickLabel : public win::Label {
public:
    ClickLabel(win::Window& form, win::Control* container, std::wstring name, int index, const std::wstring& text,
               const win::Rect& r, DWORD style = SS_LEFT)
        : win::Label(form, container, std::move(name), index, text, r, style | SS_NOTIFY) {}
    std::function<void()> OnClick;
    void Click() {
        if (OnClick) OnClick();
    }
    void OnCommand(WORD code) override {
        if (code == STN_CLICKED) Click();
    }
};

// A font the window keeps for its labels (released with the holder).
class FontHolder {
public:
    FontHolder() = default;
    FontHolder(const FontHolder&) = delete;
    FontHolder& operator=(const FontHolder&) = delete;
    ~FontHolder() {
        if (font_) DeleteObject(font_);
    }
    // Height in points; face e.g. L"Arial".
    HFONT Make(const wchar_t* face, int points, int weight = FW_NORMAL);
    HFONT Get() const { return font_; }

private:
    HFONT font_ = nullptr;
};

void SetControlFont(win::Control& control, HFONT font);

// On activation, puts the keyboard focus on the preferred control unless it already lies in
// the window, so that Enter presses the default button from the start.
void FocusOnActivation(win::Window& form, win::Control& preferred, UINT msg, WPARAM wParam);
