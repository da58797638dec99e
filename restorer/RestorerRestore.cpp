// The restorer's "Restore" button: the checked rows written back into the registry, then the
// model, the comparison and the list brought up to date.
#include "AssocRestore.h"
#include "basAssocCompare.h"
#include "basErrorHandler.h"
#include "basMessageHandler.h"
#include "basUserInterface.h"
#include "frmAssociationRestorer.h"
#include "vb/VbError.h"

void frmAssociationRestorer::RestoreMarkedChanges() {
    ProcGuard guard;
    SetControlsEnabled(*this, false);
    try {
        const int answer =
            CurrentMessagePresenter().Show(L"Are you sure you want to restore now?", MB_YESNO, L"Association Restorer");
        if (answer == IDYES) {
            std::vector<RestoreRow> rows;
            const int count = lvw->Count();
            for (int row = 0; row < count; ++row) {
                if (!lvw->Checked(row)) continue;
                globalArraysChanged_ = true;
                rows.push_back(RestoreRow{RowDiffIndex(row), KindOfAction(lvw->ItemText(row))});
            }
            RestoreDifferences(rows);
        }
    } catch (...) {
        TrapError(L"RestoreMarkedChanges");
    }
    // Whatever happened above: a restore that touched the registry is shown as it now stands.
    try {
        if (globalArraysChanged_) {
            ReloadModelFromRegistry();
            DetermineAssocExtDiffs();
            DisplayDiffs();
        }
    } catch (...) {
        TrapError(L"RestoreMarkedChanges");
    }
    globalArraysChanged_ = false;
    if (Loaded()) SetControlsEnabled(*this, true);
}
