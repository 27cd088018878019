#include "duilib/UIControl.h"

#include "duilib/UIAttributes.h"
#include "duilib/UIManager.h"
#include "duilib/UIRender.h"

#include <cwchar>

CControlUI::CControlUI() = default;

CControlUI::~CControlUI() {
    if (m_pManager) m_pManager->ReapControl(this);
}

const wchar_t* CControlUI::GetClass() const { return L"ControlUI"; }

void* CControlUI::GetInterface(const wchar_t* name) {
    return name && std::wcscmp(name, L"Control") == 0 ? this : nullptr;
}

void CControlUI::DoInit() {}

void CControlUI::DoEvent(TEventUI& event) {
    if (event.Type == UIEVENT_SETCURSOR) {
        ::SetCursor(LoadCursorW(nullptr, m_bHandCursor ? IDC_HAND : IDC_ARROW));
        return;
    }
    if (event.Type == UIEVENT_SETFOCUS || event.Type == UIEVENT_KILLFOCUS) Invalidate();
}

void CControlUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
    if (!name || !value) return;
    const CDuiString n(name);
    if (n == L"name") {
        SetName(value);
    } else if (n == L"pos") {
        // "x,y" keeps the size given elsewhere; "l,t,r,b" sets it.
        const RECT pos = dui::ParseRect(value);
        if (pos.right > pos.left) m_cxyFixed.cx = pos.right - pos.left;
        if (pos.bottom > pos.top) m_cxyFixed.cy = pos.bottom - pos.top;
        m_rcFloat = RECT{pos.left, pos.top, pos.left + m_cxyFixed.cx, pos.top + m_cxyFixed.cy};
    } else if (n == L"size") {
        const SIZE size = dui::ParseSize(value);
        m_cxyFixed = size;
        m_rcFloat.right = m_rcFloat.left + size.cx;
        m_rcFloat.bottom = m_rcFloat.top + size.cy;
    } else if (n == L"float") {
        m_bFloat = dui::ParseBool(value);
    } else if (n == L"width") {
        m_cxyFixed.cx = dui::ParseInt(value);
        m_rcFloat.right = m_rcFloat.left + m_cxyFixed.cx;
    } else if (n == L"height") {
        m_cxyFixed.cy = dui::ParseInt(value);
        m_rcFloat.bottom = m_rcFloat.top + m_cxyFixed.cy;
    } else if (n == L"padding") {
        m_rcPadding = dui::ParseRect(value);
    } else if (n == L"bkcolor") {
        m_dwBkColor = dui::ParseColor(value);
    } else if (n == L"bkimage") {
        m_sBkImage = value;
    } else if (n == L"bordercolor") {
        m_dwBorderColor = dui::ParseColor(value);
    } else if (n == L"bordersize") {
        m_nBorderSize = dui::ParseInt(value);
    } else if (n == L"text") {
        SetText(value);
    } else if (n == L"visible") {
        SetVisible(dui::ParseBool(value));
    } else if (n == L"enabled") {
        SetEnabled(dui::ParseBool(value));
    } else if (n == L"cursor") {
        m_bHandCursor = std::wcscmp(value, L"hand") == 0;
    }
}

void CControlUI::SetPos(RECT rc, bool bNeedInvalidate) {
    if (rc.right < rc.left) rc.right = rc.left;
    if (rc.bottom < rc.top) rc.bottom = rc.top;
    if (bNeedInvalidate) Invalidate();
    m_rcItem = rc;
    if (bNeedInvalidate) Invalidate();
}

bool CControlUI::DoPaint(HDC hDC, const RECT& rcPaint, CControlUI*) {
    if (!IntersectRect(&m_rcPaint, &rcPaint, &m_rcItem)) return true;
    PaintBkColor(hDC);
    PaintBkImage(hDC);
    PaintStatusImage(hDC);
    PaintText(hDC);
    PaintBorder(hDC);
    return true;
}

void CControlUI::PaintBkColor(HDC hDC) { dui::DrawColor(hDC, m_rcItem, m_dwBkColor); }

void CControlUI::PaintBkImage(HDC hDC) { DrawImage(hDC, m_sBkImage); }

void CControlUI::PaintStatusImage(HDC) {}

void CControlUI::PaintText(HDC) {}

void CControlUI::PaintBorder(HDC hDC) {
    if (m_nBorderSize <= 0 || (m_dwBorderColor >> 24) == 0) return;
    const RECT& r = m_rcItem;
    const int s = m_nBorderSize;
    dui::DrawColor(hDC, RECT{r.left, r.top, r.right, r.top + s}, m_dwBorderColor);
    dui::DrawColor(hDC, RECT{r.left, r.bottom - s, r.right, r.bottom}, m_dwBorderColor);
    dui::DrawColor(hDC, RECT{r.left, r.top + s, r.left + s, r.bottom - s}, m_dwBorderColor);
    dui::DrawColor(hDC, RECT{r.right - s, r.top + s, r.right, r.bottom - s}, m_dwBorderColor);
}

bool CControlUI::DrawImage(HDC hDC, const CDuiString& image) {
    return !image.IsEmpty() && dui::DrawImage(hDC, m_pManager, m_rcItem, image);
}

SIZE CControlUI::EstimateSize(SIZE) { return m_cxyFixed; }

CControlUI* CControlUI::FindControlAt(POINT pt) { return m_bVisible && PtInRect(&m_rcItem, pt) ? this : nullptr; }

bool CControlUI::DragsCaption() const { return false; }

void CControlUI::SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit) {
    m_pManager = pManager;
    m_pParent = pParent;
    if (bInit && m_pManager) m_pManager->InitControl(this);
}

bool CControlUI::Activate() { return m_bVisible && m_bEnabled; }

void CControlUI::SetVisible(bool bVisible) {
    if (m_bVisible == bVisible) return;
    m_bVisible = bVisible;
    NeedParentUpdate();
}

void CControlUI::SetEnabled(bool bEnable) {
    if (m_bEnabled == bEnable) return;
    m_bEnabled = bEnable;
    Invalidate();
}

void CControlUI::SetText(const wchar_t* text) {
    m_sText = text;
    Invalidate();
}

void CControlUI::SetBkColor(DWORD color) {
    m_dwBkColor = color;
    Invalidate();
}

void CControlUI::SetBkImage(const wchar_t* image) {
    m_sBkImage = image;
    Invalidate();
}

bool CControlUI::IsFocused() const { return m_pManager && m_pManager->GetFocus() == this; }

void CControlUI::SetFocus() {
    if (m_pManager) m_pManager->SetFocus(this);
}

void CControlUI::Invalidate() {
    if (m_pManager && m_bVisible) m_pManager->Invalidate(m_rcItem);
}

void CControlUI::NeedParentUpdate() {
    if (m_pManager) m_pManager->NeedUpdate();
    Invalidate();
}
