#include "game/GameWnd.h"

#include <climits>
#include <cwchar>

#include "app/Kuku.h"
#include "app/GameAddress.h"
#include "common/TextConv.h"
#include "game/GameBridge.h"
#include "game/RenderGDI.h"
#include "game/WindowProcs.h"
#include "platform/WebEngineLoader.h"

CGameWnd* g_pGameWnd = nullptr;

const char kGameUserAgent[] =
    "Mozilla/5.0 (Windows NT 6.1) AppleWebKit/537.36 (KHTML, like Gecko) "
    "Chrome/86.0.4240.111 Safari/537.36 OrvelClient/2.0";

namespace {

const wchar_t kHostClass[] = L"ORVEL_GAME_HOST";
const wchar_t kGameClass[] = L"ORVEL_GAME";
const int kAppIconId = 107;
const int kDefaultOuterWidth = 1080;
const int kDefaultOuterHeight = 640;

// The C library's decimal conversion (leading blanks, a sign, digits up to the first other
// character; none gives 0), bounded so that adding the frame cannot overflow.
int SizeValue(const CDuiString& text) {
    long value = wcstol(text.GetData(), nullptr, 10);
    const long limit = 1L << 20;
    if (value > limit) value = limit;
    if (value < -limit) value = -limit;
    return static_cast<int>(value);
}

void SetLanguage(wkeWebView view) {
    CDuiString language = GameSetting(L"Language");
    if (language.IsEmpty()) return;
    wkeSetLanguage(view, WideToMultiByte(language.GetData(), CP_ACP).c_str());
}

}  // namespace

CDuiString GameSetting(const wchar_t* key) { return CKuku::GetInstance()->Get(key); }

const wchar_t* EngineText(wkeString text) {
    const wchar_t* wide = text ? wkeGetStringW(text) : nullptr;
    return wide ? wide : L"";
}

CGameWnd::CGameWnd(HINSTANCE hInstance) : m_hInstance(hInstance) { g_pGameWnd = this; }

CGameWnd::~CGameWnd() {
    m_bDestroyed = true;
    if (g_pGameWnd == this) g_pGameWnd = nullptr;
    // Detach first so that no procedure reaches this object while the windows go.
    if (m_hGameWnd) SetWindowLongPtrW(m_hGameWnd, GWLP_USERDATA, 0);
    if (m_hHostWnd) {
        SetWindowLongPtrW(m_hHostWnd, GWLP_USERDATA, 0);
        DestroyWindow(m_hHostWnd);
    }
    if (m_pRender) m_pRender->Destroy();
}

CGameWnd* CGameWnd::FromParam(void* param) {
    CGameWnd* game = static_cast<CGameWnd*>(param);
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
    wc.lpfnWndProc = HostWndProc;
    wc.lpszClassName = kHostClass;
    RegisterClassExW(&wc);

    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = GameWndProc;
    wc.lpszClassName = kGameClass;
    RegisterClassExW(&wc);
}

void CGameWnd::Create() {
    const CDuiString title = GameSetting(L"Title");
    RegisterWindowClasses();

    if (!m_hHostWnd) {
        HWND host = CreateWindowExW(0, kHostClass, title.GetData(), WS_OVERLAPPEDWINDOW, 0, 0, 800,
                                    600, nullptr, nullptr, m_hInstance, this);
        if (!host) {
            m_hHostWnd = nullptr;
            wchar_t text[64];
            wsprintfW(text, L"CreateWindow():%ld", static_cast<long>(GetLastError()));
            MessageBoxW(nullptr, text, L"", MB_OK);
            return;
        }
        m_hGameWnd = CreateWindowExW(0, kGameClass, title.GetData(),
                                     WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN, 0,
                                     0, 0, 0, host, nullptr, m_hInstance, this);
        m_pRender = new CRenderGDI();
        m_pRender->Init(m_hGameWnd);
    }

    // Without an engine the window still opens and closes; it just has no page in it.
    if (IsWebEngineLoaded()) {
        m_webView = wkeCreateWebWindow(WKE_WINDOW_TYPE_CONTROL, m_hGameWnd, 0, 0, 640, 480);
    }
    if (m_webView) {
        wkeSetHandle(m_webView, m_hGameWnd);
        wkeSetWindowTitleW(m_webView, title.GetData());
        wkeSetUserAgent(m_webView, kGameUserAgent);
        SetLanguage(m_webView);
        wkeOnDocumentReady(m_webView, &CGameWnd::OnGameDocumentReady, this);
        wkeOnCreateView(m_webView, &CGameWnd::CreatePopupView, this);
        wkeOnAlertBox(m_webView, &CGameWnd::OnGameAlertBox, this);
        wkeOnPaintUpdated(m_webView, &CGameWnd::OnGamePaintUpdated, this);
        wkeSetCspCheckEnable(m_webView, false);
        wkeSetNpapiPluginsEnabled(m_webView, true);
        wkeOnConsole(m_webView, &CGameWnd::OnGameConsole, nullptr);
        BindBridgeFunctions();
    }

    // The process-wide address keeps the parameter from now on, with or without a query part.
    if (g_gameAddress.Find(L"desktopType") < 0) g_gameAddress += L"&desktopType=1";

    if (m_webView) {
        wkeLoadURLW(m_webView, g_gameAddress.GetData());
        // Only after the load has started: the game address itself must not become a popup.
        wkeOnNavigation(m_webView, &CGameWnd::OnGameNavigation, this);
    }

    // "GameW"/"GameH" are the inner size of the game area; the defaults are outer sizes.
    const CDuiString gameW = GameSetting(L"GameW");
    const CDuiString gameH = GameSetting(L"GameH");
    const int frame = GetSystemMetrics(SM_CXFRAME);
    const int width = gameW.IsEmpty() ? kDefaultOuterWidth : SizeValue(gameW) + 2 * frame;
    const int height = gameH.IsEmpty()
                           ? kDefaultOuterHeight
                           : SizeValue(gameH) + GetSystemMetrics(SM_CYCAPTION) + 2 * frame;
    MoveWindow(m_hHostWnd, 0, 0, width, height, TRUE);

    if (GameSetting(L"LockSize") == L"1") {
        LONG style = GetWindowLongW(m_hHostWnd, GWL_STYLE);
        SetWindowLongW(m_hHostWnd, GWL_STYLE, style & ~(WS_THICKFRAME | WS_MAXIMIZEBOX));
    }
    CenterHostWindow();
    ResizeView();
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
    const int x = (reference.right - reference.left - (window.right - window.left)) / 2 +
                  reference.left;
    const int y = (reference.bottom - reference.top - (window.bottom - window.top)) / 2 +
                  reference.top;
    SetWindowPos(m_hHostWnd, nullptr, x, y, 0, 0, SWP_NOSIZE);
}

void CGameWnd::ResizeView() {
    if (!m_hHostWnd) return;
    RECT rc{};
    GetClientRect(m_hHostWnd, &rc);
    if (m_hGameWnd) MoveWindow(m_hGameWnd, rc.left, rc.top, rc.right, rc.bottom, TRUE);
    if (m_webView) wkeResize(m_webView, rc.right, rc.bottom);
}

wkeWebView WKE_CALL CGameWnd::CreatePopupView(wkeWebView, void* param, wkeNavigationType,
                                              wkeString, const wkeWindowFeatures* features) {
    CGameWnd* game = FromParam(param);
    if (!game) return nullptr;
    const wkeWindowFeatures none{};
    if (!features) features = &none;
    wkeWebView view = wkeCreateWebWindow(WKE_WINDOW_TYPE_POPUP, nullptr, features->x, features->y,
                                         features->width, features->height);
    if (!view) return nullptr;
    wkeSetWindowTitle(view, ToUtf8(GameSetting(L"Title").GetData()).c_str());
    wkeShowWindow(view, true);
    wkeOnCreateView(view, &CGameWnd::CreatePopupView, param);
    wkeMoveToCenter(view);
    wkeOnAlertBox(view, &CGameWnd::OnGameAlertBox, param);
    wkeSetUserAgent(view, kGameUserAgent);
    SetLanguage(view);
    // Centred first, so that restoring the popup brings it back to the middle of the screen.
    ShowWindow(wkeGetHostHWND(view), SW_SHOWMAXIMIZED);
    return view;
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
