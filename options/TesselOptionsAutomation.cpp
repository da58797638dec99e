#include "TesselOptionsAutomation.h"

#include <shlwapi.h>

#include "AutomationMembers.h"
#include "Sendrik.h"
#include "com/ComDispatch.h"
#include "com/ComModule.h"
#include "frmTesselOptions.h"
#include "vb/VbError.h"

namespace {

using automation::Guarded;
using automation::PutText;

class TesselOptionsAutomation : public com::DualDispatch<_frmTesselOptions>, public com::RefCounted {
public:
    explicit TesselOptionsAutomation(frmTesselOptions* window) : window_(window) {}
    void Detach() { window_ = nullptr; }

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        static const QITAB table[] = {
            QITABENTMULTI2(TesselOptionsAutomation, IID__frmTesselOptions, _frmTesselOptions),
            QITABENTMULTI2(TesselOptionsAutomation, IID_IDispatch, _frmTesselOptions),
            {nullptr, 0},
        };
        return QISearch(this, table, riid, ppv);
    }
    STDMETHODIMP_(ULONG) AddRef() override { return AddRefImpl(); }
    STDMETHODIMP_(ULONG) Release() override { return ReleaseImpl(); }

    STDMETHODIMP get_CategoryFileUntouched(short* value) override {
        return Get(value, [](frmTesselOptions& w) { return w.CategoryFileUntouchedFlag; });
    }
    STDMETHODIMP put_CategoryFileUntouched(short value) override {
        return Put([&](frmTesselOptions& w) { w.CategoryFileUntouchedFlag = value; });
    }
    STDMETHODIMP get_DragInProgress(short* value) override {
        return Get(value, [](frmTesselOptions& w) { return w.DragInProgress; });
    }
    STDMETHODIMP put_DragInProgress(short value) override {
        return Put([&](frmTesselOptions& w) { w.DragInProgress = value; });
    }
    STDMETHODIMP get_ToolTipCountdown(long* value) override {
        return Get(value, [](frmTesselOptions& w) { return w.ToolTipCountdown; });
    }
    STDMETHODIMP put_ToolTipCountdown(long value) override {
        return Put([&](frmTesselOptions& w) { w.ToolTipCountdown = value; });
    }
    STDMETHODIMP get_ProgramListDate(DATE* value) override {
        return Get(value, [](frmTesselOptions& w) { return w.ProgramListDate; });
    }
    STDMETHODIMP put_ProgramListDate(DATE value) override {
        return Put([&](frmTesselOptions& w) { w.ProgramListDate = value; });
    }
    STDMETHODIMP get_FormReadiness(short* value) override {
        return Get(value, [](frmTesselOptions& w) { return w.FormReadiness(); });
    }
    STDMETHODIMP put_FormUnloaded(VARIANT_BOOL value) override {
        return Put([&](frmTesselOptions& w) { w.SetFormUnloaded(value != VARIANT_FALSE); });
    }
    STDMETHODIMP put_ReturnValue(VARIANT value) override {
        return Put([&](frmTesselOptions& w) {
            const VARIANT* v = &value;
            if (v->vt == (VT_BYREF | VT_VARIANT) && v->pvarVal) v = v->pvarVal;
            w.SetReturnValue(com::FromVARIANT(*v));
        });
    }
    STDMETHODIMP put_MdiFrmWindowState(short value) override {
        return Put([&](frmTesselOptions& w) { w.SetMdiFrmWindowState(value); });
    }
    STDMETHODIMP get_WindowState2(short* value) override {
        return Get(value, [](frmTesselOptions& w) { return w.WindowState2(); });
    }
    STDMETHODIMP get_OldFormWidth(float* value) override {
        return Get(value, [](frmTesselOptions& w) { return static_cast<float>(w.OldFormWidth); });
    }
    STDMETHODIMP put_OldFormWidth(float value) override {
        return Put([&](frmTesselOptions& w) { w.OldFormWidth = static_cast<long>(value); });
    }
    STDMETHODIMP get_OldFormHeight(float* value) override {
        return Get(value, [](frmTesselOptions& w) { return static_cast<float>(w.OldFormHeight); });
    }
    STDMETHODIMP put_OldFormHeight(float value) override {
        return Put([&](frmTesselOptions& w) { w.OldFormHeight = static_cast<long>(value); });
    }
    STDMETHODIMP get_NeedToSaveUserChoices(VARIANT_BOOL* value) override {
        return Get(value, [](frmTesselOptions& w) {
            return static_cast<VARIANT_BOOL>(w.NeedToSaveUserChoices() ? VARIANT_TRUE : VARIANT_FALSE);
        });
    }
    STDMETHODIMP put_NeedToSaveUserChoices(VARIANT_BOOL value) override {
        return Put([&](frmTesselOptions& w) { w.SetNeedToSaveUserChoices(value != VARIANT_FALSE); });
    }
    STDMETHODIMP GetHowDoIFile(BSTR* key, BSTR* path) override {
        return Guarded([&]() -> HRESULT {
            if (!key || !path) return E_POINTER;
            *path = nullptr;
            std::wstring k = *key ? std::wstring(*key, SysStringLen(*key)) : std::wstring();
            if (!window_) return PutText(path, std::wstring());
            HandlerScope running(*window_);
            return PutText(path, window_->GetHowDoIFile(k));
        });
    }
    STDMETHODIMP get_Interruptible(VARIANT_BOOL* value) override {
        // An unloaded window holds nothing up.
        if (!value) return E_POINTER;
        // While one of the library's dialogs or message boxes waits for the user, or any code of
        // the window is still on the stack below the caller, the window must not be closed under it.
        *value = (!window_ || (window_->Interruptible() && !window_->Running() && win::ModalDepth() == 0))
                     ? VARIANT_TRUE
                     : VARIANT_FALSE;
        return S_OK;
    }
    STDMETHODIMP put_Interruptible(VARIANT_BOOL value) override {
        return Put([&](frmTesselOptions& w) { w.SetInterruptible(value != VARIANT_FALSE); });
    }
    STDMETHODIMP TimerEvent() override {
        return Guarded([&]() -> HRESULT {
            if (!window_) return S_OK;
            // The host's tick runs the window's code (it may close the window): the object stays
            // until it has returned.
            HandlerScope running(*window_);
            window_->TimerEvent();
            return S_OK;
        });
    }
    STDMETHODIMP get_Name(BSTR* value) override { return PutText(value, L"frmTesselOptions"); }
    STDMETHODIMP get_Visible(VARIANT_BOOL* value) override {
        if (!value) return E_POINTER;
        *value = (window_ && window_->Loaded() && window_->Visible()) ? VARIANT_TRUE : VARIANT_FALSE;
        return S_OK;
    }

private:
    // The members below run the window's code as its handlers do: while one runs, the window
    // may close but its object stays (Interruptible, which reads that count, stands outside).
    template <class T, class F>
    HRESULT Get(T* out, F&& read) {
        if (!out) return E_POINTER;
        *out = T{};
        return Guarded([&]() -> HRESULT {
            if (!window_) return S_OK;
            HandlerScope running(*window_);
            *out = read(*window_);
            return S_OK;
        });
    }
    template <class F>
    HRESULT Put(F&& write) {
        return Guarded([&]() -> HRESULT {
            if (!window_) return S_OK;
            HandlerScope running(*window_);
            write(*window_);
            return S_OK;
        });
    }

    frmTesselOptions* window_;
};

}  // namespace

IDispatch* CreateTesselOptionsAutomation(frmTesselOptions* window) {
    return new (std::nothrow) TesselOptionsAutomation(window);
}

void DetachTesselOptionsAutomation(IDispatch* automation) {
    if (automation) static_cast<TesselOptionsAutomation*>(automation)->Detach();
}
