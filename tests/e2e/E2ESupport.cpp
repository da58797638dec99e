#include "E2ESupport.h"

#include <objbase.h>
#include <shellapi.h>
#include <shlobj.h>

#include <cstdio>

#include "ChooserTestSupport.h"
#include "SuiteInstall.h"
#include "TestSupport.h"
#include "UserInput.h"
#include "Zintra.h"
#include "basHookSwitch.h"
#include "basWinAPI_Atom.h"
#include "com/ComModule.h"
#include "vb/VbApp.h"

namespace e2e {

void PrintLine(const std::wstring& text) {
    const int n = WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n > 0 ? n - 1 : 0), '\0');
    WideCharToMultiByte(CP_UTF8, 0, text.c_str(), -1, out.data(), n, nullptr, nullptr);
    std::fputs(out.c_str(), stdout);
    std::fputs("\n", stdout);
    std::fflush(stdout);
}

namespace {

std::wstring FromBuildTree(const wchar_t* relative) {
    wchar_t full[MAX_PATH];
    GetFullPathNameW((vb::AppPath() + L"\\" + relative).c_str(), MAX_PATH, full, nullptr);
    return full;
}

const wchar_t* const kExtensions[] = {L".lxadd", L".lxdef", L".lxnone"};

void SetClassesValue(const std::wstring& key, const std::wstring& value) {
    HKEY h = nullptr;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, (L"Software\\Classes\\" + key).c_str(), 0, nullptr, 0, KEY_WRITE, nullptr,
                        &h, nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExW(h, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                   static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(h);
}

std::wstring ProgId(const std::wstring& extension) { return L"LumoxE2E" + extension.substr(1); }

// An override line for a program of the suite.
std::wstring Entry(const std::wstring& ext, const std::wstring& description, const std::wstring& status,
                   const std::wstring& program) {
    return ext + L"|" + description + L"|3.1.4.1|" + status + L"|" + program + L"|" + ShortPath(program) + L"\r\n";
}

// What a user's archive holds besides the suite's own lines, at a real user's size: a
// program list of 20,000 programs, an association snapshot of 5,000 extensions, 200 override
// lines and 50 aliases for other extensions and programs.
std::string ProgramList() {
    std::string text;
    char line[512];
    for (int i = 1; i <= 20000; ++i) {
        std::snprintf(line, sizeof line,
                      "Vendor %d - Product %d|%d.%d.%d.%d|OK|C:\\Program Files\\Vendor%d\\App%d.exe|"
                      "C:\\PROGRA~1\\VENDOR~%d\\APP%d~1.EXE\r\n",
                      i % 700, i, 1 + i % 9, i % 13, i % 100, i, i % 700, i, i % 700, i);
        text += line;
    }
    return text;
}

std::string Snapshot() {
    std::string text = "<?xml version=\"1.0\" ?>\r\n<MorvaTesselSnapshot>\r\n<Extensions>\r\n";
    char element[512];
    for (int i = 1; i <= 5000; ++i) {
        std::snprintf(element, sizeof element,
                      "<Key Name=\".ext%05d\"><Values><Value Name=\"\" Type=\"1\" Data=\"ext%05dfile\" />"
                      "<Value Name=\"Content Type\" Type=\"1\" Data=\"application/x-ext%05d\" /></Values>"
                      "<Subkeys><Subkey Name=\"OpenWithList\" /><Subkey Name=\"ShellNew\" /></Subkeys></Key>\r\n",
                      i, i, i);
        text += element;
    }
    return text + "</Extensions>\r\n</MorvaTesselSnapshot>\r\n";
}

// Override lines for extensions after the suite's own, so that their runs stay whole.
std::string OtherOverrides(const char* status, int count) {
    std::string text;
    char line[512];
    for (int i = 1; i <= count; ++i) {
        std::snprintf(line, sizeof line, ".zz%04d|Vendor %d - Product %d|2.%d|%s|C:\\Program Files\\Vendor%d\\App%d.exe|"
                      "C:\\PROGRA~1\\VENDOR~%d\\APP%d~1.EXE\r\n", i, i % 700, i, i, status, i % 700, i, i % 700, i);
        text += line;
    }
    return text;
}

std::string Aliases() {
    std::string text = "<?xml version=\"1.0\" ?>\r\n<MorvaTesselAlias>\r\n";
    char element[1024];
    for (int i = 1; i <= 50; ++i) {
        std::snprintf(element, sizeof element,
                      "<Alias Company=\"Missing info.\" Product=\"Missing info.\" Version=\"No version info.\" "
                      "LongPath=\"C:\\Tools\\tool%d.exe\" ShortPath=\"C:\\TOOLS\\TOOL%d.EXE\" CompanyA=\"Home\" "
                      "ProductA=\"Tool %d\" VersionA=\"1.%d\" LongPathA=\"C:\\Tools\\tool%d.exe\" "
                      "ShortPathA=\"C:\\TOOLS\\TOOL%d.EXE\" />\r\n",
                      i, i, i, i, i, i);
        text += element;
    }
    return text + "</MorvaTesselAlias>\r\n";
}

}  // namespace

std::wstring BuiltZintra() { return FromBuildTree(E2E_ZINTRA_RELATIVE); }
std::wstring BuiltChusel() { return FromBuildTree(E2E_CHUSEL_RELATIVE); }
std::wstring BuiltRecorder() { return FromBuildTree(E2E_RECORDER_RELATIVE); }

std::wstring ShortPath(const std::wstring& path) { return choosertest::ShortPath(path); }

std::wstring Lower(std::wstring text) {
    CharLowerBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

std::wstring FileNameOf(const std::wstring& path) {
    const size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? path : path.substr(slash + 1);
}

std::wstring NumbersText(const std::vector<long>& numbers) {
    if (numbers.empty()) return L"none";
    std::wstring text;
    for (long n : numbers) text += (text.empty() ? L"" : L", ") + std::to_wstring(n);
    return text;
}

bool InstallSuite(const std::wstring& root, Suite& suite, std::wstring& failure) {
    // The installed suite's own folders, with the user's programs and documents beside them.
    const SuiteLayout layout(root);
    suite.root = root;
    suite.programs = layout.programs;
    suite.apps = root + L"\\Apps";
    suite.docs = root + L"\\Docs";
    suite.chusel = suite.programs + L"\\Chusel.exe";
    testsupport::RemoveTree(root);
    layout.MakeFolders();
    for (const std::wstring& folder : {suite.apps, suite.docs}) CreateDirectoryW(folder.c_str(), nullptr);

    if (!CopyFileW(BuiltChusel().c_str(), suite.chusel.c_str(), FALSE)) {
        failure = L"cannot copy " + BuiltChusel();
        return false;
    }
    for (const wchar_t* name : {L"editor", L"viewer", L"fixed", L"winprog"}) {
        if (!CopyFileW(BuiltRecorder().c_str(), suite.App(name).c_str(), FALSE)) {
            failure = L"cannot copy " + BuiltRecorder();
            return false;
        }
    }
    for (const wchar_t* name : {L"letter.lxadd", L"report.lxdef", L"plain.lxnone"})
        choosertest::WriteFileText(suite.Doc(name), "a document\r\n");

    const std::wstring add = Entry(L".lxadd", L"Quillon Test Works - Editor", L"OK-A", suite.App(L"editor")) +
                             Entry(L".lxadd", L"Quillon Test Works - Viewer", L"OK-A", suite.App(L"viewer"));
    const std::wstring def = Entry(L".lxdef", L"Quillon Test Works - Fixed", L"OK-D", suite.App(L"fixed"));
    if (!choosertest::MakeArchive(layout.data + L"\\TesselMorva.dat",
                                  {{L"Tesselcat.xml", choosertest::CategoryFileText()},
                                   {L"TesselAdd.dat", choosertest::Ansi(add) + OtherOverrides("OK-A", 120)},
                                   {L"TesselDef.dat", choosertest::Ansi(def) + OtherOverrides("OK-D", 50)},
                                   {L"TesselDel.dat", OtherOverrides("OK-R", 30)},
                                   {L"Tesselma.xml", Aliases()},
                                   {L"TesselExe.dat", ProgramList()},
                                   {L"TesselAsscSS.xml", Snapshot()}})) {
        failure = L"cannot write the data archive";
        return false;
    }

    for (const wchar_t* extension : kExtensions) {
        SetClassesValue(extension, ProgId(extension));
        SetClassesValue(ProgId(extension) + L"\\shell\\open\\command", L"\"" + suite.App(L"winprog") + L"\" \"%1\"");
    }

    if (choosertest::RunAndWait(L"regsvr32 /s \"" + BuiltZintra() + L"\"") != 0) {
        failure = L"regsvr32 failed for " + BuiltZintra();
        return false;
    }
    if (choosertest::RunAndWait(L"\"" + suite.chusel + L"\" /RegServer") != 0) {
        failure = L"the chooser did not register itself";
        return false;
    }
    return true;
}

void RemoveSuite(const Suite& suite) {
    choosertest::RunAndWait(L"\"" + suite.chusel + L"\" /UnregServer");
    // A chooser stays a while after its last request, and its program file with it.
    choosertest::WaitForChuselProcesses(0);
    for (const wchar_t* extension : kExtensions) {
        testsupport::DeleteRegistryTree(HKEY_LOCAL_MACHINE, std::wstring(L"Software\\Classes\\") + extension);
        testsupport::DeleteRegistryTree(HKEY_LOCAL_MACHINE, L"Software\\Classes\\" + ProgId(extension));
    }
    testsupport::RemoveTree(suite.root);
}

void SwitchOn() { TurnHookOn(); }
void SwitchOff() { TurnHookOff(); }
bool SwitchedOn() { return GlobalFindAtomW((std::to_wstring(HookOnAtom) + AtomNameGuid).c_str()) != 0; }

ShellResult PlayShell(const std::wstring& file, const std::string& verb) {
    ShellResult result;
    com::ComPtr<IShellExecuteHookA> hook;
    if (FAILED(CoCreateInstance(CLSID_ShellExecHook, nullptr, CLSCTX_INPROC_SERVER, IID_IShellExecuteHookA,
                                hook.PutVoid())))
        return result;
    const std::string ansiFile = choosertest::Ansi(file);
    const std::string ansiFolder = choosertest::Ansi(file.substr(0, file.find_last_of(L'\\')));
    SHELLEXECUTEINFOA info{};
    info.cbSize = sizeof(info);
    info.fMask = 0;
    info.lpVerb = verb.c_str();
    info.lpFile = ansiFile.c_str();
    info.lpDirectory = ansiFolder.c_str();
    info.nShow = SW_SHOWNORMAL;
    result.hook = hook->Execute(&info);
    result.hInstApp = reinterpret_cast<INT_PTR>(info.hInstApp);
    if (result.hook == S_FALSE) {
        // The shell goes on in its usual way.
        SHELLEXECUTEINFOW usual{};
        usual.cbSize = sizeof(usual);
        // A box about a missing verb would wait for a user that is not there.
        usual.fMask = SEE_MASK_FLAG_NO_UI;
        const std::wstring wideVerb(verb.begin(), verb.end());
        usual.lpVerb = wideVerb.c_str();
        usual.lpFile = file.c_str();
        usual.nShow = SW_SHOWNORMAL;
        result.openedByShell = ShellExecuteExW(&usual) != FALSE;
    }
    return result;
}

std::wstring ListCaption(const std::wstring& key) { return L"  [" + key + L"] - Morva Lumox Choices "; }

ListUser::ListUser(std::wstring caption, std::vector<WORD> keys)
    : caption_(std::move(caption)), keys_(std::move(keys)) {
    thread_ = std::thread([this] {
        while (!stop_) {
            HWND list = FindWindowW(nullptr, caption_.c_str());
            if (list && IsWindowVisible(list)) {
                seen_ = true;
                // Typed as the user types: into whatever Windows gave the keyboard once the
                // list is in front.
                userinput::WaitUntil([&] { return GetForegroundWindow() == list; }, 5000);
                for (WORD key : keys_) {
                    userinput::Press(key);
                    Sleep(60);
                }
                return;
            }
            Sleep(20);
        }
    });
}

ListUser::~ListUser() { Finish(); }

bool ListUser::Finish() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    return seen_;
}

std::vector<std::wstring> LogLines(const std::wstring& log, size_t atLeast, DWORD timeoutMs) {
    return choosertest::RecorderLines(log, atLeast, timeoutMs);
}

}  // namespace e2e
