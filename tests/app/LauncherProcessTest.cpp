// The launcher executable run as a whole, as a user would start it.
#include "core/UserAgent.h"
#include "tests/app/LauncherFolder.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/ReleaseSigner.h"
#include "tests/support/WindowFinder.h"
#include "tests/wkefake/FakeEngineRemote.h"

#include <gtest/gtest.h>

#include <string>

namespace {

constexpr DWORD kTimeoutMs = 30000;
const char kConfigTarget[] = "/client/qemox/Velmark/config.xml?ver2020111203";

// The server's document offering `version`, signed; the installer it names is never served.
std::string ServerDocument(const std::string& version) {
    return ReleaseDocument(SignedRelease("an installer", std::wstring(version.begin(), version.end())));
}

// A copy of the launcher in a folder of its own, so that each test decides what lies beside it.
class LauncherProcessTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_copy.Ready());
        // The launcher asks the publisher's server compiled into it.
        ASSERT_TRUE(m_server.StartWhenFree(18480));
    }
    void TearDown() override {
        m_server.Stop();
    }
    void Launch(const std::wstring& arguments = std::wstring()) {
        ASSERT_TRUE(m_launcher.Start(m_copy.Program(), arguments, m_copy.Folder() + L"engine.log"));
    }

    // The engine's start as the launcher asked for it: the line of wkeInitializeEx in its log.
    std::string EngineStart() const {
        for (const std::string& line : m_launcher.LogLines())
            if (line.rfind("wkeInitializeEx ", 0) == 0) return line;
        return std::string();
    }

    LauncherFolder m_copy{L"orvel_launcher_"};
    LoopbackHttpServer m_server;
    wkefake::RemoteEngine m_launcher;
};

// The browser's profile, as the log quotes it: the user's own, kept from run to run.
constexpr char kProfileInLog[] = "\\\\AppData\\\\Local\\\\Tolma Launcher\\\\Browser\" ";

TEST_F(LauncherProcessTest, MissingEngineIsReportedAndStartUpGoesOn) {
    m_server.SetRoute(kConfigTarget, HttpRoute::Ok(ServerDocument("2020111203")));
    Launch();
    HWND box = WaitForWindow(L"ERROR", kDialogClass, m_launcher.ProcessId(), kTimeoutMs);
    ASSERT_NE(nullptr, box);
    EXPECT_EQ(L"node.dll not found!", MessageBoxText(box));
    // Start-up waits for the answer: the update check has not asked the server yet.
    EXPECT_TRUE(m_server.Requests().empty());
    ASSERT_TRUE(ClickButton(box, L"OK"));

    // Then the update check runs, and with no engine for the login page the launcher ends.
    ASSERT_TRUE(m_server.WaitForRequests(1, kTimeoutMs));
    EXPECT_EQ(kConfigTarget, m_server.Requests()[0].target);
    const auto exitCode = m_launcher.WaitForExit(kTimeoutMs);
    ASSERT_TRUE(exitCode.has_value());
    EXPECT_EQ(0u, *exitCode);
}

TEST_F(LauncherProcessTest, NewerVersionOpensTheUpdateWindowEvenWithAnAddress) {
    m_server.SetRoute(kConfigTarget, HttpRoute::Ok(ServerDocument("2020111204")));
    // The installer download never answers, so the window stays while the test looks at it.
    HttpRoute installer;
    installer.delivery = HttpRoute::Delivery::NeverAnswer;
    m_server.SetRoute("/client/qemox/Velmark/update_2020111204.exe", installer);
    ASSERT_TRUE(wkefake::CopyEngineDll(wkefake::EngineDll::Complete, m_copy.Folder()));
    Launch(L"orvelclient://http://127.0.0.1:18480/game.html");
    HWND update = WaitForWindow(L"Update", nullptr, m_launcher.ProcessId(), kTimeoutMs);
    ASSERT_NE(nullptr, update);
    RECT bounds{};
    ASSERT_TRUE(GetWindowRect(update, &bounds));
    EXPECT_EQ(400, bounds.right - bounds.left);
    EXPECT_EQ(200, bounds.bottom - bounds.top);
    // The update wins over the address: no game window is made.
    for (const FoundWindow& window : VisibleTopLevelWindows()) {
        if (window.processId == m_launcher.ProcessId()) {
            EXPECT_NE(L"ORVEL_GAME_HOST", window.className);
        }
    }
    EXPECT_TRUE(m_server.WaitForRequests(2, kTimeoutMs));
    EXPECT_EQ("/client/qemox/Velmark/update_2020111204.exe", m_server.Requests().back().target);
}

TEST_F(LauncherProcessTest, MissingEngineStillLetsTheUpdateWindowWork) {
    m_server.SetRoute(kConfigTarget, HttpRoute::Ok(ServerDocument("2020111204")));
    HttpRoute installer;
    installer.delivery = HttpRoute::Delivery::NeverAnswer;
    m_server.SetRoute("/client/qemox/Velmark/update_2020111204.exe", installer);
    Launch();
    HWND box = WaitForWindow(L"ERROR", kDialogClass, m_launcher.ProcessId(), kTimeoutMs);
    ASSERT_NE(nullptr, box);
    ASSERT_TRUE(ClickButton(box, L"OK"));
    EXPECT_NE(nullptr, WaitForWindow(L"Update", nullptr, m_launcher.ProcessId(), kTimeoutMs));
}

TEST_F(LauncherProcessTest, GameAddressOnTheCommandLineOpensTheGameWindow) {
    m_server.SetRoute(kConfigTarget, HttpRoute::Ok(ServerDocument("2020111203")));
    ASSERT_TRUE(wkefake::CopyEngineDll(wkefake::EngineDll::Complete, m_copy.Folder()));
    // The launcher's own switch stands anywhere and is no address.
    Launch(L"--CLEAN-PROFILE orvelclient://http://127.0.0.1:18480/game.html?sid=1");
    HWND host = nullptr;
    const ULONGLONG deadline = GetTickCount64() + kTimeoutMs;
    while (!host && GetTickCount64() < deadline) {
        for (const FoundWindow& window : VisibleTopLevelWindows()) {
            if (window.processId == m_launcher.ProcessId() && window.className == L"ORVEL_GAME_HOST") host = window.hwnd;
        }
        if (!host) WaitForSingleObject(m_launcher.Process(), 20);
    }
    ASSERT_NE(nullptr, host);
    wchar_t title[64] = {};
    GetWindowTextW(host, title, 64);
    EXPECT_STREQ(L"Tolma Launcher", title);
    // The game view loads the address without the prefix, marked as a desktop client.
    bool loaded = false;
    for (const std::string& line : m_launcher.LogLines()) {
        if (line.find("wkeLoadURLW") != std::string::npos &&
            line.find("http://127.0.0.1:18480/game.html?sid=1&desktopType=1") != std::string::npos &&
            line.find("orvelclient://") == std::string::npos) {
            loaded = true;
        }
    }
    EXPECT_TRUE(loaded);
    EXPECT_NE(EngineStart().find(std::string(kProfileInLog) + "1"), std::string::npos) << EngineStart();
}

TEST_F(LauncherProcessTest, WithoutArgumentTheLoginWindowOpens) {
    m_server.SetRoute(kConfigTarget, HttpRoute::Ok(ServerDocument("2020111203")));
    ASSERT_TRUE(wkefake::CopyEngineDll(wkefake::EngineDll::Complete, m_copy.Folder()));
    Launch();
    HWND login = WaitForWindow(L"Login", nullptr, m_launcher.ProcessId(), kTimeoutMs);
    ASSERT_NE(nullptr, login);
    // The skin's size governs the window, centred on the screen.
    RECT bounds{};
    ASSERT_TRUE(GetWindowRect(login, &bounds));
    EXPECT_EQ(1100, bounds.right - bounds.left);
    EXPECT_EQ(550, bounds.bottom - bounds.top);
    EXPECT_EQ(1u, m_server.Requests().size());
    // The browser starts with the launcher's user agent: nothing it sends carries another.
    EXPECT_NE(EngineStart().find(std::string(kProfileInLog) + "0 \"" + kLauncherUserAgent + "\""), std::string::npos)
        << EngineStart();

    // A second launcher meets the first one's mutex: it gives way without starting an engine (and
    // so a browser on the same profile) or asking the server anything.
    wkefake::RemoteEngine second;
    ASSERT_TRUE(second.Start(m_copy.Program(), L"", m_copy.Folder() + L"second-engine.log"));
    const auto exitCode = second.WaitForExit(kTimeoutMs);
    ASSERT_TRUE(exitCode.has_value());
    EXPECT_EQ(0u, *exitCode);
    EXPECT_TRUE(second.LogLines().empty());
    EXPECT_EQ(1u, m_server.Requests().size());
    EXPECT_TRUE(IsWindowVisible(login));
}

TEST_F(LauncherProcessTest, UnusableEngineEndsStartUpWithoutWindows) {
    m_server.SetRoute(kConfigTarget, HttpRoute::Ok(ServerDocument("2020111203")));
    ASSERT_TRUE(wkefake::CopyEngineDll(wkefake::EngineDll::WithoutInitialize, m_copy.Folder()));
    Launch();
    const auto exitCode = m_launcher.WaitForExit(kTimeoutMs);
    ASSERT_TRUE(exitCode.has_value());
    EXPECT_EQ(0u, *exitCode);
    EXPECT_EQ(1u, m_server.Requests().size());
}

TEST_F(LauncherProcessTest, PrefixAloneEndsWithoutAnyWindow) {
    m_server.SetRoute(kConfigTarget, HttpRoute::Ok(ServerDocument("2020111203")));
    ASSERT_TRUE(wkefake::CopyEngineDll(wkefake::EngineDll::Complete, m_copy.Folder()));
    Launch(L"orvelclient://");
    const auto exitCode = m_launcher.WaitForExit(kTimeoutMs);
    ASSERT_TRUE(exitCode.has_value());
    EXPECT_EQ(0u, *exitCode);
    EXPECT_EQ(1u, m_server.Requests().size());
}

}  // namespace
