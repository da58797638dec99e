// The options window as the category file sees it, for the data tests.
#pragma once
#include <string>
#include <utility>
#include <vector>

#include "CategoryHost.h"
#include "UiTestForms.h"
#include "win/TreeView.h"

// The options window as the category file sees it: a real tree and a list of extension rows.
class FakeCategoryWindow : public CategoryHost {
public:
    FakeCategoryWindow() : form(L"frmTesselOptions", 300, 300) {
        tree = &form.Put<win::TreeView>(nullptr, L"tvwChoices", -1, win::Rect{0, 0, 300, 300});
    }
    win::TreeNodes& Choices() override { return *tree; }
    long ExtensionRowCount() const override { return static_cast<long>(rows.size()); }
    std::wstring ExtensionRowText(long row) const override { return rows[static_cast<size_t>(row - 1)].first; }
    long ExtensionRowTag(long row) const override { return rows[static_cast<size_t>(row - 1)].second; }
    void SetCategoryFileUntouched(bool value) override { untouched = value; }

    TestForm form;
    win::TreeView* tree = nullptr;
    std::vector<std::pair<std::wstring, long>> rows{{L"*", 0}, {L".bmp", 3}, {L".gif", 4}, {L".TXT", 7}};
    bool untouched = false;
};
