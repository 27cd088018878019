#include "duilib/UIButton.h"

#include "duilib/UIManager.h"

#include <cwchar>

const wchar_t* CButtonUI::GetClass() const { return L"ButtonUI"; }

void* CButtonUI::GetInterface(const wchar_t* name) {
    if (name && std::wcscmp(name, L"Button") == 0) return this;
    return CLabelUI::GetInterface(name);
}

void CButtonUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
    if (!name || !value) return;
    const CDuiString n(name);
    if (n == L"normalimage") {
        m_sNormalImage = value;
    } else if (n == L"hotimage") {
        m_sHotImage = value;
    } else if (n == L"pushedimage") {
        m_sPushedImage = value;
    } else if (n == L"disabledimage") {
        m_sDisabledImage = value;
    } else {
        CLabelUI::SetAttribute(name, value);
    }
}

void CButtonUI::DoEvent(TEventUI& event) {
    switch (event.Type) {
    case UIEVENT_BUTTONDOWN:
    case UIEVENT_DBLCLICK:
        if (m_bEnabled && PtInRect(&m_rcItem, event.ptMouse)) {
            m_bCaptured = m_bPushed = true;
            Invalidate();
        }
        return;
    case UIEVENT_MOUSEMOVE:
        if (m_bCaptured) {
            const bool inside = PtInRect(&m_rcItem, event.ptMouse) != FALSE;
            if (inside != m_bPushed) {
                m_bPushed = inside;
                Invalidate();
            }
        }
        return;
    case UIEVENT_BUTTONUP:
        if (m_bCaptured) {
            m_bCaptured = m_bPushed = false;
            Invalidate();
            if (PtInRect(&m_rcItem, event.ptMouse)) Activate();
        }
        return;
    case UIEVENT_MOUSEENTER:
        if (m_bEnabled) {
            m_bHot = true;
            Invalidate();
        }
        return;
    case UIEVENT_MOUSELEAVE:
        m_bHot = false;
        Invalidate();
        return;
    default:
        CLabelUI::DoEvent(event);
    }
}

bool CButtonUI::Activate() {
    if (!CControlUI::Activate()) return false;
    if (m_pManager) m_pManager->SendNotify(this, DUI_MSGTYPE_CLICK);
    return true;
}

void CButtonUI::PaintStatusImage(HDC hDC) {
    if (!m_bEnabled && DrawImage(hDC, m_sDisabledImage)) return;
    if (m_bPushed && DrawImage(hDC, m_sPushedImage)) return;
    if ((m_bHot || m_bPushed) && DrawImage(hDC, m_sHotImage)) return;
    DrawImage(hDC, m_sNormalImage);
}

bool CButtonUI::DragsCaption() const { return false; }
