// Products of the tests' own: four CForm classes ("MorvaFakeA.CForm" to "MorvaFakeD.CForm")
// that answer every member of the plug-in face by name, as the test set them up through
// FakeProductSet, and note each call. ShowForm answers a window object of the same kind,
// whose members are set up under the prefix followed by ".Window".
#include <windows.h>
#include <ole2.h>
#include <olectl.h>

#include <map>
#include <string>
#include <vector>

#include "com/ComModule.h"
#include "com/ComRegistration.h"
#include "vb/VbApp.h"
#include "win/Window.h"

namespace {

const CLSID kClasses[] = {
    {0x84B590EF, 0x5C0F, 0x431C, {0xA9, 0x94, 0xC7, 0xDB, 0x8A, 0x5E, 0xF2, 0x89}},
    {0x12CA717F, 0x8E7A, 0x43D2, {0xB6, 0x50, 0x04, 0xD7, 0x48, 0xEB, 0x3B, 0x27}},
    {0x7737ACBF, 0x5EB6, 0x45E9, {0xBB, 0x53, 0xCD, 0x71, 0xB5, 0x78, 0xA2, 0xD5}},
    {0xADB47521, 0x35E2, 0x4EDB, {0x94, 0x77, 0x68, 0xBD, 0x20, 0xEE, 0x2D, 0x72}},
};
const wchar_t* const kPrefixes[] = {L"MorvaFakeA", L"MorvaFakeB", L"MorvaFakeC", L"MorvaFakeD"};
const wchar_t* const kProgIds[] = {L"MorvaFakeA.CForm", L"MorvaFakeB.CForm", L"MorvaFakeC.CForm", L"MorvaFakeD.CForm"};

const wchar_t* const kMembers[] = {
    L"Properties", L"GeneralInitialization", L"ProductName", L"UtilitySuiteOrdinal", L"Version",
    L"ToolbarButtonUp", L"ToolbarButtonDown", L"ToolbarButtonUpOver", L"ToolbarButtonToolTip", L"MdiMenu",
    L"SysTrayMenu", L"HelpMenu", L"AboutMenu", L"ShowForm", L"TimerEvent", L"MdiFrmWindowState",
    L"Interruptible", L"Name", L"Visible",
};
constexpr DISPID kShowForm = 13;  // its place in kMembers

struct State {
    std::map<std::wstring, VARIANT> answers;  // "prefix|member"
    std::vector<std::wstring> calls;          // "prefix|member" (put: "prefix|member=value")
    std::map<std::wstring, long> live;
};

State& Fake() {
    static State state;
    return state;
}

std::wstring Key(const std::wstring& owner, const wchar_t* member) { return owner + L"|" + member; }

IDispatch* NewPicture() {
    PICTDESC desc{};
    desc.cbSizeofstruct = sizeof(desc);
    desc.picType = PICTYPE_BITMAP;
    desc.bmp.hbitmap = CreateBitmap(16, 16, 1, 32, nullptr);
    IDispatch* picture = nullptr;
    OleCreatePictureIndirect(&desc, IID_IPictureDisp, TRUE, reinterpret_cast<void**>(&picture));
    return picture;
}

class FakeObject : public IDispatch, public com::RefCounted {
public:
    explicit FakeObject(std::wstring owner) : owner_(std::move(owner)) { ++Fake().live[owner_]; }
    ~FakeObject() override { --Fake().live[owner_]; }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IDispatch)) {
            *ppv = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return AddRefImpl(); }
    STDMETHODIMP_(ULONG) Release() override { return ReleaseImpl(); }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        if (count) *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (count != 1) return E_INVALIDARG;
        for (DISPID i = 0; i < static_cast<DISPID>(sizeof(kMembers) / sizeof(kMembers[0])); ++i) {
            if (lstrcmpiW(names[0], kMembers[i]) == 0) {
                // A member the test took away (set to VT_ERROR DISP_E_UNKNOWNNAME) is not there.
                auto found = Fake().answers.find(Key(owner_, kMembers[i]));
                if (found != Fake().answers.end() && found->second.vt == VT_ERROR &&
                    found->second.scode == DISP_E_UNKNOWNNAME)
                    break;
                ids[0] = i;
                return S_OK;
            }
        }
        ids[0] = DISPID_UNKNOWN;
        return DISP_E_UNKNOWNNAME;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID lcid, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* excep, UINT*) override {
        if (id < 0 || id >= static_cast<DISPID>(sizeof(kMembers) / sizeof(kMembers[0]))) return DISP_E_MEMBERNOTFOUND;
        const wchar_t* member = kMembers[id];
        std::wstring note = Key(owner_, member);
        if ((flags & DISPATCH_PROPERTYPUT) && params && params->cArgs == 1) {
            VARIANT text;
            VariantInit(&text);
            if (SUCCEEDED(VariantChangeType(&text, &params->rgvarg[0], 0, VT_BSTR))) note += L"=" + std::wstring(text.bstrVal);
            VariantClear(&text);
        }
        if (lcid == 1033) note += L"@1033";
        Fake().calls.push_back(note);

        auto found = Fake().answers.find(Key(owner_, member));
        if (found != Fake().answers.end() && found->second.vt == VT_ERROR) {
            if (excep) {
                *excep = EXCEPINFO{};
                excep->scode = found->second.scode;
                excep->bstrSource = SysAllocString(owner_.c_str());
                excep->bstrDescription = SysAllocString(L"The fake product was told to fail here.");
            }
            return DISP_E_EXCEPTION;
        }
        if (!result) return S_OK;
        VariantInit(result);
        if (id == kShowForm) {
            result->vt = VT_DISPATCH;
            result->pdispVal = new FakeObject(owner_ + L".Window");
            return S_OK;
        }
        if (found == Fake().answers.end()) return S_OK;
        if (found->second.vt == VT_BSTR && lstrcmpW(found->second.bstrVal, L"<picture>") == 0) {
            result->vt = VT_DISPATCH;
            result->pdispVal = NewPicture();
            return S_OK;
        }
        return VariantCopy(result, &found->second);
    }

private:
    std::wstring owner_;
};

template <size_t N>
HRESULT CreateFake(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    FakeObject* object = new (std::nothrow) FakeObject(kPrefixes[N]);
    if (!object) return E_OUTOFMEMORY;
    HRESULT hr = object->QueryInterface(riid, ppv);
    object->Release();
    return hr;
}

const com::CreateInstanceFn kCreators[] = {CreateFake<0>, CreateFake<1>, CreateFake<2>, CreateFake<3>};

}  // namespace

extern "C" HRESULT __stdcall DllCanUnloadNow() { return S_FALSE; }  // the tests' set-up lives here

extern "C" HRESULT __stdcall DllGetClassObject(REFCLSID clsid, REFIID riid, void** ppv) {
    for (size_t i = 0; i < 4; ++i)
        if (IsEqualCLSID(clsid, kClasses[i])) return com::CreateClassFactory(kCreators[i], riid, ppv);
    return CLASS_E_CLASSNOTAVAILABLE;
}

extern "C" HRESULT __stdcall DllRegisterServer() {
    const std::wstring path = vb::ModuleFileName(vb::ThisModule());
    for (size_t i = 0; i < 4; ++i) {
        com::ClassRegistration reg{&kClasses[i], kProgIds[i], kProgIds[i], L"Apartment", nullptr, nullptr, false};
        HRESULT hr = com::RegisterComClass(reg, path);
        if (FAILED(hr)) return hr;
    }
    return S_OK;
}

extern "C" HRESULT __stdcall DllUnregisterServer() {
    for (size_t i = 0; i < 4; ++i) {
        com::ClassRegistration reg{&kClasses[i], kProgIds[i], kProgIds[i], L"Apartment", nullptr, nullptr, false};
        com::UnregisterComClass(reg);
    }
    return S_OK;
}

// ---- the tests' side ----

extern "C" void __stdcall FakeProductReset() {
    for (auto& answer : Fake().answers) VariantClear(&answer.second);
    Fake().answers.clear();
    Fake().calls.clear();
}

extern "C" void __stdcall FakeProductSet(const wchar_t* owner, const wchar_t* member, const VARIANT* value) {
    VARIANT& slot = Fake().answers[Key(owner, member)];
    VariantClear(&slot);
    VariantInit(&slot);
    VariantCopy(&slot, const_cast<VARIANT*>(value));
}

// The calls so far, one "owner|member" a line.
extern "C" BSTR __stdcall FakeProductCalls() {
    std::wstring text;
    for (const std::wstring& call : Fake().calls) text += call + L"\n";
    return SysAllocString(text.c_str());
}

extern "C" long __stdcall FakeProductLive(const wchar_t* owner) { return Fake().live[owner]; }

namespace {
// A product's own modal window, run by this module's copy of the window layer (whose count of
// modal loops the host cannot see).
class FakeDialog : public win::Window {
public:
    explicit FakeDialog(HWND owner) : win::Window(L"frmFakeDialog") {
        Create(L"Fake product dialog", 200, 80, WS_POPUP | WS_CAPTION | WS_SYSMENU, 0, owner);
    }
};
}  // namespace

// Shows a modal window owned by owner and returns once it has been closed (WM_CLOSE).
extern "C" void __stdcall FakeProductShowModal(HWND owner) {
    try {
        FakeDialog dialog(owner);
        dialog.ShowModal();
    } catch (...) {
    }
}
