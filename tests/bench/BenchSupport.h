// What the benchmarks share: the clock and the scratch registry's values and numbered names.
#pragma once
#include <windows.h>

#include <cwchar>
#include <string>

namespace benchsupport {

// Seconds on the performance counter.
inline double Now() {
    static const LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER t;
    QueryPerformanceCounter(&t);
    return static_cast<double>(t.QuadPart) / static_cast<double>(frequency.QuadPart);
}

// Writes a string value, creating the key as needed; a refused key is passed over.
inline void SetString(HKEY parent, const std::wstring& path, const wchar_t* name, const std::wstring& data) {
    HKEY key;
    if (RegCreateKeyExW(parent, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    RegSetValueExW(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(data.c_str()),
                   static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(key);
}

// prefix followed by n with at least digits digits ("benchfile0042").
inline std::wstring Numbered(const wchar_t* prefix, int n, int digits) {
    wchar_t buffer[32];
    swprintf(buffer, 32, L"%ls%0*d", prefix, digits, n);
    return buffer;
}

}  // namespace benchsupport
