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

// The last object is gone: no new client may reach this server any more (COM starts a new
// one for it), and the message loop ends once nothing is left to serve.
void QuitWhenEmpty() {
    if (g_classCookie) {
        const DWORD cookie = g_classCookie;
        g_classCookie = 0;
        CoRevokeClassObject(cookie);
    }
    if (g_serverThread) PostThreadMessageW(g_serverThread, WM_QUIT, 0, 0);
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
    com::SetModuleEmptyCallback(QuitWhenEmpty);
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
        SetTimer(nullptr, 0, 60000, nullptr);
        PrepareForFirstRequest();
        MSG msg;
        for (;;) {
            const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
            if (got < 0) break;
            // A quit that raced with a new client's object waits for that object.
            if (got == 0) {
                if (com::ModuleLockCount() == 0) break;
                continue;
            }
            if (msg.message == WM_TIMER && msg.hwnd == nullptr) {
                if (com::ModuleLockCount() == 0) break;
                continue;
            }
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
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
