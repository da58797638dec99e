#include <windows.h>

#include <string>

#include <gtest/gtest.h>

#include "FakePresenter.h"
#include "LibraryMessages.h"
#include "NeighbourServices.h"
#include "OptionsTestSupport.h"
#include "TestSupport.h"
#include "UiTestForms.h"
#include "UserInput.h"
#include "basErrorHandler.h"
#include "basStrings.h"
#include "frmInfo.h"
#include "vb/VbApp.h"
#include "vb/VbScreen.h"

using namespace optionstest;

namespace {

// On the user's thread: the user clicks "Close" and the note goes away.
void CloseByUser(frmInfo& form) {
    EXPECT_TRUE(ClickAsUser(form.btnClose.Handle(), [&] { return !IsWindowVisible(form.Handle()); }))
        << "Close took the click";
}

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

    // Shows the note to a person: look reads it once it is on screen, then user acts on it with
    // the pointer and the keys, from a thread of its own.
    bool ShowToUser(const std::function<void()>& show, const std::function<void(frmInfo&)>& look,
                    const std::function<void(frmInfo&)>& user) {
        frmInfo* form = nullptr;
        return optionstest::ShowToUser(
            show,
            [&]() -> HWND {
                form = frmInfo::Existing();
                return form ? form->Handle() : nullptr;
            },
            [&] { look(*form); }, [&] { user(*form); });
    }
    bool ShowNoteToUser(const std::wstring& path, const std::function<void(frmInfo&)>& look,
                        const std::function<void(frmInfo&)>& user) {
        return ShowToUser([&] { frmInfo::ShowRTF(path); }, look, user);
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
    ASSERT_TRUE(ShowNoteToUser(
        first,
        [&](frmInfo& form) {
            caption = form.Caption();
            text = form.rtfMsg.PlainText();
            richShown = form.rtfMsg.Visible();
            plainShown = form.txtMsg.Visible();
            checkShown = form.chkDontDisplayAgain.Visible();
        },
        CloseByUser));
    EXPECT_EQ(caption, L"Information");
    EXPECT_EQ(vb::Trim(StrReplace(text, L"\r\n", L"")), L"First note.");
    EXPECT_TRUE(richShown);
    EXPECT_FALSE(plainShown);
    EXPECT_FALSE(checkShown);
    ASSERT_NE(frmInfo::Existing(), nullptr) << "Close only hides the window";
    EXPECT_FALSE(frmInfo::Existing()->Visible());
}

TEST_F(InfoTest, EnterAndEscapeCloseTheNoteLikeClose) {
    for (WORD key : {VK_RETURN, VK_ESCAPE}) {
        SCOPED_TRACE(key);
        ASSERT_TRUE(ShowNoteToUser(
            first, [](frmInfo&) {},
            [&](frmInfo& form) {
                userinput::Press(key);
                EXPECT_TRUE(userinput::WaitUntil([&] { return !IsWindowVisible(form.Handle()); }, 5000))
                    << "the key took the note away";
            }));
        ASSERT_NE(frmInfo::Existing(), nullptr);
        EXPECT_FALSE(frmInfo::Existing()->Visible());
    }
}

TEST_F(InfoTest, ASecondNoteShowsInTheWindowWhereTheUserLeftIt) {
    long movedLeft = 0, movedTop = 0;
    ASSERT_TRUE(ShowNoteToUser(
        first,
        [&](frmInfo& form) {
            form.Move(form.Left() + 600, form.Top() + 300);
            movedLeft = form.Left();
            movedTop = form.Top();
        },
        CloseByUser));
    long left = 0, top = 0;
    std::wstring text;
    ASSERT_TRUE(ShowNoteToUser(
        second,
        [&](frmInfo& form) {
            left = form.Left();
            top = form.Top();
            text = form.rtfMsg.PlainText();
        },
        CloseByUser));
    EXPECT_NE(text.find(L"Second note."), std::wstring::npos);
    EXPECT_EQ(text.find(L"First"), std::wstring::npos);
    EXPECT_EQ(left, movedLeft);
    EXPECT_EQ(top, movedTop);
}

TEST_F(InfoTest, CopyOffersTheNoteAsRichText) {
    PutClipboardSentinel(L"before");
    ASSERT_TRUE(ShowNoteToUser(second, [](frmInfo&) {}, [](frmInfo& form) {
        EXPECT_TRUE(ClickAsUser(form.btnCopyToClipboard.Handle(),
                                [] { return IsClipboardFormatAvailable(RichTextFormat()) != FALSE; }))
            << "Copy took the click";
        CloseByUser(form);
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
    ASSERT_TRUE(ShowNoteToUser(first, [](frmInfo&) {}, CloseByUser));
    PutClipboardSentinel(L"before");
    bool richShown = true, plainShown = false, checkShown = true;
    std::wstring text;
    ASSERT_TRUE(ShowToUser(
        [&] { frmInfo::ShowText(report); },
        [&](frmInfo& form) {
            richShown = form.rtfMsg.Visible();
            plainShown = form.txtMsg.Visible();
            checkShown = form.chkDontDisplayAgain.Visible();
            text = form.txtMsg.Text();
        },
        [](frmInfo& form) {
            // Typing into the text box changes nothing; the copy, queued after the keys, shows it.
            userinput::Click(userinput::CentreOf(form.txtMsg.Handle()));
            EXPECT_TRUE(userinput::WaitUntil([&] { return FocusOnThreadOf(form.Handle()) == form.txtMsg.Handle(); },
                                             5000))
                << "the click put the focus in the text box";
            userinput::Type(L"x");
            userinput::Press(VK_BACK);
            EXPECT_TRUE(ClickAsUser(form.btnCopyToClipboard.Handle(), [] { return ClipboardText() != L"before"; }))
                << "Copy took the click";
            CloseByUser(form);
        }));
    EXPECT_FALSE(richShown);
    EXPECT_TRUE(plainShown);
    EXPECT_FALSE(checkShown);
    EXPECT_EQ(text, report);
    EXPECT_EQ(frmInfo::Existing()->txtMsg.Text(), report) << "typing changed nothing";
    EXPECT_EQ(ClipboardText(), report);
    EXPECT_FALSE(IsClipboardFormatAvailable(RichTextFormat()));

    // The same report again after a note still shows the text box.
    ASSERT_TRUE(ShowNoteToUser(second, [](frmInfo&) {}, CloseByUser));
    ASSERT_TRUE(ShowToUser(
        [&] { frmInfo::ShowText(report); },
        [&](frmInfo& form) {
            plainShown = form.txtMsg.Visible();
            richShown = form.rtfMsg.Visible();
        },
        CloseByUser));
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
    ASSERT_TRUE(ShowNoteToUser(
        first,
        [&](frmInfo& form) {
            left = form.Left();
            top = form.Top();
            width = form.Width();
            height = form.Height();
        },
        CloseByUser));
    EXPECT_NEAR(left, frame.Left() + frame.Width() / 2 - width / 2, vb::TwipsPerPixelX());
    EXPECT_NEAR(top, frame.Top() + frame.Height() / 2 - height / 2, vb::TwipsPerPixelY());
}

TEST_F(InfoTest, TheShippedWelcomeNoteShowsAsFormattedText) {
    const std::wstring welcome = vb::AppPath() + L"\\Welcome.app.note";
    std::wstring text;
    std::string rtf;
    ASSERT_TRUE(ShowNoteToUser(
        welcome,
        [&](frmInfo& form) {
            text = form.rtfMsg.PlainText();
            rtf = form.rtfMsg.Rtf();
        },
        CloseByUser));
    EXPECT_TRUE(vb::StartsWith(text, L"Welcome to Lumox Expert", vb::BinaryCompare)) << vb::ToAnsi(text);
    EXPECT_EQ(text.find(L"\\par"), std::wstring::npos) << "read as rich text, not shown as its source";
    EXPECT_NE(rtf.find("\\b"), std::string::npos);
}
