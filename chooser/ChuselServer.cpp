#include "ChuselServer.h"

#include <windows.h>
#include <objbase.h>

#include "ChuselMessages.h"
#include "MorvaKestrow.h"
#include "MorvaTavixExe.h"
#include "basMessageHandler.h"
#include "basXmlFiles.h"
#include "frmList.h"
#include "com/ComModule.h"
#include "com/ComRegistration.h"
#include "vb/VbApp.h"
#include "vb/VbError.h"
#include "vb/VbText.h"

namespace chusel {

namespace {

const com::ClassRegistration kClass = {&CLSID_MorvaTavixExe, L"MorvaKestrow.MorvaTavixExe",
                                       L"MorvaKestrow.MorvaTavixExe", nullptr, &LIBID_MorvaKestrow, L"1.0", true};

DWORD g_serverThread = 0;
DWORD g_classCookie = 0;

// The first list in a process pays for loading the list-view control and its fonts, and the
// first alias file for loading the XML object. COM's client is still on its way when the class
// object is registered, so that time is spent on this instead.
void PrepareForFirstRequest() {
    try {
        frmList::Default();
        win::DefaultInstance<frmList>::Release();
        CreateXmlDocument();
    } catch (...) {
        vb::Err().Clear();
    }
}

// How long the server stays after its last object went, its class object still registered,
// so that the next open finds it running; and how long it waits for the first client that
// COM started it for.
constexpr UINT kGraceMs = 15000;
constexpr UINT kFirstClientMs = 60000;

UINT_PTR g_exitTimer = 0;

// The server ends when the timer fires with no object alive.
void ArmExitTimer(UINT ms) {
    if (g_exitTimer) KillTimer(nullptr, g_exitTimer);
    g_exitTimer = SetTimer(nullptr, 0, ms, nullptr);
}

// The last object is gone: the server waits a while for the next client, then ends.
void StayForGrace() {
    if (GetCurrentThreadId() == g_serverThread)
        ArmExitTimer(kGraceMs);
    else if (g_serverThread)
        PostThreadMessageW(g_serverThread, WM_NULL, 0, kGraceMs);
}

// With the class object withdrawn, the last release ends the server at once.
void QuitWhenServed() {
    if (g_serverThread) PostThreadMessageW(g_serverThread, WM_QUIT, 0, 0);
}

// Withdraws the class object, so that COM starts a new server for the next client; answers
// whether the server may end (an object may have come in meanwhile).
bool WithdrawWhenEmpty() {
    if (com::ModuleLockCount() != 0) return false;
    if (g_classCookie) {
        const DWORD cookie = g_classCookie;
        g_classCookie = 0;
        CoRevokeClassObject(cookie);
    }
    // A call that was already on its way is served before the server goes.
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) continue;
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return com::ModuleLockCount() == 0;
}

bool HasSwitch(const std::vector<std::wstring>& words, const wchar_t* name) {
    for (const std::wstring& word : words) {
        if (word.size() < 2 || (word[0] != L'-' && word[0] != L'/')) continue;
        if (vb::TextEquals(word.substr(1), name)) return true;
    }
    return false;
}

}  // namespace

ServerAction ActionFromCommandLine(const std::wstring& arguments) {
    std::vector<std::wstring> words;
    for (const std::wstring& word : vb::Split(vb::Trim(arguments), L" "))
        if (!word.empty()) words.push_back(word);
    if (HasSwitch(words, L"Embedding")) return ServerAction::Serve;
    if (HasSwitch(words, L"UnregServer")) return ServerAction::Unregister;
    return ServerAction::Register;
}

int RegisterServer(const std::wstring& modulePath) {
    HRESULT hr = com::RegisterModuleTypeLib(modulePath);
    if (SUCCEEDED(hr)) hr = com::RegisterComClass(kClass, modulePath);
    return SUCCEEDED(hr) ? 0 : 1;
}

int UnregisterServer(const std::wstring& modulePath) {
    HRESULT hr = com::UnregisterComClass(kClass);
    HRESULT hr2 = com::UnregisterModuleTypeLib(modulePath);
    return SUCCEEDED(hr) && SUCCEEDED(hr2) ? 0 : 1;
}

int Serve() {
    // A drive without its medium must not stop a request with a box nobody waits for.
    SetErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX);
    g_serverThread = GetCurrentThreadId();
    if (FAILED(CoInitialize(nullptr))) return 2;
    InstallRequestSilencePresenter();
    com::SetModuleEmptyCallback(StayForGrace);
    IClassFactory* factory = nullptr;
    if (FAILED(com::CreateClassFactory(CreateMorvaTavixExe, IID_IClassFactory, reinterpret_cast<void**>(&factory)))) {
        CoUninitialize();
        return 3;
    }
    DWORD cookie = 0;
    const HRESULT hr =
        CoRegisterClassObject(CLSID_MorvaTavixExe, factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &cookie);
    if (SUCCEEDED(hr)) {
        g_classCookie = cookie;
        // COM started us for a client; one that never comes leaves us idle, and then we go.
        ArmExitTimer(kFirstClientMs);
        PrepareForFirstRequest();
        MSG msg;
        for (;;) {
            const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
            if (got <= 0) break;
            if (msg.hwnd == nullptr && msg.message == WM_NULL && msg.lParam == kGraceMs) {
                ArmExitTimer(kGraceMs);
                continue;
            }
            if (msg.hwnd == nullptr && msg.message == WM_TIMER && msg.wParam == g_exitTimer) {
                KillTimer(nullptr, g_exitTimer);
                g_exitTimer = 0;
                // An object alive: its release starts the wait again.
                if (WithdrawWhenEmpty()) break;
                // One came in while the class was being withdrawn: it is served, and the
                // server goes as soon as it is released.
                if (!g_classCookie) com::SetModuleEmptyCallback(QuitWhenServed);
                continue;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
        if (g_exitTimer) KillTimer(nullptr, g_exitTimer);
        g_exitTimer = 0;
        if (g_classCookie) CoRevokeClassObject(g_classCookie);
        g_classCookie = 0;
    }
    com::SetModuleEmptyCallback(nullptr);
    factory->Release();
    CoUninitialize();
    return SUCCEEDED(hr) ? 0 : 4;
}

int RunServer(const std::wstring& arguments) {
    vb::SetProjectName(L"Chusel");
    SetMessageRows(ChuselMessageRow, ChuselMessageRanges);
    const std::wstring path = vb::ModuleFileName(vb::ThisModule());
    switch (ActionFromCommandLine(arguments)) {
        case ServerAction::Serve: return Serve();
        case ServerAction::Unregister: return UnregisterServer(path);
        case ServerAction::Register: return RegisterServer(path);
    }
    return 0;
}

}  // namespace chusel
