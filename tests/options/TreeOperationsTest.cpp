#include "CategoryTreeFixture.h"

namespace {

using namespace treetest;
using Lines = std::vector<std::wstring>;

class TreeOperationsTest : public CategoryTreeFixture {};

// ---- unique names ----

TEST_F(TreeOperationsTest, NewCategoryNamesFollowTheHighestSuffixAmongTheKeys) {
    EXPECT_EQ(ops->GetNewCategory(), L"New Category");
    Category(L"New Category");
    EXPECT_EQ(ops->GetNewCategory(), L"New Category1");
    Category(L"New Category7");
    EXPECT_EQ(ops->GetNewCategory(), L"New Category8");
}

TEST_F(TreeOperationsTest, NameSuffixesCountOnlyWhenAllDigitsWithinSixteenBits) {
    struct Case {
        const wchar_t* key;
        short suffix;
    };
    const Case cases[] = {{L"New Category", 0},      {L"new category12", 12},   {L"New CategoryX", 0},
                          {L"New Category 3", 0},    {L"New Category-3", 0},    {L"New Category32767", 32767},
                          {L"New Category32768", 0}, {L"New Category99999999", 0}, {L"Old Category", -1}};
    for (const Case& c : cases) {
        win::TreeNode n = tree->Add(nullptr, c.key, c.key, ciCategory);
        EXPECT_EQ(ops->GetNameSuffix(n, L"New Category"), c.suffix) << vb::ToAnsi(c.key);
        tree->Remove(n);
    }
    EXPECT_EQ(ops->FindHighestNameSuffix(nullptr, L"New Category"), -1);
}

TEST_F(TreeOperationsTest, NewSubcategoryNamesLookInsideTheSubcategoryKeys) {
    EXPECT_EQ(ops->GetNewSubcategory(graphics), L"New subcategory");
    Sub(graphics, L"New subcategory4");
    EXPECT_EQ(ops->GetNewSubcategory(graphics), L"New subcategory5");
    EXPECT_EQ(ops->GetNewSubcategory(office), L"New subcategory");
    EXPECT_EQ(ops->GetNewSubcategory(Category(L"Empty")), L"New subcategory");
}

// ---- the folders ----

TEST_F(TreeOperationsTest, EveryNodeOfASubcategoryFindsItsTwoFolders) {
    win::TreeNode viewerPrograms = tree->Child(viewers);
    win::TreeNode viewerExtensions = tree->LastSibling(viewerPrograms);
    for (win::TreeNode node : {graphics, viewers, viewerPrograms, viewerExtensions, pix, bmp, gif}) {
        EXPECT_EQ(ops->ProgramsFolderOf(node), viewerPrograms) << vb::ToAnsi(tree->Text(node));
        EXPECT_EQ(ops->ExtensionsFolderOf(node), viewerExtensions) << vb::ToAnsi(tree->Text(node));
    }
    win::TreeNode empty = Category(L"Empty");
    EXPECT_EQ(ops->ProgramsFolderOf(empty), nullptr);
    EXPECT_EQ(ops->ExtensionsFolderOf(empty), nullptr);
    EXPECT_EQ(ops->ProgramsFolderOf(nullptr), nullptr);
}

TEST_F(TreeOperationsTest, DroppingOnAnyNodeOfASubcategoryAddsToItsFolder) {
    ListProgram(kZed);
    for (win::TreeNode target : {graphics, tree->LastSibling(tree->Child(viewers)), bmp}) {
        ops->AddProgramToSubcategory(target, programs);
        if (ProgramsOf(viewers).size() == 2) break;
    }
    EXPECT_EQ(ProgramsOf(viewers), (Lines{L"Acme - Zed 2.0", L"Quillon - Pix 1.2"}));
    ops->AddProgramToSubcategory(Category(L"Empty"), programs);  // no subcategory: nothing to add to
    EXPECT_EQ(window.saves, 1);
}

// ---- adding programs ----

TEST_F(TreeOperationsTest, AddedProgramRecordsEachExtensionOfItsSubcategoryAndSaves) {
    ListProgram(kZed);
    ops->AddProgramToSubcategory(viewers, programs, true);
    win::TreeNode added = tree->Selected();
    EXPECT_EQ(tree->Text(added), L"Acme - Zed 2.0");
    EXPECT_EQ(ops->ProgramFields(added), kZed);
    EXPECT_EQ(tree->Key(added), L"");
    EXPECT_EQ(LinesOf(AddList()), (Lines{Line(L".bmp", kZed, L"-A"), Line(L".gif", kZed, L"-A"), Line(L".txt", kZed, L"-A")}));
    EXPECT_EQ(window.saves, 1);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(TreeOperationsTest, SameProgramTwiceIsRefusedEvenWithAnotherShortPath) {
    Fields other = kPix;
    other[0] = L"QUILLON - PIX";
    other[4] = L"C:\\ELSEWH~1\\pix.exe";
    ListProgram(other);
    ops->AddProgramToSubcategory(viewers, programs);
    EXPECT_EQ(ProgramsOf(viewers), (Lines{L"Quillon - Pix 1.2"}));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].prompt, L"This program has already been added");
    EXPECT_EQ(boxes.shown[0].style, 16);
    EXPECT_EQ(window.saves, 0);
    EXPECT_EQ(AddList().UBound(), 1);
}

TEST_F(TreeOperationsTest, ProgramAddedToAnInactiveCategoryRecordsNothingButSaves) {
    ListProgram(kZed);
    ops->AddProgramToSubcategory(docs, programs);
    EXPECT_EQ(ProgramsOf(docs), (Lines{L"Acme - Zed 2.0", L"Wordy - Word 9"}));
    EXPECT_EQ(LinesOf(AddList()), (Lines{Line(L".txt", kZed, L"-A")}));
    EXPECT_EQ(window.saves, 1);
}

TEST_F(TreeOperationsTest, AliasedProgramIsBlueAndJournaledAsFound) {
    AliasRecord alias;
    alias.Company = L"Unknown";
    alias.Product = L"tool";
    alias.Version = L"No version info.";
    alias.CompanyA = L"Me";
    alias.ProductA = L"My Tool";
    alias.VersionA = L"1";
    Aliases().Add(alias);
    const Fields shown = {L"Me - My Tool", L"1", L"NE", L"C:\\t\\tool.exe", L"C:\\T\\tool.exe"};
    ListProgram(shown);
    ops->AddProgramToSubcategory(editors, programs);
    win::TreeNode added = tree->Selected();
    EXPECT_EQ(tree->Text(added), L"Me - My Tool 1");
    EXPECT_EQ(tree->ForeColor(added), 0xFF0000);
    EXPECT_EQ(ops->ProgramFields(added), shown);  // the tag keeps what was shown
    const Fields found = {L"Unknown - tool", L"No version info.", L"NE", L"C:\\t\\tool.exe", L"C:\\T\\tool.exe"};
    EXPECT_EQ(LinesOf(AddList()), (Lines{Line(L".txt", kZed, L"-A"), Line(L".txt", found, L"-A")}));
}

TEST_F(TreeOperationsTest, ProgramDraggedInsideTheTreeComesFromCurrentTreeNode) {
    ops->SetCurrentTreeNode(zed);
    ops->AddProgramToSubcategory(viewers, nullptr);
    EXPECT_EQ(ProgramsOf(viewers), (Lines{L"Acme - Zed 2.0", L"Quillon - Pix 1.2"}));
    ops->SetCurrentTreeNode(bmp);  // not a program: nothing to add
    ops->AddProgramToSubcategory(editors, nullptr);
    EXPECT_EQ(ProgramsOf(editors), (Lines{L"Acme - Zed 2.0"}));
    EXPECT_EQ(window.saves, 1);
}

// ---- adding extensions ----

TEST_F(TreeOperationsTest, ExtensionRefusedByANotRemovableSubcategoryOrAsADuplicate) {
    ops->AddExtensionToSubcategory(all, L".zip", 9);
    ops->AddExtensionToSubcategory(pix, L".BMP", 3);
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_EQ(boxes.shown[0].prompt, L"Cannot add extensions to this category.");
    EXPECT_EQ(boxes.shown[1].prompt, L"This extension has already been added.");
    EXPECT_EQ(boxes.shown[1].style, 16);
    EXPECT_EQ(ExtensionsOf(all), (Lines{L"*"}));
    EXPECT_EQ(ExtensionsOf(viewers), (Lines{L".bmp", L".gif"}));
    EXPECT_EQ(window.saves, 0);
}

TEST_F(TreeOperationsTest, AddedExtensionRecordsEveryProgramAndTheDefault) {
    Prog(viewers, kZed);
    ops->AddExtensionToSubcategory(viewers, L".png", 11, true);
    EXPECT_EQ(ExtensionsOf(viewers), (Lines{L".bmp", L".gif", L".png"}));
    EXPECT_EQ(tree->NodeTag(tree->Selected()).ToLong(), 11);
    EXPECT_EQ(LinesOf(AddList()), (Lines{Line(L".png", kZed, L"-A"), Line(L".txt", kZed, L"-A")}));
    EXPECT_EQ(LinesOf(DefList()), (Lines{Line(L".bmp", kPix, L"-D"), Line(L".gif", kPix, L"-D"), Line(L".png", kPix, L"-D")}));
    EXPECT_EQ(window.saves, 1);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(TreeOperationsTest, ExtensionWhoseDefaultConflictsTakesAwayThisSubcategorysDefault) {
    tree->SetMarks(zed, win::tnDefault);
    DefList() = ListOf({Line(L".bmp", kPix, L"-D"), Line(L".gif", kPix, L"-D"), Line(L".txt", kZed, L"-D")});
    AddList().Clear();
    ops->AddExtensionToSubcategory(editors, L".bmp", 3);
    EXPECT_EQ(ShownNumbers(boxes), (std::vector<long>{4516}));
    EXPECT_FALSE(tree->Bold(zed));
    EXPECT_TRUE(tree->Bold(pix));
    EXPECT_EQ(LinesOf(DefList()), (Lines{Line(L".bmp", kPix, L"-D"), Line(L".gif", kPix, L"-D")}));
    EXPECT_EQ(LinesOf(AddList()), (Lines{Line(L".bmp", kZed, L"-A"), Line(L".txt", kZed, L"-A")}));
}

TEST_F(TreeOperationsTest, ExtensionWithTheSameDefaultElsewhereShowsNothingAndKeepsTheDefLine) {
    win::TreeNode pixInEditors = Prog(editors, kPix, true);
    ops->AddExtensionToSubcategory(editors, L".bmp", 3);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_TRUE(tree->Bold(pixInEditors));
    EXPECT_EQ(LinesOf(DefList()), (Lines{Line(L".bmp", kPix, L"-D"), Line(L".gif", kPix, L"-D")}));
    EXPECT_EQ(LinesOf(AddList()), (Lines{Line(L".bmp", kZed, L"-A"), Line(L".txt", kZed, L"-A")}));
}

TEST_F(TreeOperationsTest, ProgramAddedWhereAnotherSubcategoryStartsItLeavesItsDefLine) {
    Ext(editors, L".bmp", 3);
    ListProgram(kPix);
    ops->AddProgramToSubcategory(editors, programs);
    EXPECT_EQ(LinesOf(DefList()), (Lines{Line(L".bmp", kPix, L"-D"), Line(L".gif", kPix, L"-D")}));
    EXPECT_EQ(LinesOf(AddList()), (Lines{Line(L".txt", kZed, L"-A"), Line(L".txt", kPix, L"-A")}));
}

// ---- removing ----

TEST_F(TreeOperationsTest, RemovedProgramTakesItsPairsOutOfTheJournal) {
    ops->RemoveProgram(zed, true);
    EXPECT_FALSE(Exists(zed));
    EXPECT_TRUE(AddList().IsEmpty());
    ops->RemoveProgram(pix, false);
    EXPECT_TRUE(DefList().IsEmpty());
    EXPECT_EQ(window.saves, 1);
    EXPECT_EQ(window.quietSaves, 1);
}

TEST_F(TreeOperationsTest, PairThatAnotherActiveSubcategoryHoldsStaysRecorded) {
    Prog(editors, kPix);
    Ext(editors, L".bmp", 3);
    ops->RemoveProgram(pix, true);
    // .bmp with Pix is still offered through Editors, but no longer as its default: an ordinary
    // entry, so the chooser shows its list again. .gif is not offered at all.
    EXPECT_TRUE(DefList().IsEmpty());
    EXPECT_EQ(LinesOf(AddList()), (Lines{Line(L".bmp", kPix, L"-A"), Line(L".txt", kZed, L"-A")}));
    // The same pair in an inactive category does not keep it.
    win::TreeNode zedInDocs = Prog(docs, kZed);
    Ext(docs, L".txt", 7);
    ops->RemoveExtension(txt, true);
    EXPECT_EQ(LinesOf(AddList()), (Lines{Line(L".bmp", kPix, L"-A")}));
    EXPECT_TRUE(Exists(zedInDocs));
}

TEST_F(TreeOperationsTest, ADefLineStaysWhileAnotherActiveSubcategoryStillDefaultsThePair) {
    Prog(editors, kPix, true);
    Ext(editors, L".bmp", 3);
    ops->RemoveProgram(pix, true);
    EXPECT_EQ(LinesOf(DefList()), (Lines{Line(L".bmp", kPix, L"-D")}));
    EXPECT_EQ(LinesOf(AddList()), (Lines{Line(L".txt", kZed, L"-A")}));
}

TEST_F(TreeOperationsTest, RemovingFromAnInactiveCategoryRecordsNothing) {
    AddList() = ListOf({Line(L".doc", kWord, L"-A")});  // put there by other means
    ops->RemoveExtension(doc, true);
    EXPECT_EQ(LinesOf(AddList()), (Lines{Line(L".doc", kWord, L"-A")}));
    EXPECT_EQ(ExtensionsOf(docs), Lines{});
}

TEST_F(TreeOperationsTest, TheAllFilesExtensionIsNeverRemoved) {
    ops->RemoveExtension(star, true);
    EXPECT_TRUE(Exists(star));
    EXPECT_EQ(window.saves, 0);
}

TEST_F(TreeOperationsTest, NodesToBeRemovedAreTheProgramsOfStaleEntries) {
    EXPECT_EQ(ops->GetNodesToBeRemoved().UBound(), 0);
    win::TreeNode zedInDocs = Prog(docs, kZed);
    std::vector<std::wstring> entry = vb::Split(Line(L".txt", kZed, L"-A"), L"|");
    entry[5] = L"c:\\zed\\ZED.EXE";
    StaleEntries().Add(entry);
    vb::List<win::TreeNode> nodes = ops->GetNodesToBeRemoved();
    ASSERT_EQ(nodes.UBound(), 2);
    EXPECT_EQ(nodes[0], nullptr);
    EXPECT_EQ(nodes[1], zed);
    EXPECT_EQ(nodes[2], zedInDocs);
}

// ---- categories and branches ----

TEST_F(TreeOperationsTest, AddCategoryByNameSelectsAnExistingOneOrAddsIt) {
    std::wstring name = L"graphics";
    EXPECT_FALSE(ops->mnuAddCategory(name));
    EXPECT_EQ(tree->Selected(), graphics);
    EXPECT_EQ(ops->CurrentTreeNode(), graphics);

    name = L"Music";
    EXPECT_TRUE(ops->mnuAddCategory(name));
    win::TreeNode music = tree->Selected();
    EXPECT_EQ(tree->Text(music), L"Music");
    EXPECT_EQ(tree->Key(music), L"Music");
    EXPECT_EQ(tree->Image(music), ciCategory);
    EXPECT_EQ(tree->ForeColor(music), 0);
    EXPECT_EQ(ops->CurrentTreeNode(), music);

    name.clear();
    EXPECT_TRUE(ops->mnuAddCategory(name));
    EXPECT_EQ(name, L"New Category");
    EXPECT_EQ(tree->Text(tree->Selected()), L"New Category");
    EXPECT_EQ(window.saves, 0);
}

TEST_F(TreeOperationsTest, ExpandCollapseBranchReachesEveryNodeBelow) {
    ops->ExpandCollapseBranch(true, graphics);
    for (win::TreeNode n : {graphics, viewers, tree->Child(viewers), editors}) EXPECT_TRUE(tree->Expanded(n));
    ops->SetCurrentTreeNode(viewers);
    ops->ExpandCollapseBranch(false);
    EXPECT_FALSE(tree->Expanded(viewers));
    EXPECT_FALSE(tree->Expanded(tree->Child(viewers)));
    EXPECT_TRUE(tree->Expanded(graphics));
}

TEST_F(TreeOperationsTest, RefreshRescansReloadsAndDropsVanishedPrograms) {
    ops->mnuRefresh();
    EXPECT_EQ(window.calls, (Lines{L"RescanPrograms", L"GetPrograms", L"DisplayPrograms True"}));
    window.calls.clear();
    window.programsFound = false;
    ops->mnuRefresh();
    EXPECT_EQ(window.calls, (Lines{L"RescanPrograms", L"GetPrograms", L"DisplayPrograms True"}));
}

}  // namespace
