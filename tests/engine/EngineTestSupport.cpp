#include "tests/engine/EngineTestSupport.h"

#include "common/TextConv.h"

namespace {

std::wstring NodeDllPath() {
    // The build gives the Unix path of node.dll; the Z: drive shows the Unix root under Wine.
    std::string unixPath = ORVEL_NODE_DLL;
    std::wstring path = L"Z:";
    for (char c : unixPath) path += c == '/' ? L'\\' : static_cast<wchar_t>(c);
    return path;
}

}  // namespace

bool LoadTestEngine(const std::wstring& profile, bool keepProfile, const std::wstring& browser, bool muteAudio) {
    static int loaded = -1;
    if (loaded < 0) {
        static const std::wstring path = NodeDllPath();
        const std::string profileText = ToUtf8(profile.c_str());
        const std::string browserText = ToUtf8(browser.c_str());
        wkeSettings settings{};
        settings.size = sizeof settings;
        settings.browserPath = browserText.empty() ? nullptr : browserText.c_str();
        settings.profilePath = profileText.empty() ? nullptr : profileText.c_str();
        settings.cleanProfile = keepProfile ? 0 : 1;
        settings.muteAudio = muteAudio ? 1 : 0;
        g_webEngineDllPath = path.c_str();
        loaded = LoadWebEngine(&settings) && wkeCreateWebView ? 1 : 0;
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

std::wstring AnswerOncePageRuns(wkeWebView view, const char* script, DWORD timeoutMs) {
    std::wstring answer = L"undefined";
    PumpUntil([&] { return (answer = ScriptText(view, wkeRunJS(view, script))) != L"undefined"; }, timeoutMs);
    return answer;
}

void ClickAt(wkeWebView view, int x, int y) {
    wkeFireMouseEvent(view, WM_MOUSEMOVE, x, y, 0);
    wkeFireMouseEvent(view, WM_LBUTTONDOWN, x, y, MK_LBUTTON);
    wkeFireMouseEvent(view, WM_LBUTTONUP, x, y, 0);
}
