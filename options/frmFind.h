// The find dialog of the options window's two lists: it keeps the search criteria (it only hides,
// so F3 and Shift+F3 search again with them) and finds the next matching row.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "win/Window.h"

// A list as the search reads it.
class FindableList {
public:
    virtual std::wstring ListName() const = 0;  // "lvwExts" or "lvwPrograms"
    virtual int RowCount() const = 0;
    virtual std::wstring RowText(int row) const = 0;  // rows from 0
    virtual int SubItemCount() const = 0;
    virtual std::wstring SubItemText(int row, int subItem) const = 0;  // sub-items from 1
    virtual int SelectedRow() const = 0;  // -1: none

protected:
    ~FindableList() = default;
};

// A list view as FindableList.
class ListViewFindable : public FindableList {
public:
    explicit ListViewFindable(const win::ListView& list) : list_(list) {}
    std::wstring ListName() const override { return list_.Name(); }
    int RowCount() const override { return list_.Count(); }
    std::wstring RowText(int row) const override { return list_.ItemText(row); }
    int SubItemCount() const override { return list_.ColumnCount() - 1; }
    std::wstring SubItemText(int row, int subItem) const override { return list_.ItemText(row, subItem); }
    int SelectedRow() const override { return list_.SelectedRow(); }

private:
    const win::ListView& list_;
};

class frmFind : public win::Window {
    // Ahead of the controls: the window procedure runs while they are being created.
    bool findRequested_ = false;

public:
    frmFind();

    static frmFind& Default();
    static frmFind* Existing();
    static void Release();

    // The 1-based index of the matching row; nothing when none matches, "Find" was not pressed
    // or the list is neither "lvwExts" nor "lvwPrograms". direction: 1 or -1.
    std::optional<long> Search(const FindableList* list, long direction);

    // Shows the dialog modally over owner (may be null) until "Find" or "Cancel" hides it.
    void ShowOver(HWND owner);
    bool FindRequested() const { return findRequested_; }

    win::TextBox& txt;
    win::Label& lbl0;
    win::Container& fraOptions;
    win::OptionButton& optDown;
    win::OptionButton& optUp;
    win::CheckBox& chkExactPhrase;
    win::CheckBox& chkExactCase;
    win::CheckBox& chkFromStart;
    win::CheckBox& chkColumnsOnly;
    win::Button& cmdFind;
    win::Button& cmdCancel;

    // The check boxes as the control array numbers them.
    win::CheckBox& chk(int index);

protected:
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool OnQueryUnload() override;

private:
    std::optional<long> SearchFromCurrentItem(const FindableList& list, long direction);
    long ItemMatches(const std::wstring& text, long step);
    void DirectionChosen();
};

// Position (from 1) of search in text: from the front for a forward step, else from the back;
// 0 when absent. caseSensitive selects the binary comparison.
long InStrByDirection(const std::wstring& text, const std::wstring& search, long step, bool caseSensitive);
