#include "tests/engine/EngineTestSupport.h"

namespace {

std::wstring NodeDllPath() {
    // The build gives the Unix path of node.dll; the Z: drive shows the Unix root under Wine.
    std::string unixPath = ORVEL_NODE_DLL;
    std::wstring path = L"Z:";
    for (char c : unixPath) path += c == '/' ? L'\\' : static_cast<wchar_t>(c);
    return path;
}

}  // namespace

bool LoadTestEngine() {
    static int loaded = -1;
    if (loaded < 0) {
        static const std::wstring path = NodeDllPath();
        g_webEngineDllPath = path.c_str();
        loaded = LoadWebEngine(nullptr) && wkeCreateWebView ? 1 : 0;
    }
    return loaded == 1;
}

std::wstring EngineStringText(wkeString s) {
    const wchar_t* text = wkeGetStringW(s);
    return text ? text : L"";
}

std::wstring ScriptText(wkeWebView view, jsValue value) {
    const wchar_t* text = jsToStringW(wkeGlobalExec(view), value);
    return text ? text : L"";
}
