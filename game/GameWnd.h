// CGameWnd: the native window the game runs in. A top-level host window ("ORVEL_GAME_HOST")
// holds one child window ("ORVEL_GAME") that is the native window of the game's web view.
//
// Each window procedure is a thin static function that finds the object in the window's user
// data (stored at WM_NCCREATE) and forwards to a member. The game view's engine handlers get the
// object as their parameter; the view is destroyed with the object, so no engine event can reach
// it afterwards. Popups outlive the object and get no parameter: they find the live window
// through g_pGameWnd, which the destructor clears.
//
// The members are defined by concern: GameWnd.cpp (windows, layout, popups), GameInput.cpp (the
// game window's input and painting), GameBridge.cpp (what the page and the launcher ask of each
// other).
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
    // says so in a message box and leaves HostWindow() null: the caller must then not show or pump.
    void Create();
    // Runs until WM_QUIT and returns 0. Returns 0 at once when there is no host window, since
    // then nobody would ever post the quit message.
    int PumpMessages();

    // The page's exit text: its callFlash(name) with "\n" sequences made line breaks and
    // "undefined" (any case) made empty.
    CDuiString CallFlash(const wchar_t* name);
    // Calls the page's global function `name` with string arguments; its value as text
    // ("undefined" when the function is missing or returns nothing, "" without a view).
    std::wstring CallPageFunction(const wchar_t* name, const std::vector<std::wstring>& arguments);

    HWND HostWindow() const { return m_hHostWnd; }
    HWND GameWindow() const { return m_hGameWnd; }
    wkeWebView WebView() const { return m_webView; }
    CRenderGDI* Renderer() const { return m_pRender; }

    // The native function behind the page's bridge names ("ExitGameToLogin", "closeWindow",
    // "SetTitleText", "AppFlashCall"); always answers undefined. Bound globally, so it reaches the
    // game window through g_pGameWnd.
    static jsValue WKE_CALL OnBridgeCall(jsExecState es);

private:
    void RegisterWindowClasses();
    void CreateView(const CDuiString& title);
    void PlaceHostWindow();
    void CenterHostWindow();
    // Fits the game window and the view to the host's client area; touches only what exists.
    void ResizeView();
    // The exit question; true when the player answers Yes.
    bool ConfirmExit();
    void RunScript(const wchar_t* script);

    // At WM_NCCREATE the window keeps its object in its user data and the object its window in
    // `slot`; afterwards every message finds the object there (null once it has let go).
    static CGameWnd* Attach(HWND hWnd, UINT message, LPARAM lParam, HWND CGameWnd::*slot);
    static LRESULT CALLBACK HostProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    static LRESULT CALLBACK GameProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnHostMessage(UINT message, WPARAM wParam, LPARAM lParam);
    LRESULT OnGameMessage(UINT message, WPARAM wParam, LPARAM lParam);
    // Input for the page; 0 when the page took it, else the default processing.
    LRESULT OnGameInput(UINT message, WPARAM wParam, LPARAM lParam);

    // Web engine handlers. `param` is the game window for the game view's own handlers and null
    // for those of popups (see FromParam).
    static wkeWebView WKE_CALL OnCreateView(wkeWebView webView, void* param, wkeNavigationType navigationType,
                                            wkeString url, const wkeWindowFeatures* windowFeatures);
    static void WKE_CALL OnPaintUpdated(wkeWebView webView, void* param, HDC hdc, int x, int y, int cx, int cy);
    static void WKE_CALL OnDocumentReady(wkeWebView webView, void* param);
    static void WKE_CALL OnAlertBox(wkeWebView webView, void* param, wkeString msg);
    static void WKE_CALL OnConsole(wkeWebView webView, void* param, wkeConsoleLevel level, wkeString message,
                                   wkeString sourceName, unsigned sourceLine, wkeString stackTrace);
    static bool WKE_CALL OnNavigation(wkeWebView webView, void* param, wkeNavigationType navigationType,
                                      wkeString url);
    // The live game window behind a handler's parameter: the window itself, or for a null
    // parameter (a popup's) g_pGameWnd; null once destruction has begun.
    static CGameWnd* FromParam(void* param);
    // A popup of the game at the size `features` asks, maximised; null when none could be made.
    static wkeWebView OpenPopup(const wkeWindowFeatures* features);

    HINSTANCE m_hInstance = nullptr;  // not owned: the program's module
    HWND m_hHostWnd = nullptr;        // owned; set at WM_NCCREATE, cleared at WM_DESTROY
    HWND m_hGameWnd = nullptr;        // owned by m_hHostWnd: its child, destroyed with it
    CRenderGDI* m_pRender = nullptr;  // owned; released with CRenderGDI::Destroy
    wkeWebView m_webView = nullptr;   // owned: destroyed first by the destructor
    bool m_bDestroyed = false;        // set first by the destructor; handlers check it
};

// The one game window of the process, set by its constructor, cleared by its destructor.
extern CGameWnd* g_pGameWnd;

// The text of an engine string; "" for null.
const wchar_t* EngineText(wkeString text);
