#include "engine/WebView.h"

#include <algorithm>
#include <cstdio>

#include "common/TextConv.h"
#include "engine/Engine.h"
#include "engine/InputEvents.h"

namespace {

const wchar_t kViewWindowClass[] = L"WkeWebWindow";

// Frames and script contexts remembered per view (see m_frameUrls).
constexpr size_t kMaxTrackedFrames = 1024;

std::wstring Wide(const std::string& utf8) { return Utf8ToWide(utf8.data(), utf8.size()); }

// An engine string that lives for one callback.
class CallbackString {
public:
    CallbackString(Engine& engine, std::wstring text) : m_engine(engine), m_s(engine.NewString(std::move(text))) {}
    CallbackString(Engine& engine, const std::string& utf8) : CallbackString(engine, Wide(utf8)) {}
    ~CallbackString() { m_engine.DeleteString(m_s); }
    CallbackString(const CallbackString&) = delete;
    CallbackString& operator=(const CallbackString&) = delete;
    operator wkeString() const { return m_s; }

private:
    Engine& m_engine;
    wkeString m_s;
};

wkeNavigationType NavigationTypeOf(const std::string& reason) {
    if (reason == "anchorClick") return WKE_NAVIGATION_TYPE_LINKCLICK;
    if (reason == "formSubmissionGet" || reason == "formSubmissionPost") return WKE_NAVIGATION_TYPE_FORMSUBMITTE;
    if (reason == "reload") return WKE_NAVIGATION_TYPE_RELOAD;
    return WKE_NAVIGATION_TYPE_OTHER;
}

// window.open features ("width=400", "left=10", "resizable", ...) as the engine's record.
wkeWindowFeatures ParseFeatures(const Json& features) {
    wkeWindowFeatures f{};
    f.x = f.y = f.width = f.height = 0;
    f.menuBarVisible = f.statusBarVisible = f.toolBarVisible = f.locationBarVisible = true;
    f.scrollbarsVisible = f.resizable = true;
    f.fullscreen = false;
    for (size_t i = 0; i < features.Size(); ++i) {
        std::string item = features.At(i).AsString();
        std::transform(item.begin(), item.end(), item.begin(), [](char c) { return static_cast<char>(tolower(c)); });
        std::string key = item.substr(0, item.find('='));
        std::string value = item.find('=') == std::string::npos ? "" : item.substr(item.find('=') + 1);
        int number = atoi(value.c_str());
        bool on = value.empty() || value == "yes" || value == "true" || number != 0;
        if (key == "left" || key == "screenx") f.x = number;
        else if (key == "top" || key == "screeny") f.y = number;
        else if (key == "width" || key == "innerwidth") f.width = number;
        else if (key == "height" || key == "innerheight") f.height = number;
        else if (key == "menubar") f.menuBarVisible = on;
        else if (key == "status") f.statusBarVisible = on;
        else if (key == "toolbar") f.toolBarVisible = on;
        else if (key == "location") f.locationBarVisible = on;
        else if (key == "scrollbars") f.scrollbarsVisible = on;
        else if (key == "resizable") f.resizable = on;
        else if (key == "fullscreen") f.fullscreen = on;
    }
    return f;
}

// Text of console arguments as the console would print them.
std::string ConsoleText(const Json& args) {
    std::string text;
    for (size_t i = 0; i < args.Size(); ++i) {
        const Json& arg = args.At(i);
        if (i) text += ' ';
        if (arg["type"].AsString() == "string") text += arg["value"].AsString();
        else if (arg.Has("unserializableValue")) text += arg["unserializableValue"].AsString();
        else if (arg.Has("description")) text += arg["description"].AsString();
        else if (arg.Has("value")) text += arg["value"].IsString() ? arg["value"].AsString() : arg["value"].Serialize();
        else text += arg["type"].AsString();
    }
    return text;
}

std::string StackText(const Json& stack) {
    std::string text;
    const Json& frames = stack["callFrames"];
    for (size_t i = 0; i < frames.Size(); ++i) {
        const Json& f = frames.At(i);
        char position[48];
        std::snprintf(position, sizeof position, ":%d:%d)\n", f["lineNumber"].AsInt() + 1, f["columnNumber"].AsInt() + 1);
        std::string name = f["functionName"].AsString();
        text += "    at " + (name.empty() ? std::string("<anonymous>") : name) + " (" + f["url"].AsString() + position;
    }
    return text;
}

// Finds, for a point, the CSS cursor and whether it is over a link or editable text; and the
// rectangle of the focused editable element (where the caret is).
const char kCaretScript[] =
    "(function(){var e=document.activeElement;if(!e||e===document.body||e===document.documentElement)return '';"
    "var r=e.getBoundingClientRect();var s=getComputedStyle(e);var l=parseFloat(s.paddingLeft)||0;"
    "var t=parseFloat(s.paddingTop)||0;var h=parseFloat(s.fontSize)||r.height;"
    "return [Math.round(r.left+l),Math.round(r.top+t),1,Math.round(Math.min(h*1.2,r.height))].join(',');})()";

std::string CursorScript(int x, int y) {
    char script[512];
    std::snprintf(script, sizeof script,
                  "(function(){var e=document.elementFromPoint(%d,%d);if(!e)return 'default,0,0';"
                  "var c=getComputedStyle(e).cursor;var a=e.closest&&e.closest('a[href]')?1:0;"
                  "var t=(e.isContentEditable||e.tagName==='TEXTAREA'||(e.tagName==='INPUT'&&"
                  "/^(text|search|email|url|tel|password|number|)$/.test(e.type)))?1:0;return c+','+a+','+t;})()",
                  x, y);
    return script;
}

}  // namespace

WebView::WebView(Engine& engine, bool offscreen, wkeWindowType type, HWND parent, int x, int y, int width, int height)
    : m_engine(engine) {
    m_globalExec.view = this;
    m_tempInfo.size = sizeof m_tempInfo;
    if (!offscreen) CreateOwnWindow(type, parent, x, y, width, height);
}

WebView::~WebView() { DestroyOwnWindow(); }

void WebView::Send(const std::string& method, Json params) {
    if (m_destroyed || m_withoutPage) return;
    if (!Attached()) {
        // Kept for the page, in order. A page that never comes (the browser is stuck) must not
        // let input pile up without end; what is beyond the bound is of no use to a new page.
        if (m_waitingCommands.size() < kMaxWaitingCommands) m_waitingCommands.emplace_back(method, std::move(params));
        return;
    }
    m_engine.Cdp().Send(method, std::move(params), m_session);
}

void WebView::Attach(std::string targetId, std::string sessionId) {
    m_targetId = std::move(targetId);
    m_session = std::move(sessionId);
    // Before the page's requests can stop (Fetch.enable below).
    m_engine.Gate().AddPage(m_session, m_targetId, m_onNavigation.fn != nullptr);
    Send("Page.enable");
    Send("Runtime.enable");
    Send("Network.enable");
    Json fetch = Json::Object();
    Json pattern = Json::Object();
    pattern.Set("urlPattern", "*").Set("resourceType", "Document").Set("requestStage", "Request");
    fetch.Set("patterns", Json::Array().Push(pattern));
    Send("Fetch.enable", fetch);
    Json focus = Json::Object();
    focus.Set("enabled", true);
    Send("Emulation.setFocusEmulationEnabled", focus);
    Json binding = Json::Object();
    binding.Set("name", kNativeBindingName);
    Send("Runtime.addBinding", binding);
    Json titles = Json::Object();
    titles.Set("source", TitleWatchScript());
    Send("Page.addScriptToEvaluateOnNewDocument", titles);
    ApplyUserAgent();
    Resize(m_width, m_height);
    Json screencast = Json::Object();
    screencast.Set("format", "png").Set("everyNthFrame", 1);
    Send("Page.startScreencast", screencast);
    // What the caller asked of the view before it had its page, in the order asked.
    std::vector<std::pair<std::string, Json>> waiting;
    waiting.swap(m_waitingCommands);
    for (auto& command : waiting) Send(command.first, std::move(command.second));
    Send("Runtime.runIfWaitingForDebugger");
    // The page's side takes the commands above only once it runs; until it has, a navigation
    // would commit unseen. Commands are handled in order, so the answer to this probe means all
    // are. Loads asked for before it wait for it, in order; the caller does not: a new page's renderer
    // takes most of a second to start, which a window being built would otherwise wait out.
    Json probe = Json::Object();
    probe.Set("expression", "0");
    WebView* self = this;
    Engine* engine = &m_engine;
    wkeWebView handle = Handle();
    m_engine.Cdp().SendWithReply("Runtime.evaluate", probe, m_session, [self, engine, handle](const Json&) {
        if (engine->Find(handle) != self) return;
        self->m_pageRunning = true;
        std::vector<std::string> loads;
        loads.swap(self->m_pendingLoads);
        for (const std::string& url : loads) self->LoadUrl(url);
    });
}

void WebView::GoWithoutPage() {
    m_withoutPage = true;
    m_waitingCommands.clear();
    m_pendingLoads.clear();
}

void WebView::InstallBinding(const std::string& name) {
    const std::string source = BindingInstallScript(name);
    Json add = Json::Object();
    add.Set("source", source);
    Send("Page.addScriptToEvaluateOnNewDocument", add);
    Json now = Json::Object();
    now.Set("expression", source);
    Send("Runtime.evaluate", now);
}

void WebView::BeginDestroy() {
    if (Attached()) {
        Json close = Json::Object();
        close.Set("targetId", m_targetId);
        m_engine.Cdp().Send("Target.closeTarget", close);
    }
    m_destroyed = true;
    DestroyOwnWindow();
}

// ---- window -------------------------------------------------------------------------------

void WebView::CreateOwnWindow(wkeWindowType type, HWND parent, int x, int y, int width, int height) {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    WNDCLASSW wc{};
    wc.style = CS_DBLCLKS;
    wc.lpfnWndProc = WndProc;
    wc.hInstance = instance;
    wc.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    wc.lpszClassName = kViewWindowClass;
    RegisterClassW(&wc);
    const bool child = type == WKE_WINDOW_TYPE_CONTROL && parent;
    const DWORD style = child ? WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS : WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN;
    width = width > 0 ? width : 640;
    height = height > 0 ? height : 480;
    m_window = CreateWindowExW(0, kViewWindowClass, L"", style, x, y, width, height, child ? parent : nullptr, nullptr,
                               instance, this);
    if (!m_window) return;
    RECT client{};
    GetClientRect(m_window, &client);
    m_width = client.right > 0 ? client.right : width;
    m_height = client.bottom > 0 ? client.bottom : height;
}

void WebView::DestroyOwnWindow() {
    if (!m_window) return;
    HWND window = m_window;
    m_window = nullptr;
    SetWindowLongPtrW(window, GWLP_USERDATA, 0);
    DestroyWindow(window);
}

LRESULT CALLBACK WebView::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        SetWindowLongPtrW(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(create->lpCreateParams));
    }
    auto* view = reinterpret_cast<WebView*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
    if (!view || (view->m_window && view->m_window != hwnd)) return DefWindowProcW(hwnd, msg, wParam, lParam);
    if (!view->m_window) view->m_window = hwnd;  // messages sent during CreateWindowExW
    return view->OnMessage(msg, wParam, lParam);
}

LRESULT WebView::OnMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
    HWND hwnd = m_window;
    switch (msg) {
    case WM_PAINT: {
        PaintScope paint(hwnd);
        RECT client{};
        GetClientRect(hwnd, &client);
        m_frame.PaintTo(paint.Get(), client.right, client.bottom);
        return 0;
    }
    case WM_ERASEBKGND:
        return 1;
    case WM_SIZE:
        if (LOWORD(lParam) > 0 && HIWORD(lParam) > 0) Resize(LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDOWN:
    case WM_LBUTTONUP:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDOWN:
    case WM_RBUTTONUP:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDOWN:
    case WM_MBUTTONUP:
    case WM_MBUTTONDBLCLK:
        if (msg == WM_LBUTTONDOWN || msg == WM_RBUTTONDOWN || msg == WM_MBUTTONDOWN) {
            ::SetFocus(hwnd);
            SetCapture(hwnd);
        } else if (msg == WM_LBUTTONUP || msg == WM_RBUTTONUP || msg == WM_MBUTTONUP) {
            ReleaseCapture();
        }
        FireMouse(msg, static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam)),
                  static_cast<unsigned>(wParam) & 0x1F);
        return 0;
    case WM_MOUSEWHEEL: {
        POINT pt{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
        ScreenToClient(hwnd, &pt);
        FireWheel(pt.x, pt.y, static_cast<short>(HIWORD(wParam)), LOWORD(wParam) & 0x1F);
        return 0;
    }
    case WM_KEYDOWN:
    case WM_KEYUP: {
        unsigned flags = ((lParam >> 30) & 1 ? 0x4000 : 0) | ((lParam >> 24) & 1 ? 0x0100 : 0);
        FireKey(msg == WM_KEYDOWN, static_cast<unsigned>(wParam), flags);
        return 0;
    }
    case WM_CHAR:
        FireChar(static_cast<unsigned>(wParam), (lParam >> 30) & 1 ? 0x4000 : 0);
        return 0;
    case WM_SETCURSOR:
        if (LOWORD(lParam) == HTCLIENT) {
            static const LPCWSTR kCursors[] = {IDC_ARROW, IDC_CROSS, IDC_HAND, IDC_IBEAM, IDC_WAIT, IDC_HELP,
                                               IDC_SIZEWE, IDC_SIZENS, IDC_SIZENESW, IDC_SIZENWSE, IDC_SIZENS,
                                               IDC_SIZENWSE, IDC_SIZENESW, IDC_SIZEWE, IDC_SIZENS, IDC_SIZEWE,
                                               IDC_SIZEALL, IDC_SIZEALL, IDC_SIZEWE, IDC_SIZENS};
            int type = m_cursor >= 0 && m_cursor < 20 ? m_cursor : 0;
            ::SetCursor(LoadCursorW(nullptr, kCursors[type]));
            return TRUE;
        }
        break;
    case WM_SETFOCUS:
        SetFocus(true);
        return 0;
    case WM_KILLFOCUS:
        SetFocus(false);
        return 0;
    case WM_CLOSE:
        if (onWindowClosing.fn && !onWindowClosing.fn(Handle(), onWindowClosing.param)) return 0;
        if (Engine* engine = Engine::Get()) engine->DestroyView(this);
        return 0;
    default:
        break;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
}

void WebView::Show(bool show) {
    if (m_window) ShowWindow(m_window, show ? SW_SHOW : SW_HIDE);
}

void WebView::MoveToCenter() {
    if (!m_window) return;
    RECT rect{};
    GetWindowRect(m_window, &rect);
    RECT area{};
    HWND parent = GetParent(m_window);
    if (parent && (GetWindowLongW(m_window, GWL_STYLE) & WS_CHILD)) {
        GetClientRect(parent, &area);
    } else {
        MONITORINFO monitor{};
        monitor.cbSize = sizeof monitor;
        GetMonitorInfoW(MonitorFromWindow(m_window, MONITOR_DEFAULTTONEAREST), &monitor);
        area = monitor.rcWork;
    }
    const int w = rect.right - rect.left;
    const int h = rect.bottom - rect.top;
    SetWindowPos(m_window, nullptr, area.left + (area.right - area.left - w) / 2, area.top + (area.bottom - area.top - h) / 2,
                 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void WebView::SetHostWindow(HWND hwnd) {
    // A caller that names another window as the view's own paints and feeds it itself.
    if (m_window && hwnd != m_window) DestroyOwnWindow();
    m_host = hwnd;
}

void WebView::SetTitle(const std::wstring& title) {
    if (m_window) SetWindowTextW(m_window, title.c_str());
}

void WebView::SetTransparent(bool transparent) {
    Json params = Json::Object();
    if (transparent) {
        Json color = Json::Object();
        color.Set("r", 0).Set("g", 0).Set("b", 0).Set("a", 0);
        params.Set("color", color);
    }
    Send("Emulation.setDefaultBackgroundColorOverride", params);
}

void WebView::Resize(int width, int height) {
    if (width <= 0 || height <= 0 || width > 8192 || height > 8192) return;
    m_width = width;
    m_height = height;
    Json metrics = Json::Object();
    metrics.Set("width", width).Set("height", height).Set("deviceScaleFactor", 1).Set("mobile", false);
    Send("Emulation.setDeviceMetricsOverride", metrics);
}

void WebView::SetUserAgent(const std::string& userAgent) {
    m_userAgent = userAgent;
    ApplyUserAgent();
}

void WebView::SetLanguage(const std::string& language) {
    m_language = language;
    ApplyUserAgent();
    if (!language.empty()) {
        Json locale = Json::Object();
        locale.Set("locale", language);
        Send("Emulation.setLocaleOverride", locale);
    }
}

void WebView::ApplyUserAgent() {
    Json params = Json::Object();
    params.Set("userAgent", m_userAgent.empty() ? m_engine.DefaultUserAgent() : m_userAgent);
    if (!m_language.empty()) params.Set("acceptLanguage", m_language);
    Send("Emulation.setUserAgentOverride", params);
}

void WebView::SetCspCheck(bool enable) {
    Json params = Json::Object();
    params.Set("enabled", !enable);
    Send("Page.setBypassCSP", params);
}

void WebView::LoadUrl(const std::string& url) {
    if (m_destroyed) return;
    if (!m_pageRunning) {
        m_pendingLoads.push_back(url);
        return;
    }
    m_engine.Gate().ForgetRequested(m_session);
    Json params = Json::Object();
    params.Set("url", url.empty() ? std::string("about:blank") : url);
    WebView* self = this;
    Engine* engine = &m_engine;
    wkeWebView handle = Handle();
    m_engine.Cdp().SendWithReply("Page.navigate", params, m_session, [self, engine, handle, url](const Json& result) {
        // A refused address never reaches the network, so no network failure reports it.
        if (!result.IsNull() || engine->Find(handle) != self) return;
        self->RaiseLoadingFinish(url, WKE_LOADING_FAILED, "net::ERR_INVALID_URL", self->m_targetId);
    });
}

// ---- painting -----------------------------------------------------------------------------

void WebView::ApplyFrame(const DecodedFrame& frame, int ackId) {
    if (m_destroyed) return;
    RECT changed = m_frame.Update(frame);
    // The acknowledgement asks for the next frame: the browser never runs ahead of this thread.
    Json ack = Json::Object();
    ack.Set("sessionId", ackId);
    Send("Page.screencastFrameAck", ack);
    if (IsRectEmpty(&changed)) return;
    if (m_window) InvalidateRect(m_window, &changed, FALSE);
    if (onPaint.fn)
        onPaint.fn(Handle(), onPaint.param, m_frame.Dc(), changed.left, changed.top, changed.right - changed.left,
                   changed.bottom - changed.top);
}

// ---- input --------------------------------------------------------------------------------

bool WebView::FireMouse(unsigned message, int x, int y, unsigned flags) {
    Json params;
    if (!MouseEventParams(message, x, y, flags, m_lastClickCount, params)) return false;
    Send("Input.dispatchMouseEvent", params);
    const bool press = params["type"].AsString() == "mousePressed";
    RefreshCaretAndCursor(x, y, !press);
    return true;
}

bool WebView::FireWheel(int x, int y, int delta, unsigned flags) {
    Send("Input.dispatchMouseEvent", WheelEventParams(x, y, delta, flags));
    return true;
}

static int KeyboardModifiers() {
    int modifiers = 0;
    if (GetKeyState(VK_SHIFT) < 0) modifiers |= kModShift;
    if (GetKeyState(VK_CONTROL) < 0) modifiers |= kModCtrl;
    if (GetKeyState(VK_MENU) < 0) modifiers |= kModAlt;
    return modifiers;
}

bool WebView::FireKey(bool down, unsigned virtualKey, unsigned flags) {
    if (virtualKey == 0 || virtualKey > 0xFE) return false;
    Send("Input.dispatchKeyEvent", KeyEventParams(down ? "rawKeyDown" : "keyUp", virtualKey, flags, KeyboardModifiers()));
    if (!down) RefreshCaretAndCursor(0, 0, false);
    return true;
}

bool WebView::FireChar(unsigned charCode, unsigned flags) {
    if (charCode >= 0xD800 && charCode < 0xDC00) {  // the first half of a pair: wait for the second
        m_highSurrogate = static_cast<wchar_t>(charCode);
        return true;
    }
    wchar_t text[3] = {0, 0, 0};
    if (charCode >= 0xDC00 && charCode < 0xE000 && m_highSurrogate) {
        text[0] = m_highSurrogate;
        text[1] = static_cast<wchar_t>(charCode);
    } else if (charCode > 0 && charCode < 0x10000) {
        text[0] = static_cast<wchar_t>(charCode);
    } else {
        return false;
    }
    m_highSurrogate = 0;
    Send("Input.dispatchKeyEvent", CharEventParams(ToUtf8(text), flags, KeyboardModifiers()));
    return true;
}

bool WebView::FireContextMenu(int x, int y, unsigned flags) {
    // Headless pages have no menu of their own; the page still gets its contextmenu event.
    char script[384];
    std::snprintf(script, sizeof script,
                  "(function(){var e=document.elementFromPoint(%d,%d)||document.body;if(e)e.dispatchEvent(new "
                  "MouseEvent('contextmenu',{bubbles:true,cancelable:true,clientX:%d,clientY:%d,button:2,"
                  "shiftKey:%s,ctrlKey:%s}));})()",
                  x, y, x, y, (flags & MK_SHIFT) ? "true" : "false", (flags & MK_CONTROL) ? "true" : "false");
    Json params = Json::Object();
    params.Set("expression", script).Set("userGesture", true);
    Send("Runtime.evaluate", params);
    return true;
}

void WebView::SetFocus(bool focused) {
    Json params = Json::Object();
    params.Set("enabled", focused);
    Send("Emulation.setFocusEmulationEnabled", params);
}

void WebView::RefreshCaretAndCursor(int x, int y, bool withCursor) {
    // The browser does not announce caret or cursor changes, so ask the page after input and keep
    // the answers for the synchronous getters. One cursor question at a time keeps mouse moves cheap.
    if (!Attached()) return;
    Engine* engine = &m_engine;
    wkeWebView handle = Handle();
    Json caret = Json::Object();
    caret.Set("expression", kCaretScript).Set("returnByValue", true);
    m_engine.Cdp().SendWithReply("Runtime.evaluate", caret, m_session, [engine, handle](const Json& result) {
        WebView* view = engine->Find(handle);
        if (!view) return;
        const std::string& text = result["result"]["value"].AsString();
        wkeRect rect{0, 0, 0, 0};
        if (sscanf(text.c_str(), "%d,%d,%d,%d", &rect.x, &rect.y, &rect.w, &rect.h) == 4) view->m_caret = rect;
    });
    if (!withCursor || m_cursorQueryInFlight) return;
    m_cursorQueryInFlight = true;
    Json cursor = Json::Object();
    cursor.Set("expression", CursorScript(x, y)).Set("returnByValue", true);
    m_engine.Cdp().SendWithReply("Runtime.evaluate", cursor, m_session, [engine, handle](const Json& result) {
        WebView* view = engine->Find(handle);
        if (!view) return;
        view->m_cursorQueryInFlight = false;
        const std::string& text = result["result"]["value"].AsString();
        size_t first = text.rfind(',', text.size() >= 2 ? text.size() - 3 : 0);
        if (text.size() < 5 || first == std::string::npos) return;
        view->m_cursor = CursorTypeFromCss(text.substr(0, first), text[text.size() - 3] == '1', text.back() == '1');
    });
}

// ---- script -------------------------------------------------------------------------------

int64_t WebView::RunScript(const std::string& script) {
    // A script asked for before the browser is up waits for it, as the caller waits for the answer.
    if (!Attached()) m_engine.EnsureConnected();
    if (m_destroyed || !Attached()) return 0;
    Json params = Json::Object();
    params.Set("expression", script).Set("userGesture", true);
    Json result;
    if (!m_engine.Cdp().Call("Runtime.evaluate", params, m_session, Engine::kScriptTimeoutMs, &result)) return 0;
    const Json& remote = result["result"];
    if (remote.Has("objectId")) {
        Json release = Json::Object();
        release.Set("objectId", remote["objectId"].AsString());
        Send("Runtime.releaseObject", release);
    }
    if (result.Has("exceptionDetails")) return 0;
    return m_engine.Values().Add(ValueFromRemoteObject(remote));
}

int64_t WebView::CallGlobal(const ScriptValue& function, const std::vector<const ScriptValue*>& args) {
    std::string list;
    for (const ScriptValue* arg : args) {
        if (!list.empty()) list += ',';
        list += arg ? ScriptLiteral(*arg) : "undefined";
    }
    const std::string script = "(function(f,a){return typeof f==='function'?f.apply(globalThis,a):undefined;})(" +
                               ScriptLiteral(function) + ",[" + list + "])";
    return RunScript(script);
}

std::wstring WebView::TextOf(const ScriptValue& value) {
    if (value.kind != ScriptValue::Kind::Global) return ValueText(value);
    const ScriptValue* text = m_engine.Values().Find(RunScript("String(" + ScriptLiteral(value) + ")"));
    return text ? ValueText(*text) : std::wstring(L"undefined");
}

// ---- events -------------------------------------------------------------------------------

wkeWebFrameHandle WebView::FrameHandle(const std::string& frameId) {
    auto it = std::find(m_frameIds.begin(), m_frameIds.end(), frameId);
    size_t index = static_cast<size_t>(it - m_frameIds.begin());
    if (it == m_frameIds.end()) m_frameIds.push_back(frameId);
    return reinterpret_cast<wkeWebFrameHandle>(static_cast<uintptr_t>(index + 1));
}

bool WebView::IsMainFrame(wkeWebFrameHandle frame) const {
    const uintptr_t index = reinterpret_cast<uintptr_t>(frame);
    return index >= 1 && index <= m_frameIds.size() && m_frameIds[index - 1] == m_targetId;
}

void WebView::EnterCallback(const std::string& frameId, const std::string& url) {
    m_tempUrl = url;
    m_tempInfo.frame = FrameHandle(frameId);
    m_tempInfo.url = m_tempUrl.c_str();
}

void WebView::LeaveCallback() {
    m_tempInfo.frame = nullptr;
    m_tempInfo.url = nullptr;
}

void WebView::OnEvent(const std::string& method, const Json& params) {
    if (m_destroyed) return;
    if (method == "Page.frameNavigated") {
        OnFrameNavigated(params["frame"]);
    } else if (method == "Page.navigatedWithinDocument") {
        Json frame = Json::Object();
        frame.Set("id", params["frameId"].AsString()).Set("url", params["url"].AsString());
        if (params["frameId"].AsString() != m_targetId) frame.Set("parentId", m_targetId);
        OnFrameNavigated(frame);
    } else if (method == "Page.windowOpen") {
        OnWindowOpen(params);
    } else if (method == "Page.javascriptDialogOpening") {
        OnDialog(params);
    } else if (method == "Page.domContentEventFired") {
        if (!onDocumentReady.fn) return;
        EnterCallback(m_targetId, m_url);
        onDocumentReady.fn(Handle(), onDocumentReady.param);
        LeaveCallback();
    } else if (method == "Page.loadEventFired") {
        if (m_mainLoadFailed) return;  // the error page's load is not the page's success
        RaiseLoadingFinish(m_url, WKE_LOADING_SUCCEEDED, "", m_targetId);
    } else if (method == "Network.requestWillBeSent") {
        const std::string& url = params["request"]["url"].AsString();
        if (params["type"].AsString() == "Document") {
            if (m_documentRequests.size() > 256) m_documentRequests.clear();
            m_documentRequests[params["requestId"].AsString()] = {url, params["frameId"].AsString()};
            if (params["frameId"].AsString() == m_targetId) m_mainLoadFailed = false;
        }
        if (onLoadUrlBegin.fn) {
            EnterCallback(params["frameId"].AsString(), url);
            onLoadUrlBegin.fn(Handle(), onLoadUrlBegin.param, url.c_str(), nullptr);
            LeaveCallback();
        }
    } else if (method == "Network.loadingFinished") {
        m_documentRequests.erase(params["requestId"].AsString());
    } else if (method == "Network.loadingFailed") {
        OnLoadingFailed(params);
    } else if (method == "Runtime.consoleAPICalled") {
        OnConsoleApi(params);
    } else if (method == "Runtime.exceptionThrown") {
        OnException(params);
    } else if (method == "Runtime.bindingCalled") {
        OnBindingCalled(params);
    } else if (method == "Runtime.executionContextCreated") {
        OnContextCreated(params["context"]);
    } else if (method == "Runtime.executionContextDestroyed") {
        m_contextFrames.erase(params["executionContextId"].AsInt());
    } else if (method == "Runtime.executionContextsCleared") {
        m_contextFrames.clear();
    } else if (method == "Page.frameDetached") {
        m_frameUrls.erase(params["frameId"].AsString());
    } else if (method == "Inspector.targetCrashed") {
        // The page is gone; the next load brings a new renderer.
        RaiseLoadingFinish(m_url, WKE_LOADING_FAILED, "the page's renderer ended", m_targetId);
    }
}

void WebView::OnFrameNavigated(const Json& frame) {
    const std::string& id = frame["id"].AsString();
    const std::string url = frame["url"].AsString() + frame["urlFragment"].AsString();
    if (id == m_targetId) m_url = url;
    // Frames go with Page.frameDetached; past the bound a new frame stays unknown, and so
    // untrusted, while the frames already known keep their place.
    if (m_frameUrls.size() < kMaxTrackedFrames || m_frameUrls.count(id)) m_frameUrls[id] = url;
    if (!onUrl.fn) return;
    CallbackString text(m_engine, url);
    EnterCallback(id, url);
    onUrl.fn(Handle(), onUrl.param, text);
    LeaveCallback();
}

void WebView::SetNavigationHandler(wkeNavigationCallback callback, void* param) {
    m_onNavigation = {callback, param};
    if (Attached()) m_engine.Gate().SetJudged(m_session, callback != nullptr);
}

void WebView::JudgeNavigation(const Json& params, const std::string& reason) {
    if (m_destroyed) return;
    Json answer = Json::Object();
    answer.Set("requestId", params["requestId"].AsString());
    bool proceed = true;
    if (m_onNavigation.fn) {
        const std::string url = params["request"]["url"].AsString();
        CallbackString text(m_engine, url);
        wkeWebView handle = Handle();
        EnterCallback(m_targetId, url);
        proceed = m_onNavigation.fn(handle, m_onNavigation.param, NavigationTypeOf(reason), text);
        if (m_engine.Find(handle) != this) return;
        LeaveCallback();
    }
    if (proceed) {
        Send("Fetch.continueRequest", answer);
    } else {
        answer.Set("errorReason", "Aborted");
        Send("Fetch.failRequest", answer);
    }
}

void WebView::OnWindowOpen(const Json& params) {
    const std::string url = params["url"].AsString();
    const wkeWindowFeatures features = ParseFeatures(params["windowFeatures"]);
    // The browser does not say whether a link or a script asked; a window opened by the user's
    // action without a size or position of its own is what a target=_blank link gives.
    const wkeNavigationType type = params["userGesture"].AsBool() && features.width == 0 && features.height == 0 &&
                                           features.x == 0 && features.y == 0
                                       ? WKE_NAVIGATION_TYPE_LINKCLICK
                                       : WKE_NAVIGATION_TYPE_OTHER;
    if (!onCreateView.fn) {
        // Without a handler the page stays a single window: the address opens in this view.
        LoadUrl(url);
        return;
    }
    CallbackString text(m_engine, url);
    EnterCallback(m_targetId, url);
    wkeWebView created = onCreateView.fn(Handle(), onCreateView.param, type, text, &features);
    if (m_engine.Find(Handle()) == this) LeaveCallback();
    if (WebView* target = m_engine.Find(created)) target->LoadUrl(url);
}

void WebView::OnDialog(const Json& params) {
    const std::string& type = params["type"].AsString();
    if (type == "alert" && onAlert.fn) {
        CallbackString text(m_engine, params["message"].AsString());
        wkeWebView handle = Handle();
        EnterCallback(m_targetId, params["url"].AsString());
        onAlert.fn(handle, onAlert.param, text);
        if (m_engine.Find(handle) != this) return;
        LeaveCallback();
    }
    // Confirmations and prompts have no handler in this interface; they get the default answer.
    Json answer = Json::Object();
    answer.Set("accept", true);
    if (type == "prompt") answer.Set("promptText", params["defaultPrompt"].AsString());
    Send("Page.handleJavaScriptDialog", answer);
}

void WebView::OnConsoleApi(const Json& params) {
    if (!onConsole.fn) return;
    const std::string& type = params["type"].AsString();
    wkeConsoleLevel level = WKE_CONSOLE_LEVEL_LOG;
    if (type == "warning") level = WKE_CONSOLE_LEVEL_WARNING;
    else if (type == "error" || type == "assert") level = WKE_CONSOLE_LEVEL_ERROR;
    else if (type == "debug") level = WKE_CONSOLE_LEVEL_DEBUG;
    else if (type == "info") level = WKE_CONSOLE_LEVEL_INFO;
    const Json& top = params["stackTrace"]["callFrames"].At(0);
    CallbackString message(m_engine, ConsoleText(params["args"]));
    CallbackString source(m_engine, top["url"].AsString());
    CallbackString stack(m_engine, StackText(params["stackTrace"]));
    EnterCallback(m_targetId, m_url);
    onConsole.fn(Handle(), onConsole.param, level, message, source, static_cast<unsigned>(top["lineNumber"].AsInt() + 1),
                 stack);
    LeaveCallback();
}

void WebView::OnException(const Json& params) {
    if (!onConsole.fn) return;
    const Json& details = params["exceptionDetails"];
    std::string text = details["exception"]["description"].AsString();
    if (text.empty()) text = details["text"].AsString();
    CallbackString message(m_engine, text);
    CallbackString source(m_engine, details["url"].AsString());
    CallbackString stack(m_engine, StackText(details["stackTrace"]));
    EnterCallback(m_targetId, m_url);
    onConsole.fn(Handle(), onConsole.param, WKE_CONSOLE_LEVEL_ERROR, message, source,
                 static_cast<unsigned>(details["lineNumber"].AsInt() + 1), stack);
    LeaveCallback();
}

void WebView::OnLoadingFailed(const Json& params) {
    auto request = m_documentRequests.find(params["requestId"].AsString());
    if (request == m_documentRequests.end()) return;
    const std::string url = request->second.first;
    const std::string frameId = request->second.second;
    m_documentRequests.erase(request);
    const std::string& error = params["errorText"].AsString();
    const bool canceled = params["canceled"].AsBool() || error == "net::ERR_ABORTED";
    if (frameId == m_targetId && !canceled) m_mainLoadFailed = true;
    RaiseLoadingFinish(url, canceled ? WKE_LOADING_CANCELED : WKE_LOADING_FAILED, error, frameId);
}

void WebView::RaiseLoadingFinish(const std::string& url, wkeLoadingResult result, const std::string& reason,
                                 const std::string& frameId) {
    if (!onLoadingFinish.fn) return;
    CallbackString urlText(m_engine, url);
    CallbackString reasonText(m_engine, reason);
    wkeWebView handle = Handle();
    EnterCallback(frameId, url);
    onLoadingFinish.fn(handle, onLoadingFinish.param, urlText, result, reasonText);
    if (m_engine.Find(handle) == this) LeaveCallback();
}

void WebView::OnBindingCalled(const Json& params) {
    if (params["name"].AsString() != kNativeBindingName) return;
    const std::string& payload = params["payload"].AsString();
    if (payload.size() > 4 * 1024 * 1024) return;
    Json call = Json::Parse(payload.data(), payload.size());
    if (call["k"].AsString() == "title") {
        OnTitle(call["v"].AsString());
        return;
    }
    auto binding = m_engine.Bindings().find(call["n"].AsString());
    if (binding == m_engine.Bindings().end() || !binding->second) return;
    ExecState state;
    state.view = this;
    const Json& args = call["a"];
    for (size_t i = 0; i < args.Size() && i < 64; ++i) state.args.push_back(m_engine.Values().Add(ValueFromArgument(args.At(i))));
    // The browser names the script context that called; the payload, written by the page, is not
    // trusted to say where it came from. A context not known as a frame's own leaves no caller.
    auto context = m_contextFrames.find(params["executionContextId"].AsInt());
    auto frameUrl = context == m_contextFrames.end() ? m_frameUrls.end() : m_frameUrls.find(context->second);
    if (frameUrl != m_frameUrls.end()) {
        state.callerUrl = Wide(frameUrl->second);
        state.callerName = binding->first;
        state.caller.size = sizeof state.caller;
        state.caller.webView = Handle();
        state.caller.frame = FrameHandle(context->second);
        state.caller.isMainFrame = context->second == m_targetId;
        state.caller.url = state.callerUrl.c_str();
        state.caller.name = state.callerName.c_str();
        EnterCallback(context->second, frameUrl->second);
    } else {
        EnterCallback(m_targetId, m_url);
    }
    wkeWebView handle = Handle();
    binding->second(reinterpret_cast<jsExecState>(&state));
    if (m_engine.Find(handle) == this) LeaveCallback();
}

void WebView::OnContextCreated(const Json& context) {
    // Only the page's own script world counts: isolated worlds are not the page.
    const Json& aux = context["auxData"];
    if (!aux["isDefault"].AsBool() || aux["frameId"].AsString().empty()) return;
    if (m_contextFrames.size() < kMaxTrackedFrames) m_contextFrames[context["id"].AsInt()] = aux["frameId"].AsString();
}

void WebView::OnTitle(const std::string& title) {
    if (title == m_title) return;
    m_title = title;
    if (!onTitle.fn) return;
    CallbackString text(m_engine, title);
    wkeWebView handle = Handle();
    EnterCallback(m_targetId, m_url);
    onTitle.fn(handle, onTitle.param, text);
    if (m_engine.Find(handle) == this) LeaveCallback();
}

void WebView::OnDownload(const std::string& url) {
    if (m_destroyed || !onDownload.fn) return;
    EnterCallback(m_targetId, url);
    wkeWebView handle = Handle();
    onDownload.fn(handle, onDownload.param, url.c_str());
    if (m_engine.Find(handle) == this) LeaveCallback();
}

int WebView::RequestFavicon(wkeNetGetFaviconCallback callback, void* param) {
    if (!callback || m_destroyed || !Attached()) return 0;
    // The page fetches its own icon, so cookies and the user agent are those of the page.
    static const char kScript[] =
        "(async function(){var l=document.querySelector('link[rel~=\"icon\"]');"
        "var u=l&&l.href?l.href:new URL('/favicon.ico',location.href).href;"
        "var r=await fetch(u);if(!r.ok)return null;var b=new Uint8Array(await r.arrayBuffer());"
        "if(b.length>1048576)return null;var s='';for(var i=0;i<b.length;i++)s+=String.fromCharCode(b[i]);"
        "return [u,btoa(s)];})()";
    Json params = Json::Object();
    params.Set("expression", kScript).Set("awaitPromise", true).Set("returnByValue", true);
    Engine* engine = &m_engine;
    wkeWebView handle = Handle();
    m_engine.Cdp().SendWithReply("Runtime.evaluate", params, m_session, [engine, handle, callback, param](const Json& result) {
        WebView* view = engine->Find(handle);
        const Json& value = result["result"]["value"];
        std::string bytes;
        if (!view || !value.IsArray() || !DecodeBase64(value.At(1).AsString(), bytes) || bytes.empty()) return;
        const std::string url = value.At(0).AsString();
        wkeMemBuf buf{};
        buf.size = sizeof buf;
        buf.data = &bytes[0];
        buf.length = bytes.size();
        view->EnterCallback(view->m_targetId, url);
        callback(handle, param, url.c_str(), &buf);
        if (engine->Find(handle) == view) view->LeaveCallback();
    });
    return 1;
}
