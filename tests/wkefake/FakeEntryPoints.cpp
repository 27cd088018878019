// Every entry point of platform/wke.h, recorded and answered from the stand-in's state.
//
// Built twice: into the wkefake library, where the entry points are internal functions that
// InstallFakeWebEngine puts into the process-wide pointers, and into node.dll (WKE_BUILDING_ENGINE),
// where they are the DLL's exports. WKE_FAKE_LACK_ENTRIES leaves out two exports and
// WKE_FAKE_NO_INITIALIZE the initialiser, for the loader's tests of unusable DLLs.
#include "tests/wkefake/FakeCommandChannel.h"
#include "tests/wkefake/FakeEngineState.h"

#include "common/TextConv.h"

#if defined(WKE_BUILDING_ENGINE)
#define ENTRY(name) name
#else
#include "platform/WebEngineLoader.h"
#define ENTRY(name) Fake_##name
#endif

using namespace wkefake;
using namespace wkefake::detail;

namespace {

constexpr wchar_t kWebWindowClass[] = L"OrvelFakeWebWindow";

Recorder OnView(const char* name, wkeWebView view) { return Recorder(name, view, true); }
Recorder Plain(const char* name) { return Recorder(name, nullptr, false); }

// A web window's own window, unless the caller has named another one with wkeSetHandle.
bool OwnWindowInUse(const ViewState& view) {
    return view.hostWindow && (!view.handle || view.handle == view.hostWindow);
}

void RegisterWebWindowClass() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = ThisModule();
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kWebWindowClass;
    RegisterClassExW(&wc);  // fails harmlessly when already registered
}

void SetHandler(const char* name, wkeWebView view, void* callback, void* param) {
    OnView(name, view).Ptr(callback).Ptr(param);
    if (ViewState* state = Live(view)) state->handlers[name] = Handler{callback, param};
}

// An event registration: keeps the handler and its param under the registration's name.
#define WKE_FAKE_REGISTRATION(name, Callback)                                    \
    void WKE_CALL ENTRY(name)(wkeWebView webView, Callback callback, void* param) { \
        SetHandler(#name, webView, reinterpret_cast<void*>(callback), param);    \
    }

ExecState* Exec(jsExecState es) { return reinterpret_cast<ExecState*>(es); }

const wchar_t* StringText(wkeString string) {
    for (auto& candidate : Strings())
        if (reinterpret_cast<wkeString>(candidate.get()) == string) return candidate->text.c_str();
    return L"";
}

}  // namespace

#if !defined(WKE_BUILDING_ENGINE)
namespace {
#endif

#if !defined(WKE_FAKE_NO_INITIALIZE)
void WKE_CALL ENTRY(wkeInitializeEx)(const wkeSettings* settings) {
    OpenLogFromEnvironment();
    StartCommandChannel();
    // The profile and user agent the caller asks for, as far as its record holds them.
    const bool whole = settings && settings->size >= static_cast<int>(sizeof(wkeSettings));
    Plain("wkeInitializeEx")
        .Ptr(settings)
        .Narrow(whole && settings->profilePath ? settings->profilePath : "")
        .Int(whole ? settings->cleanProfile : 0)
        .Narrow(whole && settings->userAgent ? settings->userAgent : "");
}
#endif

// --- views ---

wkeWebView WKE_CALL ENTRY(wkeCreateWebView)() {
    ViewState* view = NewView();
    OnView("wkeCreateWebView", Handle(view));
    return Handle(view);
}

wkeWebView WKE_CALL ENTRY(wkeCreateWebWindow)(wkeWindowType type, HWND parent, int x, int y,
                                              int width, int height) {
    ViewState* view = NewView();
    view->isWindow = true;
    view->windowType = type;
    view->parent = parent;
    view->createRect = RECT{x, y, x + width, y + height};
    RegisterWebWindowClass();
    DWORD style = type == WKE_WINDOW_TYPE_CONTROL ? WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS
                                                  : WS_OVERLAPPEDWINDOW;
    view->hostWindow = CreateWindowExW(0, kWebWindowClass, L"", style, x, y, width, height,
                                       type == WKE_WINDOW_TYPE_CONTROL ? parent : nullptr, nullptr,
                                       ThisModule(), nullptr);
    OnView("wkeCreateWebWindow", Handle(view)).Int(type).Ptr(parent).Int(x).Int(y).Int(width).Int(height);
    return Handle(view);
}

void WKE_CALL ENTRY(wkeDestroyWebView)(wkeWebView webView) {
    OnView("wkeDestroyWebView", webView);
    if (ViewState* view = Live(webView)) {
        view->destroyed = true;
        if (view->hostWindow && IsWindow(view->hostWindow)) DestroyWindow(view->hostWindow);
    }
}

void WKE_CALL ENTRY(wkeShowWindow)(wkeWebView webView, bool show) {
    OnView("wkeShowWindow", webView).Bool(show);
    if (ViewState* view = Live(webView)) {
        view->shown = show;
        if (OwnWindowInUse(*view)) ShowWindow(view->hostWindow, show ? SW_SHOW : SW_HIDE);
    }
}

void WKE_CALL ENTRY(wkeMoveToCenter)(wkeWebView webView) {
    OnView("wkeMoveToCenter", webView);
    ViewState* view = Live(webView);
    if (!view || !view->hostWindow) return;
    RECT work{}, window{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    GetWindowRect(view->hostWindow, &window);
    int x = work.left + ((work.right - work.left) - (window.right - window.left)) / 2;
    int y = work.top + ((work.bottom - work.top) - (window.bottom - window.top)) / 2;
    SetWindowPos(view->hostWindow, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
}

HWND WKE_CALL ENTRY(wkeGetHostHWND)(wkeWebView webView) {
    OnView("wkeGetHostHWND", webView);
    ViewState* view = Live(webView);
    if (!view) return nullptr;
    return OwnWindowInUse(*view) ? view->hostWindow : view->handle;
}

void WKE_CALL ENTRY(wkeSetHandle)(wkeWebView webView, HWND wnd) {
    OnView("wkeSetHandle", webView).Ptr(wnd);
    ViewState* view = Live(webView);
    if (!view) return;
    view->handle = wnd;
    // As the engine does: a window view given another window leaves its own to it, hidden.
    if (view->hostWindow && !OwnWindowInUse(*view)) ShowWindow(view->hostWindow, SW_HIDE);
}

void WKE_CALL ENTRY(wkeSetWindowTitle)(wkeWebView webView, const utf8* title) {
    OnView("wkeSetWindowTitle", webView).Narrow(title);
    ViewState* view = Live(webView);
    if (!view || !title) return;
    view->title = title;
    if (view->hostWindow)
        SetWindowTextW(view->hostWindow, Utf8ToWide(title, strlen(title)).c_str());
}

void WKE_CALL ENTRY(wkeSetWindowTitleW)(wkeWebView webView, const wchar_t* title) {
    OnView("wkeSetWindowTitleW", webView).Wide(title);
    ViewState* view = Live(webView);
    if (!view || !title) return;
    view->titleW = title;
    if (view->hostWindow) SetWindowTextW(view->hostWindow, title);
}

void WKE_CALL ENTRY(wkeSetName)(wkeWebView webView, const char* name) {
    OnView("wkeSetName", webView).Narrow(name);
    if (ViewState* view = Live(webView); view && name) view->name = name;
}

void WKE_CALL ENTRY(wkeSetTransparent)(wkeWebView webView, bool transparent) {
    OnView("wkeSetTransparent", webView).Bool(transparent);
    if (ViewState* view = Live(webView)) view->transparent = transparent;
}

void WKE_CALL ENTRY(wkeResize)(wkeWebView webView, int width, int height) {
    OnView("wkeResize", webView).Int(width).Int(height);
    if (ViewState* view = Live(webView)) {
        view->width = width;
        view->height = height;
        if (view->hostWindow)
            SetWindowPos(view->hostWindow, nullptr, 0, 0, width, height,
                         SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }
}

// --- settings ---

void WKE_CALL ENTRY(wkeSetUserAgent)(wkeWebView webView, const utf8* userAgent) {
    OnView("wkeSetUserAgent", webView).Narrow(userAgent);
    if (ViewState* view = Live(webView); view && userAgent) view->userAgent = userAgent;
}

void WKE_CALL ENTRY(wkeSetLanguage)(wkeWebView webView, const char* language) {
    OnView("wkeSetLanguage", webView).Narrow(language);
    if (ViewState* view = Live(webView); view && language) view->language = language;
}

void WKE_CALL ENTRY(wkeSetCspCheckEnable)(wkeWebView webView, bool enable) {
    OnView("wkeSetCspCheckEnable", webView).Bool(enable);
    if (ViewState* view = Live(webView)) view->cspCheck = enable;
}

void WKE_CALL ENTRY(wkeSetNpapiPluginsEnabled)(wkeWebView webView, bool enable) {
    OnView("wkeSetNpapiPluginsEnabled", webView).Bool(enable);
    if (ViewState* view = Live(webView)) view->npapi = enable;
}

// --- loading ---

void WKE_CALL ENTRY(wkeLoadURLW)(wkeWebView webView, const wchar_t* url) {
    OnView("wkeLoadURLW", webView).Wide(url);
    if (ViewState* view = Live(webView)) view->lastUrl = url ? url : L"";
}

void WKE_CALL ENTRY(wkeLoadFileW)(wkeWebView webView, const wchar_t* fileName) {
    OnView("wkeLoadFileW", webView).Wide(fileName);
    if (ViewState* view = Live(webView)) view->lastFile = fileName ? fileName : L"";
}

// --- painting ---

void WKE_CALL ENTRY(wkePaint)(wkeWebView webView, void* bits, int pitch) {
    OnView("wkePaint", webView).Ptr(bits).Int(pitch);
    ViewState* view = Live(webView);
    if (!view || !bits) return;
    const auto& pixel = CurrentAnswers().pixel;
    int stride = pitch ? pitch : view->width * 4;
    for (int y = 0; y < view->height; ++y) {
        auto* row = reinterpret_cast<uint32_t*>(static_cast<unsigned char*>(bits) + y * stride);
        for (int x = 0; x < view->width; ++x) row[x] = pixel ? pixel(x, y) : 0xFFFFFFFFu;
    }
}

WKE_FAKE_REGISTRATION(wkeOnPaintUpdated, wkePaintUpdatedCallback)

// --- input ---

namespace {
bool InputAnswer(wkeWebView webView) { return Live(webView) && CurrentAnswers().input; }
}  // namespace

bool WKE_CALL ENTRY(wkeFireMouseEvent)(wkeWebView webView, unsigned message, int x, int y,
                                       unsigned flags) {
    OnView("wkeFireMouseEvent", webView).Int(message).Int(x).Int(y).Int(flags);
    return InputAnswer(webView);
}

bool WKE_CALL ENTRY(wkeFireMouseWheelEvent)(wkeWebView webView, int x, int y, int delta,
                                            unsigned flags) {
    OnView("wkeFireMouseWheelEvent", webView).Int(x).Int(y).Int(delta).Int(flags);
    return InputAnswer(webView);
}

bool WKE_CALL ENTRY(wkeFireKeyDownEvent)(wkeWebView webView, unsigned virtualKeyCode,
                                         unsigned flags, bool systemKey) {
    OnView("wkeFireKeyDownEvent", webView).Int(virtualKeyCode).Int(flags).Bool(systemKey);
    return InputAnswer(webView);
}

bool WKE_CALL ENTRY(wkeFireKeyUpEvent)(wkeWebView webView, unsigned virtualKeyCode, unsigned flags,
                                       bool systemKey) {
    OnView("wkeFireKeyUpEvent", webView).Int(virtualKeyCode).Int(flags).Bool(systemKey);
    return InputAnswer(webView);
}

bool WKE_CALL ENTRY(wkeFireKeyPressEvent)(wkeWebView webView, unsigned charCode, unsigned flags,
                                          bool systemKey) {
    OnView("wkeFireKeyPressEvent", webView).Int(charCode).Int(flags).Bool(systemKey);
    return InputAnswer(webView);
}

bool WKE_CALL ENTRY(wkeFireContextMenuEvent)(wkeWebView webView, int x, int y, unsigned flags) {
    OnView("wkeFireContextMenuEvent", webView).Int(x).Int(y).Int(flags);
    return InputAnswer(webView);
}

void WKE_CALL ENTRY(wkeSetFocus)(wkeWebView webView) { OnView("wkeSetFocus", webView); }

void WKE_CALL ENTRY(wkeKillFocus)(wkeWebView webView) { OnView("wkeKillFocus", webView); }

wkeRect WKE_CALL ENTRY(wkeGetCaretRect)(wkeWebView webView) {
    OnView("wkeGetCaretRect", webView);
    return Live(webView) ? CurrentAnswers().caret : wkeRect{};
}

#if !defined(WKE_FAKE_LACK_ENTRIES)
wkeRect WKE_CALL ENTRY(wkeGetCaret)(wkeWebView webView) {
    OnView("wkeGetCaret", webView);
    return Live(webView) ? CurrentAnswers().caret : wkeRect{};
}
#endif

int WKE_CALL ENTRY(wkeGetCursorInfoType)(wkeWebView webView) {
    OnView("wkeGetCursorInfoType", webView);
    return Live(webView) ? CurrentAnswers().cursor : 0;
}

// --- events ---

WKE_FAKE_REGISTRATION(wkeOnDocumentReady, wkeDocumentReadyCallback)

WKE_FAKE_REGISTRATION(wkeOnCreateView, wkeCreateViewCallback)

WKE_FAKE_REGISTRATION(wkeOnAlertBox, wkeAlertBoxCallback)

WKE_FAKE_REGISTRATION(wkeOnConsole, wkeConsoleCallback)

WKE_FAKE_REGISTRATION(wkeOnNavigation, wkeNavigationCallback)

WKE_FAKE_REGISTRATION(wkeOnTitleChanged, wkeTitleChangedCallback)

WKE_FAKE_REGISTRATION(wkeOnURLChanged, wkeURLChangedCallback)

WKE_FAKE_REGISTRATION(wkeOnLoadUrlBegin, wkeLoadUrlBeginCallback)

WKE_FAKE_REGISTRATION(wkeOnLoadingFinish, wkeLoadingFinishCallback)

#if !defined(WKE_FAKE_LACK_ENTRIES)
WKE_FAKE_REGISTRATION(wkeOnDownload, wkeDownloadCallback)
#endif

WKE_FAKE_REGISTRATION(wkeOnWindowClosing, wkeWindowClosingCallback)

const wkeTempCallbackInfo* WKE_CALL ENTRY(wkeGetTempCallbackInfo)(wkeWebView webView) {
    OnView("wkeGetTempCallbackInfo", webView);
    ViewState* view = Live(webView);
    return view ? &view->callbackInfo : nullptr;
}

bool WKE_CALL ENTRY(wkeIsMainFrame)(wkeWebView webView, wkeWebFrameHandle frame) {
    OnView("wkeIsMainFrame", webView).Ptr(frame);
    ViewState* view = Live(webView);
    return view && frame && frame == reinterpret_cast<wkeWebFrameHandle>(&view->mainFrame);
}

int WKE_CALL ENTRY(wkeNetGetFavicon)(wkeWebView webView, wkeNetGetFaviconCallback callback,
                                     void* param) {
    OnView("wkeNetGetFavicon", webView).Ptr(reinterpret_cast<void*>(callback)).Ptr(param);
    ViewState* view = Live(webView);
    if (!view) return 0;
    view->pendingFavicon = Handler{reinterpret_cast<void*>(callback), param};
    return 1;
}

// --- strings ---

const wchar_t* WKE_CALL ENTRY(wkeGetStringW)(wkeString string) {
    const wchar_t* text = StringText(string);
    Plain("wkeGetStringW").Wide(text);
    return text;
}

const wchar_t* WKE_CALL ENTRY(wkeToStringW)(wkeString string) {
    const wchar_t* text = StringText(string);
    Plain("wkeToStringW").Wide(text);
    return text;
}

wkeString WKE_CALL ENTRY(wkeCreateStringW)(const wchar_t* text, size_t length) {
    Plain("wkeCreateStringW").Wide(text, text ? length : 0).Int(static_cast<int64_t>(length));
    return MakeString(text ? std::wstring(text, length) : std::wstring());
}

void WKE_CALL ENTRY(wkeDeleteString)(wkeString string) {
    Plain("wkeDeleteString").Wide(StringText(string));
    auto& strings = Strings();
    for (auto it = strings.begin(); it != strings.end(); ++it) {
        if (reinterpret_cast<wkeString>(it->get()) == string) {
            strings.erase(it);
            return;
        }
    }
}

// --- script ---

jsValue WKE_CALL ENTRY(wkeRunJS)(wkeWebView webView, const utf8* script) {
    OnView("wkeRunJS", webView).Narrow(script);
    return MakeValue(JsValue());
}

jsExecState WKE_CALL ENTRY(wkeGlobalExec)(wkeWebView webView) {
    OnView("wkeGlobalExec", webView);
    ViewState* view = Live(webView);
    return view ? reinterpret_cast<jsExecState>(view->globalExec.get()) : nullptr;
}

jsValue WKE_CALL ENTRY(jsGetGlobal)(jsExecState es, const char* name) {
    Plain("jsGetGlobal").Ptr(es).Narrow(name);
    ExecState* exec = Exec(es);
    if (!exec || !exec->view || exec->view->destroyed || !name) return MakeValue(JsValue());
    if (exec->view->pageFunctions.count(name) == 0) return MakeValue(JsValue());
    return MakeFunctionValue(exec->view, name);
}

jsValue WKE_CALL ENTRY(jsCallGlobal)(jsExecState es, jsValue func, jsValue* args, int argCount) {
    Recorder record("jsCallGlobal", nullptr, false);
    record.Ptr(es).Value(func).Int(argCount);
    for (int i = 0; args && i < argCount; ++i) record.Value(args[i]);
    ExecState* exec = Exec(es);
    const std::string* name = FunctionName(func);
    if (!exec || !exec->view || !name) return MakeValue(JsValue());
    auto found = exec->view->pageFunctions.find(*name);
    if (found == exec->view->pageFunctions.end() || !found->second) return MakeValue(JsValue());
    return MakeValue(JsValue::Str(*found->second));
}

jsValue WKE_CALL ENTRY(jsStringW)(jsExecState es, const wchar_t* text) {
    Plain("jsStringW").Ptr(es).Wide(text);
    return MakeValue(JsValue::Str(text ? text : L""));
}

const wchar_t* WKE_CALL ENTRY(jsToStringW)(jsExecState es, jsValue value) {
    Plain("jsToStringW").Ptr(es).Value(value);
    return KeepText(Describe(value)).c_str();
}

void WKE_CALL ENTRY(jsBindFunction)(const char* name, jsNativeFunction fn, unsigned argCount) {
    Plain("jsBindFunction").Narrow(name).Ptr(reinterpret_cast<void*>(fn)).Int(argCount);
    if (name) Bindings()[name] = Binding{fn, argCount};
}

int WKE_CALL ENTRY(jsArgCount)(jsExecState es) {
    Plain("jsArgCount").Ptr(es);
    return Exec(es) ? static_cast<int>(Exec(es)->args.size()) : 0;
}

jsValue WKE_CALL ENTRY(jsArg)(jsExecState es, int index) {
    Plain("jsArg").Ptr(es).Int(index);
    ExecState* exec = Exec(es);
    if (!exec || index < 0 || static_cast<size_t>(index) >= exec->args.size())
        return MakeValue(JsValue());
    return exec->args[static_cast<size_t>(index)];
}

bool WKE_CALL ENTRY(jsIsString)(jsValue value) {
    Plain("jsIsString").Value(value);
    return !FunctionName(value) && ReadValue(value).kind == JsValue::String;
}

const wchar_t* WKE_CALL ENTRY(jsToTempStringW)(jsExecState es, jsValue value) {
    Plain("jsToTempStringW").Ptr(es).Value(value);
    return KeepText(Describe(value)).c_str();
}

const jsCallerInfo* WKE_CALL ENTRY(jsGetCallerInfo)(jsExecState es) {
    Plain("jsGetCallerInfo").Ptr(es);
    ExecState* exec = Exec(es);
    return exec && exec->caller.size ? &exec->caller : nullptr;
}

jsValue WKE_CALL ENTRY(jsUndefined)() {
    Plain("jsUndefined");
    return MakeValue(JsValue());
}

#if !defined(WKE_BUILDING_ENGINE)
}  // namespace

void InstallFakeWebEngine() {
    ::wkeInitializeEx = &Fake_wkeInitializeEx;
#define WKE_FAKE_INSTALL(result, name, params) ::name = &Fake_##name;
    WKE_API_ENTRIES(WKE_FAKE_INSTALL)
#undef WKE_FAKE_INSTALL
    SetWebEngineLoaded(true);
}
#endif
