// The find dialog's search over the rows of a list.
#include <gtest/gtest.h>

#include "UserInput.h"
#include "frmFind.h"
#include "vb/VbError.h"

namespace {

// Rows of text and sub-items; records the rows it was asked for.
class Rows : public FindableList {
public:
    std::wstring name = L"lvwPrograms";
    std::vector<std::vector<std::wstring>> rows;  // element 0 the row text
    int selected = -1;
    mutable std::vector<int> visited;

    std::wstring ListName() const override { return name; }
    int RowCount() const override { return static_cast<int>(rows.size()); }
    std::wstring RowText(int row) const override {
        visited.push_back(row + 1);
        return rows[row][0];
    }
    int SubItemCount() const override { return rows.empty() ? 0 : static_cast<int>(rows[0].size()) - 1; }
    std::wstring SubItemText(int row, int subItem) const override {
        if (visited.empty() || visited.back() != row + 1) visited.push_back(row + 1);
        return rows[row][subItem];
    }
    int SelectedRow() const override { return selected; }
};

Rows TenRows(const std::wstring& name = L"lvwExts") {
    Rows list;
    list.name = name;
    for (int i = 1; i <= 10; ++i) list.rows.push_back({L"row" + std::to_wstring(i), L"x"});
    return list;
}

class FindTest : public ::testing::Test {
protected:
    void SetUp() override {
        vb::Err().Clear();
        find = &frmFind::Default();
    }
    void TearDown() override {
        frmFind::Release();
        vb::Err().Clear();
    }
    // The criteria as the user leaves them with "Find".
    void Criteria(const std::wstring& text, bool up = false) {
        find->txt.SetText(text);
        (up ? find->optUp : find->optDown).SetChecked(true);
        // The Find button's handler, without the modal loop (the search is what these tests are about).
        find->cmdFind.Click();
    }
    frmFind* find = nullptr;
};

TEST_F(FindTest, RowsAreVisitedFromTheSelectionAround) {
    struct Case {
        const wchar_t* what;
        int selected;
        bool up;
        bool fromStart;
        std::vector<int> order;
    };
    const Case cases[] = {
        {L"down, none selected", -1, false, false, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
        {L"down from row 5", 4, false, false, {6, 7, 8, 9, 10, 1, 2, 3, 4, 5}},
        {L"up from row 1", 0, true, false, {10, 9, 8, 7, 6, 5, 4, 3, 2, 1}},
        {L"up, none selected", -1, true, false, {10, 9, 8, 7, 6, 5, 4, 3, 2, 1}},
        {L"down from row 10", 9, false, false, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
        {L"down from row 5, from the beginning", 4, false, true, {1, 2, 3, 4, 5, 6, 7, 8, 9, 10}},
    };
    for (const Case& c : cases) {
        Rows list = TenRows();
        list.selected = c.selected;
        find->chkFromStart.SetChecked(c.fromStart);
        Criteria(L"nowhere", c.up);
        EXPECT_FALSE(find->Search(&list, 1).has_value()) << c.what;
        EXPECT_EQ(list.visited, c.order) << c.what;
    }
    // "Up" re-captions the wrap box.
    EXPECT_EQ(find->chkFromStart.Text(), L"From the Beginning");
    find->optUp.SetChecked(true);
    find->optUp.Click();
    EXPECT_EQ(find->chkFromStart.Text(), L"From the End");
    find->optDown.SetChecked(true);
    find->optDown.Click();
    EXPECT_EQ(find->chkFromStart.Text(), L"From the Beginning");
}

TEST_F(FindTest, WordsAndOptions) {
    Rows list;
    list.rows = {
        {L"E", L"1.0", L"Acme - Writer", L"C:\\", L"writer.exe"},
        {L"OK", L"2.0", L"Zeta - Painter", L"C:\\", L"paint.exe"},
        {L"OK", L"3.0", L"Writer Acme - Suite", L"C:\\", L"suite.exe"},
        {L"OK", L"4.0", L"acme - lower", L"C:\\", L"low.exe"},
    };
    struct Case {
        const wchar_t* text;
        bool exactPhrase, exactCase, columnsOnly;
        int selected;
        std::optional<long> found;
    };
    const Case cases[] = {
        {L"Writer Acme", false, false, false, -1, 1},
        {L"Acme Writer", false, false, false, 0, 3},  // either order; the next from row 1
        {L"Acme Painter", false, false, false, -1, std::nullopt},  // only the first word
        {L"   ", false, false, false, -1, std::nullopt},
        {L"", true, false, false, -1, std::nullopt},
        {L"Painter", false, false, false, -1, 2},
        {L"E", false, false, true, -1, 1},  // "E" of "Writer", not the status code
        {L"OK", false, false, true, -1, std::nullopt},  // only in the row text
        {L"acme - l", false, true, false, -1, 4},
        {L"ACME - L", false, true, false, -1, std::nullopt},
        {L"ACME - L", false, false, false, -1, 4},
        {L"Writer Acme", true, false, false, -1, 3},
    };
    for (const Case& c : cases) {
        list.selected = c.selected;
        find->chkExactPhrase.SetChecked(c.exactPhrase);
        find->chkExactCase.SetChecked(c.exactCase);
        find->chkColumnsOnly.SetChecked(c.columnsOnly);
        Criteria(c.text);
        EXPECT_EQ(find->Search(&list, 1), c.found) << c.text;
    }
    // Double blanks are folded in the box.
    find->chkExactPhrase.SetChecked(false);
    Criteria(L"  Zeta    Painter ");
    EXPECT_EQ(find->Search(&list, 1), std::optional<long>(2));
    EXPECT_EQ(find->txt.Text(), L"Zeta Painter");
}

TEST_F(FindTest, NothingWithoutFindOrForAnotherList) {
    Rows list = TenRows();
    find->txt.SetText(L"row3");
    EXPECT_FALSE(find->Search(&list, 1).has_value()) << "Find was never pressed";
    find->cmdFind.Click();
    EXPECT_EQ(find->Search(&list, 1), std::optional<long>(3));
    EXPECT_EQ(find->Search(&list, -1), std::optional<long>(3));
    list.name = L"lvwOther";
    EXPECT_FALSE(find->Search(&list, 1).has_value());
    EXPECT_FALSE(find->Search(nullptr, 1).has_value());
    // Activation clears the request; Cancel leaves it cleared. The dialog comes in front as the
    // user brings it there, and the user clicks Cancel.
    list.name = L"lvwExts";
    find->Show();
    userinput::OntoTheScreen(find->Handle());
    EXPECT_TRUE(userinput::BringToFront(find->Handle())) << "Windows made the dialog the active window";
    EXPECT_TRUE(userinput::ClickButton(find->cmdCancel.Handle())) << "the click on Cancel reached the dialog";
    EXPECT_FALSE(find->Visible()) << "Cancel hides the dialog";
    EXPECT_FALSE(find->Search(&list, 1).has_value());
    EXPECT_TRUE(find->Loaded()) << "the dialog only hides";
}

TEST(InStrByDirection, FromEitherEnd) {
    EXPECT_EQ(InStrByDirection(L"abcabc", L"bc", 1, true), 2);
    EXPECT_EQ(InStrByDirection(L"abcabc", L"bc", -1, true), 5);
    EXPECT_EQ(InStrByDirection(L"abcABC", L"bc", -1, false), 5);
    EXPECT_EQ(InStrByDirection(L"abc", L"x", -1, false), 0);
    EXPECT_EQ(InStrByDirection(L"ab", L"abc", -1, false), 0);
}

}  // namespace
