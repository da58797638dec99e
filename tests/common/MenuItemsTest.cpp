// Finding menu items as the window code and its tests need them: an item by its caption, whole or
// by its start, and the close box of a maximized MDI child at the end of its frame's menu bar.
#include <windows.h>

#include <gtest/gtest.h>

#include "win/Window.h"

namespace {

TEST(MenuItems, APositionByItsWholeCaptionOrItsStart) {
    HMENU menu = CreatePopupMenu();
    AppendMenuW(menu, MF_STRING, 1, L"Assign Alias");
    AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
    AppendMenuW(menu, MF_STRING, 2, L"Refresh Exe's");
    AppendMenuW(menu, MF_STRING, 3, L"Association &Save && Restore");
    const struct {
        const wchar_t* caption;
        win::CaptionMatch match;
        int position;
    } rows[] = {
        {L"Assign Alias", win::CaptionMatch::Whole, 0},
        {L"Refresh Exe's", win::CaptionMatch::Whole, 2},
        {L"Refresh", win::CaptionMatch::Whole, -1},
        {L"Refresh", win::CaptionMatch::Start, 2},
        {L"Association &Save && Restore", win::CaptionMatch::Whole, 3},
        {L"Association Save", win::CaptionMatch::Start, -1},  // the marks are part of the caption
        {L"Find", win::CaptionMatch::Start, -1},
    };
    for (const auto& row : rows)
        EXPECT_EQ(win::MenuPositionByCaption(menu, row.caption, row.match), row.position)
            << static_cast<int>(row.match);
    EXPECT_EQ(win::MenuPositionByCaption(nullptr, L"Find"), -1);
    DestroyMenu(menu);
}

LRESULT CALLBACK FrameProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    HWND client = FindWindowExW(hwnd, nullptr, L"MDICLIENT", nullptr);
    return DefFrameProcW(hwnd, client, msg, wParam, lParam);
}

TEST(MenuItems, TheMaximizedChildsCloseBoxSitsAtTheEndOfTheFramesMenuBar) {
    WNDCLASSW wc{};
    wc.lpfnWndProc = FrameProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"LumoxMenuItemsFrame";
    RegisterClassW(&wc);
    wc.lpfnWndProc = DefMDIChildProcW;
    wc.lpszClassName = L"LumoxMenuItemsChild";
    RegisterClassW(&wc);
    HMENU bar = CreateMenu();
    HMENU file = CreatePopupMenu();
    AppendMenuW(file, MF_STRING, 10, L"E&xit");
    AppendMenuW(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(file), L"&File");
    HWND frame = CreateWindowW(L"LumoxMenuItemsFrame", L"Frame", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 500, 400,
                               nullptr, bar, wc.hInstance, nullptr);
    ASSERT_TRUE(frame);
    CLIENTCREATESTRUCT ccs{};
    HWND client = CreateWindowW(L"MDICLIENT", nullptr, WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, 0, 0, 480, 300, frame,
                                nullptr, wc.hInstance, &ccs);
    ASSERT_TRUE(client);
    RECT box{};
    EXPECT_FALSE(win::MdiChildCloseItemRect(frame, box)) << "no child: the bar holds only File";

    MDICREATESTRUCTW mcs{};
    mcs.szClass = L"LumoxMenuItemsChild";
    mcs.szTitle = L"Child";
    mcs.hOwner = wc.hInstance;
    mcs.x = mcs.y = mcs.cx = mcs.cy = CW_USEDEFAULT;
    HWND child = reinterpret_cast<HWND>(SendMessageW(client, WM_MDICREATE, 0, reinterpret_cast<LPARAM>(&mcs)));
    ASSERT_TRUE(child);
    EXPECT_FALSE(win::MdiChildCloseItemRect(frame, box)) << "a child in its own frame has its own close box";

    SendMessageW(client, WM_MDIMAXIMIZE, reinterpret_cast<WPARAM>(child), 0);
    DrawMenuBar(frame);
    ASSERT_TRUE(win::MdiChildCloseItemRect(frame, box)) << "the maximized child's close box is in the bar";
    RECT frameRect{};
    GetWindowRect(frame, &frameRect);
    EXPECT_GT(box.right, box.left);
    EXPECT_GT(box.left, (frameRect.left + frameRect.right) / 2) << "at the right end of the bar";
    EXPECT_EQ(SendMessageW(frame, WM_NCHITTEST, 0, MAKELPARAM((box.left + box.right) / 2, (box.top + box.bottom) / 2)),
              HTMENU);
    EXPECT_FALSE(win::MdiChildCloseItemRect(nullptr, box));
    DestroyWindow(frame);
}

}  // namespace
