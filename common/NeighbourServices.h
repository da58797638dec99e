// What the common library reaches of the host frame and of the options window. The options
// window hands over its default instance when it is built; until then there is none, and
// tests put their own fakes in place.
#pragma once
#include <functional>
#include <string>

#include "vb/VbList.h"
#include "win/Window.h"

// The options window's default instance (created on first use by whoever supplies it);
// nullptr when no options window exists in this deliverable.
void SetOptionsWindowAccessor(std::function<win::Window*()> accessor);
win::Window* OptionsWindowDefault();

// The host frame: the ParentForm of a form's MDI extender "mdiExt"; nullptr when it has none.
win::Window* HostFrameOf(const win::Window& form);

// The host frame's status bar "sta1", reached through the options window; nullptr when absent.
win::StatusBar* HostStatusBar();

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

protected:
    ~OptionsWindowServices() = default;
};

// Install (nullptr removes); answers the previous one.
OptionsWindowServices* SetOptionsWindowServices(OptionsWindowServices* services);
// nullptr when no options window is there.
OptionsWindowServices* OptionsServices();
