#include "update/UpdateCheck.h"

#include "common/UrlEscape.h"
#include "core/Kuku.h"
#include "core/PublisherAddress.h"

#include <wchar.h>

CDuiString CheckUpdate(UpdateRelease* release) {
    return CheckUpdateFrom(kUpdateBaseUrl, *CKuku::GetInstance(), release);
}

CDuiString CheckUpdateFrom(const wchar_t* baseUrl, const CKuku& local, UpdateRelease* release) {
    const CDuiString base(baseUrl);
    const CDuiString localVersion(local.Get(L"Version"));

    CKuku server;
    // The version follows "ver" directly: the server keys its answer on that exact form.
    const CDuiString document =
        base + local.Get(L"Game") + L"/" + local.Get(L"Agent") + L"/config.xml?ver" + localVersion;
    server.LoadUrl(EscapeNonAsciiInUrl(document.GetData()).c_str());
    const CDuiString serverVersion(server.Get(L"Version"));

    // A text comparison on purpose: versions of unequal length order by their characters.
    if (_wcsicmp(localVersion.GetData(), serverVersion.GetData()) >= 0) return CDuiString();
    if (release) {
        release->game = server.Get(L"Game");
        release->agent = server.Get(L"Agent");
        release->version = serverVersion.GetData();
        release->sha256 = server.Get(L"Sha256");
        release->signature = server.Get(L"Signature");
    }
    const CDuiString installer =
        base + server.Get(L"Game") + L"/" + server.Get(L"Agent") + L"/update_" + serverVersion + L".exe";
    return CDuiString(EscapeNonAsciiInUrl(installer.GetData()).c_str());
}
