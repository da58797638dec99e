// The list window for real under Xvfb: its height for a number of rows, and the user's
// keys, clicks and turning away as they close it.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include "FakePresenter.h"
#include "UiTestForms.h"
#include "UserInput.h"
#include "basErrorHandler.h"
#include "basPlacement.h"
#include "frmList.h"

namespace {

std::vector<ListRow> Rows(int n) {
    std::vector<ListRow> rows;
    for (int i = 0; i < n; ++i) {
        ListRow row;
        row.text = L"Company " + std::to_wstring(i) + L" - A Rather Long Product Name";
        row.extraInfo = L"1." + std::to_wstring(i);
        row.tag = i;
        rows.push_back(row);
    }
    return rows;
}

const wchar_t kCaption[] = L"  [.txt] - Morva Lumox Choices ";

HWND WaitForList(DWORD timeoutMs = 10000) {
    const DWORD start = GetTickCount();
    while (GetTickCount() - start < timeoutMs) {
        HWND list = FindWindowW(nullptr, kCaption);
        if (list && IsWindowVisible(list)) return list;
        Sleep(20);
    }
    return nullptr;
}

HWND ListViewOf(HWND window) { return FindWindowExW(window, nullptr, WC_LISTVIEWW, nullptr); }

// A key typed as the user types it, once the list is in front: Windows hands it to whichever
// window holds the keyboard.
void UserKey(HWND window, WORD key) {
    userinput::WaitUntil([&] { return GetForegroundWindow() == window; }, 5000);
    userinput::Press(key);
}

// A click on a row, with the pointer moved there as the user moves it.
void ClickRow(HWND window, int row) {
    userinput::WaitUntil([&] { return GetForegroundWindow() == window; }, 5000);
    HWND lv = ListViewOf(window);
    RECT item{};
    item.left = LVIR_LABEL;
    SendMessageW(lv, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
    userinput::Click(userinput::OnScreen(lv, POINT{item.left + 5, (item.top + item.bottom) / 2}));
}

std::wstring TitleOf(HWND window) {
    wchar_t text[256] = {};
    if (window) GetWindowTextW(window, text, 255);
    return text;
}

std::string Narrow(const std::wstring& text) {
    std::string out;
    for (wchar_t ch : text) out += ch < 128 ? static_cast<char>(ch) : '?';
    return out;
}

// How long the list may stay after the user is done before an input counts as lost.
constexpr DWORD kListDeadlineMs = 5000;

// Shows the list on this thread while user plays the user on another; answers the choice. The
// user's input must close the list (or the user closes it on purpose): a list still open a while
// after the user is done means an input was lost, and the player closes it and the test fails
// instead of waiting for ever.
long ShowWhile(const std::vector<ListRow>& rows, const std::function<void(HWND window)>& user) {
    std::atomic<bool> found{false}, leftOpen{false};
    std::wstring inFront;
    std::thread player([&] {
        HWND window = WaitForList();
        found = window != nullptr;
        if (window) user(window);
        if (!window) window = FindWindowW(nullptr, kCaption);  // made, but never shown
        if (window && !userinput::WaitUntil([&] { return !IsWindow(window); }, kListDeadlineMs)) {
            inFront = TitleOf(GetForegroundWindow());
            leftOpen = true;
            PostMessageW(window, WM_CLOSE, 0, 0);
        }
    });
    const long chosen = ShowChoiceList(kCaption, rows);
    player.join();
    EXPECT_TRUE(found.load());
    EXPECT_FALSE(leftOpen.load()) << "the list was still open " << kListDeadlineMs
                                  << " ms after the user was done; in front: \"" << Narrow(inFront) << "\"";
    return chosen;
}

class ListWindowTest : public ::testing::Test {
protected:
    void TearDown() override {
        win::DefaultInstance<frmList>::Release();
        ErrorHandler(ehClearAll);
    }
    FakePresenter boxes;
};

}  // namespace

TEST_F(ListWindowTest, HeightForRows) {
    frmList& form = frmList::Default();
    EXPECT_EQ(GetListViewHeightForRows(nullptr, 3), 0);
    EXPECT_EQ(GetListViewHeightForRows(&form.lvw, 3), 0);  // no rows yet
    for (const ListRow& row : Rows(3)) form.lvw.AddRow(row);
    RECT item{};
    item.left = LVIR_SELECTBOUNDS;
    ASSERT_TRUE(SendMessageW(form.lvw.Handle(), LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&item)));
    RECT outer{}, inner{};
    GetWindowRect(form.lvw.Handle(), &outer);
    GetClientRect(form.lvw.Handle(), &inner);
    const long frame = (outer.bottom - outer.top) - (inner.bottom - inner.top);
    EXPECT_EQ(GetListViewHeightForRows(&form.lvw, 3), (item.bottom - item.top) * 3 + frame + 1);
    EXPECT_EQ(GetListViewHeightForRows(&form.lvw, 10), (item.bottom - item.top) * 10 + frame + 1);

    // Only the report view can tell.
    TestForm other(L"frmIcons", 200, 200);
    auto& icons = other.Put<win::ListView>(nullptr, L"lvwIcons", -1, win::Rect{0, 0, 200, 200}, false, LVS_ICON);
    icons.AddItem(L"one");
    EXPECT_EQ(icons.View(), 0);
    EXPECT_EQ(GetListViewHeightForRows(&icons, 1), 0);
}

TEST_F(ListWindowTest, FitsItsRowsAndShowsNearThePointer) {
    SetCursorPos(300, 200);
    long perPage = 0, count = 0;
    RECT window{}, client{}, list{};
    std::wstring caption;
    const long chosen = ShowWhile(Rows(4), [&](HWND w) {
        HWND lv = ListViewOf(w);
        perPage = static_cast<long>(SendMessageW(lv, LVM_GETCOUNTPERPAGE, 0, 0));
        count = static_cast<long>(SendMessageW(lv, LVM_GETITEMCOUNT, 0, 0));
        GetWindowRect(w, &window);
        GetClientRect(w, &client);
        GetWindowRect(lv, &list);
        wchar_t text[128] = {};
        GetWindowTextW(w, text, 128);
        caption = text;
        UserKey(w, VK_ESCAPE);
    });
    EXPECT_EQ(chosen, -1);
    EXPECT_EQ(count, 4);
    EXPECT_GE(perPage, 4);  // every row shows without scrolling
    EXPECT_EQ(caption, kCaption);
    // The list view fills the window's inner area.
    EXPECT_EQ(list.right - list.left, client.right);
    EXPECT_EQ(list.bottom - list.top, client.bottom);
    // The inner area's upper left corner lies near the pointer.
    EXPECT_LE(std::abs(list.left - 300), 40);
    EXPECT_LE(std::abs(list.top - 200), 40);
    EXPECT_GT(window.bottom - window.top, client.bottom);  // and has its frame around it
}

TEST_F(ListWindowTest, TheUsersKeysAndClicksChooseOrClose) {
    TestForm other(L"frmOther", 200, 100);
    other.Show();
    SetWindowPos(other.Handle(), nullptr, 700, 500, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    SetCursorPos(200, 150);
    const struct {
        const wchar_t* name;
        std::vector<WORD> keys;
        int clickRow;         // a click on this row, after the keys; -1 none
        bool clickElsewhere;  // a click on another window
        long chosen;
    } cases[] = {
        {L"Enter on the first row", {VK_RETURN}, -1, false, 1},
        {L"down, down, Enter", {VK_DOWN, VK_DOWN, VK_RETURN}, -1, false, 3},
        {L"End, Enter", {VK_END, VK_RETURN}, -1, false, 5},
        {L"End, Home, Enter", {VK_END, VK_HOME, VK_RETURN}, -1, false, 1},
        {L"down then a letter", {VK_DOWN, 'X'}, -1, false, 2},
        {L"Escape: no choice", {VK_DOWN, VK_ESCAPE}, -1, false, -1},
        {L"a click on the second row", {}, 1, false, 2},
        {L"a click on another window: no choice", {}, -1, true, -1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const long chosen = ShowWhile(Rows(5), [&](HWND w) {
            for (WORD key : c.keys) {
                UserKey(w, key);
                Sleep(50);
            }
            if (c.clickRow >= 0) ClickRow(w, c.clickRow);
            if (c.clickElsewhere) {
                userinput::WaitUntil([&] { return GetForegroundWindow() == w; }, 5000);
                Sleep(250);
                userinput::Click(userinput::CentreOf(other.Handle()));
            }
        });
        EXPECT_EQ(chosen, c.chosen);
        EXPECT_EQ(frmList::Existing(), nullptr);
    }
}

TEST_F(ListWindowTest, ClosesWhenTheUserTurnsToAnotherWindow) {
    TestForm other(L"frmOther", 200, 100);
    other.Show();
    const long chosen = ShowWhile(Rows(3), [&](HWND w) {
        // Once the list has been in front, another window in front closes it.
        const DWORD start = GetTickCount();
        while (GetForegroundWindow() != w && GetTickCount() - start < 5000) Sleep(20);
        Sleep(250);
        SetForegroundWindow(other.Handle());
    });
    EXPECT_EQ(chosen, -1);
    EXPECT_EQ(frmList::Existing(), nullptr);
}

TEST_F(ListWindowTest, SuppressedClicksDoNotChoose) {
    frmList& form = frmList::Default();
    form.SetSuppressClick(true);
    bool stillThere = false;
    const long chosen = ShowWhile(Rows(2), [&](HWND w) {
        UserKey(w, VK_RETURN);
        Sleep(300);
        stillThere = IsWindow(w) != FALSE;
        PostMessageW(w, WM_CLOSE, 0, 0);
    });
    EXPECT_TRUE(stillThere);
    EXPECT_EQ(chosen, -1);
}

TEST_F(ListWindowTest, EveryRowAndColumnShowsWholeWithoutScrolling) {
    // Wider than the window as it was made: the list grows to its rows.
    std::vector<ListRow> rows = Rows(3);
    rows[2].text = L"Quillon Test Works - A Recording Viewer With A Very Long Name Indeed";
    rows[2].extraInfo = L"6.1.7601.17514    [Windows Default]";
    int needed = 0, width = 0;
    long perPage = 0;
    LONG style = 0;
    ShowWhile(rows, [&](HWND w) {
        HWND lv = ListViewOf(w);
        needed = static_cast<int>(SendMessageW(lv, LVM_GETSTRINGWIDTHW, 0,
                                               reinterpret_cast<LPARAM>(rows[2].extraInfo.c_str())));
        width = static_cast<int>(SendMessageW(lv, LVM_GETCOLUMNWIDTH, 1, 0));
        perPage = static_cast<long>(SendMessageW(lv, LVM_GETCOUNTPERPAGE, 0, 0));
        style = GetWindowLongW(lv, GWL_STYLE);
        UserKey(w, VK_ESCAPE);
    });
    EXPECT_GE(width, needed);
    EXPECT_GE(perPage, 3);
    EXPECT_EQ(style & (WS_HSCROLL | WS_VSCROLL), 0);
}

TEST_F(ListWindowTest, AClickWithNoRowSelectedClosesWithoutAChoice) {
    bool emptyFound = false, closedByTheClick = false;
    const long chosen = ShowWhile(Rows(3), [&](HWND w) {
        userinput::WaitUntil([&] { return GetForegroundWindow() == w; }, 5000);
        HWND lv = ListViewOf(w);
        LVITEMW none{};
        none.stateMask = LVIS_SELECTED;
        SendMessageW(lv, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&none));
        // A point of the list with no row under it: past the rows or beside the texts.
        RECT client{};
        GetClientRect(lv, &client);
        const POINT candidates[] = {{client.right - 3, client.bottom - 1},
                                    {client.right - 3, (client.top + client.bottom) / 2},
                                    {client.right / 2, client.bottom - 1}};
        for (POINT at : candidates) {
            LVHITTESTINFO hit{};
            hit.pt = at;
            if (SendMessageW(lv, LVM_HITTEST, 0, reinterpret_cast<LPARAM>(&hit)) != -1) continue;
            emptyFound = true;
            userinput::Click(userinput::OnScreen(lv, at));
            break;
        }
        closedByTheClick = userinput::WaitUntil([&] { return !IsWindow(w); }, 5000);
        // A lost click must not leave the list waiting.
        if (!closedByTheClick) PostMessageW(w, WM_CLOSE, 0, 0);
    });
    EXPECT_TRUE(emptyFound) << "the list has a part without rows to click";
    EXPECT_TRUE(closedByTheClick) << "the click reached the list";
    EXPECT_EQ(chosen, -1);
    EXPECT_EQ(frmList::Existing(), nullptr);
}

TEST_F(ListWindowTest, AliasRowsAreDrawnInBlue) {
    std::vector<ListRow> rows = Rows(2);
    rows[0].text = L"WWWWWWWWWWWW - MMMMMMMMMMMMMM";
    rows[0].color = 0xFF0000;
    int bluePixels = 0, blueInBlackRow = 0;
    ShowWhile(rows, [&](HWND w) {
        HWND lv = ListViewOf(w);
        Sleep(300);
        LVITEMW none{};
        none.stateMask = LVIS_SELECTED;
        SendMessageW(lv, LVM_SETITEMSTATE, static_cast<WPARAM>(-1), reinterpret_cast<LPARAM>(&none));
        RedrawWindow(lv, nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
        Sleep(300);
        HDC dc = GetDC(lv);
        for (int row = 0; row < 2; ++row) {
            RECT item{};
            item.left = LVIR_LABEL;
            SendMessageW(lv, LVM_GETITEMRECT, row, reinterpret_cast<LPARAM>(&item));
            for (int y = item.top; y < item.bottom; ++y)
                for (int x = item.left; x < item.right; ++x) {
                    const COLORREF c = GetPixel(dc, x, y);
                    const bool blue = GetBValue(c) > 160 && GetRValue(c) < 80 && GetGValue(c) < 80;
                    if (blue) ++(row == 0 ? bluePixels : blueInBlackRow);
                }
        }
        ReleaseDC(lv, dc);
        UserKey(w, VK_ESCAPE);
    });
    EXPECT_GT(bluePixels, 20);
    EXPECT_EQ(blueInBlackRow, 0);
}

TEST_F(ListWindowTest, AListTooBigForTheScreenStaysInsideItAndScrolls) {
    // Many rows, and names far wider than the screen: the window keeps within the work area of
    // the monitor under the pointer, and the user reaches the last row by keyboard.
    std::vector<ListRow> rows = Rows(120);
    rows[7].text = L"Quillon Test Works - " + std::wstring(300, L'W');
    SetCursorPos(500, 400);
    POINT pointer{500, 400};
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    ASSERT_TRUE(GetMonitorInfoW(MonitorFromPoint(pointer, MONITOR_DEFAULTTONEAREST), &monitor));
    RECT window{};
    LONG style = 0;
    long perPage = 0;
    const long chosen = ShowWhile(rows, [&](HWND w) {
        HWND lv = ListViewOf(w);
        GetWindowRect(w, &window);
        style = GetWindowLongW(lv, GWL_STYLE);
        perPage = static_cast<long>(SendMessageW(lv, LVM_GETCOUNTPERPAGE, 0, 0));
        UserKey(w, VK_END);
        Sleep(50);
        UserKey(w, VK_RETURN);
    });
    const RECT& work = monitor.rcWork;
    EXPECT_GE(window.left, work.left);
    EXPECT_GE(window.top, work.top);
    EXPECT_LE(window.right, work.right);
    EXPECT_LE(window.bottom, work.bottom);
    EXPECT_LT(perPage, 120);
    EXPECT_NE(style & WS_VSCROLL, 0);
    EXPECT_NE(style & WS_HSCROLL, 0);
    EXPECT_EQ(chosen, 120);
}
