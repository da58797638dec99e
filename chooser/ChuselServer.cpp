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

// COM's count of the server's reasons to stay (CoAddRefServerProcess): one while it waits for
// a client, one while objects live. When the count falls to zero, COM itself stops handing the
// class object out and sends a client that comes in that moment to a new server, so no request
// is matched to a server that is already on its way out.
bool g_waitHeld = false;
bool g_objectsHeld = false;

// Everything here runs on the server's one thread: activations, calls and releases reach it
// through its message loop.
void WaitForClient(UINT ms) {
    if (!g_waitHeld) {
        CoAddRefServerProcess();
        g_waitHeld = true;
    }
    if (g_exitTimer) KillTimer(nullptr, g_exitTimer);
    g_exitTimer = SetTimer(nullptr, 0, ms, nullptr);
}

HRESULT CreateServedObject(REFIID riid, void** ppv) {
    const HRESULT hr = CreateMorvaTavixExe(riid, ppv);
    if (SUCCEEDED(hr) && !g_objectsHeld) {
        CoAddRefServerProcess();
        g_objectsHeld = true;
    }
    return hr;
}

// The last object is gone: the server waits a while for the next client, then ends. The wait
// holds the server before the objects let go of it, so its count never touches zero between.
void StayForGrace() {
    WaitForClient(kGraceMs);
    if (g_objectsHeld) {
        g_objectsHeld = false;
        CoReleaseServerProcess();
    }
}

// The wait is over: answers whether the server is to end, which it is unless an object that
// came in meanwhile still holds it (its release starts the wait again).
bool WaitIsOver() {
    if (g_exitTimer) KillTimer(nullptr, g_exitTimer);
    g_exitTimer = 0;
    if (!g_waitHeld) return com::ModuleLockCount() == 0;
    g_waitHeld = false;
    return CoReleaseServerProcess() == 0;
}

// With the class object withdrawn, the last release ends the server at once.
void QuitWhenServed() { PostQuitMessage(0); }

// Withdraws the class object, so that COM starts a new server for the next client, and serves
// what was already on its way. Answers whether the server may end now; otherwise it ends with
// the release of what came in.
bool Withdraw() {
    com::SetModuleEmptyCallback(QuitWhenServed);
    if (g_classCookie) {
        const DWORD cookie = g_classCookie;
        g_classCookie = 0;
        CoRevokeClassObject(cookie);
    }
    bool quit = false;
    int quitCode = 0;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (msg.message == WM_QUIT) {
            quit = true;
            quitCode = static_cast<int>(msg.wParam);
            continue;
        }
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    // A quit met here is still meant for the server's loop.
    if (quit) PostQuitMessage(quitCode);
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
    if (FAILED(CoInitialize(nullptr))) return 2;
    InstallRequestSilencePresenter();
    com::SetModuleEmptyCallback(StayForGrace);
    IClassFactory* factory = nullptr;
    if (FAILED(com::CreateClassFactory(CreateServedObject, IID_IClassFactory, reinterpret_cast<void**>(&factory)))) {
        CoUninitialize();
        return 3;
    }
    DWORD cookie = 0;
    const HRESULT hr =
        CoRegisterClassObject(CLSID_MorvaTavixExe, factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &cookie);
    if (SUCCEEDED(hr)) {
        g_classCookie = cookie;
        // COM started us for a client; one that never comes leaves us idle, and then we go.
        WaitForClient(kFirstClientMs);
        PrepareForFirstRequest();
        MSG msg;
        for (;;) {
            const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
            if (got <= 0) break;
            if (msg.hwnd == nullptr && msg.message == WM_TIMER && g_exitTimer && msg.wParam == g_exitTimer) {
                if (!WaitIsOver()) continue;
                if (Withdraw()) break;
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
