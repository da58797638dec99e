// The category tree edited in place: names by label editing, deleting and renaming by key,
// dragging program and extension nodes, and drops from the two lists.
#include <windows.h>
#include <commctrl.h>

#include "OptionsEditor.h"
#include "basAssocLinks.h"
#include "basCategories.h"
#include "basErrorHandler.h"
#include "basMessageHandler.h"
#include "basRegistryModel.h"
#include "vb/VbError.h"
#include "vb/VbText.h"

namespace {

constexpr int kDeleteKey = 46;
constexpr int kF2Key = 113;
constexpr const wchar_t* kSingleExtensions = L"Single Extensions";

std::wstring Upper(std::wstring text) {
    if (!text.empty()) CharUpperBuffW(text.data(), static_cast<DWORD>(text.size()));
    return text;
}

}  // namespace

void OptionsEditor::tvwChoices_MouseDown(int button, int /*shift*/, POINT point) {
    if (!Ready()) return;
    TrappedVoid(L"tvwChoices_MouseDown", [&] {
        ops_.SetCurrentTreeNode(NodeAt(point));
        if (button == mbLeft) return;
        menus_->PopUpForNode(ops_.CurrentTreeNode());
    });
}

void OptionsEditor::tvwChoices_AfterLabelEdit(bool& cancel, std::wstring& newString, win::TreeNode edited) {
    TrappedVoid(L"tvwChoices_AfterLabelEdit", [&] {
        // The checks are made against the node that was edited, which a click may already have
        // taken the selection from.
        win::TreeNode node = edited ? edited : tree_.Selected();
        ops_.SetCurrentTreeNode(node);
        if (!node) {
            cancel = true;
            return;
        }
        win::TreeNode parent = tree_.Parent(node);
        const wchar_t* kind = L"Category";
        if (parent) {
            if (tree_.Parent(parent)) {
                cancel = true;  // only categories and subcategories take a new name
                return;
            }
            kind = L"Subcategory";
        }
        // A name of blanks only would leave a node nobody can read or find again.
        if (vb::Trim(newString).empty()) {
            cancel = true;
            return;
        }
        for (win::TreeNode sibling = tree_.FirstSibling(node); sibling; sibling = tree_.Next(sibling)) {
            if (!vb::TextEquals(tree_.Text(sibling), newString)) continue;
            CurrentMessagePresenter().Show(std::wstring(L"You already have a ") + kind + L" with the name '" +
                                               newString + L"'",
                                           StyleCritical, vb::ProjectName());
            cancel = true;
            return;
        }
        window_.SetNeedToSaveUserChoices(true);
    });
}

void OptionsEditor::tvwChoices_KeyDown(int& keyCode, int /*shift*/) {
    if (!Ready()) return;
    TrappedVoid(L"tvwChoices_KeyDown", [&] {
        win::TreeNode node = tree_.Selected();
        ops_.SetCurrentTreeNode(node);
        if (!node) return;
        const int image = tree_.Image(node);
        if (keyCode == kDeleteKey) {
            if (image == ciCategory) {
                ops_.mnuDeleteCategory();
            } else if (image == ciSubcategory) {
                ops_.mnuDeleteSubcategory(node, true, false);
            } else if (win::TreeNode parent = tree_.Parent(node)) {
                const int parentImage = tree_.Image(parent);
                if (parentImage == ciProgramsFolder) ops_.mnuDeleteProgram();
                else if (parentImage == ciExtensionsFolder) ops_.RemoveSelectedExtension();
            }
        } else if (keyCode == kF2Key) {
            if (image == ciCategory) mnuRenameCategory();
            else if (image == ciSubcategory) mnuRenameSubcategory();
        }
    });
}

void OptionsEditor::tvwChoices_MouseMove(int button, int /*shift*/, POINT point) {
    if (button != mbLeft || treeDragStarted_ || drag_.Dragging()) return;
    TrappedVoid(L"tvwChoices_MouseMove", [&] {
        win::TreeNode node = ops_.CurrentTreeNode();
        if (!node) return;
        const int image = tree_.Image(node);
        if (image != ciProgram && !(image == ciExtension && tree_.Text(node) != L"*")) return;
        treeDragStarted_ = true;
        // What is dragged is what the user sees selected, and its picture is the drag image.
        if (tree_.Selected() != node) tree_.Select(node);
        auto image_list = reinterpret_cast<HIMAGELIST>(
            SendMessageW(tree_.Handle(), TVM_CREATEDRAGIMAGE, 0, reinterpret_cast<LPARAM>(tree_.Selected())));
        drag_.DragNow(tree_.Handle(), point, nullptr, image_list);
    });
}

void OptionsEditor::tvwChoices_DragOver(HWND /*source*/, POINT point, int /*state*/) {
    TrappedVoid(L"tvwChoices_DragOver", [&] {
        win::TreeNode node = NodeAt(point);
        if (!treeDragStarted_) {
            if (node && tree_.Selected() != node) tree_.Select(node);
        } else {
            SetDropHighlight(node);
        }
    });
}

void OptionsEditor::tvwChoices_DragDrop(HWND source, POINT point) {
    TrappedVoid(L"tvwChoices_DragDrop", [&] {
        const bool fromTree = source == tree_.Handle();
        const bool fromPrograms = source == lvwPrograms_.Handle();
        const bool fromExts = source == lvwExts_.Handle();
        const int extRow = fromExts ? lvwExts_.SelectedRow() : -1;

        win::TreeNode target = NodeAt(point);
        if (!target) {
            std::wstring extension;
            if (fromTree) {
                win::TreeNode dragged = ops_.CurrentTreeNode();
                if (!dragged || tree_.Image(dragged) != ciExtension) {
                    treeDragStarted_ = false;  // a program dropped on empty space only ends its drag
                    return;
                }
                extension = tree_.Text(dragged);
            } else if (fromExts) {
                if (extRow < 0) return;
                extension = lvwExts_.ItemText(extRow);
            } else if (fromPrograms) {
                target = ops_.CurrentTreeNode();
                if (!target) return;
                tree_.EnsureVisible(target);
                tree_.Select(target);
            } else {
                return;
            }
            if (!fromPrograms) {
                // An extension dropped on empty space gets a subcategory of its own under
                // "Single Extensions", or the one it had there already.
                std::wstring subcategory = Upper(extension.size() > 1 ? extension.substr(1) : std::wstring());
                if (subcategory.empty()) return;
                win::TreeNode dragged = ops_.CurrentTreeNode();
                std::wstring category = kSingleExtensions;
                ops_.mnuAddCategory(category);
                mnuAddSubcategory(subcategory);
                target = ops_.CurrentTreeNode();
                if (fromTree) ops_.SetCurrentTreeNode(dragged);
            }
        }
        if (!target) return;

        if (fromTree) {
            win::TreeNode dragged = ops_.CurrentTreeNode();
            if (dragged && tree_.Image(dragged) == ciProgram) {
                ops_.AddProgramToSubcategory(target, nullptr, true);
            } else if (dragged && tree_.Image(dragged) == ciExtension) {
                const vb::Variant& tag = tree_.NodeTag(dragged);
                ops_.AddExtensionToSubcategory(target, tree_.Text(dragged), tag.IsNumeric() ? tag.ToLong() : 0, true);
            }
            treeDragStarted_ = false;
            SetDropHighlight(nullptr);
        } else if (fromPrograms) {
            ops_.AddProgramToSubcategory(target, &lvwPrograms_, true);
        } else if (fromExts && extRow >= 0) {
            ops_.AddExtensionToSubcategory(target, lvwExts_.ItemText(extRow), window_.ExtensionRecordOfRow(extRow), true);
        }
    });
}

bool OptionsEditor::mnuAddSubcategory(std::wstring& name) {
    return Trapped(L"mnuAddSubcategory", [&] {
        win::TreeNode category = ops_.CurrentTreeNode();
        if (!category) return false;
        const bool given = !name.empty();
        if (!given) {
            name = ops_.GetNewSubcategory(category);
        } else {
            for (win::TreeNode child = tree_.Child(category); child; child = tree_.Next(child)) {
                if (!vb::TextEquals(tree_.Text(child), name)) continue;
                tree_.EnsureVisible(child);
                tree_.Select(child);
                ops_.SetCurrentTreeNode(tree_.Selected());
                return false;
            }
        }
        // A renamed category or subcategory keeps the key it was made with, so the key that the
        // names give may be taken already.
        const std::wstring key = ops_.UniqueNodeKey(tree_.Text(category) + L"*" + name);
        win::TreeNode subcategory = tree_.Add(category, key, name, ciSubcategory);
        ops_.SetCurrentTreeNode(subcategory);
        win::TreeNode programs = tree_.Add(subcategory, key + L"*P", L"Programs", ciProgramsFolder);
        win::TreeNode extensions = tree_.Add(subcategory, key + L"*E", L"Extensions", ciExtensionsFolder);
        tree_.SetSorted(programs, true);
        tree_.SetSorted(extensions, true);
        tree_.EnsureVisible(extensions);
        tree_.Select(subcategory);
        if (given) ops_.SetCurrentTreeNode(tree_.Selected());
        else tree_.StartLabelEdit(tree_.Selected());
        return true;
    });
}

// The node the command acts on (the one right-clicked, or the selected one for F2) becomes the
// selected node and takes the edit, unless it carries the name that must stay.
void OptionsEditor::StartRenameOfCurrentNode(const wchar_t* fixedName) {
    win::TreeNode node = ops_.CurrentTreeNode();
    if (!node || vb::TextEquals(tree_.Text(node), fixedName)) return;
    if (tree_.Selected() != node) tree_.Select(node);
    tree_.StartLabelEdit(node);
}

void OptionsEditor::mnuRenameSubcategory() {
    TrappedVoid(L"mnuRenameSubcategory", [&] { StartRenameOfCurrentNode(AllSubcategory); });
}

void OptionsEditor::mnuRenameCategory() {
    TrappedVoid(L"mnuRenameCategory", [&] { StartRenameOfCurrentNode(NonAssociatedCategory); });
}

short OptionsEditor::IsExt(long& position, std::wstring& ext) {
    return Trapped(L"IsExt", [&] { return static_cast<short>(::IsExt(ExtKeys(), ExtByName(), position, ext)); },
                   static_cast<short>(1));
}
