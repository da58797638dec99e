// The tree's editing members as the window's menus reach them.
#include "CategoryTree.h"
#include "OptionsMenus.h"
#include "frmTesselOptions.h"

void frmTesselOptions::MenuRenameCategory() {
    if (editor_) editor_->mnuRenameCategory();
}

void frmTesselOptions::MenuRenameSubcategory() {
    if (editor_) editor_->mnuRenameSubcategory();
}

void frmTesselOptions::MenuAddSubcategory() {
    std::wstring name;
    if (editor_) editor_->mnuAddSubcategory(name);
}

void frmTesselOptions::RedisplayExtensionListFromMenu() { RedisplayExtensionList(); }

void frmTesselOptions::ConnectMenus() {
    if (editor_ && menus_) editor_->SetPopupMenus(menus_.get());
}

void frmTesselOptions::DisconnectMenus() {
    if (editor_) editor_->SetPopupMenus(nullptr);
}
