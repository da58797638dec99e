// Sendrik.dll as the host uses it: registered with regsvr32 from a program folder of its own,
// created by ProgID, its members read by name, its window shown inside a frame of the tests'
// own with F1 typed in it, and its registration removed again.
#include <windows.h>
#include <olectl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "OptionsWindowSupport.h"
#include "UserInput.h"
#include "com/ComDispatch.h"
#include "vb/VbError.h"
#include "vb/VbText.h"

using namespace windowtest;

namespace {

constexpr wchar_t kClsid[] = L"{C4D9D85C-E53F-4C91-AC00-AE2104E08569}";
constexpr wchar_t kLibid[] = L"{278F4471-F256-450F-A85D-334F2FE45B24}";
constexpr wchar_t kProgId[] = L"MorvaSendrik.CForm";
constexpr wchar_t kProperties[] =
    L"AboutMenu\rHelpMenu\rMdiMenu\rProductName\rProperties\rShowForm\rSysTrayMenu\rToolbarButtonDown\r"
    L"ToolbarButtonUp\rToolbarButtonText\rToolbarButtonToolTip\rToolbarButtonUpOver\rUtilitySuiteOrdinal\rVersion";

std::wstring ExeFolder() {
    wchar_t path[MAX_PATH];
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring p = path;
    return p.substr(0, p.rfind(L'\\'));
}

DWORD RunProgram(const std::wstring& commandLine) {
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    std::wstring line = commandLine;
    if (!CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi)) return ~0u;
    WaitForSingleObject(pi.hProcess, 60000);
    DWORD code = ~0u;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return code;
}

bool KeyExists(HKEY root, const std::wstring& path) {
    HKEY key;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

std::wstring DefaultValue(HKEY root, const std::wstring& path) {
    HKEY key;
    if (RegOpenKeyExW(root, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return L"<missing>";
    wchar_t value[MAX_PATH] = {};
    DWORD size = sizeof(value);
    LONG rc = RegQueryValueExW(key, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS ? value : L"<missing>";
}

// The top-level or MDI child window of this thread captioned as the options window.
HWND FindOptionsWindow(HWND under = nullptr) {
    return FindWindowExW(under, nullptr, nullptr, L"Lumox Expert Options");
}

VARIANT GetRaw(IDispatch* object, const wchar_t* name) {
    VARIANT v;
    VariantInit(&v);
    com::CallByNameRaw(object, name, DISPATCH_PROPERTYGET, {}, &v);
    return v;
}

class SendrikComTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        root = testsupport::FreshTempFolder(L"sendrikcom");
        programs = root + L"\\Programs";
        CreateDirectoryW(programs.c_str(), nullptr);
        dll = programs + L"\\Sendrik.dll";
        CopyFileW((ExeFolder() + L"\\" + SENDRIK_RELATIVE_PATH).c_str(), dll.c_str(), FALSE);
        WriteArchive(root, {{L"Tesselcat.xml", CategoryFile()}, {L"TesselExe.dat", ProgramLines(8)}});
        SetFirstRun(L"False");
        registered = RunProgram(L"regsvr32.exe /s \"" + dll + L"\"");
    }
    static void TearDownTestSuite() {
        CoFreeUnusedLibraries();
        testsupport::RemoveTree(root);
    }
    void SetUp() override {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        ASSERT_EQ(registered, 0u);
    }
    void TearDown() override {
        vb::Err().Clear();
        CoUninitialize();
    }

    static com::ComPtr<IDispatch> Create() {
        com::ComPtr<IDispatch> object;
        CLSID clsid{};
        EXPECT_EQ(S_OK, CLSIDFromProgID(kProgId, &clsid));
        EXPECT_EQ(S_OK, CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, object.PutVoid()));
        return object;
    }

    static std::wstring root, programs, dll;
    static DWORD registered;
    DialogWatchdog watchdog;
};

std::wstring SendrikComTest::root, SendrikComTest::programs, SendrikComTest::dll;
DWORD SendrikComTest::registered = ~0u;

TEST_F(SendrikComTest, RegistersItsClassProgIdAndTypeLibrary) {
    EXPECT_TRUE(vb::TextEquals(DefaultValue(HKEY_CLASSES_ROOT, std::wstring(L"CLSID\\") + kClsid + L"\\InprocServer32"),
                               dll));
    EXPECT_EQ(DefaultValue(HKEY_CLASSES_ROOT, std::wstring(kProgId) + L"\\CLSID"), kClsid);
    EXPECT_TRUE(KeyExists(HKEY_CLASSES_ROOT, std::wstring(L"TypeLib\\") + kLibid + L"\\20.0"));
    ITypeLib* library = nullptr;
    ASSERT_EQ(S_OK, LoadTypeLib(dll.c_str(), &library));
    TLIBATTR* attributes = nullptr;
    ASSERT_EQ(S_OK, library->GetLibAttr(&attributes));
    EXPECT_EQ(attributes->wMajorVerNum, 0x20);  // the key's "20" is hexadecimal
    EXPECT_EQ(attributes->wMinorVerNum, 0);
    library->ReleaseTLibAttr(attributes);
    library->Release();
}

TEST_F(SendrikComTest, AnswersEveryMemberItsPropertiesName) {
    com::ComPtr<IDispatch> form = Create();
    ASSERT_TRUE(form);
    EXPECT_EQ(com::CallByName(form.Get(), L"Properties", DISPATCH_PROPERTYGET).ToString(), kProperties);
    for (const std::wstring& name : vb::Split(kProperties, L"\r")) {
        SCOPED_TRACE(name);
        DISPID id = 0;
        LPOLESTR text = const_cast<LPOLESTR>(name.c_str());
        EXPECT_EQ(S_OK, form->GetIDsOfNames(IID_NULL, &text, 1, LOCALE_USER_DEFAULT, &id));
    }
    const std::pair<const wchar_t*, const wchar_t*> texts[] = {
        {L"AboutMenu", L"About Lumox Expert;Dummy Tag Text1"},
        {L"HelpMenu", L"Lumox Expert Help;Dummy Tag Text1"},
        {L"MdiMenu", L"Lumox Expert\rOptions;Dummy Tag Text1"},
        {L"SysTrayMenu", L"Disable;Dummy Tag Text2"},
        {L"ToolbarButtonText", L"Lumox Expert"},
        {L"ToolbarButtonToolTip", L"Manage Your Windows Associations"},
        {L"ProductName", L"Lumox Expert"},
    };
    for (const auto& [name, text] : texts) EXPECT_EQ(com::CallByName(form.Get(), name, DISPATCH_PROPERTYGET).ToString(), text);
    VARIANT ordinal = GetRaw(form.Get(), L"UtilitySuiteOrdinal");
    EXPECT_EQ(ordinal.vt, VT_R4);
    EXPECT_EQ(ordinal.fltVal, 100.0f);
}

TEST_F(SendrikComTest, VersionComesFromTheLibrarysVersionResource) {
    DWORD handle = 0;
    DWORD size = GetFileVersionInfoSizeW(dll.c_str(), &handle);
    ASSERT_GT(size, 0u);
    std::vector<BYTE> data(size);
    ASSERT_TRUE(GetFileVersionInfoW(dll.c_str(), 0, size, data.data()));
    VS_FIXEDFILEINFO* info = nullptr;
    UINT length = 0;
    ASSERT_TRUE(VerQueryValueW(data.data(), L"\\", reinterpret_cast<void**>(&info), &length));
    const std::wstring expected = std::to_wstring(HIWORD(info->dwFileVersionMS)) + L"." +
                                  std::to_wstring(LOWORD(info->dwFileVersionMS)) + L"." +
                                  std::to_wstring(LOWORD(info->dwFileVersionLS));
    com::ComPtr<IDispatch> form = Create();
    EXPECT_EQ(com::CallByName(form.Get(), L"Version", DISPATCH_PROPERTYGET).ToString(), expected);
    EXPECT_EQ(expected, L"20.0.1");
}

TEST_F(SendrikComTest, APictureLoadsTheWindowHiddenAndShowFormOpensItInTheFrame) {
    com::ComPtr<IDispatch> form = Create();
    for (const wchar_t* member : {L"ToolbarButtonUp", L"ToolbarButtonDown", L"ToolbarButtonUpOver"}) {
        SCOPED_TRACE(member);
        VARIANT picture = GetRaw(form.Get(), member);
        ASSERT_EQ(picture.vt, VT_DISPATCH);
        com::ComPtr<IPicture> bitmap;
        ASSERT_EQ(S_OK, picture.pdispVal->QueryInterface(IID_IPicture, bitmap.PutVoid()));
        SHORT type = 0;
        bitmap->get_Type(&type);
        EXPECT_EQ(type, PICTYPE_BITMAP);
        VariantClear(&picture);
    }
    // Loaded, not shown; the frame came later than the window, so the window stays top-level.
    HWND hidden = FindOptionsWindow();
    ASSERT_TRUE(hidden);
    EXPECT_FALSE(IsWindowVisible(hidden));
    DestroyWindow(hidden);

    TestFrame frame;
    com::ComPtr<IDispatch> first, second;
    {
        VARIANT v;
        VariantInit(&v);
        com::CallByNameRaw(form.Get(), L"ShowForm", DISPATCH_METHOD, {}, &v);
        ASSERT_EQ(v.vt, VT_DISPATCH);
        first = com::ComPtr<IDispatch>(v.pdispVal);
        // The reference now belongs to first: the next call clears what it finds in v.
        VariantInit(&v);
        com::CallByNameRaw(form.Get(), L"ShowForm", DISPATCH_METHOD, {}, &v);
        ASSERT_EQ(v.vt, VT_DISPATCH);
        second = com::ComPtr<IDispatch>(v.pdispVal);
    }
    EXPECT_EQ(first.Get(), second.Get());
    EXPECT_EQ(com::CallByName(first.Get(), L"Name", DISPATCH_PROPERTYGET).ToString(), L"frmTesselOptions");
    ASSERT_TRUE(PumpUntil([&] { return com::CallByName(first.Get(), L"FormReadiness", DISPATCH_PROPERTYGET).ToLong() == 2; }));
    HWND child = FindOptionsWindow(frame.MdiClient());
    ASSERT_TRUE(child);
    EXPECT_TRUE(IsWindowVisible(child));
    ASSERT_EQ(frame.children.size(), 1u);
    EXPECT_EQ(frame.children[0].window, child);
    EXPECT_TRUE(com::CallByName(first.Get(), L"Visible", DISPATCH_PROPERTYGET).ToBool());
    // While the window lives the library stays loaded.
    HMODULE module = GetModuleHandleW(dll.c_str());
    ASSERT_TRUE(module);
    auto canUnload = reinterpret_cast<HRESULT(__stdcall*)()>(reinterpret_cast<void*>(GetProcAddress(module, "DllCanUnloadNow")));
    ASSERT_TRUE(canUnload);
    EXPECT_EQ(canUnload(), S_FALSE);

    // The host minimizes its frame: the next tick closes the window; asking it again loads nothing.
    com::CallByName(first.Get(), L"MdiFrmWindowState", DISPATCH_PROPERTYPUT, {vb::Variant(static_cast<int16_t>(1))});
    com::CallByName(first.Get(), L"TimerEvent", DISPATCH_METHOD);
    EXPECT_FALSE(IsWindow(child));
    EXPECT_TRUE(frame.children.empty());
    EXPECT_FALSE(com::CallByName(first.Get(), L"Visible", DISPATCH_PROPERTYGET).ToBool());
    EXPECT_FALSE(FindOptionsWindow(frame.MdiClient()));
    // Once its objects are released and no window of it is left, the library may go.
    first.Reset();
    second.Reset();
    form.Reset();
    EXPECT_EQ(canUnload(), S_OK);
    EXPECT_EQ(watchdog.closed(), 0);
}

// The help viewer's window, shown and captioned with the help file's title; null while there is none.
HWND HelpViewer() {
    HWND viewer = FindWindowW(nullptr, L"Lumox Help");
    return viewer && IsWindowVisible(viewer) ? viewer : nullptr;
}

// F1 typed in the options window, answered by the library's own help engine from the library's own
// folder, as the installed suite has it: our help file opens, or a message names the missing file;
// the window and its frame stay either way.
TEST_F(SendrikComTest, F1InTheOptionsWindowOpensTheHelpBesideTheLibraryAndTheWindowStays) {
    const std::wstring chm = programs + L"\\Lumox.chm";
    ASSERT_TRUE(CopyFileW((ExeFolder() + L"\\" + HELP_FILE_RELATIVE_PATH).c_str(), chm.c_str(), FALSE));
    com::ComPtr<IDispatch> form = Create();
    TestFrame frame;
    SetWindowPos(frame.Handle(), HWND_TOP, 0, 0, GetSystemMetrics(SM_CXSCREEN) / 2, GetSystemMetrics(SM_CYSCREEN) / 2,
                 SWP_SHOWWINDOW);
    com::ComPtr<IDispatch> window;
    {
        VARIANT v;
        VariantInit(&v);
        com::CallByNameRaw(form.Get(), L"ShowForm", DISPATCH_METHOD, {}, &v);
        ASSERT_EQ(v.vt, VT_DISPATCH);
        window = com::ComPtr<IDispatch>(v.pdispVal);
    }
    ASSERT_TRUE(PumpUntil([&] { return com::CallByName(window.Get(), L"FormReadiness", DISPATCH_PROPERTYGET).ToLong() == 2; }));
    HWND child = FindOptionsWindow(frame.MdiClient());
    ASSERT_TRUE(child);
    ASSERT_TRUE(userinput::BringToFront(frame.Handle()));
    ASSERT_TRUE(PumpUntil([&] { return GetFocus() == child || IsChild(child, GetFocus()); }, 3000))
        << "the keyboard focus is in the options window";

    // Our help: the viewer opens on the help file beside the library.
    userinput::Press(VK_F1);
    EXPECT_TRUE(PumpUntil([] { return HelpViewer() != nullptr; }, 15000)) << "no help window";
    EXPECT_TRUE(IsWindow(child) && IsWindowVisible(child)) << "the options window stays";
    EXPECT_TRUE(IsWindowVisible(frame.Handle())) << "the frame stays";
    EXPECT_EQ(watchdog.closed(), 0) << "no message on the way";
    if (HWND viewer = HelpViewer()) PostMessageW(viewer, WM_CLOSE, 0, 0);
    EXPECT_TRUE(PumpUntil([] { return HelpViewer() == nullptr; }, 5000));

    // No help file: a message names the file the library looked for, and nothing else happens.
    DeleteFileW(chm.c_str());
    ASSERT_TRUE(userinput::BringToFront(frame.Handle()));
    userinput::Press(VK_F1);
    ASSERT_TRUE(PumpUntil([&] { return watchdog.closed() > 0; }, 15000)) << "no message about the missing file";
    const std::vector<std::wstring> texts = watchdog.texts();
    ASSERT_FALSE(texts.empty());
    std::wstring said = texts.back();
    said.erase(std::remove_if(said.begin(), said.end(), [](wchar_t c) { return c == L'\r' || c == L'\n'; }), said.end());
    EXPECT_NE(said.find(chm), std::wstring::npos) << vb::ToAnsi(said);
    EXPECT_NE(said.find(L"cannot be found"), std::wstring::npos) << vb::ToAnsi(said);
    EXPECT_FALSE(HelpViewer());
    EXPECT_TRUE(IsWindow(child) && IsWindowVisible(child)) << "the options window stays";

    // The host minimizes its frame: the next tick closes the window.
    com::CallByName(window.Get(), L"MdiFrmWindowState", DISPATCH_PROPERTYPUT, {vb::Variant(static_cast<int16_t>(1))});
    com::CallByName(window.Get(), L"TimerEvent", DISPATCH_METHOD);
    EXPECT_FALSE(IsWindow(child));
}

// Last: it takes the registration away.
TEST_F(SendrikComTest, ZzUnregisteringRemovesTheKeys) {
    ASSERT_EQ(RunProgram(L"regsvr32.exe /s /u \"" + dll + L"\""), 0u);
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, std::wstring(L"CLSID\\") + kClsid));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, kProgId));
    EXPECT_FALSE(KeyExists(HKEY_CLASSES_ROOT, std::wstring(L"TypeLib\\") + kLibid + L"\\20.0"));
    registered = RunProgram(L"regsvr32.exe /s \"" + dll + L"\"");
}

}  // namespace
