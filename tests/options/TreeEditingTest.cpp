// The tree edited by keys, label edits and drops, on the small tree of the category fixture
// with the editor attached to the real controls.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include "EditorFixture.h"

namespace {

using edittest::EditorFixture;
using treetest::Fields;
using treetest::ShownNumbers;

class TreeEditingTest : public EditorFixture {
protected:
    // An edit of node's label through the control, ended with the text (nullptr: cancelled).
    void EditLabel(win::TreeNode node, const wchar_t* text) {
        tree->Select(node);
        int f2 = 113;
        editor->tvwChoices_KeyDown(f2, 0);
        HWND edit = reinterpret_cast<HWND>(SendMessageW(tree->Handle(), TVM_GETEDITCONTROL, 0, 0));
        ASSERT_NE(edit, nullptr) << "no label edit started";
        if (text) SetWindowTextW(edit, text);
        SendMessageW(tree->Handle(), TVM_ENDEDITLABELNOW, text ? FALSE : TRUE, 0);
    }
    bool Editing() const { return SendMessageW(tree->Handle(), TVM_GETEDITCONTROL, 0, 0) != 0; }
};

TEST_F(TreeEditingTest, RenamesByTheRulesOfTheNodesKind) {
    struct {
        const char* what;
        win::TreeNode node;
        const wchar_t* name;
        bool cancelled;
        const wchar_t* message;
    } cases[] = {
        {"another category's name in another case", graphics, L"office", true,
         L"You already have a Category with the name 'office'"},
        {"the unchanged name: the node is among its siblings", graphics, L"Graphics", true,
         L"You already have a Category with the name 'Graphics'"},
        {"a sibling subcategory's name", viewers, L"EDITORS", true,
         L"You already have a Subcategory with the name 'EDITORS'"},
        {"a new subcategory name", viewers, L"Lookers", false, nullptr},
        {"a new category name", office, L"Paperwork", false, nullptr},
        {"a program node is deeper: cancelled silently", pix, L"Pix 2", true, nullptr},
        {"a name of blanks only is refused silently", graphics, L"   ", true, nullptr},
    };
    // Each case with the edited node selected, and with the selection already moved on to
    // another node (an edit ended by a click elsewhere): the edited node is the one judged.
    for (bool selectionMoved : {false, true})
    for (const auto& c : cases) {
        SCOPED_TRACE(selectionMoved ? "selection moved on" : "edited node selected");
        boxes.shown.clear();
        host.needSave = false;
        win::TreeNode node = c.node;
        tree->Select(selectionMoved ? (node == pix ? viewers : pix) : node);
        bool cancel = false;
        std::wstring name = c.name;
        editor->tvwChoices_AfterLabelEdit(cancel, name, selectionMoved ? node : nullptr);
        EXPECT_EQ(cancel, c.cancelled) << c.what;
        EXPECT_EQ(host.needSave, !c.cancelled) << c.what;
        EXPECT_EQ(ops->CurrentTreeNode(), node) << c.what;
        if (c.message) {
            ASSERT_EQ(boxes.shown.size(), 1u) << c.what;
            EXPECT_EQ(boxes.shown[0].prompt, c.message) << c.what;
            EXPECT_EQ(boxes.shown[0].style, 16) << c.what;
        } else {
            EXPECT_TRUE(boxes.shown.empty()) << c.what;
        }
    }
}

TEST_F(TreeEditingTest, LabelEditsThroughTheControl) {
    EditLabel(viewers, L"Lookers");
    EXPECT_EQ(tree->Text(viewers), L"Lookers");
    EXPECT_TRUE(host.needSave);

    host.needSave = false;
    EditLabel(editors, nullptr);  // Escape
    EXPECT_EQ(tree->Text(editors), L"Editors");
    EXPECT_FALSE(host.needSave);
    EXPECT_TRUE(boxes.shown.empty());

    EditLabel(editors, L"lookers");  // refused: the old name stays
    EXPECT_EQ(tree->Text(editors), L"Editors");
    EXPECT_EQ(boxes.shown.size(), 1u);

    // A click on a label opens no edit of its own: names change through the commands.
    tree->Select(all);
    SendMessageW(tree->Handle(), TVM_EDITLABELW, 0, reinterpret_cast<LPARAM>(all));
    EXPECT_FALSE(Editing());
}

TEST_F(TreeEditingTest, DeleteAndF2GoByTheNodesKind) {
    struct {
        const char* what;
        win::TreeNode node;
        int key;
        const wchar_t* question;  // answered Cancel
        bool gone;
        bool edits;
    } cases[] = {
        {"Delete on a category asks about the category", graphics, 46,
         L"Are you sure you want to remove category 'Graphics'", false, false},
        {"Delete on a subcategory asks about the subcategory", editors, 46,
         L"Are you sure you want to remove subcategory 'Editors'", false, false},
        {"Delete on a program removes it", zed, 46, nullptr, true, false},
        {"Delete on an extension removes it", txt, 46, nullptr, true, false},
        {"Delete on \"*\" keeps it", star, 46, nullptr, false, false},
        {"F2 on a category edits it", office, 113, nullptr, false, true},
        {"F2 on a subcategory edits it", docs, 113, nullptr, false, true},
        {"F2 on \"All\" does not", all, 113, nullptr, false, false},
        {"F2 on \"Non-associated Extensions\" does not", nonAssociated, 113, nullptr, false, false},
        {"F2 on a program does not", pix, 113, nullptr, false, false},
        {"another key does nothing", graphics, 65, nullptr, false, false},
    };
    for (const auto& c : cases) {
        boxes.shown.clear();
        boxes.answers = {2};  // Cancel
        const long before = tree->Count();
        win::TreeNode node = c.node;
        tree->Select(node);
        int key = c.key;
        editor->tvwChoices_KeyDown(key, 0);
        if (c.gone) {
            EXPECT_FALSE(Exists(node)) << c.what;
        } else {
            EXPECT_TRUE(Exists(node)) << c.what;
            EXPECT_EQ(ops->CurrentTreeNode(), node) << c.what;
        }
        if (c.question) {
            ASSERT_EQ(boxes.shown.size(), 1u) << c.what;
            EXPECT_EQ(boxes.shown[0].prompt, c.question) << c.what;
        } else {
            EXPECT_TRUE(boxes.shown.empty()) << c.what;
        }
        EXPECT_EQ(tree->Count(), before - (c.gone ? 1 : 0)) << c.what;
        EXPECT_EQ(Editing(), c.edits) << c.what;
        if (Editing()) SendMessageW(tree->Handle(), TVM_ENDEDITLABELNOW, TRUE, 0);
    }

    // The "Programs" folder itself: its parent is a subcategory, so nothing happens.
    const long before = tree->Count();
    tree->Select(tree->Child(viewers));
    int del = 46;
    editor->tvwChoices_KeyDown(del, 0);
    EXPECT_EQ(tree->Count(), before);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(TreeEditingTest, KeysWaitUntilTheWindowIsReady) {
    host.readiness = 0;
    tree->Select(zed);
    int del = 46;
    editor->tvwChoices_KeyDown(del, 0);
    EXPECT_TRUE(Exists(zed));
}

TEST_F(TreeEditingTest, AnExtensionDroppedTwiceOnEmptySpaceMakesOneSubcategory) {
    ListExtensions({{L"*", 1}, {L".bmp", 3}, {L".txt", 7}});
    SelectExtension(2);
    for (int drop = 0; drop < 2; ++drop) editor->tvwChoices_DragDrop(exts->Handle(), EmptySpace());

    win::TreeNode single = CategoryNamed(L"Single Extensions");
    ASSERT_NE(single, nullptr);
    ASSERT_EQ(tree->Children(single), 1);
    win::TreeNode sub = tree->Child(single);
    EXPECT_EQ(tree->Text(sub), L"TXT");
    EXPECT_EQ(ExtensionsOf(sub), (std::vector<std::wstring>{L".txt"}));
    EXPECT_EQ(tree->NodeTag(tree->Child(tree->LastSibling(tree->Child(sub)))).ToLong(), 7);
    // The second drop found it there already.
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].prompt, L"This extension has already been added.");
    EXPECT_EQ(window.saves, 1);
}

TEST_F(TreeEditingTest, AnExtensionNodeDroppedOnEmptySpaceIsCopiedToItsOwnSubcategory) {
    ops->SetCurrentTreeNode(gif);
    editor->tvwChoices_DragDrop(tree->Handle(), EmptySpace());
    win::TreeNode single = CategoryNamed(L"Single Extensions");
    ASSERT_NE(single, nullptr);
    EXPECT_EQ(ExtensionsOf(tree->Child(single)), (std::vector<std::wstring>{L".gif"}));
    EXPECT_EQ(tree->Text(tree->Child(single)), L"GIF");
    EXPECT_TRUE(Exists(gif));  // the dragged node stays where it was
}

TEST_F(TreeEditingTest, AProgramNodeDroppedOnEmptySpaceOnlyEndsTheDrag) {
    const long before = tree->Count();
    ops->SetCurrentTreeNode(pix);
    editor->tvwChoices_DragDrop(tree->Handle(), EmptySpace());
    EXPECT_EQ(tree->Count(), before);
    EXPECT_FALSE(editor->TreeDragStarted());
    EXPECT_EQ(window.saves, 0);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(TreeEditingTest, DropsReachTheSubcategoryOfTheNodeUnderThePointer) {
    const Fields kNew = {L"Newco - Shiny", L"3.1", L"OK", L"C:\\Shiny\\shiny.exe", L"C:\\SHINY\\shiny.exe"};
    ListProgram(kNew);
    editor->tvwChoices_DragDrop(programs->Handle(), PointOf(graphics));  // a category: its first subcategory
    EXPECT_EQ(ProgramsOf(viewers), (std::vector<std::wstring>{L"Newco - Shiny 3.1", L"Quillon - Pix 1.2"}));

    ListExtensions({{L".png", 9}});
    SelectExtension(0);
    editor->tvwChoices_DragDrop(exts->Handle(), PointOf(zed));  // a program: its subcategory
    EXPECT_EQ(ExtensionsOf(editors), (std::vector<std::wstring>{L".png", L".txt"}));

    // A program node dragged inside the tree: the target gets a copy.
    ops->SetCurrentTreeNode(zed);
    editor->tvwChoices_DragDrop(tree->Handle(), PointOf(docs));
    EXPECT_EQ(ProgramsOf(docs), (std::vector<std::wstring>{L"Acme - Zed 2.0", L"Wordy - Word 9"}));
    EXPECT_TRUE(Exists(zed));

    // A program from the list over empty space goes to CurrentTreeNode; with none, nowhere.
    ListProgram(kNew);
    ops->SetCurrentTreeNode(nullptr);
    const long before = tree->Count();
    editor->tvwChoices_DragDrop(programs->Handle(), EmptySpace());
    EXPECT_EQ(tree->Count(), before);
}

TEST_F(TreeEditingTest, AddSubcategoryFindsOrMakesOne) {
    ops->SetCurrentTreeNode(graphics);
    std::wstring name = L"viewers";
    EXPECT_FALSE(editor->mnuAddSubcategory(name));
    EXPECT_EQ(tree->Selected(), viewers);
    EXPECT_EQ(ops->CurrentTreeNode(), viewers);

    ops->SetCurrentTreeNode(graphics);
    name = L"Players";
    EXPECT_TRUE(editor->mnuAddSubcategory(name));
    win::TreeNode players = ops->CurrentTreeNode();
    EXPECT_EQ(tree->Text(players), L"Players");
    EXPECT_EQ(tree->Key(players), L"Graphics*Players");
    EXPECT_EQ(tree->Text(tree->Child(players)), L"Programs");
    EXPECT_EQ(tree->Key(tree->LastSibling(tree->Child(players))), L"Graphics*Players*E");

    // Without a name: a new one, and the user types it at once.
    ops->SetCurrentTreeNode(graphics);
    name.clear();
    EXPECT_TRUE(editor->mnuAddSubcategory(name));
    EXPECT_EQ(name, L"New subcategory");
    EXPECT_TRUE(Editing());
    // The user cancels the edit: the new node keeps its name and is still written.
    host.needSave = false;
    SendMessageW(tree->Handle(), TVM_ENDEDITLABELNOW, TRUE, 0);
    EXPECT_TRUE(host.needSave);

    // A renamed subcategory keeps its key; a new one of its old name still gets a key.
    tree->SetText(players, L"Gamers");
    ops->SetCurrentTreeNode(graphics);
    name = L"Players";
    EXPECT_TRUE(editor->mnuAddSubcategory(name));
    EXPECT_NE(tree->Key(ops->CurrentTreeNode()), L"Graphics*Players");
}

}  // namespace
