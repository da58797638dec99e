#include "basIO.h"

#include <array>
#include <cstring>

#include "CheckpointSink.h"
#include "basErrorHandler.h"
#include "basIniFile.h"
#include "basStrings.h"
#include "basWinAPI_Windows.h"
#include "vb/VbText.h"
#include "vb/VbThreadState.h"

namespace {

// Per thread: the chooser takes command lines apart on its server's threads.
struct FileHelperState {
    ProgramPathRecord record;
    std::array<std::wstring, 4> programExtensions;  // the fourth slot stays empty
    vb::List<std::wstring> searchPaths;
    bool searchPathsLoaded = false;
};
FileHelperState& State() { return vb::ThreadInstance<FileHelperState>(); }

const wchar_t kDriveOrUncStart[] = L"\\\\||[a-zA-Z]:";

void FillProgramExtensions() {
    if (!State().programExtensions[0].empty()) return;
    State().programExtensions[0] = L".bat";
    State().programExtensions[1] = L".com";
    State().programExtensions[2] = L".exe";
}

// Whether a plain directory listing (normal, read-only, hidden and archive files) finds a file
// of this name; relative names count from the current folder. A name with wildcards would
// match some other file, so it names none.
bool ListingFindsFile(const std::wstring& name) {
    if (name.empty() || name.find_first_of(L"*?\"<>|") != std::wstring::npos) return false;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(name.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return false;
    bool found = false;
    do {
        found = !(data.dwFileAttributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_SYSTEM));
    } while (!found && FindNextFileW(find, &data));
    FindClose(find);
    return found;
}

bool Exists(const std::wstring& path) { return !GetDosPath(vb::Variant(path)).empty(); }

// The prefix has an extension when its last "." comes more than one character after its last "\".
bool HasExtension(const std::wstring& prefix) {
    size_t dot = prefix.rfind(L'.');
    if (dot == std::wstring::npos) return false;
    size_t slash = prefix.rfind(L'\\');
    long dotPos = static_cast<long>(dot) + 1;
    long slashPos = slash == std::wstring::npos ? 0 : static_cast<long>(slash) + 1;
    return dotPos > slashPos + 1;
}

// A relative program name tried in the Windows and System folders and along PATH.
std::wstring SearchFolders(const std::wstring& prefix) {
    std::vector<std::wstring> folders{WindowsFolder(), SystemFolder()};
    for (const std::wstring& folder : SearchPaths())
        if (!folder.empty()) folders.push_back(folder);
    bool withExtension = HasExtension(prefix);
    for (const std::wstring& folder : folders) {
        std::wstring candidate = JoinPaths(folder, prefix);
        if (withExtension) {
            if (Exists(candidate)) return candidate;
            continue;
        }
        for (const std::wstring& extension : State().programExtensions) {
            if (extension.empty()) continue;
            if (Exists(candidate + extension)) return candidate + extension;
        }
    }
    return {};
}

// 1-based position of the last blank at or before position `before`; 0 when there is none.
size_t LastBlankBefore(const std::wstring& text, size_t before) {
    if (before == 0) return 0;
    size_t hit = text.rfind(L' ', before - 1);
    return hit == std::wstring::npos ? 0 : hit + 1;
}

vb::Variant TextOrEmpty(const std::wstring& text) { return text.empty() ? vb::Variant() : vb::Variant(text); }

}  // namespace

void LoadSearchPaths() {
    TrappedVoid(L"LoadSearchPaths", [] {
        std::wstring path;
        DWORD size = GetEnvironmentVariableW(L"Path", nullptr, 0);
        if (size > 0) {
            path.assign(size, L'\0');
            DWORD got = GetEnvironmentVariableW(L"Path", path.data(), size);
            path.resize(got < size ? got : 0);
        }
        if (path.empty() || path.back() != L';') path += L';';
        if (path.front() != L';') path.insert(path.begin(), L';');
        std::vector<std::wstring> parts = vb::Split(path, L";");
        vb::List<std::wstring> folders;
        // parts[0] is the empty element before the leading ";", the last the one after the trailing ";".
        for (size_t i = 1; i + 1 < parts.size(); ++i) folders.Add(parts[i]);
        State().searchPaths = std::move(folders);
        State().searchPathsLoaded = true;
    });
}

const vb::List<std::wstring>& SearchPaths() {
    if (!State().searchPathsLoaded) LoadSearchPaths();
    return State().searchPaths;
}

ProgramPathRecord GetFileType(const std::wstring& commandLine, const std::optional<vb::Variant>& attributesFlag) {
    ProcGuard guard;
    try {
        // Each call starts afresh: nothing of the previous command line may leak into this one.
        State().record = ProgramPathRecord{};
        ProgramPathRecord& r = State().record;
        RestorerCheckpoint(L"GFT" + commandLine);
        FillProgramExtensions();

        std::wstring cmd = vb::Trim(commandLine);
        r.CommandLine = cmd;
        cmd = ExpandEnvVars(cmd);
        r.ExpandedCommandLine = cmd;
        r.Quoted = !cmd.empty() && cmd[0] == L'"';

        if (r.Quoted) {
            cmd.erase(0, 1);
            size_t q = cmd.find(L'"');
            if (q != std::wstring::npos) {
                r.Arguments = TextOrEmpty(cmd.substr(q + 1));
                cmd.erase(q);
            }
        }
        bool programHasBlank = cmd.find(L' ') != std::wstring::npos;
        if (!programHasBlank)
            r.ExpandedCommandLine = StrReplace(r.ExpandedCommandLine, L"\"" + cmd + L"\"", cmd, vb::TextCompare);

        if (!r.ExpandedCommandLine.empty() && !(r.Quoted && programHasBlank)) {
            const std::wstring e = r.ExpandedCommandLine;
            size_t n = e.size() + 1;
            std::wstring found;
            bool foundInFolder = false;
            for (;;) {
                std::wstring prefix = e.substr(0, n - 1);
                if (ListingFindsFile(prefix)) {
                    found = prefix;
                    break;
                }
                if (!MatchesPatternList(prefix.substr(0, 2), kDriveOrUncStart)) {
                    found = SearchFolders(prefix);
                    if (!found.empty()) {
                        foundInFolder = true;
                        break;
                    }
                }
                if (n < 3) break;
                n = LastBlankBefore(e, n - 1);
                if (n < 3) break;
            }
            // A search that found nothing has no program and so no arguments, even when it
            // stopped at a blank in the second position.
            if (!found.empty() && n >= 1 && n + 1 <= e.size()) {
                r.Arguments = TextOrEmpty(e.substr(n));
                cmd = foundInFolder ? found : e.substr(0, n - 1);
            } else {
                r.Arguments = vb::Variant();
                cmd = found;
            }
        }

        // The root: a drive or a UNC root.
        if (cmd.size() < 2) {
            // Path fields stay Empty.
        } else if (cmd[0] == L'\\' && cmd[1] == L'\\') {
            r.ProgramPath = cmd;
            size_t p1 = cmd.find(L'\\', 2);
            size_t p2 = p1 == std::wstring::npos ? std::wstring::npos : cmd.find(L'\\', p1 + 1);
            if (p2 != std::wstring::npos) {
                r.UncRoot = cmd.substr(0, p2);
                cmd.erase(0, p2);
            } else {
                // A bare \\server or \\server\share is all root.
                r.UncRoot = cmd;
                cmd.clear();
            }
            r.PathRoot = r.UncRoot;
        } else if (cmd[1] == L':') {
            r.PathRoot = cmd.substr(0, 2);
            r.DriveLetter = cmd.substr(0, 1);
            r.ProgramPath = cmd;
            cmd.erase(0, 2);
        }

        // The extension comes from the name only: a dot in a folder's name is no extension.
        size_t slash = cmd.rfind(L'\\');
        size_t dot = cmd.rfind(L'.');
        bool hasDot = dot != std::wstring::npos && (slash == std::wstring::npos || dot > slash);
        if (hasDot) {
            r.ProgramExtension = cmd.substr(dot + 1);
            cmd.erase(dot);
        }
        if (slash != std::wstring::npos) {
            r.Folder = cmd.substr(0, slash + 1);
            cmd.erase(0, slash + 1);
        }
        r.BaseName = cmd;
        r.FileName = hasDot ? cmd + L"." + r.ProgramExtension.ToString() : cmd;

        // Callers pass True or a number that is true (-1, 1) alike.
        if (attributesFlag && attributesFlag->IsNumeric() && attributesFlag->ToBool()) {
            DWORD attributes = GetFileAttributesW(r.ExpandedCommandLine.c_str());
            if (attributes != INVALID_FILE_ATTRIBUTES) r.Attributes = static_cast<long>(attributes);
        }

        DWORD size = 0;
        r.FixedInfo = GetVersionInfo(r.ProgramPath.ToString(), size);

        r.TypeExtension = r.ProgramExtension;
        r.ClassExtension = r.ProgramExtension;
        r.ClassBaseName = r.BaseName;
        if (r.ProgramExtension.IsString() && vb::TextEquals(r.ProgramExtension.ToString(), L"DLL"))
            r.ComPrefix = L"Morva" + r.BaseName.ToString();
    } catch (...) {
        TrapError(L"GetFileType");
    }
    return State().record;
}

// Reads a file's version resource of the given size and copies out its fixed part, marking the
// two steps that have crashed on damaged files. Answers false when either step fails.
bool ReadVersionResource(const std::wstring& file, DWORD size, const wchar_t* readMark, const wchar_t* queryMark,
                         std::vector<BYTE>& buffer, VS_FIXEDFILEINFO& fixed) {
    buffer.assign(size, 0);
    ScanCheckpoint(readMark);
    if (!GetFileVersionInfoW(file.c_str(), 0, size, buffer.data())) return false;
    ScanCheckpoint(queryMark);
    void* block = nullptr;
    UINT length = 0;
    if (!VerQueryValueW(buffer.data(), L"\\", &block, &length) || !block || length < sizeof(VS_FIXEDFILEINFO))
        return false;
    std::memcpy(&fixed, block, sizeof(VS_FIXEDFILEINFO));
    return true;
}

VS_FIXEDFILEINFO GetVersionInfo(const std::wstring& file, DWORD& size) {
    return Trapped(L"GetVersionInfo", [&]() -> VS_FIXEDFILEINFO {
        VS_FIXEDFILEINFO fixed{};
        ScanCheckpoint(L"GVI-GetFVIS");
        DWORD handle = 0;
        size = GetFileVersionInfoSizeW(file.c_str(), &handle);
        if (size == 0) return fixed;
        std::vector<BYTE> buffer;
        ReadVersionResource(file, size, L"GVI-GetFVI", L"GVI-VQV", buffer, fixed);
        return fixed;
    }, VS_FIXEDFILEINFO{});
}

std::wstring GetVerQueryValueString(const std::vector<BYTE>& resource, const std::wstring& translation,
                                    const std::wstring& name) {
    return Trapped(L"GetVerQueryValueString", [&]() -> std::wstring {
        ScanCheckpoint(L"GVQVS-" + name);
        if (resource.empty()) return {};
        std::wstring subBlock = JoinPaths(L"\\StringFileInfo", translation, {name});
        void* text = nullptr;
        UINT length = 0;
        if (!VerQueryValueW(resource.data(), subBlock.c_str(), &text, &length) || !text || length == 0) return {};
        // The length may or may not count the terminator; never read past either.
        const wchar_t* chars = static_cast<const wchar_t*>(text);
        return std::wstring(chars, wcsnlen(chars, length));
    });
}

void SwapBytes(BYTE& a, BYTE& b) { std::swap(a, b); }

std::wstring HexPad(long value, int digits) {
    std::wstring padded = L"00000000" + vb::Hex(value);
    size_t take = digits < 0 ? 0 : static_cast<size_t>(digits);
    if (take > padded.size()) take = padded.size();
    return padded.substr(padded.size() - take);
}

FileVersionInfo GetFileInfo(const std::wstring& file) {
    ProcGuard guard;
    FileVersionInfo info;
    try {
        DWORD handle = 0;
        DWORD size = GetFileVersionInfoSizeW(file.c_str(), &handle);
        if (size == 0) return info;
        std::vector<BYTE> buffer;
        if (!ReadVersionResource(file, size, L"GFI-GetFVI", L"GFI-VerQV-1", buffer, info.FixedInfo)) return info;
        if (info.FixedInfo.dwSignature == 0) return info;

        switch (info.FixedInfo.dwFileType) {
            case VFT_APP: info.FileTypeName = L"Application"; break;
            case VFT_DLL: info.FileTypeName = L"Dynamic Link Library (DLL)"; break;
            case VFT_DRV: info.FileTypeName = L"Device Driver"; break;
            case VFT_VXD: info.FileTypeName = L"Virtual Device Driver"; break;
            default: info.FileTypeName = L"Unknown"; break;
        }

        ScanCheckpoint(L"GFI-VerQV-2");
        void* pair = nullptr;
        UINT length = 0;
        if (!VerQueryValueW(buffer.data(), L"\\VarFileInfo\\Translation", &pair, &length) || !pair || length < 4)
            return info;
        BYTE b[4];
        std::memcpy(b, pair, 4);
        // Stored little-endian: language low, language high, code page low, code page high.
        SwapBytes(b[0], b[1]);
        SwapBytes(b[2], b[3]);
        info.Translation = HexPad(b[0], 2) + HexPad(b[1], 2) + HexPad(b[2], 2) + HexPad(b[3], 2);

        std::wstring* fields[] = {&info.Comments,        &info.CompanyName,    &info.FileDescription,
                                  &info.FileVersion,     &info.InternalName,   &info.LegalCopyright,
                                  &info.LegalTrademarks, &info.OLESelfRegister, &info.OriginalFileName,
                                  &info.PrivateBuild,    &info.ProductName,    &info.ProductVersion,
                                  &info.SpecialBuild};
        const wchar_t* names[] = {L"Comments",        L"CompanyName",     L"FileDescription", L"FileVersion",
                                  L"InternalName",    L"LegalCopyright",  L"LegalTrademarks", L"OLESelfRegister",
                                  L"OriginalFileName", L"PrivateBuild",   L"ProductName",     L"ProductVersion",
                                  L"SpecialBuild"};
        for (size_t i = 0; i < std::size(names); ++i)
            *fields[i] = GetVerQueryValueString(buffer, info.Translation, names[i]);
    } catch (...) {
        // A failing step leaves the rest of the record empty; nothing is reported.
        vb::Err().Clear();
    }
    return info;
}

std::wstring GetDosPath(const vb::Variant& path) {
    return Trapped(L"GetDosPath", [&]() -> std::wstring {
        std::wstring text = path.IsEmpty() || path.IsNull() ? std::wstring() : path.ToString();
        RestorerCheckpoint(L"GetDosPath: " + text);
        if (text.empty()) return {};
        DWORD offered = 255;
        std::wstring buffer;
        DWORD answer = 0;
        for (;;) {
            buffer.assign(static_cast<size_t>(offered) + 1, L'\0');
            answer = GetShortPathNameW(text.c_str(), buffer.data(), offered + 1);
            // Too small a buffer answers the size it needs, terminator included.
            if (answer <= offered) break;
            offered = answer;
        }
        buffer.resize(answer);
        return buffer;
    });
}

vb::Variant FileWithValidExtension(const std::wstring& name, const std::wstring& pattern,
                                   const std::function<std::wstring()>& nextName) {
    return Trapped(L"FileWithValidExtension", [&]() -> vb::Variant {
        auto extensionLength = [](const std::wstring& text) -> size_t {
            size_t dot = text.rfind(L'.');
            return dot == std::wstring::npos ? 0 : text.size() - dot - 1;
        };
        const size_t wanted = extensionLength(pattern);
        std::wstring candidate = name;
        while (!candidate.empty()) {
            if (candidate.rfind(L'.') != std::wstring::npos && extensionLength(candidate) == wanted)
                return vb::Variant(candidate);
            candidate = nextName ? nextName() : std::wstring();
        }
        return vb::Variant();
    });
}

void LogFileToIni(const std::wstring& file, const std::wstring& detail, bool flag) {
    TrappedVoid(L"LogFileToIni", [&] {
        ScanCheckpointSink* scan = ScanCheckpoints();
        if (!flag || !scan || scan->SearchingLevel() < 1) return;
        IniFile(IniWrite, L"File", vb::Variant(file));
        IniFile(IniWrite, L"Detail", vb::Variant(detail));
    });
}

void LogPathToIni(const std::wstring& folder, const std::wstring& detail, bool flag) {
    TrappedVoid(L"LogPathToIni", [&] {
        ScanCheckpointSink* scan = ScanCheckpoints();
        if (!flag || !scan || scan->SearchingLevel() < 1) return;
        IniFile(IniWrite, L"Path", vb::Variant(folder));
        IniFile(IniWrite, L"Path Detail", vb::Variant(detail));
    });
}

bool FileExists(const std::wstring& path) {
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

bool FirstFileWhere(const std::wstring& pattern, const std::function<bool(const WIN32_FIND_DATAW&)>& takes) {
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW(pattern.c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return false;
    bool found = false;
    do {
        found = takes(data);
    } while (!found && FindNextFileW(find, &data));
    FindClose(find);
    return found;
}

std::vector<std::wstring> FileNamesMatching(const std::wstring& pattern) {
    std::vector<std::wstring> names;
    FirstFileWhere(pattern, [&](const WIN32_FIND_DATAW& data) {
        if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) names.emplace_back(data.cFileName);
        return false;
    });
    return names;
}
