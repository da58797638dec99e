#include "CategoryTreeFixture.h"

namespace {

using namespace treetest;
using Lines = std::vector<std::wstring>;

class DefaultProgramsTest : public CategoryTreeFixture {
protected:
    // Editors shares .bmp with Viewers, whose default is Pix.
    void ShareBmpWithEditors() {
        Ext(editors, L".bmp", 3);
        AddList() = ListOf({Line(L".bmp", kZed, L"-A"), Line(L".txt", kZed, L"-A")});
    }
};

TEST_F(DefaultProgramsTest, ConflictingDefaultAnsweredNoChangesNothing) {
    ShareBmpWithEditors();
    boxes.answers = {AnswerNo};
    ops->SetCurrentTreeNode(zed);
    ops->mnuMakeDefault();
    EXPECT_EQ(ShownNumbers(boxes), (std::vector<long>{5003}));
    EXPECT_FALSE(tree->Bold(zed));
    EXPECT_TRUE(tree->Bold(pix));
    EXPECT_EQ(LinesOf(DefList()), (Lines{Line(L".bmp", kPix, L"-D"), Line(L".gif", kPix, L"-D")}));
    EXPECT_EQ(LinesOf(AddList()), (Lines{Line(L".bmp", kZed, L"-A"), Line(L".txt", kZed, L"-A")}));
    EXPECT_EQ(window.saves, 0);
}

TEST_F(DefaultProgramsTest, ConflictingDefaultAnsweredYesMovesTheDefaults) {
    ShareBmpWithEditors();
    boxes.answers = {AnswerYes};
    ops->SetCurrentTreeNode(zed);
    ops->mnuMakeDefault();
    EXPECT_EQ(ShownNumbers(boxes), (std::vector<long>{5003}));
    EXPECT_TRUE(tree->Bold(zed));
    EXPECT_FALSE(tree->Bold(pix));
    EXPECT_EQ(LinesOf(DefList()), (Lines{Line(L".bmp", kZed, L"-D"), Line(L".txt", kZed, L"-D")}));
    EXPECT_EQ(LinesOf(AddList()), (Lines{Line(L".bmp", kPix, L"-A"), Line(L".gif", kPix, L"-A")}));
    EXPECT_EQ(window.saves, 1);
}

TEST_F(DefaultProgramsTest, SameDefaultInASecondSubcategoryAsksNothingAndMeets4507) {
    win::TreeNode pixInEditors = Prog(editors, kPix);
    Ext(editors, L".bmp", 3);
    ops->SetCurrentTreeNode(pixInEditors);
    ops->mnuMakeDefault();
    EXPECT_EQ(ShownNumbers(boxes), (std::vector<long>{4507}));
    EXPECT_TRUE(tree->Bold(pixInEditors));
    EXPECT_TRUE(tree->Bold(pix));
    EXPECT_EQ(LinesOf(DefList()),
              (Lines{Line(L".bmp", kPix, L"-D"), Line(L".gif", kPix, L"-D"), Line(L".txt", kPix, L"-D")}));
    EXPECT_EQ(window.saves, 1);
}

TEST_F(DefaultProgramsTest, SecondDefaultInOneSubcategoryTakesTheDefLines) {
    win::TreeNode zedInViewers = Prog(viewers, kZed);
    AddList() = ListOf({Line(L".bmp", kZed, L"-A"), Line(L".gif", kZed, L"-A"), Line(L".txt", kZed, L"-A")});
    ops->SetCurrentTreeNode(zedInViewers);
    ops->mnuMakeDefault();
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_TRUE(tree->Bold(zedInViewers));
    EXPECT_FALSE(tree->Bold(pix));
    EXPECT_EQ(LinesOf(DefList()), (Lines{Line(L".bmp", kZed, L"-D"), Line(L".gif", kZed, L"-D")}));
    EXPECT_EQ(LinesOf(AddList()),
              (Lines{Line(L".bmp", kPix, L"-A"), Line(L".gif", kPix, L"-A"), Line(L".txt", kZed, L"-A")}));
}

TEST_F(DefaultProgramsTest, DefaultsInsideAnInactiveCategoryOnlyChangeTheMark) {
    win::TreeNode zedInDocs = Prog(docs, kZed);
    ops->SetCurrentTreeNode(zedInDocs);
    ops->mnuMakeDefault();
    EXPECT_TRUE(tree->Bold(zedInDocs));
    EXPECT_FALSE(tree->Bold(word));
    ops->SetCurrentTreeNode(zedInDocs);
    ops->mnuRemoveDefault();
    EXPECT_FALSE(tree->Bold(zedInDocs));
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(LinesOf(DefList()), (Lines{Line(L".bmp", kPix, L"-D"), Line(L".gif", kPix, L"-D")}));
    EXPECT_EQ(LinesOf(AddList()), (Lines{Line(L".txt", kZed, L"-A")}));
    EXPECT_EQ(window.saves, 2);
}

TEST_F(DefaultProgramsTest, RemoveDefaultTurnsDefLinesIntoAddLines) {
    ops->SetCurrentTreeNode(pix);
    ops->mnuRemoveDefault();
    EXPECT_FALSE(tree->Bold(pix));
    EXPECT_TRUE(DefList().IsEmpty());
    EXPECT_EQ(LinesOf(AddList()),
              (Lines{Line(L".bmp", kPix, L"-A"), Line(L".gif", kPix, L"-A"), Line(L".txt", kZed, L"-A")}));
    EXPECT_EQ(window.saves, 1);
}

TEST_F(DefaultProgramsTest, ActivationRoundTrip) {
    ops->SetCurrentTreeNode(office);
    ops->ActivateDeactivateCategory(true);
    EXPECT_EQ(tree->Marks(office), 0u);
    EXPECT_TRUE(tree->Expanded(office));
    EXPECT_EQ(LinesOf(DefList()),
              (Lines{Line(L".bmp", kPix, L"-D"), Line(L".doc", kWord, L"-D"), Line(L".gif", kPix, L"-D")}));

    ops->SetCurrentTreeNode(office);
    ops->ActivateDeactivateCategory(false);
    EXPECT_EQ(tree->Marks(office), static_cast<unsigned>(win::tnInactive));
    EXPECT_EQ(tree->ForeColor(office), 0x80);
    EXPECT_FALSE(tree->Expanded(office));
    EXPECT_EQ(LinesOf(DefList()), (Lines{Line(L".bmp", kPix, L"-D"), Line(L".gif", kPix, L"-D")}));
    EXPECT_EQ(window.saves, 2);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(DefaultProgramsTest, ActivationWithConflictingDefaultsShows4517OnceAndRecordsAdds) {
    Ext(docs, L".bmp", 3);
    win::TreeNode sheets = Sub(office, L"Sheets");
    win::TreeNode zedInSheets = Prog(sheets, kZed, true);
    Ext(sheets, L".gif", 4);
    win::TreeNode lonely = Sub(office, L"Lonely");  // programs without extensions: skipped
    win::TreeNode wordInLonely = Prog(lonely, kWord, true);

    ops->SetCurrentTreeNode(office);
    ops->ActivateDeactivateCategory(true);
    EXPECT_EQ(ShownNumbers(boxes), (std::vector<long>{4517}));
    EXPECT_FALSE(tree->Bold(word));
    EXPECT_FALSE(tree->Bold(zedInSheets));
    EXPECT_TRUE(tree->Bold(wordInLonely));
    EXPECT_EQ(LinesOf(DefList()), (Lines{Line(L".bmp", kPix, L"-D"), Line(L".gif", kPix, L"-D")}));
    EXPECT_EQ(LinesOf(AddList()), (Lines{Line(L".bmp", kWord, L"-A"), Line(L".doc", kWord, L"-A"),
                                         Line(L".gif", kZed, L"-A"), Line(L".txt", kZed, L"-A")}));

    // Deactivating takes out what only this category offers.
    ops->SetCurrentTreeNode(office);
    ops->ActivateDeactivateCategory(false);
    EXPECT_EQ(LinesOf(AddList()), (Lines{Line(L".txt", kZed, L"-A")}));
    EXPECT_EQ(ShownNumbers(boxes).size(), 1u);
}

TEST_F(DefaultProgramsTest, PairHeldTwiceInADeactivatedCategoryGoesWithIt) {
    ops->SetCurrentTreeNode(office);
    ops->ActivateDeactivateCategory(true);
    win::TreeNode more = Sub(office, L"More");
    Prog(more, kWord);
    Ext(more, L".doc", 5);
    ops->SetCurrentTreeNode(office);
    ops->ActivateDeactivateCategory(false);
    // No active subcategory offers the pair any more, although two inactive ones hold it.
    EXPECT_EQ(LinesOf(DefList()), (Lines{Line(L".bmp", kPix, L"-D"), Line(L".gif", kPix, L"-D")}));
}

}  // namespace
