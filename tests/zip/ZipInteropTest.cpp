// Archives of Info-ZIP zip read by our layer, and ours written for Info-ZIP unzip to check
// (the check runs after this program, see check_written.sh).
#include <gtest/gtest.h>

#include "ChildTest.h"
#include "ZipTestSupport.h"
#include "vb/VbText.h"

using namespace ziptest;
using zip::ZipResult;

namespace {

std::wstring SourceFolder() { return FixturesFolder() + L"\\src"; }

class InfoZipTest : public ::testing::Test {
protected:
    void SetUp() override {
        if (GetFileAttributesW(SourceFolder().c_str()) == INVALID_FILE_ATTRIBUTES)
            GTEST_SKIP() << "no Info-ZIP fixtures: run through ctest, which makes them first";
        folder_ = testsupport::FreshTempFolder(L"zipinterop");
    }
    void TearDown() override {
        if (!folder_.empty()) testsupport::RemoveTree(folder_);
    }
    std::wstring folder_;
};

TEST_F(InfoZipTest, UnpacksTheToolsArchivesWithContentsAndTimes) {
    const wchar_t* archives[] = {
        L"infozip_deflated.zip",  // deflated, data descriptors, timestamp extra field
        L"infozip_stored.zip",    // stored, data descriptors, DOS time only
        L"infozip_streamed.zip",  // written to a pipe
        L"infozip_plain.zip",     // no encryption, no data descriptors
    };
    const auto expected = ListFolder(SourceFolder());
    ASSERT_EQ(5u, expected.size());
    for (const wchar_t* archive : archives) {
        SCOPED_TRACE(testing::Message() << archive);
        std::wstring target = folder_ + L"\\" + archive;
        ASSERT_TRUE(CreateDirectoryW(target.c_str(), nullptr));
        std::vector<std::wstring> written;
        ASSERT_EQ(ZipResult::Ok, zip::UnpackFiles(FixturesFolder() + L"\\" + archive, target, kPassword, &written));
        EXPECT_EQ(expected, ListFolder(target));
        EXPECT_EQ(expected.size(), written.size());
        for (const auto& name : expected) {
            SCOPED_TRACE(testing::Message() << name);
            std::wstring source = SourceFolder() + L"\\" + name, copy = target + L"\\" + name;
            EXPECT_TRUE(std::find(written.begin(), written.end(), copy) != written.end());
            EXPECT_EQ(ReadBytes(source), ReadBytes(copy));
            EXPECT_LE(SecondsApart(Modified(source), Modified(copy)), 2.0);
        }
    }
}

TEST_F(InfoZipTest, UnpacksAPipedMemberWithZip64Records) {
    ASSERT_EQ(ZipResult::Ok, zip::UnpackFiles(FixturesFolder() + L"\\infozip_stdin.zip", folder_, kPassword));
    EXPECT_EQ(std::vector<std::wstring>{L"-"}, ListFolder(folder_));
    EXPECT_EQ(ReadBytes(SourceFolder() + L"\\Tesselcat.xml"), ReadBytes(folder_ + L"\\-"));
}

TEST_F(InfoZipTest, RefusesWrongPasswordsAndWritesNothing) {
    // The check byte lets one wrong password in 256 through to the data, which then fails
    // to inflate or to match its CRC; several passwords make that chance vanish.
    const char* wrong[] = {"wrong", "uwlpkeh+", "UWLpKEh", "UWLpKEh++"};
    for (const wchar_t* archive : {L"infozip_deflated.zip", L"infozip_stored.zip"}) {
        int refusedByCheck = 0;
        for (const char* password : wrong) {
            SCOPED_TRACE(testing::Message() << archive << " " << password);
            ZipResult result = zip::UnpackFiles(FixturesFolder() + L"\\" + archive, folder_, password);
            EXPECT_NE(ZipResult::Ok, result);
            if (result == ZipResult::BadPassword) ++refusedByCheck;
            EXPECT_TRUE(ListFolder(folder_).empty());
        }
        EXPECT_GE(refusedByCheck, 1);
        EXPECT_EQ(ZipResult::BadPassword, zip::UnpackFiles(FixturesFolder() + L"\\" + archive, folder_, ""));
    }
}

TEST_F(InfoZipTest, FlippedByteInAStoredMemberIsACrcMismatch) {
    std::string bytes = ReadBytes(FixturesFolder() + L"\\infozip_stored.zip");
    ASSERT_GT(bytes.size(), 1000000u);
    bytes[bytes.size() / 2] ^= 0x20;  // inside the program list's data
    std::wstring copy = folder_ + L"\\copy.zip", target = folder_ + L"\\out";
    ASSERT_TRUE(WriteBytes(copy, bytes));
    ASSERT_TRUE(CreateDirectoryW(target.c_str(), nullptr));
    EXPECT_EQ(ZipResult::CrcMismatch, zip::UnpackFiles(copy, target, kPassword));
    EXPECT_TRUE(ListFolder(target).empty());
}

// Info-ZIP unzip tests this archive after this program has run.
TEST_F(InfoZipTest, WritesAnArchiveForTheToolToCheck) {
    std::vector<std::wstring> files;
    for (const auto& name : ListFolder(SourceFolder())) files.push_back(SourceFolder() + L"\\" + name);
    std::wstring archive = FixturesFolder() + L"\\written.zip";
    DeleteFileW(archive.c_str());
    ASSERT_EQ(ZipResult::Ok, zip::PackFiles(archive, files, kPassword));
    EXPECT_EQ(ZipResult::Ok, zip::UnpackFiles(archive, folder_, kPassword));
    EXPECT_EQ(ListFolder(SourceFolder()), ListFolder(folder_));
}

// An archive brought up to date after one file changed: Info-ZIP unzip tests it after this
// program has run, like the one above.
TEST_F(InfoZipTest, WritesAnUpdatedArchiveForTheToolToCheck) {
    std::vector<std::wstring> files, older;
    for (const auto& name : ListFolder(SourceFolder())) {
        files.push_back(SourceFolder() + L"\\" + name);
        older.push_back(files.back());
    }
    // The archive as it was before the category file changed.
    older[0] = folder_ + L"\\" + ListFolder(SourceFolder())[0];
    ASSERT_TRUE(WriteBytes(older[0], "an older version\r\n"));
    std::wstring archive = FixturesFolder() + L"\\updated.zip";
    DeleteFileW(archive.c_str());
    ASSERT_EQ(ZipResult::Ok, zip::PackFiles(archive, older, kPassword));
    size_t copied = 0;
    ASSERT_EQ(ZipResult::Ok, zip::UpdateFiles(archive, files, kPassword, false, &copied));
    EXPECT_EQ(files.size() - 1, copied);
}

// An update that keeps the members no file replaces keeps every one the reader accepts,
// whatever its form: the tool's unencrypted member beside encrypted ones, data descriptors
// with the time's check byte (the tool's) or with the CRC's (another writer's).
TEST_F(InfoZipTest, AnUpdateKeepsEveryMemberTheReaderAccepts) {
    std::vector<std::wstring> sources;
    for (const auto& name : ListFolder(SourceFolder())) sources.push_back(SourceFolder() + L"\\" + name);
    const std::wstring ours = folder_ + L"\\ours.zip";
    ASSERT_EQ(ZipResult::Ok, zip::PackFiles(ours, sources, kPassword));
    std::string descriptorsWithCrcByte = ReadBytes(ours);
    for (size_t p = 0; p + 4 <= descriptorsWithCrcByte.size(); ++p) {
        const std::string sig = descriptorsWithCrcByte.substr(p, 4);
        if (sig == std::string("PK\x03\x04", 4)) descriptorsWithCrcByte[p + 6] |= 0x08;
        if (sig == std::string("PK\x01\x02", 4)) descriptorsWithCrcByte[p + 8] |= 0x08;
    }

    struct Case {
        const char* what;
        std::string bytes;
        const wchar_t* checkedName;  // for Info-ZIP unzip to test afterwards; nullptr: not its kind
    };
    const Case cases[] = {
        {"the tool's encrypted members and an unencrypted one",
         ReadBytes(FixturesFolder() + L"\\infozip_mixed.zip"), L"checked_mixed.zip"},
        {"the tool's data descriptors", ReadBytes(FixturesFolder() + L"\\infozip_deflated.zip"),
         L"checked_descriptors.zip"},
        {"data descriptors with the CRC's check byte", descriptorsWithCrcByte, nullptr},
    };
    const std::wstring added = folder_ + L"\\TesselDel.dat";
    ASSERT_TRUE(WriteBytes(added, ".txt|removed\r\n"));
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        ASSERT_GT(c.bytes.size(), 1000u);
        const std::wstring archive = folder_ + L"\\TesselMorva.dat";
        ASSERT_TRUE(WriteBytes(archive, c.bytes));
        std::vector<zip::MemberData> before, after;
        std::vector<std::wstring> namesBefore, namesAfter;
        ASSERT_EQ(ZipResult::Ok, zip::ReadMembers(archive, kPassword, {}, before, &namesBefore));
        ASSERT_EQ(ZipResult::Ok, zip::ReadMembers(archive, kPassword, namesBefore, before));

        size_t copied = 0;
        ASSERT_EQ(ZipResult::Ok, zip::UpdateFiles(archive, {added}, kPassword, true, &copied));
        EXPECT_EQ(namesBefore.size(), copied);
        ASSERT_EQ(ZipResult::Ok, zip::ReadMembers(archive, kPassword, namesBefore, after, &namesAfter));
        EXPECT_EQ(namesBefore.size() + 1, namesAfter.size());
        EXPECT_EQ(before.size(), after.size());
        for (size_t i = 0; i < before.size() && i < after.size(); ++i) {
            EXPECT_EQ(before[i].name, after[i].name);
            EXPECT_TRUE(before[i].data == after[i].data) << vb::ToAnsi(before[i].name);
        }
        // And everything unpacks, the added file too.
        const std::wstring target = folder_ + L"\\unpacked";
        testsupport::RemoveTree(target);
        ASSERT_TRUE(CreateDirectoryW(target.c_str(), nullptr));
        ASSERT_EQ(ZipResult::Ok, zip::UnpackFiles(archive, target, kPassword));
        EXPECT_EQ(ReadBytes(added), ReadBytes(target + L"\\TesselDel.dat"));
        if (c.checkedName) {
            EXPECT_TRUE(CopyFileW(archive.c_str(), (FixturesFolder() + L"\\" + c.checkedName).c_str(), FALSE));
        }
    }
}

// The tool's archives unpacked as the options window unpacks its data, then brought up to date
// while the working files meet their members as a user's machine lets them: every encrypted
// member of the tool carries a data descriptor, whose check byte comes from its time, so a
// member whose file changed only its time cannot be copied under the new time. A first update
// that fails, or a copy of the archive put back, must not leave the next one trusting what it
// did not read. After each row every member unpacks to the bytes of its source, which are the
// working file's too; Info-ZIP unzip tests each result after this program has run.
TEST_F(InfoZipTest, EveryUpdateOfTheToolsArchiveHoldsTheWorkingFilesWhole) {
    enum class Step { TimeOnly, FolderInTheWay, HeldOpen, OlderCopyPutBack };
    const struct {
        Step step;
        const char* what;
        const wchar_t* tag;
    } steps[] = {
        {Step::TimeOnly, "a working file changed its time but not its bytes", L"time"},
        {Step::FolderInTheWay, "a folder in the way of the first update's new archive, then a second", L"folder"},
        {Step::HeldOpen, "the archive held open without sharing by another process, then a second", L"held"},
        {Step::OlderCopyPutBack, "an older copy of the archive put back between two updates", L"putback"},
    };
    const struct {
        const wchar_t* file;
        const wchar_t* tag;
    } fixtures[] = {{L"infozip_deflated.zip", L"deflated"}, {L"infozip_stored.zip", L"stored"}};
    const auto names = ListFolder(SourceFolder());
    int row = 0;
    for (const auto& fixture : fixtures) {
        for (const auto& s : steps) {
            SCOPED_TRACE(testing::Message() << vb::ToAnsi(fixture.file) << ": " << s.what);
            const std::wstring place = folder_ + L"\\row" + std::to_wstring(++row);
            const std::wstring work = place + L"\\work", archive = place + L"\\TesselMorva.dat";
            ASSERT_TRUE(CreateDirectoryW(place.c_str(), nullptr));
            ASSERT_TRUE(CreateDirectoryW(work.c_str(), nullptr));
            ASSERT_TRUE(CopyFileW((FixturesFolder() + L"\\" + fixture.file).c_str(), archive.c_str(), FALSE));
            ASSERT_EQ(ZipResult::Ok, zip::UnpackFiles(archive, work, kPassword));
            std::vector<std::wstring> files;
            for (const auto& name : names) files.push_back(work + L"\\" + name);

            // A save wrote the alias file again with the same text: a new time, the same bytes.
            const std::wstring touched = work + L"\\Tesselma.xml";
            ASSERT_TRUE(SetModified(touched, MakeTime(2024, 5, 6, 7, 8, 9)));

            switch (s.step) {
                case Step::TimeOnly:
                    ASSERT_EQ(ZipResult::Ok, zip::UpdateFiles(archive, files, kPassword, true));
                    break;
                case Step::FolderInTheWay: {
                    const std::wstring fresh = archive + L".new";
                    ASSERT_TRUE(CreateDirectoryW(fresh.c_str(), nullptr));
                    EXPECT_NE(ZipResult::Ok, zip::UpdateFiles(archive, files, kPassword, true));
                    ASSERT_TRUE(RemoveDirectoryW(fresh.c_str()));
                    ASSERT_EQ(ZipResult::Ok, zip::UpdateFiles(archive, files, kPassword, true));
                    break;
                }
                case Step::HeldOpen: {
                    {
                        testsupport::FileHeldElsewhere held(archive, L"HeldFileChild.DISABLED_HoldTheFile");
                        ASSERT_TRUE(held.Holding());
                        EXPECT_NE(ZipResult::Ok, zip::UpdateFiles(archive, files, kPassword, true));
                    }
                    ASSERT_EQ(ZipResult::Ok, zip::UpdateFiles(archive, files, kPassword, true));
                    break;
                }
                case Step::OlderCopyPutBack: {
                    // A backup or sync program keeps a copy and later puts it back, time and all.
                    const std::wstring kept = place + L"\\kept.dat";
                    ASSERT_TRUE(CopyFileW(archive.c_str(), kept.c_str(), FALSE));
                    ASSERT_EQ(ZipResult::Ok, zip::UpdateFiles(archive, files, kPassword, true));
                    ASSERT_TRUE(CopyFileW(kept.c_str(), archive.c_str(), FALSE));
                    ASSERT_TRUE(SetModified(archive, Modified(kept)));
                    ASSERT_EQ(ZipResult::Ok, zip::UpdateFiles(archive, files, kPassword, true));
                    break;
                }
            }

            std::vector<zip::MemberData> read;
            std::vector<std::wstring> memberNames;
            // Checked with EXPECT from here on, so that every row shows what it found.
            EXPECT_EQ(ZipResult::Ok, zip::ReadMembers(archive, kPassword, names, read, &memberNames));
            EXPECT_EQ(names.size(), memberNames.size());
            EXPECT_EQ(names.size(), read.size());
            for (const auto& member : read) {
                SCOPED_TRACE(vb::ToAnsi(member.name));
                const std::string bytes(member.data.begin(), member.data.end());
                EXPECT_TRUE(bytes == ReadBytes(SourceFolder() + L"\\" + member.name));
                EXPECT_TRUE(bytes == ReadBytes(work + L"\\" + member.name));
            }
            const std::wstring check = place + L"\\check";
            EXPECT_TRUE(CreateDirectoryW(check.c_str(), nullptr));
            EXPECT_EQ(ZipResult::Ok, zip::UnpackFiles(archive, check, kPassword));
            EXPECT_LE(SecondsApart(MakeTime(2024, 5, 6, 7, 8, 9), Modified(check + L"\\Tesselma.xml")), 2.0);
            EXPECT_TRUE(CopyFileW(archive.c_str(),
                                  (FixturesFolder() + L"\\checked_" + fixture.tag + L"_" + s.tag + L".zip").c_str(),
                                  FALSE));
        }
    }
}

// The other process of the rows above that hold the archive open (run only by them).
TEST(HeldFileChild, DISABLED_HoldTheFile) { testsupport::HoldTheFileAsAsked(); }

}  // namespace
