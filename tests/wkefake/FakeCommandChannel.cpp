#include "tests/wkefake/FakeCommandChannel.h"

#include "tests/wkefake/FakeEngineState.h"

#include "common/TextConv.h"

#include <cstdlib>
#include <deque>

using namespace wkefake;
using namespace wkefake::detail;

namespace {

constexpr UINT kRunQueuedCommand = WM_APP + 1;
constexpr size_t kMaxCommandBytes = 64 * 1024;

std::deque<std::string>& Queue() {
    static std::deque<std::string> queue;
    return queue;
}

std::wstring Wide(const std::string& utf8) { return Utf8ToWide(utf8.data(), utf8.size()); }

int ToInt(const std::string& text) { return std::atoi(text.c_str()); }

// "last", "#N" or "N": the view, or null when there is no such view.
wkeWebView ParseView(const std::string& text) {
    const auto& views = AllViews();
    if (text == "last") return views.empty() ? nullptr : Handle(views.back().get());
    int number = ToInt(text[0] == '#' ? text.substr(1) : text);
    if (number < 1 || static_cast<size_t>(number) > views.size()) return nullptr;
    return Handle(views[static_cast<size_t>(number) - 1].get());
}

std::string Answer(bool delivered) { return delivered ? "true" : "false"; }

std::string Answer(const std::optional<bool>& answer) {
    return answer ? Answer(*answer) : std::string("none");
}

std::string Answer(const JsValue& value) {
    switch (value.kind) {
        case JsValue::String: return Quote(ToUtf8(value.text.c_str()));
        case JsValue::Number: return std::to_string(value.number);
        case JsValue::Undefined: break;
    }
    return "undefined";
}

void WriteReply(const std::string& command) {
    std::vector<std::string> words = SplitCommand(command);
    if (words.empty()) return;
    std::string number = words.front();
    words.erase(words.begin());
    WriteLogLine("reply " + number + " " + RunFakeEngineCommand(words));
}

LRESULT CALLBACK CommandWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COPYDATA) {
        const auto* data = reinterpret_cast<const COPYDATASTRUCT*>(lParam);
        if (!data || data->dwData != kFakeEngineCommandTag || !data->lpData ||
            data->cbData > kMaxCommandBytes)
            return FALSE;
        Queue().emplace_back(static_cast<const char*>(data->lpData), data->cbData);
        PostMessageW(window, kRunQueuedCommand, 0, 0);
        return TRUE;
    }
    if (message == kRunQueuedCommand) {
        if (Queue().empty()) return 0;
        std::string command = std::move(Queue().front());
        Queue().pop_front();
        WriteReply(command);
        return 0;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

}  // namespace

void StartCommandChannel() {
    static HWND window = nullptr;  // lives until the process ends
    if (window) return;
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = CommandWindowProc;
    wc.hInstance = ThisModule();
    wc.lpszClassName = kFakeEngineWindowClass;
    RegisterClassExW(&wc);
    std::wstring title = std::wstring(kFakeEngineWindowClass) + L" " +
                         std::to_wstring(GetCurrentProcessId());
    // Top-level and hidden: FindWindow in another process does not see message-only windows.
    window = CreateWindowExW(WS_EX_TOOLWINDOW, kFakeEngineWindowClass, title.c_str(), WS_POPUP, 0,
                             0, 0, 0, nullptr, nullptr, ThisModule(), nullptr);
}

std::vector<std::string> SplitCommand(const std::string& command) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < command.size()) {
        while (i < command.size() && (command[i] == ' ' || command[i] == '\t')) ++i;
        if (i >= command.size()) break;
        std::string word;
        if (command[i] == '"') {
            for (++i; i < command.size() && command[i] != '"'; ++i) {
                if (command[i] == '\\' && i + 1 < command.size()) {
                    char escaped = command[++i];
                    word += escaped == 'n' ? '\n' : escaped == 'r' ? '\r' : escaped == 't' ? '\t' : escaped;
                } else {
                    word += command[i];
                }
            }
            ++i;  // the closing quote
        } else {
            while (i < command.size() && command[i] != ' ' && command[i] != '\t') word += command[i++];
        }
        words.push_back(std::move(word));
    }
    return words;
}

std::string RunFakeEngineCommand(const std::vector<std::string>& words) {
    auto word = [&](size_t i) { return i < words.size() ? words[i] : std::string(); };
    const std::string verb = word(0);
    if (verb == "views") return std::to_string(AllViews().size());
    if (verb == "call") {
        std::vector<JsValue> args;
        for (size_t i = 2; i < words.size(); ++i) args.push_back(JsValue::Str(Wide(words[i])));
        std::optional<JsValue> result = CallBound(word(1), args, std::nullopt);
        return result ? Answer(*result) : "none";
    }
    if (verb == "call-from") {
        const Caller caller{ParseView(word(1)), word(2) == "main", Wide(word(3))};
        if (!caller.view) return "error no such view";
        std::vector<JsValue> args;
        for (size_t i = 5; i < words.size(); ++i) args.push_back(JsValue::Str(Wide(words[i])));
        std::optional<JsValue> result = CallBound(word(4), args, caller);
        return result ? Answer(*result) : "none";
    }
    wkeWebView view = ParseView(word(1));
    if (!view) return "error no such view";
    if (verb == "document-ready") return Answer(RaiseDocumentReady(view));
    if (verb == "title-changed") return Answer(RaiseTitleChanged(view, Wide(word(2))));
    if (verb == "url-changed") return Answer(RaiseURLChanged(view, Wide(word(3)), word(2) == "main"));
    if (verb == "alert") return Answer(RaiseAlert(view, Wide(word(2))));
    if (verb == "window-closing") return Answer(RaiseWindowClosing(view));
    if (verb == "navigation")
        return Answer(RaiseNavigation(view, static_cast<wkeNavigationType>(ToInt(word(2))), Wide(word(3))));
    if (verb == "create-view") {
        wkeWindowFeatures features{};
        features.x = ToInt(word(4));
        features.y = ToInt(word(5));
        features.width = ToInt(word(6));
        features.height = ToInt(word(7));
        std::optional<wkeWebView> created = RaiseCreateView(
            view, static_cast<wkeNavigationType>(ToInt(word(2))), Wide(word(3)), features);
        if (!created) return "none";
        return *created ? ViewLabel(*created) : "null";
    }
    if (verb == "console")
        return Answer(RaiseConsole(view, static_cast<wkeConsoleLevel>(ToInt(word(2))), Wide(word(3)),
                                   std::wstring(), 0, std::wstring()));
    if (verb == "loading-finished")
        return Answer(RaiseLoadingFinished(view, Wide(word(4)),
                                           static_cast<wkeLoadingResult>(ToInt(word(2))),
                                           Wide(word(5)), word(3) == "main"));
    if (verb == "page-function") {
        std::optional<std::wstring> result;
        if (words.size() > 3) result = Wide(words[3]);
        SetPageFunction(view, word(2), result);
        return "true";
    }
    return "error unknown command";
}
