#include "app/WindowPhases.h"

#include "app/Startup.h"

#include "duilib/DuiLib.h"
#include "game/GameWnd.h"
#include "login/LoginWnd.h"
#include "update/UpdateWnd.h"

void RunUpdatePhase(const CDuiString& installerUrl, const UpdateRelease& release) {
    auto* window = new CUpdateWnd(installerUrl, release);
    // Without a native window OnFinalMessage never runs, so the object is ours to delete.
    if (!RunFrameworkWindow(window, L"Update", 400, 300)) delete window;
}

void RunLoginPhase() {
    // The login window deletes itself once its native window is gone.
    RunFrameworkWindow(GetLoginWnd(), L"Login", 1500, 900);
}

void RunGamePhase(HINSTANCE instance) {
    // The one game window lives until the process ends.
    auto* game = new CGameWnd(instance);
    game->Create();
    // Create has told the user when the host window could not be made.
    if (!game->HostWindow()) return;
    ShowWindow(game->HostWindow(), SW_SHOW);
    UpdateWindow(game->HostWindow());
    game->PumpMessages();
}
