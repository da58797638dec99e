// The options window's right-click menus (frmMenus): six groups of items whose sparse indexes are
// the command codes, each ending in a "How Do I" sub-menu of help notes. The table here is the
// truth; every group has one native pop-up menu that holds exactly its shown items, in table
// order, so a hidden item is not in the native menu and a disabled one is greyed. The menus pop
// up owned by the options window, whose own window procedure hands their WM_COMMAND back here.
#pragma once
#include <windows.h>

#include <string>
#include <vector>

#include "OptionsEditor.h"
#include "win/TreeView.h"

// The groups of mnuMain.
enum MenuGroup : int {
    mgCategory = 0,
    mgSubcategory = 1,
    mgExtension = 2,
    mgProgram = 3,
    mgPrgList = 4,
    mgExtList = 5,
};
inline constexpr int MenuGroupCount = 6;

// First command id of the notes' native items; the table's own ids lie below it.
inline constexpr UINT FirstNoteCommandId = 5000;

// What the menus call on the options window.
class OptionsMenuCommands {
public:
    // Tree (nullptr node: the current tree node).
    virtual void ActivateDeactivateCategory(bool activate) = 0;
    virtual void ExpandCollapseBranch(bool expand) = 0;
    virtual void mnuAddCategory() = 0;
    virtual void mnuDeleteCategory() = 0;
    virtual void mnuRenameCategory() = 0;
    virtual void mnuAddSubcategory() = 0;
    virtual void CloseOptions() = 0;
    // "&Delete Subcategory": the current subcategory, then the save.
    virtual void mnuDeleteSubcategory() = 0;
    virtual void mnuRenameSubcategory() = 0;
    virtual void RemoveCurrentExtension() = 0;
    virtual void mnuMakeDefault() = 0;
    virtual void mnuRemoveDefault() = 0;
    virtual void mnuDeleteProgram() = 0;
    // Lists.
    virtual void mnuAssignAlias() = 0;
    virtual void RemoveAlias() = 0;
    virtual void FindInListView(long direction, bool repeat) = 0;
    virtual void mnuRefresh() = 0;
    // The filter box of item 70, 80, 90 or 100 of the program list's menu.
    virtual void SetFilterBox(int item, bool checked) = 0;
    virtual void mnuShowAddExtensions() = 0;
    virtual void MakeExtensionAssociated() = 0;
    virtual void ShowAssociationRestorer() = 0;
    // explorerPrecatch: FormUse becomes "Explorer Precatch Controller" first.
    virtual void ShowPreviewerController(bool explorerPrecatch) = 0;
    // Around each pop-up: no tool tip while a menu is open.
    virtual void SetDragInProgress(bool value) = 0;
    // The note collection; the note viewer.
    virtual std::wstring GetHowDoIFile(const std::wstring& key) = 0;
    virtual void AddHowDoIFile(const std::wstring& key, const std::wstring& path) = 0;
    virtual void ShowNote(const std::wstring& path) = 0;

protected:
    ~OptionsMenuCommands() = default;
};

// One item of a pop-up menu group. Named apart from the host's MenuEntry: the tests build the
// host's frame and the library into one program.
struct PopUpMenuEntry {
    int index = 0;
    std::wstring caption;
    bool visible = true;
    bool enabled = true;
    bool checked = false;
    bool howDoI = false;   // the group's "How Do I" sub-menu
    std::wstring tag;      // the "How Do I" item 0's placeholder once a note took its place
    std::wstring howCaption;  // the sub-menu's item 0
    UINT id = 0;
};

class frmMenus : public OptionsPopupMenus {
public:
    // owner: the window the menus pop up over and whose WM_COMMAND comes back through OnCommand.
    explicit frmMenus(OptionsMenuCommands& commands, HWND owner = nullptr);
    ~frmMenus();
    frmMenus(const frmMenus&) = delete;
    frmMenus& operator=(const frmMenus&) = delete;

    void SetOwner(HWND owner) { owner_ = owner; }

    // Indexes of the items whose states others change.
    long MnuAssocRestorer() const { return 4; }
    long MnuMakeExtensionAssociated() const { return 2; }
    long MnuPreviewMngr() const { return 6; }
    long MnuExplorerPrecatchMngr() const { return 7; }

    // The table: nullptr for an index the group lacks.
    const PopUpMenuEntry* Item(int group, int index) const;
    void SetVisible(int group, int index, bool visible);
    void SetEnabled(int group, int index, bool enabled);
    void SetChecked(int group, int index, bool checked);
    bool Visible(int group, int index) const;
    bool Enabled(int group, int index) const;
    bool Checked(int group, int index) const;
    void SetCaption(int group, int index, const std::wstring& caption);
    // The "How Do I" item 0 of a group: its caption and tag.
    std::wstring HowDoICaption(int group) const;
    void SetHowDoICaption(int group, const std::wstring& caption);
    std::wstring HowDoITag(int group) const;
    void SetHowDoITag(int group, const std::wstring& tag);
    UINT HowDoIItemId(int group) const;
    // The group's "How Do I" sub-menu, where the further notes go as native items.
    HMENU HowDoIMenu(int group) const;

    // The group's native pop-up menu, and the native sub-menu at a position of it (counting only
    // the items present); nullptr when there is none.
    HMENU NativeMenu(int group) const;
    HMENU NativeSubMenu(int group, int position) const;
    // The captions of the native menu as shown, "-" for a separator.
    std::vector<std::wstring> NativeCaptions(int group) const;

    // A command of the menus came back (WM_COMMAND of a menu): true when it was one of theirs.
    // Ids from 5000 open their note; ids of the table run their item's click.
    bool OnCommand(UINT id);
    // The click handlers by group and index.
    void Click(int group, int index);
    void HowDoIClick(int group);

    // The tree's rules for a node (nullptr: empty space): the group that opens, or -1 for none;
    // the items' states are set on the way.
    int MenuForNode(const win::TreeNodes& tree, win::TreeNode node);

    // ---- OptionsPopupMenus ----
    std::wstring RefreshExeCaption() const override;
    void SetRefreshExeCaption(const std::wstring& caption) override;
    void ShowAliasEntries(bool show) override;
    void SetMakeExtensionAssociatedEnabled(bool enabled) override;
    void PopUp(int mainIndex) override;
    void PopUpForNode(win::TreeNode node) override;

    // The tree the node pop-ups read (not owned).
    void SetTree(const win::TreeNodes* tree) { tree_ = tree; }

private:
    PopUpMenuEntry* Find(int group, int index);
    const PopUpMenuEntry* Find(int group, int index) const;
    void BuildNative();
    void InsertNative(int group, const PopUpMenuEntry& entry);
    int PositionOf(int group, int index) const;
    void ApplyState(int group, const PopUpMenuEntry& entry);

    OptionsMenuCommands& commands_;
    HWND owner_;
    const win::TreeNodes* tree_ = nullptr;
    struct Group {
        std::wstring caption;
        std::vector<PopUpMenuEntry> items;
        HMENU menu = nullptr;
        HMENU howDoI = nullptr;
    };
    Group groups_[MenuGroupCount];
};

// ---- "How Do I" notes (HowDoIMenus.cpp) ----

// The title of a note: the text after the first blank that follows the first "\ul\b" mark, up to
// the next backslash; a note without the mark takes its file name less its ".note" endings.
std::wstring GetMessageTitle(const std::wstring& notePath);

// Fills the six "How Do I" sub-menus from the notes of the folder, once per menus: a second call
// finds the first placeholder gone and does nothing.
void BuildHowDoIMenus(frmMenus& menus, OptionsMenuCommands& notes, const std::wstring& messagesFolder);
