#include "basAliases.h"

#include "NeighbourServices.h"
#include "basData.h"
#include "basErrorHandler.h"
#include "basTextFiles.h"
#include "basUserInterface.h"
#include "basXmlFiles.h"
#include "vb/VbText.h"
#include "vb/VbThreadState.h"

namespace {

struct AliasState {
    vb::List<AliasRecord> Records;
};

AliasState& State() { return vb::ThreadInstance<AliasState>(); }

// The attributes in the order the file carries them, with the field each one fills.
struct AliasAttribute {
    const wchar_t* name;
    std::wstring AliasRecord::*field;
};
const AliasAttribute kAttributes[] = {
    {L"Company", &AliasRecord::Company},     {L"Product", &AliasRecord::Product},
    {L"Version", &AliasRecord::Version},     {L"LongPath", &AliasRecord::LongPath},
    {L"ShortPath", &AliasRecord::ShortPath}, {L"CompanyA", &AliasRecord::CompanyA},
    {L"ProductA", &AliasRecord::ProductA},   {L"VersionA", &AliasRecord::VersionA},
    {L"LongPathA", &AliasRecord::LongPathA}, {L"ShortPathA", &AliasRecord::ShortPathA},
};

// Which three values of a record a look-up compares.
struct LookupFields {
    std::wstring AliasRecord::*company;
    std::wstring AliasRecord::*product;
    std::wstring AliasRecord::*version;
};

long FindAlias(const std::vector<std::wstring>& fields, const LookupFields& by) {
    if (fields.size() < 2) return -1;
    const std::wstring& description = fields[0];
    size_t p = vb::InStr(description, L"-", vb::TextCompare);
    // The description is "Company - Product"; without a "-" there is nothing to split.
    if (p < 2) return -1;
    const std::wstring company = description.substr(0, p - 2);
    const std::wstring product = p + 1 < description.size() ? description.substr(p + 1) : std::wstring();
    const std::wstring& version = fields[1];

    const vb::List<AliasRecord>& records = State().Records;
    const bool hasVersionInfo = !vb::TextEquals(company, L"Missing info.") &&
                                !vb::TextEquals(product, L"Missing info.") &&
                                !vb::TextEquals(version, L"No version info.");
    for (long i = 1; i <= records.UBound(); ++i) {
        const AliasRecord& record = records[i];
        if (record.Removed) continue;
        if (hasVersionInfo) {
            if (vb::TextEquals(record.*by.company, company) && vb::TextEquals(record.*by.product, product) &&
                vb::TextEquals(record.*by.version, version))
                return i;
        } else if (fields.size() > 3 && vb::TextEquals(record.LongPath, fields[3])) {
            return i;
        }
    }
    return -1;
}

}  // namespace

vb::List<AliasRecord>& Aliases() { return State().Records; }
long AliasCount() { return State().Records.UBound(); }

namespace {

// False when the document is missing or unreadable.
bool ReadAliasDocument(const com::ComPtr<IXMLDOMDocument>& document) {
    if (!document) return false;
    com::ComPtr<IXMLDOMElement> root;
    if (document->get_documentElement(root.Put()) != S_OK || !root) return false;
    com::ComPtr<IXMLDOMNodeList> nodes;
    BSTR tag = SysAllocString(L"Alias");
    HRESULT hr = root->getElementsByTagName(tag, nodes.Put());
    SysFreeString(tag);
    if (FAILED(hr) || !nodes) return false;
    long length = 0;
    nodes->get_length(&length);

    vb::List<AliasRecord> records;
    records.Resize(length);
    for (long n = 0; n < length; ++n) {
        com::ComPtr<IXMLDOMNode> node;
        if (nodes->get_item(n, node.Put()) != S_OK || !node) continue;
        com::ComPtr<IXMLDOMElement> element;
        if (FAILED(node->QueryInterface(IID_IXMLDOMElement, element.PutVoid()))) continue;
        AliasRecord& record = records[n + 1];
        for (const AliasAttribute& attribute : kAttributes)
            record.*attribute.field = CvtForXmlParser(XmlAttribute(element.Get(), attribute.name), XmlUnescape);
    }
    State().Records = std::move(records);
    return true;
}

}  // namespace

void GetAliases() {
    ProcGuard guard;
    try {
        ShowStatus(2, L"Loading Aliases", true, false);
        if (ReadAliasDocument(LoadXmlDocument(AliasFilePath()))) {
            if (OptionsWindowServices* options = OptionsServices()) options->SetAliasCount(AliasCount());
        }
    } catch (...) {
        // A file that cannot be read leaves the records as they were; no message.
        vb::Err().Clear();
    }
    // Also after a missing file, so that neither the text nor the hourglass stays behind.
    ShowStatus(2, L"", true, false);
}

void GetAliasesFromBytes(const std::vector<uint8_t>& bytes) {
    ProcGuard guard;
    try {
        ReadAliasDocument(LoadXmlDocumentFromBytes(bytes));
    } catch (...) {
        vb::Err().Clear();
    }
}

void SaveAliases() {
    ProcGuard guard;
    std::wstring text = L"<?xml version=\"1.0\" ?>\r\n<MorvaTesselAlias>\r\n";
    const vb::List<AliasRecord>& records = State().Records;
    for (long i = 1; i <= records.UBound(); ++i) {
        const AliasRecord& record = records[i];
        if (record.Removed) continue;
        text += L"<Alias";
        for (const AliasAttribute& attribute : kAttributes) {
            text += L' ';
            text += attribute.name;
            text += L"=\"";
            text += CvtForXmlParser(record.*attribute.field, XmlEscape);
            text += L'"';
        }
        text += L" />\r\n";
    }
    text += L"</MorvaTesselAlias>\r\n";
    WriteTextFileReplacing(AliasFilePath(), text);
}

long AliasIndex(const std::vector<std::wstring>& fields) {
    return FindAlias(fields, {&AliasRecord::CompanyA, &AliasRecord::ProductA, &AliasRecord::VersionA});
}

long AliasIndexByOriginal(const std::vector<std::wstring>& fields) {
    return FindAlias(fields, {&AliasRecord::Company, &AliasRecord::Product, &AliasRecord::Version});
}

std::vector<std::wstring> GetOriginalProgramFields(const std::vector<std::wstring>& fields) {
    std::vector<std::wstring> copy = fields;
    long i = AliasIndex(fields);
    if (i >= 0 && copy.size() >= 2) {
        const AliasRecord& record = Aliases()[i];
        copy[0] = record.Company + L" - " + record.Product;
        copy[1] = record.Version;
    }
    return copy;
}
