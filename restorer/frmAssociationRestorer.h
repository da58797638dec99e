// The association restorer: how the Windows file associations differ from the last snapshot,
// as a list whose rows the user marks for restoring. Its activation takes the first snapshot
// on the suite's first start and leaves crash marks in the settings file while it compares.
#pragma once
#include <windows.h>
#include <oaidl.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "NeighbourServices.h"
#include "PrintList.h"
#include "vb/VbVariant.h"
#include "win/Window.h"

class frmAssociationRestorer : public win::Window, public PeriodicWindow {
    // Ahead of the controls: the window procedure runs while they are being created.
    bool created_ = false;
    bool firstActivation_ = false;
    bool globalArraysChanged_ = false;
    bool settingButtons_ = false;
    bool resizing_ = false;
    // The options window's controls, off while this window is open.
    OptionsWindowHold optionsHold_;
    int codeChecks_ = 0;        // check marks being set by code: no user-check rule runs
    short relayoutCounter_ = 0; // 0 nothing pending; Form_Resize sets 1
    double pendingHeight_ = 0;
    double pendingWidth_ = 0;
    long normalTop_ = 0, normalLeft_ = 0, normalWidth_ = 0, normalHeight_ = 0;
    vb::Variant returnValue_;
    IDispatch* automation_ = nullptr;
    std::vector<std::wstring> rowKeys_;
    // A Save, a restore or the activation at work (they let messages through): a close asked
    // for meanwhile waits for its end.
    int work_ = 0;
    bool closePending_ = false;
    // False while the list shows nothing because the registry could not be compared.
    bool compared_ = true;

    // Counts one piece of work, here and in the options window; a close that waited goes on
    // from the queue at the end of the last.
    class WorkHold {
    public:
        explicit WorkHold(frmAssociationRestorer& form);
        ~WorkHold();
        WorkHold(const WorkHold&) = delete;
        WorkHold& operator=(const WorkHold&) = delete;

    private:
        frmAssociationRestorer& form_;
        OptionsWindowServices* options_;
    };

public:
    frmAssociationRestorer();
    ~frmAssociationRestorer() override;

    static frmAssociationRestorer& Default();
    static frmAssociationRestorer* Existing();
    static void Release();

    // Loads the window (when needed) and shows it modeless, owned by owner (may be null).
    static frmAssociationRestorer& Open(HWND owner);

    // Members other windows reach by name (the crash-recovery dialog writes ReturnValue).
    IDispatch* Automation();
    const vb::Variant& ReturnValue() const { return returnValue_; }
    void SetReturnValue(const vb::Variant& value) { returnValue_ = value; }
    bool GlobalArraysChanged() const { return globalArraysChanged_; }
    void SetGlobalArraysChanged(bool value) { globalArraysChanged_ = value; }
    std::optional<long> NormalTop() const override { return normalTop_; }
    std::optional<long> NormalLeft() const override { return normalLeft_; }
    std::optional<long> NormalWidth() const override { return normalWidth_; }
    std::optional<long> NormalHeight() const override { return normalHeight_; }
    void TimerEvent() override;
    void Key2Ini(const std::wstring& text);
    void Detail2Ini(const std::wstring& text, bool force);
    // The printed list's column rules (PrintList.h).
    double SetColWidth(double currentWidth, double textWidth, double spacing) const {
        return ::SetColWidth(currentWidth, textWidth, spacing);
    }
    std::wstring TextLimitWidth(const std::wstring& text, win::PrintDevice& device, double limit) const {
        return ::TextLimitWidth(text, device, limit);
    }

    // The activation sequence; runs once per loaded window.
    void Form_Activate();
    // Reloads the registry, writes it as the new snapshot (read back once, then live), compares
    // and redisplays. Any failure keeps the last snapshot, tells the user, reads the last good
    // file again and compares it with the registry as it is (or, when the registry could not be
    // read whole, compares nothing).
    bool RefreshAssocSnapshot();
    // Takes the first snapshot when the file is missing (true: a Save ran, and compared or told
    // why not), else reads the file (false).
    bool CheckForAssocSnapshot();
    // Reloads the registry and compares it with the snapshot, and shows the list; when the
    // registry cannot be read whole the user is told, nothing is compared and the list is empty.
    bool CompareWithRegistry();
    // Whether a Save, a restore or the activation is at work.
    bool Working() const { return work_ > 0; }

    void cmd_Click(int index);
    void chk_Click(int index);
    void opt_Click(int index);
    void opt2_Click(int index);
    void lvw_ItemCheck(int row);
    void lvw_ItemClick(int row);
    // Writes the checked rows back into the registry after asking, then compares afresh.
    void RestoreMarkedChanges();
    void MarkUnmarkLvwItems(int mode);
    bool MarkUnmarkLvwItem(int row);
    void DisplayDiffs();
    void DisplayDiff(long index, const std::wstring& extraText, bool fillWas);
    void SetButtonsEnabledState();

    // The row's key ("k" and its difference's index) and that index (0 when the row has none).
    std::wstring RowKey(int row) const;
    long RowDiffIndex(int row) const;

    // Closes the window as its own code does: the query-unload steps, then the unload.
    void UnloadForm();

    std::array<win::Container*, 4> fra{};
    std::array<win::Button*, 8> cmd{};
    std::array<win::OptionButton*, 2> opt{};
    std::array<win::OptionButton*, 2> opt2{};
    std::array<win::CheckBox*, 9> chk{};
    win::Label* lbl0 = nullptr;
    win::ListView* lvw = nullptr;

protected:
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool OnQueryUnload() override;
    void OnUnload() override;

private:
    void Form_Load();
    void Form_Resize();
    void ApplyPendingResize();
    void QueryUnloadSteps();
    bool ChecksBox(int index) const;
    void ShowNothingCompared();
    // The texts a row shows, as one line for matching and telling.
    std::wstring RowText(int row) const;
};

// Window name as the library's windows know it.
inline constexpr const wchar_t* AssociationRestorerFormName = L"frmAssociationRestorer";

// What the library does when it starts: the restorer's checkpoint sink.
void StartAssociationRestorer();
