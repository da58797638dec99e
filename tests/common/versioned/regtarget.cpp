// A COM server in name only: its registration entry points leave a letter in the file named
// by LUMOX_REGTARGET_LOG ("U" unregister, "R" register) and fail when LUMOX_REGTARGET_FAIL is set.
#include <windows.h>

namespace {

void Note(const char* letter) {
    char path[MAX_PATH];
    DWORD n = GetEnvironmentVariableA("LUMOX_REGTARGET_LOG", path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return;
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, letter, 1, &written, nullptr);
    CloseHandle(file);
}

HRESULT Answer() { return GetEnvironmentVariableA("LUMOX_REGTARGET_FAIL", nullptr, 0) ? E_FAIL : S_OK; }

}  // namespace

extern "C" HRESULT WINAPI DllRegisterServer() {
    Note("R");
    return Answer();
}

extern "C" HRESULT WINAPI DllUnregisterServer() {
    Note("U");
    return Answer();
}
