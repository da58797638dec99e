// The tree's editing members as the window's menus reach them.
#include "CategoryTree.h"
#include "OptionsMenus.h"
#include "frmTesselOptions.h"

void frmTesselOptions::MenuRenameCategory() {
    if (win::TreeNode node = CurrentTreeNode()) tvwChoices.StartLabelEdit(node);
}

void frmTesselOptions::MenuRenameSubcategory() {
    if (win::TreeNode node = CurrentTreeNode()) tvwChoices.StartLabelEdit(node);
}

void frmTesselOptions::MenuAddSubcategory() {}

void frmTesselOptions::RedisplayExtensionListFromMenu() { DisplayExtensions(lvwExts); }

void frmTesselOptions::ConnectMenus() {}

void frmTesselOptions::DisconnectMenus() {}
