// The close choice: keep the suite working minimized, or exit it.
#pragma once
#include "HostControls.h"
#include "win/Window.h"

class frmQuit : public win::Window {
    bool* exitFlag_ = nullptr;

public:
    frmQuit();
    static frmQuit& Default();
    static frmQuit* Existing();

    // Shows the window modally. OK writes the choice into exitFlag (true: Exit); closing the
    // window by its close box leaves exitFlag as it was.
    void Ask(bool& exitFlag);

    win::Container& fraOptions;
    OptionButton& optChoice0;
    ClickLabel& lblChoice0;
    OptionButton& optChoice1;
    ClickLabel& lblChoice1;
    win::Button& OKButton;

    OptionButton& optChoice(int index) { return index == 1 ? optChoice1 : optChoice0; }
    ClickLabel& lblChoice(int index) { return index == 1 ? lblChoice1 : lblChoice0; }

protected:
    LRESULT OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) override;

private:
    void OKButton_Click();
};
