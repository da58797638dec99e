// The options window's life: the load sequence of its first activation, the 125 ms step that
// finishes deferred work, its keys, and the closing steps that save and pack the user's data.
#include <cmath>
#include <fstream>
#include <functional>

#include "CategoryHost.h"
#include "basAliases.h"
#include "basCategories.h"
#include "basData.h"
#include "basDefaultAssociations.h"
#include "basErrorHandler.h"
#include "basExeScan.h"
#include "basMessageHandler.h"
#include "basProgramList.h"
#include "basRegistryModel.h"
#include "basStrings.h"
#include "basUserChoices.h"
#include "basUserInterface.h"
#include "basWinAPI_Help.h"
#include "basWinAPI_Registry.h"
#include "OptionsMenuLink.h"
#include "frmInfo.h"
#include "frmTesselOptions.h"
#include "vb/VbScreen.h"
#include "vb/VbText.h"

namespace {

constexpr UINT_PTR kTmr = 1;
constexpr UINT kTmrInterval = 125;
constexpr long kMinimumSettledSize = 5200;
// The host's first-run value under its subkey 4.
constexpr const wchar_t* kFirstTimeValue = L"Morva Utility Manager First Time";
constexpr int kPointerArrowHourglass = 13;

AssociationRestorerOpener& RestorerOpener() {
    static AssociationRestorerOpener opener;
    return opener;
}

// The first-run flag as a Boolean; a value that reads as no Boolean counts as a first run.
bool ReadFirstRun() {
    vb::Variant value = Registry(regGet, L"4", L"", vb::Variant(kFirstTimeValue), std::nullopt, vb::Variant(L"True"),
                                 HKEY_LOCAL_MACHINE, true);
    std::wstring text = vb::Trim(value.ToString());
    if (vb::TextEquals(text, L"False") || text == L"0") return false;
    return true;
}

// A WM_QUIT waits in the queue (DoEvents leaves it there for the message loop).
bool QuitPending() {
    MSG msg;
    return PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_NOREMOVE) != FALSE;
}

// Whole calendar days from earlier to later, as a day interval counts them.
long DayInterval(DATE earlier, DATE later) {
    return static_cast<long>(std::floor(later) - std::floor(earlier));
}

DATE NowAsDate() {
    SYSTEMTIME st{};
    GetLocalTime(&st);
    DATE now = 0;
    SystemTimeToVariantTime(&st, &now);
    return now;
}

ProgramScan& Scan() {
    static ProgramScan scan;
    return scan;
}

}  // namespace

bool RunProgramScan(ExeScanHost& host, bool rescan) {
    if (Scan()) return Scan()(host, rescan);
    bool ok = true;
    RefreshExeList(host, true, true, true, rescan, ok);
    return ok;
}

ProgramScan SetProgramScan(ProgramScan scan) {
    ProgramScan previous = std::move(Scan());
    Scan() = std::move(scan);
    return previous;
}

AssociationRestorerOpener SetAssociationRestorerOpener(AssociationRestorerOpener opener) {
    AssociationRestorerOpener previous = std::move(RestorerOpener());
    RestorerOpener() = std::move(opener);
    return previous;
}

// ---- work in progress ----

void frmTesselOptions::WorkBegins() {
    // The pumps under the work are the library's own: the close input is translated there.
    if (++work_ == 1 && !workPumpFilter_) workPumpFilter_.emplace([this](MSG& msg) { return CloseInputInPump(msg); });
}

void frmTesselOptions::WorkEnds() {
    if (work_ > 0) --work_;
    if (work_ == 0) {
        // A close box still held down goes back to the system, which tracks it from the host's
        // loop as it tracks every press on a caption.
        const PressedCloseBox held = pressedCloseBox_;
        ForgetPressedCloseBox();
        const int button = GetSystemMetrics(SM_SWAPBUTTON) ? VK_RBUTTON : VK_LBUTTON;
        if (held.window && IsWindow(held.window) && (GetAsyncKeyState(button) & 0x8000)) {
            POINT at{};
            GetCursorPos(&at);
            if (OverPressedCloseBoxOf(held, at))
                PostMessageW(held.window, WM_NCLBUTTONDOWN, held.menuBarItem ? HTMENU : HTCLOSE,
                             MAKELPARAM(at.x, at.y));
        }
        workPumpFilter_.reset();
    }
    // A close that came while the work ran goes ahead now, from the queue.
    if (work_ == 0 && closePending_) {
        closePending_ = false;
        if (Loaded()) PostMessageW(Handle(), WM_CLOSE, 0, 0);
    }
}

// ---- load sequence ----

void frmTesselOptions::Form_Activate() {
    if (windowClosing_ || firstActivationDone_) return;
    firstActivationDone_ = true;
    ProcGuard guard;
    WorkScope work(*this);
    // The steps in order. Each may let messages through, and the window can go meanwhile (its
    // frame destroyed with it): the sequence stops after the first step that finds it gone.
    enum class Outcome { Next, Failed, Done };
    bool firstRun = false, any = false;
    const std::function<Outcome()> steps[] = {
        [&] {
            FormGetSetPosAndSize(plRestore, *this);
            if (IsMdiChild() && GetParent(Handle()))
                SendMessageW(GetParent(Handle()), WM_MDIMAXIMIZE, reinterpret_cast<WPARAM>(Handle()), 0);
            // The timer starts when the load ends: the window is laid out for the size it opens
            // at now, not shown through the load at its design size.
            SettleLayout();
            Refresh();
            vb::DoEvents();
            return Outcome::Next;
        },
        [&] {
            vb::SetScreenMousePointer(kPointerArrowHourglass);
            Refresh();
            vb::DoEvents();
            return Outcome::Next;
        },
        [&] { return UnpackFiles() ? Outcome::Next : Outcome::Failed; },
        [&] {
            AddList() = vb::List<std::wstring>();
            RemoveList() = vb::List<std::wstring>();
            DefList() = vb::List<std::wstring>();
            if (EnsureProgramList()) return Outcome::Next;
            // A scan that failed or was stopped: the window closes as a ready one would.
            formReadiness_ = frReady;
            UnloadForm();
            vb::SetScreenMousePointer(vb::vbDefault);
            return Outcome::Done;
        },
        [&] {
            optionsClosing_ = false;
            BuildHowDoIMenus();
            firstRun = ReadFirstRun();
            any = GetPrograms();
            return Outcome::Next;
        },
        [&] {
            if (!firstRun || any) return Outcome::Next;
            MessageHandler(MessageBase + 4534);
            return Outcome::Failed;
        },
        // Each of these shows its progress in the status bar, which lets messages through.
        [&] { GetUserChoices(any); return Outcome::Next; },
        [&] { GetAliases(); return Outcome::Next; },
        [&] { DisplayPrograms(false); return Outcome::Next; },
        [&] { LoadRegistryExtensions(); return Outcome::Next; },
        [&] { LoadRegistryAssociations(); return Outcome::Next; },
        [&] { LoadExplorerFileExts(); return Outcome::Next; },
        [&] { DisplayExtensions(lvwExts); return Outcome::Next; },
        [&] { return GetCategories() ? Outcome::Next : Outcome::Failed; },
        [&] {
            RemoveStaleNodes();
            vb::SetScreenMousePointer(vb::vbDefault);
            vb::DoEvents();
            return Outcome::Next;
        },
        [&] { ShowFirstTimeWelcome(); return Outcome::Next; },
        [&] {
            SetMenusForOSVersion();
            // A size that came during the load is laid out before the user can act on the window.
            SettleLayout();
            StartTimer();
            formReadiness_ = frReady;
            return Outcome::Done;
        },
    };
    try {
        for (const auto& step : steps) {
            const Outcome outcome = step();
            if (outcome == Outcome::Done) return;
            if (outcome == Outcome::Failed) break;
            if (!Loaded() || windowClosing_) return;
        }
    } catch (...) {
        TrapError(L"Form_Activate");
    }
    // Only a failed step or an error comes here.
    vb::SetScreenMousePointer(vb::vbDefault);
    if (Loaded()) LoadSequenceFailed();
}

void frmTesselOptions::LoadSequenceFailed() {
    formReadiness_ = frFailed;
    UnloadForm();
}

bool frmTesselOptions::EnsureProgramList() {
    ProcGuard guard;
    bool ok = true;
    try {
        const std::wstring path = GetExeFilePath();
        WIN32_FILE_ATTRIBUTE_DATA data{};
        if (!GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data) ||
            (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) {
            return RunProgramScan(*this, false);
        }
        SetProgramListTimeStamp(data.ftLastWriteTime);
        const ULONGLONG size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
        if (size < 30) return RunProgramScan(*this, false);
        if (DayInterval(ProgramListDate, NowAsDate()) >= 60) {
            vb::Variant answer = MessageHandler(MessageBase + 5007);
            if (answer.IsNumeric() && answer.ToLong() == AnswerYes) ok = RunProgramScan(*this, true);
        }
    } catch (...) {
        TrapError(L"EnsureProgramList");
    }
    return ok;
}

bool frmTesselOptions::GetPrograms() {
    ProcGuard guard;
    bool any = false;
    try {
        ShowStatus(2, L"Loading Programs", true);
        std::vector<std::wstring> lines;
        std::vector<std::wstring> shortPaths;
        lines.reserve(1000);
        shortPaths.reserve(1000);
        std::ifstream file(GetExeFilePath().c_str(), std::ios::binary);
        std::string line;
        while (file && std::getline(file, line)) {
            if (!line.empty() && line.back() == '\r') line.pop_back();
            if (lines.size() == lines.capacity()) {
                lines.reserve(lines.size() + 1000);
                shortPaths.reserve(shortPaths.size() + 1000);
            }
            std::wstring text = vb::FromAnsi(line);
            std::vector<std::wstring> fields = vb::Split(text, L"|");
            shortPaths.push_back(fields.size() > 4 ? fields[4] : std::wstring());
            lines.push_back(std::move(text));
        }
        any = !lines.empty();
        if (!any) {
            lines.assign(1, std::wstring());
            shortPaths.assign(1, std::wstring());
        }
        SetProgramLines(std::move(lines));
        if (!any) ProgramLineLast() = -1;
        programShortPaths_ = std::move(shortPaths);
        ShowStatus(2, L"", true);
    } catch (...) {
        TrapError(L"GetPrograms");
    }
    return any;
}

void frmTesselOptions::ShowFirstTimeWelcome() {
    // Nothing here may stop the load: every step's error is passed over.
    auto step = [](auto&& body) {
        try {
            body();
        } catch (...) {
            vb::CaptureCurrentException();
        }
        vb::Err().Clear();
    };
    bool firstRun = false;
    step([&] { firstRun = ReadFirstRun(); });
    step([&] { RunDefaultAssociations(); });
    if (!firstRun || !Loaded()) return;
    step([&] {
        formUnloaded_ = false;
        bool shown = false;
        if (RestorerOpener()) shown = RestorerOpener()(HostFrameWindowOf(*this));
        // Wait for the restorer to close. The wait also ends when no restorer is (or is no
        // longer) loaded, when the host frame or this window is gone, and on a quit request,
        // which stays queued for the message loop.
        while (shown && !formUnloaded_) {
            vb::DoEvents();
            if (formUnloaded_) break;
            if (!GetLoadedForm(AssociationRestorerName)) break;
            if (!Loaded()) break;
            if (HostFrameProxy* frame = HostFrame(); frame && !frame->FrameAlive()) break;
            if (QuitPending()) break;
            MsgWaitForMultipleObjects(0, nullptr, FALSE, 20, QS_ALLINPUT);
        }
    });
    if (!Loaded() || QuitPending()) return;
    step([&] { frmInfo::ShowRTF(JoinPaths(GetMessagesFolder(), L"Welcome.app.note")); });
    step([&] {
        Registry(regSave, L"4", L"", vb::Variant(kFirstTimeValue), vb::Variant(L"False"), std::nullopt,
                 HKEY_LOCAL_MACHINE, true);
    });
}

// ---- timer ----

void frmTesselOptions::StartTimer() {
    if (Loaded() && SetTimer(Handle(), kTmr, kTmrInterval, nullptr)) tmrRunning_ = true;
}

void frmTesselOptions::StopTimer() {
    if (tmrRunning_ && Loaded()) KillTimer(Handle(), kTmr);
    tmrRunning_ = false;
}

void frmTesselOptions::TimerEvent() {
    // Two timers reach this step and it can open a modal box: one run at a time.
    if (!timerEventActive_ || timerEventBusy_ || !Loaded()) return;
    BusyScope busy(timerEventBusy_);
    ProcGuard guard;
    try {
        if (findPending_) {
            findPending_ = false;
            WorkScope work(*this);
            FindInListView(1, false);
        }
        // The window lives maximized in the frame: its controls follow every size but the minimized
        // one. While the frame is minimized the window keeps its state in an empty client area:
        // the count waits for the frame to come back.
        if (resizeSettleCount_ != 0 && WindowState() != 1 && HasRoomForLayout(*this)) {
            ++resizeSettleCount_;
            if (resizeSettleCount_ > 4) SettleLayout();
        }
        if (needToSaveUserChoices_) SaveUserChoices(true);
        if (mdiFrmWindowState_ == 1 && interruptible_ && work_ == 0 && formReadiness_ >= frReady &&
            !LibraryDialogOpen()) {
            UnloadForm();
            timerEventActive_ = false;
        }
    } catch (...) {
        TrapError(L"TimerEvent");
    }
}

void frmTesselOptions::tmr_Timer() {
    if (tmrBusy_) return;
    BusyScope busy(tmrBusy_);
    // Every loaded window of the library that has a periodic step gets it.
    for (win::Window* form : win::Window::LoadedWindows()) {
        try {
            if (auto* client = dynamic_cast<frmTesselOptions*>(form))
                client->TimerEvent();
            else if (auto* periodic = dynamic_cast<PeriodicWindow*>(form))
                periodic->TimerEvent();
        } catch (...) {
            vb::CaptureCurrentException();
        }
        vb::Err().Clear();
    }
    if (Loaded()) ShowToolTip();
}

void frmTesselOptions::SettleLayout() {
    if (resizeSettleCount_ == 0 || WindowState() == 1 || !HasRoomForLayout(*this)) return;
    resizeSettleCount_ = 0;
    const long width = Width();
    const long height = Height();
    if (WindowState() == 0 && (width < kMinimumSettledSize || height < kMinimumSettledSize))
        Move(Left(), Top(), std::max(width, kMinimumSettledSize), std::max(height, kMinimumSettledSize));
    ResizeControls(*this);
    PlaceLabelsOnTheirLists();
    resizeSettleCount_ = 0;
}

void frmTesselOptions::Form_Resize() {
    if (!created_) return;
    windowState2_ = static_cast<short>(mdiExt.WindowState());
    resizeSettleCount_ = 1;
}

bool frmTesselOptions::LibraryDialogOpen() const {
    // A modal loop of the library (a dialog, a message box) is still on the stack: counted, for a
    // minimized frame hides the dialogs it owns.
    if (win::ModalDepth() > 0) return true;
    // Any other of the library's windows that is shown over this one, or would be but for the
    // minimized frame that hid it with itself (the association restorer, say).
    for (win::Window* form : win::Window::LoadedWindows()) {
        if (form == this || form->IsMdiFrame()) continue;
        if (form->Visible() || form->HiddenWithItsOwner()) return true;
    }
    return false;
}

// ---- keys ----

void frmTesselOptions::Form_KeyDown(WPARAM key) {
    if (key == VK_F1) InvokeHelp(L"Lumox", HostFrameWindowOf(*this), vb::Variant(static_cast<int16_t>(0)));
}

// ---- closing ----

bool frmTesselOptions::Form_QueryUnload(bool force) {
    // Answers Cancel. Errors are passed over.
    if (optionsClosing_) return false;
    // A scan, a rebuild or the load is still running: the close waits for its end, unless the
    // window's own unload or its end from outside forces it.
    if (work_ > 0 && !force) {
        closePending_ = true;
        return true;
    }
    try {
        switch (formReadiness_) {
            case frLoading:
                return true;
            case frFailed:
                windowClosing_ = true;
                break;
            default:
                windowClosing_ = true;
                try {
                    FormGetSetPosAndSize(plSave, *this);
                } catch (...) {
                    vb::CaptureCurrentException();
                }
                vb::Err().Clear();
                if (needToSaveUserChoices_) SaveUserChoices(true);
                CategoriesLoaded() = false;
                break;
        }
    } catch (...) {
        vb::CaptureCurrentException();
    }
    vb::Err().Clear();
    // Every way out, a failed load included, takes the library's other windows along.
    optionsClosing_ = true;
    UnloadOtherLibraryForms();
    return false;
}

void frmTesselOptions::UnloadOtherLibraryForms() {
    std::vector<win::Window*> forms = win::Window::LoadedWindows();
    for (auto it = forms.rbegin(); it != forms.rend(); ++it) {
        win::Window* form = *it;
        if (form == this || form->IsMdiFrame() || !form->Loaded()) continue;
        try {
            form->Unload();
        } catch (...) {
            vb::CaptureCurrentException();
        }
        vb::Err().Clear();
    }
}

void frmTesselOptions::Form_Unload() {
    // Errors are passed over: each step runs.
    StopTimer();
    try {
        PackFilesOnClose();
    } catch (...) {
        vb::CaptureCurrentException();
    }
    vb::Err().Clear();
    if (HostFrameProxy* frame = HostFrame(); frame && addedToFrame_) frame->RemoveMdiChild(Handle());
    addedToFrame_ = false;
    // The library no longer reaches this window.
    if (OptionsServices() == this) SetOptionsWindowServices(nullptr);
    if (CurrentCategoryHost() == this) SetCategoryHost(nullptr);
    vb::SetScreenMousePointer(vb::vbDefault);
}

void frmTesselOptions::Form_Terminate() {
    // The window goes without a normal unload (its frame destroyed it): the closing steps run here.
    if (windowClosing_ || formReadiness_ < frFailed) return;
    Form_QueryUnload(true);
}

bool frmTesselOptions::RequestClose() {
    if (!Loaded()) return true;
    SendMessageW(Handle(), WM_CLOSE, 0, 0);
    return !Loaded();
}

void frmTesselOptions::UnloadForm() {
    if (!Loaded()) return;
    // The window's own unload: it does not wait for its running steps.
    if (Form_QueryUnload(true)) return;
    DestroyForm();
}

void frmTesselOptions::DestroyForm() {
    if (!Loaded()) return;
    HWND client = IsMdiChild() ? GetParent(Handle()) : nullptr;
    if (client)
        SendMessageW(client, WM_MDIDESTROY, reinterpret_cast<WPARAM>(Handle()), 0);
    else
        DestroyWindow(Handle());
}

bool frmTesselOptions::OnQueryUnload() { return Form_QueryUnload(); }

void frmTesselOptions::OnUnload() {
    if (!unloadHandled_) {
        unloadHandled_ = true;
        Form_Terminate();
        Form_Unload();
    }
    // The displays stop at any readiness. The tree's members, the editor and the menus stay
    // with this object, since their code may still be running under this unload; only the
    // library lets go of them now.
    windowClosing_ = true;
    DetachEditing();
    // What the lists held goes with the window; the object may wait a while for the next open.
    lvwPrograms.ClearRows();
    lvwExts.ClearRows();
    programShortPaths_ = std::vector<std::wstring>();
}

// ---- closing asked for inside our own pumps ----

namespace {

POINT ScreenPointOf(const MSG& msg) {
    // The non-client messages carry screen coordinates; the others the client's.
    POINT at{static_cast<short>(LOWORD(msg.lParam)), static_cast<short>(HIWORD(msg.lParam))};
    if (msg.message < WM_NCMOUSEMOVE || msg.message > WM_NCMBUTTONDBLCLK) ClientToScreen(msg.hwnd, &at);
    return at;
}

}  // namespace

bool frmTesselOptions::OverPressedCloseBoxOf(const PressedCloseBox& box, POINT screen) {
    if (!box.window || !IsWindow(box.window)) return false;
    if (box.menuBarItem) {
        RECT r{};
        return win::MdiChildCloseItemRect(box.window, r) && PtInRect(&r, screen) != FALSE;
    }
    return SendMessageW(box.window, WM_NCHITTEST, 0, MAKELPARAM(screen.x, screen.y)) == HTCLOSE;
}

void frmTesselOptions::ForgetPressedCloseBox() {
    const HWND held = pressedCloseBox_.window;
    pressedCloseBox_ = PressedCloseBox{};
    if (held && GetCapture() == held) ReleaseCapture();
}

bool frmTesselOptions::CloseInputInPump(MSG& msg) {
    // The library's pumps under the window's work (a scan, a rebuild, the load) run below a
    // handler that is still at work, not in the host's loop. So the host's translation of the MDI
    // keys (Ctrl+F4) is done here. And a press on a close box must not start the system's tracking
    // loop, which would hold the work until the button comes up: the press is kept here instead,
    // with the pointer captured as the system's loop captures it, and the close is asked for when
    // the button comes up over the same box; a press that slides off asks nothing. The window's own
    // rules (a deferred close) take it from there.
    HWND self = Handle();
    HWND client = self && IsMdiChild() ? GetParent(self) : nullptr;
    switch (msg.message) {
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            return client && TranslateMDISysAccel(client, &msg);
        case WM_NCLBUTTONDOWN:
        case WM_NCLBUTTONDBLCLK: {
            ForgetPressedCloseBox();
            PressedCloseBox box;
            if (msg.wParam == HTCLOSE) {
                box = PressedCloseBox{msg.hwnd, msg.hwnd, false};
            } else if (msg.wParam == HTMENU && client && msg.hwnd == GetParent(client)) {
                // The maximized child's close box sits at the end of the frame's menu bar.
                RECT r{};
                const POINT at = ScreenPointOf(msg);
                if (win::MdiChildCloseItemRect(msg.hwnd, r) && PtInRect(&r, at)) box = PressedCloseBox{msg.hwnd, self, true};
            }
            if (!box.window) return false;
            pressedCloseBox_ = box;
            SetCapture(box.window);
            return true;
        }
        case WM_LBUTTONUP:
        case WM_NCLBUTTONUP: {
            if (!pressedCloseBox_.window) return false;
            const PressedCloseBox box = pressedCloseBox_;
            ForgetPressedCloseBox();
            const POINT at = ScreenPointOf(msg);
            if (OverPressedCloseBoxOf(box, at) && IsWindow(box.closes))
                SendMessageW(box.closes, WM_SYSCOMMAND, SC_CLOSE, MAKELPARAM(at.x, at.y));
            return true;
        }
        case WM_MOUSEMOVE:
        case WM_NCMOUSEMOVE:
            // The pointer moves while the box is held: nothing else sees it, as under the system's loop.
            return pressedCloseBox_.window != nullptr && msg.hwnd == pressedCloseBox_.window;
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_NCRBUTTONDOWN:
            // The capture was lost on the way: the held box is forgotten.
            ForgetPressedCloseBox();
            return false;
        default:
            return false;
    }
}

// ---- messages ----

LRESULT frmTesselOptions::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    HandlerScope running(*this);
    switch (msg) {
        case WM_APP + 1:
            Form_Activate();
            return 0;
        case WM_TIMER:
            if (wParam == kTmr) {
                tmr_Timer();
                return 0;
            }
            break;
        case WM_SIZE:
            Form_Resize();
            break;
        case WM_HELP:
            Form_KeyDown(VK_F1);
            return TRUE;
        case WM_CLOSE:
            if (!Form_QueryUnload()) DestroyForm();
            return 0;
        case WM_SETCURSOR:
            // The pointer moved over the window: the tool tip's delay starts again.
            ToolTipCountdown = ToolTipResetCount;
            break;
        case WM_COMMAND: {
            // A menu command can scan, rebuild or open a dialog.
            WorkScope work(*this);
            if (MenuCommand(wParam, lParam)) return 0;
            break;
        }
        default:
            break;
    }
    return DefaultMessage(msg, wParam, lParam);
}

LRESULT frmTesselOptions::SystemMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    // An MDI child leaves the system's part to the MDI child procedure.
    if (Handle() && (GetWindowLongW(Handle(), GWL_EXSTYLE) & WS_EX_MDICHILD))
        return DefMDIChildProcW(Handle(), msg, wParam, lParam);
    return win::Window::SystemMessage(msg, wParam, lParam);
}
