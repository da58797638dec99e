// The program scan offers the real crash-recovery dialog after a run that did not finish.
#include <windows.h>

#include <gtest/gtest.h>

#include "ExeScanHost.h"
#include "FakePresenter.h"
#include "LibraryMessages.h"
#include "OptionsTestSupport.h"
#include "TestSupport.h"
#include "UserInput.h"
#include "UiTestForms.h"
#include "basData.h"
#include "basErrorHandler.h"
#include "basExeScan.h"
#include "basIniFile.h"
#include "frmCrashRecoveryChoices.h"
#include "frmDoingStuff.h"

using namespace optionstest;

namespace {

// The options window as the scan sees it: its ReturnValue is a late-bound member that the
// dialog writes.
class ScanHost : public ExeScanHost {
public:
    ScanHost() : form(L"frmTesselOptions", 200, 100) {}
    win::Window& Form() override { return form; }
    void SetInterruptible(bool) override {}
    void ShowCrashRecoveryChoices(const std::wstring& title, bool onlyMailAndCopy) override {
        ++offers;
        OfferCrashRecoveryChoices(&self, title, onlyMailAndCopy);
    }
    vb::Variant ReturnValue() const override { return self.Get(L"ReturnValue"); }
    void SetProgramListTimeStamp(const FILETIME&) override {}
    void ShowMDIForm() override {}
    std::vector<std::wstring> DrivesToScan(bool) override { return drives; }

    TestForm form;
    FakeDispatch self{{{L"ReturnValue", vb::Variant()}}};
    std::vector<std::wstring> drives;
    int offers = 0;
};

long IniLong(const wchar_t* key) { return IniFile(IniRead, key, {}, vb::Variant(0L)).ToLong(); }

class ScanRecoveryTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetMessageRows(LibraryMessageRow);
        iniFolder = testsupport::FreshTempFolder(L"lxoptini");
        SetIniFolderOverride(iniFolder);
        work = testsupport::FreshTempFolder(L"lxoptwork");
        UseDataFolder(work);
        tree = L"C:\\lxoptscan" + std::to_wstring(GetCurrentProcessId());
        testsupport::RemoveTree(tree);
        CreateDirectoryW(tree.c_str(), nullptr);
        host.drives = {L"Ok", tree + L"\\"};
    }
    void TearDown() override {
        if (frmDoingStuff* f = frmDoingStuff::Existing()) {
            f->SetClosedByCode(true);
            f->Close();
        }
        win::DefaultInstance<frmDoingStuff>::Release();
        frmCrashRecoveryChoices::Release();
        SetIniFolderOverride(L"");
        testsupport::RemoveTree(tree);
        testsupport::RemoveTree(work);
        testsupport::RemoveTree(iniFolder);
        ErrorHandler(ehClearAll);
        vb::Err().Clear();
    }
    std::wstring iniFolder, work, tree;
    ScanHost host;
    FakePresenter boxes;
};

}  // namespace

TEST_F(ScanRecoveryTest, OnlyRetryForgetsTheCrashAStaleRetryDoesNot) {
    enum Act { TitleBar, Leave, Retry };
    struct Row {
        const char* name;
        Act act;
        bool result;
        long searchingAfter;
    };
    const Row rows[] = {
        {"closed by the title bar after an earlier Retry", TitleBar, false, 2},
        {"Leave", Leave, false, 2},
        {"Retry", Retry, true, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        host.offers = 0;
        host.self.Set(L"ReturnValue", vb::Variant(static_cast<short>(rcRetry)));  // left by an earlier dialog
        IniFile(IniWrite, L"Log Searching", vb::Variant(2L));
        IniFile(IniWrite, L"Log Detailing", vb::Variant(0L));
        bool result = !row.result;
        bool closedByTheUser = false;
        const int leftOpen = userinput::ShowWhileUserActs<frmCrashRecoveryChoices>(
            [&] { result = RefreshExeList(host, true); }, [] { return frmCrashRecoveryChoices::Existing(); },
            [&](frmCrashRecoveryChoices& dialog) {
                const HWND window = dialog.Handle();
                userinput::OntoTheScreen(window);
                if (!userinput::WaitForFront(window)) return;
                const POINT at = row.act == TitleBar
                                     ? userinput::CloseBoxOf(window)
                                     : userinput::CentreOf(dialog.cmds[row.act == Leave ? rcLeave : rcRetry]->Handle());
                if (at.x < 0) return;
                userinput::Click(at);
                closedByTheUser = userinput::WaitUntil([&] { return !IsWindowVisible(window); });
            });
        ASSERT_EQ(leftOpen, 0) << "a window still waited once the user was done";
        EXPECT_TRUE(closedByTheUser) << "the click reached the dialog";
        EXPECT_EQ(host.offers, 1);
        EXPECT_EQ(result, row.result);
        EXPECT_EQ(IniLong(L"Log Searching"), row.searchingAfter);
    }
}
