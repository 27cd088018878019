#include "core/BridgeTrust.h"

#include <windows.h>

#include <string.h>

#include "core/ConfigKeys.h"
#include "core/Kuku.h"

namespace {

// Caller addresses come from pages: only this much of one goes to the debugger output.
constexpr size_t kMaxReportedAddress = 512;

std::wstring Bounded(const wchar_t* text) {
    std::wstring out(text ? text : L"");
    if (out.size() > kMaxReportedAddress) out.resize(kMaxReportedAddress);
    return out;
}

void ReportRefusal(const jsCallerInfo* caller, const wchar_t* reason) {
    std::wstring line = L"OrvelClient: script bridge call refused: ";
    line += caller && caller->name ? std::wstring(caller->name, caller->name + strnlen(caller->name, 128))
                                   : std::wstring(L"(unknown function)");
    line += L" from ";
    line += caller ? Bounded(caller->url) : std::wstring(L"(unknown caller)");
    line += L" (";
    line += reason;
    line += L")\n";
    OutputDebugStringW(line.c_str());
}

}  // namespace

std::vector<WebOrigin> ConfiguredTrustedOrigins() {
    std::vector<std::wstring> refused;
    std::vector<WebOrigin> origins = ParseOriginList(CKuku::GetInstance()->Get(ConfigKey::kTrustedOrigins), &refused);
    for (const std::wstring& entry : refused) {
        const std::wstring line = L"OrvelClient: TrustedOrigins entry ignored: " + Bounded(entry.c_str()) + L"\n";
        OutputDebugStringW(line.c_str());
    }
    return origins;
}

bool IsTrustedBridgeCall(jsExecState es, wkeWebView view, const wchar_t* ownAddress) {
    // An engine without jsGetCallerInfo answers null through the loader's stand-in: refused.
    const jsCallerInfo* caller = jsGetCallerInfo ? jsGetCallerInfo(es) : nullptr;
    if (!caller || caller->size < static_cast<int>(sizeof(jsCallerInfo))) {
        ReportRefusal(nullptr, L"the engine cannot tell who called");
        return false;
    }
    if (!view || caller->webView != view) {
        ReportRefusal(caller, L"another view");
        return false;
    }
    if (!caller->isMainFrame) {
        ReportRefusal(caller, L"a sub-frame");
        return false;
    }
    const std::optional<WebOrigin> origin = OriginOf(caller->url ? caller->url : L"");
    if (origin) {
        const std::optional<WebOrigin> own = OriginOf(ownAddress ? ownAddress : L"");
        if (own && *origin == *own) return true;
        for (const WebOrigin& trusted : ConfiguredTrustedOrigins())
            if (*origin == trusted) return true;
    }
    ReportRefusal(caller, L"an untrusted origin");
    return false;
}
