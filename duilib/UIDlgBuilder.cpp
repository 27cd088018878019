#include "duilib/UIDlgBuilder.h"

#include "duilib/UIAttributes.h"
#include "duilib/UIButton.h"
#include "duilib/UIContainer.h"
#include "duilib/UIManager.h"
#include "duilib/UIProgress.h"
#include "duilib/UIResourceManager.h"

#include <cwchar>

namespace {

CControlUI* CreateBuiltIn(const wchar_t* tag) {
    if (std::wcscmp(tag, L"Control") == 0) return new CControlUI;
    if (std::wcscmp(tag, L"Container") == 0) return new CContainerUI;
    if (std::wcscmp(tag, L"VerticalLayout") == 0) return new CVerticalLayoutUI;
    if (std::wcscmp(tag, L"HorizontalLayout") == 0) return new CHorizontalLayoutUI;
    if (std::wcscmp(tag, L"Label") == 0) return new CLabelUI;
    if (std::wcscmp(tag, L"Button") == 0) return new CButtonUI;
    if (std::wcscmp(tag, L"Progress") == 0) return new CProgressUI;
    return nullptr;
}

void ReadWindowProperties(const CMarkupNode& window, CPaintManagerUI* manager) {
    for (int i = 0; i < window.GetAttributeCount(); ++i) {
        const CDuiString name = window.GetAttributeName(i);
        const wchar_t* value = window.GetAttributeValue(i);
        if (name == L"size") {
            const SIZE size = dui::ParseSize(value);
            manager->SetInitSize(size.cx, size.cy);
        } else if (name == L"mininfo") {
            const SIZE size = dui::ParseSize(value);
            manager->SetMinInfo(size.cx, size.cy);
        } else if (name == L"caption") {
            manager->SetCaptionRect(dui::ParseRect(value));
        } else if (name == L"sizebox") {
            manager->SetSizeBox(dui::ParseRect(value));
        }
    }
}

void ReadFont(const CMarkupNode& font, CPaintManagerUI* manager) {
    const wchar_t* id = font.GetAttributeValue(L"id");
    manager->AddFont(id ? dui::ParseInt(id) : 0, font.GetAttributeValue(L"name"),
                     dui::ParseInt(font.GetAttributeValue(L"size")), dui::ParseBool(font.GetAttributeValue(L"bold")),
                     dui::ParseBool(font.GetAttributeValue(L"underline")),
                     dui::ParseBool(font.GetAttributeValue(L"italic")),
                     dui::ParseBool(font.GetAttributeValue(L"default")));
}

}  // namespace

CControlUI* CDialogBuilder::Create(const wchar_t* skin, IDialogBuilderCallback* callback, CPaintManagerUI* manager) {
    if (!skin || !*skin) return nullptr;
    const wchar_t* file = CResourceManager::GetInstance()->GetXmlPath(skin);
    CMarkup markup;
    if (!markup.LoadFromFile(file ? file : skin)) return nullptr;
    return Create(markup, callback, manager);
}

CControlUI* CDialogBuilder::Create(const CMarkup& markup, IDialogBuilderCallback* callback, CPaintManagerUI* manager) {
    const CMarkupNode window = markup.GetRoot();
    if (!window.IsValid() || std::wcscmp(window.GetName(), L"Window") != 0) return nullptr;
    if (manager) ReadWindowProperties(window, manager);
    CControlUI* root = nullptr;
    for (CMarkupNode node = window.GetChild(); node.IsValid(); node = node.GetSibling()) {
        if (std::wcscmp(node.GetName(), L"Font") == 0) {
            if (manager) ReadFont(node, manager);
        } else if (!root) {
            root = Parse(node, callback);
        }
    }
    return root;
}

CControlUI* CDialogBuilder::Parse(const CMarkupNode& node, IDialogBuilderCallback* callback) {
    CControlUI* control = CreateBuiltIn(node.GetName());
    if (!control && callback) control = callback->CreateControl(node.GetName());
    if (!control) return nullptr;
    for (int i = 0; i < node.GetAttributeCount(); ++i) control->SetAttribute(node.GetAttributeName(i), node.GetAttributeValue(i));
    CContainerUI* container = static_cast<CContainerUI*>(control->GetInterface(L"Container"));
    if (container) {
        for (CMarkupNode child = node.GetChild(); child.IsValid(); child = child.GetSibling()) {
            if (CControlUI* item = Parse(child, callback)) container->Add(item);
        }
    }
    return control;
}
