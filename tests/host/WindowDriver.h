// Drives the host's windows from a thread timer while this thread waits in a modal window or
// pumps messages: the tests play the user without a second thread, and never hang on a modal
// window (after the deadline every known modal window is closed).
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace hosttest {

class WindowDriver {
public:
    // A step answers true when it has done its part; the next step starts at the next tick.
    using Step = std::function<bool()>;
    explicit WindowDriver(std::vector<Step> steps, DWORD deadlineMs = 20000);
    ~WindowDriver();
    WindowDriver(const WindowDriver&) = delete;
    WindowDriver& operator=(const WindowDriver&) = delete;

    bool Finished() const { return next_ >= steps_.size(); }
    bool TimedOut() const { return timedOut_; }

private:
    static void CALLBACK Tick(HWND, UINT, UINT_PTR, DWORD);
    void Run();

    std::vector<Step> steps_;
    size_t next_ = 0;
    DWORD start_;
    DWORD deadline_;
    bool timedOut_ = false;
    bool running_ = false;
    UINT_PTR timer_ = 0;
};

// Pumps this thread's messages until done() or the time is up; answers done().
bool PumpUntil(const std::function<bool()>& done, DWORD ms = 10000);
// Pumps for a while.
void PumpFor(DWORD ms);

// Clicks a control as the user would: the pointer moved to its middle and the left button
// pressed and let go there (SendInput). The click arrives once this thread pumps again, so a
// driver's step checks its effect in the next step.
void ClickWindow(HWND window);

// Brings the window in front (the one Windows hands the user's input to) when it is not there,
// and answers whether it is there now; a driver's step waits on it before it types or clicks.
bool BringInFront(HWND window);

// Closes an open menu of this thread and every modal window of the host that is open (the
// driver's last resort).
void CloseHostModals();
// Whether a menu of this thread or a modal window of the host is open.
bool HostModalOpen();

}  // namespace hosttest
