// The progress window that long operations show: a title, a note, the current item, whether
// the user may interrupt, and the user's request to stop. One instance at a time; closing it
// drops that instance.
#pragma once
#include "win/Window.h"

class frmDoingStuff : public win::Window {
    // Ahead of the controls: the window procedure runs while they are being created.
    win::Window* caller_ = nullptr;
    bool userInterruptible_ = false;
    bool closedByCode_ = false;
    bool userWantsToStop_ = false;
    bool activated_ = false;

public:
    frmDoingStuff();

    // The shared instance, created on first use (a fresh one after the last was closed).
    static frmDoingStuff& Default();
    // The instance when one is loaded, else nullptr.
    static frmDoingStuff* Existing();

    win::Window* Caller() const { return caller_; }
    void SetCaller(win::Window* caller) { caller_ = caller; }
    bool UserInterruptible() const { return userInterruptible_; }
    void SetUserInterruptible(bool value);
    bool ClosedByCode() const { return closedByCode_; }
    void SetClosedByCode(bool value) { closedByCode_ = value; }
    bool UserWantsToStop() const { return userWantsToStop_; }

    // Asks the window to close, as the close box does; it only goes when ClosedByCode is set.
    void Close();

    win::Label& lblTitle;
    win::Label& lblNote;
    win::Label& lblInfo;
    win::Label& lblUserInterruptible;
    win::ProgressBar& prg;
    win::Container& pic;

protected:
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void OnTextChanged(win::Control& control) override;
    bool OnQueryUnload() override;

private:
    void CentreOverCaller();
};
