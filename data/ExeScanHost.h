// What the program scan uses of the options window that runs it: the window itself (its
// controls are switched off meanwhile, the progress window centres over it, its visibility
// decides how the end is announced), its Interruptible and ReturnValue, the crash-recovery
// dialog, the program list's time stamp and the host frame's ShowMDIForm. The options window
// implements it; tests use a stand-in.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "basExeSearch.h"
#include "vb/VbVariant.h"
#include "win/Window.h"

class ExeScanHost {
public:
    virtual win::Window& Form() = 0;
    virtual void SetInterruptible(bool value) = 0;
    // frmCrashRecoveryChoices with the options window as ParentForm and title in lblTitle;
    // onlyMailAndCopy hides cmds(2), cmds(3), lbls(2) and lbls(3). Shown modal, owned by the
    // host frame; the pressed button's index lands in ReturnValue.
    virtual void ShowCrashRecoveryChoices(const std::wstring& title, bool onlyMailAndCopy) = 0;
    virtual vb::Variant ReturnValue() const = 0;
    // The new program list's time stamp, kept for the 60-day test.
    virtual void SetProgramListTimeStamp(const FILETIME& lastWrite) = 0;
    // The host frame's ShowMDIForm, called late-bound by name.
    virtual void ShowMDIForm() = 0;
    // The drive dialog for the scan: fixed and network drives, Cancel shown as asked.
    virtual std::vector<std::wstring> DrivesToScan(bool showCancel) {
        return GetDrivesToScan(false, true, true, false, false, false, showCancel);
    }

protected:
    ~ExeScanHost() = default;
};
