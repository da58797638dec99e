// The system wrappers: folders and version name, processes and regsvr32, menus, help and mail.
#include <windows.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "FakePresenter.h"
#include "HelpChild.h"
#include "LibraryMessages.h"
#include "basErrorHandler.h"
#include "basIO.h"
#include "basMain.h"
#include "basStrings.h"
#include "basWinAPI_Email.h"
#include "basWinAPI_Help.h"
#include "basWinAPI_Processes.h"
#include "basWinAPI_Windows.h"
#include "vb/VbApp.h"
#include "TestSupport.h"

namespace {

// A scratch folder under %TEMP% that goes away with the fixture.
class ScratchFolder {
public:
    explicit ScratchFolder(const std::wstring& name) : path_(testsupport::FreshTempFolder(name)) {}
    ~ScratchFolder() { testsupport::RemoveTree(path_); }
    const std::wstring& Path() const { return path_; }
    std::wstring operator/(const std::wstring& name) const { return JoinPaths(path_, name); }

private:
    std::wstring path_;
};

std::string ReadAll(const std::wstring& path) {
    std::ifstream f(std::filesystem::path(path), std::ios::binary);
    std::stringstream s;
    s << f.rdbuf();
    return s.str();
}

void WriteText(const std::wstring& path, const std::string& text) {
    std::ofstream f(std::filesystem::path(path), std::ios::binary);
    f << text;
}

class SystemTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetMessageRows(LibraryMessageRow);
        ErrorHandler(ehClearAll);
        vb::Err().Clear();
    }
    FakePresenter boxes;
};

// ---- Folders, version name, drives ----

TEST(SystemVersionName, NamesEveryRowOfTheTable) {
    struct Row {
        DWORD platform, major, minor;
        const wchar_t* name;
        bool sets9x;
    } rows[] = {
        {1, 4, 0, L"Windows 95", true},         {1, 4, 10, L"Windows 98", true},
        {1, 4, 90, L"Windows ME", true},        {1, 4, 3, L"Windows ?? P1", true},
        {2, 3, 51, L"Windows NT 3.51", false},  {2, 4, 0, L"Windows NT 4.0", false},
        {2, 5, 0, L"Windows 2000", false},      {2, 5, 1, L"Windows XP", false},
        {2, 5, 2, L"Windows ?? P2", false},     {2, 6, 1, L"Windows ?? P2", false},
        {0, 3, 10, L"Failed", false},           {3, 5, 1, L"Failed", false},
    };
    for (const Row& row : rows) {
        bool flag = false;
        EXPECT_EQ(WindowsVersionName(row.platform, row.major, row.minor, flag), row.name) << row.platform << row.major;
        EXPECT_EQ(flag, row.sets9x) << row.name;
        // An NT version leaves a flag that is already set alone.
        bool preset = true;
        WindowsVersionName(row.platform, row.major, row.minor, preset);
        EXPECT_TRUE(preset) << row.name;
    }
}

TEST(SystemVersionName, RunningSystemIsAnNtVersionAndLeavesTheFlag) {
    bool flag = false;
    std::wstring name = GetWindowsVersionName(flag);
    EXPECT_FALSE(flag);
    EXPECT_TRUE(name.rfind(L"Windows", 0) == 0) << name;
}

TEST(SystemFolders, FilledAsWindowsReportsThemOnEveryThread) {
    Main();
    wchar_t expected[MAX_PATH];
    GetWindowsDirectoryW(expected, MAX_PATH);
    EXPECT_EQ(WindowsFolder(), expected);
    GetSystemDirectoryW(expected, MAX_PATH);
    EXPECT_EQ(SystemFolder(), expected);

    // A thread that never ran the start-up still sees them.
    std::wstring seen;
    std::thread([&] { seen = SystemFolder(); }).join();
    EXPECT_EQ(seen, expected);
}

TEST(SystemFolders, WindowsOrSystemDriveIgnoresCase) {
    ASSERT_EQ(WindowsFolder().substr(0, 2), L"C:") << "the test prefix keeps Windows on C:";
    struct {
        const wchar_t* drive;
        bool mandatory;
    } rows[] = {
        {L"C:", true}, {L"c:", true}, {L"c:\\", true}, {L"C:\\Program Files", true},
        {L"T:", false}, {L"t:\\", false}, {L"", false},
    };
    for (const auto& row : rows) EXPECT_EQ(IsWindowsOrSystemDrive(row.drive), row.mandatory) << row.drive;
}

TEST(SystemFolders, SearchPathsFollowThePathVariable) {
    wchar_t saved[32767];
    DWORD had = GetEnvironmentVariableW(L"PATH", saved, 32767);
    struct {
        const wchar_t* path;
        std::vector<std::wstring> folders;  // from element 1 on
    } rows[] = {
        {L"C:\\a;C:\\b", {L"C:\\a", L"C:\\b"}},
        {L";C:\\a;", {L"C:\\a"}},
        {L"C:\\a;;C:\\b;", {L"C:\\a", L"", L"C:\\b"}},
        {L"C:\\only", {L"C:\\only"}},
        {L"", {}},
    };
    for (const auto& row : rows) {
        SetEnvironmentVariableW(L"PATH", row.path);
        LoadSearchPaths();
        const vb::List<std::wstring>& paths = SearchPaths();
        EXPECT_EQ(paths[0], L"") << row.path;
        std::vector<std::wstring> got(paths.begin(), paths.end());
        EXPECT_EQ(got, row.folders) << row.path;
    }
    SetEnvironmentVariableW(L"PATH", had ? saved : nullptr);
    LoadSearchPaths();
}

// ---- Processes and regsvr32 ----

std::wstring TestBinary(const wchar_t* name) { return JoinPaths(vb::AppPath(), name); }

TEST_F(SystemTest, ShellAndWaitGivesTheExitCodeAndClosesItsHandles) {
    std::wstring program = TestBinary(L"versioned.exe");
    DWORD code = 99;
    ASSERT_TRUE(ShellAndWaitUntilDone(program, L"0", &code));
    EXPECT_EQ(code, 0u);

    DWORD before = 0, after = 0;
    GetProcessHandleCount(GetCurrentProcess(), &before);
    for (int i = 0; i < 5; ++i) {
        EXPECT_TRUE(ShellAndWaitUntilDone(program, L"7", &code));
        EXPECT_EQ(code, 7u) << "a nonzero exit still counts as started and waited for";
    }
    GetProcessHandleCount(GetCurrentProcess(), &after);
    EXPECT_EQ(after, before) << "both the process and the thread handle are closed";
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(SystemTest, ShellAndWaitReportsAProgramThatCannotStart) {
    DWORD code = 0;
    EXPECT_FALSE(ShellAndWaitUntilDone(L"C:\\no\\such\\program.exe", L"", &code));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_NE(boxes.shown[0].prompt.find(L"ShellAndWaitUntilDone"), std::wstring::npos);
}

class RegisterDllTest : public SystemTest {
protected:
    void SetUp() override {
        SystemTest::SetUp();
        server_ = folder_ / L"Reg Target";
        CreateDirectoryW(server_.c_str(), nullptr);
        server_ = JoinPaths(server_, L"regtarget.dll");
        ASSERT_TRUE(CopyFileW(TestBinary(L"regtarget.dll").c_str(), server_.c_str(), FALSE));
        log_ = folder_ / L"calls.log";
        SetEnvironmentVariableW(L"LUMOX_REGTARGET_LOG", log_.c_str());
    }
    void TearDown() override {
        SetEnvironmentVariableW(L"LUMOX_REGTARGET_LOG", nullptr);
        SetEnvironmentVariableW(L"LUMOX_REGTARGET_FAIL", nullptr);
    }
    ScratchFolder folder_{L"LumoxRegTest"};
    std::wstring server_;
    std::wstring log_;
};

TEST_F(RegisterDllTest, UnregistersTwiceThenRegistersAPathWithABlank) {
    EXPECT_TRUE(RegisterDLL(server_));
    EXPECT_EQ(ReadAll(log_), "UUR") << "the blank in the folder name needs the quotes";

    DeleteFileW(log_.c_str());
    EXPECT_TRUE(RegisterDLL(L"\"" + server_ + L"\""));
    EXPECT_EQ(ReadAll(log_), "UUR") << "a quoted path is taken as it is";
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(RegisterDllTest, RunsTheSystemsRegsvr32NotANamesakeBesideTheProgram) {
    // A program named regsvr32 in the program's folder comes first on the search path.
    const std::wstring decoy = TestBinary(L"regsvr32.exe");
    ASSERT_TRUE(CopyFileW(TestBinary(L"versioned.exe").c_str(), decoy.c_str(), FALSE));
    const bool registered = RegisterDLL(server_);
    DeleteFileW(decoy.c_str());
    EXPECT_TRUE(registered);
    EXPECT_EQ(ReadAll(log_), "UUR") << "the system folder's regsvr32 did the work";
}

TEST_F(RegisterDllTest, FailedRegistrationIsNoSuccess) {
    SetEnvironmentVariableW(L"LUMOX_REGTARGET_FAIL", L"1");
    EXPECT_FALSE(RegisterDLL(server_)) << "regsvr32 ran, but the server refused";
    EXPECT_EQ(ReadAll(log_), "UUR");

    SetEnvironmentVariableW(L"LUMOX_REGTARGET_FAIL", nullptr);
    std::wstring notADll = folder_ / L"notes.dll";
    WriteText(notADll, "not a library");
    EXPECT_FALSE(RegisterDLL(notADll));
    EXPECT_FALSE(RegisterDLL(folder_ / L"missing.dll"));
    EXPECT_TRUE(boxes.shown.empty()) << "regsvr32 started fine each time; its verdict is no error of ours";
}

// ---- Menus ----

vb::Variant Item(long flags, long id, vb::Variant caption) {
    return vb::Variant(vb::Variant::Array{vb::Variant(flags), vb::Variant(id), std::move(caption)});
}

std::wstring MenuText(HMENU menu, UINT id) {
    wchar_t text[128] = {};
    GetMenuStringW(menu, id, text, 128, MF_BYCOMMAND);
    return text;
}

TEST_F(SystemTest, MenuItemsTakeConsecutiveIdsFromTheCounter) {
    HMENU menu = nullptr;
    vb::Variant items(vb::Variant::Array{Item(MF_STRING, -1, vb::Variant(L"Disable")),
                                         Item(MF_STRING, 42, vb::Variant(7L)),
                                         Item(MF_STRING, -1, vb::Variant()),  // no caption: not added
                                         Item(MF_STRING, -1, vb::Variant(L"Enable"))});
    std::vector<long> ids = CreateMenuItem(menu, items);
    ASSERT_NE(menu, nullptr) << "menu 0 makes a pop-up menu and hands it back";
    ASSERT_EQ(ids.size(), 3u);
    EXPECT_GE(ids[0], 5000);
    EXPECT_EQ(ids[1], 42);
    EXPECT_EQ(ids[2], ids[0] + 2) << "the skipped item still took its id";
    EXPECT_EQ(GetMenuItemCount(menu), 3);
    EXPECT_EQ(MenuText(menu, static_cast<UINT>(ids[0])), L"Disable");
    EXPECT_EQ(MenuText(menu, 42), L"7");

    // A second call goes on counting into the same menu.
    std::vector<long> more = CreateMenuItem(menu, vb::Variant(vb::Variant::Array{Item(MF_STRING, -1, L"More")}));
    ASSERT_EQ(more.size(), 1u);
    EXPECT_EQ(more[0], ids[2] + 1);
    EXPECT_EQ(GetMenuItemCount(menu), 4);

    HMENU untouched = nullptr;
    EXPECT_TRUE(CreateMenuItem(untouched, vb::Variant(L"not a list")).empty());
    EXPECT_EQ(untouched, nullptr);
    DestroyMenu(menu);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(SystemTest, MenuHandleFollowsTheSubMenuPositions) {
    HMENU bar = CreateMenu();
    HMENU file = CreatePopupMenu();
    HMENU recent = CreatePopupMenu();
    AppendMenuW(file, MF_STRING, 1, L"Open");
    AppendMenuW(file, MF_POPUP, reinterpret_cast<UINT_PTR>(recent), L"Recent");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"File");
    HWND window = CreateWindowExW(0, L"STATIC", L"menu test", WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, bar,
                                  nullptr, nullptr);
    ASSERT_NE(window, nullptr);

    EXPECT_EQ(GetVbMenuHandleItem(window), bar);
    EXPECT_EQ(GetVbMenuHandleItem(window, {0}), file);
    EXPECT_EQ(GetVbMenuHandleItem(window, {0, 1}), recent);
    EXPECT_TRUE(boxes.shown.empty());

    SetLastError(ERROR_INVALID_INDEX);
    EXPECT_EQ(GetVbMenuHandleItem(window, {0, 0}), nullptr) << "position 0 of File is an item, not a sub-menu";
    EXPECT_EQ(boxes.shown.size(), 1u);
    DestroyWindow(window);
}

// ---- Help ----

class FakeHelp : public HelpEngines {
public:
    FakeHelp() { previous_ = SetHelpEngines(this); }
    ~FakeHelp() { SetHelpEngines(previous_); }
    BOOL OpenWinHelp(HWND, const std::wstring& path, UINT command, ULONG_PTR data) override {
        calls.push_back(L"WinHelp|" + path + L"|" + std::to_wstring(command) + L"|" + std::to_wstring(data));
        return shows ? TRUE : FALSE;
    }
    HWND OpenHtmlHelp(HWND, const std::wstring& path, UINT command, DWORD_PTR data) override {
        calls.push_back(L"HtmlHelp|" + path + L"|" + std::to_wstring(command) + L"|" + std::to_wstring(data));
        return shows ? GetDesktopWindow() : nullptr;  // the desktop stands for the help window that opened
    }
    std::vector<std::wstring> calls;
    bool shows = true;  // false: the engine cannot show the file (damaged, or no engine)

private:
    HelpEngines* previous_;
};

// Lays (or removes) a help file beside the test program for a row.
void LayHelpFile(const std::wstring& path, bool present) {
    if (present)
        WriteText(path, "ITSF");
    else
        DeleteFileW(path.c_str());
}

TEST_F(SystemTest, HelpOpensTheChmBesideUsElseTheHlpAndNamesAMissingOrUnshownFile) {
    const std::wstring folder = vb::AppPath();
    const std::wstring chm = JoinPaths(folder, L"LumoxHelpProbe.chm");
    const std::wstring hlp = JoinPaths(folder, L"LumoxHelpProbe.hlp");
    const std::wstring host = JoinPaths(folder, L"Morva Utility Manager.hlp");
    const std::wstring notFound = L"Error -  53   :   h035";
    const std::wstring notShown = L"Error -  75   :   h04B";
    struct Row {
        bool chmExists, hlpExists, engineShows;
        const wchar_t* name;
        vb::Variant id;
        std::vector<std::wstring> calls;
        std::wstring box;     // the title of the one error box shown; empty: none
        std::wstring inBox;   // a file the box names
    };
    std::vector<Row> rows = {
        {true, false, true, L"LumoxHelpProbe", vb::Variant(77L), {L"HtmlHelp|" + chm + L"|15|77"}, L"", L""},
        {true, false, true, L"LumoxHelpProbe", vb::Variant(L"77"), {L"HtmlHelp|" + chm + L"|15|77"}, L"", L""},
        {true, false, true, L"LumoxHelpProbe", vb::Variant(400L), {L"HtmlHelp|" + chm + L"::/index.html|0|0"}, L"", L""},
        {true, false, true, L"LumoxHelpProbe", vb::Variant(static_cast<int16_t>(0)), {L"HtmlHelp|" + chm + L"|1|0"}, L"", L""},
        {false, true, true, L"LumoxHelpProbe", vb::Variant(0L), {L"WinHelp|" + hlp + L"|1|0"}, L"", L""},
        {false, true, true, L"LumoxHelpProbe", vb::Variant(77L), {L"WinHelp|" + hlp + L"|1|77"}, L"", L""},
        {false, true, true, L"LumoxHelpProbe", vb::Variant(400L), {L"WinHelp|" + host + L"|3|400"}, L"", L""},
        {false, true, true, L"LumoxHelpProbe", vb::Variant(L"contents"), {}, L"", L""},
        {false, true, true, L"LumoxHelpProbe.hlp", vb::Variant(12L), {L"WinHelp|" + hlp + L"|1|12"}, L"", L""},
        // No help file at all: the user is told, and no engine is asked.
        {false, false, true, L"LumoxHelpProbe", vb::Variant(static_cast<int16_t>(0)), {}, notFound, chm},
        {false, false, true, L"LumoxHelpProbe", vb::Variant(77L), {}, notFound, hlp},
        {false, false, true, L"LumoxHelpProbe", vb::Variant(400L), {}, notFound, host},
        {false, false, true, L"LumoxHelpProbe.hlp", vb::Variant(12L), {}, notFound, hlp},
        // A file the engine cannot show (damaged, or no engine on the system).
        {true, false, false, L"LumoxHelpProbe", vb::Variant(static_cast<int16_t>(0)), {L"HtmlHelp|" + chm + L"|1|0"}, notShown, chm},
        {true, false, false, L"LumoxHelpProbe", vb::Variant(77L), {L"HtmlHelp|" + chm + L"|15|77"}, notShown, chm},
        {false, true, false, L"LumoxHelpProbe", vb::Variant(77L), {L"WinHelp|" + hlp + L"|1|77"}, notShown, hlp},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::wstring(row.name) + L" " + row.id.ToString() + L" chm " + std::to_wstring(row.chmExists) +
                     L" hlp " + std::to_wstring(row.hlpExists) + L" shows " + std::to_wstring(row.engineShows));
        LayHelpFile(chm, row.chmExists);
        LayHelpFile(hlp, row.hlpExists);
        LayHelpFile(host, row.hlpExists);
        boxes.shown.clear();
        FakeHelp help;
        help.shows = row.engineShows;
        InvokeHelp(row.name, nullptr, row.id);
        EXPECT_EQ(help.calls, row.calls);
        if (row.box.empty()) {
            EXPECT_TRUE(boxes.shown.empty());
            continue;
        }
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].title, row.box);
        EXPECT_EQ(boxes.shown[0].style, StyleCritical);
        // The box names the file (the wrap only adds line breaks, so the text is read without them).
        std::wstring prompt = boxes.shown[0].prompt;
        prompt.erase(std::remove(prompt.begin(), prompt.end(), L'\r'), prompt.end());
        prompt.erase(std::remove(prompt.begin(), prompt.end(), L'\n'), prompt.end());
        EXPECT_NE(prompt.find(row.inBox), std::wstring::npos) << prompt;
        EXPECT_NE(prompt.find(L"InvokeHelp"), std::wstring::npos) << prompt;
        EXPECT_FALSE(vb::Err().IsCurrent()) << "the call returns with no error left behind";
    }
    for (const std::wstring& file : {chm, hlp, host}) DeleteFileW(file.c_str());
}

// The system's WinHelp asks in a box of its own, in its own process, when it cannot find a file:
// answers No in every such box that names fileName; answers how many it answered.
int AnswerHelpBoxesNaming(const std::wstring& fileName) {
    struct Search {
        std::wstring name;
        bool names = false;
        int answered = 0;
    } search{fileName};
    EnumWindows(
        [](HWND box, LPARAM param) -> BOOL {
            auto& s = *reinterpret_cast<Search*>(param);
            wchar_t windowClass[16]{};
            DWORD process = 0;
            GetWindowThreadProcessId(box, &process);
            if (process == GetCurrentProcessId() || !IsWindowVisible(box) ||
                !GetClassNameW(box, windowClass, 16) || std::wstring(windowClass) != L"#32770")
                return TRUE;
            s.names = false;
            EnumChildWindows(
                box,
                [](HWND control, LPARAM p) -> BOOL {
                    auto& inner = *reinterpret_cast<Search*>(p);
                    wchar_t text[512]{};
                    GetWindowTextW(control, text, 512);
                    if (std::wstring(text).find(inner.name) != std::wstring::npos) inner.names = true;
                    return TRUE;
                },
                param);
            if (s.names && PostMessageW(box, WM_COMMAND, IDNO, 0)) ++s.answered;
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&search));
    return search.answered;
}

TEST(SystemHelpEngine, WinHelpOnAMissingFileComesBackInAProcessOfItsOwn) {
    // In a process of its own, so a call that never comes back (or runs out of stack) ends only
    // that process and this test reads how it ended.
    const std::wstring child = JoinPaths(vb::AppPath(), L"help_engine_child.exe");
    const std::wstring name = L"NoSuchLumoxHelp.hlp";
    const std::wstring missing = JoinPaths(vb::AppPath(), name);
    DeleteFileW(missing.c_str());
    std::wstring commandLine = L"\"" + child + L"\" \"" + missing + L"\"";
    STARTUPINFOW start{};
    start.cb = sizeof(start);
    PROCESS_INFORMATION started{};
    ASSERT_TRUE(CreateProcessW(child.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &start,
                               &started));
    CloseHandle(started.hThread);
    // The watchdog: the system's "cannot find" box is answered as it shows, and the child has a
    // minute at most.
    DWORD waited = WAIT_TIMEOUT;
    for (int tick = 0; tick < 600 && waited == WAIT_TIMEOUT; ++tick) {
        waited = WaitForSingleObject(started.hProcess, 100);
        AnswerHelpBoxesNaming(name);
    }
    if (waited == WAIT_TIMEOUT) TerminateProcess(started.hProcess, 1);
    DWORD code = 0;
    GetExitCodeProcess(started.hProcess, &code);
    CloseHandle(started.hProcess);
    AnswerHelpBoxesNaming(name);
    ::WinHelpW(nullptr, missing.c_str(), HELP_QUIT, 0);  // ends the help program when it still runs

    ASSERT_EQ(waited, WAIT_OBJECT_0) << "the call came back within a minute";
    EXPECT_TRUE(code == helpchild::kReturnedRefused || code == helpchild::kReturnedShown)
        << "exit code 0x" << std::hex << code << " (0xC00000FD: the stack ran out)";
}

// ---- Mail ----

TEST(SystemMail, AddressCarriesTheGivenPartsInOrder) {
    struct {
        const wchar_t *to, *subject, *body, *cc, *bcc, *address;
    } rows[] = {
        {L"help@example.com", L"", L"", L"", L"", L"mailto:help@example.com"},
        {L"help@example.com", L"Crash", L"Line1%0D%0ALine2", L"", L"",
         L"mailto:help@example.com?Subject=Crash&Body=Line1%0D%0ALine2"},
        {L"a@b", L"", L"Text", L"c@d", L"e@f", L"mailto:a@b?Body=Text&CC=c@d&BCC=e@f"},
        {L"a@b", L"", L"", L"", L"e@f", L"mailto:a@b?BCC=e@f"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(BuildMailtoAddress(row.to, row.subject, row.body, row.cc, row.bcc), row.address);
}

std::vector<std::wstring> g_opened;
INT_PTR g_openResult = 42;
HINSTANCE FakeOpen(HWND, const std::wstring& address) {
    g_opened.push_back(address);
    return reinterpret_cast<HINSTANCE>(g_openResult);
}

TEST_F(SystemTest, MailResultDecidesBetweenSuccessMessageAndError) {
    ShellOpenFunction previous = SetShellOpenFunction(FakeOpen);
    g_opened.clear();

    g_openResult = 42;
    EXPECT_TRUE(SendMail(L"help@example.com", L"Hi", L""));
    ASSERT_EQ(g_opened.size(), 1u);
    EXPECT_EQ(g_opened[0], L"mailto:help@example.com?Subject=Hi");
    EXPECT_TRUE(boxes.shown.empty());

    g_openResult = 2;  // no mail program
    EXPECT_FALSE(SendMail(L"help@example.com", L"", L""));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_NE(boxes.shown[0].prompt.find(L"email program set on your computer"), std::wstring::npos) << boxes.shown[0].prompt;

    g_openResult = 5;  // anything else goes to the error trace
    EXPECT_FALSE(SendMail(L"help@example.com", L"", L""));
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_NE(boxes.shown[1].prompt.find(L"SendMail"), std::wstring::npos);

    SetShellOpenFunction(previous);
}

}  // namespace

TEST(SystemHelpEngine, HtmlHelpComesFromTheSystemFolderWhateverLiesBesideTheProgram) {
    // The program's folder holds a library named hhctrl.ocx that is not the system's; a help
    // call must still load the system's engine.
    ScratchFolder folder(L"HhPlant");
    const std::wstring child = folder / L"help_engine_child.exe";
    ASSERT_TRUE(CopyFileW(TestBinary(L"help_engine_child.exe").c_str(), child.c_str(), FALSE));
    ASSERT_TRUE(CopyFileW(TestBinary(L"regtarget.dll").c_str(), (folder / L"hhctrl.ocx").c_str(), FALSE));
    std::wstring commandLine = L"\"" + child + L"\" --html-engine \"" + (folder / L"NoSuchLumoxHelp.chm") + L"\"";
    STARTUPINFOW start{};
    start.cb = sizeof(start);
    PROCESS_INFORMATION started{};
    ASSERT_TRUE(CreateProcessW(child.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                               folder.Path().c_str(), &start, &started));
    CloseHandle(started.hThread);
    const DWORD waited = WaitForSingleObject(started.hProcess, 60000);
    if (waited == WAIT_TIMEOUT) TerminateProcess(started.hProcess, 1);
    DWORD code = 0;
    GetExitCodeProcess(started.hProcess, &code);
    CloseHandle(started.hProcess);
    ASSERT_EQ(waited, WAIT_OBJECT_0) << "the help call came back within a minute";
    EXPECT_EQ(code, helpchild::kEngineFromSystemFolder)
        << (code == helpchild::kEngineFromElsewhere ? "the hhctrl.ocx beside the program was loaded"
                                                    : "no help engine was loaded");
}
