// Launching through the real shell, the run of an extension's entries, the marker pair and
// the description of the program Windows would use.
#include <gtest/gtest.h>

#include "ChooserTestSupport.h"
#include "basErrorHandler.h"
#include "basLaunch.h"
#include "vb/VbError.h"
#include "vb/VbText.h"

using namespace choosertest;

namespace {

vb::List<std::wstring> Records(std::initializer_list<const wchar_t*> keys) {
    vb::List<std::wstring> list;
    for (const wchar_t* key : keys) list.Add(std::wstring(key) + L"|Acme - Editor|1.0|OK-A|C:\\a.exe|C:\\A.EXE");
    return list;
}

// An association of the tests' own, written where every COM and shell look-up of the prefix reads.
class Association {
public:
    Association(const std::wstring& extension, const std::wstring& program) : extension_(extension) {
        Set(L"Software\\Classes\\" + extension, L"LumoxTest" + extension.substr(1));
        Set(L"Software\\Classes\\LumoxTest" + extension.substr(1) + L"\\shell\\open\\command",
            L"\"" + program + L"\" \"%1\"");
    }
    ~Association() {
        testsupport::DeleteRegistryTree(HKEY_LOCAL_MACHINE, L"Software\\Classes\\" + extension_);
        testsupport::DeleteRegistryTree(HKEY_LOCAL_MACHINE, L"Software\\Classes\\LumoxTest" + extension_.substr(1));
    }

private:
    static void Set(const std::wstring& key, const std::wstring& value) {
        HKEY h = nullptr;
        RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_WRITE, nullptr, &h, nullptr);
        RegSetValueExW(h, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE*>(value.c_str()),
                       static_cast<DWORD>((value.size() + 1) * sizeof(wchar_t)));
        RegCloseKey(h);
    }
    std::wstring extension_;
};

class LaunchTest : public ::testing::Test {
protected:
    void SetUp() override { folder = testsupport::FreshTempFolder(L"LaunchTest"); }
    void TearDown() override {
        testsupport::RemoveTree(folder);
        ErrorHandler(ehClearAll);
    }
    std::wstring folder;
};

}  // namespace

TEST(FindRecordRun, FindsTheUnbrokenRunOfAKey) {
    const struct {
        const wchar_t* name;
        vb::List<std::wstring> records;
        const wchar_t* key;
        long first, last;
    } cases[] = {
        {L"entries 3 to 5 of 7", Records({L".a", L".b", L".txt", L".TXT", L".txt", L".x", L".y"}), L".txt", 3, 5},
        {L"only the last of 7", Records({L".a", L".b", L".c", L".d", L".e", L".f", L".txt"}), L".txt", 7, 7},
        {L"absent from 7", Records({L".a", L".b", L".c", L".d", L".e", L".f", L".g"}), L".txt", 8, 0},
        {L"an empty list", vb::List<std::wstring>(), L".txt", 1, 0},
        {L"upper-case key finds lower-case entries", Records({L".doc", L".txt"}), L".TXT", 2, 2},
        {L"a match after a break is not part of the run", Records({L".txt", L".b", L".txt"}), L".txt", 1, 1},
        {L"the any-file key", Records({L"*", L"*", L".b"}), L"*", 1, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        long last = -7;
        EXPECT_EQ(FindRecordRun(c.key, c.records, last), c.first);
        EXPECT_EQ(last, c.last);
    }
}

TEST(FindRecordRun, AnEmptyEntryBeforeTheKeyRaises) {
    vb::List<std::wstring> records = Records({L".a"});
    records.Add(L"");
    records.Add(L".txt|x|1|OK-A|a|b");
    long last = 0;
    EXPECT_THROW(FindRecordRun(L".txt", records, last), vb::Error);
    vb::Err().Clear();
}

TEST_F(LaunchTest, TheMarkerPair) {
    const std::wstring ok = folder + L"\\Bl1.ok", ign = folder + L"\\Bl1.ign";
    // Resting with no file at all.
    EXPECT_FALSE(CheckIgnoreMarker(folder));
    SetIgnoreMarker(folder);
    EXPECT_TRUE(Exists(ign));
    EXPECT_FALSE(Exists(ok));
    EXPECT_EQ(ReadFileText(ign), " \r\n");
    EXPECT_TRUE(CheckIgnoreMarker(folder));
    EXPECT_TRUE(Exists(ok));
    EXPECT_FALSE(Exists(ign));
    EXPECT_FALSE(CheckIgnoreMarker(folder));
    // From resting "Bl1.ok": renamed, and armed twice stays armed.
    SetIgnoreMarker(folder);
    SetIgnoreMarker(folder);
    EXPECT_TRUE(Exists(ign));
    EXPECT_FALSE(Exists(ok));
    // Both files there (left by hand, say): the check still goes back to resting.
    WriteFileText(ok, " \r\n");
    EXPECT_TRUE(CheckIgnoreMarker(folder));
    EXPECT_FALSE(Exists(ign));
    EXPECT_FALSE(CheckIgnoreMarker(folder));
}

TEST_F(LaunchTest, StartsTheProgramWithTheFileInTheFilesFolder) {
    const std::wstring program = folder + L"\\viewer.exe";
    ASSERT_TRUE(CopyFileW(RecorderPath().c_str(), program.c_str(), FALSE));
    const std::wstring docs = folder + L"\\My Docs";
    CreateDirectoryW(docs.c_str(), nullptr);
    const std::wstring file = docs + L"\\to mum.txt";
    WriteFileText(file, "x");
    const std::wstring log = folder + L"\\viewer.log";

    // An empty verb is "open"; the path with blanks arrives as one argument.
    EXPECT_GT(LaunchProgram(program, file, L""), 32);
    std::vector<std::wstring> lines = RecorderLines(log, 1, 20000);
    ASSERT_EQ(lines.size(), 1u);
    EXPECT_EQ(lines[0].substr(0, lines[0].find(L'|')), docs);
    EXPECT_NE(lines[0].find(L"\"" + file + L"\""), std::wstring::npos) << lines[0];

    // A short path without blanks goes as it is.
    const std::wstring shortFile = ShortPath(file);
    ASSERT_EQ(shortFile.find(L' '), std::wstring::npos);
    EXPECT_GT(LaunchProgram(program, shortFile, L"open"), 32);
    lines = RecorderLines(log, 2, 20000);
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(vb::EndsWith(lines[1], L" " + shortFile)) << lines[1];

    // A program that is not there: the shell's failure comes back.
    EXPECT_LE(LaunchProgram(folder + L"\\gone.exe", shortFile, L""), 32);
}

TEST_F(LaunchTest, TheProgramWindowsWouldUse) {
    const std::wstring program = folder + L"\\wdp.exe";
    ASSERT_TRUE(CopyFileW(RecorderPath().c_str(), program.c_str(), FALSE));
    const std::wstring file = folder + L"\\letter.lxwdp";
    WriteFileText(file, "x");
    {
        Association association(L".lxwdp", program);
        EXPECT_EQ(FindExecutableForFile(file), program);
        EXPECT_EQ(GetWindowsDefaultProgram(file), L"Quillon Test Works - Recording Viewer|3.1.4.1|OK|" + program + L"|" +
                                                      ShortPath(program));
    }
    // No association: no program, no record.
    EXPECT_EQ(FindExecutableForFile(file), L"");
    EXPECT_EQ(GetWindowsDefaultProgram(file), L"");
    // A program without a version resource gives no record either.
    const std::wstring bare = folder + L"\\bare.exe";
    WriteFileText(bare, "MZ not really");
    Association association(L".lxwdp", bare);
    EXPECT_EQ(GetWindowsDefaultProgram(file), L"");
}

TEST_F(LaunchTest, DescriptionsFromTheVersionResource) {
    const std::wstring file = folder + L"\\letter.lxwdp";
    WriteFileText(file, "x");
    const struct {
        const wchar_t* variant;
        const wchar_t* fields;  // description and version; empty: no record
    } cases[] = {
        {L"lumox_recorder_nodesc", L"Acme- Editor|2.0"},
        {L"lumox_recorder_nocompany", L"Missing Info. - Plain Tool|1.2"},
        {L"lumox_recorder_nodot", L""},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.variant);
        const std::wstring program = folder + L"\\" + c.variant + L".exe";
        ASSERT_TRUE(CopyFileW((TestFolder() + L"\\" + c.variant + L".exe").c_str(), program.c_str(), FALSE));
        Association association(L".lxwdp", program);
        const std::wstring expected =
            *c.fields ? std::wstring(c.fields) + L"|OK|" + program + L"|" + ShortPath(program) : std::wstring();
        EXPECT_EQ(GetWindowsDefaultProgram(file), expected);
    }
}
