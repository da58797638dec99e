#include "com/ComDispatch.h"

#include "com/ComModule.h"
#include "vb/VbApp.h"
#include "vb/VbError.h"

namespace com {

namespace {

class VariantList {
public:
    explicit VariantList(size_t n) : items_(n) {
        for (VARIANT& v : items_) VariantInit(&v);
    }
    ~VariantList() {
        for (VARIANT& v : items_) VariantClear(&v);
    }
    VariantList(const VariantList&) = delete;
    VariantList& operator=(const VariantList&) = delete;
    VARIANT* Data() { return items_.empty() ? nullptr : items_.data(); }
    VARIANT& operator[](size_t i) { return items_[i]; }

private:
    std::vector<VARIANT> items_;
};

std::wstring BstrText(BSTR b) { return b ? std::wstring(b, SysStringLen(b)) : std::wstring(); }

}  // namespace

HRESULT LoadModuleTypeInfo(REFIID iid, ITypeInfo** info) {
    if (!info) return E_POINTER;
    *info = nullptr;
    ComPtr<ITypeLib> lib;
    HRESULT hr = LoadTypeLibEx(vb::ModuleFileName(vb::ThisModule()).c_str(), REGKIND_NONE, lib.Put());
    if (FAILED(hr)) return hr;
    return lib->GetTypeInfoOfGuid(iid, info);
}

void ToVARIANT(const vb::Variant& value, VARIANT* out) {
    VariantInit(out);
    if (value.IsEmpty()) return;
    if (value.IsNull()) {
        out->vt = VT_NULL;
    } else if (value.IsInteger()) {
        out->vt = VT_I2;
        out->iVal = static_cast<SHORT>(value.ToLong());
    } else if (value.IsLong()) {
        out->vt = VT_I4;
        out->lVal = value.ToLong();
    } else if (value.IsDouble()) {
        out->vt = VT_R8;
        out->dblVal = value.ToDouble();
    } else if (value.IsBoolean()) {
        out->vt = VT_BOOL;
        out->boolVal = value.ToBool() ? VARIANT_TRUE : VARIANT_FALSE;
    } else if (value.IsString()) {
        const std::wstring text = value.ToString();
        out->bstrVal = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
        if (!out->bstrVal) vb::Raise(vb::ErrOutOfMemory);
        out->vt = VT_BSTR;
    } else {
        vb::Raise(vb::ErrTypeMismatch);
    }
}

vb::Variant FromVARIANT(const VARIANT& value) {
    switch (value.vt) {
        case VT_EMPTY: return vb::Variant();
        case VT_NULL: return vb::Variant(vb::Null);
        case VT_I2: return vb::Variant(static_cast<int16_t>(value.iVal));
        case VT_UI1: return vb::Variant(static_cast<int16_t>(value.bVal));
        case VT_I4: return vb::Variant(static_cast<long>(value.lVal));
        case VT_R8: return vb::Variant(value.dblVal);
        case VT_R4: return vb::Variant(static_cast<double>(value.fltVal));
        case VT_BOOL: return vb::Variant(value.boolVal != VARIANT_FALSE);
        case VT_BSTR: return vb::Variant(BstrText(value.bstrVal));
        default: break;
    }
    // Anything else that converts to text (dates, currency) comes back as its text.
    VARIANT text;
    VariantInit(&text);
    if (SUCCEEDED(VariantChangeType(&text, const_cast<VARIANT*>(&value), 0, VT_BSTR))) {
        vb::Variant result(BstrText(text.bstrVal));
        VariantClear(&text);
        return result;
    }
    vb::Raise(vb::ErrTypeMismatch);
}

HRESULT TryCallByName(IDispatch* object, const std::wstring& name, WORD flags, const std::vector<vb::Variant>& args,
                      vb::Variant* result) {
    if (!object) return E_POINTER;
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR member = const_cast<LPOLESTR>(name.c_str());
    HRESULT hr = object->GetIDsOfNames(IID_NULL, &member, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) return hr;

    VariantList params(args.size());
    try {
        // Arguments travel last first.
        for (size_t i = 0; i < args.size(); ++i) ToVARIANT(args[i], &params[args.size() - 1 - i]);
    } catch (...) {
        vb::Err().Clear();
        return DISP_E_TYPEMISMATCH;
    }
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS dp{params.Data(), nullptr, static_cast<UINT>(args.size()), 0};
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        dp.rgdispidNamedArgs = &putId;
        dp.cNamedArgs = 1;
    }
    VARIANT out;
    VariantInit(&out);
    EXCEPINFO excep{};
    hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &dp, &out, &excep, nullptr);
    SysFreeString(excep.bstrSource);
    SysFreeString(excep.bstrDescription);
    SysFreeString(excep.bstrHelpFile);
    if (SUCCEEDED(hr) && result) {
        try {
            *result = FromVARIANT(out);
        } catch (...) {
            vb::Err().Clear();
            hr = DISP_E_TYPEMISMATCH;
        }
    }
    VariantClear(&out);
    return hr;
}

vb::Variant CallByName(IDispatch* object, const std::wstring& name, WORD flags, const std::vector<vb::Variant>& args) {
    if (!object) vb::Raise(91);  // object variable not set
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR member = const_cast<LPOLESTR>(name.c_str());
    HRESULT hr = object->GetIDsOfNames(IID_NULL, &member, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) vb::Raise(vb::ErrMemberMissing);

    VariantList params(args.size());
    for (size_t i = 0; i < args.size(); ++i) ToVARIANT(args[i], &params[args.size() - 1 - i]);
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS dp{params.Data(), nullptr, static_cast<UINT>(args.size()), 0};
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        dp.rgdispidNamedArgs = &putId;
        dp.cNamedArgs = 1;
    }
    VARIANT out;
    VariantInit(&out);
    EXCEPINFO excep{};
    hr = object->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &dp, &out, &excep, nullptr);
    if (hr == DISP_E_EXCEPTION && excep.pfnDeferredFillIn) excep.pfnDeferredFillIn(&excep);
    const std::wstring source = BstrText(excep.bstrSource);
    const std::wstring description = BstrText(excep.bstrDescription);
    const long scode = excep.scode ? excep.scode : excep.wCode;
    SysFreeString(excep.bstrSource);
    SysFreeString(excep.bstrDescription);
    SysFreeString(excep.bstrHelpFile);
    if (FAILED(hr)) {
        VariantClear(&out);
        if (hr == DISP_E_MEMBERNOTFOUND) vb::Raise(vb::ErrMemberMissing);
        const long number = (hr == DISP_E_EXCEPTION && scode) ? scode : static_cast<long>(hr);
        if (description.empty()) vb::Raise(number);
        vb::Raise(number, source.empty() ? std::nullopt : std::optional<std::wstring>(source), description);
    }
    vb::Variant result;
    try {
        result = FromVARIANT(out);
    } catch (...) {
        VariantClear(&out);
        throw;
    }
    VariantClear(&out);
    return result;
}

}  // namespace com
