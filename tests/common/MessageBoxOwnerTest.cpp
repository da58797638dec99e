// The real message box of the catalogue and the window it belongs to: the frame a deliverable runs
// in, even while that frame is hidden or another window of the thread is active; a dialog of the
// frame's own when one is in front; this thread's active window when there is no frame. The
// owner stays disabled while its box waits.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "LibraryMessages.h"
#include "UiTestForms.h"
#include "basErrorHandler.h"
#include "basMessageHandler.h"
#include "vb/VbError.h"

namespace {

HWND g_frame = nullptr;
HWND FrameOfTheTest() { return g_frame; }

struct BoxSeen {
    HWND box = nullptr;
    HWND owner = nullptr;
    bool ownerEnabled = true;
};
BoxSeen g_seen;

BOOL CALLBACK FindBox(HWND hwnd, LPARAM found) {
    wchar_t cls[32] = {};
    GetClassNameW(hwnd, cls, 32);
    if (std::wstring(cls) != L"#32770" || !IsWindowVisible(hwnd)) return TRUE;
    *reinterpret_cast<HWND*>(found) = hwnd;
    return FALSE;
}

// Notes the box that shows, its owner and the frame's state, then answers it.
void CALLBACK AnswerTheBox(HWND, UINT, UINT_PTR id, DWORD) {
    HWND box = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), FindBox, reinterpret_cast<LPARAM>(&box));
    if (!box) return;
    KillTimer(nullptr, id);
    g_seen.box = box;
    g_seen.owner = GetWindow(box, GW_OWNER);
    g_seen.ownerEnabled = g_seen.owner && IsWindowEnabled(g_seen.owner);
    PostMessageW(box, WM_COMMAND, IDOK, 0);
}

class MessageBoxOwnerTest : public ::testing::Test {
protected:
    void SetUp() override {
        SetMessageRows(LibraryMessageRow);
        SetMessagePresenter(nullptr);  // the real box
        vb::Err().Clear();
        g_seen = {};
    }
    void TearDown() override {
        SetMessageOwnerFinder(nullptr);
        g_frame = nullptr;
    }
    // An information box of the catalogue, answered as soon as it shows.
    void ShowBox() {
        const UINT_PTR timer = SetTimer(nullptr, 0, 50, &AnswerTheBox);
        MessageHandler(MessageBase + 4500);
        KillTimer(nullptr, timer);
    }
};

TEST_F(MessageBoxOwnerTest, TheBoxBelongsToTheFrameHiddenOrNotActiveAndToItsDialogInFront) {
    struct Row {
        const char* name;
        bool frameShown;
        bool otherWindowActive;  // a top-level window of the thread that the frame does not own
        bool dialogInFront;      // a window owned by the frame, active
    };
    for (const Row& row : {Row{"frame hidden in the notification area", false, false, false},
                           Row{"another window active", true, true, false},
                           Row{"the frame's own dialog in front", true, false, true}}) {
        SCOPED_TRACE(row.name);
        TestForm frame(L"frmFrame");
        TestForm other(L"frmOther");
        TestForm dialog(L"frmDialog", 200, 100, WS_POPUP | WS_CAPTION | WS_SYSMENU);
        SetWindowLongPtrW(dialog.Handle(), GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(frame.Handle()));
        if (row.frameShown) frame.Show();
        if (row.otherWindowActive) {
            other.Show();
            SetActiveWindow(other.Handle());
        }
        if (row.dialogInFront) {
            dialog.Show();
            SetActiveWindow(dialog.Handle());
        }
        g_frame = frame.Handle();
        SetMessageOwnerFinder(&FrameOfTheTest);
        g_seen = {};
        ShowBox();
        ASSERT_TRUE(g_seen.box) << "no box showed";
        EXPECT_EQ(g_seen.owner, row.dialogInFront ? dialog.Handle() : frame.Handle());
        EXPECT_FALSE(g_seen.ownerEnabled) << "the box's owner took input while the box waited";
        EXPECT_TRUE(IsWindowEnabled(g_seen.owner)) << "the owner is enabled again once the box is answered";
        SetMessageOwnerFinder(nullptr);
    }
}

TEST_F(MessageBoxOwnerTest, WithoutAFrameTheBoxBelongsToTheActiveWindow) {
    TestForm window(L"frmWindow");
    window.Show();
    SetActiveWindow(window.Handle());
    ShowBox();
    ASSERT_TRUE(g_seen.box) << "no box showed";
    EXPECT_EQ(g_seen.owner, window.Handle());
}

}  // namespace
