// The host's own objects as they reach each other: what the start-up, the suite build-up and
// the frame's timer need of the frame window and of the other host windows, and what the
// frame module supplies to the start-up. Only the frame module implements these; tests put
// fakes in their place.
#pragma once
#include <windows.h>
#include <oaidl.h>
#include <ocidl.h>

#include <string>
#include <vector>

// A host window that takes part in the frame's 125 ms heartbeat (the splash).
class HostTimerClient {
public:
    virtual void TimerEvent() = 0;

protected:
    ~HostTimerClient() = default;
};

// The frame's toolbar. Buttons are numbered from 1; button 1 ("Help") is there from the start.
class HostToolbar {
public:
    // Appends a button; answers its number, which is the new button count.
    virtual int AddButton() = 0;
    virtual int ButtonCount() const = 0;
    // Pictures a product gave; any of them may be nullptr (left as it is). The toolbar keeps
    // its own references (or copies) of what it uses.
    virtual void SetButtonPictures(int button, IPicture* up, IPicture* down, IPicture* upOver) = 0;
    // Pictures of the frame's own image list, by key (e.g. "HelpUp", "HelpDown", "HelpUpOver").
    virtual void SetButtonImages(int button, const std::wstring& upKey, const std::wstring& downKey,
                                 const std::wstring& upOverKey) = 0;
    virtual void SetButtonToolTip(int button, const std::wstring& text) = 0;
    virtual void SetButtonKey(int button, const std::wstring& key) = 0;
    // 0: the "Adjustable" spacer's style.
    virtual void SetButtonStyle(int button, int style) = 0;
    virtual void Refresh(int how) = 0;

protected:
    ~HostToolbar() = default;
};

// The frame window MDIFrm as the start-up, the suite build-up and the timer use it.
class HostFrame {
public:
    virtual HWND Handle() const = 0;

    // Status bar sta1, panels from 1 to 4.
    virtual std::wstring PanelText(int panel) const = 0;
    virtual void SetPanelText(int panel, const std::wstring& text) = 0;

    // 0 normal, 1 minimised, 2 maximised.
    virtual int WindowState() const = 0;
    virtual bool Visible() const = 0;
    // Outer size in twips.
    virtual long Width() const = 0;
    virtual long Height() const = 0;
    virtual void SetWidth(long twips) = 0;
    virtual void SetHeight(long twips) = 0;
    // Lays the frame's controls out again (ResizeControls).
    virtual void LayoutControls() = 0;

    // The library windows shown as children of the frame through its MDI extender, walked
    // afresh at every tick (borrowed references; AddRef what is kept across a message pump).
    virtual std::vector<IDispatch*> MdiChildren() const = 0;
    // The host's own loaded windows that have TimerEvent, the frame's included when it has one.
    virtual std::vector<HostTimerClient*> LoadedHostWindows() const = 0;

    // The tray step after the hook went on (CheckTray), and the system's default sound.
    virtual void CheckTray() = 0;
    virtual void Beep() = 0;

protected:
    ~HostFrame() = default;
};

// The windows the start routine shows, supplied by the frame module (MarldenWindows()).
class HostWindows {
public:
    // Shows frmSplash modeless; answers its window name (for WaitWhileFormLoaded).
    virtual std::wstring ShowSplash() = 0;
    // Loads MDIFrm: its load builds the products, toolbar and menus and starts the timer.
    virtual void LoadFrame() = 0;
    // frmLatestVerTip, modal.
    virtual void ShowLatestVersionTip() = 0;
    // Shows the loaded frame modeless. The frame's termination posts WM_QUIT, which ends the
    // program's message loop.
    virtual void ShowFrame() = 0;
    // The loaded frame; nullptr before its load and after its unload.
    virtual HostFrame* Frame() = 0;
    // The message loop hands each message here first (MDI keys, dialog keys); true when it
    // was handled and must not be dispatched.
    virtual bool PreTranslateMessage(MSG& /*msg*/) { return false; }

protected:
    ~HostWindows() = default;
};

// The frame module's windows; defined by that module.
HostWindows& MarldenWindows();
