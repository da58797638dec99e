// The frame's menu bar, its handlers, the maker's web pages, and the two members that bring
// windows forward: OpenProductUnlessLoaded and ShowMDIForm.
#include "HostContract.h"
#include "HostWeb.h"
#include "MDIFrm.h"
#include "basErrorHandler.h"
#include "basHostShared.h"
#include "basMain.h"
#include "basWinAPI_Help.h"
#include "frmAbout.h"
#include "vb/VbScreen.h"

namespace {

// The frame's own menus, which no product fills.
const std::vector<MenuEntry>& FileMenu() {
    static const std::vector<MenuEntry> menu = [] {
        std::vector<MenuEntry> m;
        for (int i = 1; i <= 8; ++i) m.push_back({std::to_wstring(i), L"", false, true});
        m.push_back({L"-", L"", false, true});
        m.push_back({L"E&xit", L"", true, true});
        return m;
    }();
    return menu;
}
const std::vector<MenuEntry>& TutorialsMenu() {
    static const std::vector<MenuEntry> menu = {{L"General Tutorial", L"", true, true},
                                                {L"Accountant's Tutorial", L"", false, true},
                                                {L"Webmaster's Tutorial", L"", false, true}};
    return menu;
}
const std::vector<MenuEntry>& UrlsMenu() {
    static const std::vector<MenuEntry> menu = {{L"FAQ's", L"", true, true},
                                                {L"Support", L"", true, true},
                                                {L"Contact Us", L"", true, true},
                                                {L"Morva Home", L"", true, true},
                                                {L"OnLine Store", L"", true, true}};
    return menu;
}
const std::vector<MenuEntry>& SpecialMenu() {
    static const std::vector<MenuEntry> menu = {{L"Special Time Limited Offer", L"", false, true}};
    return menu;
}

bool AnyVisible(const std::vector<MenuEntry>& entries) {
    for (const MenuEntry& e : entries)
        if (e.Visible) return true;
    return false;
}

// Appends the visible entries; "-" is a separator.
void AppendEntries(HMENU menu, const std::vector<MenuEntry>& entries, UINT firstId) {
    for (size_t i = 0; i < entries.size(); ++i) {
        const MenuEntry& e = entries[i];
        if (!e.Visible) continue;
        if (e.Caption == L"-") {
            AppendMenuW(menu, MF_SEPARATOR, 0, nullptr);
            continue;
        }
        AppendMenuW(menu, MF_STRING | (e.Enabled ? MF_ENABLED : MF_GRAYED), firstId + static_cast<UINT>(i),
                    e.Caption.c_str());
    }
}

void AppendSeparator(HMENU menu) { AppendMenuW(menu, MF_SEPARATOR, 0, nullptr); }

}  // namespace

void MDIFrm::BuildMenuBar() {
    HMENU bar = CreateMenu();
    HMENU windowMenu = nullptr;
    const SuiteMenus& m = suite.Menus;
    for (size_t i = 0; i < m.Main.size(); ++i) {
        const MenuEntry& top = m.Main[i];
        if (!top.Visible) continue;
        HMENU popup = CreatePopupMenu();
        if (i == 0) {
            AppendEntries(popup, FileMenu(), cmdFile);
        } else if (i >= 1 && i <= 7) {
            if (i < m.Sub.size()) AppendEntries(popup, m.Sub[i], cmdProduct + static_cast<UINT>(i) * 20);
        } else if (i == 8) {
            windowMenu = popup;  // the MDI client lists the open child windows here
        } else if (i == 9) {
            AppendEntries(popup, m.Help, cmdHelp);
            AppendSeparator(popup);  // mnuHelpDash
            AppendEntries(popup, m.About, cmdAbout);
            AppendSeparator(popup);  // mnuTutorialDash
            AppendEntries(popup, TutorialsMenu(), cmdTutorials);
            AppendSeparator(popup);  // mnuURLsDash
            AppendEntries(popup, UrlsMenu(), cmdUrls);
            // mnuSpecialDash: no separator closes the menu while its offer is hidden.
            if (AnyVisible(SpecialMenu())) {
                AppendSeparator(popup);
                AppendEntries(popup, SpecialMenu(), cmdSpecial);
            }
        }
        AppendMenuW(bar, MF_POPUP | (top.Enabled ? MF_ENABLED : MF_GRAYED), reinterpret_cast<UINT_PTR>(popup),
                    top.Caption.c_str());
    }
    HMENU old = menuBar_;
    menuBar_ = bar;
    windowMenu_ = windowMenu;
    if (Handle()) {
        if (mdiClient_)
            SendMessageW(mdiClient_, WM_MDISETMENU, reinterpret_cast<WPARAM>(bar), reinterpret_cast<LPARAM>(windowMenu));
        SetMenu(Handle(), bar);
        DrawMenuBar(Handle());
    }
    if (old) DestroyMenu(old);
}

void MDIFrm::MenuCommand(UINT id) {
    if (id >= cmdSpecial) return mnuSpecial_Click(static_cast<int>(id - cmdSpecial));
    if (id >= cmdUrls) return mnuURLs_Click(static_cast<int>(id - cmdUrls));
    if (id >= cmdTutorials) return mnuTutorials_Click(static_cast<int>(id - cmdTutorials));
    if (id >= cmdAbout) return mnuAbout_Click(static_cast<int>(id - cmdAbout));
    if (id >= cmdHelp) return mnuHelp_Click(static_cast<int>(id - cmdHelp));
    if (id >= cmdProduct) {
        UINT n = (id - cmdProduct) / 20;
        // Only the first placeholder's sub-menu has a handler.
        if (n == 1) mnu1_Click(static_cast<int>((id - cmdProduct) % 20));
        return;
    }
    if (id >= cmdFile) return mnuFile_Click(static_cast<int>(id - cmdFile));
}

void MDIFrm::mnu1_Click(int index) {
    if (index != 0) return;
    suite.OpenProduct(0, L"mnu1_Click");
}

void MDIFrm::mnuFile_Click(int index) {
    if (index == 9) CloseFrame();
}

void MDIFrm::mnuHelp_Click(int index) {
    if (std::optional<long> topic = HelpMenuTopic(index)) InvokeHelp(HostHelpFile, Handle(), vb::Variant(*topic));
}

void MDIFrm::mnuTutorials_Click(int index) {
    if (std::optional<long> topic = TutorialsMenuTopic(index))
        InvokeHelp(HostHelpFile, Handle(), vb::Variant(*topic));
}

void MDIFrm::mnuAbout_Click(int index) {
    if (index == 0) frmAbout::Default().ShowModal();
    if (index == 1) frmAboutKestrow::Default().ShowModal();
}

void MDIFrm::mnuURLs_Click(int index) { OpenWebPage(Handle(), UrlsMenuAddress(index)); }

void MDIFrm::mnuSpecial_Click(int index) { OpenWebPage(Handle(), SpecialMenuAddress(index)); }

bool MDIFrm::OpenProductUnlessLoaded(const std::wstring& formName, long index) {
    if (openProductBusy_) return false;
    openProductBusy_ = true;
    bool result = false;
    try {
        ProcGuard guard;
        // No product there to open: nothing to do (and nothing to report). A product whose
        // window has closed (it closes itself while the frame sits in the tray) is released
        // here rather than at the next idle release, so the frame comes back with it.
        bool open = !formName.empty() && index >= 0 && static_cast<size_t>(index) < suite.Products.size() &&
                    !HostGetLoadedForm(formName, this) && !suite.ProductStillOpen(index);
        if (open) {
            vb::DoEvents();
            if (WindowState() != 1) {
                mnu1_Click(static_cast<short>(index));
                result = true;
            }
        }
    } catch (...) {
        vb::CaptureCurrentException();
        vb::Err().Clear();
    }
    openProductBusy_ = false;
    return result;
}

void MDIFrm::ShowMDIForm() {
    TrappedVoid(L"ShowMDIForm", [&] {
        if (!Handle()) return;
        SetWindowState(0);
        Show();
        // Until the frame is back; a frame that cannot come back is not waited for forever.
        const DWORD start = GetTickCount();
        while ((!Visible() || WindowState() == 1) && GetTickCount() - start < 5000) {
            vb::DoEvents();
            Sleep(10);
        }
        short count = 1;
        Pause(count);
        SetWindowPos(Handle(), HWND_TOP, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        SetForegroundWindow(Handle());
        count = 1;
        Pause(count);
    });
}
