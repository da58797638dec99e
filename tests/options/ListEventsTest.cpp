// The two lists' handlers through the real controls: typing, the mouse buttons (clicked as the
// user clicks) with their menus and the alias dialog's preparation, the column headers, and the
// state of "Make Extension Associated" over a small registry model.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <functional>

#include "EditorFixture.h"
#include "UserInput.h"
#include "basAliases.h"
#include "basAssocLinks.h"

namespace {

using edittest::EditorFixture;
using treetest::Fields;

struct AliasCall {
    std::wstring labels[3];
    std::wstring texts[3];
    long index = 0;
    int loads = 0;
};

class FakeAliasDialog : public AliasDialogPreparation {
public:
    void Load() override { ++call.loads; }
    void SetFoundLabels(const std::wstring& c, const std::wstring& p, const std::wstring& v) override {
        call.labels[0] = c, call.labels[1] = p, call.labels[2] = v;
    }
    void SetAliasTexts(const std::wstring& c, const std::wstring& p, const std::wstring& v) override {
        call.texts[0] = c, call.texts[1] = p, call.texts[2] = v;
    }
    void SetAliasRecordIndex(long index) override { call.index = index; }
    AliasCall call;
};

class ListEventsTest : public EditorFixture {
protected:
    void SetUp() override {
        EditorFixture::SetUp();
        editor->SetPopupMenus(&menus);
        editor->SetAliasDialog(&alias);
    }
    void TearDown() override {
        AssocKeys().clear();
        EditorFixture::TearDown();
    }
    void ListPrograms(const std::vector<Fields>& rows) {
        programs->Clear();
        for (const Fields& f : rows) {
            size_t slash = f[3].find_last_of(L'\\');
            int row = programs->AddItem(f[2]);
            programs->SetSubItem(row, 1, f[1]);
            programs->SetSubItem(row, 2, f[0]);
            programs->SetSubItem(row, 3, f[3].substr(slash + 1));
            programs->SetSubItem(row, 4, f[3].substr(0, slash));
            programs->SetSubItem(row, 5, f[4]);
        }
    }
    static POINT RowPoint(const win::ListView& list, int row) {
        RECT r{};
        r.left = LVIR_LABEL;
        SendMessageW(list.Handle(), LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&r));
        return POINT{r.left + 4, (r.top + r.bottom) / 2};
    }
    static POINT BelowRows(const win::ListView& list) {
        RECT client;
        GetClientRect(list.Handle(), &client);
        return POINT{10, client.bottom - 4};
    }
    static void Type(HWND hwnd, wchar_t c) { SendMessageW(hwnd, WM_CHAR, c, 1); }

    // The form on the screen and in front, so the user's pointer reaches its lists.
    void ShowToUser() {
        SetWindowPos(form->Handle(), HWND_TOP, 20, 20, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
        ASSERT_TRUE(userinput::BringToFront(form->Handle()));
        userinput::PumpFor(100);
    }
    // The user clicks a list at a point of its client area with a button, through the real
    // input; answers once the list has taken the click (arrived() says so).
    static void ClickByUser(const win::ListView& list, POINT p, userinput::Button button,
                            const std::function<bool()>& arrived) {
        userinput::Click(userinput::OnScreen(list.Handle(), p), button);
        EXPECT_TRUE(userinput::PumpUntil(arrived, 5000)) << "the list took the click";
        userinput::PumpFor(50);
    }
    // The user right-clicks a list: its menu opens once more.
    void RightClickByUser(const win::ListView& list, POINT p) {
        const size_t before = menus.poppedUp.size();
        ClickByUser(list, p, userinput::Button::Right, [&] { return menus.poppedUp.size() > before; });
    }

    QuietPopupMenus menus;
    FakeAliasDialog alias;
};

const Fields kAnvil = {L"Acme - Anvil", L"1.0", L"OK", L"C:\\Acme\\anvil.exe", L"C:\\ACME\\anvil.exe"};
const Fields kMaps = {L"Mapletree - Maps", L"2.0", L"OK", L"C:\\Maple\\maps.exe", L"C:\\MAPLE\\maps.exe"};
const Fields kView = {L"Mapletree - Mapview", L"2.1", L"OK", L"C:\\Maple\\view.exe", L"C:\\MAPLE\\view.exe"};
const Fields kTiles = {L"Mosaic - Tiles", L"5", L"SD", L"C:\\Mosaic\\tiles.exe", L"C:\\MOSAIC\\tiles.exe"};
const Fields kMissing = {L"Missing info.", L"No version info.", L"OK", L"C:\\X\\x.exe", L"C:\\X\\x.exe"};

TEST_F(ListEventsTest, TypingInTheListsJumpsByTheFirstLetter) {
    ListPrograms({kAnvil, kMaps, kView, kTiles});
    Type(programs->Handle(), L'm');
    EXPECT_EQ(Selected(*programs), 1);
    Type(programs->Handle(), L'm');
    EXPECT_EQ(Selected(*programs), 3);

    ListExtensions({{L"*", 1}, {L".tar", 2}, {L".tif", 3}, {L".txt", 4}});
    for (int expected : {1, 2, 3, 1}) {
        Type(exts->Handle(), L't');
        EXPECT_EQ(Selected(*exts), expected);
    }

    host.readiness = 0;  // still loading: the key is swallowed and nothing moves
    Type(exts->Handle(), L't');
    EXPECT_EQ(Selected(*exts), 1);
}

TEST_F(ListEventsTest, ProgramListMouseButtons) {
    ListPrograms({kAnvil, kMaps, kMissing});
    SYSTEMTIME now;
    GetLocalTime(&now);
    SystemTimeToVariantTime(&now, &host.listDate);

    ShowToUser();
    RightClickByUser(*programs, RowPoint(*programs, 1));
    EXPECT_EQ(Selected(*programs), 1);
    EXPECT_EQ(menus.refreshExeCaption, L"Refresh Exe's   [0 Days since updated]");
    EXPECT_TRUE(menus.aliasEntriesShown);
    EXPECT_EQ(menus.poppedUp, (std::vector<int>{4}));
    // The menus mark the pop-up as running themselves; the list leaves the mark alone.
    EXPECT_TRUE(host.dragInProgress.empty());
    EXPECT_EQ(alias.call.loads, 1);
    EXPECT_EQ(alias.call.labels[0], L"Mapletree");
    EXPECT_EQ(alias.call.labels[1], L"Maps");
    EXPECT_EQ(alias.call.labels[2], L"2.0");
    EXPECT_EQ(alias.call.texts[0], L"");
    EXPECT_EQ(alias.call.index, -1);

    // The caption keeps its design text once: a second press does not stack the age.
    host.listDate -= 3;
    RightClickByUser(*programs, RowPoint(*programs, 2));
    EXPECT_EQ(menus.refreshExeCaption, L"Refresh Exe's   [3 Days since updated]");
    // "Missing info." has no "-": the whole description is the company.
    EXPECT_EQ(alias.call.labels[0], L"Missing info.");
    EXPECT_EQ(alias.call.labels[1], L"");

    // Empty space: the alias entries go and the menu still opens.
    RightClickByUser(*programs, BelowRows(*programs));
    EXPECT_FALSE(menus.aliasEntriesShown);
    EXPECT_EQ(menus.poppedUp, (std::vector<int>{4, 4, 4}));
    EXPECT_EQ(alias.call.loads, 2);
}

TEST_F(ListEventsTest, TheAliasDialogShowsTheAliasOfAnAliasedRow) {
    AliasRecord record;
    record.Company = L"Mapletree";
    record.Product = L"Maps";
    record.Version = L"2.0";
    record.LongPath = kMaps[3];
    record.ShortPath = kMaps[4];
    record.CompanyA = L"Maple";
    record.ProductA = L"Atlas";
    record.VersionA = L"2.0 beta";
    Aliases().Add(record);
    // The row as the list shows an aliased program.
    ListPrograms({{L"Maple - Atlas", L"2.0 beta", L"OK", kMaps[3], kMaps[4]}});
    editor->PrepareAliasDialog(0);
    EXPECT_EQ(alias.call.index, 1);
    EXPECT_EQ(alias.call.labels[0], L"Mapletree");
    EXPECT_EQ(alias.call.labels[2], L"2.0");
    EXPECT_EQ(alias.call.texts[0], L"Maple");
    EXPECT_EQ(alias.call.texts[1], L"Atlas");
    EXPECT_EQ(alias.call.texts[2], L"2.0 beta");
}

TEST_F(ListEventsTest, TheRightButtonLeavesTheExtensionSelectionAlone) {
    ListExtensions({{L"*", 1}, {L".bmp", 2}, {L".txt", 3}});
    SelectExtension(1);
    ShowToUser();
    RightClickByUser(*exts, RowPoint(*exts, 2));
    EXPECT_EQ(Selected(*exts), 1);
    EXPECT_EQ(menus.poppedUp, (std::vector<int>{5}));
    // The menus mark the pop-up as running themselves; the list leaves the mark alone.
    EXPECT_TRUE(host.dragInProgress.empty());

    // The left button selects, "*" too (it is only never dragged).
    ClickByUser(*exts, RowPoint(*exts, 0), userinput::Button::Left, [&] { return Selected(*exts) == 0; });
    EXPECT_EQ(Selected(*exts), 0);
    EXPECT_FALSE(editor->Drags().Dragging());
}

TEST_F(ListEventsTest, ColumnHeadersAskForTheFindDialog) {
    for (win::ListView* list : {programs, exts}) {
        HWND header = reinterpret_cast<HWND>(SendMessageW(list->Handle(), LVM_GETHEADER, 0, 0));
        ASSERT_NE(header, nullptr);
        NMHEADERW click{};
        click.hdr.hwndFrom = header;
        click.hdr.idFrom = static_cast<UINT_PTR>(GetDlgCtrlID(header));
        click.hdr.code = HDN_ITEMCLICKW;
        click.iButton = 0;
        SendMessageW(list->Handle(), WM_NOTIFY, click.hdr.idFrom, reinterpret_cast<LPARAM>(&click));
    }
    EXPECT_EQ(host.findRequests, 2);
    host.readiness = 1;
    editor->lvwExts_ColumnClick();
    editor->lvwPrograms_ColumnClick();
    EXPECT_EQ(host.findRequests, 2);
}

TEST_F(ListEventsTest, MakeExtensionAssociatedOnlyForAnExtensionWithoutAUsableAssociation) {
    wchar_t self[MAX_PATH];
    GetModuleFileNameW(nullptr, self, MAX_PATH);
    auto association = [](const std::wstring& name, const std::wstring& command) {
        RegKeyRecord record;
        record.KeyName = name;
        if (command.empty()) return record;
        SubkeyRecord shell;
        shell.KeyName = name + L"\\shell";
        SubkeyRecord open;
        open.KeyName = name + L"\\shell\\open\\command";
        open.ValueIndex = 0;
        open.KeyValues.push_back(RegValueRecord{L"", REG_SZ, vb::Variant(command)});
        record.Subkeys = {shell, open};
        return record;
    };
    AssocKeys() = {RegKeyRecord{}, association(L"nocmd.file", L""),
                   association(L"good.file", std::wstring(L"\"") + self + L"\" \"%1\""),
                   association(L"gone.file", L"\"C:\\Nowhere\\gone.exe\" \"%1\"")};
    auto extension = [](const std::wstring& name, long link) {
        RegKeyRecord record;
        record.KeyName = name;
        record.Link = link;
        return record;
    };
    ExtKeys() = {RegKeyRecord{}, extension(L"*", 0), extension(L".none", 0), extension(L".nocmd", 1),
                 extension(L".good", 2), extension(L".gone", 3)};
    ListExtensions({{L"*", 1}, {L".none", 2}, {L".nocmd", 3}, {L".good", 4}, {L".gone", 5}});

    struct {
        const char* what;
        int row;
        bool enabled;
    } cases[] = {
        {"no row selected", -1, false},
        {"\"*\" never", 0, false},
        {"no association record (bit 1)", 1, true},
        {"an association without a command (bit 128)", 2, true},
        {"a command whose program exists", 3, false},
        {"a command whose program is missing: bit 128 clear", 4, false},
    };
    for (const auto& c : cases) {
        exts->ClearCurrent();
        if (c.row >= 0) SelectExtension(c.row);
        menus.makeAssociatedEnabled = !c.enabled;
        editor->SetAssociatedMenuItem();
        EXPECT_EQ(menus.makeAssociatedEnabled, c.enabled) << c.what;
    }
}

}  // namespace
