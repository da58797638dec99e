// The host program's entry: the start routine, then the window thread's message loop for as
// long as the frame lives.
#include <windows.h>
#include <ole2.h>

#include "HostFrame.h"
#include "HostMessages.h"
#include "basMain.h"
#include "vb/VbError.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    vb::SetProjectName(L"Marlden");
    InstallHostMessages();
    // The products live on this thread and are shown inside the frame: a single-threaded
    // apartment with OLE's window services.
    if (FAILED(OleInitialize(nullptr))) return 1;

    HostWindows& windows = MarldenWindows();
    Main(windows);
    if (!StartUpEndedProgram() && windows.Frame()) {
        MSG msg;
        while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
            if (windows.PreTranslateMessage(msg)) continue;
            TranslateMessage(&msg);
            DispatchMessageW(&msg);
        }
    }
    OleUninitialize();
    return 0;
}
