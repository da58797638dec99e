// The chooser program: COM starts it to serve its class; run on its own (or with
// /RegServer) it registers itself and ends at once, /UnregServer removes the registration.
#include <windows.h>

#include "ChuselServer.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR commandLine, int) {
    return chusel::RunServer(commandLine ? commandLine : L"");
}
