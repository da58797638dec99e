#include "TypeAhead.h"

#include <algorithm>
#include <cstdlib>
#include <functional>

#include "vb/VbText.h"

namespace {

using LetterOf = std::function<std::wstring(int row)>;

int Sign(int value) { return (value > 0) - (value < 0); }

int Compare(const std::wstring& typed, const std::wstring& letter) {
    return Sign(vb::StrComp(typed, letter, vb::TextCompare));
}

int StepBack(int index) { return std::min(-(index / 2), -1); }
int StepForward(int index, int count) { return std::max((count - index + 1) / 2, 1); }

// Moves by step, halving it toward the letter each time; stops on the letter, when the step
// is used up, or after the second step of one row.
int Bisect(const LetterOf& letter, int count, int index, int step, int lower, const std::wstring& typed) {
    int unitSteps = 0;
    for (int guard = 0; guard < 64 && step != 0; ++guard) {
        index = std::clamp(index + step, lower, count);
        if (std::abs(step) == 1) ++unitSteps;
        int comparison = Compare(typed, letter(index));
        if (comparison == 0 || unitSteps >= 2) break;
        step = ((std::abs(step) + 1) / 2) * comparison;
    }
    return index;
}

// The first of the rows that start with the letter, from one of them.
int FirstOfRun(const LetterOf& letter, int index, const std::wstring& typed) {
    if (Compare(typed, letter(index)) != 0) return index;
    while (index > 1 && Compare(typed, letter(index - 1)) == 0) --index;
    return index;
}

// sameLetter: what a letter equal to the selected row's does; answers the row to take, or 0
// to search again from the top.
int Search(const LetterOf& letter, int count, int selected, const std::wstring& typed,
           const std::function<int(int index)>& sameLetter) {
    if (count <= 0) return 0;
    int index = std::clamp(selected, 1, count);
    int comparison = Compare(typed, letter(index));
    int step = 0;
    if (comparison < 0) {
        step = StepBack(index);
    } else if (comparison > 0) {
        step = StepForward(index, count);
    } else {
        if (selected < 1) return FirstOfRun(letter, index, typed);
        if (int next = sameLetter(index)) return next;
        step = StepBack(index);
    }
    index = Bisect(letter, count, index, step, 1, typed);
    return FirstOfRun(letter, index, typed);
}

}  // namespace

std::wstring CompanyOfDescription(const std::wstring& description) {
    size_t dash = description.find(L'-');
    return vb::RTrim(dash == std::wstring::npos ? description : description.substr(0, dash));
}

int ProgramTypeAheadRow(const std::vector<std::wstring>& descriptions, int selected, const std::wstring& typed) {
    const int count = static_cast<int>(descriptions.size());
    LetterOf letter = [&](int row) { return descriptions[static_cast<size_t>(row - 1)].substr(0, 1); };
    return Search(letter, count, selected, typed, [&](int index) {
        const std::wstring company = CompanyOfDescription(descriptions[static_cast<size_t>(index - 1)]);
        for (int row = index + 1; row <= count; ++row) {
            if (vb::TextEquals(CompanyOfDescription(descriptions[static_cast<size_t>(row - 1)]), company)) continue;
            return Compare(typed, letter(row)) == 0 ? row : 0;
        }
        return 0;
    });
}

int ExtensionTypeAheadRow(const std::vector<std::wstring>& extensions, int selected, const std::wstring& typed) {
    const int count = static_cast<int>(extensions.size());
    LetterOf letter = [&](int row) {
        const std::wstring& text = extensions[static_cast<size_t>(row - 1)];
        return text.size() > 1 ? text.substr(1, 1) : std::wstring();
    };
    return Search(letter, count, selected, typed, [&](int index) {
        return index < count && Compare(typed, letter(index + 1)) == 0 ? index + 1 : 0;
    });
}
