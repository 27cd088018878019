// CLoginWnd: the skinned login window. Its centre is the publisher's login page in a web view
// control; four link buttons open configured pages in popup web windows. The page hands the game
// address over through the bound script function "AppLoadGame" (and "LoadGame"); the window then
// stores it in g_gameAddress and closes, which ends the framework's message loop.
#pragma once

#include "duilib/DuiLib.h"
#include "platform/wke.h"
#include "webview/WkeCallback.h"

class CWkeWebkitUI;

class CLoginWnd : public WindowImplBase, public IWkeCallback {
public:
    CLoginWnd();
    // Clears g_pLoginWnd, so that script calls and popups arriving later find no window.
    ~CLoginWnd() override;
    CLoginWnd(const CLoginWnd&) = delete;
    CLoginWnd& operator=(const CLoginWnd&) = delete;

    const wchar_t* GetWindowClassName() const override;
    // Deletes the object once its window is gone.
    void OnFinalMessage(HWND hWnd) override;
    void InitWindow() override;
    void OnClick(TNotifyUI& msg) override;
    CDuiString GetSkinFile() override;
    LRESULT OnSysCommand(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
    LRESULT HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
    // "WkeWebkit" makes the web view control; other names are left to the framework.
    CControlUI* CreateControl(const wchar_t* pstrClass) override;

    void OnWkeConsole(CWkeWebkitUI* sender, const wchar_t* message, const wchar_t* sourceName, unsigned sourceLine,
                      const wchar_t* stackTrace) override;
    void OnWkeAlertBox(CWkeWebkitUI* sender, const wchar_t* message) override;
    // Link clicks open a popup and leave the login page where it is; other navigations proceed.
    bool OnWkeNavigation(CWkeWebkitUI* sender, wkeNavigationType navigationType, const wchar_t* url) override;
    wkeWebView OnWkeCreateView(CWkeWebkitUI* sender, wkeNavigationType navigationType, wkeString url,
                               const wkeWindowFeatures* windowFeatures) override;
    // Runs the bridge script that makes the page's LoadGame forward to AppLoadGame.
    void OnWkeDocumentReady(CWkeWebkitUI* sender) override;
    bool OnWkeLoadUrlBegin(CWkeWebkitUI* sender, CWkeWebkitUI* control, const utf8* url, wkeNetJob job) override;

    // The login web view control, or null when the skin has none.
    CWkeWebkitUI* GetWebViewControl() const { return m_pWebView; }

    DUI_DECLARE_MESSAGE_MAP()

private:
    // Opens a centred popup of the standard link size and loads `url` into it.
    void OpenLinkPopup(const wchar_t* url);

    // The link buttons, controls "Btn1" to "Btn4" of the skin; not owned, null when absent. They
    // open the pages of ConfigKey::kHomePage, kPaymentPage, kFanPage and kSupportPage.
    CControlUI* m_pBtn1 = nullptr;
    CControlUI* m_pBtn2 = nullptr;
    CControlUI* m_pBtn3 = nullptr;
    CControlUI* m_pBtn4 = nullptr;
    CControlUI* m_pCloseBtn = nullptr;     // "closebtn"; not owned
    CControlUI* m_pMinBtn = nullptr;       // "minbtn"; not owned
    CWkeWebkitUI* m_pWebView = nullptr;    // "login"; not owned (the control tree owns it)
};

// The one login window of the process: set by the constructor, cleared by the destructor.
extern CLoginWnd* g_pLoginWnd;

// The login window; created on the first call (and again after a previous one was deleted).
CLoginWnd* GetLoginWnd();

// Makes a centred popup web window for a page of the login window and returns its view.
// Registered as the create-view handler of every popup it makes, so a popup's popups are popups
// of the same kind. `owner` is only handed on as the context of the popup's handlers, which
// reach the login window through g_pLoginWnd instead, so a deleted owner is never touched.
wkeWebView WKE_CALL CreateLoginPopup(wkeWebView parent, void* owner, wkeNavigationType navigationType,
                                     wkeString url, const wkeWindowFeatures* windowFeatures);

// The native function behind "AppLoadGame" and "LoadGame": takes an http(s) game address,
// adds "&desktopType=1" when it lacks "desktopType", stores it in g_gameAddress and closes the
// login window. Anything else, or a call after the login window is gone, changes nothing.
jsValue WKE_CALL OnAppLoadGame(jsExecState es);

// Text of the script run on every document ready of the login page.
extern const wchar_t kLoginBridgeScript[];
