// An in-process stand-in for the web engine, for tests of the code that drives it.
//
// InstallFakeWebEngine points every process-wide entry point of platform/wke.h at the stand-in.
// It then records every call with its decoded arguments, keeps what each view was told (settings,
// handlers, last load) and lets a test raise the engine's events and call bound script functions.
// Everything runs on the calling thread, as the real engine delivers its events on the UI thread.
#pragma once

#include "platform/wke.h"

#include <stdint.h>

#include <functional>
#include <map>
#include <optional>
#include <string>
#include <vector>

// Fills every entry point of wke.h (wkeInitializeEx included) and marks the engine as loaded.
void InstallFakeWebEngine();

// Forgets every call, view, string, binding and answer; windows of views are destroyed.
void ResetFakeWebEngine();

namespace wkefake {

// One decoded argument of a recorded call.
struct Arg {
    enum Kind { Null, Int, Bool, Pointer, Narrow, Wide };
    Kind kind = Null;
    int64_t number = 0;    // Int, Bool (0 or 1), Pointer (the address)
    std::string narrow;    // Narrow: the bytes as passed (UTF-8 or ANSI, as the entry point takes)
    std::wstring wide;     // Wide
};

// One call the code under test made into the engine.
struct Call {
    std::string name;
    wkeWebView view = nullptr;      // the view the call names, null when it names none
    bool onDestroyedView = false;   // that view had already been destroyed: the call did nothing
    std::vector<Arg> args;          // the arguments after the view

    const std::wstring& Wide(size_t i) const { return args.at(i).wide; }
    const std::string& Narrow(size_t i) const { return args.at(i).narrow; }
    int64_t Int(size_t i) const { return args.at(i).number; }
    bool Bool(size_t i) const { return args.at(i).number != 0; }
    const void* Pointer(size_t i) const {
        return reinterpret_cast<const void*>(static_cast<intptr_t>(args.at(i).number));
    }
};

// A handler registered by one of the wkeOn* calls (or wkeNetGetFavicon).
struct Handler {
    void* function = nullptr;
    void* param = nullptr;
};

// What the engine knows about one view.
struct View {
    int number = 0;                   // 1 for the first view created since the last reset, and so on
    bool destroyed = false;
    bool isWindow = false;            // made by wkeCreateWebWindow rather than wkeCreateWebView
    int windowType = -1;              // as given to wkeCreateWebWindow
    HWND parent = nullptr;            // as given to wkeCreateWebWindow
    RECT createRect{};                // x, y, x + width, y + height as given to wkeCreateWebWindow
    HWND hostWindow = nullptr;        // the real window of a web window (hidden once another is named)
    HWND handle = nullptr;            // from wkeSetHandle; wkeGetHostHWND gives it once it names another
    std::string userAgent, language, name, title;  // narrow texts as passed
    std::wstring titleW;              // from wkeSetWindowTitleW
    std::optional<bool> cspCheck, npapi, transparent, shown;
    int width = 0, height = 0;        // from wkeResize
    std::wstring lastUrl, lastFile;   // from wkeLoadURLW, wkeLoadFileW
    std::map<std::string, Handler> handlers;  // by registration name, e.g. "wkeOnNavigation"
};

// A script value handed to or returned by the page side.
struct JsValue {
    enum Kind { Undefined, String, Number };
    Kind kind = Undefined;
    std::wstring text;
    double number = 0;

    static JsValue Str(std::wstring t) { return {String, std::move(t), 0}; }
    static JsValue Num(double n) { return {Number, std::wstring(), n}; }
};

// --- calls ---
const std::vector<Call>& Calls();
std::vector<Call> CallsNamed(const std::string& name);
const Call* LastCall(const std::string& name);  // null when there was none
size_t CallCount(const std::string& name);

// --- views ---
std::vector<wkeWebView> Views();                 // in creation order, destroyed ones included
wkeWebView LastView();                           // null when none was created
const View* FindView(wkeWebView view);           // null for a handle the engine never gave out
const Handler* FindHandler(wkeWebView view, const std::string& registration);

// --- events raised on a view ---
// Each returns whether the event reached a handler (false: no handler, or the view was destroyed);
// the ones with an answer return it, or nothing when the event reached no handler.
bool RaiseDocumentReady(wkeWebView view);
bool RaiseTitleChanged(wkeWebView view, const std::wstring& title);
// wkeGetTempCallbackInfo and wkeIsMainFrame tell the handler which frame changed.
bool RaiseURLChanged(wkeWebView view, const std::wstring& url, bool mainFrame);
std::optional<bool> RaiseNavigation(wkeWebView view, wkeNavigationType type, const std::wstring& url);
std::optional<wkeWebView> RaiseCreateView(wkeWebView view, wkeNavigationType type,
                                          const std::wstring& url, const wkeWindowFeatures& features);
bool RaiseAlert(wkeWebView view, const std::wstring& message);
bool RaiseConsole(wkeWebView view, wkeConsoleLevel level, const std::wstring& message,
                  const std::wstring& source, unsigned line, const std::wstring& stackTrace);
// Hands the handler a memory DC of width x height holding pixel(x, y) (0xAARRGGBB) at each point.
bool RaisePaintUpdated(wkeWebView view, int width, int height,
                       const std::function<uint32_t(int x, int y)>& pixel, const RECT& dirty);
bool RaiseLoadingFinished(wkeWebView view, const std::wstring& url, wkeLoadingResult result,
                          const std::wstring& reason, bool mainFrame);
std::optional<bool> RaiseLoadUrlBegin(wkeWebView view, const std::string& url, wkeNetJob job);
std::optional<bool> RaiseDownload(wkeWebView view, const std::string& url);
std::optional<bool> RaiseWindowClosing(wkeWebView view);
// Answers the request wkeNetGetFavicon made last for the view (once); false when none is pending.
bool DeliverFavicon(wkeWebView view, const std::string& url, const std::vector<char>& bytes);

// --- script ---
// Who calls a bound function: what jsGetCallerInfo tells the native function.
struct Caller {
    wkeWebView view = nullptr;
    bool mainFrame = true;
    std::wstring url;
};
// The main frame of `view`, on the address the view was last told to load (wkeLoadURLW).
Caller MainFrameOf(wkeWebView view);
// Calls the native function bound under `name` (bindings are process-wide, as in the engine) as
// `caller` would; without a caller jsGetCallerInfo answers null, as an engine that cannot tell.
// Nothing when no function is bound under that name.
std::optional<JsValue> CallBound(const std::string& name, const std::vector<JsValue>& args,
                                 const std::optional<Caller>& caller);
std::optional<unsigned> BoundArgCount(const std::string& name);
// Defines a global function of the view's page that jsGetGlobal finds; jsCallGlobal returns
// `result` as a string, or undefined when it holds nothing. An undefined name reads as undefined.
void SetPageFunction(wkeWebView view, const std::string& name, std::optional<std::wstring> result);

// --- answers of the engine ---
void SetInputAnswer(bool handled);                 // every wkeFire*Event (default false)
void SetCaret(const wkeRect& caret);               // wkeGetCaretRect and wkeGetCaret
void SetCursorType(int type);                      // wkeGetCursorInfoType (default 0)
// What wkePaint writes at each point of the view's wkeResize size (default opaque white).
void SetPaintPixels(std::function<uint32_t(int x, int y)> pixel);

}  // namespace wkefake

// Installs the engine for a scope and resets it on the way out.
class ScopedFakeWebEngine {
public:
    ScopedFakeWebEngine() {
        ResetFakeWebEngine();
        InstallFakeWebEngine();
    }
    ~ScopedFakeWebEngine() { ResetFakeWebEngine(); }
    ScopedFakeWebEngine(const ScopedFakeWebEngine&) = delete;
    ScopedFakeWebEngine& operator=(const ScopedFakeWebEngine&) = delete;
};
