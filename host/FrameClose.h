// What happens when the frame is asked to close: a busy product keeps it open for now, and the
// close is carried out once the product's work has ended; otherwise the user chooses between
// minimizing and exiting, and the exit path stops the heartbeat and switches the suite off.
#pragma once
#include <string>

// The frame as its close decisions see it.
class ClosingFrame {
public:
    // A product's window answers Interruptible = False.
    virtual bool ProductBusy() = 0;
    // The close came while a product was busy: it is remembered (and the user told so) and asked
    // again once the product's work has ended.
    virtual void ExitWaits() = 0;
    // A close got past the busy check: an Exit remembered earlier is settled by this close
    // (asked, exited or minimized), so it is forgotten. Its notice stays until this close ends.
    virtual void ExitGoesAhead() = 0;
    virtual void SavePlacement() = 0;
    virtual int CurrentWindowState() const = 0;
    // Shows the close choice; true when the user chose Exit.
    virtual bool AskExit() = 0;
    virtual void Minimize() = 0;
    virtual void StopTimer() = 0;
    virtual void EndMeter() = 0;
    // Closes the library windows shown as the frame's children, through their own close.
    virtual void UnloadMdiChildren() = 0;
    virtual void HookOff() = 0;
    virtual void SetHookPanel(const std::wstring& text) = 0;

protected:
    ~ClosingFrame() = default;
};

enum class CloseMode {
    User,        // the close box, File Exit, the tray's Exit
    SessionEnd,  // Windows is logging off or shutting down: no question, the session must end
};

// MDIForm_QueryUnload: answers true to cancel the close. Each step that fails is skipped and
// the next one runs.
bool FrameQueryUnload(ClosingFrame& frame, CloseMode mode);
