// Closing the options window while it works, as the user closes it: the real window maximized in
// a frame with a menu bar (where the maximized child's close box sits), "Refresh Exe's" chosen
// from the program list's pop-up, and the close asked for with the keys or the close box through
// SendInput from a second thread while the scan runs on this one.
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <string>

#include "FakePresenter.h"
#include "LibraryMessages.h"
#include "OptionsMenus.h"
#include "OptionsTestSupport.h"
#include "OptionsWindowSupport.h"
#include "UserInput.h"
#include "basData.h"
#include "basIniFile.h"
#include "basMessageHandler.h"
#include "basStrings.h"
#include "com/ComDispatch.h"
#include "frmTesselOptions.h"
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

    std::wstring root, archive;
    std::unique_ptr<TestFrame> frame;
    FakePresenter boxes;
    DialogWatchdog watchdog;
    std::atomic<bool> scanning{false}, userDone{false}, closeAsked{false}, stillThere{true};
    std::atomic<int> progress{0};
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
         userinput::MoveTo(box);
         userinput::SettlePointer();
         userinput::ButtonDown(userinput::Button::Left);
         // While the button is down the close is asked for and the scan goes on.
         const bool asked = userinput::WaitUntil([&] { return t.closeAsked.load(); }, 5000);
         const bool advanced = t.ScanAdvances(20);
         userinput::ButtonUp(userinput::Button::Left);
         if (!asked) t.notes += "the press asked for no close while the button was down; ";
         if (!advanced) t.notes += "the scan stood still while the button was down; ";
         return asked && advanced;
     }},
};

std::string CloseWayName(const ::testing::TestParamInfo<CloseWay>& info) {
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

// A member of the archive as it is now.
std::string ArchivedMember(const std::wstring& archive, const std::wstring& name) {
    const std::wstring check = testsupport::FreshTempFolder(L"closecheck");
    std::string bytes = "(the archive could not be unpacked)";
    if (zip::UnpackFiles(archive, check, kPassword) == zip::ZipResult::Ok) bytes = ReadFileBytes(check + L"\\" + name);
    testsupport::RemoveTree(check);
    return bytes;
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

INSTANTIATE_TEST_SUITE_P(AsTheUserDoes, CloseDuringARescan, ::testing::ValuesIn(kCloseWays), CloseWayName);

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

INSTANTIATE_TEST_SUITE_P(AsTheUserDoes, CloseDuringARebuild, ::testing::ValuesIn(kCloseWays), CloseWayName);

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
