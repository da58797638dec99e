#include "OptionsMenus.h"

#include "basErrorHandler.h"
#include "vb/VbError.h"

namespace {

constexpr UINT kIdBase = 100;
constexpr UINT kIdsPerGroup = 200;
constexpr int kHowDoIItemOffset = 199;

UINT ItemId(int group, int index) { return kIdBase + static_cast<UINT>(group) * kIdsPerGroup + static_cast<UINT>(index); }

struct Row {
    int index;
    const wchar_t* caption;
    bool visible;
    bool enabled;
    const wchar_t* howDoI;  // the placeholder of the sub-menu's item 0
};

const Row kCategory[] = {
    {0, L"Acti&vate Category", true, true, nullptr},  {10, L"D&eactivate Category", true, true, nullptr},
    {14, L"-", true, true, nullptr},                  {15, L"E&xpand Branch", true, true, nullptr},
    {16, L"&Collapse Branch", true, true, nullptr},   {20, L"-", true, true, nullptr},
    {30, L"&Add Category", true, true, nullptr},      {40, L"&Delete Category", true, true, nullptr},
    {50, L"&Rename Category", true, true, nullptr},   {60, L"Add &Subcategory", true, true, nullptr},
    {70, L"-", true, true, nullptr},                  {80, L"C&lose", true, true, nullptr},
    {90, L"-", true, true, nullptr},                  {100, L"&How Do I...", true, true, L"How Do I's for Categories"},
};
const Row kSubcategory[] = {
    {0, L"&Delete Subcategory", true, true, nullptr}, {10, L"&Rename Subcategory", true, true, nullptr},
    {14, L"-", true, true, nullptr},                  {15, L"&Expand Branch", true, true, nullptr},
    {16, L"&Collapse Branch", true, true, nullptr},   {20, L"-", true, true, nullptr},
    {30, L"&How Do I...", true, true, L"How Do I's for Cat:Subcats"},
};
const Row kExtension[] = {
    {0, L"&Delete Extension", true, true, nullptr},
    {10, L"-", true, true, nullptr},
    {20, L"&How Do I...", true, true, L"How Do I's for Cat:Ext"},
};
const Row kProgram[] = {
    {0, L"Make Default Program", true, true, nullptr}, {10, L"Remove Default Status", true, true, nullptr},
    {20, L"-", true, true, nullptr},                   {30, L"Delete Program", true, true, nullptr},
    {40, L"-", true, true, nullptr},                   {50, L"&How Do I...", true, true, L"How Do I's for Cat:Prg"},
};
const Row kPrgList[] = {
    {0, L"Assign Alias", true, true, nullptr},
    {10, L"Remove Alias", true, true, nullptr},
    {20, L"-", true, true, nullptr},
    {30, L"Find", true, true, nullptr},
    {40, L"-", true, true, nullptr},
    {50, L"Refresh Exe's", true, true, nullptr},
    {60, L"-", true, true, nullptr},
    {70, L"Show Normally Excluded Executables", true, true, nullptr},
    {80, L"Show Executables in the Windows Directory", true, true, nullptr},
    {90, L"Show Executables in Windows System Directory", true, true, nullptr},
    {100, L"Hide Normally Shown Executables", true, true, nullptr},
    {110, L"-", true, true, nullptr},
    {120, L"&How Do I...", true, true, L"How Do I's for Program List"},
};
const Row kExtList[] = {
    {0, L"&Add Extension", true, true, nullptr},
    {1, L"&Find Extension", true, true, nullptr},
    {2, L"&Make Extension Associated", true, false, nullptr},
    {3, L"-", true, true, nullptr},
    {4, L"Association &Save && Restore", false, true, nullptr},
    {5, L"-", false, true, nullptr},
    {6, L"&Previewer Controller", true, false, nullptr},
    {7, L"&Explorer Dir. App. Controller", true, false, nullptr},
    {8, L"-", true, true, nullptr},
    {9, L"How Do I..", true, true, L"How Do I's for Ext List"},
};

struct GroupRows {
    const wchar_t* caption;
    const Row* rows;
    size_t count;
};
const GroupRows kGroups[MenuGroupCount] = {
    {L"Category", kCategory, sizeof(kCategory) / sizeof(Row)},
    {L"Subcategory", kSubcategory, sizeof(kSubcategory) / sizeof(Row)},
    {L"Extension", kExtension, sizeof(kExtension) / sizeof(Row)},
    {L"Program", kProgram, sizeof(kProgram) / sizeof(Row)},
    {L"Prg List", kPrgList, sizeof(kPrgList) / sizeof(Row)},
    {L"Extension List", kExtList, sizeof(kExtList) / sizeof(Row)},
};

// Tree node images.
constexpr int kImgCategory = 5;
constexpr int kImgSubcategory = 8;
constexpr int kImgProgram = 7;
constexpr int kImgExtension = 2;

// Runs a click handler the way every handler of the menus runs: its error goes to the trace.
template <class F>
void Handler(const wchar_t* name, F&& body) {
    ProcGuard guard;
    try {
        body();
    } catch (...) {
        TrapError(name);
    }
}

}  // namespace

frmMenus::frmMenus(OptionsMenuCommands& commands, HWND owner) : commands_(commands), owner_(owner) {
    for (int g = 0; g < MenuGroupCount; ++g) {
        groups_[g].caption = kGroups[g].caption;
        for (size_t i = 0; i < kGroups[g].count; ++i) {
            const Row& row = kGroups[g].rows[i];
            PopUpMenuEntry e;
            e.index = row.index;
            e.caption = row.caption;
            e.visible = row.visible;
            e.enabled = row.enabled;
            e.id = ItemId(g, row.index);
            if (row.howDoI) {
                e.howDoI = true;
                e.howCaption = row.howDoI;
            }
            groups_[g].items.push_back(e);
        }
    }
    BuildNative();
}

frmMenus::~frmMenus() {
    for (Group& group : groups_) {
        if (group.menu) DestroyMenu(group.menu);  // takes the sub-menu along
        // A sub-menu not in its menu (never, as the entry is never hidden) would be left over.
    }
}

void frmMenus::BuildNative() {
    for (int g = 0; g < MenuGroupCount; ++g) {
        Group& group = groups_[g];
        group.menu = CreatePopupMenu();
        for (const PopUpMenuEntry& e : group.items) {
            if (e.howDoI) {
                group.howDoI = CreatePopupMenu();
                AppendMenuW(group.howDoI, MF_STRING, ItemId(g, kHowDoIItemOffset), e.howCaption.c_str());
            }
            if (e.visible) InsertNative(g, e);
        }
    }
}

int frmMenus::PositionOf(int group, int index) const {
    int position = 0;
    for (const PopUpMenuEntry& e : groups_[group].items) {
        if (e.index == index) return position;
        if (e.visible) ++position;
    }
    return -1;
}

void frmMenus::InsertNative(int group, const PopUpMenuEntry& e) {
    Group& g = groups_[group];
    MENUITEMINFOW info{};
    info.cbSize = sizeof(info);
    info.fMask = MIIM_ID | MIIM_FTYPE | MIIM_STATE;
    info.wID = e.id;
    if (e.caption == L"-") {
        info.fType = MFT_SEPARATOR;
    } else {
        info.fMask |= MIIM_STRING;
        info.fType = MFT_STRING;
        info.dwTypeData = const_cast<wchar_t*>(e.caption.c_str());
    }
    info.fState = (e.enabled ? MFS_ENABLED : MFS_GRAYED) | (e.checked ? MFS_CHECKED : 0);
    if (e.howDoI) {
        info.fMask |= MIIM_SUBMENU;
        info.hSubMenu = g.howDoI;
    }
    InsertMenuItemW(g.menu, static_cast<UINT>(PositionOf(group, e.index)), TRUE, &info);
}

void frmMenus::ApplyState(int group, const PopUpMenuEntry& e) {
    if (!e.visible) return;
    HMENU menu = groups_[group].menu;
    EnableMenuItem(menu, e.id, MF_BYCOMMAND | (e.enabled ? MF_ENABLED : MF_GRAYED));
    CheckMenuItem(menu, e.id, MF_BYCOMMAND | (e.checked ? MF_CHECKED : MF_UNCHECKED));
}

namespace {

// The entry of a group's items with that index, or its "How Do I" entry; for const and non-const
// items alike.
template <class Items>
auto FindIn(Items& items, int index) -> decltype(&items[0]) {
    for (auto& e : items)
        if (e.index == index) return &e;
    return nullptr;
}
template <class Items>
auto HowEntry(Items& items) -> decltype(&items[0]) {
    for (auto& e : items)
        if (e.howDoI) return &e;
    return nullptr;
}

}  // namespace

PopUpMenuEntry* frmMenus::Find(int group, int index) {
    return group >= 0 && group < MenuGroupCount ? FindIn(groups_[group].items, index) : nullptr;
}

const PopUpMenuEntry* frmMenus::Find(int group, int index) const {
    return group >= 0 && group < MenuGroupCount ? FindIn(groups_[group].items, index) : nullptr;
}

const PopUpMenuEntry* frmMenus::Item(int group, int index) const { return Find(group, index); }

void frmMenus::SetVisible(int group, int index, bool visible) {
    PopUpMenuEntry* e = Find(group, index);
    if (!e || e->visible == visible) return;
    if (!visible) {
        // By position: the "How Do I" entry's sub-menu must stay alive for a later showing.
        int position = PositionOf(group, index);
        RemoveMenu(groups_[group].menu, static_cast<UINT>(position), MF_BYPOSITION);
        e->visible = false;
    } else {
        e->visible = true;
        InsertNative(group, *e);
    }
}

void frmMenus::SetEnabled(int group, int index, bool enabled) {
    if (PopUpMenuEntry* e = Find(group, index)) {
        e->enabled = enabled;
        ApplyState(group, *e);
    }
}

void frmMenus::SetChecked(int group, int index, bool checked) {
    if (PopUpMenuEntry* e = Find(group, index)) {
        e->checked = checked;
        ApplyState(group, *e);
    }
}

bool frmMenus::Visible(int group, int index) const {
    const PopUpMenuEntry* e = Find(group, index);
    return e && e->visible;
}
bool frmMenus::Enabled(int group, int index) const {
    const PopUpMenuEntry* e = Find(group, index);
    return e && e->enabled;
}
bool frmMenus::Checked(int group, int index) const {
    const PopUpMenuEntry* e = Find(group, index);
    return e && e->checked;
}

void frmMenus::SetCaption(int group, int index, const std::wstring& caption) {
    PopUpMenuEntry* e = Find(group, index);
    if (!e || e->caption == caption) return;
    e->caption = caption;
    if (e->visible) ModifyMenuW(groups_[group].menu, e->id, MF_BYCOMMAND | MF_STRING, e->id, caption.c_str());
    ApplyState(group, *e);
}

std::wstring frmMenus::HowDoICaption(int group) const {
    if (group < 0 || group >= MenuGroupCount) return {};
    const PopUpMenuEntry* e = HowEntry(groups_[group].items);
    return e ? e->howCaption : std::wstring();
}

void frmMenus::SetHowDoICaption(int group, const std::wstring& caption) {
    if (group < 0 || group >= MenuGroupCount) return;
    PopUpMenuEntry* e = HowEntry(groups_[group].items);
    if (!e) return;
    e->howCaption = caption;
    UINT id = ItemId(group, kHowDoIItemOffset);
    ModifyMenuW(groups_[group].howDoI, id, MF_BYCOMMAND | MF_STRING, id, caption.c_str());
}

std::wstring frmMenus::HowDoITag(int group) const {
    if (group < 0 || group >= MenuGroupCount) return {};
    const PopUpMenuEntry* e = HowEntry(groups_[group].items);
    return e ? e->tag : std::wstring();
}

void frmMenus::SetHowDoITag(int group, const std::wstring& tag) {
    if (group < 0 || group >= MenuGroupCount) return;
    if (PopUpMenuEntry* e = HowEntry(groups_[group].items)) e->tag = tag;
}

UINT frmMenus::HowDoIItemId(int group) const { return ItemId(group, kHowDoIItemOffset); }

HMENU frmMenus::HowDoIMenu(int group) const {
    return group >= 0 && group < MenuGroupCount ? groups_[group].howDoI : nullptr;
}

HMENU frmMenus::NativeMenu(int group) const {
    return group >= 0 && group < MenuGroupCount ? groups_[group].menu : nullptr;
}

HMENU frmMenus::NativeSubMenu(int group, int position) const {
    HMENU menu = NativeMenu(group);
    return menu ? GetSubMenu(menu, position) : nullptr;
}

std::vector<std::wstring> frmMenus::NativeCaptions(int group) const {
    std::vector<std::wstring> captions;
    HMENU menu = NativeMenu(group);
    if (!menu) return captions;
    const int count = GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        MENUITEMINFOW info{};
        info.cbSize = sizeof(info);
        info.fMask = MIIM_FTYPE | MIIM_STRING;
        wchar_t text[256] = {};
        info.dwTypeData = text;
        info.cch = 255;
        GetMenuItemInfoW(menu, static_cast<UINT>(i), TRUE, &info);
        captions.push_back((info.fType & MFT_SEPARATOR) ? std::wstring(L"-") : std::wstring(text));
    }
    return captions;
}

bool frmMenus::OnCommand(UINT id) {
    if (id >= FirstNoteCommandId) {
        const std::wstring path = commands_.GetHowDoIFile(L"k" + std::to_wstring(id));
        commands_.ShowNote(path);
        return true;
    }
    if (id < kIdBase) return false;
    const int group = static_cast<int>((id - kIdBase) / kIdsPerGroup);
    if (group >= MenuGroupCount) return false;
    const int index = static_cast<int>((id - kIdBase) % kIdsPerGroup);
    if (index == kHowDoIItemOffset) {
        HowDoIClick(group);
        return true;
    }
    if (!Find(group, index)) return false;
    Click(group, index);
    return true;
}

void frmMenus::HowDoIClick(int group) {
    static const wchar_t* const kNames[MenuGroupCount] = {L"mnuCatHow_Click",    L"mnuCatSubcatHow_Click",
                                                          L"mnuCatExtHow_Click", L"mnuCatPrgHow_Click",
                                                          L"mnuPrgListHow_Click", L"mnuExtListHow_Click"};
    if (group < 0 || group >= MenuGroupCount) return;
    Handler(kNames[group], [&] {
        // A group without notes keeps its placeholder, whose empty tag opens nothing.
        const std::wstring tag = HowDoITag(group);
        if (tag.empty()) return;
        commands_.ShowNote(commands_.GetHowDoIFile(tag));
    });
}

void frmMenus::Click(int group, int index) {
    switch (group) {
        case mgCategory:
            Handler(L"mnuCategory_Click", [&] {
                switch (index) {
                    case 0: commands_.ActivateDeactivateCategory(true); break;
                    case 10: commands_.ActivateDeactivateCategory(false); break;
                    case 15: commands_.ExpandCollapseBranch(true); break;
                    case 16: commands_.ExpandCollapseBranch(false); break;
                    case 30: commands_.mnuAddCategory(); break;
                    case 40: commands_.mnuDeleteCategory(); break;
                    case 50: commands_.mnuRenameCategory(); break;
                    case 60: commands_.mnuAddSubcategory(); break;
                    case 80: commands_.CloseOptions(); break;
                    default: break;
                }
            });
            break;
        case mgSubcategory:
            Handler(L"mnuCatSubcat_Click", [&] {
                switch (index) {
                    case 0: commands_.mnuDeleteSubcategory(); break;
                    case 10: commands_.mnuRenameSubcategory(); break;
                    case 15: commands_.ExpandCollapseBranch(true); break;
                    case 16: commands_.ExpandCollapseBranch(false); break;
                    default: break;
                }
            });
            break;
        case mgExtension:
            Handler(L"mnuCatExt_Click", [&] {
                if (index == 0) commands_.RemoveCurrentExtension();
            });
            break;
        case mgProgram:
            Handler(L"mnuCatPrg_Click", [&] {
                switch (index) {
                    case 0: commands_.mnuMakeDefault(); break;
                    case 10: commands_.mnuRemoveDefault(); break;
                    case 30: commands_.mnuDeleteProgram(); break;
                    default: break;
                }
            });
            break;
        case mgPrgList:
            Handler(L"mnuExeList_Click", [&] {
                switch (index) {
                    case 0: commands_.mnuAssignAlias(); break;
                    case 10: commands_.RemoveAlias(); break;
                    case 30: commands_.FindInListView(1, false); break;
                    case 50: commands_.mnuRefresh(); break;
                    case 70:
                    case 80:
                    case 90:
                    case 100: {
                        const bool check = !Checked(group, index);
                        SetChecked(group, index, check);
                        commands_.SetFilterBox(index, check);
                        break;
                    }
                    default: break;
                }
            });
            break;
        case mgExtList:
            Handler(L"mnuExtList_Click", [&] {
                switch (index) {
                    case 0: commands_.mnuShowAddExtensions(); break;
                    case 1: commands_.FindInListView(1, false); break;
                    case 2:
                        // Errors are passed over here.
                        try {
                            commands_.MakeExtensionAssociated();
                        } catch (...) {
                            vb::CaptureCurrentException();
                            vb::Err().Clear();
                        }
                        break;
                    case 4: commands_.ShowAssociationRestorer(); break;
                    case 6: commands_.ShowPreviewerController(false); break;
                    case 7: commands_.ShowPreviewerController(true); break;
                    default: break;
                }
            });
            break;
        default:
            break;
    }
}

int frmMenus::MenuForNode(const win::TreeNodes& tree, win::TreeNode node) {
    if (!node) {
        SetVisible(mgCategory, 30, true);
        for (int i : {60, 0, 10, 14, 15, 16, 40, 50, 20}) SetVisible(mgCategory, i, false);
        return mgCategory;
    }
    switch (tree.Image(node)) {
        case kImgCategory: {
            SetVisible(mgCategory, 30, false);
            for (int i : {60, 20, 10, 14, 15, 16}) SetVisible(mgCategory, i, true);
            const long colour = tree.ForeColor(node);
            if (colour != win::NotRemovableColour) {
                SetVisible(mgCategory, 40, true);
                SetVisible(mgCategory, 50, true);
                const bool inactive = colour != 0;
                SetVisible(mgCategory, 0, inactive);
                SetVisible(mgCategory, 10, !inactive);
            } else {
                SetVisible(mgCategory, 40, false);
                SetVisible(mgCategory, 50, false);
                // A category that cannot be removed cannot be inactive either: neither entry.
                SetVisible(mgCategory, 0, false);
                SetVisible(mgCategory, 10, false);
            }
            if (tree.Children(node) > 0) {
                win::TreeNode first = tree.Child(node);
                if (first && tree.ForeColor(first) == win::NotRemovableColour) {
                    for (int i : {60, 40, 50, 20}) SetVisible(mgCategory, i, false);
                }
            }
            return mgCategory;
        }
        case kImgSubcategory:
            if (tree.ForeColor(node) == win::NotRemovableColour) return -1;
            SetVisible(mgSubcategory, 10, true);
            SetVisible(mgSubcategory, 0, true);
            return mgSubcategory;
        case kImgProgram:
            if (tree.Bold(node)) {
                SetVisible(mgProgram, 10, true);
                SetEnabled(mgProgram, 0, false);
            } else {
                SetVisible(mgProgram, 10, false);
                SetEnabled(mgProgram, 0, true);
            }
            SetVisible(mgProgram, 20, true);
            SetVisible(mgProgram, 30, true);
            return mgProgram;
        case kImgExtension: {
            win::TreeNode folder = tree.Parent(node);
            win::TreeNode subcategory = folder ? tree.Parent(folder) : nullptr;
            if (subcategory && tree.ForeColor(subcategory) == win::NotRemovableColour) return -1;
            return mgExtension;
        }
        default:
            return -1;
    }
}

std::wstring frmMenus::RefreshExeCaption() const {
    const PopUpMenuEntry* e = Find(mgPrgList, 50);
    return e ? e->caption : std::wstring();
}

void frmMenus::SetRefreshExeCaption(const std::wstring& caption) { SetCaption(mgPrgList, 50, caption); }

void frmMenus::ShowAliasEntries(bool show) {
    for (int i : {0, 10, 20}) SetVisible(mgPrgList, i, show);
}

void frmMenus::SetMakeExtensionAssociatedEnabled(bool enabled) {
    SetEnabled(mgExtList, MnuMakeExtensionAssociated(), enabled);
}

void frmMenus::PopUp(int mainIndex) {
    HMENU menu = NativeMenu(mainIndex);
    if (!menu) return;
    // Every pop-up of the window passes here: no tool tip shows while one is open.
    commands_.SetDragInProgress(true);
    POINT point{};
    GetCursorPos(&point);
    HWND owner = owner_;
    // The menu closes as it should on a click elsewhere only while its window's top level is
    // in the foreground.
    if (owner) SetForegroundWindow(GetAncestor(owner, GA_ROOT));
    // The chosen command comes back to the owner as WM_COMMAND, which hands it to OnCommand.
    TrackPopupMenu(menu, TPM_LEFTALIGN | TPM_RIGHTBUTTON, point.x, point.y, 0, owner, nullptr);
    commands_.SetDragInProgress(false);
}

void frmMenus::PopUpForNode(win::TreeNode node) {
    if (!tree_) return;
    const int group = MenuForNode(*tree_, node);
    if (group >= 0) PopUp(group);
}
