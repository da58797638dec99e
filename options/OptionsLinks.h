// What the options library's dialogs reach of their surroundings: the host frame (the parent
// form of the options window's MDI extender), the options window itself, and the clipboard.
#pragma once
#include <windows.h>

#include <string>

#include "win/Window.h"

// nullptr while there is no options window inside a frame.
win::Window* HostFrameWindow();
HWND HostFrameHandle();

// The window the user sees the options window in, which owns its modal dialogs: the host frame
// when the options window is its child, the options window itself when it stands alone; nullptr
// when there is neither.
HWND OptionsDialogOwner();

// Repaints the options window when there is one.
void RefreshOptionsWindow();

// Shows the window modally with owner as its owner window (nullptr: none).
void ShowModalOwnedBy(win::Window& form, HWND owner);

// Empties the clipboard and puts the text on it (Unicode and ANSI); false when the clipboard
// could not be had.
bool PutTextOnClipboard(const std::wstring& text);
// Empties the clipboard and puts the document on it in the "Rich Text Format" format, with
// its plain text beside it for programs that take no rich text.
bool PutRichTextOnClipboard(const std::string& rtf, const std::wstring& plainText);
