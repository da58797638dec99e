#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "FakePresenter.h"
#include "LibraryMessages.h"
#include "NeighbourServices.h"
#include "OptionsTestSupport.h"
#include "TestSupport.h"
#include "UiTestForms.h"
#include "basErrorHandler.h"
#include "basStrings.h"
#include "frmInfo.h"
#include "vb/VbApp.h"
#include "vb/VbScreen.h"

using namespace optionstest;

namespace {

const char kFirstNote[] = "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 First \\b note\\b0 .\\par}";
const char kSecondNote[] = "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0\\fs20 Second \\i note\\i0 .\\par}";

class InfoTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetMessageRows(LibraryMessageRow);
        folder = testsupport::FreshTempFolder(L"LumoxNotes");
        first = folder + L"\\First.prg.note";
        second = folder + L"\\Second.cat.note";
        WriteBytes(first, kFirstNote);
        WriteBytes(second, kSecondNote);
        frmInfo::Release();
        vb::SetScreenMousePointer(vb::vbDefault);
    }
    void TearDown() override {
        frmInfo::Release();
        SetOptionsWindowAccessor(nullptr);
        vb::SetScreenMousePointer(vb::vbDefault);
        testsupport::RemoveTree(folder);
        ErrorHandler(ehClearAll);
    }

    // Shows the note while act plays the user once the window is on screen.
    bool Show(const std::wstring& path, const std::function<void(frmInfo&)>& act) {
        return RunDriven([&] { frmInfo::ShowRTF(path); },
                         [&] {
                             frmInfo* form = frmInfo::Existing();
                             if (!form || !form->Visible()) return false;
                             act(*form);
                             return true;
                         });
    }

    std::wstring folder, first, second;
    FakePresenter boxes;
};

}  // namespace

TEST_F(InfoTest, AMissingNoteShowsNothingAndReportsNothing) {
    vb::SetScreenMousePointer(vb::vbHourglass);
    frmInfo::ShowRTF(folder + L"\\Missing.all.note");
    EXPECT_EQ(frmInfo::Existing(), nullptr) << "no window was loaded";
    EXPECT_EQ(vb::ScreenMousePointer(), vb::vbHourglass);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_FALSE(vb::Err().IsCurrent());
}

TEST_F(InfoTest, ANoteIsShownModallyUntilCloseHidesTheWindow) {
    std::wstring caption, text;
    bool richShown = false, plainShown = true, checkShown = true;
    ASSERT_TRUE(Show(first, [&](frmInfo& form) {
        caption = form.Caption();
        text = form.rtfMsg.PlainText();
        richShown = form.rtfMsg.Visible();
        plainShown = form.txtMsg.Visible();
        checkShown = form.chkDontDisplayAgain.Visible();
        Press(form.btnClose.Handle());
    }));
    EXPECT_EQ(caption, L"Information");
    EXPECT_EQ(vb::Trim(StrReplace(text, L"\r\n", L"")), L"First note.");
    EXPECT_TRUE(richShown);
    EXPECT_FALSE(plainShown);
    EXPECT_FALSE(checkShown);
    ASSERT_NE(frmInfo::Existing(), nullptr) << "Close only hides the window";
    EXPECT_FALSE(frmInfo::Existing()->Visible());
}

TEST_F(InfoTest, EnterAndEscapeCloseTheNoteLikeClose) {
    for (WPARAM key : {VK_RETURN, VK_ESCAPE}) {
        SCOPED_TRACE(key);
        ASSERT_TRUE(Show(first, [&](frmInfo& form) {
            PostMessageW(form.Handle(), WM_KEYDOWN, key, 0);
        }));
        ASSERT_NE(frmInfo::Existing(), nullptr);
        EXPECT_FALSE(frmInfo::Existing()->Visible());
    }
}

TEST_F(InfoTest, ASecondNoteShowsInTheWindowWhereTheUserLeftIt) {
    long movedLeft = 0, movedTop = 0;
    ASSERT_TRUE(Show(first, [&](frmInfo& form) {
        form.Move(form.Left() + 600, form.Top() + 300);
        movedLeft = form.Left();
        movedTop = form.Top();
        Press(form.btnClose.Handle());
    }));
    long left = 0, top = 0;
    std::wstring text;
    ASSERT_TRUE(Show(second, [&](frmInfo& form) {
        left = form.Left();
        top = form.Top();
        text = form.rtfMsg.PlainText();
        Press(form.btnClose.Handle());
    }));
    EXPECT_NE(text.find(L"Second note."), std::wstring::npos);
    EXPECT_EQ(text.find(L"First"), std::wstring::npos);
    EXPECT_EQ(left, movedLeft);
    EXPECT_EQ(top, movedTop);
}

TEST_F(InfoTest, CopyOffersTheNoteAsRichText) {
    PutClipboardSentinel(L"before");
    ASSERT_TRUE(Show(second, [&](frmInfo& form) {
        Press(form.btnCopyToClipboard.Handle());
        Press(form.btnClose.Handle());
    }));
    ASSERT_TRUE(IsClipboardFormatAvailable(RichTextFormat()));
    const std::string rtf = ClipboardBytes(RichTextFormat());
    EXPECT_EQ(rtf.rfind("{\\rtf", 0), 0u) << rtf;
    EXPECT_NE(rtf.find("\\i"), std::string::npos) << "the formatting travels: " << rtf;
    EXPECT_NE(ClipboardText().find(L"Second note."), std::wstring::npos);
}

TEST_F(InfoTest, ThePlainTextUseShowsTheTextBoxAndCopiesPlainText) {
    const std::wstring report =
        L"The following associations have been removed because they are referring to programs that no longer "
        L"exist on your computer.\r\n.txt|Old Tool";
    // A note first, so the switch back to the text box is seen.
    ASSERT_TRUE(Show(first, [](frmInfo& form) { Press(form.btnClose.Handle()); }));
    PutClipboardSentinel(L"before");
    bool richShown = true, plainShown = false, checkShown = true;
    std::wstring text;
    ASSERT_TRUE(RunDriven([&] { frmInfo::ShowText(report); },
                          [&] {
                              frmInfo* form = frmInfo::Existing();
                              if (!form || !form->Visible()) return false;
                              richShown = form->rtfMsg.Visible();
                              plainShown = form->txtMsg.Visible();
                              checkShown = form->chkDontDisplayAgain.Visible();
                              text = form->txtMsg.Text();
                              // Typing changes nothing.
                              SendMessageW(form->txtMsg.Handle(), WM_CHAR, L'x', 0);
                              Press(form->btnCopyToClipboard.Handle());
                              Press(form->btnClose.Handle());
                              return true;
                          }));
    EXPECT_FALSE(richShown);
    EXPECT_TRUE(plainShown);
    EXPECT_FALSE(checkShown);
    EXPECT_EQ(text, report);
    EXPECT_EQ(ClipboardText(), report);
    EXPECT_FALSE(IsClipboardFormatAvailable(RichTextFormat()));

    // The same report again after a note still shows the text box.
    ASSERT_TRUE(Show(second, [](frmInfo& form) { Press(form.btnClose.Handle()); }));
    ASSERT_TRUE(RunDriven([&] { frmInfo::ShowText(report); },
                          [&] {
                              frmInfo* form = frmInfo::Existing();
                              if (!form || !form->Visible()) return false;
                              plainShown = form->txtMsg.Visible();
                              richShown = form->rtfMsg.Visible();
                              Press(form->btnClose.Handle());
                              return true;
                          }));
    EXPECT_TRUE(plainShown);
    EXPECT_FALSE(richShown);
}

TEST_F(InfoTest, AnHourglassReturnsWhenTheTitleBarClosesTheWindow) {
    vb::SetScreenMousePointer(vb::vbHourglass);
    int whileOpen = -1;
    ASSERT_TRUE(Show(first, [&](frmInfo& form) {
        whileOpen = vb::ScreenMousePointer();
        PostMessageW(form.Handle(), WM_CLOSE, 0, 0);
    }));
    EXPECT_EQ(whileOpen, vb::vbDefault);
    EXPECT_EQ(frmInfo::Existing(), nullptr) << "the title bar unloads the window";
    EXPECT_EQ(vb::ScreenMousePointer(), vb::vbHourglass);
}

TEST_F(InfoTest, CentredOverTheHostFrame) {
    TestForm frame(L"frmFrame", 700, 500);
    frame.Move(1500, 1200);
    TestForm options(L"frmTesselOptions", 200, 100);
    options.PutControl(std::make_unique<FakeExtender>(options, &frame));
    SetOptionsWindowAccessor([&]() -> win::Window* { return &options; });
    long left = 0, top = 0, width = 0, height = 0;
    ASSERT_TRUE(Show(first, [&](frmInfo& form) {
        left = form.Left();
        top = form.Top();
        width = form.Width();
        height = form.Height();
        Press(form.btnClose.Handle());
    }));
    EXPECT_NEAR(left, frame.Left() + frame.Width() / 2 - width / 2, vb::TwipsPerPixelX());
    EXPECT_NEAR(top, frame.Top() + frame.Height() / 2 - height / 2, vb::TwipsPerPixelY());
}

TEST_F(InfoTest, TheShippedWelcomeNoteShowsAsFormattedText) {
    const std::wstring welcome = vb::AppPath() + L"\\Welcome.app.note";
    std::wstring text;
    std::string rtf;
    ASSERT_TRUE(Show(welcome, [&](frmInfo& form) {
        text = form.rtfMsg.PlainText();
        rtf = form.rtfMsg.Rtf();
        Press(form.btnClose.Handle());
    }));
    EXPECT_TRUE(vb::StartsWith(text, L"Welcome to Lumox Expert", vb::BinaryCompare)) << vb::ToAnsi(text);
    EXPECT_EQ(text.find(L"\\par"), std::wstring::npos) << "read as rich text, not shown as its source";
    EXPECT_NE(rtf.find("\\b"), std::string::npos);
}
