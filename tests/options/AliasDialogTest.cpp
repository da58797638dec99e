// The alias dialog on the real program list and category tree: the program list's right button
// prepares it, the user types the alias and clicks Assign, which rewrites rows and nodes in blue;
// "Remove Alias" (its handler here, the menu route is in the menu items' user test) restores
// them, and the alias file written afterwards leaves a removed record out.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>
#include <vector>

#include "CategoryTreeFixture.h"
#include "EditorFixture.h"
#include "OptionsListView.h"
#include "OptionsTestSupport.h"
#include "TestSupport.h"
#include "UiTestForms.h"
#include "UserInput.h"
#include "basCategories.h"
#include "basData.h"
#include "frmAlias.h"

namespace {

using treetest::Fields;

constexpr long kBlue = 0xFF0000;

// Sorted as the scan sorts: Pix twice (two copies, same names), then a tool without version
// information twice (two copies, told apart by their paths).
const Fields kAnvil = {L"Acme - Anvil", L"1.0", L"OK", L"C:\\Acme\\anvil.exe", L"C:\\ACME\\anvil.exe"};
const Fields kPix1 = {L"Quillon - Pix", L"2.0", L"OK", L"C:\\Pix\\pix.exe", L"C:\\PIX\\pix.exe"};
const Fields kPix2 = {L"Quillon - Pix", L"2.0", L"OK", L"D:\\Pix\\pix.exe", L"D:\\PIX\\pix.exe"};
const Fields kTool1 = {L"tool - Missing info.", L"No version info.", L"NE", L"C:\\T1\\tool.exe", L"C:\\T1\\tool.exe"};
const Fields kTool2 = {L"tool - Missing info.", L"No version info.", L"NE", L"C:\\T2\\tool.exe", L"C:\\T2\\tool.exe"};

std::string Read(const std::wstring& path) {
    std::ifstream in(std::filesystem::path(path), std::ios::binary);
    std::ostringstream out;
    out << in.rdbuf();
    return out.str();
}

class AliasDialogTest : public treetest::JournalFixture, public AliasDialogOwner {
protected:
    void SetUp() override {
        JournalFixture::SetUp();
        form = std::make_unique<TestForm>(L"frmTesselOptions", 700, 400);
        tree = &form->Put<win::TreeView>(nullptr, L"tvwChoices", -1, win::Rect{0, 0, 250, 400});
        programs = &form->Put<OptionsListView>(nullptr, L"lvwPrograms", -1, win::Rect{250, 0, 450, 300});
        for (const wchar_t* column : {L"Status", L"Version", L"Programs", L"Exe", L"Path", L"Short"})
            programs->AddColumn(column, 70);
        exts = &form->Put<win::ListView>(nullptr, L"lvwExts", -1, win::Rect{250, 300, 450, 100}, false);
        ops = std::make_unique<CategoryTree>(*tree, window);
        host.exts = exts;
        host.tree = tree;
        editor = std::make_unique<OptionsEditor>(host, *ops, *programs, *exts);
        editor->SetAliasDialog(&AliasDialogOfLibrary());
        previousOwner = SetAliasDialogOwner(this);

        for (const Fields& f : {kAnvil, kPix1, kPix2, kTool1, kTool2}) AddRow(f);
        graphics = tree->Add(nullptr, L"Graphics", L"Graphics", ciCategory);
        viewers = Sub(graphics, L"Viewers");
        editors = Sub(graphics, L"Editors");
        pixInViewers = Prog(viewers, kPix1);
        pixInEditors = Prog(editors, kPix2);
        tool1InViewers = Prog(viewers, kTool1);
        tool1InEditors = Prog(editors, kTool1);
        tool2InEditors = Prog(editors, kTool2);
        anvil = Prog(editors, kAnvil);

        folder = testsupport::FreshTempFolder(L"lxalias");
        UseDataFolder(folder);
    }
    void TearDown() override {
        frmAlias::Release();
        SetAliasDialogOwner(previousOwner);
        editor.reset();
        ops.reset();
        form.reset();
        JournalFixture::TearDown();
        testsupport::RemoveTree(folder);
    }

    // AliasDialogOwner
    OptionsListView& AliasProgramList() override { return *programs; }
    win::TreeNodes& AliasTree() override { return *tree; }
    void SetNeedToSaveUserChoices(bool value) override { needSave = value; }

    void AddRow(const Fields& f) {
        size_t slash = f[3].find_last_of(L'\\');
        int row = programs->AddItem(f[2]);
        programs->SetSubItem(row, 1, f[1]);
        programs->SetSubItem(row, 2, f[0]);
        programs->SetSubItem(row, 3, f[3].substr(slash + 1));
        programs->SetSubItem(row, 4, f[3].substr(0, slash));
        programs->SetSubItem(row, 5, f[4]);
    }
    win::TreeNode Sub(win::TreeNode category, const std::wstring& name) {
        const std::wstring key = tree->Key(category) + L"*" + name;
        win::TreeNode n = tree->Add(category, key, name, ciSubcategory);
        tree->Add(n, key + L"*P", L"Programs", ciProgramsFolder);
        tree->Add(n, key + L"*E", L"Extensions", ciExtensionsFolder);
        return n;
    }
    win::TreeNode Prog(win::TreeNode sub, const Fields& f) {
        win::TreeNode n = tree->Add(tree->Child(sub), L"", f[0] + L" " + f[1], ciProgram);
        tree->SetNodeTag(n, vb::Variant(vb::Variant::Array(f.begin(), f.end())));
        return n;
    }

    // What a right click on the row does before the menu opens: the row selected, the dialog
    // prepared.
    frmAlias& Prepare(int row) {
        LVITEMW item{};
        item.stateMask = item.state = LVIS_SELECTED | LVIS_FOCUSED;
        SendMessageW(programs->Handle(), LVM_SETITEMSTATE, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
        editor->PrepareAliasDialog(row);
        return frmAlias::Default();
    }
    // The dialog shown modally over the row; the user types the three texts over what it offered
    // and clicks Assign or Cancel. A dialog still open once the user is done fails the test.
    void TypeAndClick(int row, const std::vector<std::wstring>& texts, bool assign) {
        frmAlias& dialog = Prepare(row);
        bool typed = true, closedByTheClick = false;
        const int leftOpen = userinput::ShowWhileUserActs([&] { dialog.ShowModal(); }, [&] {
            const HWND window = dialog.Handle();
            userinput::OntoTheScreen(window);
            if (!userinput::WaitForFront(window)) return;
            win::TextBox* boxes[] = {&dialog.txtCompanyName, &dialog.txtProductName, &dialog.txtVersion};
            for (size_t i = 0; i < texts.size(); ++i) typed = userinput::TypeInto(boxes[i]->Handle(), texts[i]) && typed;
            userinput::Click(userinput::CentreOf((assign ? dialog.cbAssign : dialog.cbCancel).Handle()));
            closedByTheClick = userinput::WaitUntil([&] { return !IsWindowVisible(window); });
        });
        EXPECT_EQ(leftOpen, 0) << "a window still waited once the user was done";
        EXPECT_TRUE(typed) << "the boxes took the typing";
        EXPECT_TRUE(closedByTheClick) << "the click reached the dialog";
    }
    // "Assign Alias" with the three texts typed over what the dialog offered.
    void AssignTo(int row, const std::wstring& company, const std::wstring& product, const std::wstring& version) {
        TypeAndClick(row, {company, product, version}, /*assign=*/true);
    }

    struct Shown {
        std::wstring description, version;
        long colour;
        bool operator==(const Shown&) const = default;
    };
    Shown Row(int row) const {
        EXPECT_EQ(programs->SubItemColour(row, 1), programs->SubItemColour(row, 2));
        return {programs->ItemText(row, 2), programs->ItemText(row, 1), programs->SubItemColour(row, 2)};
    }
    struct NodeShown {
        std::wstring text;
        bool blue;
        bool operator==(const NodeShown&) const = default;
    };
    NodeShown Node(win::TreeNode node) const {
        return {tree->Text(node), (tree->Marks(node) & win::tnAliased) != 0};
    }

    treetest::CountingWindow window;
    edittest::FakeEditorWindow host;
    std::unique_ptr<TestForm> form;
    win::TreeView* tree = nullptr;
    OptionsListView* programs = nullptr;
    win::ListView* exts = nullptr;
    std::unique_ptr<CategoryTree> ops;
    std::unique_ptr<OptionsEditor> editor;
    AliasDialogOwner* previousOwner = nullptr;
    bool needSave = false;
    std::wstring folder;
    win::TreeNode graphics{}, viewers{}, editors{}, pixInViewers{}, pixInEditors{}, tool1InViewers{}, tool1InEditors{},
        tool2InEditors{}, anvil{};
};

TEST_F(AliasDialogTest, OpeningOnAProgramWithoutAliasOffersItsNamesSelected) {
    frmAlias& dialog = Prepare(1);
    EXPECT_EQ(dialog.AliasRecordIndex, -1);
    std::wstring boxes[3], selected;
    bool focused = false, closedByTheClick = false;
    const int leftOpen = userinput::ShowWhileUserActs([&] { dialog.ShowModal(); }, [&] {
        const HWND window = dialog.Handle();
        userinput::OntoTheScreen(window);
        if (!userinput::WaitForFront(window)) return;
        focused = userinput::WaitUntil([&] { return userinput::FocusedWindow() == dialog.txtCompanyName.Handle(); });
        boxes[0] = dialog.txtCompanyName.Text();
        boxes[1] = dialog.txtProductName.Text();
        boxes[2] = dialog.txtVersion.Text();
        DWORD from = 0, to = 0;
        SendMessageW(dialog.txtCompanyName.Handle(), EM_GETSEL, reinterpret_cast<WPARAM>(&from),
                     reinterpret_cast<LPARAM>(&to));
        if (from <= to && to <= boxes[0].size()) selected = boxes[0].substr(from, to - from);
        userinput::Click(userinput::CentreOf(dialog.cbCancel.Handle()));
        closedByTheClick = userinput::WaitUntil([&] { return !IsWindowVisible(window); });
    });
    ASSERT_EQ(leftOpen, 0) << "a window still waited once the user was done";
    EXPECT_TRUE(focused) << "the company's box holds the keyboard";
    EXPECT_TRUE(closedByTheClick) << "the click on Cancel reached the dialog";
    EXPECT_EQ(dialog.lblCompanyName.Text(), L"Quillon");
    EXPECT_EQ(dialog.lblProductName.Text(), L"Pix");
    EXPECT_EQ(dialog.lblVersion.Text(), L"2.0");
    EXPECT_EQ(boxes[0], L"Quillon");
    EXPECT_EQ(boxes[1], L"Pix");
    EXPECT_EQ(boxes[2], L"2.0");
    EXPECT_EQ(selected, L"Quillon");
    EXPECT_FALSE(dialog.Visible());
}

TEST_F(AliasDialogTest, AssignOnOneOfIdenticalRowsRewritesThemAllAndEveryNodeInBlue) {
    AssignTo(2, L"Quill", L"Picture Viewer", L"2.0 beta");

    ASSERT_EQ(AliasCount(), 1);
    const AliasRecord& r = Aliases()[1];
    EXPECT_FALSE(r.Removed);
    EXPECT_EQ(r.Company, L"Quillon");
    EXPECT_EQ(r.Product, L"Pix");
    EXPECT_EQ(r.Version, L"2.0");
    EXPECT_EQ(r.CompanyA, L"Quill");
    EXPECT_EQ(r.ProductA, L"Picture Viewer");
    EXPECT_EQ(r.VersionA, L"2.0 beta");
    EXPECT_EQ(r.LongPath, L"D:\\Pix\\pix.exe");
    EXPECT_EQ(r.LongPathA, L"D:\\Pix\\pix.exe");
    EXPECT_EQ(r.ShortPath, L"D:\\PIX\\pix.exe");

    const Shown alias{L"Quill - Picture Viewer", L"2.0 beta", kBlue};
    EXPECT_EQ(Row(1), alias);
    EXPECT_EQ(Row(2), alias);
    EXPECT_EQ(Row(0), (Shown{L"Acme - Anvil", L"1.0", -1}));
    const NodeShown aliasNode{L"Quill - Picture Viewer 2.0 beta", true};
    EXPECT_EQ(Node(pixInViewers), aliasNode);
    EXPECT_EQ(Node(pixInEditors), aliasNode);
    EXPECT_EQ(Node(anvil), (NodeShown{L"Acme - Anvil 1.0", false}));
    EXPECT_TRUE(needSave);
    EXPECT_FALSE(frmAlias::Default().Visible());
}

TEST_F(AliasDialogTest, AProgramWithoutVersionInfoChangesOnlyItsRowAndTheNodesOfItsPath) {
    AssignTo(3, L"Toolsmith", L"Tool", L"1");

    ASSERT_EQ(AliasCount(), 1);
    EXPECT_EQ(Aliases()[1].Company, L"tool");
    EXPECT_EQ(Aliases()[1].Product, L"Missing info.");
    EXPECT_EQ(Aliases()[1].LongPath, L"C:\\T1\\tool.exe");
    EXPECT_EQ(Row(3), (Shown{L"Toolsmith - Tool", L"1", kBlue}));
    EXPECT_EQ(Row(4), (Shown{L"tool - Missing info.", L"No version info.", -1}));
    // Every node of that path, the other copy's node untouched.
    EXPECT_EQ(Node(tool1InViewers), (NodeShown{L"Toolsmith - Tool 1", true}));
    EXPECT_EQ(Node(tool1InEditors), (NodeShown{L"Toolsmith - Tool 1", true}));
    EXPECT_EQ(Node(tool2InEditors), (NodeShown{L"tool - Missing info. No version info.", false}));
}

TEST_F(AliasDialogTest, ASecondAssignReusesTheRecord) {
    AssignTo(1, L"Quill", L"Picture Viewer", L"2.0 beta");
    AssignTo(1, L"Quillon Works", L"Pix Pro", L"2");

    EXPECT_EQ(AliasCount(), 1);
    EXPECT_FALSE(Aliases()[1].Removed);
    EXPECT_EQ(Aliases()[1].CompanyA, L"Quillon Works");
    // The found names stay those of the scan, not of the first alias.
    EXPECT_EQ(Aliases()[1].Company, L"Quillon");
    EXPECT_EQ(Aliases()[1].Version, L"2.0");
    const Shown alias{L"Quillon Works - Pix Pro", L"2", kBlue};
    EXPECT_EQ(Row(1), alias);
    EXPECT_EQ(Row(2), alias);
    EXPECT_EQ(Node(pixInViewers), (NodeShown{L"Quillon Works - Pix Pro 2", true}));
    EXPECT_EQ(Node(pixInEditors), (NodeShown{L"Quillon Works - Pix Pro 2", true}));
}

TEST_F(AliasDialogTest, AnAliasThatAnotherProgramWithInfoHasIsRefused) {
    AssignTo(1, L"Quill", L"Picture Viewer", L"2.0 beta");
    needSave = false;
    boxes.shown.clear();

    AssignTo(0, L"quill", L"picture viewer", L"2.0 BETA");

    EXPECT_EQ(treetest::ShownNumbers(boxes), (std::vector<long>{4518}));
    EXPECT_EQ(optionstest::Unwrapped(boxes.shown[0].prompt),
              L"This alias already exists. Please choose a different alias.");
    EXPECT_EQ(AliasCount(), 1);
    EXPECT_EQ(Row(0), (Shown{L"Acme - Anvil", L"1.0", -1}));
    EXPECT_EQ(Node(anvil), (NodeShown{L"Acme - Anvil 1.0", false}));
    EXPECT_FALSE(needSave);
    EXPECT_FALSE(frmAlias::Default().Visible());
}

TEST_F(AliasDialogTest, CancelChangesNothing) {
    TypeAndClick(1, {L"Quill"}, /*assign=*/false);
    frmAlias& dialog = frmAlias::Default();

    EXPECT_EQ(dialog.AliasRecordIndex, -1);
    EXPECT_EQ(AliasCount(), 0);
    EXPECT_EQ(Row(1), (Shown{L"Quillon - Pix", L"2.0", -1}));
    EXPECT_EQ(Node(pixInViewers), (NodeShown{L"Quillon - Pix 2.0", false}));
    EXPECT_FALSE(needSave);
}

TEST_F(AliasDialogTest, RemoveAliasHandlerRestoresTheFoundTextsAndTheFileLeavesTheRecordOut) {
    AssignTo(1, L"Quill", L"Picture Viewer", L"2.0 beta");
    AssignTo(3, L"Toolsmith", L"Tool", L"1");
    ASSERT_EQ(AliasCount(), 2);
    needSave = false;

    // "Remove Alias" on the other copy of Pix: the menu's preparation found its record.
    frmAlias& dialog = Prepare(2);
    EXPECT_EQ(dialog.AliasRecordIndex, 1);
    dialog.RemoveAlias();

    EXPECT_TRUE(Aliases()[1].Removed);
    const Shown found{L"Quillon - Pix", L"2.0", 0};
    EXPECT_EQ(Row(1), found);
    EXPECT_EQ(Row(2), found);
    EXPECT_EQ(Node(pixInViewers), (NodeShown{L"Quillon - Pix 2.0", false}));
    EXPECT_EQ(Node(pixInEditors), (NodeShown{L"Quillon - Pix 2.0", false}));
    EXPECT_EQ(Row(3), (Shown{L"Toolsmith - Tool", L"1", kBlue}));
    EXPECT_TRUE(needSave);

    // The program without version information: its row and every node of its path.
    Prepare(3).RemoveAlias();
    EXPECT_EQ(Row(3), (Shown{L"tool - Missing info.", L"No version info.", 0}));
    EXPECT_EQ(Node(tool1InViewers), (NodeShown{L"tool - Missing info. No version info.", false}));
    EXPECT_EQ(Node(tool1InEditors), (NodeShown{L"tool - Missing info. No version info.", false}));

    // Put the tool's alias back (a removed record is not found again, so a new one), then write
    // the file: only that record is in it.
    AssignTo(3, L"Toolsmith", L"Tool", L"1");
    EXPECT_EQ(AliasCount(), 3);
    SaveAliases();
    const std::string file = Read(AliasFilePath());
    EXPECT_EQ(file.find("Quill\""), std::string::npos) << file;
    EXPECT_NE(file.find("CompanyA=\"Toolsmith\""), std::string::npos) << file;
}

TEST_F(AliasDialogTest, RemoveAliasHandlerWithoutARecordDoesNothing) {
    frmAlias& dialog = Prepare(1);
    ASSERT_EQ(dialog.AliasRecordIndex, -1);
    dialog.RemoveAlias();
    EXPECT_EQ(Row(1), (Shown{L"Quillon - Pix", L"2.0", -1}));
    EXPECT_FALSE(needSave);
}

TEST(SimilarRows, TheRunOfLikeRowsAroundARow) {
    TestForm form(L"frmTest", 300, 200);
    auto& list = form.Put<win::ListView>(nullptr, L"lvw", -1, win::Rect{0, 0, 300, 200}, false);
    for (const wchar_t* c : {L"Status", L"Version", L"Programs"}) list.AddColumn(c, 60);
    const std::pair<const wchar_t*, const wchar_t*> rows[] = {
        {L"A - a", L"1"}, {L"B - b", L"1"}, {L"B - b", L"1"}, {L"B - b", L"1"}, {L"B - b", L"2"}, {L"b - b", L"2"}};
    for (auto [description, version] : rows) {
        int row = list.AddItem(L"OK");
        list.SetSubItem(row, 1, version);
        list.SetSubItem(row, 2, description);
    }
    struct Case {
        long index, first, last;
    };
    for (Case c : {Case{0, 0, 0}, Case{1, 1, 3}, Case{2, 1, 3}, Case{3, 1, 3}, Case{4, 4, 4}, Case{5, 5, 5}}) {
        long first = -9, last = -9;
        GetSimilarItemsInOrderdListView(list, c.index, first, last);
        EXPECT_EQ(first, c.first) << c.index;
        EXPECT_EQ(last, c.last) << c.index;
    }
}

}  // namespace
