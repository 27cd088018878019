#include "update/UpdateCheck.h"

#include "core/Kuku.h"

#include <wchar.h>

CDuiString CheckUpdate(InstallerCheck* check) {
    return CheckUpdateFrom(L"" ORVEL_UPDATE_BASE_URL, *CKuku::GetInstance(), check);
}

CDuiString CheckUpdateFrom(const wchar_t* baseUrl, const CKuku& local, InstallerCheck* check) {
    const CDuiString base(baseUrl);
    const CDuiString localVersion(local.Get(L"Version"));

    CKuku server;
    // The version follows "ver" directly: the server keys its answer on that exact form.
    server.LoadUrl(base + local.Get(L"Game") + L"/" + local.Get(L"Agent") + L"/config.xml?ver" + localVersion);
    const CDuiString serverVersion(server.Get(L"Version"));

    // A text comparison on purpose: versions of unequal length order by their characters.
    if (_wcsicmp(localVersion.GetData(), serverVersion.GetData()) >= 0) return CDuiString();
    if (check) {
        check->signature = server.Get(L"Signature");
        check->sha256 = server.Get(L"Sha256");
    }
    return base + server.Get(L"Game") + L"/" + server.Get(L"Agent") + L"/update_" + serverVersion + L".exe";
}
