// The options window's two lists: report-view list views whose rows carry a key and a tag as
// the window's handlers read them back, and whose sub-items may be drawn in a colour of their own
// (an aliased program).
#pragma once
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "NeighbourServices.h"
#include "win/Window.h"

class OptionsListView : public win::ListView, public ExtensionListView {
public:
    OptionsListView(win::Window& form, win::Control* container, std::wstring name, int index, const win::Rect& r);

    // A row's key ("k" & record index) and tag (the line or record index as text).
    std::wstring RowKey(int row) const;
    std::wstring RowTag(int row) const;
    void SetRowKey(int row, const std::wstring& key);
    void SetRowTagText(int row, const std::wstring& tag);
    // Colour (&HBBGGRR) of one sub-item; -1 the list's own.
    void SetSubItemColour(int row, int column, long colour);
    long SubItemColour(int row, int column) const;
    void ClearRows();
    void BeginFill();
    void EndFill();  // redraws once

    // ExtensionListView
    long AddExtensionRow(const std::wstring& key, const std::wstring& text) override;
    void SetRowSubItem(long row, int subItem, const std::wstring& text) override;
    void SetRowTag(long row, long tag) override;

    LRESULT OnNotify(NMHDR* header) override;

private:
    struct RowData {
        std::wstring key;
        std::wstring tag;
        std::map<int, long> colours;
    };
    std::vector<RowData> rows_;
    int fillDepth_ = 0;
};
