#include <windows.h>

#include <gtest/gtest.h>

#include "FakePresenter.h"
#include "LibraryMessages.h"
#include "UiTestForms.h"
#include "basErrorHandler.h"
#include "frmDoingStuff.h"
#include "vb/VbScreen.h"

namespace {

// The close box, as the user presses it.
void SendCloseCommand(win::Window& form) { SendMessageW(form.Handle(), WM_SYSCOMMAND, SC_CLOSE, 0); }

class ProgressWindowTest : public ::testing::Test {
protected:
    void SetUp() override { SetMessageRows(LibraryMessageRow); }
    void TearDown() override {
        if (frmDoingStuff* f = frmDoingStuff::Existing()) {
            f->SetClosedByCode(true);
            f->Close();
        }
        win::DefaultInstance<frmDoingStuff>::Release();
        ErrorHandler(ehClearAll);
    }
    FakePresenter boxes;
};

TEST_F(ProgressWindowTest, LoadsWithItsTexts) {
    frmDoingStuff& f = frmDoingStuff::Default();
    EXPECT_EQ(f.Caption(), L"Please Wait . . .");
    EXPECT_EQ(f.lblTitle.Text(), L"Title");
    EXPECT_EQ(f.lblNote.Text(), L"Note");
    EXPECT_EQ(f.lblInfo.Text(), L"Processing ...");
    EXPECT_EQ(f.lblUserInterruptible.Text(), L"Cannot interrupt this part of the process.");
    f.SetUserInterruptible(true);
    EXPECT_EQ(f.lblUserInterruptible.Text(), L"This part of the process is interruptible.");
    EXPECT_FALSE(f.UserWantsToStop());
    EXPECT_FALSE(f.ClosedByCode());
}

TEST_F(ProgressWindowTest, CloseCommandHandlerRefusesAndMayAskToStop) {
    TestForm caller(L"frmCaller", 400, 300);
    caller.Show();
    frmDoingStuff& f = frmDoingStuff::Default();
    f.SetCaller(&caller);
    f.SetUserInterruptible(false);
    f.Show();

    SendCloseCommand(f);
    EXPECT_TRUE(f.Loaded()) << "not interruptible: nothing happens";
    EXPECT_TRUE(boxes.shown.empty());

    f.SetUserInterruptible(true);
    boxes.answers = {AnswerNo, AnswerYes};
    SendCloseCommand(f);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].style & StyleQuestion, StyleQuestion);
    EXPECT_FALSE(f.UserWantsToStop()) << "No";
    SendCloseCommand(f);
    EXPECT_TRUE(f.UserWantsToStop()) << "Yes";
    EXPECT_TRUE(f.Loaded()) << "stays until the caller closes it";

    f.SetClosedByCode(true);
    f.Close();
    EXPECT_EQ(frmDoingStuff::Existing(), nullptr);
    frmDoingStuff& fresh = frmDoingStuff::Default();
    EXPECT_FALSE(fresh.UserWantsToStop()) << "the next use starts afresh";
    EXPECT_FALSE(fresh.UserInterruptible());
    EXPECT_EQ(boxes.shown.size(), 2u);
}

TEST_F(ProgressWindowTest, FollowsTheCallersVisibilityAtTheNextTextChange) {
    TestForm caller(L"frmCaller", 400, 300);
    caller.Show();
    frmDoingStuff& f = frmDoingStuff::Default();
    f.SetCaller(&caller);
    f.Show();
    caller.Hide();
    EXPECT_TRUE(f.Visible());
    f.lblInfo.SetText(L"C:\\Windows");
    EXPECT_FALSE(f.Visible());
    caller.Show();
    f.lblUserInterruptible.SetText(L"changed");
    EXPECT_TRUE(f.Visible());
}

TEST_F(ProgressWindowTest, CentresOverTheCallerOrTheHostFrame) {
    TestForm caller(L"frmCaller", 500, 400);
    caller.Move(3000, 1500);
    caller.Show();
    frmDoingStuff& f = frmDoingStuff::Default();
    f.SetCaller(&caller);
    f.Show();
    const long tx = vb::TwipsPerPixelX(), ty = vb::TwipsPerPixelY();
    EXPECT_NEAR(f.Left(), caller.Left() + caller.Width() / 2 - f.Width() / 2, tx);
    EXPECT_NEAR(f.Top(), caller.Top() + caller.Height() / 2 - f.Height() / 2, ty);
    f.SetClosedByCode(true);
    f.Close();

    TestForm host(L"MDIFrm", 700, 500);
    host.Move(150, 300);
    TestForm child(L"frmChild", 200, 150);
    child.Move(6000, 4000);
    child.PutControl(std::make_unique<FakeExtender>(child, &host));
    frmDoingStuff& g = frmDoingStuff::Default();
    g.SetCaller(&child);
    g.Show();
    EXPECT_NEAR(g.Left(), host.Left() + host.Width() / 2 - g.Width() / 2, tx) << "over the frame, not the child";
    EXPECT_NEAR(g.Top(), host.Top() + host.Height() / 2 - g.Height() / 2, ty);
}

}  // namespace
