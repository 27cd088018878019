#include "game/WindowProcs.h"

#include <imm.h>
#include <windowsx.h>

#include "common/Handles.h"
#include "game/GameWnd.h"
#include "game/RenderGDI.h"

namespace {

const unsigned kMouseFlagMask = MK_LBUTTON | MK_RBUTTON | MK_SHIFT | MK_CONTROL | MK_MBUTTON;
const unsigned kKeyRepeat = 0x4000;
const unsigned kKeyExtended = 0x0100;

// At WM_CREATE the window stores its object and its own handle in it; afterwards every message
// finds the object in the user data (null before WM_CREATE and after the object let go).
CGameWnd* Attach(HWND hWnd, UINT message, LPARAM lParam, HWND CGameWnd::*slot) {
    if (message == WM_CREATE) {
        auto* cs = reinterpret_cast<CREATESTRUCTW*>(lParam);
        if (auto* game = static_cast<CGameWnd*>(cs->lpCreateParams)) {
            game->*slot = hWnd;
            SetWindowLongPtrW(hWnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(game));
        }
    }
    return reinterpret_cast<CGameWnd*>(GetWindowLongPtrW(hWnd, GWLP_USERDATA));
}

// The modifier state the player holds right now, in the mouse flags' bits. WM_CONTEXTMENU carries
// a window handle where the mouse messages carry these.
unsigned CurrentMouseFlags() {
    unsigned flags = 0;
    if (GetKeyState(VK_SHIFT) < 0) flags |= MK_SHIFT;
    if (GetKeyState(VK_CONTROL) < 0) flags |= MK_CONTROL;
    return flags;
}

void PlaceCandidateWindow(HWND hWnd, wkeWebView view) {
    const wkeRect caret = wkeGetCaretRect(view);
    CANDIDATEFORM form{};
    form.dwIndex = 0;
    form.dwStyle = CFS_EXCLUDE;
    form.ptCurrentPos.x = caret.x;
    form.ptCurrentPos.y = caret.y + caret.h;
    form.rcArea.left = caret.x;
    form.rcArea.top = caret.y;
    form.rcArea.right = caret.x + caret.w;
    form.rcArea.bottom = caret.y + caret.h;
    if (HIMC context = ImmGetContext(hWnd)) {
        ImmSetCandidateWindow(context, &form);
        ImmReleaseContext(hWnd, context);
    }
}

// 0 when the page took the event, else the default processing.
LRESULT Handled(bool handled, HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return handled ? 0 : DefWindowProcW(hWnd, message, wParam, lParam);
}

}  // namespace

unsigned MouseFlags(WPARAM wParam) { return static_cast<unsigned>(wParam) & kMouseFlagMask; }

unsigned KeyFlags(LPARAM lParam) {
    unsigned flags = 0;
    if (lParam & (1 << 30)) flags |= kKeyRepeat;
    if (lParam & (1 << 24)) flags |= kKeyExtended;
    return flags;
}

LRESULT CALLBACK GameWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CGameWnd* game = Attach(hWnd, message, lParam, &CGameWnd::m_hGameWnd);
    if (!game) return DefWindowProcW(hWnd, message, wParam, lParam);
    wkeWebView view = game->m_webView;

    switch (message) {
    case WM_SIZE:
        if (view && game->m_pRender) {
            wkeResize(view, LOWORD(lParam), HIWORD(lParam));
            game->m_pRender->Resize(LOWORD(lParam), HIWORD(lParam));
        }
        return 0;
    case WM_PAINT: {
        PaintScope paint(hWnd);
        if (game->m_pRender) game->m_pRender->Paint(paint.Get());
        return 0;
    }
    case WM_COMMAND:
        SendMessageW(GetParent(hWnd), WM_COMMAND, wParam, lParam);
        return 0;
    default:
        break;
    }

    // Everything below talks to the page; without a view it is the default processing.
    if (!view) return DefWindowProcW(hWnd, message, wParam, lParam);
    switch (message) {
    case WM_SETFOCUS:
        wkeSetFocus(view);
        return 0;
    case WM_KILLFOCUS:
        wkeKillFocus(view);
        return 0;
    case WM_CONTEXTMENU: {
        POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        // (-1, -1) comes from the menu key and is no screen point.
        if (pt.x != -1 && pt.y != -1) ScreenToClient(hWnd, &pt);
        return Handled(wkeFireContextMenuEvent(view, pt.x, pt.y, CurrentMouseFlags()), hWnd,
                       message, wParam, lParam);
    }
    case WM_KEYDOWN:
        return Handled(wkeFireKeyDownEvent(view, static_cast<unsigned>(wParam), KeyFlags(lParam),
                                           false),
                       hWnd, message, wParam, lParam);
    case WM_KEYUP:
        return Handled(wkeFireKeyUpEvent(view, static_cast<unsigned>(wParam), KeyFlags(lParam),
                                         false),
                       hWnd, message, wParam, lParam);
    case WM_CHAR:
        return Handled(wkeFireKeyPressEvent(view, static_cast<unsigned>(wParam), KeyFlags(lParam),
                                            false),
                       hWnd, message, wParam, lParam);
    case WM_IME_STARTCOMPOSITION:
        PlaceCandidateWindow(hWnd, view);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
        SetFocus(hWnd);
        // Captured, so that a drag released outside the window still reaches the page.
        SetCapture(hWnd);
        break;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
        ReleaseCapture();
        break;
    case WM_MOUSEMOVE:
    case WM_LBUTTONDBLCLK:
    case WM_RBUTTONDBLCLK:
    case WM_MBUTTONDBLCLK:
        break;
    case WM_MOUSEWHEEL: {
        POINT pt{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ScreenToClient(hWnd, &pt);
        return Handled(wkeFireMouseWheelEvent(view, pt.x, pt.y, GET_WHEEL_DELTA_WPARAM(wParam),
                                              MouseFlags(GET_KEYSTATE_WPARAM(wParam))),
                       hWnd, message, wParam, lParam);
    }
    default:
        return DefWindowProcW(hWnd, message, wParam, lParam);
    }
    // The mouse messages that fall through to here.
    return Handled(wkeFireMouseEvent(view, message, GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam),
                                     MouseFlags(wParam)),
                   hWnd, message, wParam, lParam);
}

LRESULT CALLBACK HostWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    CGameWnd* game = Attach(hWnd, message, lParam, &CGameWnd::m_hHostWnd);
    if (!game) return DefWindowProcW(hWnd, message, wParam, lParam);

    switch (message) {
    case WM_DESTROY:
        game->m_hHostWnd = nullptr;
        // Nothing else would ever end the pump once the window is gone.
        if (game == g_pGameWnd) PostQuitMessage(0);
        break;
    case WM_SIZE:
        game->ResizeView();
        break;
    case WM_PAINT:
        if (game->m_pRender) {
            PaintScope paint(hWnd);
            game->m_pRender->Paint(paint.Get());
        }
        break;
    case WM_CLOSE:
        // Never the default processing: it would destroy the window under the running game.
        if (game == g_pGameWnd && game->ConfirmExit()) PostQuitMessage(0);
        return 0;
    case WM_SYSCOMMAND:
        // Through the maximised state, so the window comes back at its normal placement.
        if ((wParam & 0xFFF0) == SC_RESTORE) {
            ShowWindow(hWnd, SW_SHOWMAXIMIZED);
            ShowWindow(hWnd, SW_RESTORE);
        }
        break;
    default:
        break;
    }
    return DefWindowProcW(hWnd, message, wParam, lParam);
}

void WKE_CALL CGameWnd::OnGamePaintUpdated(wkeWebView, void* param, HDC hdc, int x, int y, int cx,
                                           int cy) {
    CGameWnd* game = FromParam(param);
    if (game && game->m_pRender) game->m_pRender->UpdateRect(hdc, x, y, cx, cy);
}
