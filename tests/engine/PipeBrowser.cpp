// A Windows program in the browser's place, for the engine's native start: it finds its DevTools
// pipe as the browser does, as C runtime descriptors 3 (commands) and 4 (answers), and answers
// what the engine asks when it starts, makes a page and runs a script there. The script's value
// is what this program learnt: its command line, and whether a handle the test left inheritable,
// but did not hand over, reached it anyway.
#include <windows.h>
#include <io.h>

#include <cstdlib>
#include <string>

#include "common/TextConv.h"
#include "engine/devtools/Json.h"

namespace {

HANDLE g_answers = INVALID_HANDLE_VALUE;

void Answer(const Json& message) {
    const std::string text = message.Serialize();
    DWORD written = 0;
    WriteFile(g_answers, text.c_str(), static_cast<DWORD>(text.size() + 1), &written, nullptr);  // with its NUL
}

// What the test asked to look for: a handle value (in hex) that must not be open here.
std::string HandleReport() {
    wchar_t text[32] = {};
    if (!GetEnvironmentVariableW(L"PIPE_BROWSER_FORBIDDEN_HANDLE", text, 32)) return "no handle named";
    const HANDLE handle = reinterpret_cast<HANDLE>(static_cast<uintptr_t>(wcstoull(text, nullptr, 16)));
    DWORD flags = 0;
    return GetHandleInformation(handle, &flags) ? "forbidden handle inherited" : "forbidden handle absent";
}

void Handle(const Json& command) {
    const std::string& method = command["method"].AsString();
    Json answer = Json::Object();
    answer.Set("id", command["id"].AsInt());
    if (command.Has("sessionId")) answer.Set("sessionId", command["sessionId"].AsString());
    Json result = Json::Object();
    if (method == "Browser.getVersion") {
        result.Set("userAgent", "Mozilla/5.0 (Windows NT 10.0) PipeBrowser/1.0 HeadlessChrome/1.0");
    } else if (method == "Target.createTarget") {
        result.Set("targetId", "T1");
        answer.Set("result", result);
        Answer(answer);
        Json info = Json::Object();
        info.Set("targetId", "T1").Set("type", "page").Set("url", "about:blank");
        Json params = Json::Object();
        params.Set("sessionId", "S1").Set("targetInfo", info).Set("waitingForDebugger", true);
        Json event = Json::Object();
        event.Set("method", "Target.attachedToTarget").Set("params", params);
        Answer(event);
        return;
    } else if (method == "Runtime.evaluate" && command["params"]["expression"].AsString() == "report") {
        Json value = Json::Object();
        value.Set("type", "string").Set("value", ToUtf8(GetCommandLineW()) + "\n" + HandleReport());
        result.Set("result", value);
    } else if (method == "Runtime.evaluate") {
        Json value = Json::Object();
        value.Set("type", "undefined");
        result.Set("result", value);
    }
    answer.Set("result", result);
    Answer(answer);
}

}  // namespace

int main() {
    const HANDLE commands = reinterpret_cast<HANDLE>(_get_osfhandle(3));
    g_answers = reinterpret_cast<HANDLE>(_get_osfhandle(4));
    if (commands == INVALID_HANDLE_VALUE || g_answers == INVALID_HANDLE_VALUE) return 2;
    std::string pending;
    char buffer[4096];
    DWORD got = 0;
    // Until the engine lets go of its end, as the browser does.
    while (ReadFile(commands, buffer, sizeof buffer, &got, nullptr) && got > 0) {
        pending.append(buffer, got);
        for (size_t end; (end = pending.find('\0')) != std::string::npos;) {
            bool ok = false;
            const Json command = Json::Parse(pending.data(), end, &ok);
            pending.erase(0, end + 1);
            if (ok) Handle(command);
        }
    }
    return 0;
}
