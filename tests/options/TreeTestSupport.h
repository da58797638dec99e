// What the options window's tests share: a clean journal and model per test, and the message
// numbers that the presenter was shown.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "FakePresenter.h"
#include "LibraryMessages.h"
#include "basAliases.h"
#include "basMessageHandler.h"
#include "basRegistryModel.h"
#include "basUserChoices.h"
#include "vb/VbError.h"
#include "vb/VbList.h"

namespace treetest {

// The numbers of the catalogue messages shown, read from the boxes' titles ("Information 4516");
// 0 for a box of another kind.
inline std::vector<long> ShownNumbers(const FakePresenter& boxes) {
    std::vector<long> numbers;
    for (const ShownBox& box : boxes.shown) {
        size_t space = box.title.find_last_of(L' ');
        numbers.push_back(space == std::wstring::npos ? 0 : std::wcstol(box.title.c_str() + space + 1, nullptr, 10));
    }
    return numbers;
}

inline vb::List<std::wstring> ListOf(const std::vector<std::wstring>& lines) {
    vb::List<std::wstring> list;
    for (const std::wstring& line : lines) list.Add(line);
    return list;
}

inline std::vector<std::wstring> LinesOf(const vb::List<std::wstring>& list) {
    return std::vector<std::wstring>(list.begin(), list.end());
}

// Empty lists, no aliases, no extension records, the library's messages.
class JournalFixture : public ::testing::Test {
protected:
    void SetUp() override {
        SetMessageRows(LibraryMessageRow);
        vb::Err().Clear();
        ClearModel();
    }
    void TearDown() override {
        ClearModel();
        vb::Err().Clear();
    }
    static void ClearModel() {
        AddList().Clear();
        DefList().Clear();
        RemoveList().Clear();
        StaleEntries().Clear();
        Aliases().Clear();
        ExtKeys().clear();
    }

    FakePresenter boxes;
};

}  // namespace treetest
