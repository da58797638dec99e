// Tool tips in the host's status bar: once the pointer has rested on one control for a few
// ticks of the options window's timer, that control's "ToolTip" layout-tag text shows in panel 4.
#pragma once
#include <windows.h>

#include <functional>
#include <string>

// What one tick looks at.
struct ToolTipInputs {
    bool buttonDown = false;     // any mouse button held
    bool dragInProgress = false;  // a drag or a pop-up menu of the window runs
    bool hostActive = false;     // the host frame is the active window
    HWND underCursor = nullptr;  // the window under the pointer
};

// Where a tick's result goes.
class ToolTipPanel {
public:
    // Panel 4 cleared; forced writes even when the text is already empty.
    virtual void ClearToolTip() = 0;
    virtual void ShowToolTipText(const std::wstring& text) = 0;

protected:
    ~ToolTipPanel() = default;
};

// countdown: the window's ToolTipCountdown (4 after a reset, 0 check now, -1 a tip shows).
// tipOf answers the tool-tip text of the window's control with that handle; empty when none.
class ToolTipTracker {
public:
    void Tick(long& countdown, const ToolTipInputs& in, const std::function<std::wstring(HWND)>& tipOf,
              ToolTipPanel& panel);

private:
    HWND last_ = nullptr;
};

inline constexpr long ToolTipResetCount = 4;
