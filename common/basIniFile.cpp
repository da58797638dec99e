#include "basIniFile.h"

#include <windows.h>

#include "basErrorHandler.h"
#include "basShared.h"
#include "basStrings.h"
#include "vb/VbApp.h"
#include "vb/VbText.h"

namespace {
const char kSection[] = "Lumox Options";
std::wstring g_iniFolder;
}  // namespace

void SetIniFolderOverride(const std::wstring& folder) { g_iniFolder = folder; }

std::wstring GetIniFilePath() {
    return JoinPaths(g_iniFolder.empty() ? vb::AppPath() : g_iniFolder, L"Lumox Options.ini");
}

std::wstring RootFolderOf(const std::wstring& programFolder) { return StripSuffix(programFolder, L"Programs"); }

std::wstring RootFolder() { return RootFolderOf(vb::AppPath()); }

std::wstring GetArchivePath() { return JoinPaths(RootFolder(), L"Data", {L"TesselMorva.dat"}); }

std::wstring GetInitialArchivePath() { return JoinPaths(RootFolder(), L"Data\\Initial", {L"TesselMorva.dat"}); }

vb::Variant IniFile(short action, const std::wstring& key, const vb::Variant& value, const vb::Variant& defaultValue) {
    ProcGuard guard;
    vb::Variant result;
    try {
        const std::string path = vb::ToAnsi(GetIniFilePath());
        const std::string ansiKey = vb::ToAnsi(key);
        switch (action) {
            case IniRead:
                if (!defaultValue.IsString()) {
                    INT fallback = static_cast<INT>(defaultValue.ToLong());
                    UINT n = GetPrivateProfileIntA(kSection, ansiKey.c_str(), fallback, path.c_str());
                    result = vb::Variant(static_cast<long>(static_cast<INT>(n)));
                } else {
                    std::string fallback = vb::ToAnsi(vb::Trim(defaultValue.ToString()));
                    char buffer[255] = {};
                    DWORD n = GetPrivateProfileStringA(kSection, ansiKey.c_str(), fallback.c_str(), buffer, 255,
                                                       path.c_str());
                    if (n != 0)
                        result = vb::Variant(vb::FromAnsi(std::string_view(buffer, n)));
                    else
                        result = vb::Variant(vb::FromAnsi(fallback));
                }
                break;
            case IniWrite: {
                std::string text = vb::ToAnsi(vb::Trim(value.ToString()));
                BOOL ok = WritePrivateProfileStringA(kSection, ansiKey.c_str(), text.c_str(), path.c_str());
                result = vb::Variant(static_cast<long>(ok));
                break;
            }
            default:
                break;
        }
    } catch (...) {
        TrapError(L"IniFile");
    }
    return result;
}
