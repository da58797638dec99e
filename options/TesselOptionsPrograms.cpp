// The program list: the lines of "TesselExe.dat" under the four filter boxes, each row with
// the program's status, version, description, file name, folder and short path.
#include "basAliases.h"
#include "basErrorHandler.h"
#include "basProgramList.h"
#include "basStrings.h"
#include "basUserInterface.h"
#include "frmTesselOptions.h"
#include "vb/VbScreen.h"
#include "vb/VbText.h"

namespace {

// The colour of an alias shown in place of what the scan found (&HFF0000, blue).
constexpr long kAliasColour = 0xFF0000;

long& RowsSinceYield() {
    static long rows = 0;
    return rows;
}

}  // namespace

void frmTesselOptions::YieldEvery400(bool reset) {
    long& rows = RowsSinceYield();
    if (reset) {
        rows = 0;
        return;
    }
    if (++rows >= 400) {
        vb::DoEvents();
        rows = 0;
    }
}

void frmTesselOptions::FilterClicked() { DisplayPrograms(false); }

void frmTesselOptions::DisplayPrograms(bool force) {
    ProcGuard guard;
    try {
        ShowStatus(2, L"Listing Programs", true);
        if (windowClosing_) return;
        const std::array<bool, 4> filters{chkNormallyExcluded.Checked(), chkWindows.Checked(), chkSystemFiles.Checked(),
                                          chkRelatedOnly.Checked()};
        if (programsListed_ && filters == lastFilters_ && !force) {
            ShowStatus(2, L"", true);
            return;
        }
        programsListed_ = true;
        lvwPrograms.BeginFill();
        lvwPrograms.ClearRows();
        const std::vector<std::wstring>& lines = ProgramLines();
        const long last = ProgramLineLast();
        for (long i = 0; i <= last && static_cast<size_t>(i) < lines.size(); ++i) {
            std::vector<std::wstring> fields = vb::Split(lines[i], L"|");
            fields.resize(std::max<size_t>(fields.size(), 5));
            const std::wstring& status = fields[2];
            if (vb::TextEquals(status, L"NE") && !filters[0]) continue;
            if (vb::TextEquals(status, L"WD") && !filters[1]) continue;
            if (vb::TextEquals(status, L"SD") && !filters[2]) continue;
            if (vb::TextEquals(status, L"OK") && filters[3]) continue;
            YieldEvery400(false);
            if (!Loaded()) return;
            AddProgramRow(lvwPrograms, fields, std::to_wstring(i), false);
        }
        lvwPrograms.EndFill();
        lastFilters_ = filters;
        ShowStatus(2, L"", true);
    } catch (...) {
        lvwPrograms.EndFill();
        TrapError(L"DisplayPrograms");
    }
}

void frmTesselOptions::AddProgramRow(win::ListView& list, const std::vector<std::wstring>& fieldsIn,
                                     const std::wstring& tag, bool check) {
    ProcGuard guard;
    try {
        std::vector<std::wstring> fields = fieldsIn;
        fields.resize(std::max<size_t>(fields.size(), 5));
        auto* rows = dynamic_cast<OptionsListView*>(&list);
        const int row = list.AddItem(fields[2]);
        const long alias = AliasIndexByOriginal(fields);
        if (alias < 1) {
            list.SetSubItem(row, 1, fields[1]);
            list.SetSubItem(row, 2, fields[0]);
        } else {
            const AliasRecord& record = Aliases()[alias];
            list.SetSubItem(row, 2, record.CompanyA + L" - " + record.ProductA);
            list.SetSubItem(row, 1, record.VersionA);
            if (rows) {
                rows->SetSubItemColour(row, 2, kAliasColour);
                rows->SetSubItemColour(row, 1, kAliasColour);
            }
        }
        list.SetSubItem(row, 3, GetFileName(fields[3]));
        list.SetSubItem(row, 4, GetFolder(fields[3]));
        list.SetSubItem(row, 5, fields[4]);
        if (rows) rows->SetRowTagText(row, tag);
        if (check && (ListView_GetExtendedListViewStyle(list.Handle()) & LVS_EX_CHECKBOXES)) list.SetChecked(row, true);
    } catch (...) {
        TrapError(L"AddProgramRow");
    }
}
