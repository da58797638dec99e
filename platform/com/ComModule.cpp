#include "com/ComModule.h"

namespace com {

namespace {

LONG g_moduleLocks = 0;
void (*g_emptyCallback)() = nullptr;

// Factories do not count into the module: a local server holds its registered factory for
// its whole life and must still see the count fall to zero when its last object goes.
class ClassFactory : public IClassFactory {
public:
    explicit ClassFactory(CreateInstanceFn create) : create_(create) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IClassFactory)) {
            *ppv = static_cast<IClassFactory*>(this);
            AddRef();
            return S_OK;
        }
        *ppv = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    STDMETHODIMP_(ULONG) Release() override {
        LONG r = InterlockedDecrement(&refs_);
        if (r == 0) delete this;
        return static_cast<ULONG>(r);
    }

    STDMETHODIMP CreateInstance(IUnknown* outer, REFIID riid, void** ppv) override {
        if (!ppv) return E_POINTER;
        *ppv = nullptr;
        if (outer) return CLASS_E_NOAGGREGATION;
        return create_(riid, ppv);
    }
    STDMETHODIMP LockServer(BOOL lock) override {
        if (lock)
            ModuleAddRef();
        else
            ModuleRelease();
        return S_OK;
    }

private:
    virtual ~ClassFactory() = default;
    CreateInstanceFn create_;
    LONG refs_ = 1;
};

}  // namespace

void ModuleAddRef() { InterlockedIncrement(&g_moduleLocks); }

void ModuleRelease() {
    if (InterlockedDecrement(&g_moduleLocks) == 0) {
        if (void (*callback)() = g_emptyCallback) callback();
    }
}

long ModuleLockCount() { return InterlockedCompareExchange(&g_moduleLocks, 0, 0); }

void SetModuleEmptyCallback(void (*callback)()) { g_emptyCallback = callback; }

HRESULT CreateClassFactory(CreateInstanceFn create, REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    if (!create) return E_INVALIDARG;
    ClassFactory* factory = new (std::nothrow) ClassFactory(create);
    if (!factory) return E_OUTOFMEMORY;
    HRESULT hr = factory->QueryInterface(riid, ppv);
    factory->Release();
    return hr;
}

}  // namespace com
