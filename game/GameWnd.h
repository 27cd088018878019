// CGameWnd: the native window the game runs in. A top-level host window ("ORVEL_GAME_HOST")
// holds one child window ("ORVEL_GAME") that is the native window of the game's web view.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "duilib/UIString.h"
#include "platform/wke.h"

class CRenderGDI;

class CGameWnd {
public:
    explicit CGameWnd(HINSTANCE hInstance);
    // The launcher keeps its one game window for the whole run; tests build and drop several.
    ~CGameWnd();
    CGameWnd(const CGameWnd&) = delete;
    CGameWnd& operator=(const CGameWnd&) = delete;

    // Builds both windows, the renderer and the game view, starts loading g_gameAddress and
    // sizes and centres the (still hidden) host window. When the host window cannot be made it
    // says so in a message box and leaves m_hHostWnd null: the caller must then not show or pump.
    void Create();
    void RegisterWindowClasses();
    void CenterHostWindow();
    // Fits the game window and the view to the host's client area; touches only what exists.
    void ResizeView();
    // Runs until WM_QUIT and returns 0. Returns 0 at once when there is no host window, since
    // then nobody would ever post the quit message.
    int PumpMessages();

    // The page's exit text: its callFlash(name) with "\n" sequences made line breaks and
    // "undefined" (any case) made empty.
    CDuiString CallFlash(const wchar_t* name);
    // The exit question; true when the player answers Yes.
    bool ConfirmExit();
    // Runs a script in the game view; its value is ignored.
    void RunScript(const wchar_t* script);

    // Web engine handlers. `param` is the CGameWnd given at registration.
    static wkeWebView WKE_CALL CreatePopupView(wkeWebView webView, void* param,
                                               wkeNavigationType navigationType, wkeString url,
                                               const wkeWindowFeatures* windowFeatures);
    static void WKE_CALL OnGamePaintUpdated(wkeWebView webView, void* param, HDC hdc, int x, int y,
                                            int cx, int cy);
    static void WKE_CALL OnGameDocumentReady(wkeWebView webView, void* param);
    static void WKE_CALL OnGameAlertBox(wkeWebView webView, void* param, wkeString msg);
    static void WKE_CALL OnGameConsole(wkeWebView webView, void* param, wkeConsoleLevel level,
                                       wkeString message, wkeString sourceName,
                                       unsigned sourceLine, wkeString stackTrace);
    static bool WKE_CALL OnGameNavigation(wkeWebView webView, void* param,
                                          wkeNavigationType navigationType, wkeString url);
    // The native function behind the page's bridge names; always answers undefined.
    static jsValue WKE_CALL OnBridgeCall(jsExecState es);

    // A handler's parameter as a live game window, or null.
    static CGameWnd* FromParam(void* param);

    wkeWebView m_webView = nullptr;   // the game view; owned by the engine, never destroyed
    HINSTANCE m_hInstance = nullptr;
    HWND m_hHostWnd = nullptr;        // owned; set at WM_CREATE, cleared at WM_DESTROY
    HWND m_hGameWnd = nullptr;        // child of m_hHostWnd, destroyed with it
    CRenderGDI* m_pRender = nullptr;  // owned; released with CRenderGDI::Destroy
    bool m_bDestroyed = false;        // set first by the destructor; handlers check it
};

// The one game window of the process, set by its constructor.
extern CGameWnd* g_pGameWnd;

// A configuration value as the game window reads it: "" when the key is absent.
CDuiString GameSetting(const wchar_t* key);

// Calls the page's global function `name` with string arguments; its value as text
// ("undefined" when the function is missing or returns nothing, "" without a view).
std::wstring CallPageFunction(CGameWnd* game, const wchar_t* name,
                              const std::vector<std::wstring>& arguments);

// The text of an engine string; "" for null.
const wchar_t* EngineText(wkeString text);

// The user agent of every web view of the launcher.
extern const char kGameUserAgent[];
