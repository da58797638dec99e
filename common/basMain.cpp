#include "basMain.h"

#include "basErrorHandler.h"
#include "basIO.h"
#include "basWinAPI_Windows.h"

void Main() {
    ProcGuard guard;
    GetWindowsFolder();
    GetSystemFolder();
    LoadSearchPaths();
}
