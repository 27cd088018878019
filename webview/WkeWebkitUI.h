// CWkeWebkitUI: a skin control (element "WkeWebkit") that shows a web page. It owns one
// off-screen engine view, has the engine render into a 32-bit bitmap of its own, copies that into
// the window when the framework paints, forwards framework input to the page and reports the
// page's events to its owner through IWkeCallback.
#pragma once

#include "common/Handles.h"
#include "duilib/DuiLib.h"
#include "platform/wke.h"
#include "webview/WebViewRules.h"
#include "webview/WkeCallback.h"

class CWkeWebkitUI : public CControlUI, public IMessageFilterUI {
public:
    // The engine must be loaded before the first control is built.
    CWkeWebkitUI();
    // Stops the view's events (destroys the view) before any member goes.
    ~CWkeWebkitUI() override;
    CWkeWebkitUI(const CWkeWebkitUI&) = delete;
    CWkeWebkitUI& operator=(const CWkeWebkitUI&) = delete;

    const wchar_t* GetClass() const override;
    // "WkeBrowser" (exact case) answers the control itself.
    void* GetInterface(const wchar_t* pstrName) override;
    void SetPos(RECT rc, bool bNeedInvalidate = true) override;
    void DoInit() override;
    void DoEvent(TEventUI& event) override;
    // "homepage" stores and loads its value and is also handed to the base; "url" only loads.
    void SetAttribute(const wchar_t* pstrName, const wchar_t* pstrValue) override;
    bool DoPaint(HDC hDC, const RECT& rcPaint, CControlUI* pStopControl) override;

    // Swallows WM_SETCURSOR and places the input-method window while the mouse is over the page;
    // tells the engine the page is hidden while the window is minimised.
    LRESULT MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;

    // Loads a URL; "file" addresses go to the engine's file loader unchanged.
    void Navigate(const wchar_t* pstrUrl);
    // The page shown after a failed load. Text longer than the buffer is refused.
    void SetErrorPage(const wchar_t* pstrUrl);
    // Null switches event delivery off. The receiver is not owned.
    void SetWkeCallback(IWkeCallback* pCallback);
    wkeWebView GetWebView() const { return m_webView; }
    // Runs a script in the page; its value is ignored.
    void RunJS(const wchar_t* pstrScript);

    // Sets the system cursor for the page's current wish, only when the wish changed.
    void UpdateCursor();

private:
    // The control behind a handler's context, or null when it is null or being destroyed.
    static CWkeWebkitUI* Live(void* param);
    // True when the frame that raised the current event is the view's main frame.
    static bool IsEventFromMainFrame(wkeWebView webView);
    void LoadInView(const wchar_t* pstrUrl);

    static void WKE_CALL OnTitleChanged(wkeWebView webView, void* param, wkeString title);
    static void WKE_CALL OnURLChanged(wkeWebView webView, void* param, wkeString url);
    static bool WKE_CALL OnNavigation(wkeWebView webView, void* param, wkeNavigationType navigationType,
                                      wkeString url);
    static wkeWebView WKE_CALL OnCreateView(wkeWebView webView, void* param, wkeNavigationType navigationType,
                                            wkeString url, const wkeWindowFeatures* windowFeatures);
    static void WKE_CALL OnDocumentReady(wkeWebView webView, void* param);
    static bool WKE_CALL OnLoadUrlBegin(wkeWebView webView, void* param, const utf8* url, wkeNetJob job);
    static void WKE_CALL OnLoadingFinish(wkeWebView webView, void* param, wkeString url, wkeLoadingResult result,
                                         wkeString failedReason);
    static bool WKE_CALL OnDownload(wkeWebView webView, void* param, const utf8* url);
    static void WKE_CALL OnPaintUpdated(wkeWebView webView, void* param, HDC hdc, int x, int y, int cx, int cy);
    static void WKE_CALL OnAlertBox(wkeWebView webView, void* param, wkeString msg);
    static bool WKE_CALL OnWindowClosing(wkeWebView webView, void* param);
    static void WKE_CALL OnConsole(wkeWebView webView, void* param, wkeConsoleLevel level, wkeString message,
                                   wkeString sourceName, unsigned sourceLine, wkeString stackTrace);
    static void WKE_CALL OnFavicon(wkeWebView webView, void* param, const utf8* url, wkeMemBuf* buf);

    RECT m_rcWeb{};                    // the rectangle of the last SetPos; painting uses it
    uint32_t* m_pPixels = nullptr;     // bits of m_hBitmap; null: rebuild before the next paint
    UniqueMemDC m_hMemDC;              // owned; holds m_hBitmap selected
    UniqueBitmap m_hBitmap;            // owned DIB section the engine paints into
    wkeWebView m_webView = nullptr;    // owned; destroyed when destruction begins
    wchar_t m_szHomeUrl[kWebUrlCapacity] = {};
    wchar_t m_szErrorUrl[kWebUrlCapacity] = {};
    IWkeCallback* m_pCallback = nullptr;  // not owned
    int m_nLastCursor = -1;            // page cursor type last applied
    bool m_bDestroyed = false;         // set first by the destructor; handlers check it
    // The error page was loaded for a failure since the owner's last Navigate: a further
    // failure (of the error page itself, or of one of its frames) loads nothing more.
    bool m_bErrorPageShown = false;
};
