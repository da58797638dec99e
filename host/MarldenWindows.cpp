// The windows the start routine shows: the splash, the frame and the latest-version tip.
#include "HostFrame.h"
#include "MDIFrm.h"
#include "frmLatestVerTip.h"
#include "frmSplash.h"

namespace {

class FrameWindows : public HostWindows {
public:
    std::wstring ShowSplash() override {
        frmSplash& splash = frmSplash::Default();
        splash.Show();
        SetForegroundWindow(splash.Handle());
        return splash.Name();
    }
    void LoadFrame() override { MDIFrm::Load(); }
    void ShowLatestVersionTip() override { frmLatestVerTip::Default().ShowModal(); }
    void ShowFrame() override {
        if (MDIFrm* frame = MDIFrm::Current()) frame->Show();
    }
    HostFrame* Frame() override { return MDIFrm::Current(); }
    bool PreTranslateMessage(MSG& msg) override {
        MDIFrm* frame = MDIFrm::Current();
        return frame && frame->PreTranslateMessage(msg);
    }
};

}  // namespace

HostWindows& MarldenWindows() {
    static FrameWindows windows;
    return windows;
}
