// The options window's side of the editor of its tree and lists: made once the controls and the
// tree's members exist, let go before they go.
#include "frmTesselOptions.h"

void frmTesselOptions::CreateEditing() {
    if (!categories_) return;
    editor_ = std::make_unique<OptionsEditor>(static_cast<OptionsEditorWindow&>(*this), *categories_, lvwPrograms,
                                              lvwExts);
    editor_->Attach();
    editor_->SetAliasDialog(&AliasDialogOfLibrary());
    SetAliasDialogOwner(this);
}

void frmTesselOptions::ReleaseEditing() {
    // The menus hold on to the editor and the tree's members: they go first.
    DetachEditing();
    DestroyMenus();
    editor_.reset();
}

void frmTesselOptions::DetachEditing() {
    if (CurrentAliasDialogOwner() == this) SetAliasDialogOwner(nullptr);
}

void frmTesselOptions::DisplayExtensions() { DisplayExtensions(lvwExts); }
