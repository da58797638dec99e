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

namespace {

// One late-bound call: the member's lookup, the arguments and the answer.
struct Invocation {
    HRESULT lookup = S_OK;
    HRESULT hr = S_OK;
    VARIANT out;
    std::wstring source;
    std::wstring description;
    long scode = 0;

    Invocation() { VariantInit(&out); }
    ~Invocation() { VariantClear(&out); }
    Invocation(const Invocation&) = delete;
    Invocation& operator=(const Invocation&) = delete;
};

// Arguments that do not convert raise a type mismatch.
void InvokeMember(IDispatch* object, const std::wstring& name, WORD flags, const std::vector<vb::Variant>& args,
                  Invocation& call, LCID lcid = LOCALE_USER_DEFAULT) {
    DISPID id = DISPID_UNKNOWN;
    LPOLESTR member = const_cast<LPOLESTR>(name.c_str());
    call.lookup = object->GetIDsOfNames(IID_NULL, &member, 1, lcid, &id);
    if (FAILED(call.lookup)) return;

    VariantList params(args.size());
    // Arguments travel last first.
    for (size_t i = 0; i < args.size(); ++i) ToVARIANT(args[i], &params[args.size() - 1 - i]);
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS dp{params.Data(), nullptr, static_cast<UINT>(args.size()), 0};
    if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
        dp.rgdispidNamedArgs = &putId;
        dp.cNamedArgs = 1;
    }
    EXCEPINFO excep{};
    call.hr = object->Invoke(id, IID_NULL, lcid, flags, &dp, &call.out, &excep, nullptr);
    if (call.hr == DISP_E_EXCEPTION && excep.pfnDeferredFillIn) excep.pfnDeferredFillIn(&excep);
    call.source = BstrText(excep.bstrSource);
    call.description = BstrText(excep.bstrDescription);
    call.scode = excep.scode ? excep.scode : excep.wCode;
    SysFreeString(excep.bstrSource);
    SysFreeString(excep.bstrDescription);
    SysFreeString(excep.bstrHelpFile);
}

}  // namespace

HRESULT TryCallByName(IDispatch* object, const std::wstring& name, WORD flags, const std::vector<vb::Variant>& args,
                      vb::Variant* result) {
    if (!object) return E_POINTER;
    Invocation call;
    try {
        InvokeMember(object, name, flags, args, call);
        if (FAILED(call.lookup)) return call.lookup;
        if (SUCCEEDED(call.hr) && result) *result = FromVARIANT(call.out);
    } catch (...) {
        vb::Err().Clear();
        return DISP_E_TYPEMISMATCH;
    }
    return call.hr;
}

namespace {

// Raises what a failed call reported; nothing when it succeeded.
void RaiseIfFailed(const Invocation& call) {
    if (FAILED(call.lookup) || call.hr == DISP_E_MEMBERNOTFOUND) vb::Raise(vb::ErrMemberMissing);
    if (FAILED(call.hr)) {
        const long number = (call.hr == DISP_E_EXCEPTION && call.scode) ? call.scode : static_cast<long>(call.hr);
        if (call.description.empty()) vb::Raise(number);
        vb::Raise(number, call.source.empty() ? std::nullopt : std::optional<std::wstring>(call.source),
                  call.description);
    }
}

}  // namespace

vb::Variant CallByName(IDispatch* object, const std::wstring& name, WORD flags, const std::vector<vb::Variant>& args) {
    if (!object) vb::Raise(91);  // object variable not set
    Invocation call;
    InvokeMember(object, name, flags, args, call);
    RaiseIfFailed(call);
    return FromVARIANT(call.out);
}

void CallByNameRaw(IDispatch* object, const std::wstring& name, WORD flags, const std::vector<vb::Variant>& args,
                   VARIANT* out, LCID lcid) {
    if (!object) vb::Raise(91);
    Invocation call;
    InvokeMember(object, name, flags, args, call, lcid);
    RaiseIfFailed(call);
    if (out) {
        VariantClear(out);
        *out = call.out;  // the answer moves to the caller
        VariantInit(&call.out);
    }
}

}  // namespace com
