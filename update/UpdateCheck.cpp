#include "update/UpdateCheck.h"

#include "app/Kuku.h"

#include <wchar.h>

CDuiString CheckUpdate() { return CheckUpdateFrom(L"" ORVEL_UPDATE_BASE_URL, *CKuku::GetInstance()); }

CDuiString CheckUpdateFrom(const wchar_t* baseUrl, const CKuku& local) {
    const CDuiString base(baseUrl);
    const CDuiString localVersion(local.Get(L"Version"));

    CKuku server;
    // The version follows "ver" directly: the server keys its answer on that exact form.
    server.LoadUrl(base + local.Get(L"Game") + L"/" + local.Get(L"Agent") + L"/config.xml?ver" + localVersion);
    const CDuiString serverVersion(server.Get(L"Version"));

    // A text comparison on purpose: versions of unequal length order by their characters.
    if (_wcsicmp(localVersion.GetData(), serverVersion.GetData()) >= 0) return CDuiString();
    return base + server.Get(L"Game") + L"/" + server.Get(L"Agent") + L"/update_" + serverVersion + L".exe";
}
