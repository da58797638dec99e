#include <windows.h>

#include <fstream>
#include <functional>

#include <gtest/gtest.h>

#include "FakePresenter.h"
#include "LibraryMessages.h"
#include "UserInput.h"
#include "basErrorHandler.h"
#include "basExeSearch.h"
#include "basWinAPI_Windows.h"
#include "frmDriveSelection.h"
#include "vb/VbText.h"

namespace {

// What the user does once the dialog is on screen; run from a timer inside its modal loop.
std::function<void(frmDriveSelection&)> g_user;
int g_ticks = 0;

void CALLBACK UserTimer(HWND, UINT, UINT_PTR id, DWORD) {
    frmDriveSelection* form = frmDriveSelection::Existing();
    if (++g_ticks > 100 && form) form->Hide();  // never leave a test waiting on the dialog
    if (!form || !form->Visible()) return;
    // The user's input goes to the window in front.
    if (GetForegroundWindow() != form->Handle()) {
        SetForegroundWindow(form->Handle());
        return;
    }
    KillTimer(nullptr, id);
    g_user(*form);
}

std::vector<std::wstring> RunDialog(bool fixed, bool showCancel, std::function<void(frmDriveSelection&)> user) {
    g_user = std::move(user);
    g_ticks = 0;
    UINT_PTR timer = SetTimer(nullptr, 0, 20, &UserTimer);
    auto answer = GetDrivesToScan(false, fixed, true, false, false, false, showCancel);
    KillTimer(nullptr, timer);
    return answer;
}

// The user's click on a button; it arrives once the dialog's loop pumps again.
void Press(win::Button& button) { userinput::Click(userinput::CentreOf(button.Handle())); }

// The user's click on the check box of a row of the list.
void ClickCheckBox(win::ListView& list, int row) {
    RECT bounds{};
    bounds.left = LVIR_BOUNDS;
    SendMessageW(list.Handle(), LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&bounds));
    const int boxWidth = GetSystemMetrics(SM_CXSMICON);
    userinput::Click(userinput::OnScreen(list.Handle(), POINT{bounds.left + boxWidth / 2 + 1, (bounds.top + bounds.bottom) / 2}));
}

class DriveSelectionTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetMessageRows(LibraryMessageRow);
        ResetSubstDrives();
    }
    void TearDown() override {
        DeleteFileW(L"C:\\autoexec.bat");
        ResetSubstDrives();
        ErrorHandler(ehClearAll);
    }
    FakePresenter boxes;
};

TEST_F(DriveSelectionTest, TheWindowsDriveCannotBeUncheckedOthersCan) {
    std::vector<std::wstring> listed;
    std::vector<bool> checkedAtStart;
    bool cancelVisible = true;
    std::wstring caption;
    auto answer = RunDialog(true, false, [&](frmDriveSelection& form) {
        caption = form.Caption();
        cancelVisible = form.cmdCancel.Visible();
        for (int i = 0; i < form.lstDrives.Count(); ++i) {
            listed.push_back(form.lstDrives.ItemText(i));
            checkedAtStart.push_back(form.lstDrives.Checked(i));
            ClickCheckBox(form.lstDrives, i);  // the user unticks everything
        }
        Press(form.OKButton);
    });
    EXPECT_EQ(caption, L"Drive List");
    EXPECT_FALSE(cancelVisible);
    ASSERT_FALSE(listed.empty());
    for (size_t i = 0; i < listed.size(); ++i) {
        EXPECT_TRUE(checkedAtStart[i]) << "fixed drives start checked: " << vb::ToAnsi(listed[i]);
        EXPECT_NE(vb::UCase(listed[i]), L"Z:\\") << "the Linux root is never offered";
    }
    ASSERT_GE(answer.size(), 2u);
    EXPECT_EQ(answer[0], L"Ok");
    EXPECT_EQ(answer.size(), 2u) << "only the Windows drive stays";
    EXPECT_EQ(vb::UCase(answer[1].substr(0, 1)), vb::UCase(WindowsFolder().substr(0, 1)));
    EXPECT_EQ(frmDriveSelection::Existing(), nullptr) << "unloaded";
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(DriveSelectionTest, OkKeepsTheCheckedDrivesInListOrder) {
    std::vector<std::wstring> listed;
    auto answer = RunDialog(true, true, [&](frmDriveSelection& form) {
        for (int i = 0; i < form.lstDrives.Count(); ++i) listed.push_back(form.lstDrives.ItemText(i));
        Press(form.OKButton);
    });
    ASSERT_EQ(answer.size(), listed.size() + 1);
    for (size_t i = 0; i < listed.size(); ++i) EXPECT_EQ(answer[i + 1], listed[i]);
}

TEST_F(DriveSelectionTest, CancelAnswersNoDrives) {
    bool cancelVisible = false;
    auto answer = RunDialog(true, true, [&](frmDriveSelection& form) {
        cancelVisible = form.cmdCancel.Visible();
        Press(form.cmdCancel);
    });
    EXPECT_TRUE(cancelVisible);
    ASSERT_EQ(answer.size(), 1u);
    EXPECT_EQ(answer[0], L"Cancel");
}

TEST_F(DriveSelectionTest, ClosingTheDialogByItsCloseBoxAnswersNoDrives) {
    auto answer = RunDialog(true, false, [&](frmDriveSelection&) { userinput::Chord({VK_MENU, VK_F4}); });
    ASSERT_EQ(answer.size(), 1u);
    EXPECT_FALSE(vb::TextEquals(answer[0], L"Ok")) << "read as a cancel";
    EXPECT_EQ(frmDriveSelection::Existing(), nullptr);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(DriveSelectionTest, DrivesOfTypesNotAskedForAreNotListed) {
    int count = -1;
    auto answer = RunDialog(false, true, [&](frmDriveSelection& form) {
        count = form.lstDrives.Count();
        Press(form.OKButton);
    });
    EXPECT_EQ(count, 0) << "this prefix has only fixed drives";
    EXPECT_EQ(answer.size(), 1u);
}

TEST_F(DriveSelectionTest, SubstLinesOfAutoexecMarkTheirDrives) {
    {
        std::ofstream f("C:\\autoexec.bat", std::ios::binary);
        f << "@echo off\r\n"
             "  SUBST  X:  C:\\WORK\r\n"
             "rem subst Y: C:\\old\r\n"
             "subst q: c:\\q\n"
             "path C:\\substitute\r\n";
    }
    EXPECT_TRUE(IsSubstDrive(L"X:\\"));
    EXPECT_TRUE(IsSubstDrive(L"x:\\"));
    EXPECT_TRUE(IsSubstDrive(L"Q:\\"));
    EXPECT_FALSE(IsSubstDrive(L"Y:\\")) << "a rem line";
    EXPECT_FALSE(IsSubstDrive(L"C:\\"));
    EXPECT_EQ(GetDriveTypeEx(L"C:\\"), dtFixed);

    DeleteFileW(L"C:\\autoexec.bat");
    EXPECT_TRUE(IsSubstDrive(L"X:\\")) << "read once per run";
    ResetSubstDrives();
    EXPECT_FALSE(IsSubstDrive(L"X:\\")) << "no file: no substituted drives, no message";
    EXPECT_TRUE(boxes.shown.empty());
}

}  // namespace
