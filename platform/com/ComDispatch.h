// IDispatch of dual interfaces through the type library embedded in our own module, and the
// late-bound call by member name.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <vector>

#include "vb/VbVariant.h"

namespace com {

// The type information of interface iid from the type library in our own module
// (resource 1 TYPELIB of the module that holds this code).
HRESULT LoadModuleTypeInfo(REFIID iid, ITypeInfo** info);

// Implements the four IDispatch methods of a dual interface Dual for a class that derives
// from it; the type information is loaded once per object.
template <class Dual>
class DualDispatch : public Dual {
public:
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 1;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT index, LCID, ITypeInfo** info) override {
        if (!info) return E_POINTER;
        *info = nullptr;
        if (index != 0) return DISP_E_BADINDEX;
        HRESULT hr = EnsureTypeInfo();
        if (FAILED(hr)) return hr;
        typeInfo_->AddRef();
        *info = typeInfo_;
        return S_OK;
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        HRESULT hr = EnsureTypeInfo();
        if (FAILED(hr)) return hr;
        return DispGetIDsOfNames(typeInfo_, names, count, ids);
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result,
                        EXCEPINFO* excep, UINT* argErr) override {
        HRESULT hr = EnsureTypeInfo();
        if (FAILED(hr)) return hr;
        return DispInvoke(static_cast<Dual*>(this), typeInfo_, id, flags, params, result, excep, argErr);
    }

protected:
    DualDispatch() = default;
    virtual ~DualDispatch() {
        if (typeInfo_) typeInfo_->Release();
    }

private:
    HRESULT EnsureTypeInfo() {
        if (typeInfo_) return S_OK;
        return LoadModuleTypeInfo(__uuidof(Dual), &typeInfo_);
    }
    ITypeInfo* typeInfo_ = nullptr;
};

// Conversions between our Variant and the COM VARIANT for the simple types (Empty, Null,
// whole numbers, Double, Boolean, String); anything else raises a type mismatch.
void ToVARIANT(const vb::Variant& value, VARIANT* out);
vb::Variant FromVARIANT(const VARIANT& value);

// Calls a member by name: flags DISPATCH_METHOD, DISPATCH_PROPERTYGET or DISPATCH_PROPERTYPUT.
// A member that the object does not have raises error 438; a failed call raises its
// HRESULT with the object's exception text when it gives one.
vb::Variant CallByName(IDispatch* object, const std::wstring& name, WORD flags,
                       const std::vector<vb::Variant>& args = {});

// The same, with the answer as the raw VARIANT (objects included), which the caller clears,
// and the locale of the call given.
void CallByNameRaw(IDispatch* object, const std::wstring& name, WORD flags, const std::vector<vb::Variant>& args,
                   VARIANT* out, LCID lcid = LOCALE_USER_DEFAULT);

// The same without raising: answers the HRESULT (DISP_E_UNKNOWNNAME for a missing member).
HRESULT TryCallByName(IDispatch* object, const std::wstring& name, WORD flags, const std::vector<vb::Variant>& args,
                      vb::Variant* result);

}  // namespace com
