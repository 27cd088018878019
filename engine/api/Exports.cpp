// The exported entry points: each finds the engine and the view and hands over to them.
// Every entry point tolerates a call before initialisation and handles that are not views.
#include <windows.h>

#include <vector>

#include "common/TextConv.h"
#include "engine/browser/BrowserProcess.h"
#include "engine/view/Engine.h"
#include "engine/view/WebView.h"
#include "platform/wke.h"

namespace {

WebView* ViewOf(wkeWebView handle) {
    Engine* engine = Engine::Get();
    return engine ? engine->Find(handle) : nullptr;
}

ExecState* StateOf(jsExecState es) { return reinterpret_cast<ExecState*>(es); }

WebView* LiveViewOf(jsExecState es) {
    ExecState* state = StateOf(es);
    return state ? ViewOf(state->view ? state->view->Handle() : nullptr) : nullptr;
}

std::string Narrow(const char* text) { return text ? std::string(text) : std::string(); }

std::wstring WideOf(const char* utf8) { return utf8 ? Utf8ToWide(utf8, strlen(utf8)) : std::wstring(); }

const wchar_t* TextPointer(const ScriptValue* value) {
    static const wchar_t kUndefined[] = L"undefined";
    static const wchar_t kNull[] = L"null";
    if (!value || value->kind == ScriptValue::Kind::Undefined) return kUndefined;
    if (value->kind == ScriptValue::Kind::Null) return kNull;
    return value->text.c_str();
}

}  // namespace

void WKE_CALL wkeInitializeEx(const wkeSettings* settings) {
    if (!Engine::Initialize(settings)) OutputDebugStringW(L"node.dll: no browser was found\n");
}

// ---- views ----

wkeWebView WKE_CALL wkeCreateWebView(void) {
    Engine* engine = Engine::Get();
    WebView* view = engine ? engine->CreateView(true, WKE_WINDOW_TYPE_CONTROL, nullptr, 0, 0, 0, 0) : nullptr;
    return view ? view->Handle() : nullptr;
}

wkeWebView WKE_CALL wkeCreateWebWindow(wkeWindowType type, HWND parent, int x, int y, int width, int height) {
    Engine* engine = Engine::Get();
    WebView* view = engine ? engine->CreateView(false, type, parent, x, y, width, height) : nullptr;
    return view ? view->Handle() : nullptr;
}

void WKE_CALL wkeDestroyWebView(wkeWebView webView) {
    if (WebView* view = ViewOf(webView)) Engine::Get()->DestroyView(view);
}

void WKE_CALL wkeShowWindow(wkeWebView webView, bool show) {
    if (WebView* view = ViewOf(webView)) view->Show(show);
}

void WKE_CALL wkeMoveToCenter(wkeWebView webView) {
    if (WebView* view = ViewOf(webView)) view->MoveToCenter();
}

HWND WKE_CALL wkeGetHostHWND(wkeWebView webView) {
    WebView* view = ViewOf(webView);
    return view ? view->HostWindow() : nullptr;
}

void WKE_CALL wkeSetHandle(wkeWebView webView, HWND wnd) {
    if (WebView* view = ViewOf(webView)) view->SetHostWindow(wnd);
}

void WKE_CALL wkeSetWindowTitle(wkeWebView webView, const utf8* title) {
    if (WebView* view = ViewOf(webView)) view->SetTitle(WideOf(title));
}

void WKE_CALL wkeSetWindowTitleW(wkeWebView webView, const wchar_t* title) {
    if (WebView* view = ViewOf(webView)) view->SetTitle(title ? title : L"");
}

void WKE_CALL wkeSetName(wkeWebView webView, const char* name) {
    if (WebView* view = ViewOf(webView)) view->SetName(Narrow(name));
}

void WKE_CALL wkeSetTransparent(wkeWebView webView, bool transparent) {
    if (WebView* view = ViewOf(webView)) view->SetTransparent(transparent);
}

void WKE_CALL wkeResize(wkeWebView webView, int width, int height) {
    if (WebView* view = ViewOf(webView)) view->Resize(width, height);
}

// ---- settings ----

void WKE_CALL wkeSetUserAgent(wkeWebView webView, const utf8* userAgent) {
    if (WebView* view = ViewOf(webView)) view->SetUserAgent(Narrow(userAgent));
}

void WKE_CALL wkeSetLanguage(wkeWebView webView, const char* language) {
    // The caller passes the system code page; language tags are plain ASCII.
    if (WebView* view = ViewOf(webView)) view->SetLanguage(Narrow(language));
}

void WKE_CALL wkeSetCspCheckEnable(wkeWebView webView, bool enable) {
    if (WebView* view = ViewOf(webView)) view->SetCspCheck(enable);
}

void WKE_CALL wkeSetNpapiPluginsEnabled(wkeWebView, bool) {
    // Current browsers have no NPAPI plug-ins; the setting is accepted and has no effect.
}

// ---- loading ----

void WKE_CALL wkeLoadURLW(wkeWebView webView, const wchar_t* url) {
    if (WebView* view = ViewOf(webView)) view->LoadUrl(ToUtf8(url));
}

void WKE_CALL wkeLoadFileW(wkeWebView webView, const wchar_t* fileName) {
    if (WebView* view = ViewOf(webView)) view->LoadUrl(BrowserFileUrl(fileName ? fileName : L""));
}

// ---- painting ----

void WKE_CALL wkePaint(wkeWebView webView, void* bits, int pitch) {
    if (WebView* view = ViewOf(webView)) view->Paint(bits, pitch);
}

void WKE_CALL wkeOnPaintUpdated(wkeWebView webView, wkePaintUpdatedCallback callback, void* param) {
    if (WebView* view = ViewOf(webView)) view->onPaint = {callback, param};
}

// ---- input ----

bool WKE_CALL wkeFireMouseEvent(wkeWebView webView, unsigned message, int x, int y, unsigned flags) {
    WebView* view = ViewOf(webView);
    return view && view->FireMouse(message, x, y, flags);
}

bool WKE_CALL wkeFireMouseWheelEvent(wkeWebView webView, int x, int y, int delta, unsigned flags) {
    WebView* view = ViewOf(webView);
    return view && view->FireWheel(x, y, delta, flags);
}

bool WKE_CALL wkeFireKeyDownEvent(wkeWebView webView, unsigned virtualKeyCode, unsigned flags, bool) {
    WebView* view = ViewOf(webView);
    return view && view->FireKey(true, virtualKeyCode, flags);
}

bool WKE_CALL wkeFireKeyUpEvent(wkeWebView webView, unsigned virtualKeyCode, unsigned flags, bool) {
    WebView* view = ViewOf(webView);
    return view && view->FireKey(false, virtualKeyCode, flags);
}

bool WKE_CALL wkeFireKeyPressEvent(wkeWebView webView, unsigned charCode, unsigned flags, bool) {
    WebView* view = ViewOf(webView);
    return view && view->FireChar(charCode, flags);
}

bool WKE_CALL wkeFireContextMenuEvent(wkeWebView webView, int x, int y, unsigned flags) {
    WebView* view = ViewOf(webView);
    return view && view->FireContextMenu(x, y, flags);
}

void WKE_CALL wkeSetFocus(wkeWebView webView) {
    if (WebView* view = ViewOf(webView)) view->SetFocus(true);
}

void WKE_CALL wkeKillFocus(wkeWebView webView) {
    if (WebView* view = ViewOf(webView)) view->SetFocus(false);
}

wkeRect WKE_CALL wkeGetCaretRect(wkeWebView webView) {
    WebView* view = ViewOf(webView);
    return view ? view->CaretRect() : wkeRect{0, 0, 0, 0};
}

wkeRect WKE_CALL wkeGetCaret(wkeWebView webView) { return wkeGetCaretRect(webView); }

int WKE_CALL wkeGetCursorInfoType(wkeWebView webView) {
    WebView* view = ViewOf(webView);
    return view ? view->CursorType() : WKE_CURSOR_POINTER;
}

// ---- events ----

#define WKE_EVENT_REGISTRATION(name, member, type)                    \
    void WKE_CALL name(wkeWebView webView, type callback, void* param) { \
        if (WebView* view = ViewOf(webView)) view->member = {callback, param}; \
    }
WKE_EVENT_REGISTRATION(wkeOnDocumentReady, onDocumentReady, wkeDocumentReadyCallback)
WKE_EVENT_REGISTRATION(wkeOnCreateView, onCreateView, wkeCreateViewCallback)
WKE_EVENT_REGISTRATION(wkeOnAlertBox, onAlert, wkeAlertBoxCallback)
WKE_EVENT_REGISTRATION(wkeOnConsole, onConsole, wkeConsoleCallback)
WKE_EVENT_REGISTRATION(wkeOnTitleChanged, onTitle, wkeTitleChangedCallback)
WKE_EVENT_REGISTRATION(wkeOnURLChanged, onUrl, wkeURLChangedCallback)
WKE_EVENT_REGISTRATION(wkeOnLoadUrlBegin, onLoadUrlBegin, wkeLoadUrlBeginCallback)
WKE_EVENT_REGISTRATION(wkeOnLoadingFinish, onLoadingFinish, wkeLoadingFinishCallback)
WKE_EVENT_REGISTRATION(wkeOnDownload, onDownload, wkeDownloadCallback)
WKE_EVENT_REGISTRATION(wkeOnWindowClosing, onWindowClosing, wkeWindowClosingCallback)
#undef WKE_EVENT_REGISTRATION

void WKE_CALL wkeOnNavigation(wkeWebView webView, wkeNavigationCallback callback, void* param) {
    if (WebView* view = ViewOf(webView)) view->SetNavigationHandler(callback, param);
}

const wkeTempCallbackInfo* WKE_CALL wkeGetTempCallbackInfo(wkeWebView webView) {
    WebView* view = ViewOf(webView);
    return view ? view->TempCallbackInfo() : nullptr;
}

bool WKE_CALL wkeIsMainFrame(wkeWebView webView, wkeWebFrameHandle frame) {
    WebView* view = ViewOf(webView);
    return view && view->IsMainFrame(frame);
}

int WKE_CALL wkeNetGetFavicon(wkeWebView webView, wkeNetGetFaviconCallback callback, void* param) {
    WebView* view = ViewOf(webView);
    return view ? view->RequestFavicon(callback, param) : 0;
}

// ---- strings ----

const wchar_t* WKE_CALL wkeGetStringW(wkeString string) {
    Engine* engine = Engine::Get();
    if (!engine || !engine->IsString(string)) return L"";
    return reinterpret_cast<const std::wstring*>(string)->c_str();
}

const wchar_t* WKE_CALL wkeToStringW(wkeString string) { return wkeGetStringW(string); }

wkeString WKE_CALL wkeCreateStringW(const wchar_t* text, size_t length) {
    Engine* engine = Engine::Get();
    if (!engine) return nullptr;
    return engine->NewString(text ? std::wstring(text, length) : std::wstring());
}

void WKE_CALL wkeDeleteString(wkeString string) {
    if (Engine* engine = Engine::Get()) engine->DeleteString(string);
}

// ---- script ----

jsValue WKE_CALL wkeRunJS(wkeWebView webView, const utf8* script) {
    WebView* view = ViewOf(webView);
    return view && script ? view->RunScript(script) : 0;
}

jsExecState WKE_CALL wkeGlobalExec(wkeWebView webView) {
    WebView* view = ViewOf(webView);
    return view ? reinterpret_cast<jsExecState>(view->GlobalExec()) : nullptr;
}

jsValue WKE_CALL jsGetGlobal(jsExecState es, const char* name) {
    Engine* engine = Engine::Get();
    if (!engine || !LiveViewOf(es) || !name) return 0;
    ScriptValue global;
    global.kind = ScriptValue::Kind::Global;
    global.name = name;
    return engine->Values().Add(std::move(global));
}

jsValue WKE_CALL jsCallGlobal(jsExecState es, jsValue func, jsValue* args, int argCount) {
    WebView* view = LiveViewOf(es);
    if (!view) return 0;
    Engine* engine = Engine::Get();
    const ScriptValue* function = engine->Value(func);
    if (!function) return 0;
    const ScriptValue functionCopy = *function;  // running the call makes new values
    std::vector<ScriptValue> argCopies;
    for (int i = 0; args && i < argCount && i < 256; ++i) {
        const ScriptValue* arg = engine->Value(args[i]);
        argCopies.push_back(arg ? *arg : ScriptValue());
    }
    std::vector<const ScriptValue*> argList;
    for (const ScriptValue& arg : argCopies) argList.push_back(&arg);
    return view->CallGlobal(functionCopy, argList);
}

jsValue WKE_CALL jsStringW(jsExecState, const wchar_t* text) {
    Engine* engine = Engine::Get();
    if (!engine) return 0;
    ScriptValue value;
    value.kind = ScriptValue::Kind::String;
    value.text = text ? text : L"";
    return engine->Values().Add(std::move(value));
}

const wchar_t* WKE_CALL jsToStringW(jsExecState es, jsValue value) {
    Engine* engine = Engine::Get();
    if (!engine) return L"undefined";
    const ScriptValue* v = engine->Value(value);
    if (v && v->kind == ScriptValue::Kind::Global) {
        WebView* view = LiveViewOf(es);
        ScriptValue text;
        text.kind = ScriptValue::Kind::String;
        text.text = view ? view->TextOf(*v) : L"undefined";
        return TextPointer(engine->Values().Find(engine->Values().Add(std::move(text))));
    }
    return TextPointer(v);
}

void WKE_CALL jsBindFunction(const char* name, jsNativeFunction fn, unsigned) {
    // The page-side function takes any number of arguments; the count is not needed to forward them.
    Engine* engine = Engine::Get();
    if (engine && name && *name) engine->BindFunction(name, fn);
}

int WKE_CALL jsArgCount(jsExecState es) {
    ExecState* state = StateOf(es);
    return state ? static_cast<int>(state->args.size()) : 0;
}

jsValue WKE_CALL jsArg(jsExecState es, int index) {
    ExecState* state = StateOf(es);
    if (!state || index < 0 || static_cast<size_t>(index) >= state->args.size()) return 0;
    return state->args[static_cast<size_t>(index)];
}

bool WKE_CALL jsIsString(jsValue value) {
    Engine* engine = Engine::Get();
    const ScriptValue* v = engine ? engine->Value(value) : nullptr;
    return v && v->kind == ScriptValue::Kind::String;
}

const wchar_t* WKE_CALL jsToTempStringW(jsExecState es, jsValue value) { return jsToStringW(es, value); }

const jsCallerInfo* WKE_CALL jsGetCallerInfo(jsExecState es) {
    // A view's global state, or a call whose frame the browser did not name, has no caller.
    ExecState* state = StateOf(es);
    return state && state->caller.size ? &state->caller : nullptr;
}

jsValue WKE_CALL jsUndefined(void) { return 0; }
