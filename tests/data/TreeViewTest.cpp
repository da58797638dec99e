#include <windows.h>

#include <gtest/gtest.h>

#include "UiTestForms.h"
#include "basErrorHandler.h"
#include "vb/VbError.h"
#include "vb/VbScreen.h"
#include "win/TreeView.h"

namespace {

class TreeViewTest : public ::testing::Test {
protected:
    void SetUp() override {
        form = std::make_unique<TestForm>(L"frmTree", 320, 400);
        tree = &form->Put<win::TreeView>(nullptr, L"tvwChoices", -1, win::Rect{0, 0, 320, 400});
    }
    void TearDown() override {
        form.reset();
        vb::Err().Clear();
    }
    std::vector<std::wstring> ChildTexts(win::TreeNode parent) {
        std::vector<std::wstring> texts;
        for (win::TreeNode n = tree->Child(parent); n; n = tree->Next(n)) texts.push_back(tree->Text(n));
        return texts;
    }
    std::unique_ptr<TestForm> form;
    win::TreeView* tree = nullptr;
};

TEST_F(TreeViewTest, KeysAreUniqueWithoutRegardToCase) {
    win::TreeNode a = tree->Add(nullptr, L"Graphics", L"Graphics", 5);
    EXPECT_EQ(tree->ItemByKey(L"GRAPHICS"), a);
    try {
        tree->Add(nullptr, L"graphics", L"other", 5);
        FAIL() << "a second node under the same key";
    } catch (const vb::Error& e) {
        EXPECT_EQ(e.Number(), win::ErrKeyNotUnique);
    }
    EXPECT_EQ(tree->Count(), 1);
    // Unkeyed nodes never clash.
    tree->Add(a, L"", L"x", 7);
    tree->Add(a, L"", L"x", 7);
    EXPECT_EQ(tree->Count(), 3);
    EXPECT_EQ(tree->Key(a), L"Graphics");
    EXPECT_EQ(tree->Image(a), 5);
}

TEST_F(TreeViewTest, SortedParentKeepsChildrenInTextOrder) {
    win::TreeNode folder = tree->Add(nullptr, L"P", L"Programs", 6);
    tree->Add(folder, L"", L"beta", 7);
    tree->Add(folder, L"", L"Alpha", 7);
    EXPECT_EQ(ChildTexts(folder), (std::vector<std::wstring>{L"beta", L"Alpha"})) << "not sorted yet";
    tree->SetSorted(folder, true);
    EXPECT_EQ(ChildTexts(folder), (std::vector<std::wstring>{L"Alpha", L"beta"})) << "sorted at once";
    tree->Add(folder, L"", L"Gamma", 7);
    tree->Add(folder, L"", L"aardvark", 7);
    EXPECT_EQ(ChildTexts(folder), (std::vector<std::wstring>{L"aardvark", L"Alpha", L"beta", L"Gamma"}));
    EXPECT_TRUE(tree->Sorted(folder));
}

TEST_F(TreeViewTest, SiblingWalksIndexAndRemoval) {
    win::TreeNode c1 = tree->Add(nullptr, L"c1", L"One", 5);
    win::TreeNode c2 = tree->Add(nullptr, L"c2", L"Two", 5);
    win::TreeNode c3 = tree->Add(nullptr, L"c3", L"Three", 5);
    win::TreeNode s1 = tree->Add(c2, L"c2*a", L"a", 8);
    win::TreeNode s2 = tree->Add(c2, L"c2*b", L"b", 8);
    tree->Add(s2, L"c2*b*P", L"Programs", 6);

    EXPECT_EQ(tree->FirstNode(), c1);
    EXPECT_EQ(tree->FirstSibling(c3), c1);
    EXPECT_EQ(tree->LastSibling(c1), c3);
    EXPECT_EQ(tree->Next(c1), c2);
    EXPECT_EQ(tree->Previous(c2), c1);
    EXPECT_EQ(tree->Next(c3), nullptr);
    EXPECT_EQ(tree->Children(c2), 2);
    EXPECT_EQ(tree->Child(c2), s1);
    EXPECT_EQ(tree->FirstSibling(s2), s1);
    EXPECT_EQ(tree->LastSibling(s1), s2);
    EXPECT_EQ(tree->Parent(s1), c2);
    EXPECT_EQ(tree->Parent(c1), nullptr);
    EXPECT_EQ(tree->Index(c3), 3);
    EXPECT_EQ(tree->Item(4), s1);

    tree->Remove(c2);  // with its subtree
    EXPECT_EQ(tree->Count(), 2);
    EXPECT_EQ(tree->Index(c3), 2) << "indexes close up";
    EXPECT_EQ(tree->ItemByKey(L"c2*b*P"), nullptr) << "keys of removed nodes are free again";
    EXPECT_NO_THROW(tree->Add(nullptr, L"c2", L"Two again", 5));

    tree->Clear();
    EXPECT_EQ(tree->Count(), 0);
    EXPECT_EQ(tree->FirstNode(), nullptr);
}

TEST_F(TreeViewTest, TagsHoldFieldsOrNumbers) {
    win::TreeNode program = tree->Add(nullptr, L"", L"Quillon - Pix 1.0", 7);
    vb::Variant::Array fields{vb::Variant(L"Quillon - Pix"), vb::Variant(L"1.0"), vb::Variant(L"OK"),
                              vb::Variant(L"C:\\p.exe"), vb::Variant(L"C:\\p.exe")};
    tree->SetNodeTag(program, vb::Variant(fields));
    ASSERT_TRUE(tree->NodeTag(program).IsArray());
    EXPECT_EQ(tree->NodeTag(program).AsArray()[2].ToString(), L"OK");
    win::TreeNode ext = tree->Add(nullptr, L"", L".txt", 2);
    tree->SetNodeTag(ext, vb::Variant(12L));
    EXPECT_EQ(tree->NodeTag(ext).ToLong(), 12);
}

TEST_F(TreeViewTest, MarksGiveColourAndBold) {
    win::TreeNode fixedCategory = tree->Add(nullptr, L"a", L"a", 5);
    win::TreeNode both = tree->Add(nullptr, L"b", L"b", 5);
    win::TreeNode inactive = tree->Add(nullptr, L"c", L"c", 5);
    win::TreeNode program = tree->Add(inactive, L"", L"p", 7);
    tree->SetMarks(fixedCategory, win::tnNotRemovable);
    tree->SetMarks(both, win::tnNotRemovable | win::tnInactive);
    tree->SetMarks(inactive, win::tnInactive);
    tree->SetMarks(program, win::tnDefault);

    EXPECT_EQ(tree->ForeColor(fixedCategory), 0xFF0000);
    EXPECT_EQ(tree->ForeColor(both), 0xFF0000) << "not removable wins over inactive";
    EXPECT_EQ(tree->ForeColor(inactive), 0x80);
    EXPECT_EQ(tree->ForeColor(program), 0);
    EXPECT_TRUE(tree->Bold(program));
    EXPECT_FALSE(tree->Bold(inactive));
    UINT state = static_cast<UINT>(
        SendMessageW(tree->Handle(), TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(program), TVIS_BOLD));
    EXPECT_TRUE(state & TVIS_BOLD) << "the control draws it bold";
    tree->SetMarks(program, 0);
    state = static_cast<UINT>(
        SendMessageW(tree->Handle(), TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(program), TVIS_BOLD));
    EXPECT_FALSE(state & TVIS_BOLD);
}

// Counts the pixels of exactly this colour inside the rectangle of the window's client area.
int CountPixels(HWND hwnd, const RECT& r, COLORREF colour) {
    HDC dc = GetDC(hwnd);
    int n = 0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x)
            if (GetPixel(dc, x, y) == colour) ++n;
    ReleaseDC(hwnd, dc);
    return n;
}

TEST_F(TreeViewTest, NodesAreDrawnInTheirMarksColour) {
    win::TreeNode blue = tree->Add(nullptr, L"a", L"NOT REMOVABLE", 5);
    win::TreeNode plain = tree->Add(nullptr, L"b", L"PLAIN NODE", 5);
    win::TreeNode red = tree->Add(nullptr, L"c", L"INACTIVE", 5);
    tree->SetMarks(blue, win::tnNotRemovable);
    tree->SetMarks(red, win::tnInactive);
    tree->Select(nullptr);
    form->Show();
    UpdateWindow(form->Handle());
    RedrawWindow(tree->Handle(), nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE);
    vb::DoEvents();

    const COLORREF blueColour = RGB(0, 0, 255), redColour = RGB(128, 0, 0);
    EXPECT_GT(CountPixels(tree->Handle(), tree->TextRect(blue), blueColour), 0);
    EXPECT_EQ(CountPixels(tree->Handle(), tree->TextRect(blue), redColour), 0);
    EXPECT_GT(CountPixels(tree->Handle(), tree->TextRect(red), redColour), 0);
    EXPECT_EQ(CountPixels(tree->Handle(), tree->TextRect(plain), blueColour), 0);
    EXPECT_EQ(CountPixels(tree->Handle(), tree->TextRect(plain), redColour), 0);
}

TEST_F(TreeViewTest, EnsureVisibleOpensTheParents) {
    win::TreeNode category = tree->Add(nullptr, L"c", L"c", 5);
    win::TreeNode sub = tree->Add(category, L"c*s", L"s", 8);
    win::TreeNode folder = tree->Add(sub, L"c*s*E", L"Extensions", 1);
    win::TreeNode ext = tree->Add(folder, L"c*s*E*", L"*", 2);
    EXPECT_FALSE(tree->Expanded(category));
    tree->EnsureVisible(ext);
    EXPECT_TRUE(tree->Expanded(category));
    EXPECT_TRUE(tree->Expanded(sub));
    EXPECT_TRUE(tree->Expanded(folder));
}

TEST_F(TreeViewTest, RenamingUnderASortedParentResorts) {
    win::TreeNode folder = tree->Add(nullptr, L"E", L"Extensions", 1);
    tree->SetSorted(folder, true);
    win::TreeNode a = tree->Add(folder, L"", L".a", 2);
    tree->Add(folder, L"", L".m", 2);
    tree->SetText(a, L".z");
    EXPECT_EQ(ChildTexts(folder), (std::vector<std::wstring>{L".m", L".z"}));
}

}  // namespace
