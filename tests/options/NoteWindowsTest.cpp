// The profession choice and the upgrade note: the help topic each profession opens, and the
// upgrade page through a recorder instead of the shell.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FakePresenter.h"
#include "MakerAddresses.h"
#include "OptionsWindowSupport.h"
#include "UserInput.h"
#include "basWinAPI_Help.h"
#include "frmProfession.h"
#include "frmUpgradeNote.h"
#include "vb/VbScreen.h"

namespace {

class RecordingHelp : public HelpEngines {
public:
    RecordingHelp() { previous_ = SetHelpEngines(this); }
    ~RecordingHelp() { SetHelpEngines(previous_); }
    BOOL OpenWinHelp(HWND, const std::wstring&, UINT, ULONG_PTR data) override {
        topics.push_back(static_cast<long>(data));
        return TRUE;
    }
    HWND OpenHtmlHelp(HWND, const std::wstring&, UINT, DWORD_PTR data) override {
        topics.push_back(static_cast<long>(data));
        return GetDesktopWindow();  // stands for the help window that opened
    }
    std::vector<long> topics;

private:
    HelpEngines* previous_;
};

void Pump() {
    MSG msg;
    for (int i = 0; i < 5; ++i)
        while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) DispatchMessageW(&msg);
}

TEST(ProfessionTest, EachProfessionOpensItsTutorialAndTheWindowGoes) {
    struct Case {
        int option;  // -1: none chosen
        std::vector<long> topics;
    };
    // The library's WinHelp file beside it (no Lumox.chm there), answered by the recording engine;
    // a box the test does not expect is closed, never waited on.
    testsupport::WinHelpFilesBeside helpFile{L"Lumox.hlp"};
    windowtest::DialogWatchdog watchdog;
    for (Case c : {Case{0, {100}}, Case{1, {300}}, Case{2, {200}}, Case{-1, {}}}) {
        RecordingHelp help;
        vb::SetScreenMousePointer(vb::vbHourglass);
        frmProfession& form = frmProfession::Default();
        EXPECT_EQ(vb::ScreenMousePointer(), vb::vbDefault);
        EXPECT_EQ(form.Caption(), L" Profession");
        // The window in front and clicked as the user clicks it.
        form.Show();
        userinput::OntoTheScreen(form.Handle());
        EXPECT_TRUE(userinput::BringToFront(form.Handle()));
        if (c.option >= 0) {
            HWND option = form.optChoice[static_cast<size_t>(c.option)]->Handle();
            EXPECT_TRUE(userinput::ClickButton(option)) << c.option;
            EXPECT_TRUE(SendMessageW(option, BM_GETCHECK, 0, 0) == BST_CHECKED) << c.option;
        }
        EXPECT_TRUE(userinput::ClickButton(form.OKButton.Handle())) << c.option;
        EXPECT_EQ(help.topics, c.topics) << c.option;
        Pump();
        EXPECT_EQ(frmProfession::Existing(), nullptr);
        // The pointer the window found is back.
        EXPECT_EQ(vb::ScreenMousePointer(), vb::vbHourglass);
        vb::SetScreenMousePointer(vb::vbDefault);
    }
    EXPECT_EQ(watchdog.closed(), 0);
}

TEST(ProfessionTest, TheOptionsCarryTheirTopicsAndCaptions) {
    frmProfession& form = frmProfession::Default();
    const wchar_t* captions[] = {L"Accountant", L"Neither of the above", L"Webmaster"};
    const wchar_t* tags[] = {L"100", L"300", L"200"};
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(form.optChoice[i]->Text(), captions[i]);
        EXPECT_EQ(form.optChoice[i]->Tag(), tags[i]);
    }
    frmProfession::Release();
}

std::vector<std::pair<HWND, std::wstring>> g_opened;
void RecordPage(HWND owner, const std::wstring& address) { g_opened.emplace_back(owner, address); }

class UpgradeNoteTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_opened.clear();
        previous_ = SetUpgradePageOpener(&RecordPage);
    }
    void TearDown() override {
        SetUpgradePageOpener(previous_);
        frmUpgradeNote::Release();
    }
    // Shows the note modally; the user, once it beeped and came in front, clicks the button.
    // Answers how many windows still waited once the user was done.
    int ShowAndClick(frmUpgradeNote& note, win::Button& button) {
        bool closedByTheClick = false;
        const int leftOpen = userinput::ShowWhileUserActs([&] { note.ShowModal(); }, [&] {
            const HWND window = note.Handle();
            if (!userinput::WaitUntil([&] { return boxes.beeps > 0 && IsWindowVisible(window); })) return;
            userinput::OntoTheScreen(window);
            if (!userinput::WaitForFront(window)) return;
            userinput::Click(userinput::CentreOf(button.Handle()));
            closedByTheClick = userinput::WaitUntil([&] { return !IsWindowVisible(window); });
        });
        EXPECT_TRUE(closedByTheClick) << "the click reached the note";
        return leftOpen;
    }

    UpgradePageOpener previous_ = nullptr;
    FakePresenter boxes;
};

TEST_F(UpgradeNoteTest, TheStoreButtonOpensTheUpgradePageUnderTheHomePage) {
    frmUpgradeNote& note = frmUpgradeNote::Default();
    EXPECT_EQ(note.Caption(), L" Special Upgrade Offer");
    EXPECT_EQ(note.lbls.Text(), L"");
    EXPECT_EQ(note.CancelButton.Text(), L"Go to Upgrade Store && Continue");
    EXPECT_EQ(ShowAndClick(note, note.CancelButton), 0);
    ASSERT_EQ(g_opened.size(), 1u);
    EXPECT_EQ(g_opened[0].second, std::wstring(MakerHomePage) + L"index.html?upgrade.html");
    Pump();
    EXPECT_EQ(frmUpgradeNote::Existing(), nullptr);
}

TEST_F(UpgradeNoteTest, JustContinueOpensNothingAndTheNoteBeepsWhenShown) {
    frmUpgradeNote& note = frmUpgradeNote::Default();
    EXPECT_EQ(ShowAndClick(note, note.OKButton), 0);
    EXPECT_EQ(boxes.beeps, 1);
    EXPECT_TRUE(g_opened.empty());
    Pump();
    EXPECT_EQ(frmUpgradeNote::Existing(), nullptr);
}

}  // namespace
