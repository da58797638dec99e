#include "frmDriveSelection.h"

#include "basErrorHandler.h"
#include "basUserInterface.h"
#include "basWinAPI_Windows.h"
#include "vb/VbScreen.h"

frmDriveSelection::frmDriveSelection()
    : win::Window(L"frmDriveSelection"),
      lbl((Create(L"Drive List", 260, 250, WS_POPUP | WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN,
                  WS_EX_CONTROLPARENT | WS_EX_DLGMODALFRAME),
           Add<win::Label>(nullptr, L"lbl", -1,
                           L"Select the drive that you want to scan. By default all local drives are selected.",
                           win::Rect{10, 8, 240, 40}))),
      lstDrives(Add<win::ListView>(nullptr, L"lstDrives", -1, win::Rect{10, 52, 240, 150}, true,
                                   LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_SINGLESEL)),
      OKButton(Add<win::Button>(nullptr, L"OKButton", -1, L"OK", win::Rect{50, 212, 90, 26}, BS_DEFPUSHBUTTON)),
      cmdCancel(Add<win::Button>(nullptr, L"cmdCancel", -1, L"Cancel", win::Rect{150, 212, 90, 26})) {
    lstDrives.AddColumn(L"", 200);
    OKButton.OnClick = [this] { ButtonClicked(L"Ok"); };
    cmdCancel.OnClick = [this] { ButtonClicked(L"Cancel"); };
    lstDrives.OnItemCheck = [this](int item) { DriveChecked(item); };
    TrappedVoid(L"Form_Load", [&] {
        PlaceForm(*this, phCentre, pvFraction, nullptr, 0, 0.35);
        savedPointer_ = vb::ScreenMousePointer();
        vb::SetScreenMousePointer(vb::vbDefault);
    });
}

frmDriveSelection& frmDriveSelection::Default() { return win::DefaultInstance<frmDriveSelection>::Get(); }
frmDriveSelection* frmDriveSelection::Existing() { return win::DefaultInstance<frmDriveSelection>::Existing(); }
void frmDriveSelection::Release() { win::DefaultInstance<frmDriveSelection>::Release(); }

void frmDriveSelection::OnUnload() {
    TrappedVoid(L"Form_Unload", [&] { vb::SetScreenMousePointer(savedPointer_); });
}

bool frmDriveSelection::IsMandatoryDrive(const std::wstring& drive) const {
    // Judged by the drive letter alone, whatever its case.
    return Trapped(L"IsMandatoryDrive", [&] { return !drive.empty() && IsWindowsOrSystemDrive(drive.substr(0, 1)); });
}

void frmDriveSelection::ButtonClicked(const wchar_t* which) {
    TrappedVoid(which[0] == L'O' ? L"OKButton_Click" : L"cmdCancel_Click", [&] {
        buttonPressed_ = which;
        Hide();
    });
}

void frmDriveSelection::DriveChecked(int item) {
    TrappedVoid(L"lstDrives_ItemCheck", [&] {
        if (!lstDrives.Checked(item) && IsMandatoryDrive(lstDrives.ItemText(item))) lstDrives.SetChecked(item, true);
    });
}
