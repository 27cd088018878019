#include "platform/WebEngineLoader.h"

const wchar_t* g_webEngineDllPath = L"node.dll";

PFN_wkeInitializeEx wkeInitializeEx = nullptr;
#define WKE_DEFINE_POINTER(result, name, params) PFN_##name name = nullptr;
WKE_API_ENTRIES(WKE_DEFINE_POINTER)
#undef WKE_DEFINE_POINTER

namespace {

bool g_engineLoaded = false;

template <typename T>
T EmptyResult() {
    return T();
}

// Stand-ins for entry points the DLL does not export: they do nothing and return an empty value.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-parameter"
#define WKE_DEFINE_MISSING(result, name, params) \
    result WKE_CALL Missing_##name params { return EmptyResult<result>(); }
WKE_API_ENTRIES(WKE_DEFINE_MISSING)
#undef WKE_DEFINE_MISSING
#pragma GCC diagnostic pop

template <typename Pfn>
void Resolve(HMODULE module, const char* name, Pfn& slot, Pfn missing) {
    slot = reinterpret_cast<Pfn>(reinterpret_cast<void*>(GetProcAddress(module, name)));
    if (!slot) {
        MessageBoxA(nullptr, "wke api not found", name, MB_OK);
        slot = missing;
    }
}

}  // namespace

int LoadWebEngine(const wkeSettings* settings) {
    HMODULE module = LoadLibraryW(g_webEngineDllPath);
    if (!module) return 0;
    wkeInitializeEx = reinterpret_cast<PFN_wkeInitializeEx>(
        reinterpret_cast<void*>(GetProcAddress(module, "wkeInitializeEx")));
    if (!wkeInitializeEx) {
        // Without its initialiser the library is not an engine we can drive.
        FreeLibrary(module);
        return 0;
    }
    wkeInitializeEx(settings);
#define WKE_RESOLVE(result, name, params) Resolve(module, #name, name, &Missing_##name);
    WKE_API_ENTRIES(WKE_RESOLVE)
#undef WKE_RESOLVE
    g_engineLoaded = true;
    return 1;
}

bool IsWebEngineLoaded() { return g_engineLoaded; }

void SetWebEngineLoaded(bool loaded) { g_engineLoaded = loaded; }

WkeInputCalls WkeLoadedInputCalls() {
    return WkeInputCalls{wkeFireMouseEvent,   wkeFireMouseWheelEvent, wkeFireKeyDownEvent, wkeFireKeyUpEvent,
                         wkeFireKeyPressEvent, wkeFireContextMenuEvent, wkeSetFocus,        wkeKillFocus,
                         wkeGetCaretRect,     wkeGetCursorInfoType};
}
