// Shared pieces of the game window tests: a game window built on the engine double with
// chosen settings, message pumping with a deadline and a "user" that answers message boxes.
#pragma once

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <thread>

#include "core/Kuku.h"
#include "game/GameWnd.h"
#include "tests/support/MessagePump.h"
#include "tests/wkefake/FakeWebEngine.h"

// True when a WM_QUIT is waiting in this thread's queue (and takes it out).
bool TakeQuit();

// Adds a configuration value for this test process (the store keeps the first value of a key).
inline void Setting(const wchar_t* key, const wchar_t* value) {
    CKuku::GetInstance()->Add(key, value);
}

// A game window built on the engine double. Settings must be added before Build.
class GameTest : public testing::Test {
protected:
    void Build(const wchar_t* address = L"http://game.test/play?id=1");
    // Shows the host window as the entry does and waits until it is on the screen.
    void Show();
    wkeWebView View() const { return m_game->WebView(); }
    const wkefake::View& ViewState() const { return *wkefake::FindView(View()); }
    // The game page itself: the game view's main frame on the address it loaded.
    wkefake::Caller Page() const { return wkefake::MainFrameOf(View()); }

    ScopedFakeWebEngine m_engine;
    std::unique_ptr<CGameWnd> m_game;
};

// Plays the user of one message box: a thread that waits for a dialog of `uiThread` to appear,
// notes its text and owner, and clicks the button `buttonId`. Polls with a deadline.
class MessageBoxUser {
public:
    MessageBoxUser(DWORD uiThread, int buttonId);
    ~MessageBoxUser();
    MessageBoxUser(const MessageBoxUser&) = delete;
    MessageBoxUser& operator=(const MessageBoxUser&) = delete;

    // Waits for the thread to finish; true when it found and clicked a box.
    bool Finish();
    const std::wstring& Text() const { return m_text; }
    const std::wstring& Caption() const { return m_caption; }
    HWND Owner() const { return m_owner; }

private:
    void Run(DWORD uiThread, int buttonId);

    std::wstring m_text;
    std::wstring m_caption;
    HWND m_owner = nullptr;
    std::atomic<bool> m_clicked{false};
    HANDLE m_stop = nullptr;  // owned; signalled by the destructor to give up early
    std::thread m_thread;
};
