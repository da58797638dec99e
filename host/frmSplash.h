// The splash window shown while the suite starts: our picture, the edition, the version and
// the copyright. It closes itself 64 frame ticks after the frame's timer started, or at
// once on a key or a click on its picture.
#pragma once
#include "HostControls.h"
#include "HostFrame.h"
#include "win/Window.h"

// Where a label goes when the window is drawn for another screen scale than the 12 twips per
// pixel it was designed for (all in twips). Alignment: 0 left, 1 right, 2 centred.
struct LabelPlacement {
    double left, top;
};
LabelPlacement ScaleSplashLabel(int alignment, double left, double top, double width, double ratioX, double ratioY);

class frmSplash : public win::Window, public HostTimerClient {
    // Ahead of the controls: the window procedure runs while they are being created.
    FontHolder editionFont_;
    FontHolder textFont_;
    HBITMAP picture_ = nullptr;
    HBRUSH band_ = nullptr;
    bool timerBusy_ = false;
    double counters_[3] = {0, 0, 0};

public:
    frmSplash();
    ~frmSplash() override;
    static frmSplash& Default();
    static frmSplash* Existing();

    // The frame's tick (late-bound as TimerEvent in the suite's other windows).
    void TimerEvent() override;

    ClickLabel& pic;
    win::Label& lblSpecialEdition;
    win::Label& lblVersion;
    win::Label& lblCopyright;

protected:
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void Form_Load();
};
