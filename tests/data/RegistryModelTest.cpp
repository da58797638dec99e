#include <algorithm>

#include "RegistryScratch.h"
#include "basAssocLinks.h"

namespace {

using RegistryModelTest = RegistryScratch;

std::vector<std::wstring> SubkeyNames(const RegKeyRecord& record) {
    std::vector<std::wstring> names;
    for (const SubkeyRecord& s : record.Subkeys) names.push_back(s.KeyName);
    return names;
}

TEST_F(RegistryModelTest, ExtensionReaderTakesStarAndDottedKeysWithTheirValuesAndFlattenedSubkeys) {
    PutClass(L"*", L"", L"");
    PutClass(L".x", L"", L"xfile");
    PutClass(L".x\\A", L"", L"a");
    PutClass(L".x\\A\\B\\C", L"", L"c");
    PutClass(L".x\\A\\B2");
    PutClass(L".x\\D", L"Named", L"d");
    PutClass(L".y", L"OnlyNamed", L"v");
    PutRaw(HKEY_CLASSES_ROOT, L".z", "", REG_SZ, {'a', 'b', 'c', 0, 0, 0});
    PutClass(L"txtfile", L"", L"Text");

    LoadRegistryExtensions();

    const RegKeyRecords& exts = ExtKeys();
    ASSERT_EQ(exts.size(), 5u);
    EXPECT_TRUE(exts[0].KeyName.empty());
    EXPECT_EQ(IndexOf(exts, L"txtfile"), -1);
    for (const wchar_t* name : {L"*", L".x", L".y", L".z"}) EXPECT_GT(IndexOf(exts, name), 0) << vb::ToAnsi(name);

    const RegKeyRecord& x = exts[IndexOf(exts, L".x")];
    EXPECT_EQ(UnnamedValueText(x), L"xfile");
    EXPECT_EQ(SubkeyNames(x), (std::vector<std::wstring>{L".x\\A", L".x\\A\\B", L".x\\A\\B\\C", L".x\\A\\B2",
                                                         L".x\\D"}));
    EXPECT_EQ(UnnamedValueText(x.Subkeys[0]), L"a");
    EXPECT_EQ(x.Subkeys[1].ValueIndex, -1);  // B: no values at all
    EXPECT_EQ(UnnamedValueText(x.Subkeys[2]), L"c");
    EXPECT_EQ(x.Subkeys[4].ValueIndex, -1);  // D: a named value only
    ASSERT_EQ(x.Subkeys[4].KeyValues.size(), 1u);
    EXPECT_EQ(x.Subkeys[4].KeyValues[0].ValueName, L"Named");

    const RegKeyRecord& y = exts[IndexOf(exts, L".y")];
    EXPECT_EQ(y.ValueIndex, -1);
    EXPECT_TRUE(y.Subkeys.empty());

    const RegKeyRecord& z = exts[IndexOf(exts, L".z")];
    ASSERT_EQ(z.ValueIndex, 0);
    EXPECT_EQ(z.KeyValues[0].ValueType, REG_SZ);
    EXPECT_EQ(z.KeyValues[0].ValueData, vb::Variant(L"abc"));

    // The sorted views: by name, and by association name (no default value sorts first).
    ASSERT_EQ(ExtByName().size(), 5u);
    std::vector<std::wstring> byName;
    for (size_t i = 1; i < ExtByName().size(); ++i) byName.push_back(exts[ExtByName()[i]].KeyName);
    EXPECT_EQ(byName, (std::vector<std::wstring>{L"*", L".x", L".y", L".z"}));
    ASSERT_EQ(ExtByAssoc().size(), 5u);
    EXPECT_EQ(exts[ExtByAssoc().back()].KeyName, L".x");
    EXPECT_EQ(IniNumber(L"Log Registry Loading"), 0);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(RegistryModelTest, AssociationReaderReadsEachNamedAssociationOnceInFirstSeenOrder) {
    PutClass(L".a", L"", L"afile");
    PutClass(L".b", L"", L"AFILE--lumoxpreviewerdisabletag");
    PutClass(L".c", L"", L"missingfile");
    PutClass(L".d", L"", L"bfile");
    PutClass(L".e", L"", L"afile");
    PutClass(L"afile", L"", L"A files");
    PutClass(L"afile\\shell\\open\\command", L"", L"C:\\tools\\a.exe \"%1\"");
    PutClass(L"bfile\\DefaultIcon", L"", L"b.ico");

    LoadRegistryExtensions();
    LoadRegistryAssociations();

    const RegKeyRecords& assocs = AssocKeys();
    ASSERT_EQ(assocs.size(), 3u);
    EXPECT_EQ(assocs[1].KeyName, L"afile");
    EXPECT_EQ(assocs[2].KeyName, L"bfile");
    EXPECT_EQ(IndexOf(assocs, L"missingfile"), -1);
    EXPECT_EQ(UnnamedValueText(assocs[1]), L"A files");
    EXPECT_EQ(SubkeyNames(assocs[1]), (std::vector<std::wstring>{L"afile\\shell", L"afile\\shell\\open",
                                                                 L"afile\\shell\\open\\command"}));

    const RegKeyRecords& exts = ExtKeys();
    const RegKeyRecord& a = exts[IndexOf(exts, L".a")];
    const RegKeyRecord& b = exts[IndexOf(exts, L".b")];
    const RegKeyRecord& c = exts[IndexOf(exts, L".c")];
    const RegKeyRecord& e = exts[IndexOf(exts, L".e")];
    EXPECT_EQ(a.Link, 1);
    EXPECT_EQ(a.TaggedLink, 0);
    EXPECT_EQ(a.CmdLine, L"C:\\tools\\a.exe \"%1\"");
    EXPECT_EQ(b.TaggedLink, 1);
    EXPECT_EQ(b.Link, 0);
    EXPECT_EQ(b.CmdLine, a.CmdLine);
    EXPECT_EQ(c.Link + c.TaggedLink, 0);
    EXPECT_TRUE(c.CmdLine.empty());
    EXPECT_EQ(exts[IndexOf(exts, L".d")].Link, 2);
    // Two untagged extensions: the association keeps the one linked last in association order.
    long laterOfAE = 0;
    for (size_t k = 1; k < ExtByAssoc().size(); ++k) {
        long idx = ExtByAssoc()[k];
        if (&exts[idx] == &a || &exts[idx] == &e) laterOfAE = idx;
    }
    EXPECT_EQ(assocs[1].Link, laterOfAE);
    EXPECT_EQ(assocs[1].TaggedLink, IndexOf(exts, L".b"));
    EXPECT_EQ(IniNumber(L"Log Registry Loading"), 0);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(RegistryModelTest, AssociationReaderSkipsTheChildrenOfBigSystemSubtrees) {
    PutClass(L".app", L"", L"Applications");
    PutClass(L".big", L"", L"bigfile");
    PutClass(L".few", L"", L"Interface");
    for (int i = 0; i < 21; ++i) {
        PutClass(L"Applications\\p" + std::to_wstring(i) + L".exe\\shell");
        PutClass(L"bigfile\\s" + std::to_wstring(i) + L"\\child");
    }
    for (int i = 0; i < 3; ++i) PutClass(L"Interface\\{" + std::to_wstring(i) + L"}\\child");

    LoadRegistryExtensions();
    LoadRegistryAssociations();

    const RegKeyRecords& assocs = AssocKeys();
    ASSERT_GT(IndexOf(assocs, L"Applications"), 0);
    EXPECT_TRUE(assocs[IndexOf(assocs, L"Applications")].Subkeys.empty());
    ASSERT_GT(IndexOf(assocs, L"bigfile"), 0);
    EXPECT_EQ(assocs[IndexOf(assocs, L"bigfile")].Subkeys.size(), 42u);
    ASSERT_GT(IndexOf(assocs, L"Interface"), 0);
    EXPECT_EQ(assocs[IndexOf(assocs, L"Interface")].Subkeys.size(), 6u);  // 20 or fewer: read
}

TEST_F(RegistryModelTest, RunawayNestingStopsTheDescentMarksItAndTellsOncePerLoad) {
    std::wstring path = L".r";
    for (int i = 0; i < 13; ++i) path += L"\\x";
    PutClass(path, L"", L"deep");
    PutClass(L".ok\\sub", L"", L"fine");

    LoadRegistryExtensions();
    const RegKeyRecords& exts = ExtKeys();
    const RegKeyRecord& r = exts[IndexOf(exts, L".r")];
    // .r\x up to eleven x are read; the path with twelve equal trailing parts keeps an empty slot.
    ASSERT_EQ(r.Subkeys.size(), 12u);
    EXPECT_EQ(r.Subkeys[10].KeyName.size(), std::wstring(L".r").size() + 2 * 11);
    EXPECT_TRUE(r.Subkeys[11].KeyName.empty());
    EXPECT_EQ(ShownNumbers(), std::vector<long>{4536});
    EXPECT_NE(Ini(L"Key Recur 1").find(L"]  .r\\x\\x"), std::wstring::npos);
    EXPECT_NE(Ini(L"Key Exten 1").find(L"]  Key: .r"), std::wstring::npos);
    EXPECT_EQ(exts[IndexOf(exts, L".ok")].Subkeys.size(), 1u);

    // Loading again marks again but shows nothing more.
    LoadRegistryExtensions();
    EXPECT_EQ(ShownNumbers(), std::vector<long>{4536});
    EXPECT_NE(Ini(L"Key Recur 2"), L"<unset>");
}

TEST_F(RegistryModelTest, DeepChainsOfDistinctNamesStopAtTheDepthLimit) {
    std::wstring path = L".deep";
    for (int i = 0; i < MaxSubkeyDepth + 6; ++i) path += L"\\k" + std::to_wstring(i);
    PutClass(path);

    LoadRegistryExtensions();
    const RegKeyRecord& deep = ExtKeys()[IndexOf(ExtKeys(), L".deep")];
    EXPECT_EQ(deep.Subkeys.size(), static_cast<size_t>(MaxSubkeyDepth) + 1);
    EXPECT_TRUE(deep.Subkeys.back().KeyName.empty());
    EXPECT_EQ(ShownNumbers(), std::vector<long>{4536});
}

TEST_F(RegistryModelTest, CrashLogStatesFollowTheValueFoundInTheSettingsFile) {
    PutClass(L".a", L"", L"afile");
    PutClass(L"afile\\shell", L"", L"open");
    struct Case {
        long found;
        bool message;
        short modeAfterExtensions;
        long iniAfterExtensions;
        short modeAfterAssociations;
        bool marks;
    } cases[] = {
        {0, false, 1, 0, 3, false},
        {1, true, 2, 0, 3, true},
        {3, true, 4, 3, 4, true},
        {2, true, 3, 2, 3, false},
        {5, true, 6, 5, 6, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.found);
        DeleteFileW((folder_ + L"\\Lumox Options.ini").c_str());
        boxes.shown.clear();
        IniFile(IniWrite, L"Log Registry Loading", vb::Variant(c.found));
        LoadRegistryExtensions();
        EXPECT_EQ(ShownNumbers(), c.message ? std::vector<long>{4538} : std::vector<long>{});
        EXPECT_EQ(LogMode(), c.modeAfterExtensions);
        EXPECT_EQ(IniNumber(L"Log Registry Loading"), c.iniAfterExtensions);
        EXPECT_EQ(Ini(L"Log Registry Loading Main") != L"<unset>", c.marks);
        LoadRegistryAssociations();
        EXPECT_EQ(LogMode(), c.modeAfterAssociations);
        EXPECT_EQ(IniNumber(L"Log Registry Loading"), 0);
        EXPECT_EQ(Ini(L"Log Registry Loading Subkey") != L"<unset>", c.marks);
    }
}

TEST_F(RegistryModelTest, AssociationLoadAfterACrashedOneLogsWithTheExtensionThatNamedIt) {
    PutClass(L".a", L"", L"afile");
    PutClass(L"afile\\shell", L"", L"open");
    IniFile(IniWrite, L"Log Registry Loading", vb::Variant(3L));
    LoadRegistryExtensions();
    LoadRegistryAssociations();
    EXPECT_EQ(Ini(L"Log Registry Loading Main"), L"AssocKey: afile, ExtKey: HKCR/.a, ExtDefValue: afile, Stage: 4");
    EXPECT_EQ(Ini(L"Log Registry Loading Detail"), L"RGAK GetValues 3");
}

TEST_F(RegistryModelTest, SortsOrderNamesWithoutRegardToCase) {
    RegKeyRecords records(6);
    const wchar_t* names[] = {L"", L"beta", L"Alpha", L".TXT", L"alpha2", L".doc"};
    for (int i = 1; i < 6; ++i) records[i].KeyName = names[i];
    std::vector<long> order = Sort(records);
    ASSERT_EQ(order.size(), 6u);
    EXPECT_EQ(order[0], 0);
    std::vector<std::wstring> sorted;
    for (size_t i = 1; i < order.size(); ++i) sorted.push_back(records[order[i]].KeyName);
    EXPECT_EQ(sorted, (std::vector<std::wstring>{L".doc", L".TXT", L"Alpha", L"alpha2", L"beta"}));

    // By association name: the tag is cut off, and a record without a default value sorts first.
    auto withDefault = [](const std::wstring& data) {
        RegKeyRecord r;
        r.KeyValues.push_back({L"", REG_SZ, vb::Variant(data)});
        r.ValueIndex = 0;
        return r;
    };
    RegKeyRecords exts{RegKeyRecord{}, withDefault(L"zfile"), withDefault(L"Bfile--LumoxPreviewerDisableTag"),
                       RegKeyRecord{}, withDefault(L"afile")};
    std::vector<long> byAssoc = SortExtKeys(exts);
    EXPECT_EQ(byAssoc, (std::vector<long>{0, 3, 4, 2, 1}));
    EXPECT_EQ(Sort(RegKeyRecords(1)), std::vector<long>{0});
}

TEST_F(RegistryModelTest, ExplorerKeysAreReadOnlyOnWindowsXpAndLater) {
    Put(HKEY_CURRENT_USER, std::wstring(ExplorerFileExtsKey) + L"\\.txt\\OpenWithList", L"a", L"notepad.exe");
    Put(HKEY_CURRENT_USER, std::wstring(ExplorerFileExtsKey) + L"\\NotAnExtension");

    SetModelWindowsVersionOverride(L"Windows 2000");
    LoadExplorerFileExts();
    EXPECT_EQ(ExplorerExtKeys().size(), 1u);

    SetModelWindowsVersionOverride(L"Windows ?? P2");
    LoadExplorerFileExts();
    ASSERT_EQ(ExplorerExtKeys().size(), 2u);
    EXPECT_EQ(ExplorerExtKeys()[1].KeyName, L".txt");
    ASSERT_EQ(ExplorerExtKeys()[1].Subkeys.size(), 1u);
    EXPECT_EQ(ExplorerExtKeys()[1].Subkeys[0].KeyName, std::wstring(ExplorerFileExtsKey) + L"\\.txt\\OpenWithList");
    EXPECT_EQ(ExplorerExtKeys()[1].Subkeys[0].KeyValues[0].ValueData, vb::Variant(L"notepad.exe"));
}

TEST_F(RegistryModelTest, LongNamesAndValuesAreReadWhole) {
    std::wstring longName(200, L'n');
    std::wstring longData(3000, L'd');
    PutClass(L".long\\" + longName, longName.c_str(), longData);
    LoadRegistryExtensions();
    const RegKeyRecord& rec = ExtKeys()[IndexOf(ExtKeys(), L".long")];
    ASSERT_EQ(rec.Subkeys.size(), 1u);
    EXPECT_EQ(rec.Subkeys[0].KeyName, L".long\\" + longName);
    ASSERT_EQ(rec.Subkeys[0].KeyValues.size(), 1u);
    EXPECT_EQ(rec.Subkeys[0].KeyValues[0].ValueName, longName);
    EXPECT_EQ(rec.Subkeys[0].KeyValues[0].ValueData, vb::Variant(longData));
}

TEST_F(RegistryModelTest, ValuesLongerThanTheKeySaidAreReadWholeAllTheSame) {
    std::wstring longName(120, L'v');
    std::wstring longData(2000, L'x');
    PutClass(L".grow", longName.c_str(), longData);
    PutClass(L".grow", L"", L"growfile");
    HKEY key;
    ASSERT_EQ(RegOpenKeyExW(HKEY_CLASSES_ROOT, L".grow", 0, KEY_READ, &key), ERROR_SUCCESS);
    SubkeyRecord record;
    // Figures that fall short, as the ANSI forms of names can.
    GetValuesFromOpenKey(record, key, 2, 1, 1);
    RegCloseKey(key);
    ASSERT_EQ(record.KeyValues.size(), 2u);
    ASSERT_GE(record.ValueIndex, 0);
    EXPECT_EQ(UnnamedValueText(record), L"growfile");
    const RegValueRecord& named = record.KeyValues[1 - record.ValueIndex];
    EXPECT_EQ(named.ValueName, longName);
    EXPECT_EQ(named.ValueData, vb::Variant(longData));
}

}  // namespace
