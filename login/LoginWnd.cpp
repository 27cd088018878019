#include "login/LoginWnd.h"

#include "core/BridgeTrust.h"
#include "core/ConfigKeys.h"
#include "core/GameAddress.h"
#include "core/Kuku.h"
#include "webview/PopupWindow.h"
#include "webview/WebViewRules.h"
#include "webview/WkeWebkitUI.h"

#include <imm.h>
#include <string.h>

CLoginWnd* g_pLoginWnd = nullptr;

const wchar_t kLoginBridgeScript[] =
    L"setTimeout(function(){window.LoadGame=function(url){AppLoadGame(url);} },1000);";

namespace {

// Link pages open at this size, centred on the screen.
constexpr int kLinkPopupWidth = 1080;
constexpr int kLinkPopupHeight = 640;

void WKE_CALL OnPopupAlertBox(wkeWebView, void*, wkeString msg) {
    // Popups outlive the login window: once it is gone the box has no owner.
    MessageBoxW(g_pLoginWnd ? g_pLoginWnd->GetHWND() : nullptr, wkeGetStringW(msg), L"", MB_OK);
}

void WKE_CALL OnPopupConsole(wkeWebView, void*, wkeConsoleLevel, wkeString, wkeString, unsigned, wkeString) {}

}  // namespace

CLoginWnd* GetLoginWnd() {
    if (!g_pLoginWnd) new CLoginWnd();  // the constructor publishes it; OnFinalMessage deletes it
    return g_pLoginWnd;
}

CLoginWnd::CLoginWnd() { g_pLoginWnd = this; }

CLoginWnd::~CLoginWnd() {
    if (g_pLoginWnd == this) g_pLoginWnd = nullptr;
}

DUI_BEGIN_MESSAGE_MAP(CLoginWnd, WindowImplBase)
DUI_END_MESSAGE_MAP()

const wchar_t* CLoginWnd::GetWindowClassName() const { return L"LoginWnd"; }

void CLoginWnd::OnFinalMessage(HWND hWnd) {
    WindowImplBase::OnFinalMessage(hWnd);
    delete this;
}

CDuiString CLoginWnd::GetSkinFile() { return L"XML_LOGIN"; }

CControlUI* CLoginWnd::CreateControl(const wchar_t* pstrClass) {
    if (pstrClass && wcscmp(pstrClass, L"WkeWebkit") == 0) return new CWkeWebkitUI();
    return nullptr;
}

void CLoginWnd::InitWindow() {
    m_pCloseBtn = m_pm.FindControl(L"closebtn");
    m_pMinBtn = m_pm.FindControl(L"minbtn");
    m_pBtn1 = m_pm.FindControl(L"Btn1");
    m_pBtn2 = m_pm.FindControl(L"Btn2");
    m_pBtn3 = m_pm.FindControl(L"Btn3");
    m_pBtn4 = m_pm.FindControl(L"Btn4");
    // A control named "login" that is not a web view is treated as missing.
    CControlUI* login = m_pm.FindControl(L"login");
    m_pWebView = login ? static_cast<CWkeWebkitUI*>(login->GetInterface(L"WkeBrowser")) : nullptr;

    const wchar_t* loginUrl = ConfigValue(ConfigKey::kLoginPage);
    // Without the page the window still shows its buttons; nothing can log in.
    if (m_pWebView) {
        ApplyLauncherIdentity(m_pWebView->GetWebView());
        m_pWebView->SetErrorPage(L"about:blank");
        m_pWebView->Navigate(loginUrl);
        m_pWebView->SetWkeCallback(this);
    }
    jsBindFunction("AppLoadGame", &OnAppLoadGame, 1);
    jsBindFunction("LoadGame", &OnAppLoadGame, 1);
}

void CLoginWnd::OnClick(TNotifyUI& msg) {
    CControlUI* sender = msg.pSender;
    if (!sender) return;
    if (sender == m_pCloseBtn) {
        // Ends the loop without a game address: the launcher ends.
        PostQuitMessage(0);
    } else if (sender == m_pMinBtn) {
        SendMessage(WM_SYSCOMMAND, SC_MINIMIZE, 0);
    } else if (sender == m_pBtn1) {
        // Each link button opens its configured page: the configuration key is its own, not the
        // control's name, though the two are the same text in the shipped skin.
        OpenLinkPopup(ConfigValue(ConfigKey::kHomePage));
    } else if (sender == m_pBtn2) {
        OpenLinkPopup(ConfigValue(ConfigKey::kPaymentPage));
    } else if (sender == m_pBtn3) {
        OpenLinkPopup(ConfigValue(ConfigKey::kFanPage));
    } else if (sender == m_pBtn4) {
        OpenLinkPopup(ConfigValue(ConfigKey::kSupportPage));
    }
}

void CLoginWnd::OpenLinkPopup(const wchar_t* url) {
    wkeString engineUrl = wkeCreateStringW(url, wcslen(url));
    wkeWindowFeatures features{};
    features.width = kLinkPopupWidth;
    features.height = kLinkPopupHeight;
    features.resizable = true;
    wkeWebView popup =
        CreateLoginPopup(m_pWebView ? m_pWebView->GetWebView() : nullptr, this, WKE_NAVIGATION_TYPE_LINKCLICK,
                         engineUrl, &features);
    wkeDeleteString(engineUrl);
    wkeLoadURLW(popup, url);
}

LRESULT CLoginWnd::OnSysCommand(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
    (void)bHandled;
    return CWindowWnd::HandleMessage(uMsg, wParam, lParam);
}

LRESULT CLoginWnd::HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
    (void)wParam, (void)lParam;
    if (uMsg == WM_IME_STARTCOMPOSITION) {
        HIMC context = ImmGetContext(GetHWND());
        if (m_pWebView && context) {
            const wkeRect caret = wkeGetCaret(m_pWebView->GetWebView());
            COMPOSITIONFORM form{};
            form.dwStyle = CFS_POINT | CFS_FORCE_POSITION;
            form.ptCurrentPos.x = caret.x;
            form.ptCurrentPos.y = caret.y + 120;
            ImmSetCompositionWindow(context, &form);
        }
        if (context) ImmReleaseContext(GetHWND(), context);
        bHandled = TRUE;
        return 0;
    }
    if (uMsg == WM_DESTROY) {
        PostQuitMessage(0);
        bHandled = TRUE;
        return 0;
    }
    bHandled = FALSE;
    return 0;
}

void CLoginWnd::OnWkeConsole(CWkeWebkitUI*, const wchar_t* message, const wchar_t*, unsigned,
                             const wchar_t* stackTrace) {
    CDuiString line(message);
    line += stackTrace;
    OutputDebugStringW(line.GetData());
}

void CLoginWnd::OnWkeAlertBox(CWkeWebkitUI*, const wchar_t* message) {
    MessageBoxW(GetHWND(), message, L"", MB_OK);
}

bool CLoginWnd::OnWkeNavigation(CWkeWebkitUI*, wkeNavigationType navigationType, const wchar_t* url) {
    if (navigationType != WKE_NAVIGATION_TYPE_LINKCLICK) return true;
    OpenLinkPopup(url ? url : L"");
    return false;
}

wkeWebView CLoginWnd::OnWkeCreateView(CWkeWebkitUI* sender, wkeNavigationType navigationType, wkeString url,
                                      const wkeWindowFeatures* windowFeatures) {
    return CreateLoginPopup(sender ? sender->GetWebView() : nullptr, this, navigationType, url, windowFeatures);
}

void CLoginWnd::OnWkeDocumentReady(CWkeWebkitUI* sender) {
    if (sender) sender->RunJS(kLoginBridgeScript);
}

bool CLoginWnd::OnWkeLoadUrlBegin(CWkeWebkitUI*, CWkeWebkitUI*, const utf8*, wkeNetJob) { return false; }

wkeWebView WKE_CALL CreateLoginPopup(wkeWebView, void* owner, wkeNavigationType, wkeString,
                                     const wkeWindowFeatures* windowFeatures) {
    PopupHandlers handlers;
    handlers.onCreateView = &CreateLoginPopup;
    handlers.onAlert = &OnPopupAlertBox;
    handlers.onConsole = &OnPopupConsole;
    handlers.param = owner;
    return CreatePopupWindow(windowFeatures, handlers);
}

jsValue WKE_CALL OnAppLoadGame(jsExecState es) {
    // The bindings are global and outlive the login window: only the login page's own main frame,
    // in the login view while the window lives, may hand over an address.
    CWkeWebkitUI* control = g_pLoginWnd ? g_pLoginWnd->GetWebViewControl() : nullptr;
    if (!IsTrustedBridgeCall(es, control ? control->GetWebView() : nullptr, ConfigValue(ConfigKey::kLoginPage)))
        return jsUndefined();
    if (jsArgCount(es) == 0) return jsUndefined();
    const jsValue arg = jsArg(es, 0);
    if (!jsIsString(arg)) return jsUndefined();
    const wchar_t* text = jsToTempStringW(es, arg);
    // The game window loads the address with plug-ins on and no content checks: web pages only.
    if (!text || !IsWebUrl(text)) return jsUndefined();
    g_gameAddress = WithDesktopType(CDuiString(text));
    g_pLoginWnd->Close(1);
    return jsUndefined();
}
