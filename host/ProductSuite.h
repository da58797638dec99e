// The suite build-up: finds the installed products through the registry, orders them,
// gives each a toolbar button and fills the frame's placeholder menus; then the host's own
// toolbar buttons, the toolbar's clicks and the products' lifetime.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "HostFrame.h"
#include "ProductRecord.h"

// Toolbar button style of the spacer, and its key.
inline constexpr int ToolbarSpacerStyle = 0;
inline constexpr const wchar_t* ToolbarSpacerKey = L"Adjustable";

// What a toolbar click does, by the clicked button's number (from 1).
// HelpContents: the design-time first button, which opens the help file at its contents.
enum class ToolbarAction { None, OpenProduct, HelpContents, Help, Referral, Suggestion };
struct ToolbarTarget {
    ToolbarAction Action = ToolbarAction::None;
    long ProductIndex = -1;  // for OpenProduct
};
// Product r sits on button r + 2 (behind the design-time button 1); the last three buttons
// are suggestion, referral and help.
ToolbarTarget ToolbarTargetOf(int button, int buttonCount, size_t productCount);

// The globals the build-up writes (the tray tip and the product about box read them).
std::wstring& SuiteProductName();
std::wstring& SuiteProductVersion();

class ProductSuite {
public:
    // In suite order; empty when no product qualifies.
    std::vector<ProductRecord> Products;
    SuiteMenus Menus = SuiteMenus::Designed();

    // Both passes over subkey 0 of the host key (error trap "GetDLLArributes").
    void GetDLLArributes(HostToolbar& toolbar);
    // The spacer and the suggestion, referral and help buttons (trap "GetStandardToolbarButtons").
    void GetStandardToolbarButtons(HostToolbar& toolbar);
    // asxToolbar1_ButtonClick: button numbered from 1.
    void ToolbarButtonClick(int button, HostToolbar& toolbar, HWND owner);

    // Opens product index unless it is open: creates its CForm and keeps the window its
    // ShowForm answers. A product whose window has closed (hidden and Interruptible) counts as
    // no longer open: its objects go and it opens afresh, so the click that follows a close is
    // not lost to the wait for the idle release. Errors go to the trap named procName. True when
    // it opened it now.
    bool OpenProduct(long index, const wchar_t* procName);
    // Whether product index is still open. A record whose window has closed (hidden and
    // Interruptible) is released first, as OpenProduct does, so it no longer counts; a window
    // that cannot answer counts as open.
    bool ProductStillOpen(long index);
    // A product's window says it may not be interrupted (QueryUnload's test).
    bool AnyOpenProductBusy() const;
    // Once a second: releases products whose window is hidden and Interruptible.
    void ReleaseIdleProducts();
    // At the frame's unload.
    void ReleaseAll();

    // The sub-menu entry of placeholder "TmpN" (N 1 to 7), nullptr for any other number.
    MenuEntry* GetMenuItem(const std::wstring& name, long index);

private:
    // Releases the record's objects when its window is hidden and Interruptible; true when it did.
    static bool ReleaseIfIdle(ProductRecord& record);
    // A product's ShowForm may pump messages; a click meanwhile must not open it twice.
    bool opening_ = false;
};

// A menu string's line "Caption;Tag" into an entry (the tag only when present).
void ApplyMenuLine(MenuEntry& entry, const std::wstring& line);
