#include "WindowDriver.h"

#include "UserInput.h"

#include "frmAbout.h"
#include "frmLatestVerTip.h"
#include "frmQuit.h"
#include "vb/VbScreen.h"

namespace hosttest {

namespace {
WindowDriver* g_active = nullptr;
}

WindowDriver::WindowDriver(std::vector<Step> steps, DWORD deadlineMs)
    : steps_(std::move(steps)), start_(GetTickCount()), deadline_(deadlineMs) {
    g_active = this;
    timer_ = SetTimer(nullptr, 0, 40, &WindowDriver::Tick);
}

WindowDriver::~WindowDriver() {
    if (timer_) KillTimer(nullptr, timer_);
    if (g_active == this) g_active = nullptr;
}

void CALLBACK WindowDriver::Tick(HWND, UINT, UINT_PTR, DWORD) {
    if (g_active) g_active->Run();
}

void WindowDriver::Run() {
    if (running_) return;  // a step that pumps must not run the next one inside itself
    running_ = true;
    if (GetTickCount() - start_ > deadline_) {
        // Past the deadline a step still waiting, or a menu or host window the steps left open
        // (a lost key or click), is ended: the test fails instead of waiting in its loop for ever.
        if (!Finished() || HostModalOpen()) {
            timedOut_ = true;
            next_ = steps_.size();
            CloseHostModals();
        }
    } else if (!Finished() && steps_[next_]()) {
        ++next_;
    }
    running_ = false;
}

bool PumpUntil(const std::function<bool()>& done, DWORD ms) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > ms) return done();
        vb::DoEvents();
        Sleep(5);
    }
    return true;
}

void PumpFor(DWORD ms) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < ms) {
        vb::DoEvents();
        Sleep(5);
    }
}

void ClickWindow(HWND window) { userinput::Click(userinput::CentreOf(window)); }

bool BringInFront(HWND window) {
    if (GetForegroundWindow() == window) return true;
    SetForegroundWindow(window);
    return GetForegroundWindow() == window;
}

bool HostModalOpen() {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (GetGUIThreadInfo(GetCurrentThreadId(), &info) && (info.flags & GUI_INMENUMODE)) return true;
    const auto shows = [](auto* w) { return w && w->Loaded() && IsWindowVisible(w->Handle()); };
    return shows(frmQuit::Existing()) || shows(frmAgreement::Existing()) || shows(frmAbout::Existing()) ||
           shows(frmAboutKestrow::Existing()) || shows(frmLatestVerTip::Existing());
}

void CloseHostModals() {
    // A menu of this thread (the frame's, opened by its keys) is left as Escape leaves it.
    EndMenu();
    if (auto* w = frmQuit::Existing()) w->Unload();
    if (auto* w = frmAgreement::Existing()) w->Unload();
    if (auto* w = frmAbout::Existing()) w->Unload();
    if (auto* w = frmAboutKestrow::Existing()) w->Unload();
    if (auto* w = frmLatestVerTip::Existing()) w->Unload();
}

}  // namespace hosttest
