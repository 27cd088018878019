// What a native function learns of its caller through jsGetCallerInfo, as tests of either engine
// record it from inside the function.
#pragma once

#include <string>

#include "platform/wke.h"

struct SeenCaller {
    bool known = false;        // the engine answered with a whole record
    wkeWebView view = nullptr;
    bool mainFrame = false;
    bool frameIsMain = false;  // as wkeIsMainFrame tells of the caller's frame
    std::wstring url;
    std::string name;
};

inline SeenCaller SeeCaller(jsExecState es) {
    SeenCaller seen;
    const jsCallerInfo* info = jsGetCallerInfo(es);
    if (!info) return seen;
    seen.known = info->size == sizeof(jsCallerInfo);
    seen.view = info->webView;
    seen.mainFrame = info->isMainFrame;
    seen.frameIsMain = wkeIsMainFrame(info->webView, info->frame);
    seen.url = info->url ? info->url : L"";
    seen.name = info->name ? info->name : "";
    return seen;
}
