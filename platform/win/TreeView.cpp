#include "win/TreeView.h"

#include <algorithm>
#include <cstring>

#include "vb/VbError.h"

namespace win {

struct TreeView::NodeData {
    HTREEITEM item = nullptr;
    HTREEITEM parent = nullptr;
    std::wstring key;
    std::wstring text;
    int image = 0;
    vb::Variant tag;
    unsigned marks = 0;
    bool sorted = false;
    long index = 0;
};

namespace {
// TVM_GETITEMRECT takes the item in the rectangle it fills.
RECT ItemRectRequest(HTREEITEM item) {
    RECT r{};
    std::memcpy(&r, &item, sizeof item);
    return r;
}
}  // namespace

long TreeNodes::ForeColor(TreeNode node) const {
    unsigned marks = Marks(node);
    if (marks & (tnNotRemovable | tnAliased)) return NotRemovableColour;
    if (marks & tnInactive) return InactiveColour;
    return 0;
}

TreeView::TreeView(Window& form, Control* container, std::wstring name, int index, const Rect& r)
    : Control(form, container, std::move(name), index) {
    INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_TREEVIEW_CLASSES};
    InitCommonControlsEx(&icc);
    CreateChild(WC_TREEVIEWW, L"",
                TVS_HASBUTTONS | TVS_HASLINES | TVS_LINESATROOT | TVS_SHOWSELALWAYS | WS_TABSTOP,
                WS_EX_CLIENTEDGE, r);
}

TreeView::~TreeView() = default;

TreeView::NodeData& TreeView::Data(TreeNode node) const {
    if (!node) vb::Raise(91);  // object variable not set
    TVITEMW tv{};
    tv.mask = TVIF_PARAM | TVIF_HANDLE;
    tv.hItem = node;
    if (!SendMessageW(hwnd_, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&tv)) || !tv.lParam) vb::Raise(91);
    return *reinterpret_cast<NodeData*>(tv.lParam);
}

void TreeView::SetImageList(HIMAGELIST images) {
    SendMessageW(hwnd_, TVM_SETIMAGELIST, TVSIL_NORMAL, reinterpret_cast<LPARAM>(images));
}

TreeNode TreeView::Selected() const {
    return reinterpret_cast<HTREEITEM>(SendMessageW(hwnd_, TVM_GETNEXTITEM, TVGN_CARET, 0));
}

void TreeView::Select(TreeNode node) { SendMessageW(hwnd_, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(node)); }

bool TreeView::Expanded(TreeNode node) const {
    UINT state = static_cast<UINT>(
        SendMessageW(hwnd_, TVM_GETITEMSTATE, reinterpret_cast<WPARAM>(Data(node).item), TVIS_EXPANDED));
    return (state & TVIS_EXPANDED) != 0;
}

void TreeView::SetExpanded(TreeNode node, bool expanded) {
    SendMessageW(hwnd_, TVM_EXPAND, expanded ? TVE_EXPAND : TVE_COLLAPSE, reinterpret_cast<LPARAM>(Data(node).item));
}

void TreeView::StartLabelEdit(TreeNode node) {
    HTREEITEM item = Data(node).item;
    labelEditRequested_ = true;
    SendMessageW(hwnd_, TVM_EDITLABELW, 0, reinterpret_cast<LPARAM>(item));
    labelEditRequested_ = false;
}

RECT TreeView::TextRect(TreeNode node) const {
    RECT r = ItemRectRequest(Data(node).item);
    if (!SendMessageW(hwnd_, TVM_GETITEMRECT, TRUE, reinterpret_cast<LPARAM>(&r))) return RECT{};
    return r;
}

void TreeView::Clear() {
    if (OnRemoving) OnRemoving(nullptr);
    SendMessageW(hwnd_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(TVI_ROOT));
    keys_.clear();
    nodes_.clear();
}

// Under a sorted parent the new node goes before the first child whose text sorts above it.
HTREEITEM TreeView::InsertAfter(TreeNode parent, const std::wstring& text) const {
    if (!parent || !Data(parent).sorted) return TVI_LAST;
    HTREEITEM after = TVI_FIRST;
    for (TreeNode c = Child(parent); c; c = Next(c)) {
        if (vb::StrComp(Data(c).text, text, vb::TextCompare) > 0) break;
        after = c;
    }
    return after;
}

TreeNode TreeView::Add(TreeNode relative, const std::wstring& key, const std::wstring& text, int image) {
    if (relative) Data(relative);  // a stale relative is an error, not a top-level node
    if (!key.empty() && keys_.count(key)) vb::Raise(ErrKeyNotUnique, std::nullopt, L"Key is not unique in collection");
    auto node = std::make_unique<NodeData>();
    node->parent = relative;
    node->key = key;
    node->text = text;
    node->image = image;

    TVINSERTSTRUCTW ins{};
    ins.hParent = relative ? relative : TVI_ROOT;
    ins.hInsertAfter = InsertAfter(relative, text);
    ins.item.mask = TVIF_TEXT | TVIF_PARAM | TVIF_IMAGE | TVIF_SELECTEDIMAGE;
    ins.item.pszText = const_cast<wchar_t*>(node->text.c_str());
    ins.item.iImage = ins.item.iSelectedImage = image > 0 ? image - 1 : I_IMAGENONE;
    ins.item.lParam = reinterpret_cast<LPARAM>(node.get());
    node->item = reinterpret_cast<HTREEITEM>(SendMessageW(hwnd_, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&ins)));
    if (!node->item) vb::Raise(vb::ErrInternal);

    TreeNode added = node->item;
    node->index = static_cast<long>(nodes_.size()) + 1;
    nodes_.push_back(std::move(node));
    if (!key.empty()) keys_.emplace(key, added);
    return added;
}

void TreeView::Forget(TreeNode node) {
    NodeData& data = Data(node);
    // Each child leaves the control as it is forgotten, so the next one comes up first.
    while (TreeNode c = Child(node)) Forget(c);
    if (!data.key.empty()) keys_.erase(data.key);
    data.item = nullptr;
    SendMessageW(hwnd_, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(node));
}

void TreeView::Renumber() {
    nodes_.erase(std::remove_if(nodes_.begin(), nodes_.end(), [](const auto& n) { return n->item == nullptr; }),
                 nodes_.end());
    for (size_t i = 0; i < nodes_.size(); ++i) nodes_[i]->index = static_cast<long>(i) + 1;
}

void TreeView::Remove(TreeNode node) {
    Data(node);  // a stale node is an error before anyone is told of it
    if (OnRemoving) OnRemoving(node);
    Forget(node);
    Renumber();
}

TreeNode TreeView::Item(long index) const {
    if (index < 1 || index > Count()) return nullptr;
    return nodes_[static_cast<size_t>(index - 1)]->item;
}

TreeNode TreeView::ItemByKey(const std::wstring& key) const {
    auto it = keys_.find(key);
    return it == keys_.end() ? nullptr : it->second;
}

TreeNode TreeView::FirstNode() const {
    return reinterpret_cast<HTREEITEM>(SendMessageW(hwnd_, TVM_GETNEXTITEM, TVGN_ROOT, 0));
}

std::wstring TreeView::Text(TreeNode node) const { return Data(node).text; }

void TreeView::SetText(TreeNode node, const std::wstring& text) {
    NodeData& data = Data(node);
    data.text = text;
    TVITEMW tv{};
    tv.mask = TVIF_TEXT | TVIF_HANDLE;
    tv.hItem = node;
    tv.pszText = const_cast<wchar_t*>(data.text.c_str());
    SendMessageW(hwnd_, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
    if (data.parent && Data(data.parent).sorted) SetSorted(data.parent, true);
}

std::wstring TreeView::Key(TreeNode node) const { return Data(node).key; }
int TreeView::Image(TreeNode node) const { return Data(node).image; }
const vb::Variant& TreeView::NodeTag(TreeNode node) const { return Data(node).tag; }
void TreeView::SetNodeTag(TreeNode node, vb::Variant tag) { Data(node).tag = std::move(tag); }
unsigned TreeView::Marks(TreeNode node) const { return Data(node).marks; }

void TreeView::SetMarks(TreeNode node, unsigned marks) {
    Data(node).marks = marks;
    // Bold through the control's own state, so it measures the wider text; colour at drawing.
    TVITEMW tv{};
    tv.mask = TVIF_STATE | TVIF_HANDLE;
    tv.hItem = node;
    tv.stateMask = TVIS_BOLD;
    tv.state = (marks & tnDefault) ? TVIS_BOLD : 0;
    SendMessageW(hwnd_, TVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&tv));
    RECT r = ItemRectRequest(node);
    if (SendMessageW(hwnd_, TVM_GETITEMRECT, FALSE, reinterpret_cast<LPARAM>(&r))) InvalidateRect(hwnd_, &r, TRUE);
}

bool TreeView::Sorted(TreeNode node) const { return Data(node).sorted; }

int CALLBACK TreeView::CompareTexts(LPARAM a, LPARAM b, LPARAM) {
    return vb::StrComp(reinterpret_cast<NodeData*>(a)->text, reinterpret_cast<NodeData*>(b)->text, vb::TextCompare);
}

void TreeView::SetSorted(TreeNode node, bool sorted) {
    Data(node).sorted = sorted;
    if (!sorted) return;
    TVSORTCB sort{};
    sort.hParent = node;
    sort.lpfnCompare = &CompareTexts;
    SendMessageW(hwnd_, TVM_SORTCHILDRENCB, 0, reinterpret_cast<LPARAM>(&sort));
}

long TreeView::Index(TreeNode node) const { return Data(node).index; }
TreeNode TreeView::Parent(TreeNode node) const { return Data(node).parent; }

long TreeView::Children(TreeNode node) const {
    long n = 0;
    for (TreeNode c = Child(node); c; c = Next(c)) ++n;
    return n;
}

TreeNode TreeView::Child(TreeNode node) const {
    return reinterpret_cast<HTREEITEM>(
        SendMessageW(hwnd_, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(Data(node).item)));
}

TreeNode TreeView::FirstSibling(TreeNode node) const {
    TreeNode parent = Data(node).parent;
    return parent ? Child(parent) : FirstNode();
}

TreeNode TreeView::LastSibling(TreeNode node) const {
    TreeNode last = Data(node).item;
    while (TreeNode n = Next(last)) last = n;
    return last;
}

TreeNode TreeView::Next(TreeNode node) const {
    return reinterpret_cast<HTREEITEM>(
        SendMessageW(hwnd_, TVM_GETNEXTITEM, TVGN_NEXT, reinterpret_cast<LPARAM>(Data(node).item)));
}

TreeNode TreeView::Previous(TreeNode node) const {
    return reinterpret_cast<HTREEITEM>(
        SendMessageW(hwnd_, TVM_GETNEXTITEM, TVGN_PREVIOUS, reinterpret_cast<LPARAM>(Data(node).item)));
}

void TreeView::EnsureVisible(TreeNode node) {
    SendMessageW(hwnd_, TVM_ENSUREVISIBLE, 0, reinterpret_cast<LPARAM>(Data(node).item));
}

LRESULT TreeView::OnNotify(NMHDR* header) {
    if (header->code != NM_CUSTOMDRAW) {
        LRESULT result = 0;
        if (OnOtherNotify && OnOtherNotify(header, result)) return result;
        return 0;
    }
    auto* draw = reinterpret_cast<NMTVCUSTOMDRAW*>(header);
    switch (draw->nmcd.dwDrawStage) {
        case CDDS_PREPAINT:
            return CDRF_NOTIFYITEMDRAW;
        case CDDS_ITEMPREPAINT: {
            auto* data = reinterpret_cast<NodeData*>(draw->nmcd.lItemlParam);
            if (!data || (draw->nmcd.uItemState & CDIS_SELECTED)) return CDRF_DODEFAULT;
            long colour = ForeColor(data->item);
            if (colour != 0) draw->clrText = static_cast<COLORREF>(colour);
            return CDRF_DODEFAULT;
        }
        default:
            return CDRF_DODEFAULT;
    }
}

}  // namespace win
