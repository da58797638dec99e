#include "basCategories.h"

#include "vb/VbThreadState.h"

namespace {
struct CategoryState {
    bool Loaded = false;
};
}  // namespace

bool& CategoriesLoaded() { return vb::ThreadInstance<CategoryState>().Loaded; }

void SaveCategories() {
    // Nothing reads the category tree into memory yet, so there is nothing of it to write.
    if (!CategoriesLoaded()) return;
}
