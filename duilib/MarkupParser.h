// A strict, bounded XML parser for skin and configuration documents. Free of Windows headers
// so that it also builds natively (for fuzzing). Documents are untrusted: every malformed input
// makes Parse fail; nothing reads outside the input.
//
// Supported: XML declaration and processing instructions (skipped), comments, elements,
// attributes in single or double quotes, the five predefined entities and character
// references, CDATA sections. A DOCTYPE is refused (no entity definitions are ever expanded).
#pragma once

#include <cstddef>
#include <string>
#include <vector>

namespace dui {

constexpr size_t kMaxXmlBytes = 8u << 20;
constexpr int kMaxXmlDepth = 200;
constexpr size_t kMaxXmlAttributes = 256;

struct XmlAttribute {
    std::wstring name;
    std::wstring value;
};

struct XmlElement {
    std::wstring name;
    // Text and CDATA directly inside the element, concatenated, entities resolved.
    std::wstring value;
    std::vector<XmlAttribute> attributes;
    int parent = -1;
    int firstChild = -1;
    int nextSibling = -1;
};

// Elements in document order; index 0 is the root element once parsing succeeded.
struct XmlDocument {
    std::vector<XmlElement> elements;
};

enum class XmlEncoding { Utf8, Utf16LE };

// Decodes `bytes` (a byte-order mark, when present, decides the encoding) and parses them.
// On failure `doc` is left empty.
bool ParseXml(const unsigned char* bytes, size_t size, XmlEncoding encoding, XmlDocument& doc);
// The same for text that is already wide (UTF-16 or UTF-32, as wchar_t is on the platform).
bool ParseXml(const wchar_t* text, size_t length, XmlDocument& doc);

}  // namespace dui
