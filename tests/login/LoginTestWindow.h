// A login window built from the packed skin in this test program's resources, with the
// stand-in engine, the shipped configuration and helpers to click and answer as a player would.
#pragma once

#include "core/GameAddress.h"
#include "core/Kuku.h"
#include "login/LoginWnd.h"
#include "tests/support/MessagePump.h"
#include "tests/support/WindowFinder.h"
#include "tests/wkefake/FakeWebEngine.h"
#include "webview/WkeWebkitUI.h"

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace logintest {

// Registers the skin archive linked into this program (type "ZIPRES", name "SKIN") and its id
// table, and fills the configuration from the skin's config.xml.
inline void UsePackedSkin() {
    HMODULE self = GetModuleHandleW(nullptr);
    CPaintManagerUI::SetInstance(self);
    HRSRC found = FindResourceW(self, L"SKIN", L"ZIPRES");
    ASSERT_NE(found, nullptr);
    const void* bytes = LockResource(LoadResource(self, found));
    ASSERT_TRUE(CPaintManagerUI::SetResourceZip(bytes, SizeofResource(self, found)));
    CPaintManagerUI::SetResourceType(UILIB_ZIPRESOURCE);
    ASSERT_TRUE(CResourceManager::GetInstance()->LoadResource(L"res.xml"));
    CKuku::GetInstance()->LoadFile(L"config.xml");
    ASSERT_STRNE(CKuku::GetInstance()->Get(L"LoginURL"), L"");
}

// Presses and releases the left button at a client point of `hwnd`.
inline void ClickAt(HWND hwnd, int x, int y) {
    PostMessageW(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(x, y));
    PostMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(x, y));
    PostMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

// Answers the next message box of this process with OK from another thread, as a player would,
// and reports what it showed.
class MessageBoxAnswerer {
public:
    MessageBoxAnswerer() {
        m_thread = std::thread([this] {
            HWND box = WaitForWindow(L"", kDialogClass, GetCurrentProcessId(), 20000);
            if (!box) return;
            m_found = true;
            m_text = MessageBoxText(box);
            m_owner = GetWindow(box, GW_OWNER);
            m_clicked = ClickButton(box, L"OK");
        });
    }
    ~MessageBoxAnswerer() { Join(); }
    void Join() {
        if (m_thread.joinable()) m_thread.join();
    }
    bool found() const { return m_found; }
    bool clicked() const { return m_clicked; }
    const std::wstring& text() const { return m_text; }
    HWND owner() const { return m_owner; }

private:
    std::thread m_thread;
    bool m_found = false;
    bool m_clicked = false;
    std::wstring m_text;
    HWND m_owner = nullptr;
};

class LoginWindow : public ::testing::Test {
protected:
    void SetUp() override {
        UsePackedSkin();
        login = GetLoginWnd();
        ASSERT_EQ(login, g_pLoginWnd);
        ASSERT_NE(login->Create(nullptr, L"Login", WS_POPUP | WS_CLIPCHILDREN | WS_VISIBLE, 0), nullptr);
        login->CenterWindow();
        hwnd = login->GetHWND();
        PumpPending();
        ASSERT_NE(login->GetWebViewControl(), nullptr);
        loginView = login->GetWebViewControl()->GetWebView();
    }
    void TearDown() override {
        if (g_pLoginWnd && IsWindow(hwnd)) DestroyWindow(hwnd);
        PumpPending();
    }

    ScopedFakeWebEngine engine;
    CLoginWnd* login = nullptr;
    HWND hwnd = nullptr;
    wkeWebView loginView = nullptr;
};

}  // namespace logintest
