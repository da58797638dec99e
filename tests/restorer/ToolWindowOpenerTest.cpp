// The options window's menu opens the previewer controller through the library's opener.
#include <windows.h>

#include <gtest/gtest.h>

#include "FakePresenter.h"
#include "LibraryMessages.h"
#include "TestSupport.h"
#include "ToolWindowOpener.h"
#include "basErrorHandler.h"
#include "basIniFile.h"
#include "basMessageHandler.h"
#include "basRegistryModel.h"
#include "frmPreviewerController.h"
#include "frmTesselOptions.h"
#include "vb/VbScreen.h"

namespace {

class ToolWindowOpenerTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetMessageRows(LibraryMessageRow);
        folder = testsupport::FreshTempFolder(L"LumoxToolWindows");
        SetIniFolderOverride(folder);
        SetModelWindowsVersionOverride(L"Windows XP");
        ResetRegistryModelState();
        InstallToolWindowOpener();
    }
    void TearDown() override {
        frmPreviewerController::Release();
        vb::DoEvents();
        SetToolWindowOpener(nullptr);
        SetModelWindowsVersionOverride(L"");
        ResetRegistryModelState();
        SetIniFolderOverride(L"");
        testsupport::RemoveTree(folder);
    }
    std::wstring folder;
    FakePresenter boxes;
};

TEST_F(ToolWindowOpenerTest, ThePreviewerItemKeepsTheFormUseOfALoadedController) {
    const ToolWindowOpener& open = CurrentToolWindowOpener();
    ASSERT_TRUE(open);
    open(ToolWindow::ExplorerPrecatchController, nullptr);
    frmPreviewerController* explorer = frmPreviewerController::Existing();
    ASSERT_NE(explorer, nullptr);
    EXPECT_EQ(explorer->FormUse(), frmPreviewerController::ExplorerPrecatchUse);

    open(ToolWindow::PreviewerController, nullptr);
    EXPECT_EQ(frmPreviewerController::Existing(), explorer);
    EXPECT_EQ(explorer->FormUse(), frmPreviewerController::ExplorerPrecatchUse);

    // Once unloaded, the next opening starts afresh.
    frmPreviewerController::Release();
    open(ToolWindow::PreviewerController, nullptr);
    ASSERT_NE(frmPreviewerController::Existing(), nullptr);
    EXPECT_EQ(frmPreviewerController::Existing()->FormUse(), L"");
}

}  // namespace
