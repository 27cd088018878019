// Event records, notifications and the receiver interfaces of the framework.
#pragma once

#include "duilib/UIString.h"

#include <windows.h>

class CControlUI;

// Event types delivered to CControlUI::DoEvent.
enum {
    UIEVENT__FIRST = 1,
    UIEVENT__KEYBEGIN = 2,
    UIEVENT_KEYDOWN = 3,
    UIEVENT_KEYUP = 4,
    UIEVENT_CHAR = 5,
    UIEVENT_SYSKEY = 6,
    UIEVENT__KEYEND = 7,
    UIEVENT__MOUSEBEGIN = 8,
    UIEVENT_MOUSEMOVE = 9,
    UIEVENT_MOUSELEAVE = 10,
    UIEVENT_MOUSEENTER = 11,
    UIEVENT_MOUSEHOVER = 12,
    UIEVENT_BUTTONDOWN = 13,
    UIEVENT_BUTTONUP = 14,
    UIEVENT_RBUTTONDOWN = 15,
    UIEVENT_RBUTTONUP = 16,
    UIEVENT_MBUTTONDOWN = 17,
    UIEVENT_MBUTTONUP = 18,
    UIEVENT_DBLCLICK = 19,
    UIEVENT_CONTEXTMENU = 20,
    UIEVENT_SCROLLWHEEL = 21,  // wParam: 0 scroll up, 1 scroll down; lParam: the message's wParam
    UIEVENT__MOUSEEND = 22,
    UIEVENT_KILLFOCUS = 23,
    UIEVENT_SETFOCUS = 24,
    UIEVENT_WINDOWSIZE = 25,
    UIEVENT_SETCURSOR = 26,
    UIEVENT_TIMER = 27,
    UIEVENT__LAST = 28,
};

struct TEventUI {
    int Type = 0;
    CControlUI* pSender = nullptr;
    DWORD dwTimestamp = 0;
    POINT ptMouse{};       // client coordinates of the window
    wchar_t chKey = 0;     // virtual key (key events) or character (UIEVENT_CHAR)
    WORD wKeyState = 0;    // MK_* flags of mouse messages
    WPARAM wParam = 0;     // the window message's wParam (SCROLLWHEEL: see above)
    LPARAM lParam = 0;     // the window message's lParam
};

// Notification types.
#define DUI_MSGTYPE_CLICK L"click"
#define DUI_MSGTYPE_WINDOWINIT L"windowinit"
#define DUI_MSGTYPE_SETFOCUS L"setfocus"
#define DUI_MSGTYPE_KILLFOCUS L"killfocus"

struct TNotifyUI {
    CDuiString sType;
    CDuiString sVirtualWnd;
    CControlUI* pSender = nullptr;
    DWORD dwTimestamp = 0;
    POINT ptMouse{};
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

// Receives notifications (clicks and the like) from a paint manager.
class INotifyUI {
public:
    virtual ~INotifyUI() = default;
    virtual void Notify(TNotifyUI& msg) = 0;
};

// Sees a window's messages before the framework handles them; setting bHandled ends the
// message there with the returned result.
class IMessageFilterUI {
public:
    virtual ~IMessageFilterUI() = default;
    virtual LRESULT MessageHandler(UINT uMsg, WPARAM wParam, LPARAM lParam, bool& bHandled) = 0;
};

// Asked by the dialog builder for skin elements the framework has no control for.
// Returns a new control (the tree takes ownership) or null to skip the element.
class IDialogBuilderCallback {
public:
    virtual ~IDialogBuilderCallback() = default;
    virtual CControlUI* CreateControl(const wchar_t* pstrClass) = 0;
};
