// The chooser's loading of the user's data from the archive and the shared working folder.
#include <gtest/gtest.h>

#include <objbase.h>

#include <algorithm>

#include "ChooserTestSupport.h"
#include "ChuselMessages.h"
#include "FakePresenter.h"
#include "basChooserData.h"
#include "basErrorHandler.h"
#include "basIniFile.h"

using namespace choosertest;

namespace {

const char kAdd[] = ".txt|Acme - Editor|2.0|OK-A|C:\\Acme\\editor.exe|C:\\ACME\\EDITOR.EXE\r\n"
                    ".txt|Missing info. - Missing info.|No version info.|NE-A|C:\\Tools\\tool.exe|C:\\TOOLS\\TOOL.EXE\r\n";
const char kDef[] = ".doc|Acme - Writer|1.0|OK-D|C:\\Acme\\writer.exe|C:\\ACME\\WRITER.EXE\r\n";
const char kDel[] = ".txt|Wine - Notepad|6.1|OK-R|C:\\windows\\notepad.exe|C:\\WINDOWS\\NOTEPAD.EXE\r\n";
const char kAliases[] =
    "<?xml version=\"1.0\" ?>\r\n<MorvaTesselAlias>\r\n"
    "<Alias Company=\"Missing info.\" Product=\"Missing info.\" Version=\"No version info.\" "
    "LongPath=\"C:\\Tools\\tool.exe\" ShortPath=\"C:\\TOOLS\\TOOL.EXE\" CompanyA=\"Home {[~26~]} Garden\" "
    "ProductA=\"Notes\" VersionA=\"1.5\" LongPathA=\"C:\\Tools\\tool.exe\" ShortPathA=\"C:\\TOOLS\\TOOL.EXE\" />\r\n"
    "</MorvaTesselAlias>\r\n";

std::wstring TempPath() {
    wchar_t buffer[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, buffer);
    return buffer;
}

std::vector<std::wstring> Entries(const std::wstring& folder) {
    std::vector<std::wstring> names;
    WIN32_FIND_DATAW data;
    HANDLE find = FindFirstFileW((folder + L"\\*").c_str(), &data);
    if (find == INVALID_HANDLE_VALUE) return names;
    do {
        const std::wstring name = data.cFileName;
        if (name != L"." && name != L"..") names.push_back(name);
    } while (FindNextFileW(find, &data));
    FindClose(find);
    return names;
}

class ChooserDataTest : public ::testing::Test {
protected:
    void SetUp() override {
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        working = TempPath() + L"Lopt";
        testsupport::RemoveTree(working);
        dataFolder = RootFolder() + L"\\Data";
        CreateDirectoryW(dataFolder.c_str(), nullptr);
        archive = GetArchivePath();
        InstallRequestSilencePresenter();
    }
    void TearDown() override {
        testsupport::RemoveTree(working);
        testsupport::RemoveTree(dataFolder);
        ErrorHandler(ehClearAll);
        CoUninitialize();
    }
    void FullArchive() {
        ASSERT_TRUE(MakeArchive(archive, {{L"Tesselcat.xml", CategoryFileText()},
                                          {L"TesselAdd.dat", kAdd},
                                          {L"TesselDef.dat", kDef},
                                          {L"TesselDel.dat", kDel},
                                          {L"Tesselma.xml", kAliases}}));
    }
    bool Load() {
        RequestSilence silence;
        return LoadChooserData(data);
    }

    FakePresenter boxes;
    std::wstring working, dataFolder, archive;
    ChooserData data;
};

}  // namespace

TEST_F(ChooserDataTest, UnpacksReadsAndRemovesWhatItMade) {
    FullArchive();
    ASSERT_TRUE(Load());
    ASSERT_EQ(data.AddList.UBound(), 2);
    EXPECT_EQ(data.AddList[1], L".txt|Acme - Editor|2.0|OK-A|C:\\Acme\\editor.exe|C:\\ACME\\EDITOR.EXE");
    ASSERT_EQ(data.DefList.UBound(), 1);
    ASSERT_EQ(data.RemoveList.UBound(), 1);
    EXPECT_EQ(data.RemoveList[1].substr(0, 5), L".txt|");
    // The aliases are looked up by what the scan found: fields 1 to 5 of the entry.
    const std::optional<AliasShown> alias = AliasShownByOriginal(
        {L"Missing info. - Missing info.", L"No version info.", L"NE-A", L"C:\\Tools\\tool.exe", L"C:\\TOOLS\\TOOL.EXE"});
    ASSERT_TRUE(alias.has_value());
    EXPECT_EQ(alias->CompanyA, L"Home & Garden");
    EXPECT_EQ(alias->ProductA, L"Notes");
    EXPECT_EQ(alias->VersionA, L"1.5");
    EXPECT_FALSE(AliasShownByOriginal({L"Acme - Editor", L"2.0", L"OK-A", L"C:\\Acme\\editor.exe", L"x"}).has_value());
    // The working folder was not there: nothing of it is left.
    EXPECT_FALSE(Exists(working));
    EXPECT_TRUE(Exists(archive));
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(ChooserDataTest, ARequestReadsTheArchiveWithoutWritingAnything) {
    // A user's archive: the program list and the association snapshot beside what a request needs.
    std::string programList, snapshot = "<?xml version=\"1.0\" ?>\r\n<Snapshot>\r\n";
    for (int i = 0; i < 2000; ++i) {
        programList += "Vendor - Product " + std::to_string(i) + "|1.0|OK|C:\\p" + std::to_string(i) + ".exe|C:\\P.EXE\r\n";
        snapshot += "<Key Name=\".e" + std::to_string(i) + "\" />\r\n";
    }
    ASSERT_TRUE(MakeArchive(archive, {{L"Tesselcat.xml", CategoryFileText()},
                                      {L"TesselAdd.dat", kAdd},
                                      {L"TesselDef.dat", kDef},
                                      {L"TesselDel.dat", kDel},
                                      {L"Tesselma.xml", kAliases},
                                      {L"TesselExe.dat", programList},
                                      {L"TesselAsscSS.xml", snapshot + "</Snapshot>\r\n"}}));
    const std::wstring temp = TempPath();
    auto before = Entries(temp);
    std::sort(before.begin(), before.end());
    // Any file or folder made, written or renamed anywhere under the temporary folder.
    HANDLE change = FindFirstChangeNotificationW(
        temp.c_str(), TRUE, FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME | FILE_NOTIFY_CHANGE_SIZE |
                                FILE_NOTIFY_CHANGE_LAST_WRITE);
    ASSERT_NE(change, INVALID_HANDLE_VALUE);
    const bool loaded = Load();
    const DWORD changed = WaitForSingleObject(change, 500);
    FindCloseChangeNotification(change);

    ASSERT_TRUE(loaded);
    EXPECT_EQ(data.AddList.UBound(), 2);
    EXPECT_EQ(data.DefList.UBound(), 1);
    EXPECT_EQ(data.RemoveList.UBound(), 1);
    EXPECT_TRUE(AliasShownByOriginal({L"Missing info. - Missing info.", L"No version info.", L"NE-A",
                                      L"C:\\Tools\\tool.exe", L"C:\\TOOLS\\TOOL.EXE"})
                    .has_value());
    EXPECT_EQ(changed, static_cast<DWORD>(WAIT_TIMEOUT)) << "the request wrote under the temporary folder";
    auto after = Entries(temp);
    std::sort(after.begin(), after.end());
    EXPECT_EQ(after, before);
    EXPECT_FALSE(Exists(working));
}

TEST_F(ChooserDataTest, AFolderThatWasThereStaysWithWhatOthersPutInIt) {
    FullArchive();
    CreateDirectoryW(working.c_str(), nullptr);
    CreateDirectoryW((working + L"\\Recovery").c_str(), nullptr);
    WriteFileText(working + L"\\Tesselcat.xml", CategoryFileText());  // no ".dat": not an unpacked set
    // A copy of the archive that an options window left behind is no working file either.
    WriteFileText(working + L"\\TesselMorva.dat", "left over");
    ASSERT_TRUE(Load());
    EXPECT_EQ(data.AddList.UBound(), 2);
    EXPECT_TRUE(LastChooserDataFolder().FolderExisted);
    EXPECT_FALSE(LastChooserDataFolder().FilesExisted);
    auto left = Entries(working);
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::wstring>{L"Recovery", L"TesselMorva.dat", L"Tesselcat.xml"}));
}

TEST_F(ChooserDataTest, TheOptionsWindowsFilesAreReadAsTheyAre) {
    FullArchive();
    CreateDirectoryW(working.c_str(), nullptr);
    const char optionsAdd[] = ".log|Open - Window|9.9|OK-A|C:\\o.exe|C:\\O.EXE\r\n";
    WriteFileText(working + L"\\TesselAdd.dat", optionsAdd);
    WriteFileText(working + L"\\Tesselcat.xml", CategoryFileText());
    ASSERT_TRUE(Load());
    ASSERT_EQ(data.AddList.UBound(), 1);
    EXPECT_EQ(data.AddList[1], L".log|Open - Window|9.9|OK-A|C:\\o.exe|C:\\O.EXE");
    EXPECT_EQ(data.DefList.UBound(), 0);  // the options window has no Def file there
    EXPECT_TRUE(LastChooserDataFolder().FilesExisted);
    auto left = Entries(working);
    std::sort(left.begin(), left.end());
    EXPECT_EQ(left, (std::vector<std::wstring>{L"TesselAdd.dat", L"Tesselcat.xml"}));
    EXPECT_EQ(ReadFileText(working + L"\\TesselAdd.dat"), optionsAdd);
}

TEST_F(ChooserDataTest, NoUsableArchive) {
    // No archive at all.
    EXPECT_FALSE(Load());
    EXPECT_EQ(data.AddList.UBound(), 0);
    EXPECT_FALSE(Exists(working));
    // Not a ZIP file.
    WriteFileText(archive, "not an archive");
    EXPECT_FALSE(Load());
    // An archive without its category file: declined, and no message is seen.
    ASSERT_TRUE(MakeArchive(archive, {{L"TesselAdd.dat", kAdd}}));
    EXPECT_FALSE(Load());
    EXPECT_FALSE(Exists(working));
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(ChooserDataTest, EachLoadStartsAfresh) {
    FullArchive();
    ASSERT_TRUE(Load());
    ASSERT_TRUE(MakeArchive(archive, {{L"Tesselcat.xml", CategoryFileText()}}));
    ChooserData second;
    {
        RequestSilence silence;
        ASSERT_TRUE(LoadChooserData(second));
    }
    EXPECT_EQ(second.AddList.UBound(), 0);
    EXPECT_EQ(second.DefList.UBound(), 0);
    EXPECT_FALSE(AliasShownByOriginal({L"Missing info. - Missing info.", L"No version info.", L"NE-A",
                                       L"C:\\Tools\\tool.exe", L"C:\\TOOLS\\TOOL.EXE"})
                     .has_value());
}
