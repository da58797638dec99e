#include "FrameClose.h"

#include "HostContract.h"
#include "basErrorHandler.h"

namespace {

// A step of the close that fails is skipped; the close goes on with the next one.
template <typename F>
void Step(F&& step) {
    try {
        step();
    } catch (...) {
        vb::CaptureCurrentException();
        vb::Err().Clear();
    }
}

}  // namespace

bool FrameQueryUnload(ClosingFrame& frame, CloseMode mode) {
    ProcGuard guard;
    if (mode == CloseMode::User) {
        bool busy = false;
        Step([&] { busy = frame.ProductBusy(); });
        if (busy) return true;
    }
    Step([&] { frame.SavePlacement(); });
    if (mode == CloseMode::User) {
        int state = 0;
        Step([&] { state = frame.CurrentWindowState(); });
        if (state != 1) {
            bool exit = false;
            Step([&] { exit = frame.AskExit(); });
            if (!exit) {
                Step([&] { frame.Minimize(); });
                return true;
            }
        }
    }
    Step([&] { frame.StopTimer(); });
    Step([&] { frame.EndMeter(); });
    Step([&] { frame.UnloadMdiChildren(); });
    Step([&] { frame.HookOff(); });
    Step([&] { frame.SetHookPanel(contract::HookOffText); });
    return false;
}
