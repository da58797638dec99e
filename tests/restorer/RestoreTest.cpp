// The restore on a scratch HKEY_CLASSES_ROOT: registry before, snapshot, checked rows, registry
// after, compared key by key and value by value; then the "Restore" button in the window.
#include <windows.h>
#include <shellapi.h>

#include <algorithm>
#include <cwctype>
#include <functional>
#include <memory>
#include <utility>
#include <fstream>
#include <map>
#include <sstream>

#include "AssocRestore.h"
#include "OptionsWindowSupport.h"
#include "RestorerTestSupport.h"
#include "UserInput.h"
#include "basWinAPI_Registry.h"
#include "frmAssociationRestorer.h"
#include "frmCrashRecoveryChoices.h"
#include "frmDoingStuff.h"

namespace {

using Bytes = std::vector<BYTE>;

// One key, or one value of a key, as a test writes it.
struct Entry {
    std::wstring key;
    std::string name;
    DWORD type = REG_NONE;
    Bytes data;
    bool keyOnly = false;
};
using State = std::vector<Entry>;

Entry K(const std::wstring& key) { return Entry{key, "", REG_NONE, {}, true}; }
Entry V(const std::wstring& key, const std::string& name, DWORD type, Bytes data) {
    return Entry{key, name, type, std::move(data), false};
}
Entry Sz(const std::wstring& key, const std::string& name, const std::string& text) {
    Bytes data(text.begin(), text.end());
    data.push_back(0);
    return V(key, name, REG_SZ, data);
}
State operator+(State a, const State& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// Present in every state: what a restore must never take away.
State Common() {
    return {Sz(L".txt", "", "txtfile"), Sz(L".txt", "Content Type", "text/plain"), Sz(L"txtfile", "", "Text Document"),
            Sz(L"txtfile\\shell\\open\\command", "", "notepad.exe %1")};
}
State ClassKeys(const std::wstring& name, const std::string& command) {
    return {Sz(name, "", "A class"), Sz(name + L"\\shell\\open\\command", "", command)};
}

void Write(HKEY root, const State& state, DWORD options = 0) {
    for (const Entry& e : state) {
        HKEY key;
        ASSERT_EQ(RegCreateKeyExW(root, e.key.c_str(), 0, nullptr, options, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        if (!e.keyOnly) {
            EXPECT_EQ(RegSetValueExA(key, e.name.c_str(), 0, e.type, e.data.data(), static_cast<DWORD>(e.data.size())),
                      ERROR_SUCCESS);
        }
        RegCloseKey(key);
    }
}

void Clear(HKEY root) {
    wchar_t name[256];
    for (;;) {
        DWORD length = 256;
        if (RegEnumKeyExW(root, 0, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        testsupport::DeleteRegistryTree(root, name);
    }
    for (;;) {
        DWORD length = 256;
        if (RegEnumValueW(root, 0, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        RegDeleteValueW(root, name);
    }
}

std::wstring Hex(const BYTE* data, DWORD size) {
    static const wchar_t digits[] = L"0123456789abcdef";
    std::wstring text;
    for (DWORD i = 0; i < size; ++i) {
        text += digits[data[i] >> 4];
        text += digits[data[i] & 15];
    }
    return text;
}

std::wstring Lower(std::wstring text) {
    for (wchar_t& c : text) c = static_cast<wchar_t>(towlower(c));
    return text;
}

// Every key (lower case, sorted) and every value with its type and bytes, the root's own included.
void DumpKey(HKEY key, const std::wstring& path, std::map<std::wstring, std::wstring>& out) {
    if (!path.empty()) out[Lower(path)] = L"key";
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD nameLength = 256;
        if (RegEnumValueW(key, i, name, &nameLength, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        char ansiName[512];
        DWORD ansiLength = sizeof(ansiName), type = 0, size = 0;
        RegEnumValueA(key, i, ansiName, &ansiLength, nullptr, &type, nullptr, &size);
        Bytes data(size + 1);
        ansiLength = sizeof(ansiName);
        RegEnumValueA(key, i, ansiName, &ansiLength, nullptr, &type, data.data(), &size);
        out[Lower(path) + L"|" + std::wstring(name, nameLength)] = std::to_wstring(type) + L":" + Hex(data.data(), size);
    }
    for (DWORD i = 0;; ++i) {
        wchar_t name[256];
        DWORD length = 256;
        if (RegEnumKeyExW(key, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        HKEY sub;
        if (RegOpenKeyExW(key, name, 0, KEY_READ, &sub) != ERROR_SUCCESS) continue;
        DumpKey(sub, path.empty() ? std::wstring(name) : path + L"\\" + name, out);
        RegCloseKey(sub);
    }
}

std::vector<std::wstring> Dump(HKEY root) {
    std::map<std::wstring, std::wstring> entries;
    DumpKey(root, L"", entries);
    std::vector<std::wstring> lines;
    for (const auto& [name, what] : entries) lines.push_back(name + L" = " + what);
    return lines;
}

using Row = std::pair<int, std::wstring>;  // kind, extension

class RestoreTest : public RestorerScratch {
protected:
    static void LoadModel() {
        LoadRegistryExtensions();
        LoadRegistryAssociations();
    }
    // The snapshot taken of one state, the model and the comparison of another.
    void Prepare(const State& snapshot, const State& before, HKEY root = HKEY_CLASSES_ROOT) {
        Clear(root);
        Write(root, snapshot);
        LoadModel();
        ASSERT_TRUE(SnapshotModel());
        Clear(root);
        Write(root, before);
        LoadModel();
        DetermineAssocExtDiffs();
    }
    static std::wstring ExtensionOf(const AssocDiff& d) {
        if (d.Kind == dkExtRemoved)
            return d.SnapshotIndex > 0 && static_cast<size_t>(d.SnapshotIndex) < SnapshotExtKeys().size()
                       ? SnapshotExtKeys()[static_cast<size_t>(d.SnapshotIndex)].KeyName
                       : L"?";
        return d.CurrentIndex > 0 && static_cast<size_t>(d.CurrentIndex) < ExtKeys().size()
                   ? ExtKeys()[static_cast<size_t>(d.CurrentIndex)].KeyName
                   : L"?";
    }
    // The differences of kinds 0 to 4 as their action texts and extensions.
    static std::vector<std::wstring> Changes() {
        std::vector<std::wstring> rows;
        for (size_t i = 1; i < AssocDiffs().size(); ++i)
            if (AssocDiffs()[i].Kind <= dkExtAdded)
                rows.push_back(ChangeKind()[static_cast<size_t>(AssocDiffs()[i].Kind)].Action + L"|" +
                               ExtensionOf(AssocDiffs()[i]));
        return rows;
    }
    static std::vector<RestoreRow> RowsOf(const std::vector<Row>& wanted) {
        std::vector<RestoreRow> rows;
        for (const Row& w : wanted) {
            long found = 0;
            for (size_t i = 1; i < AssocDiffs().size(); ++i)
                if (AssocDiffs()[i].Kind == w.first && vb::TextEquals(ExtensionOf(AssocDiffs()[i]), w.second))
                    found = static_cast<long>(i);
            EXPECT_NE(found, 0) << "no difference " << w.first << " for " << vb::ToAnsi(w.second);
            rows.push_back(RestoreRow{found, w.first});
        }
        return rows;
    }
    static std::vector<std::wstring> DumpOf(const State& state) {
        HKEY key;
        const std::wstring path = L"Software\\LumoxTests\\Expected" + std::to_wstring(GetCurrentProcessId());
        testsupport::DeleteRegistryTree(HKEY_CURRENT_USER, path);
        RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr);
        Write(key, state);
        std::vector<std::wstring> lines = Dump(key);
        RegCloseKey(key);
        testsupport::DeleteRegistryTree(HKEY_CURRENT_USER, path);
        return lines;
    }
};

TEST_F(RestoreTest, EachKindPutsTheRegistryBackAsTheSnapshotHadIt) {
    const State vvValues = {
        V(L".vv\\OpenWithProgids", "vfile", REG_NONE, {}),
        V(L".vv", "NoneBytes", REG_NONE, {1, 2, 3}),
        V(L".vv", "Qword", 11, {1, 2, 3, 4, 5, 6, 7, 0x80}),
        V(L".vv", "DwordMax", REG_DWORD, {0xFF, 0xFF, 0xFF, 0xFF}),
        V(L".vv", "DwordHigh", REG_DWORD, {0, 0, 0, 0x80}),
        V(L".vv", "BigEndian", REG_DWORD_BIG_ENDIAN, {0x80, 0, 0, 1}),
        V(L".vv", "ShortDword", REG_DWORD, {1, 2}),
        V(L".vv", "EmptyDword", REG_DWORD, {}),
        V(L".vv", "Binary", REG_BINARY, {0, 0x41, 0xFF}),
        V(L".vv", "EmptyBinary", REG_BINARY, {}),
        V(L".vv", "Multi", REG_MULTI_SZ, {'a', 0, 'b', 0, 0}),
        V(L".vv", "Expand", REG_EXPAND_SZ, {'%', 'T', 'E', 'M', 'P', '%', '\\', 'v', 0}),
        Sz(L".vv", "EmptyText", ""),
        Sz(L".vv", "", "vfile"),
    };
    struct Case {
        const char* what;
        State snapshot;
        State before;
        std::vector<Row> rows;
        State after;                           // empty: the snapshot's state
        std::vector<std::wstring> changesLeft;  // rows of kinds 0 to 4 that the next comparison lists
    } cases[] = {
        {"Add Ext. re-creates the key with its subkeys and values as recorded",
         Common() + ClassKeys(L"afile", "a.exe %1") +
             State{Sz(L".aa", "", "afile"), Sz(L".aa", "Content Type", "text/a"), K(L".aa\\ShellNew\\Deep"),
                   Sz(L".aa\\ShellNew", "NullFile", "")},
         Common() + ClassKeys(L"afile", "a.exe %1"), {{dkExtRemoved, L".aa"}}, {}, {}},
        {"Add Ext. of a key without an unnamed value gives it none, nor its subkeys",
         Common() + State{Sz(L".nn", "Content Type", "text/n"),
                          Sz(L".nn\\PersistentHandler", "", "{5E941D80-BF96-11CD-B579-08002B30BFEB}"),
                          K(L".nn\\ShellEx\\{BB2E617C-0920-11D1-9A0B-00C04FC2D6C1}")},
         Common(), {{dkExtRemoved, L".nn"}}, {}, {}},
        {"every value type goes back with its type and bytes", Common() + ClassKeys(L"vfile", "v.exe %1") + vvValues,
         Common() + ClassKeys(L"vfile", "v.exe %1"), {{dkExtRemoved, L".vv"}}, {}, {}},
        {"Remove Ext. deletes the whole key tree", Common(),
         Common() + State{Sz(L".new", "", "txtfile"), Sz(L".new\\ShellNew", "NullFile", ""), K(L".new\\a\\b\\c")},
         {{dkExtAdded, L".new"}}, {}, {}},
        {"Add Assoc. re-creates the class and the extension's unnamed value",
         Common() + ClassKeys(L"bfile", "b.exe \"%1\"") +
             State{Sz(L".bb", "", "bfile"), Sz(L"bfile\\DefaultIcon", "", "b.exe,1")},
         Common() + State{K(L".bb")}, {{dkAssocRemoved, L".bb"}}, {}, {}},
        {"Add Assoc. re-creates the class an unchanged extension still names",
         Common() + ClassKeys(L"bfile", "b.exe \"%1\"") + State{Sz(L".bb", "", "bfile")},
         Common() + State{Sz(L".bb", "", "bfile")}, {{dkAssocRemoved, L".bb"}}, {}, {}},
        {"Add Assoc. without a snapshot association writes the extension's value and no other",
         Common() + State{Sz(L".cc", "", "ghostfile")}, Common() + State{K(L".cc")}, {{dkAssocRemoved, L".cc"}}, {},
         {}},
        {"Remove Assoc. of an extension without a link keeps every key",
         Common() + ClassKeys(L"afile", "a.exe") + State{Sz(L".dd", "Content Type", "x/d")},
         Common() + ClassKeys(L"afile", "a.exe") + State{Sz(L".dd", "", "missingfile"), Sz(L".dd", "Content Type", "x/d")},
         {{dkAssocAdded, L".dd"}}, {}, {}},
        {"Remove Assoc. leaves a class the snapshot holds", Common() + State{K(L".foo")},
         Common() + State{Sz(L".foo", "", "txtfile")}, {{dkAssocAdded, L".foo"}}, {}, {}},
        {"Remove Assoc. of an extension that had no unnamed value takes that value and no class",
         Common() + State{K(L".foo")},
         Common() + ClassKeys(L"foofile", "foo.exe %1") + State{Sz(L".foo", "", "foofile")}, {{dkAssocAdded, L".foo"}},
         Common() + ClassKeys(L"foofile", "foo.exe %1") + State{K(L".foo")}, {}},
        {"Remove Assoc. keeps a class that was there unlinked when the snapshot was taken",
         Common() + ClassKeys(L"prog.foo.1", "foo.exe %1") + State{K(L".foo\\OpenWithProgids")},
         Common() + ClassKeys(L"prog.foo.1", "foo.exe %1") +
             State{Sz(L".foo", "", "prog.foo.1"), K(L".foo\\OpenWithProgids")},
         {{dkAssocAdded, L".foo"}}, {}, {}},
        {"Remove Assoc. keeps another extension the default now names", Common() + State{K(L".foo")},
         Common() + State{Sz(L".foo", "", ".txt")}, {{dkAssocAdded, L".foo"}}, {}, {}},
        {"Remove Assoc. keeps CLSID when the default now names it",
         Common() + State{K(L".foo"), Sz(L"CLSID\\{00000000-0000-0000-0000-00000000AAAA}", "", "A server")},
         Common() + State{Sz(L".foo", "", "CLSID"), Sz(L"CLSID\\{00000000-0000-0000-0000-00000000AAAA}", "", "A server")},
         {{dkAssocAdded, L".foo"}}, {}, {}},
        {"Remove Assoc. takes the class the snapshot's default named while it was missing",
         Common() + State{Sz(L".foo", "", "foofile")},
         Common() + ClassKeys(L"foofile", "foo.exe %1") + State{Sz(L".foo", "", "foofile")}, {{dkAssocAdded, L".foo"}},
         {}, {}},
        {"Remove Assoc. keeps a new class another extension still uses", Common() + State{K(L".foo")},
         Common() + ClassKeys(L"foofile", "foo.exe %1") + State{Sz(L".foo", "", "foofile"), Sz(L".bar", "", "foofile")},
         {{dkAssocAdded, L".foo"}},
         Common() + ClassKeys(L"foofile", "foo.exe %1") + State{K(L".foo"), Sz(L".bar", "", "foofile")},
         {L"Remove Ext.|.bar"}},
        {"Remove Assoc. with the other user's Remove Ext. takes the class proved new",
         Common() + State{Sz(L".foo", "", "foofile")},
         Common() + ClassKeys(L"foofile", "foo.exe %1") + State{Sz(L".foo", "", "foofile"), Sz(L".bar", "", "foofile")},
         {{dkAssocAdded, L".foo"}, {dkExtAdded, L".bar"}}, {}, {}},
        {"Add Assoc. leaves a shared class that is still there as it is now",
         Common() + ClassKeys(L"bfile", "b.exe old") + State{Sz(L".bb", "", "bfile"), Sz(L".b2", "", "bfile")},
         Common() + ClassKeys(L"bfile", "b.exe new") + State{K(L".bb"), Sz(L".b2", "", "bfile")},
         {{dkAssocRemoved, L".bb"}},
         Common() + ClassKeys(L"bfile", "b.exe new") + State{Sz(L".bb", "", "bfile"), Sz(L".b2", "", "bfile")}, {}},
        {"Restore Assoc. names the snapshot's class again",
         Common() + ClassKeys(L"efile", "e.exe") + ClassKeys(L"ffile", "f.exe") +
             State{Sz(L".ee", "", "efile"), Sz(L".ff", "", "ffile")},
         Common() + ClassKeys(L"efile", "e.exe") + ClassKeys(L"ffile", "f.exe") +
             State{Sz(L".ee", "", "ffile"), Sz(L".ff", "", "ffile")},
         {{dkAssocChanged, L".ee"}}, {}, {}},
        {"Remove Ext. reaches subkeys named outside the code page", Common(),
         Common() + State{Sz(L".new", "", "txtfile"), K(L".new\\\x4e2d\\\x0416"), K(L".new\\a")},
         {{dkExtAdded, L".new"}}, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        boxes.shown.clear();
        Prepare(c.snapshot, c.before);
        RestoreDifferences(RowsOf(c.rows));
        EXPECT_EQ(Dump(HKEY_CLASSES_ROOT), DumpOf(c.after.empty() ? c.snapshot : c.after));
        EXPECT_TRUE(boxes.shown.empty()) << "failures of the restore stay quiet";
        LoadModel();
        DetermineAssocExtDiffs();
        EXPECT_EQ(Changes(), c.changesLeft);
    }
}

TEST_F(RestoreTest, AWriteTheRegistryRefusesChangesNothingAndTheRowComesBack) {
    // A volatile root takes no lasting key: the re-created extension is refused.
    HKEY root;
    ASSERT_EQ(RegCreateKeyExW(scratchKey_, L"Volatile", 0, nullptr, REG_OPTION_VOLATILE, KEY_ALL_ACCESS, nullptr,
                              &root, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegOverridePredefKey(HKEY_CLASSES_ROOT, root), ERROR_SUCCESS);
    const State snapshot = State{Sz(L".txt", "", "txtfile"), Sz(L".aa", "", "txtfile"), Sz(L"txtfile", "", "Text")};
    Clear(root);
    Write(root, snapshot, REG_OPTION_VOLATILE);
    LoadModel();
    ASSERT_TRUE(SnapshotModel());
    Clear(root);
    Write(root, State{Sz(L".txt", "", "txtfile"), Sz(L"txtfile", "", "Text")}, REG_OPTION_VOLATILE);
    LoadModel();
    DetermineAssocExtDiffs();
    const std::vector<std::wstring> before = Dump(root);
    RestoreDifferences(RowsOf({{dkExtRemoved, L".aa"}}));
    EXPECT_EQ(Dump(root), before);
    EXPECT_TRUE(boxes.shown.empty());
    LoadModel();
    DetermineAssocExtDiffs();
    EXPECT_EQ(Changes(), std::vector<std::wstring>{L"Add Ext.|.aa"});
    RegOverridePredefKey(HKEY_CLASSES_ROOT, classes_);
    RegCloseKey(root);
}

TEST_F(RestoreTest, RowsOfNoDifferenceOrOfNoRestorableKindChangeNothing) {
    Prepare(Common() + State{K(L".zz")}, Common() + State{Sz(L".zz", "", "nowhere")});
    const std::vector<std::wstring> before = Dump(HKEY_CLASSES_ROOT);
    RestoreDifferences({{0, dkExtAdded}, {99, dkExtAdded}, {1, dkAssocMissing}, {1, dkProgramMissing}, {1, -1}});
    EXPECT_EQ(Dump(HKEY_CLASSES_ROOT), before);
    EXPECT_TRUE(boxes.shown.empty());
}

// The window: its question, the restore of the checked rows and the list afterwards.
class RestoreWindowTest : public RestoreTest {
protected:
    class CountingOptions : public OptionsWindowServices {
    public:
        void ShowInfo(const std::wstring&) override {}
        void SetAliasCount(long) override {}
        bool NeedToSaveUserChoices() const override { return false; }
        void SetNeedToSaveUserChoices(bool) override {}
        vb::List<HTREEITEM> GetNodesToBeRemoved() override { return {}; }
        void RemoveProgram(HTREEITEM, bool) override {}
        bool RedisplayExtensionList() override {
            ++redisplays;
            // As the real reload does, messages go through while it runs.
            if (duringReload) duringReload();
            LoadModel();
            return reloads;
        }
        std::function<void()> duringReload;
        int redisplays = 0;
        bool reloads = true;  // false: the options window's reload failed part way
    };

    void SetUp() override {
        RestoreTest::SetUp();
        Registry(regSave, L"4", L"", vb::Variant(L"Morva Utility Manager First Time"), vb::Variant(L"False"),
                 std::nullopt, HKEY_LOCAL_MACHINE, true);
        previous_ = SetOptionsWindowServices(&options_);
    }
    void TearDown() override {
        frmAssociationRestorer::Release();
        frmCrashRecoveryChoices::Release();
        win::DefaultInstance<frmDoingStuff>::Release();
        SetOptionsWindowServices(previous_);
        RestoreTest::TearDown();
    }

    // Three changes: .aa removed, .bb added, .cc's class changed.
    frmAssociationRestorer& Opened() {
        Prepare(Common() + ClassKeys(L"afile", "a.exe") + State{Sz(L".aa", "", "afile"), Sz(L".cc", "", "afile")},
                Common() + ClassKeys(L"afile", "a.exe") + State{Sz(L".bb", "", "afile"), Sz(L".cc", "", "txtfile")});
        frmAssociationRestorer& form = frmAssociationRestorer::Default();
        form.Form_Activate();
        boxes.shown.clear();
        options_.redisplays = 0;  // the activation's own reload
        return form;
    }
    static std::vector<std::wstring> Rows(frmAssociationRestorer& form) {
        std::vector<std::wstring> rows;
        for (int r = 0; r < form.lvw->Count(); ++r)
            rows.push_back(form.lvw->ItemText(r, 0) + L"|" + form.lvw->ItemText(r, 1) +
                           (form.lvw->Checked(r) ? L"|checked" : L""));
        return rows;
    }
    static int RowOf(frmAssociationRestorer& form, const std::wstring& extension) {
        for (int r = 0; r < form.lvw->Count(); ++r)
            if (form.lvw->ItemText(r, 1) == extension) return r;
        return -1;
    }
    void ExpectQuestion() {
        ASSERT_EQ(boxes.shown.size(), 1u);
        EXPECT_EQ(boxes.shown[0].prompt, L"Are you sure you want to restore now?");
        EXPECT_EQ(boxes.shown[0].title, L"Association Restorer");
        EXPECT_EQ(boxes.shown[0].style, static_cast<long>(MB_YESNO));
    }

    CountingOptions options_;
    OptionsWindowServices* previous_ = nullptr;
};

TEST_F(RestoreWindowTest, RestoreClickHandlerNoAndYesWithoutCheckedRowsChangeNothing) {
    frmAssociationRestorer& form = Opened();
    ASSERT_EQ(Rows(form), (std::vector<std::wstring>{L"Add Ext.|.aa", L"Remove Ext.|.bb", L"Restore Assoc.|.cc"}));
    const std::vector<std::wstring> registry = Dump(HKEY_CLASSES_ROOT);

    form.lvw->SetChecked(RowOf(form, L".aa"), true);
    form.lvw->SetSelected(RowOf(form, L".bb"), true);
    boxes.answers = {AnswerNo};
    form.cmd_Click(1);
    ExpectQuestion();
    EXPECT_EQ(Dump(HKEY_CLASSES_ROOT), registry);
    EXPECT_EQ(Rows(form),
              (std::vector<std::wstring>{L"Add Ext.|.aa|checked", L"Remove Ext.|.bb", L"Restore Assoc.|.cc"}));
    EXPECT_EQ(options_.redisplays, 0);

    form.lvw->SetChecked(RowOf(form, L".aa"), false);
    boxes.shown.clear();
    boxes.answers = {AnswerYes};
    form.cmd_Click(1);
    ExpectQuestion();
    EXPECT_EQ(Dump(HKEY_CLASSES_ROOT), registry);
    EXPECT_EQ(options_.redisplays, 0) << "nothing reloaded";
    EXPECT_TRUE(form.lvw->Selected(RowOf(form, L".bb"))) << "the list was not rebuilt";
    EXPECT_TRUE(form.cmd[0]->Enabled()) << "the controls work again";
}

TEST_F(RestoreWindowTest, RestoreClickHandlerYesRestoresTheCheckedRowsAndRebuildsTheList) {
    frmAssociationRestorer& form = Opened();
    form.lvw->SetChecked(RowOf(form, L".aa"), true);
    form.lvw->SetChecked(RowOf(form, L".cc"), true);
    boxes.answers = {AnswerYes};
    form.cmd_Click(1);
    ExpectQuestion();
    EXPECT_EQ(options_.redisplays, 2) << "compared again before and after";
    EXPECT_EQ(Rows(form), std::vector<std::wstring>{L"Remove Ext.|.bb"}) << "restored rows gone, the rest unmarked";
    EXPECT_EQ(ClassValue(L".aa"), L"afile");
    EXPECT_EQ(ClassValue(L".cc"), L"afile");
    EXPECT_EQ(ClassValue(L".bb"), L"afile");
    EXPECT_FALSE(form.GlobalArraysChanged());
    EXPECT_TRUE(form.cmd[0]->Enabled());
}

TEST_F(RestoreWindowTest, RestoreClickHandlerWithoutTheOptionsWindowReloadsTheModelDirectly) {
    frmAssociationRestorer& form = Opened();
    SetOptionsWindowServices(nullptr);
    form.lvw->SetChecked(RowOf(form, L".bb"), true);
    boxes.answers = {AnswerYes};
    form.cmd_Click(1);
    ExpectQuestion();
    EXPECT_EQ(ClassValue(L".bb"), L"<none>");
    EXPECT_EQ(Rows(form), (std::vector<std::wstring>{L"Add Ext.|.aa", L"Restore Assoc.|.cc"}));
    EXPECT_EQ(options_.redisplays, 0);
    EXPECT_EQ(IndexOf(ExtKeys(), L".bb"), -1) << "the model the restorer compares with is the registry's";
}

// A DACL on a key of the scratch root that denies everyone those rights and allows the rest;
// 0 gives every right back.
bool Deny(const std::wstring& path, DWORD denied) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, WRITE_DAC, &key) != ERROR_SUCCESS) return false;
    SID_IDENTIFIER_AUTHORITY world = SECURITY_WORLD_SID_AUTHORITY;
    PSID everyone = nullptr;
    AllocateAndInitializeSid(&world, 1, SECURITY_WORLD_RID, 0, 0, 0, 0, 0, 0, 0, &everyone);
    alignas(DWORD) BYTE buffer[256];
    ACL* acl = reinterpret_cast<ACL*>(buffer);
    InitializeAcl(acl, sizeof(buffer), ACL_REVISION);
    if (denied) AddAccessDeniedAce(acl, ACL_REVISION, denied, everyone);
    AddAccessAllowedAce(acl, ACL_REVISION, KEY_ALL_ACCESS, everyone);
    SECURITY_DESCRIPTOR descriptor;
    InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    SetSecurityDescriptorDacl(&descriptor, TRUE, acl, FALSE);
    const LONG rc = RegSetKeySecurity(key, DACL_SECURITY_INFORMATION, &descriptor);
    FreeSid(everyone);
    RegCloseKey(key);
    return rc == ERROR_SUCCESS;
}

std::string FileBytes(const std::wstring& path) {
    std::ifstream in(vb::ToAnsi(path), std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

// The user at the restorer under Xvfb: the pointer moved to "Save", "All" and "Restore" on the
// window in front and clicked there (SendInput); boxes through the presenter seam, answered Yes.
// A box of the real engine left open is closed by the watchdog, so a lost click fails the test
// instead of hanging it.
class RestoreByUserTest : public RestoreWindowTest {
protected:
    void TearDown() override {
        for (const std::wstring& path : locked_) Deny(path, 0);
        RestoreWindowTest::TearDown();
    }

    void Lock(const std::wstring& path, DWORD denied) {
        ASSERT_TRUE(Deny(path, denied)) << vb::ToAnsi(path);
        locked_.push_back(path);
    }

    bool Warned() const {
        for (const ShownBox& b : boxes.shown)
            if (vb::StartsWith(b.prompt, L"WARNING:")) return true;
        return false;
    }

    // The restorer opened as the options window opens it, its activation run, in front.
    frmAssociationRestorer& OpenInFront() {
        frmAssociationRestorer::Release();
        boxes.shown.clear();
        frmAssociationRestorer& form = frmAssociationRestorer::Open(nullptr);
        EXPECT_TRUE(userinput::PumpUntil([&] { return !form.Loaded() || Warned(); })) << "the activation ran";
        if (form.Loaded()) {
            SetWindowPos(form.Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
            userinput::BringToFront(form.Handle());
            userinput::PumpFor(100);
        }
        return form;
    }

    // A click on a button of the restorer where the user clicks it; the button must be usable.
    void ClickByUser(win::Button* button) {
        ASSERT_TRUE(IsWindowVisible(button->Handle()) && IsWindowEnabled(button->Handle()))
            << vb::ToAnsi(button->Text()) << " is there to click";
        userinput::BringToFront(GetAncestor(button->Handle(), GA_ROOT));
        EXPECT_TRUE(userinput::ClickButton(button->Handle())) << vb::ToAnsi(button->Text()) << " took the click";
        userinput::PumpFor(50);
    }
    void SaveByUser(frmAssociationRestorer& form) { ClickByUser(form.cmd[0]); }
    // "All", then "Restore" and Yes.
    void RestoreAllByUser(frmAssociationRestorer& form) {
        boxes.answers = {AnswerYes};
        ClickByUser(form.cmd[2]);
        ClickByUser(form.cmd[1]);
    }

    static std::vector<std::wstring> RowsShown(frmAssociationRestorer& form) {
        std::vector<std::wstring> rows;
        for (int r = 0; r < form.lvw->Count(); ++r) rows.push_back(form.lvw->ItemText(r, 0) + L"|" + form.lvw->ItemText(r, 1));
        return rows;
    }
    std::vector<std::wstring> Prompts() const {
        std::vector<std::wstring> prompts;
        for (const ShownBox& b : boxes.shown) prompts.push_back(b.prompt);
        return prompts;
    }
    bool Told(const std::wstring& beginning) const {
        for (const ShownBox& b : boxes.shown)
            if (vb::StartsWith(b.prompt, beginning)) return true;
        return false;
    }
    // Whether a box was shown whose prompt holds that text anywhere.
    bool ToldSomewhere(const std::wstring& text) const {
        for (const ShownBox& b : boxes.shown)
            if (b.prompt.find(text) != std::wstring::npos) return true;
        return false;
    }

    // Moves the snapshot file's last-write time by that many seconds from now (SetFileTime, no
    // waiting): back, keys written since look newer; ahead, they look older.
    static void SnapshotTimeFromNow(long long seconds) {
        FILETIME now;
        GetSystemTimeAsFileTime(&now);
        ULARGE_INTEGER t;
        t.LowPart = now.dwLowDateTime;
        t.HighPart = now.dwHighDateTime;
        t.QuadPart += static_cast<ULONGLONG>(seconds * 10000000LL);
        FILETIME when{t.LowPart, t.HighPart};
        HANDLE file = CreateFileW(GetSnapshotFilePath().c_str(), FILE_WRITE_ATTRIBUTES,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        EXPECT_TRUE(SetFileTime(file, nullptr, nullptr, &when));
        CloseHandle(file);
    }


    windowtest::DialogWatchdog watchdog_;
    std::vector<std::wstring> locked_;
};

const wchar_t kListEmpty[] = L"List Empty:";
const wchar_t kUnreadable[] = L"The snapshot of your file associations could not be read";
const wchar_t kNotSaved[] = L"No new snapshot was saved: ";

State Installed(const std::wstring& ext, const std::wstring& cls) {
    return {Sz(ext, "", vb::ToAnsi(cls)), K(ext + L"\\OpenWithProgids"),
            Sz(cls + L"\\shell\\open\\command", "", "foo.exe \"%1\"")};
}

// An installer writes while the suite runs, after the options window loaded the model; the user
// then saves. Whatever is reloaded later, nothing that was there at the click is offered for
// removal, and restoring every row keeps it.
TEST_F(RestoreByUserTest, AKeyAddedBeforeSaveIsNeverOfferedForRemovalNorDeleted) {
    struct Case {
        const char* what;
        State atLoad;     // besides Common(), when the model was loaded
        State installed;  // written after that, before "Save"
    } cases[] = {
        {"a new extension with a new class", {}, Installed(L".foo", L"foo.Document")},
        {"an extension whose class comes later", {Sz(L".foo", "", "foo.Document")},
         State{Sz(L"foo.Document\\shell\\open\\command", "", "foo.exe \"%1\""), K(L"foo.Document\\DefaultIcon")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        // An older snapshot with ".keep" missing: the list has a row, so "Save" can be clicked.
        Prepare(Common() + ClassKeys(L"afile", "a.exe"),
                Common() + ClassKeys(L"afile", "a.exe") + State{Sz(L".keep", "", "afile")} + c.atLoad);
        frmAssociationRestorer& form = OpenInFront();
        if (!form.Loaded()) {
            ADD_FAILURE() << "the restorer opened";
            continue;
        }
        Write(HKEY_CLASSES_ROOT, c.installed);
        const State atSave = Common() + ClassKeys(L"afile", "a.exe") + State{Sz(L".keep", "", "afile")} + c.atLoad +
                             c.installed;
        SaveByUser(form);
        EXPECT_EQ(RowsShown(form), std::vector<std::wstring>{}) << "the new snapshot is the registry at the click";
        EXPECT_FALSE(Told(kNotSaved));

        // Later: ".keep" goes, the model is loaded again (a new start of the suite), the
        // restorer opens again and the user restores every row.
        form.UnloadForm();
        testsupport::DeleteRegistryTree(HKEY_CLASSES_ROOT, L".keep");
        LoadModel();
        frmAssociationRestorer& again = OpenInFront();
        if (!again.Loaded()) {
            ADD_FAILURE() << "the restorer opened again";
            continue;
        }
        EXPECT_EQ(RowsShown(again), std::vector<std::wstring>{L"Add Ext.|.keep"});
        RestoreAllByUser(again);
        EXPECT_EQ(Dump(HKEY_CLASSES_ROOT), DumpOf(atSave));
        EXPECT_EQ(RowsShown(again), std::vector<std::wstring>{});
        again.UnloadForm();
    }
}

// Subkeys the model cannot read (a name outside the code page, a key that denies reading) and a
// class named "*" are saved and read back; the user is told of no damage and nothing changed.
TEST_F(RestoreByUserTest, UnreadableSubkeysAndTheAllFilesClassSaveAndReadBack) {
    Prepare(Common() + State{Sz(L".old", "", "txtfile")},
            Common() + State{Sz(L".x", "", "txtfile"), K(L".x\\\x4e2d"), K(L".x\\locked"), K(L".x\\b"),
                             Sz(L".st", "", "*"), K(L"*\\shellex\\ContextMenuHandlers\\h")});
    Lock(L".x\\locked", KEY_READ);
    frmAssociationRestorer& form = OpenInFront();
    ASSERT_TRUE(form.Loaded());
    ASSERT_FALSE(RowsShown(form).empty());
    boxes.shown.clear();
    SaveByUser(form);
    EXPECT_EQ(Prompts(), std::vector<std::wstring>{}) << "neither damage nor a failure to tell";
    EXPECT_TRUE(SnapshotRead());
    EXPECT_EQ(RowsShown(form), std::vector<std::wstring>{});
    const std::string file = FileBytes(GetSnapshotFilePath());
    EXPECT_NE(file.find("Name=\".x\\b\""), std::string::npos) << file;
    EXPECT_EQ(file.find("<Subkey/>"), std::string::npos) << file;

    form.UnloadForm();
    frmAssociationRestorer& again = OpenInFront();
    EXPECT_FALSE(Told(kUnreadable));
    EXPECT_TRUE(Told(kListEmpty)) << "the snapshot read and nothing changed since";
    again.UnloadForm();
}

// A "Save" that cannot give a snapshot that reads back keeps the last one as it was, and says so.
TEST_F(RestoreByUserTest, ASaveThatFailsKeepsTheLastSnapshotAndSaysWhy) {
    struct Case {
        const char* what;
        State atSave;
        bool blockFile;  // a folder where the new file goes
        const wchar_t* told;
        bool reloadFails = false;
    } cases[] = {
        {"the options window cannot rebuild its list", Common() + State{Sz(L".w", "", "txtfile")}, false,
         L"No new snapshot was saved: the options window could not rebuild its list of extensions", true},
        {"the registry holds no extension", {}, false,
         L"No new snapshot was saved: the list of file extensions read from the registry is empty"},
        {"the new file does not read back", State{Sz(L".q", "", "qfile"), Sz(L".r", "", "rfile")}, false,
         L"No new snapshot was saved: the new snapshot could not be read back (it is damaged: its extensions name "
         L"classes"},
        {"the new file cannot be written", Common() + State{Sz(L".w", "", "txtfile")}, true, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Prepare(Common() + State{Sz(L".old", "", "txtfile")}, Common());
        const std::string before = FileBytes(GetSnapshotFilePath());
        const std::wstring blocker = GetSnapshotFilePath() + L".new";
        if (c.blockFile) {
            EXPECT_TRUE(CreateDirectoryW(blocker.c_str(), nullptr)) << "the folder in the way";
        }
        frmAssociationRestorer& form = OpenInFront();
        if (!form.Loaded()) {
            ADD_FAILURE() << "the restorer opened";
            continue;
        }
        Clear(HKEY_CLASSES_ROOT);
        Write(HKEY_CLASSES_ROOT, c.atSave);
        boxes.shown.clear();
        options_.reloads = !c.reloadFails;
        SaveByUser(form);
        options_.reloads = true;
        EXPECT_EQ(FileBytes(GetSnapshotFilePath()), before) << "the last snapshot is kept";
        EXPECT_FALSE(FileBytes(blocker).size() > 0) << "no new file is left beside it";
        EXPECT_FALSE(boxes.shown.empty()) << "the user is told";
        if (c.told && !boxes.shown.empty()) {
            EXPECT_TRUE(vb::StartsWith(boxes.shown[0].prompt, c.told)) << vb::ToAnsi(boxes.shown[0].prompt);
            EXPECT_EQ(boxes.shown[0].title, L"Association Restorer");
            EXPECT_NE(boxes.shown[0].prompt.find(L"The last snapshot is kept as it was."), std::wstring::npos);
        }
        EXPECT_FALSE(Told(kListEmpty));
        EXPECT_TRUE(SnapshotRead()) << "the list goes on comparing with the last snapshot";
        EXPECT_TRUE(IsWindowEnabled(form.cmd[0]->Handle())) << "Save can be tried again";
        form.UnloadForm();
        if (c.blockFile) RemoveDirectoryW(blocker.c_str());
    }
}

// Keys the snapshot does not know of, but which were there when it was written, and "*", stay
// through "Remove Ext." and "Remove Assoc."; so does a tree the registry will not let go whole.
TEST_F(RestoreByUserTest, RestoringEveryRowNeverDeletesOlderKeysTheAllFilesKeyOrPartOfATree) {
    const State star = {K(L"*\\shellex\\ContextMenuHandlers\\h"), Sz(L"*", "InfoTip", "all")};
    struct Case {
        const char* what;
        State registry;
        // The registry when the model was loaded for the snapshot. A stale snapshot (as an
        // earlier version saved the model it had) is written after the registry's keys; a fresh
        // one before them, so that only the rule for "*" or the registry's refusal holds them.
        State modelAtSnapshot;
        bool fresh;
        std::vector<std::pair<std::wstring, DWORD>> locks;
        std::vector<std::wstring> rows;
    } cases[] = {
        {"an extension older than a stale snapshot", Common() + Installed(L".foo", L"foo.Document"), Common(), false,
         {}, {L"Remove Ext.|.foo"}},
        {"a class older than a stale snapshot",
         Common() + State{Sz(L".foo", "", "foo.Document"), Sz(L"foo.Document\\shell\\open\\command", "", "x")},
         Common() + State{Sz(L".foo", "", "foo.Document")}, false, {}, {L"Remove Assoc.|.foo"}},
        {"the all-files key a snapshot lacks", Common() + star, Common(), true, {}, {L"Remove Ext.|*"}},
        {"a tree with a child that may not be deleted",
         Common() + State{Sz(L".new", "", "txtfile"), K(L".new\\a\\b"), K(L".new\\held")}, Common(), true,
         {{L".new\\held", DELETE}}, {L"Remove Ext.|.new"}},
        {"a tree whose top key may not be deleted",
         Common() + State{Sz(L".new", "", "txtfile"), K(L".new\\a\\b"), K(L".new\\c")}, Common(), true,
         {{L".new", DELETE}}, {L"Remove Ext.|.new"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Clear(HKEY_CLASSES_ROOT);
        Write(HKEY_CLASSES_ROOT, c.modelAtSnapshot);
        LoadModel();
        if (c.fresh) {
            EXPECT_TRUE(SnapshotModel());
            Clear(HKEY_CLASSES_ROOT);
            Write(HKEY_CLASSES_ROOT, c.registry);
            SnapshotTimeFromNow(-3600);  // every key is newer than the file
        } else {
            Clear(HKEY_CLASSES_ROOT);
            Write(HKEY_CLASSES_ROOT, c.registry);
            EXPECT_TRUE(SnapshotModel());
            SnapshotTimeFromNow(3600);  // every key is older than the file
        }
        for (const auto& [path, denied] : c.locks) Lock(path, denied);
        const std::vector<std::wstring> before = Dump(HKEY_CLASSES_ROOT);
        LoadModel();
        frmAssociationRestorer& form = OpenInFront();
        if (!form.Loaded()) {
            ADD_FAILURE() << "the restorer opened";
            continue;
        }
        EXPECT_EQ(RowsShown(form), c.rows);
        RestoreAllByUser(form);
        EXPECT_EQ(Dump(HKEY_CLASSES_ROOT), before) << "every key stays, whole";
        EXPECT_EQ(RowsShown(form), c.rows) << "the row comes back";
        EXPECT_TRUE(boxes.answers.empty()) << "the question was asked";
        form.UnloadForm();
        for (const auto& [path, denied] : c.locks) Deny(path, 0);
    }
}

// A file that reads but cannot be trusted is told as a snapshot that cannot be read, with no
// "nothing changed" after it, and offers nothing to restore.
TEST_F(RestoreByUserTest, AHandMadeFileWithClassesNamedAndNoAssociationsIsRefused) {
    Clear(HKEY_CLASSES_ROOT);
    Write(HKEY_CLASSES_ROOT, Common());
    LoadModel();
    std::ofstream(vb::ToAnsi(GetSnapshotFilePath()), std::ios::binary | std::ios::trunc)
        << "<?xml version='1.0'?>\n<MorvaWA><Extensions><Extension Name='.txt'>"
           "<Value Name='(Default)' Data='txtfile' Type='1' DataLength='7'/></Extension></Extensions>"
           "<Associations></Associations></MorvaWA>";
    const std::vector<std::wstring> before = Dump(HKEY_CLASSES_ROOT);
    frmAssociationRestorer& form = OpenInFront();
    ASSERT_TRUE(form.Loaded());
    ASSERT_FALSE(boxes.shown.empty());
    EXPECT_TRUE(vb::StartsWith(boxes.shown[0].prompt, kUnreadable)) << vb::ToAnsi(boxes.shown[0].prompt);
    EXPECT_EQ(boxes.shown[0].title, L"Association Restorer");
    EXPECT_NE(boxes.shown[0].prompt.find(L"holds none of them"), std::wstring::npos);
    EXPECT_NE(boxes.shown[0].prompt.find(L"Click \"Save\""), std::wstring::npos);
    EXPECT_FALSE(Told(kListEmpty)) << "nothing was compared";
    EXPECT_EQ(RowsShown(form), std::vector<std::wstring>{});
    EXPECT_EQ(Dump(HKEY_CLASSES_ROOT), before);
    form.UnloadForm();
}

// The refusal on the real message box, as the user meets it: shown over the restorer with its
// title and closed by the watchdog (its text is what it read).
TEST_F(RestoreByUserTest, ARefusedSnapshotIsToldInTheRealMessageBox) {
    Clear(HKEY_CLASSES_ROOT);
    Write(HKEY_CLASSES_ROOT, Common());
    LoadModel();
    std::ofstream(vb::ToAnsi(GetSnapshotFilePath()), std::ios::binary | std::ios::trunc) << "<MorvaWA>";
    SetMessagePresenter(nullptr);
    frmAssociationRestorer& form = frmAssociationRestorer::Open(nullptr);
    userinput::PumpUntil([&] { return watchdog_.closed() >= 2 || !form.Loaded(); }, 15000);
    SetMessagePresenter(&boxes);
    const std::vector<std::wstring> texts = watchdog_.texts();
    ASSERT_GE(texts.size(), 2u);
    EXPECT_NE(texts[texts.size() - 2].find(kUnreadable), std::wstring::npos) << vb::ToAnsi(texts[texts.size() - 2]);
    EXPECT_NE(texts.back().find(L"WARNING:"), std::wstring::npos) << vb::ToAnsi(texts.back());
    EXPECT_EQ(texts.back().find(kListEmpty), std::wstring::npos);
    form.UnloadForm();
}


// ---- the test prefix's own HKEY_CLASSES_ROOT ----

// A second run of this program stands for another program that holds a file open without
// sharing it: "--hold-without-sharing <file> <ready event> <release event>".
const bool kRunAsHolder = [] {
    int count = 0;
    wchar_t** args = CommandLineToArgvW(GetCommandLineW(), &count);
    if (!args) return false;
    for (int i = 1; i + 3 < count; ++i) {
        if (std::wstring(args[i]) != L"--hold-without-sharing") continue;
        HANDLE file = CreateFileW(args[i + 1], GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        HANDLE ready = OpenEventW(EVENT_MODIFY_STATE, FALSE, args[i + 2]);
        HANDLE release = OpenEventW(SYNCHRONIZE, FALSE, args[i + 3]);
        if (ready) SetEvent(ready);
        if (release) WaitForSingleObject(release, 60000);
        ExitProcess(file != INVALID_HANDLE_VALUE ? 0 : 1);
    }
    LocalFree(args);
    return false;
}();

// Another process holding the file open without sharing until Release (or its end).
class OtherProgramHolding {
public:
    explicit OtherProgramHolding(const std::wstring& path) {
        const std::wstring tag = std::to_wstring(GetCurrentProcessId()) + L"_" + std::to_wstring(GetTickCount());
        const std::wstring readyName = L"LumoxHoldReady" + tag, releaseName = L"LumoxHoldRelease" + tag;
        ready_ = CreateEventW(nullptr, TRUE, FALSE, readyName.c_str());
        release_ = CreateEventW(nullptr, TRUE, FALSE, releaseName.c_str());
        wchar_t self[MAX_PATH];
        GetModuleFileNameW(nullptr, self, MAX_PATH);
        std::wstring line = L"\"" + std::wstring(self) + L"\" --gtest_filter=None --hold-without-sharing \"" + path +
                            L"\" " + readyName + L" " + releaseName;
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        if (CreateProcessW(nullptr, line.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &startup,
                           &process_)) {
            CloseHandle(process_.hThread);
            holding_ = WaitForSingleObject(ready_, 30000) == WAIT_OBJECT_0;
        }
    }
    ~OtherProgramHolding() {
        Release();
        CloseHandle(ready_);
        CloseHandle(release_);
    }
    bool Holding() const { return holding_; }
    void Release() {
        if (!process_.hProcess) return;
        SetEvent(release_);
        WaitForSingleObject(process_.hProcess, 30000);
        CloseHandle(process_.hProcess);
        process_.hProcess = nullptr;
    }

private:
    HANDLE ready_ = nullptr, release_ = nullptr;
    PROCESS_INFORMATION process_{};
    bool holding_ = false;
};

// A presenter that does something the moment a box whose text begins so is shown (the user
// acting before clicking OK), then records the box as the fake does.
class ActingPresenter : public FakePresenter {
public:
    int Show(const std::wstring& prompt, long style, const std::wstring& title) override {
        for (auto& [beginning, act] : acts)
            if (act && vb::StartsWith(prompt, beginning)) std::exchange(act, nullptr)();
        return FakePresenter::Show(prompt, style, title);
    }
    std::vector<std::pair<std::wstring, std::function<void()>>> acts;
};

bool KeyThere(const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CLASSES_ROOT, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

// The top-level names of HKEY_CLASSES_ROOT, for "nothing else changed".
std::vector<std::wstring> TopKeys() {
    std::vector<std::wstring> names;
    wchar_t name[512];
    for (DWORD i = 0;; ++i) {
        DWORD length = 512;
        if (RegEnumKeyExW(HKEY_CLASSES_ROOT, i, name, &length, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        names.push_back(Lower(std::wstring(name, length)));
    }
    std::sort(names.begin(), names.end());
    return names;
}

// The restorer in the test prefix's HKEY_CLASSES_ROOT (the prefix is made for the tests; the
// keys the tests write carry names of their own and go again), driven through its real buttons.
class LiveRegistryTest : public RestoreByUserTest {
protected:
    void SetUp() override {
        RestoreByUserTest::SetUp();
        ASSERT_EQ(RegOverridePredefKey(HKEY_CLASSES_ROOT, nullptr), ERROR_SUCCESS);
        RemoveOwnKeys();
        topBefore_ = TopKeys();
    }
    void TearDown() override {
        for (const std::wstring& path : locked_) Deny(path, 0);
        locked_.clear();
        RemoveOwnKeys();
        EXPECT_EQ(TopKeys(), topBefore_) << "the prefix's keys are as they were";
        RestoreByUserTest::TearDown();
    }
    void Own(const std::wstring& name) { own_.push_back(name); }
    void RemoveOwnKeys() {
        for (const std::wstring& name : own_)
            if (KeyThere(name)) testsupport::DeleteRegistryTree(HKEY_CLASSES_ROOT, name);
    }
    void Put(const State& state) {
        for (const Entry& e : state) {
            const std::wstring top = e.key.substr(0, e.key.find(L'\\'));
            if (std::find(own_.begin(), own_.end(), top) == own_.end()) own_.push_back(top);
        }
        Write(HKEY_CLASSES_ROOT, state);
    }

    // The snapshot of the registry as it is now, written by this version.
    void SnapshotNow() {
        LoadModel();
        ASSERT_TRUE(SnapshotModel());
    }
    // The restorer open, in front, on two extensions written since the snapshot: two rows to remove.
    void OpenOnTwoNewExtensions(frmAssociationRestorer*& opened) {
        RemoveOwnKeys();
        SnapshotNow();
        Put(State{Sz(L".lumoxyy", "Content Type", "text/x-yy"), Sz(L".lumoxzz", "Content Type", "text/x-zz")});
        SnapshotTimeFromNow(-3600);
        opened = &OpenInFront();
        ASSERT_TRUE(opened->Loaded());
        ASSERT_EQ(RowsShown(*opened), (std::vector<std::wstring>{L"Remove Ext.|.lumoxyy", L"Remove Ext.|.lumoxzz"}));
    }
    // The user clicks the row of that extension (and action) and marks it with "Selected".
    void TickByUser(frmAssociationRestorer& form, const std::wstring& row) {
        int found = -1;
        ASSERT_NO_FATAL_FAILURE(ClickRestorerRowByUser(form, row, found));
        ClickByUser(form.cmd[4]);
        EXPECT_TRUE(form.lvw->Checked(found));
    }
    void RestoreCheckedByUser(frmAssociationRestorer& form) {
        boxes.answers = {AnswerYes};
        ClickByUser(form.cmd[1]);
    }

    std::vector<std::wstring> own_;
    std::vector<std::wstring> topBefore_;
};

// A Save that fails after its reload (a folder in the way of the new file; the old file held by
// another program) keeps the last snapshot, in the file and in what the list compares with; the
// user then marks one row and restores: only that key goes.
TEST_F(LiveRegistryTest, ASaveThatFailsThenRestoringOneRowChangesOnlyThatKey) {
    enum Failure { FolderInTheWay, OldFileHeldOpen };
    for (Failure failure : {FolderInTheWay, OldFileHeldOpen}) {
        SCOPED_TRACE(failure == FolderInTheWay ? "a folder in the way of the new file" : "the old file held open");
        frmAssociationRestorer* opened = nullptr;
        ASSERT_NO_FATAL_FAILURE(OpenOnTwoNewExtensions(opened));
        frmAssociationRestorer& form = *opened;

        Put(State{Sz(L".lumoxaa", "Content Type", "text/x-aa")});  // an installer, meanwhile
        const std::string before = FileBytes(GetSnapshotFilePath());
        const std::wstring fresh = GetSnapshotFilePath() + L".new";
        std::vector<ShownBox> shown;
        {
            std::unique_ptr<OtherProgramHolding> holder;
            ActingPresenter presenter;
            if (failure == FolderInTheWay) {
                ASSERT_TRUE(CreateDirectoryW(fresh.c_str(), nullptr));
            } else {
                holder = std::make_unique<OtherProgramHolding>(GetSnapshotFilePath());
                ASSERT_TRUE(holder->Holding());
                // The user closes the other program while reading the message.
                presenter.acts.push_back({kNotSaved, [&] { holder->Release(); }});
            }
            SaveByUser(form);
            if (failure == FolderInTheWay) RemoveDirectoryW(fresh.c_str());
            if (holder) holder->Release();
            shown = presenter.shown;
        }
        ASSERT_FALSE(shown.empty());
        EXPECT_TRUE(vb::StartsWith(shown[0].prompt, kNotSaved)) << vb::ToAnsi(shown[0].prompt);
        EXPECT_NE(shown[0].prompt.find(L"The last snapshot is kept as it was."), std::wstring::npos);
        EXPECT_EQ(shown[0].title, L"Association Restorer");
        EXPECT_EQ(FileBytes(GetSnapshotFilePath()), before) << "the last snapshot is kept";
        EXPECT_TRUE(SnapshotRead());
        EXPECT_EQ(IndexOf(SnapshotExtKeys(), L".lumoxaa"), -1) << "no snapshot that was never saved stands in memory";
        EXPECT_EQ(RowsShown(form), (std::vector<std::wstring>{L"Remove Ext.|.lumoxaa", L"Remove Ext.|.lumoxyy",
                                                               L"Remove Ext.|.lumoxzz"}))
            << "the last snapshot against the registry as it now is";

        TickByUser(form, L"Remove Ext.|.lumoxzz");
        RestoreCheckedByUser(form);
        EXPECT_FALSE(KeyThere(L".lumoxzz")) << "the marked key went";
        EXPECT_TRUE(KeyThere(L".lumoxyy")) << "an unmarked key stays";
        EXPECT_TRUE(KeyThere(L".lumoxaa")) << "an unmarked key stays";
        EXPECT_EQ(RowsShown(form), (std::vector<std::wstring>{L"Remove Ext.|.lumoxaa", L"Remove Ext.|.lumoxyy"}));
        form.UnloadForm();
    }
}

// The list was compared when the window opened; an installer adds an extension that uses the
// class a marked row would remove. "Restore" compares again first: the class stays, and the
// user is told why.
TEST_F(LiveRegistryTest, RestoreActsOnTheRegistryAsItIsAtTheClick) {
    RemoveOwnKeys();
    SnapshotNow();
    // The snapshot names the class while it was not there: it proves the class new.
    Put(State{Sz(L".lumoxfoo", "", "lumox.foofile")});
    SnapshotNow();
    Put(State{Sz(L"lumox.foofile\\shell\\open\\command", "", "foo.exe \"%1\"")});
    SnapshotTimeFromNow(-3600);
    frmAssociationRestorer& form = OpenInFront();
    ASSERT_TRUE(form.Loaded());
    ASSERT_EQ(RowsShown(form), std::vector<std::wstring>{L"Remove Assoc.|.lumoxfoo"});
    Put(State{Sz(L".lumoxbar", "", "lumox.foofile")});  // an installer, while the window is open
    boxes.shown.clear();
    RestoreAllByUser(form);
    EXPECT_TRUE(KeyThere(L"lumox.foofile\\shell\\open\\command")) << "the class another extension now uses stays";
    EXPECT_TRUE(KeyThere(L".lumoxbar"));
    EXPECT_TRUE(Told(L"These rows were not restored:"));
    EXPECT_TRUE(ToldSomewhere(L"Remove Assoc. .lumoxfoo: another extension uses the class")) << "the row and its reason";
    form.UnloadForm();
}

// A marked row whose key changed after the list was shown no longer holds: it is left alone and
// the user is told; the other marked row is restored.
TEST_F(LiveRegistryTest, AMarkedRowThatNoLongerHoldsIsLeftAloneAndTold) {
    frmAssociationRestorer* opened = nullptr;
    ASSERT_NO_FATAL_FAILURE(OpenOnTwoNewExtensions(opened));
    frmAssociationRestorer& form = *opened;
    TickByUser(form, L"Remove Ext.|.lumoxyy");
    TickByUser(form, L"Remove Ext.|.lumoxzz");
    Put(State{Sz(L".lumoxyy", "", "txtfile")});  // a program takes the extension meanwhile
    boxes.shown.clear();
    RestoreCheckedByUser(form);
    EXPECT_TRUE(KeyThere(L".lumoxyy")) << "the row that no longer holds is left alone";
    EXPECT_FALSE(KeyThere(L".lumoxzz")) << "the row that holds is restored";
    EXPECT_TRUE(ToldSomewhere(L"Remove Ext. .lumoxyy: the registry has changed since the list was shown"))
        << vb::ToAnsi(Prompts().empty() ? L"" : Prompts().back());
    form.UnloadForm();
}

// A file not written by this version (one kept from an earlier install) may lack a key that
// was there: it offers no "Remove" rows, says why and suggests "Save"; restoring every row keeps
// the key even after it was written again.
TEST_F(LiveRegistryTest, ASnapshotWithoutTheLiveMarkProvesNothingNew) {
    RemoveOwnKeys();
    // The earlier install's file lacks ".lumoxold", which was there (it saved a model loaded
    // before the key came), and carries no mark.
    SnapshotNow();
    Put(State{Sz(L".lumoxold", "Content Type", "text/x-old")});
    std::string file = FileBytes(GetSnapshotFilePath());
    const size_t mark = file.find(" Live=\"1\"");
    if (mark != std::string::npos) file.erase(mark, 9);
    std::ofstream(vb::ToAnsi(GetSnapshotFilePath()), std::ios::binary | std::ios::trunc) << file;
    Put(State{Sz(L".lumoxold", "Added", "later")});  // an update writes the key again
    SnapshotTimeFromNow(-3600);
    frmAssociationRestorer& form = OpenInFront();
    ASSERT_TRUE(form.Loaded());
    EXPECT_EQ(RowsShown(form), std::vector<std::wstring>{}) << "nothing offered for removal";
    EXPECT_TRUE(Told(L"The snapshot in ")) << "why, and that Save helps";
    EXPECT_TRUE(ToldSomewhere(L"Click \"Save\""));
    EXPECT_TRUE(IsWindowEnabled(form.cmd[0]->Handle())) << "Save can be clicked";
    EXPECT_TRUE(KeyThere(L".lumoxold"));
    form.UnloadForm();
}

// A class that denies reading when the user saves is recorded as there: once it can be read and
// has been written again, no row offers to remove it.
TEST_F(LiveRegistryTest, AClassUnreadAtSaveIsNeverProvedNew) {
    RemoveOwnKeys();
    Put(State{Sz(L".lumoxlk", "", "lumox.lockedfile"), Sz(L"lumox.lockedfile\\shell\\open\\command", "", "x.exe")});
    SnapshotNow();
    SnapshotTimeFromNow(-3600);
    Lock(L"lumox.lockedfile", KEY_READ);
    frmAssociationRestorer& form = OpenInFront();
    ASSERT_TRUE(form.Loaded());
    boxes.shown.clear();
    SaveByUser(form);
    EXPECT_FALSE(Told(kNotSaved)) << vb::ToAnsi(Prompts().empty() ? L"" : Prompts()[0]);
    const std::string file = FileBytes(GetSnapshotFilePath());
    EXPECT_NE(file.find("Name=\"lumox.lockedfile\" Unread=\"1\""), std::string::npos);
    form.UnloadForm();
    Deny(L"lumox.lockedfile", 0);
    Put(State{Sz(L"lumox.lockedfile", "Added", "later")});
    SnapshotTimeFromNow(-3600);
    frmAssociationRestorer& again = OpenInFront();
    ASSERT_TRUE(again.Loaded());
    EXPECT_EQ(RowsShown(again), std::vector<std::wstring>{});
    EXPECT_TRUE(KeyThere(L"lumox.lockedfile\\shell\\open\\command"));
    again.UnloadForm();
}

// Names real registries hold: each is saved and read back, and nothing is offered for it.
TEST_F(LiveRegistryTest, OddKeyNamesSaveAndReadBack) {
    const std::wstring longName = L".lumox" + std::wstring(249, L'x');
    const struct {
        const char* what;
        std::wstring name;
    } cases[] = {
        {"a key named only \".\"", L"."},
        {"a name with spaces", L".lumox sp ace"},
        {"a trailing dot", L".lumoxdot."},
        {"a name of 255 characters", longName},
        {"a name outside the code page", L".lumox\x4e2d\x0416"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        RemoveOwnKeys();
        SnapshotNow();
        Own(c.name);
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CLASSES_ROOT, c.name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key,
                                  nullptr),
                  ERROR_SUCCESS);
        const wchar_t type[] = L"text/x-odd";
        RegSetValueExW(key, L"Content Type", 0, REG_SZ, reinterpret_cast<const BYTE*>(type), sizeof(type));
        RegCloseKey(key);
        SnapshotTimeFromNow(-3600);
        frmAssociationRestorer& form = OpenInFront();
        if (!form.Loaded()) {
            ADD_FAILURE() << "the restorer opened";
            continue;
        }
        EXPECT_EQ(RowsShown(form).size(), 1u) << "the new key is listed";
        boxes.shown.clear();
        SaveByUser(form);
        EXPECT_FALSE(Told(kNotSaved)) << vb::ToAnsi(Prompts().empty() ? L"" : Prompts()[0]);
        EXPECT_FALSE(Told(kUnreadable));
        EXPECT_TRUE(SnapshotRead());
        EXPECT_EQ(RowsShown(form), std::vector<std::wstring>{}) << "the new snapshot holds it";
        EXPECT_TRUE(GetAssocSnapshot(GetSnapshotFilePath())) << "the file reads back";
        form.UnloadForm();
        testsupport::DeleteRegistryTree(HKEY_CLASSES_ROOT, c.name);
    }
}

// A class that only starts like a system key is saved as any other; a row that a restore refuses
// by its rules (a key that was there before the snapshot) is told with its reason.
TEST_F(LiveRegistryTest, SkipListNamesMatchWholeAndRefusedRowsAreTold) {
    RemoveOwnKeys();
    Put(State{Sz(L".lumoxif", "", "InterfaceLumox"), Sz(L"InterfaceLumox\\shell\\open\\command", "", "i.exe")});
    SnapshotNow();
    SnapshotTimeFromNow(-3600);
    frmAssociationRestorer& form = OpenInFront();
    ASSERT_TRUE(form.Loaded());
    EXPECT_EQ(RowsShown(form), std::vector<std::wstring>{}) << "the class is in the snapshot";
    form.UnloadForm();

    // A snapshot that lacks a key written before it, as one of a model loaded earlier would.
    LoadModel();
    Put(State{Sz(L".lumoxstale", "Content Type", "text/x-s")});
    ASSERT_TRUE(SnapshotModel());
    SnapshotTimeFromNow(3600);
    frmAssociationRestorer& again = OpenInFront();
    ASSERT_TRUE(again.Loaded());
    ASSERT_EQ(RowsShown(again), std::vector<std::wstring>{L"Remove Ext.|.lumoxstale"});
    boxes.shown.clear();
    RestoreAllByUser(again);
    EXPECT_TRUE(KeyThere(L".lumoxstale"));
    EXPECT_TRUE(ToldSomewhere(L"Remove Ext. .lumoxstale: the key was already there when the snapshot was taken"))
        << vb::ToAnsi(Prompts().empty() ? L"" : Prompts().back());
    again.UnloadForm();
}

// The options window's reload fails when the restorer opens: the user is told, nothing is
// compared, nothing offered.
TEST_F(RestoreByUserTest, AFailedReloadAtOpeningComparesNothingAndSaysSo) {
    Prepare(Common(), Common() + State{Sz(L".yy", "Content Type", "x")});
    options_.reloads = false;
    frmAssociationRestorer& form = OpenInFront();
    options_.reloads = true;
    ASSERT_TRUE(form.Loaded());
    EXPECT_TRUE(Told(L"The file associations were not compared with the snapshot: "));
    EXPECT_EQ(RowsShown(form), std::vector<std::wstring>{});
    EXPECT_FALSE(Told(kListEmpty));
    EXPECT_TRUE(IsWindowEnabled(form.cmd[0]->Handle())) << "Save can be tried";
    form.UnloadForm();
}

// The user clicks the restorer's close box while a Save reloads (the reload lets messages
// through): the window stays until the Save has ended, then closes.
TEST_F(RestoreByUserTest, TheCloseBoxDuringASaveClosesTheWindowAfterIt) {
    Prepare(Common(), Common() + State{Sz(L".yy", "Content Type", "x")});
    frmAssociationRestorer& form = OpenInFront();
    ASSERT_TRUE(form.Loaded());
    bool loadedAfterClick = false;
    bool clicked = false;
    options_.duringReload = [&] {
        userinput::OntoTheScreen(form.Handle());
        if (!userinput::BringToFront(form.Handle())) return;
        const POINT closeBox = userinput::CloseBoxOf(form.Handle());
        if (closeBox.x < 0) return;
        clicked = true;
        userinput::Click(closeBox);
        userinput::PumpFor(300);
        loadedAfterClick = form.Loaded();
    };
    SaveByUser(form);
    options_.duringReload = nullptr;
    EXPECT_TRUE(clicked);
    EXPECT_TRUE(loadedAfterClick) << "the Save was not cut off under its code";
    EXPECT_TRUE(userinput::PumpUntil([&] { return !form.Loaded(); }, 5000)) << "the close went ahead after it";
    EXPECT_FALSE(Told(kNotSaved));
}

}  // namespace
