#include "update/UpdateCheck.h"

#include "common/UrlEscape.h"
#include "core/ConfigKeys.h"
#include "core/Kuku.h"
#include "core/PublisherAddress.h"

#include <wchar.h>

CDuiString CheckUpdate(UpdateRelease* release) {
    return CheckUpdateFrom(kUpdateBaseUrl, *CKuku::GetInstance(), release);
}

CDuiString CheckUpdateFrom(const wchar_t* baseUrl, const CKuku& local, UpdateRelease* release) {
    const CDuiString base(baseUrl);
    const CDuiString localVersion(local.Get(ConfigKey::kVersion));

    CKuku server;
    // The version follows "ver" directly: the server keys its answer on that exact form.
    const CDuiString document =
        base + local.Get(ConfigKey::kGame) + L"/" + local.Get(ConfigKey::kAgent) + L"/config.xml?ver" + localVersion;
    server.LoadUrl(EscapeNonAsciiInUrl(document.GetData()).c_str());
    const CDuiString serverVersion(server.Get(ConfigKey::kVersion));

    // A text comparison on purpose: versions of unequal length order by their characters.
    if (_wcsicmp(localVersion.GetData(), serverVersion.GetData()) >= 0) return CDuiString();
    if (release) {
        release->game = server.Get(ConfigKey::kGame);
        release->agent = server.Get(ConfigKey::kAgent);
        release->version = serverVersion.GetData();
        release->sha256 = server.Get(ConfigKey::kSha256);
        release->signature = server.Get(ConfigKey::kSignature);
    }
    const CDuiString installer = base + server.Get(ConfigKey::kGame) + L"/" + server.Get(ConfigKey::kAgent) +
                                 L"/update_" + serverVersion + L".exe";
    return CDuiString(EscapeNonAsciiInUrl(installer.GetData()).c_str());
}
