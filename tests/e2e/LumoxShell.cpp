// Plays the shell's part of a file open, which Wine's own shell never does: creates the
// suite's hook by its CLSID and calls Execute with the request, with the suite switched on;
// when the hook leaves the open to the shell, opens the file in the usual way. A suite that is
// already switched on (a running host) stays as it is.
//
//   lumox_shell.exe FILE [VERB]   one open request for FILE (the verb defaults to "open")
//   lumox_shell.exe --demo        installs a small suite under %TEMP%\LumoxDemo (the chooser,
//                                 an archive with two programs for ".lxadd", the hook) and
//                                 opens its letter.lxadd: the chooser's list shows at the pointer
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <string>

#include "E2ESupport.h"

namespace {

void Print(const std::wstring& text) { e2e::PrintLine(text); }

int Open(const std::wstring& file, const std::string& verb) {
    // A running host keeps its own switch: only a suite that is off is switched on, and off again.
    const bool wasOn = e2e::SwitchedOn();
    if (!wasOn) e2e::SwitchOn();
    const e2e::ShellResult result = e2e::PlayShell(file, verb);
    if (!wasOn) e2e::SwitchOff();
    if (result.hook == S_OK)
        Print(L"The chooser handled the open (hook answered S_OK).");
    else if (result.hook == S_FALSE)
        Print(std::wstring(L"The chooser left the open to the shell (S_FALSE); the shell ") +
              (result.openedByShell ? L"opened the file." : L"could not open it."));
    else
        Print(L"The hook could not be asked: is Zintra.dll registered?");
    return result.hook == S_OK || result.hook == S_FALSE ? 0 : 1;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        Print(L"usage: lumox_shell.exe FILE [VERB] | --demo");
        return 2;
    }
    CoInitialize(nullptr);
    int code = 0;
    if (std::wstring(argv[1]) == L"--demo") {
        wchar_t temp[MAX_PATH] = {};
        GetTempPathW(MAX_PATH, temp);
        e2e::Suite suite;
        std::wstring failure;
        if (!e2e::InstallSuite(std::wstring(temp) + L"LumoxDemo", suite, failure)) {
            Print(L"Could not install the demo suite: " + failure);
            code = 1;
        } else {
            Print(L"Opening " + suite.Doc(L"letter.lxadd") + L"; pick a row (Enter, a click) or press Escape.");
            code = Open(suite.Doc(L"letter.lxadd"), "open");
            for (const wchar_t* name : {L"editor", L"viewer", L"winprog"}) {
                for (const std::wstring& line : e2e::LogLines(suite.Log(name), 1, 1500))
                    Print(std::wstring(name) + L" was started: " + line.substr(line.find(L'|') + 1));
            }
        }
    } else {
        std::string verb = "open";
        if (argc > 2) {
            const std::wstring wide = argv[2];
            verb.assign(wide.begin(), wide.end());
        }
        code = Open(argv[1], verb);
    }
    CoUninitialize();
    return code;
}
