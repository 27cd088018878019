// CButtonUI: a label that is pressed with the mouse and notifies "click". Its look comes from
// state images (normal, hot, pushed, disabled), each an image description with an optional
// source slice.
#pragma once

#include "duilib/UILabel.h"

class CButtonUI : public CLabelUI {
public:
    const wchar_t* GetClass() const override;
    void* GetInterface(const wchar_t* name) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    void DoEvent(TEventUI& event) override;
    void PaintStatusImage(HDC hDC) override;
    bool DragsCaption() const override;
    bool Activate() override;

    bool IsHot() const { return m_bHot; }
    bool IsPushed() const { return m_bPushed; }

private:
    CDuiString m_sNormalImage;
    CDuiString m_sHotImage;
    CDuiString m_sPushedImage;
    CDuiString m_sDisabledImage;
    bool m_bHot = false;
    bool m_bCaptured = false;  // the left button went down on this button
    bool m_bPushed = false;    // captured and the mouse is over the button
};
