// The game window ("ORVEL_GAME"): the player's input for the page, and the page's pixels.
#include "game/GameWnd.h"

#include "common/Handles.h"
#include "game/RenderGDI.h"
#include "platform/WebEngineLoader.h"

LRESULT CGameWnd::OnGameMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_SIZE:
        if (m_webView && m_pRender) {
            wkeResize(m_webView, LOWORD(lParam), HIWORD(lParam));
            m_pRender->Resize(LOWORD(lParam), HIWORD(lParam));
        }
        return 0;
    case WM_PAINT: {
        PaintScope paint(m_hGameWnd);
        if (m_pRender) m_pRender->Paint(paint.Get());
        return 0;
    }
    case WM_COMMAND:
        SendMessageW(GetParent(m_hGameWnd), WM_COMMAND, wParam, lParam);
        return 0;
    default:
        break;
    }
    // Everything else talks to the page; without a view it is the default processing.
    if (!m_webView) return DefWindowProcW(m_hGameWnd, message, wParam, lParam);
    return OnGameInput(message, wParam, lParam);
}

LRESULT CGameWnd::OnGameInput(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    const WkeInputCalls calls = WkeLoadedInputCalls();
    if (WkeWindowInput(calls, kGameWindowInput, m_webView, m_hGameWnd, message, wParam, lParam, &result)) return result;
    return DefWindowProcW(m_hGameWnd, message, wParam, lParam);
}

void WKE_CALL CGameWnd::OnPaintUpdated(wkeWebView, void* param, HDC hdc, int x, int y, int cx, int cy) {
    CGameWnd* game = FromParam(param);
    if (game && game->m_pRender) game->m_pRender->UpdateRect(hdc, x, y, cx, cy);
}
