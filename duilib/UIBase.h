// CWindowWnd: a native window owned by a C++ object. The static window procedure finds the
// object in the window's user data (stored at WM_NCCREATE) and forwards to HandleMessage.
#pragma once

#include <windows.h>

class CWindowWnd {
public:
    CWindowWnd() = default;
    virtual ~CWindowWnd() = default;
    CWindowWnd(const CWindowWnd&) = delete;
    CWindowWnd& operator=(const CWindowWnd&) = delete;

    HWND GetHWND() const { return m_hWnd; }
    operator HWND() const { return m_hWnd; }

    // Registers the window class (GetWindowClassName) and creates the window. Null on failure;
    // then OnFinalMessage is not called and the caller still owns the object.
    // The placement is all or nothing: with defaulted coordinates a call that leaves out the
    // extended style still compiled and shifted x into it (100 sets WS_EX_MDICHILD, and
    // CreateWindowEx then fails before WM_CREATE).
    HWND Create(HWND hwndParent, const wchar_t* pstrName, DWORD dwStyle, DWORD dwExStyle, int x, int y, int cx,
                int cy, HMENU hMenu = nullptr);
    // Default placement (CW_USEDEFAULT for position and size).
    HWND Create(HWND hwndParent, const wchar_t* pstrName, DWORD dwStyle, DWORD dwExStyle);
    // Centres the window in the work area of its monitor (of the owner's, when it has one).
    void CenterWindow();
    void ShowWindow(bool bShow = true, bool bTakeFocus = true);
    // Synchronous.
    LRESULT SendMessage(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0);
    LRESULT PostMessage(UINT uMsg, WPARAM wParam = 0, LPARAM lParam = 0);
    // Posts WM_CLOSE with the code as wParam. Safe from any thread.
    void Close(UINT nRet = IDOK);

    virtual const wchar_t* GetWindowClassName() const = 0;
    // The default window procedure.
    virtual LRESULT HandleMessage(UINT uMsg, WPARAM wParam, LPARAM lParam);

protected:
    virtual UINT GetClassStyle() const;
    // Runs after the window is gone (after WM_NCDESTROY); the object may delete itself here.
    virtual void OnFinalMessage(HWND hWnd);

    HWND m_hWnd = nullptr;

private:
    static LRESULT CALLBACK WindowProc(HWND hWnd, UINT uMsg, WPARAM wParam, LPARAM lParam);
    bool m_bCreating = false;
};
