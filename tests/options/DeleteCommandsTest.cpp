#include "CategoryTreeFixture.h"

namespace {

using namespace treetest;
using Lines = std::vector<std::wstring>;

class DeleteCommandsTest : public CategoryTreeFixture {};

TEST_F(DeleteCommandsTest, SubcategoryGoesWithItsFiveLeavesAndOneSave) {
    Prog(viewers, kZed);
    Prog(viewers, kWord);
    win::TreeNode folder = tree->Child(viewers);
    const long before = tree->Count();
    boxes.answers = {AnswerOk};
    ops->mnuDeleteSubcategory(viewers, true, false);
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].prompt, L"Are you sure you want to remove subcategory 'Viewers'");
    EXPECT_EQ(boxes.shown[0].style, 1);  // OK and Cancel
    EXPECT_EQ(tree->Count(), before - 8);
    EXPECT_FALSE(Exists(viewers));
    EXPECT_FALSE(Exists(folder));
    EXPECT_EQ(window.saves, 1);
    EXPECT_EQ(window.quietSaves, 5);
    EXPECT_TRUE(DefList().IsEmpty());
    EXPECT_EQ(LinesOf(AddList()), (Lines{Line(L".txt", kZed, L"-A")}));
}

TEST_F(DeleteCommandsTest, SubcategoryAllIsNeverDeletedAndNothingIsAsked) {
    Sub(graphics, L"all");
    win::TreeNode lowerAll = tree->LastSibling(viewers);
    for (bool quiet : {false, true}) {
        ops->mnuDeleteSubcategory(all, true, quiet);
        ops->mnuDeleteSubcategory(lowerAll, true, quiet);
    }
    EXPECT_TRUE(Exists(all));
    EXPECT_TRUE(Exists(lowerAll));
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(window.saves, 0);
}

TEST_F(DeleteCommandsTest, CancelLeavesTheSubcategoryUntouched) {
    boxes.answers = {2};
    ops->mnuDeleteSubcategory(viewers, true, false);
    EXPECT_EQ(ProgramsOf(viewers), (Lines{L"Quillon - Pix 1.2"}));
    EXPECT_EQ(ExtensionsOf(viewers), (Lines{L".bmp", L".gif"}));
    EXPECT_EQ(DefList().UBound(), 2);
    EXPECT_EQ(window.saves, 0);
}

TEST_F(DeleteCommandsTest, SubcategoryHoldingTheAllFilesExtensionKeepsOnlyIt) {
    win::TreeNode misc = Sub(graphics, L"Misc");
    Prog(misc, kZed);
    win::TreeNode miscStar = Ext(misc, L"*", 0);
    Ext(misc, L".zip", 12);
    ops->mnuDeleteSubcategory(misc, true, true);
    EXPECT_TRUE(Exists(misc));
    EXPECT_TRUE(Exists(miscStar));
    EXPECT_EQ(ProgramsOf(misc), Lines{});
    EXPECT_EQ(ExtensionsOf(misc), (Lines{L"*"}));
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(window.saves, 1);
}

TEST_F(DeleteCommandsTest, CategoryIsDeletedAfterItsQuestion) {
    ops->SetCurrentTreeNode(nonAssociated);
    ops->mnuDeleteCategory();
    EXPECT_TRUE(Exists(nonAssociated));
    EXPECT_TRUE(boxes.shown.empty());

    ops->SetCurrentTreeNode(graphics);
    boxes.answers = {2};
    ops->mnuDeleteCategory();
    EXPECT_TRUE(Exists(graphics));
    EXPECT_EQ(window.saves, 0);

    boxes.answers = {AnswerOk};
    ops->mnuDeleteCategory();
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[1].prompt, L"Are you sure you want to remove category 'Graphics'");
    EXPECT_FALSE(Exists(graphics));
    EXPECT_FALSE(Exists(pix));
    EXPECT_TRUE(AddList().IsEmpty());
    EXPECT_TRUE(DefList().IsEmpty());
    EXPECT_EQ(window.saves, 1);
    EXPECT_EQ(ops->CurrentTreeNode(), nullptr);
}

TEST_F(DeleteCommandsTest, CategoryHoldingAllKeepsItAndEnds) {
    win::TreeNode mixed = Category(L"Mixed");
    win::TreeNode mixedAll = Sub(mixed, L"All");
    win::TreeNode other = Sub(mixed, L"Other");
    Prog(other, kZed);
    ops->SetCurrentTreeNode(mixed);
    ops->mnuDeleteCategory();
    EXPECT_EQ(boxes.shown.size(), 1u);
    EXPECT_TRUE(Exists(mixed));
    EXPECT_TRUE(Exists(mixedAll));
    EXPECT_FALSE(Exists(other));
    EXPECT_EQ(window.saves, 1);
}

TEST_F(DeleteCommandsTest, DeleteProgramAndExtensionActOnCurrentTreeNode) {
    ops->SetCurrentTreeNode(zed);
    ops->RemoveSelectedExtension();  // not an extension: nothing
    EXPECT_TRUE(Exists(zed));
    ops->mnuDeleteProgram();
    EXPECT_FALSE(Exists(zed));
    ops->SetCurrentTreeNode(gif);
    ops->mnuDeleteProgram();  // not a program: nothing
    ops->RemoveSelectedExtension();
    EXPECT_FALSE(Exists(gif));
    EXPECT_EQ(LinesOf(DefList()), (Lines{Line(L".bmp", kPix, L"-D")}));
    EXPECT_TRUE(AddList().IsEmpty());
    EXPECT_EQ(window.saves, 2);
}

}  // namespace
