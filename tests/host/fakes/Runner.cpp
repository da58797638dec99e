// A program the start-up runs from the Programs folder: leaves its own file name, one a line,
// in the file named by LUMOX_HOST_RUN_LOG.
#include <windows.h>

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    wchar_t log[MAX_PATH];
    DWORD n = GetEnvironmentVariableW(L"LUMOX_HOST_RUN_LOG", log, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return 0;
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    const wchar_t* name = self;
    for (const wchar_t* p = self; *p; ++p)
        if (*p == L'\\') name = p + 1;
    HANDLE file = CreateFileW(log, FILE_APPEND_DATA, FILE_SHARE_READ, nullptr, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL,
                              nullptr);
    if (file == INVALID_HANDLE_VALUE) return 0;
    char line[MAX_PATH * 3];
    int length = WideCharToMultiByte(CP_ACP, 0, name, -1, line, sizeof(line) - 2, nullptr, nullptr);
    if (length > 0) {
        line[length - 1] = '\n';
        DWORD written = 0;
        WriteFile(file, line, static_cast<DWORD>(length), &written, nullptr);
    }
    CloseHandle(file);
    return 0;
}
