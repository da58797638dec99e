// The text, path, tag and clock-difference procedures of the common library.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "FakePresenter.h"
#include "basErrorHandler.h"
#include "basShared.h"
#include "basStrings.h"
#include "basWinAPI_DateTime.h"
#include "vb/VbError.h"

namespace {

// A window or control with a tag text and, optionally, the one that holds it.
class FakeTagHolder : public TagHolder {
public:
    explicit FakeTagHolder(std::wstring tag = {}, FakeTagHolder* container = nullptr)
        : tag_(std::move(tag)), container_(container) {}
    std::wstring Tag() const override { return tag_; }
    void SetTag(const std::wstring& tag) override { tag_ = tag; }
    TagHolder* TagContainer() const override { return container_; }

private:
    std::wstring tag_;
    FakeTagHolder* container_;
};

// Sets an environment variable for the life of a test.
class ScopedEnv {
public:
    ScopedEnv(const wchar_t* name, const wchar_t* value) : name_(name) { SetEnvironmentVariableW(name, value); }
    ~ScopedEnv() { SetEnvironmentVariableW(name_.c_str(), nullptr); }

private:
    std::wstring name_;
};

}  // namespace

TEST(StringsPaths, JoinPathsPutsOneBackslashAtEachSeam) {
    struct Case {
        std::wstring first, second;
        std::vector<std::wstring> further;
        std::wstring expected;
    } cases[] = {
        {L"C:\\a\\", L"\\b", {}, L"C:\\a\\b"},
        {L"C:\\a", L"b", {}, L"C:\\a\\b"},
        {L"C:\\a\\", L"b", {}, L"C:\\a\\b"},
        {L"C:\\a", L"\\b", {}, L"C:\\a\\b"},
        {L"", L"b", {}, L"b"},
        {L"C:\\a", L"", {}, L"C:\\a"},
        {L"", L"", {}, L""},
        {L"a", L"b", {L"x", L"y\\"}, L"a\\b\\x\\y\\"},
        {L"a", L"", {L"\\x"}, L"a\\x"},
        // Only one backslash goes at a seam; a forward slash is an ordinary character.
        {L"a\\\\", L"\\b", {}, L"a\\\\b"},
        {L"a/", L"b", {}, L"a/\\b"},
    };
    for (const Case& c : cases) {
        std::vector<std::wstring_view> views(c.further.begin(), c.further.end());
        std::wstring got;
        switch (views.size()) {
        case 0: got = JoinPaths(c.first, c.second); break;
        case 1: got = JoinPaths(c.first, c.second, {views[0]}); break;
        default: got = JoinPaths(c.first, c.second, {views[0], views[1]}); break;
        }
        EXPECT_EQ(got, c.expected) << c.first << L" + " << c.second;
    }
}

TEST(StringsPaths, FileNameAndFolderSplitAtTheLastBackslash) {
    struct Case {
        std::wstring path, name, folder;
    } cases[] = {
        {L"C:\\dir\\file.txt", L"file.txt", L"C:\\dir\\"},
        {L"file.txt", L"file.txt", L""},
        {L"C:\\dir\\", L"", L"C:\\dir\\"},
        {L"\\\\server\\share\\x", L"x", L"\\\\server\\share\\"},
        {L"C:name.txt", L"C:name.txt", L""},  // a drive without a backslash stays part of the name
        {L"", L"", L""},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(GetFileName(c.path), c.name) << c.path;
        EXPECT_EQ(GetFolder(c.path), c.folder) << c.path;
        EXPECT_EQ(GetFolder(c.path) + GetFileName(c.path), c.path);
    }
}

TEST(StringsPaths, StripSuffixIgnoresCase) {
    struct Case {
        std::wstring text, suffix, expected;
    } cases[] = {
        {L"REPORT.DAT", L".dat", L"REPORT"},
        {L"report.dat", L".DAT", L"report"},
        {L"report.dat", L".txt", L"report.dat"},
        {L".dat", L".dat", L""},
        {L"dat", L".dat", L"dat"},
        {L"report", L"", L"report"},
    };
    for (const Case& c : cases) EXPECT_EQ(StripSuffix(c.text, c.suffix), c.expected) << c.text;
}

TEST(StringsEnvironment, ExpandEnvVarsExpandsTheProgramPartOnly) {
    ScopedEnv dir(L"LUMOXTESTDIR", L"C:\\Tools");
    ScopedEnv spaced(L"LUMOXTESTSPACED", L"C:\\Program Files");
    ScopedEnv empty(L"LUMOXTESTEMPTY", L"");
    SetEnvironmentVariableW(L"LUMOXTESTUNDEFINED", nullptr);
    struct Case {
        std::wstring in, expected;
    } cases[] = {
        {L"", L""},
        {L"%LUMOXTESTDIR%\\prog.exe %1", L"C:\\Tools\\prog.exe %1"},
        {L"%lumoxtestdir%\\prog.exe", L"C:\\Tools\\prog.exe"},
        // A reference after the first blank is a parameter and stays ...
        {L"prog.exe %LUMOXTESTDIR%", L"prog.exe %LUMOXTESTDIR%"},
        // ... unless the program part names the same variable: then it goes everywhere.
        {L"%LUMOXTESTDIR%\\p.exe -d %LumoxTestDir%", L"C:\\Tools\\p.exe -d C:\\Tools"},
        {L"%1", L"%1"},
        {L"%1\\%LUMOXTESTDIR%", L"%1\\%LUMOXTESTDIR%"},
        {L"%LUMOXTESTUNDEFINED%\\p.exe", L"%LUMOXTESTUNDEFINED%\\p.exe"},
        {L"%LUMOXTESTEMPTY%\\p.exe", L"%LUMOXTESTEMPTY%\\p.exe"},
        {L"%LUMOXTESTUNDEFINED%%LUMOXTESTDIR%\\p.exe", L"%LUMOXTESTUNDEFINED%C:\\Tools\\p.exe"},
        // The blank inside an inserted value does not end the program part.
        {L"%LUMOXTESTSPACED%\\%LUMOXTESTDIR%\\p.exe", L"C:\\Program Files\\C:\\Tools\\p.exe"},
        {L"100% sure", L"100% sure"},
    };
    for (const Case& c : cases) EXPECT_EQ(ExpandEnvVars(c.in), c.expected) << c.in;
}

TEST(StringsSearch, FindInDelimitedListAnswersTheFirstElementInListOrder) {
    struct Case {
        std::wstring list, text;
        int compareMode;
        size_t start;
        std::wstring delimiter;
        int splitMode;
        size_t expected;
    } cases[] = {
        {L"exe,com,bat", L"run.BAT", vb::TextCompare, 1, L",", vb::BinaryCompare, 5},
        {L"exe,com,bat", L"run.BAT", vb::BinaryCompare, 1, L",", vb::BinaryCompare, 0},
        {L"b,a", L"abc", vb::TextCompare, 1, L",", vb::BinaryCompare, 2},  // list order, not text order
        {L"a,,b", L"xb", vb::TextCompare, 1, L",", vb::BinaryCompare, 2},  // empty elements name nothing
        {L",", L"abc", vb::TextCompare, 1, L",", vb::BinaryCompare, 0},
        {L"", L"abc", vb::TextCompare, 1, L",", vb::BinaryCompare, 0},
        {L"a", L"aXa", vb::TextCompare, 2, L",", vb::BinaryCompare, 3},
        {L"a", L"aXb", vb::TextCompare, 2, L",", vb::BinaryCompare, 0},
        {L"x||yz", L"wxyz", vb::TextCompare, 1, L"||", vb::BinaryCompare, 2},
        {L"qXyz", L"yz", vb::TextCompare, 1, L"x", vb::TextCompare, 1},
        {L"qXyz", L"yz", vb::TextCompare, 1, L"x", vb::BinaryCompare, 0},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FindInDelimitedList(c.list, c.text, c.compareMode, c.start, c.delimiter, c.splitMode), c.expected)
            << c.list << L" in " << c.text;
}

TEST(StringsSearch, StrIsInArrayMatchModes) {
    const std::vector<std::wstring> items = {L"Alpha", L"beta", L"Gamma.exe"};
    constexpr long kUntouched = 99;
    struct Case {
        std::wstring text;
        int matchMode;
        int compareMode;
        std::optional<long> from, to;
        bool found;
        long position;
    } cases[] = {
        {L"ALPHA", 0, vb::TextCompare, {}, {}, true, 1},
        {L"ALPHA", 0, vb::BinaryCompare, {}, {}, false, kUntouched},
        {L"Alpha", 0, vb::BinaryCompare, 1, {}, false, kUntouched},
        {L"Gamma.exe", 0, vb::TextCompare, {}, 1, false, kUntouched},
        {L"BE", 1, vb::TextCompare, {}, {}, true, 1},
        {L"betas", 1, vb::TextCompare, {}, {}, false, kUntouched},
        {L"xxBETAxx", 2, vb::TextCompare, {}, {}, true, 3},
        {L"xxBETAxx", 2, vb::BinaryCompare, {}, {}, false, 0},
        {L"no match", 2, vb::TextCompare, {}, {}, false, 0},
        {L".EXE", 3, vb::TextCompare, {}, {}, true, 6},
        {L"ha", 3, vb::TextCompare, {}, {}, true, 4},
        {L"xGamma.exe", 3, vb::TextCompare, {}, {}, false, kUntouched},
        {L"Alpha", 7, vb::TextCompare, {}, {}, false, kUntouched},
    };
    for (const Case& c : cases) {
        long position = kUntouched;
        EXPECT_EQ(StrIsInArray(items, c.text, position, c.from, c.to, c.compareMode, c.matchMode), c.found)
            << c.text << L" mode " << c.matchMode;
        EXPECT_EQ(position, c.position) << c.text << L" mode " << c.matchMode;
    }
}

TEST(StringsSearch, StrIsInArrayReportsAnIndexOutsideTheArray) {
    const std::vector<std::wstring> items = {L"Alpha", L"beta"};
    FakePresenter presenter;
    short level = StackLevel();
    long position = 0;

    EXPECT_FALSE(StrIsInArray(items, L"zzz", position, 0, 5));
    ASSERT_EQ(presenter.shown.size(), 1u);
    EXPECT_NE(presenter.shown[0].prompt.find(L"StrIsInArray"), std::wstring::npos);
    EXPECT_NE(presenter.shown[0].prompt.find(vb::RuntimeErrorText(vb::ErrSubscript)), std::wstring::npos);
    EXPECT_EQ(StackLevel(), level);
    EXPECT_FALSE(vb::Err().IsCurrent());

    // The bad index is only reached when nothing before it matched.
    EXPECT_TRUE(StrIsInArray(items, L"beta", position, 0, 5));
    EXPECT_FALSE(StrIsInArray(items, L"beta", position, -1, 1));
    EXPECT_EQ(presenter.shown.size(), 2u);
}

TEST(StringsSearch, MatchesPatternList) {
    struct Case {
        std::wstring text, patterns;
        bool expected;
    } cases[] = {
        {L"setup.exe", L"*.tmp||SETUP*", true},
        {L"setup.exe", L"", false},
        {L"a.txt", L"*.tmp||*.log", false},
        {L"file7.log", L"file#.log", true},
        {L"fileX.log", L"file#.log", false},
        {L"b", L"x||[!a]", true},
        {L"a", L"x||[!a]", false},
        {L"m", L"[a-z]", true},
        {L"a|b", L"a|b", true},  // a single bar is an ordinary character
        {L"", L"abc||", true},   // an empty pattern matches the empty text
    };
    for (const Case& c : cases) EXPECT_EQ(MatchesPatternList(c.text, c.patterns), c.expected) << c.text;
}

TEST(StringsEditing, StripChrs) {
    struct Case {
        std::wstring text, remove;
        bool control, high;
        std::wstring expected;
    } cases[] = {
        {L"Hello World", L"lo", false, false, L"He Wrd"},
        {L"HeLLo", L"l", false, false, L"Heo"},  // letters go in either case
        {L"a\tb\r\nc", L"", true, false, L"abc"},
        {L"caf\u00e9\x7f!", L"", false, true, L"caf!"},
        {L"\x01x\u00ff y", L"y", true, true, L"x "},
        {L"unchanged\t\u00e9", L"", false, false, L"unchanged\t\u00e9"},
        {L"", L"abc", true, true, L""},
        {L"aaa", L"a", false, false, L""},
    };
    for (const Case& c : cases) EXPECT_EQ(StripChrs(c.text, c.remove, c.control, c.high), c.expected) << c.text;
}

TEST(StringsEditing, StrReplaceAndReplaceSubstring) {
    // StrReplace resumes after each replacement; ReplaceSubstring at the hit, so what a
    // replacement forms with the following text is replaced as well.
    struct Case {
        std::wstring text, find, replacement;
        int compareMode;
        std::wstring strReplace, replaceSubstring;
    } cases[] = {
        {L"a    b", L"  ", L" ", vb::BinaryCompare, L"a  b", L"a b"},
        {L"abbb", L"ab", L"a", vb::BinaryCompare, L"abb", L"a"},
        {L"aXbxc", L"x", L"-", vb::TextCompare, L"a-b-c", L"a-b-c"},
        {L"aXbxc", L"x", L"-", vb::BinaryCompare, L"aXb-c", L"aXb-c"},
        {L"abab", L"ab", L"", vb::BinaryCompare, L"", L""},
        {L"", L"a", L"b", vb::BinaryCompare, L"", L""},
        {L"abc", L"zz", L"y", vb::BinaryCompare, L"abc", L"abc"},
        {L"abc", L"", L"z", vb::BinaryCompare, L"", L"abc"},
        // A replacement holding the search text is replaced in one pass instead of forever.
        {L"aXa", L"a", L"aa", vb::BinaryCompare, L"aaXaa", L"aaXaa"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(StrReplace(c.text, c.find, c.replacement, c.compareMode), c.strReplace) << c.text;
        EXPECT_EQ(ReplaceSubstring(c.text, c.find, c.replacement, c.compareMode), c.replaceSubstring) << c.text;
    }
}

TEST(StringsEditing, StrWrap) {
    struct Case {
        std::wstring text;
        size_t width;
        std::wstring expected;
    } cases[] = {
        {L"", 50, L""},
        {L"abcdefghij", 5, L"abcdefghij "},
        {L"aa bb cc", 5, L"aa bb \r\ncc "},
        {L"aa bb cc", 8, L"aa bb cc "},
        {L"a  b", 50, L"a  b "},  // extra blanks survive as empty words
        {L"x abcdefghij y", 5, L"x \r\nabcdefghij \r\ny "},
        // After a word with its own line break the line counts from that break.
        {L"one\r\ntwo three", 10, L"one\r\ntwo \r\nthree "},
        {L"one\r\ntwo six", 10, L"one\r\ntwo six "},
    };
    for (const Case& c : cases) EXPECT_EQ(StrWrap(c.text, c.width), c.expected) << c.text;
}

TEST(StringsEditing, SortReturnsAnAscendingIndex) {
    struct Case {
        std::vector<std::wstring> items;
        int compareMode;
        long lowerBound;
        std::vector<long> expected;
    } cases[] = {
        {{L"b", L"A", L"a"}, vb::TextCompare, 0, {1, 2, 0}},
        {{L"a", L"B", L"A", L"b"}, vb::BinaryCompare, 0, {2, 1, 0, 3}},
        {{L"a", L"B", L"A", L"b"}, vb::TextCompare, 0, {0, 2, 1, 3}},  // equal ones keep their places
        {{L"10", L"9", L"1"}, vb::TextCompare, 0, {2, 0, 1}},
        {{L"z", L"c", L"b", L"a"}, vb::TextCompare, 1, {0, 3, 2, 1}},
        {{L"z", L"c"}, vb::TextCompare, 5, {0, 1}},
        {{L"only"}, vb::TextCompare, 0, {0}},
        {{}, vb::TextCompare, 0, {}},
    };
    for (const Case& c : cases) EXPECT_EQ(Sort(c.items, c.compareMode, c.lowerBound), c.expected);
}

TEST(StringsEditing, SortOrdersALargerArrayAndLeavesItAlone) {
    std::vector<std::wstring> items;
    unsigned seed = 12345;
    for (int i = 0; i < 200; ++i) {
        std::wstring s;
        for (int k = 0; k < 1 + i % 4; ++k) {
            seed = seed * 1103515245u + 12345u;
            wchar_t c = static_cast<wchar_t>(L'a' + (seed >> 16) % 6);
            s += (seed >> 8) % 2 ? c : static_cast<wchar_t>(c - L'a' + L'A');
        }
        items.push_back(s);
    }
    const std::vector<std::wstring> before = items;
    for (int mode : {vb::BinaryCompare, vb::TextCompare}) {
        std::vector<long> index = Sort(items, mode);
        EXPECT_EQ(items, before);
        std::vector<long> sorted = index;
        std::sort(sorted.begin(), sorted.end());
        for (long i = 0; i < static_cast<long>(sorted.size()); ++i) ASSERT_EQ(sorted[i], i);
        for (size_t i = 1; i < index.size(); ++i)
            ASSERT_LE(vb::StrComp(items[index[i - 1]], items[index[i]], mode), 0) << L"mode " << mode << L" at " << i;
    }
}

TEST(StringsTags, GetTagProperty) {
    FakeTagHolder control(L"FixedSize:='True' ResizeAnchor1:='Bottom' Empty:='' Open:='to the end");
    struct Case {
        std::wstring key;
        std::optional<std::wstring> defaultValue;
        std::wstring expected;
    } cases[] = {
        {L"ResizeAnchor1", {}, L"Bottom"},
        {L"Anchor1", {}, L"Bottom"},  // a key is found as part of a longer one
        {L"fixedsize", {}, L"True"},
        {L"Empty", L"default", L""},
        {L"Open", {}, L"to the end"},
        {L"Missing", {}, L""},
        {L"Missing", L"default", L"default"},
    };
    for (const Case& c : cases) {
        bool inherited = false;
        EXPECT_EQ(GetTagProperty(control, c.key, &inherited, c.defaultValue), c.expected) << c.key;
        EXPECT_FALSE(inherited) << c.key;
    }
}

TEST(StringsTags, GetTagPropertyInheritsFromContainers) {
    FakeTagHolder window(L"Disable:='Yes' Mode:='Window'");
    FakeTagHolder frame(L"Mode:='' Other:='1'", &window);
    FakeTagHolder control(L"Own:='x'", &frame);
    struct Case {
        std::wstring key;
        bool searchContainers;
        std::optional<std::wstring> defaultValue;
        std::wstring expected;
        bool inherited;
    } cases[] = {
        {L"Disable", true, {}, L"Yes", true},       // two levels out
        {L"Other", true, {}, L"1", true},
        {L"Disable", false, L"No", L"No", false},
        {L"Own", true, {}, L"x", false},
        {L"Mode", true, L"dflt", L"dflt", false},   // the frame's empty value hides the window's
        {L"Missing", true, L"dflt", L"dflt", false},
    };
    for (const Case& c : cases) {
        bool inherited = false;
        EXPECT_EQ(GetTagProperty(control, c.key, &inherited, c.defaultValue, c.searchContainers), c.expected)
            << c.key;
        EXPECT_EQ(inherited, c.inherited) << c.key;
    }
    // A found value leaves the flag as the caller had it.
    bool inherited = true;
    EXPECT_EQ(GetTagProperty(control, L"Own", &inherited, std::nullopt, true), L"x");
    EXPECT_TRUE(inherited);
}

TEST(StringsTags, SetTagPropertyChangesOnlyWhatDiffers) {
    FakeTagHolder control;
    struct Step {
        std::wstring key, value;
        bool changed;
        std::wstring tag;
    } steps[] = {
        {L"A", L"x", true, L"A:='x'"},
        {L"A", L"X", false, L"A:='x'"},
        {L"A", L"y", true, L"A:='y'"},
        {L"B", L"z", true, L"A:='y' B:='z'"},
        {L"a", L"longer", true, L"A:='longer' B:='z'"},
        {L"A", L"", true, L"A:='' B:='z'"},
        {L"B", L"", true, L"A:='' B:=''"},
    };
    for (const Step& s : steps) {
        EXPECT_EQ(SetTagProperty(control, s.key, s.value), s.changed) << s.key << L"=" << s.value;
        EXPECT_EQ(control.Tag(), s.tag);
    }
    FakeTagHolder open(L"C:='v");
    EXPECT_TRUE(SetTagProperty(open, L"C", L"w"));
    EXPECT_EQ(open.Tag(), L"C:='w'");
    EXPECT_EQ(GetTagProperty(open, L"C"), L"w");
}

TEST(StringsSystemTimeDiff, SubtractsWithBorrowing) {
    auto at = [](WORD y, WORD mo, WORD d, WORD h, WORD mi, WORD s, WORD ms) {
        SYSTEMTIME t{};
        t.wYear = y;
        t.wMonth = mo;
        t.wDay = d;
        t.wHour = h;
        t.wMinute = mi;
        t.wSecond = s;
        t.wMilliseconds = ms;
        t.wDayOfWeek = 3;
        return t;
    };
    struct Case {
        SYSTEMTIME earlier, later;
        short days;
        WORD hours, minutes, seconds, ms;
    } cases[] = {
        {at(2024, 1, 1, 23, 59, 59, 900), at(2024, 1, 2, 0, 0, 0, 100), 0, 0, 0, 0, 200},
        {at(2024, 1, 1, 10, 0, 0, 0), at(2024, 1, 1, 10, 0, 0, 0), 0, 0, 0, 0, 0},
        {at(2024, 2, 28, 12, 0, 0, 0), at(2024, 3, 1, 11, 0, 0, 0), 1, 23, 0, 0, 0},  // leap year
        {at(2023, 2, 28, 12, 0, 0, 0), at(2023, 3, 1, 11, 0, 0, 0), 0, 23, 0, 0, 0},
        {at(2023, 12, 31, 8, 30, 0, 0), at(2024, 1, 1, 9, 45, 10, 5), 1, 1, 15, 10, 5},
        {at(2000, 1, 1, 0, 0, 0, 0), at(2024, 1, 1, 0, 0, 0, 0), 8766, 0, 0, 0, 0},
        {at(2024, 1, 2, 10, 0, 0, 0), at(2024, 1, 1, 10, 0, 0, 0), -1, 0, 0, 0, 0},
        {at(2024, 1, 1, 10, 0, 0, 0), at(2024, 1, 1, 9, 0, 0, 0), -1, 23, 0, 0, 0},
    };
    for (const Case& c : cases) {
        SYSTEMTIME r = SystemTimeDiff(c.earlier, c.later);
        EXPECT_EQ(static_cast<short>(r.wDay), c.days);
        EXPECT_EQ(r.wHour, c.hours);
        EXPECT_EQ(r.wMinute, c.minutes);
        EXPECT_EQ(r.wSecond, c.seconds);
        EXPECT_EQ(r.wMilliseconds, c.ms);
        EXPECT_EQ(r.wYear, 0);
        EXPECT_EQ(r.wMonth, 0);
        EXPECT_EQ(r.wDayOfWeek, 0);
    }
}
