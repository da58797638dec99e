// A library that registers in name only, with a version resource whose build part is
// above 32767: each regsvr32 run leaves a letter in the file named by LUMOX_HOST_REG_LOG
// ("U" unregister, "R" register); registering fails while LUMOX_HOST_REG_FAIL is set.
#include <windows.h>

namespace {

void Note(const char* letter) {
    char path[MAX_PATH];
    DWORD n = GetEnvironmentVariableA("LUMOX_HOST_REG_LOG", path, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return;
    HANDLE file = CreateFileA(path, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    DWORD written = 0;
    WriteFile(file, letter, 1, &written, nullptr);
    CloseHandle(file);
}

}  // namespace

extern "C" HRESULT WINAPI DllRegisterServer() {
    Note("R");
    return GetEnvironmentVariableA("LUMOX_HOST_REG_FAIL", nullptr, 0) ? E_FAIL : S_OK;
}

extern "C" HRESULT WINAPI DllUnregisterServer() {
    Note("U");
    return S_OK;
}
