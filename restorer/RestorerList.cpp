// The difference list: rows from the recorded differences for the chosen view and filters,
// the rules that keep the buttons, options and class boxes in step with the rows, and the
// check rule of a row the user checks.
#include "basAssocCompare.h"
#include "basAssocLinks.h"
#include "basAssocSnapshot.h"
#include "basErrorHandler.h"
#include "basMessageHandler.h"
#include "basUserInterface.h"
#include "frmAssociationRestorer.h"
#include "vb/VbError.h"
#include "vb/VbText.h"

namespace {

// The association an extension record links to, or its own default value when that name is blank.
std::wstring AssociationShown(const RegKeyRecord& extension, const RegKeyRecords& associations) {
    const RegKeyRecord* association = RecordAt(associations, extension.Link);
    std::wstring name = association ? association->KeyName : std::wstring();
    if (vb::Trim(name).empty() && extension.ValueIndex >= 0) name = UnnamedValueText(extension);
    return name;
}

bool IsExtensionRow(int kind) { return kind == dkExtRemoved || kind == dkExtAdded; }
bool IsAssociationRow(int kind) { return kind >= dkAssocRemoved && kind <= dkAssocChanged; }

}  // namespace

bool frmAssociationRestorer::ChecksBox(int index) const { return chk[index]->Checked(); }

void frmAssociationRestorer::DisplayDiffs() {
    ProcGuard guard;
    try {
        const bool changes = opt2[0]->Checked();
        Detail2Ini(L"DDs", false);
        CountScope codeCheck(codeChecks_);
        lvw->Clear();
        rowKeys_.clear();
        const std::vector<AssocDiff>& diffs = AssocDiffs();
        for (size_t i = 1; i < diffs.size(); ++i) {
            const AssocDiff& d = diffs[i];
            if (changes) {
                Detail2Ini(L"DDs: Changes", false);
                if (d.Kind >= dkAssocRemoved && d.Kind <= dkExtAdded) DisplayDiff(static_cast<long>(i), L"", true);
                continue;
            }
            Detail2Ini(L"DDs: Missing Items", false);
            if (d.Kind == dkAssocMissing && ChecksBox(3)) {
                std::wstring flags;
                bool shown = false;
                if (d.Flags & mfContentType) {
                    flags += L"/Content Type";
                    shown = shown || ChecksBox(7);
                }
                if (d.Flags & mfNoOpen) {
                    flags += L"/NoOpen";
                    shown = shown || ChecksBox(5);
                }
                if (d.Flags & mfPersistentHandler) {
                    flags += L"/PersistentHandler";
                    shown = shown || ChecksBox(6);
                }
                if (d.Flags & mfShellEx) {
                    flags += L"/ShellEx";
                    shown = shown || ChecksBox(4);
                }
                if (flags.empty()) shown = ChecksBox(8);
                if (shown) DisplayDiff(static_cast<long>(i), flags.empty() ? L"" : L"[" + flags.substr(1) + L"]", true);
            } else if (d.Kind == dkProgramMissing && ChecksBox(2)) {
                std::wstring command;
                if (const RegKeyRecord* extension = RecordAt(ExtKeys(), d.CurrentIndex))
                    if (const RegKeyRecord* association = RecordAt(AssocKeys(), extension->Link)) {
                        long source = 0;
                        command = GetCmdLineFromAssoc(association->Subkeys, source);
                    }
                DisplayDiff(static_cast<long>(i), command.empty() ? L"" : L"[" + command + L"]", false);
            }
        }
        ListViewAutoSizeColumns(*lvw);
        SetButtonsEnabledState();
        ShowStatus(2, L"Items in List", false, true);
        ShowStatus(3, std::to_wstring(lvw->Count()), false, true);
    } catch (...) {
        TrapError(L"DisplayDiffs");
    }
}

void frmAssociationRestorer::DisplayDiff(long index, const std::wstring& extraText, bool fillWas) {
    ProcGuard guard;
    try {
        const AssocDiff& d = AssocDiffs().at(static_cast<size_t>(index));
        const ChangeKindRow& kind = ChangeKind().at(static_cast<size_t>(d.Kind));
        const int row = lvw->AddItem(kind.Action);
        if (row < 0) return;
        if (static_cast<size_t>(row) >= rowKeys_.size()) rowKeys_.resize(static_cast<size_t>(row) + 1);
        rowKeys_[static_cast<size_t>(row)] = L"k" + std::to_wstring(index);
        lvw->SetSubItem(row, 4, extraText.empty() ? kind.Detected : kind.Detected + L" " + extraText);

        const RegKeyRecord* current = RecordAt(ExtKeys(), d.CurrentIndex);
        const RegKeyRecord* snapshot = RecordAt(SnapshotExtKeys(), d.SnapshotIndex);
        const bool fromCurrent = d.Kind == dkExtAdded || d.Kind == dkAssocMissing || d.Kind == dkProgramMissing;
        if (const RegKeyRecord* named = fromCurrent ? current : snapshot) lvw->SetSubItem(row, 1, named->KeyName);
        if (fillWas && d.Kind != dkExtAdded && snapshot)
            lvw->SetSubItem(row, 2, AssociationShown(*snapshot, SnapshotAssocKeys()));
        if (d.Kind != dkExtRemoved && current) lvw->SetSubItem(row, 3, AssociationShown(*current, AssocKeys()));
    } catch (...) {
        TrapError(L"DisplayDiff");
    }
}

void frmAssociationRestorer::SetButtonsEnabledState() {
    if (settingButtons_) return;
    settingButtons_ = true;
    ProcGuard guard;
    try {
        const int rows = lvw->Count();
        const bool changes = opt2[0]->Checked();
        // "Save" also stays usable after a snapshot that did not read, so a new one can replace it.
        // So does one not taken live, and a list that could not be compared.
        SetControlEnabled(*this, *cmd[0], (rows > 0 && changes) || !SnapshotRead() || !SnapshotLive() || !compared_);

        bool anyChecked = false, anyUnchecked = false;
        for (int r = 0; r < rows && !(anyChecked && anyUnchecked); ++r) (lvw->Checked(r) ? anyChecked : anyUnchecked) = true;
        SetControlEnabled(*this, *opt[0], anyUnchecked);
        SetControlEnabled(*this, *opt[1], anyChecked);
        if (!anyChecked)
            opt[0]->SetChecked(true);
        else if (!anyUnchecked)
            opt[1]->SetChecked(true);
        const bool markMode = opt[0]->Checked();

        bool extensionRows = false, associationRows = false;
        for (int r = 0; r < rows && !(extensionRows && associationRows); ++r) {
            if (!markMode && !lvw->Checked(r)) continue;
            const int kind = KindOfAction(lvw->ItemText(r));
            extensionRows = extensionRows || IsExtensionRow(kind);
            associationRows = associationRows || IsAssociationRow(kind);
        }
        SetControlEnabled(*this, *chk[0], extensionRows);
        if (!extensionRows) chk[0]->SetChecked(false);
        SetControlEnabled(*this, *chk[1], associationRows);
        if (!associationRows) chk[1]->SetChecked(false);

        bool enabled[7] = {};
        for (int r = 0; r < rows; ++r) {
            const bool checked = lvw->Checked(r);
            if (checked) enabled[1] = true;
            if (markMode == checked) continue;  // not a row the mode acts on
            const int kind = KindOfAction(lvw->ItemText(r));
            const bool counts = (IsAssociationRow(kind) && chk[1]->Checked()) || (IsExtensionRow(kind) && chk[0]->Checked());
            if (!counts) continue;
            enabled[2] = true;
            if (lvw->Selected(r)) enabled[4] = true;
            if (kind == dkAssocRemoved || kind == dkExtRemoved) enabled[6] = true;
            if (kind == dkAssocAdded || kind == dkExtAdded) enabled[3] = true;
            if (kind == dkAssocChanged) enabled[5] = true;
        }
        for (int b = 1; b <= 6; ++b) SetControlEnabled(*this, *cmd[b], enabled[b]);
        SetControlEnabled(*this, *cmd[7], rows > 0);
    } catch (...) {
        TrapError(L"SetButtonsEnabledState");
    }
    settingButtons_ = false;
}

void frmAssociationRestorer::lvw_ItemCheck(int row) {
    if (codeChecks_ > 0) return;
    ProcGuard guard;
    try {
        if (lvw->Checked(row)) {
            const int kind = KindOfAction(lvw->ItemText(row));
            if (kind == dkAssocMissing || kind == dkProgramMissing) {
                MessageHandler(MessageBase + (kind == dkAssocMissing ? 4526 : 4525));
                CountScope codeCheck(codeChecks_);
                lvw->SetChecked(row, false);
                return;
            }
        }
        SetButtonsEnabledState();
    } catch (...) {
        TrapError(L"lvw_ItemCheck");
    }
}

void frmAssociationRestorer::lvw_ItemClick(int /*row*/) { SetButtonsEnabledState(); }

void frmAssociationRestorer::opt_Click(int /*index*/) { SetButtonsEnabledState(); }

void frmAssociationRestorer::opt2_Click(int /*index*/) {
    try {
        const bool missingItems = opt2[1]->Checked();
        SetControlEnabled(*this, *chk[2], missingItems);
        SetControlEnabled(*this, *chk[3], missingItems);
        for (int i = 4; i <= 8; ++i) SetControlEnabled(*this, *chk[i], missingItems && chk[3]->Checked());
        DisplayDiffs();
    } catch (...) {
        vb::CaptureCurrentException();
        vb::Err().Clear();
    }
}
