#include "frmList.h"

#include <commctrl.h>

#include <algorithm>
#include <cmath>

#include "basErrorHandler.h"
#include "basPlacement.h"
#include "basUserInterface.h"
#include "vb/VbScreen.h"
#include "vb/VbThreadState.h"

namespace {

const UINT_PTR kTimerId = 1;
const UINT kTimerInterval = 100;
// Unloading is posted: the list view is still inside its notification when the choice is made.
const UINT WM_APP_UNLOAD = WM_APP + 1;

struct ChosenIndexTag {};
struct ChosenIndexValue {
    long value = -1;
};

// The character a key gives, as the list's KeyPress sees it; 0 for keys that give none
// (arrows, page and function keys).
wchar_t CharacterOfKey(WORD key) {
    switch (key) {
        case VK_RETURN: return L'\r';
        case VK_ESCAPE: return 27;
        case VK_BACK: return 8;
        case VK_SPACE: return L' ';
        case VK_TAB: return 0;
        default: break;
    }
    if ((key >= '0' && key <= '9') || (key >= 'A' && key <= 'Z')) return static_cast<wchar_t>(key);
    if (key >= VK_NUMPAD0 && key <= VK_DIVIDE) return static_cast<wchar_t>(key);
    return static_cast<wchar_t>(MapVirtualKeyW(key, 2 /* MAPVK_VK_TO_CHAR */) & 0x7FFF);
}

// The list view's size for a wanted one, kept with the window's frame inside the work area of
// the monitor under the pointer, less the placement's margin at each edge. A list cut short
// scrolls, and its bar takes room of its own beside or below the rows.
SIZE BoundedListSize(int width, int height, int frameWidth, int frameHeight) {
    POINT cursor{};
    GetCursorPos(&cursor);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    RECT work{0, 0, GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN)};
    if (GetMonitorInfoW(MonitorFromPoint(cursor, MONITOR_DEFAULTTONEAREST), &monitor)) work = monitor.rcWork;
    const int marginX = static_cast<int>(std::ceil(kPlacementMargin / vb::TwipsPerPixelX()));
    const int marginY = static_cast<int>(std::ceil(kPlacementMargin / vb::TwipsPerPixelY()));
    const int maxWidth = std::max(1, static_cast<int>(work.right - work.left) - 2 * marginX - frameWidth);
    const int maxHeight = std::max(1, static_cast<int>(work.bottom - work.top) - 2 * marginY - frameHeight);
    SIZE size{width, height};
    // Each bar that appears can make room for the other one: two passes settle it.
    for (int pass = 0; pass < 2; ++pass) {
        if (size.cy > maxHeight) size.cx = width + GetSystemMetrics(SM_CXVSCROLL);
        if (size.cx > maxWidth) size.cy = height + GetSystemMetrics(SM_CYHSCROLL);
    }
    size.cx = std::min<LONG>(size.cx, maxWidth);
    size.cy = std::min<LONG>(size.cy, maxHeight);
    return size;
}

}  // namespace

long& ChosenIndex() { return vb::ThreadInstance<ChosenIndexValue, ChosenIndexTag>().value; }

// ---- ChoiceListView ----

ChoiceListView::ChoiceListView(win::Window& form, win::Control* container, std::wstring name, int index,
                               const win::Rect& r)
    // The height routine counts rows and frame only, so the list shows no column header.
    : win::ListView(form, container, std::move(name), index, r, false,
                    LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS | LVS_NOCOLUMNHEADER | LVS_NOSORTHEADER) {
    AddColumn(L"Company - Product", 200);
    AddColumn(L"Version", 80);
}

void ChoiceListView::AddRow(const ListRow& row) {
    const int item = AddItem(row.text);
    SetSubItem(item, 1, row.extraInfo);
    rows_.push_back(row);
}

void ChoiceListView::ClearRows() {
    Clear();
    rows_.clear();
}

int ChoiceListView::SelectedIndex() const {
    return static_cast<int>(SendMessageW(hwnd_, LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

void ChoiceListView::Select(int index) {
    LVITEMW item{};
    item.stateMask = LVIS_SELECTED | LVIS_FOCUSED;
    item.state = LVIS_SELECTED | LVIS_FOCUSED;
    SendMessageW(hwnd_, LVM_SETITEMSTATE, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

LRESULT ChoiceListView::OnNotify(NMHDR* header) {
    switch (header->code) {
        case NM_CUSTOMDRAW: {
            auto* draw = reinterpret_cast<NMLVCUSTOMDRAW*>(header);
            if (draw->nmcd.dwDrawStage == CDDS_PREPAINT) return CDRF_NOTIFYITEMDRAW;
            if (draw->nmcd.dwDrawStage == CDDS_ITEMPREPAINT) {
                const size_t item = static_cast<size_t>(draw->nmcd.dwItemSpec);
                if (item < rows_.size()) draw->clrText = rows_[item].color;
                return CDRF_DODEFAULT;
            }
            return CDRF_DODEFAULT;
        }
        case NM_CLICK:
            if (OnClick) OnClick();
            return 0;
        case NM_DBLCLK:
            if (OnDblClick) OnDblClick();
            return 0;
        case LVN_KEYDOWN: {
            const auto* key = reinterpret_cast<NMLVKEYDOWN*>(header);
            const wchar_t character = CharacterOfKey(key->wVKey);
            if (character != 0 && OnKeyPress) OnKeyPress(character);
            return 0;
        }
        default:
            return win::ListView::OnNotify(header);
    }
}

// ---- frmList ----

frmList::frmList()
    : win::Window(L"frmList"),
      lvw((Create(L"Lumox Choices", 300, 120, WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN,
                  WS_EX_TOOLWINDOW | WS_EX_TOPMOST | WS_EX_CONTROLPARENT),
           Add<ChoiceListView>(nullptr, L"lvw", -1, win::Rect{0, 0, 300, 120}))) {
    listView_ = &lvw;
    // Form_Load.
    OldFormHeight = Height();
    OldFormWidth = Width();
    lvw.SetTag(L"Product");
    lvw.OnClick = [this] { ReturnChoice(); };
    lvw.OnDblClick = [this] { ReturnChoice(); };
    lvw.OnKeyPress = [this](wchar_t character) {
        if (character == VK_ESCAPE)
            CloseWithoutChoice();
        else
            ReturnChoice();
    };
}

frmList& frmList::Default() { return win::DefaultInstance<frmList>::Get(); }
frmList* frmList::Existing() { return win::DefaultInstance<frmList>::Existing(); }

int frmList::InnerWidth() const {
    RECT r{};
    GetClientRect(Handle(), &r);
    return r.right - r.left;
}

int frmList::InnerHeight() const {
    RECT r{};
    GetClientRect(Handle(), &r);
    return r.bottom - r.top;
}

bool frmList::FitToRows(long rows) {
    return Trapped(L"FitToRows", [&]() -> bool {
        // Measured at a size that needs no scroll bars: a bar counts into the frame, and once
        // both bars are there the list view keeps them even when its rows would fit.
        lvw.Move(lvw.Left(), lvw.Top(), GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN));
        const long newHeight = GetListViewHeightForRows(&lvw, rows);
        if (newHeight < 1) return false;
        ListViewAutoSizeColumns(lvw, false, 0);
        // Sized by its header, the last column only fills what is left of the list view; with
        // the header hidden its content is what counts.
        const int lastColumn = lvw.ColumnCount() - 1;
        if (lastColumn >= 0) lvw.SetColumnWidth(lastColumn, LVSCW_AUTOSIZE);
        long total = 0;
        for (int column = 0; column < lvw.ColumnCount(); ++column)
            total += static_cast<long>(SendMessageW(lvw.Handle(), LVM_GETCOLUMNWIDTH, column, 0)) + 2;
        total += 1;
        // The window grows or shrinks with the list view; its frame keeps its size.
        const DWORD style = static_cast<DWORD>(GetWindowLongW(Handle(), GWL_STYLE));
        const DWORD exStyle = static_cast<DWORD>(GetWindowLongW(Handle(), GWL_EXSTYLE));
        RECT frame{0, 0, 0, 0};
        AdjustWindowRectEx(&frame, style, FALSE, exStyle);
        const SIZE inner = BoundedListSize(static_cast<int>(total), static_cast<int>(newHeight),
                                           frame.right - frame.left, frame.bottom - frame.top);
        lvw.Move(lvw.Left(), lvw.Top(), inner.cx, inner.cy);
        SetWindowPos(Handle(), nullptr, 0, 0, lvw.Left() + inner.cx + frame.right - frame.left,
                     lvw.Top() + inner.cy + frame.bottom - frame.top, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
        return true;
    }, false);
}

void frmList::FormActivate() {
    // Every step goes on whatever the one before did.
    if (activated_) return;
    activated_ = true;
    DWORD timeout = 0;
    const bool read = SystemParametersInfoW(SPI_GETFOREGROUNDLOCKTIMEOUT, 0, &timeout, 0) != FALSE;
    watch_.lockTicks = LockTicksFromTimeout(read, timeout, kTimerInterval);
    EnableTimer(true);
    watch_.atActivation = GetForegroundWindow();
    lvw.SetFocus();
}

void frmList::EnableTimer(bool enable) {
    if (!Handle()) return;
    if (enable)
        SetTimer(Handle(), kTimerId, kTimerInterval, nullptr);
    else
        KillTimer(Handle(), kTimerId);
}

void frmList::ReturnChoice() {
    if (suppressClick_ || closing_) return;
    const int selected = lvw.SelectedIndex();
    if (selected >= 0) ChosenIndex() = selected + 1;
    closing_ = true;
    PostMessageW(Handle(), WM_APP_UNLOAD, 0, 0);
}

void frmList::CloseWithoutChoice() {
    if (closing_) return;
    closing_ = true;
    PostMessageW(Handle(), WM_APP_UNLOAD, 0, 0);
}

void frmList::tmr1_Timer() {
    if (timerBusy_ || closing_) return;
    timerBusy_ = true;
    vb::DoEvents();
    if (Handle() && !closing_) {
        const HWND self = Handle();
        const HWND foreground = GetForegroundWindow();
        // The second look happens only where the decision needs it.
        const TickAction action = ForegroundTick(watch_, self, foreground,
                                                 foreground == self ? foreground : GetForegroundWindow());
        switch (action) {
            case TickAction::RequestForeground:
                SetForegroundWindow(self);
                break;
            case TickAction::Close:
                EnableTimer(false);
                CloseWithoutChoice();
                break;
            case TickAction::None:
                break;
        }
    }
    timerBusy_ = false;
}

LRESULT frmList::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
        case WM_ACTIVATE:
            if (LOWORD(wParam) != WA_INACTIVE) FormActivate();
            break;
        case WM_SETFOCUS:
            // The window's own activation gives the keyboard to the window itself; the user's
            // keys belong to the list.
            if (listView_ && listView_->Handle()) SetFocus(listView_->Handle());
            return 0;
        case WM_TIMER:
            if (wParam == kTimerId) {
                tmr1_Timer();
                return 0;
            }
            break;
        case WM_APP_UNLOAD:
            EnableTimer(false);
            Unload();
            return 0;
        case WM_SIZE:
            // The list view fills the window.
            if (listView_ && listView_->Handle()) MoveWindow(listView_->Handle(), 0, 0, LOWORD(lParam), HIWORD(lParam), TRUE);
            break;
        default:
            break;
    }
    return DefaultMessage(msg, wParam, lParam);
}

long ShowChoiceList(const std::wstring& caption, const std::vector<ListRow>& rows) {
    ProcGuard guard;
    frmList& form = frmList::Default();
    form.SetCaption(caption);
    form.lvw.ClearRows();
    for (const ListRow& row : rows) form.lvw.AddRow(row);
    ChosenIndex() = -1;
    if (!form.FitToRows(static_cast<long>(rows.size()))) {
        form.Unload();
        return kListNotSized;
    }
    // The offsets are the inner size's halves in pixels, taken as twips: the pointer lands
    // near the inner area's upper left corner, over the first row.
    PlaceFormAtCursor(form, form.InnerWidth() / 2.0, form.InnerHeight() / 2.0);
    if (!rows.empty()) form.lvw.Select(0);
    form.Show();
    SetForegroundWindow(form.Handle());
    form.FormActivate();
    const HWND window = form.Handle();
    // Until the window has unloaded itself; waiting for messages rather than spinning.
    while (IsWindow(window) && GetLoadedForm(L"frmList")) {
        vb::DoEvents();
        if (!IsWindow(window)) break;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 50, QS_ALLINPUT);
    }
    return ChosenIndex();
}
