#include "basChooserData.h"

#include <windows.h>

#include "basAliases.h"
#include "basData.h"
#include "basErrorHandler.h"
#include "basIniFile.h"
#include "basMessageHandler.h"
#include "basStrings.h"
#include "basTextFiles.h"
#include "basUserChoices.h"
#include "vb/VbScreen.h"
#include "vb/VbText.h"
#include "vb/VbThreadState.h"
#include "zip/ZipArchive.h"

namespace {

ChooserDataFolder& FolderState() { return vb::ThreadInstance<ChooserDataFolder>(); }

// Further reads of the archive after a failed one, letting pending window events run between:
// an options window may be putting a new archive in place.
constexpr int ReadAttempts = 10;

// The options window's copy of the archive is no working file: one left by a window that died
// while unpacking would otherwise pass for a folder full of them.
bool AnyWorkingFile(const std::wstring& pattern) {
    return FirstFileWhere(pattern, [](const WIN32_FIND_DATAW& data) {
        return !(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) && !vb::TextEquals(data.cFileName, ArchiveFileName);
    });
}

// The request's members of the archive, read and checked in memory; nothing is written.
bool LoadFromArchive(const std::wstring& archivePath) {
    ProcGuard guard;
    const std::vector<std::wstring> wanted(std::begin(kRequestMembers), std::end(kRequestMembers));
    std::vector<zip::MemberData> members;
    std::vector<std::wstring> names;
    zip::ZipResult result = zip::ZipResult::CannotOpen;
    for (int attempt = 0; attempt <= ReadAttempts; ++attempt) {
        result = zip::ReadMembers(archivePath, ArchivePassword, wanted, members, &names);
        if (result == zip::ZipResult::Ok) break;
        vb::DoEvents();
    }
    if (result != zip::ZipResult::Ok) return false;
    bool categories = false;
    for (const std::wstring& name : names) categories = categories || vb::TextEquals(name, L"Tesselcat.xml");
    if (!categories) {
        // A damaged archive. The request is declined; the message goes nowhere while a request
        // is handled, for nobody is there to answer it.
        vb::Err().Clear();
        MessageHandler(MessageBase + 4502);
        return false;
    }
    for (const zip::MemberData& member : members) {
        if (vb::TextEquals(member.name, L"Tesselma.xml"))
            GetAliasesFromBytes(member.data);
        else
            LoadUserChoiceLines(member.name, SplitTextLines(std::string_view(
                                                 reinterpret_cast<const char*>(member.data.data()), member.data.size())));
    }
    return true;
}

}  // namespace

const ChooserDataFolder& LastChooserDataFolder() { return FolderState(); }

bool LoadChooserData(ChooserData& data) { return LoadChooserDataFrom(GetArchivePath(), data); }

bool LoadChooserDataFrom(const std::wstring& archivePath, ChooserData& data) {
    ProcGuard guard;
    // Each request starts afresh: nothing of an earlier request's folder or records counts.
    ChooserDataFolder& state = FolderState();
    state = ChooserDataFolder{};
    AddList().Clear();
    RemoveList().Clear();
    DefList().Clear();
    Aliases().Clear();
    bool ok = false;
    try {
        state.WorkingFolder = WorkingFolderPath();
        const DWORD attributes = GetFileAttributesW(state.WorkingFolder.c_str());
        state.FolderExisted = attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY);
        if (state.FolderExisted && AnyWorkingFile(JoinPaths(state.WorkingFolder, L"*.dat"))) {
            // Those of an open options window, say: read as they are.
            state.FilesExisted = true;
            UseDataFolder(state.WorkingFolder);
            GetUserChoices(false);
            GetAliases();
            ok = true;
        } else {
            ok = LoadFromArchive(archivePath);
        }
    } catch (...) {
        vb::Err().Clear();
        ok = false;
    }
    data.AddList = AddList();
    data.RemoveList = RemoveList();
    data.DefList = DefList();
    return ok;
}

std::optional<AliasShown> AliasShownByOriginal(const std::vector<std::wstring>& programFields) {
    const long index = AliasIndexByOriginal(programFields);
    if (index < 1 || index > Aliases().UBound()) return std::nullopt;
    const AliasRecord& record = Aliases()[index];
    return AliasShown{record.CompanyA, record.ProductA, record.VersionA};
}
