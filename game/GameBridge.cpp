#include "game/GameBridge.h"

#include <windows.h>
#include <shellapi.h>

#include "common/ModulePath.h"
#include "common/TextConv.h"
#include "core/BridgeTrust.h"
#include "core/ConfigKeys.h"
#include "core/GameAddress.h"
#include "core/Kuku.h"
#include "core/PublisherAddress.h"
#include "game/GameWnd.h"

namespace {

// The bridge names and the argument counts the page sees.
const struct {
    const char* name;
    unsigned argCount;
} kBridgeNames[] = {
    {"ExitGameToLogin", 2},
    {"closeWindow", 2},
    {"SetTitleText", 1},
    {"AppFlashCall", 2},
};

}  // namespace

std::wstring ClientScriptInjection() {
    std::wstring script;
    script += L"var head = document.getElementsByTagName('head').item(0);";
    script += L"var script = document.createElement('script');";
    script += L"script.setAttribute('type', 'text/javascript');";
    script += L"script.setAttribute('src', '";
    script += kClientScriptUrl;
    script += L"');";
    script += L"head.appendChild(script);";
    return script;
}

bool RestartLauncher() {
    const std::wstring path = ModuleFilePath(nullptr);
    if (path.empty()) return false;
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"OPEN", path.c_str(), nullptr, nullptr, SW_SHOW));
    return result > 32;
}

void BindBridgeFunctions() {
    for (const auto& entry : kBridgeNames)
        jsBindFunction(entry.name, &CGameWnd::OnBridgeCall, entry.argCount);
}

std::wstring CGameWnd::CallPageFunction(const wchar_t* name, const std::vector<std::wstring>& arguments) {
    if (!m_webView || !name) return std::wstring();
    const std::string ansiName = WideToMultiByte(name, CP_ACP);
    jsExecState es = wkeGlobalExec(m_webView);
    if (!es) return std::wstring();
    const jsValue function = jsGetGlobal(es, ansiName.c_str());
    std::vector<jsValue> values;
    values.reserve(arguments.size());
    for (const std::wstring& argument : arguments) values.push_back(jsStringW(es, argument.c_str()));
    const jsValue result = jsCallGlobal(es, function, values.empty() ? nullptr : values.data(),
                                        static_cast<int>(values.size()));
    const wchar_t* text = jsToStringW(es, result);
    return text ? std::wstring(text) : std::wstring();
}

CDuiString CGameWnd::CallFlash(const wchar_t* name) {
    CDuiString text(CallPageFunction(L"callFlash", {name ? name : L""}).c_str());
    text.Replace(L"\\n", L"\n");
    if (text.CompareNoCase(L"undefined") == 0) text.Empty();
    return text;
}

bool CGameWnd::ConfirmExit() {
    CDuiString text = CallFlash(L"getUnfinishedInfo");
    text += L"\n";
    text += ConfigValue(ConfigKey::kExitQuestion);
    text += L"\n";
    return MessageBoxW(m_hHostWnd, text.GetData(), L"", MB_YESNO) == IDYES;
}

void CGameWnd::RunScript(const wchar_t* script) {
    if (!m_webView) return;
    wkeRunJS(m_webView, ToUtf8(script).c_str());
}

void WKE_CALL CGameWnd::OnDocumentReady(wkeWebView, void* param) {
    CGameWnd* game = FromParam(param);
    if (!game) return;
    const std::wstring script = ClientScriptInjection();
    game->RunScript(script.c_str());
    OutputDebugStringW(script.c_str());
}

jsValue WKE_CALL CGameWnd::OnBridgeCall(jsExecState es) {
    // Only the game page's main frame in the game view may end or restart the launcher.
    CGameWnd* game = FromParam(nullptr);
    if (!IsTrustedBridgeCall(es, game ? game->m_webView : nullptr, g_gameAddress.GetData())) return jsUndefined();
    if (jsArgCount(es) == 0) return jsUndefined();
    const jsValue first = jsArg(es, 0);
    if (!jsIsString(first)) return jsUndefined();
    const wchar_t* text = jsToTempStringW(es, first);
    const CDuiString command(text ? text : L"");
    if (command.CompareNoCase(L"ExitGameToLogin") == 0 || command.CompareNoCase(L"WindowReturn") == 0) {
        // The quit follows whether or not the new instance could be started.
        RestartLauncher();
        PostQuitMessage(0);
    } else if (command.CompareNoCase(L"closeWindow") == 0) {
        PostQuitMessage(0);
    }
    return jsUndefined();
}

void WKE_CALL CGameWnd::OnAlertBox(wkeWebView, void* param, wkeString msg) {
    CGameWnd* game = FromParam(param);
    if (!game) return;
    // Owned by the game's host window, also when a popup raised it.
    MessageBoxW(game->m_hHostWnd, EngineText(msg), L"", MB_OK);
}

void WKE_CALL CGameWnd::OnConsole(wkeWebView, void*, wkeConsoleLevel, wkeString message, wkeString, unsigned,
                                  wkeString) {
    OutputDebugStringW(EngineText(message));
}
