// WindowImplBase: a skinned window. Its content is built from the skin file that GetSkinFile
// names while the window is created (WM_CREATE), and the window takes the size of the skin's
// Window element. Subclasses add behaviour by overriding the virtual operations below.
//
// Message order: message filters first (this window is one of them, see MessageHandler);
// then the handlers of this class (WM_CREATE, WM_CLOSE -> OnClose, WM_SYSCOMMAND ->
// OnSysCommand, frame and hit-testing messages); then HandleCustomMessage for everything
// still unhandled (WM_DESTROY among it); then the paint manager; then the default procedure.
// OnClose and OnSysCommand are called with bHandled set; clearing it passes the message on to
// the default procedure. HandleCustomMessage is called with bHandled cleared.
//
// Notifications (clicks) go through a notification map. A subclass that wants its own map:
//
//     class CMyWnd : public WindowImplBase {
//         DUI_DECLARE_MESSAGE_MAP()
//         ...
//     };
//     DUI_BEGIN_MESSAGE_MAP(CMyWnd, WindowImplBase)
//         DUI_ON_MSGTYPE(DUI_MSGTYPE_CLICK, CMyWnd::OnMyClick)       // any sender
//         DUI_ON_MSGTYPE_CTRNAME(DUI_MSGTYPE_CLICK, L"ok", CMyWnd::OnOk)  // one control
//     DUI_END_MESSAGE_MAP()
//
// Handlers take (TNotifyUI&). Notify runs every matching entry of the subclass's map, then of
// each base map in turn; WindowImplBase's map sends clicks to OnClick. An empty map chained to
// WindowImplBase's therefore keeps the default click handling.
#pragma once

#include "duilib/UIBase.h"
#include "duilib/UIDefine.h"
#include "duilib/UIManager.h"

class WindowImplBase;

typedef void (WindowImplBase::*DUI_PMSG)(TNotifyUI& msg);

struct DUI_MSGMAP_ENTRY {
    const wchar_t* sMsgType;  // null ends the table
    const wchar_t* sCtrlName;  // null: any control
    DUI_PMSG pfn;
};

struct DUI_MSGMAP {
    const DUI_MSGMAP* pBaseMap;  // null for the last map of the chain
    const DUI_MSGMAP_ENTRY* lpEntries;
};

#define DUI_DECLARE_MESSAGE_MAP()                     \
public:                                               \
    static const DUI_MSGMAP_ENTRY _messageEntries[];  \
    static const DUI_MSGMAP messageMap;               \
    const DUI_MSGMAP* GetMessageMap() const override;

#define DUI_BEGIN_MESSAGE_MAP(theClass, baseClass)                                        \
    const DUI_MSGMAP* theClass::GetMessageMap() const { return &theClass::messageMap; }   \
    const DUI_MSGMAP theClass::messageMap = {&baseClass::messageMap, &theClass::_messageEntries[0]}; \
    const DUI_MSGMAP_ENTRY theClass::_messageEntries[] = {

#define DUI_ON_MSGTYPE(msgtype, memberFxn) {msgtype, nullptr, static_cast<DUI_PMSG>(&memberFxn)},
#define DUI_ON_MSGTYPE_CTRNAME(msgtype, ctrname, memberFxn) {msgtype, ctrname, static_cast<DUI_PMSG>(&memberFxn)},

#define DUI_END_MESSAGE_MAP() \
    {nullptr, nullptr, nullptr}  \
    }                            \
    ;

class WindowImplBase : public CWindowWnd, public INotifyUI, public IMessageFilterUI, public IDialogBuilderCallback {
public:
    WindowImplBase() = default;

    const wchar_t* GetWindowClassName() const override = 0;
    // Tears the control tree down; subclasses that delete themselves call this first.
    void OnFinalMessage(HWND hWnd) override;
    ~WindowImplBase() override;
    // Runs once the controls exist (at the end of WM_CREATE).
    virtual void InitWindow();
    // Clicks: "closebtn" asks the window to close, "minbtn" minimises it.
    virtual void OnClick(TNotifyUI& msg);
    // A res.xml id ("XML_LOGIN") or a skin file name.
    virtual CDuiString GetSkinFile() = 0;
    // WM_CLOSE. Default: passes on, so the default procedure destroys the window.
    virtual LRESULT OnClose(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    // WM_SYSCOMMAND. Default: passes on to the default procedure.
    virtual LRESULT OnSysCommand(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    virtual LRESULT HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);

    virtual const DUI_MSGMAP* GetMessageMap() const;
    static const DUI_MSGMAP_ENTRY _messageEntries[];
    static const DUI_MSGMAP messageMap;

    // Skin elements the framework has no control for. Default: none.
    CControlUI* CreateControl(const wchar_t* pstrClass) override;
    void Notify(TNotifyUI& msg) override;
    // As a message filter this window sees messages before its controls. Default: nothing.
    LRESULT MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) override;
    LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam) override;

protected:
    LRESULT OnCreate(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnNcHitTest(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);
    LRESULT OnGetMinMaxInfo(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled);

    CPaintManagerUI m_pm;
};
