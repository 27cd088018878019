// The game window ("ORVEL_GAME"): the player's input for the page, and the page's pixels.
#include "game/GameWnd.h"

#include <imm.h>
#include <windowsx.h>

#include "common/Handles.h"
#include "game/RenderGDI.h"
#include "platform/WkeInput.h"

namespace {

// The modifier state the player holds right now, in the mouse flags' bits. WM_CONTEXTMENU carries
// a window handle where the mouse messages carry these.
unsigned CurrentMouseFlags() {
    unsigned flags = 0;
    if (GetKeyState(VK_SHIFT) < 0) flags |= MK_SHIFT;
    if (GetKeyState(VK_CONTROL) < 0) flags |= MK_CONTROL;
    return flags;
}

}  // namespace

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
    HWND hWnd = m_hGameWnd;
    wkeWebView view = m_webView;
    bool handled = false;
    switch (message) {
    case WM_SETFOCUS:
        wkeSetFocus(view);
        return 0;
    case WM_KILLFOCUS:
        wkeKillFocus(view);
        return 0;
    case WM_IME_STARTCOMPOSITION:
        PlaceCandidateWindow();
        return 0;
    case WM_CONTEXTMENU: {
        POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        // (-1, -1) comes from the menu key and is no screen point.
        if (pt.x != -1 && pt.y != -1) ScreenToClient(hWnd, &pt);
        handled = wkeFireContextMenuEvent(view, pt.x, pt.y, CurrentMouseFlags());
        break;
    }
    case WM_KEYDOWN:
        handled = wkeFireKeyDownEvent(view, static_cast<unsigned>(wParam), WkeKeyFlags(lParam), false);
        break;
    case WM_KEYUP:
        handled = wkeFireKeyUpEvent(view, static_cast<unsigned>(wParam), WkeKeyFlags(lParam), false);
        break;
    case WM_CHAR:
        handled = wkeFireKeyPressEvent(view, static_cast<unsigned>(wParam), WkeKeyFlags(lParam), false);
        break;
    case WM_MOUSEWHEEL: {
        POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ScreenToClient(hWnd, &pt);
        handled = wkeFireMouseWheelEvent(view, pt.x, pt.y, GET_WHEEL_DELTA_WPARAM(wParam),
                                         WkeMouseFlags(GET_KEYSTATE_WPARAM(wParam)));
        break;
    }
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        SetFocus(hWnd);
        // Captured, so that a drag released outside the window still reaches the page.
        SetCapture(hWnd);
        handled = wkeFireMouseEvent(view, message, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), WkeMouseFlags(wParam));
        break;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
        ReleaseCapture();
        handled = wkeFireMouseEvent(view, message, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), WkeMouseFlags(wParam));
        break;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
        handled = wkeFireMouseEvent(view, message, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam), WkeMouseFlags(wParam));
        break;
    default:
        break;
    }
    return handled ? 0 : DefWindowProcW(hWnd, message, wParam, lParam);
}

void CGameWnd::PlaceCandidateWindow() {
    const wkeRect caret = wkeGetCaretRect(m_webView);
    CANDIDATEFORM form{};
    form.dwIndex = 0;
    form.dwStyle = CFS_EXCLUDE;
    form.ptCurrentPos.x = caret.x;
    form.ptCurrentPos.y = caret.y + caret.h;
    form.rcArea.left = caret.x;
    form.rcArea.top = caret.y;
    form.rcArea.right = caret.x + caret.w;
    form.rcArea.bottom = caret.y + caret.h;
    if (HIMC context = ImmGetContext(m_hGameWnd)) {
        ImmSetCandidateWindow(context, &form);
        ImmReleaseContext(m_hGameWnd, context);
    }
}

void WKE_CALL CGameWnd::OnPaintUpdated(wkeWebView, void* param, HDC hdc, int x, int y, int cx, int cy) {
    CGameWnd* game = FromParam(param);
    if (game && game->m_pRender) game->m_pRender->UpdateRect(hdc, x, y, cx, cy);
}
