#include "CForm.h"

#include <olectl.h>
#include <shlwapi.h>

#include "AutomationMembers.h"
#include "basIO.h"
#include "frmTesselOptions.h"
#include "vb/VbApp.h"
#include "vb/VbError.h"

namespace sendrik {

const wchar_t* const CFormProperties =
    L"AboutMenu\rHelpMenu\rMdiMenu\rProductName\rProperties\rShowForm\rSysTrayMenu\rToolbarButtonDown\r"
    L"ToolbarButtonUp\rToolbarButtonText\rToolbarButtonToolTip\rToolbarButtonUpOver\rUtilitySuiteOrdinal\rVersion";

using automation::Guarded;
using automation::PutText;

std::wstring VersionText(int major, int minor, int revision) {
    return std::to_wstring(major) + L"." + std::to_wstring(minor) + L"." + std::to_wstring(revision);
}

std::wstring LibraryVersion() {
    DWORD size = 0;
    VS_FIXEDFILEINFO info = GetVersionInfo(vb::ModuleFileName(vb::ThisModule()), size);
    return VersionText(HIWORD(info.dwFileVersionMS), LOWORD(info.dwFileVersionMS), LOWORD(info.dwFileVersionLS));
}

CForm::~CForm() {
    // The window stays loaded: other parts of the library share it.
    form_.Reset();
}

STDMETHODIMP CForm::QueryInterface(REFIID riid, void** ppv) {
    static const QITAB table[] = {
        QITABENTMULTI2(CForm, IID__CForm, _CForm),
        QITABENTMULTI2(CForm, IID_IDispatch, _CForm),
        {nullptr, 0},
    };
    return QISearch(this, table, riid, ppv);
}

STDMETHODIMP CForm::get_AboutMenu(BSTR* value) { return PutText(value, L"About Lumox Expert;Dummy Tag Text1"); }
STDMETHODIMP CForm::get_HelpMenu(BSTR* value) { return PutText(value, L"Lumox Expert Help;Dummy Tag Text1"); }
STDMETHODIMP CForm::get_MdiMenu(BSTR* value) { return PutText(value, L"Lumox Expert\rOptions;Dummy Tag Text1"); }
STDMETHODIMP CForm::get_Properties(BSTR* value) { return PutText(value, CFormProperties); }
STDMETHODIMP CForm::get_SysTrayMenu(BSTR* value) { return PutText(value, L"Disable;Dummy Tag Text2"); }
STDMETHODIMP CForm::get_ToolbarButtonText(BSTR* value) { return PutText(value, ProductNameText); }
STDMETHODIMP CForm::get_ToolbarButtonToolTip(BSTR* value) {
    return PutText(value, L"Manage Your Windows Associations");
}
STDMETHODIMP CForm::get_ProductName(BSTR* value) { return PutText(value, ProductNameText); }
STDMETHODIMP CForm::get_Version(BSTR* value) {
    return Guarded([&] { return PutText(value, LibraryVersion()); });
}

STDMETHODIMP CForm::get_UtilitySuiteOrdinal(float* value) {
    if (!value) return E_POINTER;
    *value = 100.0f;
    return S_OK;
}

STDMETHODIMP CForm::get_ToolbarButtonDown(IPictureDisp** value) { return Picture(tbpDown, value); }
STDMETHODIMP CForm::get_ToolbarButtonUp(IPictureDisp** value) { return Picture(tbpUp, value); }
STDMETHODIMP CForm::get_ToolbarButtonUpOver(IPictureDisp** value) { return Picture(tbpUpOver, value); }

HRESULT CForm::Picture(int which, IPictureDisp** value) {
    if (!value) return E_POINTER;
    *value = nullptr;
    return Guarded([&]() -> HRESULT {
        // Touching the picture box loads the shared window, hidden.
        frmTesselOptions& window = frmTesselOptions::Default();
        HBITMAP source = window.ButtonPicture(which);
        if (!source) return E_FAIL;
        HBITMAP copy = static_cast<HBITMAP>(CopyImage(source, IMAGE_BITMAP, 0, 0, 0));
        if (!copy) return E_OUTOFMEMORY;
        PICTDESC desc{};
        desc.cbSizeofstruct = sizeof(desc);
        desc.picType = PICTYPE_BITMAP;
        desc.bmp.hbitmap = copy;
        HRESULT hr = OleCreatePictureIndirect(&desc, IID_IPictureDisp, TRUE, reinterpret_cast<void**>(value));
        if (FAILED(hr)) DeleteObject(copy);
        return hr;
    });
}

STDMETHODIMP CForm::ShowForm(IDispatch** form) {
    if (!form) return E_POINTER;
    *form = nullptr;
    return Guarded([&]() -> HRESULT {
        frmTesselOptions* kept = frmTesselOptions::Existing();
        // The window this object showed is still the loaded one: bring it to the front.
        if (form_ && kept && kept->Automation() == form_.Get()) {
            kept->BringToFront();
        } else {
            frmTesselOptions& window = frmTesselOptions::Default();
            window.Automation()->AddRef();
            form_ = com::ComPtr<IDispatch>(window.Automation());
            window.ShowForm();
        }
        form_->AddRef();
        *form = form_.Get();
        return S_OK;
    });
}

HRESULT CreateCForm(REFIID riid, void** ppv) {
    try {
        GiveMessageBoxesToTheHostFrame();
        return com::CreateAndQuery<CForm>(riid, ppv);
    } catch (...) {
        vb::Err().Clear();
        return E_UNEXPECTED;
    }
}

}  // namespace sendrik
