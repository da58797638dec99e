// What every XML data file shares: the escaping of attribute values (CvtForXmlParser) and the
// XML document object that reads the files.
#pragma once
#include <windows.h>
#include <msxml2.h>

#include <cstdint>
#include <string>
#include <vector>

#include "com/ComModule.h"

inline constexpr short XmlEscape = 12;
inline constexpr short XmlUnescape = 8;

// Mode 12 escapes: each run of characters whose ANSI code is below 32 or above 127, or that
// are among < > & ' ", becomes "{[~", two upper-case hexadecimal digits per ANSI byte, "~]}".
// Any other mode turns such runs back; an opening marker without a closing one stays as it is.
std::wstring CvtForXmlParser(const std::wstring& text, short mode);

// A new XML document object (MSXML's DOMDocument), loading synchronously; empty when it
// cannot be created. The calling thread must have COM initialised.
com::ComPtr<IXMLDOMDocument> CreateXmlDocument();

// Loads path into a new document; empty when the object cannot be created or the file is
// missing or not well formed.
com::ComPtr<IXMLDOMDocument> LoadXmlDocument(const std::wstring& path);

// Loads a file's bytes, read elsewhere, into a new document, exactly as the file itself would
// load; empty when the object cannot be created or the bytes are not well formed.
com::ComPtr<IXMLDOMDocument> LoadXmlDocumentFromBytes(const std::vector<uint8_t>& bytes);

// An element's attribute as text; empty when it has none.
std::wstring XmlAttribute(IXMLDOMElement* element, const wchar_t* name);
