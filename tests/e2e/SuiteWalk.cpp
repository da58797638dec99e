#include "SuiteWalk.h"

#include <commctrl.h>
#include <psapi.h>
#include <shellapi.h>

#include <algorithm>
#include <cwctype>
#include <optional>

#include "E2ESupport.h"
#include "SuiteInstall.h"
#include "TestSupport.h"
#include "UserInput.h"
#include "basData.h"
#include "zip/ZipArchive.h"

namespace walk {

namespace {

using e2e::FileNameOf;
using e2e::Lower;

constexpr wchar_t kQuitCaption[] = L" Minimize / Exit";
// What the frame's status bar says while an Exit waits for the work to end.
constexpr wchar_t kExitWaitsNotice[] = L"Exits when the work ends";
constexpr wchar_t kHooksKey[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\explorer\\ShellExecuteHooks";
constexpr wchar_t kHookValue[] = L"{69845E54-42A3-4EE8-B72C-31E2E69C6023}";

// The windows of a start that wait for the user, and how the user answers them.
struct StartWindow {
    const wchar_t* caption;
    const wchar_t* name;
    const wchar_t* button;
    bool firstStartOnly;  // a later start that shows it fails
    int StartSeen::*counter;
};
const StartWindow kStartWindows[] = {
    {L" Tip: Getting the latest version of Morva Lumox", L"the latest-version tip", L"Just Continue", false,
     &StartSeen::tip},
    {L"Drive List", L"the drive list", L"OK", true, &StartSeen::driveList},
    {L"Associations to Automatically Add", L"the default associations", L"Automatic", true, &StartSeen::defaultSets},
    {L"Information", L"the welcome note", L"Close", true, &StartSeen::welcome},
};

// A message to a window of another process, with a time limit: a hung window fails the step
// that asked instead of holding the walk. Answers 0 when the time ran out.
LRESULT Ask(HWND hwnd, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(hwnd, message, wParam, lParam, SMTO_ABORTIFHUNG, 2000, &result)) return 0;
    return static_cast<LRESULT>(result);
}

std::wstring TextOf(HWND hwnd) {
    wchar_t text[1024] = {};
    // A window of another process answers through the window manager's own copy.
    Ask(hwnd, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
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

std::vector<HWND> AllTopWindows() {
    std::vector<HWND> found;
    EnumWindows(
        [](HWND hwnd, LPARAM list) {
            reinterpret_cast<std::vector<HWND>*>(list)->push_back(hwnd);
            return TRUE;
        },
        reinterpret_cast<LPARAM>(&found));
    return found;
}

// Waits for a visible top-level window that was not there before and that wanted() takes.
HWND WaitForNewWindow(const std::vector<HWND>& before, const std::function<bool(HWND)>& wanted, DWORD limitMs) {
    HWND found = nullptr;
    userinput::WaitUntil(
        [&] {
            for (HWND hwnd : AllTopWindows()) {
                if (!IsWindowVisible(hwnd) || std::find(before.begin(), before.end(), hwnd) != before.end()) continue;
                if (wanted(hwnd)) {
                    found = hwnd;
                    return true;
                }
            }
            return false;
        },
        limitMs);
    return found;
}

// A message box's text: its static texts together.
std::wstring MessageTextOf(HWND box) {
    std::wstring text;
    for (HWND child : Children(box))
        if (ClassOf(child) == L"Static" && !TextOf(child).empty()) text += TextOf(child);
    return text;
}

// The first visible button of a dialog: OK, or Yes.
HWND FirstButtonOf(HWND dialog) {
    for (HWND child : Children(dialog))
        if (ClassOf(child) == L"Button" && IsWindowVisible(child)) return child;
    return nullptr;
}

// The suite titles its message boxes with their number last ("Information 4520"); 0 for none.
long MessageNumberOf(const std::wstring& title) {
    const size_t space = title.find_last_of(L' ');
    const std::wstring last = space == std::wstring::npos ? title : title.substr(space + 1);
    if (last.empty() || last.find_first_not_of(L"0123456789") != std::wstring::npos) return 0;
    return std::stol(last);
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

std::wstring Seconds(DWORD ms) { return std::to_wstring((ms + 999) / 1000) + L" s"; }

// A buffer in the process of another window, for the control messages that take a pointer.
class RemoteBuffer {
public:
    RemoteBuffer(HWND window, SIZE_T size) : size_(size) {
        DWORD pid = 0;
        GetWindowThreadProcessId(window, &pid);
        process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE, FALSE, pid);
        if (process_)
            buffer_ = static_cast<BYTE*>(VirtualAllocEx(process_, nullptr, size, MEM_COMMIT, PAGE_READWRITE));
    }
    ~RemoteBuffer() {
        if (buffer_) VirtualFreeEx(process_, buffer_, 0, MEM_RELEASE);
        if (process_) CloseHandle(process_);
    }
    RemoteBuffer(const RemoteBuffer&) = delete;
    RemoteBuffer& operator=(const RemoteBuffer&) = delete;

    explicit operator bool() const { return buffer_ != nullptr; }
    // The address in the other process of a place in the buffer.
    BYTE* At(SIZE_T offset = 0) const { return buffer_ + offset; }
    LPARAM Param(SIZE_T offset = 0) const { return reinterpret_cast<LPARAM>(At(offset)); }
    bool Write(const void* data, SIZE_T bytes, SIZE_T offset = 0) const {
        return buffer_ && offset + bytes <= size_ && WriteProcessMemory(process_, At(offset), data, bytes, nullptr);
    }
    bool Read(void* data, SIZE_T bytes, SIZE_T offset = 0) const {
        return buffer_ && offset + bytes <= size_ && ReadProcessMemory(process_, At(offset), data, bytes, nullptr);
    }

private:
    SIZE_T size_;
    HANDLE process_ = nullptr;
    BYTE* buffer_ = nullptr;
};

// The list view of another process: its rows' first column and a row's rectangle, read through
// a buffer in that process.
class RemoteList {
public:
    explicit RemoteList(HWND list) : list_(list), buffer_(list, 4096) {}

    int Count() const { return static_cast<int>(Ask(list_, LVM_GETITEMCOUNT)); }

    std::wstring Text(int row) const {
        if (!buffer_) return L"";
        LVITEMW item{};
        item.iSubItem = 0;
        item.cchTextMax = 512;
        item.pszText = reinterpret_cast<wchar_t*>(buffer_.At(sizeof(LVITEMW)));
        buffer_.Write(&item, sizeof(item));
        Ask(list_, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), buffer_.Param());
        wchar_t text[513] = {};
        buffer_.Read(text, 512 * sizeof(wchar_t), sizeof(LVITEMW));
        return text;
    }

    // The row's label on the screen.
    bool RowRect(int row, RECT& onScreen) const {
        if (!buffer_) return false;
        RECT r{};
        r.left = LVIR_LABEL;
        buffer_.Write(&r, sizeof(r));
        if (!Ask(list_, LVM_GETITEMRECT, static_cast<WPARAM>(row), buffer_.Param())) return false;
        buffer_.Read(&r, sizeof(r));
        MapWindowPoints(list_, nullptr, reinterpret_cast<POINT*>(&r), 2);
        onScreen = r;
        return true;
    }

private:
    HWND list_;
    RemoteBuffer buffer_;
};

// The tree view of another process: what lies at a point, a node's text and whether it shows.
class RemoteTree {
public:
    explicit RemoteTree(HWND tree) : tree_(tree), buffer_(tree, 4096) {}

    // The node at a point of the tree's client area; null on empty space.
    HTREEITEM At(POINT client, UINT& flags) const {
        flags = 0;
        TVHITTESTINFO hit{};
        hit.pt = client;
        if (!buffer_.Write(&hit, sizeof(hit))) return nullptr;
        Ask(tree_, TVM_HITTEST, 0, buffer_.Param());
        buffer_.Read(&hit, sizeof(hit));
        flags = hit.flags;
        return hit.hItem;
    }

    HTREEITEM Selected() const {
        return reinterpret_cast<HTREEITEM>(Ask(tree_, TVM_GETNEXTITEM, TVGN_CARET));
    }
    HTREEITEM Parent(HTREEITEM node) const {
        return reinterpret_cast<HTREEITEM>(Ask(tree_, TVM_GETNEXTITEM, TVGN_PARENT, reinterpret_cast<LPARAM>(node)));
    }

    std::wstring Text(HTREEITEM node) const {
        TVITEMW item{};
        item.mask = TVIF_TEXT;
        item.hItem = node;
        item.cchTextMax = 512;
        item.pszText = reinterpret_cast<wchar_t*>(buffer_.At(sizeof(TVITEMW)));
        if (!node || !buffer_.Write(&item, sizeof(item))) return L"";
        if (!Ask(tree_, TVM_GETITEMW, 0, buffer_.Param())) return L"";
        wchar_t text[513] = {};
        buffer_.Read(text, 512 * sizeof(wchar_t), sizeof(TVITEMW));
        return text;
    }

    // Whether some of the node's label shows in the tree's client area.
    bool Shows(HTREEITEM node) const {
        // The message takes the node in the rectangle's place and answers the rectangle there.
        RECT r{};
        if (!node || !buffer_.Write(&node, sizeof(node))) return false;
        if (!Ask(tree_, TVM_GETITEMRECT, TRUE, buffer_.Param())) return false;
        buffer_.Read(&r, sizeof(r));
        RECT client{}, common{};
        GetClientRect(tree_, &client);
        return IntersectRect(&common, &r, &client) != FALSE;
    }

private:
    HWND tree_;
    RemoteBuffer buffer_;
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
    if (zip::UnpackFiles(archive, folder, ArchivePassword) == zip::ZipResult::Ok) {
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

const std::vector<long>& FirstStartMessages() {
    static const std::vector<long> numbers{4513, 4535, 4520, 4515};
    return numbers;
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

bool SuiteWalk::HostRuns() const { return host_.hProcess && WaitForSingleObject(host_.hProcess, 0) == WAIT_TIMEOUT; }

HWND SuiteWalk::FindFrame() const {
    for (HWND hwnd : TopWindowsOf(host_.dwProcessId, false))
        if (ChildOfClass(hwnd, L"MDIClient")) return hwnd;
    return nullptr;
}

// The frame's hidden window that owns its notification-area icon.
HWND SuiteWalk::FindTray() const {
    for (HWND hwnd : TopWindowsOf(host_.dwProcessId, false))
        if (!IsWindowVisible(hwnd) && TextOf(hwnd) == L"Form1") return hwnd;
    return nullptr;
}

HWND SuiteWalk::NewHostWindow(const std::vector<HWND>& before, DWORD limitMs) const {
    return WaitForNewWindow(
        before,
        [&](HWND hwnd) {
            DWORD pid = 0;
            GetWindowThreadProcessId(hwnd, &pid);
            const std::wstring cls = ClassOf(hwnd);
            return pid == host_.dwProcessId && cls != L"#32768" && cls != L"tooltips_class32";
        },
        limitMs);
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
    if (!AnswerStartWindows(firstStart, seen, limitMs, L"the options window", [&] {
            return IsWindowVisible(frame_) && OptionsWindowInFrame() &&
                   e2e::FirstRunValue() == std::optional<std::wstring>(L"False");
        }))
        return false;
    say_(L"The frame shows the options window after " + Seconds(GetTickCount() - begin));
    if (!seen.tip) return Fail(L"the latest-version tip did not show");
    const std::vector<long> expected = firstStart ? FirstStartMessages() : std::vector<long>{};
    std::vector<long> numbers;
    for (const MessageSeen& m : seen.messages) numbers.push_back(m.number);
    if (numbers != expected)
        return Fail(L"the start showed the message boxes " + e2e::NumbersText(numbers) + L", not " +
                    e2e::NumbersText(expected));
    if (snap_) snap_(L"frame");
    return true;
}

bool SuiteWalk::AnswerStartWindows(bool firstStart, StartSeen& seen, DWORD limitMs, const std::wstring& goal,
                                   const std::function<bool()>& reached) {
    const std::vector<long> expected = firstStart ? FirstStartMessages() : std::vector<long>{};
    const DWORD begin = GetTickCount();
    // Each window counts once, however long it stays. A user answers a window once it has
    // settled (a dialog may still open a message box of its own as it comes up) and while it
    // takes input; a window answered once gets another answer only if it is still there a
    // while later.
    struct Tracked {
        HWND hwnd;
        DWORD seenAt;
        DWORD answeredAt;
    };
    std::vector<Tracked> tracked;
    auto track = [&](HWND hwnd, bool& isNew) -> Tracked& {
        for (Tracked& t : tracked)
            if (t.hwnd == hwnd) {
                isNew = false;
                return t;
            }
        isNew = true;
        tracked.push_back({hwnd, GetTickCount(), 0});
        return tracked.back();
    };
    auto ready = [&](const Tracked& t) {
        const DWORD now = GetTickCount();
        return now - t.seenAt >= 1000 && (!t.answeredAt || now - t.answeredAt >= 3000) && IsWindowEnabled(t.hwnd);
    };
    bool splashSeen = false;
    for (;;) {
        if (WaitForSingleObject(host_.hProcess, 0) == WAIT_OBJECT_0)
            return Fail(L"the host ended during its start");
        if (GetTickCount() - begin > limitMs)
            return Fail(L"the start did not reach " + goal + L" within " + Seconds(limitMs));

        frame_ = FindFrame();
        bool waiting = false;  // a window of the suite waits for the user
        for (HWND hwnd : HostWindows()) {
            if (hwnd == frame_) continue;
            const std::wstring caption = TextOf(hwnd);
            const std::wstring cls = ClassOf(hwnd);
            if (cls == L"#32768" || cls == L"tooltips_class32") continue;
            waiting = true;
            const StartWindow* known = nullptr;
            for (const StartWindow& w : kStartWindows)
                if (caption == w.caption) known = &w;
            bool isNew = false;
            if (known) {
                if (known->firstStartOnly && !firstStart)
                    return Fail(std::wstring(L"a later start showed ") + known->name);
                Tracked& t = track(hwnd, isNew);
                if (isNew) ++(seen.*known->counter);
                HWND button = ChildWithText(hwnd, known->button);
                if (!button || !ready(t)) continue;
                say_(std::wstring(L"  Answering ") + known->name + L": \"" + known->button + L"\"");
                ClickOn(button);
                t.answeredAt = GetTickCount();
            } else if (cls == L"#32770") {
                Tracked& t = track(hwnd, isNew);
                if (isNew) {
                    const MessageSeen message{MessageNumberOf(caption), caption, MessageTextOf(hwnd)};
                    say_(L"  The message box " + std::to_wstring(message.number) + L" says: " + message.text);
                    if (std::find(expected.begin(), expected.end(), message.number) == expected.end())
                        return Fail(L"an unexpected message box: " + std::to_wstring(message.number) + L" \"" +
                                    caption + L"\": " + message.text);
                    seen.messages.push_back(message);
                }
                if (!ready(t)) continue;
                // Enter on the box in front, as a user takes note of a message.
                say_(L"  Answering the message box \"" + caption + L"\": Enter");
                SetForegroundWindow(hwnd);
                if (userinput::WaitUntil([&] { return GetForegroundWindow() == hwnd; }, 2000))
                    userinput::Press(VK_RETURN);
                t.answeredAt = GetTickCount();
            } else if (caption.empty() && (GetWindowLongW(hwnd, GWL_EXSTYLE) & WS_EX_TOOLWINDOW)) {
                if (!splashSeen) say_(L"  The splash shows; it closes by itself.");
                splashSeen = true;
            }
            // Anything else (a progress window) needs no answer.
        }
        if (!waiting && frame_ && reached()) return true;
        Sleep(100);
    }
}

bool SuiteWalk::DesktopTestFilesThere() {
    const std::wstring desktop = e2e::WindowsDesktop();
    for (const std::wstring& name : e2e::DesktopTestFiles())
        if (desktop.empty() || GetFileAttributesW((desktop + L"\\" + name).c_str()) == INVALID_FILE_ATTRIBUTES)
            return Fail(L"the first start speaks of '" + name + L"' on the Windows desktop, but \"" + desktop +
                        L"\" has no such file");
    say_(L"  The Windows desktop (" + desktop + L") holds the test files the first start speaks of");
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

namespace {

HWND OptionsWindowOf(HWND frame) {
    HWND client = frame ? ChildOfClass(frame, L"MDIClient") : nullptr;
    if (!client) return nullptr;
    for (HWND child = GetWindow(client, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (IsWindowVisible(child) && (GetWindowLongW(child, GWL_EXSTYLE) & WS_EX_MDICHILD)) return child;
    return nullptr;
}

HWND StatusBarOf(HWND frame) { return frame ? ChildOfClass(frame, STATUSCLASSNAMEW) : nullptr; }

// Every panel's text of another process's status bar; empty when the bar did not answer in time
// (its thread busy), which tells nothing about what it shows.
std::vector<std::wstring> PanelTextsOf(HWND status) {
    RemoteBuffer buffer(status, 1024 * sizeof(wchar_t));
    if (!buffer) return {};
    auto ask = [&](UINT message, WPARAM wParam, LPARAM lParam, DWORD_PTR& result) {
        return SendMessageTimeoutW(status, message, wParam, lParam, SMTO_ABORTIFHUNG, 2000, &result) != 0;
    };
    DWORD_PTR parts = 0;
    if (!ask(SB_GETPARTS, 0, 0, parts) || parts == 0) return {};
    std::vector<std::wstring> texts;
    for (WPARAM i = 0; i < parts; ++i) {
        DWORD_PTR answer = 0;
        if (!ask(SB_GETTEXTLENGTHW, i, 0, answer)) return {};
        const size_t length = std::min<size_t>(LOWORD(answer), 1023);
        std::wstring text(length + 1, L'\0');
        if (length > 0) {
            if (!ask(SB_GETTEXTW, i, buffer.Param(), answer)) return {};
            buffer.Read(text.data(), text.size() * sizeof(wchar_t));
        }
        text.resize(length);
        texts.push_back(text);
    }
    return texts;
}

// The panels' texts quoted one after another, for a message.
std::wstring PanelsText(HWND status) {
    std::wstring text;
    for (const std::wstring& panel : PanelTextsOf(status)) text += (text.empty() ? L"\"" : L" \"") + panel + L"\"";
    return text;
}

bool PanelSaysOn(HWND status) { return Lower(TextOf(status)) == L"lumox is on"; }

void DoubleClickFirstPanel(HWND frame, HWND status) {
    SetForegroundWindow(frame);
    RECT r{};
    GetClientRect(status, &r);
    userinput::DoubleClick(userinput::OnScreen(status, POINT{24, (r.bottom - r.top) / 2}));
}

// The window that has the keyboard focus on the window's thread.
HWND FocusOf(HWND window) {
    GUITHREADINFO info{};
    info.cbSize = sizeof(info);
    if (!GetGUIThreadInfo(GetWindowThreadProcessId(window, nullptr), &info)) return nullptr;
    return info.hwndFocus;
}

// A child window of the frame's MDI client, shown or not: a hidden frame hides its children
// from IsWindowVisible, yet they live on until they close.
HWND AnyMdiChildOf(HWND frame) {
    HWND client = frame ? ChildOfClass(frame, L"MDIClient") : nullptr;
    if (!client) return nullptr;
    for (HWND child = GetWindow(client, GW_CHILD); child; child = GetWindow(child, GW_HWNDNEXT))
        if (GetWindowLongW(child, GWL_EXSTYLE) & WS_EX_MDICHILD) return child;
    return nullptr;
}

// The frame as the user sees it: shown, minimized or hidden.
std::wstring FrameStateText(HWND frame) {
    if (!IsWindow(frame)) return L"gone";
    std::wstring text = IsWindowVisible(frame) ? L"shown" : L"hidden";
    if (IsIconic(frame)) text += L", minimized";
    if (IsWindowVisible(frame) && GetForegroundWindow() == frame) text += L", in front";
    return text;
}

// Wine's own notification area on a display without one (Xvfb): a small top-level window at
// the top-left of the screen with one slot (a child window) per icon.
constexpr wchar_t kStandaloneTrayClass[] = L"__winex11_standalone_tray";

}  // namespace

bool SuiteWalk::OptionsWindowInFrame() { return OptionsWindowOf(frame_) != nullptr; }

bool SuiteWalk::SwitchAtomPresent() { return e2e::SwitchedOn(); }

bool SuiteWalk::HookValuePresent() { return RegistryText(HKEY_LOCAL_MACHINE, kHooksKey, kHookValue).has_value(); }

bool SuiteWalk::TrayIconPresent() {
    if (!tray_) tray_ = FindTray();
    if (!tray_) return false;
    NOTIFYICONDATAW icon{};
    icon.cbSize = NOTIFYICONDATAW_V1_SIZE;
    icon.hWnd = tray_;
    icon.uID = 1;
    return Shell_NotifyIconW(NIM_MODIFY, &icon) != FALSE;
}

bool SuiteWalk::HookOn(DWORD waitMs, bool& automatic) {
    HWND status = StatusBarOf(frame_);
    if (!status) return Fail(L"the frame has no status bar");
    say_(L"Waiting for the frame to switch the hook on by itself (at most " + Seconds(waitMs) + L")");
    automatic = userinput::WaitUntil([&] { return PanelSaysOn(status); }, waitMs);
    if (automatic) {
        say_(L"  The status bar says \"" + TextOf(status) + L"\"");
    } else {
        for (int attempt = 1; !PanelSaysOn(status); ++attempt) {
            if (attempt > 2) return Fail(L"two double clicks on the first panel did not switch the hook on");
            say_(attempt == 1 ? L"  Not yet: double-clicking the status bar's first panel"
                              : L"  The panel says off: the frame's own switch came just before the double click; "
                                L"double-clicking again");
            DoubleClickFirstPanel(frame_, status);
            userinput::WaitUntil([&] { return PanelSaysOn(status) && SwitchAtomPresent(); }, 5000);
            say_(L"  Double-clicked the first panel: it says \"" + TextOf(status) + L"\"");
        }
    }
    tray_ = FindTray();
    if (!SwitchAtomPresent()) return Fail(L"the panel says on but the switch atom is missing");
    if (!HookValuePresent()) return Fail(L"the panel says on but the hook is not registered with the shell");
    say_(L"  The switch atom is there and the hook is registered with the shell");
    return true;
}

bool SuiteWalk::TogglePanel(bool expectOn) {
    HWND status = StatusBarOf(frame_);
    if (!status) return Fail(L"the frame has no status bar");
    DoubleClickFirstPanel(frame_, status);
    const bool done = userinput::WaitUntil(
        [&] { return PanelSaysOn(status) == expectOn && SwitchAtomPresent() == expectOn; }, 5000);
    say_(L"  Double-clicked the first panel: it says \"" + TextOf(status) + L"\"");
    if (!done)
        return Fail(std::wstring(L"the double click did not switch the hook ") + (expectOn ? L"on" : L"off"));
    if (HookValuePresent() != expectOn) return Fail(L"the hook's registration does not follow the switch");
    return true;
}

bool SuiteWalk::HelpByF1(DWORD limitMs) {
    HWND options = OptionsWindowOf(frame_);
    if (!options) return Fail(L"there is no options window to press F1 in");
    say_(L"Pressing F1 in the options window");
    SetForegroundWindow(frame_);
    if (!userinput::WaitUntil([&] { return GetForegroundWindow() == frame_; }, 3000))
        return Fail(L"the frame did not come to the front");
    // A click on the window's "Categories" heading makes it the active window with the keyboard,
    // and changes nothing.
    HWND heading = ChildWithText(options, L"Categories");
    if (!heading) return Fail(L"the options window has no \"Categories\" heading");
    ClickOn(heading);
    HWND focus = nullptr;
    if (!userinput::WaitUntil(
            [&] {
                focus = FocusOf(options);
                return focus == options || IsChild(options, focus);
            },
            3000))
        return Fail(L"a click on the options window did not give it the keyboard (it went to a " +
                    (focus ? ClassOf(focus) + L" \"" + TextOf(focus) + L"\"" : std::wstring(L"no window")) + L")");
    const std::vector<HWND> before = AllTopWindows();
    userinput::Press(VK_F1);
    HWND help = NewHostWindow(before, limitMs);
    if (!HostRuns()) return Fail(L"the host ended after F1 in the options window");
    if (!help) return Fail(L"no help window showed within " + Seconds(limitMs) + L" of F1");
    const std::wstring caption = TextOf(help);
    say_(L"  A help window shows: \"" + caption + L"\" (" + ClassOf(help) + L")");
    if (caption.find(L"Help") == std::wstring::npos) return Fail(L"the window after F1 is no help window");
    if (snap_) snap_(L"help");
    // The user closes the help window again (Alt+F4 on the window in front).
    SetForegroundWindow(help);
    if (!userinput::WaitUntil([&] { return GetForegroundWindow() == help; }, 3000))
        return Fail(L"the help window did not come to the front");
    userinput::Chord({VK_MENU, VK_F4});
    if (!userinput::WaitUntil([&] { return !IsWindow(help) || !IsWindowVisible(help); }, 5000))
        return Fail(L"Alt+F4 did not close the help window");
    if (WaitForSingleObject(host_.hProcess, 2000) != WAIT_TIMEOUT || !IsWindow(frame_))
        return Fail(L"the host ended after its help window closed");
    say_(L"  The help window closed; the host still runs");
    return true;
}

bool SuiteWalk::HelpButtonWithoutTheFile(DWORD limitMs) {
    const std::wstring help = hostExe_.substr(0, hostExe_.find_last_of(L'\\')) + L"\\Lumox.chm";
    const std::wstring aside = help + L".walk";
    if (!MoveFileExW(help.c_str(), aside.c_str(), MOVEFILE_REPLACE_EXISTING))
        return Fail(L"cannot take " + help + L" away (error " + std::to_wstring(GetLastError()) + L")");
    struct PutBack {
        const std::wstring &from, &to;
        ~PutBack() { MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING); }
    } putBack{aside, help};
    say_(L"Clicking the toolbar's top-left button without " + help);

    HWND bar = frame_ ? ChildOfClass(frame_, L"LumoxToolbar") : nullptr;
    if (!bar) return Fail(L"the frame has no toolbar");
    SetForegroundWindow(frame_);
    if (!userinput::WaitUntil([&] { return GetForegroundWindow() == frame_; }, 3000))
        return Fail(L"the frame did not come to the front");
    const std::vector<HWND> before = AllTopWindows();
    // The first button lies at the bar's top-left corner, past its narrow margin.
    userinput::Click(userinput::OnScreen(bar, POINT{12, 14}));
    // The suite's own message: a box of Marlden.exe that names the missing file, with the error
    // number of a missing file (53) in its title. A box of the system's help program (one that
    // offers to look for the file) is no answer of the suite's.
    HWND box = WaitForNewWindow(before, [](HWND hwnd) { return ClassOf(hwnd) == L"#32770"; }, limitMs);
    if (!HostRuns()) return Fail(L"the host ended after the help button, without its help file");
    if (!box) return Fail(L"no message showed within " + Seconds(limitMs) + L" of the help button without its file");
    DWORD pid = 0;
    GetWindowThreadProcessId(box, &pid);
    const std::wstring shownBy = pid == host_.dwProcessId ? FileNameOf(hostExe_) : FileNameOf(ImageOf(pid));
    const std::wstring title = TextOf(box), text = MessageTextOf(box);
    say_(L"  " + shownBy + L" shows the message \"" + title + L"\": " + text);
    if (snap_) snap_(L"help-missing");
    HWND button = ChildWithText(box, L"OK");
    if (!button) button = ChildWithText(box, L"&No");  // another program's offer to look for the file
    if (!button) button = FirstButtonOf(box);
    struct Answer {
        HWND button;
        ~Answer() {
            if (button) ClickOn(button);
        }
    } answerAnyway{button};  // a box that fails a check is still answered, so the walk goes on
    if (pid != host_.dwProcessId)
        return Fail(L"the message about the missing help file comes from " + shownBy + L", not from " +
                    FileNameOf(hostExe_));
    if (Lower(text).find(Lower(help)) == std::wstring::npos)
        return Fail(L"the message does not name the missing file " + help + L": " + text);
    bool fileNotFound = false;
    for (size_t at = title.find(L"53"); at != std::wstring::npos && !fileNotFound; at = title.find(L"53", at + 1))
        fileNotFound = (at == 0 || !iswdigit(title[at - 1])) && (at + 2 >= title.size() || !iswdigit(title[at + 2]));
    if (!fileNotFound) return Fail(L"the message's title \"" + title + L"\" lacks the number of a missing file, 53");
    answerAnyway.button = nullptr;
    if (!button) return Fail(L"the message has no button");
    say_(L"  Answering \"" + TextOf(button) + L"\"");
    ClickOn(button);
    if (!userinput::WaitUntil([&] { return !IsWindow(box) || !IsWindowVisible(box); }, 5000))
        return Fail(L"a click on the message's button did not close it");
    if (WaitForSingleObject(host_.hProcess, 2000) != WAIT_TIMEOUT || !IsWindow(frame_))
        return Fail(L"the host ended after the message about its missing help file");
    say_(L"  The message closed; the host still runs");
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
    const std::vector<HWND> before = AllTopWindows();
    say_(L"  Clicking the first row: " + seen.rows[0]);
    SetForegroundWindow(chooser);
    userinput::Click(POINT{first.left + 12, (first.top + first.bottom) / 2});
    if (WaitForSingleObject(shell.hProcess, 30000) != WAIT_OBJECT_0)
        return Fail(L"the open request did not end within 30 s of the click");

    const std::wstring stem = Lower(name.substr(0, name.find_last_of(L'.')));
    const HWND started = WaitForNewWindow(
        before, [&](HWND hwnd) { return Lower(TextOf(hwnd)).find(stem) != std::wstring::npos; }, 30000);
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

bool SuiteWalk::AddCategory(const std::wstring& name, DWORD limitMs) {
    HWND options = OptionsWindowOf(frame_);
    if (!options) return Fail(L"there is no options window to add a category in");
    HWND tree = ChildOfClass(options, WC_TREEVIEWW);
    if (!tree) return Fail(L"the options window has no category tree");
    RemoteTree nodes(tree);
    say_(L"Adding the category \"" + name + L"\" in the options window");
    // Empty space lies below the tree's last node shown: the lowest point of its client area that
    // hits no node.
    RECT client{};
    GetClientRect(tree, &client);
    POINT empty{-1, -1};
    for (int y = client.bottom - 8; y > client.top && empty.y < 0; y -= 8) {
        UINT flags = 0;
        if (!nodes.At(POINT{24, y}, flags) && (flags & TVHT_NOWHERE)) empty = POINT{24, y};
    }
    if (empty.y < 0) return Fail(L"the category tree shows no empty space below its nodes");
    const POINT at = userinput::OnScreen(tree, empty);
    SetForegroundWindow(frame_);
    if (!userinput::WaitUntil([&] { return GetForegroundWindow() == frame_; }, 3000))
        return Fail(L"the frame did not come to the front");
    // The category pop-up; a right click the window met while still busy is made again.
    HWND menu = nullptr;
    for (int attempt = 1; !menu; ++attempt) {
        userinput::Click(at, userinput::Button::Right);
        userinput::WaitUntil(
            [&] {
                for (HWND hwnd : HostWindows())
                    if (ClassOf(hwnd) == L"#32768") menu = hwnd;
                return menu != nullptr;
            },
            5000);
        if (!menu && attempt == 2) return Fail(L"a right click on the tree's empty space opened no pop-up menu, twice");
        if (!menu) say_(L"  No pop-up menu: right-clicking the tree's empty space again");
    }
    say_(L"  Right-clicked the tree's empty space: a pop-up menu shows; pressing A for \"Add Category\"");
    if (snap_) snap_(L"category-menu");
    userinput::Press('A');
    HWND edit = nullptr;
    if (!userinput::WaitUntil(
            [&] {
                edit = reinterpret_cast<HWND>(Ask(tree, TVM_GETEDITCONTROL));
                return edit && IsWindowVisible(edit) && FocusOf(tree) == edit && !IsWindowVisible(menu);
            },
            limitMs))
        return Fail(L"no new node opened its name for typing within " + Seconds(limitMs) + L" of \"Add Category\"" +
                    (IsWindow(menu) && IsWindowVisible(menu) ? L" (the pop-up menu still shows)" : L""));
    say_(L"  A new node opens its name for typing: \"" + TextOf(edit) + L"\"");
    // The name the window offers is selected, so what the user types takes its place.
    userinput::Type(name);
    if (!userinput::WaitUntil([&] { return TextOf(edit) == name; }, 5000))
        return Fail(L"the typed name did not reach the new node (it shows \"" + TextOf(edit) + L"\")");
    userinput::Press(VK_RETURN);
    if (!userinput::WaitUntil([&] { return !IsWindow(edit) || !IsWindowVisible(edit); }, 5000))
        return Fail(L"Enter did not end the naming of the new node");
    HTREEITEM node = nullptr;
    if (!userinput::WaitUntil(
            [&] {
                node = nodes.Selected();
                return nodes.Text(node) == name;
            },
            5000))
        return Fail(L"after Enter the tree's selected node is \"" + nodes.Text(node) + L"\", not \"" + name + L"\"");
    if (nodes.Parent(node)) return Fail(L"the new node \"" + name + L"\" is not a category (it has a parent)");
    if (!nodes.Shows(node)) return Fail(L"the new category \"" + name + L"\" does not show in the tree");
    for (HWND hwnd : HostWindows())
        if (ClassOf(hwnd) == L"#32770")
            return Fail(L"a message came up after the naming: \"" + TextOf(hwnd) + L"\": " + MessageTextOf(hwnd));
    say_(L"  The tree shows the category \"" + name + L"\", selected");
    if (snap_) snap_(L"category");
    return true;
}

bool SuiteWalk::MinimizeIntoTheTray(DWORD limitMs) {
    if (!frame_ || !IsWindow(frame_)) return Fail(L"there is no frame to minimize");
    if (!tray_) tray_ = FindTray();
    say_(L"Minimizing the frame with its minimize box (the hook is on, so it goes into the tray)");
    const DWORD start = GetTickCount();
    for (int attempt = 1;; ++attempt) {
        SetForegroundWindow(frame_);
        if (!userinput::WaitUntil([&] { return GetForegroundWindow() == frame_; }, 3000))
            return Fail(L"the frame did not come to the front");
        const POINT box = userinput::MinimizeBoxOf(frame_);
        if (box.x < 0) return Fail(L"the frame's caption has no minimize box");
        userinput::Click(box);
        if (userinput::WaitUntil([&] { return IsIconic(frame_) || !IsWindowVisible(frame_); }, 5000)) break;
        if (attempt == 2) return Fail(L"two clicks on the minimize box left the frame " + FrameStateText(frame_));
        say_(L"  The frame is still " + FrameStateText(frame_) + L": clicking the minimize box again");
    }
    // The options window closes itself on the frame's next ticks, once it is idle, and packs its
    // working folder into the data archive as it goes.
    const DWORD left = limitMs - std::min(limitMs, GetTickCount() - start);
    const bool gone = userinput::WaitUntil(
        [&] { return !HostRuns() || (!IsWindowVisible(frame_) && IsIconic(frame_) && !AnyMdiChildOf(frame_)); },
        left);
    if (!HostRuns()) return Fail(L"the host ended after the frame was minimized");
    if (!gone) {
        HWND child = AnyMdiChildOf(frame_);
        return Fail(L"within " + Seconds(limitMs) + L" of the minimize the frame is " + FrameStateText(frame_) +
                    (child ? L" and its options window \"" + TextOf(child) + L"\" is still there" +
                                 ((GetWindowLongW(child, GWL_STYLE) & WS_VISIBLE) ? L"" : L" (hidden)")
                           : std::wstring(L" and its options window has closed")));
    }
    say_(L"  The frame is hidden in the tray and its options window has closed, after " +
         Seconds(GetTickCount() - start));
    if (snap_) snap_(L"in-tray");
    return true;
}

bool SuiteWalk::RestoreFromTheTray(DWORD limitMs) {
    if (!frame_ || !IsWindow(frame_)) return Fail(L"there is no frame to bring back");
    say_(L"Bringing the frame back from the notification area");
    HWND trayWindow = nullptr;
    if (!userinput::WaitUntil(
            [&] {
                trayWindow = FindWindowW(kStandaloneTrayClass, nullptr);
                return trayWindow && IsWindowVisible(trayWindow);
            },
            5000))
        return Fail(L"Wine shows no notification-area window (class " + std::wstring(kStandaloneTrayClass) + L")");
    std::vector<HWND> slots;
    for (HWND child : Children(trayWindow))
        if (IsWindowVisible(child) && GetParent(child) == trayWindow) slots.push_back(child);
    if (slots.empty()) return Fail(L"the notification-area window shows no icon");
    RECT r{};
    GetWindowRect(trayWindow, &r);
    say_(L"  \"" + TextOf(trayWindow) + L"\" shows " + std::to_wstring(slots.size()) + L" icon(s), at (" +
         std::to_wstring(r.left) + L"," + std::to_wstring(r.top) + L")-(" + std::to_wstring(r.right) + L"," +
         std::to_wstring(r.bottom) + L")");
    // In the walk's own Wine prefix only the suite shows an icon; were there more, the walk
    // takes the first slot and says so.
    HWND icon = slots.front();
    if (slots.size() > 1) say_(L"  More than one icon: taking the first slot as the suite's");
    if (snap_) snap_(L"tray-window");
    say_(L"  Double-clicking the suite's icon");
    userinput::DoubleClick(userinput::CentreOf(icon));
    const bool back = userinput::WaitUntil(
        [&] {
            return !HostRuns() ||
                   (IsWindowVisible(frame_) && !IsIconic(frame_) && GetForegroundWindow() == frame_);
        },
        limitMs);
    if (!HostRuns()) return Fail(L"the host ended after the double click on its icon");
    if (!back)
        return Fail(L"within " + Seconds(limitMs) + L" of the double click on its icon the frame is " +
                    FrameStateText(frame_));
    // The double click ends with a button-up that reaches the host after the frame came back.
    // Once the host has answered the messages the tray sent it, the frame still shows.
    Ask(tray_ ? tray_ : FindTray(), WM_NULL);
    if (userinput::WaitUntil([&] { return !IsWindowVisible(frame_) || IsIconic(frame_); }, 2000))
        return Fail(L"the frame came back and went again at the end of the double click: it is " +
                    FrameStateText(frame_));
    say_(L"  The frame shows again, in front");
    // Back from the tray, the frame opens its options window again (it closed itself there).
    if (!userinput::WaitUntil([&] { return !HostRuns() || OptionsWindowInFrame(); }, 10000) || !HostRuns())
        return Fail(L"the frame came back from the tray without its options window");
    say_(L"  The options window is back in the frame");
    if (snap_) snap_(L"back-from-tray");
    return true;
}

bool SuiteWalk::ChooseFileExit() {
    // By the menus' keys, Alt+F then X: the File menu opens by its own letter whatever the menu
    // bar holds before it (a maximized child's icon that comes as the window loads). A frame busy
    // with its options window opens the menu once it takes input again.
    if (!HostRuns()) return Fail(L"the host ended before its Exit");
    SetForegroundWindow(frame_);
    if (!userinput::WaitUntil([&] { return GetForegroundWindow() == frame_; }, 3000))
        return Fail(L"the frame did not come to the front");
    userinput::Chord({VK_MENU, 'F'});
    HWND menu = nullptr;
    if (!userinput::WaitUntil(
            [&] {
                for (HWND hwnd : HostWindows())
                    if (ClassOf(hwnd) == L"#32768") menu = hwnd;
                return menu != nullptr || !HostRuns();
            },
            30000) ||
        !menu)
        return Fail(L"Alt+F did not open the File menu within 30 s");
    userinput::Press('X');
    if (!userinput::WaitUntil([&] { return !IsWindow(menu) || !IsWindowVisible(menu); }, 5000))
        return Fail(L"X on the File menu did not close it");
    return true;
}

bool SuiteWalk::ExitWhenAsked(DWORD limitMs, bool& noticeSeen) {
    HWND status = StatusBarOf(frame_);
    HWND quit = nullptr;
    const DWORD start = GetTickCount();
    for (;;) {
        if (!HostRuns()) return Fail(L"the host ended before it asked the close question");
        quit = FindWindowW(nullptr, kQuitCaption);
        if (quit && IsWindowVisible(quit)) break;
        // Once shown, the notice stays until the question comes, whatever else the status bar says.
        const std::vector<std::wstring> panels = status ? PanelTextsOf(status) : std::vector<std::wstring>{};
        const bool noticeShows = std::find(panels.begin(), panels.end(), kExitWaitsNotice) != panels.end();
        quit = FindWindowW(nullptr, kQuitCaption);
        if (quit && IsWindowVisible(quit)) break;
        if (noticeSeen && !noticeShows && !panels.empty())
            return Fail(L"the status bar stopped saying \"" + std::wstring(kExitWaitsNotice) +
                        L"\" before the close question came (it says " + PanelsText(status) + L")");
        if (!noticeSeen && noticeShows) {
            noticeSeen = true;
            say_(L"  The status bar says \"" + std::wstring(kExitWaitsNotice) + L"\"");
            if (snap_) snap_(L"exit-waits");
        }
        if (GetTickCount() - start > limitMs)
            return Fail(L"the close question did not show within " + Seconds(limitMs) + L" of the one Exit" +
                        (noticeSeen ? L" (the status bar said the Exit waits)" : L""));
        Sleep(50);
    }
    say_(L"  The close question shows after " + Seconds(GetTickCount() - start) + L": choosing \"Exit\", then OK");
    HWND exitChoice = ChildWithText(quit, L"Exit");
    HWND ok = ChildWithText(quit, L"OK");
    if (!exitChoice || !ok) return Fail(L"the close question lacks its Exit choice or its OK button");
    ClickOn(exitChoice);
    userinput::WaitUntil([&] { return Ask(exitChoice, BM_GETCHECK) == BST_CHECKED; }, 3000);
    ClickOn(ok);
    if (WaitForSingleObject(host_.hProcess, limitMs) != WAIT_OBJECT_0)
        return Fail(L"the host did not end within " + Seconds(limitMs) + L" of the Exit");
    DWORD code = 0;
    GetExitCodeProcess(host_.hProcess, &code);
    say_(L"  The host ended (exit code " + std::to_wstring(code) + L")");
    frame_ = nullptr;
    return true;
}

bool SuiteWalk::ExitThroughFileMenu(DWORD limitMs) {
    if (!frame_ || !IsWindow(frame_)) return Fail(L"there is no frame to close");
    say_(L"Exiting through File > Exit");
    // One Exit: a frame that is busy says so and asks once its work has ended.
    bool noticeSeen = false;
    return ChooseFileExit() && ExitWhenAsked(limitMs, noticeSeen);
}

bool SuiteWalk::ExitOnceDuringTheLoad(StartSeen& seen, DWORD limitMs) {
    say_(L"Waiting for the start's windows (a later start), to exit while the options window loads");
    const DWORD begin = GetTickCount();
    // The frame comes up once the tip is answered and opens the options window at once; its load
    // takes a while.
    if (!AnswerStartWindows(false, seen, limitMs, L"the frame with its options window",
                            [&] { return IsWindowVisible(frame_) && OptionsWindowInFrame(); }))
        return false;
    if (!seen.tip) return Fail(L"the latest-version tip did not show");
    say_(L"The frame shows the options window after " + Seconds(GetTickCount() - begin) +
         L": File > Exit while it loads");
    if (!ChooseFileExit()) return false;
    bool noticeSeen = false;
    const DWORD left = limitMs - std::min(limitMs, GetTickCount() - begin);
    if (!ExitWhenAsked(std::max<DWORD>(left, 30000), noticeSeen)) return false;
    if (!noticeSeen)
        return Fail(L"the Exit chosen during the load was asked at once: the status bar never said \"" +
                    std::wstring(kExitWaitsNotice) + L"\"");
    return true;
}

}  // namespace walk
