#include <windows.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include <gtest/gtest.h>

#include "FakePresenter.h"
#include "basIniFile.h"
#include "vb/VbApp.h"

namespace {

class IniFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        wchar_t tmp[MAX_PATH];
        GetTempPathW(MAX_PATH, tmp);
        folder_ = std::wstring(tmp) + L"LumoxIniTest" + std::to_wstring(GetCurrentProcessId());
        CreateDirectoryW(folder_.c_str(), nullptr);
        SetIniFolderOverride(folder_);
        DeleteFileW(GetIniFilePath().c_str());
    }
    void TearDown() override {
        DeleteFileW(GetIniFilePath().c_str());
        RemoveDirectoryW(folder_.c_str());
        SetIniFolderOverride(L"");
    }
    std::string FileBytes() {
        std::ifstream f(std::filesystem::path(GetIniFilePath()), std::ios::binary);
        std::stringstream s;
        s << f.rdbuf();
        return s.str();
    }
    std::wstring folder_;
    FakePresenter boxes;
};

TEST_F(IniFileTest, WritesTrimmedTextIntoTheOneSection) {
    IniFile(IniWrite, L"Detail", vb::Variant(L"  scanning C:\\  "));
    IniFile(IniWrite, L"Log Searching", vb::Variant(2L));
    EXPECT_EQ(IniFile(IniRead, L"Detail", {}, vb::Variant(L"Not Set")).ToString(), L"scanning C:\\");
    EXPECT_EQ(IniFile(IniRead, L"Log Searching", {}, vb::Variant(0L)).ToLong(), 2);

    std::string bytes = FileBytes();
    EXPECT_EQ(bytes.find("[Lumox Options]"), 0u);
    EXPECT_NE(bytes.find("Detail=scanning C:\\"), std::string::npos);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(IniFileTest, ReadsFallBackToTheDefault) {
    // Missing file and key.
    EXPECT_EQ(IniFile(IniRead, L"Log Snapshot", {}, vb::Variant(0L)).ToLong(), 0);
    EXPECT_EQ(IniFile(IniRead, L"Log Snapshot").ToLong(), 0) << "a missing default reads as 0";
    EXPECT_EQ(IniFile(IniRead, L"File", {}, vb::Variant(L" . ")).ToString(), L".");

    // An empty value reads as the trimmed default; a text under an integer read is 0.
    IniFile(IniWrite, L"File", vb::Variant(L""));
    EXPECT_EQ(IniFile(IniRead, L"File", {}, vb::Variant(L"  .")).ToString(), L".");
    IniFile(IniWrite, L"Detail Msg", vb::Variant(L"abc"));
    EXPECT_EQ(IniFile(IniRead, L"Detail Msg", {}, vb::Variant(5L)).ToLong(), 0);
    EXPECT_EQ(IniFile(IniRead, L"Detail Msg", {}, vb::Variant(L"0")).ToString(), L"abc");
}

TEST_F(IniFileTest, LongTextReadsBackCutTo254Characters) {
    std::wstring longText(300, L'x');
    IniFile(IniWrite, L"Scanning Progress", vb::Variant(longText));
    EXPECT_EQ(IniFile(IniRead, L"Scanning Progress", {}, vb::Variant(L"")).ToString(), std::wstring(254, L'x'));
}

TEST_F(IniFileTest, UnknownActionDoesNothing) {
    EXPECT_TRUE(IniFile(7, L"Detail", vb::Variant(L"x")).IsEmpty());
    EXPECT_EQ(GetFileAttributesW(GetIniFilePath().c_str()), INVALID_FILE_ATTRIBUTES);
}

TEST(FileLocations, RootCutsATrailingProgramsFolder) {
    struct {
        const wchar_t* folder;
        const wchar_t* root;
    } cases[] = {
        {L"C:\\Suite\\Programs", L"C:\\Suite\\"},
        {L"C:\\Suite\\PROGRAMS", L"C:\\Suite\\"},
        {L"C:\\SuitePrograms", L"C:\\Suite"},
        {L"C:\\Suite\\Bin", L"C:\\Suite\\Bin"},
    };
    for (const auto& c : cases) EXPECT_EQ(RootFolderOf(c.folder), c.root) << c.folder;
}

TEST(FileLocations, SettingsLieBesideTheModuleAndTheArchiveUnderTheRoot) {
    SetIniFolderOverride(L"");
    EXPECT_EQ(GetIniFilePath(), vb::AppPath() + L"\\Lumox Options.ini");
    std::wstring root = RootFolderOf(vb::AppPath());
    std::wstring sep = root.back() == L'\\' ? L"" : L"\\";
    EXPECT_EQ(GetArchivePath(), root + sep + L"Data\\TesselMorva.dat");
    EXPECT_EQ(GetInitialArchivePath(), root + sep + L"Data\\Initial\\TesselMorva.dat");
}

}  // namespace
