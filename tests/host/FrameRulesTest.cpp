// The frame's rules on their own: the close decisions against a fake frame, the screen clamps
// and the spacer, the tray's messages and tip, the splash's label scaling, the web pages and
// help topics, the version labels, and the system-information tool's registry look-up.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "AboutSysInfo.h"
#include "FakePresenter.h"
#include "FrameClose.h"
#include "FrameLayout.h"
#include "HostAddresses.h"
#include "HostTestSupport.h"
#include "HostVersion.h"
#include "HostWeb.h"
#include "TestSupport.h"
#include "frmSplash.h"
#include "frmSysTray.h"
#include "vb/VbError.h"
#include "vb/VbText.h"

using namespace hosttest;

namespace {

// ---- close decisions ----

class FakeClosingFrame : public ClosingFrame {
public:
    bool ProductBusy() override {
        steps.push_back(L"busy?");
        return busy;
    }
    void ExitWaits() override { steps.push_back(L"exit waits"); }
    void ExitGoesAhead() override { steps.push_back(L"waiting exit settled"); }
    void SavePlacement() override { steps.push_back(L"save"); }
    int CurrentWindowState() const override { return state; }
    bool AskExit() override {
        steps.push_back(L"ask");
        if (askFails) throw vb::Error(vb::ErrObject{5, L"no", L"", L"", 0, 0});
        return exit;
    }
    void Minimize() override { steps.push_back(L"minimize"); }
    void StopTimer() override { steps.push_back(L"timer off"); }
    void EndMeter() override { steps.push_back(L"meter off"); }
    void UnloadMdiChildren() override {
        steps.push_back(L"children");
        if (childrenFail) throw vb::Error(vb::ErrObject{438, L"no", L"", L"", 0, 0});
    }
    void HookOff() override { steps.push_back(L"hook off"); }
    void SetHookPanel(const std::wstring& text) override { steps.push_back(L"panel " + text); }

    bool busy = false, exit = false, askFails = false, childrenFail = false;
    int state = 0;
    std::vector<std::wstring> steps;
};

const std::vector<std::wstring> kExitPath = {L"timer off", L"meter off", L"children", L"hook off",
                                             L"panel Lumox is Off"};

std::vector<std::wstring> Then(std::vector<std::wstring> first, const std::vector<std::wstring>& rest) {
    first.insert(first.end(), rest.begin(), rest.end());
    return first;
}

}  // namespace

TEST(FrameClose, Decisions) {
    struct Case {
        const char* name;
        bool busy;
        int state;
        bool exit;
        CloseMode mode;
        bool cancel;
        std::vector<std::wstring> steps;
    };
    const Case cases[] = {
        {"busy product keeps the frame as it is until its work ends", true, 0, true, CloseMode::User, true,
         {L"busy?", L"exit waits"}},
        {"minimize chosen", false, 0, false, CloseMode::User, true,
         {L"busy?", L"waiting exit settled", L"save", L"ask", L"minimize"}},
        {"exit chosen", false, 0, true, CloseMode::User, false,
         Then({L"busy?", L"waiting exit settled", L"save", L"ask"}, kExitPath)},
        {"maximized asks too", false, 2, false, CloseMode::User, true,
         {L"busy?", L"waiting exit settled", L"save", L"ask", L"minimize"}},
        {"minimized exits without the question", false, 1, false, CloseMode::User, false,
         Then({L"busy?", L"waiting exit settled", L"save"}, kExitPath)},
        {"session end: no question, even with a busy product", true, 0, false, CloseMode::SessionEnd, false,
         Then({L"save"}, kExitPath)},
    };
    for (const Case& c : cases) {
        FakeClosingFrame frame;
        frame.busy = c.busy;
        frame.state = c.state;
        frame.exit = c.exit;
        EXPECT_EQ(FrameQueryUnload(frame, c.mode), c.cancel) << c.name;
        EXPECT_EQ(frame.steps, c.steps) << c.name;
    }
}

TEST(FrameClose, AFailingStepDoesNotStopTheClose) {
    FakeClosingFrame frame;
    frame.exit = true;
    frame.childrenFail = true;
    EXPECT_FALSE(FrameQueryUnload(frame, CloseMode::User));
    EXPECT_EQ(frame.steps, Then({L"busy?", L"waiting exit settled", L"save", L"ask"}, kExitPath));
    EXPECT_FALSE(vb::Err().IsCurrent());

    // A question that cannot be shown counts as no Exit: the frame is minimized, not closed.
    FakeClosingFrame failing;
    failing.askFails = true;
    EXPECT_TRUE(FrameQueryUnload(failing, CloseMode::User));
    EXPECT_EQ(failing.steps,
              (std::vector<std::wstring>{L"busy?", L"waiting exit settled", L"save", L"ask", L"minimize"}));
}

// ---- size rules ----

TEST(FrameLayout, KeepsTheFrameOnTheScreen) {
    const long sw = 15360, sh = 11520;
    struct Case {
        FrameBox in, out;
    };
    const Case cases[] = {
        {{1000, 500, 9000, 7000}, {1000, 500, 9000, 7000}},          // inside: unchanged
        {{12000, 500, 9000, 7000}, {10368, 500, 9000, 7000}},        // below the screen: 90 %
        {{-300, 500, 9000, 7000}, {576, 500, 9000, 7000}},           // above: 5 %
        {{1000, 500, 9000, 12000}, {1000, 500, 9000, 9994}},         // too tall: 95 % below Top
        {{12000, 500, 9000, 12000}, {10368, 500, 9000, 1094}},       // moved first, then sized from there
        {{1000, -800, 16000, 7000}, {1000, -800, 13824, 7000}},      // too wide: 90 %, Left kept
    };
    for (const Case& c : cases) {
        FrameBox got = KeepFrameOnScreen(c.in, sw, sh);
        EXPECT_EQ(got.top, c.out.top) << c.in.top << "," << c.in.height;
        EXPECT_EQ(got.left, c.out.left);
        EXPECT_EQ(got.width, c.out.width);
        EXPECT_EQ(got.height, c.out.height) << c.in.top << "," << c.in.height;
    }
}

TEST(FrameLayout, SpacerTakesTheFreeWidth) {
    // Frame 9600 twips wide, the other buttons 4500 twips, button 1 600 twips high, 15 twips a pixel:
    // (9600 - 4500) / 15 - 600 * 0.33 / 15 = 340 - 13.2.
    EXPECT_FLOAT_EQ(SpacerWidth(9600, 4500, 600, 15, 15), 326.8f);
    // A frame narrower than its buttons gives a negative width; the toolbar takes that as none.
    EXPECT_LT(SpacerWidth(3000, 4500, 600, 15, 15), 0.f);
    EXPECT_EQ(ToolbarMinWidth(600, 4500, 15, 15), 320);  // 20 + 300
}

// ---- tray ----

TEST(Tray, MessageTable) {
    struct Case {
        UINT message;
        TrayAction action;
    };
    const Case cases[] = {
        {WM_LBUTTONUP, TrayAction::ToggleFrame},   {WM_LBUTTONDBLCLK, TrayAction::ShowFrame},
        {WM_RBUTTONUP, TrayAction::PopupMenu},     {WM_MOUSEMOVE, TrayAction::None},
        {WM_LBUTTONDOWN, TrayAction::None},        {WM_RBUTTONDOWN, TrayAction::None},
        {WM_RBUTTONDBLCLK, TrayAction::None},      {0, TrayAction::None},
    };
    for (const Case& c : cases) EXPECT_EQ(TrayActionFor(c.message), c.action) << c.message;
}

TEST(Tray, TipIsCutToFitWithItsNul) {
    EXPECT_EQ(TrayTipText(L"Morva Lumox"), L"Morva Lumox");
    EXPECT_EQ(TrayTipText(L""), L"");
    std::wstring exact(63, L'x');
    EXPECT_EQ(TrayTipText(exact), exact);
    std::wstring longName(100, L'y');
    EXPECT_EQ(TrayTipText(longName), std::wstring(63, L'y'));
    EXPECT_EQ(TrayTipText(std::wstring(64, L'z')).size(), 63u);
}

// ---- splash ----

TEST(Splash, LabelsFollowTheScreenScale) {
    const double r = 15.0 / 12.0;
    LabelPlacement left = ScaleSplashLabel(0, 1200, 2400, 3000, r, r);
    EXPECT_DOUBLE_EQ(left.left, 1500);
    EXPECT_DOUBLE_EQ(left.top, 3000);
    LabelPlacement centred = ScaleSplashLabel(2, 1200, 2400, 3000, r, r);
    EXPECT_DOUBLE_EQ(centred.left, 1500);
    // Right-aligned: the right edge moves to its scaled place, the width stays.
    LabelPlacement right = ScaleSplashLabel(1, 1200, 2400, 3000, r, r);
    EXPECT_DOUBLE_EQ(right.left + 3000, (1200 + 3000) * r);
    EXPECT_DOUBLE_EQ(right.top, 3000);
    LabelPlacement other = ScaleSplashLabel(7, 1200, 2400, 3000, r, r);
    EXPECT_DOUBLE_EQ(other.left, 1200);
    EXPECT_DOUBLE_EQ(other.top, 2400);
}

// ---- web pages and help ----

TEST(WebPages, AddressesAndTopics) {
    const std::wstring home = MakerHomePage;
    struct Case {
        int index;
        std::wstring address;
    };
    const Case urls[] = {{0, home + L"faqs.html"},      {1, home + L"support.html"}, {2, home + L"contactus.html"},
                         {3, home + L"index.html"},     {4, home + L"store.html"},   {5, L""},
                         {-1, L""}};
    for (const Case& c : urls) EXPECT_EQ(UrlsMenuAddress(c.index), c.address) << c.index;
    EXPECT_EQ(SpecialMenuAddress(0), home + L"index.html?upgrade.html");
    EXPECT_EQ(SpecialMenuAddress(1), L"");
    EXPECT_EQ(StorePageUrl(), home + L"store.html");

    EXPECT_EQ(HelpMenuTopic(0), std::optional<long>(400));
    EXPECT_EQ(HelpMenuTopic(1), std::optional<long>(0));
    EXPECT_EQ(HelpMenuTopic(2), std::nullopt);
    EXPECT_EQ(TutorialsMenuTopic(0), std::optional<long>(300));
    EXPECT_EQ(TutorialsMenuTopic(1), std::nullopt);
}

namespace {
std::vector<std::pair<HWND, std::wstring>> g_pages;
void RecordPage(HWND owner, const std::wstring& address) { g_pages.emplace_back(owner, address); }
void ThrowingOpener(HWND, const std::wstring&) { throw 1; }
}  // namespace

TEST(WebPages, OpenedThroughTheOpenerAndFailuresIgnored) {
    g_pages.clear();
    WebPageOpener previous = SetWebPageOpener(RecordPage);
    OpenWebPage(nullptr, L"http://example.invalid/a.html");
    OpenWebPage(nullptr, L"");  // nothing to open
    ASSERT_EQ(g_pages.size(), 1u);
    EXPECT_EQ(g_pages[0].second, L"http://example.invalid/a.html");
    SetWebPageOpener(ThrowingOpener);
    EXPECT_NO_THROW(OpenWebPage(nullptr, L"http://example.invalid/b.html"));
    SetWebPageOpener(previous);
}

// ---- version labels ----

TEST(Version, LabelsFromOurOwnResource) {
    HostVersion v = OwnVersion();
    EXPECT_EQ(v.Major, 2);
    EXPECT_EQ(v.Minor, 1);
    EXPECT_EQ(v.Revision, 314);
    EXPECT_EQ(ShortVersionLabel(v), L"Version 2.1");
    EXPECT_EQ(LongVersionLabel(v), L"Version 2.1.314");
    EXPECT_FALSE(v.Comments.empty());
    EXPECT_NE(v.LegalCopyright.find(L"Morva Corporation"), std::wstring::npos);
}

// ---- system information ----

namespace {

std::vector<std::wstring> g_started;
bool g_startSucceeds = true;
bool RecordStart(const std::wstring& path) {
    g_started.push_back(path);
    return g_startSucceeds;
}

const wchar_t kMsinfoKey[] = L"SOFTWARE\\Microsoft\\Shared Tools\\MSINFO";
const wchar_t kLocationKey[] = L"SOFTWARE\\Microsoft\\Shared Tools Location";

void WriteValue(const wchar_t* key, const wchar_t* name, DWORD type, const void* data, DWORD size) {
    HKEY h = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, key, 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(h, name, 0, type, static_cast<const BYTE*>(data), size);
    RegCloseKey(h);
}
void WriteText(const wchar_t* key, const wchar_t* name, const std::wstring& text, DWORD type = REG_SZ) {
    WriteValue(key, name, type, text.c_str(), static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
}

class SysInfoTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_started.clear();
        g_startSucceeds = true;
        previous_ = SetSysInfoStarter(RecordStart);
        folder_ = testsupport::FreshTempFolder(L"sysinfo");
    }
    void TearDown() override {
        SetSysInfoStarter(previous_);
        testsupport::RemoveTree(folder_);
    }
    std::wstring MakeTool(const std::wstring& name) {
        std::wstring path = folder_ + L"\\" + name;
        HANDLE h = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
        CloseHandle(h);
        return path;
    }
    bool ShowedUnavailable() const {
        return presenter_.shown.size() == 1 && presenter_.shown[0].prompt == SysInfoUnavailableText &&
               presenter_.shown[0].title == AppTitle;
    }

    RegistryRedirect redirect_;
    FakePresenter presenter_;
    ProgramStarter previous_ = nullptr;
    std::wstring folder_;
};

}  // namespace

TEST_F(SysInfoTest, GetKeyValueByType) {
    const wchar_t key[] = L"SOFTWARE\\LumoxTest";
    DWORD one = 1, big = 0x01000010;
    WriteValue(key, L"one", REG_DWORD, &one, sizeof(one));
    WriteValue(key, L"big", REG_DWORD, &big, sizeof(big));
    WriteText(key, L"text", L"C:\\Tools\\msinfo32.exe");
    WriteText(key, L"expand", L"%SystemRoot%\\x.exe", REG_EXPAND_SZ);
    BYTE bytes[3] = {1, 2, 3};
    WriteValue(key, L"binary", REG_BINARY, bytes, 3);

    std::wstring value = L"kept";
    EXPECT_TRUE(GetKeyValue(HKEY_LOCAL_MACHINE, key, L"one", value));
    EXPECT_EQ(value, L"1");
    EXPECT_TRUE(GetKeyValue(HKEY_LOCAL_MACHINE, key, L"big", value));
    EXPECT_EQ(value, L"16777232");  // the zero bytes inside count
    EXPECT_TRUE(GetKeyValue(HKEY_LOCAL_MACHINE, key, L"text", value));
    EXPECT_EQ(value, L"C:\\Tools\\msinfo32.exe");
    EXPECT_TRUE(GetKeyValue(HKEY_LOCAL_MACHINE, key, L"expand", value));
    EXPECT_EQ(value, L"%SystemRoot%\\x.exe");  // as stored; the start expands it
    value = L"kept";
    EXPECT_TRUE(GetKeyValue(HKEY_LOCAL_MACHINE, key, L"binary", value));
    EXPECT_EQ(value, L"kept");
    EXPECT_FALSE(GetKeyValue(HKEY_LOCAL_MACHINE, key, L"missing", value));
    EXPECT_EQ(value, L"");
    value = L"kept";
    EXPECT_FALSE(GetKeyValue(HKEY_LOCAL_MACHINE, L"SOFTWARE\\NoSuchKey", L"one", value));
    EXPECT_EQ(value, L"");
}

TEST_F(SysInfoTest, NeitherValueShowsUnavailable) {
    StartSysInfo();
    EXPECT_TRUE(g_started.empty());
    EXPECT_TRUE(ShowedUnavailable());
}

TEST_F(SysInfoTest, LocationWithoutTheProgramShowsUnavailable) {
    WriteText(kLocationKey, L"MSINFO", folder_);
    StartSysInfo();
    EXPECT_TRUE(g_started.empty());
    EXPECT_TRUE(ShowedUnavailable());
}

TEST_F(SysInfoTest, LocationWithTheProgramStartsIt) {
    std::wstring tool = MakeTool(L"MSINFO32.EXE");
    WriteText(kLocationKey, L"MSINFO", folder_);
    StartSysInfo();
    ASSERT_EQ(g_started.size(), 1u);
    EXPECT_TRUE(vb::TextEquals(g_started[0], tool));
    EXPECT_TRUE(presenter_.shown.empty());
}

TEST_F(SysInfoTest, PathIsExpandedAndChecked) {
    std::wstring tool = MakeTool(L"info.exe");
    SetEnvironmentVariableW(L"LUMOX_SYSINFO_TEST", folder_.c_str());
    WriteText(kMsinfoKey, L"PATH", L"%LUMOX_SYSINFO_TEST%\\info.exe", REG_EXPAND_SZ);
    StartSysInfo();
    ASSERT_EQ(g_started.size(), 1u);
    EXPECT_TRUE(vb::TextEquals(g_started[0], tool));

    // A path to nowhere falls through to the location, then to the message.
    g_started.clear();
    WriteText(kMsinfoKey, L"PATH", folder_ + L"\\gone.exe");
    StartSysInfo();
    EXPECT_TRUE(g_started.empty());
    EXPECT_TRUE(ShowedUnavailable());
}

TEST_F(SysInfoTest, AStartThatFailsShowsUnavailable) {
    MakeTool(L"MSINFO32.EXE");
    WriteText(kLocationKey, L"MSINFO", folder_);
    g_startSucceeds = false;
    StartSysInfo();
    EXPECT_EQ(g_started.size(), 1u);
    EXPECT_TRUE(ShowedUnavailable());
}
