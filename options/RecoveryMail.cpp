#include "RecoveryMail.h"

#include <objbase.h>

#include "basWinAPI_Email.h"
#include "com/ComDispatch.h"
#include "vb/VbError.h"

namespace {

// MorvaSendrik.CForm
const CLSID kCFormClass = {0xC4D9D85C, 0xE53F, 0x4C91, {0xAC, 0x00, 0xAE, 0x21, 0x04, 0xE0, 0x85, 0x69}};

HRESULT CreatePlugInFaceByCom(IDispatch** face) {
    return CoCreateInstance(kCFormClass, nullptr, CLSCTX_INPROC_SERVER, IID_IDispatch, reinterpret_cast<void**>(face));
}

PlugInFaceFactory g_factory = nullptr;

bool IsPlainMailCharacter(wchar_t c) {
    if ((c >= L'A' && c <= L'Z') || (c >= L'a' && c <= L'z') || (c >= L'0' && c <= L'9')) return true;
    switch (c) {
        case L'-': case L'.': case L'_': case L'~': case L'!': case L'$': case L'\'': case L'(': case L')':
        case L'*': case L',': case L';': case L':': case L'@':
            return true;
        default:
            return false;
    }
}

const wchar_t kHtmlStart[] = L"<HTML><HEAD></HEAD><BODY>";
const wchar_t kHtmlEnd[] = L"</BODY></HTML>";

}  // namespace

PlugInFaceFactory SetPlugInFaceFactory(PlugInFaceFactory factory) {
    PlugInFaceFactory previous = g_factory;
    g_factory = factory;
    return previous;
}

std::wstring PercentEncodeMailField(std::wstring_view text) {
    static const wchar_t digits[] = L"0123456789ABCDEF";
    std::wstring out;
    out.reserve(text.size() * 3);
    for (size_t i = 0; i < text.size(); ++i) {
        wchar_t c = text[i];
        if (IsPlainMailCharacter(c)) {
            out += c;
            continue;
        }
        // UTF-8 of the character (a surrogate pair makes one four-byte sequence).
        unsigned long code = c;
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < text.size() && text[i + 1] >= 0xDC00 && text[i + 1] <= 0xDFFF) {
            code = 0x10000 + ((code - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        }
        unsigned char bytes[4];
        int n = 0;
        if (code < 0x80) {
            bytes[n++] = static_cast<unsigned char>(code);
        } else if (code < 0x800) {
            bytes[n++] = static_cast<unsigned char>(0xC0 | (code >> 6));
            bytes[n++] = static_cast<unsigned char>(0x80 | (code & 0x3F));
        } else if (code < 0x10000) {
            bytes[n++] = static_cast<unsigned char>(0xE0 | (code >> 12));
            bytes[n++] = static_cast<unsigned char>(0x80 | ((code >> 6) & 0x3F));
            bytes[n++] = static_cast<unsigned char>(0x80 | (code & 0x3F));
        } else {
            bytes[n++] = static_cast<unsigned char>(0xF0 | (code >> 18));
            bytes[n++] = static_cast<unsigned char>(0x80 | ((code >> 12) & 0x3F));
            bytes[n++] = static_cast<unsigned char>(0x80 | ((code >> 6) & 0x3F));
            bytes[n++] = static_cast<unsigned char>(0x80 | (code & 0x3F));
        }
        for (int b = 0; b < n; ++b) {
            out += L'%';
            out += digits[bytes[b] >> 4];
            out += digits[bytes[b] & 0x0F];
        }
    }
    return out;
}

RecoveryMail BuildRecoveryMail(const std::wstring& content, const std::wstring& productName,
                               const std::wstring& version) {
    RecoveryMail mail;
    // "Support <address>": its blank and brackets would end the request in some mail programs.
    mail.to = PercentEncodeMailField(kSupportAddress);
    mail.subject = PercentEncodeMailField(L"Morva recovery information for: " + productName + L",  version: " + version);

    const std::wstring start = PercentEncodeMailField(kHtmlStart);
    const std::wstring end = PercentEncodeMailField(kHtmlEnd);
    size_t length = BuildMailtoAddress(mail.to, mail.subject, start + end, L"", L"").size();

    std::wstring lines;
    size_t from = 0;
    while (from < content.size()) {
        size_t crlf = content.find(L"\r\n", from);
        std::wstring line = crlf == std::wstring::npos ? content.substr(from) : content.substr(from, crlf - from) + L"<BR>";
        from = crlf == std::wstring::npos ? content.size() : crlf + 2;
        std::wstring encoded = PercentEncodeMailField(line);
        if (length + encoded.size() > kMailtoAddressLimit) {
            mail.shortened = true;
            break;
        }
        length += encoded.size();
        lines += encoded;
    }
    mail.body = start + lines + end;
    return mail;
}

bool SendRecoveryMail(const std::wstring& content, HWND owner) {
    IDispatch* face = nullptr;
    HRESULT hr = g_factory ? g_factory(&face) : CreatePlugInFaceByCom(&face);
    if (FAILED(hr) || !face) vb::Raise(vb::ErrCannotCreateObject);
    struct Releaser {
        IDispatch* p;
        ~Releaser() { p->Release(); }
    } release{face};
    const std::wstring productName = com::CallByName(face, L"ProductName", DISPATCH_PROPERTYGET).ToString();
    const std::wstring version = com::CallByName(face, L"Version", DISPATCH_PROPERTYGET).ToString();
    RecoveryMail mail = BuildRecoveryMail(content, productName, version);
    return SendMail(mail.to, mail.subject, mail.body, L"", L"", owner);
}
