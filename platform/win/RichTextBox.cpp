#include "win/RichTextBox.h"

#include <richedit.h>

#include "vb/VbError.h"

namespace win {

namespace {

// The control's window class lives in riched20.dll, which stays loaded for the process.
void LoadRichEditLibrary() {
    static HMODULE library = LoadLibraryW(L"riched20.dll");
    if (!library) {
        vb::NoteLastDllError();
        vb::Raise(vb::ErrInternal);
    }
}

struct ReadCursor {
    const std::string* data;
    size_t position;
};

DWORD CALLBACK ReadFromString(DWORD_PTR cookie, LPBYTE buffer, LONG wanted, LONG* got) {
    auto* cursor = reinterpret_cast<ReadCursor*>(cookie);
    size_t left = cursor->data->size() - cursor->position;
    size_t n = left < static_cast<size_t>(wanted) ? left : static_cast<size_t>(wanted);
    memcpy(buffer, cursor->data->data() + cursor->position, n);
    cursor->position += n;
    *got = static_cast<LONG>(n);
    return 0;
}

DWORD CALLBACK WriteToString(DWORD_PTR cookie, LPBYTE buffer, LONG count, LONG* written) {
    reinterpret_cast<std::string*>(cookie)->append(reinterpret_cast<const char*>(buffer), static_cast<size_t>(count));
    *written = count;
    return 0;
}

}  // namespace

RichTextBox::RichTextBox(Window& form, Control* container, std::wstring name, int index, const Rect& r, DWORD style)
    : Control(form, container, std::move(name), index) {
    LoadRichEditLibrary();
    CreateChild(RICHEDIT_CLASSW, L"", style | WS_TABSTOP, WS_EX_CLIENTEDGE, r);
}

bool RichTextBox::LoadRtf(const std::string& document) {
    RequireWindow();
    ReadCursor cursor{&document, 0};
    EDITSTREAM stream{};
    stream.dwCookie = reinterpret_cast<DWORD_PTR>(&cursor);
    stream.pfnCallback = &ReadFromString;
    SendMessageW(hwnd_, EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&stream));
    return stream.dwError == 0;
}

std::string RichTextBox::Rtf() const {
    RequireWindow();
    std::string document;
    EDITSTREAM stream{};
    stream.dwCookie = reinterpret_cast<DWORD_PTR>(&document);
    stream.pfnCallback = &WriteToString;
    SendMessageW(hwnd_, EM_STREAMOUT, SF_RTF, reinterpret_cast<LPARAM>(&stream));
    return document;
}

std::wstring RichTextBox::PlainText() const {
    RequireWindow();
    GETTEXTLENGTHEX length{GTL_NUMCHARS | GTL_USECRLF, 1200};
    LRESULT n = SendMessageW(hwnd_, EM_GETTEXTLENGTHEX, reinterpret_cast<WPARAM>(&length), 0);
    if (n <= 0) return {};
    std::wstring text(static_cast<size_t>(n) + 1, L'\0');
    GETTEXTEX get{};
    get.cb = static_cast<DWORD>(text.size() * sizeof(wchar_t));
    get.flags = GT_USECRLF;
    get.codepage = 1200;
    LRESULT got = SendMessageW(hwnd_, EM_GETTEXTEX, reinterpret_cast<WPARAM>(&get), reinterpret_cast<LPARAM>(text.data()));
    text.resize(static_cast<size_t>(got > 0 ? got : 0));
    return text;
}

}  // namespace win
