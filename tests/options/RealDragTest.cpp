// Drags with real mouse input under the display server: the pointer pressed on a row of the
// extension list, moved onto a subcategory of the tree and let go; and a program node dragged
// out of the tree and then dragged again.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>


#include "EditorFixture.h"
#include "UserInput.h"

namespace {

using edittest::EditorFixture;

// The pointer and the left button as a mouse drives them.
void MouseTo(POINT screen) { userinput::MoveTo(screen); }
void LeftButton(bool down) {
    if (down) userinput::ButtonDown(userinput::Button::Left);
    else userinput::ButtonUp(userinput::Button::Left);
}

class RealDragTest : public EditorFixture {
protected:
    void SetUp() override {
        EditorFixture::SetUp();
        ShowWindow(form->Handle(), SW_SHOWNORMAL);
        SetWindowPos(form->Handle(), HWND_TOPMOST, 20, 20, 0, 0, SWP_NOSIZE | SWP_SHOWWINDOW);
        SetForegroundWindow(form->Handle());
        UpdateWindow(form->Handle());
        Pump(200);
    }
    static void Pump(DWORD milliseconds) {
        const DWORD end = GetTickCount() + milliseconds;
        MSG msg;
        while (static_cast<LONG>(end - GetTickCount()) > 0) {
            while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
                TranslateMessage(&msg);
                DispatchMessageW(&msg);
            }
            Sleep(5);
        }
    }
    static POINT ToScreen(HWND hwnd, POINT client) {
        ClientToScreen(hwnd, &client);
        return client;
    }
    POINT RowOnScreen(int row) {
        RECT r{};
        r.left = LVIR_LABEL;
        SendMessageW(exts->Handle(), LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&r));
        return ToScreen(exts->Handle(), POINT{r.left + 6, (r.top + r.bottom) / 2});
    }
    POINT NodeOnScreen(win::TreeNode node) { return ToScreen(tree->Handle(), PointOf(node)); }

    // Presses at from, moves to to in steps and lets go, from a thread of its own while this
    // thread runs the window's messages; answers when the drop has been handled. Each step waits
    // for what the window shows: the press taken (the pointer held), the drag running, the drop
    // done. A lost input leaves a loop that the user's watchdog ends, and the test fails.
    void DragWithTheMouse(POINT from, POINT to) {
        const DWORD windowThread = GetCurrentThreadId();
        const DragController& drags = editor->Drags();
        const auto held = [&] {
            GUITHREADINFO info{};
            info.cbSize = sizeof(info);
            return GetGUIThreadInfo(windowThread, &info) && info.hwndCapture != nullptr;
        };
        const int leftOpen = userinput::ActAsUser([&] {
            MouseTo(from);
            userinput::SettlePointer();
            // A press soon after the last one on the same spot would be a double click, which
            // starts no drag: the user lets the double-click time pass first.
            Sleep(GetDoubleClickTime() + 50);
            LeftButton(true);
            ASSERT_TRUE(userinput::InputArrived()) << "the press reached the window";
            const int steps = 12;
            for (int i = 1; i <= steps; ++i) {
                MouseTo(POINT{from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps});
                userinput::SettlePointer();
            }
            // Until the drag runs the window may not have seen a move yet: moving again is harmless.
            int nudge = 0;
            const bool dragging = userinput::WaitUntil(
                [&] {
                    if (drags.Dragging()) return true;
                    MouseTo(POINT{to.x + (++nudge % 2), to.y});
                    userinput::SettlePointer();
                    return userinput::WaitUntil([&] { return drags.Dragging(); }, 300);
                },
                10000);
            MouseTo(to);
            userinput::SettlePointer();
            EXPECT_TRUE(dragging) << "the drag started";
            LeftButton(false);
            EXPECT_TRUE(userinput::WaitUntil([&] { return !drags.Dragging() && !held(); }, 10000))
                << "letting go ended the drag";
        });
        EXPECT_EQ(leftOpen, 0) << "still open once the user was done:\n" << userinput::WhatWasLeftOpen();
        Pump(50);
    }
};

TEST_F(RealDragTest, AnExtensionDraggedFromTheListLandsInTheSubcategory) {
    ListExtensions({{L"*", 1}, {L".png", 9}, {L".zip", 10}});
    tree->EnsureVisible(editors);
    Pump(100);
    DragWithTheMouse(RowOnScreen(1), NodeOnScreen(editors));

    EXPECT_EQ(Selected(*exts), 1);
    EXPECT_EQ(ExtensionsOf(editors), (std::vector<std::wstring>{L".png", L".txt"}));
    EXPECT_FALSE(editor->Drags().Dragging());
    EXPECT_FALSE(host.dragInProgress.empty());
    EXPECT_FALSE(host.dragInProgress.back());
    EXPECT_EQ(window.saves, 1);
}

TEST_F(RealDragTest, ANodeDraggedOutOfTheTreeCanBeDraggedAgain) {
    tree->EnsureVisible(zed);
    tree->EnsureVisible(docs);
    Pump(100);
    const long before = tree->Count();
    RECT programsRect;
    GetWindowRect(programs->Handle(), &programsRect);
    DragWithTheMouse(NodeOnScreen(zed), POINT{(programsRect.left + programsRect.right) / 2,
                                              (programsRect.top + programsRect.bottom) / 2});
    EXPECT_EQ(tree->Count(), before);
    EXPECT_FALSE(editor->TreeDragStarted());
    EXPECT_EQ(editor->DropHighlight(), nullptr);

    DragWithTheMouse(NodeOnScreen(zed), NodeOnScreen(docs));
    EXPECT_EQ(ProgramsOf(docs), (std::vector<std::wstring>{L"Acme - Zed 2.0", L"Wordy - Word 9"}));
    EXPECT_TRUE(Exists(zed));
    EXPECT_FALSE(editor->TreeDragStarted());
}

}  // namespace
