#include "FrameAutomation.h"

#include <cwchar>
#include <memory>
#include <vector>

#include "HostContract.h"
#include "com/ComDispatch.h"
#include "com/ComModule.h"
#include "vb/VbText.h"

namespace {

// IDispatch by a fixed table of member names; no type library.
class NamedDispatch : public IDispatch, private com::RefCounted {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (riid == IID_IUnknown || riid == IID_IDispatch) {
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
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo** info) override {
        if (info) *info = nullptr;
        return DISP_E_BADINDEX;
    }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (!names || !ids) return E_POINTER;
        HRESULT hr = S_OK;
        for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
        if (count == 0) return S_OK;
        ids[0] = IdOf(names[0]);
        if (ids[0] == DISPID_UNKNOWN) hr = DISP_E_UNKNOWNNAME;
        if (count > 1) hr = DISP_E_UNKNOWNNAME;  // no named arguments
        return hr;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                        UINT*) override {
        try {
            std::vector<VARIANT*> args;
            if (params)
                for (UINT i = params->cArgs; i > 0; --i) args.push_back(&params->rgvarg[i - 1]);  // in call order
            if (result) VariantInit(result);
            return Call(id, flags, args, result);
        } catch (...) {
            return DISP_E_EXCEPTION;
        }
    }

    struct Member {
        const wchar_t* name;
        DISPID id;
    };

protected:
    NamedDispatch(const Member* members, size_t count) : members_(members), count_(count) {}
    virtual HRESULT Call(DISPID id, WORD flags, const std::vector<VARIANT*>& args, VARIANT* result) = 0;

    static HRESULT ToLong(VARIANT* arg, long& out) {
        VARIANT v;
        VariantInit(&v);
        HRESULT hr = VariantChangeType(&v, arg, 0, VT_I4);
        if (FAILED(hr)) return DISP_E_TYPEMISMATCH;
        out = v.lVal;
        return S_OK;
    }
    static HRESULT ToHandle(VARIANT* arg, HWND& out) {
        VARIANT v;
        VariantInit(&v);
        HRESULT hr = VariantChangeType(&v, arg, 0, sizeof(void*) == 8 ? VT_I8 : VT_I4);
        if (FAILED(hr)) return DISP_E_TYPEMISMATCH;
        out = reinterpret_cast<HWND>(sizeof(void*) == 8 ? static_cast<INT_PTR>(v.llVal) : static_cast<INT_PTR>(v.lVal));
        return S_OK;
    }
    static void PutHandle(VARIANT* result, HWND window) {
        if (!result) return;
        if (sizeof(void*) == 8) {
            result->vt = VT_I8;
            result->llVal = static_cast<LONGLONG>(reinterpret_cast<INT_PTR>(window));
        } else {
            result->vt = VT_I4;
            result->lVal = static_cast<LONG>(reinterpret_cast<INT_PTR>(window));
        }
    }

private:
    DISPID IdOf(const wchar_t* name) const {
        for (size_t i = 0; i < count_; ++i)
            if (vb::TextEquals(members_[i].name, name)) return members_[i].id;
        return DISPID_UNKNOWN;
    }
    const Member* members_;
    size_t count_;
};

enum : DISPID { idPanelText = 1 };
const NamedDispatch::Member kStatusMembers[] = {{contract::StatusPanelText, idPanelText}};

class StatusBarAutomation : public NamedDispatch {
public:
    explicit StatusBarAutomation(std::shared_ptr<FrameSurface*> frame)
        : NamedDispatch(kStatusMembers, 1), frame_(std::move(frame)) {}

protected:
    HRESULT Call(DISPID id, WORD flags, const std::vector<VARIANT*>& args, VARIANT* result) override {
        if (!*frame_) return E_UNEXPECTED;
        if (id != idPanelText) return DISP_E_MEMBERNOTFOUND;
        if (args.empty()) return DISP_E_BADPARAMCOUNT;
        long panel = 0;
        if (FAILED(ToLong(args[0], panel))) return DISP_E_TYPEMISMATCH;
        // Panels 1 to 4 are the products'; the frame keeps a fifth for its own notice that an
        // Exit waits, which nothing a product shows may take away.
        if (panel < 1 || panel > 4) return DISP_E_BADINDEX;
        if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
            if (args.size() < 2) return DISP_E_BADPARAMCOUNT;
            VARIANT text;
            VariantInit(&text);
            if (FAILED(VariantChangeType(&text, args.back(), 0, VT_BSTR))) return DISP_E_TYPEMISMATCH;
            (*frame_)->SetPanelText(static_cast<int>(panel), text.bstrVal ? text.bstrVal : L"");
            VariantClear(&text);
            return S_OK;
        }
        if (result) {
            result->vt = VT_BSTR;
            result->bstrVal = SysAllocString((*frame_)->PanelText(static_cast<int>(panel)).c_str());
        }
        return S_OK;
    }

private:
    // Shared with the frame's surface, which empties it when the frame unloads.
    std::shared_ptr<FrameSurface*> frame_;
};

enum : DISPID {
    idShowMDIForm = 1,
    idStatusBar,
    idWindowState,
    idHwnd,
    idMdiClient,
    idAddMdiChild,
    idRemoveMdiChild,
};
const NamedDispatch::Member kFrameMembers[] = {
    {contract::FrameShowMDIForm, idShowMDIForm}, {contract::FrameStatusBar, idStatusBar},
    {contract::FrameWindowState, idWindowState}, {contract::FrameHwnd, idHwnd},
    {contract::FrameMdiClient, idMdiClient},     {contract::FrameAddMdiChild, idAddMdiChild},
    {contract::FrameRemoveMdiChild, idRemoveMdiChild},
};

class FrameAutomation : public NamedDispatch {
public:
    explicit FrameAutomation(FrameSurface* frame)
        : NamedDispatch(kFrameMembers, sizeof(kFrameMembers) / sizeof(kFrameMembers[0])),
          link_(std::make_shared<FrameSurface*>(frame)) {}
    void Detach() { *link_ = nullptr; }

protected:
    HRESULT Call(DISPID id, WORD, const std::vector<VARIANT*>& args, VARIANT* result) override {
        FrameSurface* frame = *link_;
        if (!frame) return E_UNEXPECTED;
        switch (id) {
            case idShowMDIForm:
                frame->ShowMDIForm();
                return S_OK;
            case idStatusBar:
                if (result) {
                    auto* status = new (std::nothrow) StatusBarAutomation(link_);
                    if (!status) return E_OUTOFMEMORY;
                    result->vt = VT_DISPATCH;
                    result->pdispVal = status;
                }
                return S_OK;
            case idWindowState:
                if (result) {
                    result->vt = VT_I2;
                    result->iVal = static_cast<SHORT>(frame->WindowState());
                }
                return S_OK;
            case idHwnd:
                PutHandle(result, frame->Handle());
                return S_OK;
            case idMdiClient:
                PutHandle(result, frame->MdiClient());
                return S_OK;
            case idAddMdiChild: {
                if (args.size() != 2) return DISP_E_BADPARAMCOUNT;
                HWND window = nullptr;
                if (FAILED(ToHandle(args[0], window))) return DISP_E_TYPEMISMATCH;
                VARIANT* object = args[1];
                if (object->vt == (VT_BYREF | VT_VARIANT)) object = object->pvarVal;
                if (object->vt != VT_DISPATCH && object->vt != VT_UNKNOWN) return DISP_E_TYPEMISMATCH;
                IDispatch* form = nullptr;
                if (object->vt == VT_DISPATCH) {
                    form = object->pdispVal;
                    if (form) form->AddRef();
                } else if (object->punkVal) {
                    object->punkVal->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&form));
                }
                if (!form) return DISP_E_TYPEMISMATCH;
                frame->AddMdiChild(window, form);
                form->Release();
                return S_OK;
            }
            case idRemoveMdiChild: {
                if (args.size() != 1) return DISP_E_BADPARAMCOUNT;
                HWND window = nullptr;
                if (FAILED(ToHandle(args[0], window))) return DISP_E_TYPEMISMATCH;
                frame->RemoveMdiChild(window);
                return S_OK;
            }
            default:
                return DISP_E_MEMBERNOTFOUND;
        }
    }

private:
    std::shared_ptr<FrameSurface*> link_;
};

}  // namespace

IDispatch* CreateFrameAutomation(FrameSurface* frame) { return new (std::nothrow) FrameAutomation(frame); }

void DetachFrameAutomation(IDispatch* automation) {
    if (automation) static_cast<FrameAutomation*>(automation)->Detach();
}
