// CResourceManager: the skin's id table (res.xml), mapping ids such as "XML_LOGIN" to skin files.
#pragma once

#include "duilib/UIStringPtrMap.h"

class CResourceManager {
public:
    static CResourceManager* GetInstance();

    // Reads an id table: root "Res", children "Xml" with the attributes "id" and "path".
    // With no type, `xml` names a skin file (read as CMarkup::LoadFromFile does); with any type,
    // `xml` is the document text itself. Ids already known keep their first path.
    bool LoadResource(const wchar_t* xml, const wchar_t* type = nullptr);
    // The skin file registered under `id`, or null.
    const wchar_t* GetXmlPath(const wchar_t* id) const;
    // Forgets every id.
    void Release();

    CResourceManager(const CResourceManager&) = delete;
    CResourceManager& operator=(const CResourceManager&) = delete;

private:
    CResourceManager() = default;
    ~CResourceManager();

    // Values: CDuiString paths owned here.
    CStdStringPtrMap m_xmlPaths;
};
