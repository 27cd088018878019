#include "update/UpdateWnd.h"

#include "core/Kuku.h"
#include "duilib/UIManager.h"
#include "duilib/UIResourceManager.h"
#include "update/InstallerStart.h"

#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/ReleaseSigner.h"
#include "tests/support/WindowFinder.h"
#include "tests/update/UpdateTestSupport.h"

#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

namespace {

// The launcher's window style and size.
constexpr DWORD kLauncherStyle = 0x96C80000;

// The update window with a view of its bar for the test; the bar's value may be read from any thread.
class ObservedUpdateWnd : public CUpdateWnd {
public:
    using CUpdateWnd::CUpdateWnd;
    CProgressUI* Bar() { return static_cast<CProgressUI*>(m_pm.FindControl(L"progress")); }
    using CUpdateWnd::Download;
};

// The skin packed into this test program's resources, registered as the launcher does.
void RegisterSkin() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    CPaintManagerUI::SetInstance(instance);
    HRSRC resource = FindResourceW(instance, L"SKIN", L"ZIPRES");
    ASSERT_NE(resource, nullptr);
    ASSERT_TRUE(CPaintManagerUI::SetResourceZip(LockResource(LoadResource(instance, resource)),
                                                SizeofResource(instance, resource)));
    CPaintManagerUI::SetResourceType(UILIB_ZIPRESOURCE);
    ASSERT_TRUE(CResourceManager::GetInstance()->LoadResource(L"res.xml"));
}

class UpdateWndTest : public testing::Test {
protected:
    static void SetUpTestSuite() {
        RegisterSkin();
        CKuku::GetInstance()->LoadFile(L"config.xml");
    }

    void SetUp() override {
        ASSERT_TRUE(m_server.Start());
        m_installer = ReadWholeFile(RecorderPath());
        ASSERT_FALSE(m_installer.empty());
        m_target = "/client/qemox/Velmark/update_wnd_" + std::to_string(GetCurrentProcessId()) + "_" +
                   std::to_string(GetTickCount64()) + ".exe";
        m_url = m_server.BaseUrl() + std::wstring(m_target.begin(), m_target.end());
        m_release = SignedRelease(m_installer, L"2020111204");
    }

    // What the player met on the failure path: the box, and what the shell opened once it was
    // answered.
    struct FailureSeen {
        bool clicked = false;
        std::wstring text;
        HWND owner = nullptr;
        DWORD thread = 0;
        bool downloadEndedFirst = false;
        unsigned long startedBeforeAnswer = 99;
        std::vector<Record> opened;
        unsigned long started = 0;
    };
    // Runs the window to its failure box with the shell's http handler recorded, answers the box
    // and waits for the shell's record.
    FailureSeen RunToFailure() {
        FailureSeen seen;
        HttpHandlerOverride handler;
        EXPECT_TRUE(handler.Installed());
        ProcessCounter started;
        EXPECT_TRUE(started.Active());
        RunWindow([&](ObservedUpdateWnd* wnd, CProgressUI*) {
            HWND box = WaitForWindow(L"ERROR", kDialogClass, GetCurrentProcessId(), 60000);
            if (box) {
                seen.text = MessageBoxText(box);
                seen.owner = GetWindow(box, GW_OWNER);
                seen.thread = GetWindowThreadProcessId(box, nullptr);
                seen.downloadEndedFirst = wnd->Download().WaitForEnd(10000);  // while the box is up
                seen.startedBeforeAnswer = started.Started();
                seen.clicked = ClickButton(box, L"OK");
            }
            if (!box || !seen.clicked) PostMessageW(m_hwnd, WM_CLOSE, 0, 0);
        });
        if (seen.clicked && m_records.WaitFor(1, 30000)) seen.opened = m_records.Read();
        seen.started = started.Started();
        return seen;
    }


    // Creates the window as the launcher does and runs the framework's loop on this thread while
    // `watch` runs on another; `watch` gets the window and its bar. A watch that gives up ends the
    // loop, so a fault fails the test instead of hanging it.
    void RunWindow(const std::function<void(ObservedUpdateWnd*, CProgressUI*)>& watch) {
        auto* wnd = new ObservedUpdateWnd(CDuiString(m_url.c_str()), m_release);
        ASSERT_NE(wnd->Create(nullptr, L"Update", kLauncherStyle, 0, 0, 0, 400, 300), nullptr);
        wnd->CenterWindow();
        m_hwnd = wnd->GetHWND();
        CProgressUI* bar = wnd->Bar();
        ASSERT_NE(bar, nullptr);
        const DWORD uiThread = GetCurrentThreadId();
        std::thread watcher([&] {
            watch(wnd, bar);
            m_watchDone = true;
            PostThreadMessageW(uiThread, WM_NULL, 0, 0);
        });
        CPaintManagerUI::MessageLoop();
        m_loopEnded = true;
        // The watcher may be sending to the window (reading its title), so keep answering.
        PumpUntil([&] { return m_watchDone.load(); }, INFINITE);
        watcher.join();
        // The download ends on its own once the server is gone; destroying the window then
        // deletes it and waits for the download thread.
        m_server.Stop();
        DestroyWindow(m_hwnd);
    }

    // Polls from the watcher thread; on a timeout the loop is ended so the test can fail.
    bool WatchUntil(const std::function<bool()>& done, DWORD timeoutMs) {
        const ULONGLONG deadline = GetTickCount64() + timeoutMs;
        while (!done()) {
            if (GetTickCount64() >= deadline) return false;
            WaitForSingleObject(GetCurrentProcess(), 10);  // a poll interval, not a wait for an outcome
        }
        return true;
    }

    LoopbackHttpServer m_server;
    RecordFile m_records;
    std::string m_installer;
    std::string m_target;
    std::wstring m_url;
    UpdateRelease m_release;  // what the window is given; signed for the served installer
    HWND m_hwnd = nullptr;
    std::atomic<bool> m_watchDone{false};
    std::atomic<bool> m_loopEnded{false};
};

TEST_F(UpdateWndTest, ShowsTheBarMovingThenStartsTheInstallerAndEndsTheLoop) {
    m_server.SetRoute(m_target, SlowInstallerRoute(m_installer, 2048, 10));
    ProcessCounter started;
    ASSERT_TRUE(started.Active());
    std::atomic<int> middleValue{-1};
    std::atomic<bool> sawBox{false};
    std::atomic<bool> sawVisibleWindow{false};
    RunWindow([&](ObservedUpdateWnd*, CProgressUI* bar) {
        const bool ended = WatchUntil(
            [&] {
                if (WaitForWindow(L"Update", L"UpdateWnd", GetCurrentProcessId(), 0)) sawVisibleWindow = true;
                const int value = bar->GetValue();
                if (value > 0 && value < 100) middleValue = value;
                if (WaitForWindow(L"ERROR", kDialogClass, GetCurrentProcessId(), 0)) sawBox = true;
                return m_loopEnded.load();
            },
            60000);
        if (!ended) PostMessageW(m_hwnd, WM_CLOSE, 0, 0);
    });
    EXPECT_TRUE(sawVisibleWindow);
    EXPECT_GT(middleValue.load(), 0) << "the bar never showed a value between the ends";
    EXPECT_FALSE(sawBox);
    ASSERT_TRUE(m_records.WaitFor(1, 30000));
    const std::vector<Record> records = m_records.Read();
    ASSERT_EQ(records.size(), 1u);
    const std::wstring& commandLine = records[0].commandLine;
    const std::wstring switches = kInstallerSwitches;
    ASSERT_GT(commandLine.size(), switches.size());
    EXPECT_EQ(commandLine.substr(commandLine.size() - switches.size()), switches);
    EXPECT_EQ(_wcsicmp((records[0].program + switches).c_str(), commandLine.c_str()), 0);
    EXPECT_EQ(started.Started(), 1u);
}

TEST_F(UpdateWndTest, FailureShowsTheConfiguredBoxOwnedByTheWindowThenOpensTheAddressThenEndsTheLoop) {
    m_server.SetRoute(m_target, HttpRoute::Status(404, "missing"));
    const FailureSeen seen = RunToFailure();
    ASSERT_TRUE(seen.clicked);
    EXPECT_EQ(seen.text, CKuku::GetInstance()->Get(L"UpdateFailed"));
    EXPECT_FALSE(seen.text.empty());
    EXPECT_EQ(seen.owner, m_hwnd);
    // The window's own thread tells the user; the download's thread has ended, not waiting for the box.
    EXPECT_EQ(seen.thread, GetCurrentThreadId());
    EXPECT_TRUE(seen.downloadEndedFirst);
    EXPECT_EQ(seen.startedBeforeAnswer, 0u) << "the address was opened before the box was answered";
    ASSERT_EQ(seen.opened.size(), 1u);
    EXPECT_NE(seen.opened[0].commandLine.find(m_url), std::wstring::npos);
    EXPECT_EQ(seen.started, 1u) << "something besides the shell's handler was started";
}

// A release changed after signing: the player is told the update could not be verified and sent
// to the publisher's home page; the refused installer is neither fetched nor opened.
TEST_F(UpdateWndTest, ReleaseThatDoesNotVerifySaysSoThenOpensTheHomePageNeverTheInstaller) {
    m_server.SetRoute(m_target, HttpRoute::Ok(m_installer));
    m_release.version = L"2020111299";
    const FailureSeen seen = RunToFailure();
    ASSERT_TRUE(seen.clicked);
    EXPECT_EQ(seen.text, CKuku::GetInstance()->Get(L"UpdateNotVerified"));
    EXPECT_NE(seen.text, CKuku::GetInstance()->Get(L"UpdateFailed"));
    EXPECT_EQ(seen.owner, m_hwnd);
    EXPECT_EQ(seen.startedBeforeAnswer, 0u);
    const std::wstring home = CKuku::GetInstance()->Get(L"Btn1");
    ASSERT_FALSE(home.empty());
    ASSERT_EQ(seen.opened.size(), 1u);
    EXPECT_NE(seen.opened[0].commandLine.find(home), std::wstring::npos);
    EXPECT_EQ(seen.opened[0].commandLine.find(m_url), std::wstring::npos);
    EXPECT_TRUE(m_server.Requests().empty()) << "the refused installer was fetched";
    EXPECT_EQ(seen.started, 1u);
}

// A skin without the text: the box still says what happened.
class UpdateWndWithoutNotVerifiedTextTest : public UpdateWndTest {
protected:
    static void SetUpTestSuite() {
        RegisterSkin();
        CKuku::GetInstance()->Add(L"Btn1", L"http://127.0.0.1:9/home.html");
    }
};

TEST_F(UpdateWndWithoutNotVerifiedTextTest, SaysSoInItsOwnWords) {
    m_release.signature.clear();
    const FailureSeen seen = RunToFailure();
    ASSERT_TRUE(seen.clicked);
    EXPECT_EQ(seen.text, L"The update could not be verified, please download the new version from the website");
    ASSERT_EQ(seen.opened.size(), 1u);
    EXPECT_NE(seen.opened[0].commandLine.find(L"http://127.0.0.1:9/home.html"), std::wstring::npos);
}

TEST_F(UpdateWndTest, ClosingDuringTheDownloadEndsTheLoopAndStartsNothing) {
    HttpHandlerOverride handler;
    ASSERT_TRUE(handler.Installed());
    m_server.SetRoute(m_target, SlowInstallerRoute(m_installer, 1024, 20));
    ProcessCounter started;
    ASSERT_TRUE(started.Active());
    bool closedMidway = false;
    RunWindow([&](ObservedUpdateWnd*, CProgressUI* bar) {
        const bool moving = WatchUntil([&] { return bar->GetValue() > 0; }, 60000);
        closedMidway = moving && bar->GetValue() < 100;
        PostMessageW(m_hwnd, WM_CLOSE, 0, 0);  // what the close button and the system menu send
    });
    EXPECT_TRUE(closedMidway);
    // RunWindow stopped the server and destroyed the window, which waited for the download to end.
    EXPECT_EQ(started.Started(), 0u);
    EXPECT_TRUE(m_records.Read().empty());
}

}  // namespace
