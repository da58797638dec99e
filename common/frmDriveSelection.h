// The small modal dialog in which the user ticks the drives to scan. The drives of the
// Windows and System folders cannot be unticked.
#pragma once
#include <string>

#include "win/Window.h"

class frmDriveSelection : public win::Window {
    // Ahead of the controls: the window procedure runs while they are being created.
    int savedPointer_ = 0;
    std::wstring buttonPressed_;

public:
    frmDriveSelection();

    static frmDriveSelection& Default();
    static frmDriveSelection* Existing();
    static void Release();

    // "Ok" or "Cancel", set by the buttons only.
    const std::wstring& ButtonPressed() const { return buttonPressed_; }
    bool IsMandatoryDrive(const std::wstring& drive) const;

    win::Label& lbl;
    win::ListView& lstDrives;
    win::Button& OKButton;
    win::Button& cmdCancel;

protected:
    void OnUnload() override;

private:
    void ButtonClicked(const wchar_t* which);
    void DriveChecked(int item);
};
