#include "FrameClose.h"

#include "HostContract.h"
#include "basErrorHandler.h"

bool FrameQueryUnload(ClosingFrame& frame, CloseMode mode) {
    ProcGuard guard;
    if (mode == CloseMode::User) {
        bool busy = false;
        ResumeNext([&] { busy = frame.ProductBusy(); });
        if (busy) {
            ResumeNext([&] { frame.ExitWaits(); });
            return true;
        }
        ResumeNext([&] { frame.ExitGoesAhead(); });
    }
    ResumeNext([&] { frame.SavePlacement(); });
    if (mode == CloseMode::User) {
        int state = 0;
        ResumeNext([&] { state = frame.CurrentWindowState(); });
        if (state != 1) {
            bool exit = false;
            ResumeNext([&] { exit = frame.AskExit(); });
            if (!exit) {
                ResumeNext([&] { frame.Minimize(); });
                return true;
            }
        }
    }
    ResumeNext([&] { frame.StopTimer(); });
    ResumeNext([&] { frame.EndMeter(); });
    ResumeNext([&] { frame.UnloadMdiChildren(); });
    ResumeNext([&] { frame.HookOff(); });
    ResumeNext([&] { frame.SetHookPanel(contract::HookOffText); });
    return false;
}
