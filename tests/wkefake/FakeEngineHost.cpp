// A minimal program that drives an engine DLL the way the launcher does, so that the stand-in's
// command channel can be tested across processes before the launcher exists: it loads node.dll
// from its folder, makes one view whose document-ready handler runs a script, binds "echo" (gives
// back its first argument), "caller" (describes who called it) and "quit" (ends the message loop),
// and pumps messages.
#include "platform/WebEngineLoader.h"

#include <string>

namespace {

void WKE_CALL OnDocumentReady(wkeWebView view, void* param) {
    wkeRunJS(view, static_cast<const char*>(param));
}

jsValue WKE_CALL Echo(jsExecState es) {
    if (jsArgCount(es) == 0 || !jsIsString(jsArg(es, 0))) return jsUndefined();
    std::wstring text = jsToTempStringW(es, jsArg(es, 0));
    return jsStringW(es, text.c_str());
}

jsValue WKE_CALL Caller(jsExecState es) {
    const jsCallerInfo* caller = jsGetCallerInfo(es);
    if (!caller) return jsStringW(es, L"unknown");
    std::wstring text = caller->isMainFrame ? L"main " : L"sub ";
    text += caller->url;
    return jsStringW(es, text.c_str());
}

jsValue WKE_CALL Quit(jsExecState) {
    PostQuitMessage(0);
    return jsUndefined();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
    static const wchar_t* const path = L"node.dll";  // the working folder is the program's
    g_webEngineDllPath = path;
    if (!LoadWebEngine(nullptr)) return 2;
    static char script[] = "documentReady()";
    wkeWebView view = wkeCreateWebView();
    wkeOnDocumentReady(view, OnDocumentReady, script);
    jsBindFunction("echo", Echo, 1);
    jsBindFunction("caller", Caller, 0);
    jsBindFunction("quit", Quit, 0);
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
    return 0;
}
