// Process entry: start-up, the window phases and shutdown. Every path returns 0.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include "app/CrashDumps.h"
#include "app/Startup.h"
#include "app/WindowPhases.h"
#include "common/Handles.h"
#include "core/GameAddress.h"
#include "core/Kuku.h"
#include "core/LauncherFolders.h"
#include "duilib/UIManager.h"
#include "duilib/UIResourceManager.h"
#include "platform/WebEngineLoader.h"
#include "update/UpdateCheck.h"

// Crash dumps kept for the publisher's support: the newest few are enough to see a pattern.
constexpr size_t kKeptCrashDumps = 5;

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int) {
    if (FAILED(CoInitialize(nullptr))) return 0;
    InstallCrashDumps(LauncherLogFolder(), kKeptCrashDumps);
    CPaintManagerUI::SetInstance(hInstance);

    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
    const bool cleanProfile = TakeSwitch(argc, argv, kCleanProfileSwitch);

    // Before the engine: its browser uses the player's profile, which admits one browser.
    UniqueHandle mutex = TakeLauncherMutex();
    if (mutex) {
        // The browser takes longest to be ready, and starts in the background as soon as the
        // configuration it needs has been read (the skin's, from the program's resources).
        SetupSkin();
        CKuku::GetInstance()->LoadFile(L"config.xml");
        EnsureWebEngine(cleanProfile);
        UpdateRelease release;
        const CDuiString url = CheckUpdate(&release);

        switch (ChooseFirstPhase(url, argc, argv, IsWebEngineLoaded(), g_gameAddress)) {
            case FirstPhase::Update:
                RunUpdatePhase(url, release);
                break;
            case FirstPhase::Login:
                RunLoginPhase();
                break;
            case FirstPhase::Game:
            case FirstPhase::None:
                break;
        }
        if (ShouldRunGameWindow(g_gameAddress, IsWebEngineLoaded())) RunGamePhase(hInstance);
        ReleaseMutex(mutex.Get());
    }
    if (argv) LocalFree(argv);
    CResourceManager::GetInstance()->Release();
    mutex.Reset();
    CoUninitialize();
    return 0;
}
