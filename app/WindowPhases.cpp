#include "app/WindowPhases.h"

#include "duilib/DuiLib.h"
#include "game/GameWnd.h"
#include "login/LoginWnd.h"

#include <new>

namespace {
// WS_POPUP | WS_VISIBLE | WS_CLIPSIBLINGS | WS_CLIPCHILDREN | WS_CAPTION | WS_SYSMENU
constexpr DWORD kFrameworkWindowStyle = 0x96C80000;
}  // namespace

bool RunFrameworkWindow(CWindowWnd* window, const wchar_t* name, int width, int height) {
    if (!window || !window->Create(nullptr, name, kFrameworkWindowStyle, 0, 0, 0, width, height)) return false;
    window->CenterWindow();
    CPaintManagerUI::MessageLoop();
    return true;
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
