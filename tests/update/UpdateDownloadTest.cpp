#include "update/InstallerStart.h"
#include "update/UpdateDownload.h"

#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/WindowFinder.h"
#include "tests/update/UpdateTestSupport.h"

#include <gtest/gtest.h>

#include <mutex>
#include <utility>
#include <vector>

namespace {

constexpr wchar_t kFailureText[] = L"Update failed,please download new version from website";

// Receives the forwarded progress reports.
class ProgressLog : public IDownHandler {
public:
    void OnDownloadProgress(ULONG progress, ULONG total) override {
        std::lock_guard<std::mutex> lock(m_lock);
        m_reports.emplace_back(progress, total);
    }
    std::vector<std::pair<ULONG, ULONG>> Reports() const {
        std::lock_guard<std::mutex> lock(m_lock);
        return m_reports;
    }

private:
    mutable std::mutex m_lock;
    std::vector<std::pair<ULONG, ULONG>> m_reports;
};

// A plain top-level window standing in for the update window: it owns the box and the shell call
// and records the close requests it gets, without closing.
class OwnerWindow {
public:
    OwnerWindow() {
        WNDCLASSW wc{};
        wc.lpfnWndProc = Proc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"UpdateDownloadTestOwner";
        RegisterClassW(&wc);
        m_hwnd = CreateWindowExW(0, wc.lpszClassName, L"Owner", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 200,
                                 nullptr, nullptr, wc.hInstance, nullptr);
        SetWindowLongPtrW(m_hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
    }
    ~OwnerWindow() { DestroyWindow(m_hwnd); }
    HWND Get() const { return m_hwnd; }
    const std::vector<WPARAM>& CloseRequests() const { return m_closeRequests; }

private:
    static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
        auto* self = reinterpret_cast<OwnerWindow*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA));
        if (msg == WM_CLOSE && self) {
            self->m_closeRequests.push_back(wParam);
            return 0;
        }
        return DefWindowProcW(hwnd, msg, wParam, lParam);
    }

    HWND m_hwnd = nullptr;
    std::vector<WPARAM> m_closeRequests;
};

HWND FindErrorBox() { return WaitForWindow(L"ERROR", kDialogClass, GetCurrentProcessId(), 0); }

class UpdateDownloadTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_server.Start());
        m_installer = ReadWholeFile(RecorderPath());
        ASSERT_FALSE(m_installer.empty());
        // Each download gets an address of its own, so the system's cache never answers for the server.
        static int serial = 0;
        m_target = "/client/qemox/Velmark/update_" + std::to_string(GetCurrentProcessId()) + "_" +
                   std::to_string(GetTickCount64()) + "_" + std::to_string(serial++) + ".exe";
        m_url = m_server.BaseUrl() + std::wstring(m_target.begin(), m_target.end());
    }


    // A failed download: the box comes first, owned by the window, with nothing opened or closed
    // yet; the address is opened once it is answered; then the window is asked to close.
    void ExpectFailurePath(HttpRoute route) {
        HttpHandlerOverride handler;
        ASSERT_TRUE(handler.Installed());
        m_server.SetRoute(m_target, std::move(route));
        OwnerWindow owner;
        ProcessCounter started;
        ASSERT_TRUE(started.Active());
        CUpdateDownload download;
        ASSERT_TRUE(download.Start(owner.Get(), m_url.c_str(), kFailureText, &m_progress));

        HWND box = nullptr;
        ASSERT_TRUE(PumpUntil([&] { return (box = FindErrorBox()) != nullptr; }, 60000));
        EXPECT_EQ(MessageBoxText(box), kFailureText);
        EXPECT_EQ(GetWindow(box, GW_OWNER), owner.Get());
        EXPECT_EQ(started.Started(), 0u) << "something was started before the box was answered";
        EXPECT_TRUE(m_records.Read().empty());
        EXPECT_TRUE(owner.CloseRequests().empty());

        ASSERT_TRUE(ClickButton(box, L"OK"));
        ASSERT_TRUE(PumpUntil([&] { return !owner.CloseRequests().empty(); }, 30000));
        EXPECT_EQ(owner.CloseRequests(), std::vector<WPARAM>{1});
        ASSERT_TRUE(m_records.WaitFor(1, 30000));
        const std::vector<Record> records = m_records.Read();
        ASSERT_EQ(records.size(), 1u);
        EXPECT_NE(records[0].commandLine.find(m_url), std::wstring::npos) << "the shell did not open the address";
        EXPECT_EQ(records[0].commandLine.find(kInstallerSwitches), std::wstring::npos) << "an installer ran";
        EXPECT_TRUE(download.WaitForEnd(30000));
        EXPECT_EQ(started.Started(), 1u);
    }

    LoopbackHttpServer m_server;
    RecordFile m_records;
    ProgressLog m_progress;
    std::string m_installer;
    std::string m_target;
    std::wstring m_url;
};

TEST_F(UpdateDownloadTest, StartsTheWholeInstallerWithTheSwitchesThenAsksToClose) {
    m_server.SetRoute(m_target, SlowInstallerRoute(m_installer, 4096, 5));
    OwnerWindow owner;
    ProcessCounter started;
    ASSERT_TRUE(started.Active());
    CUpdateDownload download;
    ASSERT_TRUE(download.Start(owner.Get(), m_url.c_str(), kFailureText, &m_progress));

    bool sawBox = false;
    ASSERT_TRUE(PumpUntil(
        [&] {
            sawBox = sawBox || FindErrorBox();
            return !owner.CloseRequests().empty();
        },
        60000));
    EXPECT_FALSE(sawBox);
    EXPECT_EQ(owner.CloseRequests(), std::vector<WPARAM>{1});
    ASSERT_TRUE(m_records.WaitFor(1, 30000));
    EXPECT_TRUE(download.WaitForEnd(30000));
    EXPECT_EQ(started.Started(), 1u);

    const std::vector<Record> records = m_records.Read();
    ASSERT_EQ(records.size(), 1u);
    const std::wstring& commandLine = records[0].commandLine;
    const std::wstring switches = kInstallerSwitches;
    ASSERT_GT(commandLine.size(), switches.size());
    ASSERT_EQ(commandLine.substr(commandLine.size() - switches.size()), switches);
    const std::wstring path = commandLine.substr(0, commandLine.size() - switches.size());
    EXPECT_NE(path.front(), L'"') << "the cache path must not be quoted";
    EXPECT_EQ(_wcsicmp(path.c_str(), records[0].program.c_str()), 0) << "ran " << records[0].program.c_str();
    EXPECT_EQ(ReadWholeFile(path), m_installer) << "the started file is not the served installer";

    // The bar moved: reports for the whole size, rising through values between the ends.
    const auto reports = m_progress.Reports();
    ASSERT_FALSE(reports.empty());
    bool sawMiddle = false;
    ULONG last = 0;
    for (const auto& report : reports) {
        EXPECT_EQ(report.second, m_installer.size());
        EXPECT_GE(report.first, last);
        last = report.first;
        sawMiddle = sawMiddle || (report.first > 0 && report.first < report.second);
    }
    EXPECT_TRUE(sawMiddle);
    EXPECT_EQ(last, m_installer.size());
}

TEST_F(UpdateDownloadTest, NotFoundShowsTheBoxThenOpensTheAddressThenAsksToClose) {
    ExpectFailurePath(HttpRoute::Status(404, "<html><body>not here</body></html>"));
}

TEST_F(UpdateDownloadTest, ConnectionDroppedHalfwayShowsTheBoxThenOpensTheAddressThenAsksToClose) {
    HttpRoute route = SlowInstallerRoute(m_installer, 4096, 0);
    route.delivery = HttpRoute::Delivery::CloseMidBody;
    route.closeAfter = m_installer.size() / 2;
    ExpectFailurePath(std::move(route));
}

// The user closes the window while the download runs; the download then still completes. Nothing
// may follow the close: no installer, no box, no shell call, no close request, no progress.
TEST_F(UpdateDownloadTest, CancelDuringTheDownloadStartsNothingEvenWhenTheDownloadCompletesLater) {
    HttpHandlerOverride handler;
    ASSERT_TRUE(handler.Installed());
    m_server.SetRoute(m_target, SlowInstallerRoute(m_installer, 1024, 10));
    OwnerWindow owner;
    ProcessCounter started;
    ASSERT_TRUE(started.Active());
    CUpdateDownload download;
    ASSERT_TRUE(download.Start(owner.Get(), m_url.c_str(), kFailureText, &m_progress));

    ASSERT_TRUE(PumpUntil([&] { return !m_progress.Reports().empty(); }, 60000));
    download.Cancel();
    EXPECT_TRUE(download.IsCancelled());
    const auto reportsAtCancel = m_progress.Reports();
    ASSERT_LT(reportsAtCancel.back().first, m_installer.size()) << "the download ended before the cancel";

    bool sawBox = false;
    ASSERT_TRUE(PumpUntil(
        [&] {
            sawBox = sawBox || FindErrorBox();
            return download.WaitForEnd(0);
        },
        60000));
    EXPECT_FALSE(sawBox);
    EXPECT_EQ(started.Started(), 0u);
    EXPECT_TRUE(owner.CloseRequests().empty());
    EXPECT_EQ(m_progress.Reports().size(), reportsAtCancel.size());
    EXPECT_TRUE(m_records.Read().empty());
}

TEST(UpdateProgress, IsTheTruncatedSinglePrecisionPercentage) {
    EXPECT_EQ(UpdateProgressPercent(0, 1000), 0);
    EXPECT_EQ(UpdateProgressPercent(999, 1000), 99);  // truncated, not rounded
    EXPECT_EQ(UpdateProgressPercent(1000, 1000), 100);
    EXPECT_EQ(UpdateProgressPercent(2, 3), 66);
    EXPECT_EQ(UpdateProgressPercent(1, 1000), 0);
    // Single precision: 999999999 is held as 1e9, so the product divides to exactly 100.
    EXPECT_EQ(UpdateProgressPercent(999999999u, 1000000000u), 100);
    EXPECT_EQ(UpdateProgressPercent(0xFFFFFFFEu, 0xFFFFFFFFu), 100);
}

TEST(UpdateProgress, NeverLeavesTheBarsRange) {
    EXPECT_EQ(UpdateProgressPercent(5, 0), 0);
    EXPECT_EQ(UpdateProgressPercent(0, 0), 0);
    EXPECT_EQ(UpdateProgressPercent(2000, 1000), 100);
    EXPECT_EQ(UpdateProgressPercent(0xFFFFFFFFu, 1), 100);
}

}  // namespace
