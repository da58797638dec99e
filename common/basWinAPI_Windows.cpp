#include "basWinAPI_Windows.h"

#include <atomic>
#include <cwctype>

#include "basErrorHandler.h"
#include "vb/VbText.h"
#include "vb/VbThreadState.h"

namespace {

// The options window tells our items apart by their ids from 5000 up.
std::atomic<long> g_nextMenuId{5000};

// The chooser fills these per request on its server's threads, so each thread keeps its own.
struct FolderState {
    std::wstring windowsFolder;
    std::wstring systemFolder;
};
FolderState& Folders() { return vb::ThreadInstance<FolderState>(); }

using FolderCall = UINT(WINAPI*)(LPWSTR, UINT);

std::wstring ReadFolder(FolderCall call) {
    std::wstring buffer(256, L'\0');
    UINT offered = static_cast<UINT>(buffer.size() - 1);
    UINT answer = call(buffer.data(), offered);
    // A folder longer than the buffer answers the size it needs.
    while (answer > offered) {
        buffer.assign(static_cast<size_t>(answer) + 1, L'\0');
        offered = answer;
        answer = call(buffer.data(), offered);
    }
    buffer.resize(answer);
    return buffer;
}

bool IsCaption(const vb::Variant& v) { return v.IsString() || v.IsInteger() || v.IsLong() || v.IsDouble(); }

}  // namespace

HMENU GetVbMenuHandleItem(HWND window, const std::vector<int>& positions) {
    return Trapped(L"GetVbMenuHandleItem", [&]() -> HMENU {
        HMENU menu = GetMenu(window);
        if (CheckAPIResult(menu ? 1 : 0, L"GetVbMenuHandleItem", 0) == 0) return nullptr;
        for (int position : positions) {
            menu = GetSubMenu(menu, position);
            if (CheckAPIResult(menu ? 1 : 0, L"GetVbMenuHandleItem", 0) == 0) return nullptr;
        }
        return menu;
    }, static_cast<HMENU>(nullptr));
}

std::vector<long> CreateMenuItem(HMENU& menu, const vb::Variant& items) {
    return Trapped(L"CreateMenuItem", [&]() -> std::vector<long> {
        std::vector<long> ids;
        if (!items.IsArray()) return ids;
        if (!menu) {
            menu = CreatePopupMenu();
            if (CheckAPIResult(menu ? 1 : 0, L"CreateMenuItem", 0) == 0) return ids;
        }
        for (const vb::Variant& item : items.AsArray()) {
            if (!item.IsArray() || item.AsArray().size() < 3) continue;
            const vb::Variant::Array& d = item.AsArray();
            long id = d[1].ToLong();
            if (id < 0) id = g_nextMenuId++;
            if (!IsCaption(d[2])) continue;
            std::wstring caption = d[2].ToString();
            BOOL ok = AppendMenuW(menu, static_cast<UINT>(d[0].ToLong()), static_cast<UINT_PTR>(id), caption.c_str());
            if (CheckAPIResult(ok, L"CreateMenuItem", 0) == 0) return {};
            ids.push_back(id);
        }
        return ids;
    });
}

int GetMouseButtonState() {
    int state = 0;
    if (GetKeyState(VK_LBUTTON) & 0x8000) state += 1;
    if (GetKeyState(VK_RBUTTON) & 0x8000) state += 2;
    if (GetKeyState(VK_MBUTTON) & 0x8000) state += 4;
    return state;
}

void GetWindowsFolder() {
    TrappedVoid(L"GetWindowsFolder", [] { Folders().windowsFolder = ReadFolder(GetWindowsDirectoryW); });
}

void GetSystemFolder() {
    TrappedVoid(L"GetSystemFolder", [] { Folders().systemFolder = ReadFolder(GetSystemDirectoryW); });
}

const std::wstring& WindowsFolder() {
    if (Folders().windowsFolder.empty()) GetWindowsFolder();
    return Folders().windowsFolder;
}

const std::wstring& SystemFolder() {
    if (Folders().systemFolder.empty()) GetSystemFolder();
    return Folders().systemFolder;
}

bool IsWindowsOrSystemDrive(const std::wstring& drive) {
    if (drive.empty()) return false;
    std::wstring_view letter(drive.data(), 1);
    for (const std::wstring* folder : {&WindowsFolder(), &SystemFolder()}) {
        if (!folder->empty() && vb::TextEquals(letter, std::wstring_view(folder->data(), 1))) return true;
    }
    return false;
}

std::wstring WindowsVersionName(DWORD platformId, DWORD major, DWORD minor, bool& isWindows9x) {
    switch (platformId) {
        case VER_PLATFORM_WIN32_WINDOWS:
            isWindows9x = true;
            switch (minor) {
                case 0: return L"Windows 95";
                case 10: return L"Windows 98";
                case 90: return L"Windows ME";
                default: return L"Windows ?? P1";
            }
        case VER_PLATFORM_WIN32_NT:
            switch (major) {
                case 3: return L"Windows NT 3.51";
                case 4: return L"Windows NT 4.0";
                case 5:
                    if (minor == 0) return L"Windows 2000";
                    if (minor == 1) return L"Windows XP";
                    return L"Windows ?? P2";
                default: return L"Windows ?? P2";
            }
        default:
            return L"Failed";
    }
}

std::wstring GetWindowsVersionName(bool& isWindows9x) {
    return Trapped(L"GetWindowsVersionName", [&]() -> std::wstring {
        OSVERSIONINFOW info{};
        info.dwOSVersionInfoSize = sizeof(info);
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
        if (!GetVersionExW(&info)) return L"Failed";
#pragma GCC diagnostic pop
        return WindowsVersionName(info.dwPlatformId, info.dwMajorVersion, info.dwMinorVersion, isWindows9x);
    });
}
