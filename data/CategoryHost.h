// What the category file reads and writes of the options window: its category tree
// "tvwChoices", the rows of its extension list "lvwExts" and its flag "CategoryFileUntouched".
// The options window implements it; until one is installed the category procedures have no tree.
#pragma once
#include <string>

#include "win/TreeView.h"

class CategoryHost {
public:
    virtual win::TreeNodes& Choices() = 0;
    // lvwExts in list order: rows 1 to ExtensionRowCount, each with its text and its tag.
    virtual long ExtensionRowCount() const = 0;
    virtual std::wstring ExtensionRowText(long row) const = 0;
    virtual long ExtensionRowTag(long row) const = 0;
    virtual void SetCategoryFileUntouched(bool value) = 0;

protected:
    ~CategoryHost() = default;
};

// Install (nullptr removes); answers the previous one.
CategoryHost* SetCategoryHost(CategoryHost* host);
CategoryHost* CurrentCategoryHost();
