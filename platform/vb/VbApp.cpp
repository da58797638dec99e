#include "vb/VbApp.h"

extern "C" IMAGE_DOS_HEADER __ImageBase;

namespace vb {

HMODULE ThisModule() { return reinterpret_cast<HMODULE>(&__ImageBase); }

std::wstring ModuleFileName(HMODULE module) {
    std::wstring buf(MAX_PATH, L'\0');
    for (;;) {
        DWORD n = GetModuleFileNameW(module, buf.data(), static_cast<DWORD>(buf.size()));
        if (n == 0) return {};
        if (n < buf.size()) {
            buf.resize(n);
            return buf;
        }
        buf.resize(buf.size() * 2);
    }
}

std::wstring AppPath() {
    std::wstring path = ModuleFileName(ThisModule());
    size_t slash = path.find_last_of(L'\\');
    if (slash == std::wstring::npos) return path;
    std::wstring folder = path.substr(0, slash);
    if (folder.size() == 2 && folder[1] == L':') folder += L'\\';
    return folder;
}

}  // namespace vb
