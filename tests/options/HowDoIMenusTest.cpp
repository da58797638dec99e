// The "How Do I" sub-menus built from a Messages folder of notes, and the notes' titles.
#include <gtest/gtest.h>

#include <fstream>

#include "MenuTestSupport.h"
#include "OptionsMenus.h"
#include "TestSupport.h"
#include "vb/VbError.h"
#include "vb/VbText.h"

namespace {

using testsupport::FreshTempFolder;
using testsupport::RemoveTree;

void WriteNote(const std::wstring& path, const std::string& text) {
    std::ofstream out(path.c_str(), std::ios::binary);
    out << text;
}

std::string Heading(const std::string& title) {
    return "{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\r\n\\pard\\ul\\b " + title + "\\ulnone\\b0\\par\r\nBody\\par\r\n}\r\n";
}

std::vector<std::wstring> SubMenuCaptions(HMENU sub) {
    std::vector<std::wstring> captions;
    for (int i = 0; i < GetMenuItemCount(sub); ++i) {
        wchar_t text[128] = {};
        GetMenuStringW(sub, static_cast<UINT>(i), text, 127, MF_BYPOSITION);
        captions.push_back(text);
    }
    return captions;
}

UINT SubMenuId(HMENU sub, int position) { return GetMenuItemID(sub, position); }

class HowDoITest : public ::testing::Test {
protected:
    void SetUp() override {
        vb::Err().Clear();
        folder = FreshTempFolder(L"howdoi");
        WriteNote(folder + L"\\b.all.note", Heading("Find a program"));
        WriteNote(folder + L"\\a.cat.note", Heading("How to add a category"));
        WriteNote(folder + L"\\e.cat.note", Heading("How to add an extension"));
        WriteNote(folder + L"\\c.prg.note", Heading("How to add a program"));
        WriteNote(folder + L"\\Plain Words.ext.note", "{\\rtf1 no heading here\\par}\r\n");
        menus = std::make_unique<frmMenus>(commands);
    }
    void TearDown() override {
        menus.reset();
        RemoveTree(folder);
        vb::Err().Clear();
    }
    HMENU Sub(int group, int position) { return menus->NativeSubMenu(group, position); }

    std::wstring folder;
    RecordingMenuCommands commands;
    std::unique_ptr<frmMenus> menus;
};

TEST_F(HowDoITest, NotesAreListedByMaskSortedWithTheCommonOnes) {
    BuildHowDoIMenus(*menus, commands, folder);
    const std::vector<std::wstring> treeNotes = {L"How to add a category", L"Find a program",
                                                 L"How to add an extension"};
    EXPECT_EQ(SubMenuCaptions(Sub(mgCategory, 13)), treeNotes);
    EXPECT_EQ(SubMenuCaptions(Sub(mgSubcategory, 6)), treeNotes);
    EXPECT_EQ(SubMenuCaptions(Sub(mgExtension, 2)), treeNotes);
    EXPECT_EQ(SubMenuCaptions(Sub(mgProgram, 5)), treeNotes);
    EXPECT_EQ(SubMenuCaptions(Sub(mgPrgList, 12)),
              (std::vector<std::wstring>{L"Find a program", L"How to add a program"}));
    EXPECT_EQ(SubMenuCaptions(Sub(mgExtList, 7)), (std::vector<std::wstring>{L"Find a program", L"Plain Words"}));

    // Item 0 keeps its placeholder as tag, which the collection knows.
    EXPECT_EQ(menus->HowDoITag(mgCategory), L"How Do I's for Categories");
    EXPECT_TRUE(vb::TextEquals(commands.GetHowDoIFile(L"How Do I's for Categories"), folder + L"\\a.cat.note"));
    // The native items' ids go on from one group to the next.
    std::vector<UINT> ids;
    for (auto [group, position] : {std::pair{mgCategory, 13}, {mgSubcategory, 6}, {mgExtension, 2},
                                   {mgProgram, 5}, {mgPrgList, 12}, {mgExtList, 7}}) {
        HMENU sub = Sub(group, position);
        for (int i = 1; i < GetMenuItemCount(sub); ++i) ids.push_back(SubMenuId(sub, i));
    }
    ASSERT_EQ(ids.size(), 10u);
    EXPECT_GE(ids.front(), FirstNoteCommandId);
    for (size_t i = 1; i < ids.size(); ++i) EXPECT_EQ(ids[i], ids[i - 1] + 1);
    EXPECT_TRUE(vb::TextEquals(commands.GetHowDoIFile(L"k" + std::to_wstring(ids[0])), folder + L"\\b.all.note"));
    EXPECT_TRUE(vb::TextEquals(commands.GetHowDoIFile(L"k" + std::to_wstring(ids.back())),
                               folder + L"\\Plain Words.ext.note"));

    // The item 0 handler and a native id each open their note.
    menus->HowDoIClick(mgPrgList);
    menus->OnCommand(ids[1]);
    ASSERT_EQ(commands.shownNotes.size(), 2u);
    EXPECT_TRUE(vb::TextEquals(commands.shownNotes[0], folder + L"\\b.all.note"));
    EXPECT_TRUE(vb::TextEquals(commands.shownNotes[1], folder + L"\\e.cat.note"));

    // Building again changes nothing.
    const size_t noteCount = commands.notes.size();
    BuildHowDoIMenus(*menus, commands, folder);
    EXPECT_EQ(SubMenuCaptions(Sub(mgCategory, 13)), treeNotes);
    EXPECT_EQ(commands.notes.size(), noteCount);
}

TEST_F(HowDoITest, AnEmptyFolderLeavesThePlaceholders) {
    const std::wstring empty = FreshTempFolder(L"howdoi-empty");
    BuildHowDoIMenus(*menus, commands, empty);
    EXPECT_EQ(SubMenuCaptions(Sub(mgCategory, 13)), std::vector<std::wstring>{L"How Do I's for Categories"});
    EXPECT_TRUE(commands.notes.empty());
    RemoveTree(empty);
}

TEST_F(HowDoITest, TitlesFromTheHeadingLine) {
    struct Case {
        std::string text;
        const wchar_t* title;
    };
    const Case cases[] = {
        {Heading("How to add a program"), L"How to add a program"},
        {"{\\rtf1\r\nfirst line\r\n\\ul\\b0 Second\\par\r\n\\ul\\b Third one\\b0\r\n", L"Second"},
        {"\\pard\\ul\\bold words\\par", L"words"},
        {"\\ul\\b Title to the end\r\n", L"Title to the end"},
        {"{\\rtf1 nothing marked}\r\n", L"t"},
    };
    for (const Case& c : cases) {
        const std::wstring path = folder + L"\\t.cat.note";
        WriteNote(path, c.text);
        EXPECT_EQ(GetMessageTitle(path), c.title) << c.text.c_str();
    }
    EXPECT_EQ(GetMessageTitle(folder + L"\\missing.all.note"), L"missing");
}

}  // namespace
