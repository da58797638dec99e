// The products the frame shows and the frame's menus as data: the suite build-up fills them,
// the frame draws its menu bar and the tray menu from them.
#pragma once
#include <windows.h>
#include <oaidl.h>

#include <string>
#include <vector>

#include "com/ComModule.h"

// One product shown in the frame, in suite order (index 0 first).
struct ProductRecord {
    float Ordinal = 0;                        // the product's UtilitySuiteOrdinal
    com::ComPtr<IDispatch> ShownForm;         // the window ShowForm answered; empty until opened
    com::ComPtr<IDispatch> Product;           // the product's CForm; empty until opened
    std::wstring ProgIdPrefix;                // e.g. "MorvaSendrik"
};

// One menu entry as the frame shows it.
struct MenuEntry {
    std::wstring Caption;
    std::wstring Tag;
    bool Visible = true;
    bool Enabled = true;
};

// The frame's menus that products fill, laid out as designed. Placeholders carry "Tmp" in
// their captions and are hidden until a product fills them.
struct SuiteMenus {
    // mnuMain: 0 "&File", 1-7 "Tmp1".."Tmp7" (hidden), 8 "&Window", 9 "&Help".
    std::vector<MenuEntry> Main;
    // mnu1..mnu7 at Sub[1]..Sub[7] (Sub[0] unused): ten entries "1".."10", entry 0 visible.
    std::vector<std::vector<MenuEntry>> Sub;
    // mnuHelp: 0 "Morva Utility Manager Help", 1-10 "Tmp1".."Tmp10" (hidden).
    std::vector<MenuEntry> Help;
    // mnuAbout: 0 "About Morva Utility Manager", 1-8 "Tmp1".."Tmp8" (hidden).
    std::vector<MenuEntry> About;
    // mnuSysTray of the tray window: 0-10 "&Tmp" (hidden), 11 "&Restore", 12 "E&xit".
    std::vector<MenuEntry> SysTray;

    // The menus as designed, before any product filled them.
    static SuiteMenus Designed();
};
