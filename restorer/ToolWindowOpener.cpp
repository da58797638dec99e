// The tool windows that the options window's extension-list menu opens.
#include "ToolWindowOpener.h"

#include "OptionsToolWindows.h"
#include "frmAssociationRestorer.h"
#include "frmPreviewerController.h"

namespace {

// "&Previewer Controller" shows a loaded controller as it is, its FormUse untouched; the
// Explorer list asks for its own use.
void OpenToolWindow(ToolWindow which, HWND owner) {
    switch (which) {
        case ToolWindow::AssociationRestorer:
            frmAssociationRestorer::Open(owner);
            break;
        case ToolWindow::PreviewerController:
            if (frmPreviewerController* open = frmPreviewerController::Existing()) {
                open->Show();
                SetForegroundWindow(open->Handle());
            } else {
                ShowPreviewerController(L"", owner);
            }
            break;
        case ToolWindow::ExplorerPrecatchController:
            ShowPreviewerController(frmPreviewerController::ExplorerPrecatchUse, owner);
            break;
    }
}

}  // namespace

void InstallToolWindowOpener() { SetToolWindowOpener(OpenToolWindow); }
