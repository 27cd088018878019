// The stand-in engine's state, shared by its entry points, its test API and its command channel.
// Only the UI thread of the process that drives the engine touches it, so nothing is locked.
#pragma once

#include "tests/wkefake/FakeWebEngine.h"

#include <memory>

namespace wkefake::detail {

struct ExecState;

// A view as the engine keeps it; the handle given out is the address of this object.
struct ViewState : View {
    wkeTempCallbackInfo callbackInfo{};  // what wkeGetTempCallbackInfo answers
    std::string callbackUrl;             // keeps callbackInfo.url alive
    char mainFrame = 0;                  // its address is the main frame's handle
    char subFrame = 0;                   // its address is the handle of every other frame
    std::unique_ptr<ExecState> globalExec;
    std::map<std::string, std::optional<std::wstring>> pageFunctions;
    Handler pendingFavicon;
};

// A script execution state: the view's global one, or the one of a bound-function call with,
// when the test named one, its caller (caller.size is 0 otherwise).
struct ExecState {
    ViewState* view = nullptr;
    std::vector<jsValue> args;
    jsCallerInfo caller{};  // its texts point into the two members below
    std::wstring callerUrl;
    std::string callerName;
};

// An engine string; the handle given out is the address of this object.
struct EngineString {
    std::wstring text;
};

std::vector<Call>& CallLog();
std::vector<std::unique_ptr<ViewState>>& AllViews();  // in creation order
ViewState* Lookup(wkeWebView view);     // null for a handle the engine never gave out
ViewState* NewView();
wkeWebView Handle(ViewState* view);
std::string ViewLabel(wkeWebView view);  // "#3", "#0" for null, "#?" for a foreign handle

// Script values: an engine-wide table; jsValue is a tagged index into it.
jsValue MakeValue(const JsValue& value);
jsValue MakeFunctionValue(ViewState* view, const std::string& name);
JsValue ReadValue(jsValue value);                     // unknown values read as undefined
const std::string* FunctionName(jsValue value);       // null unless a page function
const std::wstring& KeepText(std::wstring text);      // text that lives until the next reset
std::wstring Describe(jsValue value);                 // for the call record

// Text in double quotes with backslash escapes, as the log file writes texts.
std::string Quote(const std::string& utf8);

// Builds the record of one call; the finished record goes to the call log (and the log file)
// when the recorder goes out of scope at the end of the entry point's statement.
class Recorder {
public:
    Recorder(const char* name, wkeWebView view, bool namesView);
    ~Recorder();
    Recorder(const Recorder&) = delete;
    Recorder& operator=(const Recorder&) = delete;

    Recorder& Int(int64_t value);
    Recorder& Bool(bool value);
    Recorder& Ptr(const void* value);
    Recorder& Narrow(const char* text);
    Recorder& Wide(const wchar_t* text);
    Recorder& Wide(const wchar_t* text, size_t length);
    Recorder& Value(jsValue value);

private:
    Recorder& Add(Arg::Kind kind, int64_t number);

    size_t m_index;    // into the call log; re-entrant calls append after it
    bool m_namesView;  // the log line carries the view's label
};

// Marks a call on a destroyed view: Record(...) gives the recorder, Live(...) the view to act on.
ViewState* Live(wkeWebView view);

// Settings of the answers (see FakeWebEngine.h).
struct Answers {
    bool input = false;
    wkeRect caret{};
    int cursor = 0;
    std::function<uint32_t(int, int)> pixel;
};
Answers& CurrentAnswers();

// Bound native functions, process-wide.
struct Binding {
    jsNativeFunction function = nullptr;
    unsigned argCount = 0;
};
std::map<std::string, Binding>& Bindings();

std::vector<std::unique_ptr<EngineString>>& Strings();
wkeString MakeString(const std::wstring& text);  // lives until wkeDeleteString or reset

// The log file named by ORVEL_FAKE_ENGINE_LOG, if any: one UTF-8 line per call, written at once.
void OpenLogFromEnvironment();
void WriteLogLine(const std::string& line);

// Forgets everything (see ResetFakeWebEngine).
void ResetState();

// The module that holds this code (the test executable or the engine DLL).
HINSTANCE ThisModule();

}  // namespace wkefake::detail
