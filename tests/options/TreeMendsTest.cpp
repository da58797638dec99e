// Where the tree goes beyond the letter of its rules so that nothing ends wrong.
#include "CategoryTreeFixture.h"
#include "NeighbourServices.h"

namespace {

using namespace treetest;
using Lines = std::vector<std::wstring>;

class TreeMendsTest : public CategoryTreeFixture {};

TEST_F(TreeMendsTest, CurrentTreeNodeIsLetGoWhenItsNodeOrOneAboveGoes) {
    win::TreeNode dragSource = nullptr;
    ops->TrackNode(&dragSource);

    ops->SetCurrentTreeNode(bmp);
    dragSource = gif;
    ops->RemoveProgram(zed, true);  // elsewhere: both stay
    EXPECT_EQ(ops->CurrentTreeNode(), bmp);
    EXPECT_EQ(dragSource, gif);

    ops->mnuDeleteSubcategory(viewers, true, true);  // one above both
    EXPECT_EQ(ops->CurrentTreeNode(), nullptr);
    EXPECT_EQ(dragSource, nullptr);

    ops->SetCurrentTreeNode(txt);
    ops->RemoveSelectedExtension();  // its own node
    EXPECT_EQ(ops->CurrentTreeNode(), nullptr);

    ops->SetCurrentTreeNode(graphics);
    dragSource = doc;
    tree->Clear();
    EXPECT_EQ(ops->CurrentTreeNode(), nullptr);
    EXPECT_EQ(dragSource, nullptr);
    ops->UntrackNode(&dragSource);
}

TEST_F(TreeMendsTest, MembersWithoutACurrentNodeDoNothing) {
    ASSERT_EQ(ops->CurrentTreeNode(), nullptr);
    const long before = tree->Count();
    ops->mnuMakeDefault();
    ops->mnuRemoveDefault();
    ops->ActivateDeactivateCategory(true);
    ops->ActivateDeactivateCategory(false);
    ops->mnuDeleteCategory();
    ops->mnuDeleteProgram();
    ops->RemoveSelectedExtension();
    ops->ExpandCollapseBranch(true);
    ops->AddProgramToSubcategory(viewers, nullptr);
    EXPECT_EQ(tree->Count(), before);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(window.saves, 0);
    EXPECT_EQ(DefList().UBound(), 2);
    EXPECT_EQ(AddList().UBound(), 1);
}

TEST_F(TreeMendsTest, CategoryAddedUnderTheKeyOfARenamedOneGetsAKeyOfItsOwn) {
    tree->SetText(graphics, L"Pictures");  // the key stays "Graphics"
    std::wstring name = L"Graphics";
    EXPECT_TRUE(ops->mnuAddCategory(name));
    win::TreeNode added = tree->Selected();
    EXPECT_EQ(tree->Text(added), L"Graphics");
    EXPECT_NE(tree->Key(added), L"Graphics");
    EXPECT_EQ(tree->ItemByKey(tree->Key(added)), added);
    EXPECT_EQ(tree->ItemByKey(L"Graphics"), graphics);
    EXPECT_EQ(ops->UniqueNodeKey(L"Fresh"), L"Fresh");
}

TEST_F(TreeMendsTest, RemovingADefaultKeepsTheDefLineAnotherSubcategoryStillUses) {
    win::TreeNode pixInEditors = Prog(editors, kPix, true);
    Ext(editors, L".bmp", 3);
    ops->SetCurrentTreeNode(pix);
    ops->mnuRemoveDefault();
    EXPECT_FALSE(tree->Bold(pix));
    EXPECT_TRUE(tree->Bold(pixInEditors));
    EXPECT_EQ(LinesOf(DefList()), (Lines{Line(L".bmp", kPix, L"-D")}));
    EXPECT_EQ(LinesOf(AddList()), (Lines{Line(L".gif", kPix, L"-A"), Line(L".txt", kZed, L"-A")}));
}

TEST_F(TreeMendsTest, ActivationChangesOnlyTheInactiveMark) {
    tree->SetMarks(graphics, win::tnNotRemovable);
    ops->SetCurrentTreeNode(graphics);
    ops->ActivateDeactivateCategory(false);
    EXPECT_EQ(tree->Marks(graphics), static_cast<unsigned>(win::tnNotRemovable | win::tnInactive));
    EXPECT_TRUE(DefList().IsEmpty());
    EXPECT_TRUE(AddList().IsEmpty());
    ops->ActivateDeactivateCategory(true);
    EXPECT_EQ(tree->Marks(graphics), static_cast<unsigned>(win::tnNotRemovable));
    EXPECT_EQ(tree->ForeColor(graphics), 0xFF0000);
    EXPECT_EQ(LinesOf(DefList()), (Lines{Line(L".bmp", kPix, L"-D"), Line(L".gif", kPix, L"-D")}));
    EXPECT_EQ(LinesOf(AddList()), (Lines{Line(L".txt", kZed, L"-A")}));
}

// The data model reaches the tree's members through the window's services.
class TreeServices : public OptionsWindowServices {
public:
    explicit TreeServices(CategoryTree& tree) : tree_(tree) { previous_ = SetOptionsWindowServices(this); }
    ~TreeServices() { SetOptionsWindowServices(previous_); }
    void ShowInfo(const std::wstring&) override {}
    void SetAliasCount(long) override {}
    bool NeedToSaveUserChoices() const override { return false; }
    void SetNeedToSaveUserChoices(bool) override {}
    vb::List<HTREEITEM> GetNodesToBeRemoved() override { return tree_.GetNodesToBeRemoved(); }
    void RemoveProgram(HTREEITEM node, bool saveNow) override { tree_.RemoveProgram(node, saveNow); }

private:
    CategoryTree& tree_;
    OptionsWindowServices* previous_;
};

TEST_F(TreeMendsTest, StaleNodesGoThroughTheTreesOwnMembers) {
    TreeServices services(*ops);
    win::TreeNode zedInDocs = Prog(docs, kZed);
    StaleEntries().Add(vb::Split(Line(L".txt", kZed, L"-A"), L"|"));
    RemoveStaleNodes();
    EXPECT_FALSE(Exists(zed));
    EXPECT_FALSE(Exists(zedInDocs));
    EXPECT_TRUE(AddList().IsEmpty());
    EXPECT_EQ(window.quietSaves, 2);
    EXPECT_EQ(StaleEntries().UBound(), 0);
}

}  // namespace
