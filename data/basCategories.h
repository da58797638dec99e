// The category file "Tesselcat.xml" as the saves of the user's data see it.
#pragma once

// True after the category file was read into the tree; the file is written only while it is
// set, so a tree that did not come from the file never replaces it.
bool& CategoriesLoaded();

// Writes the category tree to CategoryFilePath while CategoriesLoaded is set.
void SaveCategories();
