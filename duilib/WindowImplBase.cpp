#include "duilib/WindowImplBase.h"

#include "duilib/UIControl.h"
#include "duilib/UIDlgBuilder.h"

#include <windowsx.h>

const DUI_MSGMAP_ENTRY WindowImplBase::_messageEntries[] = {
    {DUI_MSGTYPE_CLICK, nullptr, &WindowImplBase::OnClick},
    {nullptr, nullptr, nullptr},
};

const DUI_MSGMAP WindowImplBase::messageMap = {nullptr, &WindowImplBase::_messageEntries[0]};

const DUI_MSGMAP* WindowImplBase::GetMessageMap() const { return &WindowImplBase::messageMap; }

WindowImplBase::~WindowImplBase() = default;

void WindowImplBase::OnFinalMessage(HWND) {
    m_pm.RemoveNotifier(this);
    m_pm.RemoveMessageFilter(this);
    m_pm.AttachDialog(nullptr);
}

void WindowImplBase::InitWindow() {}

void WindowImplBase::OnClick(TNotifyUI& msg) {
    if (!msg.pSender) return;
    if (msg.pSender->GetName() == L"closebtn") {
        Close();
    } else if (msg.pSender->GetName() == L"minbtn") {
        SendMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0);
    }
}

LRESULT WindowImplBase::OnClose(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    bHandled = FALSE;
    return 0;
}

LRESULT WindowImplBase::OnSysCommand(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    bHandled = FALSE;
    return 0;
}

LRESULT WindowImplBase::HandleCustomMessage(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    bHandled = FALSE;
    return 0;
}

CControlUI* WindowImplBase::CreateControl(const wchar_t*) { return nullptr; }

LRESULT WindowImplBase::MessageHandler(UINT, WPARAM, LPARAM, bool&) { return 0; }

void WindowImplBase::Notify(TNotifyUI& msg) {
    for (const DUI_MSGMAP* map = GetMessageMap(); map; map = map->pBaseMap) {
        for (const DUI_MSGMAP_ENTRY* entry = map->lpEntries; entry && entry->sMsgType; ++entry) {
            if (msg.sType != entry->sMsgType) continue;
            if (entry->sCtrlName && (!msg.pSender || msg.pSender->GetName() != entry->sCtrlName)) continue;
            (this->*entry->pfn)(msg);
        }
    }
}

LRESULT WindowImplBase::OnCreate(UINT, WPARAM, LPARAM, BOOL& bHandled) {
    bHandled = TRUE;
    // The skin draws the whole window, frame and caption included.
    const LONG_PTR style = GetWindowLongPtrW(m_hWnd, GWL_STYLE);
    SetWindowLongPtrW(m_hWnd, GWL_STYLE, (style & ~static_cast<LONG_PTR>(WS_CAPTION)) | WS_CLIPSIBLINGS | WS_CLIPCHILDREN);

    m_pm.Init(m_hWnd);
    CDialogBuilder builder;
    CControlUI* root = builder.Create(GetSkinFile(), this, &m_pm);
    if (!root) return -1;  // no skin: CreateWindowEx fails and Create returns null
    const SIZE size = m_pm.GetInitSize();
    if (size.cx > 0 && size.cy > 0) {
        SetWindowPos(m_hWnd, nullptr, 0, 0, size.cx, size.cy, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    } else {
        SetWindowPos(m_hWnd, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
    }
    m_pm.AttachDialog(root);
    m_pm.AddNotifier(this);
    m_pm.AddMessageFilter(this);
    InitWindow();
    return 0;
}

LRESULT WindowImplBase::OnNcHitTest(UINT, WPARAM, LPARAM lParam, BOOL& bHandled) {
    bHandled = TRUE;
    POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    ScreenToClient(m_hWnd, &pt);
    RECT client{};
    GetClientRect(m_hWnd, &client);

    if (!IsZoomed(m_hWnd)) {
        const RECT& box = m_pm.GetSizeBox();
        const bool left = pt.x < client.left + box.left, right = pt.x >= client.right - box.right;
        if (pt.y < client.top + box.top) return left ? HTTOPLEFT : right ? HTTOPRIGHT : HTTOP;
        if (pt.y >= client.bottom - box.bottom) return left ? HTBOTTOMLEFT : right ? HTBOTTOMRIGHT : HTBOTTOM;
        if (left) return HTLEFT;
        if (right) return HTRIGHT;
    }
    const RECT& caption = m_pm.GetCaptionRect();
    if (pt.x >= client.left + caption.left && pt.x < client.right - caption.right && pt.y >= caption.top &&
        pt.y < caption.bottom) {
        CControlUI* control = m_pm.FindControl(pt);
        if (!control || control->DragsCaption()) return HTCAPTION;
    }
    return HTCLIENT;
}

LRESULT WindowImplBase::OnGetMinMaxInfo(UINT, WPARAM, LPARAM lParam, BOOL& bHandled) {
    bHandled = TRUE;
    MINMAXINFO* info = reinterpret_cast<MINMAXINFO*>(lParam);
    const SIZE minimum = m_pm.GetMinInfo();
    if (minimum.cx > 0) info->ptMinTrackSize.x = minimum.cx;
    if (minimum.cy > 0) info->ptMinTrackSize.y = minimum.cy;
    return 0;
}

LRESULT WindowImplBase::HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (m_pm.FilterMessage(uMsg, wParam, lParam, result)) return result;

    BOOL bHandled = TRUE;
    switch (uMsg) {
    case WM_CREATE: result = OnCreate(uMsg, wParam, lParam, bHandled); break;
    case WM_CLOSE: result = OnClose(uMsg, wParam, lParam, bHandled); break;
    case WM_SYSCOMMAND: result = OnSysCommand(uMsg, wParam, lParam, bHandled); break;
    case WM_NCHITTEST: result = OnNcHitTest(uMsg, wParam, lParam, bHandled); break;
    case WM_GETMINMAXINFO: result = OnGetMinMaxInfo(uMsg, wParam, lParam, bHandled); break;
    case WM_NCCALCSIZE: result = 0; break;  // no frame: the client area is the whole window
    case WM_NCPAINT: result = 0; break;
    case WM_NCACTIVATE: result = IsIconic(m_hWnd) ? FALSE : TRUE; bHandled = !IsIconic(m_hWnd); break;
    default: bHandled = FALSE;
    }
    if (bHandled) return result;

    bHandled = FALSE;
    result = HandleCustomMessage(uMsg, wParam, lParam, bHandled);
    if (bHandled) return result;
    if (m_pm.MessageHandler(uMsg, wParam, lParam, result)) return result;
    return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
}
