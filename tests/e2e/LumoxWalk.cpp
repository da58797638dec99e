// Walks an installed suite as a user does, for a run where nobody watches the screen: starts the
// host, answers the start's windows (checking the first start's message boxes), switches the
// hook on, opens help by F1 in the options window and by the top-left button without its file,
// opens a document through the shell's part and picks the chooser's first row, and exits
// through File > Exit. It prints every
// step, what it saw and a summary, and ends with 0 when every step passed.
//
//   lumox_walk.exe HOST_EXE [--shots FOLDER]
//
// With --shots it prints "SCREEN <name>" where a picture of the screen belongs and waits (at
// most 15 s) for FOLDER\<name>.done, which whoever takes the pictures writes.
#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "E2ESupport.h"
#include "SuiteInstall.h"
#include "SuiteWalk.h"
#include "UserInput.h"

namespace {

void Print(const std::wstring& text) { e2e::PrintLine(text); }

std::wstring FolderOf(const std::wstring& path) { return path.substr(0, path.find_last_of(L'\\')); }

std::wstring ThisFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    return FolderOf(path);
}

bool FirstStartPending() {
    const std::optional<std::wstring> value = e2e::FirstRunValue();
    return !value || CompareStringW(LOCALE_INVARIANT, NORM_IGNORECASE, value->c_str(), -1, L"True", -1) == CSTR_EQUAL;
}

// A rich-text document in the user's temporary folder (Wine registers ".rtf", not ".txt").
std::wstring SampleDocument() {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    const std::wstring folder = std::wstring(temp) + L"LumoxWalk";
    CreateDirectoryW(folder.c_str(), nullptr);
    const std::wstring path = folder + L"\\sample.rtf";
    HANDLE file = CreateFileW(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
        const char text[] = "{\\rtf1\\ansi A sample document, opened through the suite's chooser.\\par}\r\n";
        DWORD written = 0;
        WriteFile(file, text, sizeof(text) - 1, &written, nullptr);
        CloseHandle(file);
    }
    return path;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) {
        Print(L"usage: lumox_walk.exe HOST_EXE [--shots FOLDER]");
        return 2;
    }
    const std::wstring host = argv[1];
    std::wstring shots;
    for (int i = 2; i + 1 < argc; ++i)
        if (std::wstring(argv[i]) == L"--shots") shots = argv[i + 1];

    walk::Snap snap;
    if (!shots.empty()) {
        snap = [&](const std::wstring& name) {
            const std::wstring done = shots + L"\\" + name + L".done";
            DeleteFileW(done.c_str());
            Print(L"SCREEN " + name);
            if (!userinput::WaitUntil([&] { return GetFileAttributesW(done.c_str()) != INVALID_FILE_ATTRIBUTES; },
                                      15000))
                Print(L"  (no picture was taken within 15 s)");
        };
    }

    std::vector<std::pair<std::wstring, bool>> summary;
    auto note = [&](const std::wstring& step, bool ok) {
        summary.emplace_back(step, ok);
        return ok;
    };

    bool ok = true;
    {
        walk::SuiteWalk walk(host, Print, snap);
        const bool first = FirstStartPending();
        walk::StartSeen start;
        ok = note(L"the host started", walk.Start()) &&
             note(first ? L"the first start answered (tip, drive list, defaults, message boxes " +
                              e2e::NumbersText(walk::FirstStartMessages()) + L", welcome)"
                        : L"the start answered (tip, no message box)",
                  walk.PassStart(first, start, 300000));
        if (ok && first) note(L"the desktop's test files, as the first start says", walk.DesktopTestFilesThere());
        ok = ok &&
             note(L"the components registered from " + FolderOf(host) + L"\\Programs",
                  walk.ComponentsRegistered(FolderOf(host) + L"\\Programs")) &&
             note(L"the options window inside the frame", walk.OptionsWindowInFrame());
        // The frame's own switch comes after about 90 s at the latest; only it shows the icon.
        bool automatic = false;
        bool trayShown = false;
        if (ok) ok = note(L"the hook on", walk.HookOn(120000, automatic));
        if (ok) {
            if (automatic)
                trayShown = note(L"the notification-area icon after the frame's own switch", walk.TrayIconPresent());
            else
                Print(L"  (The hook went on by the double click, so the frame shows no notification-area icon: "
                      L"the icon is not checked.)");
        }
        if (ok) ok = note(L"help from the options window by F1", walk.HelpByF1(30000));
        if (ok) ok = note(L"the host's own message, naming the file, for the top-left button without the help file",
                          walk.HelpButtonWithoutTheFile(30000));
        walk::ChooserSeen chooser;
        if (ok) {
            ok = note(L"a document opened through the chooser",
                      walk.OpenThroughChooser(ThisFolder() + L"\\lumox_shell.exe", SampleDocument(), chooser));
            if (ok) note(L"the chooser's list at the pointer", chooser.atPointer);
        }
        if (walk.Frame()) {
            const bool exited = note(L"the suite exited through File > Exit", walk.ExitThroughFileMenu(60000));
            if (exited) {
                note(L"no switch atom after the exit", !walk::SuiteWalk::SwitchAtomPresent());
                note(L"no hook registration after the exit", !walk::SuiteWalk::HookValuePresent());
                if (trayShown) note(L"no notification-area icon after the exit", !walk.TrayIconPresent());
            }
            ok = ok && exited;
        }
        std::vector<long> numbers;
        for (const walk::MessageSeen& m : start.messages) numbers.push_back(m.number);
        if (first && ok)
            Print(std::wstring(L"First start: ") + (start.driveList ? L"drive list answered, " : L"no drive list, ") +
                  std::to_wstring(start.defaultSets) + L" default-association offer(s), " +
                  L"message boxes " + e2e::NumbersText(numbers) + L", " +
                  (start.welcome ? L"welcome note closed" : L"no welcome note"));
        if (!chooser.startedImage.empty())
            Print(L"The chosen program: " + chooser.startedImage + L", showing \"" + chooser.startedTitle + L"\"");
    }

    Print(L"");
    Print(L"Summary of the walk:");
    bool all = true;
    for (const auto& [step, passed] : summary) {
        Print(std::wstring(passed ? L"  ok      " : L"  FAILED  ") + step);
        all = all && passed;
    }
    all = all && ok;
    Print(all ? L"The walk passed." : L"The walk failed.");
    return all ? 0 : 1;
}
