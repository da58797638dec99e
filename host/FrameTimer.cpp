#include "FrameTimer.h"

#include "HostContract.h"
#include "ProductSuite.h"
#include "basErrorHandler.h"
#include "basHookSwitch.h"
#include "basMain.h"
#include "com/ComDispatch.h"
#include "com/ComModule.h"
#include "vb/VbText.h"

namespace {

// A call on another window: its failure (a missing member included) is cleared and ignored.
void CallIgnoringErrors(IDispatch* window, const wchar_t* member, WORD flags, const std::vector<vb::Variant>& args) {
    try {
        com::TryCallByName(window, member, flags, args, nullptr);
    } catch (...) {
    }
    vb::Err().Clear();
}

}  // namespace

FrameTimer::FrameTimer(HostFrame& frame, ProductSuite& suite) : frame_(frame), suite_(suite) {}

void FrameTimer::EndMeter() {
    if (!meter_) return;
    try {
        meter_->Terminate();
    } catch (...) {
        vb::Err().Clear();
    }
    meter_.reset();
}

bool FrameTimer::HookShownOn() const {
    return vb::TextEquals(frame_.PanelText(contract::PanelHookState), contract::HookOnText);
}

void FrameTimer::Tick() {
    if (tickBusy_) return;
    BusyScope busy(tickBusy_);
    ProcGuard guard;

    // The library windows shown as children of the frame: their heartbeat and the frame's state.
    std::vector<com::ComPtr<IDispatch>> children;
    try {
        for (IDispatch* child : frame_.MdiChildren()) {
            if (!child) continue;
            child->AddRef();  // held while their code may pump messages
            children.emplace_back(child);
        }
    } catch (...) {
        vb::Err().Clear();
    }
    for (const com::ComPtr<IDispatch>& child : children) {
        CallIgnoringErrors(child.Get(), contract::MemberTimerEvent, DISPATCH_METHOD, {});
        int16_t state = 0;
        try {
            state = static_cast<int16_t>(frame_.WindowState());
        } catch (...) {
            vb::Err().Clear();
        }
        CallIgnoringErrors(child.Get(), contract::MemberMdiFrmWindowState, DISPATCH_PROPERTYPUT,
                           {vb::Variant(state)});
    }
    children.clear();

    // The host's own windows.
    try {
        for (HostTimerClient* window : frame_.LoadedHostWindows()) {
            try {
                if (window) window->TimerEvent();
            } catch (...) {
            }
            vb::Err().Clear();
        }
    } catch (...) {
        vb::Err().Clear();
    }

    // From here an error ends the tick quietly.
    try {
        EnforceMinimumSize();
        if (PauseCountdown() > 0) --PauseCountdown();
        counters_[0] += 1;
        if (counters_[0] >= 2.0) {
            counters_[0] = 0;
            counters_[1] += 1;
            if (counters_[1] >= 0.25) {
                counters_[1] = 0;
                counters_[2] += 1;
                if (counters_[2] >= 4.0) {
                    counters_[2] = 0;
                    OnceASecond();
                }
            }
        }
    } catch (...) {
        vb::Err().Clear();
    }
}

void FrameTimer::OnceASecond() {
    IdlePollCount += 1;
    const long load = meter_ ? meter_->Query() : -1;
    if (load != -1) {
        if ((load <= 5 && QuietSampleCount < 3) || IdlePollCount == 90) {
            QuietSampleCount += 1;
            if ((QuietSampleCount >= 3 || IdlePollCount == 90) && !HookShownOn()) {
                TurnHookOn();
                frame_.SetPanelText(contract::PanelHookState, contract::HookOnText);
                frame_.CheckTray();
                frame_.Beep();
            }
        }
    }
    ReleaseIdleProducts();
}

void FrameTimer::PanelDblClick(int panel) {
    if (panel != contract::PanelHookState) return;
    if (!HookShownOn()) {
        TurnHookOn();
        frame_.SetPanelText(contract::PanelHookState, contract::HookOnText);
    } else {
        TurnHookOff();
        frame_.SetPanelText(contract::PanelHookState, contract::HookOffText);
    }
    // Neither switch-on rule can hold any more: the hook stays as the user left it.
    IdlePollCount = 91;
    QuietSampleCount = 4;
}

void FrameTimer::EnforceMinimumSize() {
    if (MinimumSizeCountdown == 0) return;
    if (frame_.WindowState() != 0) return;
    MinimumSizeCountdown += 1;
    if (MinimumSizeCountdown <= 4) return;
    if (frame_.Width() < FrameMinimumWidth) frame_.SetWidth(FrameMinimumWidth);
    if (frame_.Height() < FrameMinimumHeight) frame_.SetHeight(FrameMinimumHeight);
    frame_.LayoutControls();
    MinimumSizeCountdown = 0;
}

void FrameTimer::ReleaseIdleProducts() { suite_.ReleaseIdleProducts(); }
