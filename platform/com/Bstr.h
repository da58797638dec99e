// A BSTR and a string VARIANT that free themselves.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <string>
#include <string_view>

namespace com {

class Bstr {
public:
    Bstr() = default;
    explicit Bstr(std::wstring_view s) : b_(SysAllocStringLen(s.data(), static_cast<UINT>(s.size()))) {}
    ~Bstr() { SysFreeString(b_); }
    Bstr(const Bstr&) = delete;
    Bstr& operator=(const Bstr&) = delete;
    BSTR Get() const { return b_; }
    // For an out parameter: whatever was held goes first.
    BSTR* Put() {
        SysFreeString(b_);
        b_ = nullptr;
        return &b_;
    }
    std::wstring Text() const { return b_ ? std::wstring(b_, SysStringLen(b_)) : std::wstring(); }

private:
    BSTR b_ = nullptr;
};

struct BstrVariant {
    VARIANT v;
    explicit BstrVariant(std::wstring_view s) {
        VariantInit(&v);
        v.vt = VT_BSTR;
        v.bstrVal = SysAllocStringLen(s.data(), static_cast<UINT>(s.size()));
    }
    ~BstrVariant() { VariantClear(&v); }
    BstrVariant(const BstrVariant&) = delete;
    BstrVariant& operator=(const BstrVariant&) = delete;
};

}  // namespace com
