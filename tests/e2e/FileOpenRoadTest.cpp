// The whole file-open road with real processes: the shell's request through the hook
// (Zintra.dll, registered with regsvr32) to the chooser (Chusel.exe, started by COM from the
// suite's Programs folder), which reads the archive and starts the user's program.
#include <gtest/gtest.h>

#include <objbase.h>

#include "E2ESupport.h"
#include "TestSupport.h"

namespace {

std::wstring TempFolder(const wchar_t* name) {
    wchar_t buffer[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, buffer);
    return std::wstring(buffer) + name;
}

class FileOpenRoad : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        // Data files left in the shared working folder would be read instead of the suite's archive.
        testsupport::RemoveTree(TempFolder(L"Lopt"));
        std::wstring failure;
        installed = e2e::InstallSuite(TempFolder(L"LumoxE2E"), suite, failure);
        if (!installed) installFailure = failure;
    }
    static void TearDownTestSuite() { e2e::RemoveSuite(suite); }

    void SetUp() override {
        ASSERT_TRUE(installed) << std::string(installFailure.begin(), installFailure.end());
        CoInitialize(nullptr);
        e2e::SwitchOn();
        for (const wchar_t* name : {L"editor", L"viewer", L"fixed", L"winprog"}) DeleteFileW(suite.Log(name).c_str());
    }
    void TearDown() override {
        e2e::SwitchOff();
        CoUninitialize();
    }

    // The lines each program recorded, after a moment for late starts.
    std::vector<std::wstring> Started(const wchar_t* name, size_t expected) {
        return e2e::LogLines(suite.Log(name), expected, expected ? 20000 : 500);
    }
    void ExpectMarkerResting() {
        EXPECT_EQ(GetFileAttributesW((suite.programs + L"\\Bl1.ign").c_str()), INVALID_FILE_ATTRIBUTES);
    }

    static inline e2e::Suite suite;
    static inline bool installed = false;
    static inline std::wstring installFailure;
};

bool EndsWithArgument(const std::wstring& line, const std::wstring& argument) {
    return line.size() >= argument.size() && line.compare(line.size() - argument.size(), argument.size(), argument) == 0;
}

}  // namespace

TEST_F(FileOpenRoad, AFixedProgramStartsWithoutTheList) {
    const std::wstring report = suite.Doc(L"report.lxdef");
    e2e::ListUser user(e2e::ListCaption(L".lxdef"), {VK_ESCAPE});
    const e2e::ShellResult result = e2e::PlayShell(report);
    EXPECT_FALSE(user.Finish());
    EXPECT_EQ(result.hook, S_OK);
    EXPECT_EQ(result.hInstApp, 33);
    EXPECT_FALSE(result.openedByShell);
    const auto lines = Started(L"fixed", 1);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(EndsWithArgument(lines[0], L" " + e2e::ShortPath(report))) << std::string(lines[0].begin(), lines[0].end());
    EXPECT_EQ(lines[0].substr(0, lines[0].find(L'|')), suite.docs);
    EXPECT_TRUE(Started(L"winprog", 0).empty());
    ExpectMarkerResting();
}

TEST_F(FileOpenRoad, ARowChosenByKeyboardStartsItsProgram) {
    const std::wstring letter = suite.Doc(L"letter.lxadd");
    e2e::ListUser user(e2e::ListCaption(L".lxadd"), {VK_DOWN, VK_RETURN});
    const e2e::ShellResult result = e2e::PlayShell(letter);
    EXPECT_TRUE(user.Finish());
    EXPECT_EQ(result.hook, S_OK);
    EXPECT_FALSE(result.openedByShell);
    const auto lines = Started(L"viewer", 1);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_TRUE(EndsWithArgument(lines[0], L" " + e2e::ShortPath(letter)));
    EXPECT_TRUE(Started(L"editor", 0).empty());
    EXPECT_TRUE(Started(L"winprog", 0).empty());
    ExpectMarkerResting();
}

TEST_F(FileOpenRoad, EscapeClosesTheListAndNothingOpens) {
    e2e::ListUser user(e2e::ListCaption(L".lxadd"), {VK_DOWN, VK_ESCAPE});
    const e2e::ShellResult result = e2e::PlayShell(suite.Doc(L"letter.lxadd"));
    EXPECT_TRUE(user.Finish());
    EXPECT_EQ(result.hook, S_OK);
    EXPECT_FALSE(result.openedByShell);
    for (const wchar_t* name : {L"editor", L"viewer", L"winprog"}) EXPECT_TRUE(Started(name, 0).empty()) << name;
}

TEST_F(FileOpenRoad, TheWindowsRowLeavesTheOpenToTheShell) {
    const std::wstring letter = suite.Doc(L"letter.lxadd");
    // Editor, viewer, then the program Windows would use.
    e2e::ListUser user(e2e::ListCaption(L".lxadd"), {VK_DOWN, VK_DOWN, VK_RETURN});
    const e2e::ShellResult result = e2e::PlayShell(letter);
    EXPECT_TRUE(user.Finish());
    EXPECT_EQ(result.hook, S_FALSE);
    EXPECT_EQ(result.hInstApp, 33);
    EXPECT_TRUE(result.openedByShell);
    const auto lines = Started(L"winprog", 1);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_NE(lines[0].find(letter), std::wstring::npos);
    EXPECT_TRUE(Started(L"editor", 0).empty());
    EXPECT_TRUE(Started(L"viewer", 0).empty());
}

TEST_F(FileOpenRoad, DeclinedRequestsGoToTheShell) {
    const struct {
        const wchar_t* name;
        std::wstring file;
        std::string verb;
        bool shellOpens;  // the association has this verb
    } cases[] = {
        {L"an extension without entries", suite.Doc(L"plain.lxnone"), "open", true},
        {L"a verb the chooser does not take", suite.Doc(L"letter.lxadd"), "print", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        DeleteFileW(suite.Log(L"winprog").c_str());
        const e2e::ShellResult result = e2e::PlayShell(c.file, c.verb);
        EXPECT_EQ(result.hook, S_FALSE);
        EXPECT_EQ(result.hInstApp, 33);
        EXPECT_EQ(result.openedByShell, c.shellOpens);
        EXPECT_EQ(Started(L"winprog", c.shellOpens ? 1 : 0).size(), c.shellOpens ? 1u : 0u);
    }
    EXPECT_TRUE(Started(L"editor", 0).empty());
    EXPECT_TRUE(Started(L"viewer", 0).empty());
}

TEST_F(FileOpenRoad, SwitchedOffTheChooserIsNotAsked) {
    e2e::SwitchOff();
    e2e::ListUser user(e2e::ListCaption(L".lxdef"), {VK_ESCAPE});
    const e2e::ShellResult result = e2e::PlayShell(suite.Doc(L"report.lxdef"));
    EXPECT_FALSE(user.Finish());
    EXPECT_EQ(result.hook, S_FALSE);
    EXPECT_TRUE(result.openedByShell);
    EXPECT_EQ(Started(L"winprog", 1).size(), 1u);
    EXPECT_TRUE(Started(L"fixed", 0).empty());
}
