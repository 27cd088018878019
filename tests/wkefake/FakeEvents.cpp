// The test side of the stand-in engine: queries of what was called, and events raised on views.
#include "tests/wkefake/FakeEngineState.h"

#include "common/Handles.h"
#include "common/Dib.h"
#include "common/TextConv.h"

using namespace wkefake::detail;

void ResetFakeWebEngine() { ResetState(); }

namespace wkefake {
namespace {

// The live view's handler registered under `registration`, or null.
const Handler* LiveHandler(wkeWebView view, const char* registration) {
    ViewState* state = Live(view);
    if (!state) return nullptr;
    auto found = state->handlers.find(registration);
    return found != state->handlers.end() && found->second.function ? &found->second : nullptr;
}

template <typename Fn>
Fn As(const Handler* handler) {
    return reinterpret_cast<Fn>(handler->function);
}

// Makes wkeGetTempCallbackInfo describe the frame that raised the current event.
class CallbackFrame {
public:
    CallbackFrame(wkeWebView view, const std::wstring& url, bool mainFrame) : m_view(Live(view)) {
        m_view->callbackUrl = ToUtf8(url.c_str());
        m_view->callbackInfo.size = sizeof(wkeTempCallbackInfo);
        m_view->callbackInfo.frame = reinterpret_cast<wkeWebFrameHandle>(
            mainFrame ? &m_view->mainFrame : &m_view->subFrame);
        m_view->callbackInfo.url = m_view->callbackUrl.c_str();
    }
    ~CallbackFrame() {
        m_view->callbackInfo.frame = nullptr;
        m_view->callbackInfo.url = nullptr;
    }
    CallbackFrame(const CallbackFrame&) = delete;
    CallbackFrame& operator=(const CallbackFrame&) = delete;

private:
    ViewState* m_view;  // not owned; views live until the engine is reset
};

}  // namespace

const std::vector<Call>& Calls() { return CallLog(); }

std::vector<Call> CallsNamed(const std::string& name) {
    std::vector<Call> named;
    for (const Call& call : CallLog())
        if (call.name == name) named.push_back(call);
    return named;
}

const Call* LastCall(const std::string& name) {
    const auto& log = CallLog();
    for (auto it = log.rbegin(); it != log.rend(); ++it)
        if (it->name == name) return &*it;
    return nullptr;
}

size_t CallCount(const std::string& name) {
    size_t count = 0;
    for (const Call& call : CallLog()) count += call.name == name ? 1 : 0;
    return count;
}

std::vector<wkeWebView> Views() {
    std::vector<wkeWebView> views;
    for (auto& view : AllViews()) views.push_back(Handle(view.get()));
    return views;
}

wkeWebView LastView() { return AllViews().empty() ? nullptr : Handle(AllViews().back().get()); }

const View* FindView(wkeWebView view) { return Lookup(view); }

const Handler* FindHandler(wkeWebView view, const std::string& registration) {
    ViewState* state = Lookup(view);
    if (!state) return nullptr;
    auto found = state->handlers.find(registration);
    return found != state->handlers.end() ? &found->second : nullptr;
}

bool RaiseDocumentReady(wkeWebView view) {
    const Handler* handler = LiveHandler(view, "wkeOnDocumentReady");
    if (!handler) return false;
    As<wkeDocumentReadyCallback>(handler)(view, handler->param);
    return true;
}

bool RaiseTitleChanged(wkeWebView view, const std::wstring& title) {
    const Handler* handler = LiveHandler(view, "wkeOnTitleChanged");
    if (!handler) return false;
    As<wkeTitleChangedCallback>(handler)(view, handler->param, MakeString(title));
    return true;
}

bool RaiseURLChanged(wkeWebView view, const std::wstring& url, bool mainFrame) {
    const Handler* handler = LiveHandler(view, "wkeOnURLChanged");
    if (!handler) return false;
    CallbackFrame frame(view, url, mainFrame);
    As<wkeURLChangedCallback>(handler)(view, handler->param, MakeString(url));
    return true;
}

std::optional<bool> RaiseNavigation(wkeWebView view, wkeNavigationType type, const std::wstring& url) {
    const Handler* handler = LiveHandler(view, "wkeOnNavigation");
    if (!handler) return std::nullopt;
    return As<wkeNavigationCallback>(handler)(view, handler->param, type, MakeString(url));
}

std::optional<wkeWebView> RaiseCreateView(wkeWebView view, wkeNavigationType type,
                                          const std::wstring& url, const wkeWindowFeatures& features) {
    const Handler* handler = LiveHandler(view, "wkeOnCreateView");
    if (!handler) return std::nullopt;
    wkeWindowFeatures copy = features;
    return As<wkeCreateViewCallback>(handler)(view, handler->param, type, MakeString(url), &copy);
}

bool RaiseAlert(wkeWebView view, const std::wstring& message) {
    const Handler* handler = LiveHandler(view, "wkeOnAlertBox");
    if (!handler) return false;
    As<wkeAlertBoxCallback>(handler)(view, handler->param, MakeString(message));
    return true;
}

bool RaiseConsole(wkeWebView view, wkeConsoleLevel level, const std::wstring& message,
                  const std::wstring& source, unsigned line, const std::wstring& stackTrace) {
    const Handler* handler = LiveHandler(view, "wkeOnConsole");
    if (!handler) return false;
    As<wkeConsoleCallback>(handler)(view, handler->param, level, MakeString(message),
                                    MakeString(source), line, MakeString(stackTrace));
    return true;
}

bool RaisePaintUpdated(wkeWebView view, int width, int height,
                       const std::function<uint32_t(int x, int y)>& pixel, const RECT& dirty) {
    const Handler* handler = LiveHandler(view, "wkeOnPaintUpdated");
    if (!handler) return false;
    void* bits = nullptr;
    UniqueMemDC dc(CreateCompatibleDC(nullptr));
    UniqueBitmap bitmap = CreateTopDownDib(width, height, &bits);
    if (!dc.Get() || !bitmap) return false;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            static_cast<uint32_t*>(bits)[static_cast<size_t>(y) * width + x] = pixel(x, y);
    SelectedObject selected(dc.Get(), bitmap.Get());
    As<wkePaintUpdatedCallback>(handler)(view, handler->param, dc.Get(), dirty.left, dirty.top,
                                         dirty.right - dirty.left, dirty.bottom - dirty.top);
    return true;
}

bool RaiseLoadingFinished(wkeWebView view, const std::wstring& url, wkeLoadingResult result,
                          const std::wstring& reason, bool mainFrame) {
    const Handler* handler = LiveHandler(view, "wkeOnLoadingFinish");
    if (!handler) return false;
    CallbackFrame frame(view, url, mainFrame);
    As<wkeLoadingFinishCallback>(handler)(view, handler->param, MakeString(url), result,
                                          MakeString(reason));
    return true;
}

std::optional<bool> RaiseLoadUrlBegin(wkeWebView view, const std::string& url, wkeNetJob job) {
    const Handler* handler = LiveHandler(view, "wkeOnLoadUrlBegin");
    if (!handler) return std::nullopt;
    return As<wkeLoadUrlBeginCallback>(handler)(view, handler->param, url.c_str(), job);
}

std::optional<bool> RaiseDownload(wkeWebView view, const std::string& url) {
    const Handler* handler = LiveHandler(view, "wkeOnDownload");
    if (!handler) return std::nullopt;
    return As<wkeDownloadCallback>(handler)(view, handler->param, url.c_str());
}

std::optional<bool> RaiseWindowClosing(wkeWebView view) {
    const Handler* handler = LiveHandler(view, "wkeOnWindowClosing");
    if (!handler) return std::nullopt;
    return As<wkeWindowClosingCallback>(handler)(view, handler->param);
}

bool DeliverFavicon(wkeWebView view, const std::string& url, const std::vector<char>& bytes) {
    ViewState* state = Live(view);
    if (!state || !state->pendingFavicon.function) return false;
    Handler handler = std::exchange(state->pendingFavicon, Handler());
    std::vector<char> data = bytes;
    wkeMemBuf buffer{sizeof(wkeMemBuf), data.data(), data.size()};
    As<wkeNetGetFaviconCallback>(&handler)(view, handler.param, url.c_str(), &buffer);
    return true;
}

Caller MainFrameOf(wkeWebView view) {
    const View* state = FindView(view);
    return Caller{view, true, state ? state->lastUrl : std::wstring()};
}

std::optional<JsValue> CallBound(const std::string& name, const std::vector<JsValue>& args,
                                 const std::optional<Caller>& caller) {
    auto found = Bindings().find(name);
    if (found == Bindings().end() || !found->second.function) return std::nullopt;
    ExecState exec;
    for (const JsValue& arg : args) exec.args.push_back(MakeValue(arg));
    if (caller) {
        ViewState* view = Lookup(caller->view);
        exec.view = view;
        exec.callerUrl = caller->url;
        exec.callerName = name;
        exec.caller.size = sizeof exec.caller;
        exec.caller.webView = caller->view;
        exec.caller.frame = view ? reinterpret_cast<wkeWebFrameHandle>(caller->mainFrame ? &view->mainFrame
                                                                                            : &view->subFrame)
                                 : nullptr;
        exec.caller.isMainFrame = caller->mainFrame;
        exec.caller.url = exec.callerUrl.c_str();
        exec.caller.name = exec.callerName.c_str();
    }
    jsValue result = found->second.function(reinterpret_cast<jsExecState>(&exec));
    return ReadValue(result);
}

std::optional<unsigned> BoundArgCount(const std::string& name) {
    auto found = Bindings().find(name);
    if (found == Bindings().end()) return std::nullopt;
    return found->second.argCount;
}

void SetPageFunction(wkeWebView view, const std::string& name, std::optional<std::wstring> result) {
    if (ViewState* state = Lookup(view)) state->pageFunctions[name] = std::move(result);
}

void SetInputAnswer(bool handled) { CurrentAnswers().input = handled; }

void SetCaret(const wkeRect& caret) { CurrentAnswers().caret = caret; }

void SetCursorType(int type) { CurrentAnswers().cursor = type; }

void SetPaintPixels(std::function<uint32_t(int x, int y)> pixel) {
    CurrentAnswers().pixel = std::move(pixel);
}

}  // namespace wkefake
