// The message presenter of the benchmarks that open the suite's own windows.
#pragma once
#include <string>

#include "basMessageHandler.h"

namespace benchsupport {

// No box may wait for a click in a benchmark; a shown message only counts and gets answer.
class CountingPresenter : public MessagePresenter {
public:
    explicit CountingPresenter(int answer) : answer_(answer) {}
    void Beep() override {}
    int Show(const std::wstring&, long, const std::wstring&) override {
        ++shown;
        return answer_;
    }
    int shown = 0;

private:
    int answer_;
};

}  // namespace benchsupport
