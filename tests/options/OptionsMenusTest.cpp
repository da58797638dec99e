// The pop-up menus' table, the tree's rules for them, their native menus and their dispatch.
#include <gtest/gtest.h>

#include <set>

#include "MenuTestSupport.h"
#include "OptionsMenus.h"
#include "OptionsTestSupport.h"
#include "UiTestForms.h"
#include "vb/VbError.h"
#include "win/TreeView.h"

namespace {

using Items = std::vector<int>;

// The indexes of a group that are shown.
Items ShownIndexes(const frmMenus& menus, int group, const Items& all) {
    Items shown;
    for (int i : all)
        if (menus.Visible(group, i)) shown.push_back(i);
    return shown;
}

const Items kCategoryIndexes = {0, 10, 14, 15, 16, 20, 30, 40, 50, 60, 70, 80, 90, 100};

class MenusTest : public ::testing::Test {
protected:
    void SetUp() override {
        vb::Err().Clear();
        form = std::make_unique<TestForm>(L"frmTesselOptions", 300, 300);
        tree = &form->Put<win::TreeView>(nullptr, L"tvwChoices", -1, win::Rect{0, 0, 300, 300});
        menus = std::make_unique<frmMenus>(commands, form->Handle());
        menus->SetTree(tree);
    }
    void TearDown() override {
        menus.reset();
        form.reset();
        vb::Err().Clear();
    }
    // A category with a subcategory whose folders hold a program and an extension.
    win::TreeNode Category(const std::wstring& name, unsigned marks, unsigned subMarks = 0, bool withChild = true) {
        win::TreeNode category = tree->Add(nullptr, name, name, 5);
        tree->SetMarks(category, marks);
        if (withChild) {
            win::TreeNode sub = tree->Add(category, name + L"*S", L"S", 8);
            tree->SetMarks(sub, subMarks);
            win::TreeNode programs = tree->Add(sub, name + L"*S*P", L"Programs", 6);
            win::TreeNode extensions = tree->Add(sub, name + L"*S*E", L"Extensions", 1);
            tree->Add(programs, name + L"*prg", L"Program", 7);
            tree->Add(extensions, name + L"*ext", L".txt", 2);
        }
        return category;
    }

    RecordingMenuCommands commands;
    std::unique_ptr<TestForm> form;
    win::TreeView* tree = nullptr;
    std::unique_ptr<frmMenus> menus;
};

TEST_F(MenusTest, TheTreeRulesPickTheMenuAndItsItems) {
    struct Case {
        const wchar_t* what;
        unsigned marks;
        unsigned firstChildMarks;
        bool withChild;
        Items shown;
    };
    const Case cases[] = {
        {L"active removable", 0, 0, true, {10, 14, 15, 16, 20, 40, 50, 60, 70, 80, 90, 100}},
        {L"inactive removable", win::tnInactive, 0, true, {0, 14, 15, 16, 20, 40, 50, 60, 70, 80, 90, 100}},
        {L"inactive without children", win::tnInactive, 0, false, {0, 14, 15, 16, 20, 40, 50, 60, 70, 80, 90, 100}},
        {L"not removable", win::tnNotRemovable, 0, true, {14, 15, 16, 20, 60, 70, 80, 90, 100}},
        {L"first subcategory not removable", 0, win::tnNotRemovable, true, {10, 14, 15, 16, 70, 80, 90, 100}},
        {L"neither removable", win::tnNotRemovable, win::tnNotRemovable, true, {14, 15, 16, 70, 80, 90, 100}},
    };
    int n = 0;
    for (const Case& c : cases) {
        win::TreeNode node = Category(L"C" + std::to_wstring(n++), c.marks, c.firstChildMarks, c.withChild);
        EXPECT_EQ(menus->MenuForNode(*tree, node), mgCategory) << c.what;
        EXPECT_EQ(ShownIndexes(*menus, mgCategory, kCategoryIndexes), c.shown) << c.what;
    }
    // Empty space after all that: only adding, closing and the notes.
    EXPECT_EQ(menus->MenuForNode(*tree, nullptr), mgCategory);
    EXPECT_EQ(ShownIndexes(*menus, mgCategory, kCategoryIndexes), (Items{30, 70, 80, 90, 100}));
    EXPECT_EQ(menus->NativeCaptions(mgCategory),
              (std::vector<std::wstring>{L"&Add Category", L"-", L"C&lose", L"-", L"&How Do I..."}));
}

TEST_F(MenusTest, SubcategoriesProgramsAndExtensions) {
    win::TreeNode open = Category(L"Open", 0);
    win::TreeNode fixed = Category(L"Fixed", win::tnNotRemovable, win::tnNotRemovable);
    auto sub = [&](win::TreeNode category) { return tree->Child(category); };
    auto program = [&](win::TreeNode category) { return tree->Child(tree->Child(sub(category))); };
    auto extension = [&](win::TreeNode category) {
        return tree->Child(tree->Next(tree->Child(sub(category))));
    };
    EXPECT_EQ(menus->MenuForNode(*tree, sub(open)), mgSubcategory);
    EXPECT_EQ(menus->MenuForNode(*tree, sub(fixed)), -1);
    EXPECT_EQ(menus->MenuForNode(*tree, extension(open)), mgExtension);
    EXPECT_EQ(menus->MenuForNode(*tree, extension(fixed)), -1);
    EXPECT_EQ(menus->MenuForNode(*tree, tree->Child(sub(open))), -1) << "the Programs folder";

    EXPECT_EQ(menus->MenuForNode(*tree, program(open)), mgProgram);
    EXPECT_FALSE(menus->Visible(mgProgram, 10));
    EXPECT_TRUE(menus->Enabled(mgProgram, 0));
    tree->SetMarks(program(open), win::tnDefault);
    EXPECT_EQ(menus->MenuForNode(*tree, program(open)), mgProgram);
    EXPECT_TRUE(menus->Visible(mgProgram, 10));
    EXPECT_FALSE(menus->Enabled(mgProgram, 0));
    // Greyed in the native menu as well.
    UINT state = GetMenuState(menus->NativeMenu(mgProgram), 0, MF_BYPOSITION);
    EXPECT_TRUE(state & MF_GRAYED);
    EXPECT_EQ(menus->NativeCaptions(mgProgram),
              (std::vector<std::wstring>{L"Make Default Program", L"Remove Default Status", L"-", L"Delete Program",
                                         L"-", L"&How Do I..."}));
}

TEST_F(MenusTest, ClicksReachTheirCommands) {
    struct Case {
        int group, index;
        const wchar_t* call;
    };
    const Case cases[] = {
        {mgCategory, 0, L"Activate"},          {mgCategory, 10, L"Deactivate"},
        {mgCategory, 15, L"Expand"},           {mgCategory, 16, L"Collapse"},
        {mgCategory, 30, L"mnuAddCategory"},   {mgCategory, 40, L"mnuDeleteCategory"},
        {mgCategory, 50, L"mnuRenameCategory"}, {mgCategory, 60, L"mnuAddSubcategory"},
        {mgCategory, 80, L"Close"},            {mgSubcategory, 0, L"mnuDeleteSubcategory"},
        {mgSubcategory, 10, L"mnuRenameSubcategory"}, {mgSubcategory, 15, L"Expand"},
        {mgExtension, 0, L"RemoveExtension"},  {mgProgram, 0, L"mnuMakeDefault"},
        {mgProgram, 10, L"mnuRemoveDefault"},  {mgProgram, 30, L"mnuDeleteProgram"},
        {mgPrgList, 0, L"mnuAssignAlias"},     {mgPrgList, 10, L"RemoveAlias"},
        {mgPrgList, 30, L"Find 1"},            {mgPrgList, 50, L"mnuRefresh"},
        {mgExtList, 0, L"mnuShowAddExtensions"}, {mgExtList, 1, L"Find 1"},
        {mgExtList, 2, L"MakeExtensionAssociated"}, {mgExtList, 4, L"Restorer"},
        {mgExtList, 6, L"Previewer Controller"}, {mgExtList, 7, L"Explorer Precatch Controller"},
    };
    for (const Case& c : cases) {
        commands.calls.clear();
        // Through the command id, as the window hands a chosen item back.
        EXPECT_TRUE(menus->OnCommand(menus->Item(c.group, c.index)->id)) << c.call;
        EXPECT_EQ(commands.calls, std::vector<std::wstring>{c.call}) << c.group << "/" << c.index;
    }
    commands.calls.clear();
    for (int separator : {14, 20, 70, 90}) menus->Click(mgCategory, separator);
    EXPECT_TRUE(commands.calls.empty());
}

TEST_F(MenusTest, NoteCommandsFromFiveThousandOpenTheirNote) {
    commands.notes[L"k5000"] = L"C:\\notes\\five.all.note";
    commands.notes[L"k4999"] = L"C:\\notes\\other.all.note";
    EXPECT_FALSE(menus->OnCommand(4999));
    EXPECT_TRUE(commands.shownNotes.empty());
    EXPECT_TRUE(menus->OnCommand(5000));
    EXPECT_EQ(commands.shownNotes, std::vector<std::wstring>{L"C:\\notes\\five.all.note"});
    EXPECT_TRUE(commands.calls.empty());
    // A group without notes keeps its placeholder, which opens nothing.
    commands.shownNotes.clear();
    EXPECT_TRUE(menus->OnCommand(menus->HowDoIItemId(mgExtList)));
    EXPECT_TRUE(commands.shownNotes.empty());
}

TEST_F(MenusTest, AFilterToggledTwiceEndsUnchecked) {
    menus->Click(mgPrgList, 70);
    EXPECT_TRUE(menus->Checked(mgPrgList, 70));
    EXPECT_TRUE(GetMenuState(menus->NativeMenu(mgPrgList), menus->Item(mgPrgList, 70)->id, MF_BYCOMMAND) &
                MF_CHECKED);
    menus->Click(mgPrgList, 70);
    EXPECT_FALSE(menus->Checked(mgPrgList, 70));
    EXPECT_FALSE(GetMenuState(menus->NativeMenu(mgPrgList), menus->Item(mgPrgList, 70)->id, MF_BYCOMMAND) &
                 MF_CHECKED);
    EXPECT_EQ(commands.calls, (std::vector<std::wstring>{L"Filter 70 on", L"Filter 70 off"}));
}

TEST_F(MenusTest, DesignStatesAndTheListsHooks) {
    EXPECT_EQ(menus->MnuAssocRestorer(), 4);
    EXPECT_EQ(menus->MnuMakeExtensionAssociated(), 2);
    EXPECT_EQ(menus->MnuPreviewMngr(), 6);
    EXPECT_EQ(menus->MnuExplorerPrecatchMngr(), 7);
    // The two hidden entries are not in the native menu: "How Do I.." sits at position 7.
    EXPECT_EQ(menus->NativeCaptions(mgExtList).size(), 8u);
    EXPECT_NE(menus->NativeSubMenu(mgExtList, 7), nullptr);
    EXPECT_FALSE(menus->Enabled(mgExtList, 2));
    menus->SetMakeExtensionAssociatedEnabled(true);
    EXPECT_TRUE(menus->Enabled(mgExtList, 2));
    menus->ShowAliasEntries(false);
    EXPECT_EQ(menus->NativeCaptions(mgPrgList).front(), L"Find");
    menus->ShowAliasEntries(true);
    EXPECT_EQ(menus->NativeCaptions(mgPrgList).front(), L"Assign Alias");
    menus->SetRefreshExeCaption(L"Refresh Exe's   [3 Days since updated]");
    EXPECT_EQ(menus->RefreshExeCaption(), L"Refresh Exe's   [3 Days since updated]");
    EXPECT_EQ(menus->NativeCaptions(mgPrgList)[5], L"Refresh Exe's   [3 Days since updated]");
}

// A right click on empty tree space opens the menu; the test reads its items while it is open
// and closes it.
TEST_F(MenusTest, RightClickOnEmptySpaceShowsThePopUp) {
    form->Show();
    std::vector<std::wstring> seen;
    {
        optionstest::PopUpMenuCloser menu;
        menus->PopUpForNode(nullptr);
        EXPECT_TRUE(menu.closed);
        seen = menu.items;
    }
    EXPECT_EQ(seen, (std::vector<std::wstring>{L"&Add Category", L"-", L"C&lose", L"-", L"&How Do I..."}));
    EXPECT_EQ(commands.dragStates, (std::vector<bool>{true, false}));
}

}  // namespace
