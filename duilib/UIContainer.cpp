#include "duilib/UIContainer.h"

#include "duilib/UIAttributes.h"
#include "duilib/UIManager.h"

#include <algorithm>
#include <cwchar>

CContainerUI::~CContainerUI() {
    for (CControlUI* item : m_items) delete item;
}

const wchar_t* CContainerUI::GetClass() const { return L"ContainerUI"; }

void* CContainerUI::GetInterface(const wchar_t* name) {
    if (name && std::wcscmp(name, L"Container") == 0) return this;
    return CControlUI::GetInterface(name);
}

void CContainerUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
    if (name && value && std::wcscmp(name, L"inset") == 0) {
        m_rcInset = dui::ParseRect(value);
    } else {
        CControlUI::SetAttribute(name, value);
    }
}

bool CContainerUI::Add(CControlUI* pControl) {
    if (!pControl) return false;
    m_items.push_back(pControl);
    pControl->SetManager(m_pManager, this, m_pManager != nullptr);
    NeedParentUpdate();
    return true;
}

bool CContainerUI::Remove(CControlUI* pControl) {
    const auto it = std::find(m_items.begin(), m_items.end(), pControl);
    if (it == m_items.end()) return false;
    m_items.erase(it);
    delete pControl;
    NeedParentUpdate();
    return true;
}

CControlUI* CContainerUI::GetItemAt(int index) const {
    return index >= 0 && index < GetCount() ? m_items[static_cast<size_t>(index)] : nullptr;
}

RECT CContainerUI::InnerRect() const {
    return RECT{m_rcItem.left + m_rcInset.left, m_rcItem.top + m_rcInset.top, m_rcItem.right - m_rcInset.right,
                m_rcItem.bottom - m_rcInset.bottom};
}

// The child's rectangle inside `slot` after its padding, with its fixed size where it has one.
RECT CContainerUI::ChildRect(CControlUI* child, RECT slot) const {
    const RECT& pad = child->GetPadding();
    RECT rc{slot.left + pad.left, slot.top + pad.top, slot.right - pad.right, slot.bottom - pad.bottom};
    if (child->GetFixedWidth() > 0) rc.right = rc.left + child->GetFixedWidth();
    if (child->GetFixedHeight() > 0) rc.bottom = rc.top + child->GetFixedHeight();
    return rc;
}

void CContainerUI::PlaceFloatingChildren(const RECT& inner) {
    for (CControlUI* child : m_items) {
        if (!child->IsFloat()) continue;
        const RECT& pos = child->GetFloatPos();
        child->SetPos(RECT{inner.left + pos.left, inner.top + pos.top, inner.left + pos.right, inner.top + pos.bottom},
                      false);
    }
}

void CContainerUI::SetPos(RECT rc, bool bNeedInvalidate) {
    CControlUI::SetPos(rc, bNeedInvalidate);
    const RECT inner = InnerRect();
    for (CControlUI* child : m_items) {
        if (child->IsVisible() && !child->IsFloat()) child->SetPos(ChildRect(child, inner), false);
    }
    PlaceFloatingChildren(inner);
}

bool CContainerUI::DoPaint(HDC hDC, const RECT& rcPaint, CControlUI* pStopControl) {
    RECT visible;
    if (!IntersectRect(&visible, &rcPaint, &m_rcItem)) return true;
    CControlUI::DoPaint(hDC, rcPaint, pStopControl);
    for (CControlUI* child : m_items) {
        if (child == pStopControl) return false;
        if (child->IsVisible() && !child->DoPaint(hDC, visible, pStopControl)) return false;
    }
    return true;
}

CControlUI* CContainerUI::FindControlAt(POINT pt) {
    if (!m_bVisible || !PtInRect(&m_rcItem, pt)) return nullptr;
    // Later children are painted over earlier ones: ask them first.
    for (auto it = m_items.rbegin(); it != m_items.rend(); ++it) {
        if (CControlUI* hit = (*it)->FindControlAt(pt)) return hit;
    }
    return this;
}

bool CContainerUI::DragsCaption() const { return true; }

void CContainerUI::SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit) {
    CControlUI::SetManager(pManager, pParent, bInit);
    for (CControlUI* child : m_items) child->SetManager(pManager, this, bInit);
}

void CContainerUI::StackChildren(const RECT& inner, bool vertical) {
    const SIZE available{inner.right - inner.left, inner.bottom - inner.top};
    auto length = [vertical](SIZE size) { return vertical ? size.cy : size.cx; };
    auto padding = [vertical](const RECT& pad) { return vertical ? pad.top + pad.bottom : pad.left + pad.right; };
    // Fixed lengths (with their padding along the axis) first; the rest is shared by the others.
    int fixed = 0, flexible = 0;
    for (CControlUI* child : m_items) {
        if (!child->IsVisible() || child->IsFloat()) continue;
        const int wanted = length(child->EstimateSize(available));
        fixed += padding(child->GetPadding());
        if (wanted > 0) {
            fixed += wanted;
        } else {
            ++flexible;
        }
    }
    const int share = flexible ? std::max(0, static_cast<int>(length(available)) - fixed) / flexible : 0;
    int offset = vertical ? inner.top : inner.left;
    for (CControlUI* child : m_items) {
        if (!child->IsVisible() || child->IsFloat()) continue;
        const int wanted = length(child->EstimateSize(available));
        const RECT& pad = child->GetPadding();
        const int size = wanted > 0 ? wanted : share;
        const RECT slot = vertical ? RECT{inner.left, offset, inner.right, offset + pad.top + size + pad.bottom}
                                   : RECT{offset, inner.top, offset + pad.left + size + pad.right, inner.bottom};
        RECT childRect = ChildRect(child, slot);
        if (vertical) {
            childRect.bottom = childRect.top + size;
        } else {
            childRect.right = childRect.left + size;
        }
        child->SetPos(childRect, false);
        offset = vertical ? slot.bottom : slot.right;
    }
    PlaceFloatingChildren(inner);
}

const wchar_t* CVerticalLayoutUI::GetClass() const { return L"VerticalLayoutUI"; }

void* CVerticalLayoutUI::GetInterface(const wchar_t* name) {
    if (name && std::wcscmp(name, L"VerticalLayout") == 0) return this;
    return CContainerUI::GetInterface(name);
}

void CVerticalLayoutUI::SetPos(RECT rc, bool bNeedInvalidate) {
    CControlUI::SetPos(rc, bNeedInvalidate);
    StackChildren(InnerRect(), true);
}

const wchar_t* CHorizontalLayoutUI::GetClass() const { return L"HorizontalLayoutUI"; }

void* CHorizontalLayoutUI::GetInterface(const wchar_t* name) {
    if (name && std::wcscmp(name, L"HorizontalLayout") == 0) return this;
    return CContainerUI::GetInterface(name);
}

void CHorizontalLayoutUI::SetPos(RECT rc, bool bNeedInvalidate) {
    CControlUI::SetPos(rc, bNeedInvalidate);
    StackChildren(InnerRect(), false);
}
