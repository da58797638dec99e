// The crash-recovery dialog: after a run that did not finish, the user mails or copies the
// settings file, leaves things as they are, or forgets the crash. The dialog decides nothing:
// it writes the pressed button's index into its parent form's ReturnValue.
#pragma once
#include <windows.h>
#include <oaidl.h>

#include <array>
#include <string>

#include "win/Window.h"

// Button indexes as the parent form reads them from ReturnValue.
enum RecoveryChoice : short { rcSend = 0, rcCopy = 1, rcLeave = 2, rcRetry = 3 };

class frmCrashRecoveryChoices : public win::Window {
    // Ahead of the controls: the window procedure runs while they are being created.
    IDispatch* parent_ = nullptr;
    bool activated_ = false;

public:
    frmCrashRecoveryChoices();
    ~frmCrashRecoveryChoices() override;

    static frmCrashRecoveryChoices& Default();
    static frmCrashRecoveryChoices* Existing();
    static void Release();

    // The window that receives the answer through its ReturnValue member. Its ReturnValue is
    // emptied here, so a dialog closed by its title bar leaves Empty (no choice) behind.
    void SetParentForm(IDispatch* parent);
    IDispatch* ParentForm() const { return parent_; }

    // Shows only "Send" and "Copy" (rows 2 and 3 hidden).
    void HideLeaveAndRetry();

    // What a button press does: the mail or clipboard step, the index to the parent, unload.
    void ChoiceClicked(int index);

    win::Label& lblTitle;
    std::array<win::Label*, 4> lbls{};
    std::array<win::Button*, 4> cmds{};

protected:
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void OnUnload() override;

private:
    void Activated();
};

// The caller's side in one: ParentForm, the title, rows 2 and 3 hidden when asked, shown
// modally with the host frame as owner. The answer is then in the parent's ReturnValue.
void OfferCrashRecoveryChoices(IDispatch* parentForm, const std::wstring& title, bool onlyMailAndCopy);

// The whole settings file, every line followed by CR LF. A failure to read is reported under
// this name and what was read until then is answered.
std::wstring GetIniFileContent();
