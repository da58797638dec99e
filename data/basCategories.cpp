#include "basCategories.h"

#include <windows.h>

#include <unordered_map>

#include "CategoryHost.h"
#include "basAliases.h"
#include "basData.h"
#include "basErrorHandler.h"
#include "basMessageHandler.h"
#include "basStrings.h"
#include "basTextFiles.h"
#include "basWinAPI_Processes.h"
#include "basWinAPI_Windows.h"
#include "basXmlFiles.h"
#include "vb/VbError.h"
#include "vb/VbText.h"
#include "vb/VbThreadState.h"

namespace {

struct CategoryState {
    bool Loaded = false;
};

const char kCrLf[] = "\r\n";
const wchar_t kWideCrLf[] = L"\r\n";
CategoryHost* g_host = nullptr;

std::string Escaped(const std::wstring& text) { return vb::ToAnsi(CvtForXmlParser(text, XmlEscape)); }
std::wstring Unescaped(const std::wstring& text) { return CvtForXmlParser(text, XmlUnescape); }

// An element of the category file: its attributes and the elements of a name below it.
class Element {
public:
    explicit Element(IXMLDOMElement* element) : element_(element) {}
    std::wstring Attribute(const wchar_t* name) const { return XmlAttribute(element_.Get(), name); }
    std::vector<Element> ElementsByTagName(const wchar_t* name) const {
        std::vector<Element> found;
        com::ComPtr<IXMLDOMNodeList> list;
        BSTR tag = SysAllocString(name);
        HRESULT hr = element_ ? element_->getElementsByTagName(tag, list.Put()) : E_POINTER;
        SysFreeString(tag);
        if (FAILED(hr) || !list) return found;
        long count = 0;
        list->get_length(&count);
        for (long i = 0; i < count; ++i) {
            com::ComPtr<IXMLDOMNode> node;
            IXMLDOMElement* element = nullptr;
            if (SUCCEEDED(list->get_item(i, node.Put())) && node &&
                SUCCEEDED(node->QueryInterface(IID_IXMLDOMElement, reinterpret_cast<void**>(&element))))
                found.emplace_back(element);
        }
        return found;
    }

private:
    com::ComPtr<IXMLDOMElement> element_;
};

// COM for the calling thread while the reader runs.
class ComApartment {
public:
    ComApartment() : initialised_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
    ~ComApartment() {
        if (initialised_) CoUninitialize();
    }
    ComApartment(const ComApartment&) = delete;
    ComApartment& operator=(const ComApartment&) = delete;

private:
    bool initialised_;
};

bool IsNo(const std::wstring& value) { return vb::TextEquals(value, L"no"); }

win::TreeNodes& Tree() {
    if (!g_host) vb::Raise(91);
    return g_host->Choices();
}

// Adds a keyed node; a key the tree holds already gives that node, so what follows in the
// file joins it instead of being lost with it.
win::TreeNode AddKeyed(win::TreeNodes& tree, win::TreeNode parent, const std::wstring& key, const std::wstring& text,
                       int image, bool& existed) {
    existed = false;
    if (win::TreeNode node = key.empty() ? nullptr : tree.ItemByKey(key)) {
        existed = true;
        return node;
    }
    return tree.Add(parent, key, text, image);
}

// The extension list's rows by their text, for the reader: a category file names each of its
// extensions once, and a walk of the whole list for each one made a large list slow to load.
// The first of rows equal without regard to case wins, as with FindProgramItemTag, which
// remains the answer for anything this index cannot vouch for.
class ExtensionRowIndex {
public:
    void Build() {
        rows_.clear();
        if (!g_host) return;
        const long count = g_host->ExtensionRowCount();
        for (long row = 1; row <= count; ++row) rows_.emplace(vb::UCase(g_host->ExtensionRowText(row)), row);
    }
    long TagOf(const std::wstring& extension) const {
        auto it = rows_.find(vb::UCase(extension));
        if (g_host && it != rows_.end() && it->second <= g_host->ExtensionRowCount() &&
            vb::TextEquals(g_host->ExtensionRowText(it->second), extension))
            return g_host->ExtensionRowTag(it->second);
        long tag = -1;
        FindProgramItemTag(extension, tag);
        return tag;
    }

private:
    std::unordered_map<std::wstring, long> rows_;  // emplace keeps the first row of a text
};

void ReadCategory(win::TreeNodes& tree, const Element& category, const ExtensionRowIndex& rows,
                  std::wstring& missing) {
    const std::wstring name = Unescaped(category.Attribute(L"name"));
    if (vb::TextEquals(name, UntouchedMarkerCategory)) {
        if (g_host) g_host->SetCategoryFileUntouched(true);
        return;
    }
    bool existed = false;
    win::TreeNode categoryNode = nullptr;
    ResumeNext([&] {
        categoryNode = AddKeyed(tree, nullptr, name, name, ciCategory, existed);
        if (existed) return;
        unsigned marks = 0;
        if (IsNo(category.Attribute(L"Removable")))
            marks = win::tnNotRemovable;
        else if (IsNo(category.Attribute(L"Active")))
            marks = win::tnInactive;
        tree.SetMarks(categoryNode, marks);
    });
    if (!categoryNode) return;

    for (const Element& sub : category.ElementsByTagName(L"Subcategory")) {
        const std::wstring subName = Unescaped(sub.Attribute(L"name"));
        const std::wstring subKey = name + L"*" + subName;
        win::TreeNode subNode = nullptr;
        win::TreeNode programs = nullptr;
        ResumeNext([&] {
            subNode = AddKeyed(tree, categoryNode, subKey, subName, ciSubcategory, existed);
            if (!existed && IsNo(sub.Attribute(L"Removable"))) tree.SetMarks(subNode, win::tnNotRemovable);
        });
        if (!subNode) continue;
        ResumeNext([&] {
            programs = AddKeyed(tree, subNode, subKey + L"*P", L"Programs", ciProgramsFolder, existed);
            tree.SetSorted(programs, true);
        });

        for (const Element& program : sub.ElementsByTagName(L"Program")) {
            if (!programs) break;
            ResumeNext([&] {
                std::vector<std::wstring> fields;
                vb::Variant::Array tag;
                for (int i = 1; i <= 5; ++i) {
                    fields.push_back(Unescaped(program.Attribute((L"T" + std::to_wstring(i)).c_str())));
                    tag.emplace_back(fields.back());
                }
                win::TreeNode node = tree.Add(programs, L"", ProgramNodeText(fields), ciProgram);
                tree.SetNodeTag(node, vb::Variant(std::move(tag)));
                if (vb::TextEquals(program.Attribute(L"Default"), L"yes")) tree.SetMarks(node, win::tnDefault);
            });
        }

        win::TreeNode extensions = nullptr;
        ResumeNext([&] {
            extensions = AddKeyed(tree, subNode, subKey + L"*E", L"Extensions", ciExtensionsFolder, existed);
            tree.SetSorted(extensions, true);
        });
        for (const Element& extension : sub.ElementsByTagName(L"Extension")) {
            if (!extensions) break;
            ResumeNext([&] {
                const std::wstring ext = Unescaped(extension.Attribute(L"ext"));
                const long tag = rows.TagOf(ext);
                if (tag >= 0) {
                    win::TreeNode node = tree.Add(extensions, L"", ext, ciExtension);
                    tree.SetNodeTag(node, vb::Variant(tag));
                } else {
                    missing += kWideCrLf + (L"[" + ext + L"]");
                }
            });
        }
    }
}

std::string Indent(int blanks) { return std::string(static_cast<size_t>(blanks < 0 ? 0 : blanks), ' '); }

}  // namespace

CategoryHost* SetCategoryHost(CategoryHost* host) {
    CategoryHost* previous = g_host;
    g_host = host;
    return previous;
}
CategoryHost* CurrentCategoryHost() { return g_host; }

bool& CategoriesLoaded() { return vb::ThreadInstance<CategoryState>().Loaded; }

std::wstring ProgramNodeText(const std::vector<std::wstring>& fields) {
    long alias = AliasIndexByOriginal(fields);
    if (alias >= 1 && alias <= Aliases().UBound()) {
        const AliasRecord& a = Aliases()[alias];
        return a.CompanyA + L" - " + a.ProductA + L" " + a.VersionA;
    }
    auto field = [&](size_t i) { return i < fields.size() ? fields[i] : std::wstring(); };
    return field(0) + L" " + field(1);
}

bool GetCategories() {
    return Trapped(L"GetCategories", [&]() -> bool {
        ComApartment apartment;
        if (!CreateXmlDocument()) {
            if (!RegisterDLL(JoinPaths(SystemFolder(), L"msxml2.dll")) || !CreateXmlDocument()) {
                MessageHandler(MessageBase + 4522);
                return false;
            }
        }
        win::TreeNodes& tree = Tree();
        const std::wstring path = CategoryFilePath();
        if (path.empty() || !FileExists(path)) {
            MessageHandler(MessageBase + 4521);
            ResumeNext([&] { CreateDefaultCategoryNodes(tree); });
            return false;
        }
        com::ComPtr<IXMLDOMDocument> document = LoadXmlDocument(path);
        com::ComPtr<IXMLDOMElement> root;
        if (!document || FAILED(document->get_documentElement(root.Put())) || !root) {
            MessageHandler(MessageBase + 4533);
            return false;
        }

        std::vector<Element> categories = Element(root.Detach()).ElementsByTagName(L"Category");
        tree.Clear();
        std::wstring missing;
        ExtensionRowIndex rows;
        rows.Build();
        for (const Element& category : categories) ReadCategory(tree, category, rows, missing);

        if (!missing.empty()) {
            CurrentMessagePresenter().Show(std::wstring(L"The following extensions") + kWideCrLf +
                                               L"are no longer registered" + kWideCrLf + L"on your system:" +
                                               kWideCrLf + missing,
                                           MB_OK, vb::ProjectName());
        }
        CategoriesLoaded() = true;
        return true;
    });
}

void XmlProgramElements(const win::TreeNodes& tree, win::TreeNode subcategory, short indent, std::string& out) {
    win::TreeNode programs = tree.Child(subcategory);
    if (!programs || tree.Children(programs) == 0) return;
    for (win::TreeNode node = tree.FirstSibling(tree.Child(programs)); node; node = tree.Next(node)) {
        const vb::Variant& tag = tree.NodeTag(node);
        std::string line = Indent(indent * 3) + "<Program ";
        if (tree.Bold(node)) line += "Default=\"yes\" ";
        for (size_t i = 0; i < 5; ++i) {
            std::wstring value;
            if (tag.IsArray() && i < tag.AsArray().size()) value = tag.AsArray()[i].ToString();
            if (i > 0) line += ' ';
            line += 'T';
            line += static_cast<char>('1' + i);
            line += "=\"";
            line += Escaped(value);
            line += '"';
        }
        out += line + "/>" + kCrLf;
    }
}

void XmlExtensionElements(const win::TreeNodes& tree, win::TreeNode subcategory, short indent, std::string& out) {
    win::TreeNode first = tree.Child(subcategory);
    if (!first) return;
    win::TreeNode extensions = tree.LastSibling(first);
    if (tree.Children(extensions) == 0) return;
    for (win::TreeNode node = tree.FirstSibling(tree.Child(extensions)); node; node = tree.Next(node))
        out += Indent(indent * 3) + "<Extension ext=\"" + Escaped(tree.Text(node)) + "\" />" + kCrLf;
}

void XmlSubcategoryElements(const win::TreeNodes& tree, win::TreeNode category, short indent, std::string& out) {
    if (tree.Children(category) == 0) return;
    for (win::TreeNode sub = tree.FirstSibling(tree.Child(category)); sub; sub = tree.Next(sub)) {
        std::string line = Indent(indent * 2) + "<Subcategory name=\"" + Escaped(tree.Text(sub)) + "\"";
        if (tree.Marks(sub) & win::tnNotRemovable) line += " Removable=\"no\"";
        out += line + ">" + kCrLf;
        XmlProgramElements(tree, sub, indent, out);
        XmlExtensionElements(tree, sub, indent, out);
        out += Indent(indent * 2) + "</Subcategory>" + kCrLf;
    }
}

std::string CategoryFileText(const win::TreeNodes& tree) {
    std::string out = std::string("<?xml version=\"1.0\" ?>") + kCrLf + "<MorvaTessel>" + kCrLf;
    std::vector<std::wstring> texts(1);
    std::vector<win::TreeNode> nodes(1);
    if (win::TreeNode first = tree.FirstNode()) {
        for (win::TreeNode node = tree.FirstSibling(first); node; node = tree.Next(node)) {
            nodes.push_back(node);
            texts.push_back(tree.Text(node));
        }
    }
    if (nodes.size() > 1) {
        std::vector<long> order = Sort(texts, vb::TextCompare, 1);
        for (size_t place = 1; place < order.size(); ++place) {
            win::TreeNode category = nodes[static_cast<size_t>(order[place])];
            std::string line = Indent(3) + "<Category name=\"" + Escaped(tree.Text(category)) + "\"";
            unsigned marks = tree.Marks(category);
            if (marks & win::tnNotRemovable)
                line += " Removable=\"no\"";
            else if (marks & win::tnInactive)
                line += " Active=\"no\"";
            out += line + ">" + kCrLf;
            XmlSubcategoryElements(tree, category, 3, out);
            out += std::string("</Category>") + kCrLf;
        }
    }
    out += std::string("</MorvaTessel>") + kCrLf;
    return out;
}

void SaveCategories() {
    ProcGuard guard;
    if (!CategoriesLoaded()) return;
    WriteWorkingFileIfChanged(CategoryFilePath(), vb::FromAnsi(CategoryFileText(Tree())));
}

void CreateDefaultCategoryNodes(win::TreeNodes& tree) {
    TrappedVoid(L"CreateDefaultCategoryNodes", [&] {
        // Asked twice (the file still missing when the extension list is rebuilt), it keeps
        // the nodes already there rather than failing on their keys.
        bool existed = false;
        const std::wstring category = L"Non-associated Extensions";
        win::TreeNode categoryNode = AddKeyed(tree, nullptr, category, category, ciCategory, existed);
        tree.SetMarks(categoryNode, win::tnNotRemovable);
        const std::wstring subKey = category + L"*" + L"All";
        win::TreeNode sub = AddKeyed(tree, categoryNode, subKey, L"All", ciSubcategory, existed);
        AddKeyed(tree, sub, subKey + L"*P", L"Programs", ciProgramsFolder, existed);
        win::TreeNode extensions = AddKeyed(tree, sub, subKey + L"*E", L"Extensions", ciExtensionsFolder, existed);
        win::TreeNode any = AddKeyed(tree, extensions, subKey + L"*E*", L"*", ciExtension, existed);
        long tag = -1;
        FindProgramItemTag(L"*", tag);
        tree.SetNodeTag(any, vb::Variant(tag));
        tree.EnsureVisible(any);
    });
}

void FindProgramItemTag(const std::wstring& extension, long& tag) {
    TrappedVoid(L"FindProgramItemTag", [&] {
        tag = -1;
        if (!g_host) return;
        const long rows = g_host->ExtensionRowCount();
        for (long row = 1; row <= rows; ++row) {
            if (vb::TextEquals(g_host->ExtensionRowText(row), extension)) {
                tag = g_host->ExtensionRowTag(row);
                return;
            }
        }
    });
}
