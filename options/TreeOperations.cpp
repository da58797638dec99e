// Adding and removing programs and extensions, and the searches that decide which pairs the
// journal records: an inactive category records nothing, and a pair that another active
// subcategory still offers is left as it stands.
#include <windows.h>
#include <commctrl.h>

#include "CategoryTree.h"
#include "UserJournal.h"
#include "basAliases.h"
#include "basCategories.h"
#include "basErrorHandler.h"
#include "basMessageHandler.h"
#include "basUserChoices.h"
#include "basUserInterface.h"
#include "vb/VbText.h"

namespace {

long ExtensionNumber(const win::TreeNodes& tree, win::TreeNode extension) {
    const vb::Variant& tag = tree.NodeTag(extension);
    return tag.IsNumeric() ? tag.ToLong() : 0;
}

int SelectedRow(const win::ListView& list) {
    if (!list.Handle()) return -1;
    return static_cast<int>(SendMessageW(list.Handle(), LVM_GETNEXTITEM, static_cast<WPARAM>(-1), LVNI_SELECTED));
}

}  // namespace

// ---- searches ----

bool CategoryTree::IsSameProgramNode(win::TreeNode program, const std::vector<std::wstring>& fields,
                                     const std::wstring& message) {
    return Trapped(L"IsSameProgramNode", [&] {
        std::vector<std::wstring> mine = ProgramFields(program);
        for (size_t i = 0; i < 4; ++i)
            if (!vb::TextEquals(mine[i], i < fields.size() ? fields[i] : std::wstring())) return false;
        ShowCritical(message);
        return true;
    });
}

bool CategoryTree::IsSameExtensionNode(win::TreeNode extension, const std::wstring& text,
                                       const std::wstring& message) {
    return Trapped(L"IsSameExtensionNode", [&] {
        if (!vb::TextEquals(tree_.Text(extension), text)) return false;
        ShowCritical(message);
        return true;
    });
}

win::TreeNode CategoryTree::FindDefaultSibling(win::TreeNode node) const {
    if (!node) return nullptr;
    for (win::TreeNode n = tree_.FirstSibling(node); n; n = tree_.Next(n))
        if (tree_.Bold(n)) return n;
    return nullptr;
}

vb::List<win::TreeNode> CategoryTree::GetConflictingDefaults(win::TreeNode program, win::TreeNode category) const {
    return Trapped(L"GetConflictingDefaults", [&] {
        vb::List<win::TreeNode> conflicts;
        if (!program) return conflicts;
        const std::wstring shortPath = ProgramFields(program)[4];
        const win::TreeNode ownSubcategory = tree_.Parent(tree_.Parent(program));
        std::vector<std::wstring> ownExtensions;
        for (win::TreeNode e : ChildrenOf(ExtensionsFolderOf(program))) ownExtensions.push_back(tree_.Text(e));

        for (win::TreeNode cat = tree_.FirstNode(); cat; cat = tree_.Next(cat)) {
            if (IsInactive(cat) && cat != category) continue;
            for (win::TreeNode sub : ChildrenOf(cat)) {
                if (sub == ownSubcategory) continue;
                win::TreeNode folder = tree_.Child(sub);
                win::TreeNode other = folder ? FindDefaultSibling(tree_.Child(folder)) : nullptr;
                if (!other) continue;
                bool shared = false;
                for (win::TreeNode e : ChildrenOf(ExtensionsFolderOf(sub)))
                    for (const std::wstring& mine : ownExtensions) shared = shared || vb::TextEquals(tree_.Text(e), mine);
                if (!shared || vb::TextEquals(ProgramFields(other)[4], shortPath)) continue;
                conflicts.Add(other);
            }
        }
        return conflicts;
    });
}

bool CategoryTree::IsDefaultElsewhere(win::TreeNode ownSubcategory, const std::wstring& extension,
                                      const std::wstring& shortPath) const {
    for (win::TreeNode cat = tree_.FirstNode(); cat; cat = tree_.Next(cat)) {
        if (IsInactive(cat)) continue;
        for (win::TreeNode sub : ChildrenOf(cat)) {
            if (sub == ownSubcategory) continue;
            win::TreeNode folder = tree_.Child(sub);
            win::TreeNode other = folder ? FindDefaultSibling(tree_.Child(folder)) : nullptr;
            if (!other || !vb::TextEquals(ProgramFields(other)[4], shortPath)) continue;
            for (win::TreeNode e : ChildrenOf(ExtensionsFolderOf(sub)))
                if (vb::TextEquals(tree_.Text(e), extension)) return true;
        }
    }
    return false;
}

// ---- the journal side ----

void CategoryTree::RecordAdd(win::TreeNode extension, win::TreeNode program) {
    const std::vector<std::wstring> found = GetOriginalProgramFields(ProgramFields(program));
    const std::wstring text = tree_.Text(extension);
    // The pair stands as a default already (another subcategory starts this program for the
    // extension): an Add line would take the place of its Def line.
    if (IsDefaultRecorded(text, found)) return;
    UserAddB(ExtensionNumber(tree_, extension), text, found, true);
}

void CategoryTree::RecordDefault(win::TreeNode extension, win::TreeNode program, bool leaveStandingDefault) {
    const std::vector<std::wstring> found = GetOriginalProgramFields(ProgramFields(program));
    const std::wstring text = tree_.Text(extension);
    if (leaveStandingDefault && IsDefaultRecorded(text, found)) return;
    UserDefaultB(ExtensionNumber(tree_, extension), text, found);
}

void CategoryTree::UndefaultInJournal(win::TreeNode program) {
    TrappedVoid(L"UndefaultInJournal", [&] {
        if (!program) return;
        const std::vector<std::wstring> fields = ProgramFields(program);
        const std::vector<std::wstring> found = GetOriginalProgramFields(fields);
        const win::TreeNode subcategory = tree_.Parent(tree_.Parent(program));
        for (win::TreeNode e : ChildrenOf(ExtensionsFolderOf(program))) {
            const std::wstring text = tree_.Text(e);
            // The Def line is shared with another active subcategory that keeps this default.
            if (IsDefaultElsewhere(subcategory, text, fields[4])) continue;
            UserRemoveB(ExtensionNumber(tree_, e), text, found);
            UserAddB(ExtensionNumber(tree_, e), text, found, true);
        }
    });
}

void CategoryTree::JournalRemovePair(win::TreeNode extension, const std::vector<std::wstring>& fields) {
    TrappedVoid(L"JournalRemovePair", [&] {
        const std::wstring text = tree_.Text(extension);
        const std::wstring shortPath = fields.size() > 4 ? fields[4] : std::wstring();
        const win::TreeNode own = tree_.Parent(tree_.Parent(extension));
        for (win::TreeNode cat = tree_.FirstNode(); cat; cat = tree_.Next(cat)) {
            if (IsInactive(cat)) continue;
            for (win::TreeNode sub : ChildrenOf(cat)) {
                if (sub == own) continue;
                bool holdsExtension = false, holdsProgram = false;
                for (win::TreeNode e : ChildrenOf(ExtensionsFolderOf(sub)))
                    holdsExtension = holdsExtension || vb::TextEquals(tree_.Text(e), text);
                if (!holdsExtension) continue;
                for (win::TreeNode p : ChildrenOf(tree_.Child(sub)))
                    holdsProgram = holdsProgram || vb::TextEquals(ProgramFields(p)[4], shortPath);
                if (!holdsProgram) continue;
                // Still offered through that subcategory. A Def line stays only while an active
                // subcategory still makes the program the default; else the chooser would start it
                // at once while no node shows it as a default: the line becomes an Add line.
                const std::vector<std::wstring> found = GetOriginalProgramFields(fields);
                if (IsDefaultElsewhere(own, text, shortPath) || !IsDefaultRecorded(text, found)) return;
                UserRemoveB(ExtensionNumber(tree_, extension), text, found);
                UserAddB(ExtensionNumber(tree_, extension), text, found, true);
                return;
            }
        }
        UserRemoveB(ExtensionNumber(tree_, extension), text, GetOriginalProgramFields(fields));
    });
}

// ---- adding ----

void CategoryTree::AddProgramToSubcategory(win::TreeNode target, const win::ListView* source, bool scrollLeft) {
    TrappedVoid(L"AddProgramToSubcategory", [&] {
        win::TreeNode folder = ProgramsFolderOf(target);
        if (!folder) return;
        std::vector<std::wstring> fields;
        if (!source) {
            if (!IsKind(current_, ciProgram)) return;
            fields = ProgramFields(current_);
        } else {
            int row = SelectedRow(*source);
            if (row < 0) return;
            fields = GetListItemFields(*source, row);
        }
        fields.resize(5);
        for (win::TreeNode p : ChildrenOf(folder))
            if (IsSameProgramNode(p, fields, L"This program has already been added")) return;

        win::TreeNode node = tree_.Add(folder, L"", fields[0] + L" " + fields[1], ciProgram);
        vb::Variant::Array tag(fields.begin(), fields.end());
        tree_.SetNodeTag(node, vb::Variant(std::move(tag)));
        tree_.Select(node);
        if (AliasIndex(fields) >= 1) tree_.SetMarks(node, tree_.Marks(node) | win::tnAliased);

        win::TreeNode subcategory = tree_.Parent(folder);
        if (!IsInactive(tree_.Parent(subcategory)))
            for (win::TreeNode e : ChildrenOf(ExtensionsFolderOf(subcategory))) RecordAdd(e, node);
        Save(true);
        if (scrollLeft) ScrollToLeft(tree_);
    });
}

void CategoryTree::AddExtensionToSubcategory(win::TreeNode target, const std::wstring& extension, long number,
                                             bool scrollLeft) {
    TrappedVoid(L"AddExtensionToSubcategory", [&] {
        win::TreeNode folder = ExtensionsFolderOf(target);
        if (!folder) return;
        win::TreeNode subcategory = tree_.Parent(folder);
        if (tree_.Marks(subcategory) & win::tnNotRemovable) {
            ShowCritical(L"Cannot add extensions to this category.");
            return;
        }
        for (win::TreeNode e : ChildrenOf(folder))
            if (IsSameExtensionNode(e, extension, L"This extension has already been added.")) return;

        win::TreeNode node = tree_.Add(folder, L"", extension, ciExtension);
        tree_.SetNodeTag(node, vb::Variant(number));
        tree_.Select(node);

        if (!IsInactive(tree_.Parent(subcategory))) {
            win::TreeNode programs = tree_.Child(subcategory);
            win::TreeNode ownDefault = FindDefaultSibling(programs ? tree_.Child(programs) : nullptr);
            if (ownDefault && GetConflictingDefaults(ownDefault, nullptr).UBound() >= 1) {
                MessageHandler(MessageBase + 4516);
                UndefaultInJournal(ownDefault);
                SetBold(ownDefault, false);
            }
            for (win::TreeNode p : ChildrenOf(programs)) {
                RecordAdd(node, p);
                if (tree_.Bold(p)) RecordDefault(node, p, true);
            }
        }
        Save(true);
        if (scrollLeft) ScrollToLeft(tree_);
    });
}

// ---- removing ----

void CategoryTree::RemoveProgram(win::TreeNode program, bool saveNow) {
    TrappedVoid(L"RemoveProgram", [&] {
        if (!IsKind(program, ciProgram)) return;
        const std::vector<std::wstring> fields = ProgramFields(program);
        // An inactive category has nothing in the journal to take back.
        if (!IsInactive(CategoryOfProgram(program)))
            for (win::TreeNode e : ChildrenOf(ExtensionsFolderOf(program))) JournalRemovePair(e, fields);
        tree_.Remove(program);
        Save(saveNow);
    });
}

void CategoryTree::RemoveExtension(win::TreeNode extension, bool saveNow) {
    TrappedVoid(L"RemoveExtension", [&] {
        if (!IsKind(extension, ciExtension)) return;
        if (vb::TextEquals(tree_.Text(extension), AllFilesExtension)) return;
        win::TreeNode subcategory = tree_.Parent(tree_.Parent(extension));
        if (!IsInactive(tree_.Parent(subcategory)))
            for (win::TreeNode p : ChildrenOf(ProgramsFolderOf(extension))) JournalRemovePair(extension, ProgramFields(p));
        tree_.Remove(extension);
        Save(saveNow);
    });
}
