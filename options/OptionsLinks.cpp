#include "OptionsLinks.h"

#include <cstring>

#include "NeighbourServices.h"
#include "vb/VbText.h"

win::Window* HostFrameWindow() {
    win::Window* options = OptionsWindowDefault();
    return options ? HostFrameOf(*options) : nullptr;
}

HWND HostFrameHandle() {
    win::Window* frame = HostFrameWindow();
    return frame && frame->Loaded() ? frame->Handle() : nullptr;
}

HWND OptionsDialogOwner() {
    win::Window* options = OptionsWindowDefault();
    if (options && options->Loaded()) return GetAncestor(options->Handle(), GA_ROOT);
    return HostFrameHandle();
}

void RefreshOptionsWindow() {
    if (win::Window* options = OptionsWindowDefault()) options->Refresh();
}

void ShowModalOwnedBy(win::Window& form, HWND owner) {
    if (form.Loaded()) SetWindowLongPtrW(form.Handle(), GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner));
    form.ShowModal();
}

namespace {

// Puts bytes on the open clipboard; the clipboard owns the memory once it took it.
bool PutBytes(UINT format, const void* data, size_t size) {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
    if (!memory) return false;
    void* target = GlobalLock(memory);
    if (!target) {
        GlobalFree(memory);
        return false;
    }
    memcpy(target, data, size);
    GlobalUnlock(memory);
    if (!SetClipboardData(format, memory)) {
        GlobalFree(memory);
        return false;
    }
    return true;
}

class OpenClipboardScope {
public:
    OpenClipboardScope() {
        // Another program may hold it for a moment.
        for (int attempt = 0; attempt < 10 && !open_; ++attempt) {
            open_ = OpenClipboard(nullptr) != FALSE;
            if (!open_) Sleep(20);
        }
        if (open_) EmptyClipboard();
    }
    ~OpenClipboardScope() {
        if (open_) CloseClipboard();
    }
    OpenClipboardScope(const OpenClipboardScope&) = delete;
    OpenClipboardScope& operator=(const OpenClipboardScope&) = delete;
    bool IsOpen() const { return open_; }

private:
    bool open_ = false;
};

bool PutPlainText(const std::wstring& text) {
    const std::string ansi = vb::ToAnsi(text);
    bool ok = PutBytes(CF_UNICODETEXT, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    return PutBytes(CF_TEXT, ansi.c_str(), ansi.size() + 1) && ok;
}

}  // namespace

bool PutTextOnClipboard(const std::wstring& text) {
    OpenClipboardScope clipboard;
    return clipboard.IsOpen() && PutPlainText(text);
}

bool PutRichTextOnClipboard(const std::string& rtf, const std::wstring& plainText) {
    static const UINT rtfFormat = RegisterClipboardFormatW(L"Rich Text Format");
    OpenClipboardScope clipboard;
    if (!clipboard.IsOpen()) return false;
    bool ok = PutBytes(rtfFormat, rtf.c_str(), rtf.size() + 1);
    return PutPlainText(plainText) && ok;
}
