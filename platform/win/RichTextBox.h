// The rich-text box: the system's rich edit control (riched20), loaded from and saved to
// rich text in memory.
#pragma once
#include <string>

#include "win/Window.h"

namespace win {

class RichTextBox : public Control {
public:
    RichTextBox(Window& form, Control* container, std::wstring name, int index, const Rect& r,
                DWORD style = ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | WS_VSCROLL);
    // Replaces the content with a rich-text document (bytes as they stand in a file); the
    // control shows a document that is no rich text as plain text. False when it failed.
    bool LoadRtf(const std::string& document);
    // The content as a rich-text document.
    std::string Rtf() const;
    // The content as plain text, paragraphs ended by CR LF.
    std::wstring PlainText() const;
};

}  // namespace win
