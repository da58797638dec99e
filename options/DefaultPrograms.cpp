// Default programs and the activation of categories: among active subcategories an extension
// has at most one default program.
#include "CategoryTree.h"
#include "basCategories.h"
#include "basErrorHandler.h"
#include "basMessageHandler.h"

void CategoryTree::MakeDefaultInOneSubcat(win::TreeNode program) {
    TrappedVoid(L"MakeDefaultInOneSubcat", [&] {
        if (!IsKind(program, ciProgram)) return;
        const bool active = !IsInactive(CategoryOfProgram(program));
        for (win::TreeNode sibling = tree_.FirstSibling(program); sibling; sibling = tree_.Next(sibling)) {
            if (!tree_.Bold(sibling)) continue;
            if (active) UndefaultInJournal(sibling);
            SetBold(sibling, false);
        }
        if (active)
            for (win::TreeNode e : ChildrenOf(ExtensionsFolderOf(program))) RecordDefault(e, program, false);
        SetBold(program, true);
    });
}

void CategoryTree::mnuMakeDefault() {
    TrappedVoid(L"mnuMakeDefault", [&] {
        win::TreeNode program = current_;
        if (!IsKind(program, ciProgram)) return;
        if (!IsInactive(CategoryOfProgram(program))) {
            vb::List<win::TreeNode> conflicts = GetConflictingDefaults(program, nullptr);
            if (conflicts.UBound() >= 1) {
                vb::Variant answer = MessageHandler(MessageBase + 5003);
                if (!answer.IsNumeric() || answer.ToLong() != AnswerYes) return;
                for (win::TreeNode other : conflicts) {
                    UndefaultInJournal(other);
                    SetBold(other, false);
                }
            }
        }
        MakeDefaultInOneSubcat(program);
        Save(true);
    });
}

void CategoryTree::mnuRemoveDefault() {
    TrappedVoid(L"mnuRemoveDefault", [&] {
        win::TreeNode program = current_;
        if (!IsKind(program, ciProgram)) return;
        if (!IsInactive(CategoryOfProgram(program))) UndefaultInJournal(program);
        SetBold(program, false);
        Save(true);
    });
}

void CategoryTree::ActivateDeactivateCategory(bool activate) {
    TrappedVoid(L"ActivateDeactivateCategory", [&] {
        win::TreeNode category = current_;
        if (!IsKind(category, ciCategory)) return;
        // A category being switched off offers nothing from now on, so a pair that two of its own
        // subcategories hold goes as well; the mark is set before its pairs are taken out.
        unsigned marks = tree_.Marks(category);
        if (!activate) tree_.SetMarks(category, marks | win::tnInactive);
        bool conflictShown = false;
        for (win::TreeNode sub : ChildrenOf(category)) {
            win::TreeNode programs = tree_.Child(sub);
            win::TreeNode extensions = ExtensionsFolderOf(sub);
            if (!programs || !extensions || tree_.Children(programs) == 0 || tree_.Children(extensions) == 0) continue;
            if (activate) {
                win::TreeNode ownDefault = FindDefaultSibling(tree_.Child(programs));
                if (ownDefault && GetConflictingDefaults(ownDefault, category).UBound() >= 1) {
                    if (!conflictShown) MessageHandler(MessageBase + 4517);
                    conflictShown = true;
                    SetBold(ownDefault, false);
                }
            }
            for (win::TreeNode p : ChildrenOf(programs)) {
                const std::vector<std::wstring> fields = ProgramFields(p);
                for (win::TreeNode e : ChildrenOf(extensions)) {
                    if (!activate)
                        JournalRemovePair(e, fields);
                    else if (tree_.Bold(p))
                        RecordDefault(e, p, true);
                    else
                        RecordAdd(e, p);
                }
            }
        }
        tree_.SetExpanded(category, activate);
        // Only the inactive mark changes: a category that may not be removed stays so.
        tree_.SetMarks(category, activate ? (marks & ~win::tnInactive) : (marks | win::tnInactive));
        Save(true);
    });
}
