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

// The split at the first "-": the text before it less its last character, the text after it
// less its first (the blanks of " - " in the usual form). False when the text starts with "-"
// or has none.
bool SplitAtFirstDash(const std::wstring& description, std::wstring& company, std::wstring& product) {
    const size_t p = vb::InStr(description, L"-", vb::TextCompare);
    if (p < 2) return false;
    company = description.substr(0, p - 2);
    product = p + 1 < description.size() ? description.substr(p + 1) : std::wstring();
    return true;
}

}  // namespace

bool SplitDescription(const std::wstring& description, std::wstring& company, std::wstring& product) {
    const size_t spaced = description.find(L" - ");
    if (spaced == std::wstring::npos) return SplitAtFirstDash(description, company, product);
    company = description.substr(0, spaced);
    product = description.substr(spaced + 3);
    return true;
}

bool AliasRecordHasInfo(const AliasRecord& record) {
    return record.Company != L"Missing info." && record.Product != L"Missing info." &&
           record.Version != L"No version info.";
}

namespace {

long FindAlias(const std::vector<std::wstring>& fields, const LookupFields& by) {
    if (fields.size() < 2) return -1;
    const std::wstring& description = fields[0];
    // The description is "Company - Product"; without a "-" there is nothing to split. Records
    // written before whole descriptions were compared may hold the parts of the split at the
    // first "-"; they are still found by those parts.
    std::wstring oldCompany, oldProduct;
    if (!SplitAtFirstDash(description, oldCompany, oldProduct)) return -1;
    std::wstring company, product;
    SplitDescription(description, company, product);
    const std::wstring& version = fields[1];
    const std::wstring longPath = fields.size() > 3 ? fields[3] : std::wstring();

    const vb::List<AliasRecord>& records = State().Records;
    const bool hasVersionInfo = !vb::TextEquals(company, L"Missing info.") &&
                                !vb::TextEquals(product, L"Missing info.") &&
                                !vb::TextEquals(version, L"No version info.");
    for (long i = 1; i <= records.UBound(); ++i) {
        const AliasRecord& record = records[i];
        if (record.Removed) continue;
        if (hasVersionInfo) {
            // The whole description, so that a "-" inside the company does not matter.
            const bool sameNames =
                vb::TextEquals(record.*by.company + L" - " + record.*by.product, description) ||
                (vb::TextEquals(record.*by.company, oldCompany) && vb::TextEquals(record.*by.product, oldProduct));
            if (!sameNames || !vb::TextEquals(record.*by.version, version)) continue;
            // A program without version information is told from its copies by its long path
            // alone, so the same alias on two copies stays two records.
            if (!AliasRecordHasInfo(record) && !record.LongPath.empty() && fields.size() > 3 &&
                !vb::TextEquals(record.LongPath, longPath))
                continue;
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
        // Read through the shared reader rather than by the XML object's own loader, which
        // would keep a save from replacing the file while it reads.
        std::string bytes;
        if (ReadFileBytes(AliasFilePath(), bytes) &&
            ReadAliasDocument(LoadXmlDocumentFromBytes(std::vector<uint8_t>(bytes.begin(), bytes.end())))) {
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
    WriteWorkingFileIfChanged(AliasFilePath(), text);
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
