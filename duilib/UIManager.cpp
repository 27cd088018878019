#include "duilib/UIManager.h"

#include "common/Dib.h"
#include "duilib/UIControl.h"

#include <windowsx.h>

#include <algorithm>

namespace {

UINT AsyncRepaintMessage() {
    static const UINT message = RegisterWindowMessageW(L"DuiLibAsyncRepaint");
    return message;
}

WORD CurrentKeyState() {
    WORD state = 0;
    if (GetKeyState(VK_SHIFT) < 0) state |= MK_SHIFT;
    if (GetKeyState(VK_CONTROL) < 0) state |= MK_CONTROL;
    if (GetKeyState(VK_LBUTTON) < 0) state |= MK_LBUTTON;
    if (GetKeyState(VK_RBUTTON) < 0) state |= MK_RBUTTON;
    if (GetKeyState(VK_MBUTTON) < 0) state |= MK_MBUTTON;
    return state;
}

template <typename T>
bool AddUnique(std::vector<T*>& list, T* item) {
    if (!item || std::find(list.begin(), list.end(), item) != list.end()) return false;
    list.push_back(item);
    return true;
}

template <typename T>
bool RemoveItem(std::vector<T*>& list, T* item) {
    const auto it = std::find(list.begin(), list.end(), item);
    if (it == list.end()) return false;
    list.erase(it);
    return true;
}

}  // namespace

CPaintManagerUI::CPaintManagerUI() = default;

CPaintManagerUI::~CPaintManagerUI() {
    CControlUI* root = m_pRoot;
    m_pRoot = nullptr;
    delete root;
}

void CPaintManagerUI::Init(HWND hWnd) {
    m_hWndPaint = hWnd;
    m_dwThreadId = GetWindowThreadProcessId(hWnd, nullptr);
}

bool CPaintManagerUI::IsUIThread() const { return m_dwThreadId == GetCurrentThreadId(); }

SIZE CPaintManagerUI::GetClientSize() const {
    RECT rc{};
    GetClientRect(m_hWndPaint, &rc);
    return SIZE{rc.right - rc.left, rc.bottom - rc.top};
}

bool CPaintManagerUI::AttachDialog(CControlUI* pRoot) {
    CControlUI* old = m_pRoot;
    m_pRoot = nullptr;
    delete old;
    if (!pRoot || !m_hWndPaint) {
        delete pRoot;
        return false;
    }
    m_pRoot = pRoot;
    pRoot->SetManager(this, nullptr, true);
    m_bUpdateNeeded = true;
    UpdateLayout();
    return true;
}

void CPaintManagerUI::InitControl(CControlUI* pControl) {
    if (!pControl->GetName().IsEmpty()) m_mNameHash.Insert(pControl->GetName(), pControl);
    pControl->DoInit();
}

void CPaintManagerUI::ReapControl(CControlUI* pControl) {
    if (!pControl->GetName().IsEmpty() && m_mNameHash.Find(pControl->GetName(), false) == pControl) {
        m_mNameHash.Remove(pControl->GetName());
    }
    if (m_pFocus == pControl) m_pFocus = nullptr;
    if (m_pEventHover == pControl) m_pEventHover = nullptr;
    if (m_pEventClick == pControl) m_pEventClick = nullptr;
    RemoveItem(m_asyncControls, pControl);
}

CControlUI* CPaintManagerUI::FindControl(const wchar_t* name) const {
    return static_cast<CControlUI*>(m_mNameHash.Find(name));
}

CControlUI* CPaintManagerUI::FindControl(POINT pt) const { return m_pRoot ? m_pRoot->FindControlAt(pt) : nullptr; }

void CPaintManagerUI::SetFocus(CControlUI* pControl) {
    if (pControl == m_pFocus) return;
    if (m_hWndPaint && ::GetFocus() != m_hWndPaint) ::SetFocus(m_hWndPaint);
    CControlUI* old = m_pFocus;
    m_pFocus = pControl;
    const POINT pt = m_ptLastMousePos;
    if (old) {
        SendEvent(old, UIEVENT_KILLFOCUS, 0, 0, pt);
        SendNotify(old, DUI_MSGTYPE_KILLFOCUS);
    }
    if (m_pFocus) {
        SendEvent(m_pFocus, UIEVENT_SETFOCUS, 0, 0, pt);
        if (m_pFocus) SendNotify(m_pFocus, DUI_MSGTYPE_SETFOCUS);
    }
}

void CPaintManagerUI::Invalidate(const RECT& rc) {
    if (m_hWndPaint) InvalidateRect(m_hWndPaint, &rc, FALSE);
}

void CPaintManagerUI::UpdateLayout() {
    if (!m_pRoot || !m_bUpdateNeeded) return;
    RECT client{};
    GetClientRect(m_hWndPaint, &client);
    if (IsRectEmpty(&client)) return;
    m_bUpdateNeeded = false;
    m_pRoot->SetPos(client, false);
    InvalidateRect(m_hWndPaint, nullptr, FALSE);
}

bool CPaintManagerUI::AddNotifier(INotifyUI* pNotifier) { return AddUnique(m_notifiers, pNotifier); }

bool CPaintManagerUI::RemoveNotifier(INotifyUI* pNotifier) { return RemoveItem(m_notifiers, pNotifier); }

void CPaintManagerUI::SendNotify(CControlUI* pControl, const wchar_t* type, WPARAM wParam, LPARAM lParam) {
    TNotifyUI msg;
    msg.sType = type;
    msg.pSender = pControl;
    msg.dwTimestamp = GetTickCount();
    msg.ptMouse = m_ptLastMousePos;
    msg.wParam = wParam;
    msg.lParam = lParam;
    // A copy: a receiver may add or remove receivers.
    const std::vector<INotifyUI*> notifiers = m_notifiers;
    for (INotifyUI* notifier : notifiers) notifier->Notify(msg);
}

bool CPaintManagerUI::AddMessageFilter(IMessageFilterUI* pFilter) { return AddUnique(m_filters, pFilter); }

bool CPaintManagerUI::RemoveMessageFilter(IMessageFilterUI* pFilter) { return RemoveItem(m_filters, pFilter); }

void CPaintManagerUI::AddFont(int id, const wchar_t* name, int size, bool bold, bool underline, bool italic,
                              bool isDefault) {
    LOGFONTW lf{};
    lf.lfHeight = -size;
    lf.lfWeight = bold ? FW_BOLD : FW_NORMAL;
    lf.lfUnderline = underline;
    lf.lfItalic = italic;
    lf.lfCharSet = DEFAULT_CHARSET;
    lf.lfQuality = CLEARTYPE_QUALITY;
    lstrcpynW(lf.lfFaceName, name ? name : L"", LF_FACESIZE);
    HFONT font = CreateFontIndirectW(&lf);
    if (!font) return;
    m_fonts[id].Reset(font);
    if (isDefault || m_defaultFontId < 0) m_defaultFontId = id;
}

HFONT CPaintManagerUI::GetFont(int id) const {
    auto it = m_fonts.find(id);
    if (it == m_fonts.end()) it = m_fonts.find(m_defaultFontId);
    if (it != m_fonts.end()) return it->second.Get();
    return static_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

const TImageInfo* CPaintManagerUI::GetImage(const wchar_t* file) {
    if (!file || !*file) return nullptr;
    const std::wstring key(file);
    auto it = m_images.find(key);
    if (it == m_images.end()) it = m_images.emplace(key, dui::LoadSkinImage(file)).first;
    return it->second.get();
}

void CPaintManagerUI::AddAsyncRepaint(CControlUI* pControl) { AddUnique(m_asyncControls, pControl); }

void CPaintManagerUI::RemoveAsyncRepaint(CControlUI* pControl) { RemoveItem(m_asyncControls, pControl); }

void CPaintManagerUI::PostAsyncRepaint() {
    // One message in flight is enough: the UI thread reads the newest values when it paints.
    if (m_hWndPaint && !m_bAsyncRepaintPosted.exchange(true)) {
        if (!PostMessageW(m_hWndPaint, AsyncRepaintMessage(), 0, 0)) m_bAsyncRepaintPosted = false;
    }
}

bool CPaintManagerUI::FilterMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes) {
    // A copy: a filter may remove itself (a control being destroyed).
    const std::vector<IMessageFilterUI*> filters = m_filters;
    for (IMessageFilterUI* filter : filters) {
        bool handled = false;
        const LRESULT result = filter->MessageHandler(uMsg, wParam, lParam, handled);
        if (handled) {
            lRes = result;
            return true;
        }
    }
    return false;
}

void CPaintManagerUI::SendEvent(CControlUI* pControl, int type, WPARAM wParam, LPARAM lParam, POINT pt) {
    if (!pControl) return;
    TEventUI event;
    event.Type = type;
    event.pSender = pControl;
    event.dwTimestamp = GetTickCount();
    event.ptMouse = pt;
    event.wParam = wParam;
    event.lParam = lParam;
    if (type >= UIEVENT__KEYBEGIN && type <= UIEVENT__KEYEND) {
        event.chKey = static_cast<wchar_t>(wParam);
        event.wKeyState = CurrentKeyState();
    } else if (type == UIEVENT_SCROLLWHEEL) {
        event.wKeyState = LOWORD(lParam);
    } else if (type == UIEVENT_CONTEXTMENU || type == UIEVENT_SETFOCUS || type == UIEVENT_KILLFOCUS ||
               type == UIEVENT_SETCURSOR) {
        event.wKeyState = CurrentKeyState();
    } else {
        event.wKeyState = LOWORD(wParam);
    }
    pControl->DoEvent(event);
}

void CPaintManagerUI::OnMouseMove(WPARAM wParam, LPARAM lParam) {
    const POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
    m_ptLastMousePos = pt;
    if (!m_bMouseTracking) {
        TRACKMOUSEEVENT track{sizeof(track), TME_LEAVE, m_hWndPaint, 0};
        m_bMouseTracking = TrackMouseEvent(&track) != FALSE;
    }
    CControlUI* hover = FindControl(pt);
    if (hover != m_pEventHover) {
        CControlUI* old = m_pEventHover;
        m_pEventHover = hover;
        if (old) SendEvent(old, UIEVENT_MOUSELEAVE, wParam, lParam, pt);
        if (hover && m_pEventHover == hover) SendEvent(hover, UIEVENT_MOUSEENTER, wParam, lParam, pt);
    }
    CControlUI* target = m_pEventClick ? m_pEventClick : m_pEventHover;
    if (target) SendEvent(target, UIEVENT_MOUSEMOVE, wParam, lParam, pt);
}

HDC CPaintManagerUI::RenderOffscreen(const RECT& dirty) {
    UpdateLayout();
    const SIZE size = GetClientSize();
    if (!m_pRoot || size.cx <= 0 || size.cy <= 0 || IsRectEmpty(&dirty)) return nullptr;
    if (!m_offscreenDC.Get() || size.cx != m_offscreenSize.cx || size.cy != m_offscreenSize.cy) {
        void* bits = nullptr;
        UniqueBitmap bitmap = CreateTopDownDib(size.cx, size.cy, &bits);
        if (!bitmap) return nullptr;
        if (!m_offscreenDC.Get()) m_offscreenDC.Reset(CreateCompatibleDC(nullptr));
        if (!m_offscreenDC.Get()) return nullptr;
        SelectObject(m_offscreenDC.Get(), bitmap.Get());
        m_offscreenBitmap = std::move(bitmap);  // the previous bitmap is no longer selected
        m_offscreenSize = size;
    }
    HDC dc = m_offscreenDC.Get();
    dui::DrawColor(dc, dirty, 0xFF000000);
    m_pRoot->DoPaint(dc, dirty, nullptr);
    GdiFlush();
    return dc;
}

void CPaintManagerUI::OnPaint() {
    PaintScope paint(m_hWndPaint);
    const RECT dirty = paint.Dirty();
    if (HDC dc = RenderOffscreen(dirty)) {
        BitBlt(paint.Get(), dirty.left, dirty.top, dirty.right - dirty.left, dirty.bottom - dirty.top, dc, dirty.left,
               dirty.top, SRCCOPY);
    }
}

void CPaintManagerUI::PaintTo(HDC hDC) {
    const SIZE size = GetClientSize();
    const RECT all{0, 0, size.cx, size.cy};
    if (HDC dc = RenderOffscreen(all)) BitBlt(hDC, 0, 0, size.cx, size.cy, dc, 0, 0, SRCCOPY);
}

bool CPaintManagerUI::MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, LRESULT& lRes) {
    if (!m_hWndPaint) return false;
    lRes = 0;
    if (uMsg == AsyncRepaintMessage()) {
        m_bAsyncRepaintPosted = false;
        for (CControlUI* control : m_asyncControls) control->Invalidate();
        return true;
    }
    switch (uMsg) {
    case WM_PAINT:
        OnPaint();
        return true;
    case WM_PRINTCLIENT:
        PaintTo(reinterpret_cast<HDC>(wParam));
        return true;
    case WM_ERASEBKGND:
        lRes = 1;
        return true;
    case WM_SIZE:
        m_bUpdateNeeded = true;
        UpdateLayout();
        return true;
    case WM_MOUSEMOVE:
        OnMouseMove(wParam, lParam);
        return true;
    case WM_MOUSELEAVE:
        m_bMouseTracking = false;
        if (m_pEventHover && !m_pEventClick) {
            CControlUI* old = m_pEventHover;
            m_pEventHover = nullptr;
            SendEvent(old, UIEVENT_MOUSELEAVE, wParam, lParam, m_ptLastMousePos);
        }
        return true;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        const POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        m_ptLastMousePos = pt;
        CControlUI* control = FindControl(pt);
        if (!control || !control->IsEnabled()) return true;
        SetCapture(m_hWndPaint);
        m_pEventClick = control;
        SetFocus(control);
        if (m_pEventClick == control) {
            SendEvent(control, uMsg == WM_LBUTTONDOWN ? UIEVENT_BUTTONDOWN : UIEVENT_DBLCLICK, wParam, lParam, pt);
        }
        return true;
    }
    case WM_LBUTTONUP: {
        const POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        m_ptLastMousePos = pt;
        CControlUI* control = m_pEventClick;
        m_pEventClick = nullptr;
        if (GetCapture() == m_hWndPaint) ReleaseCapture();
        SendEvent(control, UIEVENT_BUTTONUP, wParam, lParam, pt);
        return true;
    }
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP: {
        const POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        m_ptLastMousePos = pt;
        CControlUI* control = FindControl(pt);
        if (control && control->IsEnabled()) {
            SendEvent(control, uMsg == WM_RBUTTONDOWN ? UIEVENT_RBUTTONDOWN : UIEVENT_RBUTTONUP, wParam, lParam, pt);
        }
        return false;  // the default procedure turns the right button into WM_CONTEXTMENU
    }
    case WM_CONTEXTMENU: {
        POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        if (pt.x == -1 && pt.y == -1) {
            pt = m_ptLastMousePos;
        } else {
            ScreenToClient(m_hWndPaint, &pt);
        }
        CControlUI* control = FindControl(pt);
        if (!control) return false;
        SendEvent(control, UIEVENT_CONTEXTMENU, CurrentKeyState(), lParam, pt);
        return true;
    }
    case WM_MOUSEWHEEL: {
        POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ScreenToClient(m_hWndPaint, &pt);
        m_ptLastMousePos = pt;
        CControlUI* control = FindControl(pt);
        if (!control) return false;
        SendEvent(control, UIEVENT_SCROLLWHEEL, GET_WHEEL_DELTA_WPARAM(wParam) > 0 ? 0 : 1,
                  static_cast<LPARAM>(wParam), pt);
        return true;
    }
    case WM_SETCURSOR: {
        if (LOWORD(lParam) != HTCLIENT) return false;
        POINT pt{};
        GetCursorPos(&pt);
        ScreenToClient(m_hWndPaint, &pt);
        CControlUI* control = FindControl(pt);
        if (!control) return false;
        SendEvent(control, UIEVENT_SETCURSOR, wParam, lParam, pt);
        lRes = TRUE;
        return true;
    }
    case WM_KEYDOWN:
    case WM_KEYUP:
    case WM_CHAR: {
        if (!m_pFocus) return false;
        const int type = uMsg == WM_KEYDOWN ? UIEVENT_KEYDOWN : uMsg == WM_KEYUP ? UIEVENT_KEYUP : UIEVENT_CHAR;
        SendEvent(m_pFocus, type, wParam, lParam, m_ptLastMousePos);
        return true;
    }
    default:
        return false;
    }
}
