// A tree of keyed nodes, as the options window holds its categories: what code that builds and
// walks such a tree needs (TreeNodes), and the comctl32 tree view that provides it (TreeView).
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "vb/VbText.h"
#include "vb/VbVariant.h"
#include "win/Window.h"

namespace win {

// A node is the control's own item handle; it stays valid until the node is removed or the tree
// cleared. What the tree keeps of a node lives with the item.
using TreeNode = HTREEITEM;

// Marks that a node keeps as its own state. Colour and bold are derived from them, so what is
// saved is what the user set, never a display effect.
enum TreeNodeMark : unsigned {
    tnNotRemovable = 1u,  // shown blue (&HFF0000)
    tnInactive = 2u,      // shown dark red (&H80) unless also not removable
    tnDefault = 4u,       // shown bold
    tnAliased = 8u,       // a program shown under an alias: blue as well
};
inline constexpr long NotRemovableColour = 0xFF0000;
inline constexpr long InactiveColour = 0x80;

// Run-time error of a keyed collection asked to take a key it already holds.
inline constexpr long ErrKeyNotUnique = 35602;

class TreeNodes {
public:
    virtual void Clear() = 0;
    // Adds a child of relative (nullptr: a top-level node) after its last child, or in text order
    // when relative is Sorted. An empty key adds an unkeyed node; a key the tree holds already
    // (compared without regard to case) raises ErrKeyNotUnique. image counts from 1, 0 is none.
    virtual TreeNode Add(TreeNode relative, const std::wstring& key, const std::wstring& text, int image) = 0;
    // Removes the node with everything below it.
    virtual void Remove(TreeNode node) = 0;

    virtual long Count() const = 0;
    virtual TreeNode Item(long index) const = 0;  // 1 to Count in order of adding; nullptr outside
    virtual TreeNode ItemByKey(const std::wstring& key) const = 0;
    virtual TreeNode FirstNode() const = 0;  // first top-level node; nullptr when empty

    virtual std::wstring Text(TreeNode node) const = 0;
    virtual void SetText(TreeNode node, const std::wstring& text) = 0;
    virtual std::wstring Key(TreeNode node) const = 0;
    virtual int Image(TreeNode node) const = 0;
    virtual const vb::Variant& NodeTag(TreeNode node) const = 0;
    virtual void SetNodeTag(TreeNode node, vb::Variant tag) = 0;
    virtual unsigned Marks(TreeNode node) const = 0;
    virtual void SetMarks(TreeNode node, unsigned marks) = 0;
    long ForeColor(TreeNode node) const;
    bool Bold(TreeNode node) const { return (Marks(node) & tnDefault) != 0; }
    virtual bool Sorted(TreeNode node) const = 0;
    // Sorted keeps the children in text order (without regard to case), from now on and at once.
    virtual void SetSorted(TreeNode node, bool sorted) = 0;
    virtual long Index(TreeNode node) const = 0;

    virtual TreeNode Parent(TreeNode node) const = 0;
    virtual long Children(TreeNode node) const = 0;
    virtual TreeNode Child(TreeNode node) const = 0;  // first child
    virtual TreeNode FirstSibling(TreeNode node) const = 0;
    virtual TreeNode LastSibling(TreeNode node) const = 0;
    virtual TreeNode Next(TreeNode node) const = 0;
    virtual TreeNode Previous(TreeNode node) const = 0;
    virtual void EnsureVisible(TreeNode node) = 0;

protected:
    ~TreeNodes() = default;
};

class TreeView : public Control, public TreeNodes {
public:
    TreeView(Window& form, Control* container, std::wstring name, int index, const Rect& r);
    ~TreeView() override;

    // Images of the nodes (not owned).
    void SetImageList(HIMAGELIST images);
    TreeNode Selected() const;
    void Select(TreeNode node);
    bool Expanded(TreeNode node) const;
    void SetExpanded(TreeNode node, bool expanded);
    // Opens the node's label for typing (the control must allow label editing).
    void StartLabelEdit(TreeNode node);
    // True while StartLabelEdit opens a label: an edit the user's click on a label starts is not.
    bool LabelEditRequested() const { return labelEditRequested_; }
    // Where the node's text is drawn, in client pixels; empty when it is scrolled out or collapsed.
    RECT TextRect(TreeNode node) const;

    void Clear() override;
    TreeNode Add(TreeNode relative, const std::wstring& key, const std::wstring& text, int image) override;
    void Remove(TreeNode node) override;
    long Count() const override { return static_cast<long>(nodes_.size()); }
    TreeNode Item(long index) const override;
    TreeNode ItemByKey(const std::wstring& key) const override;
    TreeNode FirstNode() const override;
    std::wstring Text(TreeNode node) const override;
    void SetText(TreeNode node, const std::wstring& text) override;
    std::wstring Key(TreeNode node) const override;
    int Image(TreeNode node) const override;
    const vb::Variant& NodeTag(TreeNode node) const override;
    void SetNodeTag(TreeNode node, vb::Variant tag) override;
    unsigned Marks(TreeNode node) const override;
    void SetMarks(TreeNode node, unsigned marks) override;
    bool Sorted(TreeNode node) const override;
    void SetSorted(TreeNode node, bool sorted) override;
    long Index(TreeNode node) const override;
    TreeNode Parent(TreeNode node) const override;
    long Children(TreeNode node) const override;
    TreeNode Child(TreeNode node) const override;
    TreeNode FirstSibling(TreeNode node) const override;
    TreeNode LastSibling(TreeNode node) const override;
    TreeNode Next(TreeNode node) const override;
    TreeNode Previous(TreeNode node) const override;
    void EnsureVisible(TreeNode node) override;

    LRESULT OnNotify(NMHDR* header) override;

    // Told before a node goes with everything below it (the node given to Remove), and with
    // nullptr before the tree is cleared, so that whoever keeps a node can let go of it.
    std::function<void(TreeNode node)> OnRemoving;
    // The tree's other notifications (label editing, drags) for the window that edits the tree:
    // answers true when it handled one and set result.
    std::function<bool(NMHDR* header, LRESULT& result)> OnOtherNotify;

private:
    struct KeyLess {
        bool operator()(const std::wstring& a, const std::wstring& b) const {
            return vb::StrComp(a, b, vb::TextCompare) < 0;
        }
    };
    struct NodeData;
    NodeData& Data(TreeNode node) const;
    HTREEITEM InsertAfter(TreeNode parent, const std::wstring& text) const;
    void Forget(TreeNode node);
    void Renumber();
    static int CALLBACK CompareTexts(LPARAM a, LPARAM b, LPARAM);

    std::vector<std::unique_ptr<NodeData>> nodes_;
    std::map<std::wstring, TreeNode, KeyLess> keys_;
    bool labelEditRequested_ = false;
};

}  // namespace win
