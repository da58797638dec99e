#include "vb/VbVariant.h"

#include <cmath>
#include <cwchar>

#include "vb/VbError.h"
#include "vb/VbText.h"

namespace vb {

double Variant::ToDouble() const {
    if (IsEmpty()) return 0;
    if (auto p = std::get_if<int16_t>(&v_)) return *p;
    if (auto p = std::get_if<int32_t>(&v_)) return *p;
    if (auto p = std::get_if<double>(&v_)) return *p;
    if (auto p = std::get_if<bool>(&v_)) return *p ? -1 : 0;
    if (auto p = std::get_if<std::wstring>(&v_)) {
        std::wstring t = Trim(*p);
        if (!t.empty()) {
            wchar_t* end = nullptr;
            double d = wcstod(t.c_str(), &end);
            if (end && *end == L'\0') return d;
        }
        Raise(ErrTypeMismatch);
    }
    if (IsNull()) Raise(94);
    Raise(ErrTypeMismatch);
}

long Variant::ToLong() const {
    if (auto p = std::get_if<int32_t>(&v_)) return *p;
    if (auto p = std::get_if<int16_t>(&v_)) return *p;
    double d = ToDouble();
    if (d > 2147483647.0 || d < -2147483648.0) Raise(ErrOverflow);
    // The run time rounds half to even.
    return static_cast<long>(std::nearbyint(d));
}

bool Variant::ToBool() const {
    if (auto p = std::get_if<bool>(&v_)) return *p;
    if (auto p = std::get_if<std::wstring>(&v_)) {
        if (TextEquals(*p, L"True")) return true;
        if (TextEquals(*p, L"False")) return false;
    }
    return ToDouble() != 0;
}

std::wstring Variant::ToString() const {
    if (IsEmpty()) return {};
    if (auto p = std::get_if<std::wstring>(&v_)) return *p;
    if (auto p = std::get_if<int16_t>(&v_)) return std::to_wstring(*p);
    if (auto p = std::get_if<int32_t>(&v_)) return std::to_wstring(*p);
    if (auto p = std::get_if<bool>(&v_)) return *p ? L"True" : L"False";
    if (auto p = std::get_if<double>(&v_)) {
        wchar_t buf[64];
        swprintf(buf, 64, L"%.15G", *p);
        return buf;
    }
    if (IsNull()) Raise(94);
    Raise(ErrTypeMismatch);
}

const Variant::Array& Variant::AsArray() const {
    if (auto p = std::get_if<Array>(&v_)) return *p;
    Raise(ErrTypeMismatch);
}

Variant::Array& Variant::AsArray() {
    if (auto p = std::get_if<Array>(&v_)) return *p;
    Raise(ErrTypeMismatch);
}

const Variant::Bytes& Variant::AsBytes() const {
    if (auto p = std::get_if<Bytes>(&v_)) return *p;
    Raise(ErrTypeMismatch);
}

Variant::Bytes& Variant::AsBytes() {
    if (auto p = std::get_if<Bytes>(&v_)) return *p;
    Raise(ErrTypeMismatch);
}

}  // namespace vb
