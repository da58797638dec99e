// The host's small windows for real, under the test display: the close choice, the splash,
// the latest-version tip, the about boxes and the agreement, the toolbar control and the tray.
#include <gtest/gtest.h>

#include <richedit.h>

#include <cstring>

#include "AboutSysInfo.h"
#include "FakePresenter.h"
#include "HostAddresses.h"
#include "HostTestSupport.h"
#include "HostVersion.h"
#include "HostWeb.h"
#include "ProductSuite.h"
#include "UserInput.h"
#include "WindowDriver.h"
#include "frmAbout.h"
#include "frmLatestVerTip.h"
#include "frmQuit.h"
#include "frmSplash.h"
#include "frmSysTray.h"
#include "vb/VbError.h"
#include "win/Toolbar.h"

using namespace hosttest;

namespace {

// Shown and in front, ready for the user's input.
bool Shown(win::Window* w) { return w && w->Loaded() && w->Visible() && BringInFront(w->Handle()); }
// The user's click on a button; it arrives once the window's loop pumps again.
void Press(win::Button& b) { ClickWindow(b.Handle()); }

}  // namespace

// ---- frmQuit ----

TEST(QuitChoice, OkWithoutAChangeAnswersMinimize) {
    bool exitChosen = true;  // whatever it was, OK writes the choice
    WindowDriver driver({[] {
        frmQuit* q = frmQuit::Existing();
        if (!Shown(q)) return false;
        EXPECT_EQ(q->Caption(), L" Minimize / Exit");
        EXPECT_TRUE(q->optChoice(0).Value());
        EXPECT_FALSE(q->optChoice(1).Value());
        Press(q->OKButton);
        return true;
    }});
    frmQuit::Default().Ask(exitChosen);
    EXPECT_FALSE(driver.TimedOut());
    EXPECT_FALSE(exitChosen);
    EXPECT_EQ(frmQuit::Existing(), nullptr);
}

TEST(QuitChoice, ClickingTheExitTextSelectsExit) {
    bool exitChosen = false;
    WindowDriver driver({[] {
        frmQuit* q = frmQuit::Existing();
        if (!Shown(q)) return false;
        ClickWindow(q->lblChoice(1).Handle());
        return true;
    },
                         [] {
                             frmQuit* q = frmQuit::Existing();
                             if (!q->optChoice(1).Value()) return false;  // the click is on its way
                             EXPECT_FALSE(q->optChoice(0).Value());
                             Press(q->OKButton);
                             return true;
                         }});
    frmQuit::Default().Ask(exitChosen);
    EXPECT_FALSE(driver.TimedOut());
    EXPECT_TRUE(exitChosen);
}

TEST(QuitChoice, TheCloseBoxLeavesTheAnswerAlone) {
    for (bool before : {false, true}) {
        bool exitChosen = before;
        int other = -1;  // the choice the user turns to before closing the box
        WindowDriver driver({[&] {
                                 frmQuit* q = frmQuit::Existing();
                                 if (!Shown(q)) return false;
                                 other = q->optChoice(1).Value() ? 0 : 1;
                                 ClickWindow(q->optChoice(other).Handle());
                                 return true;
                             },
                             [&] {
                                 if (!frmQuit::Existing()->optChoice(other).Value()) return false;
                                 userinput::Chord({VK_MENU, VK_F4});  // the close box's key
                                 return true;
                             }});
        frmQuit::Default().Ask(exitChosen);
        EXPECT_FALSE(driver.TimedOut());
        EXPECT_EQ(exitChosen, before);
    }
}

// ---- frmSplash ----

TEST(SplashWindow, ShowsOurPictureAndLabels) {
    frmSplash& splash = frmSplash::Default();
    splash.Show();
    EXPECT_EQ(splash.lblSpecialEdition.Text(), L"Lumox Expert");
    EXPECT_EQ(splash.lblVersion.Text(), L"Version 2.1");
    EXPECT_EQ(splash.lblCopyright.Text(), OwnVersion().LegalCopyright);
    EXPECT_NE(SendMessageW(splash.pic.Handle(), STM_GETIMAGE, IMAGE_BITMAP, 0), 0);
    // The window is the picture's size, and every label lies on the picture.
    RECT client{};
    GetClientRect(splash.Handle(), &client);
    EXPECT_EQ(client.right, splash.pic.Width());
    EXPECT_EQ(client.bottom, splash.pic.Height());
    for (win::Label* label : {&splash.lblSpecialEdition, &splash.lblVersion, &splash.lblCopyright}) {
        EXPECT_GE(label->Left(), 0);
        EXPECT_LE(label->Left() + label->Width(), client.right);
        EXPECT_LE(label->Top() + label->Height(), client.bottom);
    }
    splash.Unload();
}

TEST(SplashWindow, ClosesOnTheSixtyFourthTick) {
    frmSplash& splash = frmSplash::Default();
    splash.Show();
    for (int i = 1; i < 64; ++i) splash.TimerEvent();
    EXPECT_TRUE(splash.Loaded());
    splash.TimerEvent();
    EXPECT_FALSE(splash.Loaded());
    EXPECT_EQ(frmSplash::Existing(), nullptr);
}

TEST(SplashWindow, ClosesOnAKeyOrAClickOnItsPicture) {
    frmSplash& first = frmSplash::Default();
    first.Show();
    ASSERT_TRUE(userinput::BringToFront(first.Handle()));
    userinput::Press(VK_RETURN);
    EXPECT_TRUE(userinput::PumpUntil([] { return frmSplash::Existing() == nullptr; }));

    frmSplash& second = frmSplash::Default();
    second.Show();
    ASSERT_TRUE(userinput::BringToFront(second.Handle()));
    for (int i = 0; i < 10; ++i) second.TimerEvent();  // a fresh window counts from 0 again
    // A corner of the picture, away from the labels on it.
    userinput::Click(userinput::OnScreen(second.pic.Handle(), POINT{8, 8}));
    EXPECT_TRUE(userinput::PumpUntil([] { return frmSplash::Existing() == nullptr; }));
}

// ---- frmLatestVerTip ----

namespace {
std::vector<std::wstring> g_pages;
void RecordPage(HWND, const std::wstring& address) { g_pages.push_back(address); }
}  // namespace

TEST(LatestVersionTip, BeepsOnEachActivationAndOpensTheHomePage) {
    FakePresenter presenter;
    g_pages.clear();
    WebPageOpener previous = SetWebPageOpener(RecordPage);
    int beepsSeen = 0;
    HWND other = nullptr;  // a window of another kind the user turns to while the tip waits
    WindowDriver driver({[&] {
                             frmLatestVerTip* tip = frmLatestVerTip::Existing();
                             if (!Shown(tip)) return false;
                             EXPECT_EQ(tip->Caption(), L" Tip: Getting the latest version of Morva Lumox");
                             EXPECT_EQ(tip->lblTip.Text(), frmLatestVerTip::NoteText());
                             EXPECT_EQ(tip->CancelButton.Text(), L"Go to Morva's Website && Continue");
                             beepsSeen = presenter.beeps;
                             // Another window comes first, then the tip again: one more beep.
                             other = CreateWindowExW(0, L"STATIC", L"Another program", WS_POPUP | WS_VISIBLE, 0, 0,
                                                     120, 60, nullptr, nullptr, nullptr, nullptr);
                             return true;
                         },
                         [&] { return BringInFront(other); },
                         [&] { return Shown(frmLatestVerTip::Existing()); },
                         [&] {
                             if (presenter.beeps == beepsSeen) return false;
                             EXPECT_EQ(presenter.beeps, beepsSeen + 1);
                             Press(frmLatestVerTip::Existing()->CancelButton);
                             return true;
                         }});
    frmLatestVerTip::Default().ShowModal();
    EXPECT_FALSE(driver.TimedOut());
    DestroyWindow(other);
    EXPECT_GE(beepsSeen, 1);
    EXPECT_EQ(g_pages, std::vector<std::wstring>{MakerHomePage});
    EXPECT_EQ(frmLatestVerTip::Existing(), nullptr);
    SetWebPageOpener(previous);

    std::wstring note = frmLatestVerTip::NoteText();
    EXPECT_EQ(note.rfind(L"Enjoy!\r\nMorva Corporation"), note.size() - 25);
    EXPECT_NE(note.find(MakerHomePage), std::wstring::npos);
}

// ---- about boxes ----

namespace {
bool NoStart(const std::wstring&) { return false; }
}  // namespace

TEST(AboutBoxes, HostBoxShowsOurVersionAndTheUnavailableMessage) {
    RegistryRedirect redirect;
    FakePresenter presenter;
    ProgramStarter previous = SetSysInfoStarter(NoStart);
    WindowDriver driver({[&] {
        frmAbout* about = frmAbout::Existing();
        if (!Shown(about)) return false;
        EXPECT_EQ(about->Caption(), L"About Morva Utility Manager");
        EXPECT_EQ(about->lblTitle.Text(), L"Morva Utility Manager");
        EXPECT_EQ(about->lblVersion.Text(), L"Version 2.1.314");
        EXPECT_EQ(about->lblDescription.Text(), OwnVersion().Comments);
        EXPECT_EQ(about->cmdSysInfo.Text(), L"&System Info...");
        Press(about->cmdSysInfo);
        return true;
    },
                         [&] {
                             if (presenter.shown.empty()) return false;  // the click is on its way
                             EXPECT_EQ(presenter.shown.size(), 1u);
                             Press(frmAbout::Existing()->cmdOK);
                             return true;
                         }});
    frmAbout::Default().ShowModal();
    EXPECT_FALSE(driver.TimedOut());
    ASSERT_EQ(presenter.shown.size(), 1u);
    EXPECT_EQ(presenter.shown[0].prompt, SysInfoUnavailableText);
    EXPECT_EQ(frmAbout::Existing(), nullptr);
    SetSysInfoStarter(previous);
}

TEST(AboutBoxes, ProductBoxAndTheAgreement) {
    SuiteProductName() = L"Morva Lumox";
    SuiteProductVersion() = L"20.0";
    std::wstring agreement;
    WindowDriver driver({[&] {
                             frmAboutKestrow* about = frmAboutKestrow::Existing();
                             if (!Shown(about)) return false;
                             EXPECT_EQ(about->Caption(), L"About Lumox");
                             EXPECT_EQ(about->lblTitle.Text(), L"Morva Lumox");
                             EXPECT_EQ(about->lblVersion.Text(), L"Version 20.0");
                             EXPECT_EQ(about->lblDescription.Text(), frmAboutKestrow::DescriptionFor(L"Morva Lumox"));
                             Press(about->cmdAgreement);  // modal: the next steps run inside it
                             return true;
                         },
                         [&] {
                             frmAgreement* viewer = frmAgreement::Existing();
                             if (!Shown(viewer)) return false;
                             EXPECT_EQ(viewer->Caption(), L"License Agreement");
                             agreement = viewer->AgreementText();
                             Press(viewer->OKButton);
                             return true;
                         },
                         [&] {
                             if (frmAgreement::Existing() || !Shown(frmAboutKestrow::Existing())) return false;
                             Press(frmAboutKestrow::Existing()->cmdOK);
                             return true;
                         }});
    frmAboutKestrow::Default().ShowModal();
    EXPECT_FALSE(driver.TimedOut());
    EXPECT_NE(agreement.find(L"License Agreement"), std::wstring::npos);
    EXPECT_NE(agreement.find(L"Morva Corporation"), std::wstring::npos);
    EXPECT_EQ(agreement.find(L"\\par"), std::wstring::npos);  // read as rich text, not shown as its source
    SuiteProductName().clear();
    SuiteProductVersion().clear();
}

// ---- the toolbar control ----

namespace {

class ToolbarWindow : public win::Window {
public:
    ToolbarWindow() : win::Window(L"ToolbarWindow"), bar((Create(L"Toolbar", 400, 120), Add<win::Toolbar>(L"bar"))) {}
    win::Toolbar& bar;
};

HBITMAP Picture(int width, int height) {
    HDC screen = GetDC(nullptr);
    HBITMAP b = CreateCompatibleBitmap(screen, width, height);
    ReleaseDC(nullptr, screen);
    return b;
}

// The middle of a button of the bar, on the screen.
POINT Middle(const win::Toolbar& bar, int button) {
    const RECT r = bar.ButtonRect(button);
    return userinput::OnScreen(bar.Handle(), POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2});
}

}  // namespace

TEST(ToolbarControl, ButtonsPicturesWidthsAndClicks) {
    ToolbarWindow w;
    win::Toolbar& bar = w.bar;
    EXPECT_EQ(bar.ButtonCount(), 0);
    EXPECT_EQ(bar.AddButton(), 1);
    EXPECT_EQ(bar.AddButton(), 2);
    EXPECT_EQ(bar.AddButton(), 3);
    bar.SetKey(2, L"Adjustable");
    bar.SetToolTipText(1, L"line one\r\nline two");
    EXPECT_EQ(bar.Key(2), L"Adjustable");
    EXPECT_EQ(bar.ToolTipText(1), L"line one\r\nline two");
    EXPECT_THROW(bar.Key(4), vb::Error);
    vb::Err().Clear();

    // Sizes come from the pictures until a width is set.
    bar.SetPicture(1, win::ToolbarPicture::Up, Picture(40, 30));
    bar.SetPicture(3, win::ToolbarPicture::Up, Picture(50, 34));
    bar.SetPicture(3, win::ToolbarPicture::UpOver, Picture(50, 34));
    EXPECT_FLOAT_EQ(bar.ButtonWidth(1), 46.f);
    EXPECT_FLOAT_EQ(bar.ButtonWidth(3), 56.f);
    EXPECT_EQ(bar.ButtonHeight(1), 40);  // the tallest picture for every button
    bar.SetButtonWidth(2, 120.5f);
    EXPECT_FLOAT_EQ(bar.ButtonWidth(2), 120.5f);
    bar.SetButtonWidth(2, -10.f);
    EXPECT_FLOAT_EQ(bar.ButtonWidth(2), 0.f);
    bar.SetButtonWidth(2, 100.f);
    bar.Refresh(1);
    EXPECT_EQ(bar.Height(), bar.BarHeight());
    RECT third = bar.ButtonRect(3);
    EXPECT_EQ(third.left, bar.ButtonRect(1).right + 100);

    // The user's pointer over the bar and its clicks, the bar as wide as its window as a frame
    // lays it out.
    RECT client{};
    GetClientRect(w.Handle(), &client);
    SetWindowPos(bar.Handle(), nullptr, 0, 0, client.right, bar.BarHeight(), SWP_NOZORDER | SWP_NOMOVE);
    w.Show();
    ASSERT_TRUE(userinput::BringToFront(w.Handle()));
    std::vector<std::pair<int, std::wstring>> clicks;
    bar.OnButtonClick = [&](int button, const std::wstring& key) { clicks.emplace_back(button, key); };
    userinput::MoveTo(Middle(bar, 3));
    EXPECT_TRUE(userinput::PumpUntil([&] { return bar.HotButton() == 3; }));
    userinput::ButtonDown(userinput::Button::Left);
    EXPECT_TRUE(userinput::PumpUntil([&] { return bar.PressedButton() == 3; }));
    userinput::ButtonUp(userinput::Button::Left);
    EXPECT_TRUE(userinput::PumpUntilHandled(bar.Handle(), WM_LBUTTONUP));
    userinput::Click(Middle(bar, 2));
    EXPECT_TRUE(userinput::PumpUntilHandled(bar.Handle(), WM_LBUTTONUP));
    // Pressed on one button and let go over another: no click.
    userinput::MoveTo(Middle(bar, 1));
    userinput::SettlePointer();
    userinput::ButtonDown(userinput::Button::Left);
    userinput::MoveTo(Middle(bar, 3));
    userinput::SettlePointer();
    userinput::ButtonUp(userinput::Button::Left);
    EXPECT_TRUE(userinput::PumpUntilHandled(bar.Handle(), WM_LBUTTONUP));
    EXPECT_EQ(clicks, (std::vector<std::pair<int, std::wstring>>{{3, L""}, {2, L"Adjustable"}}));

    // Separators and placeholders are no buttons to click.
    clicks.clear();
    for (int style : {win::tbrPlaceholder, win::tbrSeparator, win::tbrDefault}) {
        bar.SetStyle(3, style);
        EXPECT_EQ(bar.Style(3), style);
        userinput::Click(Middle(bar, 3));
        EXPECT_TRUE(userinput::PumpUntilHandled(bar.Handle(), WM_LBUTTONUP)) << style;
    }
    EXPECT_EQ(clicks, (std::vector<std::pair<int, std::wstring>>{{3, L""}}));
    EXPECT_EQ(bar.ButtonAt(-5, -5), 0);
    w.Unload();
}

// ---- the tray ----

namespace {

class FakeTrayFrame : public TrayFrame {
public:
    int FrameWindowState() const override { return state; }
    void MinimizeFrame() override { calls.push_back(L"minimize"); }
    void ShowMDIForm() override { calls.push_back(L"show"); }
    void CloseFrame() override { calls.push_back(L"close"); }
    const std::vector<MenuEntry>& SysTrayMenu() const override { return menu; }
    bool FrameUnderModalWindow() const override { return false; }

    int state = 0;
    std::vector<std::wstring> calls;
    std::vector<MenuEntry> menu = SuiteMenus::Designed().SysTray;
};

}  // namespace

// The icon's callback and the menu's command reach the window as the shell hands them over.
TEST(TrayWindow, AddsItsIconOnceAndItsCallbackAndMenuClickHandlersAnswer) {
    SuiteProductName() = std::wstring(80, L'n');
    FakeTrayFrame frame;
    frmSysTray& tray = frmSysTray::Default();
    EXPECT_EQ(tray.Caption(), L"Form1");
    tray.Activate(frame);
    EXPECT_TRUE(tray.IconAdded());
    EXPECT_FALSE(tray.Visible());
    const NOTIFYICONDATAW& record = tray.TrayIconRecord();
    EXPECT_EQ(record.hWnd, tray.Handle());
    EXPECT_EQ(record.uID, 1u);
    EXPECT_EQ(record.uFlags, static_cast<UINT>(NIF_MESSAGE | NIF_ICON | NIF_TIP));
    EXPECT_EQ(record.uCallbackMessage, static_cast<UINT>(WM_MOUSEMOVE));
    EXPECT_NE(record.hIcon, nullptr);
    EXPECT_EQ(std::wstring(record.szTip), std::wstring(63, L'n'));  // cut, and ended by its NUL

    struct Case {
        int state;
        UINT message;
        std::vector<std::wstring> calls;
    };
    const Case cases[] = {
        {0, WM_LBUTTONUP, {L"minimize"}}, {1, WM_LBUTTONUP, {L"show"}}, {0, WM_LBUTTONDBLCLK, {L"show"}},
        {1, WM_LBUTTONDBLCLK, {L"show"}}, {0, WM_MOUSEMOVE, {}},        {0, WM_LBUTTONDOWN, {}},
    };
    for (const Case& c : cases) {
        frame.calls.clear();
        frame.state = c.state;
        SendMessageW(tray.Handle(), WM_MOUSEMOVE, 0, c.message);  // as the icon calls back
        EXPECT_EQ(frame.calls, c.calls) << c.message << " in state " << c.state;
    }

    // A double click on the icon comes as button down, up, double click and up: the first up
    // toggles the frame, the double click shows it and the last up does nothing more, so the
    // frame ends shown whichever state it was in. The next click toggles again.
    struct Clicks {
        int state;
        std::vector<UINT> messages;
        std::vector<std::wstring> calls;
    };
    const UINT down = WM_LBUTTONDOWN, up = WM_LBUTTONUP, twice = WM_LBUTTONDBLCLK;
    const Clicks clicks[] = {
        {1, {down, up, twice, up}, {L"show", L"show"}},
        {0, {down, up, twice, up}, {L"minimize", L"show"}},
        {0, {down, up, twice, up, down, up}, {L"minimize", L"show", L"minimize"}},
        {1, {down, up, down, up}, {L"show", L"show"}},
    };
    for (const Clicks& c : clicks) {
        frame.calls.clear();
        frame.state = c.state;
        for (UINT message : c.messages) SendMessageW(tray.Handle(), WM_MOUSEMOVE, 0, message);
        EXPECT_EQ(frame.calls, c.calls) << c.messages.size() << " messages in state " << c.state;
    }

    // The pop-up offers what is visible: Restore and Exit of the designed menu.
    EXPECT_EQ(tray.PopupEntries(), (std::vector<int>{trayRestore, trayExit}));
    frame.calls.clear();
    tray.MenuClick(0);
    tray.MenuClick(trayRestore);
    tray.MenuClick(trayExit);
    EXPECT_EQ(frame.calls, (std::vector<std::wstring>{L"show", L"close"}));

    // A second activation adds nothing; the unload of the frame takes the icon away.
    NOTIFYICONDATAW before = record;
    tray.Activate(frame);
    EXPECT_EQ(std::memcmp(&before, &tray.TrayIconRecord(), sizeof(before)), 0);
    NOTIFYICONDATAW present = tray.TrayIconRecord();
    EXPECT_TRUE(Shell_NotifyIconW(NIM_MODIFY, &present));  // the icon is there
    tray.RemoveIcon();
    NOTIFYICONDATAW probe = tray.TrayIconRecord();
    EXPECT_FALSE(Shell_NotifyIconW(NIM_MODIFY, &probe));  // no such icon any more
    win::DefaultInstance<frmSysTray>::Release();
    SuiteProductName().clear();
}

TEST(TrayWindow, ItsCallbackAndMenuClickHandlersWaitWhileAModalWindowOfTheHostIsOpen) {
    FakeTrayFrame frame;
    frmSysTray& tray = frmSysTray::Default();
    tray.Activate(frame);
    std::vector<std::wstring> duringModal;
    bool exitChosen = false;
    WindowDriver driver({[&] {
        frmQuit* q = frmQuit::Existing();
        if (!Shown(q)) return false;
        // The icon's click and its menu's Exit, as the shell delivers them while the box waits.
        SendMessageW(tray.Handle(), WM_MOUSEMOVE, 0, WM_LBUTTONUP);
        tray.MenuClick(trayExit);
        duringModal = frame.calls;
        Press(q->OKButton);
        return true;
    }});
    frmQuit::Default().Ask(exitChosen);
    EXPECT_FALSE(driver.TimedOut());
    EXPECT_TRUE(duringModal.empty());
    // Answered, the same commands go through.
    tray.MenuClick(trayExit);
    EXPECT_EQ(frame.calls, std::vector<std::wstring>{L"close"});
    tray.RemoveIcon();
    win::DefaultInstance<frmSysTray>::Release();
}
