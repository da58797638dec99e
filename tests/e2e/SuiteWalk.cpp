#include "SuiteWalk.h"

#include <commctrl.h>
#include <psapi.h>
#include <shellapi.h>

#include <algorithm>
#include <optional>

#include "E2ESupport.h"
#include "TestSupport.h"
#include "UserInput.h"
#include "zip/ZipArchive.h"

namespace walk {

namespace {

constexpr wchar_t kTipCaption[] = L" Tip: Getting the latest version of Morva Lumox";
constexpr wchar_t kDriveListCaption[] = L"Drive List";
constexpr wchar_t kDefaultsCaption[] = L"Associations to Automatically Add";
constexpr wchar_t kWelcomeCaption[] = L"Information";
constexpr wchar_t kQuitCaption[] = L" Minimize / Exit";
constexpr wchar_t kHooksKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\explorer\\ShellExecuteHooks";
constexpr wchar_t kHookValue[] = L"{69845E54-42A3-4EE8-B72C-31E2E69C6023}";
constexpr wchar_t kHostKey[] = L"SOFTWARE\\Morva Corporation\\Morva Utility Manager";
constexpr char kArchivePassword[] = "UWLpKEh+";

std::wstring TextOf(HWND hwnd) {
    wchar_t text[1024] = {};
    // A window of another process answers through the window manager's own copy.
    SendMessageTimeoutW(hwnd, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text), SMTO_ABORTIFHUNG, 2000, nullptr);
    return text;
}

std::wstring ClassOf(HWND hwnd) {
    wchar_t name[128] = {};
    GetClassNameW(hwnd, name, 128);
    return name;
}

std::vector<HWND> Children(HWND parent) {
    std::vector<HWND> found;
    EnumChildWindows(
        parent,
        [](HWND child, LPARAM list) {
            reinterpret_cast<std::vector<HWND>*>(list)->push_back(child);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

HWND ChildWithText(HWND parent, const std::wstring& text) {
    for (HWND child : Children(parent))
        if (IsWindowVisible(child) && TextOf(child) == text) return child;
    return nullptr;
}

HWND ChildOfClass(HWND parent, const wchar_t* className) {
    for (HWND child : Children(parent))
        if (ClassOf(child) == className) return child;
    return nullptr;
}

std::vector<HWND> TopWindowsOf(DWORD pid, bool visibleOnly) {
    struct Walk {
        DWORD pid;
        bool visibleOnly;
        std::vector<HWND> found;
    } walk{pid, visibleOnly, {}};
    EnumWindows(
        [](HWND hwnd, LPARAM param) {
            auto& w = *reinterpret_cast<Walk*>(param);
            DWORD owner = 0;
            GetWindowThreadProcessId(hwnd, &owner);
            if (owner == w.pid && (!w.visibleOnly || IsWindowVisible(hwnd))) w.found.push_back(hwnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&walk));
    return walk.found;
}

// The window is in front and takes the click where the pointer goes.
void ClickOn(HWND control) {
    if (HWND top = GetAncestor(control, GA_ROOT)) SetForegroundWindow(top);
    userinput::Click(userinput::CentreOf(control));
}

std::optional<std::wstring> RegistryText(HKEY root, const std::wstring& key, const wchar_t* value) {
    wchar_t data[1024] = {};
    DWORD size = sizeof(data) - sizeof(wchar_t);
    if (RegGetValueW(root, key.c_str(), value, RRF_RT_REG_SZ, nullptr, data, &size) != ERROR_SUCCESS)
        return std::nullopt;
    return std::wstring(data);
}

std::wstring Lower(std::wstring text) {
    CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

std::wstring FileNameOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring Seconds(DWORD ms) { return std::to_wstring((ms + 999) / 1000) + L" s"; }

// The list view of another process: its rows' first column and a row's rectangle, read through
// a buffer in that process.
class RemoteList {
public:
    explicit RemoteList(HWND list) : list_(list) {
        DWORD pid = 0;
        GetWindowThreadProcessId(list, &pid);
        process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
        if (process_)
            buffer_ = static_cast<BYTE*>(VirtualAllocEx(process_, nullptr, kSize, MEM_COMMIT, PAGE_READWRITE));
    }
    ~RemoteList() {
        if (buffer_) VirtualFreeEx(process_, buffer_, 0, MEM_RELEASE);
        if (process_) CloseHandle(process_);
    }
    RemoteList(const RemoteList&) = delete;
    RemoteList& operator=(const RemoteList&) = delete;

    int Count() const { return static_cast<int>(SendMessageW(list_, LVM_GETITEMCOUNT, 0, 0)); }

    std::wstring Text(int row) const {
        if (!buffer_) return L"";
        LVITEMW item{};
        item.iSubItem = 0;
        item.cchTextMax = 512;
        item.pszText = reinterpret_cast<wchar_t*>(buffer_ + sizeof(LVITEMW));
        WriteProcessMemory(process_, buffer_, &item, sizeof(item), nullptr);
        SendMessageW(list_, LVM_GETITEMTEXTW, row, reinterpret_cast<LPARAM>(buffer_));
        wchar_t text[513] = {};
        ReadProcessMemory(process_, buffer_ + sizeof(LVITEMW), text, 512 * sizeof(wchar_t), nullptr);
        return text;
    }

    // The row's label on the screen.
    bool RowRect(int row, RECT& onScreen) const {
        if (!buffer_) return false;
        RECT r{};
        r.left = LVIR_LABEL;
        WriteProcessMemory(process_, buffer_, &r, sizeof(r), nullptr);
        if (!SendMessageW(list_, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(buffer_))) return false;
        ReadProcessMemory(process_, buffer_, &r, sizeof(r), nullptr);
        MapWindowPoints(list_, nullptr, reinterpret_cast<POINT*>(&r), 2);
        onScreen = r;
        return true;
    }

private:
    static constexpr SIZE_T kSize = 4096;
    HWND list_;
    HANDLE process_ = nullptr;
    BYTE* buffer_ = nullptr;
};

std::wstring ImageOf(DWORD pid) {
    HANDLE process = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, pid);
    if (!process) return L"";
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameExW(process, nullptr, path, MAX_PATH);
    CloseHandle(process);
    return path;
}

std::wstring FromAnsi(const std::string& text) {
    const int n = MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, text.data(), static_cast<int>(text.size()), wide.data(), n);
    return wide;
}

std::string ReadText(const std::wstring& path) {
    std::string text;
    HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return text;
    char buffer[65536];
    DWORD got = 0;
    while (ReadFile(file, buffer, sizeof(buffer), &got, nullptr) && got) text.append(buffer, got);
    CloseHandle(file);
    return text;
}

}  // namespace

ArchiveText ReadArchive(const std::wstring& archive) {
    ArchiveText text;
    const std::wstring folder = testsupport::FreshTempFolder(L"walk-archive");
    if (zip::UnpackFiles(archive, folder, kArchivePassword) == zip::ZipResult::Ok) {
        text.read = true;
        text.categories = ReadText(folder + L"\\Tesselcat.xml");
        text.adds = ReadText(folder + L"\\TesselAdd.dat");
    }
    testsupport::RemoveTree(folder);
    return text;
}

std::vector<std::vector<std::wstring>> ArchiveText::AddsFor(const std::wstring& extension) const {
    std::vector<std::vector<std::wstring>> lines;
    const std::wstring all = FromAnsi(adds);
    size_t start = 0;
    while (start < all.size()) {
        size_t end = all.find(L'\n', start);
        if (end == std::wstring::npos) end = all.size();
        std::wstring line = all.substr(start, end - start);
        if (!line.empty() && line.back() == L'\r') line.pop_back();
        start = end + 1;
        std::vector<std::wstring> fields;
        for (size_t from = 0;;) {
            const size_t bar = line.find(L'|', from);
            fields.push_back(line.substr(from, bar == std::wstring::npos ? std::wstring::npos : bar - from));
            if (bar == std::wstring::npos) break;
            from = bar + 1;
        }
        if (fields.size() > 5 && Lower(fields[0]) == Lower(extension)) lines.push_back(fields);
    }
    return lines;
}

SuiteWalk::SuiteWalk(std::wstring hostExe, Say say, Snap snap)
    : hostExe_(std::move(hostExe)), say_(std::move(say)), snap_(std::move(snap)) {}

SuiteWalk::~SuiteWalk() {
    for (DWORD pid : programsStarted_) {
        if (HANDLE p = OpenProcess(PROCESS_TERMINATE, FALSE, pid)) {
            TerminateProcess(p, 0);
            CloseHandle(p);
        }
    }
    if (host_.hProcess) {
        if (WaitForSingleObject(host_.hProcess, 0) == WAIT_TIMEOUT) {
            say_(L"The host still runs at the end of the walk: ending it.");
            TerminateProcess(host_.hProcess, 1);
            WaitForSingleObject(host_.hProcess, 10000);
        }
        CloseHandle(host_.hProcess);
        CloseHandle(host_.hThread);
    }
}

bool SuiteWalk::Fail(const std::wstring& why) {
    failure_ = why;
    say_(L"FAILED: " + why);
    return false;
}

std::vector<HWND> SuiteWalk::HostWindows() const { return TopWindowsOf(host_.dwProcessId, true); }

HWND SuiteWalk::FindFrame() const {
    for (HWND hwnd : TopWindowsOf(host_.dwProcessId, false))
        if (ChildOfClass(hwnd, L"MDIClient")) return hwnd;
    return nullptr;
}

bool SuiteWalk::Start() {
    if (host_.hProcess) {
        CloseHandle(host_.hProcess);
        CloseHandle(host_.hThread);
        host_ = {};
    }
    frame_ = tray_ = nullptr;
    std::wstring command = L"\"" + hostExe_ + L"\"";
    const std::wstring folder = hostExe_.substr(0, hostExe_.find_last_of(L'\\'));
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    say_(L"Starting " + hostExe_);
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &startup, &host_))
        return Fail(L"the host could not be started (error " + std::to_wstring(GetLastError()) + L")");
    return true;
}

bool SuiteWalk::PassStart(bool firstStart, StartSeen& seen, DWORD limitMs) {
    say_(std::wstring(L"Waiting for the start's windows (") + (firstStart ? L"first start" : L"a later start") +
         L", at most " + Seconds(limitMs) + L")");
    const DWORD begin = GetTickCount();
    // A window answered once gets a second answer only if it is still there a while later.
    HWND lastAnswered = nullptr;
    DWORD lastAnsweredAt = 0;
    bool splashSeen = false;
    for (;;) {
        if (WaitForSingleObject(host_.hProcess, 0) == WAIT_OBJECT_0)
            return Fail(L"the host ended during its start");
        if (GetTickCount() - begin > limitMs)
            return Fail(L"the start did not reach the options window within " + Seconds(limitMs));

        frame_ = FindFrame();
        bool waiting = false;  // a window of the suite waits for the user
        for (HWND hwnd : HostWindows()) {
            if (hwnd == frame_) continue;
            const std::wstring caption = TextOf(hwnd);
            const std::wstring cls = ClassOf(hwnd);
            if (cls == L"#32768" || cls == L"tooltips_class32") continue;
            const bool again = hwnd == lastAnswered && GetTickCount() - lastAnsweredAt < 3000;
            HWND button = nullptr;
            std::wstring what;
            if (caption == kTipCaption) {
                button = ChildWithText(hwnd, L"Just Continue");
                what = L"the latest-version tip: \"Just Continue\"";
                if (!again) seen.tip = true;
            } else if (caption == kDriveListCaption) {
                if (!firstStart) return Fail(L"a later start asked for the drives to scan");
                button = ChildWithText(hwnd, L"OK");
                what = L"the drive list: OK";
                if (!again) seen.driveList = true;
            } else if (caption == kDefaultsCaption) {
                if (!firstStart) return Fail(L"a later start offered the default associations");
                button = ChildWithText(hwnd, L"Automatic");
                what = L"the default associations: \"Automatic\"";
                if (!again) ++seen.defaultSets;
            } else if (caption == kWelcomeCaption) {
                if (!firstStart) return Fail(L"a later start showed the welcome note");
                button = ChildWithText(hwnd, L"Close");
                what = L"the welcome note: Close";
                if (!again) seen.welcome = true;
            } else if (cls == L"#32770") {
                std::wstring text;
                for (HWND child : Children(hwnd))
                    if (ClassOf(child) == L"Static" && !TextOf(child).empty()) text += TextOf(child);
                for (HWND child : Children(hwnd)) {
                    if (ClassOf(child) == L"Button" && IsWindowVisible(child)) {
                        button = child;  // the first button: OK, or Yes
                        break;
                    }
                }
                what = L"a message box (\"" + caption + L"\"): " + TextOf(button);
                if (!again) {
                    seen.messages.push_back(text);
                    say_(L"  The message box says: " + text);
                }
            } else if (caption.empty() && (GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_TOOLWINDOW)) {
                if (!splashSeen) say_(L"  The splash shows; it closes by itself.");
                splashSeen = true;
                waiting = true;
                continue;
            } else {
                // A progress window or another window that needs no answer.
                waiting = true;
                continue;
            }
            waiting = true;
            if (again || !button) continue;
            say_(L"  Answering " + what);
            ClickOn(button);
            lastAnswered = hwnd;
            lastAnsweredAt = GetTickCount();
        }
        if (!waiting && frame_ && IsWindowVisible(frame_) && OptionsWindowInFrame()) {
            const bool welcomed =
                RegistryText(HKEY_LOCAL_MACHINE, std::wstring(kHostKey) + L"\\4", L"Morva Utility Manager First Time") ==
                std::optional<std::wstring>(L"False");
            if (welcomed) break;
        }
        Sleep(100);
    }
    say_(L"The frame shows the options window after " + Seconds(GetTickCount() - begin));
    if (!seen.tip) return Fail(L"the latest-version tip did not show");
    if (snap_) snap_(L"frame");
    return true;
}

bool SuiteWalk::ComponentsRegistered(const std::wstring& programs) {
    const struct {
        const wchar_t* what;
        const wchar_t* key;
        const wchar_t* file;
    } servers[] = {
        {L"the hook", L"CLSID\\{69845E54-42A3-4EE8-B72C-31E2E69C6023}\\InprocServer32", L"Zintra.dll"},
        {L"the options library", L"CLSID\\{C4D9D85C-E53F-4C91-AC00-AE2104E08569}\\InprocServer32", L"Sendrik.dll"},
        {L"the chooser", L"CLSID\\{FA417F55-1F47-40FD-9485-31BEA0BC4FDB}\\LocalServer32", L"Chusel.exe"},
    };
    for (const auto& s : servers) {
        const std::optional<std::wstring> server = RegistryText(HKEY_CLASSES_ROOT, s.key, nullptr);
        if (!server) return Fail(std::wstring(s.what) + L" is not registered");
        if (Lower(*server).find(Lower(programs + L"\\" + s.file)) == std::wstring::npos)
            return Fail(std::wstring(s.what) + L" is registered as " + *server);
        say_(std::wstring(L"  ") + s.what + L" is registered: " + *server);
    }
    return true;
}

bool SuiteWalk::OptionsWindowInFrame() {
    if (!frame_) return false;
    HWND client = ChildOfClass(frame_, L"MDIClient");
    if (!client) return false;
    for (HWND child = GetWindow(client, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (IsWindowVisible(child) && (GetWindowLongW(child, GWL_EXSTYLE) & WS_EX_MDICHILD)) return true;
    return false;
}

bool SuiteWalk::SwitchAtomPresent() { return e2e::SwitchedOn(); }

bool SuiteWalk::HookValuePresent() { return RegistryText(HKEY_LOCAL_MACHINE, kHooksKey, kHookValue).has_value(); }

bool SuiteWalk::TrayIconPresent() const {
    if (!tray_) return false;
    NOTIFYICONDATAW icon{};
    icon.cbSize = NOTIFYICONDATAW_V1_SIZE;
    icon.hWnd = tray_;
    icon.uID = 1;
    return Shell_NotifyIconW(NIM_MODIFY, &icon) != FALSE;
}

namespace {

HWND StatusBarOf(HWND frame) { return frame ? ChildOfClass(frame, STATUSCLASSNAMEW) : nullptr; }

bool PanelSaysOn(HWND status) { return Lower(TextOf(status)) == L"lumox is on"; }

}  // namespace

bool SuiteWalk::HookOn(DWORD waitMs, bool& automatic) {
    HWND status = StatusBarOf(frame_);
    if (!status) return Fail(L"the frame has no status bar");
    say_(L"Waiting for the frame to switch the hook on by itself (at most " + Seconds(waitMs) + L")");
    automatic = userinput::WaitUntil([&] { return PanelSaysOn(status); }, waitMs);
    if (!automatic) {
        say_(L"  Not yet: double-clicking the status bar's first panel");
        if (!TogglePanel(true)) return false;
    } else {
        say_(L"  The status bar says \"" + TextOf(status) + L"\"");
    }
    // The frame's switch shows the notification-area icon through its hidden tray window.
    for (HWND hwnd : TopWindowsOf(host_.dwProcessId, false))
        if (!IsWindowVisible(hwnd) && TextOf(hwnd) == L"Form1") tray_ = hwnd;
    if (!SwitchAtomPresent()) return Fail(L"the panel says on but the switch atom is missing");
    if (!HookValuePresent()) return Fail(L"the panel says on but the hook is not registered with the shell");
    say_(L"  The switch atom is there and the hook is registered with the shell");
    return true;
}

bool SuiteWalk::TogglePanel(bool expectOn) {
    HWND status = StatusBarOf(frame_);
    if (!status) return Fail(L"the frame has no status bar");
    SetForegroundWindow(frame_);
    RECT r{};
    GetClientRect(status, &r);
    userinput::DoubleClick(userinput::OnScreen(status, POINT{24, (r.bottom - r.top) / 2}));
    const bool done = userinput::WaitUntil(
        [&] { return PanelSaysOn(status) == expectOn && SwitchAtomPresent() == expectOn; }, 5000);
    say_(L"  Double-clicked the first panel: it says \"" + TextOf(status) + L"\"");
    if (!done)
        return Fail(std::wstring(L"the double click did not switch the hook ") + (expectOn ? L"on" : L"off"));
    if (HookValuePresent() != expectOn) return Fail(L"the hook's registration does not follow the switch");
    return true;
}

bool SuiteWalk::OpenThroughChooser(const std::wstring& shellExe, const std::wstring& document, ChooserSeen& seen) {
    const std::wstring name = FileNameOf(document);
    const std::wstring extension = name.substr(name.find_last_of(L'.'));
    // The pointer rests over the frame, where the user clicked last.
    POINT rest = userinput::CentreOf(frame_);
    userinput::MoveTo(rest);
    userinput::SettlePointer();
    GetCursorPos(&rest);

    say_(L"Opening " + document + L" through the shell's part");
    std::wstring command = L"\"" + shellExe + L"\" \"" + document + L"\" open";
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION shell{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &shell))
        return Fail(L"cannot start " + shellExe);
    programsStarted_.push_back(shell.dwProcessId);
    struct Closer {
        PROCESS_INFORMATION& p;
        ~Closer() {
            CloseHandle(p.hProcess);
            CloseHandle(p.hThread);
        }
    } closer{shell};

    const std::wstring caption = L"  [" + extension + L"] - Morva Lumox Choices ";
    HWND chooser = nullptr;
    if (!userinput::WaitUntil(
            [&] {
                chooser = FindWindowW(nullptr, caption.c_str());
                return chooser && IsWindowVisible(chooser);
            },
            30000))
        return Fail(L"the chooser's list did not show within 30 s");
    HWND list = ChildOfClass(chooser, WC_LISTVIEWW);
    if (!list) return Fail(L"the chooser's window has no list");
    RemoteList rows(list);
    userinput::WaitUntil([&] { return rows.Count() > 0; }, 5000);
    for (int i = 0, n = rows.Count(); i < n; ++i) seen.rows.push_back(rows.Text(i));
    RECT window{};
    GetWindowRect(chooser, &window);
    seen.atPointer = PtInRect(&window, rest) != FALSE;
    say_(L"  The chooser's list shows " + std::to_wstring(seen.rows.size()) + L" rows" +
         (seen.atPointer ? L" at the pointer" : L", away from the pointer"));
    for (const std::wstring& row : seen.rows) say_(L"    " + row);
    if (snap_) snap_(L"chooser");

    RECT first{};
    if (seen.rows.empty() || !rows.RowRect(0, first)) return Fail(L"the chooser's list has no first row");
    // Windows the chosen program may show: any new top-level window that names the document.
    std::vector<HWND> before;
    EnumWindows(
        [](HWND hwnd, LPARAM list) {
            reinterpret_cast<std::vector<HWND>*>(list)->push_back(hwnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&before));
    say_(L"  Clicking the first row: " + seen.rows[0]);
    SetForegroundWindow(chooser);
    userinput::Click(POINT{first.left + 12, (first.top + first.bottom) / 2});
    if (WaitForSingleObject(shell.hProcess, 30000) != WAIT_OBJECT_0)
        return Fail(L"the open request did not end within 30 s of the click");

    const std::wstring stem = Lower(name.substr(0, name.find_last_of(L'.')));
    HWND started = nullptr;
    userinput::WaitUntil(
        [&] {
            struct Find {
                const std::vector<HWND>* before;
                std::wstring stem;
                HWND found = nullptr;
            } find{&before, stem};
            EnumWindows(
                [](HWND hwnd, LPARAM param) {
                    auto& f = *reinterpret_cast<Find*>(param);
                    if (!IsWindowVisible(hwnd) ||
                        std::find(f.before->begin(), f.before->end(), hwnd) != f.before->end())
                        return TRUE;
                    if (Lower(TextOf(hwnd)).find(f.stem) == std::wstring::npos) return TRUE;
                    f.found = hwnd;
                    return FALSE;
                },
                reinterpret_cast<LPARAM>(&find));
            started = find.found;
            return started != nullptr;
        },
        30000);
    if (!started) return Fail(L"no program showed " + name + L" within 30 s of the choice");
    DWORD pid = 0;
    GetWindowThreadProcessId(started, &pid);
    programsStarted_.push_back(pid);
    seen.startedTitle = TextOf(started);
    seen.startedImage = FileNameOf(ImageOf(pid));
    say_(L"  " + seen.startedImage + L" shows \"" + seen.startedTitle + L"\"");
    if (snap_) snap_(L"program");
    // The user closes the program again.
    PostMessageW(started, WM_CLOSE, 0, 0);
    return true;
}

bool SuiteWalk::ExitThroughFileMenu(DWORD limitMs) {
    if (!frame_ || !IsWindow(frame_)) return Fail(L"there is no frame to close");
    if (tray_) say_(std::wstring(L"  The notification-area icon is ") + (TrayIconPresent() ? L"there" : L"missing"));
    say_(L"Exiting through File > Exit");
    // While the options window still loads (or scans) the frame refuses to close without a
    // word; a user who sees nothing happen tries again a moment later.
    HWND quit = nullptr;
    const DWORD start = GetTickCount();
    for (int attempt = 1;; ++attempt) {
        if (WaitForSingleObject(host_.hProcess, 0) == WAIT_OBJECT_0) return Fail(L"the host ended before its Exit");
        SetForegroundWindow(frame_);
        userinput::WaitUntil([&] { return GetForegroundWindow() == frame_; }, 3000);
        // The menu bar lies right above the client area; "File" is its first item, after the
        // icon of a maximized child window's own menu.
        POINT client{0, 0};
        ClientToScreen(frame_, &client);
        int left = client.x + 14;
        if (HWND mdi = ChildOfClass(frame_, L"MDIClient")) {
            HWND active = reinterpret_cast<HWND>(SendMessageW(mdi, WM_MDIGETACTIVE, 0, 0));
            if (active && (GetWindowLongW(active, GWL_STYLE) & WS_MAXIMIZE)) left += GetSystemMetrics(SM_CXSIZE);
        }
        userinput::Click(POINT{left, client.y - GetSystemMetrics(SM_CYMENU) / 2});
        HWND menu = nullptr;
        const bool menuShown = userinput::WaitUntil(
            [&] {
                for (HWND hwnd : HostWindows())
                    if (ClassOf(hwnd) == L"#32768") menu = hwnd;
                return menu != nullptr;
            },
            5000);
        if (!menuShown) return Fail(L"the File menu did not open");
        // "Exit" is the menu's last item.
        RECT items{};
        GetWindowRect(menu, &items);
        userinput::Click(POINT{items.left + 24, items.bottom - GetSystemMetrics(SM_CYMENU) / 2 - 3});
        if (userinput::WaitUntil(
                [&] {
                    quit = FindWindowW(nullptr, kQuitCaption);
                    return quit && IsWindowVisible(quit);
                },
                5000))
            break;
        if (GetTickCount() - start > limitMs) return Fail(L"the close question did not show");
        say_(L"  No close question yet (attempt " + std::to_wstring(attempt) + L"): the suite is busy, trying again");
        Sleep(1000);
    }
    say_(L"  The close question shows: choosing \"Exit\", then OK");
    HWND exitChoice = ChildWithText(quit, L"Exit");
    HWND ok = ChildWithText(quit, L"OK");
    if (!exitChoice || !ok) return Fail(L"the close question lacks its Exit choice or its OK button");
    ClickOn(exitChoice);
    userinput::WaitUntil([&] { return SendMessageW(exitChoice, BM_GETCHECK, 0, 0) == BST_CHECKED; }, 3000);
    ClickOn(ok);
    if (WaitForSingleObject(host_.hProcess, limitMs) != WAIT_OBJECT_0)
        return Fail(L"the host did not end within " + Seconds(limitMs) + L" of the Exit");
    DWORD code = 0;
    GetExitCodeProcess(host_.hProcess, &code);
    say_(L"  The host ended (exit code " + std::to_wstring(code) + L")");
    frame_ = nullptr;
    return true;
}

}  // namespace walk
