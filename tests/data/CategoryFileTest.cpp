#include <windows.h>

#include <gtest/gtest.h>

#include "CategoryHost.h"
#include "DataTestSupport.h"
#include "FakeCategoryWindow.h"
#include "MessageCounts.h"
#include "TestSupport.h"
#include "UiTestForms.h"
#include "basAliases.h"
#include "basCategories.h"
#include "basData.h"
#include "basErrorHandler.h"
#include "basMessageHandler.h"
#include "vb/VbError.h"
#include "win/TreeView.h"

namespace {


// The file exactly as the writer makes it: categories in name order (case aside), programs and
// extensions in the order of their sorted folders, subcategories in file order.
const char kCanonical[] =
    "<?xml version=\"1.0\" ?>\r\n"
    "<MorvaTessel>\r\n"
    "   <Category name=\"a{[~26~]}b\" Active=\"no\">\r\n"
    "      <Subcategory name=\"Only\">\r\n"
    "      </Subcategory>\r\n"
    "</Category>\r\n"
    "   <Category name=\"Graphics\" Removable=\"no\">\r\n"
    "      <Subcategory name=\"Viewers\" Removable=\"no\">\r\n"
    "         <Program T1=\"Acme - Zed\" T2=\"2.0\" T3=\"OK\" T4=\"C:\\Zed\\zed.exe\" T5=\"C:\\Zed\\zed.exe\"/>\r\n"
    "         <Program Default=\"yes\" T1=\"Quillon - Pix {[~2627~]}Co\" T2=\"1.2\" T3=\"SD\" "
    "T4=\"C:\\Pix Files\\pix.exe\" T5=\"C:\\PIXFIL~1\\pix.exe\"/>\r\n"
    "         <Extension ext=\".bmp\" />\r\n"
    "         <Extension ext=\".gif\" />\r\n"
    "      </Subcategory>\r\n"
    "      <Subcategory name=\"Editors\">\r\n"
    "         <Extension ext=\".TXT\" />\r\n"
    "      </Subcategory>\r\n"
    "</Category>\r\n"
    "   <Category name=\"zeta\">\r\n"
    "</Category>\r\n"
    "</MorvaTessel>\r\n";

class CategoryFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetMessageRows(LibraryMessageRow);
        folder = testsupport::FreshTempFolder(L"lxcat");
        UseDataFolder(folder);
        previous = SetCategoryHost(&window);
        CategoriesLoaded() = false;
        Aliases().Clear();
    }
    void TearDown() override {
        SetCategoryHost(previous);
        CategoriesLoaded() = false;
        Aliases().Clear();
        testsupport::RemoveTree(folder);
        ErrorHandler(ehClearAll);
        vb::Err().Clear();
    }
    win::TreeView& Tree() { return *window.tree; }
    win::TreeNode Key(const std::wstring& key) { return Tree().ItemByKey(key); }
    std::vector<std::wstring> ChildTexts(win::TreeNode parent) {
        std::vector<std::wstring> texts;
        for (win::TreeNode n = Tree().Child(parent); n; n = Tree().Next(n)) texts.push_back(Tree().Text(n));
        return texts;
    }
    win::TreeNode AddProgram(win::TreeNode folderNode, const std::vector<std::wstring>& fields, bool isDefault) {
        vb::Variant::Array tag;
        for (const auto& f : fields) tag.emplace_back(f);
        win::TreeNode node = Tree().Add(folderNode, L"", ProgramNodeText(fields), ciProgram);
        Tree().SetNodeTag(node, vb::Variant(tag));
        if (isDefault) Tree().SetMarks(node, win::tnDefault);
        return node;
    }
    win::TreeNode AddSubcategory(win::TreeNode category, const std::wstring& name, unsigned marks = 0) {
        std::wstring key = Tree().Key(category) + L"*" + name;
        win::TreeNode sub = Tree().Add(category, key, name, ciSubcategory);
        Tree().SetMarks(sub, marks);
        Tree().SetSorted(Tree().Add(sub, key + L"*P", L"Programs", ciProgramsFolder), true);
        Tree().SetSorted(Tree().Add(sub, key + L"*E", L"Extensions", ciExtensionsFolder), true);
        return sub;
    }
    void AddExtension(win::TreeNode sub, const std::wstring& ext) {
        win::TreeNode node = Tree().Add(Tree().LastSibling(Tree().Child(sub)), L"", ext, ciExtension);
        Tree().SetNodeTag(node, vb::Variant(1L));
    }

    std::wstring folder;
    FakeCategoryWindow window;
    CategoryHost* previous = nullptr;
    FakePresenter boxes;
};

TEST_F(CategoryFileTest, WriterGivesTheExactLines) {
    // Built in an order unlike the file's: the writer sorts the categories, nothing else.
    win::TreeNodes& t = Tree();
    win::TreeNode zeta = t.Add(nullptr, L"zeta", L"zeta", ciCategory);
    win::TreeNode graphics = t.Add(nullptr, L"Graphics", L"Graphics", ciCategory);
    t.SetMarks(graphics, win::tnNotRemovable);
    win::TreeNode amp = t.Add(nullptr, L"a&b", L"a&b", ciCategory);
    t.SetMarks(amp, win::tnInactive);
    (void)zeta;
    win::TreeNode only = t.Add(amp, L"a&b*Only", L"Only", ciSubcategory);
    (void)only;  // no Programs or Extensions folder at all: opening and closing lines only
    win::TreeNode viewers = AddSubcategory(graphics, L"Viewers", win::tnNotRemovable);
    win::TreeNode editors = AddSubcategory(graphics, L"Editors");
    AddProgram(t.Child(viewers),
               {L"Quillon - Pix &'Co", L"1.2", L"SD", L"C:\\Pix Files\\pix.exe", L"C:\\PIXFIL~1\\pix.exe"}, true);
    AddProgram(t.Child(viewers), {L"Acme - Zed", L"2.0", L"OK", L"C:\\Zed\\zed.exe", L"C:\\Zed\\zed.exe"}, false);
    AddExtension(viewers, L".gif");
    AddExtension(viewers, L".bmp");
    AddExtension(editors, L".TXT");

    EXPECT_EQ(CategoryFileText(t), kCanonical);
}

TEST_F(CategoryFileTest, EmptyTreeStillGivesAWellFormedFile) {
    EXPECT_EQ(CategoryFileText(Tree()), "<?xml version=\"1.0\" ?>\r\n<MorvaTessel>\r\n</MorvaTessel>\r\n");
    CategoriesLoaded() = true;
    SaveCategories();
    window.rows.clear();
    EXPECT_TRUE(GetCategories()) << "the file it wrote reads back";
    EXPECT_EQ(Tree().Count(), 0);
}

TEST_F(CategoryFileTest, ReadThenWriteGivesTheSameBytes) {
    WriteBytes(CategoryFilePath(), kCanonical);
    ASSERT_TRUE(GetCategories());
    EXPECT_TRUE(boxes.shown.empty());
    EXPECT_TRUE(CategoriesLoaded());

    win::TreeNode graphics = Key(L"Graphics");
    ASSERT_NE(graphics, nullptr);
    EXPECT_EQ(Tree().ForeColor(graphics), 0xFF0000);
    EXPECT_EQ(Tree().ForeColor(Key(L"a&b")), 0x80);
    win::TreeNode programs = Key(L"Graphics*Viewers*P");
    ASSERT_NE(programs, nullptr);
    EXPECT_EQ(Tree().Child(Key(L"Graphics*Viewers")), programs) << "Programs first";
    EXPECT_EQ(Tree().LastSibling(programs), Key(L"Graphics*Viewers*E")) << "Extensions last";
    EXPECT_EQ(ChildTexts(programs), (std::vector<std::wstring>{L"Acme - Zed 2.0", L"Quillon - Pix &'Co 1.2"}));
    win::TreeNode pix = Tree().Next(Tree().Child(programs));
    EXPECT_TRUE(Tree().Bold(pix));
    EXPECT_EQ(Tree().NodeTag(pix).AsArray()[3].ToString(), L"C:\\Pix Files\\pix.exe");
    EXPECT_EQ(Tree().Image(pix), ciProgram);
    win::TreeNode ext = Tree().Child(Key(L"Graphics*Viewers*E"));
    EXPECT_EQ(Tree().Text(ext), L".bmp");
    EXPECT_EQ(Tree().NodeTag(ext).ToLong(), 3);
    EXPECT_TRUE(Tree().Sorted(programs));
    EXPECT_EQ(Tree().Children(Key(L"a&b*Only*E")), 0) << "an Extensions folder also without extensions";

    DeleteFileW(CategoryFilePath().c_str());
    SaveCategories();
    EXPECT_EQ(ReadBytes(CategoryFilePath()), kCanonical);
}

TEST_F(CategoryFileTest, ReaderCases) {
    struct Case {
        const char* name;
        const char* body;  // between the root's tags
        int categories;    // top-level nodes afterwards
        bool untouched;
        const char* check;  // key whose colour is checked, "" none
        long colour;
    };
    const Case cases[] = {
        {"marker alone", "<Category name=\"_UnTouched_1092374\"><Subcategory name=\"S\"/></Category>", 0, true, "", 0},
        {"marker in any case", "<Category name=\"_untouched_1092374\"/><Category name=\"K\"/>", 1, true, "K", 0},
        {"both marks: not removable", "<Category name=\"K\" Removable=\"NO\" Active=\"no\"/>", 1, false, "K", 0xFF0000},
        {"inactive", "<Category name=\"K\" Active=\"No\"/>", 1, false, "K", 0x80},
        {"other values mean nothing", "<Category name=\"K\" Removable=\"yes\" Active=\"0\"/>", 1, false, "K", 0},
        {"escaped name", "<Category name=\"x{[~3C3E~]}y\"/>", 1, false, "x<>y", 0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        window.untouched = false;
        WriteBytes(CategoryFilePath(), std::string("<?xml version=\"1.0\" ?><MorvaTessel>") + c.body + "</MorvaTessel>");
        EXPECT_TRUE(GetCategories());
        long top = 0;
        for (win::TreeNode n = Tree().FirstNode(); n; n = Tree().Next(n)) ++top;
        EXPECT_EQ(top, c.categories);
        EXPECT_EQ(window.untouched, c.untouched);
        if (*c.check) {
            win::TreeNode node = Key(vb::FromAnsi(c.check));
            ASSERT_NE(node, nullptr);
            EXPECT_EQ(Tree().ForeColor(node), c.colour);
        }
    }
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(CategoryFileTest, MissingAttributesReadAsEmpty) {
    WriteBytes(CategoryFilePath(),
               "<MorvaTessel><Category name=\"C\"><Subcategory name=\"S\">"
               "<Program T1=\"Acme - Zed\" T2=\"2.0\"/><Extension/></Subcategory></Category></MorvaTessel>");
    window.rows.push_back({L"", 9});
    ASSERT_TRUE(GetCategories());
    win::TreeNode program = Tree().Child(Key(L"C*S*P"));
    ASSERT_NE(program, nullptr);
    const vb::Variant::Array& tag = Tree().NodeTag(program).AsArray();
    ASSERT_EQ(tag.size(), 5u);
    EXPECT_EQ(tag[1].ToString(), L"2.0");
    EXPECT_EQ(tag[4].ToString(), L"");
    EXPECT_EQ(Tree().Children(Key(L"C*S*E")), 1) << "an extension without ext is the row with empty text";
}

TEST_F(CategoryFileTest, ExtensionsNoLongerRegisteredAreListedAndDropped) {
    WriteBytes(CategoryFilePath(),
               "<MorvaTessel><Category name=\"C\"><Subcategory name=\"S\">"
               "<Extension ext=\".gif\" /><Extension ext=\".old\" /><Extension ext=\".txt\" /><Extension ext=\".gone\" />"
               "</Subcategory></Category></MorvaTessel>");
    ASSERT_TRUE(GetCategories());
    EXPECT_EQ(ChildTexts(Key(L"C*S*E")), (std::vector<std::wstring>{L".gif", L".txt"}));
    EXPECT_EQ(Tree().NodeTag(Tree().LastSibling(Tree().Child(Key(L"C*S*E")))).ToLong(), 7)
        << "text compare finds .TXT";
    ASSERT_EQ(boxes.shown.size(), 1u);
    EXPECT_EQ(boxes.shown[0].prompt,
              L"The following extensions\r\nare no longer registered\r\non your system:\r\n\r\n[.old]\r\n[.gone]");
    EXPECT_EQ(boxes.shown[0].style, MB_OK);
}

// Rows that differ only in case: the first in list order gives the tag, as a walk of the list would.
TEST_F(CategoryFileTest, TheFirstOfRowsEqualAsideFromCaseGivesTheTag) {
    window.rows = {{L"*", 0}, {L".Gif", 4}, {L".GIF", 11}, {L".png", 12}, {L".PNG", 13}};
    WriteBytes(CategoryFilePath(),
               "<MorvaTessel><Category name=\"C\"><Subcategory name=\"S\">"
               "<Extension ext=\".gif\" /></Subcategory><Subcategory name=\"T\"><Extension ext=\".Png\" />"
               "</Subcategory></Category></MorvaTessel>");
    ASSERT_TRUE(GetCategories());
    EXPECT_EQ(Tree().NodeTag(Tree().Child(Key(L"C*S*E"))).ToLong(), 4);
    EXPECT_EQ(Tree().NodeTag(Tree().Child(Key(L"C*T*E"))).ToLong(), 12);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(CategoryFileTest, DuplicateKeysJoinTheNodeAlreadyThere) {
    WriteBytes(CategoryFilePath(),
               "<MorvaTessel>"
               "<Category name=\"C\"><Subcategory name=\"S\"><Program T1=\"A - One\" T2=\"1.0\" T3=\"OK\" T4=\"a\" "
               "T5=\"a\"/></Subcategory></Category>"
               "<Category name=\"c\" Removable=\"no\"><Subcategory name=\"s\"><Program T1=\"B - Two\" T2=\"1.0\" "
               "T3=\"OK\" T4=\"b\" T5=\"b\"/><Extension ext=\".gif\"/></Subcategory><Subcategory name=\"T\"/>"
               "</Category></MorvaTessel>");
    ASSERT_TRUE(GetCategories());
    win::TreeNode c = Key(L"C");
    EXPECT_EQ(Tree().Next(c), nullptr) << "one category";
    EXPECT_EQ(Tree().ForeColor(c), 0) << "the first statement's marks stay";
    EXPECT_EQ(ChildTexts(c), (std::vector<std::wstring>{L"S", L"T"}));
    EXPECT_EQ(ChildTexts(Key(L"C*S*P")), (std::vector<std::wstring>{L"A - One 1.0", L"B - Two 1.0"}));
    EXPECT_EQ(ChildTexts(Key(L"C*S")), (std::vector<std::wstring>{L"Programs", L"Extensions"}));
    EXPECT_EQ(ChildTexts(Key(L"C*S*E")), (std::vector<std::wstring>{L".gif"}));
}

TEST_F(CategoryFileTest, AliasGivesTheProgramText) {
    AliasRecord alias;
    alias.Company = L"Acme";
    alias.Product = L"Zed";
    alias.Version = L"2.0";
    alias.CompanyA = L"Mine";
    alias.ProductA = L"Editor";
    alias.VersionA = L"9";
    Aliases().Add(alias);
    WriteBytes(CategoryFilePath(),
               "<MorvaTessel><Category name=\"C\"><Subcategory name=\"S\">"
               "<Program T1=\"Acme - Zed\" T2=\"2.0\" T3=\"OK\" T4=\"z\" T5=\"z\"/>"
               "<Program T1=\"Acme - Other\" T2=\"2.0\" T3=\"OK\" T4=\"o\" T5=\"o\"/>"
               "</Subcategory></Category></MorvaTessel>");
    ASSERT_TRUE(GetCategories());
    EXPECT_EQ(ChildTexts(Key(L"C*S*P")), (std::vector<std::wstring>{L"Acme - Other 2.0", L"Mine - Editor 9"}));
    // The file keeps the program as found, whatever it is shown as.
    SaveCategories();
    EXPECT_NE(ReadBytes(CategoryFilePath()).find("T1=\"Acme - Zed\" T2=\"2.0\""), std::string::npos);
}

TEST_F(CategoryFileTest, MissingFileGivesTheBuiltInTreeAndIsNotWritten) {
    win::TreeNode old = Tree().Add(nullptr, L"Old", L"Old", ciCategory);
    EXPECT_FALSE(GetCategories());
    EXPECT_EQ(CountMessage(boxes, 4521), 1);
    EXPECT_FALSE(CategoriesLoaded());
    EXPECT_EQ(Tree().FirstNode(), old) << "added to, not cleared";
    win::TreeNode category = Key(L"Non-associated Extensions");
    ASSERT_NE(category, nullptr);
    EXPECT_EQ(Tree().ForeColor(category), 0xFF0000);
    EXPECT_EQ(Tree().Image(category), ciCategory);
    win::TreeNode all = Key(L"Non-associated Extensions*All");
    EXPECT_EQ(Tree().Image(all), ciSubcategory);
    EXPECT_EQ(ChildTexts(all), (std::vector<std::wstring>{L"Programs", L"Extensions"}));
    win::TreeNode any = Key(L"Non-associated Extensions*All*E*");
    ASSERT_NE(any, nullptr);
    EXPECT_EQ(Tree().Text(any), L"*");
    EXPECT_EQ(Tree().NodeTag(any).ToLong(), 0);
    EXPECT_TRUE(window.tree->Expanded(Key(L"Non-associated Extensions*All*E")));

    SaveCategories();
    EXPECT_FALSE(Exists(CategoryFilePath()));

    // Read again with the file still missing: the built-in nodes are kept, no error on their keys.
    const long count = Tree().Count();
    EXPECT_FALSE(GetCategories());
    EXPECT_EQ(Tree().Count(), count);
    EXPECT_EQ(CountMessage(boxes, 4521), 2);
    EXPECT_EQ(boxes.shown.size(), 2u) << "no error box";
}

TEST_F(CategoryFileTest, MalformedFileLeavesTheTreeAsItWas) {
    WriteBytes(CategoryFilePath(), kCanonical);
    ASSERT_TRUE(GetCategories());
    long before = Tree().Count();
    WriteBytes(CategoryFilePath(), "<MorvaTessel><Category name=\"C\"></MorvaTessel>");
    EXPECT_FALSE(GetCategories());
    EXPECT_EQ(CountMessage(boxes, 4533), 1);
    EXPECT_EQ(Tree().Count(), before);
    EXPECT_TRUE(CategoriesLoaded()) << "a failed later read leaves the flag";
}

TEST_F(CategoryFileTest, SaveReplacesTheFileOnlyWhileLoaded) {
    WriteBytes(CategoryFilePath(), kCanonical);
    SaveCategories();
    EXPECT_EQ(ReadBytes(CategoryFilePath()), kCanonical) << "never read: never written";
    ASSERT_TRUE(GetCategories());
    Tree().Remove(Key(L"zeta"));
    SaveCategories();
    std::string saved = ReadBytes(CategoryFilePath());
    EXPECT_EQ(saved.find("zeta"), std::string::npos);
    EXPECT_NE(saved.find("Graphics"), std::string::npos);
}

TEST_F(CategoryFileTest, FindProgramItemTagTakesTheFirstRowOfThatText) {
    window.rows = {{L".a", 1}, {L".B", 2}, {L".b", 3}};
    long tag = 99;
    FindProgramItemTag(L".b", tag);
    EXPECT_EQ(tag, 2);
    FindProgramItemTag(L".c", tag);
    EXPECT_EQ(tag, -1);
    SetCategoryHost(nullptr);
    tag = 5;
    FindProgramItemTag(L".a", tag);
    EXPECT_EQ(tag, -1) << "no options window, no list";
}

}  // namespace
