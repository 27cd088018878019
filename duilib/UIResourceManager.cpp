#include "duilib/UIResourceManager.h"

#include "duilib/UIMarkup.h"

#include <cwchar>

CResourceManager* CResourceManager::GetInstance() {
    static CResourceManager manager;
    return &manager;
}

CResourceManager::~CResourceManager() { Release(); }

bool CResourceManager::LoadResource(const wchar_t* xml, const wchar_t* type) {
    CMarkup markup;
    const bool loaded = type ? markup.Load(xml) : markup.LoadFromFile(xml);
    if (!loaded) return false;
    const CMarkupNode root = markup.GetRoot();
    if (std::wcscmp(root.GetName(), L"Res") != 0) return false;
    for (CMarkupNode node = root.GetChild(); node.IsValid(); node = node.GetSibling()) {
        if (std::wcscmp(node.GetName(), L"Xml") != 0) continue;
        const wchar_t* id = node.GetAttributeValue(L"id");
        const wchar_t* path = node.GetAttributeValue(L"path");
        if (!id || !*id || !path || !*path) continue;
        CDuiString* value = new CDuiString(path);
        if (!m_xmlPaths.Insert(id, value)) delete value;
    }
    return true;
}

const wchar_t* CResourceManager::GetXmlPath(const wchar_t* id) const {
    const CDuiString* path = static_cast<const CDuiString*>(m_xmlPaths.Find(id));
    return path ? path->GetData() : nullptr;
}

void CResourceManager::Release() {
    for (int i = 0; i < m_xmlPaths.GetSize(); ++i) {
        delete static_cast<CDuiString*>(m_xmlPaths.Find(m_xmlPaths.GetAt(i), false));
    }
    m_xmlPaths.RemoveAll();
}
