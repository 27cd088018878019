#include "tests/game/GameTestSupport.h"

#include "core/GameAddress.h"

bool TakeQuit() {
    MSG msg;
    return PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE) != 0;
}

void GameTest::Build(const wchar_t* address) {
    g_gameAddress = address;
    m_game = std::make_unique<CGameWnd>(GetModuleHandleW(nullptr));
    m_game->Create();
    ASSERT_NE(m_game->HostWindow(), nullptr);
    ASSERT_NE(View(), nullptr);
}

void GameTest::Show() {
    ShowWindow(m_game->HostWindow(), SW_SHOW);
    UpdateWindow(m_game->HostWindow());
    SetForegroundWindow(m_game->HostWindow());
    ASSERT_TRUE(PumpUntil([&] { return IsWindowVisible(m_game->GameWindow()) != FALSE; }));
    PumpPending();
}

namespace {

struct DialogSearch {
    HWND found = nullptr;
};

BOOL CALLBACK FindDialog(HWND hwnd, LPARAM lParam) {
    wchar_t cls[16] = {};
    GetClassNameW(hwnd, cls, 16);
    if (wcscmp(cls, L"#32770") == 0 && IsWindowVisible(hwnd)) {
        reinterpret_cast<DialogSearch*>(lParam)->found = hwnd;
        return FALSE;
    }
    return TRUE;
}

BOOL CALLBACK CollectText(HWND hwnd, LPARAM lParam) {
    wchar_t cls[16] = {};
    GetClassNameW(hwnd, cls, 16);
    if (_wcsicmp(cls, L"Static") == 0) {
        wchar_t text[1024] = {};
        GetWindowTextW(hwnd, text, 1024);
        auto* out = reinterpret_cast<std::wstring*>(lParam);
        if (wcslen(text) > out->size()) *out = text;
    }
    return TRUE;
}

}  // namespace

MessageBoxUser::MessageBoxUser(DWORD uiThread, int buttonId)
    : m_stop(CreateEventW(nullptr, TRUE, FALSE, nullptr)) {
    m_thread = std::thread([this, uiThread, buttonId] { Run(uiThread, buttonId); });
}

MessageBoxUser::~MessageBoxUser() {
    SetEvent(m_stop);
    if (m_thread.joinable()) m_thread.join();
    CloseHandle(m_stop);
}

bool MessageBoxUser::Finish() {
    if (m_thread.joinable()) m_thread.join();
    return m_clicked;
}

void MessageBoxUser::Run(DWORD uiThread, int buttonId) {
    const ULONGLONG deadline = GetTickCount64() + 10000;
    while (GetTickCount64() < deadline) {
        DialogSearch search;
        EnumThreadWindows(uiThread, FindDialog, reinterpret_cast<LPARAM>(&search));
        HWND button = search.found ? GetDlgItem(search.found, buttonId) : nullptr;
        if (button) {
            wchar_t caption[256] = {};
            GetWindowTextW(search.found, caption, 256);
            m_caption = caption;
            m_owner = GetWindow(search.found, GW_OWNER);
            EnumChildWindows(search.found, CollectText, reinterpret_cast<LPARAM>(&m_text));
            // The button's own click, as a user's press produces it.
            SendMessageW(button, BM_CLICK, 0, 0);
            m_clicked = true;
            return;
        }
        // The box is not up yet: look again shortly, unless the test gave up.
        if (WaitForSingleObject(m_stop, 10) == WAIT_OBJECT_0) return;
    }
}
