#include "app/Startup.h"

#include "common/TextConv.h"
#include "core/ConfigKeys.h"
#include "core/Kuku.h"
#include "core/LauncherFolders.h"
#include "core/UserAgent.h"
#include "duilib/UIBase.h"
#include "duilib/UIManager.h"
#include "duilib/UIResourceManager.h"
#include "platform/WebEngineLoader.h"

#include <shlwapi.h>

#include <string>

namespace {

// WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU
constexpr DWORD kFrameworkWindowStyle = 0x96C80000;

void RegisterArchive() {
    HMODULE module = CPaintManagerUI::GetResourceDll();
    HRSRC info = FindResourceW(module, L"SKIN", L"ZIPRES");
    if (!info) return;
    HGLOBAL loaded = LoadResource(module, info);
    const DWORD size = SizeofResource(module, info);
    const void* bytes = loaded ? LockResource(loaded) : nullptr;
    if (!bytes || size == 0) return;
    // Resource bytes stay mapped for the life of the module, as the framework requires.
    if (CPaintManagerUI::SetResourceZip(bytes, size)) CResourceManager::GetInstance()->LoadResource(L"res.xml");
}

}  // namespace

void SetupSkin() {
    CPaintManagerUI::SetResourceType(UILIB_ZIPRESOURCE);
    // Without the archive the framework looks for loose skin files in this folder beside the program.
    CPaintManagerUI::SetResourcePath((CPaintManagerUI::GetInstancePath() + L"Orvel\\client\\").GetData());
    RegisterArchive();
}

void EnsureWebEngine(bool cleanProfile) {
    const CDuiString path = CPaintManagerUI::GetInstancePath() + L"node.dll";
    if (!PathFileExistsW(path.GetData())) {
        MessageBoxW(nullptr, L"node.dll not found!", L"ERROR", MB_OK);
        return;
    }
    const std::string profile = ToUtf8(BrowserProfileFolder().c_str());
    wkeSettings settings{};
    settings.size = sizeof settings;
    settings.profilePath = profile.empty() ? nullptr : profile.c_str();
    settings.cleanProfile = cleanProfile ? 1 : 0;
    // From the browser's first request on, whatever sends it (a page's workers too).
    settings.userAgent = kLauncherUserAgent;
    settings.muteAudio = wcscmp(ConfigValue(ConfigKey::kMuteAudio), L"1") == 0 ? 1 : 0;
    g_webEngineDllPath = path.GetData();
    LoadWebEngine(&settings);
    // The path lives only for this call.
    g_webEngineDllPath = L"node.dll";
}

bool TakeSwitch(int& argc, wchar_t** argv, const wchar_t* name) {
    if (!argv) return false;
    bool found = false;
    int kept = argc > 0 ? 1 : 0;  // the program's own name stays first
    for (int i = kept; i < argc; ++i) {
        if (argv[i] && _wcsicmp(argv[i], name) == 0) {
            found = true;
        } else {
            argv[kept++] = argv[i];
        }
    }
    for (int i = kept; i < argc; ++i) argv[i] = nullptr;
    argc = kept;
    return found;
}

namespace {

// The launcher windows there can be, in the order a player meets them.
BOOL CALLBACK BringLauncherWindowForward(HWND hwnd, LPARAM) {
    wchar_t name[32] = {};
    if (!IsWindowVisible(hwnd) || !GetClassNameW(hwnd, name, 32)) return TRUE;
    if (wcscmp(name, L"UpdateWnd") != 0 && wcscmp(name, L"LoginWnd") != 0 && wcscmp(name, L"ORVEL_GAME_HOST") != 0)
        return TRUE;
    if (IsIconic(hwnd)) ShowWindow(hwnd, SW_RESTORE);
    SetForegroundWindow(hwnd);
    return FALSE;
}

}  // namespace

UniqueHandle TakeLauncherMutex() {
    UniqueHandle mutex(CreateMutexW(nullptr, FALSE, kMutexName));
    if (!mutex) return mutex;
    // An abandoned mutex is ours too: its launcher ended without letting go.
    const DWORD taken = WaitForSingleObject(mutex.Get(), kOtherLauncherWaitMs);
    if (taken == WAIT_OBJECT_0 || taken == WAIT_ABANDONED) return mutex;
    EnumWindows(BringLauncherWindowForward, 0);
    return UniqueHandle();
}

FirstPhase ChooseFirstPhase(const CDuiString& updateUrl, int argc, wchar_t** argv, bool engineLoaded,
                            CDuiString& gameAddress) {
    if (!updateUrl.IsEmpty()) return FirstPhase::Update;
    if (argc > 1 && argv && argv[1] && argv[1][0] != L'\0') {
        gameAddress = argv[1];
        gameAddress.Replace(kGameAddressPrefix, L"");
        if (gameAddress.IsEmpty() || !engineLoaded) return FirstPhase::None;
        return FirstPhase::Game;
    }
    // Without an engine the login page cannot be shown; start-up ends after the missing-engine box.
    return engineLoaded ? FirstPhase::Login : FirstPhase::None;
}

bool ShouldRunGameWindow(const CDuiString& gameAddress, bool engineLoaded) {
    return engineLoaded && !gameAddress.IsEmpty();
}

bool RunFrameworkWindow(CWindowWnd* window, const wchar_t* name, int width, int height) {
    // Made hidden and shown once centred: made visible, it would show at the screen's corner first.
    if (!window || !window->Create(nullptr, name, kFrameworkWindowStyle & ~WS_VISIBLE, 0, 0, 0, width, height))
        return false;
    window->CenterWindow();
    window->ShowWindow();
    CPaintManagerUI::MessageLoop();
    return true;
}
