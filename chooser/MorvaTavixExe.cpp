#include "MorvaTavixExe.h"

#include "MorvaKestrow.h"
#include "Rundel.h"
#include "com/ComDispatch.h"
#include "com/ComModule.h"
#include "vb/VbError.h"

namespace chusel {

namespace {

class MorvaTavixExe : public com::DualDispatch<_MorvaTavixExe>, public com::RefCounted {
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

    // Whatever happens inside, the call answers S_OK with 0 or 1.
    STDMETHODIMP Rundel(BSTR rsParams, LONG* result) override {
        if (!result) return E_POINTER;
        *result = 1;
        try {
            const std::wstring request(rsParams ? rsParams : L"", rsParams ? SysStringLen(rsParams) : 0);
            *result = ::Rundel(request, RealChooserServices());
        } catch (...) {
            *result = 1;
        }
        vb::Err().Clear();
        return S_OK;
    }
};

}  // namespace

HRESULT CreateMorvaTavixExe(REFIID riid, void** ppv) {
    try {
        return com::CreateAndQuery<MorvaTavixExe>(riid, ppv);
    } catch (...) {
        vb::Err().Clear();
        return E_UNEXPECTED;
    }
}

}  // namespace chusel
