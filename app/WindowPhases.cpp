#include "app/WindowPhases.h"

#include "app/Startup.h"

#include "duilib/DuiLib.h"
#include "game/GameWnd.h"
#include "login/LoginWnd.h"

#include <new>

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
