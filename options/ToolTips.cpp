#include "ToolTips.h"

void ToolTipTracker::Tick(long& countdown, const ToolTipInputs& in, const std::function<std::wstring(HWND)>& tipOf,
                          ToolTipPanel& panel) {
    auto reset = [&] {
        countdown = ToolTipResetCount;
        panel.ClearToolTip();
    };
    if (in.buttonDown || in.dragInProgress || !in.hostActive) {
        reset();
        return;
    }
    if (countdown >= 1) {
        --countdown;
        panel.ClearToolTip();
        return;
    }
    if (countdown < 0) return;  // a tip shows until something resets it
    const bool same = in.underCursor == last_;
    last_ = in.underCursor;
    if (!same || !in.underCursor) {
        reset();
        return;
    }
    const std::wstring text = tipOf ? tipOf(in.underCursor) : std::wstring();
    if (text.empty()) {
        reset();
        return;
    }
    panel.ShowToolTipText(text);
    countdown = -1;
}
