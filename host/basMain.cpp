#include "basMain.h"

#include <windows.h>

#include <climits>

#include "HostFrame.h"
#include "HostMessages.h"
#include "basErrorHandler.h"
#include "basHookSwitch.h"
#include "basHostShared.h"
#include "basIO.h"
#include "basMessageHandler.h"
#include "basStrings.h"
#include "basWinAPI_Processes.h"
#include "basWinAPI_Registry.h"
#include "basWinAPI_Windows.h"
#include "vb/VbApp.h"
#include "vb/VbScreen.h"
#include "vb/VbText.h"

namespace {

std::wstring g_splashFormName;
short g_pauseCountdown = 0;
bool g_endedEarly = false;
std::wstring g_programFolderOverride;
std::wstring g_systemFolderOverride;

const wchar_t kHostValueName[] = L"Morva Utility Manager";
const wchar_t kFirstTimeValue[] = L"Morva Utility Manager First Time";
const wchar_t kFrameSection[] = L"Wayhold Utility Manager";
const wchar_t kHiddenSwitchKey[] = L"CLSID\\{FA4FEBC3-4591-11CE-95E5-00AA0051E510}\\LocalServer32";
const wchar_t kInstanceMutex[] = L"Morva Utility Manager {C77744F3-A6F8-4997-AFDB-4B0ACB5B6006}";

// One step whose failure must not stop the next.
template <typename F>
void IgnoringErrors(F&& step) {
    try {
        step();
    } catch (...) {
    }
    vb::Err().Clear();
}

void DeleteKeyQuietly(HKEY root, const std::wstring& key) {
    IgnoringErrors([&] {
        Registry(regDelete, key, L"", std::nullopt, std::nullopt, std::nullopt, root, true, true);
    });
}

void DeleteClassKey(const std::wstring& key, const wchar_t* serverKey) {
    const wchar_t* const subkeys[] = {
        L"\\Implemented Categories\\{40FC6ED5-2438-11CF-A3DB-080036F12502}",
        L"\\Implemented Categories",
        serverKey,
        L"\\ProgID",
        L"\\Programmable",
        L"\\TypeLib",
        L"\\VERSION",
    };
    for (const wchar_t* sub : subkeys) DeleteKeyQuietly(HKEY_CLASSES_ROOT, key + sub);
    DeleteKeyQuietly(HKEY_CLASSES_ROOT, key);
}

void DeleteInterfaceKey(const std::wstring& key) {
    for (const wchar_t* sub : {L"\\ProxyStubClsid", L"\\ProxyStubClsid32", L"\\TypeLib"})
        DeleteKeyQuietly(HKEY_CLASSES_ROOT, key + sub);
    DeleteKeyQuietly(HKEY_CLASSES_ROOT, key);
}

void DeleteTypeLibVersionKey(const std::wstring& key) {
    // A 64-bit build registers its libraries under "win64" as well.
    for (const wchar_t* sub : {L"\\0\\win32", L"\\0\\win64", L"\\0", L"\\FLAGS", L"\\HELPDIR"})
        DeleteKeyQuietly(HKEY_CLASSES_ROOT, key + sub);
    DeleteKeyQuietly(HKEY_CLASSES_ROOT, key);
}

// A ProgID key goes after its CLSID subkey, or the deletion of the key would fail while the
// subkey is there.
void DeleteProgIdKey(const std::wstring& progId) {
    DeleteKeyQuietly(HKEY_CLASSES_ROOT, progId + L"\\Clsid");
    DeleteKeyQuietly(HKEY_CLASSES_ROOT, progId);
}

}  // namespace

std::vector<std::pair<std::wstring, std::wstring>> HostKeyValues(const wchar_t* key, bool quiet) {
    std::vector<std::pair<std::wstring, std::wstring>> values;
    vb::Variant table = Registry(regGetValues, key, L"", std::nullopt, std::nullopt, std::nullopt,
                                 HKEY_LOCAL_MACHINE, quiet);
    if (!table.IsArray()) return values;
    const vb::Variant::Array& names = table.AsArray()[regFieldName].AsArray();
    const vb::Variant::Array& data = table.AsArray()[regFieldData].AsArray();
    for (size_t i = 0; i < names.size(); ++i) {
        std::wstring text;
        try {
            text = data[i].IsBytes() ? ByteArrayToString(data[i]) : data[i].ToString();
        } catch (...) {
            vb::Err().Clear();
        }
        values.emplace_back(names[i].ToString(), text);
    }
    return values;
}

namespace {

VersionParts FileVersionOf(const ProgramPathRecord& dll) {
    VersionParts v;
    v.Major = HIWORD(dll.FixedInfo.dwFileVersionMS);
    v.Minor = LOWORD(dll.FixedInfo.dwFileVersionMS);
    v.Build = HIWORD(dll.FixedInfo.dwFileVersionLS);
    v.Revision = LOWORD(dll.FixedInfo.dwFileVersionLS);
    return v;
}

std::wstring FileNameOf(const ProgramPathRecord& record) {
    return record.FileName.IsEmpty() ? std::wstring() : record.FileName.ToString();
}

std::wstring FullPathOf(const ProgramPathRecord& record) {
    return record.ProgramPath.IsEmpty() ? std::wstring() : record.ProgramPath.ToString();
}

// Processes the waiting messages, then sleeps until more arrive or a few milliseconds pass.
void PumpBriefly() {
    vb::DoEvents();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
}

}  // namespace

std::wstring& SplashFormName() { return g_splashFormName; }
short& PauseCountdown() { return g_pauseCountdown; }
bool StartUpEndedProgram() { return g_endedEarly; }

std::wstring HostProgramFolder() { return g_programFolderOverride.empty() ? vb::AppPath() : g_programFolderOverride; }
void SetHostProgramFolderOverride(const std::wstring& folder) { g_programFolderOverride = folder; }
std::wstring ProgramsFolder() { return JoinPaths(HostProgramFolder(), L"\\Programs\\"); }

std::wstring StartUpSystemFolder() { return g_systemFolderOverride.empty() ? SystemFolder() : g_systemFolderOverride; }
void SetStartUpSystemFolderOverride(const std::wstring& folder) { g_systemFolderOverride = folder; }

bool RegSvr32Present(const std::wstring& systemFolder) {
    const DWORD attributes = GetFileAttributesW(JoinPaths(systemFolder, L"RegSvr32.exe").c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool AnotherInstanceRunning() {
    static HANDLE held = nullptr;
    if (held) return false;  // this process is the running instance
    HANDLE mutex = CreateMutexW(nullptr, FALSE, kInstanceMutex);
    const DWORD error = GetLastError();
    if (!mutex) return false;
    if (error == ERROR_ALREADY_EXISTS) {
        CloseHandle(mutex);
        return true;
    }
    held = mutex;  // kept for the life of the process
    return false;
}

int Main(HostWindows& windows) {
    ProcGuard guard;
    g_endedEarly = false;
    try {
        GetWindowsFolder();
        GetSystemFolder();
        LoadSearchPaths();

        if (!RegSvr32Present(StartUpSystemFolder())) {
            MessageHandler(MessageBase + msgRegSvr32Missing);
            g_endedEarly = true;
            return 0;
        }
        AddHiddenSwitch();
        if (AnotherInstanceRunning()) {
            g_endedEarly = true;
            return 0;
        }
        RemoveOldRegistrations();
        CreateSubDirs();
        TurnHookOff();
        Registry(regSave, L"3", L"", vb::Variant(kHostValueName), vb::Variant(HostProgramFolder()));

        long storedState = 0;
        try {
            storedState = Registry(regGet, L"1", kFrameSection, vb::Variant(L"WindowState"), std::nullopt,
                                   vb::Variant(0L), HKEY_LOCAL_MACHINE, true)
                              .ToLong();
        } catch (...) {
            vb::Err().Clear();
        }
        g_splashFormName.clear();
        if (storedState != 1) g_splashFormName = windows.ShowSplash();

        RegisterTLB();
        CheckDLLs();
        RunProgramsExes();

        windows.LoadFrame();
        WaitWhileFormLoaded(g_splashFormName);
        windows.ShowLatestVersionTip();
        windows.ShowFrame();
    } catch (...) {
        TrapError(L"Main");
    }
    return 0;
}

void RemoveOldRegistrations() {
    ProcGuard guard;
    std::wstring firstTime = L"True";
    try {
        firstTime = Registry(regGet, L"4", L"", vb::Variant(kFirstTimeValue), std::nullopt, vb::Variant(L"True"),
                             HKEY_LOCAL_MACHINE, true)
                        .ToString();
    } catch (...) {
        vb::Err().Clear();
    }
    if (!vb::TextEquals(firstTime, L"True")) return;

    // The hook library.
    DeleteProgIdKey(L"MorvaZintra.CForm");
    DeleteProgIdKey(L"MorvaZintra.ShellExecHook");
    DeleteClassKey(L"CLSID\\{69845E54-42A3-4EE8-B72C-31E2E69C6023}", L"\\InprocServer32");
    DeleteClassKey(L"CLSID\\{13875C2E-43DE-47A3-8E2D-85A8E3129F6B}", L"\\InprocServer32");
    DeleteInterfaceKey(L"Interface\\{B38ECB56-D8DB-46DF-BF97-F0524F8DCBE5}");
    DeleteInterfaceKey(L"Interface\\{5AAAE707-7490-4A35-AF79-C45DC2E80618}");
    DeleteTypeLibVersionKey(L"TypeLib\\{D5DEEB67-DA6A-4EF1-BB52-BC4D9AA2258A}\\1.0");
    // The chooser.
    DeleteProgIdKey(L"MorvaKestrow.MorvaTavixExe");
    DeleteClassKey(L"CLSID\\{FA417F55-1F47-40FD-9485-31BEA0BC4FDB}", L"\\LocalServer32");
    DeleteInterfaceKey(L"Interface\\{86528A48-5A3B-4E59-8B7D-3D6CBAF9183F}");
    DeleteTypeLibVersionKey(L"TypeLib\\{EC238C6C-2B3C-46D6-9050-B15A5ABF6C70}\\1.0");
    // The options library.
    DeleteProgIdKey(L"MorvaSendrik.CForm");
    DeleteClassKey(L"CLSID\\{C4D9D85C-E53F-4C91-AC00-AE2104E08569}", L"\\InprocServer32");
    DeleteInterfaceKey(L"Interface\\{701B1FB7-18E5-40C8-8970-7ED396F7350D}");
    DeleteInterfaceKey(L"Interface\\{FF5FDA8A-05B6-49C7-8C4E-743FD54EF9EE}");
    DeleteTypeLibVersionKey(L"TypeLib\\{278F4471-F256-450F-A85D-334F2FE45B24}\\20.0");

    const std::wstring host = L"SOFTWARE\\Morva Corporation\\Morva Utility Manager\\";
    for (const wchar_t* sub : {L"0", L"1\\Lumox Options", L"1\\Wayhold Utility Manager", L"1", L"3", L"4", L"5"})
        DeleteKeyQuietly(HKEY_LOCAL_MACHINE, host + sub);
}

bool RegisterTLB() {
    ProcGuard guard;
    try {
        for (const auto& [name, folder] : HostKeyValues(L"5", false)) {
            if (name.empty()) continue;
            RegisterTypeLibFile(JoinPaths(folder, name), L"");
        }
    } catch (...) {
        TrapError(L"RegisterTLB");
    }
    DeleteKeyQuietly(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Morva Corporation\\Morva Utility Manager\\5");
    return true;
}

void CreateSubDirs() {
    ProcGuard guard;
    for (const wchar_t* name : {L"Data", L"Programs"}) {
        IgnoringErrors([&] {
            const std::wstring folder = JoinPaths(HostProgramFolder(), name);
            if (GetFileAttributesW(folder.c_str()) == INVALID_FILE_ATTRIBUTES) CreateDirectoryW(folder.c_str(), nullptr);
        });
    }
}

void AddHiddenSwitch() {
    ProcGuard guard;
    IgnoringErrors([] {
        const std::wstring command = Registry(regGet, kHiddenSwitchKey, L"", vb::Variant(L""), std::nullopt,
                                              vb::Variant(L""), HKEY_CLASSES_ROOT, true, true)
                                         .ToString();
        if (command.empty() || vb::InStr(command, L" /hidden", vb::TextCompare) != 0) return;
        Registry(regSave, kHiddenSwitchKey, L"", vb::Variant(L""), vb::Variant(command + L" /HIDDEN"), std::nullopt,
                 HKEY_CLASSES_ROOT, true, true);
    });
}

void RunProgramsExes() {
    ProcGuard guard;
    try {
        const std::wstring folder = ProgramsFolder();
        std::vector<std::wstring> names;
        GetFiles(JoinPaths(folder, L"*.exe"), names);
        for (const std::wstring& name : names) {
            std::wstring path = FullPathOf(GetFileType(JoinPaths(folder, name)));
            if (path.empty()) continue;
            // A path with blanks must reach CreateProcess as one argument.
            if (path.find(L' ') != std::wstring::npos) path = L"\"" + path + L"\"";
            ShellAndWaitUntilDone(path, L"");
        }
    } catch (...) {
        // Reported here, so that the start goes on to the frame.
        TrapError(L"RunProgramsExes");
    }
}

std::wstring DllValueName(const ProgramPathRecord& dll) {
    const VersionParts v = FileVersionOf(dll);
    return FileNameOf(dll) + std::to_wstring(v.Major) + L"." + std::to_wstring(v.Minor) + L"." +
           std::to_wstring(v.Build) + L"." + std::to_wstring(v.Revision);
}

void CheckDLLs() {
    ProcGuard guard;
    try {
        const std::wstring folder = ProgramsFolder();
        std::vector<std::wstring> names;
        GetFiles(JoinPaths(folder, L"*.dll"), names);
        const auto values = HostKeyValues(L"0", false);
        if (names.empty()) return;

        std::vector<ProgramPathRecord> dlls;
        for (const std::wstring& name : names) dlls.push_back(GetFileType(JoinPaths(folder, name)));

        if (values.empty()) {
            for (const ProgramPathRecord& dll : dlls) ProcessNewDLL(dll, L"");
            return;
        }
        for (const ProgramPathRecord& dll : dlls) {
            const std::wstring fileName = FileNameOf(dll);
            const std::pair<std::wstring, std::wstring>* match = nullptr;
            for (const auto& value : values) {
                if (vb::InStr(value.first, fileName, vb::TextCompare) != 0) {
                    match = &value;
                    break;
                }
            }
            if (!match) {
                ProcessNewDLL(dll, L"");
                continue;
            }
            // Each part on its own: any part greater than the stored one registers the file again.
            const VersionParts stored = ExtractVersionFromString(match->first);
            const VersionParts file = FileVersionOf(dll);
            const bool upToDate = stored.Major >= file.Major && stored.Minor >= file.Minor &&
                                  stored.Build >= file.Build && stored.Revision >= file.Revision;
            if (!upToDate) ProcessNewDLL(dll, match->first);
        }
        for (const auto& value : values) {
            bool present = false;
            for (const ProgramPathRecord& dll : dlls) {
                if (vb::InStr(value.first, FileNameOf(dll), vb::TextCompare) != 0) {
                    present = true;
                    break;
                }
            }
            if (!present)
                IgnoringErrors([&] {
                    Registry(regDelete, L"0", L"", vb::Variant(value.first), std::nullopt, std::nullopt,
                             HKEY_LOCAL_MACHINE, true);
                });
        }
    } catch (...) {
        TrapError(L"CheckDLLs");
    }
}

long ExtractVerNo(const std::wstring& text) {
    ProcGuard guard;
    try {
        size_t i = 0;
        while (i < text.size() && !(text[i] >= L'0' && text[i] <= L'9')) ++i;
        long long number = 0;
        for (; i < text.size() && text[i] >= L'0' && text[i] <= L'9'; ++i) {
            number = number * 10 + (text[i] - L'0');
            if (number > LONG_MAX) vb::Raise(vb::ErrOverflow);
        }
        return static_cast<long>(number);
    } catch (...) {
        TrapError(L"ExtractVerNo");
        return 0;
    }
}

VersionParts ExtractVersionFromString(const std::wstring& text) {
    ProcGuard guard;
    VersionParts parts;
    try {
        // The trailing run of digits and points, at most three points of it.
        size_t start = text.size();
        int dots = 0;
        while (start > 0) {
            const wchar_t c = text[start - 1];
            if (c == L'.') {
                if (++dots == 4) break;
            } else if (!(c >= L'0' && c <= L'9')) {
                break;
            }
            --start;
        }
        if (start >= text.size()) return parts;

        unsigned short* fields[] = {&parts.Major, &parts.Minor, &parts.Build, &parts.Revision};
        size_t position = start;
        for (unsigned short* field : fields) {
            if (position >= text.size()) break;
            const long number = ExtractVerNo(text.substr(position));
            // Version words are unsigned 16-bit; a larger stored number counts as the largest.
            *field = static_cast<unsigned short>(number > 65535 ? 65535 : (number < 0 ? 0 : number));
            // Past the digits just read and one separator.
            while (position < text.size() && !(text[position] >= L'0' && text[position] <= L'9')) ++position;
            while (position < text.size() && text[position] >= L'0' && text[position] <= L'9') ++position;
            ++position;
        }
    } catch (...) {
        TrapError(L"ExtractVersionFromString");
    }
    return parts;
}

void ProcessNewDLL(const ProgramPathRecord& dll, const std::wstring& oldValueName) {
    ProcGuard guard;
    try {
        if (!RegisterDLL(FullPathOf(dll))) return;
        if (!oldValueName.empty())
            IgnoringErrors([&] {
                Registry(regDelete, L"0", L"", vb::Variant(oldValueName), std::nullopt, std::nullopt,
                         HKEY_LOCAL_MACHINE, true);
            });
        const std::wstring prefix = dll.ComPrefix.IsEmpty() ? std::wstring() : dll.ComPrefix.ToString();
        Registry(regSave, L"0", L"", vb::Variant(DllValueName(dll)), vb::Variant(prefix));
    } catch (...) {
        TrapError(L"ProcessNewDLL");
    }
}

void Pause(short& count) {
    ProcGuard guard;
    // One unit is four ticks of the frame's timer, about half a second. The clock ends the wait
    // too, so a pause also returns inside a tick or while the timer is stopped.
    constexpr DWORD kUnitMilliseconds = 500;
    while (count > 0) {
        --count;
        g_pauseCountdown = 4;
        const DWORD started = GetTickCount();
        while (g_pauseCountdown > 0 && GetTickCount() - started < kUnitMilliseconds) PumpBriefly();
    }
}

void WaitWhileFormLoaded(const std::wstring& formName) {
    ProcGuard guard;
    if (formName.empty()) return;
    try {
        for (;;) {
            bool loaded = false;
            for (win::Window* w : win::Window::LoadedWindows()) {
                if (vb::TextEquals(w->Name(), formName)) {
                    loaded = true;
                    break;
                }
            }
            if (!loaded) break;
            PumpBriefly();
        }
    } catch (...) {
        vb::Err().Clear();
    }
}
