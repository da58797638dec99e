#include <gtest/gtest.h>

#include "DataTestSupport.h"
#include "basAliases.h"

namespace {

AliasRecord Record(const std::wstring& company, const std::wstring& product, const std::wstring& version,
                   const std::wstring& longPath, const std::wstring& companyA, const std::wstring& productA,
                   const std::wstring& versionA, bool removed = false) {
    AliasRecord r;
    r.Removed = removed;
    r.Company = company;
    r.Product = product;
    r.Version = version;
    r.LongPath = r.LongPathA = longPath;
    r.ShortPath = r.ShortPathA = L"C:\\SHORT\\" + product.substr(0, std::min<size_t>(product.size(), 8)) + L".EXE";
    r.CompanyA = companyA;
    r.ProductA = productA;
    r.VersionA = versionA;
    return r;
}

class AliasesTest : public DataFolderTest {
protected:
    void SetUp() override {
        DataFolderTest::SetUp();
        Aliases().Clear();
    }
};

TEST_F(AliasesTest, FileIsWrittenLineByLineEscapedAndWithoutRemovedRecords) {
    Aliases().Add(Record(L"Missing info.", L"Tool", L"No version info.", L"C:\\T\\tool.exe", L"Smith & Sons",
                         L"\"Best\" <Tool>", L"1.0"));
    Aliases().Add(Record(L"Gone", L"Gone", L"1", L"C:\\gone.exe", L"X", L"Y", L"Z", true));
    Aliases().Add(Record(L"A", L"B", L"C", L"C:\\b.exe", vb::FromAnsi("Caf\xE9"), L"it's", L"2"));
    SaveAliases();
    EXPECT_EQ(ReadBytes(AliasFilePath()),
              "<?xml version=\"1.0\" ?>\r\n"
              "<MorvaTesselAlias>\r\n"
              "<Alias Company=\"Missing info.\" Product=\"Tool\" Version=\"No version info.\" "
              "LongPath=\"C:\\T\\tool.exe\" ShortPath=\"C:\\SHORT\\Tool.EXE\" CompanyA=\"Smith {[~26~]} Sons\" "
              "ProductA=\"{[~22~]}Best{[~22~]} {[~3C~]}Tool{[~3E~]}\" VersionA=\"1.0\" LongPathA=\"C:\\T\\tool.exe\" "
              "ShortPathA=\"C:\\SHORT\\Tool.EXE\" />\r\n"
              "<Alias Company=\"A\" Product=\"B\" Version=\"C\" LongPath=\"C:\\b.exe\" ShortPath=\"C:\\SHORT\\B.EXE\" "
              "CompanyA=\"Caf{[~E9~]}\" ProductA=\"it{[~27~]}s\" VersionA=\"2\" LongPathA=\"C:\\b.exe\" "
              "ShortPathA=\"C:\\SHORT\\B.EXE\" />\r\n"
              "</MorvaTesselAlias>\r\n");
}

TEST_F(AliasesTest, EveryRecordRemovedLeavesTheRootAlone) {
    Aliases().Add(Record(L"A", L"B", L"C", L"C:\\b.exe", L"X", L"Y", L"Z", true));
    SaveAliases();
    EXPECT_EQ(ReadBytes(AliasFilePath()), "<?xml version=\"1.0\" ?>\r\n<MorvaTesselAlias>\r\n</MorvaTesselAlias>\r\n");
}

TEST_F(AliasesTest, WrittenFileReadsBackThroughTheXmlObject) {
    const AliasRecord first = Record(L"Missing info.", L"Tool", L"No version info.", L"C:\\T\\tool.exe",
                                     L"Smith & Sons", L"\"Best\" <Tool>", L"1.0");
    const AliasRecord second = Record(L"A", L"B", L"C", L"C:\\b.exe", vb::FromAnsi("Caf\xE9 \xFC"), L"it's", L"2");
    Aliases().Add(first);
    Aliases().Add(Record(L"Gone", L"Gone", L"1", L"C:\\gone.exe", L"X", L"Y", L"Z", true));
    Aliases().Add(second);
    SaveAliases();
    Aliases().Clear();

    FakeOptionsWindow options;
    GetAliases();
    ASSERT_EQ(AliasCount(), 2);
    for (const auto& [got, want] : {std::pair{Aliases()[1], first}, std::pair{Aliases()[2], second}}) {
        EXPECT_FALSE(got.Removed);
        EXPECT_EQ(got.Company, want.Company);
        EXPECT_EQ(got.Product, want.Product);
        EXPECT_EQ(got.Version, want.Version);
        EXPECT_EQ(got.LongPath, want.LongPath);
        EXPECT_EQ(got.ShortPath, want.ShortPath);
        EXPECT_EQ(got.CompanyA, want.CompanyA);
        EXPECT_EQ(got.ProductA, want.ProductA);
        EXPECT_EQ(got.VersionA, want.VersionA);
        EXPECT_EQ(got.LongPathA, want.LongPathA);
        EXPECT_EQ(got.ShortPathA, want.ShortPathA);
    }
    EXPECT_EQ(options.aliasCounts, std::vector<long>{2});
}

TEST_F(AliasesTest, ReaderTakesAliasElementsAtAnyDepthAndToleratesMissingAttributes) {
    WriteBytes(AliasFilePath(),
               "<?xml version=\"1.0\" ?>\r\n<MorvaTesselAlias><Group>"
               "<Alias Company=\"Deep\" CompanyA=\"Shown{[~26~]}\" />"
               "</Group><Alias Company=\"Top\" /></MorvaTesselAlias>\r\n");
    GetAliases();
    ASSERT_EQ(AliasCount(), 2);
    EXPECT_EQ(Aliases()[1].Company, L"Deep");
    EXPECT_EQ(Aliases()[1].CompanyA, L"Shown&");
    EXPECT_EQ(Aliases()[1].Product, L"");
    EXPECT_EQ(Aliases()[2].Company, L"Top");
}

TEST_F(AliasesTest, MissingOrBrokenFileKeepsTheRecords) {
    Aliases().Add(Record(L"A", L"B", L"C", L"C:\\b.exe", L"X", L"Y", L"Z"));
    FakeOptionsWindow options;
    GetAliases();  // no file
    EXPECT_EQ(AliasCount(), 1);
    WriteBytes(AliasFilePath(), "<MorvaTesselAlias><Alias Company=\"x\"></MorvaTesselAlias");
    GetAliases();
    EXPECT_EQ(AliasCount(), 1);
    EXPECT_EQ(Aliases()[1].Company, L"A");
    EXPECT_TRUE(options.aliasCounts.empty());
    EXPECT_TRUE(boxes.shown.empty());
}

// Another program holds the file in a way that lets it be replaced (a save on its way, say):
// reading it must neither fail nor stand in that save's way.
TEST_F(AliasesTest, AFileHeldOpenForReplacingIsStillRead) {
    const AliasRecord record = Record(L"A", L"B", L"C", L"C:\\b.exe", L"X", L"Y", L"Z");
    Aliases().Add(record);
    SaveAliases();
    Aliases().Clear();
    struct Case {
        const char* what;
        DWORD access;
    };
    const Case cases[] = {
        {"held for deleting", DELETE},
        {"held for writing", GENERIC_WRITE},
        {"held for reading, writing and deleting", GENERIC_READ | GENERIC_WRITE | DELETE},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Aliases().Clear();
        HANDLE held = CreateFileW(AliasFilePath().c_str(), c.access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(held, INVALID_HANDLE_VALUE);
        GetAliases();
        CloseHandle(held);
        ASSERT_EQ(AliasCount(), 1);
        EXPECT_EQ(Aliases()[1].CompanyA, L"X");
        EXPECT_EQ(Aliases()[1].LongPath, record.LongPath);
    }
}

TEST_F(AliasesTest, LookUpTable) {
    Aliases().Add(Record(L"Acme", L"Edit", L"1.0", L"C:\\acme\\edit.exe", L"Shown Co", L"Shown Edit", L"9.9"));
    Aliases().Add(Record(L"Missing info.", L"Tool", L"No version info.", L"C:\\T\\tool.exe", L"Tool Co",
                         L"Tool Pro", L"1.0"));
    Aliases().Add(Record(L"Dup", L"Dup", L"1", L"C:\\dup1.exe", L"Twin", L"Twin", L"1", true));
    Aliases().Add(Record(L"Dup", L"Dup", L"1", L"C:\\dup2.exe", L"Twin", L"Twin", L"1"));
    Aliases().Add(Record(L"Dup", L"Dup", L"1", L"C:\\dup3.exe", L"Twin", L"Twin", L"1"));
    Aliases().Add(Record(L"Co-op", L"Mill", L"2.0", L"C:\\mill.exe", L"Co-op", L"Mill", L"2.0"));
    Aliases().Add(Record(L"", L"ite - Color", L"4", L"C:\\rite.exe", L"", L"ite - Color", L"4"));

    auto fields = [](const std::wstring& description, const std::wstring& version, const std::wstring& path) {
        return std::vector<std::wstring>{description, version, L"OK", path, L"C:\\X.EXE"};
    };
    struct Case {
        const char* what;
        std::vector<std::wstring> fields;
        long byAlias;
        long byOriginal;
    };
    const Case cases[] = {
        {"shown under its alias", fields(L"Shown Co - Shown Edit", L"9.9", L"C:\\elsewhere.exe"), 1, -1},
        {"as found, any case", fields(L"ACME - edit", L"1.0", L"C:\\x.exe"), -1, 1},
        {"no version info: by long path", fields(L"Whatever - Name", L"No version info.", L"c:\\t\\TOOL.exe"), 2, 2},
        {"missing company: by long path", fields(L"Missing info. - Tool", L"3", L"C:\\T\\tool.exe"), 2, 2},
        {"missing info, path unknown", fields(L"Missing info. - Tool", L"3", L"C:\\other.exe"), -1, -1},
        {"first record not removed wins", fields(L"Twin - Twin", L"1", L""), 4, -1},
        {"company with a dash: the whole description", fields(L"co-op - mill", L"2.0", L"C:\\x.exe"), 6, 6},
        {"record of an old split at the first dash", fields(L"X-Rite - Color", L"4", L"C:\\x.exe"), 7, 7},
        {"alias of a copy without info: its own path", fields(L"Tool Co - Tool Pro", L"1.0", L"C:\\T\\tool.exe"), 2, -1},
        {"alias of a copy without info: another path", fields(L"Tool Co - Tool Pro", L"1.0", L"C:\\U\\tool.exe"), -1, -1},
        {"no dash", fields(L"NoDash", L"1.0", L"C:\\acme\\edit.exe"), -1, -1},
        {"dash first", fields(L"-Edit", L"1.0", L"C:\\acme\\edit.exe"), -1, -1},
        {"too few fields", {L"Acme - Edit"}, -1, -1},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(AliasIndex(c.fields), c.byAlias) << c.what;
        EXPECT_EQ(AliasIndexByOriginal(c.fields), c.byOriginal) << c.what;
    }
}

TEST_F(AliasesTest, OriginalFieldsPutBackWhatTheScanFound) {
    Aliases().Add(Record(L"Acme", L"Edit", L"1.0", L"C:\\acme\\edit.exe", L"Shown Co", L"Shown Edit", L"9.9"));
    const std::vector<std::wstring> shown = {L"Shown Co - Shown Edit", L"9.9", L"OK", L"C:\\a.exe", L"C:\\A.EXE"};
    EXPECT_EQ(GetOriginalProgramFields(shown),
              (std::vector<std::wstring>{L"Acme - Edit", L"1.0", L"OK", L"C:\\a.exe", L"C:\\A.EXE"}));
    const std::vector<std::wstring> plain = {L"Other - Prog", L"1.0", L"OK", L"C:\\o.exe", L"C:\\O.EXE"};
    EXPECT_EQ(GetOriginalProgramFields(plain), plain);
}

}  // namespace
