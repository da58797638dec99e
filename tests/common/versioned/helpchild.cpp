// Started by the help engine's tests: asks the system's WinHelp for the file it is given (one that
// is missing) and ends with a code that tells the call came back, shown or refused. With
// "--html-engine FILE" it asks HTML Help for the file instead and tells which hhctrl.ocx the call
// loaded: the system's, or another one.
#include <windows.h>

#include <string>

#include "../HelpChild.h"
#include "basStrings.h"
#include "basWinAPI_Help.h"
#include "basWinAPI_Windows.h"
#include "vb/VbText.h"

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    if (argc >= 3 && std::wstring(argv[1]) == L"--html-engine") {
        SystemHelpEngines().OpenHtmlHelp(nullptr, argv[2], 0 /* HH_DISPLAY_TOPIC */, 0);
        HMODULE engine = GetModuleHandleW(L"hhctrl.ocx");
        if (!engine) return helpchild::kEngineNotLoaded;
        wchar_t path[MAX_PATH] = {};
        GetModuleFileNameW(engine, path, MAX_PATH);
        return vb::TextEquals(path, JoinPaths(SystemFolder(), L"hhctrl.ocx")) ? helpchild::kEngineFromSystemFolder
                                                                             : helpchild::kEngineFromElsewhere;
    }
    const BOOL shown = SystemHelpEngines().OpenWinHelp(nullptr, argv[1], HELP_CONTEXT, 1);
    return shown ? helpchild::kReturnedShown : helpchild::kReturnedRefused;
}
