// Closing the options window while it works, as the user closes it: the real window maximized in
// a frame with a menu bar (where the maximized child's close box sits), "Refresh Exe's" chosen
// from the program list's pop-up, and the close asked for with the keys or the close box through
// SendInput from a second thread while the scan runs on this one. A close box acts when the button
// comes up over it, as a caption's box always does; the real scan's progress window and the
// frame's own close box are pressed the same way.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>

#include "ExeScanHost.h"
#include "FakePresenter.h"
#include "LibraryMessages.h"
#include "OptionsMenus.h"
#include "OptionsTestSupport.h"
#include "OptionsWindowSupport.h"
#include "UserInput.h"
#include "basData.h"
#include "basExeScan.h"
#include "basIniFile.h"
#include "basMessageHandler.h"
#include "basStrings.h"
#include "com/ComDispatch.h"
#include "frmDoingStuff.h"
#include "frmTesselOptions.h"
#include "host/FrameClose.h"
#include "host/HostContract.h"
#include "vb/VbError.h"
#include "vb/VbScreen.h"
#include "vb/VbText.h"
#include "zip/ZipArchive.h"

using namespace windowtest;

namespace {

HWND OpenPopUp() {
    HWND menu = FindWindowW(L"#32768", nullptr);
    return menu && IsWindowVisible(menu) ? menu : nullptr;
}

// The middle of the maximized child's close box at the end of the frame's menu bar, on the
// screen; {-1, -1} when the bar shows none.
POINT ChildCloseBoxOf(HWND frame) {
    RECT r{};
    if (!win::MdiChildCloseItemRect(frame, r)) return POINT{-1, -1};
    return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
}

class OptionsCloseTest : public ::testing::Test {
public:
    void SetUp() override {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        SetMessageRows(LibraryMessageRow);
        vb::Err().Clear();
        root = RootFolder();
        WriteArchive(root, {{L"Tesselcat.xml", CategoryFile()}, {L"TesselExe.dat", ProgramLines(8)}});
        archive = GetArchivePath();
        SetFirstRun(L"False");
        DeleteFileW(JoinPaths(root, L"Messages\\Lumox\\Welcome.app.note").c_str());
    }
    void TearDown() override {
        if (frmTesselOptions* w = frmTesselOptions::Existing()) DestroyWindow(w->Handle());
        frame.reset();
        SetProgramScan(nullptr);
        Pump(50);
        vb::Err().Clear();
        CoUninitialize();
    }

    // The window opened, maximized, in a frame with a menu bar that fills the screen and is in front.
    frmTesselOptions& OpenInFrame() {
        frame = std::make_unique<TestFrame>();
        HMENU bar = CreateMenu();
        HMENU file = CreatePopupMenu();
        AppendMenuW(file, MF_STRING, 1, L"E&xit");
        AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"&File");
        SetMenu(frame->Handle(), bar);
        FillTheScreen(*frame);
        frmTesselOptions* w = nullptr;
        EXPECT_TRUE(OpenOptionsWindow(w));
        EXPECT_TRUE(userinput::BringToFront(frame->Handle()));
        userinput::PumpFor(100);
        return *w;
    }

    // A scan that lets messages through, step after step, until the user is done (or, should an
    // input be lost, for at most half a minute), writing its new list first.
    void ScanUntilTheUserIsDone(frmTesselOptions& w, const std::string& newList) {
        frmTesselOptions* window = &w;
        SetProgramScan([this, window, newList](ExeScanHost&, bool) {
            frmTesselOptions& w = *window;
            WriteFileBytes(WorkingFolder() + L"\\TesselExe.dat", newList);
            WorkUntilTheUserIsDone(w);
            return true;
        });
    }

    // The work's steps: each lets messages through, until the user is done (or, should an input
    // be lost, for at most half a minute), noting what the window does meanwhile.
    void WorkUntilTheUserIsDone(frmTesselOptions& w) {
        scanning = true;
        const DWORD end = GetTickCount() + 30000;
        while (!userDone && static_cast<LONG>(end - GetTickCount()) > 0) {
            vb::DoEvents();
            ++progress;
            if (w.ClosePending()) closeAsked = true;
            boxesShown = static_cast<int>(boxes.shown.size());
            stillThere = stillThere && w.Loaded();
            Sleep(5);
        }
        scanning = false;
    }

    // On the user's thread: "Refresh Exe's" from the program list's pop-up; true once the scan runs.
    bool StartRescan(frmTesselOptions& w) {
        RECT row{};
        row.left = LVIR_LABEL;
        SendMessageW(w.lvwPrograms.Handle(), LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row));
        userinput::Click(userinput::OnScreen(w.lvwPrograms.Handle(), POINT{row.left + 8, (row.top + row.bottom) / 2}),
                         userinput::Button::Right);
        if (!userinput::WaitUntil([] { return OpenPopUp() != nullptr; }, 10000)) {
            notes += "no pop-up opened; ";
            return false;
        }
        Sleep(150);
        return ChooseToStartTheWork(w.Menus()->NativeMenu(mgPrgList), L"Refresh Exe");
    }

    // On the user's thread, with the pop-up open: clicks its enabled item whose caption starts so;
    // true once the work it starts runs.
    bool ChooseToStartTheWork(HMENU menu, const std::wstring& caption) {
        const int position = optionstest::MenuPositionStartingWith(menu, caption);
        if (position < 0 || (GetMenuState(menu, static_cast<UINT>(position), MF_BYPOSITION) & MF_GRAYED) ||
            !optionstest::ClickMenuItemAsUser(menu, position)) {
            notes += "no enabled item " + vb::ToAnsi(caption) + "; ";
            if (OpenPopUp()) userinput::Press(VK_ESCAPE);
            return false;
        }
        // Under load Wine's menu can let a click pass while it shows the item lit under the
        // pointer; the user then takes it with Enter.
        if (!userinput::WaitUntil([&] { return scanning.load() || !OpenPopUp(); }, 3000)) userinput::Press(VK_RETURN);
        if (!userinput::WaitUntil([&] { return scanning.load(); }, 10000)) {
            notes += OpenPopUp() ? "the item's click was lost: the pop-up stays; " : "the work did not start; ";
            if (OpenPopUp()) userinput::Press(VK_ESCAPE);
            return false;
        }
        return true;
    }

    // On the user's thread: waits until the scan has taken that many more steps.
    bool ScanAdvances(int steps, DWORD ms = 5000) {
        const int from = progress;
        return userinput::WaitUntil([&] { return progress - from >= steps; }, ms);
    }

    // On the user's thread: presses the left button on a box and holds it while the work takes
    // twenty steps; answers whether the press arrived, the work went on and acted() stayed false
    // meanwhile (what stands for the press's effect, named for the notes). The button stays down.
    bool HoldDownOn(POINT box, const std::function<bool()>& acted, const char* effect) {
        userinput::MoveTo(box);
        userinput::SettlePointer();
        userinput::ButtonDown(userinput::Button::Left);
        const bool arrived = userinput::InputArrived(5000);
        const bool advanced = ScanAdvances(20);
        const bool early = acted();
        if (!arrived) notes += "the press never reached the window thread; ";
        if (!advanced) notes += "the work stood still while the button was down; ";
        if (early) notes += std::string(effect) + " came on the press, before the button came up; ";
        return arrived && advanced && !early;
    }

    std::wstring root, archive;
    std::unique_ptr<TestFrame> frame;
    FakePresenter boxes;
    DialogWatchdog watchdog;
    std::atomic<bool> scanning{false}, userDone{false}, closeAsked{false}, stillThere{true};
    std::atomic<int> progress{0}, boxesShown{0};
    std::string notes;
};

// One way the user asks the window to close, on the user's thread while the scan runs; it says
// whether the scan kept taking steps meanwhile.
struct CloseWay {
    const char* name;
    std::function<bool(OptionsCloseTest& test, HWND frame)> close;
};

void PrintTo(const CloseWay& way, std::ostream* out) { *out << way.name; }

class CloseDuringARescan : public OptionsCloseTest, public ::testing::WithParamInterface<CloseWay> {};

const CloseWay kCloseWays[] = {
    {"Ctrl+F4",
     [](OptionsCloseTest&, HWND) {
         userinput::Chord({VK_CONTROL, VK_F4});
         return true;
     }},
    {"the close box, held down a while",
     [](OptionsCloseTest& t, HWND frame) {
         const POINT box = ChildCloseBoxOf(frame);
         if (box.x < 0) {
             t.notes += "no close box in the frame's menu bar; ";
             return false;
         }
         // While the button is down the scan goes on and nothing is asked yet; the close is asked
         // for when the button comes up over the box.
         const bool heldWell = t.HoldDownOn(box, [&] { return t.closeAsked.load(); }, "a close");
         userinput::ButtonUp(userinput::Button::Left);
         return heldWell;
     }},
};

// A row's test name: the letters and digits of its own name.
template <class Row>
std::string RowName(const ::testing::TestParamInfo<Row>& info) {
    std::string name;
    for (const char* c = info.param.name; *c; ++c)
        if (isalnum(static_cast<unsigned char>(*c))) name += *c;
    return name;
}

// The user starts the work (start answers whether it runs) and closes the window the given way
// while it runs; then the checks that hold for any work: the close was asked for and waited, the
// work kept taking steps, and the window went once the work had ended.
void CloseWhileItWorks(OptionsCloseTest& t, frmTesselOptions& w, const CloseWay& way,
                       const std::function<bool()>& start, const char* work) {
    bool keptGoing = false;
    const int leftOpen = userinput::ActAsUser([&] {
        if (start()) {
            keptGoing = way.close(t, t.frame->Handle());
            if (!userinput::WaitUntil([&] { return t.closeAsked.load(); }, 5000)) t.notes += "no close was asked for; ";
            keptGoing = t.ScanAdvances(20) && keptGoing;
        }
        t.userDone = true;
    });
    EXPECT_EQ(leftOpen, 0) << "an input was lost";
    EXPECT_TRUE(t.notes.empty()) << t.notes;
    EXPECT_TRUE(t.closeAsked) << "the close reached the window during the " << work;
    EXPECT_TRUE(keptGoing) << "the " << work << " kept taking steps after the close was asked for";
    EXPECT_TRUE(t.stillThere) << "the window stayed while its " << work << " ran";
    EXPECT_TRUE(PumpUntil([&] { return !w.Loaded(); }, 10000)) << "the close went ahead once the " << work << " ended";
}

TEST_P(CloseDuringARescan, WaitsForTheScanWhichKeepsGoingAndItsListIsPacked) {
    frmTesselOptions& w = OpenInFrame();
    ASSERT_TRUE(w.Loaded());
    const std::string newList = ProgramLines(12);
    ScanUntilTheUserIsDone(w, newList);
    CloseWhileItWorks(*this, w, GetParam(), [&] { return StartRescan(w); }, "scan");
    ASSERT_FALSE(w.Loaded());
    EXPECT_EQ(ArchivedMember(archive, L"TesselExe.dat"), newList) << "the scan's list reached the archive";
}

INSTANTIATE_TEST_SUITE_P(AsTheUserDoes, CloseDuringARescan, ::testing::ValuesIn(kCloseWays), RowName<CloseWay>);

// The close box pressed during the scan and still held down when the scan ends: the press goes
// back to the system, and the button's release over the box then closes the window as usual.
TEST_F(OptionsCloseTest, ACloseBoxHeldPastTheEndOfTheScanClosesOnTheRelease) {
    frmTesselOptions& w = OpenInFrame();
    ASSERT_TRUE(w.Loaded());
    ScanUntilTheUserIsDone(w, ProgramLines(12));
    const int leftOpen = userinput::ActAsUser([&] {
        if (StartRescan(w)) {
            const POINT box = ChildCloseBoxOf(frame->Handle());
            if (box.x < 0) {
                notes += "no close box in the frame's menu bar; ";
            } else {
                HoldDownOn(box, [&] { return closeAsked.load(); }, "a close");
                userDone = true;  // the scan ends while the button is still down
                if (!userinput::WaitUntil([&] { return !scanning.load(); }, 5000)) notes += "the scan did not end; ";
                userinput::WindowThreadCaughtUp();
                if (!w.Loaded()) notes += "the window closed before the button came up; ";
                userinput::ButtonUp(userinput::Button::Left);
            }
        }
        userDone = true;
    });
    EXPECT_EQ(leftOpen, 0) << "an input was lost";
    EXPECT_TRUE(notes.empty()) << notes;
    EXPECT_TRUE(PumpUntil([&] { return !w.Loaded(); }, 10000)) << "the release over the box closed the window";
}

// An extension of the registry without an association, for "Make Extension Associated".
constexpr wchar_t kUnassociated[] = L".lmxr";

bool ClassesKeyExists(const wchar_t* name) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, name, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

std::wstring ClassesDefault(const wchar_t* name) {
    wchar_t value[256] = {};
    LONG size = sizeof(value);
    return RegQueryValueW(HKEY_CLASSES_ROOT, name, value, &size) == ERROR_SUCCESS ? value : L"<none>";
}

// The same ways to close while the extension list and the tree are rebuilt: "Make Extension
// Associated" chosen from the extension list's pop-up and answered Yes. The rebuild's reload is
// stretched, as a registry with many extensions stretches it: from the moment the lists stand
// empty it lets messages through, step after step, until the user is done.
class CloseDuringARebuild : public OptionsCloseTest, public ::testing::WithParamInterface<CloseWay> {
public:
    void SetUp() override {
        OptionsCloseTest::SetUp();
        unassignedExisted = ClassesKeyExists(L"Unassigned");
        testsupport::DeleteRegistryTree(HKEY_CLASSES_ROOT, kUnassociated);
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, kUnassociated, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                  nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
    void TearDown() override {
        if (timer) KillTimer(nullptr, timer);
        Current() = nullptr;
        OptionsCloseTest::TearDown();
        testsupport::DeleteRegistryTree(HKEY_CLASSES_ROOT, kUnassociated);
        if (!unassignedExisted) testsupport::DeleteRegistryTree(HKEY_CLASSES_ROOT, L"Unassigned");
    }

    // Watches this thread's pumps for the rebuild's first one after the lists were emptied.
    void StretchTheRebuild(frmTesselOptions& w) {
        window = &w;
        Current() = this;
        timer = SetTimer(nullptr, 0, 10, [](HWND, UINT, UINT_PTR, DWORD) {
            if (CloseDuringARebuild* t = Current()) t->WhileRebuilding();
        });
    }
    void WhileRebuilding() {
        frmTesselOptions& w = *window;
        if (rebuilding || rebuilt || !w.Loaded() || !w.Working() || w.lvwExts.Count() != 0) return;
        rebuilding = true;
        WorkUntilTheUserIsDone(w);
        rebuilding = false;
        rebuilt = true;
    }
    static CloseDuringARebuild*& Current() {
        static CloseDuringARebuild* current = nullptr;
        return current;
    }

    // On the user's thread: "Make Extension Associated" from the pop-up of the extension's row;
    // true once the rebuild runs.
    bool StartRebuild(frmTesselOptions& w, int row) {
        RECT r{};
        r.left = LVIR_LABEL;
        SendMessageW(w.lvwExts.Handle(), LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&r));
        const POINT onRow = userinput::OnScreen(w.lvwExts.Handle(), POINT{r.left + 8, (r.top + r.bottom) / 2});
        // The menu acts on the selected row: the user selects it first.
        userinput::Click(onRow);
        if (!userinput::WaitUntil([&] { return w.lvwExts.Selected(row); }, 5000)) {
            notes += "the click did not select the row; ";
            return false;
        }
        userinput::Click(onRow, userinput::Button::Right);
        if (!userinput::WaitUntil([] { return OpenPopUp() != nullptr; }, 10000)) {
            notes += "no pop-up opened; ";
            return false;
        }
        return ChooseToStartTheWork(w.Menus()->NativeMenu(mgExtList), L"&Make Extension Associated");
    }

    bool unassignedExisted = false;
    frmTesselOptions* window = nullptr;
    UINT_PTR timer = 0;
    bool rebuilding = false, rebuilt = false;
};

TEST_P(CloseDuringARebuild, WaitsForTheRebuildAndTheArchiveKeepsTheCategories) {
    frmTesselOptions& w = OpenInFrame();
    ASSERT_TRUE(w.Loaded());
    int row = -1;
    for (int i = 0; i < w.lvwExts.Count() && row < 0; ++i)
        if (w.lvwExts.ItemText(i) == kUnassociated) row = i;
    ASSERT_GE(row, 0) << "the new extension is listed";
    // Scrolled into view, as the user scrolls to it.
    SendMessageW(w.lvwExts.Handle(), LVM_ENSUREVISIBLE, static_cast<WPARAM>(row), FALSE);
    const std::string categories = CategoryFile();
    boxes.answers = {6};  // Yes: the extension gets the "Unassigned" association
    StretchTheRebuild(w);
    CloseWhileItWorks(*this, w, GetParam(), [&] { return StartRebuild(w, row); }, "rebuild");
    ASSERT_FALSE(w.Loaded());
    ASSERT_EQ(boxes.shown.size(), 1u);
    std::wstring asked, title;
    ASSERT_TRUE(LibraryMessageRow(5005, asked, title));
    EXPECT_NE(boxes.shown[0].prompt.find(asked.substr(0, 40)), std::wstring::npos) << vb::ToAnsi(boxes.shown[0].prompt);
    EXPECT_TRUE(rebuilt);
    EXPECT_EQ(ClassesDefault(kUnassociated), L"Unassigned");
    // The lists and the tree stood empty meanwhile: the closing save wrote them as they were
    // rebuilt, not empty.
    EXPECT_EQ(ArchivedMember(archive, L"Tesselcat.xml"), categories) << "the category file reached the archive whole";
}

INSTANTIATE_TEST_SUITE_P(AsTheUserDoes, CloseDuringARebuild, ::testing::ValuesIn(kCloseWays), RowName<CloseWay>);

// The options window as its real scan's host, with the drive dialog answered as the user
// answers it: one folder of programs.
class DrivesAnswered : public ExeScanHost {
public:
    DrivesAnswered(ExeScanHost& window, std::wstring folder) : window_(window), folder_(std::move(folder)) {}
    win::Window& Form() override { return window_.Form(); }
    void SetInterruptible(bool value) override { window_.SetInterruptible(value); }
    void ShowCrashRecoveryChoices(const std::wstring& title, bool onlyMailAndCopy) override {
        window_.ShowCrashRecoveryChoices(title, onlyMailAndCopy);
    }
    vb::Variant ReturnValue() const override { return window_.ReturnValue(); }
    void SetProgramListTimeStamp(const FILETIME& lastWrite) override { window_.SetProgramListTimeStamp(lastWrite); }
    void ShowMDIForm() override { window_.ShowMDIForm(); }
    std::vector<std::wstring> DrivesToScan(bool) override { return {L"Ok", folder_ + L"\\"}; }

private:
    ExeScanHost& window_;
    std::wstring folder_;
};

// The real program scan, its progress window and its Stop question, over a folder of a dozen
// programs; the first program's details take until the user is done, as a slow disk stretches
// them, letting messages through meanwhile.
class CloseDuringARealScan : public OptionsCloseTest {
public:
    void SetUp() override {
        OptionsCloseTest::SetUp();
        folder = L"C:\\lxclose" + std::to_wstring(GetCurrentProcessId());
        testsupport::RemoveTree(folder);
        CreateDirectoryW(folder.c_str(), nullptr);
        wchar_t system[MAX_PATH] = {};
        GetSystemDirectoryW(system, MAX_PATH);
        const std::wstring program = std::wstring(system) + L"\\notepad.exe";
        for (int i = 1; i <= 12; ++i)
            ASSERT_TRUE(CopyFileW(program.c_str(), (folder + L"\\tool" + std::to_wstring(i) + L".exe").c_str(), FALSE));
    }
    void TearDown() override {
        SetDetailingObserver(nullptr);
        Current() = nullptr;
        if (frmDoingStuff* f = frmDoingStuff::Existing()) {
            f->SetClosedByCode(true);
            f->Close();
        }
        OptionsCloseTest::TearDown();
        testsupport::RemoveTree(folder);
    }

    void ScanTheFolder(frmTesselOptions& w) {
        window = &w;
        Current() = this;
        SetDetailingObserver([](const std::wstring&) {
            CloseDuringARealScan* t = Current();
            if (!t || t->detailingStretched) return;
            t->detailingStretched = true;
            t->WorkUntilTheUserIsDone(*t->window);
        });
        SetProgramScan([this](ExeScanHost& host, bool rescan) {
            DrivesAnswered answered(host, folder);
            scanEnded = false;
            const bool ok = RefreshExeList(answered, rescan);
            scanEnded = true;
            return ok;
        });
    }
    static CloseDuringARealScan*& Current() {
        static CloseDuringARealScan* current = nullptr;
        return current;
    }
    // The progress window's handle, once it shows.
    HWND ProgressWindow() const { return progressWindow.load(); }
    void NoteTheProgressWindow() {
        frmDoingStuff* p = frmDoingStuff::Existing();
        progressWindow = p && IsWindowVisible(p->Handle()) ? p->Handle() : nullptr;
    }

    std::wstring folder;
    frmTesselOptions* window = nullptr;
    bool detailingStretched = false;
    std::atomic<bool> scanEnded{false};
    std::atomic<HWND> progressWindow{nullptr};
};

// Where the button comes up after a press on the progress window's close box.
struct ProgressRelease {
    const char* name;
    bool overTheBox;
    int questions;  // the Stop question asked, answered No
};

void PrintTo(const ProgressRelease& row, std::ostream* out) { *out << row.name; }

class PressOnTheProgressWindowsCloseBox : public CloseDuringARealScan,
                                          public ::testing::WithParamInterface<ProgressRelease> {};

TEST_P(PressOnTheProgressWindowsCloseBox, AsksToStopOnlyWhenReleasedOverItAndTheScanGoesOn) {
    const ProgressRelease& row = GetParam();
    frmTesselOptions& w = OpenInFrame();
    ASSERT_TRUE(w.Loaded());
    ScanTheFolder(w);
    boxes.answers = {1, 7};  // the scan's opening note: OK; the Stop question: No
    std::wstring stopText, title;
    ASSERT_TRUE(LibraryMessageRow(5002, stopText, title));
    const auto stopAsked = [&] {
        int asked = 0;
        for (const ShownBox& box : boxes.shown) asked += box.prompt.find(stopText.substr(0, 30)) != std::wstring::npos;
        return asked;
    };
    std::function<void()> look = [&] { NoteTheProgressWindow(); };
    userinput::ShowerTick() = &look;
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, &userinput::ShowerTimer);
    const int leftOpen = userinput::ActAsUser([&] {
        if (StartRescan(w)) {
            if (!userinput::WaitUntil([&] { return ProgressWindow() != nullptr; }, 10000))
                notes += "no progress window showed; ";
            else {
                const HWND progressBox = ProgressWindow();
                const POINT box = userinput::CloseBoxOf(progressBox);
                if (box.x < 0) {
                    notes += "the progress window has no close box; ";
                } else {
                    const int shownBefore = boxesShown.load();
                    HoldDownOn(box, [&] { return boxesShown.load() > shownBefore; }, "the Stop question");
                    if (!row.overTheBox) {
                        // Slides off the box onto the window's text before letting go.
                        userinput::MoveTo(userinput::CentreOf(progressBox));
                        userinput::SettlePointer();
                    }
                    userinput::ButtonUp(userinput::Button::Left);
                    userinput::InputArrived(5000);
                    ScanAdvances(20);
                }
            }
        }
        userDone = true;
    });
    KillTimer(nullptr, timer);
    userinput::ShowerTick() = nullptr;
    EXPECT_EQ(leftOpen, 0) << "an input was lost";
    EXPECT_TRUE(notes.empty()) << notes;
    EXPECT_TRUE(PumpUntil([&] { return scanEnded.load(); }, 20000)) << "the scan ended";
    std::string shown;
    for (const ShownBox& box : boxes.shown) shown += vb::ToAnsi(box.prompt.substr(0, 60)) + "; ";
    EXPECT_EQ(stopAsked(), row.questions) << "the Stop question; shown: " << shown;
    EXPECT_TRUE(w.Loaded()) << "the options window stays";
    EXPECT_FALSE(w.ClosePending());
    const std::string written = ReadFileBytes(WorkingFolder() + L"\\TesselExe.dat");
    EXPECT_NE(written, ProgramLines(8)) << "the scan wrote its list";
    EXPECT_EQ(ArchivedMember(archive, L"TesselExe.dat"), written) << "the scan's list reached the archive";
}

const ProgressRelease kProgressReleases[] = {
    {"released over the box", true, 1},
    {"slid off the box", false, 0},
};

INSTANTIATE_TEST_SUITE_P(AsTheUserDoes, PressOnTheProgressWindowsCloseBox, ::testing::ValuesIn(kProgressReleases),
                         RowName<ProgressRelease>);

// The tests' frame closing by the host's own rule: while the options window answers
// Interruptible = False a close is remembered and carried out by the frame's tick once the window
// answers True; the user then chooses Exit, and the frame's children close through their own close.
class HostRuleFrame : public TestFrame, public ClosingFrame {
public:
    bool ProductBusy() override {
        for (const Child& child : children)
            if (!vb::TextEquals(com::CallByName(child.form.Get(), contract::MemberInterruptible, DISPATCH_PROPERTYGET)
                                    .ToString(),
                                L"True"))
                return true;
        return false;
    }
    void ExitWaits() override {
        ++exitsWaiting;
        exitPending = true;
    }
    void ExitGoesAhead() override { exitPending = false; }
    void SavePlacement() override {}
    int CurrentWindowState() const override { return 0; }
    bool AskExit() override {
        ++exitsAsked;
        return true;
    }
    void Minimize() override {}
    void StopTimer() override {}
    void EndMeter() override {}
    void UnloadMdiChildren() override {
        std::vector<HWND> open;
        for (const Child& child : children) open.push_back(child.window);
        for (HWND child : open)
            if (IsWindow(child)) SendMessageW(child, WM_CLOSE, 0, 0);
    }
    void HookOff() override {}
    void SetHookPanel(const std::wstring&) override {}
    // The frame's heartbeat.
    void Tick() {
        if (!exitPending || ProductBusy()) return;
        exitPending = false;
        PostMessageW(TestFrame::Handle(), WM_CLOSE, 0, 0);
    }

    std::atomic<int> exitsWaiting{0}, exitsAsked{0};
    bool exitPending = false;

protected:
    bool OnQueryUnload() override { return FrameQueryUnload(*this, CloseMode::User); }
};

TEST_F(CloseDuringARealScan, TheFramesCloseBoxPressedDuringTheScanExitsOnceTheScanHasEnded) {
    auto hostFrame = std::make_unique<HostRuleFrame>();
    HostRuleFrame& host = *hostFrame;
    frame = std::move(hostFrame);
    FillTheScreen(host);
    frmTesselOptions* opened = nullptr;
    ASSERT_TRUE(OpenOptionsWindow(opened));
    frmTesselOptions& w = *opened;
    ASSERT_TRUE(userinput::BringToFront(host.TestFrame::Handle()));
    ScanTheFolder(w);
    boxes.answers = {1};  // the scan's opening note
    const HWND frameWindow = host.TestFrame::Handle();
    const int leftOpen = userinput::ActAsUser([&] {
        if (StartRescan(w)) {
            const POINT box = userinput::CloseBoxOf(frameWindow);
            if (box.x < 0) {
                notes += "the frame has no close box; ";
            } else {
                HoldDownOn(box, [&] { return host.exitsWaiting.load() > 0; }, "the Exit");
                userinput::ButtonUp(userinput::Button::Left);
                if (!userinput::WaitUntil([&] { return host.exitsWaiting.load() > 0; }, 5000))
                    notes += "the release over the frame's close box asked no Exit; ";
                // The Exit waits: the scan goes on.
                if (!ScanAdvances(20)) notes += "the scan stood still after the Exit; ";
                if (host.exitsAsked.load() > 0) notes += "the Exit was asked before the scan ended; ";
            }
        }
        userDone = true;
    });
    EXPECT_EQ(leftOpen, 0) << "an input was lost";
    EXPECT_TRUE(notes.empty()) << notes;
    EXPECT_TRUE(stillThere) << "the options window stayed while the scan ran";
    EXPECT_TRUE(PumpUntil([&] { return scanEnded.load(); }, 20000)) << "the scan ended";
    // What the scan wrote, read before the close packs the working folder away.
    const std::string written = ReadFileBytes(WorkingFolder() + L"\\TesselExe.dat");
    EXPECT_EQ(host.exitsWaiting.load(), 1);
    // The heartbeat carries the Exit out now.
    EXPECT_TRUE(PumpUntil(
        [&] {
            host.Tick();
            return !w.Loaded();
        },
        10000))
        << "the frame exited and closed the options window once the scan had ended";
    EXPECT_EQ(host.exitsAsked.load(), 1) << "the user was asked once, after the scan";
    EXPECT_NE(written, ProgramLines(8)) << "the scan wrote its list";
    EXPECT_EQ(ArchivedMember(archive, L"TesselExe.dat"), written) << "the scan's list reached the archive";
}

// A pump of the library's other code (a status text of another window, the restorer's reload)
// runs while the options window is idle: the MDI keys are translated only in the pumps under the
// window's own work, so Ctrl+F4 typed meanwhile closes nothing under that code.
TEST_F(OptionsCloseTest, ALibraryPumpOutsideTheWindowsWorkTurnsNoKeysIntoAClose) {
    frmTesselOptions& w = OpenInFrame();
    ASSERT_TRUE(w.Loaded());
    ASSERT_FALSE(w.Working());
    static OptionsCloseTest* current = nullptr;
    static frmTesselOptions* window = nullptr;
    current = this;
    window = &w;
    const UINT_PTR timer = SetTimer(nullptr, 0, 20, [](HWND, UINT, UINT_PTR, DWORD) {
        OptionsCloseTest* t = current;
        if (!t || t->scanning) return;
        t->scanning = true;
        const DWORD end = GetTickCount() + 30000;
        while (!t->userDone && static_cast<LONG>(end - GetTickCount()) > 0) {
            vb::DoEvents();
            ++t->progress;
            t->stillThere = t->stillThere && window->Loaded();
            Sleep(5);
        }
    });
    const int leftOpen = userinput::ActAsUser([&] {
        if (!userinput::WaitUntil([&] { return scanning.load(); }, 5000)) notes += "the pump never ran; ";
        userinput::Chord({VK_CONTROL, VK_F4});
        if (!userinput::InputArrived(5000)) notes += "the keys never reached the window thread; ";
        ScanAdvances(20);
        userDone = true;
    });
    KillTimer(nullptr, timer);
    current = nullptr;
    EXPECT_EQ(leftOpen, 0);
    EXPECT_TRUE(notes.empty()) << notes;
    EXPECT_TRUE(stillThere) << "the window stayed open under the pump";
    EXPECT_TRUE(w.Loaded());
    EXPECT_FALSE(w.ClosePending());
}

// The host's tick through the automation object, once the frame is minimized, closes an idle
// window: while the call runs, the window's code is on the stack and counts as running, so the
// object cannot be let go of under it.
TEST_F(OptionsCloseTest, TheTickThroughAutomationCountsAsRunningCodeWhileItClosesTheWindow) {
    frmTesselOptions& w = OpenInFrame();
    ASSERT_TRUE(w.Loaded());
    IDispatch* form = w.Automation();
    form->AddRef();
    com::ComPtr<IDispatch> kept(form);
    struct Watch {
        frmTesselOptions* window = nullptr;
        int destroys = 0;
        bool runningThen = false;
    };
    static Watch watch;
    watch = Watch{&w};
    // The window's end begins with the frame's client being asked to destroy it.
    const HHOOK hook = SetWindowsHookExW(
        WH_CALLWNDPROC,
        [](int code, WPARAM wParam, LPARAM lParam) -> LRESULT {
            const auto* call = reinterpret_cast<const CWPSTRUCT*>(lParam);
            if (code == HC_ACTION && call->message == WM_MDIDESTROY && watch.window &&
                reinterpret_cast<HWND>(call->wParam) == watch.window->Handle()) {
                ++watch.destroys;
                watch.runningThen = watch.window->Running();
            }
            return CallNextHookEx(nullptr, code, wParam, lParam);
        },
        nullptr, GetCurrentThreadId());
    ASSERT_NE(hook, nullptr);
    com::CallByName(kept.Get(), L"MdiFrmWindowState", DISPATCH_PROPERTYPUT, {vb::Variant(static_cast<int16_t>(1))});
    com::CallByName(kept.Get(), L"TimerEvent", DISPATCH_METHOD);
    UnhookWindowsHookEx(hook);
    EXPECT_FALSE(w.Loaded()) << "the tick closed the idle window of a minimized frame";
    EXPECT_EQ(watch.destroys, 1);
    EXPECT_TRUE(watch.runningThen) << "the tick's code counted as running while it closed the window";
    EXPECT_FALSE(w.Running()) << "and no longer once the call had returned";
    watch = Watch{};
}

// The host's tick closes the window (its frame went to the tray) while the window's pop-up menu
// is open, and the host then asks for the window again: the object whose menu loop is still
// running must stay until that loop has returned.
TEST_F(OptionsCloseTest, AWindowClosedUnderItsOpenPopUpMenuLivesUntilTheMenuHasReturned) {
    frmTesselOptions& w = OpenInFrame();
    ASSERT_TRUE(w.Loaded());
    IDispatch* form = w.Automation();
    form->AddRef();
    com::ComPtr<IDispatch> kept(form);
    std::atomic<bool> closedUnderMenu{false};
    long readinessAfterReopen = -1;
    frmTesselOptions* reopened = nullptr;
    // On this thread, from inside the menu's loop once the menu shows.
    static std::function<void()>* whileOpen = nullptr;
    std::function<void()> closeAndReopen = [&] {
        if (closedUnderMenu || !OpenPopUp()) return;
        w.SetMdiFrmWindowState(1);
        w.TimerEvent();
        if (w.Loaded()) return;
        reopened = &frmTesselOptions::Default();
        readinessAfterReopen = com::CallByName(kept.Get(), L"FormReadiness", DISPATCH_PROPERTYGET).ToLong();
        closedUnderMenu = true;
    };
    whileOpen = &closeAndReopen;
    const UINT_PTR timer = SetTimer(nullptr, 0, 30, [](HWND, UINT, UINT_PTR, DWORD) {
        if (whileOpen) (*whileOpen)();
    });
    const int leftOpen = userinput::ActAsUser([&] {
        RECT row{};
        row.left = LVIR_LABEL;
        SendMessageW(w.lvwPrograms.Handle(), LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row));
        userinput::Click(userinput::OnScreen(w.lvwPrograms.Handle(), POINT{row.left + 8, (row.top + row.bottom) / 2}),
                         userinput::Button::Right);
        if (!userinput::WaitUntil([&] { return closedUnderMenu.load(); }, 5000)) notes += "no close under the menu; ";
        if (OpenPopUp()) userinput::Press(VK_ESCAPE);
        userinput::WaitUntil([] { return OpenPopUp() == nullptr; }, 3000);
    });
    KillTimer(nullptr, timer);
    whileOpen = nullptr;
    EXPECT_EQ(leftOpen, 0);
    EXPECT_TRUE(notes.empty()) << notes;
    ASSERT_TRUE(closedUnderMenu);
    EXPECT_NE(reopened, &w) << "a new window stands for the closed one";
    EXPECT_EQ(readinessAfterReopen, frReady) << "the closed window's object was still there under its menu";
    // Once nothing of it runs any more, the next request lets it go.
    frmTesselOptions::Default();
    EXPECT_EQ(com::CallByName(kept.Get(), L"FormReadiness", DISPATCH_PROPERTYGET).ToLong(), 0);
}

}  // namespace
