#include <map>

#include "RegistryScratch.h"
#include "basAssocLinks.h"
#include "basWinAPI_Registry.h"

namespace {

using AssocLinksTest = RegistryScratch;

SubkeyRecord Sub(const std::wstring& path, const std::wstring& defaultValue = L"", bool withDefault = true) {
    SubkeyRecord s;
    s.KeyName = path;
    if (withDefault) {
        s.KeyValues.push_back({L"", REG_SZ, vb::Variant(defaultValue)});
        s.ValueIndex = 0;
    }
    return s;
}

RegKeyRecord Key(const std::wstring& name, const std::wstring& defaultValue = L"", bool withDefault = true) {
    RegKeyRecord r;
    static_cast<SubkeyRecord&>(r) = Sub(name, defaultValue, withDefault);
    return r;
}

// Records the rows as a list view would show them.
struct FakeExtensionList : ExtensionListView {
    struct Row {
        std::wstring key, text, sub1;
        long tag = -1;
    };
    std::vector<Row> rows;
    long AddExtensionRow(const std::wstring& key, const std::wstring& text) override {
        rows.push_back({key, text, L"", -1});
        return static_cast<long>(rows.size()) - 1;
    }
    void SetRowSubItem(long row, int subItem, const std::wstring& text) override {
        if (subItem == 1) rows.at(row).sub1 = text;
    }
    void SetRowTag(long row, long tag) override { rows.at(row).tag = tag; }
};

TEST_F(AssocLinksTest, PreviewerDisableTagIsCutOnlyAtTheEnd) {
    struct Case {
        const wchar_t* value;
        const wchar_t* stripped;
        bool hasTag;
    } cases[] = {
        {L"txtfile--LumoxPreviewerDisableTag", L"txtfile", true},
        {L"txtfile--lumoxpreviewerdisabletag", L"txtfile", true},
        {L"txtfile", L"txtfile", false},
        {L"txt--LumoxPreviewerDisableTagfile", L"txt--LumoxPreviewerDisableTagfile", false},
        {L"--LumoxPreviewerDisableTag", L"", true},
        {L"", L"", false},
    };
    for (const Case& c : cases) {
        bool hasTag = !c.hasTag;
        EXPECT_EQ(StripPreviewerDisableTag(c.value, hasTag), c.stripped) << vb::ToAnsi(c.value);
        EXPECT_EQ(hasTag, c.hasTag) << vb::ToAnsi(c.value);
        EXPECT_EQ(EndsWithPreviewerDisableTag(c.value), c.hasTag);
    }
    EXPECT_EQ(TagLength(), 26);
}

TEST_F(AssocLinksTest, CommandLineSources) {
    PutClass(L"CLSID\\{11111111-0000-0000-0000-000000000001}\\LocalServer32", L"", L"");
    PutClass(L"CLSID\\{11111111-0000-0000-0000-000000000001}\\InProcServer32", L"", L"C:\\srv\\inproc.dll");
    PutClass(L"CLSID\\{11111111-0000-0000-0000-000000000002}\\LocalServer", L"", L"C:\\srv\\local.exe");
    struct Case {
        const char* what;
        std::vector<SubkeyRecord> subkeys;
        std::wstring command;
        long source;
    } cases[] = {
        {"open command before CLSID",
         {Sub(L"f\\CLSID", L"{11111111-0000-0000-0000-000000000001}"), Sub(L"f\\shell"), Sub(L"f\\shell\\open"),
          Sub(L"f\\Shell\\Open\\Command", L"C:\\x.exe %1")},
         L"C:\\x.exe %1",
         asOpenCommand},
        {"CLSID, LocalServer32 empty, InProcServer32 set",
         {Sub(L"f\\CLSID", L"{11111111-0000-0000-0000-000000000001}")},
         L"C:\\srv\\inproc.dll",
         asClassServer},
        {"CLSID with the 16-bit local server only",
         {Sub(L"f\\CLSID", L"{11111111-0000-0000-0000-000000000002}")},
         L"C:\\srv\\local.exe",
         asClassServer},
        {"CLSID without servers keeps the source", {Sub(L"f\\CLSID", L"{99999999-0000-0000-0000-000000000000}")}, L"", 77},
        {"neither", {Sub(L"f\\DefaultIcon", L"f.ico")}, L"", asNoCommand},
        {"empty open command keeps the source", {Sub(L"f\\shell\\open\\command", L"")}, L"", 77},
        {"no subkeys at all", {}, L"", asNoCommand},
    };
    for (Case& c : cases) {
        long source = 77;
        EXPECT_EQ(GetCmdLineFromAssoc(c.subkeys, source), c.command) << c.what;
        EXPECT_EQ(source, c.source) << c.what;
    }
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(AssocLinksTest, ValidityTellsWhyAnAssociationCannotOpenAFile) {
    std::wstring program = folder_ + L"\\Viewer.exe";
    HANDLE h = CreateFileW(program.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    CloseHandle(h);
    PutClass(L"CLSID\\{22222222-0000-0000-0000-000000000001}\\InProcServer32", L"", folder_ + L"\\gone.dll");

    RegKeyRecords& assocs = AssocKeys();
    assocs.assign(1, RegKeyRecord{});
    assocs.push_back(Key(L"good"));
    assocs.back().Subkeys = {Sub(L"good\\shell\\open\\command", L"\"" + program + L"\" \"%1\"")};
    assocs.push_back(Key(L"gone"));
    assocs.back().Subkeys = {Sub(L"gone\\shell\\open\\command", folder_ + L"\\missing.exe %1")};
    assocs.push_back(Key(L"server"));
    assocs.back().Subkeys = {Sub(L"server\\CLSID", L"{22222222-0000-0000-0000-000000000001}")};
    assocs.push_back(Key(L"bare"));
    assocs.back().Subkeys = {Sub(L"bare\\DefaultIcon", L"x.ico")};

    struct Case {
        long link, taggedLink;
        bool valid;
        long source;
    } cases[] = {
        {0, 0, false, asNoAssociation},
        {1, 0, true, asValid},
        {0, 1, true, asValid},  // a tagged link counts
        {2, 0, false, asOpenCommand + asMissingProgram},
        {3, 0, false, asClassServer + asMissingProgram},
        {4, 0, false, asNoCommand},
    };
    for (const Case& c : cases) {
        SubkeyRecord ext = Sub(L".q", L"whatever");
        ext.Link = c.link;
        ext.TaggedLink = c.taggedLink;
        long source = 1000;  // whatever the caller's variable held before
        EXPECT_EQ(IsValidAssociation(ext, source), c.valid) << c.link << "/" << c.taggedLink;
        EXPECT_EQ(source, c.source) << c.link << "/" << c.taggedLink;
    }
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(AssocLinksTest, MatchLinksBothWaysAndLeavesUnknownNamesUnlinked) {
    RegKeyRecords exts{RegKeyRecord{}, Key(L".b", L"bfile"), Key(L".a", L"afile"), Key(L".n", L"nofile"),
                       Key(L".t", L"AFILE--LumoxPreviewerDisableTag"), Key(L".v", L"", false), Key(L".c", L"afile")};
    RegKeyRecords assocs{RegKeyRecord{}, Key(L"bfile"), Key(L"afile"), Key(L"cfile")};
    assocs[1].Subkeys = {Sub(L"bfile\\shell\\open\\command", L"b.exe %1")};
    assocs[2].Subkeys = {Sub(L"afile\\shell\\open\\command", L"a.exe %1")};
    std::vector<long> byAssoc = SortExtKeys(exts);
    std::vector<long> byName = Sort(assocs);

    MatchDefAssocWithExt(exts, assocs, byAssoc, byName);

    EXPECT_EQ(exts[1].Link, 1);
    EXPECT_EQ(exts[1].CmdLine, L"b.exe %1");
    EXPECT_EQ(exts[2].Link, 2);
    EXPECT_EQ(exts[2].CmdLine, L"a.exe %1");
    EXPECT_EQ(exts[3].Link + exts[3].TaggedLink, 0);
    EXPECT_TRUE(exts[3].CmdLine.empty());
    EXPECT_EQ(exts[4].TaggedLink, 2);
    EXPECT_EQ(exts[4].Link, 0);
    EXPECT_EQ(exts[5].Link + exts[5].TaggedLink, 0);
    EXPECT_EQ(exts[6].Link, 2);
    // The association links to the extension linked last: the later of .a and .c in association order.
    long later = 0;
    for (size_t k = 1; k < byAssoc.size(); ++k)
        if (byAssoc[k] == 2 || byAssoc[k] == 6) later = byAssoc[k];
    EXPECT_EQ(assocs[2].Link, later);
    EXPECT_EQ(assocs[2].TaggedLink, 4);
    EXPECT_EQ(assocs[1].Link, 1);
    EXPECT_EQ(assocs[3].Link + assocs[3].TaggedLink, 0);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(AssocLinksTest, LookUpsInTheSortedOrders) {
    RegKeyRecords keys{RegKeyRecord{}, Key(L"delta"), Key(L"alpha"), Key(L"charlie"), Key(L"echo")};
    std::vector<long> order = Sort(keys);
    EXPECT_EQ(FindKey(L"CHARLIE", keys, order, 1), 3);
    EXPECT_EQ(FindKey(L"alpha", keys, order, 1), 2);
    EXPECT_EQ(FindKey(L"bravo", keys, order, 1), -1);  // between alpha and charlie
    EXPECT_EQ(FindKey(L"zulu", keys, order, 1), -1);
    EXPECT_EQ(FindKey(L"alpha", keys, order, 2), -1);  // starts past it

    std::vector<SubkeyRecord> subkeys{Sub(L"afile\\shell"), Sub(L"afile\\shell\\open"),
                                      Sub(L"afile\\shell\\open\\command", L"a.exe")};
    EXPECT_EQ(FindSubkey(subkeys, L"Shell\\Open\\Command"), 2);
    EXPECT_EQ(FindSubkey(subkeys, L"shell\\print"), -1);
    EXPECT_EQ(FindSubkey({}, L"shell"), -1);

    RegKeyRecords exts{RegKeyRecord{}, Key(L".txt"), Key(L".bmp"), Key(L".mp3"), Key(L".doc"), Key(L"*")};
    std::vector<long> byName = Sort(exts);  // *, .bmp, .doc, .mp3, .txt
    struct Case {
        const wchar_t* ext;
        long start;
        int result;
        long record;  // the record at the final position when found
    } cases[] = {
        {L".mp3", 1, 0, 3}, {L"MP3", 5, 0, 3}, {L".txt", 0, 0, 1}, {L".bmp", 5, 0, 2}, {L".zzz", 2, 1, 0},
        {L".aaa", 5, 0 /*unused*/, -1},
    };
    for (const Case& c : cases) {
        long position = c.start;
        int r = IsExt(exts, byName, position, c.ext);
        if (c.record > 0) {
            EXPECT_EQ(r, 0) << vb::ToAnsi(c.ext);
            EXPECT_EQ(byName[position], c.record) << vb::ToAnsi(c.ext);
        } else {
            EXPECT_NE(r, 0) << vb::ToAnsi(c.ext);
        }
    }
    // Between two neighbours the walk turns back once and stops.
    long position = 2;
    EXPECT_NE(IsExt(exts, byName, position, L".c"), 0);
    EXPECT_TRUE(position == 2 || position == 3);
}

TEST_F(AssocLinksTest, ListItemsCarryTheIndexAsKeyAndTagAndTheDescriptionWithoutTheTag) {
    AssocKeys().assign(1, RegKeyRecord{});
    AssocKeys().push_back(Key(L"afile", L"Alpha Document--LumoxPreviewerDisableTag"));
    AssocKeys().push_back(Key(L"efile", L""));
    FakeExtensionList list;

    SubkeyRecord linked = Sub(L".a", L"afile");
    linked.TaggedLink = 1;
    SubkeyRecord emptyDescription = Sub(L".e", L"efile--LumoxPreviewerDisableTag");
    emptyDescription.Link = 2;
    SubkeyRecord unlinked = Sub(L".u", L"", false);

    EXPECT_EQ(AddExtensionListItem(list, linked, 7), 0);
    EXPECT_EQ(AddExtensionListItem(list, emptyDescription, 8), 1);
    EXPECT_EQ(AddExtensionListItem(list, unlinked, 9), 2);
    ASSERT_EQ(list.rows.size(), 3u);
    EXPECT_EQ(list.rows[0].key, L"k7");
    EXPECT_EQ(list.rows[0].text, L".a");
    EXPECT_EQ(list.rows[0].sub1, L"Alpha Document");
    EXPECT_EQ(list.rows[0].tag, 7);
    EXPECT_EQ(list.rows[1].sub1, L"efile");  // the association's is empty: the extension's own
    EXPECT_EQ(list.rows[2].sub1, L"");
    EXPECT_EQ(list.rows[2].tag, 9);
}

// The repairs run on a loaded model of the scratch registry.
class MakeAssociatedTest : public RegistryScratch {
protected:
    void Load() {
        LoadRegistryExtensions();
        LoadRegistryAssociations();
    }
    RegKeyRecord& Ext(const std::wstring& name) { return ExtKeys()[IndexOf(ExtKeys(), name)]; }
};

TEST_F(MakeAssociatedTest, AnExtensionWithoutAssociationIsLinkedToUnassignedOnYes) {
    PutClass(L".q", L"", L"");
    PutClass(L".r");
    Load();

    boxes.answers = {AnswerNo};
    EXPECT_FALSE(MakeExtensionAssociated(Ext(L".q")));
    EXPECT_EQ(ShownNumbers(), std::vector<long>{5005});
    EXPECT_EQ(ClassValue(L"Unassigned\\shell\\open\\command"), L"<none>");

    boxes.shown.clear();
    boxes.answers = {AnswerYes};
    EXPECT_TRUE(MakeExtensionAssociated(Ext(L".q")));
    EXPECT_EQ(ShownNumbers(), std::vector<long>{5005});
    EXPECT_EQ(ClassValue(L"Unassigned\\shell\\open\\command"), L"");
    EXPECT_EQ(ClassValue(L".q"), L"Unassigned");

    // With Unassigned and its open command in the model, only the extension is written.
    Load();
    boxes.shown.clear();
    boxes.answers = {AnswerYes};
    PutClass(L"Unassigned\\shell\\open\\command", L"", L"keep me");
    Load();
    EXPECT_TRUE(MakeExtensionAssociated(Ext(L".r")));
    EXPECT_EQ(ClassValue(L"Unassigned\\shell\\open\\command"), L"keep me");
    EXPECT_EQ(ClassValue(L".r"), L"Unassigned");
}

TEST_F(MakeAssociatedTest, AnAssociationWithoutCommandGetsAnEmptyOneOnYes) {
    PutClass(L".w", L"", L"wfile");
    PutClass(L"wfile\\DefaultIcon", L"", L"w.ico");
    Load();
    boxes.answers = {AnswerYes};
    EXPECT_TRUE(MakeExtensionAssociated(Ext(L".w")));
    EXPECT_EQ(ShownNumbers(), std::vector<long>{5006});
    EXPECT_EQ(ClassValue(L"wfile\\shell\\open\\command"), L"");
    EXPECT_EQ(ClassValue(L".w"), L"wfile");
}

TEST_F(MakeAssociatedTest, UsableOrMissingProgramAssociationsAreLeftAlone) {
    PutClass(L".m", L"", L"mfile");
    PutClass(L"mfile\\shell\\open\\command", L"", L"C:\\nowhere\\m.exe %1");
    Load();
    EXPECT_FALSE(MakeExtensionAssociated(Ext(L".m")));
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(MakeAssociatedTest, NumericLookingExtensionsAreWrittenWhereTheyAre) {
    PutClass(L".1");
    Load();
    boxes.answers = {AnswerYes};
    EXPECT_TRUE(MakeExtensionAssociated(Ext(L".1")));
    EXPECT_EQ(ClassValue(L".1"), L"Unassigned");
    HKEY key;
    EXPECT_NE(RegOpenKeyExW(HKEY_LOCAL_MACHINE, (std::wstring(SuiteRegistryKey) + L"\\.1").c_str(), 0, KEY_READ,
                            &key),
              ERROR_SUCCESS);
}

TEST_F(MakeAssociatedTest, ARefusedWriteIsReportedAndNotTakenForSuccess) {
    // HKEY_CLASSES_ROOT that refuses new keys: below a volatile key only volatile keys may be
    // made, and the repair makes ordinary ones.
    HKEY refusing, ext;
    ASSERT_EQ(RegCreateKeyExW(scratchKey_, L"Refusing", 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr,
                              &refusing, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegCreateKeyExW(refusing, L".q", 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr, &ext,
                              nullptr),
              ERROR_SUCCESS);
    RegCloseKey(ext);
    ASSERT_EQ(RegOverridePredefKey(HKEY_CLASSES_ROOT, refusing), ERROR_SUCCESS);
    Load();
    boxes.answers = {AnswerYes};
    bool changed = MakeExtensionAssociated(Ext(L".q"));
    std::wstring extValue = ClassValue(L".q");
    RegOverridePredefKey(HKEY_CLASSES_ROOT, classes_);
    RegCloseKey(refusing);
    EXPECT_FALSE(changed);
    ASSERT_EQ(boxes.shown.size(), 2u);  // the question, then the report
    EXPECT_NE(boxes.shown[1].prompt.find(L"refused"), std::wstring::npos);
    EXPECT_EQ(extValue, L"<none>");  // the extension is not pointed at a key that is not there
}

}  // namespace
