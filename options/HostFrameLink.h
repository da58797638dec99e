// The library side of the MDI extender: how the options window finds the host's frame, becomes
// an MDI child of the frame's MDI client and enters the frame's children list. Only window
// handles and the frame's automation object cross over; the frame stands here as a window
// without a window of its own whose status bar "sta1" writes through that object.
#pragma once
#include <windows.h>
#include <oaidl.h>

#include <memory>
#include <string>

#include "com/ComModule.h"
#include "win/Window.h"

// The frame's automation object on this thread: the top-level window of the thread that carries
// the frame property. nullptr when no host frame is there (the window then opens top-level).
IDispatch* FindHostFrameAutomation(HWND* frameWindow = nullptr);

// The library's message boxes belong to the host frame of their thread whenever there is one, even
// while it is hidden in the notification area: the frame stays disabled under a waiting box, so
// the host's tray icon leaves it alone. Called wherever the library starts working for a host.
void GiveMessageBoxesToTheHostFrame();

// The host frame as the common library reaches it (HostFrameOf, HostStatusBar).
class HostFrameProxy : public win::Window {
public:
    HostFrameProxy(HWND frame, IDispatch* automation);
    ~HostFrameProxy() override;

    HWND FrameHandle() const { return frame_; }
    HWND MdiClient() const;
    IDispatch* Automation() const { return automation_.Get(); }
    // False once the frame's window is gone.
    bool FrameAlive() const { return frame_ && IsWindow(frame_); }
    void ShowMDIForm();
    void AddMdiChild(HWND window, IDispatch* form);
    void RemoveMdiChild(HWND window);

    bool IsMdiFrame() const override { return true; }
    // The frame's own placement in twips, so that windows centred on the frame centre on it.
    long Left() const override;
    long Top() const override;
    long Width() const override;
    long Height() const override;
    bool Placed() const override { return FrameAlive(); }

private:
    RECT FrameRect() const;
    HWND frame_;
    com::ComPtr<IDispatch> automation_;
};

// mdiExt: its ParentForm is the frame proxy (nullptr without a host frame); its window state
// is the child's own state inside the frame.
class HostMdiExtender : public win::MdiExtender {
public:
    HostMdiExtender(win::Window& form, std::unique_ptr<HostFrameProxy> frame);
    win::Window* ParentForm() const override { return frame_.get(); }
    HostFrameProxy* Frame() const { return frame_.get(); }
    int WindowState() const override;

private:
    std::unique_ptr<HostFrameProxy> frame_;
};

// The frame's window of a form whose extender has one; nullptr otherwise.
HWND HostFrameWindowOf(const win::Window& form);
