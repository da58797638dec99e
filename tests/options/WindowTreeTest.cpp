// The options window's tree members at work inside the window: the load sequence drops the
// program nodes of vanished programs through them.
#include <windows.h>

#include <gtest/gtest.h>

#include "FakePresenter.h"
#include "LibraryMessages.h"
#include "OptionsWindowSupport.h"
#include "basData.h"
#include "basIniFile.h"
#include "basMessageHandler.h"
#include "basStrings.h"
#include "basUserChoices.h"
#include "frmInfo.h"
#include "frmTesselOptions.h"
#include "vb/VbError.h"
#include "zip/ZipArchive.h"

using namespace windowtest;

namespace {

// Graphics/Viewers holds prog0 (in the program list) and prog9 (gone from the computer).
const char kCategoriesWithAVanishedProgram[] =
    "<?xml version=\"1.0\" ?>\r\n"
    "<MorvaTessel>\r\n"
    "   <Category name=\"Graphics\">\r\n"
    "      <Subcategory name=\"Viewers\">\r\n"
    "         <Program T1=\"Acme - Viewer 0\" T2=\"1.0\" T3=\"OK\" T4=\"C:\\Apps\\prog0.exe\" T5=\"C:\\Apps\\prog0.exe\"/>\r\n"
    "         <Program T1=\"Gone - Viewer 9\" T2=\"9.0\" T3=\"OK\" T4=\"C:\\Gone\\prog9.exe\" T5=\"C:\\GONE\\prog9.exe\"/>\r\n"
    "      </Subcategory>\r\n"
    "   </Category>\r\n"
    "</MorvaTessel>\r\n";

const char kOverrides[] = "*|Gone - Viewer 9|9.0|OK-A|C:\\Gone\\prog9.exe|C:\\GONE\\prog9.exe\r\n";

// Closes the report of the removed overrides (a modal window of the library) as the user would.
int g_reportsClosed = 0;
void CALLBACK CloseReport(HWND, UINT, UINT_PTR, DWORD) {
    frmInfo* info = frmInfo::Existing();
    if (!info || !info->Visible()) return;
    ++g_reportsClosed;
    PostMessageW(info->btnClose.Handle(), BM_CLICK, 0, 0);
}

class WindowTreeTest : public ::testing::Test {
protected:
    void SetUp() override {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        SetMessageRows(LibraryMessageRow);
        vb::Err().Clear();
        root = RootFolder();
        SetFirstRun(L"False");
        DeleteFileW(JoinPaths(root, L"Messages\\Lumox\\Welcome.app.note").c_str());
    }
    void TearDown() override {
        if (frmTesselOptions* w = frmTesselOptions::Existing()) {
            if (w->Loaded() && w->FormReadiness() == frReady)
                w->RequestClose();
            else if (w->Loaded())
                DestroyWindow(w->Handle());
        }
        Pump(50);
        vb::Err().Clear();
        CoUninitialize();
    }

    std::wstring root;
    FakePresenter boxes;
};

TEST_F(WindowTreeTest, VanishedProgramsLeaveTheTreeThroughItsMembers) {
    WriteArchive(root, {{L"Tesselcat.xml", kCategoriesWithAVanishedProgram},
                        {L"TesselExe.dat", ProgramLines(8)},
                        {L"TesselAdd.dat", kOverrides}});
    g_reportsClosed = 0;
    UINT_PTR timer = SetTimer(nullptr, 0, 100, CloseReport);
    frmTesselOptions& w = frmTesselOptions::Default();
    w.ShowForm();
    ASSERT_TRUE(PumpUntil([&] { return !w.Loaded() || w.FormReadiness() == frReady; }));
    KillTimer(nullptr, timer);
    ASSERT_TRUE(w.Loaded());
    EXPECT_EQ(g_reportsClosed, 1);

    win::TreeNode viewers = w.tvwChoices.ItemByKey(L"Graphics*Viewers");
    ASSERT_NE(viewers, nullptr);
    std::vector<std::wstring> programs;
    for (win::TreeNode n = w.tvwChoices.Child(w.tvwChoices.Child(viewers)); n; n = w.tvwChoices.Next(n))
        programs.push_back(w.tvwChoices.Text(n));
    EXPECT_EQ(programs, std::vector<std::wstring>{L"Acme - Viewer 0 1.0"});
    EXPECT_EQ(StaleEntries().UBound(), 0);

    // The tree's members are the window's own and act on its tree.
    w.Categories().SetCurrentTreeNode(w.tvwChoices.Child(w.tvwChoices.Child(viewers)));
    w.Categories().mnuDeleteProgram();
    EXPECT_EQ(w.tvwChoices.Children(w.tvwChoices.Child(viewers)), 0);
    EXPECT_EQ(w.CurrentTreeNode(), nullptr);
    EXPECT_TRUE(w.RequestClose());

    const std::wstring check = testsupport::FreshTempFolder(L"treecheck");
    ASSERT_EQ(zip::ZipResult::Ok, zip::UnpackFiles(GetArchivePath(), check, kPassword));
    const std::string categories = ReadFileBytes(check + L"\\Tesselcat.xml");
    EXPECT_EQ(categories.find("prog9"), std::string::npos);
    EXPECT_EQ(categories.find("prog0"), std::string::npos);
    EXPECT_NE(categories.find("<Subcategory name=\"Viewers\">"), std::string::npos);
    testsupport::RemoveTree(check);
}

}  // namespace
