#include <windows.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "FakePresenter.h"
#include "LibraryMessages.h"
#include "NeighbourServices.h"
#include "OptionsTestSupport.h"
#include "RecoveryMail.h"
#include "TestSupport.h"
#include "UiTestForms.h"
#include "UserInput.h"
#include "basErrorHandler.h"
#include "basIniFile.h"
#include "basWinAPI_Email.h"
#include "frmCrashRecoveryChoices.h"
#include "vb/VbScreen.h"

using namespace optionstest;

namespace {

std::vector<std::wstring> g_mails;
HINSTANCE RecordMail(HWND, const std::wstring& address) {
    g_mails.push_back(address);
    return reinterpret_cast<HINSTANCE>(static_cast<INT_PTR>(42));
}

FakeDispatch g_face{{{L"ProductName", vb::Variant(L"Lumox Expert")}, {L"Version", vb::Variant(L"3.1.7")}}};
HRESULT FakeFace(IDispatch** face) {
    g_face.AddRef();
    *face = &g_face;
    return S_OK;
}

const char kIni[] = "[Lumox]\r\nLog Snapshot=1\r\nScanning Progress=C:\\Tools & #1 50%\r\n";

class CrashRecoveryChoicesTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetMessageRows(LibraryMessageRow);
        folder = testsupport::FreshTempFolder(L"LumoxCrashDialog");
        SetIniFolderOverride(folder);
        WriteBytes(GetIniFilePath(), kIni);
        g_mails.clear();
        previousOpen = SetShellOpenFunction(&RecordMail);
        previousFactory = SetPlugInFaceFactory(&FakeFace);
    }
    void TearDown() override {
        frmCrashRecoveryChoices::Release();
        SetOptionsWindowAccessor(nullptr);
        SetShellOpenFunction(previousOpen);
        SetPlugInFaceFactory(previousFactory);
        SetIniFolderOverride(L"");
        testsupport::RemoveTree(folder);
        ErrorHandler(ehClearAll);
    }

    // Offers the dialog to parent and lets act do what the user does once it is on screen.
    bool Offer(FakeDispatch& parent, bool onlyMailAndCopy,
               const std::function<void(frmCrashRecoveryChoices&)>& act, const std::wstring& title = L"Title") {
        return RunDriven([&] { OfferCrashRecoveryChoices(&parent, title, onlyMailAndCopy); },
                         [&] {
                             frmCrashRecoveryChoices* dialog = frmCrashRecoveryChoices::Existing();
                             if (!dialog || !dialog->Visible()) return false;
                             act(*dialog);
                             return true;
                         });
    }

    // Offers the dialog to parent: look reads it once it is on screen, then user acts on it with
    // the pointer and the keys, from a thread of its own.
    using Act = std::function<void(frmCrashRecoveryChoices&)>;
    bool OfferToUser(FakeDispatch& parent, bool onlyMailAndCopy, const Act& look, const Act& user,
                     const std::wstring& title = L"Title") {
        frmCrashRecoveryChoices* dialog = nullptr;
        return ShowToUser(
            [&] { OfferCrashRecoveryChoices(&parent, title, onlyMailAndCopy); },
            [&]() -> HWND {
                dialog = frmCrashRecoveryChoices::Existing();
                return dialog ? dialog->Handle() : nullptr;
            },
            [&] { look(*dialog); }, [&] { user(*dialog); });
    }
    // The user's choice: the button of that index clicked, and the dialog gone.
    static Act Choose(short index) {
        return [index](frmCrashRecoveryChoices& dialog) {
            HWND window = dialog.Handle();
            HWND button = dialog.cmds[static_cast<size_t>(index)]->Handle();
            EXPECT_TRUE(ClickAsUser(button, [=] { return !IsWindow(window); }))
                << "the button " << index << " took the click";
        };
    }
    static void Nothing(frmCrashRecoveryChoices&) {}

    std::wstring folder;
    FakePresenter boxes;
    ShellOpenFunction previousOpen = nullptr;
    PlugInFaceFactory previousFactory = nullptr;
};

}  // namespace

TEST_F(CrashRecoveryChoicesTest, EachButtonWritesExactlyItsIndexIntoTheParent) {
    for (short index = 0; index < 4; ++index) {
        SCOPED_TRACE(index);
        FakeDispatch parent{{{L"ReturnValue", vb::Variant(7L)}}};
        std::wstring caption, buttonText;
        ASSERT_TRUE(OfferToUser(
            parent, false,
            [&](frmCrashRecoveryChoices& dialog) {
                caption = dialog.Caption();
                buttonText = dialog.cmds[static_cast<size_t>(index)]->Text();
            },
            Choose(index)));
        const wchar_t* names[] = {L"Send", L"Copy", L"Leave", L"Retry"};
        EXPECT_EQ(caption, L"Recovery Choices");
        EXPECT_EQ(buttonText, names[index]);
        ASSERT_EQ(parent.puts.size(), 2u);
        EXPECT_TRUE(parent.puts[0].second.IsEmpty()) << "setting ParentForm empties its ReturnValue";
        EXPECT_EQ(parent.puts[1].second, vb::Variant(index)) << "a 16-bit whole number";
        EXPECT_EQ(frmCrashRecoveryChoices::Existing(), nullptr) << "the button unloads the dialog";
        EXPECT_EQ(parent.References(), 1) << "the dialog lets go of its parent";
    }
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(CrashRecoveryChoicesTest, ClosingByTheTitleBarLeavesNoChoiceBehind) {
    FakeDispatch parent{{{L"ReturnValue", vb::Variant(static_cast<short>(3))}}};  // an earlier dialog's "Retry"
    ASSERT_TRUE(Offer(parent, false, [](frmCrashRecoveryChoices& dialog) {
        PostMessageW(dialog.Handle(), WM_CLOSE, 0, 0);
    }));
    EXPECT_TRUE(parent.Get(L"ReturnValue").IsEmpty());
    EXPECT_EQ(parent.puts.size(), 1u);
    EXPECT_EQ(frmCrashRecoveryChoices::Existing(), nullptr);
    EXPECT_EQ(parent.References(), 1);
}

TEST_F(CrashRecoveryChoicesTest, SendMailsTheSettingsFileWithTheProductInTheSubject) {
    FakeDispatch parent{{{L"ReturnValue", vb::Variant()}}};
    ASSERT_TRUE(OfferToUser(parent, false, Nothing, Choose(rcSend)));
    ASSERT_EQ(g_mails.size(), 1u);
    const std::wstring address = PercentDecode(g_mails[0]);
    EXPECT_NE(address.find(L"Subject=Morva recovery information for: Lumox Expert,  version: 3.1.7&Body="),
              std::wstring::npos)
        << vb::ToAnsi(address);
    EXPECT_TRUE(vb::EndsWith(address,
                             L"Body=<HTML><HEAD></HEAD><BODY>[Lumox]<BR>Log Snapshot=1<BR>Scanning Progress=C:\\Tools "
                             L"& #1 50%<BR></BODY></HTML>",
                             vb::BinaryCompare))
        << vb::ToAnsi(address);
    EXPECT_EQ(parent.Get(L"ReturnValue"), vb::Variant(static_cast<short>(0)));
    EXPECT_EQ(g_face.References(), 1) << "the plug-in face is released";
}

TEST_F(CrashRecoveryChoicesTest, CopyPutsTheSettingsFileOnTheClipboard) {
    PutClipboardSentinel(L"before");
    FakeDispatch parent{{{L"ReturnValue", vb::Variant()}}};
    ASSERT_TRUE(OfferToUser(parent, false, Nothing, Choose(rcCopy)));
    EXPECT_EQ(ClipboardText(), vb::FromAnsi(kIni));
    EXPECT_EQ(ClipboardBytes(CF_TEXT), std::string(kIni));
    EXPECT_EQ(parent.Get(L"ReturnValue"), vb::Variant(static_cast<short>(1)));
    EXPECT_TRUE(g_mails.empty());
}

TEST_F(CrashRecoveryChoicesTest, AnEmptySettingsFileSendsAndCopiesNothingButStillAnswers) {
    WriteBytes(GetIniFilePath(), "");
    PutClipboardSentinel(L"before");
    for (short index : {rcSend, rcCopy}) {
        FakeDispatch parent{{{L"ReturnValue", vb::Variant(9L)}}};
        ASSERT_TRUE(OfferToUser(parent, false, Nothing, Choose(index)));
        EXPECT_EQ(parent.Get(L"ReturnValue"), vb::Variant(index));
    }
    EXPECT_TRUE(g_mails.empty());
    EXPECT_EQ(ClipboardText(), L"before");
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(CrashRecoveryChoicesTest, HiddenLeaveAndRetryShortenTheWindowByTheirRows) {
    struct Seen {
        long height = 0;
        int space = 0;
        bool leaveVisible = true, retryVisible = true, sendVisible = false;
        std::wstring title;
    };
    auto look = [&](bool onlyMailAndCopy, const std::wstring& title) {
        Seen seen;
        FakeDispatch parent{{{L"ReturnValue", vb::Variant()}}};
        EXPECT_TRUE(OfferToUser(
            parent, onlyMailAndCopy,
            [&](frmCrashRecoveryChoices& dialog) {
                seen.height = dialog.Height();
                seen.space = dialog.lbls[3]->Top() + dialog.lbls[3]->Height() - dialog.lbls[2]->Top();
                seen.leaveVisible = dialog.cmds[2]->Visible() || dialog.lbls[2]->Visible();
                seen.retryVisible = dialog.cmds[3]->Visible() || dialog.lbls[3]->Visible();
                seen.sendVisible = dialog.cmds[0]->Visible() && dialog.cmds[1]->Visible();
                seen.title = dialog.lblTitle.Text();
                // The window ends below the "Copy" row with a margin.
                RECT client{};
                GetClientRect(dialog.Handle(), &client);
                if (onlyMailAndCopy) {
                    EXPECT_GT(client.bottom, dialog.lbls[1]->Top() + dialog.lbls[1]->Height());
                }
            },
            Choose(rcSend), title));
        return seen;
    };
    Seen full = look(false, L"Please select one of the options below.");
    Seen shortened = look(true, L"Lumox had finished excluding the problem files on your computer.");
    EXPECT_TRUE(full.leaveVisible && full.retryVisible);
    EXPECT_FALSE(shortened.leaveVisible);
    EXPECT_FALSE(shortened.retryVisible);
    EXPECT_TRUE(shortened.sendVisible);
    EXPECT_EQ(shortened.title, L"Lumox had finished excluding the problem files on your computer.");
    ASSERT_GT(full.space, 0);
    EXPECT_EQ(full.height - shortened.height, win::PixelsToTwipsY(full.space));
}

TEST_F(CrashRecoveryChoicesTest, CentredOnTheScreenAndOwnedByTheHostFrame) {
    TestForm frame(L"frmFrame", 600, 400);
    frame.Move(0, 0);
    TestForm options(L"frmTesselOptions", 200, 100);
    options.PutControl(std::make_unique<FakeExtender>(options, &frame));
    SetOptionsWindowAccessor([&]() -> win::Window* { return &options; });

    HWND owner = nullptr;
    long left = 0, top = 0, width = 0, height = 0;
    FakeDispatch parent{{{L"ReturnValue", vb::Variant()}}};
    ASSERT_TRUE(Offer(parent, false, [&](frmCrashRecoveryChoices& dialog) {
        owner = GetWindow(dialog.Handle(), GW_OWNER);
        left = dialog.Left();
        top = dialog.Top();
        width = dialog.Width();
        height = dialog.Height();
        PostMessageW(dialog.Handle(), WM_CLOSE, 0, 0);
    }));
    EXPECT_EQ(owner, frame.Handle());
    const long slackX = 2 * vb::TwipsPerPixelX(), slackY = 2 * vb::TwipsPerPixelY();
    EXPECT_NEAR(left + width / 2, vb::ScreenWidth() / 2, slackX);
    EXPECT_NEAR(top + height / 2, vb::ScreenHeight() / 2, slackY);
    EXPECT_TRUE(IsWindowEnabled(frame.Handle())) << "the owner takes input again";
}

TEST_F(CrashRecoveryChoicesTest, SettingsFileContentEndsEveryLineInCrLf) {
    struct Case {
        std::string file;
        std::wstring content;
    };
    const Case cases[] = {
        {"a=1\r\nb=2\r\n", L"a=1\r\nb=2\r\n"},
        {"a=1\nb=2", L"a=1\r\nb=2\r\n"},
        {"a=1\rb=2\r\n\r\nc", L"a=1\r\nb=2\r\n\r\nc\r\n"},
        {"", L""},
        {"Caf\xE9=1\r\n", L"Caf\u00E9=1\r\n"},
    };
    for (const Case& c : cases) {
        WriteBytes(GetIniFilePath(), c.file);
        EXPECT_EQ(GetIniFileContent(), c.content) << c.file;
    }
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(CrashRecoveryChoicesTest, AMissingSettingsFileIsReportedAndTheChoiceStillCounts) {
    DeleteFileW(GetIniFilePath().c_str());
    EXPECT_EQ(GetIniFileContent(), L"");
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_NE(boxes.shown[0].prompt.find(L"GetIniFileContent"), std::wstring::npos) << vb::ToAnsi(boxes.shown[0].prompt);

    FakeDispatch parent{{{L"ReturnValue", vb::Variant()}}};
    ASSERT_TRUE(OfferToUser(parent, false, Nothing, Choose(rcCopy)));
    EXPECT_EQ(parent.Get(L"ReturnValue"), vb::Variant(static_cast<short>(1)));
}
