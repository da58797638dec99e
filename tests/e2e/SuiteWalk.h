// The suite as a user meets it: the installed host (Marlden.exe) started as a program, its
// windows answered with the pointer and the keyboard (SendInput), and what Windows shows read
// back: windows, captions, the status bar's text, the registry, the switch atom and the tray.
// Each step waits for what it needs within a time limit, says what it did and what it saw, and
// answers false with a reason when the time ran out or a check failed.
#pragma once
#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace walk {

// Tells what a step does and sees, one line at a time.
using Say = std::function<void(const std::wstring&)>;
// Asked for a picture of the screen under a short name ("frame", "chooser").
using Snap = std::function<void(const std::wstring&)>;

// A message box of the suite: its number (the last word of its title) and its text.
struct MessageSeen {
    long number = 0;
    std::wstring title;
    std::wstring text;
};

// What a start's windows showed: how many of each showed, and the message boxes.
struct StartSeen {
    int tip = 0;          // the latest-version tip, answered "Just Continue"
    int driveList = 0;    // the drive list, answered OK
    int defaultSets = 0;  // the default-association offers, answered "Automatic"
    int welcome = 0;      // the welcome note, closed
    std::vector<MessageSeen> messages;  // each answered with Enter
};

// The message boxes a first start shows, in order: the scan's note, the presets, the desktop's
// test files and the first snapshot. A later start shows none.
const std::vector<long>& FirstStartMessages();

// What the chooser showed for one open request.
struct ChooserSeen {
    bool atPointer = false;              // the list's window holds the pointer
    std::vector<std::wstring> rows;      // the rows' first column
    std::wstring startedTitle;           // the caption of the chosen program's window
    std::wstring startedImage;           // the file name of the program that shows it
};

// The lines of an override list (TesselAdd.dat and its kin) for one extension, from the data
// archive; and a member's text.
struct ArchiveText {
    bool read = false;
    std::string categories;  // Tesselcat.xml
    std::string adds;        // TesselAdd.dat
    std::vector<std::vector<std::wstring>> AddsFor(const std::wstring& extension) const;
};
ArchiveText ReadArchive(const std::wstring& archive);

class SuiteWalk {
public:
    SuiteWalk(std::wstring hostExe, Say say, Snap snap = nullptr);
    ~SuiteWalk();  // ends what it started and still runs
    SuiteWalk(const SuiteWalk&) = delete;
    SuiteWalk& operator=(const SuiteWalk&) = delete;

    const std::wstring& Failure() const { return failure_; }

    // Starts the host program.
    bool Start();
    // Answers the windows of a start as a user does until the options window shows inside the
    // frame and no other window of the suite waits: the tip, and on a first start the drive
    // list, the default sets, the message boxes and the welcome note. firstStart false: any of
    // the first start's windows is a failure. A message box that is not among the start's own
    // (FirstStartMessages, none later) fails the start with its number and text, as does a
    // start that misses one of them.
    bool PassStart(bool firstStart, StartSeen& seen, DWORD limitMs);
    // The test files message 4520 speaks of lie on the Windows desktop.
    bool DesktopTestFilesThere();
    // The three components registered from the install's Programs folder.
    bool ComponentsRegistered(const std::wstring& programs);
    bool OptionsWindowInFrame();
    // The hook on: waits for the frame's own switch (up to waitMs), or double-clicks the status
    // bar's first panel. automatic tells which. A switch of the frame's own that comes just
    // before the double click (which then turns the hook off again) is met with a second one.
    bool HookOn(DWORD waitMs, bool& automatic);
    // A double click on the first panel and the switch as it then stands.
    bool TogglePanel(bool expectOn);
    // The suite's switch as the shell sees it: the atom and the hook's registration.
    static bool SwitchAtomPresent();
    static bool HookValuePresent();
    // The frame's icon in the notification area (it shows once the frame switched the hook on
    // by itself).
    bool TrayIconPresent();
    // F1 in the options window: the suite's help window shows, and the host still runs once
    // the user closed it.
    bool HelpByF1(DWORD limitMs);
    // The toolbar's top-left button with the host's help file taken away: a message box says
    // so, and the host still runs once the user answered it. The file is put back.
    bool HelpButtonWithoutTheFile(DWORD limitMs);
    // Opens a document through the shell's part (lumox_shell.exe), checks the chooser's list
    // at the pointer and clicks its first row, then waits for the chosen program's window.
    bool OpenThroughChooser(const std::wstring& shellExe, const std::wstring& document, ChooserSeen& seen);
    // A new category in the options window, as a user makes one: a right click on the category
    // tree's empty space, "Add Category" from the pop-up (its key), the name typed into the new
    // node's label and Enter. The tree then shows the name at the top level, selected.
    bool AddCategory(const std::wstring& name, DWORD limitMs);
    // The frame's minimize box. With the hook on the frame hides itself into the notification
    // area, and the options window closes itself there, packing its working folder into the data
    // archive. Waits (up to limitMs) until the frame is hidden and the options window gone.
    bool MinimizeIntoTheTray(DWORD limitMs);
    // A double click on the suite's icon in the notification area (under Xvfb, Wine's standalone
    // tray window at the top-left of the screen). Waits until the frame shows again, in front,
    // and has taken the whole double click.
    bool RestoreFromTheTray(DWORD limitMs);
    // File > Exit once, then "Exit" and OK in the close question, however long the frame takes
    // to ask it (up to limitMs); waits for the host to end.
    bool ExitThroughFileMenu(DWORD limitMs);
    // A later start exited during the options window's load: answers the tip, and once the frame
    // shows its options window chooses File > Exit once. The status bar must say that the Exit
    // waits ("Exits when the work ends"), the close question must come once the load has ended;
    // "Exit" and OK, then the host must end. A message box or a first start's window fails it.
    bool ExitOnceDuringTheLoad(StartSeen& seen, DWORD limitMs);

    HWND Frame() const { return frame_; }

private:
    bool Fail(const std::wstring& why);
    HWND FindFrame() const;
    std::vector<HWND> HostWindows() const;
    bool HostRuns() const;
    HWND FindTray() const;
    // Waits for a new visible window of the host that is not a menu or tip; nullptr on time out.
    HWND NewHostWindow(const std::vector<HWND>& before, DWORD limitMs) const;
    // Answers the start's windows as PassStart says until reached() holds with no window of the
    // suite waiting; fails after limitMs saying the start did not reach goal.
    bool AnswerStartWindows(bool firstStart, StartSeen& seen, DWORD limitMs, const std::wstring& goal,
                            const std::function<bool()>& reached);
    // Opens the File menu and chooses Exit by the menus' keys, once.
    bool ChooseFileExit();
    // Waits for the close question (noting whether the status bar said the Exit waits), answers
    // "Exit" and OK, and waits for the host to end.
    bool ExitWhenAsked(DWORD limitMs, bool& noticeSeen);

    std::wstring hostExe_;
    Say say_;
    Snap snap_;
    PROCESS_INFORMATION host_{};
    HWND frame_ = nullptr;
    HWND tray_ = nullptr;
    std::vector<DWORD> programsStarted_;
    std::wstring failure_;
};

}  // namespace walk
