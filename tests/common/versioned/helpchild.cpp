// Started by the help engine's test: asks the system's WinHelp for the file it is given (one that
// is missing) and ends with a code that tells the call came back, shown or refused.
#include <windows.h>

#include "../HelpChild.h"
#include "basWinAPI_Help.h"

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return 2;
    const BOOL shown = SystemHelpEngines().OpenWinHelp(nullptr, argv[1], HELP_CONTEXT, 1);
    return shown ? helpchild::kReturnedShown : helpchild::kReturnedRefused;
}
