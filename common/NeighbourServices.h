// What the common library reaches of the host frame and of the options window. The options
// window hands over its default instance when it is built; until then there is none, and
// tests put their own fakes in place.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "vb/VbList.h"
#include "win/Window.h"

// The options window's default instance (created on first use by whoever supplies it);
// nullptr when no options window exists in this deliverable.
void SetOptionsWindowAccessor(std::function<win::Window*()> accessor);
win::Window* OptionsWindowDefault();

// A tool window that works over the options window switches the options window's controls off
// while it is open and gives them back only when it was the one that switched them off.
class OptionsWindowHold {
public:
    // Switches the loaded options window's controls off; nothing when there is none.
    void Take();
    // Switches them on again when Take switched them off; a second call does nothing.
    void GiveBack();

private:
    bool held_ = false;
};

// The host frame: the ParentForm of a form's MDI extender "mdiExt"; nullptr when it has none.
win::Window* HostFrameOf(const win::Window& form);

// The host frame's status bar "sta1", reached through the options window; nullptr when absent.
win::StatusBar* HostStatusBar();

class AutoAssociateDialog;

// What the data model reaches of the options window's members and dialogs. The window
// implements it and installs itself while it lives; without one (the chooser, most tests)
// the data model reads and writes its files and simply skips these calls.
class OptionsWindowServices {
public:
    // frmInfo: its text box txtMsg takes the text, chkDontDisplayAgain is hidden, shown modal.
    virtual void ShowInfo(const std::wstring& text) = 0;
    // frmAlias, loaded without being shown: its count property takes the number of alias records.
    virtual void SetAliasCount(long count) = 0;
    // True while edits of the override lists, the category tree or the aliases are unsaved.
    virtual bool NeedToSaveUserChoices() const = 0;
    virtual void SetNeedToSaveUserChoices(bool value) = 0;
    // The category tree's program nodes whose short path is that of a stale override entry;
    // element 0 empty.
    virtual vb::List<HTREEITEM> GetNodesToBeRemoved() = 0;
    // Removes a program node from the tree; saveNow is passed on to SaveUserChoices.
    virtual void RemoveProgram(HTREEITEM node, bool saveNow) = 0;

    // What the built-in default associations use. Without them (a window that does not offer
    // the defaults) nothing is offered.
    // True while the category file still carries the marker category.
    virtual bool CategoryFileUntouched() const { return false; }
    // The shared instance of frmAutoAssociate; nullptr when there is none.
    virtual AutoAssociateDialog* AutoAssociate() { return nullptr; }
    // Adds one program-list row (fields: the five program fields; lineIndex: the tag).
    virtual void AddProgramListRow(win::ListView& /*list*/, const std::vector<std::wstring>& /*fields*/,
                                   const std::wstring& /*lineIndex*/, bool /*checked*/) {}
    // Adds the program of the source list's selected row under the subcategory's "Programs" node.
    virtual void AddProgramToSubcategory(HTREEITEM /*subcategory*/, win::ListView& /*source*/, bool /*saveNow*/) {}
    // Adds the extension (with its registry record index) under the subcategory's "Extensions" node.
    virtual void AddExtensionToSubcategory(HTREEITEM /*subcategory*/, const std::wstring& /*extension*/,
                                           long /*recordIndex*/, bool /*saveNow*/) {}
    // Scrolls the category tree to its left edge.
    virtual void ScrollChoicesToLeft() {}

    // What the association restorer uses. Its closing sets the options window's FormUnloaded.
    virtual void SetFormUnloaded(bool /*value*/) {}
    // Reloads the present extension and association keys and refills the extension list; true
    // when it ran.
    virtual bool RedisplayExtensionList() { return false; }
    // A tool window's work over the options window (a snapshot being saved, a restore) begins
    // and ends: meanwhile a close of the options window waits, as it does for its own work.
    virtual void ToolWorkBegins() {}
    virtual void ToolWorkEnds() {}

protected:
    ~OptionsWindowServices() = default;
};

// Install (nullptr removes); answers the previous one.
OptionsWindowServices* SetOptionsWindowServices(OptionsWindowServices* services);
// nullptr when no options window is there.
OptionsWindowServices* OptionsServices();

// An extension list as the options window ("lvwExts") and the previewer window show it: rows
// added with a key and a text, a text in sub-item 1, and a whole-number tag per row.
class ExtensionListView {
public:
    // Adds a row at the end; answers its index (from 0).
    virtual long AddExtensionRow(const std::wstring& key, const std::wstring& text) = 0;
    virtual void SetRowSubItem(long row, int subItem, const std::wstring& text) = 0;
    virtual void SetRowTag(long row, long tag) = 0;

protected:
    ~ExtensionListView() = default;
};

// frmAutoAssociate, the dialog that offers the built-in default associations set by set. It only
// answers with its three flags; its buttons never close it, the caller does.
class AutoAssociateDialog {
public:
    virtual bool Loaded() const = 0;
    virtual void ShowModeless() = 0;
    virtual void Unload() = 0;
    // The caption of label lbl(index): 0 description, 2 title, 3 extensions, 4 sets left.
    virtual void SetLabel(int index, const std::wstring& caption) = 0;
    // lvwPrograms: report view with check boxes.
    virtual win::ListView& Programs() = 0;
    virtual bool AddSelected() const = 0;  // "Add" (True) or "Don't Add" (False)
    virtual bool AddAll() const = 0;       // "Automatic"
    virtual bool Answered() const = 0;     // any of the three buttons
    virtual void SetAnswered(bool value) = 0;

protected:
    ~AutoAssociateDialog() = default;
};

// A window of the options library with a periodic step: the options window's timer calls
// TimerEvent on every loaded window that is one.
class PeriodicWindow {
public:
    virtual void TimerEvent() = 0;

protected:
    ~PeriodicWindow() = default;
};
