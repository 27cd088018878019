// Script: synchronous calls into the page, the bound native functions the page calls, and what
// the page reports through the binding (its title) or by script (its icon).
#include "engine/view/WebView.h"

#include "common/TextConv.h"
#include "engine/view/CallbackString.h"
#include "engine/view/Engine.h"
#include "engine/frames/FrameDecoder.h"

int64_t WebView::RunScript(const std::string& script) {
    if (m_destroyed || m_withoutPage) return 0;
    // Not as the player's gesture: the launcher runs scripts in its pages on its own, and a page
    // must not get a popup from them.
    Json params = Json::Object();
    params.Set("expression", script);
    if (!Attached()) {
        // Run once the page is there; nothing waits for it meanwhile.
        Send("Runtime.evaluate", std::move(params));
        return 0;
    }
    const int ticket = m_engine.Cdp().Ask("Runtime.evaluate", std::move(params), Session(), kMaxScriptAnswer);
    if (!ticket) return 0;
    ScriptValue pending;
    pending.kind = ScriptValue::Kind::Pending;
    pending.ticket = ticket;
    pending.name = Session();
    return m_engine.Values().Add(std::move(pending));
}

int64_t WebView::CallGlobal(const ScriptValue& function, const std::vector<const ScriptValue*>& args) {
    std::string list;
    for (const ScriptValue* arg : args) {
        if (!list.empty()) list += ',';
        list += arg ? ScriptLiteral(*arg) : "undefined";
    }
    const std::string script = "(function(f,a){return typeof f==='function'?f.apply(globalThis,a):undefined;})(" +
                               ScriptLiteral(function) + ",[" + list + "])";
    return RunScript(script);
}

std::wstring WebView::TextOf(const ScriptValue& value) {
    if (value.kind != ScriptValue::Kind::Global) return ValueText(value);
    const ScriptValue* text = m_engine.Value(RunScript("String(" + ScriptLiteral(value) + ")"));
    return text ? ValueText(*text) : std::wstring(L"undefined");
}

void WebView::OnBindingCalled(const Json& params) {
    if (params["name"].AsString() != kNativeBindingName) return;
    const std::string& payload = params["payload"].AsString();
    if (payload.size() > 4 * 1024 * 1024) return;
    Json call = Json::Parse(payload.data(), payload.size());
    if (call["k"].AsString() == "title") {
        OnTitle(call["v"].AsString());
        return;
    }
    auto binding = m_engine.Bindings().find(call["n"].AsString());
    if (binding == m_engine.Bindings().end() || !binding->second) return;
    ExecState state;
    state.view = this;
    const Json& args = call["a"];
    for (size_t i = 0; i < args.Size() && i < 64; ++i) state.args.push_back(m_engine.Values().Add(ValueFromArgument(args.At(i))));
    // The browser names the script context that called; the payload, written by the page, is not
    // trusted to say where it came from. A context not known as a frame's own leaves no caller.
    std::string frameId, url;
    if (m_frames.Caller(params["executionContextId"].AsInt(), &frameId, &url)) {
        state.callerUrl = Utf8ToWide(url);
        state.callerName = binding->first;
        state.caller.size = sizeof state.caller;
        state.caller.webView = Handle();
        state.caller.frame = m_frames.Handle(frameId);
        state.caller.isMainFrame = frameId == TargetId();
        state.caller.url = state.callerUrl.c_str();
        state.caller.name = state.callerName.c_str();
    } else {
        frameId = TargetId();
        url = m_url;
    }
    Raise(frameId, url, [&] { binding->second(reinterpret_cast<jsExecState>(&state)); });
}

void WebView::OnTitle(const std::string& title) {
    if (title == m_title) return;
    m_title = title;
    if (!onTitle.fn) return;
    CallbackString text(m_engine, title);
    Raise(TargetId(), m_url, [&] { onTitle.fn(Handle(), onTitle.param, text); });
}

int WebView::RequestFavicon(wkeNetGetFaviconCallback callback, void* param) {
    if (!callback || m_destroyed || !Attached()) return 0;
    // The page fetches its own icon, so cookies and the user agent are those of the page.
    static const char kScript[] =
        "(async function(){var l=document.querySelector('link[rel~=\"icon\"]');"
        "var u=l&&l.href?l.href:new URL('/favicon.ico',location.href).href;"
        "var r=await fetch(u);if(!r.ok)return null;var b=new Uint8Array(await r.arrayBuffer());"
        "if(b.length>1048576)return null;var s='';for(var i=0;i<b.length;i++)s+=String.fromCharCode(b[i]);"
        "return [u,btoa(s)];})()";
    Json params = Json::Object();
    params.Set("expression", kScript).Set("awaitPromise", true).Set("returnByValue", true);
    constexpr size_t kMaxIconAnswer = 2u << 20;  // the script refuses icons over 1 MiB (base64 inside)
    m_engine.Cdp().SendWithReply("Runtime.evaluate", params, Session(), CdpConnection::OnUi{[live = Live(), callback, param](const Json& result) {
        WebView* view = live.Get();
        const Json& value = result["result"]["value"];
        std::string bytes;
        if (!view || !value.IsArray() || !DecodeBase64(value.At(1).AsString(), bytes) || bytes.empty()) return;
        const std::string url = value.At(0).AsString();
        wkeMemBuf buf{};
        buf.size = sizeof buf;
        buf.data = &bytes[0];
        buf.length = bytes.size();
        view->Raise(view->TargetId(), url, [&] { callback(view->Handle(), param, url.c_str(), &buf); });
    }}, kMaxIconAnswer);
    return 1;
}
