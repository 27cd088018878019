// The page's events as the engine interface raises them: frames, loads, dialogs, console.
#include "engine/view/WebView.h"

#include <algorithm>
#include <cstdio>

#include "engine/view/CallbackString.h"
#include "engine/view/Engine.h"

namespace {

// Text of console arguments as the console would print them.
std::string ConsoleText(const Json& args) {
    std::string text;
    for (size_t i = 0; i < args.Size(); ++i) {
        const Json& arg = args.At(i);
        if (i) text += ' ';
        if (arg["type"].AsString() == "string") text += arg["value"].AsString();
        else if (arg.Has("unserializableValue")) text += arg["unserializableValue"].AsString();
        else if (arg.Has("description")) text += arg["description"].AsString();
        else if (arg.Has("value")) text += arg["value"].IsString() ? arg["value"].AsString() : arg["value"].Serialize();
        else text += arg["type"].AsString();
    }
    return text;
}

std::string StackText(const Json& stack) {
    std::string text;
    const Json& frames = stack["callFrames"];
    for (size_t i = 0; i < frames.Size(); ++i) {
        const Json& f = frames.At(i);
        char position[48];
        std::snprintf(position, sizeof position, ":%d:%d)\n", f["lineNumber"].AsInt() + 1, f["columnNumber"].AsInt() + 1);
        std::string name = f["functionName"].AsString();
        text += "    at " + (name.empty() ? std::string("<anonymous>") : name) + " (" + f["url"].AsString() + position;
    }
    return text;
}

}  // namespace

bool WebView::IsMainFrame(wkeWebFrameHandle frame) const { return m_frames.Is(frame, TargetId()); }

void WebView::EnterCallback(const std::string& frameId, const std::string& url) {
    m_tempUrl = url;
    m_tempInfo.frame = m_frames.Handle(frameId);
    m_tempInfo.url = m_tempUrl.c_str();
}

void WebView::LeaveCallback() {
    m_tempInfo.frame = nullptr;
    m_tempInfo.url = nullptr;
}

void WebView::OnEvent(const std::string& method, const Json& params) {
    if (m_destroyed) return;
    if (method == "Page.frameNavigated") {
        OnFrameNavigated(params["frame"]);
    } else if (method == "Page.navigatedWithinDocument") {
        Json frame = Json::Object();
        frame.Set("id", params["frameId"].AsString()).Set("url", params["url"].AsString());
        if (params["frameId"].AsString() != TargetId()) frame.Set("parentId", TargetId());
        OnFrameNavigated(frame);
    } else if (method == "Page.frameStartedNavigating" && params["frameId"].AsString() == TargetId()) {
        // The picture of a document on its way out needs no exact copy, and asking for one would
        // hold up the next document's first frame; that document's frames ask again.
        StopRestTimer();
    } else if (method == "Page.frameStoppedLoading" && params["frameId"].AsString() == TargetId()) {
        if (m_picture.ExactDue() && !m_restTimer) StartRestTimer();  // it stayed, unpainted
    } else if (method == "Page.domContentEventFired") {
        if (!onDocumentReady.fn) return;
        Raise(TargetId(), m_url, [&] { onDocumentReady.fn(Handle(), onDocumentReady.param); });
    } else if (method == "Page.loadEventFired") {
        if (m_mainLoadFailed) return;  // the error page's load is not the page's success
        RaiseLoadingFinish(m_url, WKE_LOADING_SUCCEEDED, "", TargetId());
    } else if (method == "Network.requestWillBeSent") {
        const std::string& url = params["request"]["url"].AsString();
        if (params["type"].AsString() == "Document") {
            if (m_documentRequests.size() > 256) m_documentRequests.clear();
            m_documentRequests[params["requestId"].AsString()] = {url, params["frameId"].AsString()};
            if (params["frameId"].AsString() == TargetId()) m_mainLoadFailed = false;
        }
        if (onLoadUrlBegin.fn) {
            Raise(params["frameId"].AsString(), url, [&] { onLoadUrlBegin.fn(Handle(), onLoadUrlBegin.param, url.c_str(), nullptr); });
        }
    } else if (method == "Network.loadingFinished") {
        m_documentRequests.erase(params["requestId"].AsString());
    } else if (method == "Network.loadingFailed") {
        OnLoadingFailed(params);
    } else if (method == "Runtime.consoleAPICalled") {
        OnConsoleApi(params);
    } else if (method == "Runtime.exceptionThrown") {
        OnException(params);
    } else if (method == "Runtime.bindingCalled") {
        OnBindingCalled(params);
    } else if (method == "Runtime.executionContextCreated") {
        m_frames.ContextCreated(params["context"]);
    } else if (method == "Runtime.executionContextDestroyed") {
        m_frames.ContextDestroyed(params["executionContextId"].AsInt());
    } else if (method == "Runtime.executionContextsCleared") {
        m_frames.ContextsCleared();
    } else if (method == "Page.frameDetached") {
        m_frames.Detached(params["frameId"].AsString());
    } else if (method == "Inspector.targetCrashed") {
        // The page is gone; the next load brings a new renderer.
        RaiseLoadingFinish(m_url, WKE_LOADING_FAILED, "the page's renderer ended", TargetId());
    }
}

void WebView::OnFrameNavigated(const Json& frame) {
    const std::string& id = frame["id"].AsString();
    const std::string url = frame["url"].AsString() + frame["urlFragment"].AsString();
    if (id == TargetId()) m_url = url;
    m_frames.Navigated(id, url);
    if (!onUrl.fn) return;
    CallbackString text(m_engine, url);
    Raise(id, url, [&] { onUrl.fn(Handle(), onUrl.param, text); });
}

Json WebView::ShowDialog(const Json& params) {
    const std::string& type = params["type"].AsString();
    if (type == "alert" && onAlert.fn && !m_destroyed) {
        CallbackString text(m_engine, params["message"].AsString());
        Raise(TargetId(), params["url"].AsString(), [&] { onAlert.fn(Handle(), onAlert.param, text); });
    }
    // Confirmations and prompts have no handler in this interface; they get the default answer.
    Json answer = Json::Object();
    answer.Set("accept", true);
    if (type == "prompt") answer.Set("promptText", params["defaultPrompt"].AsString());
    return answer;
}

void WebView::OnConsoleApi(const Json& params) {
    if (!onConsole.fn) return;
    const std::string& type = params["type"].AsString();
    wkeConsoleLevel level = WKE_CONSOLE_LEVEL_LOG;
    if (type == "warning") level = WKE_CONSOLE_LEVEL_WARNING;
    else if (type == "error" || type == "assert") level = WKE_CONSOLE_LEVEL_ERROR;
    else if (type == "debug") level = WKE_CONSOLE_LEVEL_DEBUG;
    else if (type == "info") level = WKE_CONSOLE_LEVEL_INFO;
    const Json& top = params["stackTrace"]["callFrames"].At(0);
    RaiseConsole(level, ConsoleText(params["args"]), top["url"].AsString(), top["lineNumber"].AsInt(),
                 params["stackTrace"]);
}

void WebView::OnException(const Json& params) {
    if (!onConsole.fn) return;
    const Json& details = params["exceptionDetails"];
    std::string text = details["exception"]["description"].AsString();
    if (text.empty()) text = details["text"].AsString();
    RaiseConsole(WKE_CONSOLE_LEVEL_ERROR, text, details["url"].AsString(), details["lineNumber"].AsInt(),
                 details["stackTrace"]);
}

void WebView::RaiseConsole(wkeConsoleLevel level, const std::string& text, const std::string& source, int line,
                           const Json& stack) {
    CallbackString message(m_engine, text);
    CallbackString sourceText(m_engine, source);
    CallbackString stackText(m_engine, StackText(stack));
    Raise(TargetId(), m_url, [&] {
        onConsole.fn(Handle(), onConsole.param, level, message, sourceText, static_cast<unsigned>(line + 1), stackText);
    });
}

void WebView::OnLoadingFailed(const Json& params) {
    auto request = m_documentRequests.find(params["requestId"].AsString());
    if (request == m_documentRequests.end()) return;
    const std::string url = request->second.first;
    const std::string frameId = request->second.second;
    m_documentRequests.erase(request);
    const std::string& error = params["errorText"].AsString();
    const bool canceled = params["canceled"].AsBool() || error == "net::ERR_ABORTED";
    if (frameId == TargetId() && !canceled) m_mainLoadFailed = true;
    RaiseLoadingFinish(url, canceled ? WKE_LOADING_CANCELED : WKE_LOADING_FAILED, error, frameId);
}

void WebView::RaiseLoadingFinish(const std::string& url, wkeLoadingResult result, const std::string& reason,
                                 const std::string& frameId) {
    if (!onLoadingFinish.fn) return;
    CallbackString urlText(m_engine, url);
    CallbackString reasonText(m_engine, reason);
    Raise(frameId, url, [&] { onLoadingFinish.fn(Handle(), onLoadingFinish.param, urlText, result, reasonText); });
}

void WebView::OnDownload(const std::string& url) {
    if (m_destroyed || !onDownload.fn) return;
    Raise(TargetId(), url, [&] { onDownload.fn(Handle(), onDownload.param, url.c_str()); });
}
