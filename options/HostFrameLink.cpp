#include "HostFrameLink.h"

#include <vector>

#include "basMessageHandler.h"
#include "com/ComDispatch.h"
#include "host/HostContract.h"
#include "vb/VbError.h"

namespace {

BOOL CALLBACK FindFrame(HWND hwnd, LPARAM param) {
    if (!GetPropW(hwnd, contract::FrameAutomationProperty)) return TRUE;
    *reinterpret_cast<HWND*>(param) = hwnd;
    return FALSE;
}

// The status bar of the frame: its panels through the frame's sta1 object.
class FrameStatusBar : public win::StatusBar {
public:
    FrameStatusBar(win::Window& form, IDispatch* frame) : win::StatusBar(form, L"sta1"), frame_(frame) {}

    std::wstring PanelText(long panel) const override {
        if (panel < 1) vb::Raise(vb::ErrSubscript);
        com::ComPtr<IDispatch> bar = StatusObject();
        if (!bar) return std::wstring();
        vb::Variant text;
        if (FAILED(com::TryCallByName(bar.Get(), contract::StatusPanelText, DISPATCH_PROPERTYGET,
                                      {vb::Variant(panel)}, &text)))
            return std::wstring();
        return text.ToString();
    }
    void SetPanelText(long panel, const std::wstring& text) override {
        if (panel < 1) vb::Raise(vb::ErrSubscript);
        com::ComPtr<IDispatch> bar = StatusObject();
        if (!bar) return;
        com::TryCallByName(bar.Get(), contract::StatusPanelText, DISPATCH_PROPERTYPUT,
                           {vb::Variant(panel), vb::Variant(text)}, nullptr);
    }

private:
    com::ComPtr<IDispatch> StatusObject() const {
        com::ComPtr<IDispatch> bar;
        if (!frame_) return bar;
        VARIANT out;
        VariantInit(&out);
        try {
            com::CallByNameRaw(frame_, contract::FrameStatusBar, DISPATCH_PROPERTYGET, {}, &out);
        } catch (...) {
            vb::Err().Clear();
            return bar;
        }
        if (out.vt == VT_DISPATCH && out.pdispVal) {
            out.pdispVal->AddRef();
            bar = com::ComPtr<IDispatch>(out.pdispVal);
        }
        VariantClear(&out);
        return bar;
    }
    IDispatch* frame_;
};

// Calls a member of the frame with raw arguments in their natural order; a frame that is gone
// or lacks the member is ignored. result (when given) is cleared by the caller.
HRESULT CallFrame(IDispatch* frame, const wchar_t* member, WORD flags, std::vector<VARIANT> args,
                  VARIANT* result = nullptr) {
    if (!frame) return E_POINTER;
    DISPID id = 0;
    LPOLESTR name = const_cast<LPOLESTR>(member);
    HRESULT hr = frame->GetIDsOfNames(IID_NULL, &name, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) return hr;
    std::vector<VARIANT> reversed(args.rbegin(), args.rend());
    DISPID named = DISPID_PROPERTYPUT;
    DISPPARAMS params{reversed.empty() ? nullptr : reversed.data(), nullptr, static_cast<UINT>(reversed.size()), 0};
    if (flags == DISPATCH_PROPERTYPUT) {
        params.rgdispidNamedArgs = &named;
        params.cNamedArgs = 1;
    }
    return frame->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params, result, nullptr, nullptr);
}

VARIANT HandleArgument(HWND window) {
    // Pointer-sized: 64-bit handles travel whole.
    VARIANT v;
    VariantInit(&v);
#ifdef _WIN64
    v.vt = VT_I8;
    v.llVal = reinterpret_cast<LONGLONG>(window);
#else
    v.vt = VT_I4;
    v.lVal = static_cast<LONG>(reinterpret_cast<INT_PTR>(window));
#endif
    return v;
}

HWND HandleFrom(const VARIANT& v) {
    switch (v.vt) {
        case VT_I8: return reinterpret_cast<HWND>(static_cast<INT_PTR>(v.llVal));
        case VT_I4: return reinterpret_cast<HWND>(static_cast<INT_PTR>(v.lVal));
        case VT_UI4: return reinterpret_cast<HWND>(static_cast<UINT_PTR>(v.ulVal));
        default: return nullptr;
    }
}

}  // namespace

IDispatch* FindHostFrameAutomation(HWND* frameWindow) {
    HWND frame = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindFrame, reinterpret_cast<LPARAM>(&frame));
    if (frameWindow) *frameWindow = frame;
    if (!frame) return nullptr;
    return static_cast<IDispatch*>(GetPropW(frame, contract::FrameAutomationProperty));
}

namespace {
HWND ThisThreadsHostFrame() {
    HWND frame = nullptr;
    FindHostFrameAutomation(&frame);
    return frame;
}
}  // namespace

void GiveMessageBoxesToTheHostFrame() { SetMessageOwnerFinder(&ThisThreadsHostFrame); }

HostFrameProxy::HostFrameProxy(HWND frame, IDispatch* automation)
    : win::Window(L"MDIFrm"), frame_(frame) {
    if (automation) {
        automation->AddRef();
        automation_ = com::ComPtr<IDispatch>(automation);
    }
    Adopt(std::make_unique<FrameStatusBar>(*this, automation_.Get()));
}

HostFrameProxy::~HostFrameProxy() = default;

HWND HostFrameProxy::MdiClient() const {
    VARIANT out;
    VariantInit(&out);
    if (FAILED(CallFrame(automation_.Get(), contract::FrameMdiClient, DISPATCH_PROPERTYGET, {}, &out))) return nullptr;
    HWND client = HandleFrom(out);
    VariantClear(&out);
    return client;
}

RECT HostFrameProxy::FrameRect() const {
    RECT r{};
    if (FrameAlive()) GetWindowRect(frame_, &r);
    return r;
}
long HostFrameProxy::Left() const { return win::PixelsToTwipsX(FrameRect().left); }
long HostFrameProxy::Top() const { return win::PixelsToTwipsY(FrameRect().top); }
long HostFrameProxy::Width() const {
    const RECT r = FrameRect();
    return win::PixelsToTwipsX(r.right - r.left);
}
long HostFrameProxy::Height() const {
    const RECT r = FrameRect();
    return win::PixelsToTwipsY(r.bottom - r.top);
}

void HostFrameProxy::ShowMDIForm() { CallFrame(automation_.Get(), contract::FrameShowMDIForm, DISPATCH_METHOD, {}); }

void HostFrameProxy::AddMdiChild(HWND window, IDispatch* form) {
    if (!FrameAlive() || !form) return;
    VARIANT object;
    VariantInit(&object);
    object.vt = VT_DISPATCH;
    object.pdispVal = form;  // borrowed for the call
    CallFrame(automation_.Get(), contract::FrameAddMdiChild, DISPATCH_METHOD, {HandleArgument(window), object});
}

void HostFrameProxy::RemoveMdiChild(HWND window) {
    if (!FrameAlive()) return;
    CallFrame(automation_.Get(), contract::FrameRemoveMdiChild, DISPATCH_METHOD, {HandleArgument(window)});
}

HostMdiExtender::HostMdiExtender(win::Window& form, std::unique_ptr<HostFrameProxy> frame)
    : win::MdiExtender(form, L"mdiExt"), frame_(std::move(frame)) {}

int HostMdiExtender::WindowState() const { return Form().Loaded() ? Form().WindowState() : 0; }

HWND HostFrameWindowOf(const win::Window& form) {
    auto* extender = form.Find<HostMdiExtender>(L"mdiExt");
    return extender && extender->Frame() && extender->Frame()->FrameAlive() ? extender->Frame()->FrameHandle()
                                                                            : nullptr;
}
