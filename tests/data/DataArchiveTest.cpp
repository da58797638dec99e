#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

#include "DataTestSupport.h"
#include "FakeCategoryWindow.h"
#include "FileDamage.h"
#include "ZipTestSupport.h"
#include "basAliases.h"
#include "basCategories.h"
#include "basIniFile.h"
#include "basStrings.h"
#include "basUserChoices.h"
#include "vb/VbApp.h"
#include "basTextFiles.h"
#include "zip/ZipArchive.h"
#include "zip/ZipReader.h"

namespace {

// The archive lies where the library looks for it: Data beside the test program (its folder
// is not named "Programs", so it is the root itself). The working folder is the real "Lopt".
class DataArchiveTest : public DataFolderTest {
protected:
    void SetUp() override {
        DataFolderTest::SetUp();
        dataFolder = JoinPaths(RootFolder(), L"Data");
        testsupport::RemoveTree(dataFolder);
        CreateDirectoryW(dataFolder.c_str(), nullptr);
        GetWorkingFolder();
        lopt = WorkingFolder();
        testsupport::RemoveTree(lopt);
        source = JoinPaths(folder, L"source");
        CreateDirectoryW(source.c_str(), nullptr);
        AddList().Clear();
        RemoveList().Clear();
        DefList().Clear();
    }
    void TearDown() override {
        testsupport::RemoveTree(lopt);
        testsupport::RemoveTree(dataFolder);
        DataFolderTest::TearDown();
    }

    // Makes the archive from the given files (name, content).
    void MakeArchive(const std::vector<std::pair<std::wstring, std::string>>& files) {
        MakeArchiveOf(std::nullopt, files);
    }
    // The same, each file with the given time when there is one.
    void MakeArchiveOf(std::optional<FILETIME> time, const std::vector<std::pair<std::wstring, std::string>>& files) {
        std::vector<std::wstring> paths;
        for (const auto& [name, content] : files) {
            paths.push_back(JoinPaths(source, name));
            WriteBytes(paths.back(), content);
            if (time) {
                HANDLE h = CreateFileW(paths.back().c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
                ASSERT_NE(h, INVALID_HANDLE_VALUE);
                SetFileTime(h, nullptr, nullptr, &*time);
                CloseHandle(h);
            }
        }
        ASSERT_EQ(zip::PackFiles(GetArchivePath(), paths, ArchivePassword), zip::ZipResult::Ok);
    }
    void MakeUsualArchive() {
        MakeArchive({{L"Tesselcat.xml", kCategories},
                     {L"Tesselma.xml", kAliases},
                     {L"TesselAdd.dat", ".txt|Acme - Edit|1.0|OK-A|C:\\e.exe|C:\\E.EXE\r\n"},
                     {L"TesselExe.dat", "Acme - Edit|1.0|OK|C:\\e.exe|C:\\E.EXE\r\n"}});
    }
    // What the archive now holds, unpacked into a folder of the test's own.
    std::vector<std::wstring> ArchiveMembers(const std::wstring& into) {
        CreateDirectoryW(into.c_str(), nullptr);
        std::vector<std::wstring> written;
        EXPECT_EQ(zip::UnpackFiles(GetArchivePath(), into, ArchivePassword, &written), zip::ZipResult::Ok);
        std::vector<std::wstring> names;
        for (const std::wstring& path : written) names.push_back(GetFileName(path));
        std::sort(names.begin(), names.end());
        return names;
    }
    std::vector<long> Shown() const { return ShownNumbers(boxes); }
    static FILETIME LastWrite(const std::wstring& path) {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        GetFileAttributesExW(path.c_str(), GetFileExInfoStandard, &data);
        return data.ftLastWriteTime;
    }

    static constexpr const char* kCategories = "<?xml version=\"1.0\" ?>\r\n<MorvaTessel>\r\n</MorvaTessel>\r\n";
    static constexpr const char* kAliases = "<?xml version=\"1.0\" ?>\r\n<MorvaTesselAlias>\r\n</MorvaTesselAlias>\r\n";
    std::wstring dataFolder, lopt, source;
};

TEST_F(DataArchiveTest, PathsOfTheDataFiles) {
    UseDataFolder(L"C:\\Temp\\Lopt");
    EXPECT_EQ(CategoryFilePath(), L"C:\\Temp\\Lopt\\Tesselcat.xml");
    EXPECT_EQ(AliasFilePath(), L"C:\\Temp\\Lopt\\Tesselma.xml");
    EXPECT_EQ(GetAddFilePath(), L"C:\\Temp\\Lopt\\TesselAdd.dat");
    EXPECT_EQ(GetDefFilePath(), L"C:\\Temp\\Lopt\\TesselDef.dat");
    EXPECT_EQ(GetDelFilePath(), L"C:\\Temp\\Lopt\\TesselDel.dat");
    EXPECT_EQ(GetExeFilePath(), L"C:\\Temp\\Lopt\\TesselExe.dat");
    EXPECT_EQ(GetSnapshotFilePath(), L"C:\\Temp\\Lopt\\TesselAsscSS.xml");
    EXPECT_EQ(GetRecoveryFolder(), L"C:\\Temp\\Lopt\\Recovery");
    EXPECT_EQ(GetExeListRecoveryPath(), L"C:\\Temp\\Lopt\\Recovery\\Exe.lst");
    EXPECT_EQ(GetExeDetailRecoveryPath(), L"C:\\Temp\\Lopt\\Recovery\\ExeDetail.lst");
    EXPECT_EQ(GetMessagesFolder(), JoinPaths(RootFolder(), L"Messages\\Lumox"));
}

TEST_F(DataArchiveTest, WorkingFolderIsLoptInTheTemporaryFolderAndIsMadeWhenMissing) {
    wchar_t temp[MAX_PATH];
    GetTempPathW(MAX_PATH, temp);
    EXPECT_FALSE(GetWorkingFolder());
    EXPECT_EQ(WorkingFolder(), std::wstring(temp) + L"Lopt");
    EXPECT_TRUE(Exists(WorkingFolder()));
    EXPECT_TRUE(GetWorkingFolder());  // already there
}

TEST_F(DataArchiveTest, UnpackThenPackRoundTrip) {
    MakeUsualArchive();
    // Left over from a run that ended without packing.
    CreateDirectoryW(lopt.c_str(), nullptr);
    WriteBytes(JoinPaths(lopt, L"stale.dat"), "old");
    WriteBytes(JoinPaths(lopt, L"notes.txt"), "old");

    ASSERT_TRUE(UnpackFiles());
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(CategoryFilePath(), JoinPaths(lopt, L"Tesselcat.xml"));
    EXPECT_FALSE(Exists(JoinPaths(lopt, L"stale.dat")));
    EXPECT_FALSE(Exists(JoinPaths(lopt, L"notes.txt")));
    EXPECT_FALSE(Exists(JoinPaths(lopt, L"TesselMorva.dat")));  // the copy is gone again
    EXPECT_EQ(ReadBytes(CategoryFilePath()), kCategories);
    EXPECT_EQ(ReadBytes(GetExeFilePath()), "Acme - Edit|1.0|OK|C:\\e.exe|C:\\E.EXE\r\n");

    // The user's edits, a further data file, and files that never enter the archive.
    WriteBytes(GetAddFilePath(), "changed\r\n");
    WriteBytes(GetSnapshotFilePath(), "<snapshot/>");
    WriteBytes(JoinPaths(lopt, L"TesselMorva.dat"), "a stray copy of the archive");
    WriteBytes(JoinPaths(lopt, L"readme.txt"), "not data");
    PackFiles();

    EXPECT_EQ(ArchiveMembers(JoinPaths(folder, L"check")),
              (std::vector<std::wstring>{L"TesselAdd.dat", L"TesselAsscSS.xml", L"TesselExe.dat", L"Tesselcat.xml",
                                         L"Tesselma.xml"}));
    EXPECT_EQ(ReadBytes(JoinPaths(folder, L"check\\TesselAdd.dat")), "changed\r\n");
    // The packed files are gone; what is not data keeps the folder.
    EXPECT_FALSE(Exists(GetAddFilePath()));
    EXPECT_TRUE(Exists(JoinPaths(lopt, L"readme.txt")));
    DeleteFileW(JoinPaths(lopt, L"readme.txt").c_str());
    DeleteFileW(JoinPaths(lopt, L"TesselMorva.dat").c_str());

    // The next start finds the packed data.
    ASSERT_TRUE(UnpackFiles());
    EXPECT_EQ(ReadBytes(GetAddFilePath()), "changed\r\n");
    PackFiles();
    EXPECT_FALSE(Exists(lopt));
}

TEST_F(DataArchiveTest, MemberTimesSurviveTheRoundTrip) {
    MakeUsualArchive();
    ASSERT_TRUE(UnpackFiles());
    HANDLE file = CreateFileW(GetExeFilePath().c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                              OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(file, INVALID_HANDLE_VALUE);
    SYSTEMTIME old = {2020, 3, 0, 14, 10, 30, 20, 0};
    FILETIME stamp;
    SystemTimeToFileTime(&old, &stamp);
    SetFileTime(file, nullptr, nullptr, &stamp);
    CloseHandle(file);
    PackFiles();
    ASSERT_TRUE(UnpackFiles());
    WIN32_FILE_ATTRIBUTE_DATA data;
    ASSERT_TRUE(GetFileAttributesExW(GetExeFilePath().c_str(), GetFileExInfoStandard, &data));
    SYSTEMTIME back;
    FileTimeToSystemTime(&data.ftLastWriteTime, &back);
    EXPECT_EQ(back.wYear, 2020);
    EXPECT_EQ(back.wMonth, 3);
    EXPECT_EQ(back.wDay, 14);
    PackFiles();
}

TEST_F(DataArchiveTest, RecoveryFolderKeepsTheWorkingFolder) {
    MakeUsualArchive();
    ASSERT_TRUE(UnpackFiles());
    CreateDirectoryW(GetRecoveryFolder().c_str(), nullptr);
    WriteBytes(GetExeListRecoveryPath(), "\r\nC:\\a.exe\r\n");
    PackFiles();
    EXPECT_TRUE(Exists(GetExeListRecoveryPath()));
    EXPECT_FALSE(Exists(CategoryFilePath()));
    EXPECT_EQ(ArchiveMembers(JoinPaths(folder, L"check")).size(), 4u);  // Exe.lst never enters the archive

    // The next start empties the folder's files but leaves the Recovery folder.
    ASSERT_TRUE(UnpackFiles());
    EXPECT_TRUE(Exists(GetExeListRecoveryPath()));
    PackFiles();
}

TEST_F(DataArchiveTest, FailedUnpackShowsTheMessageAndNothingIsPackedOverTheArchive) {
    struct Case {
        const char* what;
        bool archive;            // false: no archive at all
        std::string damagedWith;  // non-empty: the archive's bytes
        bool withCategories;
    };
    const Case cases[] = {
        {"no archive", false, "", true},
        {"damaged archive", true, "PK\x03\x04 this is not really a zip file", true},
        {"archive without the category file", true, "", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testsupport::RemoveTree(lopt);
        DeleteFileW(GetArchivePath().c_str());
        boxes.shown.clear();
        if (c.archive && c.damagedWith.empty()) {
            if (c.withCategories)
                MakeUsualArchive();
            else
                MakeArchive({{L"Tesselma.xml", kAliases}, {L"TesselAdd.dat", "x\r\n"}});
        } else if (c.archive) {
            WriteBytes(GetArchivePath(), c.damagedWith);
        }
        const std::string before = ReadBytes(GetArchivePath());

        DWORD start = GetTickCount();
        EXPECT_FALSE(UnpackFiles());
        EXPECT_LT(GetTickCount() - start, 5000u);  // the waits are bounded
        EXPECT_EQ(Shown(), std::vector<long>{4521});
        EXPECT_FALSE(WorkingFilesUnpacked());

        // The window unloads at once and packs: the archive stays as it was (or absent).
        WriteBytes(GetAddFilePath(), "partial\r\n");
        PackFiles();
        UpdateArchive();
        EXPECT_EQ(ReadBytes(GetArchivePath()), before);
        EXPECT_EQ(Exists(GetArchivePath()), c.archive);
    }
}

// Troubles of this machine, not of the archive: the message says what went wrong and that the
// archive is fine, never that it should be replaced with the first copy.
TEST_F(DataArchiveTest, ALocalFailureToUnpackLeavesTheArchiveAloneAndSaysSo) {
    // What stands in the working folder where the unpack must write.
    enum Block { Nothing, FolderForAFile, FolderForTheCopy };
    struct Case {
        const char* what;
        bool lockArchive;  // another program holds the archive without sharing it
        Block block;
        const wchar_t* cause;
        bool namesTheFolder;
    };
    const Case cases[] = {
        {"archive held open by another program", true, Nothing, L"holding it open", false},
        {"a working file that cannot be written", false, FolderForAFile, L"could not be written", true},
        // The archive's copy is the first thing written there: a full or unwritable folder
        // fails it before the archive is ever opened.
        {"the archive's copy cannot be written", false, FolderForTheCopy, L"could not be written", true},
    };
    const std::wstring copy = JoinPaths(lopt, L"TesselMorva.dat");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testsupport::RemoveTree(lopt);
        DeleteFileW(GetArchivePath().c_str());
        boxes.shown.clear();
        MakeUsualArchive();
        const std::string before = ReadBytes(GetArchivePath());
        HANDLE locked = INVALID_HANDLE_VALUE;
        if (c.lockArchive)
            locked = CreateFileW(GetArchivePath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (c.block != Nothing) CreateDirectoryW(lopt.c_str(), nullptr);
        if (c.block == FolderForAFile) CreateDirectoryW(JoinPaths(lopt, L"Tesselcat.xml").c_str(), nullptr);
        if (c.block == FolderForTheCopy) CreateDirectoryW(copy.c_str(), nullptr);
        EXPECT_FALSE(UnpackFiles());
        if (locked != INVALID_HANDLE_VALUE) CloseHandle(locked);
        RemoveDirectoryW(JoinPaths(lopt, L"Tesselcat.xml").c_str());
        RemoveDirectoryW(copy.c_str());
        const std::vector<long> numbers = Shown();
        EXPECT_EQ(std::find(numbers.begin(), numbers.end(), 4521), numbers.end());
        ASSERT_EQ(boxes.shown.size(), 1u);
        const std::wstring& prompt = boxes.shown[0].prompt;
        EXPECT_NE(prompt.find(c.cause), std::wstring::npos) << vb::ToAnsi(prompt);
        EXPECT_EQ(prompt.find(lopt) != std::wstring::npos, c.namesTheFolder) << vb::ToAnsi(prompt);
        EXPECT_NE(prompt.find(L"fine"), std::wstring::npos);
        EXPECT_EQ(ReadBytes(GetArchivePath()), before);
        EXPECT_FALSE(WorkingFilesUnpacked());
    }
}

TEST_F(DataArchiveTest, PackingWithoutAnUnpackInThisProcessDoesNothing) {
    MakeUsualArchive();
    const std::string before = ReadBytes(GetArchivePath());
    CreateDirectoryW(lopt.c_str(), nullptr);
    WriteBytes(JoinPaths(lopt, L"TesselAdd.dat"), "someone else's\r\n");
    UseDataFolder(lopt);
    PackFiles();
    EXPECT_EQ(ReadBytes(GetArchivePath()), before);
    EXPECT_TRUE(Exists(JoinPaths(lopt, L"TesselAdd.dat")));
}

TEST_F(DataArchiveTest, AFailedPackKeepsTheOldArchiveAndTheWorkingFiles) {
    MakeUsualArchive();
    const std::string before = ReadBytes(GetArchivePath());
    ASSERT_TRUE(UnpackFiles());
    WriteBytes(GetAddFilePath(), "edited\r\n");
    // Another program holds the edited working file open so that it cannot be read.
    HANDLE locked = CreateFileW(GetAddFilePath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(locked, INVALID_HANDLE_VALUE);
    EXPECT_THROW(PackFiles(), vb::Error);
    CloseHandle(locked);
    EXPECT_EQ(ReadBytes(GetArchivePath()), before);
    EXPECT_EQ(ReadBytes(GetAddFilePath()), "edited\r\n");
    EXPECT_TRUE(WorkingFilesUnpacked());

    // Once the file is free again the pack goes through.
    PackFiles();
    EXPECT_FALSE(Exists(lopt));
    EXPECT_EQ(ArchiveMembers(JoinPaths(folder, L"check")).size(), 4u);
    EXPECT_EQ(ReadBytes(JoinPaths(folder, L"check\\TesselAdd.dat")), "edited\r\n");
}

TEST_F(DataArchiveTest, EverySaveBringsTheArchiveUpToDate) {
    MakeUsualArchive();
    ASSERT_TRUE(UnpackFiles());
    FakeOptionsWindow options;
    GetUserChoices(false);
    ASSERT_EQ(AddList().UBound(), 1);
    AddList().Add(L".doc|Acme - Edit|1.0|OK-A|C:\\e.exe|C:\\E.EXE");
    SaveUserChoices(true);
    EXPECT_TRUE(boxes.shown.empty());
    // The working files stay; the archive already holds the edit.
    EXPECT_TRUE(Exists(GetAddFilePath()));
    EXPECT_EQ(ArchiveMembers(JoinPaths(folder, L"check")),
              (std::vector<std::wstring>{L"TesselAdd.dat", L"TesselDef.dat", L"TesselDel.dat", L"TesselExe.dat",
                                         L"Tesselcat.xml", L"Tesselma.xml"}));
    EXPECT_EQ(ReadBytes(JoinPaths(folder, L"check\\TesselAdd.dat")),
              ".txt|Acme - Edit|1.0|OK-A|C:\\e.exe|C:\\E.EXE\r\n.doc|Acme - Edit|1.0|OK-A|C:\\e.exe|C:\\E.EXE\r\n");
    PackFiles();
}

// The archive cannot be replaced as the window closes (another program holds it open without
// letting it be replaced): the user is told, the working files stay, and the next start packs
// them before it unpacks.
TEST_F(DataArchiveTest, AClosingThatCannotPackSaysSoAndTheNextStartPacksTheWork) {
    struct Case {
        const char* what;
        bool stillHeldAtNextStart;
    };
    const Case cases[] = {{"archive free again at the next start", false},
                          {"archive still held at the next start", true}};
    auto hold = [] {
        return CreateFileW(GetArchivePath().c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testsupport::RemoveTree(lopt);
        DeleteFileW(GetArchivePath().c_str());
        boxes.shown.clear();
        MakeUsualArchive();
        ASSERT_TRUE(UnpackFiles());
        WriteBytes(GetAddFilePath(), "edited\r\n");
        HANDLE held = hold();
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        const std::string before = ReadBytes(GetArchivePath());

        PackFilesOnClose();
        EXPECT_EQ(Shown(), std::vector<long>{4549});
        EXPECT_TRUE(ReadBytes(GetArchivePath()) == before);
        EXPECT_EQ(ReadBytes(GetAddFilePath()), "edited\r\n");
        EXPECT_TRUE(Exists(GetExeFilePath()));

        // The next start.
        boxes.shown.clear();
        if (!c.stillHeldAtNextStart) CloseHandle(held);
        ASSERT_TRUE(UnpackFiles());
        EXPECT_TRUE(WorkingFilesUnpacked());
        EXPECT_EQ(ReadBytes(GetAddFilePath()), "edited\r\n");
        if (c.stillHeldAtNextStart) {
            // Told again; the work goes on with the working files as they stand.
            EXPECT_EQ(Shown(), std::vector<long>{4549});
            EXPECT_TRUE(ReadBytes(GetArchivePath()) == before);
            CloseHandle(held);
        } else {
            EXPECT_TRUE(boxes.shown.empty());
        }
        PackFilesOnClose();
        EXPECT_TRUE(boxes.shown.size() == (c.stillHeldAtNextStart ? 1u : 0u));
        EXPECT_FALSE(Exists(lopt));
        EXPECT_EQ(ArchiveMembers(JoinPaths(folder, L"check")).size(), 4u);
        EXPECT_EQ(ReadBytes(JoinPaths(folder, L"check\\TesselAdd.dat")), "edited\r\n");
        testsupport::RemoveTree(JoinPaths(folder, L"check"));
    }
}

// Working files older than the archive are what an earlier unpack left: the archive already
// holds them, and they go as before.
TEST_F(DataArchiveTest, LeftoverWorkingFilesOlderThanTheArchiveAreDeleted) {
    MakeUsualArchive();
    ASSERT_TRUE(UnpackFiles());
    WriteBytes(GetAddFilePath(), "not saved by the closing\r\n");
    FILETIME old{};
    old.dwHighDateTime = 0x01c00000;  // the 1990s
    HANDLE h = CreateFileW(GetAddFilePath().c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    SetFileTime(h, nullptr, nullptr, &old);
    CloseHandle(h);
    ASSERT_TRUE(UnpackFiles());
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_EQ(ReadBytes(GetAddFilePath()), ".txt|Acme - Edit|1.0|OK-A|C:\\e.exe|C:\\E.EXE\r\n");
    PackFiles();
}

// A working file that vanished during the run (a temp-folder cleaner) keeps its member.
TEST_F(DataArchiveTest, AWorkingFileThatVanishedKeepsItsMember) {
    MakeUsualArchive();
    ASSERT_TRUE(UnpackFiles());
    ASSERT_TRUE(DeleteFileW(GetExeFilePath().c_str()));
    WriteBytes(GetAddFilePath(), "edited\r\n");
    PackFiles();
    EXPECT_EQ(ArchiveMembers(JoinPaths(folder, L"check")),
              (std::vector<std::wstring>{L"TesselAdd.dat", L"TesselExe.dat", L"Tesselcat.xml", L"Tesselma.xml"}));
    EXPECT_EQ(ReadBytes(JoinPaths(folder, L"check\\TesselExe.dat")), "Acme - Edit|1.0|OK|C:\\e.exe|C:\\E.EXE\r\n");
    EXPECT_EQ(ReadBytes(JoinPaths(folder, L"check\\TesselAdd.dat")), "edited\r\n");
}

// A member damaged in the archive after the unpack (a storage fault, a sync tool putting back
// a bad copy) is not carried into the next archive: the save compresses the members afresh
// from the intact working files, and the next start finds every setting.
TEST_F(DataArchiveTest, ASaveHealsAMemberDamagedInTheArchiveSinceTheUnpack) {
    struct Case {
        const char* what;
        bool inPlace;  // a byte flipped where it lies, the archive's size and time kept
    };
    const Case cases[] = {{"a damaged copy written over the archive", false},
                          {"a byte flipped in place, size and time kept", true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testsupport::RemoveTree(lopt);
        AddList().Clear();
        MakeUsualArchive();
        ASSERT_TRUE(UnpackFiles());
        FakeOptionsWindow options;
        GetUserChoices(false);
        {
            std::string bytes = ReadBytes(GetArchivePath());
            std::vector<uint8_t> raw(bytes.begin(), bytes.end());
            std::vector<zip::detail::StoredMember> members;
            ASSERT_EQ(zip::detail::ReadStoredMembers(raw, members), zip::ZipResult::Ok);
            for (const auto& m : members) {
                if (m.name != L"TesselExe.dat") continue;
                const size_t at = m.dataStart + m.packedSize / 2;
                if (c.inPlace) {
                    const FILETIME before = LastWrite(GetArchivePath());
                    ASSERT_TRUE(testsupport::FlipByteKeepingSizeAndTime(GetArchivePath(), at));
                    const FILETIME after = LastWrite(GetArchivePath());
                    ASSERT_EQ(CompareFileTime(&before, &after), 0);
                } else {
                    bytes[at] ^= 0x20;
                    WriteBytes(GetArchivePath(), bytes);
                }
            }
        }
        AddList().Add(L".doc|Acme - Edit|1.0|OK-A|C:\\e.exe|C:\\E.EXE");
        SaveUserChoices(true);
        EXPECT_TRUE(boxes.shown.empty());
        const std::wstring check = JoinPaths(folder, L"check");
        testsupport::RemoveTree(check);
        EXPECT_EQ(ArchiveMembers(check).size(), 6u);
        EXPECT_EQ(ReadBytes(JoinPaths(check, L"TesselExe.dat")), "Acme - Edit|1.0|OK|C:\\e.exe|C:\\E.EXE\r\n");

        // The close and the next start.
        PackFilesOnClose();
        ASSERT_TRUE(UnpackFiles());
        EXPECT_TRUE(boxes.shown.empty());
        EXPECT_EQ(ReadBytes(GetExeFilePath()), "Acme - Edit|1.0|OK|C:\\e.exe|C:\\E.EXE\r\n");
        PackFiles();
    }
}

// A save after which every list and file holds what the last one wrote changes nothing: the
// archive is not written (its bytes and time stay), nor are the working files.
TEST_F(DataArchiveTest, ASaveWithNothingChangedWritesNothing) {
    MakeUsualArchive();
    ASSERT_TRUE(UnpackFiles());
    FakeOptionsWindow options;
    GetUserChoices(false);
    AddList().Add(L".doc|Acme - Edit|1.0|OK-A|C:\\e.exe|C:\\E.EXE");
    SaveUserChoices(true);
    const std::string archive = ReadBytes(GetArchivePath());
    const FILETIME archiveTime = LastWrite(GetArchivePath());
    const FILETIME addTime = LastWrite(GetAddFilePath());

    for (int round = 0; round < 2; ++round) SaveUserChoices(true);
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_TRUE(ReadBytes(GetArchivePath()) == archive);
    const FILETIME archiveNow = LastWrite(GetArchivePath()), addNow = LastWrite(GetAddFilePath());
    EXPECT_EQ(CompareFileTime(&archiveTime, &archiveNow), 0);
    EXPECT_EQ(CompareFileTime(&addTime, &addNow), 0);
    EXPECT_FALSE(Exists(GetArchivePath() + L".new"));

    // The next edit is written, and reaches the archive.
    AddList().RemoveAt(1);
    SaveUserChoices(true);
    EXPECT_FALSE(ReadBytes(GetArchivePath()) == archive);
    EXPECT_EQ(ArchiveMembers(JoinPaths(folder, L"check")).size(), 6u);
    EXPECT_EQ(ReadBytes(JoinPaths(folder, L"check\\TesselAdd.dat")),
              ".doc|Acme - Edit|1.0|OK-A|C:\\e.exe|C:\\E.EXE\r\n");
    PackFiles();
}

// The first save after each start of the options window writes only what changed: what the
// lists, the category file and the alias file held when they were unpacked is known, so an
// unchanged one is neither written again nor packed again, and with nothing changed the
// archive keeps its bytes and its time.
TEST_F(DataArchiveTest, TheFirstSaveAfterAStartWritesOnlyWhatChanged) {
    // Members from an earlier day, as they are when the window opens: a file written again now
    // would carry a new time.
    MakeArchiveOf(ziptest::MakeTime(2021, 3, 4, 5, 6, 7), {{L"Tesselcat.xml", kCategories},
                 {L"Tesselma.xml", kAliases},
                 {L"TesselAdd.dat", ".txt|Acme - Edit|1.0|OK-A|C:\\e.exe|C:\\E.EXE\r\n"},
                 {L"TesselDel.dat", ".htm|Acme - Edit|1.0|OK-R|C:\\e.exe|C:\\E.EXE\r\n"},
                 {L"TesselDef.dat", ""},
                 {L"TesselExe.dat", "Acme - Edit|1.0|OK|C:\\e.exe|C:\\E.EXE\r\n"}});
    const std::vector<std::wstring> names = {L"Tesselcat.xml", L"Tesselma.xml",  L"TesselAdd.dat",
                                             L"TesselDel.dat", L"TesselDef.dat", L"TesselExe.dat"};
    for (int start = 1; start <= 2; ++start) {
        SCOPED_TRACE(testing::Message() << "start " << start);
        ASSERT_TRUE(UnpackFiles());
        FakeOptionsWindow options;
        FakeCategoryWindow window;
        CategoryHost* previous = SetCategoryHost(&window);
        GetUserChoices(false);
        GetAliases();
        CategoriesLoaded() = true;  // an empty tree: the file's very text
        auto times = [&] {
            std::vector<FILETIME> t;
            for (const auto& name : names) t.push_back(LastWrite(JoinPaths(lopt, name)));
            return t;
        };
        auto same = [](const FILETIME& a, const FILETIME& b) { return CompareFileTime(&a, &b) == 0; };
        const std::vector<FILETIME> unpacked = times();
        const std::string archive = ReadBytes(GetArchivePath());
        const FILETIME archiveTime = LastWrite(GetArchivePath());

        SaveUserChoices(true);
        EXPECT_TRUE(boxes.shown.empty());
        std::vector<FILETIME> now = times();
        for (size_t i = 0; i < names.size(); ++i) EXPECT_TRUE(same(unpacked[i], now[i])) << vb::ToAnsi(names[i]);
        EXPECT_TRUE(ReadBytes(GetArchivePath()) == archive) << "the archive was written again";
        EXPECT_TRUE(same(archiveTime, LastWrite(GetArchivePath())));
        EXPECT_FALSE(Exists(GetArchivePath() + L".new"));

        // One list changed: that file alone is written, and the archive holds the change.
        const std::wstring added = L".p" + std::to_wstring(start) + L"|Acme - Edit|1.0|OK-R|C:\\e.exe|C:\\E.EXE";
        RemoveList().Add(added);
        SaveUserChoices(true);
        now = times();
        for (size_t i = 0; i < names.size(); ++i)
            EXPECT_EQ(same(unpacked[i], now[i]), names[i] != L"TesselDel.dat") << vb::ToAnsi(names[i]);
        const std::wstring check = JoinPaths(folder, L"check");
        testsupport::RemoveTree(check);
        EXPECT_EQ(ArchiveMembers(check).size(), names.size());
        EXPECT_NE(ReadBytes(JoinPaths(check, L"TesselDel.dat")).find(vb::ToAnsi(added)), std::string::npos);
        EXPECT_EQ(ReadBytes(JoinPaths(check, L"Tesselma.xml")), kAliases);

        CategoriesLoaded() = false;
        SetCategoryHost(previous);
        PackFiles();
    }
}

// An edit written by the program's own writers gets to the archive even when the file keeps
// its size and the clock's tick leaves its time stamp as it was (set back here by hand).
TEST_F(DataArchiveTest, AnEditWithinOneTickOfTheClockReachesTheArchive) {
    struct Case {
        const char* what;
        std::wstring (*path)();
        void (*write)();
        const char* expected;
    };
    const Case cases[] = {
        {"an override list through its save", GetAddFilePath,
         [] {
             AddList()[1] = L".txt|Acme - Edit|1.0|OK-A|C:\\f.exe|C:\\F.EXE";
             SaveUserChoiceFile(GetAddFilePath(), AddList());
         },
         ".txt|Acme - Edit|1.0|OK-A|C:\\f.exe|C:\\F.EXE\r\n"},
        {"the category file through the text writer", [] { return CategoryFilePath(); },
         [] {
             WriteWorkingFile(CategoryFilePath(),
                                    L"<?xml version=\"1.0\" ?>\r\n<MorvaTessel>\r\n</MorvaTesseL>\r\n");
         },
         "<?xml version=\"1.0\" ?>\r\n<MorvaTessel>\r\n</MorvaTesseL>\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        testsupport::RemoveTree(lopt);
        MakeUsualArchive();
        ASSERT_TRUE(UnpackFiles());
        GetUserChoices(false);
        const std::wstring path = c.path();
        const FILETIME stamp = LastWrite(path);
        const size_t size = ReadBytes(path).size();
        c.write();
        ASSERT_EQ(ReadBytes(path), c.expected);
        ASSERT_EQ(ReadBytes(path).size(), size);
        HANDLE h = CreateFileW(path.c_str(), FILE_WRITE_ATTRIBUTES, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(h, INVALID_HANDLE_VALUE);
        SetFileTime(h, nullptr, nullptr, &stamp);
        CloseHandle(h);

        UpdateArchive();
        const std::wstring check = JoinPaths(folder, L"check");
        testsupport::RemoveTree(check);
        ArchiveMembers(check);
        EXPECT_EQ(ReadBytes(JoinPaths(check, GetFileName(path))), c.expected);
        PackFiles();
    }
}

TEST_F(DataArchiveTest, UnpackIntoAFolderOfItsOwnReportsWhatItWrote) {
    MakeUsualArchive();
    const std::wstring own = JoinPaths(folder, L"own");
    CreateDirectoryW(own.c_str(), nullptr);
    std::vector<std::wstring> written;
    EXPECT_TRUE(UnpackArchiveInto(GetArchivePath(), own, &written));
    EXPECT_EQ(written.size(), 4u);
    EXPECT_FALSE(Exists(JoinPaths(own, L"TesselMorva.dat")));
    EXPECT_TRUE(Exists(JoinPaths(own, L"Tesselcat.xml")));
    EXPECT_FALSE(UnpackArchiveInto(JoinPaths(folder, L"missing.dat"), own));
    EXPECT_TRUE(boxes.shown.empty());
}

}  // namespace
