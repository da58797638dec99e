// What the common library reaches of the host frame and of the options window. The options
// window hands over its default instance when it is built; until then there is none, and
// tests put their own fakes in place.
#pragma once
#include <functional>
#include <string>

#include "win/Window.h"

// The options window's default instance (created on first use by whoever supplies it);
// nullptr when no options window exists in this deliverable.
void SetOptionsWindowAccessor(std::function<win::Window*()> accessor);
win::Window* OptionsWindowDefault();

// The host frame: the ParentForm of a form's MDI extender "mdiExt"; nullptr when it has none.
win::Window* HostFrameOf(const win::Window& form);

// The host frame's status bar "sta1", reached through the options window; nullptr when absent.
win::StatusBar* HostStatusBar();

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
