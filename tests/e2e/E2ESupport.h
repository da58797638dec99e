// The deliverables working together as Windows runs them: an installed suite (the chooser in
// its Programs folder, an archive made by our own ZIP layer in its Data folder, the hook
// registered with regsvr32), user programs that record how they were started, and a driver
// that plays the shell's part: it creates the hook by its CLSID and calls Execute, and when
// the hook leaves the open to the shell, opens the file itself as the shell would.
#pragma once
#include <windows.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

namespace e2e {

// A line on standard output in UTF-8, flushed at once (the tools' own reports).
void PrintLine(const std::wstring& text);

// The built deliverables and the recorder program, from this program's folder in the build tree.
std::wstring BuiltZintra();
std::wstring BuiltChusel();
std::wstring BuiltRecorder();

// A suite installed under root in the folders of an install (SuiteInstall.h), with only the
// chooser of its components: root\Programs\Chusel.exe, root\Data\TesselMorva.dat, the user's
// programs in root\Apps and documents in root\Docs. The association of the documents'
// extensions goes to root\Apps\winprog.exe (the program Windows would use).
struct Suite {
    std::wstring root;
    std::wstring programs;  // root\Programs
    std::wstring apps;      // root\Apps
    std::wstring docs;      // root\Docs
    std::wstring chusel;    // root\Programs\Chusel.exe

    std::wstring App(const std::wstring& name) const { return apps + L"\\" + name + L".exe"; }
    std::wstring Log(const std::wstring& name) const { return apps + L"\\" + name + L".log"; }
    std::wstring Doc(const std::wstring& name) const { return docs + L"\\" + name; }
};

// The programs: editor and viewer offered for ".lxadd", fixed the default for ".lxdef",
// winprog the Windows program of ".lxadd", ".lxdef" and ".lxnone". Documents: letter.lxadd,
// report.lxdef, plain.lxnone. Registers the hook and the suite's chooser and writes the
// associations. Answers false with a reason when a step fails.
bool InstallSuite(const std::wstring& root, Suite& suite, std::wstring& failure);
// Unregisters the chooser copy and removes the associations and the folder.
void RemoveSuite(const Suite& suite);

// The suite's switch.
void SwitchOn();
void SwitchOff();
// The switch atom is there.
bool SwitchedOn();

struct ShellResult {
    HRESULT hook = E_FAIL;        // what the hook's Execute answered
    INT_PTR hInstApp = 0;          // what it left in the request's hInstApp
    bool openedByShell = false;    // the shell went on and opened the file itself
};

// The shell's part for one open request: the hook's Execute, then the shell's own open when
// the hook leaves it to the shell. COM must be initialised on the calling thread.
ShellResult PlayShell(const std::wstring& file, const std::string& verb = "open");

// The user at the chooser's list: watches for a list window with the caption from its own
// thread and, once it shows, posts the keys to its list view.
class ListUser {
public:
    ListUser(std::wstring caption, std::vector<WORD> keys);
    ~ListUser();
    ListUser(const ListUser&) = delete;
    ListUser& operator=(const ListUser&) = delete;
    // Stops watching; true when the list was seen.
    bool Finish();

private:
    std::wstring caption_;
    std::vector<WORD> keys_;
    std::atomic<bool> stop_{false};
    std::atomic<bool> seen_{false};
    std::thread thread_;
};

// The caption of the chooser's list for an extension key.
std::wstring ListCaption(const std::wstring& key);

// The recorder's lines "<folder>|<command line>".
std::vector<std::wstring> LogLines(const std::wstring& log, size_t atLeast = 0, DWORD timeoutMs = 0);

std::wstring ShortPath(const std::wstring& path);
// The text in lower case, and the file-name part of a path.
std::wstring Lower(std::wstring text);
std::wstring FileNameOf(const std::wstring& path);
// Numbers as "4513, 4535", or "none".
std::wstring NumbersText(const std::vector<long>& numbers);

}  // namespace e2e
