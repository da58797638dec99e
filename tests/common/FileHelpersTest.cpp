// The file helpers on real files: command lines taken apart on a temporary tree, the
// version resource of our own test program, short paths and the scan's progress marks.
#include <windows.h>

#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "CheckpointSink.h"
#include "FakePresenter.h"
#include "LibraryMessages.h"
#include "basErrorHandler.h"
#include "basIO.h"
#include "basIniFile.h"
#include "basStrings.h"
#include "basWinAPI_Windows.h"
#include "vb/VbApp.h"
#include "TestSupport.h"

namespace {

void Touch(const std::wstring& path) { std::ofstream(std::filesystem::path(path), std::ios::binary) << "x"; }

std::wstring VersionedProgram() { return JoinPaths(vb::AppPath(), L"versioned.exe"); }

struct RecordingSink : ScanCheckpointSink {
    void Detail2Ini(const std::wstring& text, bool force) override {
        marks.push_back(text);
        forced = forced || force;
    }
    int SearchingLevel() const override { return level; }
    std::vector<std::wstring> marks;
    bool forced = false;
    int level = 0;
};

struct SinkGuard {
    RecordingSink restorer, scan;
    SinkGuard() {
        oldRestorer = SetRestorerCheckpointSink(&restorer);
        oldScan = SetScanCheckpointSink(&scan);
    }
    ~SinkGuard() {
        SetRestorerCheckpointSink(oldRestorer);
        SetScanCheckpointSink(oldScan);
    }
    CheckpointSink* oldRestorer;
    ScanCheckpointSink* oldScan;
};

// A tree of programs under %TEMP%, two PATH folders of our own in front of the real ones.
class FileTypeTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetMessageRows(LibraryMessageRow);
        root_ = testsupport::FreshTempFolder(L"LumoxFileType");
        for (const wchar_t* folder : {L"Program Files", L"Program Files\\App", L"my.tools", L"pathA", L"pathB",
                                      L"work"})
            CreateDirectoryW(At(folder).c_str(), nullptr);
        CopyFileW(VersionedProgram().c_str(), At(L"Program Files\\App\\app.exe").c_str(), FALSE);
        Touch(At(L"Program Files\\App\\app.exe -x"));  // a longer name that happens to exist
        Touch(At(L"Program Files\\App\\Sendrik.dll"));
        Touch(At(L"my.tools\\runner"));
        Touch(At(L"pathA\\lumoxtool.com"));
        Touch(At(L"pathA\\lumoxtool.exe"));
        Touch(At(L"pathB\\lumoxtool.bat"));
        Touch(At(L"pathB\\lumoxother.bat"));
        Touch(At(L"pathB\\lumoxdata.txt"));
        Touch(At(L"work\\local.exe"));

        wchar_t saved[32767];
        hadPath_ = GetEnvironmentVariableW(L"PATH", saved, 32767) != 0;
        savedPath_ = saved;
        SetEnvironmentVariableW(L"PATH", (At(L"pathA") + L";" + At(L"pathB") + L";" + savedPath_).c_str());
        SetEnvironmentVariableW(L"LUMOXTREE", root_.c_str());
        LoadSearchPaths();
        wchar_t cwd[MAX_PATH];
        GetCurrentDirectoryW(MAX_PATH, cwd);
        savedCwd_ = cwd;
    }
    void TearDown() override {
        SetCurrentDirectoryW(savedCwd_.c_str());
        SetEnvironmentVariableW(L"PATH", hadPath_ ? savedPath_.c_str() : nullptr);
        SetEnvironmentVariableW(L"LUMOXTREE", nullptr);
        LoadSearchPaths();
        testsupport::RemoveTree(root_);
        EXPECT_TRUE(boxes.shown.empty()) << (boxes.shown.empty() ? std::wstring() : boxes.shown[0].prompt);
    }
    std::wstring At(const std::wstring& relative) const { return relative.empty() ? root_ : JoinPaths(root_, relative); }

    std::wstring root_, savedPath_, savedCwd_;
    bool hadPath_ = false;
    FakePresenter boxes;
};

std::wstring Text(const vb::Variant& v) { return v.IsEmpty() ? L"<Empty>" : v.ToString(); }

TEST_F(FileTypeTest, FindsTheProgramOfACommandLine) {
    const std::wstring app = At(L"Program Files\\App\\app.exe");
    struct Row {
        std::wstring line, program, arguments;
    } rows[] = {
        // Unquoted: the longest existing prefix wins.
        {app + L" -y file", app, L"-y file"},
        {app + L" -x file", app + L" -x", L"file"},
        {app, app, L"<Empty>"},
        // Relative names go through the Windows folder, the System folder and PATH.
        {L"notepad %1", JoinPaths(WindowsFolder(), L"notepad.exe"), L"%1"},
        {L"regedit.exe /s file.reg", JoinPaths(WindowsFolder(), L"regedit.exe"), L"/s file.reg"},
        {L"lumoxtool %1", At(L"pathA\\lumoxtool.com"), L"%1"},  // .com before .exe, folder before extension
        {L"lumoxother", At(L"pathB\\lumoxother.bat"), L"<Empty>"},
        {L"lumoxdata.txt now", At(L"pathB\\lumoxdata.txt"), L"now"},
        // Quoted programs without a blank lose their quotes and are searched like the rest.
        {L"\"" + At(L"my.tools\\runner") + L"\" \"%1\"", At(L"my.tools\\runner"), L"\"%1\""},
        // References are expanded first.
        {L"%LUMOXTREE%\\pathA\\lumoxtool.exe -q", At(L"pathA\\lumoxtool.exe"), L"-q"},
        // Nothing to find anywhere.
        {L"\"%1\" %2 %3", L"<Empty>", L"<Empty>"},
        {L"lumoxnothing at all", L"<Empty>", L"<Empty>"},
        {L"a %1", L"<Empty>", L"<Empty>"},  // the search stops at a blank in the second position
        {L"\\\\server\\share\\dir\\app.exe", L"<Empty>", L"<Empty>"},
        {L"", L"<Empty>", L"<Empty>"},
    };
    for (const Row& row : rows) {
        ProgramPathRecord r = GetFileType(row.line);
        EXPECT_EQ(Text(r.ProgramPath), row.program) << row.line;
        EXPECT_EQ(Text(r.Arguments), row.arguments) << row.line;
        if (row.program == L"<Empty>") {
            EXPECT_EQ(Text(r.BaseName), L"") << row.line << ": nothing was found";
        }
    }
}

TEST_F(FileTypeTest, RelativeNameCountsFromTheCurrentFolder) {
    SetCurrentDirectoryW(At(L"work").c_str());
    ProgramPathRecord r = GetFileType(L"local.exe --now");
    EXPECT_EQ(Text(r.Arguments), L"--now");
    EXPECT_TRUE(r.ProgramPath.IsEmpty()) << "a relative program has no root";
    EXPECT_EQ(Text(r.FileName), L"local.exe");
}

TEST_F(FileTypeTest, TakesThePathApart) {
    struct Row {
        std::wstring line;
        const wchar_t *pathRoot, *uncRoot, *drive, *folder, *fileName, *extension, *baseName, *arguments;
    } rows[] = {
        // Quoted with a blank: taken as it stands, no search.
        {L"\"C:\\Program Files\\No Such\\tool.exe\" \"%1\"", L"C:", L"<Empty>", L"C", L"\\Program Files\\No Such\\",
         L"tool.exe", L"exe", L"tool", L" \"%1\""},
        {L"\"\\\\server\\share\\my dir\\app.exe\" /x", L"\\\\server\\share", L"\\\\server\\share", L"<Empty>",
         L"\\my dir\\", L"app.exe", L"exe", L"app", L" /x"},
        {L"\"\\\\lone server\"", L"\\\\lone server", L"\\\\lone server", L"<Empty>", L"<Empty>", L"", L"<Empty>", L"",
         L"<Empty>"},
        // A dot in a folder's name is no extension.
        {L"\"C:\\my.folder v2\\readme\"", L"C:", L"<Empty>", L"C", L"\\my.folder v2\\", L"readme", L"<Empty>",
         L"readme", L"<Empty>"},
        {L"\"C:\\a b\\archive.tar.gz\"", L"C:", L"<Empty>", L"C", L"\\a b\\", L"archive.tar.gz", L"gz",
         L"archive.tar", L"<Empty>"},
    };
    for (const Row& row : rows) {
        ProgramPathRecord r = GetFileType(row.line);
        EXPECT_TRUE(r.Quoted) << row.line;
        EXPECT_EQ(Text(r.PathRoot), row.pathRoot) << row.line;
        EXPECT_EQ(Text(r.UncRoot), row.uncRoot) << row.line;
        EXPECT_EQ(Text(r.DriveLetter), row.drive) << row.line;
        EXPECT_EQ(Text(r.Folder), row.folder) << row.line;
        EXPECT_EQ(Text(r.FileName), row.fileName) << row.line;
        EXPECT_EQ(Text(r.ProgramExtension), row.extension) << row.line;
        EXPECT_EQ(Text(r.TypeExtension), row.extension) << row.line;
        EXPECT_EQ(Text(r.ClassExtension), row.extension) << row.line;
        EXPECT_EQ(Text(r.BaseName), row.baseName) << row.line;
        EXPECT_EQ(Text(r.ClassBaseName), row.baseName) << row.line;
        EXPECT_EQ(Text(r.Arguments), row.arguments) << row.line;
    }
}

TEST_F(FileTypeTest, KeepsTheCommandLineAndItsExpandedForm) {
    ProgramPathRecord r = GetFileType(L"  \"%LUMOXTREE%\\pathA\\lumoxtool.exe\" \"%1\"  ");
    EXPECT_EQ(r.CommandLine, L"\"%LUMOXTREE%\\pathA\\lumoxtool.exe\" \"%1\"");
    EXPECT_EQ(r.ExpandedCommandLine, At(L"pathA\\lumoxtool.exe") + L" \"%1\"");
    EXPECT_TRUE(r.Quoted);

    r = GetFileType(L"\"%1\" %*");
    EXPECT_EQ(r.ExpandedCommandLine, L"%1 %*");
    EXPECT_TRUE(r.PathRoot.IsEmpty());
    EXPECT_TRUE(r.Folder.IsEmpty());
}

TEST_F(FileTypeTest, EveryCallStartsFromAnEmptyRecord) {
    ProgramPathRecord first = GetFileType(L"\"" + At(L"Program Files\\App\\app.exe") + L"\" -x \"%1\"");
    ASSERT_FALSE(first.Arguments.IsEmpty());
    ASSERT_NE(first.FixedInfo.dwSignature, 0u);
    ProgramPathRecord second = GetFileType(L"lumoxnothing");
    EXPECT_TRUE(second.Arguments.IsEmpty());
    EXPECT_TRUE(second.ProgramPath.IsEmpty());
    EXPECT_TRUE(second.Folder.IsEmpty());
    EXPECT_TRUE(second.ProgramExtension.IsEmpty());
    EXPECT_FALSE(second.Quoted);
    EXPECT_EQ(second.FixedInfo.dwSignature, 0u);
}

TEST_F(FileTypeTest, VersionAttributesAndClassPrefix) {
    const std::wstring app = At(L"Program Files\\App\\app.exe");
    ProgramPathRecord r = GetFileType(L"\"" + app + L"\"");
    EXPECT_EQ(r.FixedInfo.dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(r.FixedInfo.dwFileVersionMS, 0x00020005u);
    EXPECT_TRUE(r.Attributes.IsEmpty()) << "only read on request";
    EXPECT_TRUE(r.ComPrefix.IsEmpty());

    r = GetFileType(app, vb::Variant(true));
    ASSERT_TRUE(r.Attributes.IsLong());
    EXPECT_EQ(r.Attributes.ToLong() & FILE_ATTRIBUTE_DIRECTORY, 0);
    const long attributes = r.Attributes.ToLong();

    // Any flag that is true asks for them, as callers pass it: True, -1 or 1.
    struct FlagRow {
        const wchar_t* label;
        vb::Variant flag;
        bool read;
    } flags[] = {
        {L"True", vb::Variant(true), true},           {L"-1", vb::Variant(-1), true},
        {L"1 (Integer)", vb::Variant(int16_t{1}), true}, {L"-1 (Integer)", vb::Variant(int16_t{-1}), true},
        {L"1.0", vb::Variant(1.0), true},             {L"False", vb::Variant(false), false},
        {L"0", vb::Variant(0), false},                {L"Empty", vb::Variant(), false},
        {L"Null", vb::Variant(vb::Null), false},      {L"a text", vb::Variant(L"no flag"), false},
    };
    for (const FlagRow& row : flags) {
        r = GetFileType(app, row.flag);
        EXPECT_EQ(Text(r.Attributes), row.read ? std::to_wstring(attributes) : L"<Empty>") << row.label;
    }

    r = GetFileType(At(L"Program Files\\App\\Sendrik.dll"));
    EXPECT_EQ(Text(r.ComPrefix), L"MorvaSendrik");
    r = GetFileType(L"\"C:\\Some Place\\Zintra.DLL\"");
    EXPECT_EQ(Text(r.ComPrefix), L"MorvaZintra");
}

TEST_F(FileTypeTest, LeavesCheckpointsWithTheRestorer) {
    SinkGuard sinks;
    GetFileType(L"lumoxother");
    ASSERT_FALSE(sinks.restorer.marks.empty());
    EXPECT_EQ(sinks.restorer.marks[0], L"GFTlumoxother");
    EXPECT_EQ(sinks.restorer.marks.back(), L"GetDosPath: " + At(L"pathB\\lumoxother.bat"));
    EXPECT_FALSE(sinks.restorer.forced);
    EXPECT_EQ(sinks.scan.marks, (std::vector<std::wstring>{L"GVI-GetFVIS"})) << "a .bat has no version resource";
}

// ---- Version resources ----

TEST(FileVersion, ReadsTheResourceOfOurTestProgram) {
    FakePresenter boxes;
    SinkGuard sinks;
    FileVersionInfo info = GetFileInfo(VersionedProgram());
    EXPECT_EQ(info.FixedInfo.dwSignature, 0xFEEF04BDu);
    EXPECT_EQ(info.FixedInfo.dwFileVersionMS, 0x00020005u);
    EXPECT_EQ(info.FixedInfo.dwFileVersionLS, (17u << 16) | 301u);
    EXPECT_EQ(info.Translation, L"040904B0");
    EXPECT_EQ(info.FileTypeName, L"Application");
    EXPECT_EQ(info.CompanyName, L"Quillon Test Works");
    EXPECT_EQ(info.FileDescription, L"Versioned Test Program");
    EXPECT_EQ(info.FileVersion, L"2.5.17.301");
    EXPECT_EQ(info.Comments, L"Built for the file helper tests");
    EXPECT_EQ(info.OriginalFileName, L"versioned.exe");
    EXPECT_EQ(info.ProductName, L"Versioned");
    EXPECT_EQ(info.ProductVersion, L"2.5");
    EXPECT_EQ(info.SpecialBuild, L"") << "absent from the resource";
    EXPECT_EQ(info.LegalTrademarks, L"");

    ASSERT_EQ(sinks.scan.marks.size(), 16u);
    EXPECT_EQ(sinks.scan.marks[0], L"GFI-GetFVI");
    EXPECT_EQ(sinks.scan.marks[1], L"GFI-VerQV-1");
    EXPECT_EQ(sinks.scan.marks[2], L"GFI-VerQV-2");
    EXPECT_EQ(sinks.scan.marks[3], L"GVQVS-Comments");
    EXPECT_EQ(sinks.scan.marks[15], L"GVQVS-SpecialBuild");
    EXPECT_TRUE(sinks.restorer.marks.empty());

    DWORD size = 0;
    VS_FIXEDFILEINFO fixed = GetVersionInfo(VersionedProgram(), size);
    EXPECT_GT(size, 0u);
    EXPECT_EQ(fixed.dwProductVersionMS, 0x00020005u);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST(FileVersion, FilesWithoutAResourceGiveEmptyRecords) {
    FakePresenter boxes;
    wchar_t tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, tmp);
    std::wstring plain = std::wstring(tmp) + L"LumoxPlain.txt";
    Touch(plain);
    for (const std::wstring& file : {plain, std::wstring(tmp) + L"LumoxMissing.exe", std::wstring()}) {
        FileVersionInfo info = GetFileInfo(file);
        EXPECT_EQ(info.FixedInfo.dwSignature, 0u) << file;
        EXPECT_EQ(info.Translation, L"") << file;
        EXPECT_EQ(info.CompanyName, L"") << file;
        DWORD size = 123;
        VS_FIXEDFILEINFO fixed = GetVersionInfo(file, size);
        EXPECT_EQ(size, 0u) << file;
        EXPECT_EQ(fixed.dwFileVersionMS, 0u) << file;
    }
    DeleteFileW(plain.c_str());
    EXPECT_TRUE(boxes.shown.empty());
}

TEST(FileVersion, HexPadAndSwapBytes) {
    struct {
        long value;
        int digits;
        const wchar_t* text;
    } rows[] = {{0x9, 2, L"09"}, {0xB0, 2, L"B0"}, {0x4B0, 8, L"000004B0"}, {-1, 4, L"FFFF"}, {0, 0, L""}};
    for (const auto& row : rows) EXPECT_EQ(HexPad(row.value, row.digits), row.text) << row.value;
    BYTE a = 0x09, b = 0x04;
    SwapBytes(a, b);
    EXPECT_EQ(a, 0x04);
    EXPECT_EQ(b, 0x09);
}

// ---- Short paths ----

TEST(DosPath, ShortFormOfExistingPathsOnly) {
    FakePresenter boxes;
    wchar_t tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, tmp);
    std::wstring root = std::wstring(tmp) + L"LumoxDosPath" + std::to_wstring(GetCurrentProcessId());
    testsupport::RemoveTree(root);
    CreateDirectoryW(root.c_str(), nullptr);
    std::wstring longName = JoinPaths(root, L"A rather long file name.text");
    Touch(longName);

    std::wstring shortForm = GetDosPath(longName);
    ASSERT_FALSE(shortForm.empty());
    EXPECT_EQ(shortForm.find(L' '), std::wstring::npos) << shortForm;
    EXPECT_EQ(GetDosPath(JoinPaths(root, L"absent.txt")), L"");
    EXPECT_EQ(GetDosPath(vb::Variant()), L"");

    // Deeper than 255 characters: the answer still comes back whole.
    std::wstring deep = L"\\\\?\\" + root;
    for (int i = 0; i < 30; ++i) {
        deep += L"\\abcdefgh";
        CreateDirectoryW(deep.c_str(), nullptr);
    }
    std::wstring deepFile = deep + L"\\deep.txt";
    Touch(deepFile);
    std::wstring plain = deepFile.substr(4);
    ASSERT_GT(plain.size(), 255u);
    std::wstring deepShort = GetDosPath(plain);
    EXPECT_GT(deepShort.size(), 255u);
    EXPECT_EQ(deepShort.substr(deepShort.size() - 9), L"\\deep.txt");
    EXPECT_EQ(GetFileAttributesW((L"\\\\?\\" + deepShort).c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);

    testsupport::RemoveTree(L"\\\\?\\" + root);
    testsupport::RemoveTree(root);
    EXPECT_TRUE(boxes.shown.empty());
}

// ---- Extension filter and progress marks ----

TEST(FileListing, PassesOverNamesMatchedThroughTheirShortForm) {
    std::vector<std::wstring> listing{L"setup.exe1", L"tool.exe_", L"noext", L"tool.exe", L"after.exe"};
    size_t next = 0;
    auto nextName = [&]() { return next < listing.size() ? listing[next++] : std::wstring(); };

    EXPECT_EQ(Text(FileWithValidExtension(nextName(), L"*.exe", nextName)), L"tool.exe");
    EXPECT_EQ(Text(FileWithValidExtension(nextName(), L"*.exe", nextName)), L"after.exe");
    EXPECT_TRUE(FileWithValidExtension(nextName(), L"*.exe", nextName).IsEmpty()) << "the listing has ended";
    EXPECT_TRUE(FileWithValidExtension(L"", L"*.exe", nextName).IsEmpty());
    listing = {L"a.ex", L"b.com"};
    next = 0;
    EXPECT_EQ(Text(FileWithValidExtension(L"c.bat1", L"*.com", nextName)), L"b.com");
}

TEST(FileListing, ProgressMarksOnlyWhileTheSearchIsLogged) {
    FakePresenter boxes;
    wchar_t tmp[MAX_PATH];
    GetTempPathW(MAX_PATH, tmp);
    std::wstring folder = std::wstring(tmp) + L"LumoxLogIni" + std::to_wstring(GetCurrentProcessId());
    CreateDirectoryW(folder.c_str(), nullptr);
    SetIniFolderOverride(folder);
    DeleteFileW(GetIniFilePath().c_str());
    auto read = [](const wchar_t* key) { return IniFile(IniRead, key, {}, vb::Variant(L"none")).ToString(); };

    LogFileToIni(L"C:\\a.exe", L"9", true);  // no scan at all
    SinkGuard sinks;
    LogFileToIni(L"C:\\b.exe", L"9", true);  // level 0
    sinks.scan.level = 1;
    LogPathToIni(L"C:\\skipped", L"3", false);  // flag off
    EXPECT_EQ(read(L"File"), L"none");
    EXPECT_EQ(read(L"Path"), L"none");

    LogFileToIni(L"C:\\c.exe", L"DirName: C:\\", true);
    LogPathToIni(L"C:\\Tools", L"4", true);
    EXPECT_EQ(read(L"File"), L"C:\\c.exe");
    EXPECT_EQ(read(L"Detail"), L"DirName: C:\\");
    EXPECT_EQ(read(L"Path"), L"C:\\Tools");
    EXPECT_EQ(read(L"Path Detail"), L"4");

    DeleteFileW(GetIniFilePath().c_str());
    SetIniFolderOverride(L"");
    RemoveDirectoryW(folder.c_str());
    EXPECT_TRUE(boxes.shown.empty());
}

}  // namespace
