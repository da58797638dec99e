// The restorer's "Restore" button: the registry read again and compared, the checked rows that
// still hold written back into the registry, then the model, the comparison and the list
// brought up to date, and the user told of the rows that were left alone.
#include "AssocRestore.h"
#include "basAssocCompare.h"
#include "basAssocSnapshot.h"
#include "basErrorHandler.h"
#include "basMessageHandler.h"
#include "basUserInterface.h"
#include "frmAssociationRestorer.h"
#include "vb/VbError.h"

std::wstring frmAssociationRestorer::RowText(int row) const {
    std::wstring text;
    for (int column = 0; column <= 3; ++column) text += lvw->ItemText(row, column) + L"\t";
    return text;
}

namespace {

// The row as the user knows it: its action and extension.
std::wstring RowLabel(const win::ListView& list, int row) { return list.ItemText(row, 0) + L" " + list.ItemText(row, 1); }

}  // namespace

void frmAssociationRestorer::RestoreMarkedChanges() {
    ProcGuard guard;
    WorkHold work(*this);
    SetControlsEnabled(*this, false);
    std::vector<std::wstring> leftAlone;
    try {
        const int answer =
            CurrentMessagePresenter().Show(L"Are you sure you want to restore now?", MB_YESNO, RestorerMessageTitle);
        if (answer == IDYES) {
            // The checked rows by what they show: the list was compared some time before the click.
            std::vector<std::wstring> checked;
            std::vector<std::wstring> labels;
            for (int row = 0; row < lvw->Count(); ++row) {
                if (!lvw->Checked(row)) continue;
                checked.push_back(RowText(row));
                labels.push_back(RowLabel(*lvw, row));
            }
            // The registry as it is at the click: only rows that still hold are restored.
            if (!checked.empty() && CompareWithRegistry()) {
                globalArraysChanged_ = true;
                std::vector<RestoreRow> rows;
                std::vector<bool> taken(static_cast<size_t>(lvw->Count()), false);
                for (size_t c = 0; c < checked.size(); ++c) {
                    int found = -1;
                    for (int row = 0; row < lvw->Count() && found < 0; ++row)
                        if (!taken[static_cast<size_t>(row)] && RowText(row) == checked[c]) found = row;
                    if (found < 0) {
                        leftAlone.push_back(labels[c] + L": the registry has changed since the list was shown");
                        continue;
                    }
                    taken[static_cast<size_t>(found)] = true;
                    rows.push_back(RestoreRow{RowDiffIndex(found), KindOfAction(lvw->ItemText(found))});
                }
                for (const RefusedRow& refused : RestoreDifferences(rows)) {
                    for (int row = 0; row < lvw->Count(); ++row)
                        if (RowDiffIndex(row) == refused.DiffIndex) leftAlone.push_back(RowLabel(*lvw, row) + L": " + refused.Why);
                }
            }
        }
    } catch (...) {
        TrapError(L"RestoreMarkedChanges");
    }
    // Whatever happened above: a restore that touched the registry is shown as it now stands.
    try {
        if (globalArraysChanged_ && Loaded()) CompareWithRegistry();
    } catch (...) {
        TrapError(L"RestoreMarkedChanges");
    }
    globalArraysChanged_ = false;
    if (!leftAlone.empty() && Loaded()) {
        std::wstring text = L"These rows were not restored:\r\n";
        for (const std::wstring& line : leftAlone) text += L"\r\n" + line;
        CurrentMessagePresenter().Show(text, MB_OK | MB_ICONINFORMATION, RestorerMessageTitle);
    }
    if (Loaded()) SetControlsEnabled(*this, true);
}
