// What the host and the libraries it shows agree on. Everything here crosses a module
// boundary, so it travels by member name through IDispatch; inside the host the same objects
// are reached through the C++ interfaces of HostFrame.h.
#pragma once

namespace contract {

// A product is the class ProgIdPrefix & ProductClassSuffix, e.g. "MorvaSendrik.CForm".
inline constexpr const wchar_t* ProductClassSuffix = L".CForm";

// Members of a product's CForm. Properties lists, one name a line (CR between), the members the
// host may call; the host calls no other (ShowForm excepted).
inline constexpr const wchar_t* MemberProperties = L"Properties";                  // String get
inline constexpr const wchar_t* MemberGeneralInitialization = L"GeneralInitialization";  // method
inline constexpr const wchar_t* MemberProductName = L"ProductName";                // String get
inline constexpr const wchar_t* MemberUtilitySuiteOrdinal = L"UtilitySuiteOrdinal";  // get, read as Single
inline constexpr const wchar_t* MemberVersion = L"Version";                        // String get
inline constexpr const wchar_t* MemberToolbarButtonUp = L"ToolbarButtonUp";        // picture get (IPictureDisp)
inline constexpr const wchar_t* MemberToolbarButtonDown = L"ToolbarButtonDown";    // picture get
inline constexpr const wchar_t* MemberToolbarButtonUpOver = L"ToolbarButtonUpOver";  // picture get
inline constexpr const wchar_t* MemberToolbarButtonToolTip = L"ToolbarButtonToolTip";  // String get
inline constexpr const wchar_t* MemberMdiMenu = L"MdiMenu";                        // menu string get
inline constexpr const wchar_t* MemberSysTrayMenu = L"SysTrayMenu";                // menu string get
inline constexpr const wchar_t* MemberHelpMenu = L"HelpMenu";                      // menu string get
inline constexpr const wchar_t* MemberAboutMenu = L"AboutMenu";                    // menu string get
inline constexpr const wchar_t* MemberShowForm = L"ShowForm";  // method; answers the product's window (Object)

// Members of a library window: the one ShowForm answers and each one the frame lists as its
// MDI child. A window without one of them is skipped.
inline constexpr const wchar_t* MemberTimerEvent = L"TimerEvent";                  // method, every 125 ms tick
inline constexpr const wchar_t* MemberMdiFrmWindowState = L"MdiFrmWindowState";    // put, 16-bit: 0 normal, 1 min, 2 max
inline constexpr const wchar_t* MemberInterruptible = L"Interruptible";            // get, compared as text with "True"
inline constexpr const wchar_t* MemberName = L"Name";                              // String get: the window's name
inline constexpr const wchar_t* MemberVisible = L"Visible";                        // Boolean get

// The frame's automation surface: the object a library window gets as its MDI extender's
// ParentForm. Window handles travel as pointer-sized integers (VT_I8 on 64-bit, VT_I4 on 32-bit).
inline constexpr const wchar_t* FrameShowMDIForm = L"ShowMDIForm";    // method: brings the frame back
inline constexpr const wchar_t* FrameStatusBar = L"sta1";             // get: the status bar object below
inline constexpr const wchar_t* FrameWindowState = L"WindowState";    // get, 16-bit: 0 normal, 1 min, 2 max
inline constexpr const wchar_t* FrameHwnd = L"hWnd";                  // get: the frame's window
inline constexpr const wchar_t* FrameMdiClient = L"MDIClient";        // get: the frame's MDI client window,
                                                                     // parent of every MDI child
// A library window finds the surface as this window property of the frame (an IDispatch
// pointer, valid while the frame is loaded), on one of its own thread's top-level windows.
inline constexpr const wchar_t* FrameAutomationProperty = L"MorvaFrameAutomation";
// The extender's host side: a library window made an MDI child of the frame enters the
// frame's children list (window handle and automation object) and leaves it when it closes.
// A loaded but hidden window is not in the list.
inline constexpr const wchar_t* FrameAddMdiChild = L"AddMdiChild";        // method (hWnd, Object)
inline constexpr const wchar_t* FrameRemoveMdiChild = L"RemoveMdiChild";  // method (hWnd)

// The status bar object (what sta1 answers). Panels are numbered from 1 to 4.
inline constexpr const wchar_t* StatusPanelText = L"PanelText";  // get/put, argument the panel number

// The frame's status panels.
inline constexpr int PanelHookState = 1;
inline constexpr const wchar_t* HookOnText = L"Lumox is On";
inline constexpr const wchar_t* HookOffText = L"Lumox is Off";

// The window name the host opens at start and after a restore.
inline constexpr const wchar_t* OptionsWindowName = L"frmTesselOptions";

}  // namespace contract
