#include <windows.h>
#include <commctrl.h>
#include <objbase.h>

#include <algorithm>
#include <deque>
#include <fstream>
#include <iterator>
#include <map>
#include <set>

#include "CategoryHost.h"
#include "NeighbourServices.h"
#include "RegistryScratch.h"
#include "UiTestForms.h"
#include "basCategories.h"
#include "basData.h"
#include "basDefaultAssociations.h"
#include "basProgramList.h"
#include "basStrings.h"
#include "win/TreeView.h"

namespace {

// The first data of a fresh install, as the build packed it.
std::wstring ShippedArchive() {
    wchar_t exe[MAX_PATH];
    GetModuleFileNameW(nullptr, exe, MAX_PATH);
    return JoinPaths(GetFolder(exe), L"..\\..\\data\\shipped\\TesselMorva.dat");
}

// frmAutoAssociate as the offer sees it: a real list with check boxes, the labels, and answers
// given from a script (or, like the real dialog, "Automatic" on being shown).
class FakeAutoAssociate : public AutoAssociateDialog {
public:
    enum Answer { Add, DontAdd, Close };

    FakeAutoAssociate() : form(L"frmAutoAssociate", 600, 300) {
        list = &form.Put<win::ListView>(nullptr, L"lvwPrograms", -1, win::Rect{0, 0, 600, 300}, true);
        for (const wchar_t* c : {L"Status", L"Version", L"Programs on your Computer", L"Executable (.Exe)",
                                 L"File Path", L"Short File Path"})
            list->AddColumn(c, 100);
    }

    bool Loaded() const override { return loaded; }
    void ShowModeless() override {
        loaded = true;
        ++shows;
        if (automatic) addAll = answered = true;
    }
    void Unload() override {
        loaded = false;
        addSelected = addAll = answered = false;
    }
    void SetLabel(int index, const std::wstring& caption) override { labels[index] = caption; }
    win::ListView& Programs() override { return *list; }
    bool AddSelected() const override { return addSelected; }
    bool AddAll() const override { return addAll; }
    bool Answered() const override {
        // Polled while the caller waits: the next scripted button is pressed.
        if (!answered && !script.empty()) {
            Answer a = script.front();
            script.pop_front();
            ++waits;
            if (a == Close)
                const_cast<FakeAutoAssociate*>(this)->Unload();
            else {
                addSelected = a == Add;
                answered = true;
            }
        }
        return answered;
    }
    void SetAnswered(bool value) override {
        answered = value;
        // What the set shows at the moment the caller starts to wait.
        Shown s;
        s.setsLeft = labels[4];
        s.title = labels[2];
        s.extensions = labels[3];
        for (int i = 0; i < list->Count(); ++i) s.rows.push_back({list->ItemText(i, 4), list->Checked(i)});
        shown.push_back(s);
    }

    struct Shown {
        std::wstring setsLeft, title, extensions;
        std::vector<std::pair<std::wstring, bool>> rows;  // long path, checked
    };

    TestForm form;
    win::ListView* list = nullptr;
    bool automatic = true;
    mutable std::deque<Answer> script;
    mutable int waits = 0;
    mutable bool addSelected = false;
    bool addAll = false;
    mutable bool answered = false;
    bool loaded = false;
    int shows = 0;
    std::map<int, std::wstring> labels;
    std::vector<Shown> shown;
};

// The options window: its real category tree, its extension list, and what it was asked to add.
class FakeOptionsWindow : public OptionsWindowServices, public CategoryHost {
public:
    FakeOptionsWindow() : form(L"frmTesselOptions", 300, 300) {
        tree = &form.Put<win::TreeView>(nullptr, L"tvwChoices", -1, win::Rect{0, 0, 300, 300});
    }
    // OptionsWindowServices
    void ShowInfo(const std::wstring&) override {}
    void SetAliasCount(long) override {}
    bool NeedToSaveUserChoices() const override { return false; }
    void SetNeedToSaveUserChoices(bool) override {}
    vb::List<HTREEITEM> GetNodesToBeRemoved() override { return {}; }
    void RemoveProgram(HTREEITEM, bool) override {}
    bool CategoryFileUntouched() const override { return untouched; }
    AutoAssociateDialog* AutoAssociate() override { return &dialog; }
    void AddProgramListRow(win::ListView& list, const std::vector<std::wstring>& fields, const std::wstring& lineIndex,
                           bool checked) override {
        if (list.Count() == 0) rowLines.clear();
        int row = list.AddItem(fields[2]);
        list.SetSubItem(row, 1, fields[1]);
        list.SetSubItem(row, 2, fields[0]);
        list.SetSubItem(row, 3, GetFileName(fields[3]));
        list.SetSubItem(row, 4, fields[3]);
        list.SetSubItem(row, 5, fields[4]);
        list.SetChecked(row, checked);
        rowLines.push_back(lineIndex);
    }
    void AddProgramToSubcategory(HTREEITEM subcategory, win::ListView& source, bool saveNow) override {
        int row = ListView_GetNextItem(source.Handle(), -1, LVNI_SELECTED);
        programsAdded.push_back(Target(subcategory) + L" " + (row >= 0 ? rowLines.at(row) : L"?"));
        EXPECT_TRUE(saveNow);
    }
    void AddExtensionToSubcategory(HTREEITEM subcategory, const std::wstring& extension, long recordIndex,
                                   bool saveNow) override {
        extensionsAdded.push_back(Target(subcategory) + L" " + extension);
        EXPECT_EQ(ExtKeys().at(recordIndex).KeyName, extension);
        EXPECT_TRUE(saveNow);
    }
    void ScrollChoicesToLeft() override { ++scrolls; }
    // CategoryHost
    win::TreeNodes& Choices() override { return *tree; }
    long ExtensionRowCount() const override { return static_cast<long>(ExtKeys().size()) - 1; }
    std::wstring ExtensionRowText(long row) const override { return ExtKeys().at(row).KeyName; }
    long ExtensionRowTag(long row) const override { return row; }
    void SetCategoryFileUntouched(bool value) override { untouched = value; }

    std::wstring Target(HTREEITEM subcategory) const {
        return tree->Text(tree->Parent(subcategory)) + L":" + tree->Text(subcategory);
    }

    TestForm form;
    win::TreeView* tree = nullptr;
    FakeAutoAssociate dialog;
    bool untouched = false;
    std::vector<std::wstring> rowLines;
    std::vector<std::wstring> programsAdded;
    std::vector<std::wstring> extensionsAdded;
    int scrolls = 0;
};

std::wstring Line(const std::wstring& description, const std::wstring& status, const std::wstring& path) {
    return description + L"|1.0|" + status + L"|" + path + L"|" + path;
}

class DefaultAssociationsTest : public RegistryScratch {
protected:
    void SetUp() override {
        RegistryScratch::SetUp();
        CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
        previousServices_ = SetOptionsWindowServices(&window);
        previousHost_ = SetCategoryHost(&window);
        for (const wchar_t* ext : {L"*", L".txt", L".log", L".rtf", L".rm", L".rmi", L".jpeg", L".jpe", L".jpg",
                                   L".qbb", L".mp3", L".htm", L".xyz"})
            PutClass(ext);
        LoadRegistryExtensions();
        SetProgramLines({
            Line(L"Microsoft - Notepad", L"WD", L"C:\\WINDOWS\\notepad.exe"),                      // 0
            Line(L"Microsoft - Notepad", L"SD", L"C:\\WINDOWS\\system32\\notepad.exe"),            // 1
            Line(L"Nullsoft - Winamp", L"OK", L"C:\\Program Files\\Winamp\\winamp.exe"),          // 2
            Line(L"Nullsoft - Winamp", L"OK", L"D:\\Old\\Winamp\\WINAMP.EXE"),                    // 3
            Line(L"Microsoft - Paint", L"SD", L"C:\\WINDOWS\\system32\\mspaint.exe"),             // 4
            Line(L"Hotfix - Notepad", L"OK", L"C:\\WINDOWS\\$NtServicePackUninstall$\\notepad.exe"),  // 5
            Line(L"Vendor - Tiny", L"OK", L"C:\\x\\a.e"),                                          // 6
            Line(L"Intuit - QuickBooks", L"OK", L"C:\\QB\\qbw32.exe"),                             // 7
            Line(L"Microsoft - Word", L"OK", L"C:\\Office\\WINWORD.EXE"),                          // 8
            Line(L"Someone - Setup", L"OK", L"C:\\Apps\\Uninstall\\wordpad.exe"),                  // 9
        });
        // The shipped category file gives the tree, with the marker category.
        work_ = folder_ + L"\\work";
        CreateDirectoryW(work_.c_str(), nullptr);
        ASSERT_TRUE(UnpackArchiveInto(ShippedArchive(), work_)) << vb::ToAnsi(ShippedArchive());
        UseDataFolder(work_);
        CategoriesLoaded() = false;
        ASSERT_TRUE(GetCategories());
        ASSERT_TRUE(window.untouched);
    }
    void TearDown() override {
        CategoriesLoaded() = false;
        SetProgramLines({});
        SetCategoryHost(previousHost_);
        SetOptionsWindowServices(previousServices_);
        CoUninitialize();
        RegistryScratch::TearDown();
    }

    FakeOptionsWindow window;
    std::wstring work_;
    OptionsWindowServices* previousServices_ = nullptr;
    CategoryHost* previousHost_ = nullptr;
};

TEST_F(DefaultAssociationsTest, ShippedCategoryFileHoldsTheMarkerAndEveryTargetOfTheTable) {
    // (SetUp read it: the marker set the untouched flag.)
    win::TreeNodes& tree = *window.tree;
    for (const std::wstring& row : vb::Split(DefaultAssociationTable, L"\r\n")) {
        std::vector<std::wstring> target = vb::Split(vb::Split(row, L"|")[4], L":");
        EXPECT_NE(tree.ItemByKey(target[0] + L"*" + target[1]), nullptr) << vb::ToAnsi(target[0]);
    }
    EXPECT_EQ(tree.ItemByKey(UntouchedMarkerCategory), nullptr);
    win::TreeNode nonAssociated = tree.ItemByKey(L"Non-associated Extensions");
    ASSERT_NE(nonAssociated, nullptr);
    EXPECT_TRUE(tree.Marks(nonAssociated) & win::tnNotRemovable);
    win::TreeNode any = tree.ItemByKey(L"Non-associated Extensions*All*E");
    ASSERT_NE(any, nullptr);
    ASSERT_EQ(tree.Children(any), 1);
    EXPECT_EQ(tree.Text(tree.Child(any)), L"*");
    long categories = 0;
    for (win::TreeNode n = tree.FirstNode(); n; n = tree.Next(n)) ++categories;
    EXPECT_EQ(categories, 6);

    // The file is what the writer makes of its tree, with the marker besides.
    std::ifstream in(vb::ToAnsi(work_ + L"\\Tesselcat.xml"), std::ios::binary);
    std::string shipped((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    const std::string marker = "   <Category name=\"_UnTouched_1092374\">\r\n</Category>\r\n";
    ASSERT_NE(shipped.find(marker), std::string::npos);
    shipped.erase(shipped.find(marker), marker.size());
    EXPECT_EQ(CategoryFileText(tree), shipped);
}

TEST_F(DefaultAssociationsTest, AutomaticAddsEverySetWithItsPreselectedPrograms) {
    EXPECT_TRUE(RunDefaultAssociations());

    // The two Winamps come in the order the program sort gives them; compare as sets.
    std::vector<std::wstring> added = window.programsAdded;
    std::sort(added.begin(), added.end());
    std::vector<std::wstring> expected{
                  L"Non-associated Extensions:All 1",  // the Windows-folder Notepad starts unchecked
                  L"Graphic Design:Graphics 4",
                  L"Web Mastering:HTML 1",
                  L"Multimedia:Players 2", L"Multimedia:Players 3",  // both Winamps
                  L"Accounting:Commercial 7",
                  L"My Windows Association Overrides:RTF 8",
                  L"My Windows Association Overrides:Text 1", L"My Windows Association Overrides:Text 8",
              };
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(added, expected);
    EXPECT_EQ(window.programsAdded.front(), L"Non-associated Extensions:All 1");
    EXPECT_EQ(window.extensionsAdded,
              (std::vector<std::wstring>{
                  L"Graphic Design:Graphics .jpg", L"Graphic Design:Graphics .jpeg", L"Graphic Design:Graphics .jpe",
                  L"Web Mastering:HTML .htm",
                  L"Multimedia:Players .mp3", L"Multimedia:Players .rm", L"Multimedia:Players .rmi",
                  L"Accounting:Commercial .qbb",
                  L"My Windows Association Overrides:RTF .rtf",
                  L"My Windows Association Overrides:Text .log", L"My Windows Association Overrides:Text .txt",
              }));
    ASSERT_EQ(window.dialog.shown.size(), 7u);
    EXPECT_EQ(window.dialog.shown.front().setsLeft, L"7");
    EXPECT_EQ(window.dialog.shown.back().setsLeft, L"1");
    EXPECT_EQ(window.dialog.shown[0].title, L"Non-associated Files");
    EXPECT_EQ(window.dialog.shown[0].extensions, L"[ * ]");
    EXPECT_EQ(window.dialog.shown[0].rows,
              (std::vector<std::pair<std::wstring, bool>>{{L"C:\\WINDOWS\\notepad.exe", false},
                                                          {L"C:\\WINDOWS\\system32\\notepad.exe", true}}));
    EXPECT_EQ(window.dialog.shown[1].extensions, L"[ .jpg, .jpeg, .jpe ]");
    EXPECT_EQ(window.dialog.shown[4].extensions, L"[ .qbb ]");
    EXPECT_EQ(window.dialog.shown[3].title, L"Multimedia");
    EXPECT_EQ(window.dialog.shows, 1);
    EXPECT_EQ(window.dialog.waits, 0);
    EXPECT_FALSE(window.dialog.Loaded());
    EXPECT_EQ(window.scrolls, 7);
    EXPECT_EQ(ShownNumbers(), std::vector<long>{4520});
}

TEST_F(DefaultAssociationsTest, DecliningAsksOnceAndClosingTheDialogSkipsOnlyThatSet) {
    window.dialog.automatic = false;
    using A = FakeAutoAssociate;
    // Set 1 declined (the question answered No: added as shown), set 2 declined (not asked
    // again), set 3 added, set 4's dialog closed, sets 5 and 7 added, set 6 declined.
    window.dialog.script = {A::DontAdd, A::DontAdd, A::Add, A::Close, A::Add, A::DontAdd, A::Add};
    boxes.answers = {AnswerNo};

    EXPECT_TRUE(RunDefaultAssociations());

    EXPECT_EQ(window.programsAdded,
              (std::vector<std::wstring>{L"Non-associated Extensions:All 1", L"Web Mastering:HTML 1",
                                         L"Accounting:Commercial 7", L"My Windows Association Overrides:Text 1",
                                         L"My Windows Association Overrides:Text 8"}));
    EXPECT_EQ(window.extensionsAdded,
              (std::vector<std::wstring>{L"Web Mastering:HTML .htm", L"Accounting:Commercial .qbb",
                                         L"My Windows Association Overrides:Text .log",
                                         L"My Windows Association Overrides:Text .txt"}));
    EXPECT_EQ(ShownNumbers(), (std::vector<long>{5001, 4520}));
    EXPECT_EQ(window.dialog.waits, 7);
    EXPECT_EQ(window.dialog.shows, 2);  // shown again after it was closed
}

TEST_F(DefaultAssociationsTest, ConfirmingTheDeclineAddsNothingOfThatSet) {
    window.dialog.automatic = false;
    using A = FakeAutoAssociate;
    window.dialog.script = {A::DontAdd, A::Add, A::DontAdd, A::DontAdd, A::DontAdd, A::DontAdd, A::DontAdd};
    boxes.answers = {AnswerYes};
    EXPECT_TRUE(RunDefaultAssociations());
    EXPECT_EQ(window.programsAdded, std::vector<std::wstring>{L"Graphic Design:Graphics 4"});
    EXPECT_EQ(ShownNumbers(), (std::vector<long>{5001, 4520}));
}

TEST_F(DefaultAssociationsTest, NothingIsOfferedOnceTheCategoryFileWasSaved) {
    window.untouched = false;
    EXPECT_FALSE(RunDefaultAssociations());
    EXPECT_EQ(window.dialog.shows, 0);
    EXPECT_TRUE(boxes.shown.empty());
}

TEST_F(DefaultAssociationsTest, AMissingTargetSubcategoryAddsNothingForItsSet) {
    win::TreeNode node = window.tree->ItemByKey(L"Web Mastering");
    ASSERT_NE(node, nullptr);
    window.tree->Remove(node);
    EXPECT_TRUE(RunDefaultAssociations());
    for (const std::wstring& added : window.programsAdded) EXPECT_EQ(added.find(L"Web Mastering"), std::wstring::npos);
    EXPECT_EQ(window.dialog.shown.size(), 7u);
}

TEST_F(DefaultAssociationsTest, WindowsFolderNotepadStartsUncheckedOnlyOnWindows2000AndLater) {
    std::vector<FoundEntry> row{{0, L"notepad.exe"}, {1, L"notepad.exe"}};
    std::vector<std::wstring> windowsNotepad = vb::Split(ProgramLines()[0], L"|");
    std::vector<std::wstring> systemNotepad = vb::Split(ProgramLines()[1], L"|");
    struct Case {
        const wchar_t* version;
        bool unchecked;
    } cases[] = {{L"Windows XP", true},      {L"Windows 2000", true},  {L"Windows ?? P2", true},
                 {L"Windows 98", false},     {L"Windows 95", false},   {L"Windows ME", false},
                 {L"Windows NT 4.0", false}, {L"Windows NT 3.51", false}};
    for (const Case& c : cases) {
        SetModelWindowsVersionOverride(c.version);
        EXPECT_EQ(FindDefaultProgram(row, windowsNotepad), c.unchecked) << vb::ToAnsi(c.version);
        EXPECT_FALSE(FindDefaultProgram(row, systemNotepad)) << vb::ToAnsi(c.version);
    }
    SetModelWindowsVersionOverride(L"Windows XP");
    EXPECT_FALSE(FindDefaultProgram({{0, L"notepad.exe"}}, windowsNotepad));  // no System-folder Notepad offered
}

TEST(DefaultAssociationTableTest, KnownListsAreInTheOrderTheMergeWalkNeedsAndCoverTheTable) {
    for (const wchar_t* list : {KnownProgramNames, KnownExtensions}) {
        std::vector<std::wstring> names = vb::Split(list, L",");
        for (size_t i = 1; i < names.size(); ++i)
            EXPECT_LT(vb::StrComp(names[i - 1], names[i], vb::TextCompare), 0)
                << vb::ToAnsi(names[i - 1]) << " / " << vb::ToAnsi(names[i]);
    }
    std::vector<std::wstring> rows = vb::Split(DefaultAssociationTable, L"\r\n");
    ASSERT_EQ(rows.size(), 7u);
    std::set<std::wstring> programs, extensions;
    for (const std::wstring& row : rows) {
        std::vector<std::wstring> f = vb::Split(row, L"|");
        ASSERT_EQ(f.size(), 5u);
        for (const std::wstring& e : vb::Split(f[0], L",")) extensions.insert(vb::UCase(e));
        for (const std::wstring& p : vb::Split(f[1], L",")) programs.insert(vb::UCase(p));
    }
    std::set<std::wstring> knownPrograms, knownExtensions;
    for (const std::wstring& p : vb::Split(KnownProgramNames, L",")) knownPrograms.insert(vb::UCase(p));
    for (const std::wstring& e : vb::Split(KnownExtensions, L",")) knownExtensions.insert(vb::UCase(e));
    EXPECT_EQ(programs, knownPrograms);
    EXPECT_EQ(extensions, knownExtensions);
    EXPECT_EQ(knownPrograms.size(), 40u);
}

}  // namespace
