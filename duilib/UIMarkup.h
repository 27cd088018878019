// CMarkup / CMarkupNode: a parsed XML document and cursors into it. Free of Windows headers
// (LoadFromFile, which reads the registered skin, lives in UIMarkupFile.cpp).
#pragma once

#include "duilib/MarkupParser.h"

#include <cstddef>
#include <memory>

enum {
    XMLFILE_ENCODING_UTF8 = 0,
    XMLFILE_ENCODING_UNICODE = 1,  // UTF-16 little-endian
};

class CMarkup;

// A cursor on one element of a CMarkup. It stays usable while its document is neither
// reloaded nor destroyed. Every operation of an invalid node answers "nothing": an invalid
// node, null text, 0.
class CMarkupNode {
public:
    CMarkupNode() = default;

    bool IsValid() const;
    const wchar_t* GetName() const;
    // The element's own text content (text and CDATA directly inside it), "" when none.
    const wchar_t* GetValue() const;

    CMarkupNode GetParent() const;
    CMarkupNode GetSibling() const;
    CMarkupNode GetChild() const;
    // The first child element with exactly this name.
    CMarkupNode GetChild(const wchar_t* name) const;
    bool HasChildren() const;

    int GetAttributeCount() const;
    const wchar_t* GetAttributeName(int index) const;
    const wchar_t* GetAttributeValue(int index) const;
    // Null when the element has no attribute of that exact name.
    const wchar_t* GetAttributeValue(const wchar_t* name) const;
    bool HasAttribute(const wchar_t* name) const;
    bool HasAttributes() const { return GetAttributeCount() > 0; }

private:
    friend class CMarkup;
    CMarkupNode(const dui::XmlDocument* doc, int index) : m_doc(doc), m_index(index) {}
    const dui::XmlElement* Element() const;

    const dui::XmlDocument* m_doc = nullptr;  // not owned
    int m_index = -1;
};

class CMarkup {
public:
    // Parses `xml` at once when given.
    explicit CMarkup(const wchar_t* xml = nullptr);
    CMarkup(const CMarkup&) = delete;
    CMarkup& operator=(const CMarkup&) = delete;

    // Each Load replaces the document; false (and an invalid document) when the input is
    // not well-formed or too large.
    bool Load(const wchar_t* xml);
    bool LoadFromMem(const unsigned char* bytes, size_t size, int encoding = XMLFILE_ENCODING_UTF8);
    // Reads `name` from the registered skin: the archive member when an archive is set,
    // otherwise the file of that name in the resource folder.
    bool LoadFromFile(const wchar_t* name, int encoding = XMLFILE_ENCODING_UTF8);
    void Release();

    bool IsValid() const;
    CMarkupNode GetRoot() const;

private:
    dui::XmlDocument m_doc;
};
