// The snapshot file: its shape, values of every kind read back as written, the links that
// decide which associations are written, a file that does not parse, and a real registry
// saved and compared with itself.
#include <fstream>
#include <sstream>

#include "RestorerTestSupport.h"
#include "basXmlFiles.h"

namespace {

class SnapshotFileTest : public RestorerScratch {
protected:
    // The element children's names of the "Extension"/"Association" element named name.
    std::vector<std::wstring> ChildrenOf(const wchar_t* group, const std::wstring& name) {
        std::vector<std::wstring> names;
        com::ComPtr<IXMLDOMDocument> document = LoadXmlDocument(GetSnapshotFilePath());
        if (!document) return {L"<no document>"};
        com::ComPtr<IXMLDOMElement> root;
        document->get_documentElement(root.Put());
        com::ComPtr<IXMLDOMNodeList> keys;
        BSTR tag = SysAllocString(group);
        root->getElementsByTagName(tag, keys.Put());
        SysFreeString(tag);
        long count = 0;
        keys->get_length(&count);
        for (long i = 0; i < count; ++i) {
            com::ComPtr<IXMLDOMNode> key;
            keys->get_item(i, key.Put());
            com::ComPtr<IXMLDOMElement> element;
            key->QueryInterface(IID_IXMLDOMElement, element.PutVoid());
            if (CvtForXmlParser(XmlAttribute(element.Get(), L"Name"), XmlUnescape) != name) continue;
            com::ComPtr<IXMLDOMNode> child;
            key->get_firstChild(child.Put());
            while (child) {
                BSTR childName = nullptr;
                child->get_nodeName(&childName);
                names.emplace_back(childName, SysStringLen(childName));
                SysFreeString(childName);
                com::ComPtr<IXMLDOMNode> next;
                child->get_nextSibling(next.Put());
                child = std::move(next);
            }
        }
        return names;
    }
    static std::string FileText(const std::wstring& path) {
        std::ifstream in(vb::ToAnsi(path), std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
};

using Names = std::vector<std::wstring>;

TEST_F(SnapshotFileTest, OneValueOrSubkeyStandsInTheKeyTwoSitInTheirGroup) {
    std::vector<RegKeyRecord> extensions;
    for (int values = 0; values <= 2; ++values) {
        for (int subkeys = 0; subkeys <= 2; ++subkeys) {
            std::wstring name = L".v" + std::to_wstring(values) + L"s" + std::to_wstring(subkeys);
            std::vector<RegValueRecord> v;
            for (int i = 0; i < values; ++i) v.push_back(Text(i == 0 ? L"" : L"Second", L"data" + std::to_wstring(i)));
            std::vector<SubkeyRecord> s;
            for (int i = 0; i < subkeys; ++i) s.push_back(Sub(name + L"\\sub" + std::to_wstring(i), {Text(L"x", L"y")}));
            extensions.push_back(Key(name, v, s));
        }
    }
    SetModel(extensions, {Class(L"data0", L"data.exe")});
    ASSERT_TRUE(SnapshotModel());

    struct Case {
        const wchar_t* name;
        Names children;
    } cases[] = {
        {L".v0s0", {}},
        {L".v1s0", {L"Value"}},
        {L".v2s0", {L"Values"}},
        {L".v0s1", {L"Subkey"}},
        {L".v0s2", {L"Subkeys"}},
        {L".v1s1", {L"Value", L"Subkey"}},
        {L".v2s2", {L"Values", L"Subkeys"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(vb::ToAnsi(c.name));
        EXPECT_EQ(ChildrenOf(L"Extension", c.name), c.children);
    }
    // Every shape reads back as it was written.
    ASSERT_EQ(SnapshotExtKeys().size(), ExtKeys().size());
    for (size_t i = 1; i < ExtKeys().size(); ++i) {
        const RegKeyRecord& written = ExtKeys()[static_cast<size_t>(ExtByName()[i])];
        const RegKeyRecord& read = SnapshotExtKeys()[i];
        SCOPED_TRACE(vb::ToAnsi(written.KeyName));
        EXPECT_EQ(read.KeyName, written.KeyName);
        EXPECT_EQ(read.ValueIndex, written.ValueIndex);
        ASSERT_EQ(read.KeyValues.size(), written.KeyValues.size());
        for (size_t v = 0; v < read.KeyValues.size(); ++v) {
            EXPECT_EQ(read.KeyValues[v].ValueName, written.KeyValues[v].ValueName);
            EXPECT_EQ(read.KeyValues[v].ValueData, written.KeyValues[v].ValueData);
        }
        ASSERT_EQ(read.Subkeys.size(), written.Subkeys.size());
        for (size_t s = 0; s < read.Subkeys.size(); ++s) {
            EXPECT_EQ(read.Subkeys[s].KeyName, written.Subkeys[s].KeyName);
            EXPECT_EQ(read.Subkeys[s].KeyValues.size(), 1u);
        }
    }
}

TEST_F(SnapshotFileTest, ValuesOfEveryKindReadBackAsWritten) {
    vb::Variant::Bytes all(256);
    for (int i = 0; i < 256; ++i) all[static_cast<size_t>(i)] = static_cast<uint8_t>(i);
    const std::wstring controls = std::wstring(L"a\x01\tb\x1f", 5);
    const std::wstring multi = std::wstring(L"one\0two\0", 8);
    struct Case {
        const wchar_t* name;
        long type;
        vb::Variant data;
        vb::Variant expected;  // as the reader gives it back
    } cases[] = {
        {L"controls", REG_SZ, vb::Variant(controls), vb::Variant(controls)},
        {L"multi", REG_MULTI_SZ, vb::Variant(multi), vb::Variant(multi)},
        {L"high", REG_EXPAND_SZ, vb::Variant(L"caf\u00e9 \u00fcber %x%"), vb::Variant(L"caf\u00e9 \u00fcber %x%")},
        {L"markup <&>'\"", REG_SZ, vb::Variant(L"<a href=\"x\">&amp;'</a>"), vb::Variant(L"<a href=\"x\">&amp;'</a>")},
        {L"bytes", REG_BINARY, vb::Variant(all), vb::Variant(all)},
        {L"dword", REG_DWORD, vb::Variant(4294967295.0), vb::Variant(L"4294967295")},
        {L"none", REG_NONE, vb::Variant(vb::Variant::Bytes{}), vb::Variant(vb::Variant::Bytes{})},
        {L"qword", 11, vb::Variant(vb::Variant::Bytes{1, 0, 0, 0, 0, 0, 0, 0x80}),
         vb::Variant(vb::Variant::Bytes{1, 0, 0, 0, 0, 0, 0, 0x80})},
        {L"empty text", REG_SZ, vb::Variant(L""), vb::Variant(L"")},
        {L"marker {[~41~]}", REG_SZ, vb::Variant(L"x{[~41~]}y {[~"), vb::Variant(L"x{[~41~]}y {[~")},
        {L"marker bytes", REG_BINARY, vb::Variant(vb::Variant::Bytes{'{', '[', '~', '4', '1', '~', ']', '}'}),
         vb::Variant(vb::Variant::Bytes{'{', '[', '~', '4', '1', '~', ']', '}'})},
    };
    std::vector<RegValueRecord> values;
    for (const Case& c : cases) values.push_back(Value(c.name, c.type, c.data));
    SetModel({Key(L".kinds", values)}, {});
    ASSERT_TRUE(SnapshotModel());

    ASSERT_EQ(SnapshotExtKeys().size(), 2u);
    const RegKeyRecord& read = SnapshotExtKeys()[1];
    ASSERT_EQ(read.KeyValues.size(), std::size(cases));
    for (size_t i = 0; i < std::size(cases); ++i) {
        SCOPED_TRACE(vb::ToAnsi(cases[i].name));
        EXPECT_EQ(read.KeyValues[i].ValueName, cases[i].name);
        EXPECT_EQ(read.KeyValues[i].ValueType, cases[i].type);
        EXPECT_EQ(read.KeyValues[i].ValueData, cases[i].expected);
    }
    // Everything in the file is plain ASCII; the DWORD carries no length.
    const std::string file = FileText(GetSnapshotFilePath());
    for (char ch : file) ASSERT_TRUE(static_cast<unsigned char>(ch) < 128);
    EXPECT_NE(file.find("Name=\"dword\" Data=\"4294967295\" Type=\"4\"/>"), std::string::npos) << file.substr(0, 600);
}

TEST_F(SnapshotFileTest, TheUnnamedValueIsWrittenAsDefaultAndAnyDefaultReadsBackUnnamed) {
    SetModel({Key(L".d", {Text(L"Other", L"1"), Text(L"", L"dfile")}), Key(L".e", {Text(L"(DEFAULT)", L"efile")})},
             {Class(L"dfile", L"d.exe")});
    ASSERT_TRUE(SnapshotModel());
    const std::string file = FileText(GetSnapshotFilePath());
    EXPECT_NE(file.find("Name=\"(Default)\" Data=\"dfile\""), std::string::npos);
    ASSERT_EQ(SnapshotExtKeys().size(), 3u);
    EXPECT_EQ(SnapshotExtKeys()[1].ValueIndex, 1);
    EXPECT_EQ(SnapshotExtKeys()[1].KeyValues[1].ValueName, L"");
    EXPECT_EQ(SnapshotExtKeys()[2].ValueIndex, 0) << "a value named (Default) in any case is the unnamed one";
    EXPECT_EQ(SnapshotExtKeys()[2].KeyValues[0].ValueName, L"");
}

TEST_F(SnapshotFileTest, AnAssociationLinkedTwiceIsWrittenOnceAndAnUnlinkedOneNotAtAll) {
    SetModel({Key(L".a", {Text(L"", L"shared")}), Key(L".b", {Text(L"", L"shared")}), Key(L".c")},
             {Class(L"shared", L"shared.exe"), Class(L"lonely", L"lonely.exe"), Class(L"tag<&>", L"x.exe")});
    ASSERT_TRUE(SnapshotModel());
    ASSERT_EQ(SnapshotAssocKeys().size(), 2u);
    EXPECT_EQ(SnapshotAssocKeys()[1].KeyName, L"shared");
    EXPECT_EQ(SnapshotAssocKeys()[1].Subkeys.size(), 3u);
    EXPECT_EQ(SnapshotAssocKeys()[1].Subkeys[2].KeyName, L"shared\\shell\\open\\command");
    EXPECT_EQ(SnapshotExtKeys()[1].Link, 1) << "the snapshot's extensions are linked again";
    EXPECT_EQ(SnapshotExtKeys()[2].Link, 1);
    EXPECT_EQ(SnapshotExtKeys()[3].Link, 0);
}

TEST_F(SnapshotFileTest, AMalformedFileIsToldAsASnapshotThatCannotBeReadAndLeavesNothingToCompare) {
    SetModel({Key(L".a", {Text(L"", L"afile")})}, {Class(L"afile", L"a.exe")});
    ASSERT_TRUE(SnapshotModel());
    ASSERT_EQ(SnapshotExtKeys().size(), 2u);

    std::ofstream(vb::ToAnsi(GetSnapshotFilePath()), std::ios::binary | std::ios::trunc)
        << "<?xml version='1.0'?>\n<MorvaWA><Extensions><Extension Name='.a'></Extensions></MorvaWA>";
    EXPECT_FALSE(GetAssocSnapshot(GetSnapshotFilePath()));
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].title, L"Association Restorer");
    EXPECT_EQ(boxes.shown[0].style, static_cast<long>(MB_OK | MB_ICONEXCLAMATION));
    const std::wstring& text = boxes.shown[0].prompt;
    EXPECT_TRUE(vb::StartsWith(text, L"The snapshot of your file associations could not be read")) << vb::ToAnsi(text);
    EXPECT_NE(text.find(L"File: " + GetSnapshotFilePath()), std::wstring::npos) << vb::ToAnsi(text);
    EXPECT_NE(text.find(L"Reason: it is not a well-formed XML file"), std::wstring::npos) << vb::ToAnsi(text);
    EXPECT_NE(text.find(L"Click \"Save\" to take a new snapshot"), std::wstring::npos) << vb::ToAnsi(text);
    EXPECT_EQ(text.find(L"Err#"), std::wstring::npos) << "no parser's form";

    // Nothing of the earlier read stands in for the file.
    EXPECT_FALSE(SnapshotRead());
    EXPECT_EQ(SnapshotExtKeys().size(), 1u);

    // A well-formed file of another kind is no snapshot either.
    std::ofstream(vb::ToAnsi(GetSnapshotFilePath()), std::ios::binary | std::ios::trunc) << "<Other/>";
    EXPECT_FALSE(GetAssocSnapshot(GetSnapshotFilePath()));
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_NE(boxes.shown[1].prompt.find(L"Reason: it holds no \"MorvaWA\" element"), std::wstring::npos);
}

TEST_F(SnapshotFileTest, AnEmptyModelWritesNoSnapshotAndTheOldOneStays) {
    SetModel({Key(L".a", {Text(L"", L"afile")})}, {Class(L"afile", L"a.exe")});
    ASSERT_TRUE(SnapshotModel());
    const std::string before = FileText(GetSnapshotFilePath());
    SetModel({}, {});
    EXPECT_ANY_THROW(WriteAssocSnapshot(GetSnapshotFilePath(), ExtKeys(), AssocKeys(), ExtByName()));
    vb::Err().Clear();
    EXPECT_EQ(FileText(GetSnapshotFilePath()), before);
}

// Well-formed files that must never drive a restore: each reads as no snapshot at all, told as
// one that cannot be read and why, and the comparison offers nothing to add or remove.
TEST_F(SnapshotFileTest, ADamagedSnapshotIsNotReadAndDrivesNothing) {
    const struct {
        const char* what;
        const char* body;  // inside <MorvaWA>
        const wchar_t* reason;
    } cases[] = {
        {"no extensions", "<Extensions></Extensions><Associations></Associations>", L"lists no extensions"},
        {"a subkey outside its key",
         "<Extensions><Extension Name='.a'><Subkey Name='CLSID\\{0}\\InprocServer32'>"
         "<Value Name='(Default)' Data='evil.dll' Type='1'/></Subkey></Extension></Extensions>",
         L"lies outside it"},
        {"a subkey that only starts like its key",
         "<Extensions><Extension Name='.a'><Subkey Name='.abc\\shell'/></Extension></Extensions>", L"lies outside it"},
        {"an extension without a dot", "<Extensions><Extension Name='CLSID'/></Extensions>", L"is no extension"},
        {"an extension without a name", "<Extensions><Extension/></Extensions>", L"is no extension"},
        {"an association subkey outside it",
         "<Extensions><Extension Name='.a'><Value Name='(Default)' Data='afile' Type='1'/></Extension></Extensions>"
         "<Associations><Association Name='afile'><Subkey Name='bfile\\shell'/></Association></Associations>",
         L"lies outside it"},
        {"a huge data length",
         "<Extensions><Extension Name='.a'><Value Name='Bin' Data='AB' Type='3' DataLength='2000000000'/>"
         "</Extension></Extensions>",
         L"data length"},
        {"a data length that is no number",
         "<Extensions><Extension Name='.a'><Value Name='Bin' Data='AB' Type='3' DataLength='-1'/>"
         "</Extension></Extensions>",
         L"data length"},
        {"a text length that is no number",
         "<Extensions><Extension Name='.a'><Value Name='(Default)' Data='afile' Type='1' DataLength='x'/>"
         "</Extension></Extensions>",
         L"data length"},
        {"a negative text length",
         "<Extensions><Extension Name='.a'><Value Name='Path' Data='%x%' Type='2' DataLength='-3'/>"
         "</Extension></Extensions>",
         L"data length"},
        {"a text length beyond the text",
         "<Extensions><Extension Name='.a'><Value Name='Multi' Data='a' Type='7' DataLength='9'/>"
         "</Extension></Extensions>",
         L"data length"},
        {"a binary length beyond what a code page could lose",
         "<Extensions><Extension Name='.a'><Value Name='Bin' Data='AB' Type='3' DataLength='5'/>"
         "</Extension></Extensions>",
         L"data length"},
        {"extensions naming classes and no association at all",
         "<Extensions><Extension Name='.a'><Value Name='(Default)' Data='afile' Type='1' DataLength='5'/></Extension>"
         "<Extension Name='.b'/></Extensions><Associations></Associations>",
         L"holds none of them"},
        {"an association below another key",
         "<Extensions><Extension Name='.a'><Value Name='(Default)' Data='CLSID\\{0}' Type='1'/></Extension></Extensions>"
         "<Associations><Association Name='CLSID\\{0}'><Subkey Name='CLSID\\{0}\\InprocServer32'>"
         "<Value Name='(Default)' Data='C:\\evil.dll' Type='1'/></Subkey></Association></Associations>",
         L"is no class of its own"},
        {"an association on the skip list",
         "<Extensions><Extension Name='.a'><Value Name='(Default)' Data='Interface' Type='1'/></Extension></Extensions>"
         "<Associations><Association Name='Interface'><Subkey Name='Interface\\x'/></Association></Associations>",
         L"is no class of its own"},
        {"an association named as one on the skip list in other letters",
         "<Extensions><Extension Name='.a'><Value Name='(Default)' Data='clsid' Type='1'/></Extension></Extensions>"
         "<Associations><Association Name='clsid'/></Associations>",
         L"is no class of its own"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        boxes.shown.clear();
        std::ofstream(vb::ToAnsi(GetSnapshotFilePath()), std::ios::binary | std::ios::trunc)
            << "<?xml version='1.0'?>\n<MorvaWA>" << c.body << "</MorvaWA>";
        EXPECT_FALSE(GetAssocSnapshot(GetSnapshotFilePath()));
        EXPECT_FALSE(SnapshotRead());
        EXPECT_EQ(SnapshotExtKeys().size(), 1u);
        EXPECT_EQ(boxes.shown.size(), 1u);
        if (!boxes.shown.empty()) {
            const std::wstring& text = boxes.shown[0].prompt;
            EXPECT_EQ(boxes.shown[0].title, L"Association Restorer");
            EXPECT_TRUE(vb::StartsWith(text, L"The snapshot of your file associations could not be read"));
            EXPECT_NE(text.find(L"Reason: it is damaged: "), std::wstring::npos) << vb::ToAnsi(text);
            EXPECT_NE(text.find(c.reason), std::wstring::npos) << vb::ToAnsi(text);
        }
        // The present side has extensions; none of them is offered for removal.
        SetModel({Key(L".a", {Text(L"", L"afile")}), Key(L".b")}, {});
        DetermineAssocExtDiffs();
        for (size_t i = 1; i < AssocDiffs().size(); ++i) EXPECT_GE(AssocDiffs()[i].Kind, dkAssocMissing);
    }
}

// What such a file may hold and still read: lengths that only cut, zeros a double-byte code page
// could have cost a one-character-per-byte writer, subkeys a writer could not read, and "*".
TEST_F(SnapshotFileTest, AFileWithPlaceholdersOrTheAllFilesClassReadsBack) {
    const char* body =
        "<Extensions>"
        "<Extension Name='*'><Subkeys><Subkey/><Subkey Name='*\\shellex'/><Subkey Name=''/></Subkeys></Extension>"
        "<Extension Name='.a'><Values><Value Name='Bin' Data='ABC' Type='3' DataLength='2'/>"
        "<Value Name='Fill' Data='AB' Type='3' DataLength='4'/>"
        "<Value Name='Cut' Data='abcdef' Type='1' DataLength='3'/>"
        "<Value Name='(Default)' Data='*' Type='1' DataLength='1'/></Values></Extension>"
        "<Extension Name='.b'><Value Name='(Default)' Data='bfile' Type='1' DataLength='5'/></Extension>"
        "</Extensions><Associations>"
        "<Association Name='*'><Subkey Name='*\\shellex'/></Association>"
        "<Association Name='bfile'><Subkey/><Subkey Name='bfile\\shell'/></Association>"
        "</Associations>";
    std::ofstream(vb::ToAnsi(GetSnapshotFilePath()), std::ios::binary | std::ios::trunc)
        << "<?xml version='1.0'?>\n<MorvaWA>" << body << "</MorvaWA>";
    ASSERT_TRUE(GetAssocSnapshot(GetSnapshotFilePath()));
    EXPECT_TRUE(boxes.shown.empty());
    ASSERT_EQ(SnapshotExtKeys().size(), 4u);
    const RegKeyRecord& star = SnapshotExtKeys()[static_cast<size_t>(IndexOf(SnapshotExtKeys(), L"*"))];
    ASSERT_EQ(star.Subkeys.size(), 1u) << "the unnamed placeholders are dropped";
    EXPECT_EQ(star.Subkeys[0].KeyName, L"*\\shellex");
    const RegKeyRecord& a = SnapshotExtKeys()[static_cast<size_t>(IndexOf(SnapshotExtKeys(), L".a"))];
    ASSERT_EQ(a.KeyValues.size(), 4u);
    EXPECT_EQ(a.KeyValues[0].ValueData.AsBytes(), (vb::Variant::Bytes{'A', 'B'}));
    EXPECT_EQ(a.KeyValues[1].ValueData.AsBytes(), (vb::Variant::Bytes{'A', 'B', 0, 0}));
    EXPECT_EQ(a.KeyValues[2].ValueData, vb::Variant(L"abc"));
    ASSERT_EQ(SnapshotAssocKeys().size(), 3u);
    EXPECT_EQ(SnapshotExtKeys()[static_cast<size_t>(IndexOf(SnapshotExtKeys(), L".a"))].Link,
              IndexOf(SnapshotAssocKeys(), L"*"));
    EXPECT_EQ(SnapshotAssocKeys()[static_cast<size_t>(IndexOf(SnapshotAssocKeys(), L"bfile"))].Subkeys.size(), 1u);
}

// The writer leaves out what the reader would refuse, so every snapshot it writes reads back.
TEST_F(SnapshotFileTest, TheWriterLeavesOutUnreadSubkeysAndSystemKeysAndItsFileReadsBack) {
    RegKeyRecord withPlaceholders = Key(L".x", {Text(L"", L"xfile")}, {Sub(L""), Sub(L".x\\b"), Sub(L"")});
    SetModel({withPlaceholders, Key(L".star", {Text(L"", L"*")}), Key(L".c", {Text(L"", L"CLSID")})},
             {Class(L"xfile", L"x.exe"), Key(L"*", {}, {Sub(L"*\\shellex")}), Key(L"CLSID", {}, {Sub(L"CLSID\\{0}")})});
    std::wstring error;
    ASSERT_TRUE(SnapshotModel(&error)) << vb::ToAnsi(error);
    const std::string file = FileText(GetSnapshotFilePath());
    EXPECT_EQ(file.find("<Subkey/>"), std::string::npos) << file;
    EXPECT_EQ(file.find("Association Name=\"CLSID\""), std::string::npos) << file;
    EXPECT_NE(file.find("Association Name=\"*\""), std::string::npos) << file;
    EXPECT_EQ(ChildrenOf(L"Extension", L".x"), (Names{L"Value", L"Subkey"})) << "one named subkey stands alone";
    ASSERT_EQ(SnapshotExtKeys().size(), 4u);
    EXPECT_EQ(SnapshotExtKeys()[static_cast<size_t>(IndexOf(SnapshotExtKeys(), L".x"))].Subkeys.size(), 1u);
}

TEST_F(SnapshotFileTest, AFailedWriteLeavesTheOldSnapshotWhole) {
    SetModel({Key(L".a", {Text(L"", L"afile")})}, {Class(L"afile", L"a.exe")});
    ASSERT_TRUE(SnapshotModel());
    const std::string before = FileText(GetSnapshotFilePath());
    // A folder where the new file would go: the save cannot write it.
    ASSERT_TRUE(CreateDirectoryW((GetSnapshotFilePath() + L".new").c_str(), nullptr));
    SetModel({Key(L".b", {Text(L"", L"bfile")})}, {Class(L"bfile", L"b.exe")});
    EXPECT_ANY_THROW(WriteAssocSnapshot(GetSnapshotFilePath(), ExtKeys(), AssocKeys(), ExtByName()));
    vb::Err().Clear();
    EXPECT_EQ(FileText(GetSnapshotFilePath()), before);
    RemoveDirectoryW((GetSnapshotFilePath() + L".new").c_str());
}

TEST_F(SnapshotFileTest, ARealRegistrySavedAndReadBackComparesEqual) {
    const std::wstring program = ThisProgram();
    PutClass(L".txt", L"", L"txtfile");
    PutClass(L".txt\\ShellNew", L"NullFile", L"");
    PutClass(L".log", L"", L"txtfile");
    PutClass(L".bin", L"", L"binfile");
    PutClass(L".bin", L"Content Type", L"application/x-bin");
    PutRaw(HKEY_CLASSES_ROOT, L".bin", "Raw", REG_BINARY, {0, 1, 0x80, 0xff});
    PutRaw(HKEY_CLASSES_ROOT, L".bin", "Nothing", REG_NONE, {});
    PutRaw(HKEY_CLASSES_ROOT, L".bin", "Wide", 11, {1, 2, 3, 4, 5, 6, 7, 8});
    PutRaw(HKEY_CLASSES_ROOT, L".bin", "Flags", REG_DWORD, {0xff, 0xff, 0xff, 0xff});
    PutClass(L"txtfile\\shell\\open\\command", L"", L"\"" + program + L"\" \"%1\"");
    PutClass(L"binfile\\shell\\open\\command", L"", L"\"" + program + L"\" /b \"%1\"");
    PutClass(L"binfile\\DefaultIcon", L"", L"icon.ico,1");
    LoadRegistryExtensions();
    LoadRegistryAssociations();
    ASSERT_EQ(ExtKeys().size(), 4u);

    ASSERT_TRUE(SnapshotModel());
    DetermineAssocExtDiffs();
    EXPECT_EQ(AssocDiffs().size(), 1u) << "no differences, every association valid";

    // The values keep their types and bytes through the file.
    const long bin = IndexOf(SnapshotExtKeys(), L".bin");
    ASSERT_GT(bin, 0);
    const RegKeyRecord& read = SnapshotExtKeys()[static_cast<size_t>(bin)];
    const RegKeyRecord& model = ExtKeys()[static_cast<size_t>(IndexOf(ExtKeys(), L".bin"))];
    ASSERT_EQ(read.KeyValues.size(), model.KeyValues.size());
    for (size_t i = 0; i < read.KeyValues.size(); ++i) {
        SCOPED_TRACE(vb::ToAnsi(model.KeyValues[i].ValueName));
        EXPECT_EQ(read.KeyValues[i].ValueType, model.KeyValues[i].ValueType);
        if (model.KeyValues[i].ValueType == REG_DWORD)
            EXPECT_EQ(read.KeyValues[i].ValueData, vb::Variant(L"4294967295"));
        else
            EXPECT_EQ(read.KeyValues[i].ValueData, model.KeyValues[i].ValueData);
    }
    long none = -1;
    ASSERT_TRUE(FindValueIndex(model.KeyValues, L"Nothing", none));
    EXPECT_EQ(model.KeyValues[static_cast<size_t>(none)].ValueType, REG_NONE);
    EXPECT_TRUE(model.KeyValues[static_cast<size_t>(none)].ValueData.IsBytes()) << "an empty value keeps a data of its type";

    // A change in the registry since shows up.
    PutClass(L".log", L"", L"binfile");
    PutClass(L".new", L"", L"txtfile");
    LoadRegistryExtensions();
    LoadRegistryAssociations();
    DetermineAssocExtDiffs();
    ASSERT_EQ(AssocDiffs().size(), 3u);
    EXPECT_EQ(AssocDiffs()[1].Kind, dkAssocChanged);
    EXPECT_EQ(ExtKeys()[static_cast<size_t>(AssocDiffs()[1].CurrentIndex)].KeyName, L".log");
    EXPECT_EQ(AssocDiffs()[2].Kind, dkExtAdded);
}

}  // namespace
