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

bool Shown(win::Window* w) { return w && w->Loaded() && w->Visible(); }
void Press(win::Button& b) { SendMessageW(b.Handle(), BM_CLICK, 0, 0); }
// For a button that opens a modal window: the click runs after the driver's step returned.
void PressLater(win::Button& b) { PostMessageW(b.Handle(), BM_CLICK, 0, 0); }

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
        EXPECT_TRUE(q->optChoice(1).Value());
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
        WindowDriver driver({[] {
            frmQuit* q = frmQuit::Existing();
            if (!Shown(q)) return false;
            q->optChoice(1).SetValue(!q->optChoice(1).Value());
            SendMessageW(q->Handle(), WM_CLOSE, 0, 0);
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
    SendMessageW(first.Handle(), WM_CHAR, L'\r', 0);
    EXPECT_EQ(frmSplash::Existing(), nullptr);

    frmSplash& second = frmSplash::Default();
    second.Show();
    for (int i = 0; i < 10; ++i) second.TimerEvent();  // a fresh window counts from 0 again
    ClickWindow(second.pic.Handle());
    EXPECT_EQ(frmSplash::Existing(), nullptr);
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
    WindowDriver driver({[&] {
                             frmLatestVerTip* tip = frmLatestVerTip::Existing();
                             if (!Shown(tip)) return false;
                             EXPECT_EQ(tip->Caption(), L" Tip: Getting the latest version of Morva Lumox");
                             EXPECT_EQ(tip->lblTip.Text(), frmLatestVerTip::NoteText());
                             EXPECT_EQ(tip->CancelButton.Text(), L"Go to Morva's Website && Continue");
                             beepsSeen = presenter.beeps;
                             // Another window comes first, then the tip again: one more beep.
                             SendMessageW(tip->Handle(), WM_ACTIVATE, WA_INACTIVE, 0);
                             SendMessageW(tip->Handle(), WM_ACTIVATE, WA_ACTIVE, 0);
                             return true;
                         },
                         [&] {
                             EXPECT_EQ(presenter.beeps, beepsSeen + 1);
                             Press(frmLatestVerTip::Existing()->CancelButton);
                             return true;
                         }});
    frmLatestVerTip::Default().ShowModal();
    EXPECT_FALSE(driver.TimedOut());
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
        EXPECT_EQ(presenter.shown.size(), 1u);
        Press(about->cmdOK);
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
                             PressLater(about->cmdAgreement);  // modal: the next steps run inside it
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
                             if (frmAgreement::Existing()) return false;
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

LPARAM Middle(const RECT& r) { return MAKELPARAM((r.left + r.right) / 2, (r.top + r.bottom) / 2); }

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

    std::vector<std::pair<int, std::wstring>> clicks;
    bar.OnButtonClick = [&](int button, const std::wstring& key) { clicks.emplace_back(button, key); };
    RECT second = bar.ButtonRect(2);
    SendMessageW(bar.Handle(), WM_MOUSEMOVE, 0, Middle(third));
    EXPECT_EQ(bar.HotButton(), 3);
    SendMessageW(bar.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, Middle(third));
    EXPECT_EQ(bar.PressedButton(), 3);
    SendMessageW(bar.Handle(), WM_LBUTTONUP, 0, Middle(third));
    SendMessageW(bar.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, Middle(second));
    SendMessageW(bar.Handle(), WM_LBUTTONUP, 0, Middle(second));
    // Pressed on one button and let go over another: no click.
    SendMessageW(bar.Handle(), WM_LBUTTONDOWN, MK_LBUTTON, Middle(bar.ButtonRect(1)));
    SendMessageW(bar.Handle(), WM_LBUTTONUP, 0, Middle(third));
    EXPECT_EQ(clicks, (std::vector<std::pair<int, std::wstring>>{{3, L""}, {2, L"Adjustable"}}));

    // Separators and placeholders are no buttons to click.
    clicks.clear();
    bar.SetStyle(3, win::tbrPlaceholder);
    EXPECT_EQ(bar.Style(3), win::tbrPlaceholder);
    bar.Click(3);
    bar.SetStyle(3, win::tbrSeparator);
    bar.Click(3);
    bar.SetStyle(3, win::tbrDefault);
    bar.Click(3);
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

    int state = 0;
    std::vector<std::wstring> calls;
    std::vector<MenuEntry> menu = SuiteMenus::Designed().SysTray;
};

}  // namespace

TEST(TrayWindow, AddsItsIconOnceAndAnswersItsMessages) {
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

TEST(TrayWindow, ItsCommandsWaitWhileAModalWindowOfTheHostIsOpen) {
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
