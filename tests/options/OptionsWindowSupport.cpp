#include "OptionsWindowSupport.h"

#include <fstream>
#include <mutex>

#include "frmTesselOptions.h"
#include "host/HostContract.h"
#include "zip/ZipArchive.h"

namespace windowtest {

namespace {
constexpr wchar_t kHostKey[] = L"SOFTWARE\\Morva Corporation\\Morva Utility Manager\\4";
constexpr wchar_t kFirstTime[] = L"Morva Utility Manager First Time";
}  // namespace

TestFrame::TestFrame()
    : win::Window(L"TestFrame"),
      sta1(([this] {
          Create(L"Test Frame", 900, 600, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, 0, nullptr);
          CLIENTCREATESTRUCT ccs{};
          ccs.idFirstChild = 50000;
          client_ = CreateWindowExW(WS_EX_CLIENTEDGE, L"MDICLIENT", nullptr,
                                    WS_CHILD | WS_CLIPCHILDREN | WS_VISIBLE | WS_VSCROLL | WS_HSCROLL, 0, 0, 900, 560,
                                    win::Window::Handle(), nullptr, GetModuleHandleW(nullptr), &ccs);
      }(),
            Add<win::StatusBar>(L"sta1", 4))) {
    automation_ = com::ComPtr<IDispatch>(CreateFrameAutomation(this));
    SetPropW(win::Window::Handle(), contract::FrameAutomationProperty, automation_.Get());
    ShowWindow(win::Window::Handle(), SW_SHOW);
}

TestFrame::~TestFrame() {
    if (Loaded()) RemovePropW(win::Window::Handle(), contract::FrameAutomationProperty);
    children.clear();
    if (automation_) DetachFrameAutomation(automation_.Get());
    if (Loaded()) Unload();
}

void TestFrame::AddMdiChild(HWND window, IDispatch* form) {
    form->AddRef();
    children.push_back({window, com::ComPtr<IDispatch>(form)});
}

void TestFrame::RemoveMdiChild(HWND window) {
    for (auto it = children.begin(); it != children.end(); ++it)
        if (it->window == window) {
            children.erase(it);
            return;
        }
}

LRESULT TestFrame::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_SIZE && client_) {
        RECT r;
        GetClientRect(win::Window::Handle(), &r);
        MoveWindow(client_, 0, 0, r.right, r.bottom - 22, TRUE);
    }
    return DefaultMessage(msg, wParam, lParam);
}

LRESULT TestFrame::SystemMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefFrameProcW(win::Window::Handle(), client_, msg, wParam, lParam);
}

bool PumpUntil(const std::function<bool()>& done, DWORD milliseconds) {
    const DWORD start = GetTickCount();
    while (!done()) {
        if (GetTickCount() - start > milliseconds) return false;
        MSG msg;
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) break;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    }
    return true;
}

void Pump(DWORD milliseconds) {
    PumpUntil([] { return false; }, milliseconds);
}

void FillTheScreen(TestFrame& frame) {
    SetWindowPos(frame.Handle(), HWND_TOP, 0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN),
                 SWP_SHOWWINDOW);
}

bool OpenOptionsWindow(frmTesselOptions*& window, DWORD milliseconds) {
    frmTesselOptions& w = frmTesselOptions::Default();
    window = &w;
    w.ShowForm();
    return PumpUntil([&] { return !w.Loaded() || w.FormReadiness() == frReady; }, milliseconds);
}

void CloseOptionsWindow() {
    frmTesselOptions* w = frmTesselOptions::Existing();
    if (!w) return;
    PumpUntil([&] { return !w->Loaded() || w->FormReadiness() != frLoading; }, 10000);
    if (frmTesselOptions* open = frmTesselOptions::Existing()) open->RequestClose();
    PumpUntil([] { return frmTesselOptions::Existing() == nullptr; }, 10000);
}

namespace {
std::mutex g_textsMutex;
std::vector<std::wstring> g_texts;

struct Finder {
    DWORD process;
    std::vector<HWND> found;
};

BOOL CALLBACK FindDialogs(HWND hwnd, LPARAM param) {
    auto* finder = reinterpret_cast<Finder*>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid != finder->process || !IsWindowVisible(hwnd)) return TRUE;
    wchar_t cls[64] = {};
    GetClassNameW(hwnd, cls, 64);
    if (std::wstring(cls) == L"#32770") finder->found.push_back(hwnd);
    return TRUE;
}

BOOL CALLBACK CollectText(HWND hwnd, LPARAM param) {
    wchar_t text[1024] = {};
    GetWindowTextW(hwnd, text, 1024);
    if (text[0]) reinterpret_cast<std::wstring*>(param)->append(text).append(L" | ");
    return TRUE;
}
}  // namespace

DialogWatchdog::DialogWatchdog() {
    thread_ = std::thread([this] {
        std::vector<HWND> seen;
        while (!stop_) {
            Sleep(300);
            Finder finder{GetCurrentProcessId(), {}};
            EnumWindows(FindDialogs, reinterpret_cast<LPARAM>(&finder));
            std::vector<HWND> next;
            for (HWND box : finder.found) {
                bool old = false;
                for (HWND s : seen) old = old || s == box;
                if (!old) {
                    next.push_back(box);
                    continue;
                }
                std::wstring text;
                EnumChildWindows(box, CollectText, reinterpret_cast<LPARAM>(&text));
                {
                    std::lock_guard<std::mutex> lock(g_textsMutex);
                    g_texts.push_back(text);
                }
                ++closed_;
                PostMessageW(box, WM_COMMAND, IDOK, 0);
                PostMessageW(box, WM_CLOSE, 0, 0);
            }
            seen = next;
        }
    });
}

DialogWatchdog::~DialogWatchdog() {
    stop_ = true;
    thread_.join();
}

std::vector<std::wstring> DialogWatchdog::texts() const {
    std::lock_guard<std::mutex> lock(g_textsMutex);
    return g_texts;
}

std::wstring DataFolderOf(const std::wstring& root) { return root + L"\\Data"; }

std::string ReadFileBytes(const std::wstring& path) {
    std::ifstream in(path.c_str(), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

std::string ArchivedMember(const std::wstring& archive, const std::wstring& name) {
    const std::wstring check = testsupport::FreshTempFolder(L"archivecheck");
    std::string bytes = "(the archive could not be unpacked)";
    if (zip::UnpackFiles(archive, check, kPassword) == zip::ZipResult::Ok) bytes = ReadFileBytes(check + L"\\" + name);
    testsupport::RemoveTree(check);
    return bytes;
}

bool WriteFileBytes(const std::wstring& path, const std::string& bytes) {
    std::ofstream out(path.c_str(), std::ios::binary | std::ios::trunc);
    out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(out);
}

void WriteArchive(const std::wstring& root, const std::vector<std::pair<std::wstring, std::string>>& files) {
    const std::wstring data = DataFolderOf(root);
    CreateDirectoryW(root.c_str(), nullptr);
    CreateDirectoryW(data.c_str(), nullptr);
    const std::wstring source = data + L"\\source";
    testsupport::RemoveTree(source);
    CreateDirectoryW(source.c_str(), nullptr);
    std::vector<std::wstring> paths;
    for (const auto& [name, content] : files) {
        paths.push_back(source + L"\\" + name);
        WriteFileBytes(paths.back(), content);
    }
    const std::wstring archive = data + L"\\TesselMorva.dat";
    DeleteFileW(archive.c_str());
    ASSERT_EQ(zip::ZipResult::Ok, zip::PackFiles(archive, paths, kPassword));
    testsupport::RemoveTree(source);
}

void AgeFile(const std::wstring& path, int days) {
    FILETIME now;
    GetSystemTimeAsFileTime(&now);
    ULARGE_INTEGER t{};
    t.LowPart = now.dwLowDateTime;
    t.HighPart = now.dwHighDateTime;
    t.QuadPart -= static_cast<ULONGLONG>(days) * 24ULL * 3600ULL * 10000000ULL;
    FILETIME then{t.LowPart, t.HighPart};
    HANDLE file = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    SetFileTime(file, nullptr, nullptr, &then);
    CloseHandle(file);
}

std::string CategoryFile() {
    return "<?xml version=\"1.0\" ?>\r\n"
           "<MorvaTessel>\r\n"
           "   <Category name=\"Graphics\" Removable=\"no\">\r\n"
           "      <Subcategory name=\"Viewers\">\r\n"
           "         <Program T1=\"Acme - Viewer 0\" T2=\"1.0\" T3=\"OK\" T4=\"C:\\Apps\\prog0.exe\" "
           "T5=\"C:\\Apps\\prog0.exe\"/>\r\n"
           "         <Extension ext=\".inf\" />\r\n"
           "      </Subcategory>\r\n"
           "   </Category>\r\n"
           "   <Category name=\"Text\">\r\n"
           "      <Subcategory name=\"Editors\">\r\n"
           "      </Subcategory>\r\n"
           "   </Category>\r\n"
           "</MorvaTessel>\r\n";
}

std::string ProgramLines(int n) {
    static const char* const statuses[] = {"OK", "NE", "WD", "SD"};
    std::string text;
    for (int i = 0; i < n; ++i) {
        std::string index = std::to_string(i);
        text += "Acme - Viewer " + index + "|1." + index + "|" + statuses[i % 4] + "|C:\\Apps\\prog" + index +
                ".exe|C:\\Apps\\prog" + index + ".exe\r\n";
    }
    return text;
}

void SetFirstRun(const wchar_t* value) {
    HKEY key;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, kHostKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return;
    if (value)
        RegSetValueExW(key, kFirstTime, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                       static_cast<DWORD>((wcslen(value) + 1) * sizeof(wchar_t)));
    else
        RegDeleteValueW(key, kFirstTime);
    RegCloseKey(key);
}

std::wstring FirstRunValue() {
    wchar_t value[64] = {};
    DWORD size = sizeof(value);
    if (RegGetValueW(HKEY_LOCAL_MACHINE, kHostKey, kFirstTime, RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
        return L"<missing>";
    return value;
}

}  // namespace windowtest
