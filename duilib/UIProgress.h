// CProgressUI: a horizontal progress bar with an optional percentage text. Its range and value
// may be set from any thread (a download thread reports progress directly): they are atomics,
// read when the bar paints, and a change made off the UI thread asks the UI thread, by a
// posted message, to repaint the bar.
#pragma once

#include "duilib/UILabel.h"

#include <atomic>

class CProgressUI : public CLabelUI {
public:
    CProgressUI();
    ~CProgressUI() override;

    const wchar_t* GetClass() const override;
    void* GetInterface(const wchar_t* name) override;
    void SetAttribute(const wchar_t* name, const wchar_t* value) override;
    void SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit = true) override;
    void PaintStatusImage(HDC hDC) override;
    void PaintText(HDC hDC) override;

    // Any thread.
    void SetShowText(bool bShowText = true);
    bool IsShowText() const { return m_bShowText; }
    void SetMinValue(int value);
    void SetMaxValue(int value);
    void SetValue(int value);
    int GetMinValue() const { return m_nMin; }
    int GetMaxValue() const { return m_nMax; }
    int GetValue() const { return m_nValue; }

    // The filled part of the bar for the current range and value.
    RECT GetBarRect() const;

private:
    void RequestRepaint();

    std::atomic<int> m_nMin{0};
    std::atomic<int> m_nMax{100};
    std::atomic<int> m_nValue{0};
    std::atomic<bool> m_bShowText{false};
    DWORD m_dwForeColor = 0xFF0000AA;
    CDuiString m_sForeImage;
};
