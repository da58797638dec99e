// A stand-in for the chooser's local server: serves the chooser's class with -Embedding,
// keeps the request text it receives and answers what the test wrote beside it.
//   FakeChooserAnswer.txt   a whole number to answer, or "fail" for a failed call
//   FakeChooserRequest.txt  the latest request text (UTF-16)
//   FakeChooserCalls.txt    one character per call
//   FakeChooserEnding.txt   read (and deleted) by the next server that starts: that server plays
//                           one that is ending just as its first client comes -
//                             "stopping"    its class answers CO_E_SERVER_STOPPING, and it ends
//                             "gone"        it ends while the client's creation is under way
//                             "disconnect"  it hands out the object, then cuts it off from its
//                                           clients and withdraws its class before the call
//                             "during"      it takes the call (and counts it), then ends before
//                                           it answers
#include <windows.h>

#include <cstdio>
#include <string>

#include "MorvaKestrow.h"
#include "com/ComDispatch.h"
#include "com/ComModule.h"
#include "com/ComRegistration.h"
#include "vb/VbApp.h"

namespace {

DWORD g_mainThread = 0;
bool g_endInCall = false;  // the server ends in the middle of its next call

std::wstring Beside(const wchar_t* name) { return vb::AppPath() + L"\\" + name; }

std::string ReadAnswer() {
    std::string text;
    FILE* f = _wfopen(Beside(L"FakeChooserAnswer.txt").c_str(), L"rb");
    if (!f) return "1";
    char buffer[64] = {};
    size_t n = fread(buffer, 1, sizeof(buffer) - 1, f);
    fclose(f);
    return std::string(buffer, n);
}

void WriteFile(const wchar_t* name, const void* data, size_t size, const wchar_t* mode) {
    FILE* f = _wfopen(Beside(name).c_str(), mode);
    if (!f) return;
    fwrite(data, 1, size, f);
    fclose(f);
}

class FakeChooser : public com::DualDispatch<_MorvaTavixExe>, public com::RefCounted {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch) ||
            IsEqualIID(riid, IID__MorvaTavixExe)) {
            *ppv = static_cast<_MorvaTavixExe*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return AddRefImpl(); }
    STDMETHODIMP_(ULONG) Release() override { return ReleaseImpl(); }

    STDMETHODIMP Rundel(BSTR text, LONG* result) override {
        WriteFile(L"FakeChooserRequest.txt", text, SysStringByteLen(text), L"wb");
        WriteFile(L"FakeChooserCalls.txt", "x", 1, L"ab");
        if (g_endInCall) ExitProcess(0);
        const std::string answer = ReadAnswer();
        if (answer.rfind("fail", 0) == 0) return E_FAIL;
        if (result) *result = std::atol(answer.c_str());
        return S_OK;
    }
};

const com::ClassRegistration kClass = {&CLSID_MorvaTavixExe, L"MorvaKestrow.MorvaTavixExe",
                                       L"MorvaKestrow.MorvaTavixExe", nullptr, &LIBID_MorvaKestrow, L"1.0", true};

DWORD g_cookie = 0;

enum class Ending { None, Stopping, Gone, Disconnect, During };
Ending g_ending = Ending::None;
const UINT kCutOff = WM_APP + 1;
IUnknown* g_cutOff = nullptr;

Ending ReadEnding() {
    const std::wstring path = Beside(L"FakeChooserEnding.txt");
    FILE* f = _wfopen(path.c_str(), L"rb");
    if (!f) return Ending::None;
    char buffer[32] = {};
    const size_t n = fread(buffer, 1, sizeof(buffer) - 1, f);
    fclose(f);
    DeleteFileW(path.c_str());
    const std::string mode(buffer, n);
    if (mode.rfind("stopping", 0) == 0) return Ending::Stopping;
    if (mode.rfind("gone", 0) == 0) return Ending::Gone;
    if (mode.rfind("disconnect", 0) == 0) return Ending::Disconnect;
    if (mode.rfind("during", 0) == 0) return Ending::During;
    return Ending::None;
}

void Withdraw() {
    if (g_cookie) CoRevokeClassObject(g_cookie);
    g_cookie = 0;
}

HRESULT CreateFake(REFIID riid, void** ppv) {
    const Ending ending = g_ending;
    g_ending = Ending::None;
    if (ending == Ending::Stopping) {
        // As COM answers for a server whose last reference went: the class is no longer served.
        // It ends a moment later, once its answer is out.
        Withdraw();
        com::SetModuleEmptyCallback(nullptr);
        SetTimer(nullptr, 0, 2000, nullptr);
        return CO_E_SERVER_STOPPING;
    }
    if (ending == Ending::Gone) {
        Withdraw();
        ExitProcess(0);
    }
    if (ending == Ending::During) {
        Withdraw();
        g_endInCall = true;
    }
    const HRESULT hr = com::CreateAndQuery<FakeChooser>(riid, ppv);
    if (SUCCEEDED(hr) && ending == Ending::Disconnect) {
        // Runs before the client's next call can arrive: the reply to this one goes first.
        g_cutOff = static_cast<IUnknown*>(*ppv);
        g_cutOff->AddRef();
        PostThreadMessageW(g_mainThread, kCutOff, 0, 0);
    }
    return hr;
}

// The class object goes the moment the last object does, so a client that asks again at
// once starts a new server instead of reaching this one while it shuts down.
void QuitWhenEmpty() {
    Withdraw();
    PostThreadMessageW(g_mainThread, WM_QUIT, 0, 0);
}

int Serve() {
    g_mainThread = GetCurrentThreadId();
    if (FAILED(CoInitialize(nullptr))) return 2;
    com::SetModuleEmptyCallback(QuitWhenEmpty);
    IClassFactory* factory = nullptr;
    g_ending = ReadEnding();
    if (FAILED(com::CreateClassFactory(CreateFake, IID_IClassFactory,
                                       reinterpret_cast<void**>(&factory)))) {
        CoUninitialize();
        return 3;
    }
    HRESULT hr = CoRegisterClassObject(CLSID_MorvaTavixExe, factory, CLSCTX_LOCAL_SERVER, REGCLS_MULTIPLEUSE, &g_cookie);
    if (SUCCEEDED(hr)) {
        // Never linger: a client that never comes leaves after a while.
        SetTimer(nullptr, 0, 60000, nullptr);
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            if (msg.message == WM_TIMER && com::ModuleLockCount() == 0) break;
            if (msg.message == kCutOff && g_cutOff) {
                // The process stays a moment, so the client's call finds the object cut off
                // rather than the server gone.
                Withdraw();
                com::SetModuleEmptyCallback(nullptr);
                CoDisconnectObject(g_cutOff, 0);
                g_cutOff->Release();
                g_cutOff = nullptr;
                SetTimer(nullptr, 0, 5000, nullptr);
                continue;
            }
            DispatchMessageW(&msg);
        }
        if (g_cookie) CoRevokeClassObject(g_cookie);
        g_cookie = 0;
    }
    factory->Release();
    CoUninitialize();
    return SUCCEEDED(hr) ? 0 : 4;
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
    const std::wstring args = commandLine ? commandLine : L"";
    const std::wstring path = vb::ModuleFileName(vb::ThisModule());
    if (args.find(L"RegServer") != std::wstring::npos && args.find(L"Unreg") == std::wstring::npos) {
        HRESULT hr = com::RegisterModuleTypeLib(path);
        if (SUCCEEDED(hr)) hr = com::RegisterComClass(kClass, path);
        return SUCCEEDED(hr) ? 0 : 1;
    }
    if (args.find(L"UnregServer") != std::wstring::npos) {
        com::UnregisterComClass(kClass);
        com::UnregisterModuleTypeLib(path);
        return 0;
    }
    if (args.find(L"Embedding") != std::wstring::npos) return Serve();
    return 0;
}
