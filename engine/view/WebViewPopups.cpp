// Windows that the page opens (window.open, target=_blank), handed to the create-view handler
// once the reader has found the player's activation for them (Engine::OnReaderMessage).
#include "engine/view/WebView.h"

#include <algorithm>

#include "engine/view/CallbackString.h"
#include "engine/view/Engine.h"

namespace {

// window.open features ("width=400", "left=10", "resizable", ...) as the engine's record.
wkeWindowFeatures ParseFeatures(const Json& features) {
    wkeWindowFeatures f{};
    f.x = f.y = f.width = f.height = 0;
    f.menuBarVisible = f.statusBarVisible = f.toolBarVisible = f.locationBarVisible = true;
    f.scrollbarsVisible = f.resizable = true;
    f.fullscreen = false;
    for (size_t i = 0; i < features.Size(); ++i) {
        std::string item = features.At(i).AsString();
        std::transform(item.begin(), item.end(), item.begin(), [](char c) { return static_cast<char>(tolower(c)); });
        std::string key = item.substr(0, item.find('='));
        std::string value = item.find('=') == std::string::npos ? "" : item.substr(item.find('=') + 1);
        int number = atoi(value.c_str());
        bool on = value.empty() || value == "yes" || value == "true" || number != 0;
        if (key == "left" || key == "screenx") f.x = number;
        else if (key == "top" || key == "screeny") f.y = number;
        else if (key == "width" || key == "innerwidth") f.width = number;
        else if (key == "height" || key == "innerheight") f.height = number;
        else if (key == "menubar") f.menuBarVisible = on;
        else if (key == "status") f.statusBarVisible = on;
        else if (key == "toolbar") f.toolBarVisible = on;
        else if (key == "location") f.locationBarVisible = on;
        else if (key == "scrollbars") f.scrollbarsVisible = on;
        else if (key == "resizable") f.resizable = on;
        else if (key == "fullscreen") f.fullscreen = on;
    }
    return f;
}

}  // namespace

void WebView::OnWindowOpen(const Json& params) {
    const std::string url = params["url"].AsString();
    const wkeWindowFeatures features = ParseFeatures(params["windowFeatures"]);
    // The browser does not say whether a link or a script asked; a window opened by the user's
    // action without a size or position of its own is what a target=_blank link gives.
    const wkeNavigationType type = params["userGesture"].AsBool() && features.width == 0 && features.height == 0 &&
                                           features.x == 0 && features.y == 0
                                       ? WKE_NAVIGATION_TYPE_LINKCLICK
                                       : WKE_NAVIGATION_TYPE_OTHER;
    if (!onCreateView.fn) {
        // Without a handler the page stays a single window: the address opens in this view.
        LoadUrl(url);
        return;
    }
    CallbackString text(m_engine, url);
    wkeWebView created = nullptr;
    Raise(TargetId(), url, [&] {
        Engine::PopupScope scope(m_engine, Session(), url, true, 0);
        created = onCreateView.fn(Handle(), onCreateView.param, type, text, &features);
    });
    if (WebView* target = m_engine.Find(created)) target->LoadUrl(url);
}
