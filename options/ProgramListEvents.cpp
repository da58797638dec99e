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
#include "vb/VbText.h"

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
        int row = ProgramTypeAheadRow(descriptions, lvwPrograms_.SelectedRow() + 1, std::wstring(1, typed));
        if (row > 0) SelectRow(lvwPrograms_, row - 1);
    });
}

void OptionsEditor::lvwPrograms_KeyPress(short& keyAscii) {
    // Control characters (Ctrl+F, Enter, Escape, Backspace) are no text to jump by.
    if (Ready() && static_cast<unsigned short>(keyAscii) >= 32) SetPositionInProgramsList(static_cast<wchar_t>(keyAscii));
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
        menus_->PopUp(4);
    });
}

namespace {

// The live record made for the program of that long path; -1 when none.
long AliasIndexByLongPath(const std::wstring& longPath) {
    const vb::List<AliasRecord>& records = Aliases();
    for (long i = 1; i <= records.UBound(); ++i)
        if (!records[i].Removed && vb::TextEquals(records[i].LongPath, longPath)) return i;
    return -1;
}

}  // namespace

void OptionsEditor::PrepareAliasDialog(int row) {
    if (!alias_) return;
    const std::vector<std::wstring> fields = GetListItemFields(lvwPrograms_, row);
    std::wstring company = fields[0];
    std::wstring product;
    SplitDescription(fields[0], company, product);
    alias_->Load();
    long index = AliasIndex(fields);
    const bool shownAsAlias = index > 0;
    // A record the names shown do not lead to (one written from a wrong split of a company with
    // a "-") is still the program's: found by its long path, it can be removed or replaced.
    if (!shownAsAlias && fields.size() > 3) index = AliasIndexByLongPath(fields[3]);
    if (index > 0 && index <= AliasCount()) {
        const AliasRecord& record = Aliases()[index];
        if (shownAsAlias) alias_->SetFoundLabels(record.Company, record.Product, record.Version);
        else alias_->SetFoundLabels(company, product, fields[1]);
        alias_->SetAliasTexts(record.CompanyA, record.ProductA, record.VersionA);
    } else {
        alias_->SetFoundLabels(company, product, fields[1]);
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
