// The launcher as a process, against an update server on the publisher's port.
#include "common/Dib.h"
#include "update/InstallerStart.h"
#include "update/UpdateDownload.h"

#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/ReleaseSigner.h"
#include "tests/support/WindowFinder.h"
#include "tests/update/UpdateTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <set>
#include <string>

namespace {

constexpr uint16_t kPublisherPort = 18480;
constexpr wchar_t kUpdateFailed[] = L"Update failed,please download new version from website";
constexpr COLORREF kBarColour = RGB(0x00, 0x00, 0xAA);

std::wstring LauncherPath() {
    std::wstring path = RecorderPath();
    path.resize(path.find_last_of(L'\\'));
    path.resize(path.find_last_of(L'\\'));
    path.resize(path.find_last_of(L'\\') + 1);
    return path + L"app\\OrvelClient.exe";
}

// Pixels of the bar's colour in the window as it is on the screen.
int CountBarPixels(HWND hwnd) {
    RECT rc{};
    if (!GetWindowRect(hwnd, &rc) || rc.right <= rc.left || rc.bottom <= rc.top) return 0;
    const int width = rc.right - rc.left;
    const int height = rc.bottom - rc.top;
    WindowDC screen(nullptr);
    UniqueMemDC memory(CreateCompatibleDC(screen.Get()));
    void* bits = nullptr;
    UniqueBitmap bitmap = CreateTopDownDib(width, height, &bits);
    if (!bitmap) return 0;
    SelectedObject selected(memory.Get(), bitmap.Get());
    if (!BitBlt(memory.Get(), 0, 0, width, height, screen.Get(), rc.left, rc.top, SRCCOPY)) return 0;
    GdiFlush();
    const auto* pixels = static_cast<const DWORD*>(bits);
    const DWORD wanted = (GetRValue(kBarColour) << 16) | (GetGValue(kBarColour) << 8) | GetBValue(kBarColour);
    int count = 0;
    for (int i = 0; i < width * height; ++i) count += (pixels[i] & 0xFFFFFF) == wanted;
    return count;
}

class LauncherUpdateTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_server.StartWhenFree(kPublisherPort));
        m_installer = ReadWholeFile(RecorderPath());
        ASSERT_FALSE(m_installer.empty());
        // A newer version, new for every run, so the system's cache never answers for the server.
        m_version = "2020111204" + std::to_string(GetCurrentProcessId()) + std::to_string(GetTickCount64());
        const UpdateRelease release = SignedRelease(m_installer, std::wstring(m_version.begin(), m_version.end()));
        ASSERT_FALSE(release.signature.empty());
        m_server.SetRoute("/client/qemox/Velmark/config.xml?ver2020111203", HttpRoute::Ok(ReleaseDocument(release)));
        m_installerTarget = "/client/qemox/Velmark/update_" + m_version + ".exe";
        m_installerUrl = m_server.BaseUrl() + std::wstring(m_installerTarget.begin(), m_installerTarget.end());
    }

    void TearDown() override {
        if (m_process && WaitForSingleObject(m_process.Get(), 0) == WAIT_TIMEOUT) TerminateProcess(m_process.Get(), 99);
    }


    void Launch() {
        const std::wstring path = LauncherPath();
        std::wstring commandLine = L"\"" + path + L"\"";
        STARTUPINFOW startup{};
        startup.cb = sizeof(startup);
        PROCESS_INFORMATION process{};
        ASSERT_TRUE(CreateProcessW(path.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                   &startup, &process))
            << "cannot start " << std::string(path.begin(), path.end());
        m_process.Reset(process.hProcess);
        CloseHandle(process.hThread);
        m_pid = process.dwProcessId;
    }

    // The launcher's "Update" window; a start-up box about the missing web engine is answered on the way.
    HWND WaitForUpdateWindow() {
        HWND found = nullptr;
        PumpUntil(
            [&] {
                if (HWND box = WaitForWindow(L"ERROR", kDialogClass, m_pid, 0)) {
                    if (MessageBoxText(box) == L"node.dll not found!") ClickButton(box, L"OK");
                }
                found = WaitForWindow(L"Update", L"UpdateWnd", m_pid, 0);
                return found != nullptr;
            },
            60000);
        return found;
    }

    // The exit code, or STILL_ACTIVE when the launcher is still running after `timeoutMs`.
    DWORD WaitForExit(DWORD timeoutMs) {
        DWORD code = STILL_ACTIVE;
        if (WaitForSingleObject(m_process.Get(), timeoutMs) == WAIT_OBJECT_0) GetExitCodeProcess(m_process.Get(), &code);
        return code;
    }

    void ExpectFailurePath(HttpRoute route) {
        HttpHandlerOverride handler;
        ASSERT_TRUE(handler.Installed());
        m_server.SetRoute(m_installerTarget, std::move(route));
        ProcessCounter started;
        ASSERT_TRUE(started.Active());
        Launch();
        HWND window = WaitForUpdateWindow();
        ASSERT_NE(window, nullptr);
        HWND box = nullptr;
        ASSERT_TRUE(PumpUntil(
            [&] {
                box = WaitForWindow(L"ERROR", kDialogClass, m_pid, 0);
                return box && MessageBoxText(box) == kUpdateFailed;
            },
            60000));
        EXPECT_EQ(GetWindow(box, GW_OWNER), window);
        EXPECT_EQ(started.Started(), 1u) << "something besides the launcher ran before the box was answered";
        EXPECT_TRUE(IsWindow(window));
        ASSERT_TRUE(ClickButton(box, L"OK"));
        EXPECT_EQ(WaitForExit(60000), 0u);
        ASSERT_TRUE(m_records.WaitFor(1, 30000));
        const std::vector<Record> records = m_records.Read();
        ASSERT_EQ(records.size(), 1u);
        EXPECT_NE(records[0].commandLine.find(m_installerUrl), std::wstring::npos) << "the address was not opened";
        EXPECT_EQ(started.Started(), 2u) << "an installer ran";
    }

    LoopbackHttpServer m_server;
    RecordFile m_records;
    std::string m_installer;
    std::string m_version;
    std::string m_installerTarget;
    std::wstring m_installerUrl;
    UniqueHandle m_process;
    DWORD m_pid = 0;
};

TEST_F(LauncherUpdateTest, DownloadsWithAMovingBarStartsTheInstallerAndExits) {
    m_server.SetRoute(m_installerTarget, SlowInstallerRoute(m_installer, 2048, 15));
    ProcessCounter started;
    ASSERT_TRUE(started.Active());
    Launch();
    HWND window = WaitForUpdateWindow();
    ASSERT_NE(window, nullptr);

    // The painted bar grows while the server sends.
    std::set<int> barSizes;
    PumpUntil(
        [&] {
            if (IsWindow(window)) barSizes.insert(CountBarPixels(window));
            return WaitForSingleObject(m_process.Get(), 0) == WAIT_OBJECT_0;
        },
        60000);
    barSizes.erase(0);
    EXPECT_GE(barSizes.size(), 2u) << "the bar did not move";

    EXPECT_EQ(WaitForExit(0), 0u);
    ASSERT_TRUE(m_records.WaitFor(1, 30000));
    const std::vector<Record> records = m_records.Read();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(_wcsicmp(records[0].commandLine.c_str(), (records[0].program + kInstallerSwitches).c_str()), 0)
        << "command line: " << std::string(records[0].commandLine.begin(), records[0].commandLine.end());
    EXPECT_NE(records[0].commandLine.front(), L'"');
    const std::wstring path = records[0].commandLine.substr(0, records[0].commandLine.size() - 20);
    EXPECT_EQ(ReadWholeFile(path), m_installer);
    EXPECT_EQ(started.Started(), 2u);
}

TEST_F(LauncherUpdateTest, InstallerNotFoundShowsTheBoxThenOpensTheAddressThenExits) {
    ExpectFailurePath(HttpRoute::Status(404, "<html><body>not here</body></html>"));
}

TEST_F(LauncherUpdateTest, ConnectionDroppedHalfwayShowsTheBoxThenOpensTheAddressThenExits) {
    HttpRoute route = SlowInstallerRoute(m_installer, 4096, 0);
    route.delivery = HttpRoute::Delivery::CloseMidBody;
    route.closeAfter = m_installer.size() / 2;
    ExpectFailurePath(std::move(route));
}

TEST_F(LauncherUpdateTest, HugeInstallerThatStallsEndsInTheFailurePathAfterTheStallLimit) {
    // A 64 MiB installer of which one piece arrives, then nothing for longer than the limit.
    const ULONGLONG started = GetTickCount64();
    ExpectFailurePath(SlowInstallerRoute(std::string(64 * 1024 * 1024, 'x'), 64 * 1024, 600000));
    std::printf("[ fault    ] stalled installer: failure path done %llu ms after launch (limit %lu ms)\n",
                static_cast<unsigned long long>(GetTickCount64() - started),
                static_cast<unsigned long>(kInstallerStallLimitMs));
}

TEST_F(LauncherUpdateTest, ClosingDuringASlowDownloadEndsTheLauncherAndStartsNothing) {
    HttpHandlerOverride handler;
    ASSERT_TRUE(handler.Installed());
    m_server.SetRoute(m_installerTarget, SlowInstallerRoute(m_installer, 512, 50));
    ProcessCounter started;
    ASSERT_TRUE(started.Active());
    Launch();
    HWND window = WaitForUpdateWindow();
    ASSERT_NE(window, nullptr);
    ASSERT_TRUE(PumpUntil([&] { return CountBarPixels(window) > 0; }, 60000)) << "the download did not begin";
    PostMessageW(window, WM_CLOSE, 0, 0);  // what the close button and the system menu send
    EXPECT_EQ(WaitForExit(30000), 0u);
    EXPECT_EQ(started.Started(), 1u) << "something besides the launcher ran";
    EXPECT_TRUE(m_records.Read().empty());
}

}  // namespace
