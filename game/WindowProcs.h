// The window procedures of the game window (child, "ORVEL_GAME") and its host ("ORVEL_GAME_HOST").
// Both find their CGameWnd in the window's user data, stored at WM_CREATE from the creation
// parameter.
#pragma once

#include <windows.h>

LRESULT CALLBACK GameWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT CALLBACK HostWndProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam);

// The engine's flags for a mouse or wheel message: the button and modifier bits of wParam.
unsigned MouseFlags(WPARAM wParam);
// The engine's flags for a key message: 0x4000 for a repeat, 0x0100 for an extended key.
unsigned KeyFlags(LPARAM lParam);
