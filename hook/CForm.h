// The hook library's plug-in face for the host: a dual interface the host calls by name.
#pragma once
#include <windows.h>

#include "Zintra.h"
#include "com/ComDispatch.h"
#include "com/ComModule.h"

namespace zintra {

// "GeneralInitialization" CR "Properties".
extern const wchar_t* const CFormProperties;

class CForm : public com::DualDispatch<_CForm>, public com::RefCounted {
public:
    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return AddRefImpl(); }
    STDMETHODIMP_(ULONG) Release() override { return ReleaseImpl(); }

    STDMETHODIMP get_Properties(BSTR* value) override;
    STDMETHODIMP GeneralInitialization() override;
};

HRESULT CreateCForm(REFIID riid, void** ppv);

// Tidies the class's registration and registers the hook with the shell. Never reports.
void GeneralInitialization();

}  // namespace zintra
