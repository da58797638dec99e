// The restorer window under Xvfb: its activation with the crash marks, the first start, the
// list's views and filters, the button rules, the check rule, "Save" and the re-layout.
#include <fstream>

#include "OptionsTestSupport.h"
#include "RestorerTestSupport.h"
#include "UiTestForms.h"
#include "basIniFile.h"
#include "basUserInterface.h"
#include "basWinAPI_Registry.h"
#include "frmAssociationRestorer.h"
#include "frmCrashRecoveryChoices.h"
#include "frmDoingStuff.h"

namespace {

using optionstest::Press;
using optionstest::Pump;
using optionstest::RunDriven;

class FakeOptionsServices : public OptionsWindowServices {
public:
    void ShowInfo(const std::wstring&) override {}
    void SetAliasCount(long) override {}
    bool NeedToSaveUserChoices() const override { return false; }
    void SetNeedToSaveUserChoices(bool) override {}
    vb::List<HTREEITEM> GetNodesToBeRemoved() override { return {}; }
    void RemoveProgram(HTREEITEM, bool) override {}
    // The model is the one the test put in place, as loaded.
    bool RedisplayExtensionList() override { return true; }
    void SetFormUnloaded(bool value) override { formUnloaded = value; }
    bool formUnloaded = false;
};

class RestorerWindowTest : public RestorerScratch {
protected:
    void SetUp() override {
        RestorerScratch::SetUp();
        options_ = std::make_unique<TestForm>(L"frmTesselOptions");
        optionsButton_ = &options_->Put<win::Button>(nullptr, L"cmdSample", -1, L"Sample", win::Rect{10, 10, 80, 24});
        SetOptionsWindowAccessor([this]() -> win::Window* { return options_.get(); });
        previousServices_ = SetOptionsWindowServices(&services_);
        SetFirstRun(L"False");
        program_ = ThisProgram();
    }
    void TearDown() override {
        frmAssociationRestorer::Release();
        frmCrashRecoveryChoices::Release();
        win::DefaultInstance<frmDoingStuff>::Release();
        SetOptionsWindowServices(previousServices_);
        SetOptionsWindowAccessor(nullptr);
        options_.reset();
        RestorerScratch::TearDown();
    }

    static void SetFirstRun(const std::wstring& value) {
        Registry(regSave, L"4", L"", vb::Variant(L"Morva Utility Manager First Time"), vb::Variant(value),
                 std::nullopt, HKEY_LOCAL_MACHINE, true);
    }
    static void SetIni(const std::wstring& key, const std::wstring& value) {
        IniFile(IniWrite, key, vb::Variant(value));
    }

    // The catalogue rows these tests meet, by the beginning of their text.
    std::vector<long> Shown() const {
        std::vector<long> numbers;
        for (const ShownBox& b : boxes.shown) {
            long found = 0;
            for (long n : {4515L, 4525L, 4526L, 4527L, 4528L, 4531L, 4537L}) {
                std::wstring text, title;
                if (LibraryMessageRow(n, text, title) &&
                    optionstest::Unwrapped(b.prompt).find(text.substr(0, 30)) != std::wstring::npos)
                    found = n;
            }
            numbers.push_back(found);
        }
        return numbers;
    }

    // A present model with one change since the snapshot and findings of both validity kinds.
    void ModelWithFindings() {
        const std::wstring ok = L"\"" + program_ + L"\" \"%1\"";
        auto unchanged = [] {
            return std::vector<RegKeyRecord>{Key(L".flags", {Text(L"Content Type", L"x/y"), Text(L"NoOpen", L"")}),
                                             Key(L".plain"), Key(L".gone", {Text(L"", L"gonefile")})};
        };
        std::vector<RegKeyRecord> before = unchanged(), now = unchanged();
        before.push_back(Key(L".a", {Text(L"", L"afile")}));
        before.push_back(Key(L".b", {Text(L"", L"afile")}));
        now.push_back(Key(L".b", {Text(L"", L"bfile")}));
        now.push_back(Key(L".c", {Text(L"", L"afile")}));
        const RegKeyRecord gone = Class(L"gonefile", L"C:\\nowhere\\gone.exe %1");
        SetModel(before, {Class(L"afile", ok), gone});
        ASSERT_TRUE(SnapshotModel());
        SetModel(now, {Class(L"afile", ok), Class(L"bfile", ok), gone});
    }

    frmAssociationRestorer& Activated() {
        frmAssociationRestorer& form = frmAssociationRestorer::Default();
        form.Form_Activate();
        return form;
    }
    std::vector<std::wstring> Rows(frmAssociationRestorer& form) {
        std::vector<std::wstring> rows;
        for (int r = 0; r < form.lvw->Count(); ++r)
            rows.push_back(form.lvw->ItemText(r, 0) + L"|" + form.lvw->ItemText(r, 1) + L"|" +
                           form.lvw->ItemText(r, 2) + L"|" + form.lvw->ItemText(r, 3) + L"|" + form.lvw->ItemText(r, 4));
        return rows;
    }
    static bool SnapshotFileExists() {
        return GetFileAttributesW(GetSnapshotFilePath().c_str()) != INVALID_FILE_ATTRIBUTES;
    }

    std::unique_ptr<TestForm> options_;
    win::Button* optionsButton_ = nullptr;
    FakeOptionsServices services_;
    OptionsWindowServices* previousServices_ = nullptr;
    std::wstring program_;
};

using RowTexts = std::vector<std::wstring>;

TEST_F(RestorerWindowTest, ActivationByTheCrashMarkAndTheCorruptionMark) {
    struct Case {
        const char* what;
        const wchar_t* logSnapshot;  // "" = missing
        const wchar_t* keyExten;     // "" = missing
        std::vector<long> shown;
        bool open;
        std::wstring logAfter;
    } cases[] = {
        {"a clean start takes the missing snapshot", L"", L"", {4515, 4527, 4528}, true, L"0"},
        {"a comparison that died", L"1", L"0", {4531, 4527, 4528}, true, L"0"},
        {"a faulty extension key", L"0", L"12", {4537}, false, L"0"},
        {"no faulty key recorded", L"0", L"0", {4527, 4528}, true, L"0"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        boxes.shown.clear();
        if (*c.logSnapshot) SetIni(L"Log Snapshot", c.logSnapshot);
        if (*c.keyExten) SetIni(L"Key Exten 1", c.keyExten);
        SetModel({Key(L".a", {Text(L"", L"afile")})}, {Class(L"afile", L"\"" + program_ + L"\"")});
        frmAssociationRestorer& form = Activated();
        EXPECT_EQ(Shown(), c.shown);
        EXPECT_EQ(form.Loaded(), c.open);
        EXPECT_EQ(Ini(L"Log Snapshot"), c.logAfter);
        EXPECT_FALSE(Ini(L"OS Version").empty());
        EXPECT_EQ(frmDoingStuff::Existing(), nullptr) << "no progress window is left";
        if (form.Loaded()) {
            EXPECT_TRUE(form.cmd[7]->Enabled() == false) << "nothing to print";
            EXPECT_TRUE(form.opt2[0]->Enabled()) << "the window's controls work again";
            EXPECT_FALSE(optionsButton_->Enabled()) << "the options window waits while the restorer is open";
            form.UnloadForm();
        }
        EXPECT_TRUE(optionsButton_->Enabled());
        EXPECT_TRUE(services_.formUnloaded);
        services_.formUnloaded = false;
        frmAssociationRestorer::Release();
        SetIni(L"Key Exten 1", L"0");
    }
    EXPECT_TRUE(SnapshotFileExists());
}

TEST_F(RestorerWindowTest, UnloadGivesTheOptionsWindowBackOnlyWhatItsActivationTookAway) {
    // Something else holds the options window's controls off; a restorer that never activated
    // leaves them so, by the query and without it.
    for (bool query : {true, false}) {
        SCOPED_TRACE(query ? "closed with the query" : "unloaded by code");
        SetControlsEnabled(*options_, false);
        frmAssociationRestorer& form = frmAssociationRestorer::Default();
        form.Show();
        if (query) SendMessageW(form.Handle(), WM_CLOSE, 0, 0);
        else form.UnloadForm();
        EXPECT_FALSE(form.Loaded());
        EXPECT_FALSE(optionsButton_->Enabled());
        frmAssociationRestorer::Release();
        SetControlsEnabled(*options_, true);
    }
}

TEST_F(RestorerWindowTest, ALoggedComparisonShowsItsCheckpoints) {
    SetIni(L"Log Snapshot", L"1");
    ModelWithFindings();
    frmAssociationRestorer& form = Activated();
    EXPECT_EQ(SnapshotLogLevel(), 1) << "the detailed checkpoints stay on for this run";
    EXPECT_NE(Ini(L"Detail"), L"<unset>");
    EXPECT_EQ(Ini(L"Scanning Progress"), L"FA: After DD");
    EXPECT_EQ(Ini(L"Log Snapshot"), L"0");
    EXPECT_TRUE(form.Loaded());
}

TEST_F(RestorerWindowTest, AComparisonThatDiedTwiceOffersTheRecoveryChoicesWhoseButtonAndCloseHandlersAnswer) {
    struct Case {
        const char* what;
        int button;  // -1: closed by its title bar
        bool open;
        std::wstring logAfter;
    } cases[] = {
        {"Leave", rcLeave, false, L"2"},
        {"closed without a choice", -1, false, L"2"},
        {"Retry", rcRetry, true, L"0"},
    };
    SetModel({Key(L".a", {Text(L"", L"afile")})}, {Class(L"afile", L"\"" + program_ + L"\"")});
    ASSERT_TRUE(SnapshotModel());
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        SetIni(L"Log Snapshot", L"2");
        frmAssociationRestorer& form = frmAssociationRestorer::Default();
        std::wstring title;
        EXPECT_TRUE(RunDriven([&] { form.Form_Activate(); },
                              [&] {
                                  frmCrashRecoveryChoices* dialog = frmCrashRecoveryChoices::Existing();
                                  if (!dialog || !dialog->Visible()) return false;
                                  title = dialog->lblTitle.Text();
                                  if (c.button < 0)
                                      PostMessageW(dialog->Handle(), WM_CLOSE, 0, 0);
                                  else
                                      Press(dialog->cmds[static_cast<size_t>(c.button)]->Handle());
                                  return true;
                              }));
        EXPECT_EQ(title, L"Please select one the follow options.");
        EXPECT_EQ(form.Loaded(), c.open);
        EXPECT_EQ(Ini(L"Log Snapshot"), c.logAfter);
        if (c.open) {
            EXPECT_EQ(SnapshotLogLevel(), 0) << "Retry runs without logging";
        }
        frmAssociationRestorer::Release();
    }
}

TEST_F(RestorerWindowTest, TheFirstStartOnlyTakesTheSnapshotAndCloses) {
    for (const wchar_t* value : {L"True", L"tRUE"}) {
        SetFirstRun(value);
        DeleteFileW(GetSnapshotFilePath().c_str());
        boxes.shown.clear();
        SetModel({Key(L".a", {Text(L"", L"afile")})}, {Class(L"afile", L"\"" + program_ + L"\"")});
        frmAssociationRestorer& form = Activated();
        EXPECT_EQ(Shown(), (std::vector<long>{4515}));
        EXPECT_FALSE(form.Loaded());
        EXPECT_TRUE(SnapshotFileExists());
        EXPECT_EQ(Ini(L"Log Snapshot"), L"0");
        EXPECT_TRUE(services_.formUnloaded);
        EXPECT_TRUE(optionsButton_->Enabled());
        frmAssociationRestorer::Release();
    }
}

TEST_F(RestorerWindowTest, ViewAndFilterClickHandlersShowTheTwoViewsAndTheMissingItemsFilters) {
    ModelWithFindings();
    frmAssociationRestorer& form = Activated();
    ASSERT_TRUE(form.Loaded());
    EXPECT_EQ(Rows(form), (RowTexts{L"Add Ext.|.a|afile||Ext. removed", L"Restore Assoc.|.b|afile|bfile|Assoc. changed",
                                L"Remove Ext.|.c||afile|Ext. added"}));
    for (int i = 2; i <= 8; ++i) EXPECT_FALSE(form.chk[static_cast<size_t>(i)]->Enabled()) << i;

    form.opt2[1]->SetChecked(true);
    form.opt2_Click(1);
    EXPECT_EQ(Rows(form), (RowTexts{L"Install Program|.gone||gonefile|Program missing [C:\\nowhere\\gone.exe %1]",
                                L"Fix Assoc.|.plain|||Assoc. missing"}))
        << "flags 9 need Content Type or NoOpen ticked; a row without flags shows under Others";
    for (int i = 2; i <= 8; ++i) EXPECT_TRUE(form.chk[static_cast<size_t>(i)]->Enabled()) << i;

    form.chk[5]->SetChecked(true);  // NoOpen
    form.chk_Click(5);
    EXPECT_EQ(Rows(form).at(0), L"Fix Assoc.|.flags|||Assoc. missing [Content Type/NoOpen]");

    form.chk[3]->SetChecked(false);  // Associations
    form.chk_Click(3);
    for (int i = 4; i <= 8; ++i) EXPECT_FALSE(form.chk[static_cast<size_t>(i)]->Enabled()) << i;
    EXPECT_EQ(Rows(form).size(), 1u) << "only the program row is left";

    form.chk[2]->SetChecked(false);
    form.chk_Click(2);
    EXPECT_TRUE(Rows(form).empty());
    EXPECT_FALSE(form.cmd[0]->Enabled()) << "Save needs rows in the Changes view";
    EXPECT_FALSE(form.cmd[7]->Enabled());

    // Back in Changes the filters rest.
    form.opt2[0]->SetChecked(true);
    form.opt2_Click(0);
    EXPECT_EQ(Rows(form).size(), 3u);
    for (int i = 2; i <= 8; ++i) EXPECT_FALSE(form.chk[static_cast<size_t>(i)]->Enabled()) << i;
    EXPECT_EQ(Shown(), (std::vector<long>{4527})) << "filling and filtering show nothing";
}

TEST_F(RestorerWindowTest, TheButtonRulesFollowTheRowsAndTheirMarksThroughTheClickHandlers) {
    ModelWithFindings();
    frmAssociationRestorer& form = Activated();
    ASSERT_EQ(form.lvw->Count(), 3);
    EXPECT_TRUE(form.cmd[0]->Enabled());
    EXPECT_FALSE(form.cmd[1]->Enabled()) << "nothing marked to restore";
    EXPECT_TRUE(form.cmd[2]->Enabled());
    EXPECT_TRUE(form.cmd[3]->Enabled()) << "a Remove Ext. row";
    EXPECT_FALSE(form.cmd[4]->Enabled()) << "no row highlighted";
    EXPECT_TRUE(form.cmd[5]->Enabled()) << "a Restore Assoc. row";
    EXPECT_TRUE(form.cmd[6]->Enabled()) << "an Add Ext. row";
    EXPECT_TRUE(form.opt[0]->Checked());
    EXPECT_FALSE(form.opt[1]->Enabled());

    // "All" with "Extensions" unticked marks the association row only.
    form.chk[0]->SetChecked(false);
    form.chk_Click(0);
    form.cmd_Click(2);
    EXPECT_FALSE(form.lvw->Checked(0));
    EXPECT_TRUE(form.lvw->Checked(1));
    EXPECT_FALSE(form.lvw->Checked(2));
    EXPECT_TRUE(form.cmd[1]->Enabled());
    EXPECT_TRUE(form.opt[1]->Enabled());
    EXPECT_TRUE(form.chk[0]->Enabled()) << "in Mark mode a class with rows keeps its box";

    // Every row marked: the mode turns to Unmark and Mark is off.
    form.chk[0]->SetChecked(true);
    form.chk_Click(0);
    form.cmd_Click(2);
    for (int r = 0; r < 3; ++r) EXPECT_TRUE(form.lvw->Checked(r));
    EXPECT_TRUE(form.opt[1]->Checked());
    EXPECT_FALSE(form.opt[0]->Enabled());

    // Unmark through "Highlighted": only the selected row of an enabled class.
    form.lvw->SetSelected(2, true);
    form.lvw_ItemClick(2);
    EXPECT_TRUE(form.cmd[4]->Enabled());
    form.cmd_Click(4);
    EXPECT_FALSE(form.lvw->Checked(2));
    EXPECT_TRUE(form.lvw->Checked(0));
    EXPECT_TRUE(form.opt[0]->Enabled());

    // In Unmark mode a class box needs a checked row of its class.
    form.opt[1]->SetChecked(true);
    form.opt_Click(1);
    form.lvw->SetChecked(1, false);  // the user unchecks the association row
    EXPECT_FALSE(form.chk[1]->Enabled());
    EXPECT_FALSE(form.chk[1]->Checked());
    EXPECT_TRUE(form.chk[0]->Enabled());
    EXPECT_EQ(Shown(), (std::vector<long>{4527})) << "marking shows no message";
}

TEST_F(RestorerWindowTest, AnEmptyListLeavesOnlyTheViewsUsable) {
    SetModel({Key(L".a", {Text(L"", L"afile")})}, {Class(L"afile", L"\"" + program_ + L"\"")});
    frmAssociationRestorer& form = Activated();
    ASSERT_EQ(form.lvw->Count(), 0);
    for (int b = 0; b <= 7; ++b) EXPECT_FALSE(form.cmd[static_cast<size_t>(b)]->Enabled()) << b;
    EXPECT_TRUE(form.opt[0]->Checked()) << "an empty list is in Mark mode";
    EXPECT_FALSE(form.chk[0]->Enabled());
    EXPECT_FALSE(form.chk[1]->Enabled());
    EXPECT_TRUE(form.opt2[1]->Enabled());
}

TEST_F(RestorerWindowTest, TheItemCheckHandlerRefusesAFixOrInstallRow) {
    ModelWithFindings();
    frmAssociationRestorer& form = Activated();
    form.opt2[1]->SetChecked(true);
    form.opt2_Click(1);
    form.cmd_Click(2);  // "All" passes over such rows without a word
    EXPECT_EQ(Shown(), (std::vector<long>{4527}));
    ASSERT_EQ(form.lvw->Count(), 2);
    EXPECT_FALSE(form.lvw->Checked(0));
    EXPECT_FALSE(form.lvw->Checked(1));
    boxes.shown.clear();
    form.lvw->SetChecked(0, true);  // as the user's click does
    form.lvw->SetChecked(1, true);
    EXPECT_EQ(Shown(), (std::vector<long>{4525, 4526}));
    EXPECT_FALSE(form.lvw->Checked(0));
    EXPECT_FALSE(form.lvw->Checked(1));
    EXPECT_TRUE(vb::StartsWith(boxes.shown[0].title, L"Program Missing"));
}

TEST_F(RestorerWindowTest, SaveClickHandlerReplacesTheSnapshotAndTheListEmpties) {
    ModelWithFindings();
    frmAssociationRestorer& form = Activated();
    ASSERT_EQ(form.lvw->Count(), 3);
    form.cmd_Click(0);
    EXPECT_EQ(form.lvw->Count(), 0) << "the new snapshot is the registry as it is";
    EXPECT_EQ(frmDoingStuff::Existing(), nullptr);
    EXPECT_TRUE(form.opt2[1]->Enabled()) << "the controls work again";
    EXPECT_EQ(Ini(L"Scanning Progress"), L"SS: After Unload FDS");
    EXPECT_EQ(SnapshotExtKeys().size(), ExtKeys().size());
}

TEST_F(RestorerWindowTest, ABrokenSnapshotIsToldListsNoChangesAndKeepsTheSaveClickHandlerUsable) {
    ModelWithFindings();
    std::ofstream(vb::ToAnsi(GetSnapshotFilePath()), std::ios::binary | std::ios::trunc) << "<MorvaWA>";
    frmAssociationRestorer& form = Activated();
    EXPECT_EQ(form.lvw->Count(), 0) << "no present extension counts as added";
    EXPECT_TRUE(form.cmd[0]->Enabled()) << "a new snapshot can replace the bad one";
    ASSERT_EQ(boxes.shown.size(), 2u);
    EXPECT_TRUE(vb::StartsWith(boxes.shown[0].prompt, L"The snapshot of your file associations could not be read"));
    EXPECT_EQ(boxes.shown[0].title, L"Association Restorer");
    EXPECT_EQ(Shown(), (std::vector<long>{0, 4527})) << "no \"List Empty\" after a snapshot that was not read";
    form.opt2[1]->SetChecked(true);
    form.opt2_Click(1);
    EXPECT_EQ(form.lvw->Count(), 2) << "the findings still come";
    form.opt2[0]->SetChecked(true);
    form.opt2_Click(0);
    form.cmd_Click(0);
    EXPECT_TRUE(SnapshotRead());
    EXPECT_EQ(form.lvw->Count(), 0);
}

TEST_F(RestorerWindowTest, ASmallWindowGrowsBackOnTheFourthTimerCall) {
    ModelWithFindings();
    frmAssociationRestorer& form = Activated();
    form.Show();
    form.Move(form.Left(), form.Top(), 3000, 2000);
    for (int i = 0; i < 3; ++i) {
        form.TimerEvent();
        EXPECT_LT(form.Width(), 7536) << i;
    }
    form.TimerEvent();
    EXPECT_GE(form.Width(), 7536);
    EXPECT_GE(form.Height(), 4400);
}

TEST_F(RestorerWindowTest, OpenedFromTheOptionsWindowOverAScratchRegistryAndUnloadedByItsCloseHandler) {
    const std::wstring ok = L"\"" + program_ + L"\" \"%1\"";
    PutClass(L".txt", L"", L"txtfile");
    PutClass(L".log", L"", L"txtfile");
    PutClass(L"txtfile\\shell\\open\\command", L"", ok);
    LoadRegistryExtensions();
    LoadRegistryAssociations();
    ASSERT_TRUE(SnapshotModel());
    PutClass(L".log", L"", L"logfile");
    PutClass(L"logfile\\shell\\open\\command", L"", ok);
    PutClass(L".ini", L"", L"txtfile");
    LoadRegistryExtensions();
    LoadRegistryAssociations();

    options_->Show();
    frmAssociationRestorer& form = frmAssociationRestorer::Open(options_->Handle());
    for (int i = 0; i < 100 && Shown().size() < 1; ++i) Pump(1);
    Pump();
    ASSERT_TRUE(form.Loaded());
    EXPECT_TRUE(form.Visible());
    EXPECT_EQ(form.Caption(), L"Association Restorer");
    EXPECT_EQ(reinterpret_cast<HWND>(GetWindowLongPtrW(form.Handle(), GWLP_HWNDPARENT)), options_->Handle());
    EXPECT_EQ(Rows(form), (RowTexts{L"Remove Ext.|.ini||txtfile|Ext. added",
                                L"Restore Assoc.|.log|txtfile|logfile|Assoc. changed"}));
    if (const char* shot = getenv("RESTORER_SCREENSHOT_PAUSE")) Sleep(static_cast<DWORD>(atoi(shot)));
    PostMessageW(form.Handle(), WM_CLOSE, 0, 0);
    Pump();
    EXPECT_FALSE(form.Loaded());
    EXPECT_TRUE(services_.formUnloaded);
}

}  // namespace
