// The chooser's list window: a report list of the programs for one file, shown at the mouse
// pointer. It closes itself when the user picks a row or turns to another window, and
// reports the pick through ChosenIndex.
#pragma once
#include <string>
#include <vector>

#include "ForegroundWatch.h"
#include "win/Window.h"

// The row the user chose, 1-based; -1 while nothing is chosen. One per thread of the server.
long& ChosenIndex();

// One row of the list: the two columns' texts, the text colour (0x00BBGGRR) and the tag (the
// row counter).
struct ListRow {
    std::wstring text;
    std::wstring extraInfo;
    COLORREF color = 0;
    long tag = 0;
};

// A report list view whose rows carry their own text colour and whose clicks and keys go
// to the window.
class ChoiceListView : public win::ListView {
public:
    ChoiceListView(win::Window& form, win::Control* container, std::wstring name, int index, const win::Rect& r);

    void AddRow(const ListRow& row);
    void ClearRows();
    int SelectedIndex() const;  // 0-based; -1 when no row is selected
    void Select(int index);

    std::function<void()> OnClick;
    std::function<void()> OnDblClick;
    // A key that gives a character (Enter, Escape, a letter); arrows only move the selection.
    std::function<void(wchar_t)> OnKeyPress;

    LRESULT OnNotify(NMHDR* header) override;

private:
    std::vector<ListRow> rows_;
};

class frmList : public win::Window {
    // Ahead of the controls: the window procedure runs while they are being created.
    bool suppressClick_ = false;
    bool activated_ = false;
    bool timerBusy_ = false;
    bool closing_ = false;
    ForegroundWatch watch_;
    ChoiceListView* listView_ = nullptr;

public:
    frmList();

    // The shared instance, created on first use (a fresh one after the last was unloaded).
    static frmList& Default();
    static frmList* Existing();

    void SetSuppressClick(bool value) { suppressClick_ = value; }

    // Sizes the list view to show rows rows and every column whole, and the window around
    // it, within the work area of the monitor under the pointer (the list scrolls when it
    // needs more); false when the list view's height cannot be told.
    bool FitToRows(long rows);
    // The client area in pixels.
    int InnerWidth() const;
    int InnerHeight() const;

    // Form_Activate: the first activation reads the lock timeout and starts the timer.
    void FormActivate();

    ChoiceListView& lvw;

protected:
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void ReturnChoice();
    void CloseWithoutChoice();
    void tmr1_Timer();
    void EnableTimer(bool enable);
};

// Shows the rows under caption at the mouse pointer and waits until the list closes.
// Answers ChosenIndex (1-based, -1 for no choice), or kListNotSized when the list's height
// could not be told (nothing was shown).
inline constexpr long kListNotSized = -2;
long ShowChoiceList(const std::wstring& caption, const std::vector<ListRow>& rows);
