// Shared pieces of the window tests: the packed skin from the test's resources, a test window
// that records what the framework calls, message pumping with a deadline, and pixel capture.
#pragma once

#include "duilib/DuiLib.h"
#include "tests/support/MessagePump.h"

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

// Registers the embedded skin archive and its id table, and initialises COM, as start-up does.
void SetUpSkin();


// Sends a left click (down, up) at a client point.
void ClickAt(HWND hwnd, POINT pt);

POINT CenterOf(const RECT& rc);

// 0x00RRGGBB pixels of the window's client area as shown on the screen.
struct Capture {
    int width = 0;
    int height = 0;
    std::vector<DWORD> pixels;
    DWORD At(int x, int y) const { return pixels[static_cast<size_t>(y) * width + x]; }
};
Capture CaptureWindow(HWND hwnd);
// Writes the capture as a PNG file; false on failure.
bool SavePng(const Capture& capture, const std::wstring& path);

// The colour the artwork has at (x, y) of `member` (its source rectangle already applied by
// the caller), blended over `below` (0x00RRGGBB).
DWORD ArtworkPixel(const wchar_t* member, int x, int y, DWORD below);

// Colours equal within `tolerance` per channel.
bool SameColor(DWORD a, DWORD b, int tolerance = 3);

// A skinned window that records the calls the framework makes on it.
class RecordingWindow : public WindowImplBase {
    DUI_DECLARE_MESSAGE_MAP()

public:
    explicit RecordingWindow(const wchar_t* skin) : m_skin(skin) {}

    const wchar_t* GetWindowClassName() const override { return L"DuiTestWnd"; }
    CDuiString GetSkinFile() override { return m_skin; }
    void InitWindow() override;
    void OnClick(TNotifyUI& msg) override;
    CControlUI* CreateControl(const wchar_t* pstrClass) override;
    LRESULT OnClose(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
    LRESULT OnSysCommand(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
    LRESULT HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) override;
    void OnFinalMessage(HWND hWnd) override;

    CPaintManagerUI& Manager() { return m_pm; }

    CDuiString m_skin;
    int m_initCount = 0;
    bool m_controlsAtInit = false;
    std::vector<std::wstring> m_askedClasses;
    std::vector<CControlUI*> m_clicks;
    int m_closeCount = 0;
    std::vector<WPARAM> m_sysCommands;
    std::vector<UINT> m_customMessages;
    bool m_final = false;
    bool m_destroyedSeen = false;
};
