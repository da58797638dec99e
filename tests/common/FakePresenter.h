// Stands in for the message box: records what would have been shown and gives set answers.
#pragma once
#include <deque>
#include <string>
#include <vector>

#include "basMessageHandler.h"

struct ShownBox {
    std::wstring prompt;
    long style;
    std::wstring title;
};

class FakePresenter : public MessagePresenter {
public:
    FakePresenter() { previous_ = SetMessagePresenter(this); }
    ~FakePresenter() override { SetMessagePresenter(previous_); }

    void Beep() override { ++beeps; }
    int Show(const std::wstring& prompt, long style, const std::wstring& title) override;

    int beeps = 0;
    std::vector<ShownBox> shown;
    std::deque<int> answers;  // answers to give in order; OK (1) when none is left
    bool throwOnShow = false;

private:
    MessagePresenter* previous_;
};
