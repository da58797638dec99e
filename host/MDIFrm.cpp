#include "MDIFrm.h"

#include <algorithm>

#include "FrameAccess.h"
#include "HostVersion.h"
#include "HostContract.h"
#include "MarldenResources.h"
#include "basErrorHandler.h"
#include "basHookSwitch.h"
#include "basHostShared.h"
#include "basMain.h"
#include "basMessageHandler.h"
#include "basStrings.h"
#include "basUserInterface.h"
#include "basWinAPI_Registry.h"
#include "clsCPUUsage.h"
#include "frmQuit.h"
#include "frmSplash.h"
#include "vb/VbApp.h"
#include "vb/VbScreen.h"
#include "vb/VbText.h"

namespace {

// Posted by the first activation, so that its work runs after the activation itself.
constexpr UINT WM_FIRSTACTIVATION = WM_APP + 1;
constexpr int kMdiClientId = 0xCAC;

void PostQuit() { PostQuitMessage(0); }

// The status bar's panels as designed: each one's tag carries its tool tip.
const wchar_t* const kPanelTags[] = {
    L"ToolTip:='Double-Click to turn Lumox On/Off'",
    L"ToolTip:='Progress info.'",
    L"ToolTip:='More progress info.'",
    L"ToolTip:='Tool Tip Information'",
};
class PanelTag : public TagHolder {
public:
    explicit PanelTag(std::wstring tag) : tag_(std::move(tag)) {}
    std::wstring Tag() const override { return tag_; }
    void SetTag(const std::wstring& tag) override { tag_ = tag; }
    TagHolder* TagContainer() const override { return nullptr; }

private:
    std::wstring tag_;
};
EndProgramFunction g_endProgram = nullptr;

}  // namespace

EndProgramFunction SetEndProgramFunction(EndProgramFunction end) {
    EndProgramFunction previous = g_endProgram;
    g_endProgram = end;
    return previous;
}

win::Window* FrameWindow() { return MDIFrm::Current(); }
HWND FrameHandle() {
    MDIFrm* frame = MDIFrm::Current();
    return frame ? frame->Handle() : nullptr;
}

MDIFrm* MDIFrm::Current() { return win::DefaultInstance<MDIFrm>::Existing(); }
MDIFrm& MDIFrm::Load() { return win::DefaultInstance<MDIFrm>::Get(); }

MDIFrm::MDIFrm()
    : win::Window(L"MDIFrm"),
      asxToolbar1((Create(AppTitle, 640, 440, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0),
                   Add<win::Toolbar>(L"asxToolbar1"))),
      sta1(Add<win::StatusBar>(L"sta1", 4)),
      timer(*this, suite),
      toolbar_(asxToolbar1) {
    ready_ = true;
    // The placement key, and layout keys that keep the bars where the frame puts them.
    SetTag(L"RegistryName:='Wayhold Utility Manager'");
    asxToolbar1.SetTag(L"ResizeAnchor1:='Left' ResizeAnchor2:='Top' FixedSize:='True'");
    sta1.SetTag(L"ResizeAnchor1:='Left' ResizeAnchor2:='Top' FixedSize:='True'");
    for (long panel = 1; panel <= 4; ++panel)
        sta1.SetPanelToolTip(panel, GetTagProperty(PanelTag(kPanelTags[panel - 1]), L"ToolTip"));

    HICON big = static_cast<HICON>(LoadImageW(vb::ThisModule(), MAKEINTRESOURCEW(IDI_MARLDEN), IMAGE_ICON, 32, 32, 0));
    HICON small = static_cast<HICON>(LoadImageW(vb::ThisModule(), MAKEINTRESOURCEW(IDI_MARLDEN), IMAGE_ICON,
                                                GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    if (big) SendMessageW(Handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(big));
    if (small) SendMessageW(Handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(small));

    CLIENTCREATESTRUCT client{};
    client.hWindowMenu = nullptr;
    client.idFirstChild = cmdFirstMdiChild;
    mdiClient_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"MDICLIENT", nullptr,
                                 WS_CHILD | WS_CLIPCHILDREN | WS_CLIPSIBLINGS | WS_VSCROLL | WS_HSCROLL | WS_VISIBLE,
                                 0, 0, 100, 100, Handle(),
                                 reinterpret_cast<HMENU>(static_cast<INT_PTR>(kMdiClientId)), vb::ThisModule(),
                                 &client);

    // The design-time button: help, with a picture of its own.
    int first = asxToolbar1.AddButton();
    asxToolbar1.SetKey(first, L"Help");
    asxToolbar1.SetToolTipText(first, L"Launches a Windows Help File");
    toolbar_.SetButtonImages(first, L"HelpFileUp", L"HelpFileDown", L"HelpFileUpOver");
    asxToolbar1.OnButtonClick = [this](int button, const std::wstring&) {
        suite.ToolbarButtonClick(button, toolbar_, Handle());
    };

    automation_ = com::ComPtr<IDispatch>(CreateFrameAutomation(this));
    SetPropW(Handle(), FrameAutomationProperty, automation_.Get());

    BuildMenuBar();
    LayoutBars();
    MDIForm_Load();
}

MDIFrm::~MDIFrm() {
    if (Loaded()) Unload();
    if (automation_) DetachFrameAutomation(automation_.Get());
}

// ---- load ----

void MDIFrm::MDIForm_Load() {
    TrappedVoid(L"MDIForm_Load", [&] {
        StartTimer();
        NewWindowState = 0;
        OldFormWidth = win::Window::Width();
        OldFormHeight = win::Window::Height();
        suite.GetDLLArributes(toolbar_);
        suite.GetStandardToolbarButtons(toolbar_);
        BuildMenuBar();
        PlaceForm(*this, phCentre, pvCentre);
        ResizeControls(*this);
        HostFormGetSetPosAndSize(plRestore, *this, NewWindowState);
        ToolbarAdjustableSpacerSetRef();
        ToolbarButtonsWidthGet();
        ToolbarSpacerSetWidth();
        LayoutBars();
        SetPanelText(contract::PanelHookState, contract::HookOffText);
        std::unique_ptr<CPUUsageMeter> meter = CreateCPUUsageMeter();
        meter->Initialize();
        timer.SetMeter(std::move(meter));
    });
}

void MDIFrm::StartTimer() {
    if (SetTimer(Handle(), Timer1Id, Timer1Interval, nullptr)) timerRunning_ = true;
}

void MDIFrm::StopTimerNow() {
    KillTimer(Handle(), Timer1Id);
    timerRunning_ = false;
}

// ---- activation ----

void MDIFrm::MDIForm_Activate() {
    if (activationCount_++ != 0) return;
    vb::SetScreenMousePointer(vb::vbHourglass);
    ResumeNext([&] {
        vb::Variant firstTime = Registry(regGet, L"4", L"", vb::Variant(L"Morva Utility Manager First Time"),
                                         std::nullopt, vb::Variant(L"True"), HKEY_LOCAL_MACHINE, true);
        if (vb::TextEquals(firstTime.ToString(), L"True")) Move(0, Top());
    });
    WaitWhileFormLoaded(SplashFormName());
    if (NewWindowState < 0 || NewWindowState > 2) NewWindowState = 0;
    if (NewWindowState != WindowState()) SetWindowState(NewWindowState);
    vb::SetScreenMousePointer(vb::vbDefault);
    if (WindowState() != 1) {
        Show();
        OpenProductUnlessLoaded(contract::OptionsWindowName, 0);
    }
}

// ---- close ----

bool MDIFrm::OnQueryUnload() {
    if (closing_) return true;
    return MDIForm_QueryUnload(CloseMode::User);
}

bool MDIFrm::MDIForm_QueryUnload(CloseMode mode) {
    closing_ = true;
    bool cancel = FrameQueryUnload(*this, mode);
    closing_ = false;
    // The notice of an Exit that waited stays through the close question that carries it out;
    // once the close has ended, only an Exit still waiting keeps it.
    if (exitNoticeShown_ && !exitPending_) ShowExitWaits(false);
    return cancel;
}

bool MDIFrm::ProductBusy() { return suite.AnyOpenProductBusy(); }

void MDIFrm::ExitWaits() {
    exitPending_ = true;
    ShowExitWaits(true);
}

void MDIFrm::ExitGoesAhead() { exitPending_ = false; }

void MDIFrm::ShowExitWaits(bool shown) {
    // The notice's panel is there only while the notice shows (LayoutBars reads the flag).
    exitNoticeShown_ = shown;
    LayoutBars();
    if (shown) sta1.SetPanelText(ExitWaitsPanel, ExitWaitsText);
}

std::wstring MDIFrm::ExitWaitsNotice() const {
    if (SendMessageW(sta1.Handle(), SB_GETPARTS, 0, 0) < ExitWaitsPanel) return L"";
    return sta1.PanelText(ExitWaitsPanel);
}

void MDIFrm::CloseWhenProductsAreFree() {
    if (!exitPending_ || closing_ || ProductBusy()) return;
    exitPending_ = false;
    // From the queue, after this tick: the close path then runs as the user's own close does,
    // and the notice stays until that close has ended.
    PostMessageW(Handle(), WM_CLOSE, 0, 0);
}

void MDIFrm::SavePlacement() { HostFormGetSetPosAndSize(plSave, *this, NewWindowState); }

bool MDIFrm::AskExit() {
    frmQuit::Default().Ask(gbExit);
    return gbExit;
}

void MDIFrm::UnloadMdiChildren() {
    // The library's windows close through their own close, so that their unload (which
    // saves the user's data) runs; the last shown first.
    std::vector<HWND> windows;
    for (const MdiChild& c : children_) windows.push_back(c.window);
    for (auto it = windows.rbegin(); it != windows.rend(); ++it)
        ResumeNext([&] {
            if (IsWindow(*it)) SendMessageW(*it, WM_CLOSE, 0, 0);
        });
    PruneMdiChildren();
}

void MDIFrm::HookOff() { TurnHookOff(); }

void MDIFrm::CloseFrame() {
    if (Handle()) SendMessageW(Handle(), WM_CLOSE, 0, 0);
}

void MDIFrm::OnUnload() { MDIForm_Unload(); }

void MDIFrm::MDIForm_Unload() {
    ResumeNext([&] { StopTimerNow(); });
    ResumeNext([&] {
        if (frmSysTray* tray = frmSysTray::Existing()) {
            tray->RemoveIcon();
            tray->Unload();
        }
    });
    // Products before the libraries that hold them go away.
    ResumeNext([&] { children_.clear(); });
    ResumeNext([&] { suite.ReleaseAll(); });
    RemovePropW(Handle(), FrameAutomationProperty);
    if (automation_) DetachFrameAutomation(automation_.Get());
}

void MDIFrm::MDIForm_Terminate() {
    ResumeNext([&] { TurnHookOff(); });
    (g_endProgram ? g_endProgram : &PostQuit)();
}

// ---- tray ----

void MDIFrm::CheckTray() {
    TrappedVoid(L"CheckTray", [&] {
        if (IsWinXPOrLater() && !HookSwitchedOn()) return;
        MinimizeToTray();
    });
}

void MDIFrm::MinimizeToTray() {
    TrappedVoid(L"MinimizeToTray", [&] {
        if (!trayShown_) {
            frmSysTray::Default().Activate(*this);
            trayShown_ = true;
        }
        if (WindowState() == 1) Hide();
    });
}

void MDIFrm::Beep() { CurrentMessagePresenter().Beep(); }

// ---- status bar ----

std::wstring MDIFrm::PanelText(int panel) const { return sta1.PanelText(panel); }
void MDIFrm::SetPanelText(int panel, const std::wstring& text) { sta1.SetPanelText(panel, text); }

// ---- children ----

void MDIFrm::AddMdiChild(HWND window, IDispatch* form) {
    if (!window || !form) return;
    for (MdiChild& c : children_)
        if (c.window == window) {
            form->AddRef();
            c.form = com::ComPtr<IDispatch>(form);
            return;
        }
    form->AddRef();
    children_.push_back({window, com::ComPtr<IDispatch>(form)});
}

void MDIFrm::RemoveMdiChild(HWND window) {
    children_.erase(std::remove_if(children_.begin(), children_.end(),
                                   [&](const MdiChild& c) { return c.window == window; }),
                    children_.end());
}

void MDIFrm::PruneMdiChildren() {
    children_.erase(
        std::remove_if(children_.begin(), children_.end(), [](const MdiChild& c) { return !IsWindow(c.window); }),
        children_.end());
}

std::vector<IDispatch*> MDIFrm::MdiChildren() const {
    // A library window that is loaded but hidden is not shown as a child. Its own style says
    // so: inside a frame sitting in the notification area every child reads as invisible.
    std::vector<IDispatch*> shown;
    for (const MdiChild& c : children_)
        if (IsWindow(c.window) && (GetWindowLongW(c.window, GWL_STYLE) & WS_VISIBLE)) shown.push_back(c.form.Get());
    return shown;
}

std::vector<HostTimerClient*> MDIFrm::LoadedHostWindows() const {
    std::vector<HostTimerClient*> clients;
    if (frmSplash* splash = frmSplash::Existing()) clients.push_back(splash);
    return clients;
}

// ---- messages ----

LRESULT MDIFrm::SystemMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefFrameProcW(Handle(), mdiClient_, msg, wParam, lParam);
}

bool MDIFrm::PreTranslateMessage(MSG& msg) {
    return mdiClient_ && TranslateMDISysAccel(mdiClient_, &msg);
}

LRESULT MDIFrm::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (!ready_) return DefaultMessage(msg, wParam, lParam);
    switch (msg) {
        case WM_TIMER:
            if (wParam == Timer1Id) {
                timer.Tick();
                CloseWhenProductsAreFree();
                return 0;
            }
            break;
        case WM_SIZE:
            LayoutBars();
            MDIForm_Resize();
            return 0;
        case WM_SHOWWINDOW:
            // Shown at the size it was laid out at while hidden: no WM_SIZE follows, so lay out here.
            if (wParam) LayoutBars();
            break;
        case WM_ACTIVATE:
            if (LOWORD(wParam) != WA_INACTIVE) {
                if (!firstActivationPosted_) {
                    firstActivationPosted_ = true;
                    PostMessageW(Handle(), WM_FIRSTACTIVATION, 0, 0);
                } else if (activationCount_ > 0) {
                    ++activationCount_;  // later activations only count
                }
            }
            break;
        case WM_FIRSTACTIVATION:
            MDIForm_Activate();
            return 0;
        case WM_COMMAND:
            if (lParam == 0 && LOWORD(wParam) >= cmdFile && LOWORD(wParam) < cmdFirstMdiChild) {
                MenuCommand(LOWORD(wParam));
                return 0;
            }
            break;
        case WM_NOTIFY: {
            auto* header = reinterpret_cast<NMHDR*>(lParam);
            if (header->hwndFrom == sta1.Handle() && header->code == NM_DBLCLK) {
                auto* mouse = reinterpret_cast<NMMOUSE*>(lParam);
                if (mouse->dwItemSpec != static_cast<DWORD_PTR>(-1))
                    timer.PanelDblClick(static_cast<int>(mouse->dwItemSpec) + 1);
                return TRUE;
            }
            break;
        }
        case WM_QUERYENDSESSION:
            return TRUE;
        case WM_ENDSESSION:
            // Windows is ending the session: take the exit path at once, without the question.
            if (wParam && Handle() && !MDIForm_QueryUnload(CloseMode::SessionEnd)) DestroyWindow(Handle());
            return 0;
        case WM_NCDESTROY: {
            LRESULT result = DefaultMessage(msg, wParam, lParam);
            MDIForm_Terminate();
            return result;
        }
        default:
            break;
    }
    return DefaultMessage(msg, wParam, lParam);
}
