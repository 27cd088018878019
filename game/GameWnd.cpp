#include "game/GameWnd.h"

#include <cwchar>

#include "core/ConfigKeys.h"
#include "core/GameAddress.h"
#include "core/Kuku.h"
#include "game/GameBridge.h"
#include "game/RenderGDI.h"
#include "platform/WebEngineLoader.h"
#include "webview/PopupWindow.h"

CGameWnd* g_pGameWnd = nullptr;

namespace {

const wchar_t kHostClass[] = L"ORVEL_GAME_HOST";
const wchar_t kGameClass[] = L"ORVEL_GAME";
const int kAppIconId = 107;
const int kDefaultOuterWidth = 1080;
const int kDefaultOuterHeight = 640;
// Pages the game opens by a link show at this size before they are maximised.
const int kLinkPopupWidth = 1080;
const int kLinkPopupHeight = 640;

// The C library's decimal conversion (leading blanks, a sign, digits up to the first other
// character; none gives 0), bounded so that adding the frame cannot overflow.
int SizeValue(const wchar_t* text) {
    long value = wcstol(text, nullptr, 10);
    const long limit = 1L << 20;
    if (value > limit) value = limit;
    if (value < -limit) value = -limit;
    return static_cast<int>(value);
}

}  // namespace

const wchar_t* EngineText(wkeString text) {
    const wchar_t* wide = text ? wkeGetStringW(text) : nullptr;
    return wide ? wide : L"";
}

CGameWnd::CGameWnd(HINSTANCE hInstance) : m_hInstance(hInstance) { g_pGameWnd = this; }

CGameWnd::~CGameWnd() {
    m_bDestroyed = true;
    if (g_pGameWnd == this) g_pGameWnd = nullptr;
    // The view goes first: its handlers carry this object, and the engine raises no event for a
    // destroyed view.
    if (m_webView) wkeDestroyWebView(m_webView);
    m_webView = nullptr;
    // Detached before they go, so that no procedure reaches this object while the windows do.
    if (m_hGameWnd) SetWindowLongPtrW(m_hGameWnd, GWLP_USERDATA, 0);
    if (m_hHostWnd) {
        SetWindowLongPtrW(m_hHostWnd, GWLP_USERDATA, 0);
        DestroyWindow(m_hHostWnd);
    }
    if (m_pRender) m_pRender->Destroy();
}

CGameWnd* CGameWnd::FromParam(void* param) {
    CGameWnd* game = param ? static_cast<CGameWnd*>(param) : g_pGameWnd;
    return game && !game->m_bDestroyed ? game : nullptr;
}

void CGameWnd::RegisterWindowClasses() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof(wc);
    wc.hInstance = m_hInstance;
    wc.hIcon = LoadIconW(m_hInstance, MAKEINTRESOURCEW(kAppIconId));
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_WINDOW + 1);

    wc.style = CS_HREDRAW | CS_VREDRAW;
    wc.lpfnWndProc = HostProc;
    wc.lpszClassName = kHostClass;
    RegisterClassExW(&wc);

    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = GameProc;
    wc.lpszClassName = kGameClass;
    RegisterClassExW(&wc);
}

void CGameWnd::Create() {
    const CDuiString title = ConfigValue(ConfigKey::kTitle);
    RegisterWindowClasses();

    if (!m_hHostWnd) {
        HWND host = CreateWindowExW(0, kHostClass, title.GetData(), WS_OVERLAPPEDWINDOW, 0, 0, 800, 600, nullptr,
                                    nullptr, m_hInstance, this);
        if (!host) {
            m_hHostWnd = nullptr;
            wchar_t text[64];
            wsprintfW(text, L"CreateWindow():%ld", static_cast<long>(GetLastError()));
            MessageBoxW(nullptr, text, L"", MB_OK);
            return;
        }
        m_hGameWnd = CreateWindowExW(0, kGameClass, title.GetData(),
                                     WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0, 0, 0, 0, host,
                                     nullptr, m_hInstance, this);
        m_pRender = new CRenderGDI();
        m_pRender->Init(m_hGameWnd);
    }

    // Without an engine the window still opens and closes; it just has no page in it.
    if (IsWebEngineLoaded()) CreateView(title);

    // The process-wide address keeps the parameter from now on, with or without a query part.
    g_gameAddress = WithDesktopType(g_gameAddress);
    if (m_webView) {
        wkeLoadURLW(m_webView, g_gameAddress.GetData());
        // Only after the load has started: the game address itself must not become a popup.
        wkeOnNavigation(m_webView, &CGameWnd::OnNavigation, this);
    }

    PlaceHostWindow();
    ResizeView();
}

void CGameWnd::CreateView(const CDuiString& title) {
    m_webView = wkeCreateWebWindow(WKE_WINDOW_TYPE_CONTROL, m_hGameWnd, 0, 0, 640, 480);
    if (!m_webView) return;
    // The game window is the view's: it paints the view's updates and feeds it its input, and the
    // window the engine made for the view keeps out of sight until the view goes.
    wkeSetHandle(m_webView, m_hGameWnd);
    wkeSetWindowTitleW(m_webView, title.GetData());
    ApplyLauncherIdentity(m_webView);
    wkeOnDocumentReady(m_webView, &CGameWnd::OnDocumentReady, this);
    wkeOnCreateView(m_webView, &CGameWnd::OnCreateView, this);
    wkeOnAlertBox(m_webView, &CGameWnd::OnAlertBox, this);
    wkeOnPaintUpdated(m_webView, &CGameWnd::OnPaintUpdated, this);
    wkeSetCspCheckEnable(m_webView, false);
    wkeSetNpapiPluginsEnabled(m_webView, true);
    wkeOnConsole(m_webView, &CGameWnd::OnConsole, nullptr);
    BindBridgeFunctions();
}

void CGameWnd::PlaceHostWindow() {
    // "GameW"/"GameH" are the inner size of the game area; the defaults are outer sizes.
    const wchar_t* gameW = ConfigValue(ConfigKey::kGameWidth);
    const wchar_t* gameH = ConfigValue(ConfigKey::kGameHeight);
    const int frame = GetSystemMetrics(SM_CXFRAME);
    const int width = *gameW ? SizeValue(gameW) + 2 * frame : kDefaultOuterWidth;
    const int height = *gameH ? SizeValue(gameH) + GetSystemMetrics(SM_CYCAPTION) + 2 * frame : kDefaultOuterHeight;
    MoveWindow(m_hHostWnd, 0, 0, width, height, TRUE);

    if (wcscmp(ConfigValue(ConfigKey::kLockSize), L"1") == 0) {
        LONG style = GetWindowLongW(m_hHostWnd, GWL_STYLE);
        SetWindowLongW(m_hHostWnd, GWL_STYLE, style & ~(WS_THICKFRAME | WS_MAXIMIZEBOX));
    }
    CenterHostWindow();
}

void CGameWnd::CenterHostWindow() {
    RECT reference{};
    if (HWND parent = GetParent(m_hHostWnd)) {
        GetClientRect(parent, &reference);
    } else {
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &reference, 0);
    }
    RECT window{};
    GetWindowRect(m_hHostWnd, &window);
    const int x = (reference.right - reference.left - (window.right - window.left)) / 2 + reference.left;
    const int y = (reference.bottom - reference.top - (window.bottom - window.top)) / 2 + reference.top;
    SetWindowPos(m_hHostWnd, nullptr, x, y, 0, 0, SWP_NOSIZE);
}

void CGameWnd::ResizeView() {
    if (!m_hHostWnd) return;
    RECT rc{};
    GetClientRect(m_hHostWnd, &rc);
    if (m_hGameWnd) MoveWindow(m_hGameWnd, rc.left, rc.top, rc.right, rc.bottom, TRUE);
    if (m_webView) wkeResize(m_webView, rc.right, rc.bottom);
}

int CGameWnd::PumpMessages() {
    if (!m_hHostWnd) return 0;
    MSG msg;
    // -1 (an invalid call) ends the pump too rather than spinning on the error.
    while (GetMessageW(&msg, nullptr, 0, 0) > 0) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
    return 0;
}

// ---- window procedures ----------------------------------------------------------------------

CGameWnd* CGameWnd::Attach(HWND hWnd, UINT message, LPARAM lParam, HWND CGameWnd::*slot) {
    if (message == WM_NCCREATE) {
        auto* game = static_cast<CGameWnd*>(reinterpret_cast<CREATESTRUCTW*>(lParam)->lpCreateParams);
        if (game) game->*slot = hWnd;
        SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(game));
    }
    return reinterpret_cast<CGameWnd*>(GetWindowLongPtrW(hWnd, GWLP_USERDATA));
}

LRESULT CALLBACK CGameWnd::HostProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CGameWnd* game = Attach(hWnd, message, lParam, &CGameWnd::m_hHostWnd);
    return game ? game->OnHostMessage(message, wParam, lParam) : DefWindowProcW(hWnd, message, wParam, lParam);
}

LRESULT CGameWnd::OnHostMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    HWND hWnd = m_hHostWnd;
    switch (message) {
    case WM_DESTROY:
        m_hHostWnd = nullptr;
        // Nothing else would ever end the pump once the window is gone.
        if (this == g_pGameWnd) PostQuitMessage(0);
        break;
    case WM_SIZE:
        // Minimised, the game's page is hidden as a background tab is: no frames, and a page that
        // listens for it pauses itself.
        if (m_webView && (wParam == SIZE_MINIMIZED || wParam == SIZE_RESTORED || wParam == SIZE_MAXIMIZED))
            wkeShowWindow(m_webView, wParam != SIZE_MINIMIZED);
        ResizeView();
        break;
    case WM_PAINT:
        if (m_pRender) {
            PaintScope paint(hWnd);
            m_pRender->Paint(paint.Get());
        }
        break;
    case WM_CLOSE:
        // Never the default processing: it would destroy the window under the running game.
        if (this == g_pGameWnd && ConfirmExit()) PostQuitMessage(0);
        return 0;
    case WM_SYSCOMMAND:
        // Through the maximised state, so the window comes back at its normal placement.
        if ((wParam & 0xFFF0) == SC_RESTORE) {
            ShowWindow(hWnd, SW_SHOWMAXIMIZED);
            ShowWindow(hWnd, SW_RESTORE);
        }
        break;
    default:
        break;
    }
    return DefWindowProcW(hWnd, message, wParam, lParam);
}

LRESULT CALLBACK CGameWnd::GameProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CGameWnd* game = Attach(hWnd, message, lParam, &CGameWnd::m_hGameWnd);
    return game ? game->OnGameMessage(message, wParam, lParam) : DefWindowProcW(hWnd, message, wParam, lParam);
}

// ---- popups ---------------------------------------------------------------------------------

wkeWebView CGameWnd::OpenPopup(const wkeWindowFeatures* features) {
    PopupHandlers handlers;
    handlers.onCreateView = &CGameWnd::OnCreateView;
    handlers.onAlert = &CGameWnd::OnAlertBox;
    wkeWebView view = CreatePopupWindow(features, handlers);
    if (view) ShowWindow(wkeGetHostHWND(view), SW_SHOWMAXIMIZED);
    return view;
}

wkeWebView WKE_CALL CGameWnd::OnCreateView(wkeWebView, void* param, wkeNavigationType, wkeString,
                                           const wkeWindowFeatures* features) {
    return FromParam(param) ? OpenPopup(features) : nullptr;
}

bool WKE_CALL CGameWnd::OnNavigation(wkeWebView, void* param, wkeNavigationType, wkeString url) {
    if (!FromParam(param)) return false;
    wkeWindowFeatures features{};
    features.width = kLinkPopupWidth;
    features.height = kLinkPopupHeight;
    // The copy: the engine string may not outlive the popup's creation.
    const std::wstring address = EngineText(url);
    if (wkeWebView popup = OpenPopup(&features)) wkeLoadURLW(popup, address.c_str());
    // The game page stays where it is.
    return false;
}
