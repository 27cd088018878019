// The web engine's C interface, as node.dll exports it and as the launcher calls it.
//
// One table (WKE_API_ENTRIES) lists every entry point the launcher uses. The same table gives:
//  - in the launcher (default): one process-wide function pointer per entry point, filled by
//    LoadWebEngine (platform/WebEngineLoader.h) or, in tests, by an in-process engine double;
//  - in an engine DLL (define WKE_BUILDING_ENGINE): the exported functions themselves.
// Every function and callback uses the cdecl convention, so a 32-bit launcher and a 32-bit engine
// built from this header agree (the 64-bit ABI has a single convention).
#pragma once

#include <windows.h>

#include <stddef.h>
#include <stdint.h>

#define WKE_CALL __cdecl

typedef char utf8;

// Opaque handles: only the engine knows what they point to.
typedef struct tagWkeWebView* wkeWebView;
typedef struct tagWkeString* wkeString;
typedef struct tagWkeExecState* jsExecState;
typedef struct tagWkeWebFrame* wkeWebFrameHandle;
typedef struct tagWkeNetJob* wkeNetJob;

// A script value. 64 bits wide in both builds; its encoding is the engine's business.
typedef int64_t jsValue;

typedef struct wkeRect {
    int x;
    int y;
    int w;
    int h;
} wkeRect;

typedef enum wkeWindowType {
    WKE_WINDOW_TYPE_POPUP = 0,  // a top-level window that the engine paints and takes input for
    WKE_WINDOW_TYPE_CONTROL = 1,  // a child of the given parent window
} wkeWindowType;

typedef enum wkeNavigationType {
    WKE_NAVIGATION_TYPE_LINKCLICK = 0,
    WKE_NAVIGATION_TYPE_FORMSUBMITTE = 1,
    WKE_NAVIGATION_TYPE_BACKFORWARD = 2,
    WKE_NAVIGATION_TYPE_RELOAD = 3,
    WKE_NAVIGATION_TYPE_FORMRESUBMITT = 4,
    WKE_NAVIGATION_TYPE_OTHER = 5,
} wkeNavigationType;

typedef enum wkeLoadingResult {
    WKE_LOADING_SUCCEEDED = 0,
    WKE_LOADING_FAILED = 1,
    WKE_LOADING_CANCELED = 2,
} wkeLoadingResult;

typedef enum wkeConsoleLevel {
    WKE_CONSOLE_LEVEL_LOG = 1,
    WKE_CONSOLE_LEVEL_WARNING = 2,
    WKE_CONSOLE_LEVEL_ERROR = 3,
    WKE_CONSOLE_LEVEL_DEBUG = 4,
    WKE_CONSOLE_LEVEL_INFO = 5,
} wkeConsoleLevel;

// The cursor the page wants (wkeGetCursorInfoType).
typedef enum wkeCursorType {
    WKE_CURSOR_POINTER = 0,
    WKE_CURSOR_CROSS = 1,
    WKE_CURSOR_HAND = 2,
    WKE_CURSOR_IBEAM = 3,
    WKE_CURSOR_WAIT = 4,
    WKE_CURSOR_HELP = 5,
    WKE_CURSOR_EAST_RESIZE = 6,
    WKE_CURSOR_NORTH_RESIZE = 7,
    WKE_CURSOR_NORTH_EAST_RESIZE = 8,
    WKE_CURSOR_NORTH_WEST_RESIZE = 9,
    WKE_CURSOR_SOUTH_RESIZE = 10,
    WKE_CURSOR_SOUTH_EAST_RESIZE = 11,
    WKE_CURSOR_SOUTH_WEST_RESIZE = 12,
    WKE_CURSOR_WEST_RESIZE = 13,
    WKE_CURSOR_NORTH_SOUTH_RESIZE = 14,
    WKE_CURSOR_EAST_WEST_RESIZE = 15,
    WKE_CURSOR_NORTH_EAST_SOUTH_WEST_RESIZE = 16,
    WKE_CURSOR_NORTH_WEST_SOUTH_EAST_RESIZE = 17,
    WKE_CURSOR_COLUMN_RESIZE = 18,
    WKE_CURSOR_ROW_RESIZE = 19,
} wkeCursorType;

// What window.open (or a target=_blank link) asked for.
typedef struct wkeWindowFeatures {
    int x;
    int y;
    int width;
    int height;
    bool menuBarVisible;
    bool statusBarVisible;
    bool toolBarVisible;
    bool locationBarVisible;
    bool scrollbarsVisible;
    bool resizable;
    bool fullscreen;
} wkeWindowFeatures;

typedef struct wkeMemBuf {
    int size;  // size of this record
    void* data;
    size_t length;
} wkeMemBuf;

// Valid only during an event callback: which frame raised it.
typedef struct wkeTempCallbackInfo {
    int size;  // size of this record
    wkeWebFrameHandle frame;
    const utf8* url;
} wkeTempCallbackInfo;

// Who called a native function (jsGetCallerInfo). Valid only while that function runs.
typedef struct jsCallerInfo {
    int size;                  // size of this record
    wkeWebView webView;        // the view whose page made the call
    wkeWebFrameHandle frame;   // the calling frame of that view
    bool isMainFrame;          // the call came from the view's main frame, not from a sub-frame
    const wchar_t* url;        // address of the calling frame's document
    const char* name;          // the page function that was called (as bound by jsBindFunction)
} jsCallerInfo;

// Engine start-up settings.
typedef struct wkeSettings {
    int size;  // size of this record; an engine reads only the members it covers
    const utf8* browserPath;  // optional: the browser executable the engine drives
    // Optional: the folder of the browser's profile (cookies, storage, cache), kept from run to
    // run; made when missing. Without it: "<LocalAppData>\<program>\Browser".
    const utf8* profilePath;
    int cleanProfile;  // nonzero: the profile's contents are removed before the browser starts
    // Optional: the user agent of every request of the browser from its start, unless a view is
    // given its own (wkeSetUserAgent); also what views report as theirs until then.
    const utf8* userAgent;
    int muteAudio;  // nonzero: no page plays sound (without it pages play through the system's output)
} wkeSettings;

typedef void(WKE_CALL* wkeTitleChangedCallback)(wkeWebView webView, void* param, wkeString title);
typedef void(WKE_CALL* wkeURLChangedCallback)(wkeWebView webView, void* param, wkeString url);
typedef void(WKE_CALL* wkePaintUpdatedCallback)(wkeWebView webView, void* param, HDC hdc, int x, int y,
                                                int cx, int cy);
typedef void(WKE_CALL* wkeAlertBoxCallback)(wkeWebView webView, void* param, wkeString msg);
typedef bool(WKE_CALL* wkeNavigationCallback)(wkeWebView webView, void* param,
                                              wkeNavigationType navigationType, wkeString url);
typedef wkeWebView(WKE_CALL* wkeCreateViewCallback)(wkeWebView webView, void* param,
                                                    wkeNavigationType navigationType, wkeString url,
                                                    const wkeWindowFeatures* windowFeatures);
typedef void(WKE_CALL* wkeDocumentReadyCallback)(wkeWebView webView, void* param);
typedef bool(WKE_CALL* wkeLoadUrlBeginCallback)(wkeWebView webView, void* param, const utf8* url,
                                                wkeNetJob job);
typedef void(WKE_CALL* wkeLoadingFinishCallback)(wkeWebView webView, void* param, wkeString url,
                                                 wkeLoadingResult result, wkeString failedReason);
typedef bool(WKE_CALL* wkeDownloadCallback)(wkeWebView webView, void* param, const utf8* url);
typedef bool(WKE_CALL* wkeWindowClosingCallback)(wkeWebView webView, void* param);
typedef void(WKE_CALL* wkeConsoleCallback)(wkeWebView webView, void* param, wkeConsoleLevel level,
                                           wkeString message, wkeString sourceName,
                                           unsigned sourceLine, wkeString stackTrace);
typedef void(WKE_CALL* wkeNetGetFaviconCallback)(wkeWebView webView, void* param, const utf8* url,
                                                 wkeMemBuf* buf);
// A native function bound into every page with jsBindFunction.
typedef jsValue(WKE_CALL* jsNativeFunction)(jsExecState es);

// X(result, name, (parameters)) for every entry point besides wkeInitializeEx, which is loaded
// first and on its own (see LoadWebEngine).
#define WKE_API_ENTRIES(X)                                                                         \
    /* views */                                                                                    \
    X(wkeWebView, wkeCreateWebView, (void))                                                        \
    X(wkeWebView, wkeCreateWebWindow, (wkeWindowType type, HWND parent, int x, int y, int width,   \
                                       int height))                                                \
    X(void, wkeDestroyWebView, (wkeWebView webView))                                               \
    X(void, wkeShowWindow, (wkeWebView webView, bool show))                                        \
    X(void, wkeMoveToCenter, (wkeWebView webView))                                                 \
    X(HWND, wkeGetHostHWND, (wkeWebView webView))                                                  \
    X(void, wkeSetHandle, (wkeWebView webView, HWND wnd))                                          \
    X(void, wkeSetWindowTitle, (wkeWebView webView, const utf8* title))                            \
    X(void, wkeSetWindowTitleW, (wkeWebView webView, const wchar_t* title))                        \
    X(void, wkeSetName, (wkeWebView webView, const char* name))                                    \
    X(void, wkeSetTransparent, (wkeWebView webView, bool transparent))                             \
    X(void, wkeResize, (wkeWebView webView, int width, int height))                                \
    /* settings */                                                                                 \
    X(void, wkeSetUserAgent, (wkeWebView webView, const utf8* userAgent))                          \
    X(void, wkeSetLanguage, (wkeWebView webView, const char* language))                            \
    X(void, wkeSetCspCheckEnable, (wkeWebView webView, bool enable))                               \
    X(void, wkeSetNpapiPluginsEnabled, (wkeWebView webView, bool enable))                          \
    /* loading */                                                                                  \
    X(void, wkeLoadURLW, (wkeWebView webView, const wchar_t* url))                                 \
    X(void, wkeLoadFileW, (wkeWebView webView, const wchar_t* fileName))                           \
    /* painting */                                                                                 \
    X(void, wkePaint, (wkeWebView webView, void* bits, int pitch))                                 \
    X(void, wkeOnPaintUpdated, (wkeWebView webView, wkePaintUpdatedCallback callback, void* param)) \
    /* input */                                                                                    \
    X(bool, wkeFireMouseEvent, (wkeWebView webView, unsigned message, int x, int y,                \
                                unsigned flags))                                                   \
    X(bool, wkeFireMouseWheelEvent, (wkeWebView webView, int x, int y, int delta, unsigned flags)) \
    X(bool, wkeFireKeyDownEvent, (wkeWebView webView, unsigned virtualKeyCode, unsigned flags,     \
                                  bool systemKey))                                                 \
    X(bool, wkeFireKeyUpEvent, (wkeWebView webView, unsigned virtualKeyCode, unsigned flags,       \
                                bool systemKey))                                                   \
    X(bool, wkeFireKeyPressEvent, (wkeWebView webView, unsigned charCode, unsigned flags,          \
                                   bool systemKey))                                                \
    X(bool, wkeFireContextMenuEvent, (wkeWebView webView, int x, int y, unsigned flags))           \
    X(void, wkeSetFocus, (wkeWebView webView))                                                     \
    X(void, wkeKillFocus, (wkeWebView webView))                                                    \
    X(wkeRect, wkeGetCaretRect, (wkeWebView webView))                                              \
    X(wkeRect, wkeGetCaret, (wkeWebView webView))                                                  \
    X(int, wkeGetCursorInfoType, (wkeWebView webView))                                             \
    /* events */                                                                                   \
    X(void, wkeOnDocumentReady, (wkeWebView webView, wkeDocumentReadyCallback callback,            \
                                 void* param))                                                     \
    X(void, wkeOnCreateView, (wkeWebView webView, wkeCreateViewCallback callback, void* param))    \
    X(void, wkeOnAlertBox, (wkeWebView webView, wkeAlertBoxCallback callback, void* param))        \
    X(void, wkeOnConsole, (wkeWebView webView, wkeConsoleCallback callback, void* param))          \
    X(void, wkeOnNavigation, (wkeWebView webView, wkeNavigationCallback callback, void* param))    \
    X(void, wkeOnTitleChanged, (wkeWebView webView, wkeTitleChangedCallback callback, void* param)) \
    X(void, wkeOnURLChanged, (wkeWebView webView, wkeURLChangedCallback callback, void* param))     \
    X(void, wkeOnLoadUrlBegin, (wkeWebView webView, wkeLoadUrlBeginCallback callback,              \
                                void* param))                                                      \
    X(void, wkeOnLoadingFinish, (wkeWebView webView, wkeLoadingFinishCallback callback,            \
                                 void* param))                                                     \
    X(void, wkeOnDownload, (wkeWebView webView, wkeDownloadCallback callback, void* param))        \
    X(void, wkeOnWindowClosing, (wkeWebView webView, wkeWindowClosingCallback callback,            \
                                 void* param))                                                     \
    X(const wkeTempCallbackInfo*, wkeGetTempCallbackInfo, (wkeWebView webView))                    \
    X(bool, wkeIsMainFrame, (wkeWebView webView, wkeWebFrameHandle frame))                         \
    X(int, wkeNetGetFavicon, (wkeWebView webView, wkeNetGetFaviconCallback callback, void* param)) \
    /* strings */                                                                                  \
    X(const wchar_t*, wkeGetStringW, (wkeString string))                                          \
    X(const wchar_t*, wkeToStringW, (wkeString string))                                           \
    X(wkeString, wkeCreateStringW, (const wchar_t* text, size_t length))                           \
    X(void, wkeDeleteString, (wkeString string))                                                   \
    /* script */                                                                                   \
    X(jsValue, wkeRunJS, (wkeWebView webView, const utf8* script))                                 \
    X(jsExecState, wkeGlobalExec, (wkeWebView webView))                                            \
    X(jsValue, jsGetGlobal, (jsExecState es, const char* name))                                    \
    X(jsValue, jsCallGlobal, (jsExecState es, jsValue func, jsValue* args, int argCount))          \
    X(jsValue, jsStringW, (jsExecState es, const wchar_t* text))                                   \
    X(const wchar_t*, jsToStringW, (jsExecState es, jsValue value))                                \
    X(void, jsBindFunction, (const char* name, jsNativeFunction fn, unsigned argCount))            \
    X(int, jsArgCount, (jsExecState es))                                                           \
    X(jsValue, jsArg, (jsExecState es, int index))                                                 \
    X(bool, jsIsString, (jsValue value))                                                           \
    X(const wchar_t*, jsToTempStringW, (jsExecState es, jsValue value))                            \
    /* inside a native function: who called it; null when the engine cannot tell */                \
    X(const jsCallerInfo*, jsGetCallerInfo, (jsExecState es))                                      \
    X(jsValue, jsUndefined, (void))

#if defined(WKE_BUILDING_ENGINE)

#define WKE_DECLARE_EXPORT(result, name, params) \
    extern "C" __declspec(dllexport) result WKE_CALL name params;
extern "C" __declspec(dllexport) void WKE_CALL wkeInitializeEx(const wkeSettings* settings);
WKE_API_ENTRIES(WKE_DECLARE_EXPORT)
#undef WKE_DECLARE_EXPORT

#else

// Function-pointer types, one per entry point: PFN_wkeResize and so on.
#define WKE_DECLARE_TYPE(result, name, params) typedef result(WKE_CALL* PFN_##name) params;
typedef void(WKE_CALL* PFN_wkeInitializeEx)(const wkeSettings* settings);
WKE_API_ENTRIES(WKE_DECLARE_TYPE)
#undef WKE_DECLARE_TYPE

// The process-wide entry points. Null until an engine is loaded; an entry point the engine does
// not export then answers every call with an empty value (see platform/WebEngineLoader.h).
#define WKE_DECLARE_POINTER(result, name, params) extern PFN_##name name;
extern PFN_wkeInitializeEx wkeInitializeEx;
WKE_API_ENTRIES(WKE_DECLARE_POINTER)
#undef WKE_DECLARE_POINTER

#endif
