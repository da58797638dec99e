#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "ChildTest.h"
#include "DataTestSupport.h"
#include "MessageCounts.h"
#include "ScanTestSupport.h"
#include "TestSupport.h"
#include "UserInput.h"
#include "basData.h"
#include "basErrorHandler.h"
#include "basExeScan.h"
#include "basIniFile.h"
#include "basMessageHandler.h"
#include "basProgramList.h"
#include "basStrings.h"
#include "basTextFiles.h"
#include "basWinAPI_Windows.h"
#include "frmDoingStuff.h"
#include "vb/VbApp.h"
#include "vb/VbError.h"
#include "vb/VbScreen.h"
#include "zip/ZipArchive.h"

namespace {

using scantest::FakeScanHost;
using scantest::PlaceStub;

long IniLong(const wchar_t* key) { return IniFile(IniRead, key, {}, vb::Variant(0L)).ToLong(); }
std::wstring IniText(const std::wstring& key) { return IniFile(IniRead, key, {}, vb::Variant(L".")).ToString(); }
void IniSet(const wchar_t* key, const vb::Variant& value) { IniFile(IniWrite, key, value); }

std::vector<std::wstring> Fields(const std::wstring& line) { return vb::Split(line, L"|"); }

std::vector<std::wstring> Lines(const std::wstring& path) {
    std::vector<std::wstring> lines;
    ReadTextLines(path, lines);
    return lines;
}

// Settings, working folder and a tree of programs of this process's own.
class ScanFixture : public ::testing::Test {
protected:
    void SetUp() override {
        SetMessageRows(LibraryMessageRow);
        iniFolder = testsupport::FreshTempFolder(L"lxini");
        SetIniFolderOverride(iniFolder);
        work = testsupport::FreshTempFolder(L"lxwork");
        UseDataFolder(work);
        tree = scantest::FreshRootFolder(L"lxscan");
        testsupport::RemoveTree(tree);
        CreateDirectoryW(tree.c_str(), nullptr);
        host.drives = {L"Ok", tree + L"\\"};
        SetDetailingObserver(nullptr);
    }
    void TearDown() override {
        SetDetailingObserver(nullptr);
        if (frmDoingStuff* f = frmDoingStuff::Existing()) {
            f->SetClosedByCode(true);
            f->Close();
        }
        win::DefaultInstance<frmDoingStuff>::Release();
        SetIniFolderOverride(L"");
        testsupport::RemoveTree(tree);
        testsupport::RemoveTree(work);
        testsupport::RemoveTree(iniFolder);
        ErrorHandler(ehClearAll);
        vb::Err().Clear();
    }
    // A small tree: one program of each kind, and enough plain ones for the progress steps.
    void PlaceTree() {
        ASSERT_TRUE(PlaceStub(L"stub_full", tree + L"\\Apps\\ledger.exe"));
        ASSERT_TRUE(PlaceStub(L"stub_noname", tree + L"\\Apps\\noname.exe"));
        ASSERT_TRUE(PlaceStub(L"stub_nodot", tree + L"\\Tools\\nodot.exe"));
        ASSERT_TRUE(PlaceStub(L"stub_nocompany", tree + L"\\Tools\\Lonely Tool Deluxe.exe"));
        ASSERT_TRUE(PlaceStub(L"stub_noresource", tree + L"\\Tools\\bare.exe"));
        ASSERT_TRUE(PlaceStub(L"stub_full", tree + L"\\Templates\\ledger.exe"));
        for (int i = 1; i <= 14; ++i)
            ASSERT_TRUE(PlaceStub(L"stub_full", tree + L"\\Many\\copy" + std::to_wstring(i) + L".exe"));
        WriteBytes(tree + L"\\Apps\\readme.txt", "not a program");
    }
    std::wstring ExeFile() { return GetExeFilePath(); }

    std::wstring iniFolder, work, tree;
    FakeScanHost host;
    FakePresenter boxes;
};

// ---- detailing of one file ----

class DetailingTest : public ScanFixture {
protected:
    void TearDown() override {
        for (const std::wstring& f : extraFolders) testsupport::RemoveTree(f);
        HKEY applications;
        if (RegOpenKeyExW(HKEY_CLASSES_ROOT, L"Applications", 0, KEY_ALL_ACCESS, &applications) == ERROR_SUCCESS) {
            RegDeleteKeyW(applications, L"qledger_lx.exe");
            RegCloseKey(applications);
        }
        ScanFixture::TearDown();
    }
    std::vector<std::wstring> extraFolders;
};

TEST_F(DetailingTest, OneFileAsATable) {
    const std::wstring pid = std::to_wstring(GetCurrentProcessId());
    const std::wstring inSystem = JoinPaths(SystemFolder(), L"lxq" + pid);
    const std::wstring inWindows = JoinPaths(WindowsFolder(), L"lxq" + pid);
    extraFolders = {inSystem, inWindows};
    struct Row {
        const wchar_t* stub;
        std::wstring path;
        std::wstring description, version, status;
    };
    const std::vector<Row> rows = {
        {L"stub_full", tree + L"\\Old Patches\\ledger.exe", L"Quillon Test Works - Ledger Keeper", L"3.1.4", L"NE"},
        {L"stub_full", tree + L"\\Apps\\ledger.exe", L"Quillon Test Works - Ledger Keeper", L"3.1.4", L"OK"},
        {L"stub_full", tree + L"\\My TEMPLATES\\ledger.exe", L"Quillon Test Works - Ledger Keeper", L"3.1.4", L"NE"},
        {L"stub_full", inSystem + L"\\ledger.exe", L"Quillon Test Works - Ledger Keeper", L"3.1.4", L"SD"},
        {L"stub_full", inWindows + L"\\ledger.exe", L"Quillon Test Works - Ledger Keeper", L"3.1.4", L"WD"},
        {L"stub_nodot", inSystem + L"\\nodot.exe", L"Quillon Test Works - Dotless Tool", L"No version info.", L"NE"},
        {L"stub_noname", tree + L"\\Apps\\noname.exe", L"Quillon - Missing info.", L"1.0", L"NE"},
        {L"stub_nocompany", tree + L"\\Apps\\lonely.exe", L"lonely.exe - Lonely Tool", L"2.0", L"OK"},
        {L"stub_noresource", tree + L"\\Apps\\Bare One.exe", L"Bare One.exe - Missing info.", L"No version info.",
         L"NE"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.path);
        ASSERT_TRUE(PlaceStub(row.stub, row.path));
        std::wstring key;
        const std::wstring line = DetailExeFile(row.path, key);
        const std::vector<std::wstring> f = Fields(line);
        ASSERT_EQ(f.size(), 5u) << line;
        EXPECT_EQ(f[0], row.description);
        EXPECT_EQ(f[1], row.version);
        EXPECT_EQ(f[2], row.status);
        EXPECT_EQ(f[3], row.path);
        wchar_t shortPath[MAX_PATH];
        GetShortPathNameW(row.path.c_str(), shortPath, MAX_PATH);
        EXPECT_EQ(f[4], shortPath);
        EXPECT_EQ(key, LowerCase(f[0] + f[1] + f[2] + f[3]));
    }

    // The program's own registry entry can keep it out of "Open With".
    HKEY key;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, L"Applications\\qledger_lx.exe", 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    RegSetValueExW(key, L"NoOpenWith", 0, REG_SZ, reinterpret_cast<const BYTE*>(L""), sizeof(wchar_t));
    RegCloseKey(key);
    std::wstring sortKey;
    EXPECT_EQ(Fields(DetailExeFile(tree + L"\\Apps\\ledger.exe", sortKey))[2], L"NE");
}

TEST_F(DetailingTest, MarksAreWrittenOnlyWhileDetailingIsLogged) {
    ASSERT_TRUE(PlaceStub(L"stub_full", tree + L"\\Apps\\ledger.exe"));
    std::wstring key;
    DetailExeFile(tree + L"\\Apps\\ledger.exe", key);
    EXPECT_EQ(IniText(L"File"), L".");
    EXPECT_EQ(IniText(L"Detail"), L".");
    Detail2Ini(L"forced", true);
    EXPECT_EQ(IniText(L"Detail"), L"forced");
    std::wstring defaultText;
    IniFile(IniWrite, L"Detail", vb::Variant(L""));
    EXPECT_EQ(Ini2Detail(defaultText), L"Not Set");
    EXPECT_EQ(defaultText, L"Not Set") << "the caller's empty default is replaced";
}

TEST_F(ScanFixture, ProblemFilesGrowAndAreReadBack) {
    IniSet(L"File", vb::Variant(L"  C:\\x\\crash.exe  "));
    MoveCrashedFile();
    IniSet(L"File", vb::Variant(L"C:\\y\\second.exe"));
    MoveCrashedFile();
    IniSet(L"File", vb::Variant(L"."));
    MoveCrashedFile();  // not set: nothing moves
    EXPECT_EQ(GetProblemFiles(), (std::vector<std::wstring>{L"", L"C:\\x\\crash.exe", L"C:\\y\\second.exe"}));
    EXPECT_EQ(IniText(L"File2"), L".");
}

TEST_F(ScanFixture, SavedDetailsReloadWithinTheFoundList) {
    CreateDirectoryW(GetRecoveryFolder().c_str(), nullptr);
    EXPECT_EQ(PopulateArrayWithProgressivelySavedDetails(), 0) << "no detail list: nothing reloaded";
    std::vector<std::wstring>& lines = ProgramLines();
    lines = {L"", L"a", L"b"};
    SaveProgress(L"");
    SaveProgress(L"A|1|OK|a|a");
    EXPECT_EQ(PopulateArrayWithProgressivelySavedDetails(), 2);
    EXPECT_EQ(lines, (std::vector<std::wstring>{L"", L"A|1|OK|a|a", L"b"}));
    SaveProgress(L"B|1|OK|b|b");
    SaveProgress(L"stray");
    EXPECT_EQ(PopulateArrayWithProgressivelySavedDetails(), 3) << "never past the found list";
    EXPECT_EQ(lines.size(), 3u);
}

// ---- whole scans ----

TEST_F(ScanFixture, CleanScanWritesTheSortedList) {
    PlaceTree();
    host.form.Show();
    EXPECT_TRUE(RefreshExeList(host, false));

    EXPECT_EQ(CountMessage(boxes, 4513), 1);
    EXPECT_EQ(boxes.beeps, static_cast<int>(boxes.shown.size()) + 1)
        << "the options window is on view: a beep, not a message";
    EXPECT_EQ(host.framesShown, 0);
    EXPECT_FALSE(host.cancelShown);
    EXPECT_EQ(host.interruptible, (std::vector<bool>{false, true}));
    EXPECT_TRUE(host.stamped);
    EXPECT_TRUE(host.dialogs.empty());

    const std::vector<std::wstring> lines = Lines(ExeFile());
    ASSERT_EQ(lines.size(), 20u);
    for (size_t i = 1; i < lines.size(); ++i)
        EXPECT_LT(GetExeLineKey(lines[i - 1]), GetExeLineKey(lines[i])) << "ordinal order of the keys";
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const std::wstring& l) {
        return l.find(L"\\Templates\\ledger.exe|") != std::wstring::npos && Fields(l)[2] == L"NE";
    }));
    for (const std::wstring& line : lines) {
        wchar_t shortPath[MAX_PATH];
        GetShortPathNameW(Fields(line)[3].c_str(), shortPath, MAX_PATH);
        EXPECT_EQ(Fields(line)[4], shortPath) << line;
    }
    const std::string bytes = ReadBytes(ExeFile());
    EXPECT_EQ(bytes.substr(bytes.size() - 2), "\r\n");
    EXPECT_EQ(bytes.find("\r\n\r\n"), std::string::npos) << "no empty line";

    EXPECT_FALSE(Exists(GetRecoveryFolder()));
    EXPECT_EQ(IniLong(L"Log Searching"), 0);
    EXPECT_EQ(IniLong(L"Log Detailing"), 0);
    EXPECT_EQ(IniText(L"Detail"), L"Completed Successfully");
    EXPECT_EQ(IniText(L"Detail Msg"), L"0");
    EXPECT_EQ(IniText(L"File"), L".") << "a clean scan leaves no file marks";
    EXPECT_EQ(IniText(L"Scanning Progress"), L"Starting Exe Detailing");
    EXPECT_TRUE(host.form.Visible());
    EXPECT_EQ(frmDoingStuff::Existing(), nullptr);
}

// The list is kept in the ANSI code page, where a name it cannot hold reads back as "?" and so
// sorts before the letters. The list must be in the order its look-up expects as it reads back.
TEST_F(ScanFixture, EveryLineOfAScanOverNamesOutsideTheCodePageIsFoundAgain) {
    const std::vector<std::wstring> folders = {L"Apps", L"Many", L"\x0416\x0443\x043a", L"\x4e2d\x6587", L"Zeta"};
    for (const std::wstring& name : folders)
        for (int i = 1; i <= 5; ++i)
            ASSERT_TRUE(PlaceStub(L"stub_full", tree + L"\\" + name + L"\\copy" + std::to_wstring(i) + L".exe"));
    host.form.Show();
    ASSERT_TRUE(RefreshExeList(host, false));

    const std::vector<std::wstring> lines = Lines(ExeFile());
    ASSERT_EQ(lines.size(), folders.size() * 5);
    EXPECT_TRUE(std::any_of(lines.begin(), lines.end(),
                            [](const std::wstring& l) { return Fields(l)[3].find(L'?') != std::wstring::npos; }))
        << "the names did leave the code page";
    for (size_t i = 1; i < lines.size(); ++i)
        EXPECT_LT(GetExeLineKey(lines[i - 1]), GetExeLineKey(lines[i])) << vb::ToAnsi(lines[i]);
    SetProgramLines(lines);
    for (const std::wstring& line : lines) {
        const std::vector<std::wstring> f = Fields(line);
        EXPECT_TRUE(IsLineAsArrayValidExe({L".x", f[0], f[1], f[2] + L"-A", f[3], f[4]})) << vb::ToAnsi(line);
    }
    SetProgramLines({});
}

TEST_F(ScanFixture, HiddenOptionsWindowBringsTheHostFrameUp) {
    PlaceTree();
    EXPECT_TRUE(RefreshExeList(host, true));
    EXPECT_EQ(host.framesShown, 1);
    EXPECT_EQ(CountMessage(boxes, 4514), 1);
    EXPECT_EQ(boxes.beeps, 0 + static_cast<int>(boxes.shown.size())) << "each box beeps, nothing else";
    EXPECT_TRUE(host.cancelShown);
}

TEST_F(ScanFixture, OptionsWindowFormOfTheCall) {
    PlaceTree();
    bool ok = false;
    EXPECT_TRUE(RefreshExeList(host, true, true, true, false, ok));
    EXPECT_TRUE(ok);
    EXPECT_FALSE(host.cancelShown) << "Rescan False: a missing list must be made";
    host.drives = {L"Cancel"};
    ok = true;
    EXPECT_FALSE(RefreshExeList(host, true, true, true, true, ok));
    EXPECT_FALSE(ok);
    EXPECT_TRUE(host.cancelShown);
}

TEST_F(ScanFixture, CancelLeavesTheListUntouched) {
    PlaceTree();
    WriteBytes(ExeFile(), "old list line one|1.0|OK|c:\\a.exe|c:\\a.exe\r\n");
    host.drives = {L"Cancel", tree + L"\\"};
    EXPECT_FALSE(RefreshExeList(host, true));
    EXPECT_EQ(ReadBytes(ExeFile()), "old list line one|1.0|OK|c:\\a.exe|c:\\a.exe\r\n");
    EXPECT_EQ(host.interruptible, (std::vector<bool>{false, true}));
    EXPECT_EQ(IniLong(L"Log Searching"), 0);
    EXPECT_EQ(IniText(L"Detail"), L"Completed Successfully");
}

int g_stopAsked = 0;
const std::vector<ShownBox>* g_boxesShown = nullptr;

void StopWhenThirdFileIsReached(const std::wstring&) {
    static int seen = 0;
    if (++seen != 3) return;
    seen = 0;
    if (g_stopAsked > 0) return;  // asked once; the scan is on its way out
    // The user presses the progress window's close box and answers Yes.
    frmDoingStuff* f = frmDoingStuff::Existing();
    if (!f || !userinput::BringToFront(f->Handle())) return;
    // Over the small host form at the corner, the window hangs off the screen: the user drags it in.
    userinput::OntoTheScreen(f->Handle());
    const POINT closeBox = userinput::CloseBoxOf(f->Handle());
    if (closeBox.x < 0) return;
    const size_t asked = g_boxesShown->size();
    userinput::Click(closeBox);
    // The click comes in as the scan lets messages through; here it waits for the question.
    if (userinput::PumpUntil([&] { return g_boxesShown->size() > asked; })) ++g_stopAsked;
}

TEST_F(ScanFixture, StopDuringDetailingLeavesTheListAndTheRecoveryFiles) {
    PlaceTree();
    WriteBytes(ExeFile(), "old\r\n");
    host.form.Show();
    boxes.answers = {AnswerOk, AnswerYes};  // 4513, then the progress window's question
    g_stopAsked = 0;
    g_boxesShown = &boxes.shown;
    SetDetailingObserver(&StopWhenThirdFileIsReached);
    EXPECT_FALSE(RefreshExeList(host, true));
    EXPECT_EQ(g_stopAsked, 1) << "the click on the close box reached the progress window";
    EXPECT_EQ(ReadBytes(ExeFile()), "old\r\n");
    EXPECT_TRUE(Exists(GetExeListRecoveryPath())) << "the Recovery folder stays for a stopped scan";
    EXPECT_EQ(IniLong(L"Log Detailing"), 0) << "a stop is no crash";
    EXPECT_EQ(IniLong(L"Log Searching"), 0);
    EXPECT_EQ(boxes.beeps, static_cast<int>(boxes.shown.size())) << "no end-of-scan beep";
    EXPECT_EQ(frmDoingStuff::Existing(), nullptr);
}

// A host whose members fail where the test says.
class FailingHost : public FakeScanHost {
public:
    std::vector<std::wstring> DrivesToScan(bool showCancel) override {
        if (failDrives) vb::Raise(vb::ErrInternal);
        return FakeScanHost::DrivesToScan(showCancel);
    }
    void ShowCrashRecoveryChoices(const std::wstring& title, bool onlyMailAndCopy) override {
        if (failDialog) vb::Raise(vb::ErrInternal);
        FakeScanHost::ShowCrashRecoveryChoices(title, onlyMailAndCopy);
    }
    bool failDrives = false, failDialog = false;
};

TEST_F(ScanFixture, RunTimeErrorIsAFailureUnlessTheListWasWritten) {
    PlaceTree();
    FailingHost failing;
    failing.drives = host.drives;
    failing.failDrives = true;
    WriteBytes(ExeFile(), "old\r\n");
    EXPECT_FALSE(RefreshExeList(failing, true));
    EXPECT_EQ(ReadBytes(ExeFile()), "old\r\n");
    EXPECT_EQ(failing.interruptible, (std::vector<bool>{false, true})) << "the wrap-up still runs";
    EXPECT_EQ(IniText(L"Detail"), L"Completed Successfully");
    const size_t boxesAfterFirst = boxes.shown.size();
    EXPECT_GE(boxesAfterFirst, 2u) << "4513 and the error";

    // Failing in the closing dialog, after the list was written whole: the list stands.
    failing.failDrives = false;
    failing.failDialog = true;
    IniSet(L"Log Detailing", vb::Variant(2L));
    EXPECT_TRUE(RefreshExeList(failing, true));
    EXPECT_EQ(Lines(ExeFile()).size(), 20u);
    EXPECT_GT(boxes.shown.size(), boxesAfterFirst);
    ErrorHandler(ehClearAll);
}

TEST_F(ScanFixture, RunTimeErrorStillBringsTheHostFrameUp) {
    PlaceTree();
    FailingHost failing;
    failing.drives = host.drives;
    failing.failDrives = true;
    EXPECT_FALSE(RefreshExeList(failing, true));
    EXPECT_EQ(failing.framesShown, 1);
    EXPECT_EQ(CountMessage(boxes, 4514), 1);
    ErrorHandler(ehClearAll);
}

TEST_F(ScanFixture, AFailingProgressSaveIsReportedOnce) {
    // A folder stands where the detail list must be written.
    CreateDirectoryW(GetRecoveryFolder().c_str(), nullptr);
    ASSERT_TRUE(CreateDirectoryW(GetExeDetailRecoveryPath().c_str(), nullptr));
    for (int i = 0; i < 5; ++i) SaveProgress(L"A|1|OK|a|a");
    EXPECT_EQ(boxes.shown.size(), 1u);
    ErrorHandler(ehClearAll);
    RemoveDirectoryW(GetExeDetailRecoveryPath().c_str());

    // The next run saves its progress again.
    PlaceTree();
    EXPECT_TRUE(RefreshExeList(host, true));
    CreateDirectoryW(GetRecoveryFolder().c_str(), nullptr);
    SaveProgress(L"A|1|OK|a|a");
    EXPECT_EQ(ReadBytes(GetExeDetailRecoveryPath()), "A|1|OK|a|a\r\n");
}

TEST_F(ScanFixture, NothingFoundAsksToRescan) {
    // An empty tree: question 5008. Yes repeats the pass (drives asked again, no 4513), No writes an empty list.
    boxes.answers = {AnswerOk, AnswerYes, AnswerNo};
    EXPECT_TRUE(RefreshExeList(host, true));
    EXPECT_EQ(CountMessage(boxes, 4513), 1);
    EXPECT_EQ(CountMessage(boxes, 5008), 2);
    EXPECT_EQ(host.drivesAsked, 2);
    EXPECT_TRUE(Exists(ExeFile()));
    EXPECT_EQ(ReadBytes(ExeFile()), "");
}

// ---- crash recovery across runs ----

// The start states of a run and what the run makes of them.
TEST_F(ScanFixture, StartStatesAsATable) {
    PlaceTree();
    const std::wstring crashed = tree + L"\\Many\\copy3.exe";
    // The dialog at the start offers all four choices; the one at the end of a recorded run two.
    enum Dialog { None, AtStart, AtEnd };
    struct Row {
        const char* name;
        long searching, detailing;
        const wchar_t* detailMsg;  // "Detail Msg" before the run
        long dialogAnswer;
        bool result;
        int message4513, message4531, message4532;
        Dialog dialog;
        long searchingAfter, detailingAfter;
        bool crashedFileListed;
    };
    const Row rows[] = {
        {"clean", 0, 0, L"0", 2, true, 1, 0, 0, None, 0, 0, false},
        {"unrecorded search crash", 1, 0, L"0", 2, true, 0, 1, 0, None, 0, 0, false},
        {"unrecorded detailing crash", 0, 1, L"0", 2, true, 0, 1, 0, None, 0, 0, false},
        {"recorded search crash: mail", 2, 0, L"0", 0, false, 0, 0, 0, AtStart, 2, 0, false},
        {"recorded search crash: copy", 2, 1, L"0", 1, false, 0, 0, 0, AtStart, 2, 1, false},
        {"recorded search crash: leave", 2, 0, L"0", 2, false, 0, 0, 0, AtStart, 2, 0, false},
        {"recorded search crash: forget", 2, 2, L"0", 3, true, 0, 0, 0, AtStart, 0, 0, false},
        {"recorded detailing crash", 0, 2, L"0", 2, true, 0, 0, 1, AtEnd, 0, 0, true},
        {"recorded detailing crash, told before", 0, 2, L"1", 2, true, 0, 0, 0, AtEnd, 0, 0, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        boxes.shown.clear();
        host.dialogs.clear();
        host.dialogAnswer = row.dialogAnswer;
        IniSet(L"Log Searching", vb::Variant(row.searching));
        IniSet(L"Log Detailing", vb::Variant(row.detailing));
        IniSet(L"Detail Msg", vb::Variant(row.detailMsg));
        IniSet(L"Detail", vb::Variant(L"."));
        IniSet(L"File", vb::Variant(crashed));
        IniSet(L"File0", vb::Variant(L"."));
        DeleteFileW(ExeFile().c_str());
        EXPECT_EQ(RefreshExeList(host, true), row.result);
        EXPECT_EQ(CountMessage(boxes, 4513), row.message4513);
        EXPECT_EQ(CountMessage(boxes, 4531), row.message4531);
        EXPECT_EQ(CountMessage(boxes, 4532), row.message4532);
        ASSERT_EQ(host.dialogs.size(), row.dialog == None ? 0u : 1u);
        if (row.dialog == AtStart) {
            EXPECT_EQ(host.dialogs[0].title, L"Please select one of the options below.");
            EXPECT_FALSE(host.dialogs[0].onlyMailAndCopy);
        } else if (row.dialog == AtEnd) {
            EXPECT_EQ(host.dialogs[0].title.substr(0, 63),
                      L"Lumox had finished excluding the problem files on your computer");
            EXPECT_TRUE(host.dialogs[0].onlyMailAndCopy);
        }
        EXPECT_EQ(IniLong(L"Log Searching"), row.searchingAfter);
        EXPECT_EQ(IniLong(L"Log Detailing"), row.detailingAfter);
        EXPECT_EQ(Exists(ExeFile()), row.result);
        EXPECT_EQ(IniText(L"File0"), row.crashedFileListed ? crashed : L".");
        if (row.result) {
            const std::vector<std::wstring> lines = Lines(ExeFile());
            EXPECT_EQ(lines.size(), row.crashedFileListed ? 19u : 20u);
        }
        EXPECT_EQ(IniText(L"Detail"), L"Completed Successfully");
        EXPECT_EQ(IniText(L"Detail Msg"), L"0");
    }
}

// Runs this test program again as a separate process that scans and dies on the named file.
DWORD RunDyingScan(const std::wstring& ini, const std::wstring& work, const std::wstring& tree,
                   const std::wstring& dieAt) {
    SetEnvironmentVariableW(L"LX_SCAN_INI", ini.c_str());
    SetEnvironmentVariableW(L"LX_SCAN_WORK", work.c_str());
    SetEnvironmentVariableW(L"LX_SCAN_TREE", tree.c_str());
    SetEnvironmentVariableW(L"LX_SCAN_DIE_AT", dieAt.c_str());
    return testsupport::RunChildTest(L"ScanChild.DISABLED_ScanAndDie");
}

std::vector<std::wstring> g_detailed;
void RecordDetailed(const std::wstring& path) { g_detailed.push_back(path); }

TEST_F(ScanFixture, DeathDuringDetailingIsRecoveredOverTwoRuns) {
    PlaceTree();
    const std::wstring bad = tree + L"\\Many\\copy7.exe";

    // What an uninterrupted scan writes.
    IniSet(L"Log Searching", vb::Variant(0L));
    ASSERT_TRUE(RefreshExeList(host, true));
    std::vector<std::wstring> clean = Lines(ExeFile());
    ASSERT_EQ(clean.size(), 20u);
    clean.erase(std::remove_if(clean.begin(), clean.end(),
                               [&](const std::wstring& l) { return Fields(l)[3] == bad; }),
                clean.end());
    ASSERT_EQ(clean.size(), 19u);
    WriteBytes(ExeFile(), "kept\r\n");

    // Run 1 dies on the bad file without records: detailing level 1, the found list saved.
    ASSERT_EQ(RunDyingScan(iniFolder, work, tree, bad), 7u);
    EXPECT_EQ(IniLong(L"Log Searching"), 0);
    EXPECT_EQ(IniLong(L"Log Detailing"), 1);
    EXPECT_EQ(IniText(L"File"), L".");
    EXPECT_TRUE(Exists(GetExeListRecoveryPath()));
    EXPECT_FALSE(Exists(GetExeDetailRecoveryPath()));
    EXPECT_EQ(ReadBytes(ExeFile()), "kept\r\n");

    // Run 2 records its way and dies on the same file: level 2, the file named, the lines before it saved.
    ASSERT_EQ(RunDyingScan(iniFolder, work, tree, bad), 7u);
    EXPECT_EQ(IniLong(L"Log Detailing"), 2);
    EXPECT_EQ(IniText(L"File"), bad);
    EXPECT_EQ(IniText(L"Detail"), L"REL-GetFileInfo");
    const std::vector<std::wstring> found = Lines(GetExeListRecoveryPath());
    const long badIndex = static_cast<long>(std::find(found.begin(), found.end(), bad) - found.begin());
    ASSERT_LT(badIndex, static_cast<long>(found.size()));
    const std::vector<std::wstring> saved = Lines(GetExeDetailRecoveryPath());
    EXPECT_EQ(static_cast<long>(saved.size()), badIndex);
    EXPECT_EQ(ReadBytes(ExeFile()), "kept\r\n");

    // Run 3 moves the file to the problem list, resumes where the records end and finishes.
    g_detailed.clear();
    SetDetailingObserver(&RecordDetailed);
    boxes.shown.clear();
    EXPECT_TRUE(RefreshExeList(host, true));
    EXPECT_EQ(IniText(L"File0"), bad);
    EXPECT_EQ(CountMessage(boxes, 4532), 1);
    EXPECT_EQ(CountMessage(boxes, 4513) + CountMessage(boxes, 4531), 0);
    EXPECT_EQ(g_detailed.size(), found.size() - 1 - static_cast<size_t>(badIndex))
        << "only the elements after the crashed one are detailed";
    EXPECT_EQ(std::count(g_detailed.begin(), g_detailed.end(), bad), 0);
    EXPECT_EQ(Lines(ExeFile()), clean);
    ASSERT_EQ(host.dialogs.size(), 1u);
    EXPECT_TRUE(host.dialogs[0].onlyMailAndCopy);
    EXPECT_FALSE(Exists(GetRecoveryFolder()));
    EXPECT_EQ(IniLong(L"Log Detailing"), 0);
    EXPECT_EQ(IniLong(L"Log Searching"), 0);

    // Run 4 is a fresh scan that still passes over the problem file, whatever its capitalisation.
    IniSet(L"File0", vb::Variant(LowerCase(bad)));
    g_detailed.clear();
    boxes.shown.clear();
    EXPECT_TRUE(RefreshExeList(host, true));
    EXPECT_EQ(CountMessage(boxes, 4513), 1);
    EXPECT_EQ(CountMessage(boxes, 4532), 0);
    EXPECT_EQ(g_detailed.size(), 19u);
    EXPECT_EQ(Lines(ExeFile()), clean);
    EXPECT_EQ(host.dialogs.size(), 1u) << "no dialog after a clean run";
}

// The archive beside this test program and the real working folder, as a start of the options
// window finds them.
class ScanArchiveTest : public ScanFixture {
protected:
    void SetUp() override {
        ScanFixture::SetUp();
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        dataFolder = JoinPaths(RootFolder(), L"Data");
        testsupport::RemoveTree(dataFolder);
        CreateDirectoryW(dataFolder.c_str(), nullptr);
        GetWorkingFolder();
        lopt = WorkingFolder();
        testsupport::RemoveTree(lopt);
        check = testsupport::FreshTempFolder(L"lxcheck");
    }
    void TearDown() override {
        testsupport::RemoveTree(check);
        testsupport::RemoveTree(lopt);
        testsupport::RemoveTree(dataFolder);
        CoUninitialize();
        ScanFixture::TearDown();
    }
    void MakeArchive() {
        const std::vector<std::pair<std::wstring, std::string>> members = {
            {L"Tesselcat.xml", "<?xml version=\"1.0\" ?>\r\n<MorvaTessel>\r\n</MorvaTessel>\r\n"},
            {L"TesselExe.dat", "Acme - Edit|1.0|OK|C:\\e.exe|C:\\E.EXE\r\n"}};
        std::vector<std::wstring> paths;
        for (const auto& [name, content] : members) {
            paths.push_back(JoinPaths(check, name));
            WriteBytes(paths.back(), content);
        }
        ASSERT_EQ(zip::PackFiles(GetArchivePath(), paths, ArchivePassword), zip::ZipResult::Ok);
        for (const std::wstring& path : paths) DeleteFileW(path.c_str());
    }
    // The program list the archive holds now.
    std::string ArchivedProgramList() {
        const std::wstring into = JoinPaths(check, L"archive");
        testsupport::RemoveTree(into);
        CreateDirectoryW(into.c_str(), nullptr);
        EXPECT_EQ(zip::UnpackFiles(GetArchivePath(), into, ArchivePassword), zip::ZipResult::Ok);
        return ReadBytes(JoinPaths(into, L"TesselExe.dat"));
    }

    std::wstring dataFolder, lopt, check;
};

// Runs this test program again as a separate process that opens the data, scans and ends
// without closing anything; answers its exit code.
DWORD RunScanThatEndsWithoutAClose(const std::wstring& ini, const std::wstring& tree) {
    SetEnvironmentVariableW(L"LX_SCAN_INI", ini.c_str());
    SetEnvironmentVariableW(L"LX_SCAN_TREE", tree.c_str());
    return testsupport::RunChildTest(L"ScanChild.DISABLED_OpenScanAndEnd");
}

// A scan takes minutes; what it found must survive a process that ends before the window closes,
// even when the working folder is gone by the next start (a temp-folder cleaner, a new session).
TEST_F(ScanArchiveTest, AScanReachesTheArchiveBeforeTheWindowCloses) {
    ASSERT_TRUE(PlaceStub(L"stub_full", tree + L"\\Apps\\ledger.exe"));
    ASSERT_TRUE(PlaceStub(L"stub_nocompany", tree + L"\\Tools\\Lonely Tool Deluxe.exe"));
    struct Case {
        const char* what;
        bool workingFolderCleared;
    };
    const Case cases[] = {{"the working folder as the process left it", false},
                          {"the working folder cleared before the next start", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testsupport::RemoveTree(lopt);
        MakeArchive();
        const std::string before = ArchivedProgramList();

        ASSERT_EQ(RunScanThatEndsWithoutAClose(iniFolder, tree), 5u);
        const std::string scanned = ReadBytes(JoinPaths(lopt, L"TesselExe.dat"));
        ASSERT_NE(scanned.find("Lonely Tool"), std::string::npos) << "the scan wrote its list";
        ASSERT_NE(scanned, before);
        EXPECT_EQ(ArchivedProgramList(), scanned);

        // The next start.
        if (c.workingFolderCleared) testsupport::RemoveTree(lopt);
        ASSERT_TRUE(UnpackFiles());
        EXPECT_EQ(ReadBytes(GetExeFilePath()), scanned);
        EXPECT_TRUE(boxes.shown.empty());
        PackFiles();
    }
}

// The child process of the test above (run only by it).
TEST(ScanChild, DISABLED_OpenScanAndEnd) {
    wchar_t ini[MAX_PATH] = {}, tree[MAX_PATH] = {};
    GetEnvironmentVariableW(L"LX_SCAN_INI", ini, MAX_PATH);
    GetEnvironmentVariableW(L"LX_SCAN_TREE", tree, MAX_PATH);
    SetMessageRows(LibraryMessageRow);
    SetIniFolderOverride(ini);
    FakePresenter boxes;
    FakeScanHost host;
    host.drives = {L"Ok", std::wstring(tree) + L"\\"};
    if (!UnpackFiles()) ExitProcess(3);
    if (!RefreshExeList(host, true)) ExitProcess(4);
    ExitProcess(5);  // no close: nothing packs the working folder
}

// The child process of the crash test (run only by it).
void DieOnTheNamedFile(const std::wstring& path) {
    wchar_t dieAt[MAX_PATH] = {};
    GetEnvironmentVariableW(L"LX_SCAN_DIE_AT", dieAt, MAX_PATH);
    if (vb::TextEquals(path, dieAt)) ExitProcess(7);
}

TEST(ScanChild, DISABLED_ScanAndDie) {
    wchar_t ini[MAX_PATH] = {}, work[MAX_PATH] = {}, tree[MAX_PATH] = {};
    GetEnvironmentVariableW(L"LX_SCAN_INI", ini, MAX_PATH);
    GetEnvironmentVariableW(L"LX_SCAN_WORK", work, MAX_PATH);
    GetEnvironmentVariableW(L"LX_SCAN_TREE", tree, MAX_PATH);
    SetMessageRows(LibraryMessageRow);
    SetIniFolderOverride(ini);
    UseDataFolder(work);
    FakePresenter boxes;
    FakeScanHost host;
    host.drives = {L"Ok", std::wstring(tree) + L"\\"};
    SetDetailingObserver(&DieOnTheNamedFile);
    RefreshExeList(host, true);
    ExitProcess(3);  // it was meant to die on the way
}

}  // namespace
