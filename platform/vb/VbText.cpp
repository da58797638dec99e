#include "vb/VbText.h"

#include <windows.h>

#include <cwchar>
#include <cwctype>

namespace vb {

int StrComp(std::wstring_view a, std::wstring_view b, int mode) {
    if (mode == BinaryCompare) {
        int c = a.compare(b);
        return c < 0 ? -1 : (c > 0 ? 1 : 0);
    }
    if (a.empty() || b.empty()) return a.empty() ? (b.empty() ? 0 : -1) : 1;
    int r = CompareStringW(LOCALE_USER_DEFAULT, NORM_IGNORECASE, a.data(), static_cast<int>(a.size()), b.data(),
                           static_cast<int>(b.size()));
    if (r == CSTR_LESS_THAN) return -1;
    if (r == CSTR_GREATER_THAN) return 1;
    if (r == CSTR_EQUAL) return 0;
    // The locale call failed: fall back to an ordinal upper-case comparison.
    std::wstring ua = UCase(a), ub = UCase(b);
    int c = ua.compare(ub);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}

size_t InStr(size_t start, std::wstring_view text, std::wstring_view find, int mode) {
    if (start < 1) start = 1;
    if (start > text.size() + 1) return 0;
    if (find.empty()) return start;
    if (find.size() > text.size()) return 0;
    if (mode == BinaryCompare) {
        size_t p = text.find(find, start - 1);
        return p == std::wstring_view::npos ? 0 : p + 1;
    }
    for (size_t i = start - 1; i + find.size() <= text.size(); ++i)
        if (StrComp(text.substr(i, find.size()), find, TextCompare) == 0) return i + 1;
    return 0;
}

bool StartsWith(std::wstring_view text, std::wstring_view prefix, int mode) {
    return text.size() >= prefix.size() && StrComp(text.substr(0, prefix.size()), prefix, mode) == 0;
}

bool EndsWith(std::wstring_view text, std::wstring_view suffix, int mode) {
    return text.size() >= suffix.size() && StrComp(text.substr(text.size() - suffix.size()), suffix, mode) == 0;
}

std::vector<std::wstring> Split(std::wstring_view text, std::wstring_view delimiter, int mode) {
    std::vector<std::wstring> out;
    if (text.empty()) return out;
    if (delimiter.empty()) {
        out.emplace_back(text);
        return out;
    }
    size_t from = 1;
    for (;;) {
        size_t hit = InStr(from, text, delimiter, mode);
        if (hit == 0) {
            out.emplace_back(text.substr(from - 1));
            return out;
        }
        out.emplace_back(text.substr(from - 1, hit - from));
        from = hit + delimiter.size();
    }
}

std::wstring LTrim(std::wstring_view s) {
    size_t i = 0;
    while (i < s.size() && s[i] == L' ') ++i;
    return std::wstring(s.substr(i));
}

std::wstring RTrim(std::wstring_view s) {
    size_t n = s.size();
    while (n > 0 && s[n - 1] == L' ') --n;
    return std::wstring(s.substr(0, n));
}

std::wstring Trim(std::wstring_view s) { return LTrim(RTrim(s)); }

std::wstring Hex(long value) {
    wchar_t buf[16];
    swprintf(buf, 16, L"%lX", static_cast<unsigned long>(static_cast<unsigned int>(value)));
    return buf;
}

std::wstring UCase(std::wstring_view s) {
    std::wstring out(s);
    if (!out.empty()) CharUpperBuffW(out.data(), static_cast<DWORD>(out.size()));
    return out;
}

std::string ToAnsi(std::wstring_view s) {
    if (s.empty()) return {};
    int n = WideCharToMultiByte(CP_ACP, 0, s.data(), static_cast<int>(s.size()), nullptr, 0, nullptr, nullptr);
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_ACP, 0, s.data(), static_cast<int>(s.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::wstring FromAnsi(std::string_view s) {
    if (s.empty()) return {};
    int n = MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), nullptr, 0);
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_ACP, 0, s.data(), static_cast<int>(s.size()), out.data(), n);
    return out;
}

bool IsNumeric(std::wstring_view s) {
    std::wstring t = vb::Trim(s);
    size_t i = 0, n = t.size();
    if (n == 0) return false;
    if (t[0] == L'&' && n > 2) {
        wchar_t kind = static_cast<wchar_t>(std::towupper(t[1]));
        if (kind != L'H' && kind != L'O') return false;
        for (i = 2; i < n; ++i) {
            wchar_t c = t[i];
            bool ok = kind == L'H' ? std::iswxdigit(c) != 0 : (c >= L'0' && c <= L'7');
            if (!ok) return false;
        }
        return true;
    }
    if (t[i] == L'+' || t[i] == L'-') ++i;
    bool digits = false, point = false;
    for (; i < n; ++i) {
        if (t[i] >= L'0' && t[i] <= L'9')
            digits = true;
        else if (t[i] == L'.' && !point)
            point = true;
        else
            break;
    }
    if (!digits) return false;
    if (i < n && (t[i] == L'e' || t[i] == L'E')) {
        ++i;
        if (i < n && (t[i] == L'+' || t[i] == L'-')) ++i;
        bool expDigits = false;
        while (i < n && t[i] >= L'0' && t[i] <= L'9') {
            expDigits = true;
            ++i;
        }
        if (!expDigits) return false;
    }
    return i == n;
}

}  // namespace vb
