// The restorer window itself: its controls, load, resize, deferred re-layout, unload, and the
// members other windows reach by name.
#include "frmAssociationRestorer.h"

#include <algorithm>

#include "OptionsToolWindows.h"
#include "basAssocCompare.h"
#include "basAssocSnapshot.h"
#include "basErrorHandler.h"
#include "basUserInterface.h"
#include "com/ComDispatch.h"
#include "vb/VbError.h"
#include "vb/VbScreen.h"
#include "vb/VbText.h"

namespace {

// Deferred so that the activation sequence does not run inside the activation message.
constexpr UINT kActivateNow = WM_APP + 21;

constexpr long kMinimumWidth = 7536;   // twips
constexpr long kMinimumHeight = 4400;  // twips

constexpr int kMargin = 8;
constexpr int kClientWidth = 760;
constexpr int kListHeight = 268;
constexpr int kFrameTop = kMargin + kListHeight + kMargin;
constexpr int kFrameHeight = 172;
constexpr int kClientHeight = kFrameTop + kFrameHeight + kMargin;

const wchar_t kFrameTag[] = L"FixedSize:='True' ResizeAnchor1:='Bottom' ResizeAnchor2:='Left'";

// The window's members by name, as the crash-recovery dialog and the options window call them.
class RestorerAutomation : public IDispatch {
public:
    explicit RestorerAutomation(frmAssociationRestorer* form) : form_(form) {}
    virtual ~RestorerAutomation() = default;
    void Detach() { form_ = nullptr; }

    STDMETHODIMP QueryInterface(REFIID iid, void** out) override {
        if (!out) return E_POINTER;
        if (iid == IID_IUnknown || iid == IID_IDispatch) {
            *out = static_cast<IDispatch*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    STDMETHODIMP_(ULONG) AddRef() override { return static_cast<ULONG>(InterlockedIncrement(&refs_)); }
    STDMETHODIMP_(ULONG) Release() override {
        LONG left = InterlockedDecrement(&refs_);
        if (left == 0) delete this;
        return static_cast<ULONG>(left);
    }
    STDMETHODIMP GetTypeInfoCount(UINT* count) override {
        if (!count) return E_POINTER;
        *count = 0;
        return S_OK;
    }
    STDMETHODIMP GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    STDMETHODIMP GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) override {
        if (!names || !ids || count < 1) return E_INVALIDARG;
        for (UINT i = 0; i < count; ++i) ids[i] = DISPID_UNKNOWN;
        for (size_t m = 0; m < kMembers.size(); ++m) {
            if (vb::TextEquals(kMembers[m], names[0])) {
                ids[0] = static_cast<DISPID>(m + 1);
                return count == 1 ? S_OK : DISP_E_UNKNOWNNAME;
            }
        }
        return DISP_E_UNKNOWNNAME;
    }
    STDMETHODIMP Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params, VARIANT* result, EXCEPINFO*,
                        UINT*) override {
        if (!form_) return E_UNEXPECTED;
        try {
            std::vector<vb::Variant> args;
            if (params)
                for (UINT i = params->cArgs; i > 0; --i) args.push_back(com::FromVARIANT(params->rgvarg[i - 1]));
            const bool put = (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) != 0;
            vb::Variant answer;
            switch (id) {
                case 1:  // ReturnValue
                    if (put && !args.empty()) form_->SetReturnValue(args.back());
                    else answer = form_->ReturnValue();
                    break;
                case 2:  // GlobalArraysChanged
                    if (put && !args.empty()) form_->SetGlobalArraysChanged(args.back().ToBool());
                    else answer = form_->GlobalArraysChanged();
                    break;
                case 3:
                    if (put && !args.empty()) form_->OldFormWidth = args.back().ToLong();
                    else answer = vb::Variant(static_cast<double>(form_->OldFormWidth));
                    break;
                case 4:
                    if (put && !args.empty()) form_->OldFormHeight = args.back().ToLong();
                    else answer = vb::Variant(static_cast<double>(form_->OldFormHeight));
                    break;
                case 5: answer = vb::Variant(*form_->NormalTop()); break;
                case 6: answer = vb::Variant(*form_->NormalLeft()); break;
                case 7: answer = vb::Variant(*form_->NormalWidth()); break;
                case 8: answer = vb::Variant(*form_->NormalHeight()); break;
                case 9: form_->TimerEvent(); break;
                case 10:
                    if (args.empty()) return DISP_E_BADPARAMCOUNT;
                    form_->Key2Ini(args[0].ToString());
                    break;
                case 11:
                    if (args.empty()) return DISP_E_BADPARAMCOUNT;
                    form_->Detail2Ini(args[0].ToString(), args.size() > 1 && args[1].ToBool());
                    break;
                default: return DISP_E_MEMBERNOTFOUND;
            }
            if (result) com::ToVARIANT(answer, result);
            return S_OK;
        } catch (...) {
            vb::Err().Clear();
            return DISP_E_EXCEPTION;
        }
    }

private:
    static inline const std::vector<std::wstring> kMembers{
        L"ReturnValue", L"GlobalArraysChanged", L"OldFormWidth", L"OldFormHeight", L"NormalTop", L"NormalLeft",
        L"NormalWidth", L"NormalHeight", L"TimerEvent", L"Key2Ini", L"Detail2Ini"};
    frmAssociationRestorer* form_;
    LONG refs_ = 1;
};

}  // namespace

frmAssociationRestorer::frmAssociationRestorer() : win::Window(AssociationRestorerFormName) {
    Create(L"Association Restorer", kClientWidth, kClientHeight, WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN,
           WS_EX_CONTROLPARENT);
    SetTag(L"RegistryName:='Association Restorer'");

    lvw = &Add<win::ListView>(nullptr, L"lvw", -1, win::Rect{kMargin, kMargin, kClientWidth - 2 * kMargin, kListHeight},
                              true);
    lvw->SetTag(L"ResizeAnchor1:='LeftAndRight'");
    lvw->AddColumn(L"Action", 100);
    lvw->AddColumn(L"Ext.", 80);
    lvw->AddColumn(L"Was", 150);
    lvw->AddColumn(L"Is", 150);
    lvw->AddColumn(L"Status", 200);
    lvw->OnItemCheck = [this](int row) { lvw_ItemCheck(row); };
    lvw->OnItemClick = [this](int row) { lvw_ItemClick(row); };

    const int widths[4] = {96, 250, 290, 84};
    const wchar_t* captions[4] = {L"Snapshot", L"Mark / Unmark", L"Show", L"List"};
    int left = kMargin;
    for (int i = 0; i < 4; ++i) {
        fra[i] = &Add<win::Container>(nullptr, L"fra", i, captions[i], win::Rect{left, kFrameTop, widths[i], kFrameHeight},
                                      true);
        fra[i]->SetTag(kFrameTag);
        left += widths[i] + kMargin;
    }
    auto button = [&](int index, win::Container* frame, const wchar_t* caption, win::Rect r) {
        cmd[index] = &Add<win::Button>(frame, L"cmd", index, caption, r);
        cmd[index]->OnClick = [this, index] { cmd_Click(index); };
    };
    auto box = [&](int index, win::Container* frame, const wchar_t* caption, win::Rect r, bool checked) {
        chk[index] = &Add<win::CheckBox>(frame, L"chk", index, caption, r);
        chk[index]->SetChecked(checked);
        chk[index]->OnClick = [this, index] { chk_Click(index); };
    };
    // "Snapshot"
    button(0, fra[0], L"Save", win::Rect{12, 24, 72, 24});
    button(1, fra[0], L"Restore", win::Rect{12, 56, 72, 24});
    // "Mark / Unmark"
    for (int i = 0; i < 2; ++i) {
        opt[i] = &Add<win::OptionButton>(fra[1], L"opt", i, i == 0 ? L"Mark" : L"Unmark",
                                         win::Rect{12, 22 + 20 * i, 100, 18});
        opt[i]->OnClick = [this, i] { opt_Click(i); };
    }
    opt[0]->SetChecked(true);
    box(0, fra[1], L"Extensions", win::Rect{12, 72, 100, 18}, true);
    box(1, fra[1], L"Associations", win::Rect{12, 92, 100, 18}, true);
    button(2, fra[1], L"All", win::Rect{134, 20, 104, 24});
    button(4, fra[1], L"Highlighted", win::Rect{134, 48, 104, 24});
    button(3, fra[1], L"Remove", win::Rect{134, 76, 104, 24});
    button(5, fra[1], L"Restore", win::Rect{134, 104, 104, 24});
    button(6, fra[1], L"Add", win::Rect{134, 132, 104, 24});
    // "Show"
    for (int i = 0; i < 2; ++i) {
        opt2[i] = &Add<win::OptionButton>(fra[2], L"opt2", i, i == 0 ? L"Changes" : L"Missing Items",
                                          win::Rect{12, 22 + 20 * i, 110, 18});
        opt2[i]->OnClick = [this, i] { opt2_Click(i); };
    }
    opt2[0]->SetChecked(true);
    lbl0 = &Add<win::Label>(fra[2], L"lbl", 0, L"Extension Types to Show", win::Rect{132, 18, 150, 16});
    box(2, fra[2], L"Programs", win::Rect{132, 36, 150, 18}, true);
    box(3, fra[2], L"Associations", win::Rect{132, 54, 150, 18}, true);
    box(4, fra[2], L"ShellEx", win::Rect{150, 72, 132, 18}, false);
    box(5, fra[2], L"NoOpen", win::Rect{150, 90, 132, 18}, false);
    box(6, fra[2], L"PersistentHandler", win::Rect{150, 108, 132, 18}, false);
    box(7, fra[2], L"Content Type", win::Rect{150, 126, 132, 18}, false);
    box(8, fra[2], L"Others", win::Rect{150, 144, 132, 18}, true);
    // "List"
    button(7, fra[3], L"Print", win::Rect{12, 24, 60, 24});

    // The filters belong to "Missing Items"; "Changes" is the view the window opens with.
    for (int i = 2; i <= 8; ++i) chk[i]->SetEnabled(false);
    created_ = true;
    Form_Load();
}

frmAssociationRestorer::~frmAssociationRestorer() {
    if (automation_) {
        static_cast<RestorerAutomation*>(automation_)->Detach();
        automation_->Release();
    }
}

frmAssociationRestorer& frmAssociationRestorer::Default() { return win::DefaultInstance<frmAssociationRestorer>::Get(); }
frmAssociationRestorer* frmAssociationRestorer::Existing() {
    return win::DefaultInstance<frmAssociationRestorer>::Existing();
}
void frmAssociationRestorer::Release() { win::DefaultInstance<frmAssociationRestorer>::Release(); }

frmAssociationRestorer& frmAssociationRestorer::Open(HWND owner) {
    frmAssociationRestorer& form = Default();
    if (owner) SetWindowLongPtrW(form.Handle(), GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
    form.Show();
    SetForegroundWindow(form.Handle());
    return form;
}

IDispatch* frmAssociationRestorer::Automation() {
    if (!automation_) automation_ = new RestorerAutomation(this);
    return automation_;
}

void frmAssociationRestorer::Key2Ini(const std::wstring& text) { ::RestorerKey2Ini(text); }
void frmAssociationRestorer::Detail2Ini(const std::wstring& text, bool force) { ::RestorerDetail2Ini(text, force); }

std::wstring frmAssociationRestorer::RowKey(int row) const {
    return row >= 0 && static_cast<size_t>(row) < rowKeys_.size() ? rowKeys_[static_cast<size_t>(row)] : std::wstring();
}

long frmAssociationRestorer::RowDiffIndex(int row) const {
    const std::wstring key = RowKey(row);
    if (key.size() < 2) return 0;
    try {
        return vb::Variant(key.substr(1)).ToLong();
    } catch (...) {
        vb::Err().Clear();
        return 0;
    }
}

void frmAssociationRestorer::Form_Load() {
    TrappedVoid(L"Form_Load", [&] {
        OldFormWidth = Width();
        OldFormHeight = Height();
        normalTop_ = Top();
        normalLeft_ = Left();
        normalWidth_ = Width();
        normalHeight_ = Height();
        PlaceForm(*this, phCentre, pvCentre);
        FormGetSetPosAndSize(plRestore, *this);
        ResizeControls(*this);
    });
}

LRESULT frmAssociationRestorer::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_ACTIVATE:
            if (LOWORD(wParam) != WA_INACTIVE && created_ && !firstActivation_) PostMessageW(Handle(), kActivateNow, 0, 0);
            break;
        case kActivateNow:
            Form_Activate();
            return 0;
        case WM_SIZE:
            if (created_) Form_Resize();
            break;
        default:
            break;
    }
    return DefaultMessage(msg, wParam, lParam);
}

void frmAssociationRestorer::Form_Resize() {
    if (resizing_) return;
    resizing_ = true;
    ProcGuard guard;
    try {
        const int state = WindowState();
        if (state == 0) {
            const long screenHeight = vb::ScreenHeight();
            const long screenWidth = vb::ScreenWidth();
            if (Top() > screenHeight) Move(Left(), static_cast<long>(screenHeight * 0.9));
            if (Top() < 0) Move(Left(), static_cast<long>(screenHeight * 0.05));
            if (Height() > screenHeight) Move(Left(), Top(), Width(), static_cast<long>(0.95 * (screenHeight - Top())));
            if (Width() > screenWidth) Move(Left(), Top(), static_cast<long>(screenWidth * 0.9), Height());
            normalTop_ = Top();
            normalLeft_ = Left();
            normalWidth_ = Width();
            normalHeight_ = Height();
            relayoutCounter_ = 1;
        } else if (state == 2) {
            relayoutCounter_ = 1;
        }
    } catch (...) {
        TrapError(L"Form_Resize");
    }
    resizing_ = false;
}

void frmAssociationRestorer::TimerEvent() {
    TrappedVoid(L"TimerEvent", [&] { ApplyPendingResize(); });
}

void frmAssociationRestorer::ApplyPendingResize() {
    if (relayoutCounter_ == 0 || !Loaded()) return;
    const int state = WindowState();
    if (state == 1) return;
    ++relayoutCounter_;
    if (relayoutCounter_ <= 4) return;
    if (state == 0) {
        // The smallest size in whole pixels, never a pixel short of it.
        const long minimumWidth = win::PixelsToTwipsX(win::TwipsToPixelsX(kMinimumWidth + vb::TwipsPerPixelX() - 1));
        const long minimumHeight = win::PixelsToTwipsY(win::TwipsToPixelsY(kMinimumHeight + vb::TwipsPerPixelY() - 1));
        pendingWidth_ = std::max(Width(), minimumWidth);
        pendingHeight_ = std::max(Height(), minimumHeight);
        Move(Left(), Top(), static_cast<long>(pendingWidth_), static_cast<long>(pendingHeight_));
        pendingWidth_ = pendingHeight_ = 0;
    }
    ResizeControls(*this);
    relayoutCounter_ = 0;
}

void frmAssociationRestorer::QueryUnloadSteps() {
    TrappedVoid(L"Form_QueryUnload", [&] {
        FormGetSetPosAndSize(plSave, *this);
        optionsHold_.GiveBack();
    });
}

bool frmAssociationRestorer::OnQueryUnload() {
    // A Save or a restore is still running below a pump: the window closes when it ends.
    if (work_ > 0) {
        closePending_ = true;
        return true;
    }
    QueryUnloadSteps();
    return false;
}

void frmAssociationRestorer::UnloadForm() {
    if (!Loaded()) return;
    QueryUnloadSteps();
    Unload();
}

void frmAssociationRestorer::OnUnload() {
    TrappedVoid(L"Form_Unload", [&] {
        ShowStatus(2, L"", false, true);
        ShowStatus(3, L"", false, true);
        // Unloaded by code, without the query: the options window gets its controls back too.
        optionsHold_.GiveBack();
        if (OptionsWindowServices* services = OptionsServices()) services->SetFormUnloaded(true);
    });
    rowKeys_.clear();
}

void StartAssociationRestorer() {
    InstallRestorerCheckpoints();
    // The options window's first-run welcome opens the restorer, owned by the host frame.
    SetAssociationRestorerOpener([](HWND owner) {
        frmAssociationRestorer::Open(owner);
        return true;
    });
}
