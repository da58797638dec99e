// The first-start association dialog: the default associations list the programs of one preset
// at a time here and read the answer from three flags. On its first activation the dialog
// announces the presets and answers "Automatic" by itself.
#pragma once
#include <array>

#include "NeighbourServices.h"
#include "win/Window.h"

class frmAutoAssociate : public win::Window {
    // Ahead of the controls: the window procedure runs while they are being created.
    bool addSelected_ = false;
    bool addAll_ = false;
    bool answered_ = false;
    bool activated_ = false;

public:
    frmAutoAssociate();

    static frmAutoAssociate& Default();
    static frmAutoAssociate* Existing();
    static void Release();

    bool AddSelected() const { return addSelected_; }
    void SetAddSelected(bool value) { addSelected_ = value; }
    bool AddAll() const { return addAll_; }
    void SetAddAll(bool value) { addAll_ = value; }
    bool Answered() const { return answered_; }
    void SetAnswered(bool value) { answered_ = value; }

    void OKButtonClicked();
    void CancelButtonClicked();
    void AddAllClicked();

    // 0 description, 1 instruction, 2 title, 3 extensions, 4 sets left, 5 to 7 headings.
    std::array<win::Label*, 8> lbl{};
    win::ListView& lvwPrograms;
    win::Button& OKButton;
    win::Button& CancelButton;
    win::Button& cmdAddAll;

protected:
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void FirstActivation();
};

// The dialog as the default associations reach it (through the options window's services):
// one lasting object that stands for whichever instance is current, so the dialog can be
// closed and shown again in one run. Touching a label, the list or a flag loads the dialog.
AutoAssociateDialog& SharedAutoAssociateDialog();
