// What every COM server of the suite shares: the module's lock count (live objects and
// LockServer calls), the generic class factory and the reference-counting base of objects.
#pragma once
#include <windows.h>
#include <objbase.h>

#include <new>

namespace com {

// Live objects plus server locks of this module; DllCanUnloadNow and a local server's
// shutdown both read it.
void ModuleAddRef();
void ModuleRelease();
long ModuleLockCount();
// Called (on the releasing thread) each time the count falls to zero; a local server
// uses it to end its message loop. nullptr removes it.
void SetModuleEmptyCallback(void (*callback)());

inline HRESULT CanUnloadNow() { return ModuleLockCount() == 0 ? S_OK : S_FALSE; }

// Counts the module while the object lives; reference count starts at 1.
class RefCounted {
public:
    RefCounted(const RefCounted&) = delete;
    RefCounted& operator=(const RefCounted&) = delete;

protected:
    RefCounted() { ModuleAddRef(); }
    virtual ~RefCounted() { ModuleRelease(); }
    ULONG AddRefImpl() { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    ULONG ReleaseImpl() {
        LONG r = InterlockedDecrement(&refs_);
        if (r == 0) delete this;
        return static_cast<ULONG>(r);
    }

private:
    LONG refs_ = 1;
};

// Creates a new object and answers the interface asked for (the creator's own
// reference is released either way).
using CreateInstanceFn = HRESULT (*)(REFIID riid, void** ppv);

// Makes a class factory for a class; answers E_OUTOFMEMORY or the QueryInterface result.
HRESULT CreateClassFactory(CreateInstanceFn create, REFIID riid, void** ppv);

// Creates an object of type T with new (std::nothrow) and hands out riid.
template <class T>
HRESULT CreateAndQuery(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    *ppv = nullptr;
    T* object = new (std::nothrow) T();
    if (!object) return E_OUTOFMEMORY;
    HRESULT hr = object->QueryInterface(riid, ppv);
    object->Release();
    return hr;
}

// Owning pointer for an interface: releases on destruction, never copied.
template <class I>
class ComPtr {
public:
    ComPtr() = default;
    explicit ComPtr(I* p) : p_(p) {}
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& o) noexcept : p_(o.p_) { o.p_ = nullptr; }
    ComPtr& operator=(ComPtr&& o) noexcept {
        if (this != &o) {
            Reset();
            p_ = o.p_;
            o.p_ = nullptr;
        }
        return *this;
    }
    void Reset() {
        if (p_) p_->Release();
        p_ = nullptr;
    }
    I* Get() const { return p_; }
    I* operator->() const { return p_; }
    explicit operator bool() const { return p_ != nullptr; }
    I** Put() {
        Reset();
        return &p_;
    }
    void** PutVoid() { return reinterpret_cast<void**>(Put()); }
    I* Detach() {
        I* p = p_;
        p_ = nullptr;
        return p;
    }

private:
    I* p_ = nullptr;
};

}  // namespace com
