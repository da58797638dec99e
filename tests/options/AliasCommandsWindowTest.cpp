// The alias and new-extension commands of the real options window, inside a frame of the tests'
// own, the user's clicks, keys and typing sent as input: the program list's right button
// prepares the alias dialog, "Assign Alias" (its command called here; the menu route is in the
// menu items' user test) shows it modally and the timer's save writes the alias file; "Remove
// Alias" from the pop-up puts the names back; "Add Extension" registers through the dialog and
// lists the new extension.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>
#include <vector>

#include "FakePresenter.h"
#include "LibraryMessages.h"
#include "OptionsWindowSupport.h"
#include "TestSupport.h"
#include "UserInput.h"
#include "basAliases.h"
#include "basData.h"
#include "basIniFile.h"
#include "basMessageHandler.h"
#include "basRegistryModel.h"
#include "basStrings.h"
#include "frmAlias.h"
#include "frmExtensions.h"
#include "frmTesselOptions.h"
#include "vb/VbError.h"

using namespace windowtest;

namespace {

// Asks a pop-up menu's window for its menu.
constexpr UINT kGetMenu = 0x01E1;

class AliasCommandsWindowTest : public ::testing::Test {
protected:
    void SetUp() override {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        SetMessageRows(LibraryMessageRow);
        vb::Err().Clear();
        root = RootFolder();
        WriteArchive(root, {{L"Tesselcat.xml", CategoryFile()}, {L"TesselExe.dat", ProgramLines(8)}});
        SetFirstRun(L"False");
        DeleteFileW(JoinPaths(root, L"Messages\\Lumox\\Welcome.app.note").c_str());
        SetProgramScan([](ExeScanHost&, bool) { return true; });
        Aliases().Clear();
    }
    void TearDown() override {
        frmAlias::Release();
        frmExtensions::Release();
        CloseOptionsWindow();
        frame.reset();
        SetProgramScan(nullptr);
        Pump(50);
        Aliases().Clear();
        vb::Err().Clear();
        CoUninitialize();
    }
    frmTesselOptions& OpenInFrame() {
        frame = std::make_unique<TestFrame>();
        // The whole frame on the screen, so the dialogs over it are where the pointer reaches.
        FillTheScreen(*frame);
        frmTesselOptions* w = nullptr;
        EXPECT_TRUE(OpenOptionsWindow(w));
        return *w;
    }
    // The middle of a row of the program list, in its client pixels.
    static POINT RowPoint(win::ListView& list, int row) {
        RECT r{};
        r.left = LVIR_LABEL;
        SendMessageW(list.Handle(), LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&r));
        return POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2};
    }

    // The user right-clicks the row where it is on the screen now, reads the pop-up menu and
    // presses the keys in it; answers the menu's items (none when no pop-up opened).
    std::vector<std::wstring> PopUpOnRow(win::ListView& list, int row, std::initializer_list<WORD> keys) {
        EXPECT_TRUE(userinput::BringToFront(frame->Handle()));
        std::vector<std::wstring> items;
        bool menuClosed = false;
        EXPECT_EQ(userinput::ActAsUser([&] {
                      userinput::Click(userinput::OnScreen(list.Handle(), RowPoint(list, row)),
                                       userinput::Button::Right);
                      const HWND popUp = userinput::WaitForPopUpMenu();
                      if (!popUp) return;
                      items = userinput::MenuItems(reinterpret_cast<HMENU>(SendMessageW(popUp, kGetMenu, 0, 0)));
                      for (WORD key : keys) userinput::Press(key);
                      menuClosed = userinput::WaitUntil([&] { return !IsWindowVisible(popUp); });
                  }),
                  0);
        EXPECT_TRUE(menuClosed) << "the pop-up opened and the keys closed it";
        return items;
    }

    std::wstring root;
    std::unique_ptr<TestFrame> frame;
    FakePresenter boxes;
};

TEST_F(AliasCommandsWindowTest, AssignAliasFromTheProgramListReachesRowTreeAndFile) {
    frmTesselOptions& w = OpenInFrame();
    ASSERT_EQ(w.FormReadiness(), frReady);
    ASSERT_EQ(w.lvwPrograms.ItemText(0, 2), L"Acme - Viewer 0");

    // The right button on the row prepares the dialog before the menu opens; the user reads the
    // menu and leaves it with Escape.
    std::vector<std::wstring> items = PopUpOnRow(w.lvwPrograms, 0, {VK_ESCAPE});
    ASSERT_FALSE(items.empty());
    EXPECT_EQ(items.front(), L"Assign Alias");
    frmAlias& dialog = frmAlias::Default();
    EXPECT_EQ(dialog.lblProductName.Text(), L"Viewer 0");

    RECT shownAt{};
    bool typed = false, closedByTheClick = false, needSaveOnReturn = false;
    // Whether a save is due is read as the dialog returns, before the window's timer saves.
    const auto assign = [&] {
        w.mnuAssignAlias();
        needSaveOnReturn = w.NeedToSaveUserChoices();
    };
    const int leftOpen = userinput::ShowWhileUserActs(assign, [&] {
        const HWND window = dialog.Handle();
        if (!userinput::WaitForFront(window)) return;
        GetWindowRect(window, &shownAt);
        typed = userinput::TypeInto(dialog.txtCompanyName.Handle(), L"Mine") &&
                userinput::TypeInto(dialog.txtProductName.Handle(), L"Picture Tool") &&
                userinput::TypeInto(dialog.txtVersion.Handle(), L"7");
        userinput::Click(userinput::CentreOf(dialog.cbAssign.Handle()));
        closedByTheClick = userinput::WaitUntil([&] { return !IsWindowVisible(window); });
    });
    ASSERT_EQ(leftOpen, 0) << "a window still waited once the user was done";
    EXPECT_TRUE(typed) << "the boxes took the typing";
    EXPECT_TRUE(closedByTheClick) << "the click on Assign reached the dialog";
    EXPECT_EQ(GetWindow(dialog.Handle(), GW_OWNER), GetAncestor(w.Handle(), GA_ROOT));
    // It shows in the middle of the window it is over, not in the screen's corner.
    RECT over{};
    GetWindowRect(GetAncestor(w.Handle(), GA_ROOT), &over);
    EXPECT_NEAR((shownAt.left + shownAt.right) / 2, (over.left + over.right) / 2, 2);
    EXPECT_NEAR((shownAt.top + shownAt.bottom) / 2, (over.top + over.bottom) / 2, 2);
    EXPECT_EQ(w.lvwPrograms.ItemText(0, 2), L"Mine - Picture Tool");
    EXPECT_EQ(w.lvwPrograms.SubItemColour(0, 2), 0xFF0000);
    win::TreeNode node = nullptr;
    for (long i = 1; i <= w.tvwChoices.Count(); ++i)
        if (w.tvwChoices.Text(w.tvwChoices.Item(i)) == L"Mine - Picture Tool 7") node = w.tvwChoices.Item(i);
    ASSERT_NE(node, nullptr);
    EXPECT_TRUE(w.tvwChoices.Marks(node) & win::tnAliased);
    EXPECT_TRUE(needSaveOnReturn);

    // The timer's next step saves: the alias file carries the record.
    EXPECT_TRUE(PumpUntil([&] { return !w.NeedToSaveUserChoices(); }, 5000));
    const std::string file = ReadFileBytes(AliasFilePath());
    EXPECT_NE(file.find("CompanyA=\"Mine\""), std::string::npos) << file;

    // "Remove Alias", chosen with the keys from the same row's pop-up, puts the found names back.
    items = PopUpOnRow(w.lvwPrograms, 0, {VK_DOWN, VK_DOWN, VK_RETURN});
    ASSERT_GE(items.size(), 2u);
    EXPECT_EQ(items[1], L"Remove Alias");
    PumpUntil([&] { return w.lvwPrograms.ItemText(0, 2) == L"Acme - Viewer 0"; }, 5000);
    EXPECT_EQ(w.lvwPrograms.ItemText(0, 2), L"Acme - Viewer 0");
    EXPECT_EQ(w.tvwChoices.Text(node), L"Acme - Viewer 0 1.0");
    for (const ShownBox& box : boxes.shown) ADD_FAILURE() << vb::ToAnsi(box.prompt);
}

TEST_F(AliasCommandsWindowTest, AddExtensionRegistersAndListsTheExtension) {
    frmTesselOptions& w = OpenInFrame();
    ASSERT_EQ(w.FormReadiness(), frReady);
    const int rowsBefore = w.lvwExts.Count();

    short result = -1;
    bool typed = false, added = false, closedByTheClick = false;
    const int leftOpen = userinput::ShowWhileUserActs<frmExtensions>(
        [&] { result = w.mnuShowAddExtensions(); }, [] { return frmExtensions::Existing(); },
        [&](frmExtensions& dialog) {
            const HWND window = dialog.Handle();
            if (!userinput::WaitForFront(window)) return;
            const int listed = dialog.lstExt.Count();
            typed = userinput::TypeInto(dialog.txt.Handle(), L".lmxq");
            userinput::Click(userinput::CentreOf(dialog.cmds[ebAddRemove]->Handle()));
            added = userinput::WaitUntil([&] { return dialog.lstExt.Count() > listed; });
            userinput::Click(userinput::CentreOf(dialog.cmds[ebOK]->Handle()));
            closedByTheClick = userinput::WaitUntil([&] { return !IsWindowVisible(window); });
        });
    ASSERT_EQ(leftOpen, 0) << "a window still waited once the user was done";
    EXPECT_TRUE(typed) << "the box took the typing";
    EXPECT_TRUE(added) << "the click on Add reached the dialog";
    EXPECT_TRUE(closedByTheClick) << "the click on OK reached the dialog";
    EXPECT_EQ(result, 0);
    EXPECT_EQ(w.lvwExts.Count(), rowsBefore + 1);
    bool listed = false;
    for (int i = 0; i < w.lvwExts.Count(); ++i) listed = listed || w.lvwExts.ItemText(i) == L".lmxq";
    EXPECT_TRUE(listed);
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, L".lmxq", 0, KEY_READ, &key), ERROR_SUCCESS);
    if (key) RegCloseKey(key);
    RegDeleteKeyW(HKEY_CLASSES_ROOT, L".lmxq");
    // The tree came back from the category file.
    EXPECT_EQ(w.tvwChoices.Text(w.tvwChoices.FirstNode()), L"Graphics");
    for (const ShownBox& box : boxes.shown) ADD_FAILURE() << vb::ToAnsi(box.prompt);
}

}  // namespace
