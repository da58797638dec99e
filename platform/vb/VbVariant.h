// A small Variant: Empty, Null, whole numbers, Double, Boolean, String, arrays of Variants
// and Byte arrays, as far as the suite's procedures pass them around.
#pragma once
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

namespace vb {

struct NullValue {
    bool operator==(const NullValue&) const = default;
};
inline constexpr NullValue Null{};

class Variant {
public:
    using Array = std::vector<Variant>;
    // A Byte array (lower bound 0), as raw registry data travels.
    using Bytes = std::vector<uint8_t>;

    Variant() = default;
    Variant(NullValue) : v_(NullValue{}) {}
    Variant(int16_t i) : v_(i) {}
    Variant(int i) : v_(static_cast<int32_t>(i)) {}
    Variant(long i) : v_(static_cast<int32_t>(i)) {}
    Variant(double d) : v_(d) {}
    Variant(bool b) : v_(b) {}
    Variant(const wchar_t* s) : v_(std::wstring(s)) {}
    Variant(std::wstring s) : v_(std::move(s)) {}
    Variant(Array a) : v_(std::move(a)) {}
    Variant(Bytes b) : v_(std::move(b)) {}

    bool IsEmpty() const { return v_.index() == 0; }
    bool IsNull() const { return std::holds_alternative<NullValue>(v_); }
    bool IsString() const { return std::holds_alternative<std::wstring>(v_); }
    bool IsInteger() const { return std::holds_alternative<int16_t>(v_); }
    bool IsLong() const { return std::holds_alternative<int32_t>(v_); }
    bool IsDouble() const { return std::holds_alternative<double>(v_); }
    bool IsBoolean() const { return std::holds_alternative<bool>(v_); }
    bool IsArray() const { return std::holds_alternative<Array>(v_); }
    bool IsBytes() const { return std::holds_alternative<Bytes>(v_); }
    bool IsNumeric() const { return IsInteger() || IsLong() || IsDouble() || IsBoolean(); }

    // Conversions as the run time makes them; a text that is no number raises a type mismatch.
    long ToLong() const;
    double ToDouble() const;
    bool ToBool() const;
    std::wstring ToString() const;

    const Array& AsArray() const;
    Array& AsArray();
    const Bytes& AsBytes() const;
    Bytes& AsBytes();

    bool operator==(const Variant& o) const { return v_ == o.v_; }

private:
    std::variant<std::monostate, NullValue, int16_t, int32_t, double, bool, std::wstring, Array, Bytes> v_;
};

}  // namespace vb
