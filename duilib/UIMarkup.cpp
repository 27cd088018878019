#include "duilib/UIMarkup.h"

#include <cwchar>

const dui::XmlElement* CMarkupNode::Element() const {
    if (!m_doc || m_index < 0 || static_cast<size_t>(m_index) >= m_doc->elements.size()) return nullptr;
    return &m_doc->elements[static_cast<size_t>(m_index)];
}

bool CMarkupNode::IsValid() const { return Element() != nullptr; }

const wchar_t* CMarkupNode::GetName() const {
    const dui::XmlElement* e = Element();
    return e ? e->name.c_str() : nullptr;
}

const wchar_t* CMarkupNode::GetValue() const {
    const dui::XmlElement* e = Element();
    return e ? e->value.c_str() : nullptr;
}

CMarkupNode CMarkupNode::GetParent() const {
    const dui::XmlElement* e = Element();
    return e ? CMarkupNode(m_doc, e->parent) : CMarkupNode();
}

CMarkupNode CMarkupNode::GetSibling() const {
    const dui::XmlElement* e = Element();
    return e ? CMarkupNode(m_doc, e->nextSibling) : CMarkupNode();
}

CMarkupNode CMarkupNode::GetChild() const {
    const dui::XmlElement* e = Element();
    return e ? CMarkupNode(m_doc, e->firstChild) : CMarkupNode();
}

CMarkupNode CMarkupNode::GetChild(const wchar_t* name) const {
    if (!name) return CMarkupNode();
    for (CMarkupNode child = GetChild(); child.IsValid(); child = child.GetSibling()) {
        if (std::wcscmp(child.GetName(), name) == 0) return child;
    }
    return CMarkupNode();
}

bool CMarkupNode::HasChildren() const { return GetChild().IsValid(); }

int CMarkupNode::GetAttributeCount() const {
    const dui::XmlElement* e = Element();
    return e ? static_cast<int>(e->attributes.size()) : 0;
}

const wchar_t* CMarkupNode::GetAttributeName(int index) const {
    if (index < 0 || index >= GetAttributeCount()) return nullptr;
    return Element()->attributes[static_cast<size_t>(index)].name.c_str();
}

const wchar_t* CMarkupNode::GetAttributeValue(int index) const {
    if (index < 0 || index >= GetAttributeCount()) return nullptr;
    return Element()->attributes[static_cast<size_t>(index)].value.c_str();
}

const wchar_t* CMarkupNode::GetAttributeValue(const wchar_t* name) const {
    const dui::XmlElement* e = Element();
    if (!e || !name) return nullptr;
    for (const dui::XmlAttribute& attribute : e->attributes) {
        if (attribute.name == name) return attribute.value.c_str();
    }
    return nullptr;
}

bool CMarkupNode::HasAttribute(const wchar_t* name) const { return GetAttributeValue(name) != nullptr; }

CMarkup::CMarkup(const wchar_t* xml) {
    if (xml) Load(xml);
}

bool CMarkup::Load(const wchar_t* xml) {
    if (!xml) {
        m_doc.elements.clear();
        return false;
    }
    return dui::ParseXml(xml, std::wcslen(xml), m_doc);
}

bool CMarkup::LoadFromMem(const unsigned char* bytes, size_t size, int encoding) {
    return dui::ParseXml(bytes, size,
                         encoding == XMLFILE_ENCODING_UNICODE ? dui::XmlEncoding::Utf16LE : dui::XmlEncoding::Utf8,
                         m_doc);
}

void CMarkup::Release() { m_doc.elements.clear(); }

bool CMarkup::IsValid() const { return !m_doc.elements.empty(); }

CMarkupNode CMarkup::GetRoot() const { return IsValid() ? CMarkupNode(&m_doc, 0) : CMarkupNode(); }
