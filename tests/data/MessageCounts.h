// Which catalogue messages the boxes of a test showed.
#pragma once
#include <algorithm>

#include "DataTestSupport.h"

inline int CountMessage(const FakePresenter& boxes, long n) {
    const std::vector<long> numbers = ShownNumbers(boxes);
    return static_cast<int>(std::count(numbers.begin(), numbers.end(), n));
}
