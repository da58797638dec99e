// The tree itself: node kinds, the node references the window keeps, unique names and keys,
// and the folder look-up that every add operation starts from.
#include "CategoryTree.h"

#include <cwchar>

#include <algorithm>

#include "basCategories.h"
#include "basErrorHandler.h"
#include "basMessageHandler.h"
#include "basUserChoices.h"
#include "vb/VbError.h"
#include "vb/VbText.h"

namespace {

// Sixteen bits, as the suffix is counted.
constexpr long MaxSuffix = 32767;

bool AllDigits(const std::wstring& text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](wchar_t c) { return c >= L'0' && c <= L'9'; });
}

}  // namespace

CategoryTree::CategoryTree(win::TreeView& tree, CategoryTreeWindow& window) : tree_(tree), window_(window) {
    tracked_.push_back(&current_);
    tree_.OnRemoving = [this](win::TreeNode node) { NodeRemoving(node); };
}

CategoryTree::~CategoryTree() { tree_.OnRemoving = nullptr; }

void CategoryTree::TrackNode(win::TreeNode* slot) {
    if (slot && std::find(tracked_.begin(), tracked_.end(), slot) == tracked_.end()) tracked_.push_back(slot);
}

void CategoryTree::UntrackNode(win::TreeNode* slot) {
    if (slot == &current_) return;
    tracked_.erase(std::remove(tracked_.begin(), tracked_.end(), slot), tracked_.end());
}

bool CategoryTree::IsSameOrBelow(win::TreeNode node, win::TreeNode top) const {
    for (win::TreeNode n = node; n; n = tree_.Parent(n))
        if (n == top) return true;
    return false;
}

void CategoryTree::NodeRemoving(win::TreeNode node) {
    for (win::TreeNode* slot : tracked_) {
        if (!*slot) continue;
        try {
            if (!node || IsSameOrBelow(*slot, node)) *slot = nullptr;
        } catch (...) {
            // A reference that no longer names a node of the tree is let go of as well.
            vb::Err().Clear();
            *slot = nullptr;
        }
    }
}

// ---- node kinds and marks ----

bool CategoryTree::IsKind(win::TreeNode node, int image) const { return node && tree_.Image(node) == image; }

bool CategoryTree::IsInactive(win::TreeNode category) const {
    return category && (tree_.Marks(category) & win::tnInactive) != 0;
}

void CategoryTree::SetBold(win::TreeNode node, bool bold) {
    unsigned marks = tree_.Marks(node);
    tree_.SetMarks(node, bold ? (marks | win::tnDefault) : (marks & ~win::tnDefault));
}

std::vector<std::wstring> CategoryTree::ProgramFields(win::TreeNode program) const {
    std::vector<std::wstring> fields;
    const vb::Variant& tag = tree_.NodeTag(program);
    if (tag.IsArray())
        for (const vb::Variant& v : tag.AsArray()) fields.push_back(v.ToString());
    fields.resize(5);
    return fields;
}

std::vector<win::TreeNode> CategoryTree::ChildrenOf(win::TreeNode node) const {
    std::vector<win::TreeNode> children;
    if (!node) return children;
    for (win::TreeNode c = tree_.Child(node); c; c = tree_.Next(c)) children.push_back(c);
    return children;
}

win::TreeNode CategoryTree::CategoryOfProgram(win::TreeNode program) const {
    win::TreeNode folder = tree_.Parent(program);
    win::TreeNode subcategory = folder ? tree_.Parent(folder) : nullptr;
    return subcategory ? tree_.Parent(subcategory) : nullptr;
}

void CategoryTree::ShowCritical(const std::wstring& text) {
    CurrentMessagePresenter().Show(text, StyleCritical, vb::ProjectName());
}

void CategoryTree::Save(bool saveNow) { window_.SaveUserChoices(saveNow); }

// ---- unique names ----

bool IsNewNodeName(const std::wstring& name) {
    for (const wchar_t* base : {kNewCategoryName, kNewSubcategoryName})
        if (vb::TextEquals(name.substr(0, std::wcslen(base)), base)) return true;
    return false;
}

std::wstring CategoryTree::GetNewCategory() {
    return Trapped(L"GetNewCategory", [&] {
        const std::wstring base = kNewCategoryName;
        short highest = FindHighestNameSuffix(tree_.FirstNode(), base);
        return highest < 0 ? base : base + std::to_wstring(highest + 1);
    });
}

std::wstring CategoryTree::GetNewSubcategory(win::TreeNode category) {
    return Trapped(L"GetNewSubcategory", [&] {
        const std::wstring base = kNewSubcategoryName;
        short highest = FindHighestNameSuffix(category ? tree_.Child(category) : nullptr, base);
        return highest < 0 ? base : base + std::to_wstring(highest + 1);
    });
}

short CategoryTree::FindHighestNameSuffix(win::TreeNode node, const std::wstring& baseName) {
    return Trapped(L"FindHighestNameSuffix", [&]() -> short {
        short highest = -1;
        if (!node) return highest;
        for (win::TreeNode n = tree_.FirstSibling(node); n; n = tree_.Next(n))
            highest = std::max(highest, GetNameSuffix(n, baseName));
        return highest;
    }, static_cast<short>(-1));
}

short CategoryTree::GetNameSuffix(win::TreeNode node, const std::wstring& baseName) {
    return Trapped(L"GetNameSuffix", [&]() -> short {
        const std::wstring key = tree_.Key(node);
        size_t at = vb::InStr(key, baseName, vb::TextCompare);
        if (at == 0) return -1;
        const std::wstring suffix = key.substr(at - 1 + baseName.size());
        // Only digits make a number; anything else, or a number beyond 16 bits, counts 0.
        if (!AllDigits(suffix) || suffix.size() > 5) return 0;
        long value = std::stol(suffix);
        return static_cast<short>(value > MaxSuffix ? 0 : value);
    }, static_cast<short>(-1));
}

std::wstring CategoryTree::UniqueNodeKey(const std::wstring& key) const {
    if (!tree_.ItemByKey(key)) return key;
    for (long n = 2;; ++n) {
        std::wstring candidate = key + L"~" + std::to_wstring(n);
        if (!tree_.ItemByKey(candidate)) return candidate;
    }
}

// ---- the folders of a subcategory ----

win::TreeNode CategoryTree::ProgramsFolderOf(win::TreeNode node) const {
    if (!node) return nullptr;
    switch (tree_.Image(node)) {
        case ciCategory: {
            win::TreeNode sub = tree_.Child(node);
            return sub ? tree_.Child(sub) : nullptr;
        }
        case ciSubcategory:
            return tree_.Child(node);
        case ciProgramsFolder:
            return node;
        case ciExtensionsFolder:
            return tree_.Child(tree_.Parent(node));
        case ciProgram:
            return tree_.Parent(node);
        case ciExtension:
            return tree_.Child(tree_.Parent(tree_.Parent(node)));
        default:
            return nullptr;
    }
}

win::TreeNode CategoryTree::ExtensionsFolderOf(win::TreeNode node) const {
    if (!node) return nullptr;
    auto lastChild = [&](win::TreeNode parent) -> win::TreeNode {
        win::TreeNode first = parent ? tree_.Child(parent) : nullptr;
        return first ? tree_.LastSibling(first) : nullptr;
    };
    switch (tree_.Image(node)) {
        case ciCategory:
            return lastChild(tree_.Child(node));
        case ciSubcategory:
            return lastChild(node);
        case ciProgramsFolder:
            return lastChild(tree_.Parent(node));
        case ciExtensionsFolder:
            return node;
        case ciProgram:
            return lastChild(tree_.Parent(tree_.Parent(node)));
        case ciExtension:
            return tree_.Parent(node);
        default:
            return nullptr;
    }
}

// ---- expansion, categories, vanished programs ----

void CategoryTree::ExpandCollapseBranch(bool expand, win::TreeNode node) {
    TrappedVoid(L"ExpandCollapseBranch", [&] {
        win::TreeNode top = node ? node : current_;
        if (!top) return;
        std::vector<win::TreeNode> pending{top};
        while (!pending.empty()) {
            win::TreeNode n = pending.back();
            pending.pop_back();
            tree_.SetExpanded(n, expand);
            std::vector<win::TreeNode> children = ChildrenOf(n);
            pending.insert(pending.end(), children.rbegin(), children.rend());
        }
    });
}

bool CategoryTree::mnuAddCategory(std::wstring& name) {
    return Trapped(L"mnuAddCategory", [&] {
        const bool given = !name.empty();
        if (!given) name = GetNewCategory();
        if (given) {
            for (win::TreeNode n = tree_.FirstNode(); n; n = tree_.Next(n)) {
                if (!vb::TextEquals(tree_.Text(n), name)) continue;
                tree_.EnsureVisible(n);
                tree_.Select(n);
                current_ = tree_.Selected();
                return false;
            }
        }
        // A renamed category keeps the key it was made with, so its old name may be taken.
        win::TreeNode node = tree_.Add(nullptr, UniqueNodeKey(name), name, ciCategory);
        tree_.EnsureVisible(node);
        tree_.Select(node);
        tree_.SetMarks(node, 0);
        if (given)
            current_ = tree_.Selected();
        else
            tree_.StartLabelEdit(node);
        return true;
    });
}

vb::List<win::TreeNode> CategoryTree::GetNodesToBeRemoved() const {
    return Trapped(L"GetNodesToBeRemoved", [&] {
        vb::List<win::TreeNode> found;
        const vb::List<std::vector<std::wstring>>& stale = StaleEntries();
        if (stale.UBound() < 1) return found;
        for (win::TreeNode category = tree_.FirstNode(); category; category = tree_.Next(category)) {
            for (win::TreeNode sub : ChildrenOf(category)) {
                for (win::TreeNode program : ChildrenOf(tree_.Child(sub))) {
                    if (!IsKind(program, ciProgram)) continue;
                    const std::wstring shortPath = ProgramFields(program)[4];
                    for (const std::vector<std::wstring>& entry : stale) {
                        if (entry.size() > 5 && vb::TextEquals(entry[5], shortPath)) {
                            found.Add(program);
                            break;
                        }
                    }
                }
            }
        }
        return found;
    });
}

void CategoryTree::mnuRefresh() {
    TrappedVoid(L"mnuRefresh", [&] {
        window_.RescanPrograms();
        if (window_.Closing()) return;
        if (window_.GetPrograms()) {
            CleanUserData(CleanUpAfter::Scan);
            RemoveStaleNodes();
        }
        window_.DisplayPrograms(true);
    });
}
