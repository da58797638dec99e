// What every member of the library's automation objects does at its edge: a text handed out as
// a BSTR, and no exception leaving through COM.
#pragma once
#include <windows.h>
#include <oleauto.h>

#include <string>

#include "vb/VbError.h"

namespace automation {

inline HRESULT PutText(BSTR* out, const std::wstring& text) {
    if (!out) return E_POINTER;
    *out = SysAllocStringLen(text.data(), static_cast<UINT>(text.size()));
    return *out ? S_OK : E_OUTOFMEMORY;
}

// Runs a member's body; an error becomes E_FAIL and is cleared.
template <class F>
HRESULT Guarded(F&& body) {
    try {
        return body();
    } catch (...) {
        vb::CaptureCurrentException();
        vb::Err().Clear();
        return E_FAIL;
    }
}

}  // namespace automation
