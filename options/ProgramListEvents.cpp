// The program list "lvwPrograms": typing to jump to a program, the mouse buttons (the menu with
// its "Refresh Exe's" age and alias entries, the alias dialog, the start of a drag) and the
// column headers.
#include <windows.h>
#include <commctrl.h>

#include <cmath>

#include "OptionsEditor.h"
#include "TypeAhead.h"
#include "basAliases.h"
#include "basErrorHandler.h"
#include "basUserChoices.h"

namespace {

DATE Today() {
    SYSTEMTIME now;
    GetLocalTime(&now);
    DATE date = 0;
    SystemTimeToVariantTime(&now, &date);
    return date;
}

}  // namespace

std::wstring RefreshExeCaptionFor(const std::wstring& designCaption, DATE listDate, DATE now) {
    // Whole days as the calendar counts them: the date parts, the times of day aside.
    const double days = std::trunc(now) - std::trunc(listDate);
    if (days < 0 || days >= 10000) return designCaption;
    return designCaption + L"   [" + std::to_wstring(static_cast<long>(days)) + L" Days since updated" + L"]";
}

void OptionsEditor::SetPositionInProgramsList(wchar_t typed) {
    TrappedVoid(L"SetPositionInProgramsList", [&] {
        std::vector<std::wstring> descriptions;
        const int count = lvwPrograms_.Count();
        descriptions.reserve(static_cast<size_t>(count));
        for (int row = 0; row < count; ++row) descriptions.push_back(lvwPrograms_.ItemText(row, 2));
        int row = ProgramTypeAheadRow(descriptions, SelectedRow(lvwPrograms_) + 1, std::wstring(1, typed));
        if (row > 0) SelectRow(lvwPrograms_, row - 1);
    });
}

void OptionsEditor::lvwPrograms_KeyPress(short& keyAscii) {
    if (Ready() && keyAscii > 0) SetPositionInProgramsList(static_cast<wchar_t>(keyAscii));
    keyAscii = 0;
}

void OptionsEditor::lvwPrograms_MouseDown(int button, int /*shift*/, POINT point) {
    if (!Ready()) return;
    TrappedVoid(L"lvwPrograms_MouseDown", [&] {
        const int row = RowAt(lvwPrograms_, point);

        if (!refreshExeCaptionKnown_) {
            refreshExeDesignCaption_ = menus_->RefreshExeCaption();
            refreshExeCaptionKnown_ = true;
        }
        menus_->SetRefreshExeCaption(RefreshExeCaptionFor(refreshExeDesignCaption_, window_.ProgramListModified(), Today()));

        if (row >= 0) {
            menus_->ShowAliasEntries(true);
            SelectRow(lvwPrograms_, row);
            if (button == mbLeft) {
                drag_.Drag(lvwPrograms_.Handle(), point, DragController::FileDragCursor());
                return;
            }
            PrepareAliasDialog(row);
        } else {
            menus_->ShowAliasEntries(false);
        }
        window_.SetDragInProgress(true);
        menus_->PopUp(4);
        window_.SetDragInProgress(false);
    });
}

void OptionsEditor::PrepareAliasDialog(int row) {
    if (!alias_) return;
    const std::wstring description = lvwPrograms_.ItemText(row, 2);
    std::wstring company = description;
    std::wstring product;
    size_t dash = description.find(L'-');
    if (dash != std::wstring::npos) {
        company = description.substr(0, dash > 0 ? dash - 1 : 0);
        product = dash + 2 < description.size() ? description.substr(dash + 2) : std::wstring();
    }
    alias_->Load();
    const long index = AliasIndex(GetListItemFields(lvwPrograms_, row));
    if (index > 0 && index <= AliasCount()) {
        const AliasRecord& record = Aliases()[index];
        alias_->SetFoundLabels(record.Company, record.Product, record.Version);
        alias_->SetAliasTexts(record.CompanyA, record.ProductA, record.VersionA);
    } else {
        alias_->SetFoundLabels(company, product, lvwPrograms_.ItemText(row, 1));
        alias_->SetAliasTexts(L"", L"", L"");
    }
    alias_->SetAliasRecordIndex(index);
}

void OptionsEditor::lvwPrograms_DragOver(HWND source, POINT /*point*/, int state) {
    if (source != lvwExts_.Handle()) return;
    if (state == dsEnter) drag_.SetDragIcon(DragController::NoDropCursor());
    else if (state == dsLeave) drag_.SetDragIcon(DragController::FileDragCursor());
}

void OptionsEditor::lvwPrograms_ColumnClick() {
    if (Ready()) window_.SetFindPending();
}
