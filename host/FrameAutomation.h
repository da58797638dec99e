// The frame's automation surface: what a library window reaches of the frame by member name
// (its MDI extender's ParentForm): ShowMDIForm, the status bar sta1, the window state, the
// frame's and its MDI client's windows, and the children list of the extender's host side.
#pragma once
#include <windows.h>
#include <oaidl.h>

#include <string>

#include "HostContract.h"

// A library window finds the frame's surface as this property of the frame's window (an
// IDispatch pointer, valid while the frame is loaded).
inline constexpr const wchar_t* FrameAutomationProperty = contract::FrameAutomationProperty;

// What the surface reaches of the frame.
class FrameSurface {
public:
    virtual void ShowMDIForm() = 0;
    virtual std::wstring PanelText(int panel) const = 0;
    virtual void SetPanelText(int panel, const std::wstring& text) = 0;
    virtual int WindowState() const = 0;
    virtual HWND Handle() const = 0;
    virtual HWND MdiClient() const = 0;
    virtual void AddMdiChild(HWND window, IDispatch* form) = 0;
    virtual void RemoveMdiChild(HWND window) = 0;

protected:
    ~FrameSurface() = default;
};

// A new surface over frame (reference count 1). Detach it when the frame unloads: calls then
// fail with E_UNEXPECTED.
IDispatch* CreateFrameAutomation(FrameSurface* frame);
void DetachFrameAutomation(IDispatch* automation);
