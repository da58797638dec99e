// The chooser program as COM uses it: self-registration, serving its class out of process,
// and going away with its last object.
#include <gtest/gtest.h>

#include <objbase.h>

#include "ChooserTestSupport.h"
#include "ChuselServer.h"
#include "MorvaKestrow.h"
#include "basChooserEnding.h"
#include "com/ComDispatch.h"
#include "com/ComModule.h"
#include "com/ComRegistration.h"
#include "vb/VbText.h"

using namespace choosertest;

namespace {

const std::wstring kClassKey = L"Software\\Classes\\CLSID\\{FA417F55-1F47-40FD-9485-31BEA0BC4FDB}";
const std::wstring kTypeLibKey = L"Software\\Classes\\TypeLib\\{EC238C6C-2B3C-46D6-9050-B15A5ABF6C70}";

std::wstring ChuselPath() {
    wchar_t full[MAX_PATH];
    GetFullPathNameW((TestFolder() + L"\\" + CHUSEL_RELATIVE_PATH).c_str(), MAX_PATH, full, nullptr);
    return full;
}

std::optional<std::wstring> ReadDefault(const std::wstring& key) {
    HKEY h = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return std::nullopt;
    wchar_t data[1024] = {};
    DWORD size = sizeof(data) - sizeof(wchar_t);
    LONG rc = RegQueryValueExW(h, nullptr, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &size);
    RegCloseKey(h);
    if (rc != ERROR_SUCCESS) return std::nullopt;
    return std::wstring(data);
}

// The program file a process was started from; empty when it cannot be asked.
std::wstring ProcessImage(DWORD id) {
    using QueryImage = BOOL(WINAPI*)(HANDLE, DWORD, wchar_t*, DWORD*);
    const auto query = reinterpret_cast<QueryImage>(
        reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "QueryFullProcessImageNameW")));
    if (!query) return {};
    HANDLE process = OpenProcess(0x1000 /* PROCESS_QUERY_LIMITED_INFORMATION */, FALSE, id);
    if (!process) return {};
    wchar_t path[MAX_PATH] = {};
    DWORD size = MAX_PATH;
    const BOOL ok = query(process, 0, path, &size);
    CloseHandle(process);
    return ok ? std::wstring(path, size) : std::wstring();
}

std::string Hex(HRESULT hr) {
    char text[16];
    snprintf(text, sizeof(text), "0x%08lX", static_cast<unsigned long>(hr));
    return text;
}

bool KeyExists(const std::wstring& key) {
    HKEY h = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &h) != ERROR_SUCCESS) return false;
    RegCloseKey(h);
    return true;
}

class ChuselServerTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { RunAndWait(L"\"" + ChuselPath() + L"\""); }
    void SetUp() override { CoInitialize(nullptr); }
    void TearDown() override { CoUninitialize(); }

    static long Ask(_MorvaTavixExe* chooser, const std::wstring& request) {
        BSTR text = SysAllocString(request.c_str());
        LONG result = -1;
        EXPECT_EQ(chooser->Rundel(text, &result), S_OK);
        SysFreeString(text);
        return result;
    }
};

}  // namespace

TEST(ChuselCommandLine, WhatEachCommandLineAsks) {
    using chusel::ServerAction;
    const struct {
        const wchar_t* arguments;
        ServerAction action;
    } cases[] = {
        {L"", ServerAction::Register},
        {L"/RegServer", ServerAction::Register},
        {L"-regserver", ServerAction::Register},
        {L"/UnregServer", ServerAction::Unregister},
        {L"-UNREGSERVER", ServerAction::Unregister},
        {L"-Embedding", ServerAction::Serve},
        {L"/Embedding", ServerAction::Serve},
        {L"  -Embedding  ", ServerAction::Serve},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.arguments);
        EXPECT_EQ(chusel::ActionFromCommandLine(c.arguments), c.action);
    }
}

TEST_F(ChuselServerTest, RegistersAndUnregistersItself) {
    EXPECT_EQ(RunAndWait(L"\"" + ChuselPath() + L"\" /UnregServer", 20000), 0);
    EXPECT_FALSE(KeyExists(kClassKey));
    EXPECT_FALSE(KeyExists(L"Software\\Classes\\MorvaKestrow.MorvaTavixExe"));
    EXPECT_FALSE(KeyExists(kTypeLibKey + L"\\1.0"));

    // Without arguments it registers and ends at once.
    const DWORD start = GetTickCount();
    EXPECT_EQ(RunAndWait(L"\"" + ChuselPath() + L"\"", 20000), 0);
    EXPECT_LT(GetTickCount() - start, 15000u);
    EXPECT_EQ(ReadDefault(kClassKey + L"\\LocalServer32"), ChuselPath());
    EXPECT_EQ(ReadDefault(kClassKey + L"\\ProgID"), L"MorvaKestrow.MorvaTavixExe");
    EXPECT_EQ(ReadDefault(L"Software\\Classes\\MorvaKestrow.MorvaTavixExe\\CLSID"),
              L"{FA417F55-1F47-40FD-9485-31BEA0BC4FDB}");
    EXPECT_TRUE(KeyExists(kTypeLibKey + L"\\1.0"));
    EXPECT_FALSE(KeyExists(kClassKey + L"\\InprocServer32"));
    EXPECT_EQ(ChuselProcesses(), 0);
    CLSID clsid{};
    EXPECT_EQ(CLSIDFromProgID(L"MorvaKestrow.MorvaTavixExe", &clsid), S_OK);
    EXPECT_TRUE(IsEqualCLSID(clsid, CLSID_MorvaTavixExe));

    EXPECT_EQ(RunAndWait(L"\"" + ChuselPath() + L"\" /RegServer", 20000), 0);
    EXPECT_EQ(ReadDefault(kClassKey + L"\\LocalServer32"), ChuselPath());
}

TEST_F(ChuselServerTest, ServesOutOfProcessWhileObjectsLive) {
    ASSERT_TRUE(WaitForChuselProcesses(0));
    com::ComPtr<_MorvaTavixExe> first;
    ASSERT_EQ(CoCreateInstance(CLSID_MorvaTavixExe, nullptr, CLSCTX_LOCAL_SERVER, IID__MorvaTavixExe, first.PutVoid()),
              S_OK);
    EXPECT_EQ(ChuselProcesses(), 1);
    EXPECT_EQ(Ask(first.Get(), Request(L"print", L"C:\\x.txt")), 1);
    EXPECT_EQ(Ask(first.Get(), L""), 1);

    // A second object comes from the same process (one class object for every client).
    com::ComPtr<IDispatch> second;
    ASSERT_EQ(CoCreateInstance(CLSID_MorvaTavixExe, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch, second.PutVoid()),
              S_OK);
    EXPECT_EQ(ChuselProcesses(), 1);
    // By name, through the type library the server carries.
    EXPECT_EQ(com::CallByName(second.Get(), L"Rundel", DISPATCH_METHOD, {vb::Variant(L"explore\r\n")}).ToLong(), 1);

    first.Reset();
    Sleep(300);
    EXPECT_EQ(ChuselProcesses(), 1);
    second.Reset();
    EXPECT_TRUE(WaitForChuselProcesses(0));
}

TEST_F(ChuselServerTest, StaysAWhileAfterItsLastObjectThenEndsOnItsOwn) {
    ASSERT_TRUE(WaitForChuselProcesses(0));
    std::vector<DWORD> firstServer;
    {
        com::ComPtr<_MorvaTavixExe> chooser;
        ASSERT_EQ(
            CoCreateInstance(CLSID_MorvaTavixExe, nullptr, CLSCTX_LOCAL_SERVER, IID__MorvaTavixExe, chooser.PutVoid()),
            S_OK);
        firstServer = ChuselProcessIds();
        EXPECT_EQ(Ask(chooser.Get(), Request(L"print", L"C:\\x.txt")), 1);
    }
    ASSERT_EQ(firstServer.size(), 1u);
    // The next open, a few seconds later, finds the same server waiting.
    Sleep(3000);
    EXPECT_EQ(ChuselProcesses(), 1);
    {
        com::ComPtr<_MorvaTavixExe> chooser;
        ASSERT_EQ(
            CoCreateInstance(CLSID_MorvaTavixExe, nullptr, CLSCTX_LOCAL_SERVER, IID__MorvaTavixExe, chooser.PutVoid()),
            S_OK);
        EXPECT_EQ(ChuselProcessIds(), firstServer);
        EXPECT_EQ(ChuselProcesses(), 1);
        EXPECT_EQ(Ask(chooser.Get(), Request(L"print", L"C:\\x.txt")), 1);
    }
    // Then, with nobody coming, it ends by itself: not at once, but after its wait.
    const DWORD released = GetTickCount();
    Sleep(5000);
    EXPECT_EQ(ChuselProcesses(), 1);
    EXPECT_TRUE(WaitForChuselProcesses(0, 30000));
    EXPECT_GE(GetTickCount() - released, 14000u);
}

TEST_F(ChuselServerTest, AServerStartedByHandWithEmbeddingIsUsed) {
    ASSERT_TRUE(WaitForChuselProcesses(0));
    for (const wchar_t* embedding : {L"-Embedding", L"/Embedding"}) {
        SCOPED_TRACE(embedding);
        STARTUPINFOW si{};
        si.cb = sizeof(si);
        PROCESS_INFORMATION pi{};
        std::wstring line = L"\"" + ChuselPath() + L"\" " + embedding;
        ASSERT_TRUE(CreateProcessW(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si, &pi));
        Sleep(1500);  // time to register its class object
        com::ComPtr<_MorvaTavixExe> chooser;
        ASSERT_EQ(
            CoCreateInstance(CLSID_MorvaTavixExe, nullptr, CLSCTX_LOCAL_SERVER, IID__MorvaTavixExe, chooser.PutVoid()),
            S_OK);
        EXPECT_EQ(ChuselProcesses(), 1);
        EXPECT_EQ(Ask(chooser.Get(), Request(L"print", L"C:\\x.txt")), 1);
        chooser.Reset();
        EXPECT_EQ(WaitForSingleObject(pi.hProcess, 30000), WAIT_OBJECT_0);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
}

TEST_F(ChuselServerTest, AnObjectHeldPastTheWaitKeepsTheServerUntilItIsReleased) {
    ASSERT_TRUE(WaitForChuselProcesses(0));
    com::ComPtr<_MorvaTavixExe> chooser;
    ASSERT_EQ(CoCreateInstance(CLSID_MorvaTavixExe, nullptr, CLSCTX_LOCAL_SERVER, IID__MorvaTavixExe, chooser.PutVoid()),
              S_OK);
    const std::vector<DWORD> server = ChuselProcessIds();
    ASSERT_EQ(server.size(), 1u);
    {
        // A second client comes and goes: the first one's object still holds the server.
        com::ComPtr<_MorvaTavixExe> other;
        ASSERT_EQ(
            CoCreateInstance(CLSID_MorvaTavixExe, nullptr, CLSCTX_LOCAL_SERVER, IID__MorvaTavixExe, other.PutVoid()),
            S_OK);
        EXPECT_EQ(Ask(other.Get(), Request(L"print", L"C:\\x.txt")), 1);
    }
    // Longer than the server's wait for its first client (a minute), which runs out while the
    // object lives, and longer than its wait after a last object.
    Sleep(64000);
    EXPECT_EQ(ChuselProcessIds(), server);
    EXPECT_EQ(Ask(chooser.Get(), Request(L"print", L"C:\\x.txt")), 1);
    {
        // The server still serves its class: a new client is taken by it, not by a new one.
        com::ComPtr<_MorvaTavixExe> late;
        ASSERT_EQ(
            CoCreateInstance(CLSID_MorvaTavixExe, nullptr, CLSCTX_LOCAL_SERVER, IID__MorvaTavixExe, late.PutVoid()),
            S_OK);
        EXPECT_EQ(ChuselProcessIds(), server);
        EXPECT_EQ(Ask(late.Get(), Request(L"print", L"C:\\x.txt")), 1);
    }
    chooser.Reset();
    const DWORD released = GetTickCount();
    Sleep(5000);
    EXPECT_EQ(ChuselProcessIds(), server) << "the server waits for a next client after its last object";
    EXPECT_TRUE(WaitForChuselProcesses(0, 30000));
    EXPECT_GE(GetTickCount() - released, 14000u);
}

TEST_F(ChuselServerTest, AClientThatFoundTheServerJustBeforeItEndedIsToldToAskAgain) {
    // COM hands a client the class object of the server that runs; when that server ends before
    // the client's creation reaches it, the client must learn that the server was ending (so
    // the hook asks again), and the next creation starts a new server.
    ASSERT_TRUE(WaitForChuselProcesses(0));
    com::ComPtr<IClassFactory> factory;
    {
        com::ComPtr<_MorvaTavixExe> chooser;
        ASSERT_EQ(
            CoCreateInstance(CLSID_MorvaTavixExe, nullptr, CLSCTX_LOCAL_SERVER, IID__MorvaTavixExe, chooser.PutVoid()),
            S_OK);
        ASSERT_EQ(CoGetClassObject(CLSID_MorvaTavixExe, CLSCTX_LOCAL_SERVER, nullptr, IID_IClassFactory,
                                   factory.PutVoid()),
                  S_OK);
    }
    const std::vector<DWORD> ended = ChuselProcessIds();
    ASSERT_EQ(ended.size(), 1u);
    ASSERT_TRUE(WaitForChuselProcesses(0, 30000));

    com::ComPtr<_MorvaTavixExe> late;
    const HRESULT hr = factory->CreateInstance(nullptr, IID__MorvaTavixExe, late.PutVoid());
    EXPECT_TRUE(FAILED(hr)) << Hex(hr);
    EXPECT_TRUE(ChooserServerWasEnding(hr)) << Hex(hr);
    factory.Reset();

    com::ComPtr<_MorvaTavixExe> again;
    ASSERT_EQ(CoCreateInstance(CLSID_MorvaTavixExe, nullptr, CLSCTX_LOCAL_SERVER, IID__MorvaTavixExe, again.PutVoid()),
              S_OK);
    const std::vector<DWORD> fresh = ChuselProcessIds();
    ASSERT_EQ(fresh.size(), 1u);
    EXPECT_NE(fresh, ended);
    EXPECT_EQ(Ask(again.Get(), Request(L"print", L"C:\\x.txt")), 1);
}

TEST_F(ChuselServerTest, RegisteredFromAFolderWithABlankItIsQuotedAndComStartsIt) {
    ASSERT_TRUE(WaitForChuselProcesses(0));
    const std::wstring folder = testsupport::FreshTempFolder(L"Lumox Chooser ") + L"\\Morva Programs";
    ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
    const std::wstring copy = folder + L"\\Chusel.exe";
    ASSERT_TRUE(CopyFileW(ChuselPath().c_str(), copy.c_str(), FALSE));

    // Whatever happens below, the built program registers itself again for the tests after this
    // one, once the copy has ended.
    struct RegisterBuiltAgain {
        std::wstring folder;
        ~RegisterBuiltAgain() {
            WaitForChuselProcesses(0, 30000);
            RunAndWait(L"\"" + ChuselPath() + L"\"", 20000);
            testsupport::RemoveTree(folder);
        }
    } again{folder.substr(0, folder.rfind(L'\\'))};

    EXPECT_EQ(RunAndWait(L"\"" + copy + L"\"", 20000), 0);
    EXPECT_EQ(ReadDefault(kClassKey + L"\\LocalServer32"), L"\"" + copy + L"\"");
    com::ComPtr<_MorvaTavixExe> chooser;
    ASSERT_EQ(CoCreateInstance(CLSID_MorvaTavixExe, nullptr, CLSCTX_LOCAL_SERVER, IID__MorvaTavixExe, chooser.PutVoid()),
              S_OK);
    const std::vector<DWORD> ids = ChuselProcessIds();
    ASSERT_EQ(ids.size(), 1u);
    EXPECT_TRUE(vb::TextEquals(ProcessImage(ids[0]), copy)) << "started from the copy";
    EXPECT_EQ(Ask(chooser.Get(), Request(L"print", L"C:\\x.txt")), 1);
}
