#include "webview/WkeWebkitUI.h"

#include "common/Dib.h"
#include "common/TextConv.h"
#include "platform/WebEngineLoader.h"
#include "platform/WkeInput.h"

#include <string.h>

CWkeWebkitUI::CWkeWebkitUI() : m_hMemDC(CreateCompatibleDC(nullptr)), m_webView(wkeCreateWebView()) {}

CWkeWebkitUI::~CWkeWebkitUI() {
    m_bDestroyed = true;
    // The engine would otherwise go on raising events with this object as their context.
    if (m_webView) wkeDestroyWebView(m_webView);
    m_webView = nullptr;
    if (GetManager()) GetManager()->RemoveMessageFilter(this);
    // The DC goes first: the bitmap cannot be deleted while it is selected.
    m_hMemDC.Reset();
    m_hBitmap.Reset();
}

const wchar_t* CWkeWebkitUI::GetClass() const { return L"CWkeWebkitUI"; }

void* CWkeWebkitUI::GetInterface(const wchar_t* pstrName) {
    if (pstrName && wcscmp(pstrName, L"WkeBrowser") == 0) return this;
    return CControlUI::GetInterface(pstrName);
}

void CWkeWebkitUI::SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue) {
    if (pstrName && wcscmp(pstrName, L"homepage") == 0) {
        // An address too long to keep is not kept, but still loaded in full.
        Navigate(StoreBoundedUrl(m_szHomeUrl, pstrValue) ? m_szHomeUrl : pstrValue);
    } else if (pstrName && wcscmp(pstrName, L"url") == 0) {
        Navigate(pstrValue);
        return;
    }
    CControlUI::SetAttribute(pstrName, pstrValue);
}

void CWkeWebkitUI::SetPos(RECT rc, bool bNeedInvalidate) {
    m_rcWeb = rc;
    m_pPixels = nullptr;
    CControlUI::SetPos(rc, bNeedInvalidate);
    wkeResize(m_webView, rc.right - rc.left, rc.bottom - rc.top);
}

void CWkeWebkitUI::DoInit() {
    CControlUI::DoInit();
    wkeSetHandle(m_webView, GetManager() ? GetManager()->GetPaintWindow() : nullptr);
    wkeSetName(m_webView, ToAnsi(GetName().GetData()).c_str());
    wkeSetTransparent(m_webView, false);

    wkeOnTitleChanged(m_webView, &CWkeWebkitUI::OnTitleChanged, this);
    wkeOnURLChanged(m_webView, &CWkeWebkitUI::OnURLChanged, this);
    wkeOnNavigation(m_webView, &CWkeWebkitUI::OnNavigation, this);
    wkeOnCreateView(m_webView, &CWkeWebkitUI::OnCreateView, this);
    wkeOnDocumentReady(m_webView, &CWkeWebkitUI::OnDocumentReady, this);
    wkeOnLoadUrlBegin(m_webView, &CWkeWebkitUI::OnLoadUrlBegin, this);
    wkeOnLoadingFinish(m_webView, &CWkeWebkitUI::OnLoadingFinish, this);
    wkeOnDownload(m_webView, &CWkeWebkitUI::OnDownload, this);
    wkeOnPaintUpdated(m_webView, &CWkeWebkitUI::OnPaintUpdated, this);
    wkeOnAlertBox(m_webView, &CWkeWebkitUI::OnAlertBox, this);
    wkeOnWindowClosing(m_webView, &CWkeWebkitUI::OnWindowClosing, this);
    wkeOnConsole(m_webView, &CWkeWebkitUI::OnConsole, this);

    if (GetManager()) GetManager()->AddMessageFilter(this);
}

bool CWkeWebkitUI::DoPaint(HDC hDC, const RECT& rcPaint, CControlUI* pStopControl) {
    CControlUI::DoPaint(hDC, rcPaint, pStopControl);
    const int width = m_rcWeb.right - m_rcWeb.left;
    const int height = m_rcWeb.bottom - m_rcWeb.top;
    if (!m_pPixels && width > 0 && height > 0) {
        void* bits = nullptr;
        UniqueBitmap bitmap = CreateTopDownDib(width, height, &bits);
        if (bitmap) {
            SelectObject(m_hMemDC.Get(), bitmap.Get());
            m_hBitmap = std::move(bitmap);
            m_pPixels = static_cast<uint32_t*>(bits);
        }
    }
    // Without a bitmap there is nothing to paint into; the next paint tries again.
    if (m_pPixels) {
        wkePaint(m_webView, m_pPixels, 0);
        BitBlt(hDC, m_rcWeb.left, m_rcWeb.top, width, height, m_hMemDC.Get(), 0, 0, SRCCOPY);
    }
    UpdateCursor();
    return true;
}

void CWkeWebkitUI::Navigate(const wchar_t* pstrUrl) {
    m_bErrorPageShown = false;
    LoadInView(pstrUrl);
}

void CWkeWebkitUI::LoadInView(const wchar_t* pstrUrl) {
    if (!pstrUrl) pstrUrl = L"";
    if (IsFileUrl(pstrUrl)) {
        wkeLoadFileW(m_webView, pstrUrl);
    } else {
        wkeLoadURLW(m_webView, pstrUrl);
    }
}

void CWkeWebkitUI::SetErrorPage(const wchar_t* pstrUrl) { StoreBoundedUrl(m_szErrorUrl, pstrUrl); }

void CWkeWebkitUI::SetWkeCallback(IWkeCallback* pCallback) { m_pCallback = pCallback; }

void CWkeWebkitUI::RunJS(const wchar_t* pstrScript) { wkeRunJS(m_webView, ToUtf8(pstrScript).c_str()); }

namespace {

// The control's event table: the page's input for one framework event, in view coordinates
// (`origin` is the control's top-left corner). The framework has done what a window procedure
// does with the messages (points, capture, focus, the wheel's direction), so its fields go on as
// it gives them; only the moves' flags are masked. Events the table does not name give None.
WkeInputEvent ControlInput(const TEventUI& event, POINT origin) {
    WkeInputEvent input;
    input.x = event.ptMouse.x - origin.x;
    input.y = event.ptMouse.y - origin.y;
    input.code = static_cast<unsigned>(static_cast<WORD>(event.chKey));
    input.flags = event.wKeyState;
    switch (event.Type) {
    case UIEVENT_KEYDOWN:
    case UIEVENT_KEYUP:
    case UIEVENT_CHAR:
        input.kind = event.Type == UIEVENT_KEYDOWN ? WkeInputEvent::KeyDown
                     : event.Type == UIEVENT_KEYUP ? WkeInputEvent::KeyUp
                                                   : WkeInputEvent::Char;
        input.flags = static_cast<unsigned>(event.lParam);  // the message's whole lParam
        break;
    case UIEVENT_MOUSEMOVE:
    case UIEVENT_MOUSELEAVE:
    case UIEVENT_MOUSEENTER:
        input.kind = WkeInputEvent::Mouse;
        input.message = WM_MOUSEMOVE;
        input.flags = WkeMouseFlags(event.wParam);
        break;
    case UIEVENT_BUTTONDOWN: input.kind = WkeInputEvent::Mouse; input.message = WM_LBUTTONDOWN; break;
    case UIEVENT_BUTTONUP: input.kind = WkeInputEvent::Mouse; input.message = WM_LBUTTONUP; break;
    case UIEVENT_RBUTTONDOWN: input.kind = WkeInputEvent::Mouse; input.message = WM_RBUTTONDOWN; break;
    case UIEVENT_DBLCLICK: input.kind = WkeInputEvent::Mouse; input.message = WM_LBUTTONDBLCLK; break;
    case UIEVENT_CONTEXTMENU:
        input.kind = WkeInputEvent::ContextMenu;
        input.flags = ContextMenuFlags(event.wParam);
        break;
    case UIEVENT_SCROLLWHEEL:
        input.kind = WkeInputEvent::Wheel;
        input.delta = WheelDelta(event.wParam);
        break;
    case UIEVENT_KILLFOCUS: input.kind = WkeInputEvent::KillFocus; break;
    case UIEVENT_SETFOCUS: input.kind = WkeInputEvent::SetFocus; break;
    default: break;
    }
    return input;
}

}  // namespace

void CWkeWebkitUI::DoEvent(TEventUI& event) {
    if (!IsEnabled() || !IsVisible()) return;
    if (event.Type == UIEVENT_SETCURSOR) return;  // the page's cursor stays
    const RECT rc = GetPos();
    const WkeInputEvent input = ControlInput(event, POINT{rc.left, rc.top});
    FireWkeInput(WkeLoadedInputCalls(), m_webView, input);
    if (input.kind == WkeInputEvent::Mouse && input.message == WM_MOUSEMOVE) UpdateCursor();
    CControlUI::DoEvent(event);
}

LRESULT CWkeWebkitUI::MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) {
    (void)lParam;
    if (m_bDestroyed || !GetManager()) return 0;
    if (uMsg == WM_SIZE) {
        // The page is hidden while its window is minimised (it gets no frames then), and shown
        // again with it. The window goes on with the message.
        if (wParam == SIZE_MINIMIZED || wParam == SIZE_RESTORED || wParam == SIZE_MAXIMIZED)
            wkeShowWindow(m_webView, wParam != SIZE_MINIMIZED);
        return 0;
    }
    if (uMsg != WM_SETCURSOR && uMsg != WM_IME_STARTCOMPOSITION) return 0;
    if (GetManager()->FindControl(GetManager()->GetMousePos()) != this) return 0;
    if (uMsg == WM_IME_STARTCOMPOSITION) {
        const RECT rc = GetPos();
        PlaceWkeImeWindow(GetManager()->GetPaintWindow(), WkeImePlacement::CompositionAtCaret,
                          wkeGetCaretRect(m_webView), POINT{rc.left, rc.top});
    }
    bHandled = true;
    return 0;
}

void CWkeWebkitUI::UpdateCursor() {
    const int type = wkeGetCursorInfoType(m_webView);
    if (type == m_nLastCursor) return;
    m_nLastCursor = type;
    SetWkeCursor(type);
}

CWkeWebkitUI* CWkeWebkitUI::Live(void* param) {
    CWkeWebkitUI* control = static_cast<CWkeWebkitUI*>(param);
    return control && !control->m_bDestroyed ? control : nullptr;
}

bool CWkeWebkitUI::IsEventFromMainFrame(wkeWebView webView) {
    const wkeTempCallbackInfo* info = wkeGetTempCallbackInfo(webView);
    return info && wkeIsMainFrame(webView, info->frame);
}

void WKE_CALL CWkeWebkitUI::OnTitleChanged(wkeWebView, void* param, wkeString title) {
    CWkeWebkitUI* self = Live(param);
    if (self && self->m_pCallback) self->m_pCallback->OnWkeTitleChanged(self, wkeGetStringW(title));
}

void WKE_CALL CWkeWebkitUI::OnURLChanged(wkeWebView webView, void* param, wkeString url) {
    if (!IsEventFromMainFrame(webView)) return;
    CWkeWebkitUI* self = Live(param);
    if (self && self->m_pCallback) self->m_pCallback->OnWkeURLChanged(self, wkeGetStringW(url));
}

bool WKE_CALL CWkeWebkitUI::OnNavigation(wkeWebView, void* param, wkeNavigationType navigationType, wkeString url) {
    CWkeWebkitUI* self = Live(param);
    if (!self) return false;
    if (!self->m_pCallback) return true;
    return self->m_pCallback->OnWkeNavigation(self, navigationType, wkeGetStringW(url));
}

wkeWebView WKE_CALL CWkeWebkitUI::OnCreateView(wkeWebView, void* param, wkeNavigationType navigationType,
                                               wkeString url, const wkeWindowFeatures* windowFeatures) {
    CWkeWebkitUI* self = Live(param);
    if (!self || !self->m_pCallback) return nullptr;
    return self->m_pCallback->OnWkeCreateView(self, navigationType, url, windowFeatures);
}

void WKE_CALL CWkeWebkitUI::OnDocumentReady(wkeWebView, void* param) {
    CWkeWebkitUI* self = Live(param);
    if (self && self->m_pCallback) self->m_pCallback->OnWkeDocumentReady(self);
}

bool WKE_CALL CWkeWebkitUI::OnLoadUrlBegin(wkeWebView, void* param, const utf8* url, wkeNetJob job) {
    CWkeWebkitUI* self = Live(param);
    if (self && self->m_pCallback) self->m_pCallback->OnWkeLoadUrlBegin(self, self, url, job);
    return false;
}

void WKE_CALL CWkeWebkitUI::OnLoadingFinish(wkeWebView webView, void* param, wkeString url, wkeLoadingResult result,
                                            wkeString failedReason) {
    CWkeWebkitUI* self = Live(param);
    if (!self) return;
    if (result == WKE_LOADING_FAILED && !self->m_bErrorPageShown) {
        self->m_bErrorPageShown = true;
        self->LoadInView(self->m_szErrorUrl);
    }
    if (IsEventFromMainFrame(webView)) wkeNetGetFavicon(self->m_webView, &CWkeWebkitUI::OnFavicon, self);
    if (self->m_pCallback) {
        self->m_pCallback->OnWkeLoadingFinish(self, wkeGetStringW(url), result, wkeGetStringW(failedReason));
    }
}

bool WKE_CALL CWkeWebkitUI::OnDownload(wkeWebView, void* param, const utf8* url) {
    CWkeWebkitUI* self = Live(param);
    if (!self) return false;
    if (!self->m_pCallback) return true;
    return self->m_pCallback->OnWkeDownload(self, url);
}

void WKE_CALL CWkeWebkitUI::OnPaintUpdated(wkeWebView, void* param, HDC, int, int, int, int) {
    CWkeWebkitUI* self = Live(param);
    if (self) self->Invalidate();
}

void WKE_CALL CWkeWebkitUI::OnAlertBox(wkeWebView, void* param, wkeString msg) {
    CWkeWebkitUI* self = Live(param);
    if (self && self->m_pCallback) self->m_pCallback->OnWkeAlertBox(self, wkeGetStringW(msg));
}

bool WKE_CALL CWkeWebkitUI::OnWindowClosing(wkeWebView, void*) { return false; }

void WKE_CALL CWkeWebkitUI::OnConsole(wkeWebView, void* param, wkeConsoleLevel, wkeString message,
                                      wkeString sourceName, unsigned sourceLine, wkeString stackTrace) {
    CWkeWebkitUI* self = Live(param);
    if (self && self->m_pCallback) {
        self->m_pCallback->OnWkeConsole(self, wkeGetStringW(message), wkeGetStringW(sourceName), sourceLine,
                                        wkeGetStringW(stackTrace));
    }
}

void WKE_CALL CWkeWebkitUI::OnFavicon(wkeWebView, void* param, const utf8* url, wkeMemBuf* buf) {
    CWkeWebkitUI* self = Live(param);
    if (self && self->m_pCallback && url && buf) self->m_pCallback->OnWkeFavicon(self, url, buf);
}
