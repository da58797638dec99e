// What the options window gives the category tree's operations and the editor of its tree and
// lists, and the making of both once the controls exist.
#include "basExeScan.h"
#include "basUserChoices.h"
#include "frmTesselOptions.h"

void frmTesselOptions::CreateEditing() {
    categoryTree_ = std::make_unique<CategoryTree>(tvwChoices, static_cast<CategoryTreeWindow&>(*this));
    editor_ = std::make_unique<OptionsEditor>(static_cast<OptionsEditorWindow&>(*this), *categoryTree_, lvwPrograms,
                                              lvwExts);
    editor_->Attach();
    editor_->SetAliasDialog(&AliasDialogOfLibrary());
    SetAliasDialogOwner(this);
}

void frmTesselOptions::ReleaseEditing() {
    if (CurrentAliasDialogOwner() == this) SetAliasDialogOwner(nullptr);
    editor_.reset();
    categoryTree_.reset();
}

void frmTesselOptions::SaveUserChoices(bool saveNow) { ::SaveUserChoices(saveNow); }

void frmTesselOptions::RescanPrograms() {
    // The scan that the load sequence runs (tests put their own), asked to rescan.
    ProgramScan scan = SetProgramScan(nullptr);
    SetProgramScan(scan);
    if (scan) {
        scan(*this, true);
        return;
    }
    bool ok = true;
    RefreshExeList(*this, true, true, true, true, ok);
}

void frmTesselOptions::DisplayExtensions() { DisplayExtensions(lvwExts); }
