// The options library's plug-in face: the host creates it by ProgID, reads the members its
// Properties list names and calls ShowForm to open the options window inside its frame.
#pragma once
#include <windows.h>

#include <string>

#include "Sendrik.h"
#include "com/ComDispatch.h"
#include "com/ComModule.h"

namespace sendrik {

// The fourteen member names joined by CR.
extern const wchar_t* const CFormProperties;
inline constexpr const wchar_t* ProductNameText = L"Lumox Expert";

// major "." minor "." revision of this module's version resource (revision: the fourth number).
std::wstring LibraryVersion();
std::wstring VersionText(int major, int minor, int revision);

class CForm : public com::DualDispatch<_CForm>, public com::RefCounted {
public:
    ~CForm() override;

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return AddRefImpl(); }
    STDMETHODIMP_(ULONG) Release() override { return ReleaseImpl(); }

    STDMETHODIMP get_AboutMenu(BSTR* value) override;
    STDMETHODIMP get_HelpMenu(BSTR* value) override;
    STDMETHODIMP get_MdiMenu(BSTR* value) override;
    STDMETHODIMP get_Properties(BSTR* value) override;
    STDMETHODIMP get_SysTrayMenu(BSTR* value) override;
    STDMETHODIMP get_ToolbarButtonDown(IPictureDisp** value) override;
    STDMETHODIMP get_ToolbarButtonText(BSTR* value) override;
    STDMETHODIMP get_ToolbarButtonToolTip(BSTR* value) override;
    STDMETHODIMP get_ToolbarButtonUp(IPictureDisp** value) override;
    STDMETHODIMP get_ToolbarButtonUpOver(IPictureDisp** value) override;
    STDMETHODIMP get_UtilitySuiteOrdinal(float* value) override;
    STDMETHODIMP ShowForm(IDispatch** form) override;
    STDMETHODIMP get_ProductName(BSTR* value) override;
    STDMETHODIMP get_Version(BSTR* value) override;

private:
    HRESULT Picture(int which, IPictureDisp** value);
    // The options window this object showed (its automation object); empty until ShowForm.
    com::ComPtr<IDispatch> form_;
};

HRESULT CreateCForm(REFIID riid, void** ppv);

}  // namespace sendrik
