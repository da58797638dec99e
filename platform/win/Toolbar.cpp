#include "win/Toolbar.h"

#include <windowsx.h>

#include <algorithm>

#include "vb/VbError.h"

namespace win {

namespace {

const wchar_t kBarClass[] = L"LumoxToolbar";
constexpr int kMargin = 2;         // around the row of buttons
constexpr int kButtonBorder = 6;   // picture to button edge, both sides together
constexpr int kEmptyButton = 23;   // a button without pictures

HINSTANCE BarModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&BarModule), &module);
    return module;
}

void RegisterBarClass() {
    static bool done = false;
    if (done) return;
    done = true;
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_BAR_CLASSES};
    InitCommonControlsEx(&icc);
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.style = CS_DBLCLKS;
    wc.hInstance = BarModule();
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(static_cast<INT_PTR>(COLOR_BTNFACE + 1));
    wc.lpfnWndProc = &Toolbar::BarProc;
    wc.lpszClassName = kBarClass;
    RegisterClassExW(&wc);
}

}  // namespace

Toolbar::Toolbar(Window& form, std::wstring name) : Control(form, nullptr, std::move(name), -1) {
    RegisterBarClass();
    CreateChild(kBarClass, L"", WS_CLIPSIBLINGS, 0, Rect{0, 0, 100, BarHeight()});
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    tips_ = CreateWindowExW(WS_EX_TOPMOST, TOOLTIPS_CLASSW, nullptr, WS_POPUP | TTS_ALWAYSTIP | TTS_NOPREFIX,
                            CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, hwnd_, nullptr, BarModule(),
                            nullptr);
    // Several-line tips (text with line breaks) need a maximum width to break at all.
    if (tips_) SendMessageW(tips_, TTM_SETMAXTIPWIDTH, 0, 400);
}

Toolbar::~Toolbar() {
    if (hwnd_ && IsWindow(hwnd_)) SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    if (tips_ && IsWindow(tips_)) DestroyWindow(tips_);
    for (Button& b : buttons_)
        for (HBITMAP& p : b.pictures)
            if (p) DeleteObject(p);
}

Toolbar::Button& Toolbar::At(int button) {
    if (button < 1 || button > ButtonCount()) vb::Raise(vb::ErrSubscript);
    return buttons_[static_cast<size_t>(button - 1)];
}
const Toolbar::Button& Toolbar::At(int button) const {
    if (button < 1 || button > ButtonCount()) vb::Raise(vb::ErrSubscript);
    return buttons_[static_cast<size_t>(button - 1)];
}

int Toolbar::AddButton() {
    buttons_.emplace_back();
    int number = ButtonCount();
    if (tips_) {
        TOOLINFOW info{};
        info.cbSize = TTTOOLINFOW_V2_SIZE;
        info.uFlags = TTF_SUBCLASS;
        info.hwnd = hwnd_;
        info.uId = static_cast<UINT_PTR>(number);
        info.lpszText = const_cast<wchar_t*>(L"");
        SendMessageW(tips_, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&info));
    }
    return number;
}

void Toolbar::SetPicture(int button, ToolbarPicture which, HBITMAP picture) {
    HBITMAP& slot = At(button).pictures[static_cast<int>(which)];
    if (slot && slot != picture) DeleteObject(slot);
    slot = picture;
}
HBITMAP Toolbar::Picture(int button, ToolbarPicture which) const {
    return At(button).pictures[static_cast<int>(which)];
}

void Toolbar::SetToolTipText(int button, const std::wstring& text) {
    At(button).tip = text;
    if (!tips_) return;
    TOOLINFOW info{};
    info.cbSize = TTTOOLINFOW_V2_SIZE;
    info.hwnd = hwnd_;
    info.uId = static_cast<UINT_PTR>(button);
    info.lpszText = const_cast<wchar_t*>(At(button).tip.c_str());
    SendMessageW(tips_, TTM_UPDATETIPTEXTW, 0, reinterpret_cast<LPARAM>(&info));
}
std::wstring Toolbar::ToolTipText(int button) const { return At(button).tip; }

void Toolbar::SetKey(int button, const std::wstring& key) { At(button).key = key; }
std::wstring Toolbar::Key(int button) const { return At(button).key; }

void Toolbar::SetStyle(int button, int style) { At(button).style = style; }
int Toolbar::Style(int button) const { return At(button).style; }

SIZE Toolbar::PictureSize(HBITMAP picture) const {
    BITMAP bm{};
    if (!picture || !GetObjectW(picture, sizeof(bm), &bm)) return SIZE{0, 0};
    return SIZE{bm.bmWidth, bm.bmHeight};
}

float Toolbar::ButtonWidth(int button) const {
    const Button& b = At(button);
    if (b.width >= 0) return b.width;
    if (b.style == tbrSeparator) return 8;
    int widest = 0;
    for (HBITMAP p : b.pictures) widest = std::max<int>(widest, PictureSize(p).cx);
    return static_cast<float>(widest ? widest + kButtonBorder : kEmptyButton);
}
void Toolbar::SetButtonWidth(int button, float width) {
    if (width < 0) width = 0;  // a window narrower than its buttons leaves the spacer empty
    At(button).width = width;
}

int Toolbar::ButtonHeight(int button) const {
    At(button);
    int tallest = 0;
    for (const Button& b : buttons_)
        for (HBITMAP p : b.pictures) tallest = std::max<int>(tallest, PictureSize(p).cy);
    return tallest ? tallest + kButtonBorder : kEmptyButton - 1;
}

int Toolbar::BarHeight() const {
    int height = buttons_.empty() ? kEmptyButton - 1 : ButtonHeight(1);
    return height + 2 * kMargin + 2;  // and the etched line along the top
}

RECT Toolbar::ButtonRect(int button) const {
    At(button);
    int left = kMargin;
    for (int i = 1; i < button; ++i) left += static_cast<int>(ButtonWidth(i) + 0.5f);
    int width = static_cast<int>(ButtonWidth(button) + 0.5f);
    int top = kMargin + 2;
    return RECT{left, top, left + width, top + ButtonHeight(button)};
}

int Toolbar::ButtonAt(int x, int y) const {
    POINT pt{x, y};
    for (int i = 1; i <= ButtonCount(); ++i) {
        RECT r = ButtonRect(i);
        if (PtInRect(&r, pt)) return i;
    }
    return 0;
}

bool Toolbar::Clickable(int button) const {
    if (button < 1 || button > ButtonCount()) return false;
    int style = At(button).style;
    return style != tbrSeparator && style != tbrPlaceholder && IsWindowEnabled(hwnd_);
}

void Toolbar::Click(int button) {
    if (!Clickable(button)) return;
    if (OnButtonClick) OnButtonClick(button, At(button).key);
}

void Toolbar::UpdateTips() {
    if (!tips_) return;
    for (int i = 1; i <= ButtonCount(); ++i) {
        TOOLINFOW info{};
        info.cbSize = TTTOOLINFOW_V2_SIZE;
        info.hwnd = hwnd_;
        info.uId = static_cast<UINT_PTR>(i);
        info.rect = ButtonRect(i);
        SendMessageW(tips_, TTM_NEWTOOLRECTW, 0, reinterpret_cast<LPARAM>(&info));
    }
}

void Toolbar::Refresh(int how) {
    RequireWindow();
    if (how == 1) {
        RECT r{};
        GetWindowRect(hwnd_, &r);
        SetWindowPos(hwnd_, nullptr, 0, 0, r.right - r.left, BarHeight(), SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
    UpdateTips();
    InvalidateRect(hwnd_, nullptr, TRUE);
}

void Toolbar::SetHot(int button) {
    if (button == hot_) return;
    hot_ = button;
    InvalidateRect(hwnd_, nullptr, FALSE);
}

void Toolbar::Paint(HDC dc) {
    RECT client{};
    GetClientRect(hwnd_, &client);
    // Drawn off screen first, so that a hot-tracking repaint does not flicker.
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP canvas = CreateCompatibleBitmap(dc, std::max<LONG>(client.right, 1), std::max<LONG>(client.bottom, 1));
    HGDIOBJ oldCanvas = SelectObject(memory, canvas);
    FillRect(memory, &client, GetSysColorBrush(COLOR_BTNFACE));
    RECT line = client;
    DrawEdge(memory, &line, EDGE_ETCHED, BF_TOP);

    HDC pictures = CreateCompatibleDC(dc);
    for (int i = 1; i <= ButtonCount(); ++i) {
        const Button& b = buttons_[static_cast<size_t>(i - 1)];
        RECT r = ButtonRect(i);
        if (b.style == tbrSeparator) {
            RECT sep{(r.left + r.right) / 2 - 1, r.top + 2, (r.left + r.right) / 2 + 1, r.bottom - 2};
            DrawEdge(memory, &sep, EDGE_ETCHED, BF_LEFT);
            continue;
        }
        if (b.style == tbrPlaceholder) continue;
        bool down = pressed_ == i && hot_ == i;
        HBITMAP picture = b.pictures[static_cast<int>(ToolbarPicture::Up)];
        if (down && b.pictures[static_cast<int>(ToolbarPicture::Down)])
            picture = b.pictures[static_cast<int>(ToolbarPicture::Down)];
        else if (hot_ == i && b.pictures[static_cast<int>(ToolbarPicture::UpOver)])
            picture = b.pictures[static_cast<int>(ToolbarPicture::UpOver)];
        if (!picture) continue;
        SIZE size = PictureSize(picture);
        int x = r.left + (r.right - r.left - size.cx) / 2;
        int y = r.top + (r.bottom - r.top - size.cy) / 2;
        HGDIOBJ old = SelectObject(pictures, picture);
        BitBlt(memory, x, y, size.cx, size.cy, pictures, 0, 0, SRCCOPY);
        SelectObject(pictures, old);
    }
    DeleteDC(pictures);
    BitBlt(dc, 0, 0, client.right, client.bottom, memory, 0, 0, SRCCOPY);
    SelectObject(memory, oldCanvas);
    DeleteObject(canvas);
    DeleteDC(memory);
}

LRESULT CALLBACK Toolbar::BarProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    auto* self = reinterpret_cast<Toolbar*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!self) return DefWindowProcW(hwnd, msg, wParam, lParam);
    try {
        return self->Message(msg, wParam, lParam);
    } catch (...) {
        vb::CaptureCurrentException();
        vb::Err().Clear();
        return 0;
    }
}

LRESULT Toolbar::Message(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_PAINT: {
            PAINTSTRUCT ps;
            HDC dc = BeginPaint(hwnd_, &ps);
            Paint(dc);
            EndPaint(hwnd_, &ps);
            return 0;
        }
        case WM_ERASEBKGND:
            return 1;
        case WM_MOUSEMOVE: {
            if (!tracking_) {
                TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, hwnd_, 0};
                tracking_ = TrackMouseEvent(&track) != FALSE;
            }
            int over = ButtonAt(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
            SetHot(Clickable(over) ? over : 0);
            return 0;
        }
        case WM_MOUSELEAVE:
            tracking_ = false;
            if (!pressed_) SetHot(0);
            return 0;
        case WM_LBUTTONDOWN:
        case WM_LBUTTONDBLCLK: {
            int at = ButtonAt(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
            if (!Clickable(at)) return 0;
            pressed_ = at;
            hot_ = at;
            SetCapture(hwnd_);
            InvalidateRect(hwnd_, nullptr, FALSE);
            return 0;
        }
        case WM_LBUTTONUP: {
            int was = pressed_;
            pressed_ = 0;
            if (GetCapture() == hwnd_) ReleaseCapture();
            int at = ButtonAt(GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam));
            SetHot(Clickable(at) ? at : 0);
            InvalidateRect(hwnd_, nullptr, FALSE);
            if (was && was == at) Click(was);
            return 0;
        }
        case WM_CAPTURECHANGED:
            if (pressed_) {
                pressed_ = 0;
                InvalidateRect(hwnd_, nullptr, FALSE);
            }
            return 0;
        case WM_SIZE:
            UpdateTips();
            InvalidateRect(hwnd_, nullptr, FALSE);
            return 0;
        default:
            break;
    }
    return DefWindowProcW(hwnd_, msg, wParam, lParam);
}

}  // namespace win
