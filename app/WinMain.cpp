// Process entry: start-up, the window phases and shutdown. Every path returns 0.
#include <windows.h>
#include <objbase.h>
#include <shellapi.h>

#include "core/GameAddress.h"
#include "core/Kuku.h"
#include "app/Startup.h"
#include "app/WindowPhases.h"
#include "common/Handles.h"
#include "duilib/UIManager.h"
#include "duilib/UIResourceManager.h"
#include "platform/WebEngineLoader.h"
#include "update/UpdateCheck.h"

int WINAPI WinMain(HINSTANCE hInstance, HINSTANCE, LPSTR, int) {
    if (FAILED(CoInitialize(nullptr))) return 0;
    CPaintManagerUI::SetInstance(hInstance);
    SetupSkin();
    EnsureWebEngine();

    // A second instance is not refused; the mutex only marks that one runs.
    UniqueHandle mutex(CreateMutexW(nullptr, FALSE, kMutexName));
    if (GetLastError() == ERROR_ALREADY_EXISTS) mutex.Reset(OpenMutexW(SYNCHRONIZE, FALSE, kMutexName));

    CKuku::GetInstance()->LoadFile(L"config.xml");
    UpdateRelease release;
    const CDuiString url = CheckUpdate(&release);

    int argc = 0;
    wchar_t** argv = CommandLineToArgvW(GetCommandLineW(), &argc);
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
    if (argv) LocalFree(argv);

    if (ShouldRunGameWindow(g_gameAddress, IsWebEngineLoaded())) RunGamePhase(hInstance);

    CResourceManager::GetInstance()->Release();
    if (mutex) ReleaseMutex(mutex.Get());
    mutex.Reset();
    CoUninitialize();
    return 0;
}
