// A toolbar of picture buttons: each button shows one of three pictures (up, pressed, under
// the mouse), has a tool tip, a key text, a style and its own width. Buttons are numbered
// from 1 in the order they were added. Sizes are in pixels.
#pragma once
#include "win/Window.h"

namespace win {

enum class ToolbarPicture : int { Up = 0, Down = 1, UpOver = 2 };

// Button styles as the toolbar numbers them.
enum : int { tbrDefault = 0, tbrSeparator = 3, tbrPlaceholder = 4 };

class Toolbar : public Control {
public:
    // Placed along the top of its window's client area; the window lays it out on resize.
    Toolbar(Window& form, std::wstring name);
    ~Toolbar() override;

    // Appends a button; answers its number, which is the new button count.
    int AddButton();
    int ButtonCount() const { return static_cast<int>(buttons_.size()); }

    // The toolbar owns the bitmap from here on (nullptr removes the picture).
    void SetPicture(int button, ToolbarPicture which, HBITMAP picture);
    HBITMAP Picture(int button, ToolbarPicture which) const;
    void SetToolTipText(int button, const std::wstring& text);
    std::wstring ToolTipText(int button) const;
    void SetKey(int button, const std::wstring& key);
    std::wstring Key(int button) const;
    void SetStyle(int button, int style);
    int Style(int button) const;
    // A button is as wide as its widest picture (plus a border) until it is given a width.
    float ButtonWidth(int button) const;
    void SetButtonWidth(int button, float width);
    // Every button has the height of the tallest picture (plus a border).
    int ButtonHeight(int button) const;
    // The bar's own height for its buttons.
    int BarHeight() const;
    // Lays the buttons out and repaints; how: 1 also resizes the bar to fit its buttons.
    void Refresh(int how = 1);

    // The button under a point of the bar's client area; 0 for none.
    int ButtonAt(int x, int y) const;
    // The pixel rectangle of a button in the bar's client area.
    RECT ButtonRect(int button) const;
    // The button drawn under the mouse (0 for none) and the one held down.
    int HotButton() const { return hot_; }
    int PressedButton() const { return pressed_; }

    // As the user would: the click handler runs for an active button.
    void Click(int button);
    std::function<void(int button, const std::wstring& key)> OnButtonClick;

    static LRESULT CALLBACK BarProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

private:
    struct Button {
        std::wstring key;
        std::wstring tip;
        int style = tbrDefault;
        HBITMAP pictures[3] = {nullptr, nullptr, nullptr};
        float width = -1;  // below 0: from the pictures
    };
    Button& At(int button);
    const Button& At(int button) const;
    bool Clickable(int button) const;
    SIZE PictureSize(HBITMAP picture) const;
    LRESULT Message(UINT msg, WPARAM wParam, LPARAM lParam);
    void Paint(HDC dc);
    void SetHot(int button);
    void UpdateTips();

    std::vector<Button> buttons_;
    HWND tips_ = nullptr;
    int hot_ = 0;
    int pressed_ = 0;
    bool tracking_ = false;
};

}  // namespace win
