// The options window's side of its category tree: what the data model reaches of the tree's
// members, and what those members use of the window.
#include "basUserChoices.h"
#include "basUserInterface.h"
#include "frmTesselOptions.h"

vb::List<HTREEITEM> frmTesselOptions::GetNodesToBeRemoved() {
    return categories_ ? categories_->GetNodesToBeRemoved() : vb::List<HTREEITEM>();
}

void frmTesselOptions::RemoveProgram(HTREEITEM node, bool saveNow) {
    if (categories_) categories_->RemoveProgram(node, saveNow);
}

void frmTesselOptions::AddProgramToSubcategory(HTREEITEM subcategory, win::ListView& source, bool scrollLeft) {
    if (categories_) categories_->AddProgramToSubcategory(subcategory, &source, scrollLeft);
}

void frmTesselOptions::AddExtensionToSubcategory(HTREEITEM subcategory, const std::wstring& extension,
                                                 long recordIndex, bool scrollLeft) {
    if (categories_) categories_->AddExtensionToSubcategory(subcategory, extension, recordIndex, scrollLeft);
}

void frmTesselOptions::ScrollChoicesToLeft() { ScrollToLeft(tvwChoices); }

void frmTesselOptions::SaveUserChoices(bool saveNow) { ::SaveUserChoices(saveNow); }

void frmTesselOptions::RescanPrograms() { RunProgramScan(*this, true); }
