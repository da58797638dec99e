#include "OptionsListView.h"

OptionsListView::OptionsListView(win::Window& form, win::Control* container, std::wstring name, int index,
                                 const win::Rect& r)
    : win::ListView(form, container, std::move(name), index, r, false, LVS_REPORT | LVS_SHOWSELALWAYS | LVS_SINGLESEL) {
    if (hwnd_)
        ListView_SetExtendedListViewStyleEx(hwnd_, LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES,
                                            LVS_EX_FULLROWSELECT | LVS_EX_GRIDLINES);
}

std::wstring OptionsListView::RowKey(int row) const {
    return row >= 0 && static_cast<size_t>(row) < rows_.size() ? rows_[row].key : std::wstring();
}

std::wstring OptionsListView::RowTag(int row) const {
    return row >= 0 && static_cast<size_t>(row) < rows_.size() ? rows_[row].tag : std::wstring();
}

void OptionsListView::SetRowKey(int row, const std::wstring& key) {
    if (row < 0) return;
    if (rows_.size() <= static_cast<size_t>(row)) rows_.resize(row + 1);
    rows_[row].key = key;
}

void OptionsListView::SetRowTagText(int row, const std::wstring& tag) {
    if (row < 0) return;
    if (rows_.size() <= static_cast<size_t>(row)) rows_.resize(row + 1);
    rows_[row].tag = tag;
}

void OptionsListView::SetSubItemColour(int row, int column, long colour) {
    if (row < 0) return;
    if (rows_.size() <= static_cast<size_t>(row)) rows_.resize(row + 1);
    if (colour < 0)
        rows_[row].colours.erase(column);
    else
        rows_[row].colours[column] = colour;
}

long OptionsListView::SubItemColour(int row, int column) const {
    if (row < 0 || static_cast<size_t>(row) >= rows_.size()) return -1;
    auto it = rows_[row].colours.find(column);
    return it == rows_[row].colours.end() ? -1 : it->second;
}

void OptionsListView::ClearRows() {
    Clear();
    rows_.clear();
}

void OptionsListView::BeginFill() {
    if (fillDepth_++ == 0 && hwnd_) SendMessageW(hwnd_, WM_SETREDRAW, FALSE, 0);
}

void OptionsListView::EndFill() {
    if (fillDepth_ == 0 || --fillDepth_ != 0 || !hwnd_) return;
    SendMessageW(hwnd_, WM_SETREDRAW, TRUE, 0);
    InvalidateRect(hwnd_, nullptr, TRUE);
}

long OptionsListView::AddExtensionRow(const std::wstring& key, const std::wstring& text) {
    int row = AddItem(text);
    SetRowKey(row, key);
    return row;
}

void OptionsListView::SetRowSubItem(long row, int subItem, const std::wstring& text) {
    SetSubItem(static_cast<int>(row), subItem, text);
}

void OptionsListView::SetRowTag(long row, long tag) { SetRowTagText(static_cast<int>(row), std::to_wstring(tag)); }

LRESULT OptionsListView::OnNotify(NMHDR* header) {
    if (header->code == NM_CUSTOMDRAW) {
        auto* draw = reinterpret_cast<NMLVCUSTOMDRAW*>(header);
        switch (draw->nmcd.dwDrawStage) {
            case CDDS_PREPAINT:
                return CDRF_NOTIFYITEMDRAW;
            case CDDS_ITEMPREPAINT:
                return rows_.size() > draw->nmcd.dwItemSpec && !rows_[draw->nmcd.dwItemSpec].colours.empty()
                           ? CDRF_NOTIFYSUBITEMDRAW
                           : CDRF_DODEFAULT;
            case CDDS_ITEMPREPAINT | CDDS_SUBITEM: {
                long colour = SubItemColour(static_cast<int>(draw->nmcd.dwItemSpec), draw->iSubItem);
                draw->clrText = colour < 0 ? GetSysColor(COLOR_WINDOWTEXT) : static_cast<COLORREF>(colour);
                return CDRF_DODEFAULT;
            }
            default:
                return CDRF_DODEFAULT;
        }
    }
    return win::ListView::OnNotify(header);
}
