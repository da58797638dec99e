// The host's frame window: an MDI frame with its toolbar, menu bar, status bar and MDI client,
// the suite's products, the 125 ms heartbeat, the tray step and the close choice.
// Split by concern: MDIFrm.cpp (load, activation, close), MDIFrmLayout.cpp (resize and
// toolbar layout), MDIFrmMenus.cpp (menus, web pages, ShowMDIForm).
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "FrameAutomation.h"
#include "FrameClose.h"
#include "FrameTimer.h"
#include "FrameToolbar.h"
#include "HostFrame.h"
#include "ProductSuite.h"
#include "com/ComModule.h"
#include "frmSysTray.h"
#include "win/Toolbar.h"
#include "win/Window.h"

// What the frame does at the very end (MDIForm_Terminate): ends the program's message loop.
// Tests put their own in place.
using EndProgramFunction = void (*)();
EndProgramFunction SetEndProgramFunction(EndProgramFunction end);

// Menu command ids: group base + index.
enum FrameMenuIds : UINT {
    cmdFile = 1000,       // mnuFile(0-9)
    cmdProduct = 1100,    // mnu1..mnu7: cmdProduct + n * 20 + index
    cmdHelp = 1300,       // mnuHelp(0-10)
    cmdAbout = 1400,      // mnuAbout(0-8)
    cmdTutorials = 1500,  // mnuTutorials(0-2)
    cmdUrls = 1600,       // mnuURLs(0-4)
    cmdSpecial = 1700,    // mnuSpecial(0)
    cmdFirstMdiChild = 50000,
};

class MDIFrm : public win::Window,
               public HostFrame,
               public TrayFrame,
               public FrameSurface,
               private ClosingFrame {
    // Ahead of the controls: the window procedure runs while they are being created.
    HWND mdiClient_ = nullptr;
    HMENU menuBar_ = nullptr;
    HMENU windowMenu_ = nullptr;
    bool ready_ = false;  // every member built: messages may reach them
    bool timerRunning_ = false;

public:
    MDIFrm();
    ~MDIFrm() override;
    // The heartbeat: Timer1's id and interval (ms).
    static constexpr UINT_PTR Timer1Id = 1;
    static constexpr UINT Timer1Interval = 125;
    // The status bar's panel that says an Exit waits. The products reach the bar through the
    // frame's automation, which offers them panels 1 to 4 only: whatever they show while they
    // work, the notice stays until the work ends.
    static constexpr int ExitWaitsPanel = 5;
    static constexpr const wchar_t* ExitWaitsText = L"Exits when the work ends";
    // The frame while it is loaded; Load creates it (its load event builds everything).
    static MDIFrm* Current();
    static MDIFrm& Load();

    // ---- public properties ----
    short NewWindowState = 0;
    short MinWidth() const { return minWidth_; }
    std::optional<long> NormalTop() const override { return normalTop_; }
    std::optional<long> NormalLeft() const override { return normalLeft_; }
    std::optional<long> NormalWidth() const override { return normalWidth_; }
    std::optional<long> NormalHeight() const override { return normalHeight_; }
    void SetNormalTop(long v) { normalTop_ = v; }
    void SetNormalLeft(long v) { normalLeft_ = v; }
    void SetNormalWidth(long v) { normalWidth_ = v; }
    void SetNormalHeight(long v) { normalHeight_ = v; }
    // Set by the close choice's Exit.
    bool gbExit = false;
    // Brings the frame back: restored, visible and in front.
    void ShowMDIForm() override;

    bool IsMdiFrame() const override { return true; }

    // ---- HostFrame ----
    HWND Handle() const override { return win::Window::Handle(); }
    std::wstring PanelText(int panel) const override;
    void SetPanelText(int panel, const std::wstring& text) override;
    int WindowState() const override { return win::Window::WindowState(); }
    bool Visible() const override { return win::Window::Visible(); }
    long Width() const override { return win::Window::Width(); }
    long Height() const override { return win::Window::Height(); }
    void SetWidth(long twips) override;
    void SetHeight(long twips) override;
    void LayoutControls() override;
    std::vector<IDispatch*> MdiChildren() const override;
    std::vector<HostTimerClient*> LoadedHostWindows() const override;
    void CheckTray() override;
    void Beep() override;

    // ---- TrayFrame ----
    int FrameWindowState() const override { return WindowState(); }
    void MinimizeFrame() override { SetWindowState(1); }
    void CloseFrame() override;
    const std::vector<MenuEntry>& SysTrayMenu() const override { return suite.Menus.SysTray; }
    bool FrameUnderModalWindow() const override { return Handle() && !IsWindowEnabled(Handle()); }

    // ---- FrameSurface (the extender's host side) ----
    HWND MdiClient() const override { return mdiClient_; }
    void AddMdiChild(HWND window, IDispatch* form) override;
    void RemoveMdiChild(HWND window) override;
    // The surface a library window gets as its extender's ParentForm (borrowed).
    IDispatch* Automation() const { return automation_.Get(); }

    // ---- menus ----
    void MenuCommand(UINT id);
    void mnu1_Click(int index);
    void mnuFile_Click(int index);
    void mnuHelp_Click(int index);
    void mnuTutorials_Click(int index);
    void mnuAbout_Click(int index);
    void mnuURLs_Click(int index);
    void mnuSpecial_Click(int index);
    bool OpenProductUnlessLoaded(const std::wstring& formName, long index);
    // The menu bar as built from the menus' data; rebuilt after the products filled them.
    void BuildMenuBar();
    HMENU MenuBar() const { return menuBar_; }
    HMENU WindowMenu() const { return windowMenu_; }

    // ---- events ----
    void MDIForm_Activate();
    void MDIForm_Resize();
    // Runs the close decisions; true when the close was cancelled.
    bool MDIForm_QueryUnload(CloseMode mode);
    bool TimerRunning() const { return timerRunning_; }
    // A close asked for while a product was busy waits for the product's work to end.
    bool ExitPending() const { return exitPending_; }
    // What the notice's panel shows; "" while no Exit waits (the panel is not there then).
    std::wstring ExitWaitsNotice() const;
    int ActivationCount() const { return activationCount_; }
    bool TrayShown() const { return trayShown_; }

    // ---- toolbar layout ----
    void ToolbarAdjustableSpacerSetRef();
    void ToolbarButtonsWidthGet();
    void ToolbarSpacerSetWidth();
    int SpacerIndex() const { return spacerIndex_; }
    long ButtonsWidth() const { return buttonsWidth_; }

    // For the message loop: the MDI system keys (Ctrl+F4, Ctrl+F6).
    bool PreTranslateMessage(MSG& msg);

    win::Toolbar& asxToolbar1;
    win::StatusBar& sta1;
    ProductSuite suite;
    FrameTimer timer;

protected:
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    LRESULT SystemMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool OnQueryUnload() override;
    void OnUnload() override;

private:
    struct MdiChild {
        HWND window;
        com::ComPtr<IDispatch> form;
    };

    void MDIForm_Load();
    void MDIForm_Unload();
    void MDIForm_Terminate();
    void MinimizeToTray();
    void LayoutBars();
    void StartTimer();
    void StopTimerNow();
    void PruneMdiChildren();
    // On each tick: a waiting close goes ahead once no product is busy any more.
    void CloseWhenProductsAreFree();

    // ClosingFrame
    bool ProductBusy() override;
    void ExitWaits() override;
    void ExitGoesAhead() override;
    // Shows or takes away the notice that an Exit waits, with its panel.
    void ShowExitWaits(bool shown);
    int ExitNoticeWidth() const;
    void SavePlacement() override;
    int CurrentWindowState() const override { return WindowState(); }
    bool AskExit() override;
    void Minimize() override { SetWindowState(1); }
    void StopTimer() override { StopTimerNow(); }
    void EndMeter() override { timer.EndMeter(); }
    void UnloadMdiChildren() override;
    void HookOff() override;
    void SetHookPanel(const std::wstring& text) override { SetPanelText(1, text); }

    FrameToolbar toolbar_;
    com::ComPtr<IDispatch> automation_;
    std::vector<MdiChild> children_;
    long normalTop_ = 0, normalLeft_ = 0, normalWidth_ = 0, normalHeight_ = 0;
    short minWidth_ = 0;
    int activationCount_ = 0;
    bool trayShown_ = false;
    int resizeDepth_ = 0;
    int previousWindowState_ = 0;
    int spacerIndex_ = 0;
    long buttonsWidth_ = 0;
    bool openProductBusy_ = false;
    bool closing_ = false;
    bool exitPending_ = false;
    bool exitNoticeShown_ = false;  // the status bar has the notice's panel
    bool firstActivationPosted_ = false;
};
