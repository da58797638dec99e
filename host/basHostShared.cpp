#include "basHostShared.h"

#include <windows.h>
#include <oleauto.h>

#include <cwctype>

#include "HostContract.h"
#include "HostFrame.h"
#include "basErrorHandler.h"
#include "basIO.h"
#include "basStrings.h"
#include "basUserInterface.h"
#include "basWinAPI_Registry.h"
#include "com/ComDispatch.h"
#include "com/ComModule.h"
#include "vb/VbText.h"

void RegisterTypeLibFile(const std::wstring& path, const std::wstring& helpFolder) {
    ProcGuard guard;
    ITypeLib* library = nullptr;
    if (FAILED(LoadTypeLib(path.c_str(), &library)) || !library) return;
    std::wstring help = helpFolder;
    RegisterTypeLib(library, const_cast<LPOLESTR>(path.c_str()), help.empty() ? nullptr : &help[0]);
    library->Release();
}

std::wstring ValidateNumericText(const std::wstring& text) {
    ProcGuard guard;
    std::wstring result;
    bool pointTaken = false;
    size_t pos = 0;
    auto isDigit = [](wchar_t c) { return c >= L'0' && c <= L'9'; };
    while (pos < text.size()) {
        // The start of a number: a digit, a sign, or a point that a digit follows.
        size_t start = pos;
        while (start < text.size()) {
            const wchar_t c = text[start];
            if (isDigit(c) || c == L'+' || c == L'-') break;
            if (c == L'.' && start + 1 < text.size() && isDigit(text[start + 1])) break;
            ++start;
        }
        if (start >= text.size()) break;

        bool anotherPass = false;
        size_t i = start;
        for (; i < text.size(); ++i) {
            const wchar_t c = static_cast<wchar_t>(std::towupper(text[i]));
            if (isDigit(c)) {
                result += c;
            } else if (c == L' ') {
            } else if (c == L',') {
                if (pointTaken) break;
            } else if (c == L'.') {
                if (pointTaken) break;
                pointTaken = true;
                result += c;
            } else if (c == L'%') {
                result += c;
                break;
            } else if (c == L'E') {
                result += c;
                anotherPass = true;
                break;
            } else if (c == L'+' || c == L'-') {
                result += c;
                break;
            } else {
                break;
            }
        }
        if (!anotherPass) break;
        pos = i + 1;
    }
    return result.empty() ? L"0" : result;
}

bool HostGetLoadedForm(const std::wstring& name, const HostFrame* frame) {
    ProcGuard guard;
    try {
        for (win::Window* w : win::Window::LoadedWindows())
            if (vb::TextEquals(w->Name(), name)) return true;
    } catch (...) {
        vb::Err().Clear();
    }
    if (!frame) return false;
    std::vector<IDispatch*> children;
    try {
        children = frame->MdiChildren();
    } catch (...) {
        vb::Err().Clear();
    }
    for (IDispatch* child : children) {
        if (!child) continue;
        vb::Variant childName;
        if (FAILED(com::TryCallByName(child, contract::MemberName, DISPATCH_PROPERTYGET, {}, &childName))) continue;
        try {
            if (vb::TextEquals(childName.ToString(), name)) return true;
        } catch (...) {
            vb::Err().Clear();
        }
    }
    vb::Err().Clear();
    return false;
}

void HostFormGetSetPosAndSize(short action, win::Window& form, short& newWindowState) {
    FormGetSetPosAndSize(action, form);
    if (action != plRestore) return;
    ProcGuard guard;
    short state = 0;
    try {
        const std::wstring section = GetTagProperty(form, L"RegistryName");
        vb::Variant stored = Registry(regGet, L"1", section, vb::Variant(L"WindowState"), std::nullopt,
                                      vb::Variant(0L), HKEY_LOCAL_MACHINE, true);
        const long number = stored.ToLong();
        if (number >= -32768 && number <= 32767) state = static_cast<short>(number);
    } catch (...) {
        // What cannot be read as a state restores the normal one.
        vb::Err().Clear();
        state = 0;
    }
    newWindowState = state;
}

namespace {

// A directory listing as the run time's Dir gives it: plain files only, one name per call.
class FileListing {
public:
    explicit FileListing(const std::wstring& pattern) { find_ = FindFirstFileW(pattern.c_str(), &data_); }
    ~FileListing() {
        if (find_ != INVALID_HANDLE_VALUE) FindClose(find_);
    }
    FileListing(const FileListing&) = delete;
    FileListing& operator=(const FileListing&) = delete;

    std::wstring Next() {
        while (find_ != INVALID_HANDLE_VALUE) {
            if (!first_ && !FindNextFileW(find_, &data_)) {
                FindClose(find_);
                find_ = INVALID_HANDLE_VALUE;
                break;
            }
            first_ = false;
            const DWORD skip = FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
            if (data_.dwFileAttributes & skip) continue;
            return data_.cFileName;
        }
        return {};
    }

private:
    HANDLE find_ = INVALID_HANDLE_VALUE;
    WIN32_FIND_DATAW data_{};
    bool first_ = true;
};

}  // namespace

std::vector<long> GetFiles(const std::wstring& pattern, std::vector<std::wstring>& names) {
    ProcGuard guard;
    names.clear();
    try {
        FileListing listing(pattern);
        auto next = [&] { return listing.Next(); };
        const std::wstring wildcard = GetFileName(pattern);
        // Every match passes the extension test: the file system also matches "*.dll" against
        // the short name of "x.dllx", which must never count as a library.
        for (;;) {
            vb::Variant valid = FileWithValidExtension(listing.Next(), wildcard, next);
            if (valid.IsEmpty()) break;
            names.push_back(valid.ToString());
        }
        if (names.empty()) return {};
        return Sort(names, vb::TextCompare);
    } catch (...) {
        TrapError(L"GetFiles");
        names.clear();
        return {};
    }
}
