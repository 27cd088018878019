// CControlUI: the base of every control of a skinned window. Controls belong to the control
// tree of their window's paint manager and are touched on the UI thread only (CProgressUI's
// value setters excepted).
#pragma once

#include "duilib/UIDefine.h"
#include "duilib/UIString.h"

#include <windows.h>

class CPaintManagerUI;

class CControlUI {
public:
    CControlUI();
    virtual ~CControlUI();
    CControlUI(const CControlUI&) = delete;
    CControlUI& operator=(const CControlUI&) = delete;

    // Class name, and a typed view of the control for a class name ("Control" for this base).
    virtual const wchar_t* GetClass() const;
    virtual void* GetInterface(const wchar_t* name);

    // Called once the control belongs to a window's tree (its manager is set).
    virtual void DoInit();
    virtual void DoEvent(TEventUI& event);
    // Skin attributes; unknown names are ignored.
    virtual void SetAttribute(const wchar_t* name, const wchar_t* value);
    // The control's rectangle in window client coordinates; lays out children.
    virtual void SetPos(RECT rc, bool bNeedInvalidate = true);
    // Paints the part of the control inside rcPaint; returns true (painting goes on).
    virtual bool DoPaint(HDC hDC, const RECT& rcPaint, CControlUI* pStopControl);

    // Painting steps, in the order DoPaint runs them.
    virtual void PaintBkColor(HDC hDC);
    virtual void PaintBkImage(HDC hDC);
    virtual void PaintStatusImage(HDC hDC);
    virtual void PaintText(HDC hDC);
    virtual void PaintBorder(HDC hDC);

    // The size this control asks of a layout; 0 in a dimension means "share what is left".
    virtual SIZE EstimateSize(SIZE szAvailable);
    // The deepest visible control at `pt` (this one or a descendant), or null.
    virtual CControlUI* FindControlAt(POINT pt);
    // True when a press on this control inside the window's caption area drags the window
    // (plain containers, labels, progress bars); false for controls that take the mouse.
    virtual bool DragsCaption() const;
    // Attaches the control (and its children) to a window.
    virtual void SetManager(CPaintManagerUI* pManager, CControlUI* pParent, bool bInit = true);
    // Raises the control's action (a button's click); false when disabled or hidden.
    virtual bool Activate();

    virtual void SetVisible(bool bVisible = true);
    virtual void SetEnabled(bool bEnable = true);
    virtual void SetText(const wchar_t* text);

    CPaintManagerUI* GetManager() const { return m_pManager; }
    CControlUI* GetParent() const { return m_pParent; }
    const CDuiString& GetName() const { return m_sName; }
    void SetName(const wchar_t* name) { m_sName = name; }
    const CDuiString& GetText() const { return m_sText; }
    const RECT& GetPos() const { return m_rcItem; }
    bool IsVisible() const { return m_bVisible; }
    bool IsEnabled() const { return m_bEnabled; }
    bool IsFloat() const { return m_bFloat; }
    // Floating position inside the parent: left, top, right, bottom relative to its top-left.
    const RECT& GetFloatPos() const { return m_rcFloat; }
    const RECT& GetPadding() const { return m_rcPadding; }
    int GetFixedWidth() const { return m_cxyFixed.cx; }
    int GetFixedHeight() const { return m_cxyFixed.cy; }
    DWORD GetBkColor() const { return m_dwBkColor; }
    void SetBkColor(DWORD color);
    void SetBkImage(const wchar_t* image);
    const CDuiString& GetBkImage() const { return m_sBkImage; }
    bool IsFocused() const;
    void SetFocus();

    // Asks the window to repaint the control's rectangle.
    void Invalidate();
    void NeedParentUpdate();

protected:
    // Draws an image description into the control's rectangle.
    bool DrawImage(HDC hDC, const CDuiString& image);

    CPaintManagerUI* m_pManager = nullptr;  // not owned; null until attached
    CControlUI* m_pParent = nullptr;        // not owned
    CDuiString m_sName;
    CDuiString m_sText;
    RECT m_rcItem{};
    RECT m_rcPaint{};
    RECT m_rcFloat{};
    RECT m_rcPadding{};
    SIZE m_cxyFixed{};
    bool m_bVisible = true;
    bool m_bEnabled = true;
    bool m_bFloat = false;
    bool m_bHandCursor = false;
    DWORD m_dwBkColor = 0;
    DWORD m_dwBorderColor = 0;
    int m_nBorderSize = 0;
    CDuiString m_sBkImage;
};
