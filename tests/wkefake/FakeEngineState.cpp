#include "tests/wkefake/FakeEngineState.h"

#include "common/Handles.h"
#include "common/TextConv.h"

#include <algorithm>
#include <cstdio>

namespace wkefake::detail {
namespace {

constexpr jsValue kValueTag = jsValue(0x5A17) << 40;
constexpr jsValue kIndexMask = (jsValue(1) << 40) - 1;

struct StoredValue {
    JsValue value;
    ViewState* functionView = nullptr;  // set for a page function
    std::string functionName;
};

struct EngineData {
    std::vector<Call> calls;
    std::vector<std::unique_ptr<ViewState>> views;
    std::vector<StoredValue> values;
    std::vector<std::unique_ptr<std::wstring>> keptTexts;
    std::vector<std::unique_ptr<EngineString>> strings;
    std::map<std::string, Binding> bindings;
    Answers answers;
    UniqueHandle logFile;
};

EngineData& Data() {
    static EngineData data;  // never destroyed before the engine's last use at process end
    return data;
}

std::string FormatArg(const Arg& arg) {
    char buffer[96];
    switch (arg.kind) {
        case Arg::Null: return "null";
        case Arg::Int: return std::to_string(arg.number);
        case Arg::Bool: return arg.number ? "true" : "false";
        case Arg::Pointer:
            std::snprintf(buffer, sizeof buffer, "0x%llx", static_cast<unsigned long long>(arg.number));
            return buffer;
        case Arg::Narrow: return Quote(arg.narrow);
        case Arg::Wide: return Quote(ToUtf8(arg.wide.c_str()));
    }
    return "?";
}

std::string FormatCall(const Call& call, bool namesView) {
    std::string line = call.name;
    if (namesView) line += " " + ViewLabel(call.view);
    if (call.onDestroyedView) line += " (destroyed)";
    for (const Arg& arg : call.args) line += " " + FormatArg(arg);
    return line;
}

}  // namespace

std::string Quote(const std::string& utf8) {
    std::string out = "\"";
    for (char c : utf8) {
        switch (c) {
            case '"': out += "\\\""; break;
            case '\\': out += "\\\\"; break;
            case '\n': out += "\\n"; break;
            case '\r': out += "\\r"; break;
            case '\t': out += "\\t"; break;
            default: out += c;
        }
    }
    return out + "\"";
}

std::vector<Call>& CallLog() { return Data().calls; }

std::vector<std::unique_ptr<ViewState>>& AllViews() { return Data().views; }

ViewState* Lookup(wkeWebView view) {
    for (auto& candidate : Data().views)
        if (Handle(candidate.get()) == view) return candidate.get();
    return nullptr;
}

ViewState* NewView() {
    auto view = std::make_unique<ViewState>();
    view->number = static_cast<int>(Data().views.size()) + 1;
    view->globalExec = std::make_unique<ExecState>();
    view->globalExec->view = view.get();
    Data().views.push_back(std::move(view));
    return Data().views.back().get();
}

wkeWebView Handle(ViewState* view) { return reinterpret_cast<wkeWebView>(view); }

std::string ViewLabel(wkeWebView view) {
    if (!view) return "#0";
    ViewState* state = Lookup(view);
    return state ? "#" + std::to_string(state->number) : "#?";
}

jsValue MakeValue(const JsValue& value) {
    Data().values.push_back({value, nullptr, std::string()});
    return kValueTag | static_cast<jsValue>(Data().values.size() - 1);
}

jsValue MakeFunctionValue(ViewState* view, const std::string& name) {
    Data().values.push_back({JsValue(), view, name});
    return kValueTag | static_cast<jsValue>(Data().values.size() - 1);
}

namespace {
const StoredValue* Find(jsValue value) {
    if ((value & ~kIndexMask) != kValueTag) return nullptr;
    size_t index = static_cast<size_t>(value & kIndexMask);
    return index < Data().values.size() ? &Data().values[index] : nullptr;
}
}  // namespace

JsValue ReadValue(jsValue value) {
    const StoredValue* stored = Find(value);
    return stored && !stored->functionView ? stored->value : JsValue();
}

const std::string* FunctionName(jsValue value) {
    const StoredValue* stored = Find(value);
    return stored && stored->functionView ? &stored->functionName : nullptr;
}

const std::wstring& KeepText(std::wstring text) {
    Data().keptTexts.push_back(std::make_unique<std::wstring>(std::move(text)));
    return *Data().keptTexts.back();
}

std::wstring Describe(jsValue value) {
    if (const std::string* name = FunctionName(value))
        return L"function " + Utf8ToWide(name->data(), name->size());
    JsValue read = ReadValue(value);
    switch (read.kind) {
        case JsValue::String: return read.text;
        case JsValue::Number: {
            wchar_t buffer[64];
            std::swprintf(buffer, 64, L"%g", read.number);
            return buffer;
        }
        case JsValue::Undefined: break;
    }
    return L"undefined";
}

Recorder::Recorder(const char* name, wkeWebView view, bool namesView) : m_namesView(namesView) {
    Call call;
    call.name = name;
    call.view = view;
    if (namesView) {
        ViewState* state = Lookup(view);
        call.onDestroyedView = state && state->destroyed;
    }
    m_index = Data().calls.size();
    Data().calls.push_back(std::move(call));
}

Recorder::~Recorder() { WriteLogLine(FormatCall(Data().calls[m_index], m_namesView)); }

Recorder& Recorder::Add(Arg::Kind kind, int64_t number) {
    Arg arg;
    arg.kind = kind;
    arg.number = number;
    Data().calls[m_index].args.push_back(std::move(arg));
    return *this;
}

Recorder& Recorder::Int(int64_t value) { return Add(Arg::Int, value); }

Recorder& Recorder::Bool(bool value) { return Add(Arg::Bool, value ? 1 : 0); }

Recorder& Recorder::Ptr(const void* value) {
    return Add(value ? Arg::Pointer : Arg::Null, static_cast<int64_t>(reinterpret_cast<intptr_t>(value)));
}

Recorder& Recorder::Narrow(const char* text) {
    Add(text ? Arg::Narrow : Arg::Null, 0);
    if (text) Data().calls[m_index].args.back().narrow = text;
    return *this;
}

Recorder& Recorder::Wide(const wchar_t* text) {
    return text ? Wide(text, wcslen(text)) : Ptr(nullptr);
}

Recorder& Recorder::Wide(const wchar_t* text, size_t length) {
    Add(text ? Arg::Wide : Arg::Null, 0);
    if (text) Data().calls[m_index].args.back().wide.assign(text, length);
    return *this;
}

Recorder& Recorder::Value(jsValue value) {
    std::wstring text = Describe(value);
    return Wide(text.c_str(), text.size());
}

ViewState* Live(wkeWebView view) {
    ViewState* state = Lookup(view);
    return state && !state->destroyed ? state : nullptr;
}

Answers& CurrentAnswers() { return Data().answers; }

std::map<std::string, Binding>& Bindings() { return Data().bindings; }

std::vector<std::unique_ptr<EngineString>>& Strings() { return Data().strings; }

wkeString MakeString(const std::wstring& text) {
    Data().strings.push_back(std::make_unique<EngineString>(EngineString{text}));
    return reinterpret_cast<wkeString>(Data().strings.back().get());
}

void OpenLogFromEnvironment() {
    if (Data().logFile) return;
    wchar_t path[MAX_PATH];
    DWORD length = GetEnvironmentVariableW(L"ORVEL_FAKE_ENGINE_LOG", path, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) return;
    // Appending and sharing let a second launcher process (a restart) and the test's reader
    // use the same file at the same time.
    Data().logFile.Reset(CreateFileW(path, FILE_APPEND_DATA,
                                     FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                     OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
}

void WriteLogLine(const std::string& line) {
    if (!Data().logFile) return;
    std::string withEnd = line + "\n";
    DWORD written = 0;
    WriteFile(Data().logFile.Get(), withEnd.data(), static_cast<DWORD>(withEnd.size()), &written,
              nullptr);
}

HINSTANCE ThisModule() {
    HMODULE module = nullptr;
    GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                           GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                       reinterpret_cast<LPCWSTR>(&ThisModule), &module);
    return module;
}

void ResetState() {
    EngineData& data = Data();
    for (auto& view : data.views)
        if (view->hostWindow && IsWindow(view->hostWindow)) DestroyWindow(view->hostWindow);
    data.calls.clear();
    data.views.clear();
    data.values.clear();
    data.keptTexts.clear();
    data.strings.clear();
    data.bindings.clear();
    data.answers = Answers();
}

}  // namespace wkefake::detail
