#include <windows.h>

#include "vb/VbError.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    vb::SetProjectName(L"Marlden");
    return 0;
}
