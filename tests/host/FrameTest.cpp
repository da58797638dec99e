// The host's frame for real under the test display, with a product of the tests' own: its
// toolbar, menus and status bar, ShowMDIForm, the close choice and the exit path, the
// automation surface and the children list, opening the options window, and the resize.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "FakePresenter.h"
#include "FrameLayout.h"
#include "HostContract.h"
#include "HostMessages.h"
#include "HostTestSupport.h"
#include "HostWeb.h"
#include "MDIFrm.h"
#include "TestSupport.h"
#include "UserInput.h"
#include "WindowDriver.h"
#include "basErrorHandler.h"
#include "basHookSwitch.h"
#include "basMain.h"
#include "basStrings.h"
#include "basWinAPI_Atom.h"
#include "basWinAPI_Help.h"
#include "com/ComDispatch.h"
#include "frmQuit.h"
#include "frmSysTray.h"
#include "vb/VbApp.h"
#include "vb/VbScreen.h"
#include "vb/VbText.h"

using namespace hosttest;

namespace {

const std::wstring A = L"MorvaFakeA";
const wchar_t kHooksKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\explorer\\ShellExecuteHooks";
const wchar_t kHookValue[] = L"{69845E54-42A3-4EE8-B72C-31E2E69C6023}";

int g_ends = 0;
void RecordEnd() { ++g_ends; }
std::vector<std::wstring> g_pages;
void RecordPage(HWND, const std::wstring& address) { g_pages.push_back(address); }

class RecordingHelp : public HelpEngines {
public:
    BOOL OpenWinHelp(HWND, const std::wstring& path, UINT command, ULONG_PTR data) override {
        topics.push_back(static_cast<long>(data));
        calls.push_back(L"WinHelp|" + path + L"|" + std::to_wstring(command) + L"|" + std::to_wstring(data));
        return TRUE;
    }
    HWND OpenHtmlHelp(HWND, const std::wstring& path, UINT command, DWORD_PTR data) override {
        topics.push_back(static_cast<long>(data));
        calls.push_back(L"HtmlHelp|" + path + L"|" + std::to_wstring(command) + L"|" + std::to_wstring(data));
        return GetDesktopWindow();  // stands for the help window that opened
    }
    std::vector<long> topics;
    std::vector<std::wstring> calls;  // engine|file|command|topic
};

// A library window's automation object: answers Name and Visible, notes the members called.
class ChildObject : public IDispatch {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_IDispatch) {
            *ppv = this;
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return ++refs; }
    STDMETHODIMP_(ULONG) Release() override { return --refs; }
    STDMETHODIMP GetTypeInfoCount(UINT* n) override {
        *n = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID, DISPID* ids) override {
        for (size_t i = 0; i < kNames.size(); ++i)
            if (vb::TextEquals(kNames[i], names[0])) {
                ids[0] = static_cast<DISPID>(i + 1);
                return S_OK;
            }
        ids[0] = DISPID_UNKNOWN;
        return DISP_E_UNKNOWNNAME;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result, EXCEPINFO*, UINT*) override {
        calls.push_back(kNames[static_cast<size_t>(id - 1)]);
        if (result && kNames[static_cast<size_t>(id - 1)] == L"Name") {
            result->vt = VT_BSTR;
            result->bstrVal = SysAllocString(name.c_str());
        }
        return S_OK;
    }
    inline static const std::vector<std::wstring> kNames = {L"Name", L"TimerEvent", L"MdiFrmWindowState"};
    ULONG refs = 1;
    std::wstring name = L"frmLibraryWindow";
    std::vector<std::wstring> calls;
};

LRESULT CALLBACK ChildProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
int g_childCloses = 0;
LRESULT CALLBACK ChildProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_CLOSE) ++g_childCloses;
    return DefMDIChildProcW(hwnd, msg, wParam, lParam);
}

HWND MakeMdiChild(HWND client) {
    static bool registered = false;
    if (!registered) {
        WNDCLASSW wc{};
        wc.lpfnWndProc = ChildProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"LumoxTestMdiChild";
        wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_WINDOW + 1));
        RegisterClassW(&wc);
        registered = true;
    }
    return CreateMDIWindowW(L"LumoxTestMdiChild", L"Library window", WS_VISIBLE, CW_USEDEFAULT, CW_USEDEFAULT, 200,
                            150, client, GetModuleHandleW(nullptr), 0);
}

// A call through IDispatch by name with raw arguments (in call order).
HRESULT CallRaw(IDispatch* object, const wchar_t* name, WORD flags, std::vector<VARIANT> args, VARIANT* result) {
    DISPID id = 0;
    LPOLESTR n = const_cast<LPOLESTR>(name);
    HRESULT hr = object->GetIDsOfNames(IID_NULL, &n, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) return hr;
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPPARAMS params{reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    DISPID put = DISPID_PROPERTYPUT;
    if (flags & DISPATCH_PROPERTYPUT) {
        params.rgdispidNamedArgs = &put;
        params.cNamedArgs = 1;
    }
    return object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, nullptr, nullptr);
}
VARIANT HandleArg(HWND window) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I8;
    v.llVal = static_cast<LONGLONG>(reinterpret_cast<INT_PTR>(window));
    return v;
}
VARIANT IntArg(long n) {
    VARIANT v;
    VariantInit(&v);
    v.vt = VT_I4;
    v.lVal = n;
    return v;
}

class FrameTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { FakeProducts::RegisterOnce(); }
    void SetUp() override {
        vb::SetProjectName(L"HostTests");
        InstallHostMessages();
        ErrorHandler(ehClearAll);
        FakeProducts::Reset();
        HookSwitchedOn() = false;
        SplashFormName().clear();
        g_ends = 0;
        g_pages.clear();
        g_childCloses = 0;
        previousEnd_ = SetEndProgramFunction(RecordEnd);
        previousOpener_ = SetWebPageOpener(RecordPage);
        previousHelp_ = SetHelpEngines(&help_);
        // One product: a button with a tool tip and picture, and a menu of its own.
        WriteString(HKEY_LOCAL_MACHINE, HostSubkey(L"0"), L"host_fake_product.dll1.0.0.0", A);
        FakeProducts::Set(A, L"Properties",
                          L"Properties\rProductName\rUtilitySuiteOrdinal\rToolbarButtonUp\rToolbarButtonToolTip\r"
                          L"MdiMenu");
        FakeProducts::Set(A, L"ProductName", L"Morva Lumox");
        FakeProducts::Set(A, L"UtilitySuiteOrdinal", 1.0);
        FakeProducts::Set(A, L"ToolbarButtonToolTip", L"Opens Lumox");
        FakeProducts::Set(A, L"ToolbarButtonUp", L"<picture>");
        FakeProducts::Set(A, L"MdiMenu", L"Lumox Expert\rOptions;Dummy Tag Text1");
        FakeProducts::Set(A + L".Window", L"Name", L"frmTesselOptions");
        FakeProducts::Set(A + L".Window", L"Visible", true);
        FakeProducts::Set(A + L".Window", L"Interruptible", true);
    }
    void TearDown() override {
        CloseHostModals();
        if (MDIFrm* frame = MDIFrm::Current()) frame->Unload();
        win::DefaultInstance<MDIFrm>::Release();
        win::DefaultInstance<frmSysTray>::Release();
        TurnHookOff();
        SetEndProgramFunction(previousEnd_);
        SetWebPageOpener(previousOpener_);
        SetHelpEngines(previousHelp_);
        ErrorHandler(ehClearAll);
    }

    // Shows the frame and lets its first activation run.
    MDIFrm& ShowFrame() {
        MDIFrm& frame = MDIFrm::Load();
        frame.Show();
        PumpUntil([&] { return frame.ActivationCount() > 0; });
        PumpFor(100);
        return frame;
    }
    // The user closes the frame by the keys while its product is busy: the Exit waits, and the
    // status bar says so.
    void CloseWhileTheProductWorks(MDIFrm& frame);
    static bool AtomPresent() {
        vb::Variant found = Atom(atomGlobalFind, HookOnAtom);
        return !found.IsEmpty() && found.ToLong() != 0;
    }

    ComApartment apartment_;
    RegistryRedirect redirect_;
    FakePresenter presenter_;
    RecordingHelp help_;
    EndProgramFunction previousEnd_ = nullptr;
    WebPageOpener previousOpener_ = nullptr;
    HelpEngines* previousHelp_ = nullptr;
};

std::vector<std::wstring> MenuCaptions(HMENU menu) {
    std::vector<std::wstring> captions;
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[128] = {};
        GetMenuStringW(menu, static_cast<UINT>(i), text, 128, MF_BYPOSITION);
        captions.push_back(text);
    }
    return captions;
}

}  // namespace

TEST_F(FrameTest, LoadsWithTheProductsButtonMenuAndStatus) {
    MDIFrm& frame = MDIFrm::Load();
    EXPECT_EQ(MDIFrm::Current(), &frame);
    EXPECT_EQ(frame.Caption(), L"Morva Utility Manager");
    EXPECT_TRUE(frame.TimerRunning());
    EXPECT_EQ(frame.PanelText(1), contract::HookOffText);
    EXPECT_TRUE(presenter_.shown.empty());

    // Design-time Help, the product, the spacer, suggestion, referral and help.
    win::Toolbar& bar = frame.asxToolbar1;
    ASSERT_EQ(bar.ButtonCount(), 6);
    EXPECT_EQ(bar.Key(1), L"Help");
    EXPECT_EQ(bar.ToolTipText(2), L"Opens Lumox");
    EXPECT_NE(bar.Picture(2, win::ToolbarPicture::Up), nullptr);
    EXPECT_EQ(bar.Key(3), L"Adjustable");
    EXPECT_EQ(frame.SpacerIndex(), 3);
    EXPECT_EQ(bar.ToolTipText(6), L"Help");
    for (int b : {4, 5, 6})
        for (auto look : {win::ToolbarPicture::Up, win::ToolbarPicture::Down, win::ToolbarPicture::UpOver})
            EXPECT_NE(bar.Picture(b, look), nullptr) << b;
    // The spacer takes the free width, so the host's buttons end at the frame's right edge.
    const int tppX = vb::TwipsPerPixelX(), tppY = vb::TwipsPerPixelY();
    EXPECT_FLOAT_EQ(bar.ButtonWidth(3),
                    SpacerWidth(frame.Width(), frame.ButtonsWidth(), bar.ButtonHeight(1) * tppY, tppX, tppY));
    RECT client{};
    GetClientRect(bar.Handle(), &client);
    EXPECT_LE(bar.ButtonRect(6).right, client.right);
    EXPECT_GT(bar.ButtonRect(6).right, client.right - 20);

    // The product's menu sits in the first placeholder, between File and Window.
    EXPECT_EQ(MenuCaptions(frame.MenuBar()),
              (std::vector<std::wstring>{L"&File", L"Lumox Expert", L"&Window", L"&Help"}));
    EXPECT_EQ(MenuCaptions(GetSubMenu(frame.MenuBar(), 1)), std::vector<std::wstring>{L"Options"});
    EXPECT_EQ(MenuCaptions(GetSubMenu(frame.MenuBar(), 0)), std::vector<std::wstring>{L"E&xit"});
    std::vector<std::wstring> help = MenuCaptions(GetSubMenu(frame.MenuBar(), 3));
    EXPECT_EQ(help.front(), L"Morva Utility Manager Help");
    EXPECT_EQ(help.back(), L"OnLine Store");  // the hidden offer leaves no separator behind
    EXPECT_EQ(GetSubMenu(frame.MenuBar(), 2), frame.WindowMenu());

    // The user's click on the product's button opens the product.
    ASSERT_TRUE(userinput::BringToFront(frame.Handle()));
    const RECT button = bar.ButtonRect(2);
    userinput::Click(userinput::OnScreen(bar.Handle(), POINT{(button.left + button.right) / 2, (button.top + button.bottom) / 2}));
    EXPECT_TRUE(userinput::PumpUntil([&] { return static_cast<bool>(frame.suite.Products.at(0).ShownForm); }));
    EXPECT_TRUE(frame.suite.Products.at(0).Product);
    EXPECT_TRUE(frame.suite.Products.at(0).ShownForm);
}

TEST_F(FrameTest, AfterTheFirstShowTheMdiAreaEndsAboveTheStatusBar) {
    MDIFrm& frame = ShowFrame();
    RECT client{}, status{};
    GetWindowRect(frame.MdiClient(), &client);
    GetWindowRect(frame.sta1.Handle(), &status);
    EXPECT_GT(status.bottom, status.top);
    EXPECT_LE(client.bottom, status.top);
}

// The text of the tool tip that shows now over a window of the frame; empty when none shows.
std::wstring ShownToolTipOver(HWND window) {
    struct Search {
        HWND owner;
        std::wstring text;
    } search{GetAncestor(window, GA_ROOT), {}};  // a pop-up's owner is a top-level window
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND hwnd, LPARAM param) -> BOOL {
            auto* s = reinterpret_cast<Search*>(param);
            wchar_t name[64] = {};
            GetClassNameW(hwnd, name, 64);
            if (_wcsicmp(name, TOOLTIPS_CLASSW) != 0 || GetWindow(hwnd, GW_OWNER) != s->owner || !IsWindowVisible(hwnd))
                return TRUE;
            wchar_t text[256] = {};
            TOOLINFOW info{};
            info.cbSize = TTTOOLINFOW_V2_SIZE;
            info.lpszText = text;
            if (SendMessageW(hwnd, TTM_GETCURRENTTOOLW, 0, reinterpret_cast<LPARAM>(&info))) s->text = text;
            return s->text.empty();
        },
        reinterpret_cast<LPARAM>(&search));
    return search.text;
}

TEST_F(FrameTest, ThePointerOnAStatusPanelShowsItsToolTip) {
    MDIFrm& frame = ShowFrame();
    ASSERT_TRUE(userinput::BringToFront(frame.Handle()));
    const struct {
        long panel;
        const wchar_t* tip;
    } rows[] = {{1, L"Double-Click to turn Lumox On/Off"}, {2, L"Progress info."}, {4, L"Tool Tip Information"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.panel);
        EXPECT_EQ(frame.sta1.PanelToolTip(row.panel), row.tip);
        RECT part{};
        SendMessageW(frame.sta1.Handle(), SB_GETRECT, static_cast<WPARAM>(row.panel - 1), reinterpret_cast<LPARAM>(&part));
        userinput::MoveTo(userinput::OnScreen(frame.sta1.Handle(), POINT{(part.left + part.right) / 2, (part.top + part.bottom) / 2}));
        std::wstring shown;
        userinput::PumpUntil([&] { return (shown = ShownToolTipOver(frame.sta1.Handle())) == row.tip; }, 5000);
        EXPECT_EQ(shown, row.tip);
    }
}

TEST_F(FrameTest, AClickOnTheTopLeftButtonOpensTheHelpFileAtItsContents) {
    // The help file beside the program, as the suite is laid out.
    const std::wstring chm = JoinPaths(vb::AppPath(), L"Lumox.chm");
    ASSERT_TRUE(CopyFileW(BuiltHelpFilePath().c_str(), chm.c_str(), FALSE));
    MDIFrm& frame = ShowFrame();
    ASSERT_TRUE(userinput::BringToFront(frame.Handle()));
    const RECT button = frame.asxToolbar1.ButtonRect(1);
    userinput::Click(userinput::OnScreen(frame.asxToolbar1.Handle(),
                                         POINT{(button.left + button.right) / 2, (button.top + button.bottom) / 2}));
    userinput::PumpUntil([&] { return !help_.calls.empty(); }, 3000);
    DeleteFileW(chm.c_str());
    // HTML Help on the file with its contents: HH_DISPLAY_TOC, the first page index.html.
    EXPECT_EQ(help_.calls, (std::vector<std::wstring>{L"HtmlHelp|" + chm + L"|1|0"}));
}

TEST_F(FrameTest, MenuCommandHandlerReachesPagesAndTopics) {
    testsupport::WinHelpFilesBeside helpFiles{L"Lumox.hlp", L"Morva Utility Manager.hlp"};
    MDIFrm& frame = MDIFrm::Load();
    frame.MenuCommand(cmdUrls + 4);
    frame.MenuCommand(cmdUrls + 0);
    frame.MenuCommand(cmdSpecial + 0);
    EXPECT_EQ(g_pages, (std::vector<std::wstring>{StorePageUrl(), UrlsMenuAddress(0), SpecialMenuAddress(0)}));
    frame.MenuCommand(cmdHelp + 0);
    frame.MenuCommand(cmdTutorials + 0);
    frame.MenuCommand(cmdHelp + 5);  // a product's entry: nothing here
    EXPECT_EQ(help_.topics, (std::vector<long>{400, 300}));
    // The placeholder's first entry opens the first product.
    frame.MenuCommand(cmdProduct + 20 + 0);
    EXPECT_TRUE(frame.suite.Products.at(0).Product);
}

TEST_F(FrameTest, FirstActivationOpensTheOptionsWindowAndShowMDIFormWaits) {
    MDIFrm& frame = ShowFrame();
    EXPECT_TRUE(frame.Visible());
    EXPECT_EQ(frame.Left(), 0);  // first run: the left screen edge
    EXPECT_TRUE(frame.suite.Products.at(0).Product);

    frame.SetWindowState(1);
    ASSERT_EQ(frame.WindowState(), 1);
    const DWORD start = GetTickCount();
    frame.ShowMDIForm();
    EXPECT_TRUE(frame.Visible());
    EXPECT_EQ(frame.WindowState(), 0);
    EXPECT_GE(GetTickCount() - start, 750u);  // two half-second pauses (the clocks tick coarsely)
    EXPECT_TRUE(presenter_.shown.empty());
}

TEST_F(FrameTest, OpenProductUnlessLoaded) {
    MDIFrm& frame = MDIFrm::Load();
    const std::wstring options = contract::OptionsWindowName;
    EXPECT_FALSE(frame.OpenProductUnlessLoaded(L"", 0));
    EXPECT_FALSE(frame.OpenProductUnlessLoaded(options, 7));  // no such product: no error either
    EXPECT_TRUE(presenter_.shown.empty());

    {
        // A loaded window of that name (case aside) keeps it from opening.
        class Named : public win::Window {
        public:
            Named() : win::Window(L"FRMTESSELOPTIONS") { Create(L"", 10, 10); }
        } named;
        EXPECT_FALSE(frame.OpenProductUnlessLoaded(options, 0));
        named.Unload();
    }
    EXPECT_FALSE(frame.suite.Products.at(0).Product);

    frame.SetWindowState(1);
    EXPECT_FALSE(frame.OpenProductUnlessLoaded(options, 0));
    EXPECT_FALSE(frame.suite.Products.at(0).Product);
    // Coming back from minimized opens it through the resize.
    frame.SetWindowState(0);
    EXPECT_TRUE(frame.suite.Products.at(0).Product);
    frame.suite.ReleaseAll();

    EXPECT_TRUE(frame.OpenProductUnlessLoaded(options, 0));
    EXPECT_TRUE(frame.suite.Products.at(0).Product);
    // Already open: nothing more.
    EXPECT_FALSE(frame.OpenProductUnlessLoaded(options, 0));
    EXPECT_TRUE(presenter_.shown.empty());
}

TEST_F(FrameTest, CloseChoiceMinimizesThenExitLeavesNothingSwitchedOn) {
    MDIFrm& frame = ShowFrame();
    {
        WindowDriver driver({[] {
            frmQuit* q = frmQuit::Existing();
            if (!q || !q->Visible() || !BringInFront(q->Handle())) return false;
            ClickWindow(q->OKButton.Handle());  // Minimize, as selected
            return true;
        }});
        // The user closes the frame by its close box's key.
        ASSERT_TRUE(userinput::BringToFront(frame.Handle()));
        userinput::Chord({VK_MENU, VK_F4});
        EXPECT_TRUE(PumpUntil([&] { return driver.Finished() && !frmQuit::Existing(); }));
        EXPECT_FALSE(driver.TimedOut());
    }
    ASSERT_EQ(MDIFrm::Current(), &frame);
    EXPECT_EQ(frame.WindowState(), 1);
    EXPECT_TRUE(frame.TimerRunning());
    EXPECT_FALSE(frame.gbExit);

    // The hook goes on and the tray icon shows; a minimized frame then exits without the question.
    TurnHookOn();
    frame.CheckTray();
    ASSERT_TRUE(frame.TrayShown());
    EXPECT_FALSE(frame.Visible());  // minimized into the tray
    NOTIFYICONDATAW icon = frmSysTray::Existing()->TrayIconRecord();
    EXPECT_TRUE(AtomPresent());
    EXPECT_TRUE(ReadString(HKEY_LOCAL_MACHINE, kHooksKey, kHookValue).has_value());

    SendMessageW(frame.Handle(), WM_CLOSE, 0, 0);
    EXPECT_EQ(frmQuit::Existing(), nullptr);
    EXPECT_EQ(MDIFrm::Current(), nullptr);
    EXPECT_FALSE(frame.TimerRunning());
    EXPECT_FALSE(AtomPresent());
    EXPECT_FALSE(ReadString(HKEY_LOCAL_MACHINE, kHooksKey, kHookValue).has_value());
    EXPECT_FALSE(Shell_NotifyIconW(NIM_MODIFY, &icon));
    EXPECT_EQ(frmSysTray::Existing(), nullptr);
    EXPECT_EQ(g_ends, 1);
    EXPECT_FALSE(frame.suite.Products.at(0).Product);  // released with the frame
    // The placement was saved on the way.
    EXPECT_TRUE(ReadString(HKEY_LOCAL_MACHINE, HostSubkey(L"1") + L"\\Wayhold Utility Manager", L"WindowState")
                    .has_value());
}

TEST_F(FrameTest, ExitChosenInTheQuestion) {
    MDIFrm& frame = ShowFrame();
    TurnHookOn();
    WindowDriver driver({[] {
                             frmQuit* q = frmQuit::Existing();
                             if (!q || !q->Visible() || !BringInFront(q->Handle())) return false;
                             ClickWindow(q->optChoice(1).Handle());
                             return true;
                         },
                         [] {
                             frmQuit* q = frmQuit::Existing();
                             if (!q->optChoice(1).Value()) return false;  // the click is on its way
                             ClickWindow(q->OKButton.Handle());
                             return true;
                         }});
    // File, Exit through the menu's keys.
    ASSERT_TRUE(userinput::BringToFront(frame.Handle()));
    userinput::Chord({VK_MENU, 'F'});
    userinput::Press('X');
    EXPECT_TRUE(PumpUntil([] { return MDIFrm::Current() == nullptr; }));
    EXPECT_FALSE(driver.TimedOut());
    EXPECT_EQ(MDIFrm::Current(), nullptr);
    EXPECT_FALSE(AtomPresent());
    EXPECT_EQ(g_ends, 1);
}

TEST_F(FrameTest, ABusyProductKeepsTheFrameOpenWithoutAQuestion) {
    MDIFrm& frame = ShowFrame();
    ASSERT_TRUE(frame.suite.Products.at(0).Product);
    FakeProducts::Set(A + L".Window", L"Interruptible", false);
    // The user closes the frame by its close box's key; a question, were one asked, is closed.
    bool asked = false;
    WindowDriver driver({[&asked] {
        if (!frmQuit::Existing()) return false;
        asked = true;
        CloseHostModals();
        return true;
    }});
    const auto askedBusy = [] {
        int n = 0;
        for (const std::wstring& call : FakeProducts::Calls()) n += call.find(L"|Interruptible") != std::wstring::npos;
        return n;
    };
    const int before = askedBusy();
    ASSERT_TRUE(userinput::BringToFront(frame.Handle()));
    userinput::Chord({VK_MENU, VK_F4});
    // The close the keys asked for has run once it asked the product whether it may stop.
    EXPECT_TRUE(PumpUntil([&] { return askedBusy() > before; })) << "the keys reached the frame";
    PumpFor(200);
    EXPECT_FALSE(asked);
    EXPECT_EQ(MDIFrm::Current(), &frame);
    EXPECT_EQ(frmQuit::Existing(), nullptr);
    EXPECT_EQ(frame.WindowState(), 0);
    EXPECT_FALSE(ReadString(HKEY_LOCAL_MACHINE, HostSubkey(L"1") + L"\\Wayhold Utility Manager", L"Top").has_value());
}

// A product's dialog over the frame: a modal window of another module, whose modal loop the
// host's own count does not see. Windows disables its owner, the frame, while it waits.
struct ProductDialog {
    HWND owner;
    std::function<void()> whileOpen;
    bool ran = false;

    void ShowModal() {
        struct {
            DLGTEMPLATE dialog;
            WORD menu, windowClass, title;
        } layout{};
        layout.dialog.style = WS_POPUP | WS_CAPTION | WS_VISIBLE | DS_MODALFRAME;
        layout.dialog.cx = 120;
        layout.dialog.cy = 40;
        DialogBoxIndirectParamW(GetModuleHandleW(nullptr), &layout.dialog, owner, &Procedure,
                                reinterpret_cast<LPARAM>(this));
    }
    static INT_PTR CALLBACK Procedure(HWND dialog, UINT msg, WPARAM wParam, LPARAM lParam) {
        if (msg == WM_INITDIALOG) {
            SetWindowLongPtrW(dialog, DWLP_USER, lParam);
            SetTimer(dialog, 1, 200, nullptr);    // the commands arrive while the dialog waits
            SetTimer(dialog, 2, 15000, nullptr);  // the dialog's own time limit
            return TRUE;
        }
        if (msg != WM_TIMER) return FALSE;
        auto* self = reinterpret_cast<ProductDialog*>(GetWindowLongPtrW(dialog, DWLP_USER));
        KillTimer(dialog, 1);
        if (wParam == 1 && !self->ran) {
            self->ran = true;
            self->whileOpen();
        }
        EndDialog(dialog, 0);
        return TRUE;
    }
};

TEST_F(FrameTest, TrayIconAndMenuClickHandlersDoNothingWhileAProductsDialogIsOpen) {
    MDIFrm& frame = ShowFrame();
    frmSysTray& tray = frmSysTray::Default();
    tray.Activate(frame);
    bool frameDisabled = false, frameStays = false, questionShown = false;
    int stateWhileOpen = -1;
    // A question the old guard let through is answered when the time is up, so the test ends.
    WindowDriver driver({[] { return false; }}, 20000);
    ProductDialog dialog{frame.Handle(), [&] {
                             frameDisabled = !IsWindowEnabled(frame.Handle());
                             // The icon's click (it would minimize the frame), then Restore and Exit
                             // from its menu, as the shell delivers them.
                             SendMessageW(tray.Handle(), TrayCallbackMessage, 0, WM_LBUTTONUP);
                             tray.MenuClick(trayRestore);
                             tray.MenuClick(trayExit);
                             questionShown = frmQuit::Existing() && frmQuit::Existing()->Visible();
                             stateWhileOpen = frame.WindowState();
                             frameStays = MDIFrm::Current() == &frame && frame.Visible();
                         }};
    dialog.ShowModal();
    ASSERT_TRUE(dialog.ran);
    EXPECT_TRUE(frameDisabled) << "the dialog holds its owner, the frame";
    EXPECT_EQ(stateWhileOpen, 0) << "the icon's click left the frame as it was";
    EXPECT_TRUE(frameStays) << "Exit left the frame open";
    EXPECT_FALSE(questionShown) << "Exit asked nothing";
    EXPECT_TRUE(presenter_.shown.empty());
    // Answered, the icon's click goes through again.
    SendMessageW(tray.Handle(), TrayCallbackMessage, 0, WM_LBUTTONUP);
    EXPECT_EQ(frame.WindowState(), 1);
}

TEST_F(FrameTest, SessionEndTakesTheExitPathWithoutTheQuestion) {
    MDIFrm& frame = ShowFrame();
    FakeProducts::Set(A + L".Window", L"Interruptible", false);  // the session ends all the same
    EXPECT_EQ(SendMessageW(frame.Handle(), WM_QUERYENDSESSION, 0, 0), TRUE);
    SendMessageW(frame.Handle(), WM_ENDSESSION, TRUE, 0);
    EXPECT_EQ(frmQuit::Existing(), nullptr);
    EXPECT_EQ(MDIFrm::Current(), nullptr);
    EXPECT_EQ(g_ends, 1);
}

TEST_F(FrameTest, AutomationSurfaceAndTheChildrenList) {
    MDIFrm& frame = ShowFrame();
    IDispatch* surface = frame.Automation();
    ASSERT_NE(surface, nullptr);
    EXPECT_EQ(GetPropW(frame.Handle(), FrameAutomationProperty), surface);

    VARIANT result;
    VariantInit(&result);
    ASSERT_EQ(CallRaw(surface, L"hWnd", DISPATCH_PROPERTYGET, {}, &result), S_OK);
    EXPECT_EQ(reinterpret_cast<HWND>(static_cast<INT_PTR>(result.llVal)), frame.Handle());
    ASSERT_EQ(CallRaw(surface, L"WindowState", DISPATCH_PROPERTYGET, {}, &result), S_OK);
    EXPECT_EQ(result.iVal, 0);
    EXPECT_EQ(CallRaw(surface, L"NoSuchMember", DISPATCH_METHOD, {}, &result), DISP_E_UNKNOWNNAME);

    // The status bar through sta1, panels by number.
    ASSERT_EQ(CallRaw(surface, L"sta1", DISPATCH_PROPERTYGET, {}, &result), S_OK);
    ASSERT_EQ(result.vt, VT_DISPATCH);
    IDispatch* status = result.pdispVal;
    VARIANT text;
    VariantInit(&text);
    text.vt = VT_BSTR;
    text.bstrVal = SysAllocString(L"Scanning drive C:");
    EXPECT_EQ(CallRaw(status, L"PanelText", DISPATCH_PROPERTYPUT, {IntArg(2), text}, nullptr), S_OK);
    VariantClear(&text);
    EXPECT_EQ(frame.PanelText(2), L"Scanning drive C:");
    VARIANT panel;
    VariantInit(&panel);
    ASSERT_EQ(CallRaw(status, L"PanelText", DISPATCH_PROPERTYGET, {IntArg(1)}, &panel), S_OK);
    EXPECT_EQ(std::wstring(panel.bstrVal), contract::HookOffText);
    VariantClear(&panel);
    EXPECT_EQ(CallRaw(status, L"PanelText", DISPATCH_PROPERTYGET, {IntArg(5)}, &panel), DISP_E_BADINDEX);

    // A library window made a child of the frame enters the list; hidden, it is not listed.
    HWND child = MakeMdiChild(frame.MdiClient());
    ASSERT_NE(child, nullptr);
    ChildObject object;
    VARIANT objectArg;
    VariantInit(&objectArg);
    objectArg.vt = VT_DISPATCH;
    objectArg.pdispVal = &object;
    ASSERT_EQ(CallRaw(surface, L"AddMdiChild", DISPATCH_METHOD, {HandleArg(child), objectArg}, nullptr), S_OK);
    EXPECT_EQ(frame.MdiChildren(), std::vector<IDispatch*>{&object});
    object.name = L"frmTesselOptions";
    EXPECT_FALSE(frame.OpenProductUnlessLoaded(contract::OptionsWindowName, 0));  // found among the children
    auto ticked = [&] { return std::find(object.calls.begin(), object.calls.end(), L"TimerEvent") != object.calls.end(); };
    EXPECT_TRUE(PumpUntil(ticked, 2000));  // the frame's heartbeat reaches its children
    ShowWindow(child, SW_HIDE);
    EXPECT_TRUE(frame.MdiChildren().empty());
    ShowWindow(child, SW_SHOW);
    // In the notification area the frame is hidden, and its shown child still hears the tick,
    // with the frame's state, so that it can close itself.
    ShowWindow(frame.Handle(), SW_HIDE);
    EXPECT_EQ(frame.MdiChildren(), std::vector<IDispatch*>{&object});
    object.calls.clear();
    EXPECT_TRUE(PumpUntil(ticked, 2000));
    ShowWindow(frame.Handle(), SW_SHOW);
    ASSERT_EQ(CallRaw(surface, L"RemoveMdiChild", DISPATCH_METHOD, {HandleArg(child)}, nullptr), S_OK);
    EXPECT_TRUE(frame.MdiChildren().empty());
    ASSERT_EQ(CallRaw(surface, L"AddMdiChild", DISPATCH_METHOD, {HandleArg(child), objectArg}, nullptr), S_OK);

    // The exit path closes it through its own close, and the surface then answers no more.
    frame.SetWindowState(1);
    SendMessageW(frame.Handle(), WM_CLOSE, 0, 0);
    EXPECT_EQ(MDIFrm::Current(), nullptr);
    EXPECT_EQ(g_childCloses, 1);
    EXPECT_FALSE(IsWindow(child));
    EXPECT_EQ(object.refs, 1u);  // the frame let go of it
    EXPECT_EQ(CallRaw(status, L"PanelText", DISPATCH_PROPERTYGET, {IntArg(1)}, &panel), E_UNEXPECTED);
    status->Release();
}

TEST_F(FrameTest, ResizeKeepsTheFrameOnTheScreen) {
    MDIFrm& frame = ShowFrame();
    const long screenHeight = vb::ScreenHeight();
    frame.Move(600, screenHeight + 1500, frame.Width() + 150, frame.Height());
    PumpFor(50);
    EXPECT_NEAR(frame.Top(), screenHeight * 0.9, vb::TwipsPerPixelY());
    EXPECT_EQ(frame.NormalTop().value_or(-1), frame.Top());
    EXPECT_EQ(frame.NormalWidth().value_or(-1), frame.Width());

    frame.Move(600, -3000, frame.Width() + 150, frame.Height());
    PumpFor(50);
    EXPECT_NEAR(frame.Top(), screenHeight * 0.05, vb::TwipsPerPixelY());
}

TEST_F(FrameTest, SavedMinimizedStartsMinimizedAndClosesWithoutTheQuestion) {
    WriteString(HKEY_LOCAL_MACHINE, HostSubkey(L"1") + L"\\Wayhold Utility Manager", L"WindowState", L"1");
    WriteString(HKEY_LOCAL_MACHINE, HostSubkey(L"4"), L"Morva Utility Manager First Time", L"False");
    MDIFrm& frame = MDIFrm::Load();
    EXPECT_EQ(frame.NewWindowState, 1);
    frame.Show();
    PumpUntil([&] { return frame.ActivationCount() > 0; });
    PumpFor(100);
    EXPECT_EQ(frame.WindowState(), 1);
    EXPECT_FALSE(frame.suite.Products.at(0).Product);  // no options window while minimized
    SendMessageW(frame.Handle(), WM_CLOSE, 0, 0);
    EXPECT_EQ(frmQuit::Existing(), nullptr);
    EXPECT_EQ(MDIFrm::Current(), nullptr);
}

TEST_F(FrameTest, DoubleClickOnTheFirstPanelSwitchesTheHook) {
    MDIFrm& frame = ShowFrame();
    ASSERT_TRUE(userinput::BringToFront(frame.Handle()));
    auto panel = [&](int index) {
        RECT part{};
        SendMessageW(frame.sta1.Handle(), SB_GETRECT, index, reinterpret_cast<LPARAM>(&part));
        return userinput::OnScreen(frame.sta1.Handle(), POINT{(part.left + part.right) / 2, (part.top + part.bottom) / 2});
    };
    auto shows = [&](const std::wstring& text) {
        return PumpUntil([&] { return frame.PanelText(1) == text; }, 5000);
    };
    userinput::DoubleClick(panel(0));
    EXPECT_TRUE(shows(contract::HookOnText));
    EXPECT_TRUE(AtomPresent());
    userinput::DoubleClick(panel(0));
    EXPECT_TRUE(shows(contract::HookOffText));
    EXPECT_FALSE(AtomPresent());
    // The other panels do nothing: after one on the third panel, one on the first switches it on
    // (where the third had switched too, the first's would switch it back off).
    userinput::DoubleClick(panel(2));
    EXPECT_TRUE(userinput::PumpUntilHandled(frame.sta1.Handle(), WM_LBUTTONDBLCLK));
    EXPECT_EQ(frame.PanelText(1), contract::HookOffText);
    userinput::DoubleClick(panel(0));
    EXPECT_TRUE(shows(contract::HookOnText));
}

namespace {

// How often the frame has asked its product's window whether it may stop, and how often the
// product has been asked to show its window.
int ProductCallsTo(const wchar_t* member) {
    int n = 0;
    for (const std::wstring& call : FakeProducts::Calls()) n += call.find(std::wstring(L"|") + member) != std::wstring::npos;
    return n;
}

// On the user's thread: clicks the frame's menu-bar item at that position, then the item with
// that caption on the menu that drops down. Answers whether both clicks were made.
bool ChooseFromMenuBar(HWND frame, int barPosition, const std::wstring& caption) {
    HMENU bar = GetMenu(frame);
    RECT title{};
    if (!GetMenuItemRect(frame, bar, static_cast<UINT>(barPosition), &title)) return false;
    userinput::Click(POINT{(title.left + title.right) / 2, (title.top + title.bottom) / 2});
    if (!userinput::WaitForPopUpMenu()) return false;
    HMENU menu = GetSubMenu(bar, barPosition);
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[128] = {};
        GetMenuStringW(menu, static_cast<UINT>(i), text, 127, MF_BYPOSITION);
        if (caption != text) continue;
        RECT item{};
        if (!userinput::WaitUntil([&] { return GetMenuItemRect(nullptr, menu, static_cast<UINT>(i), &item) != FALSE; },
                                  3000))
            return false;
        Sleep(100);
        GetMenuItemRect(nullptr, menu, static_cast<UINT>(i), &item);
        userinput::Click(POINT{item.left + 12, (item.top + item.bottom) / 2});
        return true;
    }
    userinput::Press(VK_ESCAPE);
    return false;
}

// One way the user asks the frame to close, on the user's thread.
struct FrameCloseWay {
    const char* name;
    std::function<bool(HWND frame)> close;
};
void PrintTo(const FrameCloseWay& way, std::ostream* out) { *out << way.name; }

const FrameCloseWay kFrameCloseWays[] = {
    {"File, Exit from the menu bar", [](HWND frame) { return ChooseFromMenuBar(frame, 0, L"E&xit"); }},
    {"the frame's close box",
     [](HWND frame) {
         const POINT box = userinput::CloseBoxOf(frame);
         if (box.x < 0) return false;
         userinput::Click(box);
         return true;
     }},
};

// Whether the status bar shows that an Exit waits, in a panel wide enough to read it.
bool ExitNoticeOnScreen(MDIFrm& frame) {
    HWND bar = frame.sta1.Handle();
    const int parts = static_cast<int>(SendMessageW(bar, SB_GETPARTS, 0, 0));
    for (int i = 0; i < parts; ++i) {
        if (frame.sta1.PanelText(i + 1) != L"Exits when the work ends") continue;
        RECT part{};
        SendMessageW(bar, SB_GETRECT, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&part));
        if (IsWindowVisible(bar) && part.right - part.left >= 100) return true;
    }
    return false;
}

// The frame's close box's key, pressed by the user; true once the close has asked the product
// whether it may stop.
bool CloseByTheKeys(MDIFrm& frame) {
    const int before = ProductCallsTo(L"Interruptible");
    if (!userinput::BringToFront(frame.Handle())) return false;
    userinput::Chord({VK_MENU, VK_F4});
    return PumpUntil([&] { return ProductCallsTo(L"Interruptible") > before; }, 5000);
}

void FrameTest::CloseWhileTheProductWorks(MDIFrm& frame) {
    ASSERT_TRUE(frame.suite.Products.at(0).Product);
    FakeProducts::Set(A + L".Window", L"Interruptible", false);
    ASSERT_TRUE(CloseByTheKeys(frame));
    PumpFor(200);
    ASSERT_TRUE(ExitNoticeOnScreen(frame));
}

// Answers the close question with its preselected choice, Minimize.
WindowDriver::Step AnswerMinimize(bool& asked) {
    return [&asked] {
        frmQuit* q = frmQuit::Existing();
        if (!q || !q->Visible() || !BringInFront(q->Handle())) return false;
        asked = true;
        ClickWindow(q->OKButton.Handle());
        return true;
    };
}

class FrameCloseWhileAProductWorks : public FrameTest, public ::testing::WithParamInterface<FrameCloseWay> {};

}  // namespace

TEST_P(FrameCloseWhileAProductWorks, WaitsSayingSoAndIsCarriedOutWhenTheWorkEnds) {
    MDIFrm& frame = ShowFrame();
    ASSERT_TRUE(frame.suite.Products.at(0).Product);
    FakeProducts::Set(A + L".Window", L"Interruptible", false);
    ASSERT_TRUE(userinput::BringToFront(frame.Handle()));
    const int before = ProductCallsTo(L"Interruptible");
    bool acted = false;
    const int leftOpen = userinput::ActAsUser([&] {
        acted = GetParam().close(frame.Handle());
        // The close has run once it asked the product whether it may stop.
        acted = userinput::WaitUntil([&] { return ProductCallsTo(L"Interruptible") > before; }, 5000) && acted;
    });
    EXPECT_EQ(leftOpen, 0) << "an input was lost";
    ASSERT_TRUE(acted) << "the close reached the frame";
    PumpFor(300);
    // Nothing closes yet, no question is asked; the user is told that the Exit waits.
    EXPECT_EQ(MDIFrm::Current(), &frame);
    EXPECT_EQ(frmQuit::Existing(), nullptr);
    EXPECT_EQ(g_ends, 0);
    EXPECT_TRUE(ExitNoticeOnScreen(frame));

    // The work ends: the close the user asked for goes ahead, the question included.
    bool asked = false;
    WindowDriver driver({[&asked] {
                             frmQuit* q = frmQuit::Existing();
                             if (!q || !q->Visible() || !BringInFront(q->Handle())) return false;
                             asked = true;
                             ClickWindow(q->optChoice(1).Handle());
                             return true;
                         },
                         [] {
                             frmQuit* q = frmQuit::Existing();
                             if (!q->optChoice(1).Value()) return false;
                             ClickWindow(q->OKButton.Handle());
                             return true;
                         }});
    FakeProducts::Set(A + L".Window", L"Interruptible", true);
    EXPECT_TRUE(PumpUntil([] { return MDIFrm::Current() == nullptr; })) << "the waiting Exit was carried out";
    EXPECT_FALSE(driver.TimedOut());
    EXPECT_TRUE(asked);
    EXPECT_EQ(g_ends, 1);
    EXPECT_FALSE(AtomPresent());
}

INSTANTIATE_TEST_SUITE_P(AsTheUserDoes, FrameCloseWhileAProductWorks, ::testing::ValuesIn(kFrameCloseWays),
                         [](const ::testing::TestParamInfo<FrameCloseWay>& info) {
                             std::string name;
                             for (const char* c = info.param.name; *c; ++c)
                                 if (isalnum(static_cast<unsigned char>(*c))) name += *c;
                             return name;
                         });

TEST_F(FrameTest, TrayMenuClickExitWhileAProductWorksWaitsForTheWorkToEnd) {
    MDIFrm& frame = ShowFrame();
    frmSysTray& tray = frmSysTray::Default();
    tray.Activate(frame);
    // The frame sits in the notification area: an Exit asks no question.
    frame.SetWindowState(1);
    frame.Hide();
    FakeProducts::Set(A + L".Window", L"Interruptible", false);
    tray.MenuClick(trayExit);
    PumpFor(300);
    EXPECT_EQ(MDIFrm::Current(), &frame);
    EXPECT_EQ(g_ends, 0);
    FakeProducts::Set(A + L".Window", L"Interruptible", true);
    EXPECT_TRUE(PumpUntil([] { return MDIFrm::Current() == nullptr; }));
    EXPECT_EQ(frmQuit::Existing(), nullptr);
    EXPECT_EQ(g_ends, 1);
}

TEST_F(FrameTest, TheProductsButtonOpensItOnTheFirstClickAfterItsWindowClosed) {
    MDIFrm& frame = ShowFrame();
    ASSERT_TRUE(frame.suite.Products.at(0).Product);
    // The frame's heartbeat is held: its idle release (once a second) must not be what opens the
    // way for the click.
    KillTimer(frame.Handle(), MDIFrm::Timer1Id);
    // The product's window closes, as the options window's own close does.
    FakeProducts::Set(A + L".Window", L"Visible", false);
    const int shown = ProductCallsTo(L"ShowForm");
    ASSERT_TRUE(userinput::BringToFront(frame.Handle()));
    const RECT button = frame.asxToolbar1.ButtonRect(2);
    userinput::Click(userinput::OnScreen(frame.asxToolbar1.Handle(),
                                         POINT{(button.left + button.right) / 2, (button.top + button.bottom) / 2}));
    EXPECT_TRUE(PumpUntil([&] { return ProductCallsTo(L"ShowForm") > shown; }, 5000))
        << "the first click opened the product's window again";
    EXPECT_TRUE(frame.suite.Products.at(0).Product);
    EXPECT_TRUE(presenter_.shown.empty());
}

namespace {
// Set by the test for the timer that runs inside the product's modal loop.
std::function<void()>* g_whileProductModal = nullptr;
void CALLBACK WhileProductModal(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    if (g_whileProductModal) (*g_whileProductModal)();
}
}  // namespace

TEST_F(FrameTest, TheTrayIconLeavesTheFrameInTheTrayWhileAProductsModalWindowWaits) {
    MDIFrm& frame = ShowFrame();
    frmSysTray& tray = frmSysTray::Default();
    tray.Activate(frame);
    // The frame sits in the notification area.
    frame.SetWindowState(1);
    frame.Hide();
    ASSERT_FALSE(frame.Visible());
    bool ran = false, disabled = false, stayed = false;
    std::function<void()> whileOpen = [&] {
        ran = true;
        disabled = !IsWindowEnabled(frame.Handle());
        // The icon's click, as the shell delivers it: it would bring the frame back.
        SendMessageW(tray.Handle(), TrayCallbackMessage, 0, WM_LBUTTONUP);
        stayed = !frame.Visible() && frame.WindowState() == 1;
        PostMessageW(FindWindowW(nullptr, L"Fake product dialog"), WM_CLOSE, 0, 0);
    };
    g_whileProductModal = &whileOpen;
    SetTimer(nullptr, 0, 200, &WhileProductModal);
    FakeProducts::ShowModalWindow(frame.Handle());
    g_whileProductModal = nullptr;
    ASSERT_TRUE(ran) << "the product's window came up";
    EXPECT_TRUE(disabled) << "the product's modal window holds the hidden frame";
    EXPECT_TRUE(stayed) << "the icon's click left the frame in the tray";
    // Answered, the icon's click brings the frame back.
    SendMessageW(tray.Handle(), TrayCallbackMessage, 0, WM_LBUTTONUP);
    EXPECT_TRUE(frame.Visible());
}

TEST_F(FrameTest, TheNoticeThatAnExitWaitsStaysWhateverTheProductsShowUntilTheWorkEnds) {
    MDIFrm& frame = ShowFrame();
    ASSERT_NO_FATAL_FAILURE(CloseWhileTheProductWorks(frame));

    // The product writes its status texts as its registry reads do: counts, then empty, in every
    // panel the frame's automation lets it reach.
    VARIANT result;
    VariantInit(&result);
    ASSERT_EQ(CallRaw(frame.Automation(), L"sta1", DISPATCH_PROPERTYGET, {}, &result), S_OK);
    ASSERT_EQ(result.vt, VT_DISPATCH);
    com::ComPtr<IDispatch> status(result.pdispVal);
    for (const wchar_t* shown : {L"1200 keys read", L""}) {
        for (long panel = 1; panel <= 5; ++panel) {
            VARIANT text;
            VariantInit(&text);
            text.vt = VT_BSTR;
            text.bstrVal = SysAllocString(shown);
            CallRaw(status.Get(), L"PanelText", DISPATCH_PROPERTYPUT, {IntArg(panel), text}, nullptr);
            VariantClear(&text);
        }
        PumpFor(150);  // a few heartbeats
        EXPECT_TRUE(ExitNoticeOnScreen(frame)) << "after the product showed \"" << vb::ToAnsi(shown) << "\"";
    }
    // The frame keeps its size and bars through it.
    SendMessageW(frame.Handle(), WM_SIZE, 0, 0);
    EXPECT_TRUE(ExitNoticeOnScreen(frame));

    // The work ends: the question comes with the notice still there; once answered, the notice goes.
    bool asked = false, noticeWithTheQuestion = false;
    WindowDriver driver({[&] {
        frmQuit* q = frmQuit::Existing();
        if (!q || !q->Visible() || !BringInFront(q->Handle())) return false;
        noticeWithTheQuestion = ExitNoticeOnScreen(frame);
        return AnswerMinimize(asked)();
    }});
    FakeProducts::Set(A + L".Window", L"Interruptible", true);
    EXPECT_TRUE(PumpUntil([&] { return driver.Finished() && !frmQuit::Existing(); }));
    EXPECT_TRUE(asked);
    EXPECT_TRUE(noticeWithTheQuestion);
    EXPECT_FALSE(ExitNoticeOnScreen(frame));
    EXPECT_EQ(MDIFrm::Current(), &frame);
}

TEST_F(FrameTest, AnExitThatWaitedIsSettledByTheUsersNextCloseAndMinimizeHolds) {
    MDIFrm& frame = ShowFrame();
    ASSERT_NO_FATAL_FAILURE(CloseWhileTheProductWorks(frame));

    // The work ends, and before the heartbeat has carried out the waiting Exit the user closes
    // again and chooses Minimize in the question.
    KillTimer(frame.Handle(), MDIFrm::Timer1Id);
    FakeProducts::Set(A + L".Window", L"Interruptible", true);
    bool asked = false;
    {
        WindowDriver driver({AnswerMinimize(asked)});
        ASSERT_TRUE(CloseByTheKeys(frame));
        EXPECT_TRUE(PumpUntil([&] { return driver.Finished() && !frmQuit::Existing(); }));
    }
    ASSERT_TRUE(asked);
    EXPECT_EQ(frame.WindowState(), 1);
    EXPECT_FALSE(ExitNoticeOnScreen(frame));

    // The heartbeat goes on: the frame stays minimized, nothing exits.
    SetTimer(frame.Handle(), MDIFrm::Timer1Id, MDIFrm::Timer1Interval, nullptr);
    PumpFor(1000);
    EXPECT_EQ(MDIFrm::Current(), &frame);
    EXPECT_EQ(g_ends, 0);
    EXPECT_EQ(frame.WindowState(), 1);
}

TEST_F(FrameTest, TrayIconDoubleClickHandlerBringsTheFrameBackWithTheOptionsWindowThatClosedInTheTray) {
    MDIFrm& frame = ShowFrame();
    ASSERT_TRUE(frame.suite.Products.at(0).Product);
    frmSysTray& tray = frmSysTray::Default();
    tray.Activate(frame);
    // The frame goes into the notification area, and the options window closes itself there.
    // The heartbeat is held, so its idle release (once a second) has not freed the product yet.
    KillTimer(frame.Handle(), MDIFrm::Timer1Id);
    frame.SetWindowState(1);
    frame.Hide();
    FakeProducts::Set(A + L".Window", L"Visible", false);
    const int shown = ProductCallsTo(L"ShowForm");

    // The user double-clicks the icon: down, up, double click, up, as the shell reports them.
    for (UINT message : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP})
        SendMessageW(tray.Handle(), TrayCallbackMessage, 0, message);
    EXPECT_TRUE(frame.Visible());
    EXPECT_EQ(frame.WindowState(), 0);
    EXPECT_GT(ProductCallsTo(L"ShowForm"), shown) << "the options window was opened again";
    EXPECT_TRUE(frame.suite.Products.at(0).Product);
    EXPECT_TRUE(presenter_.shown.empty());

    // Still loaded (shown, as a frame's child reads while the frame is back), it is not opened twice.
    FakeProducts::Set(A + L".Window", L"Visible", true);
    frame.SetWindowState(1);
    frame.Hide();
    const int again = ProductCallsTo(L"ShowForm");
    for (UINT message : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK, WM_LBUTTONUP})
        SendMessageW(tray.Handle(), TrayCallbackMessage, 0, message);
    EXPECT_TRUE(frame.Visible());
    EXPECT_EQ(ProductCallsTo(L"ShowForm"), again);
}
