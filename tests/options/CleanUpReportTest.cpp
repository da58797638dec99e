// The clean-up of stale overrides reports through the real note viewer.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include "FakePresenter.h"
#include "LibraryMessages.h"
#include "NeighbourServices.h"
#include "OptionsTestSupport.h"
#include "TestSupport.h"
#include "UserInput.h"
#include "basData.h"
#include "basErrorHandler.h"
#include "basProgramList.h"
#include "basUserChoices.h"
#include "frmInfo.h"

using namespace optionstest;

namespace {

// The options window's part of the report: the text goes into the note viewer.
class ReportingOptionsWindow : public OptionsWindowServices {
public:
    ReportingOptionsWindow() { previous_ = SetOptionsWindowServices(this); }
    ~ReportingOptionsWindow() { SetOptionsWindowServices(previous_); }
    void ShowInfo(const std::wstring& text) override { frmInfo::ShowText(text); }
    void SetAliasCount(long) override {}
    bool NeedToSaveUserChoices() const override { return false; }
    void SetNeedToSaveUserChoices(bool) override {}
    vb::List<HTREEITEM> GetNodesToBeRemoved() override { return {}; }
    void RemoveProgram(HTREEITEM, bool) override {}

private:
    OptionsWindowServices* previous_ = nullptr;
};

}  // namespace

TEST(CleanUpReportTest, StaleOverridesAreListedInThePlainTextBox) {
    CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    SetMessageRows(LibraryMessageRow);
    FakePresenter boxes;
    const std::wstring folder = testsupport::FreshTempFolder(L"lxoptclean");
    UseDataFolder(folder);
    SetProgramLines({L"Acme - Editor|2.1|OK|C:\\Tools\\Edit.exe|C:\\TOOLS\\EDIT.EXE"});
    AddList().Clear();
    RemoveList().Clear();
    DefList().Clear();
    StaleEntries().Clear();
    AddList().Add(L".txt|Acme - Editor|2.1|OK-A|C:\\Tools\\Edit.exe|C:\\TOOLS\\EDIT.EXE");
    AddList().Add(L".txt|Old - Writer|3.0|SD-A|C:\\Old\\Write.exe|C:\\OLD\\WRITE.EXE");

    ReportingOptionsWindow options;
    std::wstring text;
    bool plainShown = false, richShown = true, checkShown = true;
    // The note comes up modally; the user reads it and clicks Close.
    bool closedByTheClick = false;
    const int leftOpen = userinput::ShowWhileUserActs<frmInfo>(
        [] { CleanUserData(); }, [] { return frmInfo::Existing(); },
        [&](frmInfo& form) {
            const HWND note = form.Handle();
            userinput::OntoTheScreen(note);
            if (!userinput::WaitForFront(note)) return;
            text = form.txtMsg.Text();
            plainShown = form.txtMsg.Visible();
            richShown = form.rtfMsg.Visible();
            checkShown = form.chkDontDisplayAgain.Visible();
            userinput::Click(userinput::CentreOf(form.btnClose.Handle()));
            closedByTheClick = userinput::WaitUntil([&] { return !IsWindowVisible(note); });
        });
    EXPECT_EQ(leftOpen, 0) << "a window still waited once the user was done";
    EXPECT_TRUE(closedByTheClick) << "the click on Close reached the note";
    EXPECT_TRUE(vb::StartsWith(text, L"The following associations have been removed", vb::BinaryCompare));
    EXPECT_NE(text.find(L"C:\\Old\\Write.exe"), std::wstring::npos);
    EXPECT_EQ(text.find(L"Edit.exe"), std::wstring::npos);
    EXPECT_TRUE(plainShown);
    EXPECT_FALSE(richShown);
    EXPECT_FALSE(checkShown);
    EXPECT_EQ(AddList().UBound(), 1);

    frmInfo::Release();
    SetProgramLines({});
    AddList().Clear();
    StaleEntries().Clear();
    testsupport::RemoveTree(folder);
    ErrorHandler(ehClearAll);
    CoUninitialize();
}
