// Packing and unpacking with real files in a temporary folder: the round trip, and every kind
// of bad archive or failed write ending cleanly with nothing written.
#include <gtest/gtest.h>

#include <map>

#include "FileDamage.h"
#include "ZipTestSupport.h"
#include "zip/ZipReader.h"

using namespace ziptest;
using zip::ZipResult;

namespace {

// Text that compresses like the program list does.
std::string ProgramLines(int count) {
    std::string text;
    for (int i = 1; i <= count; ++i) {
        std::string n = std::to_string(i);
        text += "C:\\Program Files\\Vendor" + n + "\\App" + n + ".exe|APP" + n + "~1.EXE|Vendor " + n + "|Product " +
                n + "|1.2.3." + n + "\r\n";
    }
    return text;
}

// Bytes deflate cannot shrink.
std::string NoiseBytes(size_t count) {
    std::string bytes(count, '\0');
    uint32_t x = 2463534242u;
    for (auto& b : bytes) {
        x ^= x << 13, x ^= x >> 17, x ^= x << 5;
        b = static_cast<char>(x >> 24);
    }
    return bytes;
}

class ZipArchiveTest : public ::testing::Test {
protected:
    void SetUp() override {
        root_ = testsupport::FreshTempFolder(L"ziparchive");
        source_ = root_ + L"\\source";
        data_ = root_ + L"\\Data";
        target_ = root_ + L"\\target";
        for (const auto& f : {source_, data_, target_}) CreateDirectoryW(f.c_str(), nullptr);
        archive_ = data_ + L"\\TesselMorva.dat";
    }
    void TearDown() override { testsupport::RemoveTree(root_); }

    std::wstring AddSource(const std::wstring& name, const std::string& bytes, const FILETIME& time) {
        std::wstring path = source_ + L"\\" + name;
        EXPECT_TRUE(WriteBytes(path, bytes));
        EXPECT_TRUE(SetModified(path, time));
        return path;
    }

    // A sound archive of two members, packed by the code under test.
    std::string PackedArchive() {
        std::vector<std::wstring> files = {
            AddSource(L"Tesselcat.xml", "<Categories/>\r\n", MakeTime(2020, 1, 2, 3, 4, 6)),
            AddSource(L"TesselExe.dat", ProgramLines(3000), MakeTime(2019, 6, 15, 10, 20, 30)),
        };
        EXPECT_EQ(ZipResult::Ok, zip::PackFiles(archive_, files, kPassword));
        return ReadBytes(archive_);
    }

    // Unpacks the given bytes into the empty target folder.
    ZipResult UnpackBytes(const std::string& bytes, const std::string& password = kPassword) {
        std::wstring path = root_ + L"\\bad.zip";
        EXPECT_TRUE(WriteBytes(path, bytes));
        std::vector<std::wstring> written = {L"stale"};
        ZipResult result = zip::UnpackFiles(path, target_, password, &written);
        if (result != ZipResult::Ok) {
            EXPECT_TRUE(written.empty());
        }
        return result;
    }

    std::wstring root_, source_, data_, target_, archive_;
};

TEST_F(ZipArchiveTest, RoundTripKeepsNamesContentsAndTimes) {
    struct File {
        std::wstring name;
        std::string bytes;
        FILETIME time;
    };
    const std::vector<File> files = {
        {L"Tesselcat.xml", "<?xml version=\"1.0\"?>\r\n<Categories/>\r\n", MakeTime(2020, 1, 2, 3, 4, 5)},
        {L"TesselExe.dat", ProgramLines(20000), MakeTime(2019, 6, 15, 10, 20, 31)},
        {L"TesselAdd.dat", "", MakeTime(2021, 7, 8, 9, 10, 12)},
        {L"Noise.dat", NoiseBytes(4 << 20), MakeTime(2024, 2, 29, 23, 59, 58)},
        {L"T\u00e4ssel.xml", "<Aliases/>", MakeTime(1999, 12, 31, 12, 0, 0)},
    };
    std::vector<std::wstring> paths;
    for (const auto& f : files) paths.push_back(AddSource(f.name, f.bytes, f.time));
    ASSERT_EQ(ZipResult::Ok, zip::PackFiles(archive_, paths, kPassword));
    EXPECT_EQ(std::vector<std::wstring>{L"TesselMorva.dat"}, ListFolder(data_));  // no temporary file left

    std::vector<std::wstring> written;
    ASSERT_EQ(ZipResult::Ok, zip::UnpackFiles(archive_, target_, kPassword, &written));
    ASSERT_EQ(files.size(), written.size());
    for (size_t i = 0; i < files.size(); ++i) {
        SCOPED_TRACE(testing::Message() << i);
        EXPECT_EQ(target_ + L"\\" + files[i].name, written[i]);
        EXPECT_TRUE(ReadBytes(written[i]) == files[i].bytes);
        EXPECT_LE(SecondsApart(files[i].time, Modified(written[i])), 2.0);
    }
    EXPECT_EQ(files.size(), ListFolder(target_).size());
}

TEST_F(ZipArchiveTest, UnpackReplacesFilesOfAnEarlierRunAndLeavesOthers) {
    PackedArchive();
    ASSERT_TRUE(WriteBytes(target_ + L"\\Tesselcat.xml", "old"));
    ASSERT_TRUE(WriteBytes(target_ + L"\\Other.txt", "other"));
    ASSERT_EQ(ZipResult::Ok, zip::UnpackFiles(archive_, target_, kPassword));
    EXPECT_EQ("<Categories/>\r\n", ReadBytes(target_ + L"\\Tesselcat.xml"));
    EXPECT_EQ("other", ReadBytes(target_ + L"\\Other.txt"));
    EXPECT_EQ((std::vector<std::wstring>{L"Other.txt", L"TesselExe.dat", L"Tesselcat.xml"}), ListFolder(target_));
}

// Text of the given size that names its member on every line, so that bytes of one member
// found in another show.
std::string MemberText(const std::string& member, size_t size) {
    std::string text;
    for (int line = 0; text.size() < size; ++line) text += member + " line " + std::to_string(line) + "\r\n";
    text.resize(size);
    return text;
}

// Archives of members of very different sizes (empty, one byte, around and across the pieces
// the bytes are inflated in, several megabytes), unpacked and read one after another into the
// same folder: every file and every member read holds exactly its own bytes.
TEST_F(ZipArchiveTest, MembersOfEverySizeComeOutWholeOneArchiveAfterAnother) {
    constexpr size_t kPiece = 64 * 1024;
    using Members = std::vector<std::pair<std::wstring, std::string>>;
    const Members archives[] = {
        {{L"A.dat", ProgramLines(30000)}, {L"B.dat", "b"}, {L"C.dat", ""}},
        {{L"A.dat", "a"}, {L"B.dat", MemberText("B", kPiece - 1)}, {L"C.dat", MemberText("C", kPiece)},
         {L"D.xml", MemberText("D", kPiece + 1)}},
        {{L"A.dat", NoiseBytes(3 * kPiece + 17)}, {L"B.dat", MemberText("B2", 2 * kPiece)}, {L"C.dat", ""},
         {L"D.xml", "<d/>"}},
        {{L"D.xml", MemberText("D2", 5 * kPiece + 3)}, {L"A.dat", "last"}},
    };
    int round = 0;
    for (const Members& members : archives) {
        SCOPED_TRACE(testing::Message() << "archive " << round);
        const std::wstring folder = source_ + L"\\" + std::to_wstring(round++);
        ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
        std::vector<std::wstring> paths, wanted;
        for (const auto& [name, bytes] : members) {
            paths.push_back(folder + L"\\" + name);
            wanted.push_back(name);
            ASSERT_TRUE(WriteBytes(paths.back(), bytes));
        }
        ASSERT_EQ(ZipResult::Ok, zip::PackFiles(archive_, paths, kPassword));

        ASSERT_EQ(ZipResult::Ok, zip::UnpackFiles(archive_, target_, kPassword));
        std::vector<zip::MemberData> read;
        ASSERT_EQ(ZipResult::Ok, zip::ReadMembers(archive_, kPassword, wanted, read));
        ASSERT_EQ(members.size(), read.size());
        for (size_t i = 0; i < members.size(); ++i) {
            SCOPED_TRACE(members[i].first);
            const std::string unpacked = ReadBytes(target_ + L"\\" + members[i].first);
            EXPECT_EQ(members[i].second.size(), unpacked.size());
            EXPECT_TRUE(unpacked == members[i].second);
            EXPECT_EQ(members[i].first, read[i].name);
            EXPECT_TRUE(std::string(read[i].data.begin(), read[i].data.end()) == members[i].second);
        }
    }
    // No temporary file is left beside them.
    EXPECT_EQ((std::vector<std::wstring>{L"A.dat", L"B.dat", L"C.dat", L"D.xml"}), ListFolder(target_));

    // Stored members (as other tools write small or incompressible files) the same way.
    const std::string stored = BuildRawZip({{"A.dat", MemberText("S", kPiece + 5)}, {"B.dat", ""}, {"C.dat", "c"}});
    ASSERT_EQ(ZipResult::Ok, UnpackBytes(stored));
    EXPECT_TRUE(ReadBytes(target_ + L"\\A.dat") == MemberText("S", kPiece + 5));
    EXPECT_EQ("", ReadBytes(target_ + L"\\B.dat"));
    EXPECT_EQ("c", ReadBytes(target_ + L"\\C.dat"));
}

TEST_F(ZipArchiveTest, PasswordsOfOurOwnArchives) {
    std::string bytes = PackedArchive();
    ASSERT_GT(bytes.size(), 8u);
    EXPECT_EQ(1, bytes[6] & 1);  // encrypted
    EXPECT_EQ(ZipResult::BadPassword, UnpackBytes(bytes, ""));
    int refusedByCheck = 0;
    for (const char* password : {"wrong", "uwlpkeh+", "UWLpKEh", "UWLpKEh++"}) {
        ZipResult result = UnpackBytes(bytes, password);
        EXPECT_NE(ZipResult::Ok, result) << password;
        if (result == ZipResult::BadPassword) ++refusedByCheck;
    }
    EXPECT_GE(refusedByCheck, 1);
    EXPECT_TRUE(ListFolder(target_).empty());

    // No password: plain members, which any password reads.
    std::wstring plain = data_ + L"\\plain.zip";
    ASSERT_EQ(ZipResult::Ok, zip::PackFiles(plain, {source_ + L"\\Tesselcat.xml"}, ""));
    EXPECT_EQ(0, ReadBytes(plain)[6] & 1);
    EXPECT_EQ(ZipResult::Ok, zip::UnpackFiles(plain, target_, ""));
    EXPECT_EQ(ZipResult::Ok, zip::UnpackFiles(plain, target_, kPassword));
}

TEST_F(ZipArchiveTest, DamagedArchivesWriteNothing) {
    const std::string good = PackedArchive();
    const size_t size = good.size();
    ASSERT_GT(size, 1000u);
    auto flipped = [&](size_t at) {
        std::string b = good;
        b[at] ^= 0x01;
        return b;
    };
    auto withDirectoryOffset = [&](uint32_t offset) {
        std::string b = good;
        for (int i = 0; i < 4; ++i) b[size - 6 + i] = static_cast<char>((offset >> (8 * i)) & 0xff);
        return b;
    };
    struct Case {
        const char* what;
        std::string bytes;
        ZipResult expected;  // Ok: any failure will do
    };
    const Case cases[] = {
        {"empty file", "", ZipResult::NotZip},
        {"not an archive", "just some text, nothing like an archive at all", ZipResult::NotZip},
        {"cut in half", good.substr(0, size / 2), ZipResult::NotZip},
        {"last byte cut", good.substr(0, size - 1), ZipResult::NotZip},
        {"end record only", good.substr(size - 22), ZipResult::Damaged},
        {"directory offset past the end", withDirectoryOffset(static_cast<uint32_t>(size)), ZipResult::Damaged},
        {"directory offset moved", withDirectoryOffset(10), ZipResult::Damaged},
        {"local header signature", flipped(0), ZipResult::Damaged},
        {"member data", flipped(size / 3), ZipResult::Ok},
        {"encryption header", flipped(30 + 13 + 9 + 3), ZipResult::Ok},
        {"last data byte", flipped(size - 22 - 2 * 46 - 26 - 2 * 9 - 1), ZipResult::Ok},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        ZipResult result = UnpackBytes(c.bytes);
        if (c.expected == ZipResult::Ok)
            EXPECT_NE(ZipResult::Ok, result);
        else
            EXPECT_EQ(c.expected, result);
        EXPECT_TRUE(ListFolder(target_).empty());
    }
}

TEST_F(ZipArchiveTest, CrcMismatchWritesNothing) {
    RawMember good{"Tesselcat.xml", "<Categories/>"};
    RawMember spoilt{"TesselExe.dat", "a|b|c|d|e\r\n"};
    spoilt.crcXor = 0x100;
    EXPECT_EQ(ZipResult::Ok, UnpackBytes(BuildRawZip({good})));  // the builder itself is sound
    ASSERT_EQ(1u, ListFolder(target_).size());
    DeleteFileW((target_ + L"\\Tesselcat.xml").c_str());
    EXPECT_EQ(ZipResult::CrcMismatch, UnpackBytes(BuildRawZip({good, spoilt})));
    EXPECT_TRUE(ListFolder(target_).empty());
}

TEST_F(ZipArchiveTest, UnsafeNamesWriteNothingAnywhere) {
    RawMember bad;
    bad.data = "evil";
    const std::pair<std::string, uint16_t> names[] = {
        {"../evil.dat", 0},  {"..\\evil.dat", 0}, {"sub/evil.dat", 0}, {"sub\\evil.dat", 0},
        {"/evil.dat", 0},    {"\\evil.dat", 0},   {"C:evil.dat", 0},   {"C:\\evil.dat", 0},
        {"", 0},             {"..", 0},           {".", 0},            {"sub/", 0},
        {"nul.dat", 0},      {"CON", 0},          {"com1.xml", 0},     {"evil.dat.", 0},
        {"evil.dat ", 0},    {"a?.dat", 0},       {"tab\t.dat", 0},    {std::string("nul\0.dat", 8), 0},
        {"\xff\xfe.dat", 0x800},  // not UTF-8, though flagged so
    };
    for (const auto& [name, flags] : names) {
        SCOPED_TRACE(testing::Message() << "name [" << name << "]");
        bad.name = name;
        bad.flags = flags;
        EXPECT_EQ(ZipResult::UnsafeName, UnpackBytes(BuildRawZip({{"Tesselcat.xml", "<Categories/>"}, bad})));
        EXPECT_TRUE(ListFolder(target_).empty());
    }
    // Two members for one file.
    EXPECT_EQ(ZipResult::UnsafeName, UnpackBytes(BuildRawZip({{"Tesselcat.xml", "a"}, {"TESSELCAT.XML", "b"}})));
    // Nothing outside the target folder either.
    EXPECT_EQ((std::vector<std::wstring>{L"Data", L"bad.zip", L"source", L"target"}), ListFolder(root_));
}

TEST_F(ZipArchiveTest, UnsupportedArchivesWriteNothing) {
    auto member = [](uint16_t method, uint16_t flags) {
        RawMember m{"TesselExe.dat", "a|b|c|d|e\r\n"};
        m.method = method;
        m.flags = flags;
        return m;
    };
    RawMember saturated = member(0, 0);
    saturated.saturatedSizes = true;
    const RawMember first{"Tesselcat.xml", "<Categories/>"};
    struct Case {
        const char* what;
        std::string bytes;
    };
    const Case cases[] = {
        {"bzip2", BuildRawZip({first, member(12, 0)})},
        {"LZMA", BuildRawZip({first, member(14, 0)})},
        {"AES", BuildRawZip({first, member(99, 1)})},
        {"Deflate64", BuildRawZip({first, member(9, 0)})},
        {"strong encryption", BuildRawZip({first, member(0, 0x41)})},
        {"masked local headers", BuildRawZip({first, member(0, 0x2000)})},
        {"ZIP64 sizes", BuildRawZip({first, saturated})},
        {"ZIP64 member count", BuildRawZip({first}, RawEnd{0, true})},
        {"split archive", BuildRawZip({first}, RawEnd{1, false})},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(ZipResult::Unsupported, UnpackBytes(c.bytes));
        EXPECT_TRUE(ListFolder(target_).empty());
    }
}

TEST_F(ZipArchiveTest, MissingArchiveOrFolder) {
    EXPECT_EQ(ZipResult::CannotOpen, zip::UnpackFiles(data_ + L"\\missing.dat", target_, kPassword));
    EXPECT_EQ(ZipResult::CannotOpen, zip::UnpackFiles(data_, target_, kPassword));  // a folder
    PackedArchive();
    EXPECT_EQ(ZipResult::WriteFailed, zip::UnpackFiles(archive_, root_ + L"\\missing", kPassword));
    EXPECT_EQ(ZipResult::WriteFailed, zip::UnpackFiles(archive_, archive_, kPassword));  // a file
}

TEST_F(ZipArchiveTest, AFailedUnpackRemovesWhatItWrote) {
    PackedArchive();
    // The second member cannot take its place: a folder has its name.
    ASSERT_TRUE(CreateDirectoryW((target_ + L"\\TesselExe.dat").c_str(), nullptr));
    std::vector<std::wstring> written;
    EXPECT_EQ(ZipResult::WriteFailed, zip::UnpackFiles(archive_, target_, kPassword, &written));
    EXPECT_TRUE(written.empty());
    EXPECT_EQ(std::vector<std::wstring>{L"TesselExe.dat"}, ListFolder(target_));

    // A file that the first member had replaced is put back as it was.
    ASSERT_TRUE(WriteBytes(target_ + L"\\Tesselcat.xml", "the user's own"));
    EXPECT_EQ(ZipResult::WriteFailed, zip::UnpackFiles(archive_, target_, kPassword, &written));
    EXPECT_EQ(ReadBytes(target_ + L"\\Tesselcat.xml"), "the user's own");
    EXPECT_EQ((std::vector<std::wstring>{L"TesselExe.dat", L"Tesselcat.xml"}), ListFolder(target_));
}

TEST_F(ZipArchiveTest, NoFilesNoArchive) {
    EXPECT_EQ(ZipResult::NoFiles, zip::PackFiles(archive_, {}, kPassword));
    EXPECT_TRUE(ListFolder(data_).empty());
    const std::string old = PackedArchive();
    EXPECT_EQ(ZipResult::NoFiles, zip::PackFiles(archive_, {}, kPassword));
    EXPECT_EQ(old, ReadBytes(archive_));
}

TEST_F(ZipArchiveTest, AFailedPackLeavesTheOldArchiveWhole) {
    const std::string old = PackedArchive();
    const std::wstring cat = source_ + L"\\Tesselcat.xml";
    const std::wstring other = root_ + L"\\Tesselcat.xml";
    ASSERT_TRUE(WriteBytes(other, "x"));
    struct Case {
        const char* what;
        std::vector<std::wstring> files;
        ZipResult expected;
    };
    const Case cases[] = {
        {"a file is missing", {cat, source_ + L"\\missing.dat"}, ZipResult::ReadFailed},
        {"a file is a folder", {cat, target_}, ZipResult::ReadFailed},
        {"two files of one name", {cat, other}, ZipResult::UnsafeName},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(c.expected, zip::PackFiles(archive_, c.files, kPassword));
        EXPECT_EQ(old, ReadBytes(archive_));
        EXPECT_EQ(std::vector<std::wstring>{L"TesselMorva.dat"}, ListFolder(data_));
    }

    // A file to pack that another program holds locked.
    HANDLE locked = CreateFileW(cat.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(INVALID_HANDLE_VALUE, locked);
    EXPECT_EQ(ZipResult::ReadFailed, zip::PackFiles(archive_, {cat}, kPassword));
    CloseHandle(locked);
    EXPECT_EQ(old, ReadBytes(archive_));
    EXPECT_EQ(std::vector<std::wstring>{L"TesselMorva.dat"}, ListFolder(data_));

    // The archive's place is taken by a folder, or its folder is missing.
    const std::wstring blocked = root_ + L"\\blocked";
    ASSERT_TRUE(CreateDirectoryW(blocked.c_str(), nullptr));
    ASSERT_TRUE(CreateDirectoryW((blocked + L"\\TesselMorva.dat").c_str(), nullptr));
    EXPECT_EQ(ZipResult::WriteFailed, zip::PackFiles(blocked + L"\\TesselMorva.dat", {cat}, kPassword));
    EXPECT_EQ(std::vector<std::wstring>{L"TesselMorva.dat"}, ListFolder(blocked));
    EXPECT_EQ(ZipResult::WriteFailed, zip::PackFiles(root_ + L"\\missing\\TesselMorva.dat", {cat}, kPassword));
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesW((root_ + L"\\missing").c_str()));
}

// A writer that announces a data descriptor but still puts the CRC's high byte (not the
// time's) at the end of the encryption header: the password check accepts either.
TEST_F(ZipArchiveTest, ACheckByteFromTheCrcIsAcceptedWithADataDescriptor) {
    std::string bytes = PackedArchive();
    for (size_t p = 0; p + 4 <= bytes.size(); ++p) {
        const std::string sig = bytes.substr(p, 4);
        if (sig == std::string("PK\x03\x04", 4)) bytes[p + 6] |= 0x08;
        if (sig == std::string("PK\x01\x02", 4)) bytes[p + 8] |= 0x08;
    }
    EXPECT_EQ(ZipResult::Ok, UnpackBytes(bytes));
    EXPECT_EQ(ReadBytes(source_ + L"\\TesselExe.dat"), ReadBytes(target_ + L"\\TesselExe.dat"));
    testsupport::RemoveTree(target_);
    CreateDirectoryW(target_.c_str(), nullptr);
    EXPECT_NE(ZipResult::Ok, UnpackBytes(bytes, "wrong"));
}

TEST_F(ZipArchiveTest, EveryResultHasAText) {
    // A value outside the enumeration gets the fallback; no real result may.
    const std::wstring fallback = zip::ZipResultText(static_cast<ZipResult>(-1));
    for (int r = static_cast<int>(ZipResult::Ok); r <= static_cast<int>(ZipResult::WriteFailed); ++r) {
        const std::wstring text = zip::ZipResultText(static_cast<ZipResult>(r));
        EXPECT_NE(text, fallback) << r;
        EXPECT_GT(text.size(), 10u) << r;
    }
}

// The stored bytes (encryption header and compressed data) of each member, by name.
std::map<std::wstring, std::string> StoredBytes(const std::string& archive) {
    std::vector<uint8_t> bytes(archive.begin(), archive.end());
    std::vector<zip::detail::StoredMember> members;
    EXPECT_EQ(ZipResult::Ok, zip::detail::ReadStoredMembers(bytes, members));
    std::map<std::wstring, std::string> stored;
    for (const auto& m : members) stored[m.name] = archive.substr(m.dataStart, m.packedSize);
    return stored;
}

TEST_F(ZipArchiveTest, AnUpdateCopiesUnchangedMembersAndCompressesOnlyTheChangedOne) {
    const std::wstring cat = AddSource(L"Tesselcat.xml", "<Categories/>\r\n", MakeTime(2020, 1, 2, 3, 4, 6));
    const std::wstring exe = AddSource(L"TesselExe.dat", ProgramLines(3000), MakeTime(2019, 6, 15, 10, 20, 30));
    const std::wstring add = AddSource(L"TesselAdd.dat", ".txt|a\r\n", MakeTime(2021, 3, 4, 5, 6, 8));
    ASSERT_EQ(ZipResult::Ok, zip::PackFiles(archive_, {cat, exe, add}, kPassword));
    const auto before = StoredBytes(ReadBytes(archive_));

    // One list changed; the category file written again with the same bytes (a new time), as
    // the program's writers do it: they tell the archive layer what the file now holds.
    ASSERT_TRUE(WriteBytes(add, ".txt|a\r\n.doc|b\r\n"));
    ASSERT_TRUE(SetModified(add, MakeTime(2023, 5, 6, 7, 8, 10)));
    ASSERT_TRUE(WriteBytes(cat, "<Categories/>\r\n"));
    ASSERT_TRUE(SetModified(cat, MakeTime(2023, 5, 6, 7, 8, 12)));
    zip::NoteFileWritten(cat, static_cast<uint32_t>(crc32(0, reinterpret_cast<const Bytef*>("<Categories/>\r\n"), 15)));
    size_t copied = 99;
    ASSERT_EQ(ZipResult::Ok, zip::UpdateFiles(archive_, {cat, exe, add}, kPassword, false, &copied));
    EXPECT_EQ(2u, copied);
    const auto after = StoredBytes(ReadBytes(archive_));
    EXPECT_EQ(before.at(L"TesselExe.dat"), after.at(L"TesselExe.dat"));
    EXPECT_EQ(before.at(L"Tesselcat.xml"), after.at(L"Tesselcat.xml"));
    EXPECT_NE(before.at(L"TesselAdd.dat"), after.at(L"TesselAdd.dat"));
    EXPECT_EQ(std::vector<std::wstring>{L"TesselMorva.dat"}, ListFolder(data_));  // no ".new" left

    // Everything reads back with the files' contents and present times.
    ASSERT_EQ(ZipResult::Ok, zip::UnpackFiles(archive_, target_, kPassword));
    for (const auto& path : {cat, exe, add}) {
        const std::wstring unpacked = target_ + L"\\" + path.substr(path.find_last_of(L'\\') + 1);
        EXPECT_EQ(ReadBytes(path), ReadBytes(unpacked));
        EXPECT_LE(SecondsApart(Modified(path), Modified(unpacked)), 0.0) << unpacked;
    }
}

TEST_F(ZipArchiveTest, AnUpdateKeepsOrDropsTheMembersNoFileReplaces) {
    PackedArchive();
    const auto before = StoredBytes(ReadBytes(archive_));
    const std::wstring add = AddSource(L"TesselAdd.dat", ".txt|a\r\n", MakeTime(2021, 3, 4, 5, 6, 8));

    size_t copied = 0;
    ASSERT_EQ(ZipResult::Ok, zip::UpdateFiles(archive_, {add}, kPassword, true, &copied));
    EXPECT_EQ(2u, copied);
    auto after = StoredBytes(ReadBytes(archive_));
    EXPECT_EQ(3u, after.size());
    EXPECT_EQ(before.at(L"TesselExe.dat"), after.at(L"TesselExe.dat"));
    ASSERT_EQ(ZipResult::Ok, zip::UnpackFiles(archive_, target_, kPassword));
    EXPECT_EQ((std::vector<std::wstring>{L"TesselAdd.dat", L"TesselExe.dat", L"Tesselcat.xml"}), ListFolder(target_));
    EXPECT_LE(SecondsApart(MakeTime(2019, 6, 15, 10, 20, 30), Modified(target_ + L"\\TesselExe.dat")), 0.0);

    ASSERT_EQ(ZipResult::Ok, zip::UpdateFiles(archive_, {add}, kPassword, false, &copied));
    EXPECT_EQ(1u, copied);
    after = StoredBytes(ReadBytes(archive_));
    EXPECT_EQ(1u, after.size());
}

TEST_F(ZipArchiveTest, AnUpdateCompressesAfreshWhatItCannotCopy) {
    PackedArchive();
    const std::wstring cat = source_ + L"\\Tesselcat.xml", exe = source_ + L"\\TesselExe.dat";
    size_t copied = 99;
    // Another password: a file's member cannot stand for it and is compressed afresh; a member
    // that no file replaces is kept as it is stored, since it is its only copy.
    ASSERT_EQ(ZipResult::Ok, zip::UpdateFiles(archive_, {cat}, "another", true, &copied));
    EXPECT_EQ(1u, copied);
    std::vector<zip::MemberData> read;
    std::vector<std::wstring> names;
    ASSERT_EQ(ZipResult::Ok, zip::ReadMembers(archive_, "another", {L"Tesselcat.xml"}, read, &names));
    EXPECT_EQ((std::vector<std::wstring>{L"Tesselcat.xml", L"TesselExe.dat"}), names);
    ASSERT_EQ(ZipResult::Ok, zip::ReadMembers(archive_, kPassword, {L"TesselExe.dat"}, read));
    ASSERT_EQ(1u, read.size());
    EXPECT_EQ(ReadBytes(exe), std::string(read[0].data.begin(), read[0].data.end()));

    // An old archive that is not one, and none at all; a crashed write's ".new" is taken over.
    ASSERT_TRUE(WriteBytes(archive_, "not an archive"));
    ASSERT_TRUE(WriteBytes(archive_ + L".new", "left by a crash"));
    ASSERT_EQ(ZipResult::Ok, zip::UpdateFiles(archive_, {cat, exe}, kPassword, true, &copied));
    EXPECT_EQ(0u, copied);
    EXPECT_EQ(std::vector<std::wstring>{L"TesselMorva.dat"}, ListFolder(data_));
    ASSERT_TRUE(DeleteFileW(archive_.c_str()));
    ASSERT_EQ(ZipResult::Ok, zip::UpdateFiles(archive_, {cat, exe}, kPassword, true, &copied));
    EXPECT_EQ(0u, copied);
    EXPECT_EQ(ZipResult::Ok, zip::UnpackFiles(archive_, target_, kPassword));
    EXPECT_EQ(ReadBytes(exe), ReadBytes(target_ + L"\\TesselExe.dat"));
}

// Flips one byte in the middle of the named member's stored data; its headers stay intact.
// inPlace: as a storage fault does it, the archive keeping its size and time; otherwise as a
// tool writing a damaged copy does it, with a new time.
void DamageMember(const std::wstring& archive, const std::wstring& name, bool inPlace) {
    std::string bytes = ReadBytes(archive);
    std::vector<uint8_t> raw(bytes.begin(), bytes.end());
    std::vector<zip::detail::StoredMember> members;
    ASSERT_EQ(ZipResult::Ok, zip::detail::ReadStoredMembers(raw, members));
    for (const auto& m : members) {
        if (m.name != name) continue;
        const size_t at = m.dataStart + m.packedSize / 2;
        if (inPlace) {
            const FILETIME before = Modified(archive);
            ASSERT_TRUE(testsupport::FlipByteKeepingSizeAndTime(archive, at));
            ASSERT_EQ(0.0, SecondsApart(before, Modified(archive)));
            ASSERT_EQ(bytes.size(), ReadBytes(archive).size());
            return;
        }
        bytes[at] ^= 0x20;
    }
    ASSERT_TRUE(WriteBytes(archive, bytes));
}

// The archive's bytes change behind the program's back after it unpacked or wrote them (a
// storage fault, a tool putting back a damaged copy): the update takes nothing stored on
// trust and compresses the members afresh from the files, which heals the archive.
TEST_F(ZipArchiveTest, AnUpdateHealsAStoredMemberDamagedSinceTheArchiveWasRead) {
    struct Case {
        const char* how;     // how this process came to know the archive, and how it was damaged
        bool unpackedFirst;  // by unpacking it (and updating from the unpacked files), or by writing it
        bool inPlace;        // a byte flipped where it lies, size and time kept: only the CRC can tell
    };
    const Case cases[] = {{"written by this process, damaged copy written", false, false},
                          {"unpacked by this process, damaged copy written", true, false},
                          {"written by this process, damaged in place", false, true},
                          {"unpacked by this process, damaged in place", true, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.how);
        testsupport::RemoveTree(target_);
        CreateDirectoryW(target_.c_str(), nullptr);
        PackedArchive();
        std::vector<std::wstring> files = {source_ + L"\\Tesselcat.xml", source_ + L"\\TesselExe.dat"};
        if (c.unpackedFirst) {
            const std::wstring working = root_ + L"\\working";
            testsupport::RemoveTree(working);
            CreateDirectoryW(working.c_str(), nullptr);
            ASSERT_EQ(ZipResult::Ok, zip::UnpackFiles(archive_, working, kPassword));
            files = {working + L"\\Tesselcat.xml", working + L"\\TesselExe.dat"};
        }
        DamageMember(archive_, L"TesselExe.dat", c.inPlace);
        ASSERT_NE(ZipResult::Ok, zip::UnpackFiles(archive_, target_, kPassword));

        size_t copied = 99;
        ASSERT_EQ(ZipResult::Ok, zip::UpdateFiles(archive_, files, kPassword, true, &copied));
        EXPECT_EQ(0u, copied);
        ASSERT_EQ(ZipResult::Ok, zip::UnpackFiles(archive_, target_, kPassword));
        EXPECT_EQ(ReadBytes(source_ + L"\\TesselExe.dat"), ReadBytes(target_ + L"\\TesselExe.dat"));
        EXPECT_EQ(ReadBytes(source_ + L"\\Tesselcat.xml"), ReadBytes(target_ + L"\\Tesselcat.xml"));
    }
    // Info-ZIP unzip tests the healed archive after this program has run (check_written.sh).
    if (GetFileAttributesW(FixturesFolder().c_str()) != INVALID_FILE_ATTRIBUTES) {
        EXPECT_TRUE(CopyFileW(archive_.c_str(), (FixturesFolder() + L"\\checked_healed.zip").c_str(), FALSE));
    }
}

// An update that would change no member writes nothing: the archive keeps its bytes and time.
// A new time of a file is a change (the program list's time is the date of its scan), and so
// is a member left out.
TEST_F(ZipArchiveTest, AnUpdateWithNothingChangedLeavesTheArchiveUntouched) {
    PackedArchive();
    const std::wstring cat = source_ + L"\\Tesselcat.xml", exe = source_ + L"\\TesselExe.dat";
    const std::string before = ReadBytes(archive_);
    const FILETIME written = Modified(archive_);
    for (bool keepOthers : {true, false}) {
        size_t copied = 0;
        ASSERT_EQ(ZipResult::Ok, zip::UpdateFiles(archive_, {cat, exe}, kPassword, keepOthers, &copied));
        EXPECT_EQ(2u, copied);
        EXPECT_TRUE(ReadBytes(archive_) == before);
        EXPECT_EQ(0.0, SecondsApart(written, Modified(archive_)));
        EXPECT_EQ(std::vector<std::wstring>{L"TesselMorva.dat"}, ListFolder(data_));
    }

    ASSERT_TRUE(SetModified(exe, MakeTime(2024, 1, 2, 3, 4, 6)));
    ASSERT_EQ(ZipResult::Ok, zip::UpdateFiles(archive_, {cat, exe}, kPassword, true));
    EXPECT_FALSE(ReadBytes(archive_) == before);
    ASSERT_EQ(ZipResult::Ok, zip::UnpackFiles(archive_, target_, kPassword));
    EXPECT_LE(SecondsApart(MakeTime(2024, 1, 2, 3, 4, 6), Modified(target_ + L"\\TesselExe.dat")), 0.0);

    const std::string withNewTime = ReadBytes(archive_);
    ASSERT_EQ(ZipResult::Ok, zip::UpdateFiles(archive_, {cat}, kPassword, false));
    EXPECT_FALSE(ReadBytes(archive_) == withNewTime);
}

// A file the program wrote again is read again, even with the old size and time stamp (two
// writes within one tick of a coarse clock): the note of the write is what counts.
TEST_F(ZipArchiveTest, AFileNotedAsWrittenIsReadAgainWhateverItsTimeStamp) {
    PackedArchive();
    const std::wstring cat = source_ + L"\\Tesselcat.xml", exe = source_ + L"\\TesselExe.dat";
    const FILETIME stamp = Modified(cat);
    const std::string changed = "<Categorie_/>\r\n";
    ASSERT_EQ(ReadBytes(cat).size(), changed.size());
    ASSERT_TRUE(WriteBytes(cat, changed));
    ASSERT_TRUE(SetModified(cat, stamp));
    zip::NoteFileChanged(cat);
    ASSERT_EQ(ZipResult::Ok, zip::UpdateFiles(archive_, {cat, exe}, kPassword, true));
    std::vector<zip::MemberData> read;
    ASSERT_EQ(ZipResult::Ok, zip::ReadMembers(archive_, kPassword, {L"Tesselcat.xml"}, read));
    ASSERT_EQ(1u, read.size());
    EXPECT_EQ(changed, std::string(read[0].data.begin(), read[0].data.end()));
}

}  // namespace
