// A modal window over another: the windows under it take no input while it shows, and the one it
// was shown over is the active window again once it hides or unloads.
#include <windows.h>

#include <gtest/gtest.h>

#include "UiTestForms.h"

namespace {

TestForm* g_dialog = nullptr;
bool g_unload = false;
bool g_ownerEnabledMeanwhile = true;
HWND g_owner = nullptr;

void CALLBACK CloseDialog(HWND, UINT, UINT_PTR id, DWORD) {
    KillTimer(nullptr, id);
    g_ownerEnabledMeanwhile = IsWindowEnabled(g_owner) != FALSE;
    if (g_unload) g_dialog->Unload();
    else g_dialog->Hide();
}

TEST(ModalWindow, TheWindowUnderItIsActiveAgainAfterAHideOrAnUnload) {
    for (bool unload : {false, true}) {
        TestForm owner(L"frmOwner");
        owner.Show();
        SetActiveWindow(owner.Handle());
        ASSERT_EQ(GetActiveWindow(), owner.Handle());

        TestForm dialog(L"frmDialog", 200, 100, WS_POPUP | WS_CAPTION | WS_SYSMENU);
        SetWindowLongPtrW(dialog.Handle(), GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner.Handle()));
        g_dialog = &dialog;
        g_unload = unload;
        g_owner = owner.Handle();
        g_ownerEnabledMeanwhile = true;
        SetTimer(nullptr, 0, 100, &CloseDialog);
        dialog.ShowModal();

        EXPECT_FALSE(g_ownerEnabledMeanwhile) << unload;
        EXPECT_TRUE(IsWindowEnabled(owner.Handle())) << unload;
        EXPECT_EQ(GetActiveWindow(), owner.Handle()) << unload;
        g_dialog = nullptr;
    }
}

TEST(ModalWindow, AnOwnerOutOfSightWaitsDisabledToo) {
    // A frame in the notification area is hidden; whatever asks it for commands meanwhile (its
    // tray icon) must see that a modal window, of whichever module, waits on it.
    TestForm owner(L"frmOwner");
    owner.Hide();
    TestForm dialog(L"frmDialog", 200, 100, WS_POPUP | WS_CAPTION | WS_SYSMENU);
    SetWindowLongPtrW(dialog.Handle(), GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(owner.Handle()));
    g_dialog = &dialog;
    g_unload = false;
    g_owner = owner.Handle();
    g_ownerEnabledMeanwhile = true;
    SetTimer(nullptr, 0, 100, &CloseDialog);
    dialog.ShowModal();
    EXPECT_FALSE(g_ownerEnabledMeanwhile);
    EXPECT_TRUE(IsWindowEnabled(owner.Handle()));
    g_dialog = nullptr;
}

}  // namespace
