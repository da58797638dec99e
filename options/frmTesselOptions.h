// The options window: the category tree on the left, the extension list above the program list
// on the right. It lives inside the host's frame as an MDI child (top-level without a frame),
// loads the user's data on its first activation and packs it back when it closes.
// Split by concern: frmTesselOptions.cpp (controls, public members), TesselOptionsLifecycle.cpp
// (load sequence, timer, keys, closing), TesselOptionsPrograms.cpp (program list),
// TesselOptionsExtensions.cpp (extension list), TesselOptionsAutomation.cpp (the object that
// other modules call by name), TesselOptionsTree.cpp (what the category tree and the data model
// reach of it), TesselOptionsEditing.cpp and TesselOptionsMenus.cpp (the editor and the menus).
// The window's controls, tree, editor and menus live as long as this object, which outlives its
// window: code still running when the window goes acts on nothing rather than on freed memory.
#pragma once
#include <windows.h>
#include <oaidl.h>

#include <array>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "CategoryHost.h"
#include "CategoryTree.h"
#include "ExeScanHost.h"
#include "HostFrameLink.h"
#include "NeighbourServices.h"
#include "OptionsEditor.h"
#include "OptionsListView.h"
#include "OptionsToolWindows.h"
#include "frmAlias.h"
#include "ToolTips.h"
#include "WorkScope.h"
#include "com/ComModule.h"
#include "vb/VbPumpFilter.h"
#include "vb/VbVariant.h"
#include "win/TreeView.h"
#include "win/Window.h"

// Readiness stages.
enum FormReadinessStage : short { frLoading = 0, frFailed = 1, frReady = 2 };

class frmMenus;
class OptionsMenuLink;

class frmTesselOptions : public win::Window,
                         public OptionsWindowServices,
                         public CategoryHost,
                         public ExeScanHost,
                         public CategoryTreeWindow,
                         public OptionsEditorWindow,
                         public AliasDialogOwner {
    // Ahead of the controls: the window procedure runs while they are being created.
    short formReadiness_ = frLoading;
    bool formUnloaded_ = false;
    vb::Variant returnValue_;
    short mdiFrmWindowState_ = 0;
    short windowState2_ = 0;
    bool needToSaveUserChoices_ = false;
    bool interruptible_ = false;
    bool timerEventActive_ = false;
    bool windowClosing_ = false;
    bool optionsClosing_ = false;
    bool findPending_ = false;
    bool firstActivationDone_ = false;
    bool activationPosted_ = false;
    bool timerEventBusy_ = false;
    bool tmrBusy_ = false;
    bool unloadHandled_ = false;
    bool created_ = false;
    int resizeSettleCount_ = 0;
    // Steps that run long or pump messages (WorkScope.h): a close asked for meanwhile waits
    // until the last of them ends.
    int work_ = 0;
    bool closePending_ = false;
    // Handlers of the window and of its big controls now running (WorkScope.h).
    int handlerDepth_ = 0;
    std::map<std::wstring, std::wstring> noteFiles_;

public:
    frmTesselOptions();
    ~frmTesselOptions() override;

    // The library's shared instance: created (and loaded) on first use, released when unloaded.
    static frmTesselOptions& Default();
    static frmTesselOptions* Existing();
    // Frees the window objects that were closed and no longer run code or sit under a modal
    // loop, with what they hold (the lists' data, the automation object); a live window stays.
    static void FreeClosedWindows();

    // ---- public variables ----
    short CategoryFileUntouchedFlag = 0;  // tested by the default associations at their start
    short DragInProgress = 0;
    long ToolTipCountdown = 4;
    DATE ProgramListDate = 0;

    // ---- public members ----
    short FormReadiness() const override { return formReadiness_; }
    void SetFormUnloaded(bool value) override { formUnloaded_ = value; }
    bool FormUnloadedFlag() const { return formUnloaded_; }
    void SetReturnValue(const vb::Variant& value) { returnValue_ = value; }
    void SetMdiFrmWindowState(short value) { mdiFrmWindowState_ = value; }
    short MdiFrmWindowState() const { return mdiFrmWindowState_; }
    short WindowState2() const { return windowState2_; }
    std::wstring GetHowDoIFile(const std::wstring& key);
    void AddHowDoIFile(const std::wstring& key, const std::wstring& path);
    bool Interruptible() const { return interruptible_; }
    void SetInterruptible(bool value) override { interruptible_ = value; }
    // Some step of the window is still on the stack: it cannot close now.
    bool Working() const { return work_ > 0; }
    // Any code of the window is still on the stack, a marked step or any handler (a pop-up
    // menu's loop, a drag, a status text that lets messages through): the object must stay.
    bool Running() const { return work_ > 0 || handlerDepth_ > 0; }
    void HandlerBegins() override { ++handlerDepth_; }
    void HandlerEnds() override { --handlerDepth_; }
    void WorkBegins() override;
    void WorkEnds() override;
    bool Closing() const override { return windowClosing_; }
    // A close came while a step worked and waits for the last one to end.
    bool ClosePending() const { return closePending_; }
    void TimerEvent();
    void DisplayExtensions(OptionsListView& list);

    // The automation object that ShowForm answers and the frame lists (borrowed).
    IDispatch* Automation() const { return automation_.Get(); }
    // Shows the window modeless: as an MDI child of the host frame when there is one.
    void ShowForm();
    void BringToFront();

    // ---- category tree (TesselOptionsTree.cpp; the members themselves: CategoryTree) ----
    // Only while the window is loaded.
    CategoryTree& Categories() { return *categories_; }
    win::TreeNode CurrentTreeNode() const { return categories_ ? categories_->CurrentTreeNode() : nullptr; }

    // ---- typing, mouse buttons, label edits and drops in the tree and the lists
    //      (TesselOptionsEditing.cpp; the handlers themselves: OptionsEditor) ----
    // Only while the window is loaded.
    OptionsEditor& Editor() { return *editor_; }
    bool RedisplayExtensionList() override { return editor_ && editor_->RedisplayExtensionList(); }
    void ToolWorkBegins() override { WorkBegins(); }
    void ToolWorkEnds() override { WorkEnds(); }
    void SetAssociatedMenuItem() {
        if (editor_) editor_->SetAssociatedMenuItem();
    }
    // OptionsEditorWindow
    void SetFindPending() override { findPending_ = true; }
    void SetDragInProgress(bool value) override { DragInProgress = value ? -1 : 0; }
    DATE ProgramListModified() const override { return ProgramListDate; }
    void DisplayExtensions() override;
    long ExtensionRecordOfRow(int row) const override { return ExtensionRowTag(row + 1); }

    // ---- program list (TesselOptionsPrograms.cpp) ----
    void DisplayPrograms(bool force) override;
    void AddProgramRow(win::ListView& list, const std::vector<std::wstring>& fields, const std::wstring& tag,
                       bool check);
    static void YieldEvery400(bool reset);
    // The loaded program lines' short paths (field 4), element for element.
    const std::vector<std::wstring>& ProgramShortPaths() const { return programShortPaths_; }

    // ---- lifecycle (TesselOptionsLifecycle.cpp) ----
    void Form_Activate();
    bool EnsureProgramList();
    bool GetPrograms() override;
    void ShowFirstTimeWelcome();
    void tmr_Timer();
    void Form_Resize();
    // Lays the controls out at the present size when a resize waits for it and the window has room.
    void SettleLayout();
    // Each label at its one height on the list it names, whatever the window's size; the lists
    // take the room above and between the labels.
    void PlaceLabelsOnTheirLists();
    // Answers Cancel. A close asked for while a step works waits for its end unless forced.
    bool Form_QueryUnload(bool force = false);
    void Form_Unload();
    void Form_Terminate();
    // Closing as the user's close box asks it; false when the window refused.
    bool RequestClose();
    int ResizeSettleCount() const { return resizeSettleCount_; }
    bool TimerRunning() const { return tmrRunning_; }

    // ---- OptionsWindowServices ----
    void ShowInfo(const std::wstring& text) override;
    void SetAliasCount(long count) override;
    bool NeedToSaveUserChoices() const override { return needToSaveUserChoices_; }
    void SetNeedToSaveUserChoices(bool value) override { needToSaveUserChoices_ = value; }
    vb::List<HTREEITEM> GetNodesToBeRemoved() override;
    void RemoveProgram(HTREEITEM node, bool saveNow) override;
    bool CategoryFileUntouched() const override { return CategoryFileUntouchedFlag != 0; }
    AutoAssociateDialog* AutoAssociate() override;
    void AddProgramListRow(win::ListView& list, const std::vector<std::wstring>& fields, const std::wstring& lineIndex,
                           bool checked) override {
        AddProgramRow(list, fields, lineIndex, checked);
    }
    void ScrollChoicesToLeft() override;
    void AddProgramToSubcategory(HTREEITEM subcategory, win::ListView& source, bool scrollLeft) override;
    void AddExtensionToSubcategory(HTREEITEM subcategory, const std::wstring& extension, long recordIndex,
                                   bool scrollLeft) override;

    // ---- CategoryTreeWindow ----
    void SaveUserChoices(bool saveNow) override;
    void RescanPrograms() override;

    // ---- CategoryHost ----
    win::TreeNodes& Choices() override { return tvwChoices; }
    long ExtensionRowCount() const override { return lvwExts.Count(); }
    std::wstring ExtensionRowText(long row) const override { return lvwExts.ItemText(static_cast<int>(row) - 1); }
    long ExtensionRowTag(long row) const override;
    void SetCategoryFileUntouched(bool value) override { CategoryFileUntouchedFlag = value ? -1 : 0; }

    // ---- ExeScanHost ----
    win::Window& Form() override { return *this; }
    void ShowCrashRecoveryChoices(const std::wstring& title, bool onlyMailAndCopy) override;
    vb::Variant ReturnValue() const override { return returnValue_; }
    void SetProgramListTimeStamp(const FILETIME& lastWrite) override;
    void ShowMDIForm() override;

    // ---- the alias and new-extension commands (TesselOptionsAliasCommands.cpp) ----
    // "Assign Alias": frmAlias modally, as the program list's right button prepared it. The
    // "Remove Alias" entry calls frmAlias::Default().RemoveAlias().
    void mnuAssignAlias();
    // "Add Extension": frmExtensions modally; always 0.
    short mnuShowAddExtensions();
    // AliasDialogOwner
    OptionsListView& AliasProgramList() override { return lvwPrograms; }
    win::TreeNodes& AliasTree() override { return tvwChoices; }
    // ---- menus, notes, find keys and tool tips (TesselOptionsMenus.cpp) ----
    // The window's pop-up menus; nullptr before the load sequence made them.
    frmMenus* Menus() const { return menus_.get(); }
    void BuildHowDoIMenus();
    void SetMenusForOSVersion();
    // A WM_COMMAND of the menus; false for anything else.
    bool MenuCommand(WPARAM wParam, LPARAM lParam);
    void ShowToolTip();
    // Finds in the active list (lvwExts or lvwPrograms); repeat reuses the find dialog's criteria.
    void FindInListView(long direction, bool repeat);
    // The window's key preview of the lists' keys: F3, Shift+F3 and Ctrl+F.
    void Form_KeyUp(WPARAM key);
    // Members of the tree's editing that the menus call (TesselOptionsMenuEditing.cpp).
    void MenuRenameCategory();
    void MenuRenameSubcategory();
    void MenuAddSubcategory();
    void RedisplayExtensionListFromMenu();

    // ---- controls ----
    win::TreeView& tvwChoices;
    OptionsListView& lvwExts;
    OptionsListView& lvwPrograms;
    win::Label& lblChoices;
    win::Label& lblExts;
    win::Label& lblPrograms;
    win::Container& fraFilesToInclude;
    win::CheckBox& chkNormallyExcluded;
    win::CheckBox& chkWindows;
    win::CheckBox& chkSystemFiles;
    win::CheckBox& chkRelatedOnly;
    win::Container& picButtonUp;
    win::Container& picButtonDown;
    win::Container& picButtonUpOver;
    HostMdiExtender& mdiExt;

    // The toolbar pictures (owned by the window).
    HBITMAP ButtonPicture(int which) const { return pictures_[which]; }
    HostFrameProxy* HostFrame() const { return mdiExt.Frame(); }

protected:
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    LRESULT SystemMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool OnQueryUnload() override;
    void OnUnload() override;

private:
    win::TreeView& CreateFormAndTree();
    void Form_Initialize();
    void Form_Load();
    void LoadPictures();
    void LoadSequenceFailed();
    void FilterClicked();
    bool LibraryDialogOpen() const;
    void Form_KeyDown(WPARAM key);
    void StartTimer();
    void StopTimer();
    void UnloadOtherLibraryForms();
    // Unload as the Unload statement does: the query-unload steps may refuse.
    void UnloadForm();
    void DestroyForm();
    // What the library's pumps ask of each message first while the window's work runs (see
    // CloseInputInPump): installed when the first step of work begins, removed when the last ends.
    bool CloseInputInPump(MSG& msg);
    std::optional<vb::PumpFilterScope> workPumpFilter_;
    // A close box pressed in one of those pumps: it acts when the button comes up over it.
    struct PressedCloseBox {
        HWND window = nullptr;       // the window that got the press (it holds the capture)
        HWND closes = nullptr;       // the window that the box closes
        bool menuBarItem = false;    // the maximized child's box at the end of the frame's menu bar
    };
    PressedCloseBox pressedCloseBox_;
    void ForgetPressedCloseBox();
    static bool OverPressedCloseBoxOf(const PressedCloseBox& box, POINT screen);

    com::ComPtr<IDispatch> automation_;
    std::unique_ptr<CategoryTree> categories_;
    std::unique_ptr<OptionsMenuLink> menuLink_;
    std::unique_ptr<frmMenus> menus_;
    ToolTipTracker toolTips_;
    std::wstring lastExtSearch_;
    std::wstring lastProgramSearch_;
    void CreateMenus();
    void DestroyMenus();
    // The editor's pop-up entry point reaches the menus (and lets go of them).
    void ConnectMenus();
    void DisconnectMenus();
    std::unique_ptr<OptionsEditor> editor_;
    void CreateEditing();
    void ReleaseEditing();
    void DetachEditing();
    std::array<HBITMAP, 3> pictures_{};
    bool tmrRunning_ = false;
    bool addedToFrame_ = false;
    std::vector<std::wstring> programShortPaths_;
    // The last filling of the program list: filled at all, and the four boxes then.
    bool programsListed_ = false;
    std::array<bool, 4> lastFilters_{};
};

// Which look of the toolbar button a picture is.
enum ToolbarButtonPicture : int { tbpUp = 0, tbpDown = 1, tbpUpOver = 2 };

// The program scan that EnsureProgramList runs (rescan: the user agreed to rescan an old list);
// answers whether the scan completed. The data model's scan unless tests put their own.
using ProgramScan = std::function<bool(ExeScanHost& host, bool rescan)>;
ProgramScan SetProgramScan(ProgramScan scan);
// Runs the program scan (the test's own when one is set); answers whether it completed.
bool RunProgramScan(ExeScanHost& host, bool rescan);
