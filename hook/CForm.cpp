#include "CForm.h"

#include <shlwapi.h>

#include <string>

#include "basErrorHandler.h"
#include "basHook.h"
#include "basHookNames.h"
#include "basWinAPI_Registry.h"

namespace zintra {

const wchar_t* const CFormProperties = L"GeneralInitialization\rProperties";

namespace {

std::wstring HookClassKey(const wchar_t* sub) { return std::wstring(L"CLSID\\") + HookClsidText + L"\\" + sub; }

// One registry step whose failure must not stop the next.
template <typename F>
void IgnoringErrors(F&& step) {
    try {
        step();
    } catch (...) {
    }
    vb::Err().Clear();
}

void DeleteValue(const wchar_t* key) {
    Registry(regDelete, key, L"", vb::Variant(HookClsidText), std::nullopt, std::nullopt, HKEY_LOCAL_MACHINE, true);
}

void DeleteClassSubkey(const wchar_t* sub) {
    Registry(regDelete, HookClassKey(sub), L"", std::nullopt, std::nullopt, std::nullopt, HKEY_CLASSES_ROOT, true);
}

}  // namespace

void GeneralInitialization() {
    ProcGuard guard;
    const std::wstring product = ZintraProductName();
    bool readFailed = false;
    try {
        vb::Err().Clear();
        Registry(regGet, HookClassKey(L"ProgID"), L"", vb::Variant(L""), std::nullopt, vb::Variant(L"x"),
                 HKEY_CLASSES_ROOT, true);
        readFailed = vb::Err().IsCurrent();
    } catch (...) {
        readFailed = true;
    }
    vb::Err().Clear();

    if (!readFailed) {
        IgnoringErrors([] { DeleteValue(ShellExecuteHooksKey); });
        IgnoringErrors([] { DeleteValue(ApprovedExtensionsKey); });
        IgnoringErrors([] { DeleteClassSubkey(L"ProgID"); });
        IgnoringErrors([] { DeleteClassSubkey(L"TypeLib"); });
        IgnoringErrors([] { DeleteClassSubkey(L"Programmable"); });
        IgnoringErrors([] { DeleteClassSubkey(L"Implemented Categories"); });
        IgnoringErrors([] {
            Registry(regSave, HookClassKey(L"InProcServer32"), L"", vb::Variant(L"ThreadingModel"),
                     vb::Variant(L"Apartment"), std::nullopt, HKEY_CLASSES_ROOT, true);
        });
        IgnoringErrors([&] {
            Registry(regSave, ApprovedExtensionsKey, L"", vb::Variant(HookClsidText), vb::Variant(product),
                     std::nullopt, HKEY_LOCAL_MACHINE, true);
        });
    }
    IgnoringErrors([&] {
        Registry(regSave, ShellExecuteHooksKey, L"", vb::Variant(HookClsidText), vb::Variant(product), std::nullopt,
                 HKEY_LOCAL_MACHINE, true);
    });
}

STDMETHODIMP CForm::QueryInterface(REFIID riid, void** ppv) {
    static const QITAB table[] = {
        QITABENTMULTI2(CForm, IID__CForm, _CForm),
        QITABENTMULTI2(CForm, IID_IDispatch, _CForm),
        {nullptr, 0},
    };
    return QISearch(this, table, riid, ppv);
}

STDMETHODIMP CForm::get_Properties(BSTR* value) {
    if (!value) return E_POINTER;
    *value = SysAllocString(CFormProperties);
    return *value ? S_OK : E_OUTOFMEMORY;
}

STDMETHODIMP CForm::GeneralInitialization() {
    try {
        zintra::GeneralInitialization();
    } catch (...) {
    }
    vb::Err().Clear();
    return S_OK;
}

HRESULT CreateCForm(REFIID riid, void** ppv) {
    try {
        return com::CreateAndQuery<CForm>(riid, ppv);
    } catch (...) {
        vb::Err().Clear();
        return E_UNEXPECTED;
    }
}

}  // namespace zintra
