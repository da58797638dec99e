// The previewer controller: lists the extensions that Windows previews as images, or those
// that Explorer's per-extension keys pre-catch, one row each with a check box. Unchecking a
// row appends the previewer-disable tag to the registry values that carry the behaviour;
// checking it again writes their bare texts back. Rows act at once; there is nothing to save.
#pragma once
#include <windows.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "NeighbourServices.h"
#include "basRegistryModel.h"
#include "win/PrintDevice.h"
#include "win/Window.h"

class frmPreviewerController : public win::Window, public ExtensionListView, public PeriodicWindow {
public:
    // FormUse that selects the Explorer pre-catch list; empty selects the image previewers.
    static constexpr const wchar_t* ExplorerPrecatchUse = L"Explorer Precatch Controller";

private:
    // Ahead of the controls: the window procedure runs while they are being created.
    enum class ListKind { Previewers, ExplorerPrecatch, None };
    std::wstring formUse_;
    ListKind kind_ = ListKind::Previewers;  // fixed when the window loads
    std::vector<long> rowList_;             // record indexes in display order
    std::vector<std::wstring> rowKeys_;     // "k" & record index, per row
    std::vector<long> rowTags_;
    std::optional<long> normalTop_, normalLeft_, normalWidth_, normalHeight_;
    int resizeCounter_ = 0;
    long pendingWidth_ = 0;
    long pendingHeight_ = 0;
    bool activated_ = false;
    bool settingButtons_ = false;
    bool checksByCode_ = false;        // the list's check events are our own
    OptionsWindowHold optionsHold_;  // the options window's controls, off while this window is open

public:
    frmPreviewerController();

    // The shared instance: created (loaded) on first use, with the FormUse set before.
    static frmPreviewerController& Default();
    static frmPreviewerController* Existing();
    static void Release();
    // FormUse for the next load of the shared instance, as the menus set it before showing.
    static void SetNextFormUse(const std::wstring& formUse);

    const std::wstring& FormUse() const { return formUse_; }
    void SetFormUse(const std::wstring& formUse) { formUse_ = formUse; }

    std::optional<long> NormalTop() const override { return normalTop_; }
    std::optional<long> NormalLeft() const override { return normalLeft_; }
    std::optional<long> NormalWidth() const override { return normalWidth_; }
    std::optional<long> NormalHeight() const override { return normalHeight_; }

    // The options window's timer calls this every 125 ms.
    void TimerEvent() override;
    std::wstring TextLimitWidth(const std::wstring& text, win::PrintDevice& device, double width);

    // The key of a row ("k" & its record's index).
    std::wstring RowKey(int row) const;

    // Smallest size of the normal window, in twips.
    static constexpr long MinimumWidth = 4700;
    static constexpr long MinimumHeight = 4300;

    win::ListView& lvw;
    // 0 the "List" frame, 1 the frame of "Done".
    std::array<win::Container*, 2> fra{};
    // 0 "Print", 1 "Uncheck All", 2 "Check All", 3 "Done".
    std::array<win::Button*, 4> cmd{};

    // ExtensionListView.
    long AddExtensionRow(const std::wstring& key, const std::wstring& text) override;
    void SetRowSubItem(long row, int subItem, const std::wstring& text) override;
    void SetRowTag(long row, long tag) override;

protected:
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    bool OnQueryUnload() override;
    void OnUnload() override;

private:
    // What one rewrite of a value did.
    enum class Rewritten { Nothing, Written, Refused };
    struct Rewrite {
        Rewritten result = Rewritten::Nothing;
        long valueIndex = -1;
        vb::Variant oldData;
    };

    void FormLoad();
    void FormActivate();
    void FormResize(WPARAM sizeType);
    void ApplyPendingResize();
    void ButtonClicked(int index);

    void GetExtensions();
    bool ExtensionIsPrecaught(const RegKeyRecord& record);
    bool ExtensionHasPreviewer(const RegKeyRecord& record);
    void DisplayExtensions();
    bool IsExplorerPrecatchDisabled(const RegKeyRecord& record);
    bool IsPreviewerDisabled(const RegKeyRecord& record);
    static long FindRecordValue(const std::vector<RegValueRecord>& values, const std::wstring& name, bool& found);
    bool ChangeExplorerFileExtFlag(int row);
    bool ChangePreviewerFlag(int row);
    Rewrite RewriteRegValue(RegKeyRecord& record, HKEY root, const std::wstring& key, const std::wstring& valueName,
                            const std::wstring& tag, long valueIndex, const std::wstring& expected);
    void UndoRewrites(RegKeyRecord& record, HKEY root, const std::wstring& key, const std::vector<Rewrite>& done,
                      const std::vector<std::wstring>& names);
    void SetButtonsEnabledState();
    void CheckAllRows(bool state);
    // Runs the row-check handler; false when the registry refused the change.
    bool RowCheckChanged(int row);
    void SetCheckByCode(int row, bool checked);
    long RowIndex(int row) const;
    void PrintList();
};

// Shows the controller modeless, owned by owner (nullptr: none), with the list that formUse
// selects. A controller already open with another list is closed first.
frmPreviewerController& ShowPreviewerController(const std::wstring& formUse, HWND owner);
