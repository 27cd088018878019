// An engine DLL that exports every entry point but wkeSetName, which it exports under another name.
#define wkeSetName wkeSetName_absent
#define WKE_BUILDING_ENGINE
#include "platform/wke.h"

namespace {
const wkeSettings* g_settings = nullptr;
int g_initCount = 0;

template <typename T>
T Empty() {
    return T();
}
}  // namespace

extern "C" __declspec(dllexport) void WKE_CALL wkeInitializeEx(const wkeSettings* settings) {
    g_settings = settings;
    ++g_initCount;
}

#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wunused-parameter"
#define DEFINE_STUB(result, name, params) \
    extern "C" __declspec(dllexport) result WKE_CALL name params { return Empty<result>(); }
WKE_API_ENTRIES(DEFINE_STUB)
#undef DEFINE_STUB
#pragma GCC diagnostic pop

// For the test: what the loader handed the initialiser, and how often.
extern "C" __declspec(dllexport) const wkeSettings* WKE_CALL TestInitSettings() { return g_settings; }
extern "C" __declspec(dllexport) int WKE_CALL TestInitCount() { return g_initCount; }
