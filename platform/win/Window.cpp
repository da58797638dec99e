#include "win/Window.h"

#include <commctrl.h>

#include <algorithm>

#include "vb/VbError.h"
#include "vb/VbScreen.h"
#include "vb/VbText.h"
#include "vb/VbThreadState.h"

namespace win {

namespace {

const wchar_t kFormClass[] = L"LumoxForm";
const wchar_t kContainerClass[] = L"LumoxContainer";
const int kDecorationId = 1;
const int kPictureId = 2;

struct WindowListTag {};
std::vector<Window*>& Windows() { return vb::ThreadInstance<std::vector<Window*>, WindowListTag>(); }
thread_local int g_nextControlId = 1000;

HINSTANCE ModuleInstance() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ModuleInstance), &module);
    return module;
}

// The message a window posts itself to unload after the message it is handling.
UINT UnloadSoonMessage() {
    static const UINT message = RegisterWindowMessageW(L"LumoxWindowUnloadSoon");
    return message;
}

// Notifications of the controls inside a frame or picture box belong to the window.
LRESULT CALLBACK ContainerProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_COMMAND:
        case WM_NOTIFY:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLORBTN:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORLISTBOX:
        case WM_DRAWITEM:
        case WM_MEASUREITEM:
            return SendMessageW(GetParent(hwnd), msg, wParam, lParam);
        case WM_SIZE:
            if (HWND decoration = GetDlgItem(hwnd, kDecorationId))
                MoveWindow(decoration, 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
            break;
        default:
            break;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void RegisterClasses() {
    static bool done = false;
    if (done) return;
    done = true;
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_LISTVIEW_CLASSES | ICC_BAR_CLASSES | ICC_PROGRESS_CLASS};
    InitCommonControlsEx(&icc);

    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.hInstance = ModuleInstance();
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    wc.lpfnWndProc = &Window::Proc;
    wc.lpszClassName = kFormClass;
    RegisterClassExW(&wc);
    wc.lpfnWndProc = &ContainerProc;
    wc.lpszClassName = kContainerClass;
    RegisterClassExW(&wc);
}

}  // namespace

long PixelsToTwipsX(int pixels) { return static_cast<long>(pixels) * vb::TwipsPerPixelX(); }
long PixelsToTwipsY(int pixels) { return static_cast<long>(pixels) * vb::TwipsPerPixelY(); }
int TwipsToPixelsX(long twips) { return static_cast<int>(twips / vb::TwipsPerPixelX()); }
int TwipsToPixelsY(long twips) { return static_cast<int>(twips / vb::TwipsPerPixelY()); }

// ---- Control ----

Control::Control(Window& form, Control* container, std::wstring name, int index)
    : form_(form), container_(container), name_(std::move(name)), index_(index) {}

TagHolder* Control::TagContainer() const {
    if (container_) return container_;
    return &form_;
}

HWND Control::ParentHandle() const { return container_ ? container_->hwnd_ : form_.hwnd_; }

HWND Control::CreateChild(const wchar_t* className, const std::wstring& text, DWORD style, DWORD exStyle,
                          const Rect& r) {
    RegisterClasses();
    int id = g_nextControlId++;
    hwnd_ = CreateWindowExW(exStyle, className, text.c_str(), WS_CHILD | WS_VISIBLE | style, r.left, r.top, r.width,
                            r.height, ParentHandle(), reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                            ModuleInstance(), nullptr);
    if (!hwnd_) {
        vb::NoteLastDllError();
        vb::Raise(vb::ErrInternal);
    }
    SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    return hwnd_;
}

void Control::RequireWindow() const {
    if (!hwnd_) vb::Raise(vb::ErrMemberMissing);
}

namespace {
RECT ChildRect(HWND hwnd) {
    RECT r{};
    GetWindowRect(hwnd, &r);
    MapWindowPoints(HWND_DESKTOP, GetParent(hwnd), reinterpret_cast<POINT*>(&r), 2);
    return r;
}
}  // namespace

int Control::Left() const {
    RequireWindow();
    return ChildRect(hwnd_).left;
}
int Control::Top() const {
    RequireWindow();
    return ChildRect(hwnd_).top;
}
int Control::Width() const {
    RequireWindow();
    RECT r = ChildRect(hwnd_);
    return r.right - r.left;
}
int Control::Height() const {
    RequireWindow();
    RECT r = ChildRect(hwnd_);
    return r.bottom - r.top;
}
void Control::Move(int left, int top, int width, int height) {
    RequireWindow();
    if (width < 0 || height < 0) vb::Raise(vb::ErrInvalidCall);
    MoveWindow(hwnd_, left, top, width, height, TRUE);
}

bool Control::Visible() const {
    RequireWindow();
    return (GetWindowLongW(hwnd_, GWL_STYLE) & WS_VISIBLE) != 0;
}
void Control::SetVisible(bool visible) {
    RequireWindow();
    ShowWindow(hwnd_, visible ? SW_SHOWNA : SW_HIDE);
}
bool Control::Enabled() const {
    RequireWindow();
    return (GetWindowLongW(hwnd_, GWL_STYLE) & WS_DISABLED) == 0;
}
void Control::SetEnabled(bool enabled) {
    RequireWindow();
    EnableWindow(hwnd_, enabled ? TRUE : FALSE);
}
std::wstring Control::Text() const {
    RequireWindow();
    int n = GetWindowTextLengthW(hwnd_);
    std::wstring s(static_cast<size_t>(n) + 1, L'\0');
    n = GetWindowTextW(hwnd_, s.data(), n + 1);
    s.resize(static_cast<size_t>(n > 0 ? n : 0));
    return s;
}
void Control::SetText(const std::wstring& text) {
    RequireWindow();
    if (Text() == text) return;
    SetWindowTextW(hwnd_, text.c_str());
    form_.OnTextChanged(*this);
}
void Control::SetFocus() {
    RequireWindow();
    ::SetFocus(hwnd_);
}

// ---- Controls ----

Label::Label(Window& form, Control* container, std::wstring name, int index, const std::wstring& text, const Rect& r,
             DWORD style)
    : Control(form, container, std::move(name), index) {
    CreateChild(L"STATIC", text, style | SS_NOPREFIX, 0, r);
}

Button::Button(Window& form, Control* container, std::wstring name, int index, const std::wstring& text,
               const Rect& r, DWORD style)
    : Control(form, container, std::move(name), index) {
    CreateChild(L"BUTTON", text, style | WS_TABSTOP, 0, r);
}
void Button::Click() {
    if (OnClick) OnClick();
}
void Button::OnCommand(WORD code) {
    if (code == BN_CLICKED) Click();
}

CheckBox::CheckBox(Window& form, Control* container, std::wstring name, int index, const std::wstring& text,
                   const Rect& r)
    : Button(form, container, std::move(name), index, text, r, BS_AUTOCHECKBOX) {}
bool CheckBox::Checked() const { return SendMessageW(hwnd_, BM_GETCHECK, 0, 0) == BST_CHECKED; }
void CheckBox::SetChecked(bool checked) {
    SendMessageW(hwnd_, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

OptionButton::OptionButton(Window& form, Control* container, std::wstring name, int index, const std::wstring& text,
                           const Rect& r)
    : Button(form, container, std::move(name), index, text, r, BS_AUTORADIOBUTTON) {}
bool OptionButton::Checked() const { return SendMessageW(hwnd_, BM_GETCHECK, 0, 0) == BST_CHECKED; }
void OptionButton::SetChecked(bool checked) {
    if (checked) {
        for (Control* c : Form().Controls()) {
            auto* other = dynamic_cast<OptionButton*>(c);
            if (other && other != this && other->Container() == Container() && other->Handle())
                SendMessageW(other->Handle(), BM_SETCHECK, BST_UNCHECKED, 0);
        }
    }
    SendMessageW(hwnd_, BM_SETCHECK, checked ? BST_CHECKED : BST_UNCHECKED, 0);
}

TextBox::TextBox(Window& form, Control* container, std::wstring name, int index, const std::wstring& text,
                 const Rect& r, DWORD style)
    : Control(form, container, std::move(name), index) {
    CreateChild(L"EDIT", text, style | WS_TABSTOP, WS_EX_CLIENTEDGE, r);
}

Container::Container(Window& form, Control* container, std::wstring name, int index, const std::wstring& caption,
                     const Rect& r, bool framed)
    : Control(form, container, std::move(name), index) {
    CreateChild(kContainerClass, L"", WS_CLIPSIBLINGS, WS_EX_CONTROLPARENT, r);
    if (framed) {
        HWND box = CreateWindowExW(0, L"BUTTON", caption.c_str(), WS_CHILD | WS_VISIBLE | BS_GROUPBOX, 0, 0, r.width,
                                   r.height, hwnd_, reinterpret_cast<HMENU>(static_cast<INT_PTR>(kDecorationId)),
                                   ModuleInstance(), nullptr);
        SendMessageW(box, WM_SETFONT, reinterpret_cast<WPARAM>(GetStockObject(DEFAULT_GUI_FONT)), FALSE);
    }
}
void Container::SetIcon(HICON icon) {
    if (!picture_) {
        picture_ = CreateWindowExW(0, L"STATIC", L"", WS_CHILD | WS_VISIBLE | SS_ICON, 0, 0, 32, 32, hwnd_,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(kPictureId)), ModuleInstance(),
                                   nullptr);
    }
    SendMessageW(picture_, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
}

ProgressBar::ProgressBar(Window& form, Control* container, std::wstring name, int index, const Rect& r)
    : Control(form, container, std::move(name), index) {
    CreateChild(PROGRESS_CLASSW, L"", 0, 0, r);
}
void ProgressBar::SetRange(int minimum, int maximum) { SendMessageW(hwnd_, PBM_SETRANGE32, minimum, maximum); }
void ProgressBar::SetValue(int value) { SendMessageW(hwnd_, PBM_SETPOS, static_cast<WPARAM>(value), 0); }
int ProgressBar::Value() const { return static_cast<int>(SendMessageW(hwnd_, PBM_GETPOS, 0, 0)); }

ListView::ListView(Window& form, Control* container, std::wstring name, int index, const Rect& r, bool checkBoxes,
                   DWORD style)
    : Control(form, container, std::move(name), index) {
    CreateChild(WC_LISTVIEWW, L"", style | WS_TABSTOP, WS_EX_CLIENTEDGE, r);
    DWORD ex = LVS_EX_FULLROWSELECT | (checkBoxes ? LVS_EX_CHECKBOXES : 0);
    SendMessageW(hwnd_, LVM_SETEXTENDEDLISTVIEWSTYLE, ex, ex);
}
int ListView::View() const {
    switch (GetWindowLongW(hwnd_, GWL_STYLE) & LVS_TYPEMASK) {
        case LVS_REPORT: return 3;
        case LVS_SMALLICON: return 1;
        case LVS_LIST: return 2;
        default: return 0;
    }
}
int ListView::ColumnCount() const {
    HWND header = reinterpret_cast<HWND>(SendMessageW(hwnd_, LVM_GETHEADER, 0, 0));
    return header ? static_cast<int>(SendMessageW(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
}
int ListView::AddColumn(const std::wstring& header, int width) {
    LVCOLUMNW col{};
    col.mask = LVCF_FMT | LVCF_WIDTH | LVCF_TEXT | LVCF_SUBITEM;
    col.fmt = LVCFMT_LEFT;
    col.cx = width;
    col.pszText = const_cast<wchar_t*>(header.c_str());
    col.iSubItem = ColumnCount();
    return static_cast<int>(
        SendMessageW(hwnd_, LVM_INSERTCOLUMNW, static_cast<WPARAM>(col.iSubItem), reinterpret_cast<LPARAM>(&col)));
}
int ListView::ColumnWidth(int column) const {
    return static_cast<int>(SendMessageW(hwnd_, LVM_GETCOLUMNWIDTH, static_cast<WPARAM>(column), 0));
}
void ListView::SetColumnWidth(int column, int width) {
    RequireWindow();
    // A width the list view refuses is an error, not a silent no-op.
    if (!SendMessageW(hwnd_, LVM_SETCOLUMNWIDTH, static_cast<WPARAM>(column), MAKELPARAM(width, 0)))
        vb::Raise(vb::ErrInvalidCall);
}
std::wstring ListView::ColumnHeader(int column) const {
    wchar_t buffer[260] = {};
    LVCOLUMNW col{};
    col.mask = LVCF_TEXT;
    col.pszText = buffer;
    col.cchTextMax = 260;
    if (!SendMessageW(hwnd_, LVM_GETCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&col)))
        vb::Raise(vb::ErrSubscript);
    return buffer;
}
void ListView::SetColumnHeader(int column, const std::wstring& header) {
    LVCOLUMNW col{};
    col.mask = LVCF_TEXT;
    col.pszText = const_cast<wchar_t*>(header.c_str());
    if (!SendMessageW(hwnd_, LVM_SETCOLUMNW, static_cast<WPARAM>(column), reinterpret_cast<LPARAM>(&col)))
        vb::Raise(vb::ErrSubscript);
}
int ListView::Count() const { return static_cast<int>(SendMessageW(hwnd_, LVM_GETITEMCOUNT, 0, 0)); }
int ListView::AddItem(const std::wstring& text) {
    LVITEMW item{};
    item.mask = LVIF_TEXT;
    item.iItem = Count();
    item.pszText = const_cast<wchar_t*>(text.c_str());
    return static_cast<int>(SendMessageW(hwnd_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item)));
}
void ListView::SetSubItem(int itemIndex, int column, const std::wstring& text) {
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = const_cast<wchar_t*>(text.c_str());
    SendMessageW(hwnd_, LVM_SETITEMTEXTW, static_cast<WPARAM>(itemIndex), reinterpret_cast<LPARAM>(&item));
}
std::wstring ListView::ItemText(int itemIndex, int column) const {
    wchar_t buffer[1024] = {};
    LVITEMW item{};
    item.iSubItem = column;
    item.pszText = buffer;
    item.cchTextMax = 1024;
    SendMessageW(hwnd_, LVM_GETITEMTEXTW, static_cast<WPARAM>(itemIndex), reinterpret_cast<LPARAM>(&item));
    return buffer;
}
bool ListView::Checked(int itemIndex) const {
    LRESULT state = SendMessageW(hwnd_, LVM_GETITEMSTATE, static_cast<WPARAM>(itemIndex), LVIS_STATEIMAGEMASK);
    return ((state & LVIS_STATEIMAGEMASK) >> 12) == 2;
}
void ListView::SetChecked(int itemIndex, bool checked) {
    LVITEMW item{};
    item.stateMask = LVIS_STATEIMAGEMASK;
    item.state = INDEXTOSTATEIMAGEMASK(checked ? 2 : 1);
    SendMessageW(hwnd_, LVM_SETITEMSTATE, static_cast<WPARAM>(itemIndex), reinterpret_cast<LPARAM>(&item));
}
void ListView::ClearCurrent() {
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = 0;
    SendMessageW(hwnd_, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&item));
}
void ListView::Clear() { SendMessageW(hwnd_, LVM_DELETEALLITEMS, 0, 0); }
int ListView::SelectedRow() const {
    if (!hwnd_) return -1;
    return static_cast<int>(SendMessageW(hwnd_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}
bool ListView::Selected(int itemIndex) const {
    return (SendMessageW(hwnd_, LVM_GETITEMSTATE, static_cast<WPARAM>(itemIndex), LVIS_SELECTED) & LVIS_SELECTED) != 0;
}
void ListView::SetSelected(int itemIndex, bool selected) {
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED;
    item.state = selected ? LVIS_SELECTED : 0;
    SendMessageW(hwnd_, LVM_SETITEMSTATE, static_cast<WPARAM>(itemIndex), reinterpret_cast<LPARAM>(&item));
}
LRESULT ListView::OnNotify(NMHDR* header) {
    if (header->code == NM_CLICK && OnItemClick) {
        OnItemClick(reinterpret_cast<NMITEMACTIVATE*>(header)->iItem);
        return 0;
    }
    if (header->code != LVN_ITEMCHANGED || !OnItemCheck) return 0;
    auto* change = reinterpret_cast<NMLISTVIEW*>(header);
    if (!(change->uChanged & LVIF_STATE)) return 0;
    // A row's first state image is set when it is inserted: that is no check by anyone.
    UINT oldImage = (change->uOldState & LVIS_STATEIMAGEMASK) >> 12;
    UINT newImage = (change->uNewState & LVIS_STATEIMAGEMASK) >> 12;
    if (oldImage != 0 && newImage != 0 && oldImage != newImage) OnItemCheck(change->iItem);
    return 0;
}

StatusBar::StatusBar(Window& form, std::wstring name, int panels) : Control(form, nullptr, std::move(name), -1) {
    CreateChild(STATUSCLASSNAMEW, L"", SBARS_SIZEGRIP, 0, Rect{});
    std::vector<int> edges(static_cast<size_t>(std::max(panels, 1)));
    for (size_t i = 0; i < edges.size(); ++i) edges[i] = static_cast<int>(i + 1) * 150;
    edges.back() = -1;
    SendMessageW(hwnd_, SB_SETPARTS, edges.size(), reinterpret_cast<LPARAM>(edges.data()));
}
std::wstring StatusBar::PanelText(long panel) const {
    if (panel < 1) vb::Raise(vb::ErrSubscript);
    WPARAM part = static_cast<WPARAM>(panel - 1);
    int n = LOWORD(SendMessageW(hwnd_, SB_GETTEXTLENGTHW, part, 0));
    std::wstring s(static_cast<size_t>(n) + 1, L'\0');
    SendMessageW(hwnd_, SB_GETTEXTW, part, reinterpret_cast<LPARAM>(s.data()));
    s.resize(static_cast<size_t>(n));
    return s;
}
void StatusBar::SetPanelText(long panel, const std::wstring& text) {
    if (panel < 1) vb::Raise(vb::ErrSubscript);
    SendMessageW(hwnd_, SB_SETTEXTW, static_cast<WPARAM>(panel - 1), reinterpret_cast<LPARAM>(text.c_str()));
}
void StatusBar::SetPanelToolTip(long panel, const std::wstring& text) {
    if (panel < 1) vb::Raise(vb::ErrSubscript);
    RequireWindow();
    if (!tips_) {
        tips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                                CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr,
                                reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(hwnd_, GWLP_HINSTANCE)), nullptr);
        if (!tips_) return;
    }
    if (tipTexts_.size() < static_cast<size_t>(panel)) tipTexts_.resize(static_cast<size_t>(panel));
    const bool isNew = tipTexts_[static_cast<size_t>(panel - 1)].empty();
    tipTexts_[static_cast<size_t>(panel - 1)] = text;
    TOOLINFOW info{};
    info.cbSize = TTTOOLINFOW_V2_SIZE;
    info.uFlags = TTF_SUBCLASS;
    info.hwnd = hwnd_;
    info.uId = static_cast<UINT_PTR>(panel);
    info.lpszText = const_cast<wchar_t*>(tipTexts_[static_cast<size_t>(panel - 1)].c_str());
    SendMessageW(hwnd_, SB_GETRECT, static_cast<WPARAM>(panel - 1), reinterpret_cast<LPARAM>(&info.rect));
    if (text.empty())
        SendMessageW(tips_, TTM_DELTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    else
        SendMessageW(tips_, isNew ? TTM_ADDTOOLW : TTM_SETTOOLINFOW, 0, reinterpret_cast<LPARAM>(&info));
}
std::wstring StatusBar::PanelToolTip(long panel) const {
    if (panel < 1) vb::Raise(vb::ErrSubscript);
    return static_cast<size_t>(panel) <= tipTexts_.size() ? tipTexts_[static_cast<size_t>(panel - 1)] : std::wstring();
}
void StatusBar::RefreshToolTips() {
    if (!tips_) return;
    for (size_t i = 0; i < tipTexts_.size(); ++i) {
        if (tipTexts_[i].empty()) continue;
        TOOLINFOW info{};
        info.cbSize = TTTOOLINFOW_V2_SIZE;
        info.hwnd = hwnd_;
        info.uId = i + 1;
        SendMessageW(hwnd_, SB_GETRECT, i, reinterpret_cast<LPARAM>(&info.rect));
        SendMessageW(tips_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&info));
    }
}

// ---- Window ----

Window::Window(std::wstring name) : name_(std::move(name)) { Windows().push_back(this); }

Window::~Window() {
    if (hwnd_) {
        SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
        DestroyWindow(hwnd_);
        hwnd_ = nullptr;
    }
    Windows().erase(std::remove(Windows().begin(), Windows().end(), this), Windows().end());
}

std::vector<Window*> Window::LoadedWindows() {
    std::vector<Window*> loaded;
    for (Window* w : Windows())
        if (w->Loaded()) loaded.push_back(w);
    return loaded;
}

void Window::Create(const std::wstring& caption, int clientWidth, int clientHeight, DWORD style, DWORD exStyle,
                    HWND owner) {
    RegisterClasses();
    RECT r{0, 0, clientWidth, clientHeight};
    AdjustWindowRectEx(&r, style, FALSE, exStyle);
    HWND created = CreateWindowExW(exStyle, kFormClass, caption.c_str(), style, CW_USEDEFAULT, CW_USEDEFAULT,
                                   r.right - r.left, r.bottom - r.top, owner, nullptr, ModuleInstance(), this);
    if (!created) {
        vb::NoteLastDllError();
        vb::Raise(vb::ErrInternal);
    }
}

LRESULT CALLBACK Window::Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    Window* self = nullptr;
    if (msg == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        // An MDI child made with CreateWindowEx gets its creation data wrapped in an MDICREATESTRUCT.
        if (create->dwExStyle & WS_EX_MDICHILD)
            self = reinterpret_cast<Window*>(reinterpret_cast<MDICREATESTRUCTW*>(create->lpCreateParams)->lParam);
        else
            self = static_cast<Window*>(create->lpCreateParams);
        self->hwnd_ = hwnd;
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    } else {
        self = reinterpret_cast<Window*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    }
    if (!self) return DefWindowProcW(hwnd, msg, wParam, lParam);
    // Windows hides a window with its owner's minimize (the hide that the default handling of
    // that message makes comes inside it) and shows it again with the restore; any other hide is
    // the code's own.
    const bool ownerCloses = msg == WM_SHOWWINDOW && !wParam && lParam == SW_PARENTCLOSING;
    if (msg == WM_SHOWWINDOW && (wParam || (!ownerCloses && !self->ownerClosing_))) self->hiddenWithOwner_ = false;
    if (ownerCloses) self->hiddenWithOwner_ = self->ownerClosing_ = true;
    LRESULT result = 0;
    try {
        result = self->OnMessage(msg, wParam, lParam);
    } catch (...) {
        // Each handler traps its own errors; nothing may unwind through the system.
        vb::CaptureCurrentException();
        vb::Err().Clear();
    }
    if (ownerCloses) self->ownerClosing_ = false;
    if (msg == WM_NCDESTROY) self->Destroyed();
    return result;
}

void Window::Destroyed() {
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    hwnd_ = nullptr;
    // The controls' windows went with this one. Their objects stay until this object goes, as
    // code still running for the window may name them; without a handle they act on nothing.
    for (auto& c : controls_) c->hwnd_ = nullptr;
    retiredControls_.insert(retiredControls_.end(), std::make_move_iterator(controls_.begin()),
                            std::make_move_iterator(controls_.end()));
    controls_.clear();
}

LRESULT Window::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) { return DefaultMessage(msg, wParam, lParam); }

LRESULT Window::DefaultMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == UnloadSoonMessage() && msg != 0) {
        Unload();
        return 0;
    }
    switch (msg) {
        case WM_COMMAND:
            if (lParam) {
                if (Control* c = ControlFromHandle(reinterpret_cast<HWND>(lParam))) c->OnCommand(HIWORD(wParam));
                return 0;
            }
            break;
        case WM_NOTIFY: {
            auto* header = reinterpret_cast<NMHDR*>(lParam);
            if (Control* c = ControlFromHandle(header->hwndFrom)) return c->OnNotify(header);
            return 0;
        }
        case WM_SETCURSOR:
            if (HCURSOR cursor = static_cast<HCURSOR>(vb::ScreenCursorOverride())) {
                SetCursor(cursor);
                return TRUE;
            }
            break;
        case WM_SIZE:
            for (auto& c : controls_)
                if (dynamic_cast<StatusBar*>(c.get())) SendMessageW(c->Handle(), WM_SIZE, 0, 0);
            break;
        case WM_CLOSE:
            if (!OnQueryUnload()) DestroyWindow(hwnd_);
            return 0;
        case WM_DESTROY:
            OnUnload();
            break;
        default:
            break;
    }
    return SystemMessage(msg, wParam, lParam);
}

LRESULT Window::SystemMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hwnd_, msg, wParam, lParam);
}

long Window::Left() const {
    RECT r{};
    GetWindowRect(hwnd_, &r);
    if (GetWindowLongW(hwnd_, GWL_STYLE) & WS_CHILD)
        MapWindowPoints(HWND_DESKTOP, GetParent(hwnd_), reinterpret_cast<POINT*>(&r), 2);
    return PixelsToTwipsX(r.left);
}
long Window::Top() const {
    RECT r{};
    GetWindowRect(hwnd_, &r);
    if (GetWindowLongW(hwnd_, GWL_STYLE) & WS_CHILD)
        MapWindowPoints(HWND_DESKTOP, GetParent(hwnd_), reinterpret_cast<POINT*>(&r), 2);
    return PixelsToTwipsY(r.top);
}
long Window::Width() const {
    RECT r{};
    GetWindowRect(hwnd_, &r);
    return PixelsToTwipsX(r.right - r.left);
}
long Window::Height() const {
    RECT r{};
    GetWindowRect(hwnd_, &r);
    return PixelsToTwipsY(r.bottom - r.top);
}
void Window::Move(long left, long top, std::optional<long> width, std::optional<long> height) {
    if (!hwnd_) vb::Raise(vb::ErrInvalidCall);
    if ((width && *width < 0) || (height && *height < 0)) vb::Raise(vb::ErrInvalidCall);
    UINT flags = SWP_NOZORDER | SWP_NOACTIVATE;
    if (!width && !height) flags |= SWP_NOSIZE;
    int w = TwipsToPixelsX(width ? *width : Width());
    int h = TwipsToPixelsY(height ? *height : Height());
    SetWindowPos(hwnd_, nullptr, TwipsToPixelsX(left), TwipsToPixelsY(top), w, h, flags);
}

std::wstring Window::Caption() const {
    int n = GetWindowTextLengthW(hwnd_);
    std::wstring s(static_cast<size_t>(n) + 1, L'\0');
    n = GetWindowTextW(hwnd_, s.data(), n + 1);
    s.resize(static_cast<size_t>(n > 0 ? n : 0));
    return s;
}
void Window::SetCaption(const std::wstring& caption) { SetWindowTextW(hwnd_, caption.c_str()); }

bool Window::Visible() const { return hwnd_ && (GetWindowLongW(hwnd_, GWL_STYLE) & WS_VISIBLE) != 0; }
void Window::Show() {
    if (hwnd_) ShowWindow(hwnd_, SW_SHOW);
}
void Window::Hide() {
    if (hwnd_) ShowWindow(hwnd_, SW_HIDE);
}

namespace {
thread_local int t_modalDepth = 0;
}  // namespace

int ModalDepth() { return t_modalDepth; }

int MenuPositionByCaption(HMENU menu, const std::wstring& caption, CaptionMatch match) {
    const int count = menu ? GetMenuItemCount(menu) : 0;
    for (int i = 0; i < count; ++i) {
        wchar_t text[256] = {};
        GetMenuStringW(menu, static_cast<UINT>(i), text, 255, MF_BYPOSITION);
        const std::wstring item = text;
        if (match == CaptionMatch::Whole ? item == caption : item.rfind(caption, 0) == 0) return i;
    }
    return -1;
}

bool MdiChildCloseItemRect(HWND frame, RECT& onScreen) {
    HMENU bar = frame ? GetMenu(frame) : nullptr;
    const int count = bar ? GetMenuItemCount(bar) : 0;
    for (int i = 0; i < count; ++i)
        if (GetMenuItemID(bar, i) == SC_CLOSE && GetMenuItemRect(frame, bar, static_cast<UINT>(i), &onScreen))
            return true;
    return false;
}
ModalScope::ModalScope() { ++t_modalDepth; }
ModalScope::~ModalScope() { --t_modalDepth; }

void Window::ShowModal() {
    if (!hwnd_) vb::Raise(vb::ErrInvalidCall);
    ModalScope modal;
    struct Collect {
        HWND self;
        std::vector<HWND> disabled;
    } collect{hwnd_, {}};
    struct Enum {
        static BOOL CALLBACK Add(HWND w, LPARAM p) {
            auto* c = reinterpret_cast<Collect*>(p);
            if (w != c->self && IsWindowVisible(w) && IsWindowEnabled(w)) c->disabled.push_back(w);
            return TRUE;
        }
    };
    HWND previous = GetActiveWindow();
    if (previous == hwnd_) previous = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), &Enum::Add, reinterpret_cast<LPARAM>(&collect));
    // The owner waits for the answer even while it is hidden (a frame sitting in the
    // notification area), as a dialog box's owner does: whatever asks it for commands then sees
    // it disabled, whichever module's loop holds it.
    HWND owner = GetWindow(hwnd_, GW_OWNER);
    if (owner && IsWindowEnabled(owner) &&
        std::find(collect.disabled.begin(), collect.disabled.end(), owner) == collect.disabled.end())
        collect.disabled.push_back(owner);
    for (HWND w : collect.disabled) EnableWindow(w, FALSE);
    Show();
    SetForegroundWindow(hwnd_);
    HWND self = hwnd_;
    MSG msg;
    while (IsWindow(self) && IsWindowVisible(self)) {
        BOOL got = GetMessageW(&msg, nullptr, 0, 0);
        if (got == 0) {
            PostQuitMessage(static_cast<int>(msg.wParam));
            break;
        }
        if (got < 0) break;
        if (!IsDialogMessageW(self, &msg)) {
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    for (HWND w : collect.disabled)
        if (IsWindow(w)) EnableWindow(w, TRUE);
    // Hidden while the windows under it were still disabled, the modal window hands the activation
    // to some other program's window; the window it was shown over gets it back.
    if (!GetActiveWindow()) {
        HWND back = IsWindow(self) ? GetWindow(self, GW_OWNER) : nullptr;
        if (!back || !IsWindowVisible(back) || !IsWindowEnabled(back)) back = previous;
        if (back && IsWindow(back) && IsWindowVisible(back) && IsWindowEnabled(back)) SetForegroundWindow(back);
    }
}

void Window::Unload() {
    if (hwnd_) DestroyWindow(hwnd_);
}

void Window::UnloadSoon() {
    if (hwnd_) PostMessageW(hwnd_, UnloadSoonMessage(), 0, 0);
}

void Window::Refresh() {
    if (hwnd_) RedrawWindow(hwnd_, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

int Window::WindowState() const {
    if (IsIconic(hwnd_)) return 1;
    if (IsZoomed(hwnd_)) return 2;
    return 0;
}
void Window::SetWindowState(int state) {
    ShowWindow(hwnd_, state == 1 ? SW_MINIMIZE : state == 2 ? SW_MAXIMIZE : SW_RESTORE);
}

bool Window::IsMdiChild() const {
    if (GetWindowLongW(hwnd_, GWL_EXSTYLE) & WS_EX_MDICHILD) return true;
    auto* extender = Find<MdiExtender>(L"mdiExt");
    return extender && extender->ParentForm();
}

std::vector<Control*> Window::Controls() const {
    std::vector<Control*> list;
    list.reserve(controls_.size());
    for (auto& c : controls_) list.push_back(c.get());
    return list;
}

Control* Window::ControlByName(std::wstring_view name, int index) const {
    for (auto& c : controls_)
        if ((index < 0 || c->Index() == index) && vb::TextEquals(c->Name(), name)) return c.get();
    return nullptr;
}

Control* Window::ControlFromHandle(HWND hwnd) const {
    for (; hwnd && hwnd != hwnd_; hwnd = GetParent(hwnd))
        for (auto& c : controls_)
            if (c->Handle() == hwnd) return c.get();
    return nullptr;
}

Control* Window::ActiveControl() const { return ControlFromHandle(GetFocus()); }

}  // namespace win
