#include "basExeScan.h"

#include <windows.h>

#include <algorithm>
#include <cmath>
#include <unordered_map>

#include "CheckpointSink.h"
#include "basData.h"
#include "basDescriptions.h"
#include "basErrorHandler.h"
#include "basIO.h"
#include "basIniFile.h"
#include "basMessageHandler.h"
#include "basProgramList.h"
#include "basStrings.h"
#include "basTextFiles.h"
#include "basUserInterface.h"
#include "basWinAPI_Registry.h"
#include "basWinAPI_Windows.h"
#include "frmDoingStuff.h"
#include "vb/VbError.h"
#include "vb/VbScreen.h"
#include "vb/VbText.h"

namespace {

const wchar_t* const kExclusionWords[] = {L"cache", L"temp",     L"run",   L"dll",   L"setup", L"install",
                                          L"patches", L"register", L"extens", L"reg32", L"spawn", L"isdel"};
const wchar_t kMissingInfo[] = L"Missing Info.";
const wchar_t kDetailingTitle[] = L"EXE file Detailing";

void (*g_detailingObserver)(const std::wstring&) = nullptr;

struct ScanState {
    short searchingLevel = 0;
    short detailingLevel = 0;
    long firstProgramLine = 0;
    std::vector<long> order;
    bool progressSaveFailed = false;  // progressive saving has stopped for this run
};
ScanState& State() { return vb::ThreadInstance<ScanState>(); }

long IniLong(const wchar_t* key) { return IniFile(IniRead, key, {}, vb::Variant(0L)).ToLong(); }
std::wstring IniText(const wchar_t* key, const wchar_t* defaultText) {
    return IniFile(IniRead, key, {}, vb::Variant(defaultText)).ToString();
}
void IniSet(const wchar_t* key, const vb::Variant& value) { IniFile(IniWrite, key, value); }

// A key of the problem-file family counts as set when its value is longer than one character.
bool IsSet(const std::wstring& value) { return value.size() > 1; }

std::wstring ProblemKey(long n) { return L"File" + std::to_wstring(n); }

// Whether path holds part, without regard to case. Hunting in the lower-case forms first
// spares the text compare at every position of every path; a hit there is confirmed by the
// text compare, which has the last word.
bool PathHolds(const std::wstring& path, const std::wstring& lowerPath, const std::wstring& part) {
    if (part.empty()) return false;
    if (lowerPath.find(LowerCase(part)) == std::wstring::npos) return false;
    return vb::InStr(path, part, vb::TextCompare) != 0;
}

// The short form of a found file's path. The search hands the files over folder by folder, so
// each folder is listed once for the short names of its files (the same names that a look-up
// of each file would give) and its own short form is worked out once; a file that the listing
// does not hold goes the long way through GetDosPath.
struct FolderCache {
    std::wstring folder, shortFolder;
    std::unordered_map<std::wstring, std::wstring> shortNames;
};

// Each detailing starts with what the disk holds now.
void ForgetShortNames() { vb::ThreadInstance<FolderCache>() = FolderCache{}; }

std::wstring ShortPathOf(const std::wstring& path) {
    FolderCache& cache = vb::ThreadInstance<FolderCache>();
    const size_t slash = path.rfind(L'\\');
    if (slash == std::wstring::npos || slash < 2 || path.find_first_of(L"*?") != std::wstring::npos)
        return GetDosPath(vb::Variant(path));
    const std::wstring folder = path.substr(0, slash);
    if (folder != cache.folder) {
        cache.folder = folder;
        cache.shortNames.clear();
        cache.shortFolder = GetDosPath(vb::Variant(folder));
        WIN32_FIND_DATAW data;
        HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
        if (find != INVALID_HANDLE_VALUE) {
            do {
                if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                    cache.shortNames.emplace(data.cFileName,
                                             data.cAlternateFileName[0] ? data.cAlternateFileName : data.cFileName);
            } while (FindNextFileW(find, &data));
            FindClose(find);
        }
    }
    auto name = cache.shortNames.find(path.substr(slash + 1));
    if (cache.shortFolder.empty() || name == cache.shortNames.end()) return GetDosPath(vb::Variant(path));
    return cache.shortFolder + L"\\" + name->second;
}

bool PathExists(const std::wstring& path) { return GetFileAttributesW(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// The scan's own stage marks, also those of the version reader while the scan runs.
class ScanMarks : public ScanCheckpointSink {
public:
    ScanMarks() : previous_(SetScanCheckpointSink(this)) {}
    ~ScanMarks() { SetScanCheckpointSink(previous_); }
    ScanMarks(const ScanMarks&) = delete;
    ScanMarks& operator=(const ScanMarks&) = delete;
    void Detail2Ini(const std::wstring& text, bool force) override { ::Detail2Ini(text, force); }
    int SearchingLevel() const override { return State().searchingLevel; }

private:
    ScanCheckpointSink* previous_;
};

void ShowProgressTexts(frmDoingStuff& progress, const std::wstring& title, const std::wstring& note) {
    progress.lblTitle.SetText(title);
    progress.lblNote.SetText(note);
    progress.lblInfo.SetText(L"");
}

// How a run leaves the pass: on to the wrap-up of a finished scan, to the wrap-up that every
// run shares, or straight to the end (from the crash-recovery dialog).
enum class Exit { Finished, WrapUp, End, Repeat };

class Scan {
public:
    Scan(ExeScanHost& host, bool showCancel) : host_(host), showCancel_(showCancel) {}
    bool Run();

private:
    Exit Pass();
    Exit StartTest();
    bool AskDrives();
    void ReadFoundList();
    Exit Search();
    void SaveFoundList();
    Exit Detail();
    void SortAndSave();
    void WrapUpFinished();
    void WrapUpShowFrame();
    void WrapUp();
    frmDoingStuff& Progress() { return frmDoingStuff::Default(); }
    bool WantsToStop() {
        frmDoingStuff* p = frmDoingStuff::Existing();
        return p && p->UserWantsToStop();
    }

    ExeScanHost& host_;
    bool showCancel_;
    bool repeated_ = false;
    bool drivesChosen_ = false;
    short level_ = 0;
    std::vector<std::wstring> drives_;
    std::vector<std::wstring> keys_;
    double scale_ = 0;
    bool written_ = false;
    bool result_ = false;
};

bool Scan::Run() {
    ScanMarks marks;
    State().progressSaveFailed = false;
    SetControlsEnabled(host_.Form(), false);
    Exit exit = Exit::WrapUp;
    try {
        exit = Pass();
        if (exit == Exit::Finished) {
            WrapUpFinished();
            result_ = true;
        }
    } catch (...) {
        // A failure ends the run as a stop does; it counts as a success only when the new
        // list had already been written whole. The host's frame still comes back (or beeps).
        TrapError(L"RefreshExeList");
        result_ = written_;
        exit = Exit::WrapUp;
        try {
            WrapUpShowFrame();
        } catch (...) {
            TrapError(L"RefreshExeList");
        }
    }
    if (exit != Exit::End) {
        // However the wrap-up fails, the options window gets its controls back.
        try {
            WrapUp();
        } catch (...) {
            TrapError(L"RefreshExeList");
        }
    }
    SetControlsEnabled(host_.Form(), true);
    Detail2Ini(L"Completed Successfully", true);
    IniSet(L"Detail Msg", vb::Variant(L"0"));
    return result_;
}

Exit Scan::Pass() {
    for (;;) {
        // Start of a pass.
        if (repeated_) {
            if (frmDoingStuff* p = frmDoingStuff::Existing()) p->prg.SetVisible(false);
            IniSet(L"Detail Msg", vb::Variant(L"0"));
            IniSet(L"Log Detailing", vb::Variant(0L));
        }
        bool isWindows9x = false;
        IniSet(L"OS Version", vb::Variant(GetWindowsVersionName(isWindows9x)));
        ScanState& s = State();
        s.searchingLevel = static_cast<short>(IniLong(L"Log Searching"));
        s.detailingLevel = static_cast<short>(IniLong(L"Log Detailing"));
        level_ = std::max(s.searchingLevel, s.detailingLevel);

        Exit started = StartTest();
        if (started == Exit::End) return Exit::End;
        if (started == Exit::Repeat) continue;

        host_.SetInterruptible(false);
        std::vector<std::wstring>& lines = ProgramLines();
        lines.assign(1, std::wstring());
        ProgramLineLast() = 0;
        s.firstProgramLine = 0;
        s.order.clear();
        drivesChosen_ = false;

        // Drives.
        if (level_ < 1 && !AskDrives()) return Exit::WrapUp;

        // Progress window.
        frmDoingStuff& progress = Progress();
        progress.SetCaller(&host_.Form());
        progress.SetUserInterruptible(true);
        SetScanningProgress(L"Starting Exe File Search");

        // Recovery of the found list.
        if (level_ > 0) {
            ShowProgressTexts(progress, L"Recovery...", L"Recovering temporarily saved Exe list");
            if (PathExists(GetExeListRecoveryPath())) {
                ReadFoundList();
            } else {
                progress.Hide();
                if (!AskDrives()) return Exit::WrapUp;
            }
        }

        // Search.
        if (ProgramLineLast() < 1) {
            Exit searched = Search();
            if (searched != Exit::Finished) return searched;
        }

        // Detailing.
        Exit detailed = Detail();
        if (detailed == Exit::Repeat) {
            repeated_ = true;
            continue;
        }
        if (detailed == Exit::WrapUp) return Exit::WrapUp;

        SortAndSave();
        return Exit::Finished;
    }
}

// Exit::Finished goes on with the pass, Exit::Repeat runs it afresh (the crash forgotten),
// Exit::End ends the run.
Exit Scan::StartTest() {
    ScanState& s = State();
    switch (level_) {
        case 0:
            if (!repeated_) MessageHandler(MessageBase + 4513);
            break;
        case 1:
            repeated_ = false;
            MessageHandler(MessageBase + 4531);
            if (s.searchingLevel == 1) IniSet(L"Log Searching", vb::Variant(2L));
            if (s.detailingLevel == 1) IniSet(L"Log Detailing", vb::Variant(2L));
            break;
        case 2:
            repeated_ = false;
            if (s.searchingLevel > 0) {
                host_.ShowCrashRecoveryChoices(L"Please select one of the options below.", false);
                vb::Variant answer = host_.ReturnValue();
                if (!(answer.IsNumeric() && answer.ToLong() == 3)) return Exit::End;
                s.searchingLevel = s.detailingLevel = 0;
                level_ = 0;
                IniSet(L"Log Searching", vb::Variant(0L));
                IniSet(L"Log Detailing", vb::Variant(0L));
                repeated_ = true;
                return Exit::Repeat;
            }
            if (s.detailingLevel > 0) {
                MoveCrashedFile();
                if (!vb::TextEquals(IniText(L"Detail Msg", L"0"), L"1")) {
                    MessageHandler(MessageBase + 4532);
                    IniSet(L"Detail Msg", vb::Variant(L"1"));
                }
            }
            break;
        default:
            break;
    }
    return Exit::Finished;
}

bool Scan::AskDrives() {
    std::vector<std::wstring> answer = host_.DrivesToScan(showCancel_);
    if (answer.empty() || !vb::TextEquals(answer[0], L"Ok")) return false;
    drives_.assign(answer.begin() + 1, answer.end());
    drivesChosen_ = true;
    return true;
}

void Scan::ReadFoundList() {
    std::vector<std::wstring> read;
    ReadTextLines(GetExeListRecoveryPath(), read);
    std::vector<std::wstring>& lines = ProgramLines();
    lines.clear();
    lines.reserve(read.size() + 1);
    frmDoingStuff& progress = Progress();
    for (size_t i = 0; i < read.size(); ++i) {
        lines.push_back(std::move(read[i]));
        if (i % 30 == 29) progress.lblInfo.SetText(lines.back());
    }
    if (lines.empty()) lines.emplace_back();
    ProgramLineLast() = static_cast<long>(lines.size()) - 1;
}

Exit Scan::Search() {
    if (!drivesChosen_ && !AskDrives()) return Exit::WrapUp;
    ScanState& s = State();
    if (!repeated_ && s.searchingLevel < 1) IniSet(L"Log Searching", vb::Variant(1L));
    long last = 0;
    std::vector<std::wstring>& lines = ProgramLines();
    lines.assign(1, std::wstring());
    for (const std::wstring& root : drives_) {
        SearchExeFiles(root, L"*.exe", last, lines, &Progress(), true, true);
        ProgramLineLast() = last;
        if (WantsToStop()) {
            if (!repeated_) IniSet(L"Log Searching", vb::Variant(0L));
            return Exit::WrapUp;
        }
    }
    lines.resize(static_cast<size_t>(last) + 1);
    ProgramLineLast() = last;
    IniSet(L"Log Searching", vb::Variant(0L));
    SaveFoundList();
    return Exit::Finished;
}

void Scan::SaveFoundList() {
    frmDoingStuff& progress = Progress();
    ShowProgressTexts(progress, L"Temporary EXE List Save", L"Backing up this stage in the information gathering...");
    const std::wstring folder = GetRecoveryFolder();
    if (!PathExists(folder)) CreateDirectoryW(folder.c_str(), nullptr);
    const std::vector<std::wstring>& lines = ProgramLines();
    std::wstring text;
    for (long i = 0; i <= ProgramLineLast(); ++i) {
        text += lines[static_cast<size_t>(i)];
        text += L"\r\n";
        if (i % 30 == 29) progress.lblInfo.SetText(lines[static_cast<size_t>(i)]);
    }
    // A new found list starts a new detail list, so the two always stay line for line together:
    // the old detail list goes first, so that no crash leaves it beside the new found list.
    DeleteFileW(GetExeDetailRecoveryPath().c_str());
    WriteWorkingFile(GetExeListRecoveryPath(), text);
}

Exit Scan::Detail() {
    ScanState& s = State();
    if (s.detailingLevel < 1) IniSet(L"Log Detailing", vb::Variant(1L));
    SetScanningProgress(L"Starting Exe Detailing");
    const long last = ProgramLineLast();
    keys_.assign(static_cast<size_t>(last) + 1, std::wstring());
    frmDoingStuff& progress = Progress();
    ShowProgressTexts(progress, kDetailingTitle,
                      L"Step 2 : Lumox is gathering necessary information on the files found. Thanks for waiting.");

    // The bar's range stays within 32767 whatever the number of files.
    scale_ = last > 0 ? 32767.0 / last : 0;
    scale_ = std::clamp(scale_, 0.0, 1.0);
    while (std::lround(last * scale_) > 32767) scale_ *= 0.99;
    long maximum = std::lround(last * scale_);
    long value = 0;
    if (0 >= maximum) {
        maximum = 1;
        value = maximum;
    }
    progress.prg.SetRange(0, static_cast<int>(maximum));
    progress.prg.SetValue(static_cast<int>(value));
    progress.prg.SetVisible(true);

    if (maximum == value) {
        Detail2Ini(L"REL-RescanQuestion", false);
        progress.Hide();
        vb::Variant answer = MessageHandler(MessageBase + 5008);
        if (answer.IsNumeric() && answer.ToLong() == AnswerYes) return Exit::Repeat;
    }
    SetScanningProgress(L"Starting Exe Detailing");

    std::vector<std::wstring>& lines = ProgramLines();
    long start = 0;
    if (level_ >= 2) {
        start = PopulateArrayWithProgressivelySavedDetails();
        for (long i = 0; i < start; ++i) {
            const std::wstring& line = lines[static_cast<size_t>(i)];
            if (line.find(L'|') != std::wstring::npos) keys_[static_cast<size_t>(i)] = GetExeLineKey(line);
        }
    }
    // Detailing from the first element writes the detail list afresh.
    if (start == 0 && level_ > 0) DeleteFileW(GetExeDetailRecoveryPath().c_str());

    const std::vector<std::wstring> problems = GetProblemFiles();
    ForgetShortNames();
    int counter = 0;
    std::wstring description;
    for (long i = start; i <= last; ++i) {
        std::wstring& element = lines[static_cast<size_t>(i)];
        const std::wstring path = vb::Trim(element);
        if (!path.empty()) {
            bool problem = false;
            for (size_t p = 1; p < problems.size() && !problem; ++p) problem = vb::TextEquals(path, problems[p]);
            if (!problem) {
                element = DetailExeFile(element, keys_[static_cast<size_t>(i)]);
                description = element.substr(0, element.find(L'|'));
            }
            if (++counter >= 10) {
                counter = 0;
                progress.lblInfo.SetText(description);
                progress.prg.SetValue(static_cast<int>(scale_ * i));
                if (WantsToStop()) return Exit::WrapUp;
            }
        }
        if (level_ > 0) SaveProgress(element);
    }
    File2Ini(L"All Files");
    return Exit::Finished;
}

void Scan::SortAndSave() {
    frmDoingStuff& progress = Progress();
    ShowProgressTexts(progress, kDetailingTitle,
                      L"Step 3 : Sorting Results. Please note: for efficiency reasons, there is no display movement "
                      L"while sorting, it will be relatively quick !");
    progress.SetUserInterruptible(false);

    ScanState& s = State();
    Detail2Ini(L"REL-Sorting", false);
    s.order = Sort(keys_, vb::BinaryCompare, 0);
    Detail2Ini(L"REL-Finding first real file", false);
    const std::vector<std::wstring>& lines = ProgramLines();
    const long last = ProgramLineLast();
    s.firstProgramLine = 0;
    while (s.firstProgramLine <= last &&
           lines[static_cast<size_t>(s.order[static_cast<size_t>(s.firstProgramLine)])].empty())
        ++s.firstProgramLine;
    Detail2Ini(L"REL-Finished finding first real file", false);

    ShowProgressTexts(progress, kDetailingTitle, L"Last Step ! : Saving the Results.");
    progress.prg.SetVisible(false);

    Detail2Ini(L"REL-Saving to disk", false);
    std::wstring text;
    long written = 0;
    for (long p = s.firstProgramLine; p <= last; ++p) {
        const std::wstring& line = lines[static_cast<size_t>(s.order[static_cast<size_t>(p)])];
        if (line.find(L'|') == std::wstring::npos) continue;
        text += line;
        text += L"\r\n";
        if (++written % 30 == 0) progress.lblInfo.SetText(line.substr(0, line.find(L'|')));
    }
    const std::wstring exeFile = GetExeFilePath();
    WriteWorkingFile(exeFile, text);
    written_ = true;
    // Minutes of work: the new list goes into the archive now, not only when the window closes.
    TrappedVoid(L"SortAndSave", [] { UpdateArchive(); });
    Detail2Ini(L"REL-Saved to disk", false);
    Detail2Ini(L"REL-File closed", false);

    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (GetFileAttributesExW(exeFile.c_str(), GetFileExInfoStandard, &data))
        host_.SetProgramListTimeStamp(data.ftLastWriteTime);
}

void Scan::WrapUpFinished() {
    if (level_ >= 2) {
        host_.ShowCrashRecoveryChoices(
            L"Lumox had finished excluding the problem files on your computer. For our continued effort in improving "
            L"Lumox we would appreciate you sending us the file exclusion information by using one the options "
            L"below - Thank you!",
            true);
    }
    // The recovery files have done their work; what cannot be removed is left.
    try {
        if (PathExists(GetExeListRecoveryPath())) {
            const std::wstring folder = GetRecoveryFolder();
            WIN32_FIND_DATAW data;
            HANDLE find = FindFirstFileW(JoinPaths(folder, L"*.*").c_str(), &data);
            if (find != INVALID_HANDLE_VALUE) {
                do {
                    if (!(data.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY))
                        DeleteFileW(JoinPaths(folder, data.cFileName).c_str());
                } while (FindNextFileW(find, &data));
                FindClose(find);
            }
            RemoveDirectoryW(folder.c_str());
        }
    } catch (...) {
        vb::CaptureCurrentException();
        vb::Err().Clear();
    }
    WrapUpShowFrame();
}

void Scan::WrapUpShowFrame() {
    Detail2Ini(L"REL-Wrap up 1", false);
    if (!host_.Form().Visible()) {
        host_.ShowMDIForm();
        MessageHandler(MessageBase + 4514);
    } else {
        CurrentMessagePresenter().Beep();
    }
    Detail2Ini(L"REL-Wrap up 2", false);
}

void Scan::WrapUp() {
    Detail2Ini(L"REL-Wrap up 3", true);
    frmDoingStuff* progress = frmDoingStuff::Existing();
    if (progress) progress->SetClosedByCode(true);
    Detail2Ini(L"REL-Wrap up 4", true);
    if (progress) progress->Close();
    win::DefaultInstance<frmDoingStuff>::Release();
    Detail2Ini(L"REL-Wrap up 5", true);
    vb::DoEvents();
    Detail2Ini(L"REL-Wrap up 6", true);
    host_.SetInterruptible(true);
    Detail2Ini(L"REL-Wrap up 7", true);
    IniSet(L"Log Detailing", vb::Variant(0L));
}

}  // namespace

bool RefreshExeList(ExeScanHost& host, bool showCancel) {
    ProcGuard guard;
    Scan scan(host, showCancel);
    return scan.Run();
}

bool RefreshExeList(ExeScanHost& host, bool, bool, bool, bool rescan, bool& ok) {
    ok = RefreshExeList(host, rescan);
    return ok;
}

void SetDetailingObserver(void (*observer)(const std::wstring& path)) { g_detailingObserver = observer; }

short SearchingLevel() { return State().searchingLevel; }
short DetailingLevel() { return State().detailingLevel; }
const std::vector<long>& ProgramLineOrder() { return State().order; }
long FirstProgramLine() { return State().firstProgramLine; }

void File2Ini(const std::wstring& path) {
    TrappedVoid(L"File2Ini", [&] {
        if (State().detailingLevel >= 1) IniSet(L"File", vb::Variant(path));
    });
}

void Detail2Ini(const std::wstring& mark, bool force) {
    TrappedVoid(L"Detail2Ini", [&] {
        if (State().detailingLevel >= 1 || force) IniSet(L"Detail", vb::Variant(mark));
    });
}

std::wstring Ini2Detail(std::wstring& defaultText) {
    return Trapped(L"Ini2Detail", [&] {
        if (defaultText.empty()) defaultText = L"Not Set";
        return IniFile(IniRead, L"Detail", {}, vb::Variant(defaultText)).ToString();
    });
}

std::vector<std::wstring> GetProblemFiles() {
    return Trapped(L"GetProblemFiles", [&] {
        std::vector<std::wstring> files(1);
        for (long n = 0;; ++n) {
            std::wstring value = IniFile(IniRead, ProblemKey(n), {}, vb::Variant(L".")).ToString();
            if (!IsSet(value)) break;
            files.push_back(std::move(value));
        }
        return files;
    }, std::vector<std::wstring>(1));
}

void MoveCrashedFile() {
    TrappedVoid(L"MoveCrashedFile", [&] {
        std::wstring file = vb::Trim(IniText(L"File", L"."));
        if (!IsSet(file)) return;
        long n = 0;
        while (IsSet(IniFile(IniRead, ProblemKey(n), {}, vb::Variant(L".")).ToString())) ++n;
        IniSet(ProblemKey(n).c_str(), vb::Variant(file));
    });
}

long PopulateArrayWithProgressivelySavedDetails() {
    return Trapped(L"PopulateArrayWithProgressivelySavedDetails", [&]() -> long {
        std::vector<std::wstring> saved;
        if (!ReadTextLines(GetExeDetailRecoveryPath(), saved)) return 0;
        std::vector<std::wstring>& lines = ProgramLines();
        // Never past the found list: a longer detail list cannot belong to it.
        const size_t n = std::min(saved.size(), lines.size());
        for (size_t i = 0; i < n; ++i) lines[i] = std::move(saved[i]);
        return static_cast<long>(n);
    }, 0L);
}

void SaveProgress(const std::wstring& line) {
    // After one failure (a full disk, say) the rest of the run saves no more progress: one
    // error box, not one for every remaining file.
    ScanState& s = State();
    if (s.progressSaveFailed) return;
    TrappedVoid(L"SaveProgress", [&] {
        HANDLE file = CreateFileW(GetExeDetailRecoveryPath().c_str(), FILE_APPEND_DATA, FILE_SHARE_READ, nullptr,
                                  OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file == INVALID_HANDLE_VALUE) {
            s.progressSaveFailed = true;
            vb::NoteLastDllError();
            vb::Raise(75);
        }
        std::string bytes = vb::ToAnsi(line) + "\r\n";
        DWORD done = 0;
        BOOL ok = WriteFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &done, nullptr);
        CloseHandle(file);
        if (!ok || done != bytes.size()) {
            s.progressSaveFailed = true;
            vb::Raise(75);
        }
    });
}

void SetScanningProgress(const std::wstring& text) {
    TrappedVoid(L"SetScanningProgress", [&] { IniSet(L"Scanning Progress", vb::Variant(text)); });
}

std::wstring DetailExeFile(const std::wstring& path, std::wstring& sortKey) {
    File2Ini(path);
    std::wstring status = L"OK";
    const std::wstring lowerPath = LowerCase(path);
    if (std::any_of(std::begin(kExclusionWords), std::end(kExclusionWords),
                    [&](const wchar_t* word) { return PathHolds(path, lowerPath, word); }))
        status = L"NE";
    else if (PathHolds(path, lowerPath, SystemFolder()))
        status = L"SD";
    else if (PathHolds(path, lowerPath, WindowsFolder()))
        status = L"WD";

    Detail2Ini(L"REL-GetFileInfo", false);
    if (g_detailingObserver) g_detailingObserver(path);
    FileVersionInfo info = GetFileInfo(path);

    Detail2Ini(L"REL-FormatCN", false);
    // A company that cleans to nothing is told by the file's own name.
    std::wstring company = CleanCompanyName(info.CompanyName, L"");
    if (company.empty()) {
        Detail2Ini(L"REL-GetFileType", false);
        company = GetFileType(L"\"" + path + L"\"").FileName.ToString();
        if (company.empty()) company = GetFileName(path);
    }

    std::wstring product = vb::Trim(info.FileDescription);
    if (product.empty()) product = vb::Trim(info.ProductName);
    if (product.empty()) {
        product = L"Missing info.";
        status = L"NE";
    }
    Detail2Ini(L"REL-FormatPD", false);
    product = CleanProductName(product, company, kMissingInfo);
    const std::wstring description = company + L" - " + product;

    Detail2Ini(L"REL-FormatFV", false);
    std::wstring version = CleanFieldText(info.FileVersion);
    if (version.find(L'.') == std::wstring::npos) {
        version = L"No version info.";
        status = L"NE";
    }

    if (status != L"NE") {
        vb::Variant answer = Registry(regGet, JoinPaths(L"Applications", info.OriginalFileName), L"",
                                      vb::Variant(L"NoOpenWith"), std::nullopt, vb::Variant(L"NoValueExists"),
                                      HKEY_CLASSES_ROOT, true);
        if (!vb::TextEquals(answer.ToString(), L"NoValueExists")) status = L"NE";
    }

    const std::wstring shortPath = ShortPathOf(path);
    // The list is kept in the ANSI code page: the line and its sort key are taken as they will
    // read back from the file, or a name outside the code page would sort elsewhere there than
    // here and break the order the look-ups rely on.
    const std::wstring line = vb::FromAnsi(vb::ToAnsi(description + L"|" + version + L"|" + status + L"|" + path +
                                                      L"|" + shortPath));
    sortKey = GetExeLineKey(line);
    return line;
}
