#include <windows.h>

#include <gtest/gtest.h>

#include "FakePresenter.h"
#include "LibraryMessages.h"
#include "NeighbourServices.h"
#include "OptionsTestSupport.h"
#include "UiTestForms.h"
#include "UserInput.h"
#include "basErrorHandler.h"
#include "basUserInterface.h"
#include "frmAutoAssociate.h"
#include "vb/VbScreen.h"

using namespace optionstest;

namespace {

class AutoAssociateTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetMessageRows(LibraryMessageRow);
        frmAutoAssociate::Release();
    }
    void TearDown() override {
        frmAutoAssociate::Release();
        ErrorHandler(ehClearAll);
    }
    bool Topmost(const win::Window& form) const {
        return (GetWindowLongW(form.Handle(), GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
    }
    FakePresenter boxes;
};

}  // namespace

TEST_F(AutoAssociateTest, TheFirstActivationAnnouncesThePresetsAndAnswersAutomatic) {
    frmAutoAssociate& dialog = frmAutoAssociate::Default();
    EXPECT_FALSE(dialog.AddSelected());
    EXPECT_FALSE(dialog.AddAll());
    EXPECT_FALSE(dialog.Answered());
    EXPECT_TRUE(boxes.shown.empty()) << "loading alone announces nothing";
    EXPECT_FALSE(Topmost(dialog));

    dialog.Show();
    Pump();
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(Unwrapped(boxes.shown[0].prompt),
              L"Based on your computer's configuration Lumox will now add a number of presets into Lumox with which "
              L"to get started.");
    EXPECT_TRUE(dialog.AddAll());
    EXPECT_TRUE(dialog.Answered());
    EXPECT_FALSE(dialog.AddSelected());
    EXPECT_TRUE(Topmost(dialog));
    EXPECT_TRUE(dialog.Visible());

    // Losing and regaining the focus announces nothing more.
    TestForm other(L"frmOther", 200, 100);
    other.Show();
    SetActiveWindow(other.Handle());
    Pump();
    SetActiveWindow(dialog.Handle());
    Pump();
    EXPECT_EQ(GetActiveWindow(), dialog.Handle());
    EXPECT_EQ(boxes.shown.size(), 1u);
}

TEST_F(AutoAssociateTest, TheButtonsOnlySetTheFlags) {
    frmAutoAssociate& dialog = frmAutoAssociate::Default();
    dialog.Show();
    Pump();
    // The user clicks each button where it stands, on the dialog in front.
    ASSERT_TRUE(userinput::BringToFront(dialog.Handle()));
    struct Step {
        win::Button* button;
        bool addSelected;
    };
    const Step steps[] = {{&dialog.OKButton, true}, {&dialog.CancelButton, false}, {&dialog.OKButton, true}};
    for (const Step& step : steps) {
        dialog.SetAnswered(false);
        EXPECT_TRUE(userinput::ClickButton(step.button->Handle())) << vb::ToAnsi(step.button->Text());
        EXPECT_TRUE(dialog.Answered());
        EXPECT_EQ(dialog.AddSelected(), step.addSelected);
        ASSERT_NE(frmAutoAssociate::Existing(), nullptr) << "no button closes the dialog";
        EXPECT_TRUE(dialog.Visible());
    }
    dialog.SetAnswered(false);
    EXPECT_TRUE(userinput::ClickButton(dialog.cmdAddAll.Handle()));
    EXPECT_TRUE(dialog.Answered());
    EXPECT_TRUE(dialog.AddAll());
    EXPECT_TRUE(dialog.Visible());
    EXPECT_EQ(dialog.OKButton.Text(), L"Add");
    EXPECT_EQ(dialog.CancelButton.Text(), L"Don't Add");
    EXPECT_EQ(dialog.cmdAddAll.Text(), L"Automatic");
}

TEST_F(AutoAssociateTest, TheListHasSixColumnsAndTheWindowSitsAtTheRightEdge) {
    frmAutoAssociate& dialog = frmAutoAssociate::Default();
    EXPECT_EQ(dialog.Caption(), L"Associations to Automatically Add");
    const struct {
        const wchar_t* header;
        long twips;
    } columns[] = {{L"Status", 630},       {L"Version", 1300},   {L"Programs on your Computer", 3750},
                   {L"Executable (.Exe)", 1600}, {L"File Path", 4250}, {L"Short File Path", 4250}};
    ASSERT_EQ(dialog.lvwPrograms.ColumnCount(), 6);
    HWND header = reinterpret_cast<HWND>(SendMessageW(dialog.lvwPrograms.Handle(), LVM_GETHEADER, 0, 0));
    for (int i = 0; i < 6; ++i) {
        wchar_t text[64] = {};
        HDITEMW item{};
        item.mask = HDI_TEXT;
        item.pszText = text;
        item.cchTextMax = 64;
        SendMessageW(header, HDM_GETITEMW, static_cast<WPARAM>(i), reinterpret_cast<LPARAM>(&item));
        EXPECT_STREQ(text, columns[i].header);
        EXPECT_EQ(dialog.lvwPrograms.ColumnWidth(i), win::TwipsToPixelsX(columns[i].twips)) << i;
    }
    EXPECT_NE(dialog.lbl[1]->Text().find(L"Press enter for all listed"), std::wstring::npos);
    EXPECT_EQ(dialog.lbl[0]->Text(), L"Description");
    EXPECT_EQ(dialog.lbl[3]->Text(), L".*");

    EXPECT_NEAR(dialog.Left() + dialog.Width(), vb::ScreenWidth(), vb::TwipsPerPixelX());
    EXPECT_NEAR(dialog.Top(), (vb::ScreenHeight() - dialog.Height()) * 0.4, vb::TwipsPerPixelY());
}

TEST_F(AutoAssociateTest, TheDefaultAssociationsReachWhicheverInstanceIsCurrent) {
    AutoAssociateDialog& shared = SharedAutoAssociateDialog();
    EXPECT_FALSE(shared.Loaded());

    // As the caller fills it: a label loads the dialog without showing it.
    shared.SetLabel(4, L"7");
    ASSERT_TRUE(shared.Loaded());
    EXPECT_TRUE(GetLoadedForm(L"frmAutoAssociate"));
    EXPECT_EQ(frmAutoAssociate::Existing()->lbl[4]->Text(), L"7");
    EXPECT_FALSE(frmAutoAssociate::Existing()->Visible());
    EXPECT_TRUE(boxes.shown.empty());
    shared.ShowModeless();
    Pump();
    EXPECT_EQ(boxes.shown.size(), 1u);
    EXPECT_TRUE(shared.AddAll());
    win::ListView& list = shared.Programs();
    EXPECT_EQ(&list, &frmAutoAssociate::Existing()->lvwPrograms);
    list.SetChecked(list.AddItem(L"WD"), true);
    shared.SetAnswered(false);
    EXPECT_FALSE(shared.Answered());

    // Closed by its title bar in the middle of a run, then shown again: a fresh dialog.
    SendMessageW(frmAutoAssociate::Existing()->Handle(), WM_CLOSE, 0, 0);
    EXPECT_FALSE(shared.Loaded());
    shared.ShowModeless();
    Pump();
    ASSERT_TRUE(shared.Loaded());
    EXPECT_EQ(shared.Programs().Count(), 0);
    EXPECT_EQ(boxes.shown.size(), 2u) << "a fresh dialog announces the presets again";
    shared.Unload();
    EXPECT_FALSE(shared.Loaded());
    EXPECT_FALSE(GetLoadedForm(L"frmAutoAssociate"));
}
