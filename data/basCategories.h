// The category file "Tesselcat.xml": read into the options window's category tree, written
// back from it, and the built-in tree for when the file is missing.
#pragma once
#include <string>
#include <vector>

#include "win/TreeView.h"

// Images of ilIcons that tell the kinds of node apart.
enum CategoryImage : int {
    ciExtensionsFolder = 1,
    ciExtension = 2,
    ciCategory = 5,
    ciProgramsFolder = 6,
    ciProgram = 7,
    ciSubcategory = 8,
};

// The category name that marks the file as shipped and never edited.
inline constexpr const wchar_t* UntouchedMarkerCategory = L"_UnTouched_1092374";

// True after a successful read; the file is written only while it is True.
bool& CategoriesLoaded();

bool GetCategories();
void SaveCategories();

// The element writers append their lines (CR LF ended, ANSI) to out.
void XmlSubcategoryElements(const win::TreeNodes& tree, win::TreeNode category, short indent,
                            std::string& out);
void XmlProgramElements(const win::TreeNodes& tree, win::TreeNode subcategory, short indent, std::string& out);
void XmlExtensionElements(const win::TreeNodes& tree, win::TreeNode subcategory, short indent,
                          std::string& out);
// The whole file as SaveCategories writes it.
std::string CategoryFileText(const win::TreeNodes& tree);

void CreateDefaultCategoryNodes(win::TreeNodes& tree);
// The tag of the first row of the extension list whose text is extension (case aside); -1 when none.
void FindProgramItemTag(const std::wstring& extension, long& tag);

// A program node's text: the alias shown for the five fields, else description & " " & version.
std::wstring ProgramNodeText(const std::vector<std::wstring>& fields);
