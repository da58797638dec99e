#include <windows.h>

#include <gtest/gtest.h>

#include <optional>
#include <vector>

#include "vb/VbLike.h"
#include "vb/VbPumpFilter.h"
#include "vb/VbScreen.h"
#include "vb/VbList.h"
#include "vb/VbText.h"
#include "vb/VbVariant.h"

namespace {

TEST(VbLike, WildcardsCharacterListsAndCase) {
    struct {
        const wchar_t* text;
        const wchar_t* pattern;
        bool match;
    } cases[] = {
        {L"setup.exe", L"SETUP*", true},   {L"setup.exe", L"*.tmp", false},  {L"a1b", L"a#b", true},
        {L"axb", L"a#b", false},           {L"abc", L"a?c", true},           {L"ac", L"a?c", false},
        {L"b", L"[a-c]", true},            {L"B", L"[a-c]", true},           {L"d", L"[!a-c]", true},
        {L"b", L"[!a-c]", false},          {L"", L"*", true},                {L"", L"?", false},
        {L"abcabc", L"*b*c", true},        {L"x", L"[", false},              {L"file.TXT", L"*.txt", true},
        {L"a*b", L"a[*]b", true},          {L"aXb", L"a[*]b", false},
    };
    for (const auto& c : cases) EXPECT_EQ(vb::Like(c.text, c.pattern), c.match) << c.text << L" Like " << c.pattern;
}

TEST(VbText, SplitCompareAndSearch) {
    EXPECT_TRUE(vb::Split(L"", L"|").empty());
    EXPECT_EQ(vb::Split(L"a||b", L"|"), (std::vector<std::wstring>{L"a", L"", L"b"}));
    EXPECT_EQ(vb::Split(L"aXbxc", L"x", vb::TextCompare), (std::vector<std::wstring>{L"a", L"b", L"c"}));
    EXPECT_EQ(vb::StrComp(L"ABC", L"abc"), 0);
    EXPECT_EQ(vb::StrComp(L"ABC", L"abc", vb::BinaryCompare), -1);
    EXPECT_EQ(vb::StrComp(L"", L"a"), -1);
    EXPECT_EQ(vb::InStr(L"Hello World", L"WORLD", vb::TextCompare), 7u);
    EXPECT_EQ(vb::InStr(L"Hello World", L"WORLD", vb::BinaryCompare), 0u);
    EXPECT_EQ(vb::InStr(3, L"abab", L"ab"), 3u);
    EXPECT_EQ(vb::Trim(L"  a b  "), L"a b");
    EXPECT_EQ(vb::Hex(0xFA1), L"FA1");
    EXPECT_EQ(vb::Hex(static_cast<long>(0x80041770)), L"80041770");
    EXPECT_EQ(vb::FromAnsi(vb::ToAnsi(L"caf\u00e9")), L"caf\u00e9");
}

TEST(VbText, IsNumericAsTheRunTimeReadsNumbers) {
    for (const wchar_t* yes : {L"1", L" 12 ", L"-3.5", L"+.5", L"1e3", L"&H1F", L"&o17"})
        EXPECT_TRUE(vb::IsNumeric(yes)) << yes;
    for (const wchar_t* no : {L"", L" ", L"1a", L"e3", L"1e", L"&H", L"&O8", L"1.2.3", L"NAN"})
        EXPECT_FALSE(vb::IsNumeric(no)) << no;
}

TEST(VbList, ElementZeroStaysEmpty) {
    vb::List<std::wstring> list;
    EXPECT_EQ(list.UBound(), 0);
    EXPECT_TRUE(list.IsEmpty());
    list.Add(L"one");
    list.Add(L"two");
    EXPECT_EQ(list.UBound(), 2);
    EXPECT_EQ(list[1], L"one");
    EXPECT_EQ(list[0], L"");
    list.Insert(1, L"zero");
    EXPECT_EQ(list[1], L"zero");
    EXPECT_THROW(list[4], vb::Error);
    list.Clear();
    EXPECT_EQ(list.UBound(), 0);
}

TEST(VbVariant, ConversionsAsTheRunTimeMakesThem) {
    EXPECT_EQ(vb::Variant(L" 42 ").ToLong(), 42);
    EXPECT_EQ(vb::Variant(2.5).ToLong(), 2);
    EXPECT_EQ(vb::Variant(3.5).ToLong(), 4);
    EXPECT_EQ(vb::Variant(true).ToLong(), -1);
    EXPECT_EQ(vb::Variant().ToLong(), 0);
    EXPECT_EQ(vb::Variant(7L).ToString(), L"7");
    EXPECT_TRUE(vb::Variant(L"True").ToBool());
    try {
        vb::Variant(L"abc").ToLong();
        FAIL() << "a text that is no number is a type mismatch";
    } catch (const vb::Error& e) {
        EXPECT_EQ(e.Number(), vb::ErrTypeMismatch);
    }
    vb::Err().Clear();
}

// Each owner's filter stands from its scope's start to its end; a second owner's filter adds to
// the first instead of replacing it, the newest is asked first, and scopes may end in any order.
TEST(VbPumpFilter, EachOwnersFilterStandsUntilItsOwnScopeEnds) {
    constexpr UINT kFirst = WM_APP + 71, kSecond = WM_APP + 72;
    std::vector<int> seen;  // 1 and 2 for the filters, 0 for a message handed on
    const auto post = [](UINT message) { PostThreadMessageW(GetCurrentThreadId(), message, 0, 0); };
    const auto pump = [&] {
        vb::DoEvents();
        // What DoEvents handed on to dispatch is gone from the queue; a marker tells it was.
        seen.push_back(0);
    };
    const int already = vb::InstalledPumpFilters();
    std::optional<vb::PumpFilterScope> first(std::in_place, [&](MSG& msg) {
        if (msg.message != kFirst && msg.message != kSecond) return false;
        seen.push_back(1);
        return msg.message == kFirst;
    });
    std::optional<vb::PumpFilterScope> second(std::in_place, [&](MSG& msg) {
        if (msg.message != kSecond) return false;
        seen.push_back(2);
        return false;
    });
    EXPECT_EQ(vb::InstalledPumpFilters(), already + 2);
    post(kSecond);
    pump();
    EXPECT_EQ(seen, (std::vector<int>{2, 1, 0})) << "the newest is asked first, then the one before";
    seen.clear();
    first.reset();  // the older scope ends first
    EXPECT_EQ(vb::InstalledPumpFilters(), already + 1);
    post(kFirst);
    post(kSecond);
    pump();
    EXPECT_EQ(seen, (std::vector<int>{2, 0})) << "only the scope still standing is asked";
    seen.clear();
    second.reset();
    EXPECT_EQ(vb::InstalledPumpFilters(), already);
    post(kSecond);
    pump();
    EXPECT_EQ(seen, (std::vector<int>{0}));
}

}  // namespace
