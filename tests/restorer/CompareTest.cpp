// The comparison: the merge walk and the pair rules as tables over a snapshot and a present
// model, the validity findings with their flags, and a snapshot that did not read.
#include <fstream>
#include <map>

#include "RestorerTestSupport.h"

namespace {

class CompareTest : public RestorerScratch {
protected:
    void SetUp() override {
        RestorerScratch::SetUp();
        program_ = ThisProgram();
    }
    // An extension whose default value names cls ("" = no default value).
    static RegKeyRecord Ext(const std::wstring& name, const std::wstring& cls) {
        return cls.empty() ? Key(name) : Key(name, {Text(L"", cls)});
    }
    std::vector<RegKeyRecord> Classes() const {
        return {Class(L"afile", L"\"" + program_ + L"\" \"%1\""), Class(L"bfile", program_ + L" %1"),
                Class(L"cfile", L"\"" + program_ + L"\"")};
    }
    // Each difference as "kind:extension".
    static std::vector<std::wstring> Found() {
        std::vector<std::wstring> found;
        for (size_t i = 1; i < AssocDiffs().size(); ++i) {
            const AssocDiff& d = AssocDiffs()[i];
            const bool current = d.Kind == dkExtAdded || d.Kind == dkAssocMissing || d.Kind == dkProgramMissing;
            const RegKeyRecords& records = current ? ExtKeys() : SnapshotExtKeys();
            const long index = current ? d.CurrentIndex : d.SnapshotIndex;
            found.push_back(std::to_wstring(d.Kind) + L":" + records[static_cast<size_t>(index)].KeyName);
        }
        return found;
    }
    void Compare(std::vector<RegKeyRecord> snapshot, std::vector<RegKeyRecord> current) {
        SetModel(std::move(snapshot), Classes());
        ASSERT_TRUE(SnapshotModel());
        SetModel(std::move(current), Classes());
        DetermineAssocExtDiffs();
    }
    std::wstring program_;
};

using Rows = std::vector<std::wstring>;

TEST_F(CompareTest, TheWalkRecordsEachDifferenceOnceInNameOrder) {
    struct Case {
        const char* what;
        std::vector<RegKeyRecord> snapshot, current;
        Rows expected;
    } cases[] = {
        {"identical and valid", {Ext(L".a", L"afile"), Ext(L".b", L"bfile")}, {Ext(L".b", L"bfile"), Ext(L".a", L"afile")}, {}},
        {"letter case of names", {Ext(L".TXT", L"afile")}, {Ext(L".txt", L"afile")}, {}},
        {"letter case of the default", {Ext(L".a", L"AFILE")}, {Ext(L".a", L"afile")}, {}},
        {"letter case of the name and the default at once", {Ext(L".A", L"aFile")}, {Ext(L".a", L"AFILE")}, {}},
        {"another class", {Ext(L".a", L"afile")}, {Ext(L".a", L"bfile")}, {L"2:.a"}},
        {"default now set", {Ext(L".a", L"")}, {Ext(L".a", L"afile")}, {L"1:.a"}},
        {"default now gone", {Ext(L".a", L"afile")}, {Ext(L".a", L"")}, {L"0:.a", L"5:.a"}},
        {"added and removed",
         {Ext(L".a", L"afile"), Ext(L".c", L"cfile"), Ext(L".e", L"afile")},
         {Ext(L".a", L"afile"), Ext(L".b", L"bfile"), Ext(L".d", L"afile")},
         {L"4:.b", L"3:.c", L"4:.d", L"3:.e"}},
        {"empty present side", {Ext(L".a", L"afile"), Ext(L".b", L"bfile")}, {}, {L"3:.a", L"3:.b"}},
        {"the class a default names is gone", {Ext(L".a", L"afile")}, {Ext(L".a", L"gone")}, {L"2:.a", L"5:.a"}},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.what);
        Compare(c.snapshot, c.current);
        EXPECT_EQ(Found(), c.expected);
    }
}

TEST_F(CompareTest, ThePairRulesLookAtTheDefaultAndTheLinkedClassName) {
    // The class's own values are not compared.
    SetModel({Ext(L".a", L"afile")}, {Class(L"afile", L"\"" + program_ + L"\" one")});
    ASSERT_TRUE(SnapshotModel());
    SetModel({Ext(L".a", L"afile")}, {Class(L"afile", L"\"" + program_ + L"\" two")});
    DetermineAssocExtDiffs();
    EXPECT_TRUE(Found().empty());
    // A link only on the present side (the class appeared): kind 1; only in the snapshot: kind 0.
    SetModel({Ext(L".a", L"newfile"), Ext(L".z", L"afile")}, Classes());
    ASSERT_TRUE(SnapshotModel());
    SetModel({Ext(L".a", L"newfile"), Ext(L".z", L"afile")}, {Classes()[0], Class(L"newfile", L"\"" + program_ + L"\"")});
    DetermineAssocExtDiffs();
    EXPECT_EQ(Found(), (Rows{L"1:.a"}));
    SetModel({Ext(L".a", L"newfile")}, {Class(L"newfile", L"\"" + program_ + L"\"")});
    ASSERT_TRUE(SnapshotModel());
    SetModel({Ext(L".a", L"newfile")}, Classes());
    DetermineAssocExtDiffs();
    EXPECT_EQ(Found(), (Rows{L"0:.a", L"5:.a"}));
}

TEST_F(CompareTest, ValidityFindsMissingClassesWithTheirFlagsAndMissingPrograms) {
    std::vector<RegKeyRecord> current = {
        Key(L".flags", {Text(L"Content Type", L"text/x"), Text(L"NoOpen", L"")}),
        Key(L".handlers", {}, {Sub(L".handlers\\PersistentHandler"), Sub(L".handlers\\ShellEx")}),
        Key(L".plain"),
        Ext(L".empty", L"emptycmd"),
        Ext(L".missing", L"missingcmd"),
        Ext(L".ok", L"afile"),
    };
    std::vector<RegKeyRecord> classes = Classes();
    classes.push_back(Class(L"emptycmd", L""));
    classes.push_back(Class(L"missingcmd", L"\"C:\\nowhere\\at all.exe\" \"%1\""));
    SetModel(current, classes);
    ASSERT_TRUE(SnapshotModel());
    DetermineAssocExtDiffs();
    EXPECT_EQ(Found(), (Rows{L"6:.empty", L"5:.flags", L"5:.handlers", L"6:.missing", L"5:.plain"}));
    std::map<std::wstring, long> flags;
    for (size_t i = 1; i < AssocDiffs().size(); ++i)
        if (AssocDiffs()[i].Kind == dkAssocMissing)
            flags[ExtKeys()[static_cast<size_t>(AssocDiffs()[i].CurrentIndex)].KeyName] = AssocDiffs()[i].Flags;
    EXPECT_EQ(flags[L".flags"], 9) << "Content Type (8) and NoOpen (1)";
    EXPECT_EQ(flags[L".handlers"], 6) << "PersistentHandler (2) and ShellEx (4)";
    EXPECT_EQ(flags[L".plain"], 0);
    // Paired extensions carry their own snapshot record.
    for (size_t i = 1; i < AssocDiffs().size(); ++i)
        EXPECT_EQ(SnapshotExtKeys()[static_cast<size_t>(AssocDiffs()[i].SnapshotIndex)].KeyName,
                  ExtKeys()[static_cast<size_t>(AssocDiffs()[i].CurrentIndex)].KeyName);
}

TEST_F(CompareTest, AFindingOfAnExtensionWithoutSnapshotPairCarriesNoSnapshotRecord) {
    Compare({Ext(L".b", L"bfile")}, {Ext(L".a", L""), Ext(L".b", L"bfile"), Ext(L".c", L"")});
    EXPECT_EQ(Found(), (Rows{L"4:.a", L"5:.a", L"4:.c", L"5:.c"}));
    EXPECT_EQ(AssocDiffs()[2].SnapshotIndex, 0);
    EXPECT_EQ(AssocDiffs()[4].SnapshotIndex, 0);
}

TEST_F(CompareTest, EveryPresentExtensionIsValidatedExactlyOnce) {
    std::vector<RegKeyRecord> snapshot, current;
    for (wchar_t c = L'a'; c <= L'j'; ++c) {
        if (c % 2) snapshot.push_back(Ext(std::wstring(L".") + c, L""));
        if (c % 3) current.push_back(Ext(std::wstring(L".") + c, L""));
    }
    Compare(snapshot, current);
    size_t missing = 0;
    for (size_t i = 1; i < AssocDiffs().size(); ++i) missing += AssocDiffs()[i].Kind == dkAssocMissing;
    EXPECT_EQ(missing, current.size());
}

TEST_F(CompareTest, ASnapshotThatDidNotReadGivesOnlyTheValidityFindings) {
    SetModel({Ext(L".a", L"afile"), Ext(L".b", L"")}, Classes());
    std::ofstream(vb::ToAnsi(GetSnapshotFilePath()), std::ios::binary | std::ios::trunc) << "<MorvaWA><Extensions>";
    std::wstring error;
    EXPECT_FALSE(GetAssocSnapshot(GetSnapshotFilePath(), &error));
    EXPECT_FALSE(error.empty());
    DetermineAssocExtDiffs();
    EXPECT_EQ(Found(), (Rows{L"5:.b"})) << "no present extension is taken for an added one";
}

}  // namespace
