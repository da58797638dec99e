// The options window inside the host's own frame (MDIFrm, with its heartbeat, its icon in the
// notification area and ShowMDIForm), as a user minimizes the frame into the notification area
// and brings it back with a double click on the icon in Wine's tray window:
// - while something holds the window loaded (a rescan, the association restorer, a library
//   dialog) the window stays through the trip and keeps its layout;
// - an idle window closes itself while the frame is away and packs what it had;
// - a message box the library shows while the frame is away belongs to the frame, which waits
//   disabled under it (what the host's icon looks at before it brings the frame back).
// The frame builds its product as it does in the suite, by ProgID, here from the options code
// linked into this program (a class object registered for the test's ProgID), so that the scan
// can be held by the test. The pointer and keys go through SendInput from a second thread.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <utility>
#include <vector>

#include "CForm.h"
#include "FakePresenter.h"
#include "HostContract.h"
#include "LibraryMessages.h"
#include "MDIFrm.h"
#include "MinimizedFrameSupport.h"
#include "OptionsMenus.h"
#include "OptionsTestSupport.h"
#include "OptionsWindowSupport.h"
#include "ToolWindowOpener.h"
#include "UserInput.h"
#include "basData.h"
#include "basHookSwitch.h"
#include "basIniFile.h"
#include "basMessageHandler.h"
#include "basStrings.h"
#include "frmAssociationRestorer.h"
#include "frmFind.h"
#include "frmSysTray.h"
#include "frmTesselOptions.h"
#include "vb/VbError.h"
#include "vb/VbScreen.h"
#include "zip/ZipArchive.h"

using namespace windowtest;
using namespace minimizedframe;

namespace {

// The product the frame finds under its key: this ProgID prefix, whose class object is ours.
constexpr wchar_t kPrefix[] = L"LumoxFrameTests";
constexpr CLSID kProductClass = {0x5b7e3c2a, 0x9d41, 0x4f6b, {0x8a, 0x3e, 0x2c, 0x1d, 0x7f, 0x90, 0x4b, 0x61}};
constexpr wchar_t kProductClassText[] = L"{5B7E3C2A-9D41-4F6B-8A3E-2C1D7F904B61}";
const std::wstring kProductsKey = L"Software\\Morva Corporation\\Morva Utility Manager\\0";
constexpr wchar_t kTrayWindowClass[] = L"__winex11_standalone_tray";

// Makes the library's plug-in face, as Sendrik.dll's class object does.
class ProductFactory : public IClassFactory {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (riid == IID_IUnknown || riid == IID_IClassFactory) {
            *ppv = static_cast<IClassFactory*>(this);
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return 2; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        if (outer) return CLASS_E_NOAGGREGATION;
        return sendrik::CreateCForm(riid, ppv);
    }
    STDMETHODIMP LockServer(BOOL) override { return S_OK; }
};
ProductFactory g_factory;

// The frame's heartbeat as it reaches the frame through whichever loop runs: the test's, the
// library's DoEvents, a dialog's.
std::atomic<int> g_frameTicks{0};
HWND g_frameWindow = nullptr;
LRESULT CALLBACK CountFrameTicks(int code, WPARAM how, LPARAM message) {
    if (code == HC_ACTION && how == PM_REMOVE) {
        const MSG* m = reinterpret_cast<const MSG*>(message);
        if (m->message == WM_TIMER && m->hwnd == g_frameWindow) ++g_frameTicks;
    }
    return CallNextHookEx(nullptr, code, how, message);
}

std::vector<std::pair<std::wstring, std::wstring>> StringValues(const std::wstring& path) {
    std::vector<std::pair<std::wstring, std::wstring>> values;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return values;
    for (DWORD i = 0;; ++i) {
        wchar_t name[512] = {}, data[1024] = {};
        DWORD nameLength = 512, size = sizeof(data), type = 0;
        if (RegEnumValueW(key, i, name, &nameLength, nullptr, &type, reinterpret_cast<BYTE*>(data), &size) !=
            ERROR_SUCCESS)
            break;
        if (type == REG_SZ) values.emplace_back(name, data);
    }
    RegCloseKey(key);
    return values;
}

void SetStringValue(const std::wstring& path, const std::wstring& name, const std::wstring& data) {
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    RegSetValueExW(key, name.empty() ? nullptr : name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                   static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

void DeleteStringValues(const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS) return;
    for (const auto& value : StringValues(path)) RegDeleteValueW(key, value.first.c_str());
    RegCloseKey(key);
}

// On the user's thread: the icon's slot in Wine's tray window, double-clicked. Answers what went
// wrong, or an empty text.
std::string DoubleClickTheTrayIcon() {
    HWND tray = nullptr;
    if (!userinput::WaitUntil(
            [&] {
                tray = FindWindowW(kTrayWindowClass, nullptr);
                return tray && IsWindowVisible(tray);
            },
            5000)) {
        // What there is instead, for the failure's message.
        std::string seen;
        for (HWND h = GetTopWindow(nullptr); h; h = GetWindow(h, GW_HWNDNEXT)) {
            wchar_t cls[64] = {};
            GetClassNameW(h, cls, 64);
            wchar_t text[64] = {};
            GetWindowTextW(h, text, 64);
            seen += " " + userinput::watch::Narrow(cls) + "\"" + userinput::watch::Narrow(text) + "\"" +
                    (IsWindowVisible(h) ? "(shown)" : "") + (IsIconic(h) ? "(iconic)" : "");
        }
        if (HWND t = FindWindowW(kTrayWindowClass, nullptr)) {
            RECT r{};
            GetWindowRect(t, &r);
            seen += "; the tray window at " + Describe(r) + " holds";
            for (HWND c = GetWindow(t, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
                seen += std::string(" a slot") + (IsWindowVisible(c) ? "(shown)" : "(hidden)");
        }
        return "Wine shows no tray window; top-level windows:" + seen;
    }
    HWND slot = nullptr;
    for (HWND child = GetWindow(tray, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (IsWindowVisible(child)) {
            slot = child;  // only this program shows an icon in the tests' prefix
            break;
        }
    if (!slot) return "the tray window shows no icon";
    userinput::DoubleClick(userinput::CentreOf(slot));
    return {};
}

bool FrameInTheTray(HWND frame) { return !IsWindowVisible(frame); }
bool FrameBack(HWND frame) { return IsWindowVisible(frame) && !IsIconic(frame); }

class OptionsInTheHostFrame : public ::testing::Test {
protected:
    void SetUp() override {
        OleInitialize(nullptr);
        SetMessageRows(LibraryMessageRow);
        vb::Err().Clear();
        root = RootFolder();
        WriteArchive(root, {{L"Tesselcat.xml", CategoryFile()}, {L"TesselExe.dat", ProgramLines(8)}});
        archive = GetArchivePath();
        SetFirstRun(L"False");
        IniFile(IniWrite, L"Log Snapshot", vb::Variant(0L));
        DeleteFileW(JoinPaths(root, L"Messages\\Lumox\\Welcome.app.note").c_str());
        SetProgramScan([](ExeScanHost&, bool) { return true; });
        StartAssociationRestorer();
        InstallToolWindowOpener();

        // The frame's products: only ours.
        savedProducts = StringValues(kProductsKey);
        DeleteStringValues(kProductsKey);
        SetStringValue(kProductsKey, L"Sendrik.dll1.0.0.0", kPrefix);
        SetStringValue(std::wstring(L"Software\\Classes\\") + kPrefix + contract::ProductClassSuffix + L"\\CLSID", L"",
                       kProductClassText);
        ASSERT_EQ(S_OK, CoRegisterClassObject(kProductClass, &g_factory, CLSCTX_INPROC_SERVER, REGCLS_MULTIPLEUSE,
                                              &registration));

        // The hook is on, so a minimized frame goes into the notification area.
        HookSwitchedOn() = true;
        previousEnd = SetEndProgramFunction([] {});
        MDIFrm& frame = MDIFrm::Load();
        frameWindow = g_frameWindow = frame.Handle();
        SetWindowPos(frameWindow, HWND_TOP, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN) - 40,
                     SWP_SHOWWINDOW);
        frame.Show();
        // Its first activation opens the options window, maximized in the frame. Here the host sees
        // the library's windows among its own (one program), so the window that the product's
        // toolbar pictures loaded hidden counts as open already; the test then opens it as the
        // first activation does in the suite, by the product's menu command.
        ASSERT_TRUE(userinput::PumpUntil([&] { return frame.ActivationCount() > 0; }, 10000));
        if (!userinput::PumpUntil([&] { return Window() && IsWindowVisible(Window()->Handle()); }, 3000))
            frame.mnu1_Click(0);
        ASSERT_TRUE(userinput::PumpUntil([&] { return Window() && Window()->FormReadiness() == frReady; }, 30000))
            << "the frame did not open the options window: it has " << frame.suite.Products.size() << " product(s)";
        ASSERT_TRUE(IsZoomed(Window()->Handle()));
        ASSERT_TRUE(LayoutSettled(*Window()));
        userinput::BringToFront(frameWindow);
        ticks = SetWindowsHookExW(WH_GETMESSAGE, CountFrameTicks, nullptr, GetCurrentThreadId());
    }
    void TearDown() override {
        if (ticks) UnhookWindowsHookEx(ticks);
        if (frmFind* find = frmFind::Existing()) find->Unload();
        if (frmAssociationRestorer* restorer = frmAssociationRestorer::Existing()) restorer->Unload();
        frmAssociationRestorer::Release();
        CloseOptionsWindow();
        if (MDIFrm* frame = MDIFrm::Current()) frame->Unload();
        win::DefaultInstance<MDIFrm>::Release();
        win::DefaultInstance<frmSysTray>::Release();
        TurnHookOff();
        HookSwitchedOn() = false;
        SetEndProgramFunction(previousEnd);
        g_frameWindow = nullptr;
        if (registration) CoRevokeClassObject(registration);
        testsupport::DeleteRegistryTree(HKEY_LOCAL_MACHINE,
                                        std::wstring(L"Software\\Classes\\") + kPrefix + contract::ProductClassSuffix);
        DeleteStringValues(kProductsKey);
        for (const auto& value : savedProducts) SetStringValue(kProductsKey, value.first, value.second);
        SetToolWindowOpener(nullptr);
        SetAssociationRestorerOpener(nullptr);
        SetProgramScan(nullptr);
        SetMessagePresenter(nullptr);
        userinput::PumpFor(50);
        vb::Err().Clear();
        OleUninitialize();
    }

    static frmTesselOptions* Window() {
        frmTesselOptions* w = frmTesselOptions::Existing();
        return w && w->Loaded() ? w : nullptr;
    }
    // On the user's thread: waits for that many of the frame's ticks from now.
    static bool FrameTicks(int count) {
        const int from = g_frameTicks.load();
        return userinput::WaitUntil([&] { return g_frameTicks.load() >= from + count; }, 15000);
    }

    std::wstring root, archive;
    HWND frameWindow = nullptr;
    HHOOK ticks = nullptr;
    DWORD registration = 0;
    EndProgramFunction previousEnd = nullptr;
    std::vector<std::pair<std::wstring, std::wstring>> savedProducts;
};

// What holds the options window while the frame sits in the notification area.
enum class Holder { Nothing, Rescan, Restorer, LibraryDialog };

struct TripRow {
    const char* name;
    Holder holder;
};

class FrameThroughTheTray : public OptionsInTheHostFrame, public ::testing::WithParamInterface<TripRow> {
protected:
    // The boxes on the way (the restorer's first start without a snapshot, say) are answered.
    FakePresenter boxes;
};

TEST_P(FrameThroughTheTray, TheWindowStaysWhileHeldAndKeepsItsLayoutElseClosesAndPacks) {
    const Holder holder = GetParam().holder;
    frmTesselOptions* w = Window();
    ASSERT_TRUE(w);
    const Layout before = LayoutOf(*w);
    const HWND child = w->Handle();
    const HWND frame = frameWindow;
    const HWND client = GetParent(child);

    // The idle window has something to pack: a list the user's work changed.
    const std::string changedList = ProgramLines(11);
    if (holder == Holder::Nothing) {
        ASSERT_TRUE(WriteFileBytes(WorkingFolderPath() + L"\\TesselExe.dat", changedList));
    }

    std::atomic<bool> scanning{false}, userDone{false};
    SetProgramScan([&](ExeScanHost&, bool) {
        scanning = true;
        // The scan takes as long as the user is busy with the frame, letting messages through
        // between its steps as the real one does.
        const DWORD end = GetTickCount() + 60000;
        while (!userDone && static_cast<LONG>(end - GetTickCount()) > 0) {
            vb::DoEvents();
            Sleep(5);
        }
        return true;
    });

    // What the user's thread cannot ask the window objects itself, noted on this thread from a
    // timer that runs inside every loop (a dialog's too).
    std::atomic<HWND> restorer{nullptr}, find{nullptr};
    std::function<void()> look = [&] {
        if (frmAssociationRestorer* r = frmAssociationRestorer::Existing())
            restorer = r->Loaded() && r->Visible() ? r->Handle() : nullptr;
        if (frmFind* f = frmFind::Existing()) find = f->Loaded() && IsWindowVisible(f->Handle()) ? f->Handle() : nullptr;
    };
    userinput::ShowerTick() = &look;
    const UINT_PTR sampler = SetTimer(nullptr, 0, 20, &userinput::ShowerTimer);

    const HMENU extensionsMenu = w->Menus()->NativeMenu(mgExtList);
    const HMENU programsMenu = w->Menus()->NativeMenu(mgPrgList);
    const int refresh = optionstest::MenuPositionStartingWith(programsMenu, L"Refresh Exe's");
    const int restore = optionstest::MenuPositionOf(extensionsMenu, L"Association &Save && Restore");
    const int findItem = optionstest::MenuPositionOf(programsMenu, L"Find");
    ASSERT_GE(refresh, 0);
    ASSERT_GE(findItem, 0);
    ASSERT_GE(restore, 0);
    RECT row{};
    row.left = LVIR_LABEL;
    SendMessageW(w->lvwPrograms.Handle(), LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&row));
    const POINT onPrograms =
        userinput::OnScreen(w->lvwPrograms.Handle(), POINT{row.left + 8, (row.top + row.bottom) / 2});
    const POINT onExtensions = userinput::OnScreen(w->lvwExts.Handle(), POINT{40, 30});

    std::string problem;
    bool heldInTheTray = false, stayedUnderTheDialog = false, reopened = false;
    const int leftOpen = userinput::ActAsUser([&] {
        auto fail = [&](const char* what) {
            problem = what;
            userDone = true;
        };
        // The holder, started from the list's pop-up menu.
        if (holder != Holder::Nothing) {
            const bool restorerRow = holder == Holder::Restorer;
            userinput::Click(restorerRow ? onExtensions : onPrograms, userinput::Button::Right);
            if (!userinput::WaitForPopUpMenu()) return fail("no pop-up came on the list");
            const int item = restorerRow ? restore : holder == Holder::Rescan ? refresh : findItem;
            if (!optionstest::ClickMenuItemAsUser(restorerRow ? extensionsMenu : programsMenu, item))
                return fail("the pop-up's item was not reached");
            const bool up = userinput::WaitUntil(
                [&] {
                    return restorerRow                ? restorer.load() != nullptr
                           : holder == Holder::Rescan ? scanning.load()
                                                      : find.load() != nullptr;
                },
                20000);
            if (!up) return fail("the menu item started no rescan, restorer or dialog");
        }

        // Into the notification area with the frame's minimize box. Under a library dialog the
        // frame takes no clicks: the system minimizes it, as its "show the desktop" does.
        if (holder == Holder::LibraryDialog) {
            ShowWindowAsync(frame, SW_MINIMIZE);
        } else {
            const POINT box = userinput::MinimizeBoxOf(frame);
            if (box.x < 0) return fail("the frame shows no minimize box");
            userinput::Click(box);
        }
        if (!userinput::WaitUntil([&] { return FrameInTheTray(frame); }, 5000))
            return fail("the frame did not go into the notification area");
        // The frame's heartbeat tells the window its frame is minimized; an idle window closes.
        if (holder == Holder::Nothing) {
            if (!userinput::WaitUntil([&] { return !IsWindow(child); }, 15000))
                return fail("the idle window stayed while the frame was in the notification area");
            // The frame stays away a moment longer, as a user leaves it there.
            if (!FrameTicks(16)) return fail("the frame's heartbeat did not run in the notification area");
        } else {
            if (!FrameTicks(16)) return fail("the frame's heartbeat did not run in the notification area");
            heldInTheTray = IsWindow(child) != FALSE;
        }

        // Back with a double click on the icon (ShowMDIForm). Under the library's dialog the icon
        // leaves the frame where it is, and the system brings it back. The idle window's close
        // unloaded every other window it counts as the library's, which in this one program
        // includes the host's icon window: there the system brings the frame back.
        if (holder == Holder::Nothing) {
            ShowWindowAsync(frame, SW_RESTORE);
        } else if (std::string trouble = DoubleClickTheTrayIcon(); !trouble.empty()) {
            return fail(trouble.c_str());
        }
        if (holder == Holder::LibraryDialog) {
            stayedUnderTheDialog = !userinput::WaitUntil([&] { return FrameBack(frame); }, 2000);
            ShowWindowAsync(frame, SW_RESTORE);
        }
        if (!userinput::WaitUntil([&] { return FrameBack(frame); }, 10000))
            return fail("the frame did not come back from the notification area");
        if (holder == Holder::Nothing) {
            // The frame opens the options window again.
            reopened = userinput::WaitUntil([&] { return FindWindowExW(client, nullptr, nullptr, L"Lumox Expert Options") != nullptr; },
                                            15000);
        }

        // The user ends what held the window.
        userDone = true;
        if (holder == Holder::Restorer) {
            const HWND r = restorer.load();
            userinput::BringToFront(r);
            userinput::Click(userinput::CloseBoxOf(r));
            userinput::WaitUntil([&] { return restorer.load() == nullptr; }, 10000);
        } else if (holder == Holder::LibraryDialog) {
            // The user looks at the frame a moment before ending the dialog: the frame's heartbeat
            // tells the window the frame's state after its call of the window's step, so a
            // dialog ended within that one tick would still find the frame minimized.
            FrameTicks(4);
            const HWND f = find.load();
            userinput::BringToFront(f);
            userinput::Click(userinput::CloseBoxOf(f));
            userinput::WaitUntil([&] { return find.load() == nullptr; }, 10000);
        }
    });
    KillTimer(nullptr, sampler);
    userinput::ShowerTick() = nullptr;

    EXPECT_EQ(problem, "");
    EXPECT_EQ(leftOpen, 0) << "a pop-up or window still waited once the user was done: an input was lost\n"
                           << userinput::WhatWasLeftOpen();
    if (holder == Holder::Nothing) {
        EXPECT_EQ(ArchivedMember(archive, L"TesselExe.dat"), changedList)
            << "the window that closed in the notification area packed what it had";
        EXPECT_TRUE(reopened) << "the frame back from the notification area shows the options window again";
        return;
    }
    EXPECT_TRUE(heldInTheTray) << "the window stayed loaded while the frame was in the notification area";
    if (holder == Holder::LibraryDialog) {
        EXPECT_TRUE(stayedUnderTheDialog) << "the icon brought the frame back under the library's dialog";
    }
    frmTesselOptions* after = Window();
    ASSERT_EQ(after, w) << "the same window is there once the frame is back";
    ASSERT_TRUE(LayoutSettled(*w));
    EXPECT_TRUE(IsZoomed(w->Handle()));
    ExpectSameLayout(before, LayoutOf(*w));
}

INSTANTIATE_TEST_SUITE_P(Holders, FrameThroughTheTray,
                         ::testing::Values(TripRow{"Idle", Holder::Nothing}, TripRow{"DuringARescan", Holder::Rescan},
                                           TripRow{"WithTheRestorerOpen", Holder::Restorer},
                                           TripRow{"UnderALibraryDialog", Holder::LibraryDialog}),
                         [](const ::testing::TestParamInfo<TripRow>& info) { return std::string(info.param.name); });

// A box of the library while the frame sits in the notification area: the idle window closes
// itself there and cannot pack, for the archive is held open without sharing (as another program
// would hold it; here the test's own handle). The box belongs to the frame, which waits disabled
// under it: the host's icon sees that, whatever module the box comes from, and leaves the frame
// in the tray until the box is answered. In this program the host and the library share one
// count of modal loops, which the suite's two modules do not: the owner and the disabled frame
// are what is checked.
TEST_F(OptionsInTheHostFrame, ALibraryBoxWhileTheFrameIsInTheTrayBelongsToTheFrame) {
    frmTesselOptions* w = Window();
    ASSERT_TRUE(w);
    const HWND child = w->Handle();
    const HWND frame = frameWindow;
    ASSERT_TRUE(WriteFileBytes(WorkingFolderPath() + L"\\TesselExe.dat", ProgramLines(11)));
    HANDLE held = CreateFileW(archive.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);

    std::string problem;
    HWND owner = nullptr;
    bool frameEnabledUnderTheBox = true, frameEnabledAfter = false, back = false;
    const int leftOpen = userinput::ActAsUser([&] {
        const POINT box = userinput::MinimizeBoxOf(frame);
        if (box.x < 0) {
            problem = "the frame shows no minimize box";
            return;
        }
        userinput::Click(box);
        if (!userinput::WaitUntil([&] { return FrameInTheTray(frame); }, 5000)) {
            problem = "the frame did not go into the notification area";
            return;
        }
        HWND shown = nullptr;
        if (!userinput::WaitUntil(
                [&] {
                    for (HWND h : userinput::watch::ShownWindowsOf(GetWindowThreadProcessId(frame, nullptr))) {
                        wchar_t cls[32] = {};
                        GetClassNameW(h, cls, 32);
                        if (std::wstring(cls) == L"#32770") shown = h;
                    }
                    return shown != nullptr;
                },
                20000)) {
            problem = IsWindow(child) ? "the idle window did not close in the notification area"
                                      : "no message came when the pack failed";
            return;
        }
        owner = GetWindow(shown, GW_OWNER);
        frameEnabledUnderTheBox = IsWindowEnabled(frame) != FALSE;
        // The user answers the box, then the frame is brought back (the idle window's close
        // unloaded every other window it counts as the library's, which in this one program
        // includes the host's icon window: the system brings the frame back).
        CloseHandle(held);
        held = INVALID_HANDLE_VALUE;
        userinput::BringToFront(shown);
        userinput::Press(VK_RETURN);
        if (!userinput::WaitUntil([&] { return !IsWindow(shown); }, 5000)) {
            problem = "the box stayed after Enter";
            return;
        }
        frameEnabledAfter = IsWindowEnabled(frame) != FALSE;
        ShowWindowAsync(frame, SW_RESTORE);
        back = userinput::WaitUntil([&] { return FrameBack(frame); }, 10000);
    });
    if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
    EXPECT_EQ(problem, "");
    EXPECT_EQ(leftOpen, 0) << userinput::WhatWasLeftOpen();
    EXPECT_EQ(owner, frame) << "the box belongs to the frame in the notification area";
    EXPECT_FALSE(frameEnabledUnderTheBox) << "the frame takes commands while the box waits";
    EXPECT_TRUE(frameEnabledAfter) << "the frame takes commands again once the box is answered";
    EXPECT_TRUE(back) << "the frame came back once the box was answered";
}

}  // namespace
