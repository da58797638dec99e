// What the options window gives the category tree's operations and the editor of its tree and
// lists, and the making of both once the controls exist.
#include "basExeScan.h"
#include "basUserChoices.h"
#include "frmTesselOptions.h"

void frmTesselOptions::CreateEditing() {
    if (!categories_) categories_ = std::make_unique<CategoryTree>(tvwChoices, static_cast<CategoryTreeWindow&>(*this));
    editor_ = std::make_unique<OptionsEditor>(static_cast<OptionsEditorWindow&>(*this), *categories_, lvwPrograms,
                                              lvwExts);
    editor_->Attach();
}

void frmTesselOptions::ReleaseEditing() {
    // The menus and the editor hold on to the tree's members: they go first.
    DestroyMenus();
    editor_.reset();
    categories_.reset();
}

void frmTesselOptions::DisplayExtensions() { DisplayExtensions(lvwExts); }
