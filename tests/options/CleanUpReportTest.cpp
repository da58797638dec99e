// The clean-up of stale overrides reports through the real note viewer.
#include <windows.h>
#include <objbase.h>

#include <gtest/gtest.h>

#include <memory>

#include "FakePresenter.h"
#include "LibraryMessages.h"
#include "NeighbourServices.h"
#include "OptionsMenus.h"
#include "OptionsTestSupport.h"
#include "OptionsWindowSupport.h"
#include "TestSupport.h"
#include "UserInput.h"
#include "basData.h"
#include "basErrorHandler.h"
#include "basProgramList.h"
#include "basUserChoices.h"
#include "basIniFile.h"
#include "basStrings.h"
#include "frmInfo.h"
#include "frmTesselOptions.h"

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

namespace {

// The real options window over an archive whose Add list holds a program on a drive that the
// program list does not cover: the clean-up keeps its entry.
class KeptEntriesReportTest : public ::testing::Test {
protected:
    void SetUp() override {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        SetMessageRows(LibraryMessageRow);
        vb::Err().Clear();
        const std::wstring root = RootFolder();
        windowtest::WriteArchive(root, {{L"Tesselcat.xml", windowtest::CategoryFile()},
                                        {L"TesselExe.dat", windowtest::ProgramLines(8)},
                                        {L"TesselAdd.dat", ".txt|Far - Away|1.0|OK-A|Q:\\Tools\\far.exe|Q:\\TOOLS\\FAR.EXE\r\n"}});
        windowtest::SetFirstRun(L"False");
        DeleteFileW(JoinPaths(root, L"Messages\\Lumox\\Welcome.app.note").c_str());
        // The rescan finds the same programs again.
        SetProgramScan([](ExeScanHost&, bool) { return true; });
    }
    void TearDown() override {
        if (frmTesselOptions* w = frmTesselOptions::Existing()) {
            windowtest::PumpUntil([&] { return !w->Loaded() || w->FormReadiness() != frLoading; }, 10000);
            if (frmTesselOptions::Existing()) frmTesselOptions::Existing()->RequestClose();
        }
        frame.reset();
        frmInfo::Release();
        SetProgramScan(nullptr);
        windowtest::Pump(50);
        ErrorHandler(ehClearAll);
        vb::Err().Clear();
        CoUninitialize();
    }
    // Runs show() while the user reads any report that comes up and closes it.
    int WhileTheUserReadsReports(const std::function<void()>& show) {
        return userinput::ShowWhileUserActs<frmInfo>(show, [] { return frmInfo::Existing(); }, [&](frmInfo& form) {
            const HWND note = form.Handle();
            userinput::OntoTheScreen(note);
            if (!userinput::WaitForFront(note)) return;
            told.push_back(form.txtMsg.Text());
            userinput::Click(userinput::CentreOf(form.btnClose.Handle()));
            userinput::WaitUntil([&] { return !IsWindowVisible(note); });
        });
    }

    std::unique_ptr<windowtest::TestFrame> frame;
    FakePresenter boxes;
    std::vector<std::wstring> told;
};

// The command id of the program list's menu item whose caption begins with caption.
UINT ProgramListCommand(frmTesselOptions& w, const std::wstring& caption) {
    HMENU menu = w.Menus()->NativeMenu(mgPrgList);
    for (int i = 0; i < GetMenuItemCount(menu); ++i) {
        wchar_t text[256] = {};
        GetMenuStringW(menu, static_cast<UINT>(i), text, 256, MF_BYPOSITION);
        if (std::wstring(text).rfind(caption, 0) == 0) return GetMenuItemID(menu, i);
    }
    return 0;
}

// The start says nothing of the kept entry; the command "Refresh Exe's" tells it once, saying why.
TEST_F(KeptEntriesReportTest, mnuRefreshTellsWhatItKeptAndTheStartDoesNot) {
    frmTesselOptions* w = nullptr;
    EXPECT_EQ(WhileTheUserReadsReports([&] {
                  frame = std::make_unique<windowtest::TestFrame>();
                  w = &frmTesselOptions::Default();
                  w->ShowForm();
                  windowtest::PumpUntil([&] { return !w->Loaded() || w->FormReadiness() == frReady; });
              }),
              0);
    ASSERT_TRUE(w->Loaded());
    EXPECT_TRUE(told.empty()) << "the start told: " << vb::ToAnsi(told.empty() ? L"" : told[0]);
    told.clear();

    const UINT refresh = ProgramListCommand(*w, L"Refresh Exe's");
    ASSERT_NE(refresh, 0u);
    EXPECT_EQ(WhileTheUserReadsReports([&] { SendMessageW(w->Handle(), WM_COMMAND, refresh, 0); }), 0);
    ASSERT_EQ(told.size(), 1u);
    EXPECT_NE(told[0].find(L"Far - Away"), std::wstring::npos);
    EXPECT_NE(told[0].find(L"drives on which the scan found no programs"), std::wstring::npos) << vb::ToAnsi(told[0]);
    EXPECT_EQ(told[0].find(L"have been removed"), std::wstring::npos);
    EXPECT_TRUE(boxes.shown.empty());
}

}  // namespace
