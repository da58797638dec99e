// The options window's alias and new-extension commands: the dialogs they open and the window
// they work on.
#include "OptionsLinks.h"
#include "basErrorHandler.h"
#include "frmAlias.h"
#include "frmExtensions.h"
#include "frmTesselOptions.h"

void frmTesselOptions::mnuAssignAlias() {
    TrappedVoid(L"mnuAssignAlias", [&] {
        // Owned by the window the user sees: the host frame when the options window is its child.
        ShowModalOwnedBy(frmAlias::Default(), GetAncestor(Handle(), GA_ROOT));
    });
}

short frmTesselOptions::mnuShowAddExtensions() {
    TrappedVoid(L"mnuShowAddExtensions", [&] {
        frmExtensions& dialog = frmExtensions::Default();
        dialog.SetEditor(editor_.get());
        ShowModalOwnedBy(dialog, nullptr);
    });
    return 0;
}
