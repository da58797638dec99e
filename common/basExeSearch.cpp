#include "basExeSearch.h"

#include <windows.h>
#include <shlwapi.h>

#include "basErrorHandler.h"
#include "basIO.h"
#include "basStrings.h"
#include "frmDoingStuff.h"
#include "frmDriveSelection.h"
#include "vb/VbList.h"
#include "vb/VbScreen.h"
#include "vb/VbText.h"

// ---- drives ----

namespace {
struct SubstDrives {
    bool loaded = false;
    vb::List<std::wstring> roots;
};
SubstDrives& Substituted() {
    static SubstDrives list;
    return list;
}

void ReadAutoexec(SubstDrives& list) {
    HANDLE file = CreateFileW(L"C:\\autoexec.bat", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE) return;
    std::string content;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) content.append(buffer, read);
    CloseHandle(file);

    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos) end = content.size();
        std::string raw = content.substr(start, end - start);
        start = end + 1;
        if (!raw.empty() && raw.back() == '\r') raw.pop_back();
        std::wstring line = vb::Trim(vb::FromAnsi(raw));
        if (vb::InStr(line, L"subst ", vb::TextCompare) == 0) continue;
        line = ReplaceSubstring(line, L"  ", L" ");
        std::vector<std::wstring> words = vb::Split(line, L" ");
        if (words.size() >= 2 && vb::TextEquals(words[0], L"subst")) list.roots.Add(words[1] + L"\\");
    }
}
}  // namespace

void ResetSubstDrives() { Substituted() = SubstDrives{}; }

bool IsSubstDrive(const std::wstring& driveRoot) {
    ProcGuard guard;
    SubstDrives& list = Substituted();
    try {
        if (!list.loaded) {
            list.loaded = true;
            ReadAutoexec(list);
        }
    } catch (...) {
        // An unreadable file leaves the list as far as it was read.
        vb::CaptureCurrentException();
        vb::Err().Clear();
    }
    for (const std::wstring& root : list.roots)
        if (vb::TextEquals(root, driveRoot)) return true;
    return false;
}

int GetDriveTypeEx(const std::wstring& driveRoot) {
    return Trapped(L"GetDriveTypeEx", [&] {
        int type = static_cast<int>(GetDriveTypeW(driveRoot.c_str()));
        if (type == dtFixed && IsSubstDrive(driveRoot)) type = dtSubstituted;
        return type;
    });
}

std::vector<std::wstring> GetDrivesToScan(bool removable, bool fixed, bool remote, bool cdRom, bool ramDisk,
                                          bool substituted, bool showCancel) {
    ProcGuard guard;
    std::vector<std::wstring> answer(1);
    try {
        wchar_t buffer[1000] = {};
        DWORD length = GetLogicalDriveStringsW(999, buffer);
        if (length == 0 || length > 999) return answer;
        std::vector<std::wstring> roots;
        for (const wchar_t* p = buffer; *p; p += wcslen(p) + 1) roots.emplace_back(p);

        frmDriveSelection& form = frmDriveSelection::Default();
        form.cmdCancel.SetVisible(showCancel);
        for (const std::wstring& root : roots) {
            const int type = GetDriveTypeEx(root);
            bool offered = false;
            switch (type) {
                case dtRemovable: offered = removable; break;
                case dtFixed: offered = fixed; break;
                case dtRemote: offered = remote; break;
                case dtCdRom: offered = cdRom; break;
                case dtRamDisk: offered = ramDisk; break;
                case dtSubstituted: offered = substituted; break;
                default: break;
            }
            if (!offered) continue;
            int item = form.lstDrives.AddItem(root);
            if (type == dtFixed || form.IsMandatoryDrive(root)) form.lstDrives.SetChecked(item, true);
        }
        form.lstDrives.ClearCurrent();
        form.ShowModal();
        answer[0] = form.ButtonPressed();
        if (vb::TextEquals(answer[0], L"Ok")) {
            for (int i = 0, n = form.lstDrives.Count(); i < n; ++i)
                if (form.lstDrives.Checked(i)) answer.push_back(form.lstDrives.ItemText(i));
        }
        frmDriveSelection::Release();
    } catch (...) {
        frmDriveSelection::Release();
        TrapError(L"GetDrivesToScan");
    }
    return answer;
}

// ---- search ----

namespace {

const wchar_t kSearchTitle[] = L"EXE file Search";
const wchar_t kSearchNote[] =
    L"Step 1 : This will not happen everytime you start Lumox. Lumox just needs to do a little information "
    L"gathering the first time you start or when you choose Refresh. Please be patient.\r\n"
    L"With slower hard disks/computers the program can look like it is 'stuck' in certain folders. In particular "
    L"your browser's cache which can have 10's of 1,000's of files. You may want to cancel the search and clear "
    L"some of your cache in such a case.";

class FindHandle {
public:
    FindHandle() = default;
    FindHandle(const FindHandle&) = delete;
    FindHandle& operator=(const FindHandle&) = delete;
    ~FindHandle() { Close(); }
    bool First(const std::wstring& spec, WIN32_FIND_DATAW& data) {
        Close();
        handle_ = FindFirstFileW(spec.c_str(), &data);
        return handle_ != INVALID_HANDLE_VALUE;
    }
    bool Next(WIN32_FIND_DATAW& data) { return handle_ != INVALID_HANDLE_VALUE && FindNextFileW(handle_, &data); }
    void Close() {
        if (handle_ != INVALID_HANDLE_VALUE) FindClose(handle_);
        handle_ = INVALID_HANDLE_VALUE;
    }

private:
    HANDLE handle_ = INVALID_HANDLE_VALUE;
};

// An empty listing is no error; anything else is one to mark.
bool ListingFailed() {
    DWORD e = GetLastError();
    return e != ERROR_FILE_NOT_FOUND && e != ERROR_NO_MORE_FILES && e != ERROR_PATH_NOT_FOUND;
}

bool WantsToStop(frmDoingStuff* progress) { return progress && progress->UserWantsToStop(); }

}  // namespace

void SearchExeFiles(const std::wstring& folder, const std::wstring& pattern, long& counter,
                    std::vector<std::wstring>& files, frmDoingStuff* progress, bool recurse, bool log) {
    ProcGuard guard;
    std::wstring entry;  // the directory entry in hand
    std::wstring file;   // the file in hand
    auto markFailure = [&] {
        vb::Err().Clear();
        LogFileToIni(L"DirName: " + entry + L", FileName: " + file, L"9", log);
    };
    try {
        if (WantsToStop(progress)) return;
        std::wstring dir = folder;
        if (dir.empty() || dir.back() != L'\\') dir += L'\\';
        if (progress) {
            progress->lblTitle.SetText(kSearchTitle);
            progress->lblNote.SetText(kSearchNote);
        }

        long count = 0;  // entries and files since the last look at the window
        std::vector<std::wstring> subfolders;
        WIN32_FIND_DATAW data;

        // Subfolders. With recurse, the one listing of the folder also collects the files that
        // match the pattern, so each folder is read once.
        std::vector<std::wstring> matching;
        LogPathToIni(dir, L"1", log);
        {
            FindHandle listing;
            bool more = listing.First(dir + L"*", data);
            if (!more && ListingFailed()) markFailure();
            if (more) {
                entry = data.cFileName;
                LogFileToIni(entry, L"1", log);
            }
            while (more && recurse) {
                try {
                    if (++count > 25) {
                        count = 0;
                        vb::DoEvents();
                        if (WantsToStop(progress)) return;
                    }
                    const bool skipped = entry == L"." || entry == L".." || entry == L"?";
                    const bool directory = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
                    // Links are not followed: they lead back into the tree or out of the drive.
                    const bool link = (data.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
                    if (!directory) {
                        if (PathMatchSpecW(entry.c_str(), pattern.c_str())) matching.push_back(entry);
                    } else if (!skipped && !link) {
                        const std::wstring path = dir + entry;
                        if (vb::InStr(path, L"cache", vb::TextCompare) == 0) {
                            subfolders.push_back(entry);
                            if (progress) progress->lblInfo.SetText(path);
                        }
                    }
                } catch (...) {
                    vb::CaptureCurrentException();
                    if (!vb::EndsWith(entry, L".sys")) markFailure();
                    vb::Err().Clear();
                }
                more = listing.Next(data);
                if (!more) {
                    // A listing that breaks off is marked and ends here rather than being retried.
                    if (ListingFailed()) markFailure();
                    break;
                }
                entry = data.cFileName;
                LogFileToIni(entry, L"2", log);
            }
        }

        // Files.
        const std::wstring spec = dir + pattern;
        LogPathToIni(spec, L"3", log);
        {
            FindHandle listing;
            bool failed = false;
            size_t nextMatching = 0;
            auto nextName = [&]() -> std::wstring {
                if (recurse) return nextMatching < matching.size() ? matching[nextMatching++] : std::wstring();
                for (;;) {
                    if (!listing.Next(data)) {
                        if (ListingFailed()) failed = true;
                        return std::wstring();
                    }
                    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) return data.cFileName;
                }
            };
            std::wstring first;
            if (recurse) {
                first = nextName();
            } else if (listing.First(spec, data)) {
                first = (data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) ? nextName() : std::wstring(data.cFileName);
            } else if (ListingFailed()) {
                failed = true;
            }
            vb::Variant name = first.empty() ? vb::Variant() : FileWithValidExtension(first, pattern, nextName);
            const wchar_t* mark = L"3";
            while (name.IsString()) {
                file = name.ToString();
                LogFileToIni(file, mark, log);
                mark = L"4";
                if (++count > 10) {
                    if (progress) progress->lblInfo.SetText(L"Found: " + file);
                    count = 0;
                    if (WantsToStop(progress)) return;
                }
                ++counter;
                files.resize(static_cast<size_t>(counter) + 1);
                files[static_cast<size_t>(counter)] = dir + file;
                std::wstring following = nextName();
                name = following.empty() ? vb::Variant() : FileWithValidExtension(following, pattern, nextName);
            }
            if (failed) markFailure();
        }

        // Subfolders, depth first, in the order found.
        for (const std::wstring& sub : subfolders) {
            if (vb::TextEquals(sub, L"TEMP") || vb::TextEquals(sub, L"RECYCLED")) continue;
            SearchExeFiles(dir + sub + L"\\", pattern, counter, files, progress, true, true);
        }
    } catch (...) {
        // Whatever else goes wrong ends this folder's search; the caller goes on.
        vb::CaptureCurrentException();
        markFailure();
    }
}
