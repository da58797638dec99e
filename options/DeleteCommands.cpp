// Deleting programs, extensions, subcategories and categories. The subcategory "All" and the
// extension "*" are never removed, so a category or subcategory that holds one keeps it and
// stays; everything else in it goes.
#include "CategoryTree.h"
#include "basCategories.h"
#include "basErrorHandler.h"
#include "basMessageHandler.h"
#include "vb/VbError.h"
#include "vb/VbText.h"

namespace {
bool AskOkCancel(const std::wstring& question) {
    return CurrentMessagePresenter().Show(question, MB_OKCANCEL, vb::ProjectName()) == AnswerOk;
}
}  // namespace

void CategoryTree::mnuDeleteProgram() {
    TrappedVoid(L"mnuDeleteProgram", [&] {
        if (IsKind(current_, ciProgram)) RemoveProgram(current_, true);
    });
}

void CategoryTree::RemoveSelectedExtension() {
    TrappedVoid(L"RemoveSelectedExtension", [&] {
        if (IsKind(current_, ciExtension)) RemoveExtension(current_, true);
    });
}

void CategoryTree::mnuDeleteSubcategory(win::TreeNode subcategory, bool saveNow, bool quiet) {
    TrappedVoid(L"mnuDeleteSubcategory", [&] {
        if (!IsKind(subcategory, ciSubcategory)) return;
        const std::wstring name = tree_.Text(subcategory);
        if (vb::TextEquals(name, AllSubcategory)) return;
        if (!quiet && !AskOkCancel(L"Are you sure you want to remove subcategory '" + name + L"'")) return;

        std::vector<win::TreeNode> programs = ChildrenOf(ProgramsFolderOf(subcategory));
        for (auto p = programs.rbegin(); p != programs.rend(); ++p) RemoveProgram(*p, false);
        std::vector<win::TreeNode> extensions = ChildrenOf(ExtensionsFolderOf(subcategory));
        for (auto e = extensions.rbegin(); e != extensions.rend(); ++e) RemoveExtension(*e, false);

        // "*" refuses removal; a subcategory that still holds anything stays.
        win::TreeNode folder = ExtensionsFolderOf(subcategory);
        win::TreeNode programsFolder = ProgramsFolderOf(subcategory);
        bool empty = (!folder || tree_.Children(folder) == 0) && (!programsFolder || tree_.Children(programsFolder) == 0);
        if (empty) tree_.Remove(subcategory);
        Save(saveNow);
    });
}

void CategoryTree::mnuDeleteCategory() {
    TrappedVoid(L"mnuDeleteCategory", [&] {
        win::TreeNode category = current_;
        if (!IsKind(category, ciCategory)) return;
        const std::wstring name = tree_.Text(category);
        if (vb::TextEquals(name, NonAssociatedCategory)) return;
        if (!AskOkCancel(L"Are you sure you want to remove category '" + name + L"'")) return;

        std::vector<win::TreeNode> subcategories = ChildrenOf(category);
        for (auto s = subcategories.rbegin(); s != subcategories.rend(); ++s) mnuDeleteSubcategory(*s, false, true);
        if (tree_.Children(category) == 0) tree_.Remove(category);
        Save(true);
    });
}
