// The alias dialog: a company, product and version the user types to be shown for a program in
// place of what its version information gave (or failed to give). The pair (as found, as typed)
// is an alias record of the data model; assigning one rewrites the program's rows in the program
// list and its nodes in the category tree in blue, removing it puts the found texts back.
#pragma once
#include <windows.h>

#include <string>

#include "OptionsEditor.h"
#include "OptionsListView.h"
#include "basAliases.h"
#include "win/TreeView.h"
#include "win/Window.h"

// What the dialog changes besides the records: the options window's program list and category
// tree, and its save-pending flag (the window's timer then writes the alias file).
class AliasDialogOwner {
public:
    virtual OptionsListView& AliasProgramList() = 0;
    virtual win::TreeNodes& AliasTree() = 0;
    virtual void SetNeedToSaveUserChoices(bool value) = 0;

protected:
    ~AliasDialogOwner() = default;
};

// The options window installs itself while it lives (nullptr removes); answers the previous one.
AliasDialogOwner* SetAliasDialogOwner(AliasDialogOwner* owner);
AliasDialogOwner* CurrentAliasDialogOwner();

class frmAlias : public win::Window {
    // Ahead of the controls: the window procedure runs while they are being created.
    bool activationPending_ = false;

public:
    frmAlias();

    static frmAlias& Default();
    static frmAlias* Existing();
    static void Release();

    // The record the dialog works on (the alias array is 1-based); -1: none.
    long AliasRecordIndex = -1;

    // Filling empty boxes from the labels, the company text selected.
    void Form_Activate();
    // Gives the selected program of the list the typed alias; always hides the dialog.
    void cbAssign_Click();
    // Nothing changes; the dialog hides.
    void cbCancel_Click();
    // Undoes the alias of the program selected in the program list (record AliasRecordIndex).
    void RemoveAlias();

    win::Label& lblCompanyName;
    win::Label& lblProductName;
    win::Label& lblVersion;
    win::TextBox& txtCompanyName;
    win::TextBox& txtProductName;
    win::TextBox& txtVersion;
    win::Button& cbAssign;
    win::Button& cbCancel;

protected:
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void Assign();
    void AddCaption(const wchar_t* name, const wchar_t* text, int left, int top, int width);
};

// The shared frmAlias as the program list's mouse-down prepares it: loaded on first use, each
// call reaching the instance of the moment.
AliasDialogPreparation& AliasDialogOfLibrary();

// The run of rows around row index (from 0) of the sorted program list that show the same
// version (sub-item 1) and description (sub-item 2), compared exactly: first and last row.
void GetSimilarItemsInOrderdListView(const win::ListView& list, long index, long& first, long& last);
