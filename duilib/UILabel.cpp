#include "duilib/UILabel.h"

#include "duilib/UIAttributes.h"
#include "duilib/UIManager.h"
#include "duilib/UIRender.h"

#include <cwchar>

const wchar_t* CLabelUI::GetClass() const { return L"LabelUI"; }

void* CLabelUI::GetInterface(const wchar_t* name) {
    if (name && std::wcscmp(name, L"Label") == 0) return this;
    return CControlUI::GetInterface(name);
}

void CLabelUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
    if (!name || !value) return;
    const CDuiString n(name);
    if (n == L"textcolor") {
        m_dwTextColor = dui::ParseColor(value);
    } else if (n == L"disabledtextcolor") {
        m_dwDisabledTextColor = dui::ParseColor(value);
    } else if (n == L"font") {
        m_iFont = dui::ParseInt(value);
    } else if (n == L"textpadding") {
        m_rcTextPadding = dui::ParseRect(value);
    } else if (n == L"align") {
        m_uTextStyle &= ~static_cast<UINT>(DT_LEFT | DT_CENTER | DT_RIGHT);
        if (std::wcscmp(value, L"center") == 0) {
            m_uTextStyle |= DT_CENTER;
        } else if (std::wcscmp(value, L"right") == 0) {
            m_uTextStyle |= DT_RIGHT;
        } else {
            m_uTextStyle |= DT_LEFT;
        }
    } else {
        CControlUI::SetAttribute(name, value);
    }
}

void CLabelUI::SetTextColor(DWORD color) {
    m_dwTextColor = color;
    Invalidate();
}

void CLabelUI::SetFont(int id) {
    m_iFont = id;
    Invalidate();
}

void CLabelUI::PaintText(HDC hDC) { PaintLabelText(hDC, m_sText); }

void CLabelUI::PaintLabelText(HDC hDC, const wchar_t* text) {
    if (!m_pManager) return;
    const RECT rc{m_rcItem.left + m_rcTextPadding.left, m_rcItem.top + m_rcTextPadding.top,
                  m_rcItem.right - m_rcTextPadding.right, m_rcItem.bottom - m_rcTextPadding.bottom};
    dui::DrawText(hDC, rc, text, m_bEnabled ? m_dwTextColor : m_dwDisabledTextColor, m_pManager->GetFont(m_iFont),
                  m_uTextStyle);
}

bool CLabelUI::DragsCaption() const { return true; }
