// The options window's category tree "tvwChoices" and the members that edit it: unique new
// names, adding and removing programs and extensions, defaults, activation of categories and the
// delete commands. Every pair (extension, program) of an active category goes through the
// user-override journal; each operation saves at once through the window.
#pragma once
#include <string>
#include <vector>

#include "vb/VbList.h"
#include "win/TreeView.h"
#include "win/Window.h"

// The names a category or subcategory made without one starts with (a number may follow).
inline constexpr const wchar_t* kNewCategoryName = L"New Category";
inline constexpr const wchar_t* kNewSubcategoryName = L"New subcategory";
bool IsNewNodeName(const std::wstring& name);

// What the tree's members use of the rest of the options window.
class CategoryTreeWindow {
public:
    // SaveUserChoices of the data model (nothing happens without saveNow).
    virtual void SaveUserChoices(bool saveNow) = 0;
    // The program scan with all its switches on; its outcome is not used.
    virtual void RescanPrograms() = 0;
    // Reads the program list again; True when it holds at least one line.
    virtual bool GetPrograms() = 0;
    // Fills the program list view again.
    virtual void DisplayPrograms(bool force) = 0;
    // The window's close has begun (accepted, or forced when its frame went) while a step still
    // ran: the step must not redisplay into it.
    virtual bool Closing() const { return false; }

protected:
    ~CategoryTreeWindow() = default;
};

class CategoryTree {
public:
    CategoryTree(win::TreeView& tree, CategoryTreeWindow& window);
    ~CategoryTree();
    CategoryTree(const CategoryTree&) = delete;
    CategoryTree& operator=(const CategoryTree&) = delete;

    win::TreeView& Tree() const { return tree_; }

    // The node that the pop-up menus and key commands act on; nullptr when there is none. It is
    // let go of when its node, or one above it, is removed, or the tree is cleared.
    win::TreeNode CurrentTreeNode() const { return current_; }
    void SetCurrentTreeNode(win::TreeNode node) { current_ = node; }
    // Other node references of the window (a drag's source, the drop highlight) that must be
    // let go of in the same way; the slot must outlive this object or be untracked first.
    void TrackNode(win::TreeNode* slot);
    void UntrackNode(win::TreeNode* slot);

    // Unique new names.
    std::wstring GetNewCategory();
    std::wstring GetNewSubcategory(win::TreeNode category);
    short FindHighestNameSuffix(win::TreeNode node, const std::wstring& baseName);
    short GetNameSuffix(win::TreeNode node, const std::wstring& baseName);
    // key when no node holds it yet; otherwise key with a number added that no node holds.
    std::wstring UniqueNodeKey(const std::wstring& key) const;

    // The folders of the subcategory that any node of it (or, for a category, its first
    // subcategory) belongs to; nullptr when there is none.
    win::TreeNode ProgramsFolderOf(win::TreeNode node) const;
    win::TreeNode ExtensionsFolderOf(win::TreeNode node) const;

    // Adds the program selected in source (nullptr: the program node CurrentTreeNode) to the
    // subcategory of target.
    void AddProgramToSubcategory(win::TreeNode target, const win::ListView* source, bool scrollLeft = false);
    // Adds an extension with its extension-list number to the subcategory of target.
    void AddExtensionToSubcategory(win::TreeNode target, const std::wstring& extension, long number,
                                   bool scrollLeft = false);
    bool IsSameProgramNode(win::TreeNode program, const std::vector<std::wstring>& fields,
                           const std::wstring& message);
    bool IsSameExtensionNode(win::TreeNode extension, const std::wstring& text, const std::wstring& message);

    win::TreeNode FindDefaultSibling(win::TreeNode node) const;
    // The defaults of other active subcategories (category also counts when inactive) that share
    // an extension with program's subcategory and are another program; element 0 empty.
    vb::List<win::TreeNode> GetConflictingDefaults(win::TreeNode program, win::TreeNode category) const;
    void UndefaultInJournal(win::TreeNode program);
    void JournalRemovePair(win::TreeNode extension, const std::vector<std::wstring>& fields);
    void RemoveProgram(win::TreeNode program, bool saveNow);
    void RemoveExtension(win::TreeNode extension, bool saveNow);

    void ExpandCollapseBranch(bool expand, win::TreeNode node = nullptr);
    bool mnuAddCategory(std::wstring& name);
    void mnuDeleteCategory();
    // The program nodes whose short path is that of a stale override entry; element 0 empty.
    vb::List<win::TreeNode> GetNodesToBeRemoved() const;
    void mnuRefresh();

    // Defaults and activation.
    void MakeDefaultInOneSubcat(win::TreeNode program);
    void mnuMakeDefault();
    void mnuRemoveDefault();
    void ActivateDeactivateCategory(bool activate);

    // Delete commands.
    void mnuDeleteProgram();
    void RemoveSelectedExtension();
    void mnuDeleteSubcategory(win::TreeNode subcategory, bool saveNow, bool quiet);

    // Node kinds and marks.
    bool IsKind(win::TreeNode node, int image) const;
    bool IsInactive(win::TreeNode category) const;
    void SetBold(win::TreeNode node, bool bold);
    // The five program fields of a program node's tag.
    std::vector<std::wstring> ProgramFields(win::TreeNode program) const;
    std::vector<win::TreeNode> ChildrenOf(win::TreeNode node) const;

private:
    void NodeRemoving(win::TreeNode node);
    bool IsSameOrBelow(win::TreeNode node, win::TreeNode top) const;
    win::TreeNode CategoryOfProgram(win::TreeNode program) const;
    // Whether another subcategory of an active category holds an extension of that text whose
    // default program has that short path.
    bool IsDefaultElsewhere(win::TreeNode ownSubcategory, const std::wstring& extension,
                            const std::wstring& shortPath) const;
    // The journal calls of the tree: the program fields with the description and version as found.
    void RecordAdd(win::TreeNode extension, win::TreeNode program);
    void RecordDefault(win::TreeNode extension, win::TreeNode program, bool leaveStandingDefault);
    void ShowCritical(const std::wstring& text);
    void Save(bool saveNow);

    win::TreeView& tree_;
    CategoryTreeWindow& window_;
    win::TreeNode current_ = nullptr;
    std::vector<win::TreeNode*> tracked_;
};

// The names that the tree never deletes or removes.
inline constexpr const wchar_t* NonAssociatedCategory = L"Non-associated Extensions";
inline constexpr const wchar_t* AllSubcategory = L"All";
inline constexpr const wchar_t* AllFilesExtension = L"*";
