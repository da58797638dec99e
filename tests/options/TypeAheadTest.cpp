// Typing in the two lists, as pure tables over the rows' texts, and the age shown beside
// "Refresh Exe's".
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "OptionsEditor.h"
#include "TypeAhead.h"

namespace {

struct TypeCase {
    const char* what;
    int selected;  // from 1, 0 none
    const wchar_t* typed;
    int expected;
};

const std::vector<std::wstring> kPrograms = {
    L"Acme - Anvil",        // 1
    L"Bolt Works - Bolt",   // 2
    L"Mapletree - Maps",    // 3
    L"Mapletree - Mapview", // 4
    L"Mosaic - Tiles",      // 5
    L"Pixel Co - Pix",      // 6
    L"Quillon - Quill",     // 7
    L"Zephyr - Breeze",     // 8
};

TEST(TypeAheadTest, ProgramListBisectsByTheDescriptionsFirstLetter) {
    const TypeCase cases[] = {
        {"m from nothing selected: the first row of the first m company", 0, L"m", 3},
        {"m again: the row of the second company", 3, L"m", 5},
        {"m from the second row of the first company: the next company", 4, L"m", 5},
        {"m from the last m company wraps to the first", 5, L"M", 3},
        {"a letter no row starts with stops at a neighbour", 3, L"n", 6},
        {"a letter before every row: the first row", 6, L"0", 1},
        {"the first row", 8, L"a", 1},
        {"the last row", 1, L"z", 8},
        {"backwards from the last row", 8, L"b", 2},
        {"capitals match small letters", 1, L"Q", 7},
    };
    for (const TypeCase& c : cases)
        EXPECT_EQ(ProgramTypeAheadRow(kPrograms, c.selected, c.typed), c.expected) << c.what;
}

TEST(TypeAheadTest, ProgramListEdgeCases) {
    EXPECT_EQ(ProgramTypeAheadRow({}, 0, L"a"), 0);
    EXPECT_EQ(ProgramTypeAheadRow({L"Only - One"}, 1, L"o"), 1);
    EXPECT_EQ(ProgramTypeAheadRow({L"Only - One"}, 0, L"x"), 1);
    // A description without "-" is one company.
    EXPECT_EQ(CompanyOfDescription(L"Missing info."), L"Missing info.");
    EXPECT_EQ(CompanyOfDescription(L"Acme   - Anvil"), L"Acme");
    EXPECT_EQ(ProgramTypeAheadRow({L"Missing info.", L"Missing info.", L"Mosaic - Tiles"}, 1, L"m"), 3);
}

TEST(TypeAheadTest, ExtensionListStepsThroughTheLetterAndWraps) {
    const std::vector<std::wstring> exts = {L".tar", L".tif", L".txt"};
    int row = 0;
    std::vector<int> seen;
    for (int i = 0; i < 4; ++i) seen.push_back(row = ExtensionTypeAheadRow(exts, row, L"t"));
    EXPECT_EQ(seen, (std::vector<int>{1, 2, 3, 1}));

    const std::vector<std::wstring> wider = {L"*", L".avi", L".bmp", L".doc", L".tar", L".tif", L".txt", L".zip"};
    const TypeCase cases[] = {
        {"t from nothing selected", 0, L"t", 5},
        {"t from .bmp", 3, L"t", 5},
        {"t from .txt wraps to .tar", 7, L"t", 5},
        {"b from .zip", 8, L"b", 3},
        {"a letter between: a neighbour", 2, L"c", 3},
        {"the letter is the one after the dot", 3, L"z", 8},
    };
    for (const TypeCase& c : cases) EXPECT_EQ(ExtensionTypeAheadRow(wider, c.selected, c.typed), c.expected) << c.what;
}

TEST(TypeAheadTest, RefreshExeCaptionCountsWholeDays) {
    const DATE today = 46000.75;  // a December evening
    struct {
        DATE listDate;
        const wchar_t* expected;
    } cases[] = {
        {46000.10, L"Refresh Exe's   [0 Days since updated]"},
        {45999.99, L"Refresh Exe's   [1 Days since updated]"},
        {today + 1, L"Refresh Exe's"},  // dated tomorrow: negative
        {today - 10000, L"Refresh Exe's"},
        {today - 9999, L"Refresh Exe's   [9999 Days since updated]"},
    };
    for (const auto& c : cases) EXPECT_EQ(RefreshExeCaptionFor(L"Refresh Exe's", c.listDate, today), c.expected);
}

}  // namespace
