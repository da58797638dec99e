#include "basAssocSnapshot.h"

#include <oleauto.h>

#include "basAssocLinks.h"
#include "basErrorHandler.h"
#include "basIniFile.h"
#include "basMessageHandler.h"
#include "basTextFiles.h"
#include "basUserInterface.h"
#include "basWinAPI_Registry.h"
#include "basXmlFiles.h"
#include "com/Bstr.h"
#include "vb/VbError.h"
#include "vb/VbText.h"

namespace {

struct SnapshotState {
    RegKeyRecords extKeys{1};
    RegKeyRecords assocKeys{1};
    std::vector<long> extOrder{0};
    std::vector<long> extTagOrder{0};
    std::vector<long> assocOrder{0};
    bool read = false;
    // Whether the file carries the mark that this version's writer sets on the snapshots it
    // takes of the registry as it stands.
    bool live = false;
    short logLevel = 0;
    // Why the file being read cannot be trusted; empty while it can.
    std::wstring damage;
};

// The snapshot the comparison and the restore use.
SnapshotState& Live() {
    static SnapshotState state;
    return state;
}

// Where the reader puts what it reads: the live snapshot, or while a new file is read back, a
// state of the writer's own that becomes the live one only once the file is in place.
SnapshotState*& ReadTarget() {
    static SnapshotState* target = nullptr;
    return target;
}

SnapshotState& State() { return ReadTarget() ? *ReadTarget() : Live(); }

class ReadInto {
public:
    explicit ReadInto(SnapshotState& state) : previous_(ReadTarget()) { ReadTarget() = &state; }
    ~ReadInto() { ReadTarget() = previous_; }
    ReadInto(const ReadInto&) = delete;
    ReadInto& operator=(const ReadInto&) = delete;

private:
    SnapshotState* previous_;
};

using com::Bstr;
using com::BstrVariant;

void Check(HRESULT hr) {
    if (FAILED(hr)) vb::Raise(hr);
}

void SetAttribute(IXMLDOMElement* element, const wchar_t* name, std::wstring_view value) {
    Bstr attribute{std::wstring_view(name)};
    BstrVariant data(value);
    Check(element->setAttribute(attribute.Get(), data.v));
}

bool IsSpecialByte(uint8_t b) {
    return b < 32 || b > 127 || b == '<' || b == '>' || b == '&' || b == '\'' || b == '"';
}

// As for text: the brace of a run marker the data holds is escaped too.
bool IsSpecialByteAt(const vb::Variant::Bytes& bytes, size_t i) {
    return IsSpecialByte(bytes[i]) ||
           (bytes[i] == '{' && i + 2 < bytes.size() && bytes[i + 1] == '[' && bytes[i + 2] == '~');
}

// Binary data escaped as the attribute text of its ANSI characters would be, built from the
// bytes themselves so that no byte is lost to a code page without a character for it.
std::wstring EscapeBytes(const vb::Variant::Bytes& bytes) {
    static const wchar_t kDigits[] = L"0123456789ABCDEF";
    std::wstring out;
    out.reserve(bytes.size() * 2);
    size_t i = 0;
    while (i < bytes.size()) {
        if (!IsSpecialByteAt(bytes, i)) {
            out += static_cast<wchar_t>(bytes[i++]);
            continue;
        }
        out += L"{[~";
        while (i < bytes.size() && IsSpecialByteAt(bytes, i)) {
            out += kDigits[bytes[i] >> 4];
            out += kDigits[bytes[i] & 15];
            ++i;
        }
        out += L"~]}";
    }
    return out;
}

int HexDigit(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    return -1;
}

// The inverse of EscapeBytes for an attribute as the file holds it; characters outside the
// escaped runs count with their ANSI codes.
vb::Variant::Bytes UnescapeToBytes(const std::wstring& text) {
    vb::Variant::Bytes out;
    out.reserve(text.size());
    size_t p = 0;
    auto plain = [&](size_t from, size_t to) {
        if (from >= to) return;
        std::string ansi = vb::ToAnsi(std::wstring_view(text).substr(from, to - from));
        out.insert(out.end(), ansi.begin(), ansi.end());
    };
    for (;;) {
        size_t s = text.find(L"{[~", p);
        size_t e = s == std::wstring::npos ? std::wstring::npos : text.find(L"~]}", s + 3);
        if (s == std::wstring::npos || e == std::wstring::npos) {
            plain(p, text.size());
            return out;
        }
        plain(p, s);
        std::wstring_view hex = std::wstring_view(text).substr(s + 3, e - s - 3);
        bool ok = hex.size() % 2 == 0;
        vb::Variant::Bytes run;
        for (size_t i = 0; ok && i < hex.size(); i += 2) {
            int high = HexDigit(hex[i]), low = HexDigit(hex[i + 1]);
            if (high < 0 || low < 0) ok = false;
            else run.push_back(static_cast<uint8_t>(high * 16 + low));
        }
        if (ok) out.insert(out.end(), run.begin(), run.end());
        else plain(s, e + 3);
        p = e + 3;
    }
}

std::wstring NodeName(IXMLDOMNode* node) {
    Bstr name;
    if (FAILED(node->get_nodeName(name.Put()))) return {};
    return name.Text();
}

bool IsElement(IXMLDOMNode* node) {
    DOMNodeType type = NODE_INVALID;
    return SUCCEEDED(node->get_nodeType(&type)) && type == NODE_ELEMENT;
}

// The element children of a node, in document order (the reader looks at nothing else), with
// their names.
struct Child {
    com::ComPtr<IXMLDOMNode> node;
    std::wstring name;
};
std::vector<Child> ElementChildren(IXMLDOMNode* node) {
    std::vector<Child> children;
    com::ComPtr<IXMLDOMNode> child;
    if (FAILED(node->get_firstChild(child.Put()))) return children;
    while (child) {
        com::ComPtr<IXMLDOMNode> next;
        child->get_nextSibling(next.Put());
        if (IsElement(child.Get())) {
            std::wstring name = NodeName(child.Get());
            children.push_back(Child{std::move(child), std::move(name)});
        }
        child = std::move(next);
    }
    return children;
}

std::vector<com::ComPtr<IXMLDOMNode>> Named(std::vector<Child>& children, const wchar_t* name) {
    std::vector<com::ComPtr<IXMLDOMNode>> named;
    for (Child& c : children)
        if (c.name == name) named.push_back(std::move(c.node));
    return named;
}

com::ComPtr<IXMLDOMNode> FirstElementChild(IXMLDOMNode* node, const wchar_t* name) {
    com::ComPtr<IXMLDOMNode> child;
    if (FAILED(node->get_firstChild(child.Put()))) return {};
    while (child) {
        if (IsElement(child.Get()) && NodeName(child.Get()) == name) return child;
        com::ComPtr<IXMLDOMNode> next;
        child->get_nextSibling(next.Put());
        child = std::move(next);
    }
    return {};
}

// Attribute names, made once.
BSTR AttributeName(const wchar_t* name) {
    static std::vector<std::pair<std::wstring, BSTR>> names;
    for (auto& n : names)
        if (n.first == name) return n.second;
    names.emplace_back(name, SysAllocString(name));
    return names.back().second;
}

// An attribute's text; present tells whether the element has it at all.
std::wstring Attribute(IXMLDOMElement* element, const wchar_t* name, bool* present = nullptr) {
    if (present) *present = false;
    VARIANT value;
    VariantInit(&value);
    std::wstring text;
    if (element->getAttribute(AttributeName(name), &value) == S_OK && value.vt == VT_BSTR) {
        if (present) *present = true;
        if (value.bstrVal) text.assign(value.bstrVal, SysStringLen(value.bstrVal));
    }
    VariantClear(&value);
    return text;
}

std::wstring Attribute(IXMLDOMNode* node, const wchar_t* name) {
    com::ComPtr<IXMLDOMElement> element;
    if (FAILED(node->QueryInterface(IID_IXMLDOMElement, element.PutVoid()))) return {};
    return Attribute(element.Get(), name);
}

void NoteDamage(const std::wstring& why) {
    if (State().damage.empty()) State().damage = why;
}

// A stored length: digits only, at most limit.
bool LengthWithin(const std::wstring& text, size_t limit) {
    const std::wstring digits = vb::Trim(text);
    if (digits.empty() || digits.size() > 12) return false;
    size_t value = 0;
    for (wchar_t c : digits) {
        if (c < L'0' || c > L'9') return false;
        value = value * 10 + static_cast<size_t>(c - L'0');
    }
    return value <= limit;
}

bool IsExtensionName(const std::wstring& name) { return IsSnapshotExtensionName(name); }

// Each subkey's name is its whole path: it must lie below the record it belongs to.
bool SubkeysBelong(const RegKeyRecord& record) {
    const std::wstring prefix = record.KeyName + L"\\";
    for (const SubkeyRecord& subkey : record.Subkeys) {
        if (subkey.KeyName.size() <= prefix.size()) return false;
        if (!vb::TextEquals(std::wstring_view(subkey.KeyName).substr(0, prefix.size()), prefix)) return false;
    }
    return true;
}

// Whether an extension names a class (its unnamed value, without the previewer tag, says one).
bool NamesAClass(const RegKeyRecord& record) {
    bool tagged = false;
    return !vb::Trim(AssociationNameOf(record, tagged)).empty();
}

// What makes a well-formed file unfit to restore from: a restore writes and deletes by these
// names, so one that points elsewhere in the registry, a file with no extensions at all (every
// present extension would look new), or one whose extensions name classes while it holds none
// (every class would look new), is refused as a whole.
std::wstring DamageOf(const SnapshotState& s) {
    if (!s.damage.empty()) return s.damage;
    if (s.extKeys.size() <= 1) return L"it lists no extensions";
    for (size_t i = 1; i < s.extKeys.size(); ++i) {
        const RegKeyRecord& record = s.extKeys[i];
        if (!IsExtensionName(record.KeyName)) return L"\"" + record.KeyName + L"\" is no extension";
        if (!SubkeysBelong(record)) return L"a subkey of \"" + record.KeyName + L"\" lies outside it";
    }
    if (s.assocKeys.size() <= 1) {
        for (size_t i = 1; i < s.extKeys.size(); ++i)
            if (NamesAClass(s.extKeys[i]))
                return L"its extensions name classes, but it holds none of them, as \"" + s.extKeys[i].KeyName +
                       L"\" names \"" + UnnamedValueText(s.extKeys[i]) + L"\"";
    }
    for (size_t i = 1; i < s.assocKeys.size(); ++i) {
        const RegKeyRecord& record = s.assocKeys[i];
        if (!IsSnapshotAssociationName(record.KeyName))
            return L"the association \"" + record.KeyName + L"\" is no class of its own";
        if (!SubkeysBelong(record)) return L"a subkey of \"" + record.KeyName + L"\" lies outside it";
    }
    return {};
}

long WholeNumber(const std::wstring& text) {
    try {
        return vb::Variant(vb::Trim(text)).ToLong();
    } catch (...) {
        vb::Err().Clear();
        return 0;
    }
}

// The list of a key element's values or subkeys: the element children of its first group
// element ("Values", "Subkeys") when it has one, else its own single-item children.
std::vector<com::ComPtr<IXMLDOMNode>> ItemsOf(IXMLDOMNode* keyElement, const wchar_t* group, const wchar_t* item) {
    std::vector<Child> children = ElementChildren(keyElement);
    for (Child& c : children) {
        if (c.name == group) {
            std::vector<Child> grouped = ElementChildren(c.node.Get());
            return Named(grouped, item);
        }
    }
    return Named(children, item);
}

void GetSnapshotSubkeys(RegKeyRecord& record, IXMLDOMNode* keyElement) {
    std::vector<com::ComPtr<IXMLDOMNode>> items = ItemsOf(keyElement, L"Subkeys", L"Subkey");
    record.Subkeys.clear();
    record.Subkeys.reserve(items.size());
    for (const com::ComPtr<IXMLDOMNode>& item : items) {
        // A subkey without a name stands for one the writer could not read: nothing to restore.
        SubkeyRecord subkey;
        subkey.KeyName = CvtForXmlParser(Attribute(item.Get(), L"Name"), XmlUnescape);
        if (subkey.KeyName.empty()) continue;
        GetSnapshotKeyValues(item.Get(), subkey.ValueIndex, subkey.KeyValues);
        record.Subkeys.push_back(std::move(subkey));
    }
}

// One "Extension" or "Association" element into a record.
void ReadKeyElement(IXMLDOMNode* element, RegKeyRecord& record) {
    record.KeyName = CvtForXmlParser(Attribute(element, L"Name"), XmlUnescape);
    record.Unread = Attribute(element, L"Unread") == L"1";
    GetSnapshotKeyValues(element, record.ValueIndex, record.KeyValues);
}

void AppendKey(IXMLDOMNode* parent, const wchar_t* elementName, const RegKeyRecord& record) {
    com::ComPtr<IXMLDOMElement> key = AppendNode(parent, elementName, record.KeyName, L"Name");
    AppendRegValues(key.Get(), record.KeyValues);
    // A subkey the model could not read (a name outside the code page, a key that denies
    // reading, one removed while it loaded) is an unnamed placeholder: it is not written.
    size_t named = 0;
    for (const SubkeyRecord& subkey : record.Subkeys)
        if (!subkey.KeyName.empty()) ++named;
    if (named == 0) return;
    com::ComPtr<IXMLDOMElement> holder;
    IXMLDOMNode* subParent = key.Get();
    if (named > 1) {
        holder = AppendNode(key.Get(), L"Subkeys", L"", L"");
        subParent = holder.Get();
    }
    for (const SubkeyRecord& subkey : record.Subkeys) {
        if (subkey.KeyName.empty()) continue;
        com::ComPtr<IXMLDOMElement> element = AppendNode(subParent, L"Subkey", subkey.KeyName, L"Name");
        AppendRegValues(element.Get(), subkey.KeyValues);
    }
}

// Why the parser refused the file, with the place when it gives one.
std::wstring ParseErrorText(IXMLDOMDocument* document, const std::wstring& path) {
    if (GetFileAttributesW(path.c_str()) == INVALID_FILE_ATTRIBUTES) return L"the file is missing";
    long code = 0, line = 0, linePos = 0;
    Bstr reason;
    com::ComPtr<IXMLDOMParseError> error;
    if (SUCCEEDED(document->get_parseError(error.Put())) && error) {
        error->get_errorCode(&code);
        error->get_reason(reason.Put());
        error->get_line(&line);
        error->get_linepos(&linePos);
    }
    std::wstring text = L"it is not a well-formed XML file";
    const std::wstring said = vb::Trim(reason.Text());
    if (!said.empty()) text += L": " + said;
    if (line > 0) text += L" (line " + std::to_wstring(line) + L", position " + std::to_wstring(linePos) + L")";
    if (said.empty() && code != 0) text += L" (error " + vb::Hex(code) + L")";
    return text;
}

void EmptySnapshot() {
    SnapshotState& s = State();
    s.extKeys.assign(1, RegKeyRecord{});
    s.assocKeys.assign(1, RegKeyRecord{});
    s.extOrder.assign(1, 0);
    s.extTagOrder.assign(1, 0);
    s.assocOrder.assign(1, 0);
    s.read = false;
    s.live = false;
    s.damage.clear();
}

class RestorerSink : public CheckpointSink {
public:
    void Detail2Ini(const std::wstring& text, bool force) override { ::RestorerDetail2Ini(text, force); }
};

}  // namespace

RegKeyRecords& SnapshotExtKeys() { return State().extKeys; }
RegKeyRecords& SnapshotAssocKeys() { return State().assocKeys; }
std::vector<long>& SnapshotExtOrder() { return State().extOrder; }
std::vector<long>& SnapshotExtTagOrder() { return State().extTagOrder; }
std::vector<long>& SnapshotAssocOrder() { return State().assocOrder; }
bool SnapshotRead() { return State().read; }
bool SnapshotLive() { return State().read && State().live; }
short& SnapshotLogLevel() { return State().logLevel; }

bool IsSnapshotAssociationName(const std::wstring& name) {
    if (vb::Trim(name).empty() || name.find(L'\\') != std::wstring::npos) return false;
    return !IsSkippedKey(name);
}

bool IsSnapshotExtensionName(const std::wstring& name) {
    if (name == L"*") return true;
    return !name.empty() && name[0] == L'.' && name.find(L'\\') == std::wstring::npos;
}

std::wstring SnapshotUnreadableText(const std::wstring& path, const std::wstring& why) {
    return L"The snapshot of your file associations could not be read, so nothing was compared with it and "
           L"nothing can be restored from it.\r\n\r\nFile: " +
           path + L"\r\nReason: " + why +
           L".\r\n\r\nClick \"Save\" to take a new snapshot of the associations as they are now. The new snapshot "
           L"replaces this file only once it has been read back whole.";
}

std::wstring SnapshotNotSavedText(const std::wstring& why) {
    return L"No new snapshot was saved: " + why + L".\r\n\r\nThe last snapshot is kept as it was.";
}

std::wstring NotComparedText(const std::wstring& why) {
    return L"The file associations were not compared with the snapshot: " + why +
           L".\r\n\r\nNothing is offered for restoring. Close the restorer and open it again to try once more.";
}

std::wstring SnapshotNotLiveText(const std::wstring& path) {
    return L"The snapshot in " + path +
           L" was not saved by this version of the restorer (it may be kept from an earlier install), so it "
           L"cannot show which keys are new since it was taken. No \"Remove\" rows are offered from it.\r\n\r\n"
           L"Click \"Save\" to take a new snapshot of the associations as they are now.";
}

void ResetSnapshotState() {
    EmptySnapshot();
    State().logLevel = 0;
}

void RestorerKey2Ini(const std::wstring& text) {
    if (State().logLevel > 0) IniFile(IniWrite, L"Key", vb::Variant(text));
}

void RestorerDetail2Ini(const std::wstring& text, bool force) {
    if (State().logLevel >= 1 || force) IniFile(IniWrite, L"Detail", vb::Variant(text));
}

void SetProgressCheckpoint(const std::wstring& text) { IniFile(IniWrite, L"Scanning Progress", vb::Variant(text)); }

CheckpointSink& RestorerCheckpoints() {
    static RestorerSink sink;
    return sink;
}

void InstallRestorerCheckpoints() { SetRestorerCheckpointSink(&RestorerCheckpoints()); }

std::wstring SnapshotDataText(const vb::Variant& data) {
    if (data.IsBytes()) return ByteArrayToString(data);
    return ValueDataText(data);
}

vb::Variant::Bytes SnapshotTextToBytes(const std::wstring& text, size_t length) {
    vb::Variant::Bytes bytes;
    bytes.reserve(length);
    for (wchar_t c : text) {
        if (bytes.size() >= length) break;
        if (c < 0x80) {
            bytes.push_back(static_cast<uint8_t>(c));
            continue;
        }
        std::string ansi = vb::ToAnsi(std::wstring_view(&c, 1));
        bytes.push_back(ansi.empty() ? 0 : static_cast<uint8_t>(ansi[0]));
    }
    bytes.resize(length, 0);
    return bytes;
}

com::ComPtr<IXMLDOMElement> AppendNode(IXMLDOMNode* parent, const std::wstring& elementName,
                                       const std::wstring& attributeValue, const std::wstring& attributeName,
                                       const std::wstring& nameSpace) {
    ProcGuard guard;
    com::ComPtr<IXMLDOMElement> result;
    try {
        std::wstring escaped = CvtForXmlParser(attributeValue, XmlEscape);
        if (State().logLevel > 0) RestorerDetail2Ini(L"AppendN: N:" + elementName + L" V:" + escaped, false);
        com::ComPtr<IXMLDOMDocument> document;
        Check(parent->get_ownerDocument(document.Put()));
        if (!document) {
            // The parent is the document itself.
            Check(parent->QueryInterface(IID_IXMLDOMDocument, document.PutVoid()));
        }
        VARIANT type;
        VariantInit(&type);
        type.vt = VT_I4;
        type.lVal = NODE_ELEMENT;
        Bstr name{elementName};
        Bstr uri{nameSpace};
        com::ComPtr<IXMLDOMNode> node;
        Check(document->createNode(type, name.Get(), uri.Get(), node.Put()));
        com::ComPtr<IXMLDOMNode> appended;
        Check(parent->appendChild(node.Get(), appended.Put()));
        Check(node->QueryInterface(IID_IXMLDOMElement, result.PutVoid()));
        if (!escaped.empty()) SetAttribute(result.Get(), attributeName.c_str(), escaped);
    } catch (...) {
        TrapError(L"AppendNode");
        throw SnapshotErrorReported{};
    }
    return result;
}

bool AppendRegValues(IXMLDOMNode* keyElement, const std::vector<RegValueRecord>& values) {
    ProcGuard guard;
    try {
        RestorerDetail2Ini(L"AppendRV", false);
        if (values.empty()) return false;
        com::ComPtr<IXMLDOMElement> holder;
        IXMLDOMNode* parent = keyElement;
        if (values.size() > 1) {
            holder = AppendNode(keyElement, L"Values", L"", L"");
            parent = holder.Get();
        }
        for (const RegValueRecord& value : values) {
            const std::wstring name = CvtForXmlParser(value.ValueName, XmlEscape);
            const bool bytes = value.ValueData.IsBytes();
            const std::wstring data = bytes ? EscapeBytes(value.ValueData.AsBytes())
                                            : CvtForXmlParser(SnapshotDataText(value.ValueData), XmlEscape);
            if (State().logLevel > 0)
                RestorerKey2Ini(L"N:" + name + L" DT:" + std::to_wstring(value.ValueType) + L" V:" + data);
            com::ComPtr<IXMLDOMElement> element = AppendNode(parent, L"Value", L"", L"");
            SetAttribute(element.Get(), L"Name", name.empty() ? std::wstring(L"(Default)") : name);
            SetAttribute(element.Get(), L"Data", data);
            SetAttribute(element.Get(), L"Type", std::to_wstring(value.ValueType));
            if (bytes)
                SetAttribute(element.Get(), L"DataLength", std::to_wstring(value.ValueData.AsBytes().size()));
            else if (value.ValueData.IsString())
                SetAttribute(element.Get(), L"DataLength", std::to_wstring(value.ValueData.ToString().size()));
        }
        return true;
    } catch (const SnapshotErrorReported&) {
        throw;
    } catch (...) {
        TrapError(L"AppendRegValues");
        throw SnapshotErrorReported{};
    }
}

namespace {

// The document of the records, saved as fresh. Raises on failure.
void SaveSnapshotDocument(const std::wstring& fresh, const RegKeyRecords& extKeys, const RegKeyRecords& assocKeys,
                          const std::vector<long>& extOrder, const std::vector<std::wstring>& unreadClasses,
                          const std::function<void(long position)>& tick) {
    const size_t count = extKeys.empty() ? 0 : extKeys.size() - 1;
    // The records in order; names the reader would refuse are left out (a key named "." with
    // something after it is an extension, a name with a path in it is none).
    auto recordAt = [&](size_t p) -> const RegKeyRecord* {
        if (p >= extOrder.size()) return nullptr;
        long e = extOrder[p];
        if (e < 1 || static_cast<size_t>(e) >= extKeys.size()) return nullptr;
        const RegKeyRecord* record = &extKeys[static_cast<size_t>(e)];
        return IsSnapshotExtensionName(record->KeyName) ? record : nullptr;
    };

    SetProgressCheckpoint(L"Snapshot Start");
    com::ComPtr<IXMLDOMDocument> document = CreateXmlDocument();
    if (!document) vb::Raise(429, std::nullopt, std::wstring(L"The XML document object could not be created."));
    SetProgressCheckpoint(L"SS: Document Set");
    document->put_validateOnParse(VARIANT_FALSE);
    document->put_resolveExternals(VARIANT_FALSE);
    document->put_preserveWhiteSpace(VARIANT_TRUE);

    Bstr target{std::wstring_view(L"xml")};
    Bstr declaration{std::wstring_view(L"version='1.0' encoding='UTF-8'")};
    com::ComPtr<IXMLDOMProcessingInstruction> instruction;
    Check(document->createProcessingInstruction(target.Get(), declaration.Get(), instruction.Put()));
    com::ComPtr<IXMLDOMNode> appended;
    Check(document->appendChild(instruction.Get(), appended.Put()));
    // The mark of a snapshot taken of the registry as it stood: other readers of the format pass
    // over the attribute.
    com::ComPtr<IXMLDOMElement> root = AppendNode(document.Get(), L"MorvaWA", L"1", L"Live");
    com::ComPtr<IXMLDOMElement> extensions = AppendNode(root.Get(), L"Extensions", L"", L"");

    SetProgressCheckpoint(L"SS: Before Ext loop");
    for (size_t p = 1; p <= count; ++p) {
        if (const RegKeyRecord* ext = recordAt(p)) AppendKey(extensions.Get(), L"Extension", *ext);
        if (tick) tick(static_cast<long>(p));
    }

    com::ComPtr<IXMLDOMElement> associations = AppendNode(root.Get(), L"Associations", L"", L"");
    std::vector<bool> written(assocKeys.size(), false);
    std::vector<bool> unreadWritten(unreadClasses.size(), false);
    SetProgressCheckpoint(L"SS: Before Assoc. loop");
    for (size_t p = 1; p <= count; ++p) {
        if (const RegKeyRecord* ext = recordAt(p)) {
            long link = ext->Link;
            if (link >= 1 && static_cast<size_t>(link) < assocKeys.size() && !written[static_cast<size_t>(link)]) {
                written[static_cast<size_t>(link)] = true;
                // A link to a system key ("CLSID", a path below one) is no class to restore;
                // the reader would refuse the file for it.
                const RegKeyRecord& association = assocKeys[static_cast<size_t>(link)];
                if (IsSnapshotAssociationName(association.KeyName))
                    AppendKey(associations.Get(), L"Association", association);
            } else if (link == 0) {
                // A class that is there but could not be read is recorded as there, with
                // nothing of it: it must never look new.
                bool tagged = false;
                const std::wstring name = vb::Trim(AssociationNameOf(*ext, tagged));
                for (size_t u = 0; u < unreadClasses.size(); ++u) {
                    if (unreadWritten[u] || !vb::TextEquals(unreadClasses[u], name)) continue;
                    unreadWritten[u] = true;
                    if (!IsSnapshotAssociationName(unreadClasses[u])) break;
                    com::ComPtr<IXMLDOMElement> element =
                        AppendNode(associations.Get(), L"Association", unreadClasses[u], L"Name");
                    SetAttribute(element.Get(), L"Unread", L"1");
                    break;
                }
            }
        }
        if (tick) tick(static_cast<long>(p));
    }

    SetProgressCheckpoint(L"SS: Before Save");
    DeleteFileW(fresh.c_str());
    BstrVariant destination(fresh);
    HRESULT hr = document->save(destination.v);
    if (FAILED(hr)) {
        DeleteFileW(fresh.c_str());
        vb::Raise(hr, std::nullopt, L"the new snapshot could not be written to " + fresh);
    }
}

std::wstring DescriptionOfCurrentError(const wchar_t* fallback) {
    std::wstring text = vb::Trim(vb::Err().Description);
    vb::Err().Clear();
    return text.empty() ? std::wstring(fallback) : text;
}

}  // namespace

void WriteAssocSnapshot(const std::wstring& path, const RegKeyRecords& extKeys, const RegKeyRecords& assocKeys,
                        const std::vector<long>& extOrder, const std::function<void(long position)>& tick,
                        const std::vector<std::wstring>& unreadClasses) {
    const size_t count = extKeys.empty() ? 0 : extKeys.size() - 1;
    // Every Windows has extensions: an empty list means they could not be read, and a snapshot
    // of it would later offer to remove every extension there is.
    if (count == 0)
        throw SnapshotNotSaved{L"the list of file extensions read from the registry is empty, so it would not show "
                               L"the associations as they are"};

    // A new file beside the old one, then swapped in: a failed save leaves the old snapshot whole.
    const std::wstring fresh = path + L".new";
    try {
        SaveSnapshotDocument(fresh, extKeys, assocKeys, extOrder, unreadClasses, tick);
    } catch (const SnapshotErrorReported&) {
        DeleteFileW(fresh.c_str());
        throw SnapshotNotSaved{L"the new snapshot could not be built (" +
                               DescriptionOfCurrentError(L"the error was shown before") + L")"};
    } catch (...) {
        vb::CaptureCurrentException();
        DeleteFileW(fresh.c_str());
        throw SnapshotNotSaved{DescriptionOfCurrentError(L"the new snapshot could not be written")};
    }

    // Every snapshot read back whole before it counts: one the reader would refuse must never
    // replace the last good one. It is read into a state of its own, which becomes the live
    // one only once the file has taken the old one's place.
    SnapshotState readBack;
    readBack.logLevel = Live().logLevel;
    std::wstring why;
    bool readable = false;
    {
        ReadInto into(readBack);
        readable = GetAssocSnapshot(fresh, &why);
    }
    if (!readable) {
        DeleteFileW(fresh.c_str());
        throw SnapshotNotSaved{L"the new snapshot could not be read back (" + why + L")"};
    }
    // The file takes the old one's place in one step, and the archive layer learns what it now
    // holds from the same call.
    if (!PutWorkingFileInPlace(fresh, path)) {
        const DWORD error = GetLastError();
        throw SnapshotNotSaved{L"the new snapshot could not take the place of " + path +
                               L" (the file may be open in another program; error " + std::to_wstring(error) + L")"};
    }
    readBack.logLevel = Live().logLevel;
    Live() = std::move(readBack);
}

void GetSnapshotKeyValues(IXMLDOMNode* keyElement, long& defaultIndex, std::vector<RegValueRecord>& values) {
    ProcGuard guard;
    defaultIndex = -1;
    values.clear();
    try {
        std::vector<com::ComPtr<IXMLDOMNode>> items = ItemsOf(keyElement, L"Values", L"Value");
        values.resize(items.size());
        for (size_t i = 0; i < items.size(); ++i) {
            com::ComPtr<IXMLDOMElement> item;
            if (FAILED(items[i]->QueryInterface(IID_IXMLDOMElement, item.PutVoid()))) continue;
            RegValueRecord& value = values[i];
            value.ValueName = CvtForXmlParser(Attribute(item.Get(), L"Name"), XmlUnescape);
            if (vb::TextEquals(value.ValueName, L"(Default)")) {
                value.ValueName.clear();
                defaultIndex = static_cast<long>(i);
            }
            const std::wstring raw = Attribute(item.Get(), L"Data");
            value.ValueType = WholeNumber(Attribute(item.Get(), L"Type"));
            bool hasLength = false;
            const std::wstring lengthText = Attribute(item.Get(), L"DataLength", &hasLength);
            if (!hasLength) {
                value.ValueData = CvtForXmlParser(raw, XmlUnescape);
                continue;
            }
            auto damaged = [&](size_t available) {
                NoteDamage(L"the value \"" + value.ValueName + L"\" has a data length of \"" + vb::Trim(lengthText) +
                           L"\" for " + std::to_wstring(available) + L" characters of data");
            };
            switch (value.ValueType) {
                case REG_SZ:
                case REG_EXPAND_SZ:
                case REG_MULTI_SZ: {
                    // The length can only cut the text; one that is no number, or longer than
                    // the text, is damage, never a reason to empty or pad it.
                    std::wstring text = CvtForXmlParser(raw, XmlUnescape);
                    if (!LengthWithin(lengthText, text.size())) {
                        damaged(text.size());
                        break;
                    }
                    text.resize(static_cast<size_t>(WholeNumber(lengthText)));
                    value.ValueData = std::move(text);
                    break;
                }
                case REG_DWORD:
                case REG_DWORD_BIG_ENDIAN:
                    value.ValueData = CvtForXmlParser(raw, XmlUnescape);
                    break;
                default: {
                    vb::Variant::Bytes bytes = UnescapeToBytes(raw);
                    // A writer that kept one character per byte could lose at most every other
                    // byte to a double-byte code page (a lead and a trail byte read as one
                    // character), so the length may ask for up to twice the bytes there are,
                    // filled with zeros; anything beyond that is damage.
                    if (!LengthWithin(lengthText, 2 * bytes.size())) {
                        damaged(bytes.size());
                        break;
                    }
                    bytes.resize(static_cast<size_t>(WholeNumber(lengthText)), 0);
                    value.ValueData = std::move(bytes);
                    break;
                }
            }
        }
    } catch (...) {
        TrapError(L"GetSnapshotKeyValues");
    }
}

void GetExtSnapshotSubkeys(long index, IXMLDOMNode* keyElement) {
    TrappedVoid(L"GetExtSnapshotSubkeys", [&] { GetSnapshotSubkeys(State().extKeys.at(index), keyElement); });
}

void GetAssocSnapshotSubkeys(long index, IXMLDOMNode* keyElement) {
    TrappedVoid(L"GetAssocSnapshotSubkeys", [&] { GetSnapshotSubkeys(State().assocKeys.at(index), keyElement); });
}

bool GetAssocSnapshot(const std::wstring& path, std::wstring* failureOut) {
    ProcGuard guard;
    // Whatever an earlier read left must never stand in for this file.
    EmptySnapshot();
    bool ok = false;
    try {
        ShowStatus(2, L"Loading snapshot file", true);
        com::ComPtr<IXMLDOMDocument> document = CreateXmlDocument();
        if (!document) vb::Raise(429, std::nullopt, std::wstring(L"The XML document object could not be created."));
        document->put_validateOnParse(VARIANT_TRUE);
        document->put_resolveExternals(VARIANT_FALSE);
        document->put_preserveWhiteSpace(VARIANT_TRUE);
        BstrVariant source(path);
        VARIANT_BOOL loaded = VARIANT_FALSE;
        HRESULT hr = document->load(source.v, &loaded);
        std::wstring failure;
        com::ComPtr<IXMLDOMNode> extensions;
        com::ComPtr<IXMLDOMElement> root;
        auto refuse = [&](const std::wstring& why) {
            if (failureOut)
                *failureOut = why;
            else
                CurrentMessagePresenter().Show(SnapshotUnreadableText(path, why), MB_OK | MB_ICONEXCLAMATION,
                                               RestorerMessageTitle);
        };
        if (hr != S_OK || loaded != VARIANT_TRUE) {
            failure = ParseErrorText(document.Get(), path);
        } else {
            document->get_documentElement(root.Put());
            if (root) State().live = Attribute(root.Get(), L"Live") == L"1";
            if (root && NodeName(root.Get()) == L"MorvaWA") extensions = FirstElementChild(root.Get(), L"Extensions");
            if (!extensions) failure = L"it holds no \"MorvaWA\" element with \"Extensions\" in it";
        }
        if (!failure.empty()) {
            refuse(failure);
        } else {
            SnapshotState& s = State();
            ShowStatus(2, L"Getting snapshot extensions", true);
            std::vector<Child> children = ElementChildren(extensions.Get());
            std::vector<com::ComPtr<IXMLDOMNode>> items = Named(children, L"Extension");
            s.extKeys.resize(items.size() + 1);
            for (size_t k = 1; k <= items.size(); ++k) {
                ShowStatus(3, std::to_wstring(k));
                ReadKeyElement(items[k - 1].Get(), s.extKeys[k]);
                GetExtSnapshotSubkeys(static_cast<long>(k), items[k - 1].Get());
            }
            ShowStatus(2, L"Getting snapshot associations", true);
            if (com::ComPtr<IXMLDOMNode> associations = FirstElementChild(root.Get(), L"Associations")) {
                children = ElementChildren(associations.Get());
                items = Named(children, L"Association");
                s.assocKeys.resize(items.size() + 1);
                for (size_t k = 1; k <= items.size(); ++k) {
                    ShowStatus(3, std::to_wstring(k));
                    ReadKeyElement(items[k - 1].Get(), s.assocKeys[k]);
                    GetAssocSnapshotSubkeys(static_cast<long>(k), items[k - 1].Get());
                }
            }
            ShowStatus(3, L"");
            const std::wstring damage = DamageOf(s);
            if (!damage.empty()) {
                refuse(L"it is damaged: " + damage);
                throw SnapshotErrorReported{};
            }
            ShowStatus(2, L"Sorting", true);
            s.extTagOrder = SortExtKeys(s.extKeys);
            s.extOrder = Sort(s.extKeys);
            s.assocOrder = Sort(s.assocKeys);
            ShowStatus(2, L"Matching extensions with associations", true);
            MatchDefAssocWithExt(s.extKeys, s.assocKeys, s.extTagOrder, s.assocOrder);
            s.read = true;
            ok = true;
        }
    } catch (const SnapshotErrorReported&) {
        EmptySnapshot();
        ok = false;
    } catch (...) {
        TrapError(L"GetAssocSnapshot");
        EmptySnapshot();
        ok = false;
    }
    ShowStatus(2, L"");
    ShowStatus(3, L"");
    return ok;
}
