// The profession choice of a first start: the user says what they do and the help file opens at
// the tutorial for it. Nothing in the library opens it at present; it is kept complete.
#pragma once
#include <array>

#include "win/Window.h"

class frmProfession : public win::Window {
    // Ahead of the controls: the window procedure runs while they are being created.
    int savedPointer_ = 0;

public:
    frmProfession();

    static frmProfession& Default();
    static frmProfession* Existing();
    static void Release();

    // The help topic of the first chosen profession (the option's tag); 0 when none is chosen.
    long ChosenTopic() const;
    void OKButton_Click();

    win::Label& lblWho;
    win::Label& lblWhy;
    win::Container& fraOptions;
    std::array<win::Button*, 3> optChoice{};
    win::Button& OKButton;

protected:
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;
    void OnUnload() override;
};
