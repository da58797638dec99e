// The options window in this process: inside a small MDI frame of the tests' own, its load
// sequence on a real archive, its by-name members, its timer step and its closing.
#include <windows.h>

#include <gtest/gtest.h>

#include "FakePresenter.h"
#include "LibraryMessages.h"
#include "OptionsMenus.h"
#include "OptionsWindowSupport.h"
#include "UserInput.h"
#include "basAliases.h"
#include "basCategories.h"
#include "basData.h"
#include "basIniFile.h"
#include "basMessageHandler.h"
#include "basProgramList.h"
#include "basStrings.h"
#include "basUserChoices.h"
#include "com/ComDispatch.h"
#include "frmInfo.h"
#include "frmTesselOptions.h"
#include "vb/VbError.h"
#include "zip/ZipArchive.h"

using namespace windowtest;

namespace {

const std::wstring kAddedEntry = L".zzq|Acme - Viewer 0|1.0|OK0|C:\\Apps\\prog0.exe|C:\\Apps\\prog0.exe";

vb::Variant Get(IDispatch* object, const wchar_t* name) {
    return com::CallByName(object, name, DISPATCH_PROPERTYGET);
}
void Put(IDispatch* object, const wchar_t* name, const vb::Variant& value) {
    com::CallByName(object, name, DISPATCH_PROPERTYPUT, {value});
}
void Call(IDispatch* object, const wchar_t* name) { com::CallByName(object, name, DISPATCH_METHOD); }

class OptionsWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        SetMessageRows(LibraryMessageRow);
        vb::Err().Clear();
        root = RootFolder();
        WriteArchive(root, {{L"Tesselcat.xml", CategoryFile()}, {L"TesselExe.dat", ProgramLines(8)}});
        archive = GetArchivePath();
        SetFirstRun(L"False");
        // A welcome note left by a first-run test would open a modal viewer.
        DeleteFileW(JoinPaths(root, L"Messages\\Lumox\\Welcome.app.note").c_str());
        SetProgramScan([this](ExeScanHost&, bool rescan) {
            scans.push_back(rescan);
            return scanResult;
        });
    }
    void TearDown() override {
        if (frmTesselOptions* w = frmTesselOptions::Existing()) {
            // Whatever the test left, the window goes: one never shown is simply destroyed.
            if (!w->Visible()) {
                DestroyWindow(w->Handle());
            } else {
                PumpUntil([&] { return !w->Loaded() || w->FormReadiness() != frLoading; }, 10000);
                if (frmTesselOptions::Existing()) frmTesselOptions::Existing()->RequestClose();
            }
        }
        frame.reset();
        SetProgramScan(nullptr);
        SetAssociationRestorerOpener(nullptr);
        Pump(50);
        vb::Err().Clear();
        CoUninitialize();
    }

    frmTesselOptions& OpenInFrame() {
        if (!frame) frame = std::make_unique<TestFrame>();
        frmTesselOptions* w = nullptr;
        EXPECT_TRUE(OpenOptionsWindow(w));
        return *w;
    }

    std::wstring root, archive;
    std::unique_ptr<TestFrame> frame;
    FakePresenter boxes;
    std::vector<bool> scans;
    bool scanResult = true;
};

TEST_F(OptionsWindowTest, OpensAsAnMdiChildOfTheFrameListedWithItsObject) {
    frmTesselOptions& w = OpenInFrame();
    ASSERT_TRUE(w.Loaded());
    EXPECT_EQ(w.FormReadiness(), frReady);
    EXPECT_TRUE(GetWindowLongW(w.Handle(), GWL_EXSTYLE) & WS_EX_MDICHILD);
    EXPECT_EQ(GetParent(w.Handle()), frame->MdiClient());
    ASSERT_EQ(frame->children.size(), 1u);
    EXPECT_EQ(frame->children[0].window, w.Handle());
    EXPECT_EQ(frame->children[0].form.Get(), w.Automation());
    EXPECT_TRUE(IsZoomed(w.Handle()));  // maximized inside the frame
    EXPECT_TRUE(w.TimerRunning());
    // The load filled the lists and the tree, and told the frame's status bar about it.
    EXPECT_EQ(w.lvwPrograms.Count(), 2);  // only "OK" lines with the boxes clear
    EXPECT_GT(w.lvwExts.Count(), 0);
    EXPECT_EQ(w.tvwChoices.Text(w.tvwChoices.FirstNode()), L"Graphics");
    EXPECT_NE(std::find(frame->panelWrites.begin(), frame->panelWrites.end(), L"Loading Programs"),
              frame->panelWrites.end());
    for (const ShownBox& box : boxes.shown) ADD_FAILURE() << vb::ToAnsi(box.prompt);
    EXPECT_TRUE(scans.empty());
    // A second activation does nothing more.
    w.Form_Activate();
    EXPECT_EQ(w.lvwPrograms.Count(), 2);
}

TEST_F(OptionsWindowTest, AnswersTheHostsMembersByName) {
    frmTesselOptions& w = OpenInFrame();
    IDispatch* form = w.Automation();
    EXPECT_EQ(Get(form, L"Name").ToString(), L"frmTesselOptions");
    EXPECT_TRUE(Get(form, L"Visible").ToBool());
    EXPECT_TRUE(Get(form, L"Interruptible").ToBool());
    Put(form, L"Interruptible", vb::Variant(false));  // as the program scan does while it runs
    EXPECT_FALSE(Get(form, L"Interruptible").ToBool());
    Put(form, L"Interruptible", vb::Variant(true));
    Put(form, L"MdiFrmWindowState", vb::Variant(static_cast<int16_t>(2)));
    EXPECT_EQ(w.MdiFrmWindowState(), 2);
    Call(form, L"TimerEvent");
    EXPECT_TRUE(w.Loaded());
    Put(form, L"ReturnValue", vb::Variant(static_cast<int16_t>(2)));
    EXPECT_TRUE(w.ReturnValue().IsInteger());
    EXPECT_EQ(w.ReturnValue().ToLong(), 2);
    EXPECT_EQ(Get(form, L"FormReadiness").ToLong(), frReady);
    std::wstring key = L"no such note";
    EXPECT_EQ(w.GetHowDoIFile(key), L"");
}

TEST_F(OptionsWindowTest, AMinimizedFrameUnloadsOnlyAReadyInterruptibleWindow) {
    frame = std::make_unique<TestFrame>();
    frmTesselOptions& w = frmTesselOptions::Default();
    w.ShowForm();
    IDispatch* form = w.Automation();
    form->AddRef();
    com::ComPtr<IDispatch> kept(form);
    // Still loading: neither the frame's state nor a close request ends it.
    ASSERT_EQ(w.FormReadiness(), frLoading);
    Put(form, L"MdiFrmWindowState", vb::Variant(static_cast<int16_t>(1)));
    Call(form, L"TimerEvent");
    EXPECT_TRUE(w.Loaded());
    EXPECT_FALSE(w.RequestClose());
    EXPECT_TRUE(w.Loaded());

    Put(form, L"MdiFrmWindowState", vb::Variant(static_cast<int16_t>(0)));
    ASSERT_TRUE(PumpUntil([&] { return w.FormReadiness() == frReady; }));
    // A running scan keeps it open.
    Put(form, L"Interruptible", vb::Variant(false));
    Put(form, L"MdiFrmWindowState", vb::Variant(static_cast<int16_t>(1)));
    Call(form, L"TimerEvent");
    EXPECT_TRUE(w.Loaded());
    Put(form, L"Interruptible", vb::Variant(true));
    Call(form, L"TimerEvent");
    EXPECT_FALSE(frmTesselOptions::Existing());
    EXPECT_TRUE(frame->children.empty());
    // The object outlives the window, and asking it never loads another.
    EXPECT_FALSE(Get(kept.Get(), L"Visible").ToBool());
    EXPECT_EQ(Get(kept.Get(), L"Name").ToString(), L"frmTesselOptions");
    EXPECT_FALSE(frmTesselOptions::Existing());
}

TEST_F(OptionsWindowTest, NoSelfUnloadWhileALibraryDialogIsOpen) {
    frmTesselOptions& w = OpenInFrame();
    frmInfo& info = frmInfo::Default();
    info.Show();
    w.SetMdiFrmWindowState(1);
    w.TimerEvent();
    EXPECT_TRUE(w.Loaded());
    info.Hide();
    w.TimerEvent();
    EXPECT_FALSE(w.Loaded());
    // The closing took the library's other windows along.
    EXPECT_FALSE(frmInfo::Existing());
}

TEST_F(OptionsWindowTest, ClosingPacksTheWorkingFolderIntoTheArchive) {
    frmTesselOptions& w = OpenInFrame();
    ASSERT_TRUE(w.Loaded());
    const std::wstring working = WorkingFolder();
    AddList().Add(kAddedEntry);
    w.SetNeedToSaveUserChoices(true);
    EXPECT_TRUE(w.RequestClose());
    EXPECT_FALSE(w.Loaded());
    EXPECT_EQ(GetFileAttributesW((working + L"\\Tesselcat.xml").c_str()), INVALID_FILE_ATTRIBUTES);

    const std::wstring check = testsupport::FreshTempFolder(L"packedcheck");
    ASSERT_EQ(zip::ZipResult::Ok, zip::UnpackFiles(archive, check, kPassword));
    EXPECT_NE(ReadFileBytes(check + L"\\TesselAdd.dat").find(vb::ToAnsi(kAddedEntry)), std::string::npos);
    EXPECT_FALSE(ReadFileBytes(check + L"\\Tesselcat.xml").empty());
    testsupport::RemoveTree(check);
    // For Info-ZIP to look at once this program has ended.
    const std::wstring written = root + L"\\written";
    CreateDirectoryW(written.c_str(), nullptr);
    CopyFileW(archive.c_str(), (written + L"\\TesselMorva.dat").c_str(), FALSE);
    WriteFileBytes(written + L"\\expected.txt", vb::ToAnsi(kAddedEntry) + "\n");
}

TEST_F(OptionsWindowTest, AFailedUnpackClosesTheWindowAndLeavesTheArchiveAsItWas) {
    const std::string damaged = "PK\x03\x04 this is not what it claims to be";
    WriteFileBytes(archive, damaged);
    frame = std::make_unique<TestFrame>();
    frmInfo::Default();  // another library window, loaded and hidden
    frmTesselOptions& w = frmTesselOptions::Default();
    w.ShowForm();
    ASSERT_TRUE(PumpUntil([&] { return !w.Loaded(); }));
    EXPECT_EQ(w.FormReadiness(), frFailed);
    EXPECT_FALSE(frmInfo::Existing());  // a failed load takes the others along too
    EXPECT_FALSE(boxes.shown.empty());  // the unpack reported its failure
    EXPECT_EQ(ReadFileBytes(archive), damaged);
    EXPECT_TRUE(frame->children.empty());
}

TEST_F(OptionsWindowTest, AFailedProgramScanClosesTheWindowAsAReadyOne) {
    WriteArchive(root, {{L"Tesselcat.xml", CategoryFile()}});
    scanResult = false;
    frmTesselOptions& w = OpenInFrame();
    EXPECT_FALSE(w.Loaded());
    EXPECT_EQ(w.FormReadiness(), frReady);
    EXPECT_EQ(scans, std::vector<bool>{false});
}

// The command id of a pop-up item, found by its caption in the native menu.
UINT MenuItemIdByCaption(HMENU menu, const std::wstring& caption) {
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[256] = {};
        GetMenuStringW(menu, static_cast<UINT>(i), text, 256, MF_BYPOSITION);
        if (std::wstring(text).rfind(caption, 0) == 0) return GetMenuItemID(menu, i);
    }
    return 0;
}

TEST_F(OptionsWindowTest, CloseMessagesDuringARescanWaitForItsEndAndItsNewListIsPacked) {
    frmTesselOptions& w = OpenInFrame();
    ASSERT_TRUE(w.Loaded());
    const std::string newList = ProgramLines(12);
    bool stillThere = false, interruptible = true;
    SetProgramScan([&](ExeScanHost&, bool) {
        WriteFileBytes(WorkingFolder() + L"\\TesselExe.dat", newList);
        // The close box (or Ctrl+F4) and a minimized frame's tick while the scan runs.
        SendMessageW(w.Handle(), WM_CLOSE, 0, 0);
        w.SetMdiFrmWindowState(1);
        w.TimerEvent();
        w.SetMdiFrmWindowState(0);
        Pump(100);
        stillThere = w.Loaded();
        interruptible = Get(w.Automation(), L"Interruptible").ToBool();
        return true;
    });
    const UINT refresh = MenuItemIdByCaption(w.Menus()->NativeMenu(mgPrgList), L"Refresh Exe's");
    ASSERT_NE(refresh, 0u);
    PostMessageW(w.Handle(), WM_COMMAND, refresh, 0);
    ASSERT_TRUE(PumpUntil([&] { return !w.Loaded(); }, 20000)) << "the close went ahead once the scan ended";
    EXPECT_TRUE(stillThere) << "the window stayed while its scan ran";
    EXPECT_FALSE(interruptible) << "the host is told not to close it meanwhile";
    const std::wstring check = testsupport::FreshTempFolder(L"rescancheck");
    ASSERT_EQ(zip::ZipResult::Ok, zip::UnpackFiles(archive, check, kPassword));
    EXPECT_EQ(ReadFileBytes(check + L"\\TesselExe.dat"), newList) << "the new program list reached the archive";
    testsupport::RemoveTree(check);
}

TEST_F(OptionsWindowTest, AFrameDestroyedDuringTheLoadStopsItAndANewWindowComesUp) {
    // No program list: the load starts with a scan, and the frame goes while it runs.
    WriteArchive(root, {{L"Tesselcat.xml", CategoryFile()}});
    frame = std::make_unique<TestFrame>();
    frmTesselOptions* during = nullptr;
    SetProgramScan([&](ExeScanHost&, bool) {
        DestroyWindow(frame->Handle());
        Pump(50);
        // The host asks for its window again: the running one is not freed under the scan.
        during = &frmTesselOptions::Default();
        WriteFileBytes(WorkingFolder() + L"\\TesselExe.dat", ProgramLines(8));
        return true;
    });
    frmTesselOptions& w = frmTesselOptions::Default();
    w.ShowForm();
    ASSERT_TRUE(PumpUntil([&] { return during != nullptr; }, 20000));
    Pump(300);
    EXPECT_FALSE(w.Loaded());
    EXPECT_NE(during, &w);
    EXPECT_EQ(w.FormReadiness(), frLoading) << "the load stopped where the window went";
    frame.reset();
    SetProgramScan([](ExeScanHost&, bool) { return true; });
    if (frmTesselOptions* left = frmTesselOptions::Existing()) DestroyWindow(left->Handle());
    frmTesselOptions& again = OpenInFrame();
    EXPECT_TRUE(again.Loaded());
    EXPECT_EQ(again.FormReadiness(), frReady);
}

TEST_F(OptionsWindowTest, FirstRunWithAnEmptyProgramListEndsWithTheSetupMessage) {
    WriteArchive(root, {{L"Tesselcat.xml", CategoryFile()}, {L"TesselExe.dat", ""}});
    SetFirstRun(L"True");
    frmTesselOptions& w = OpenInFrame();
    EXPECT_FALSE(w.Loaded());
    EXPECT_EQ(w.FormReadiness(), frFailed);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_NE(boxes.shown[0].prompt.find(L"could not complete the setup process"), std::wstring::npos);
}

// ---- the program list's age and size ----

class ProgramListTest : public OptionsWindowTest {
protected:
    void SetUp() override {
        OptionsWindowTest::SetUp();
        folder = testsupport::FreshTempFolder(L"programlist");
        UseDataFolder(folder);
    }
    void TearDown() override {
        testsupport::RemoveTree(folder);
        OptionsWindowTest::TearDown();
    }
    std::wstring folder;
};

TEST_F(ProgramListTest, ScansWhenTheListIsMissingShortOrOldAndTheUserAgrees) {
    struct Case {
        const char* name;
        int bytes;  // -1: no file
        int days;
        int answer;
        bool asked;
        std::vector<bool> scans;
    };
    const Case cases[] = {
        {"missing", -1, 0, 0, false, {false}},
        {"29 bytes", 29, 0, 0, false, {false}},
        {"30 bytes", 30, 0, 0, false, {}},
        {"59 days", 30, 59, 0, false, {}},
        {"60 days, No", 30, 60, AnswerNo, true, {}},
        {"60 days, Yes", 30, 60, AnswerYes, true, {true}},
    };
    frmTesselOptions& w = frmTesselOptions::Default();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::wstring list = GetExeFilePath();
        DeleteFileW(list.c_str());
        if (c.bytes >= 0) {
            WriteFileBytes(list, std::string(c.bytes, 'x'));
            AgeFile(list, c.days);
        }
        scans.clear();
        boxes.shown.clear();
        boxes.answers = {c.answer};
        scanResult = true;
        EXPECT_TRUE(w.EnsureProgramList());
        EXPECT_EQ(scans, c.scans);
        ASSERT_EQ(boxes.shown.size(), c.asked ? 1u : 0u);
        if (c.asked) {
            EXPECT_NE(boxes.shown[0].prompt.find(L"at least 60 days"), std::wstring::npos);
        }
    }
    // The scan's answer is the result.
    DeleteFileW(GetExeFilePath().c_str());
    scanResult = false;
    EXPECT_FALSE(w.EnsureProgramList());
}

TEST_F(ProgramListTest, ReadsTheLinesAndTheirShortPaths) {
    frmTesselOptions& w = frmTesselOptions::Default();
    WriteFileBytes(GetExeFilePath(), "");
    EXPECT_FALSE(w.GetPrograms());
    EXPECT_EQ(ProgramLines(), std::vector<std::wstring>{L""});
    EXPECT_EQ(ProgramLineLast(), -1);
    EXPECT_EQ(w.ProgramShortPaths().size(), 1u);

    WriteFileBytes(GetExeFilePath(), windowtest::ProgramLines(2500));
    EXPECT_TRUE(w.GetPrograms());
    ASSERT_EQ(ProgramLines().size(), 2500u);
    EXPECT_EQ(ProgramLineLast(), 2499);
    EXPECT_EQ(ProgramLines()[2499], L"Acme - Viewer 2499|1.2499|SD|C:\\Apps\\prog2499.exe|C:\\Apps\\prog2499.exe");
    ASSERT_EQ(w.ProgramShortPaths().size(), 2500u);
    EXPECT_EQ(w.ProgramShortPaths()[1000], L"C:\\Apps\\prog1000.exe");
}

TEST_F(ProgramListTest, FiltersByStatusAndRefillsOnlyWhenTheBoxesChange) {
    frmTesselOptions& w = frmTesselOptions::Default();
    SetProgramLines(vb::Split(vb::FromAnsi(windowtest::ProgramLines(8)), L"\r\n"));
    ProgramLines().pop_back();  // the text ends with a line break
    ProgramLineLast() = 7;
    struct Case {
        bool excluded, windows, system, relatedOnly;
        std::vector<std::wstring> statuses;
    };
    const Case cases[] = {
        {false, false, false, false, {L"OK", L"OK"}},
        {true, false, false, false, {L"OK", L"NE", L"OK", L"NE"}},
        {false, true, true, false, {L"OK", L"WD", L"SD", L"OK", L"WD", L"SD"}},
        {true, true, true, true, {L"NE", L"WD", L"SD", L"NE", L"WD", L"SD"}},
        {false, false, false, true, {}},
    };
    for (const Case& c : cases) {
        w.chkNormallyExcluded.SetChecked(c.excluded);
        w.chkWindows.SetChecked(c.windows);
        w.chkSystemFiles.SetChecked(c.system);
        w.chkRelatedOnly.SetChecked(c.relatedOnly);
        w.DisplayPrograms(false);
        std::vector<std::wstring> shown;
        for (int i = 0; i < w.lvwPrograms.Count(); ++i) shown.push_back(w.lvwPrograms.ItemText(i));
        EXPECT_EQ(shown, c.statuses);
    }
    // Same boxes, no force: the list stays as it is (a row added by hand survives).
    w.chkRelatedOnly.SetChecked(false);
    w.DisplayPrograms(false);
    ASSERT_EQ(w.lvwPrograms.Count(), 2);
    EXPECT_EQ(w.lvwPrograms.RowTag(1), L"4");
    EXPECT_EQ(w.lvwPrograms.ItemText(1, 2), L"Acme - Viewer 4");
    EXPECT_EQ(w.lvwPrograms.ItemText(1, 3), L"prog4.exe");
    EXPECT_EQ(w.lvwPrograms.ItemText(1, 4), L"C:\\Apps\\");
    w.lvwPrograms.AddItem(L"by hand");
    w.DisplayPrograms(false);
    EXPECT_EQ(w.lvwPrograms.Count(), 3);
    w.DisplayPrograms(true);
    EXPECT_EQ(w.lvwPrograms.Count(), 2);
    // A box toggled twice in a row (as its menu entry does): each time the values differ from
    // the last filling, so each time the list is filled again.
    w.lvwPrograms.AddItem(L"by hand");
    w.chkWindows.SetChecked(true);
    w.chkWindows.Click();
    EXPECT_EQ(w.lvwPrograms.Count(), 4);
    w.chkWindows.SetChecked(false);
    w.chkWindows.Click();
    EXPECT_EQ(w.lvwPrograms.Count(), 2);
}

TEST_F(ProgramListTest, ShowsAnAliasInBlue) {
    frmTesselOptions& w = frmTesselOptions::Default();
    Aliases() = vb::List<AliasRecord>();
    AliasRecord alias;
    alias.Company = L"Acme";
    alias.Product = L"Viewer 0";
    alias.Version = L"1.0";
    alias.LongPath = L"C:\\Apps\\prog0.exe";
    alias.ShortPath = L"C:\\Apps\\prog0.exe";
    alias.CompanyA = L"Mine";
    alias.ProductA = L"Picture Tool";
    alias.VersionA = L"7";
    Aliases().Add(alias);
    SetProgramLines({L"Acme - Viewer 0|1.0|OK|C:\\Apps\\prog0.exe|C:\\Apps\\prog0.exe"});
    w.DisplayPrograms(true);
    ASSERT_EQ(w.lvwPrograms.Count(), 1);
    EXPECT_EQ(w.lvwPrograms.ItemText(0, 2), L"Mine - Picture Tool");
    EXPECT_EQ(w.lvwPrograms.ItemText(0, 1), L"7");
    EXPECT_EQ(w.lvwPrograms.SubItemColour(0, 2), 0xFF0000);
    EXPECT_EQ(w.lvwPrograms.SubItemColour(0, 1), 0xFF0000);
    EXPECT_EQ(w.lvwPrograms.SubItemColour(0, 3), -1);
    Aliases() = vb::List<AliasRecord>();
}

// ---- layout after a resize ----

TEST_F(OptionsWindowTest, AResizeSettlesOnTheFourthTickAtLeast5200Twips) {
    frmTesselOptions& w = frmTesselOptions::Default();  // top-level: no frame here
    const long pixel = 1440 / 96 + 1;
    struct Case {
        long width, height, settledWidth, settledHeight;
    };
    for (const Case& c : {Case{4000, 3000, 5200, 5200}, Case{6000, 7000, 6000, 7000}}) {
        w.Move(w.Left(), w.Top(), c.width, c.height);
        ASSERT_EQ(w.ResizeSettleCount(), 1);
        for (int tick = 1; tick <= 3; ++tick) {
            w.TimerEvent();
            EXPECT_NEAR(w.Width(), c.width, pixel);
        }
        w.TimerEvent();
        EXPECT_NEAR(w.Width(), c.settledWidth, pixel);
        EXPECT_NEAR(w.Height(), c.settledHeight, pixel);
        EXPECT_NEAR(w.OldFormWidth, w.Width(), pixel);  // laid out at the new size
        // Raising the size is itself a resize: let it settle too.
        for (int tick = 0; tick < 5; ++tick) w.TimerEvent();
        EXPECT_EQ(w.ResizeSettleCount(), 0);
    }
    // Minimized, the count waits.
    w.Move(w.Left(), w.Top(), 6000, 6000);
    ShowWindow(w.Handle(), SW_SHOWMINNOACTIVE);
    for (int tick = 0; tick < 6; ++tick) w.TimerEvent();
    EXPECT_GT(w.ResizeSettleCount(), 0);
    ShowWindow(w.Handle(), SW_HIDE);
    w.RequestClose();
}

TEST_F(OptionsWindowTest, MaximizedInTheFrameItsListsFillTheWindowAtEverySize) {
    frmTesselOptions& w = OpenInFrame();
    ASSERT_TRUE(w.Loaded());
    ASSERT_TRUE(IsZoomed(w.Handle()));
    // Each list's edges in the window's client area.
    auto edges = [&](HWND list) {
        RECT r{};
        GetWindowRect(list, &r);
        MapWindowPoints(nullptr, w.Handle(), reinterpret_cast<POINT*>(&r), 2);
        return r;
    };
    const HWND lists[] = {w.lvwPrograms.Handle(), w.lvwExts.Handle(), w.tvwChoices.Handle()};
    RECT client{};
    auto laidOut = [&] {
        GetClientRect(w.Handle(), &client);
        LONG right = 0, bottom = 0;
        for (HWND list : lists) {
            const RECT r = edges(list);
            if (r.right > client.right || r.bottom > client.bottom) return false;
            right = std::max(right, r.right);
            bottom = std::max(bottom, r.bottom);
        }
        // And the lists take the room there is.
        return right >= client.right - 60 && bottom >= client.bottom - 60;
    };
    // Ready means laid out: the user never meets the design-size layout in the corner of the
    // maximized window, nor a layout that jumps once the timer's count has run.
    EXPECT_TRUE(laidOut()) << "the window became ready before its layout";
    EXPECT_EQ(w.ResizeSettleCount(), 0);
    for (SIZE size : {SIZE{620, 460}, SIZE{1100, 850}}) {
        SCOPED_TRACE(size.cx);
        SetWindowPos(frame->Handle(), nullptr, 0, 0, size.cx, size.cy, SWP_NOZORDER | SWP_NOACTIVATE);
        EXPECT_TRUE(PumpUntil(laidOut, 8000));
        EXPECT_TRUE(IsZoomed(w.Handle()));
        for (HWND list : lists) {
            const RECT r = edges(list);
            EXPECT_LE(r.right, client.right);
            EXPECT_LE(r.bottom, client.bottom);
        }
    }
}

// ---- first run ----

class FakeRestorer : public win::Window {
public:
    FakeRestorer() : win::Window(AssociationRestorerName) {
        Create(L"Association Restorer", 300, 200, WS_OVERLAPPEDWINDOW, 0, nullptr);
    }
};

class FirstRunTest : public OptionsWindowTest {
protected:
    void SetUp() override {
        OptionsWindowTest::SetUp();
        SetFirstRun(L"True");
        const std::wstring messages = JoinPaths(root, L"Messages");
        CreateDirectoryW(messages.c_str(), nullptr);
        CreateDirectoryW((messages + L"\\Lumox").c_str(), nullptr);
        WriteFileBytes(messages + L"\\Lumox\\Welcome.app.note", "{\\rtf1 Welcome to Lumox.}");
        // The note viewer is modal: note it and close it when it shows.
        noteCloser = SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) {
            frmInfo* info = frmInfo::Existing();
            if (info && info->Visible()) {
                Events().push_back(L"note");
                info->CloseClicked();
            }
        });
    }
    void TearDown() override {
        KillTimer(nullptr, noteCloser);
        OptionsWindowTest::TearDown();
    }
    static std::vector<std::wstring>& Events() {
        static std::vector<std::wstring> events;
        return events;
    }
    std::unique_ptr<FakeRestorer> restorer;
    UINT_PTR noteCloser = 0;
};

TEST_F(FirstRunTest, TheRestorerComesFirstThenTheNoteThenFalse) {
    Events().clear();
    SetAssociationRestorerOpener([this](HWND owner) {
        Events().push_back(owner ? L"restorer in frame" : L"restorer");
        restorer = std::make_unique<FakeRestorer>();
        restorer->Show();
        // The restorer closes a moment later and tells the options window by name.
        SetTimer(restorer->Handle(), 1, 200, [](HWND hwnd, UINT, UINT_PTR, DWORD) {
            KillTimer(hwnd, 1);
            Events().push_back(L"restorer closed");
            Put(frmTesselOptions::Existing()->Automation(), L"FormUnloaded", vb::Variant(true));
            DestroyWindow(hwnd);
        });
        return true;
    });
    frmTesselOptions& w = OpenInFrame();
    EXPECT_EQ(w.FormReadiness(), frReady);
    EXPECT_EQ(Events(), (std::vector<std::wstring>{L"restorer in frame", L"restorer closed", L"note"}));
    EXPECT_EQ(FirstRunValue(), L"False");
}

TEST_F(FirstRunTest, WithoutARestorerTheNoteStillComesAndTheRunIsRecorded) {
    Events().clear();
    frmTesselOptions& w = OpenInFrame();
    EXPECT_EQ(w.FormReadiness(), frReady);
    EXPECT_EQ(Events(), std::vector<std::wstring>{L"note"});
    EXPECT_EQ(FirstRunValue(), L"False");
}

TEST_F(FirstRunTest, TheWaitEndsWhenTheRestorerGoesWithoutAWord) {
    Events().clear();
    SetAssociationRestorerOpener([this](HWND) {
        restorer = std::make_unique<FakeRestorer>();
        restorer->Show();
        SetTimer(restorer->Handle(), 1, 200, [](HWND hwnd, UINT, UINT_PTR, DWORD) {
            KillTimer(hwnd, 1);
            DestroyWindow(hwnd);  // never sets FormUnloaded
        });
        return true;
    });
    frmTesselOptions& w = OpenInFrame();
    EXPECT_EQ(w.FormReadiness(), frReady);
    EXPECT_EQ(Events(), std::vector<std::wstring>{L"note"});
}

TEST_F(FirstRunTest, TheWaitEndsOnAQuitRequestAndLeavesItQueued) {
    Events().clear();
    SetAssociationRestorerOpener([this](HWND) {
        restorer = std::make_unique<FakeRestorer>();
        restorer->Show();
        PostQuitMessage(3);
        return true;
    });
    frmTesselOptions& w = frmTesselOptions::Default();
    frame = std::make_unique<TestFrame>();
    w.ShowForm();
    MSG msg;
    bool quit = false;
    const DWORD start = GetTickCount();
    // The load runs from this loop's dispatch; the quit it re-posted comes back here.
    while (GetTickCount() - start < 20000) {
        if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (w.Loaded() && w.FormReadiness() == frReady && quit) break;
            Sleep(5);
            continue;
        }
        if (msg.message == WM_QUIT) {
            quit = true;
            EXPECT_EQ(msg.wParam, 3u);
            continue;
        }
        DispatchMessageW(&msg);
    }
    EXPECT_TRUE(quit);
    EXPECT_EQ(w.FormReadiness(), frReady);
    EXPECT_TRUE(Events().empty());  // no note while the program is quitting
    restorer.reset();
}

}  // namespace

TEST_F(OptionsWindowTest, TheExtensionListAnswersTypingAndReloads) {
    frmTesselOptions& w = OpenInFrame();
    ASSERT_TRUE(w.Loaded());
    const int rows = w.lvwExts.Count();
    ASSERT_GT(rows, 1);
    // The user clicks the list's first row and types a letter; the keys reach the handler through
    // the message loop the test runs, as the host's does.
    const std::wstring last = w.lvwExts.ItemText(rows - 1);
    ASSERT_GE(last.size(), 2u);
    FillTheScreen(*frame);
    ASSERT_TRUE(userinput::BringToFront(frame->Handle()));
    userinput::PumpFor(100);
    RECT first{};
    first.left = LVIR_LABEL;
    SendMessageW(w.lvwExts.Handle(), LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&first));
    userinput::Click(userinput::OnScreen(w.lvwExts.Handle(), POINT{first.left + 8, (first.top + first.bottom) / 2}));
    ASSERT_TRUE(userinput::PumpUntil([&] { return GetFocus() == w.lvwExts.Handle() && w.lvwExts.Selected(0); }, 5000))
        << "the click reached the list";
    userinput::PumpFor(50);
    userinput::Type(std::wstring(1, last[1]));
    ASSERT_TRUE(userinput::PumpUntilHandled(w.lvwExts.Handle(), WM_CHAR, 5000)) << "the key reached the list";
    const int row = static_cast<int>(
        SendMessageW(w.lvwExts.Handle(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
    ASSERT_GE(row, 0);
    EXPECT_TRUE(vb::TextEquals(w.lvwExts.ItemText(row).substr(1, 1), last.substr(1, 1)));

    const long nodes = w.tvwChoices.Count();
    EXPECT_TRUE(w.Editor().RedisplayExtensionList());
    EXPECT_EQ(w.lvwExts.Count(), rows);
    EXPECT_EQ(w.tvwChoices.Count(), nodes);
    EXPECT_TRUE(CategoriesLoaded());
}
