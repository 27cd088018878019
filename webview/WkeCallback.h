// IWkeCallback: how a web view control reports its page's events to the window that owns it.
// Every operation has a default, so an owner overrides only what it needs. Wide texts are the
// engine's and valid only during the call: an owner copies what it keeps.
#pragma once

#include "platform/wke.h"

class CWkeWebkitUI;

class IWkeCallback {
public:
    virtual void OnWkeConsole(CWkeWebkitUI* sender, const wchar_t* message, const wchar_t* sourceName,
                              unsigned sourceLine, const wchar_t* stackTrace) {
        (void)sender, (void)message, (void)sourceName, (void)sourceLine, (void)stackTrace;
    }
    virtual void OnWkeTitleChanged(CWkeWebkitUI* sender, const wchar_t* title) { (void)sender, (void)title; }
    virtual void OnWkeURLChanged(CWkeWebkitUI* sender, const wchar_t* url) { (void)sender, (void)url; }
    virtual void OnWkeAlertBox(CWkeWebkitUI* sender, const wchar_t* message) { (void)sender, (void)message; }
    // True lets the navigation go on in the control's view; the default cancels it.
    virtual bool OnWkeNavigation(CWkeWebkitUI* sender, wkeNavigationType navigationType, const wchar_t* url) {
        (void)sender, (void)navigationType, (void)url;
        return false;
    }
    // The view that shows the new page, or null for none.
    virtual wkeWebView OnWkeCreateView(CWkeWebkitUI* sender, wkeNavigationType navigationType, wkeString url,
                                       const wkeWindowFeatures* windowFeatures) {
        (void)sender, (void)navigationType, (void)url, (void)windowFeatures;
        return nullptr;
    }
    virtual void OnWkeDocumentReady(CWkeWebkitUI* sender) { (void)sender; }
    // `control` is the reporting control again; the answer is not passed on to the engine.
    virtual bool OnWkeLoadUrlBegin(CWkeWebkitUI* sender, CWkeWebkitUI* control, const utf8* url, wkeNetJob job) {
        (void)sender, (void)control, (void)url, (void)job;
        return false;
    }
    // The answer goes back to the engine.
    virtual bool OnWkeDownload(CWkeWebkitUI* sender, const utf8* url) {
        (void)sender, (void)url;
        return false;
    }
    virtual void OnWkeLoadingFinish(CWkeWebkitUI* sender, const wchar_t* url, wkeLoadingResult result,
                                    const wchar_t* failedReason) {
        (void)sender, (void)url, (void)result, (void)failedReason;
    }
    // Keeps its place in the interface; the control never calls it.
    virtual void* OnWkeScriptMessage(CWkeWebkitUI* sender, const wchar_t* name, const wchar_t* message,
                                     void* param) {
        (void)sender, (void)name, (void)message, (void)param;
        return nullptr;
    }
    virtual void OnWkeFavicon(CWkeWebkitUI* sender, const utf8* url, wkeMemBuf* buf) {
        (void)sender, (void)url, (void)buf;
    }

protected:
    // Receivers are never deleted through this interface.
    ~IWkeCallback() = default;
};
