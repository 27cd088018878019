// CLabelUI: one line of text in a skin font and colour.
#pragma once

#include "duilib/UIControl.h"

class CLabelUI : public CControlUI {
public:
    const wchar_t* GetClass() const override;
    void* GetInterface(const wchar_t* name) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    void PaintText(HDC hDC) override;
    bool DragsCaption() const override;

    void SetTextColor(DWORD color);
    DWORD GetTextColor() const { return m_dwTextColor; }
    void SetFont(int id);
    int GetFont() const { return m_iFont; }

protected:
    void PaintLabelText(HDC hDC, const wchar_t* text);

    DWORD m_dwTextColor = 0xFF000000;
    DWORD m_dwDisabledTextColor = 0xFFA7A6AA;
    int m_iFont = -1;  // skin font id; -1: the window's default font
    UINT m_uTextStyle = DT_VCENTER | DT_SINGLELINE | DT_LEFT;
    RECT m_rcTextPadding{};
};
