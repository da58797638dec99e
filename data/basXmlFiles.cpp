#include "basXmlFiles.h"

#include <oleauto.h>

#include <cstring>

#include "com/Bstr.h"
#include "vb/VbText.h"

namespace {

bool IsSpecial(wchar_t c) {
    return c < 32 || c > 127 || c == L'<' || c == L'>' || c == L'&' || c == L'\'' || c == L'"';
}

// A text that itself holds the run marker has that brace escaped, so that it reads back as
// written; every other brace stays as it is.
bool IsSpecialAt(const std::wstring& text, size_t i) {
    return IsSpecial(text[i]) || text.compare(i, 3, L"{[~") == 0;
}

int HexDigit(wchar_t c) {
    if (c >= L'0' && c <= L'9') return c - L'0';
    if (c >= L'A' && c <= L'F') return c - L'A' + 10;
    if (c >= L'a' && c <= L'f') return c - L'a' + 10;
    return -1;
}

// The characters of an escaped run; false when it is not an even number of hex digits.
bool DecodeRun(std::wstring_view hex, std::wstring& out) {
    if (hex.size() % 2 != 0) return false;
    std::string bytes;
    for (size_t i = 0; i < hex.size(); i += 2) {
        int high = HexDigit(hex[i]), low = HexDigit(hex[i + 1]);
        if (high < 0 || low < 0) return false;
        bytes.push_back(static_cast<char>(high * 16 + low));
    }
    out += vb::FromAnsi(bytes);
    return true;
}

using com::Bstr;

}  // namespace

std::wstring CvtForXmlParser(const std::wstring& text, short mode) {
    static const wchar_t kDigits[] = L"0123456789ABCDEF";
    std::wstring out;
    if (mode == XmlEscape) {
        out.reserve(text.size());
        size_t i = 0;
        while (i < text.size()) {
            if (!IsSpecialAt(text, i)) {
                out += text[i++];
                continue;
            }
            size_t end = i;
            while (end < text.size() && IsSpecialAt(text, end)) ++end;
            std::string bytes = vb::ToAnsi(std::wstring_view(text).substr(i, end - i));
            out += L"{[~";
            for (unsigned char b : bytes) {
                out += kDigits[b >> 4];
                out += kDigits[b & 15];
            }
            out += L"~]}";
            i = end;
        }
        return out;
    }
    size_t p = 0;
    for (;;) {
        size_t s = text.find(L"{[~", p);
        size_t e = s == std::wstring::npos ? std::wstring::npos : text.find(L"~]}", s + 4);
        if (s == std::wstring::npos || e == std::wstring::npos) {
            out.append(text, p, std::wstring::npos);
            return out;
        }
        out.append(text, p, s - p);
        if (!DecodeRun(std::wstring_view(text).substr(s + 3, e - s - 3), out)) out.append(text, s, e + 3 - s);
        p = e + 3;
    }
}

com::ComPtr<IXMLDOMDocument> CreateXmlDocument() {
    com::ComPtr<IXMLDOMDocument> document;
    for (const wchar_t* progId : {L"Msxml2.DOMDocument", L"Microsoft.XMLDOM"}) {
        CLSID clsid;
        if (FAILED(CLSIDFromProgID(progId, &clsid))) continue;
        if (SUCCEEDED(CoCreateInstance(clsid, nullptr, CLSCTX_INPROC_SERVER, IID_IXMLDOMDocument,
                                       document.PutVoid())))
            break;
    }
    if (document) document->put_async(VARIANT_FALSE);
    return document;
}

com::ComPtr<IXMLDOMDocument> LoadXmlDocument(const std::wstring& path) {
    com::ComPtr<IXMLDOMDocument> document = CreateXmlDocument();
    if (!document) return document;
    com::BstrVariant source(path);
    VARIANT_BOOL loaded = VARIANT_FALSE;
    HRESULT hr = document->load(source.v, &loaded);
    if (hr != S_OK || loaded != VARIANT_TRUE) document.Reset();
    return document;
}

com::ComPtr<IXMLDOMDocument> LoadXmlDocumentFromBytes(const std::vector<uint8_t>& bytes) {
    com::ComPtr<IXMLDOMDocument> document = CreateXmlDocument();
    if (!document) return document;
    // A stream over the bytes: the parser then detects the encoding as it does for a file.
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, bytes.empty() ? 1 : bytes.size());
    if (!memory) {
        document.Reset();
        return document;
    }
    if (void* p = GlobalLock(memory)) {
        if (!bytes.empty()) memcpy(p, bytes.data(), bytes.size());
        GlobalUnlock(memory);
    }
    com::ComPtr<IStream> stream;
    if (FAILED(CreateStreamOnHGlobal(memory, TRUE, stream.Put()))) {
        GlobalFree(memory);
        document.Reset();
        return document;
    }
    ULARGE_INTEGER size;
    size.QuadPart = bytes.size();
    stream->SetSize(size);
    VARIANT source;
    VariantInit(&source);
    source.vt = VT_UNKNOWN;
    source.punkVal = stream.Get();
    VARIANT_BOOL loaded = VARIANT_FALSE;
    const HRESULT hr = document->load(source, &loaded);
    if (hr != S_OK || loaded != VARIANT_TRUE) document.Reset();
    return document;
}

std::wstring XmlAttribute(IXMLDOMElement* element, const wchar_t* name) {
    Bstr attribute{std::wstring(name)};
    VARIANT value;
    VariantInit(&value);
    std::wstring text;
    if (element->getAttribute(attribute.Get(), &value) == S_OK && value.vt == VT_BSTR && value.bstrVal)
        text.assign(value.bstrVal, SysStringLen(value.bstrVal));
    VariantClear(&value);
    return text;
}
