#include <gtest/gtest.h>

#include "TreeTestSupport.h"
#include "UserJournal.h"

namespace {

using treetest::LinesOf;
using treetest::ListOf;
using treetest::ShownNumbers;

using Lines = std::vector<std::wstring>;

const JournalEntry kPix = {L"Quillon - Pix", L"1.2", L"OK", L"C:\\Pix\\pix.exe", L"C:\\PIX\\pix.exe"};
const JournalEntry kZed = {L"Acme - Zed", L"2.0", L"OK", L"C:\\Zed\\zed.exe", L"C:\\ZED\\zed.exe"};

const wchar_t kPixA[] = L".txt|Quillon - Pix|1.2|OK-A|C:\\Pix\\pix.exe|C:\\PIX\\pix.exe";
const wchar_t kPixD[] = L".txt|Quillon - Pix|1.2|OK-D|C:\\Pix\\pix.exe|C:\\PIX\\pix.exe";
const wchar_t kPixR[] = L".txt|Quillon - Pix|1.2|OK-R|C:\\Pix\\pix.exe|C:\\PIX\\pix.exe";
const wchar_t kZedD[] = L".txt|Acme - Zed|2.0|OK-D|C:\\Zed\\zed.exe|C:\\ZED\\zed.exe";
// The same entry as kPixA as far as matching goes: only the description and short path differ.
const wchar_t kPixAOtherNames[] = L".TXT|Pix Renamed|1.2|ok-a|c:\\pix\\PIX.EXE|C:\\ELSE\\pix.exe";

enum class Op { Add, AddLoud, Default, Remove };

struct JournalCase {
    const char* name;
    Lines add, def, remove;  // before
    Op op;
    std::wstring extension;
    JournalEntry entry;
    Lines addAfter, defAfter, removeAfter;
    long message;  // 0: none
};

const JournalCase kCases[] = {
    {"add to empty lists", {}, {}, {}, Op::Add, L".txt", kPix, {kPixA}, {}, {}, 0},
    {"add again quietly", {kPixA}, {}, {}, Op::Add, L".txt", kPix, {kPixA}, {}, {}, 0},
    {"add again aloud", {kPixA}, {}, {}, Op::AddLoud, L".txt", kPix, {kPixA}, {}, {}, 4504},
    {"add undoes a removal and writes nothing", {}, {}, {kPixR}, Op::Add, L".txt", kPix, {}, {}, {}, 0},
    {"add turns a default into an add", {}, {kPixD}, {}, Op::Add, L".txt", kPix, {kPixA}, {}, {}, 0},
    {"default with another default there", {}, {kZedD}, {}, Op::Default, L".txt", kPix, {}, {kZedD}, {}, 4507},
    {"default of the same program again", {}, {kPixD}, {}, Op::Default, L".txt", kPix, {}, {kPixD}, {}, 4507},
    {"default replaces a removal", {}, {}, {kPixR}, Op::Default, L".txt", kPix, {}, {kPixD}, {}, 0},
    {"default replaces an add", {kPixA}, {}, {}, Op::Default, L".txt", kPix, {}, {kPixD}, {}, 0},
    {"remove drops an add", {kPixA}, {}, {}, Op::Remove, L".txt", kPix, {}, {}, {}, 0},
    {"remove drops a default", {}, {kPixD}, {}, Op::Remove, L".txt", kPix, {}, {}, {}, 0},
    {"remove of a removed program", {}, {}, {kPixR}, Op::Remove, L".txt", kPix, {}, {}, {kPixR}, 4505},
    {"remove without a line records nothing", {}, {}, {}, Op::Remove, L".txt", kPix, {}, {}, {}, 0},
    {"description, short path and case take no part", {kPixAOtherNames}, {}, {}, Op::Remove, L".txt", kPix, {}, {},
     {}, 0},
    {"extension in another case", {kPixA}, {}, {}, Op::Remove, L".TXT", kPix, {}, {}, {}, 0},
    {"another extension is another entry", {kPixA}, {}, {}, Op::Remove, L".text", kPix, {kPixA}, {}, {}, 0},
    {"another version is another entry", {kPixA}, {}, {}, Op::Add, L".txt",
     {L"Quillon - Pix", L"1.3", L"OK", L"C:\\Pix\\pix.exe", L"C:\\PIX\\pix.exe"},
     {kPixA, L".txt|Quillon - Pix|1.3|OK-A|C:\\Pix\\pix.exe|C:\\PIX\\pix.exe"}, {}, {}, 0},
    {"a longer status counts by its first two characters", {}, {}, {}, Op::Add, L".txt",
     {L"Quillon - Pix", L"1.2", L"OKAY", L"C:\\Pix\\pix.exe", L"C:\\PIX\\pix.exe"}, {kPixA}, {}, {}, 0},
    {"invalid status refused by add", {}, {kPixD}, {}, Op::Add, L".txt",
     {L"Quillon - Pix", L"1.2", L"XX", L"C:\\Pix\\pix.exe", L"C:\\PIX\\pix.exe"}, {}, {kPixD}, {}, 4501},
    {"invalid status refused by default", {}, {}, {}, Op::Default, L".txt",
     {L"Quillon - Pix", L"1.2", L"XX", L"C:\\Pix\\pix.exe", L"C:\\PIX\\pix.exe"}, {}, {}, {}, 4501},
    {"invalid status refused by remove", {kPixA}, {}, {}, Op::Remove, L".txt",
     {L"Quillon - Pix", L"1.2", L"", L"C:\\Pix\\pix.exe", L"C:\\PIX\\pix.exe"}, {kPixA}, {}, {}, 4501},
    {"sorted insert between the lines of two extensions",
     {L".doc|A - Alpha|1|OK-A|C:\\a.exe|C:\\a.exe", L".txt|A - Alpha|1|OK-A|C:\\a.exe|C:\\a.exe"}, {}, {}, Op::Add,
     L".doc", {L"B - Beta", L"1", L"OK", L"C:\\b.exe", L"C:\\b.exe"},
     {L".doc|A - Alpha|1|OK-A|C:\\a.exe|C:\\a.exe", L".doc|B - Beta|1|OK-A|C:\\b.exe|C:\\b.exe",
      L".txt|A - Alpha|1|OK-A|C:\\a.exe|C:\\a.exe"},
     {}, {}, 0},
    {"sorted insert ignores case", {L".DOC|c - Gamma|1|OK-A|C:\\c.exe|C:\\c.exe"}, {}, {}, Op::Add, L".doc",
     {L"B - Beta", L"1", L"OK", L"C:\\b.exe", L"C:\\b.exe"},
     {L".doc|B - Beta|1|OK-A|C:\\b.exe|C:\\b.exe", L".DOC|c - Gamma|1|OK-A|C:\\c.exe|C:\\c.exe"}, {}, {}, 0},
};

class UserJournalTest : public treetest::JournalFixture, public ::testing::WithParamInterface<JournalCase> {};

TEST_P(UserJournalTest, ListsAndMessage) {
    const JournalCase& c = GetParam();
    AddList() = ListOf(c.add);
    DefList() = ListOf(c.def);
    RemoveList() = ListOf(c.remove);
    switch (c.op) {
        case Op::Add: UserAddB(0, c.extension, c.entry, true); break;
        case Op::AddLoud: UserAddB(0, c.extension, c.entry, false); break;
        case Op::Default: UserDefaultB(0, c.extension, c.entry); break;
        case Op::Remove: UserRemoveB(0, c.extension, c.entry); break;
    }
    EXPECT_EQ(LinesOf(AddList()), c.addAfter);
    EXPECT_EQ(LinesOf(DefList()), c.defAfter);
    EXPECT_EQ(LinesOf(RemoveList()), c.removeAfter);
    std::vector<long> expected;
    if (c.message) expected.push_back(c.message);
    EXPECT_EQ(ShownNumbers(boxes), expected);
}

INSTANTIATE_TEST_SUITE_P(Table, UserJournalTest, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<JournalCase>& info) {
                             std::string name = info.param.name;
                             for (char& ch : name)
                                 if (!isalnum(static_cast<unsigned char>(ch))) ch = '_';
                             return name;
                         });

using JournalLookupTest = treetest::JournalFixture;

TEST_F(JournalLookupTest, ExtensionLinesRunAndAbsence) {
    vb::List<std::wstring> list = ListOf({L".bmp|x", L".TXT|a", L".txt|b", L".zip|c"});
    long last = -5, first = -5;
    FindExtensionLines(L".txt", list, last, first);
    EXPECT_EQ(first, 2);
    EXPECT_EQ(last, 3);
    FindExtensionLines(L".doc", list, last, first);
    EXPECT_EQ(first, 5);
    EXPECT_EQ(last, 0);
}

TEST_F(JournalLookupTest, FindUserChoiceReportsTheLastLineSeen) {
    vb::List<std::wstring> list = ListOf({kPixD, kZedD, L".zip|Acme - Zed|2.0|OK-D|C:\\Zed\\zed.exe|x"});
    JournalEntry entry = kZed;
    entry[2] = L"OK-D";
    long lastSeen = 0, index = 0;
    EXPECT_EQ(FindUserChoice(entry, list, L".txt", 1, lastSeen, index), 2);
    EXPECT_EQ(index, 2);
    entry[3] = L"C:\\elsewhere.exe";
    EXPECT_EQ(FindUserChoice(entry, list, L".txt", 1, lastSeen, index), -1);
    EXPECT_EQ(lastSeen, 2);
}

TEST_F(JournalLookupTest, NewLinesTakeTheExtensionRecordsName) {
    ExtKeys().resize(3);
    ExtKeys()[2].KeyName = L".TXT";
    UserAddB(2, L".txt", kPix, true);
    UserAddB(9, L".bmp", kPix, true);  // no such record: the text
    EXPECT_EQ(LinesOf(AddList()), (Lines{L".bmp|Quillon - Pix|1.2|OK-A|C:\\Pix\\pix.exe|C:\\PIX\\pix.exe",
                                         L".TXT|Quillon - Pix|1.2|OK-A|C:\\Pix\\pix.exe|C:\\PIX\\pix.exe"}));
}

TEST_F(JournalLookupTest, AppendUserChoiceIgnoresUnknownListNames) {
    AppendUserChoice(L"remove", L".txt", kPix);
    AppendUserChoice(L"Del", L".txt", kPix);
    EXPECT_EQ(LinesOf(RemoveList()), (Lines{L".txt|Quillon - Pix|1.2|OK|C:\\Pix\\pix.exe|C:\\PIX\\pix.exe"}));
    EXPECT_TRUE(AddList().IsEmpty());
    EXPECT_TRUE(DefList().IsEmpty());
}

}  // namespace
