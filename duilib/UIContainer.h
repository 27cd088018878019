// Containers: CContainerUI stacks its children on top of each other over its inner area;
// the vertical and horizontal layouts stack them along one axis. Floating children (float
// attribute) are placed by their pos attribute relative to the container's top-left corner.
// A container owns its children.
#pragma once

#include "duilib/UIControl.h"

#include <vector>

class CContainerUI : public CControlUI {
public:
    CContainerUI() = default;
    ~CContainerUI() override;

    const wchar_t* GetClass() const override;
    void* GetInterface(const wchar_t* name) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    void SetPos(RECT rc, bool bNeedInvalidate = true) override;
    bool DoPaint(HDC hDC, const RECT& rcPaint, CControlUI* pStopControl) override;
    CControlUI* FindControlAt(POINT pt) override;
    bool DragsCaption() const override;
    void SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit = true) override;

    // Takes ownership of the control.
    bool Add(CControlUI* pControl);
    // Deletes the control.
    bool Remove(CControlUI* pControl);
    int GetCount() const { return static_cast<int>(m_items.size()); }
    CControlUI* GetItemAt(int index) const;
    const RECT& GetInset() const { return m_rcInset; }

protected:
    RECT InnerRect() const;
    // Places each floating child; layouts place the others first.
    void PlaceFloatingChildren(const RECT& inner);
    // Lays the visible, non-floating children end to end along one axis inside `inner`: fixed
    // sizes as asked, the rest shared equally; then places the floating ones.
    void StackChildren(const RECT& inner, bool vertical);
    RECT ChildRect(CControlUI* child, RECT slot) const;

    std::vector<CControlUI*> m_items;  // owned
    RECT m_rcInset{};
};

class CVerticalLayoutUI : public CContainerUI {
public:
    const wchar_t* GetClass() const override;
    void* GetInterface(const wchar_t* name) override;
    void SetPos(RECT rc, bool bNeedInvalidate = true) override;
};

class CHorizontalLayoutUI : public CContainerUI {
public:
    const wchar_t* GetClass() const override;
    void* GetInterface(const wchar_t* name) override;
    void SetPos(RECT rc, bool bNeedInvalidate = true) override;
};
