// The frame's heartbeat (Timer1, 125 ms): TimerEvent on every window it reaches, the
// minimum size after a resize, the pause countdown, and once a second the CPU sample that
// switches the hook on when the machine is quiet (at the latest in the 90th second) and the
// release of idle products. Also the hand switch on the status bar's first panel.
#pragma once
#include <memory>

#include "HostFrame.h"
#include "clsCPUUsage.h"

class ProductSuite;

// The smallest normal-state size the frame is held to, in twips.
inline constexpr long FrameMinimumWidth = 6000;
inline constexpr long FrameMinimumHeight = 6000;

class FrameTimer {
public:
    FrameTimer(HostFrame& frame, ProductSuite& suite);

    // The meter the frame's load created and initialised; EndMeter terminates and drops it.
    void SetMeter(std::unique_ptr<CPUUsageMeter> meter) { meter_ = std::move(meter); }
    CPUUsageMeter* Meter() const { return meter_.get(); }
    void EndMeter();

    // Timer1_Timer.
    void Tick();
    // sta1_PanelDblClick: panel numbered from 1.
    void PanelDblClick(int panel);
    // The frame's resize in the normal or maximised state.
    void FrameResized() { MinimumSizeCountdown = 1; }
    void EnforceMinimumSize();
    void ReleaseIdleProducts();

    long IdlePollCount = 0;
    long QuietSampleCount = 0;
    short MinimumSizeCountdown = 0;

    // True while a tick is at work (nested ticks return at once).
    bool TickBusy() const { return tickBusy_; }

private:
    void OnceASecond();
    bool HookShownOn() const;

    HostFrame& frame_;
    ProductSuite& suite_;
    std::unique_ptr<CPUUsageMeter> meter_;
    bool tickBusy_ = false;
    double counters_[3] = {0, 0, 0};
};
