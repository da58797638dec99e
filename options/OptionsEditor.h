// What the user does with the mouse and the keyboard in the options window's three big controls:
// typing to jump in the program list "lvwPrograms" and the extension list "lvwExts", their mouse
// buttons and column headers, dragging programs and extensions onto the category tree
// "tvwChoices", and renaming, deleting and adding in the tree. The window owns one editor; it
// sub-classes the three controls so that their keys and buttons reach the handlers here.
// Split by concern: ProgramListEvents.cpp, ExtensionListEvents.cpp, TreeEditing.cpp and the
// wiring in OptionsEditor.cpp.
#pragma once
#include <windows.h>
#include <oaidl.h>

#include <functional>
#include <string>
#include <vector>

#include "CategoryTree.h"
#include "DragController.h"
#include "WorkScope.h"
#include "win/ControlSubclass.h"
#include "win/TreeView.h"
#include "win/Window.h"

// What the handlers use of the options window; a rebuild of the lists is work of the window.
class OptionsEditorWindow : public WorkingWindow {
public:
    virtual short FormReadiness() const = 0;
    // The next tick opens the Find dialog for the active list.
    virtual void SetFindPending() = 0;
    virtual void SetDragInProgress(bool value) = 0;
    // Last-modified time of the program list.
    virtual DATE ProgramListModified() const = 0;
    virtual bool NeedToSaveUserChoices() const = 0;
    virtual void SetNeedToSaveUserChoices(bool value) = 0;
    // Fills lvwExts from the registry model.
    virtual void DisplayExtensions() = 0;
    // The extension record that a row of lvwExts (from 0) stands for: its tag.
    virtual long ExtensionRecordOfRow(int row) const = 0;

protected:
    ~OptionsEditorWindow() = default;
};

// The pop-up menus of frmMenus as the lists and the tree reach them.
class OptionsPopupMenus {
public:
    // The entry "Refresh Exe's" of the program list's menu.
    virtual std::wstring RefreshExeCaption() const = 0;
    virtual void SetRefreshExeCaption(const std::wstring& caption) = 0;
    // "Assign Alias", "Remove Alias" and the separator after them.
    virtual void ShowAliasEntries(bool show) = 0;
    // "&Make Extension Associated" of the extension list's menu.
    virtual void SetMakeExtensionAssociatedEnabled(bool enabled) = 0;
    // Pops up mnuMain(index) of frmMenus and returns when it closed: 4 "Prg List", 5 "Extension List".
    // The window's DragInProgress is set while the menu is open (by the menus, not by the callers).
    virtual void PopUp(int mainIndex) = 0;
    // The tree's pop-up for a button other than the left one on node (nullptr: empty space).
    virtual void PopUpForNode(win::TreeNode node) = 0;

protected:
    ~OptionsPopupMenus() = default;
};

// frmAlias as the program list prepares it before its menu opens.
class AliasDialogPreparation {
public:
    virtual void Load() = 0;
    // lblCompanyName, lblProductName, lblVersion: the program as found.
    virtual void SetFoundLabels(const std::wstring& company, const std::wstring& product,
                                const std::wstring& version) = 0;
    // txtCompanyName, txtProductName, txtVersion: the alias shown.
    virtual void SetAliasTexts(const std::wstring& company, const std::wstring& product,
                               const std::wstring& version) = 0;
    virtual void SetAliasRecordIndex(long index) = 0;

protected:
    ~AliasDialogPreparation() = default;
};

// Menus that keep the captions and states they are given and open nothing.
class QuietPopupMenus : public OptionsPopupMenus {
public:
    std::wstring RefreshExeCaption() const override { return refreshExeCaption; }
    void SetRefreshExeCaption(const std::wstring& caption) override { refreshExeCaption = caption; }
    void ShowAliasEntries(bool show) override { aliasEntriesShown = show; }
    void SetMakeExtensionAssociatedEnabled(bool enabled) override { makeAssociatedEnabled = enabled; }
    void PopUp(int mainIndex) override { poppedUp.push_back(mainIndex); }
    void PopUpForNode(win::TreeNode node) override { nodeMenus.push_back(node); }

    std::wstring refreshExeCaption = L"Refresh Exe's";
    bool aliasEntriesShown = true;
    bool makeAssociatedEnabled = true;
    std::vector<int> poppedUp;
    std::vector<win::TreeNode> nodeMenus;
};

// Mouse buttons as the form's events number them.
enum MouseButtons : int { mbLeft = 1, mbRight = 2, mbMiddle = 4 };

class OptionsEditor {
public:
    OptionsEditor(OptionsEditorWindow& window, CategoryTree& tree, win::ListView& lvwPrograms, win::ListView& lvwExts);
    ~OptionsEditor();
    OptionsEditor(const OptionsEditor&) = delete;
    OptionsEditor& operator=(const OptionsEditor&) = delete;

    // Sub-classes the three controls, takes the tree's notifications and makes the three
    // controls drag targets; Detach undoes it.
    void Attach();
    void Detach();
    // Not owned; nullptr: menus that open nothing, no alias dialog.
    void SetPopupMenus(OptionsPopupMenus* menus);
    void SetAliasDialog(AliasDialogPreparation* dialog) { alias_ = dialog; }
    OptionsPopupMenus& Menus() { return *menus_; }
    DragController& Drags() { return drag_; }

    // ---- program list (ProgramListEvents.cpp) ----
    void SetPositionInProgramsList(wchar_t typed);
    void lvwPrograms_KeyPress(short& keyAscii);
    void lvwPrograms_MouseDown(int button, int shift, POINT point);
    void lvwPrograms_DragOver(HWND source, POINT point, int state);
    void lvwPrograms_ColumnClick();
    // frmAlias for a row (from 0) of the program list.
    void PrepareAliasDialog(int row);

    // ---- extension list (ExtensionListEvents.cpp) ----
    bool RedisplayExtensionList();
    // Empties lvwExts and the tree, lets reloadModel bring the model up to date, then lists the
    // extensions and reads the category file into the tree again. Edits not yet saved are
    // written first; nothing is saved meanwhile; the categories count as loaded again only when
    // the file was read back whole. Errors reach the caller's trap.
    void RebuildExtensionsAndTree(const std::function<void()>& reloadModel);
    void SetAssociatedMenuItem();
    void SetPositionInExtList(wchar_t typed);
    void lvwExts_KeyPress(short& keyAscii);
    void lvwExts_MouseDown(int button, int shift, POINT point);
    void lvwExts_DragOver(HWND source, POINT point, int state);
    void lvwExts_ColumnClick();

    // ---- tree (TreeEditing.cpp) ----
    void tvwChoices_MouseDown(int button, int shift, POINT point);
    // cancel: the old name stays.
    // edited: the node whose label was edited; the selected one when none is given.
    void tvwChoices_AfterLabelEdit(bool& cancel, std::wstring& newString, win::TreeNode edited = nullptr);
    void tvwChoices_KeyDown(int& keyCode, int shift);
    void tvwChoices_MouseMove(int button, int shift, POINT point);
    void tvwChoices_DragOver(HWND source, POINT point, int state);
    void tvwChoices_DragDrop(HWND source, POINT point);
    bool mnuAddSubcategory(std::wstring& name);
    void mnuRenameSubcategory();
    void mnuRenameCategory();
    short IsExt(long& position, std::wstring& ext);
    bool TreeDragStarted() const { return treeDragStarted_; }
    win::TreeNode DropHighlight() const { return dropHighlight_; }

private:
    // OptionsEditor.cpp
    bool ListMessage(win::ListView& list, UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool TreeMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
    bool TreeNotify(NMHDR* header, LRESULT& result);
    void DragEnded(HWND source);
    bool Ready() const { return window_.FormReadiness() >= 2; }
    void SelectRow(win::ListView& list, int row);
    int RowAt(const win::ListView& list, POINT point) const;
    win::TreeNode NodeAt(POINT point) const;
    void SetDropHighlight(win::TreeNode node);
    // TreeEditing.cpp
    void StartRenameOfCurrentNode(const wchar_t* fixedName);

    OptionsEditorWindow& window_;
    CategoryTree& ops_;
    win::TreeView& tree_;
    win::ListView& lvwPrograms_;
    win::ListView& lvwExts_;
    QuietPopupMenus quietMenus_;
    OptionsPopupMenus* menus_ = &quietMenus_;
    AliasDialogPreparation* alias_ = nullptr;
    DragController drag_;
    win::ControlSubclass programsHook_, extsHook_, treeHook_;

    std::wstring refreshExeDesignCaption_;
    bool refreshExeCaptionKnown_ = false;
    bool treeDragStarted_ = false;
    win::TreeNode dropHighlight_ = nullptr;
    win::TreeNode labelEditNode_ = nullptr;
    bool attached_ = false;
};

// The caption of "Refresh Exe's" for a program list of that date: the design caption followed by
// "   [" days " Days since updated]" when 0 <= days < 10000, else the design caption alone.
std::wstring RefreshExeCaptionFor(const std::wstring& designCaption, DATE listDate, DATE now);
