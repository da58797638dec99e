// The extension list: every extension key of the registry model in name order, with the
// association it names.
#include "basAssocLinks.h"
#include "basErrorHandler.h"
#include "basRegistryModel.h"
#include "basUserInterface.h"
#include "frmTesselOptions.h"
#include "vb/VbScreen.h"

void frmTesselOptions::DisplayExtensions(OptionsListView& list) {
    ProcGuard guard;
    try {
        ShowStatus(2, L"Listing Extensions", true);
        if (windowClosing_) return;
        list.BeginFill();
        list.ClearRows();
        const RegKeyRecords& records = ExtKeys();
        const std::vector<long>& order = ExtByName();
        for (size_t position = 1; position < order.size(); ++position) {
            // A row that cannot be added is passed over.
            const long index = order[position];
            if (index > 0 && static_cast<size_t>(index) < records.size())
                AddExtensionListItem(list, records[index], index);
            YieldEvery400(false);
            if (!Loaded()) return;
        }
        list.EndFill();
        ListViewAutoSizeColumns(list);
        vb::DoEvents();
        ShowStatus(2, L"", true);
    } catch (...) {
        list.EndFill();
        TrapError(L"DisplayExtensions");
    }
}
