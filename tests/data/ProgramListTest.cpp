#include <gtest/gtest.h>

#include <algorithm>

#include "basProgramList.h"
#include "vb/VbText.h"

namespace {

std::wstring Line(const std::wstring& description, const std::wstring& version, const std::wstring& status,
                  const std::wstring& path) {
    return description + L"|" + version + L"|" + status + L"|" + path + L"|" + L"C:\\SHORT~1.EXE";
}

// An override entry for a program-list line: extension, the five fields, the status suffixed.
std::vector<std::wstring> EntryFor(const std::wstring& line, const std::wstring& suffix = L"-A") {
    std::vector<std::wstring> f = vb::Split(line, L"|");
    return {L".txt", f[0], f[1], f[2] + suffix, f[3], f[4]};
}

// A sorted program list of n lines, as the scan writes it.
std::vector<std::wstring> SortedList(int n) {
    std::vector<std::wstring> lines;
    for (int i = 0; i < n; ++i) {
        wchar_t company[32];
        swprintf(company, 32, L"Company%04d", (i * 7919) % 10007);
        lines.push_back(Line(std::wstring(company) + L" - Tool", L"1.0." + std::to_wstring(i % 13), L"OK",
                             L"C:\\Programs\\" + std::wstring(company) + L"\\tool" + std::to_wstring(i) + L".exe"));
    }
    std::sort(lines.begin(), lines.end(), [](const std::wstring& a, const std::wstring& b) {
        return vb::StrComp(GetExeLineKey(a), GetExeLineKey(b), vb::BinaryCompare) < 0;
    });
    return lines;
}

TEST(ProgramList, LineKeyAndLongPathCompare) {
    const std::wstring line = L"Acme - Editor|2.1|OK|C:\\Tools\\Edit.EXE|C:\\TOOLS\\EDIT.EXE";
    EXPECT_EQ(GetExeLineKey(line), L"acme - editor2.1okc:\\tools\\edit.exe");
    EXPECT_TRUE(CompareExeKey(L"c:\\tools\\edit.exe", line));
    EXPECT_FALSE(CompareExeKey(L"C:\\Tools\\Edit.EXE", line));  // callers pass the path in lower case
    EXPECT_FALSE(CompareExeKey(L"c:\\tools\\other.exe", line));
    // A malformed line has no long path to match and a key of what it has.
    EXPECT_FALSE(CompareExeKey(L"", L"just a description"));
    EXPECT_EQ(GetExeLineKey(L"Only|Two"), L"onlytwo");
    EXPECT_EQ(GetExeLineKey(L""), L"");
}

TEST(ProgramList, LookUpFindsEveryLineOfListsOfManySizes) {
    for (int n : {1, 2, 3, 4, 5, 8, 17, 100, 1000}) {
        SetProgramLines(SortedList(n));
        const std::vector<std::wstring> lines = ProgramLines();
        ASSERT_EQ(ProgramLineLast(), n - 1);
        for (const std::wstring& line : lines) EXPECT_TRUE(IsLineAsArrayValidExe(EntryFor(line))) << n << " " << vb::ToAnsi(line);
        // A program that is not there, sorting before, between and after the lines.
        for (const wchar_t* description : {L"AAA - Before", L"Company5000 - Between", L"zzz - After"}) {
            std::wstring missing = Line(description, L"1.0", L"OK", L"C:\\Gone\\gone.exe");
            EXPECT_FALSE(IsLineAsArrayValidExe(EntryFor(missing))) << n << " " << vb::ToAnsi(description);
        }
    }
}

TEST(ProgramList, LookUpCases) {
    SetProgramLines(SortedList(50));
    const std::vector<std::wstring> lines = ProgramLines();
    struct Case {
        const char* what;
        std::vector<std::wstring> entry;
        bool expected;
    };
    std::vector<std::wstring> byCase = EntryFor(lines[20]);
    for (wchar_t& c : byCase[4]) c = static_cast<wchar_t>(towupper(c));
    std::vector<std::wstring> otherStatus = EntryFor(lines[10]);
    otherStatus[3] = L"NE-D";
    otherStatus[4] = L"C:\\elsewhere.exe";
    const Case cases[] = {
        {"first line", EntryFor(lines.front()), true},
        {"last line", EntryFor(lines.back()), true},
        {"long path differs only by case", byCase, true},
        {"status carries its list suffix", EntryFor(lines[5], L"-D"), true},
        {"other status and path", otherStatus, false},
        {"too few fields", {L".txt", L"Acme - Tool"}, false},
    };
    for (const Case& c : cases) EXPECT_EQ(IsLineAsArrayValidExe(c.entry), c.expected) << c.what;
}

TEST(ProgramList, EmptyListFindsNothing) {
    SetProgramLines({});
    EXPECT_EQ(ProgramLineLast(), -1);
    EXPECT_FALSE(IsLineAsArrayValidExe(EntryFor(Line(L"A - B", L"1.0", L"OK", L"C:\\a.exe"))));
}

TEST(ProgramList, MalformedLinesInTheListDoNotStopTheLookUp) {
    std::vector<std::wstring> lines = SortedList(20);
    lines.push_back(L"company0500 without fields");
    lines.push_back(L"");
    std::sort(lines.begin(), lines.end(), [](const std::wstring& a, const std::wstring& b) {
        return vb::StrComp(GetExeLineKey(a), GetExeLineKey(b), vb::BinaryCompare) < 0;
    });
    SetProgramLines(lines);
    for (const std::wstring& line : lines)
        if (vb::Split(line, L"|").size() == 5) {
            EXPECT_TRUE(IsLineAsArrayValidExe(EntryFor(line))) << vb::ToAnsi(line);
        }
    EXPECT_FALSE(IsLineAsArrayValidExe(EntryFor(Line(L"zz - z", L"1", L"OK", L"C:\\z.exe"))));
}

}  // namespace
