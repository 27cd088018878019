#include "duilib/UIProgress.h"

#include "duilib/UIAttributes.h"
#include "duilib/UIManager.h"
#include "duilib/UIRender.h"

#include <cwchar>
#include <string>

CProgressUI::CProgressUI() { m_uTextStyle = DT_CENTER | DT_VCENTER | DT_SINGLELINE; }

CProgressUI::~CProgressUI() {
    if (m_pManager) m_pManager->RemoveAsyncRepaint(this);
}

const wchar_t* CProgressUI::GetClass() const { return L"ProgressUI"; }

void* CProgressUI::GetInterface(const wchar_t* name) {
    if (name && std::wcscmp(name, L"Progress") == 0) return this;
    return CLabelUI::GetInterface(name);
}

void CProgressUI::SetAttribute(const wchar_t* name, const wchar_t* value) {
    if (!name || !value) return;
    const CDuiString n(name);
    if (n == L"min") {
        m_nMin = dui::ParseInt(value);
    } else if (n == L"max") {
        m_nMax = dui::ParseInt(value);
    } else if (n == L"value") {
        m_nValue = dui::ParseInt(value);
    } else if (n == L"showtext") {
        m_bShowText = dui::ParseBool(value);
    } else if (n == L"forecolor") {
        m_dwForeColor = dui::ParseColor(value);
    } else if (n == L"foreimage") {
        m_sForeImage = value;
    } else {
        CLabelUI::SetAttribute(name, value);
    }
}

void CProgressUI::SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit) {
    if (m_pManager && m_pManager != pManager) m_pManager->RemoveAsyncRepaint(this);
    CLabelUI::SetManager(pManager, pParent, bInit);
    if (m_pManager) m_pManager->AddAsyncRepaint(this);
}

void CProgressUI::SetShowText(bool bShowText) {
    m_bShowText = bShowText;
    RequestRepaint();
}

void CProgressUI::SetMinValue(int value) {
    m_nMin = value;
    RequestRepaint();
}

void CProgressUI::SetMaxValue(int value) {
    m_nMax = value;
    RequestRepaint();
}

void CProgressUI::SetValue(int value) {
    m_nValue = value;
    RequestRepaint();
}

void CProgressUI::RequestRepaint() {
    if (!m_pManager) return;
    if (m_pManager->IsUIThread()) {
        Invalidate();
    } else {
        m_pManager->PostAsyncRepaint();
    }
}

RECT CProgressUI::GetBarRect() const {
    const long long low = m_nMin, high = m_nMax;
    long long value = m_nValue;
    RECT bar = m_rcItem;
    if (high <= low) {
        bar.right = bar.left;
        return bar;
    }
    if (value < low) value = low;
    if (value > high) value = high;
    bar.right = bar.left + static_cast<LONG>((m_rcItem.right - m_rcItem.left) * (value - low) / (high - low));
    return bar;
}

void CProgressUI::PaintStatusImage(HDC hDC) {
    const RECT bar = GetBarRect();
    if (bar.right <= bar.left) return;
    if (!m_sForeImage.IsEmpty()) {
        dui::DrawImage(hDC, m_pManager, bar, m_sForeImage);
    } else {
        dui::DrawColor(hDC, bar, m_dwForeColor);
    }
}

void CProgressUI::PaintText(HDC hDC) {
    if (!m_bShowText) {
        CLabelUI::PaintText(hDC);
        return;
    }
    const long long low = m_nMin, high = m_nMax;
    long long value = m_nValue;
    if (value < low) value = low;
    if (value > high) value = high;
    const long long percent = high > low ? (value - low) * 100 / (high - low) : 0;
    PaintLabelText(hDC, (std::to_wstring(percent) + L"%").c_str());
}
