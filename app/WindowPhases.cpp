#include "app/WindowPhases.h"

#include "app/Startup.h"

#include "duilib/DuiLib.h"
#include "game/GameWnd.h"
#include "login/LoginWnd.h"
#include "update/UpdateWnd.h"

#include <new>

void RunUpdatePhase(const CDuiString& installerUrl) {
    CUpdateWnd* window = new (std::nothrow) CUpdateWnd(installerUrl);
    if (!window) return;
    // Without a native window OnFinalMessage never runs, so the object is ours to delete.
    if (!RunFrameworkWindow(window, L"Update", 400, 300)) delete window;
}

void RunLoginPhase() {
    // The login window deletes itself once its native window is gone.
    RunFrameworkWindow(GetLoginWnd(), L"Login", 1500, 900);
}

void RunGamePhase(HINSTANCE instance) {
    // The one game window lives until the process ends.
    CGameWnd* game = new (std::nothrow) CGameWnd(instance);
    if (!game) return;
    game->Create();
    // Create has told the user when the host window could not be made.
    if (!game->m_hHostWnd) return;
    ShowWindow(game->m_hHostWnd, SW_SHOW);
    UpdateWindow(game->m_hHostWnd);
    game->PumpMessages();
}
