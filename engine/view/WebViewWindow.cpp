// The native window of a window view: creation, painting, the messages it turns into input.
#include "engine/view/WebView.h"

#include "engine/view/Engine.h"
#include "platform/WkeInput.h"

namespace {

const wchar_t kViewWindowClass[] = L"WkeWebWindow";

// The view's own input, as the adapter calls it: a window's messages reach only its live view.
WebView* Of(wkeWebView handle) { return reinterpret_cast<WebView*>(handle); }
bool WKE_CALL FireMouse(wkeWebView v, unsigned message, int x, int y, unsigned flags) {
    return Of(v)->FireMouse(message, x, y, flags);
}
bool WKE_CALL FireWheel(wkeWebView v, int x, int y, int delta, unsigned flags) {
    return Of(v)->FireWheel(x, y, delta, flags);
}
bool WKE_CALL FireKeyDown(wkeWebView v, unsigned key, unsigned flags, bool) { return Of(v)->FireKey(true, key, flags); }
bool WKE_CALL FireKeyUp(wkeWebView v, unsigned key, unsigned flags, bool) { return Of(v)->FireKey(false, key, flags); }
bool WKE_CALL FireChar(wkeWebView v, unsigned code, unsigned flags, bool) { return Of(v)->FireChar(code, flags); }
bool WKE_CALL FireContextMenu(wkeWebView v, int x, int y, unsigned flags) {
    return Of(v)->FireContextMenu(x, y, flags);
}
void WKE_CALL Focus(wkeWebView v) { Of(v)->SetFocus(true); }
void WKE_CALL Blur(wkeWebView v) { Of(v)->SetFocus(false); }
wkeRect WKE_CALL Caret(wkeWebView v) { return Of(v)->CaretRect(); }
int WKE_CALL Cursor(wkeWebView v) { return Of(v)->CursorType(); }
const WkeInputCalls kOwnInput{FireMouse, FireWheel, FireKeyDown, FireKeyUp, FireChar,
                              FireContextMenu, Focus, Blur, Caret, Cursor};

}  // namespace

void WebView::CreateOwnWindow(wkeWindowType type, HWND parent, int x, int y, int width, int height) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW wc{};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = WndProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kViewWindowClass;
    RegisterClassW(&wc);
    const bool child = type == WKE_WINDOW_TYPE_CONTROL && parent;
    const DWORD style = child ? WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS : WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    width = width > 0 ? width : 640;
    height = height > 0 ? height : 480;
    m_window = CreateWindowExW(0, kViewWindowClass, L"", style, x, y, width, height, child ? parent : nullptr, nullptr,
                               instance, this);
    if (!m_window) return;
    RECT client{};
    GetClientRect(m_window, &client);
    m_width = client.right > 0 ? client.right : width;
    m_height = client.bottom > 0 ? client.bottom : height;
}

void WebView::DestroyOwnWindow() {
    if (!m_window) return;
    HWND window = m_window;
    m_window = nullptr;
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    DestroyWindow(window);
}

LRESULT CALLBACK WebView::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* view = reinterpret_cast<WebView*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!view || (view->m_window && view->m_window != hwnd)) return DefWindowProcW(hwnd, msg, wParam, lParam);
    if (!view->m_window) view->m_window = hwnd;  // messages sent during CreateWindowExW
    return view->OnMessage(msg, wParam, lParam);
}

LRESULT WebView::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    HWND hwnd = m_window;
    LRESULT result = 0;
    if (WkeWindowInput(kOwnInput, kEngineWindowInput, Handle(), hwnd, msg, wParam, lParam, &result)) return result;
    switch (msg) {
    case WM_PAINT: {
        PaintScope paint(hwnd);
        RECT client{};
        GetClientRect(hwnd, &client);
        m_picture.Buffer().PaintTo(paint.Get(), client.right, client.bottom);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_SIZE:
        // A minimised window shows nothing of its page (a hidden one was said so by its owner).
        if (IsWindowVisible(hwnd) && (wParam == SIZE_MINIMIZED || wParam == SIZE_RESTORED || wParam == SIZE_MAXIMIZED))
            SetPageVisible(wParam != SIZE_MINIMIZED);
        if (LOWORD(lParam) > 0 && HIWORD(lParam) > 0) Resize(LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_CLOSE:
        if (onWindowClosing.fn && !onWindowClosing.fn(Handle(), onWindowClosing.param)) return 0;
        if (Engine* engine = Engine::Get()) engine->DestroyView(this);
        return 0;
    case WM_NCDESTROY:
        // Gone with its parent: the handle is no longer the view's to use or to destroy.
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, 0);
        m_window = nullptr;
        break;
    default:
        break;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void WebView::Show(bool show) {
    if (OwnWindowInUse()) ShowWindow(m_window, show ? SW_SHOW : SW_HIDE);
    SetPageVisible(show);
}

void WebView::MoveToCenter() {
    if (!m_window) return;
    RECT rect{};
    GetWindowRect(m_window, &rect);
    RECT area{};
    HWND parent = GetParent(m_window);
    if (parent && (GetWindowLongW(m_window, GWL_STYLE) & WS_CHILD)) {
        GetClientRect(parent, &area);
    } else {
        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        GetMonitorInfoW(MonitorFromWindow(m_window, MONITOR_DEFAULTTONEAREST), &monitor);
        area = monitor.rcWork;
    }
    const int w = rect.right - rect.left;
    const int h = rect.bottom - rect.top;
    SetWindowPos(m_window, nullptr, area.left + (area.right - area.left - w) / 2, area.top + (area.bottom - area.top - h) / 2,
                 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void WebView::SetHostWindow(HWND hwnd) {
    m_host = hwnd;
    // A caller that names another window paints and feeds the view through it. The view's own
    // window steps aside, out of sight; it is still the view's (its caller may hold it) until the
    // view goes, and the view's again when the caller names it or no window.
    if (m_window && !OwnWindowInUse()) ShowWindow(m_window, SW_HIDE);
    Resize(m_width, m_height);  // the page's screen is that window's monitor
}

void WebView::SetTitle(const std::wstring& title) {
    if (m_window) SetWindowTextW(m_window, title.c_str());
}
