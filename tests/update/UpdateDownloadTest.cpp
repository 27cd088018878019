#include "update/HeldInstaller.h"
#include "update/InstallerStart.h"
#include "update/UpdateDownload.h"

#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/ReleaseSigner.h"
#include "tests/support/WindowFinder.h"
#include "tests/update/UpdateTestSupport.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

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
        m_release = SignedRelease(m_installer, L"2020111204");
        ASSERT_FALSE(m_release.signature.empty());
    }

    // A failed download: the window is told so, and nothing is started, shown or opened; telling
    // the user is the window's part.
    void ExpectFailure(HttpRoute route, DWORD stallLimitMs = kInstallerStallLimitMs) {
        m_server.SetRoute(m_target, std::move(route));
        ProcessCounter started;
        ASSERT_TRUE(started.Active());
        CUpdateDownload download;
        OwnerWindow owner(&download);
        download.SetStallLimit(stallLimitMs);
        ASSERT_TRUE(download.Start(owner.Get(), m_url.c_str(), m_release));
        ASSERT_TRUE(PumpUntil([&] { return !owner.Outcomes().empty(); }, 60000));
        EXPECT_EQ(owner.Outcomes(), std::vector<UpdateOutcome>{UpdateOutcome::DownloadFailed});
        EXPECT_TRUE(download.WaitForEnd(30000));
        PumpPending();
        EXPECT_EQ(owner.Outcomes().size(), 1u);
        EXPECT_EQ(FindErrorBox(), nullptr);
        EXPECT_EQ(started.Started(), 0u);
        EXPECT_TRUE(m_records.Read().empty());
        m_progress = owner.Progress();
    }

    LoopbackHttpServer m_server;
    RecordFile m_records;
    std::vector<std::pair<ULONG, ULONG>> m_progress;  // what the last ExpectFailure's window was told
    std::string m_installer;
    std::string m_target;
    std::wstring m_url;
    UpdateRelease m_release;  // the installer's release, signed
};

// The installer runs from the launcher's own held copy, not from the shared cache.
TEST_F(UpdateDownloadTest, StartsTheWholeInstallerFromItsHeldCopyWithTheSwitchesThenTellsTheWindow) {
    m_server.SetRoute(m_target, SlowInstallerRoute(m_installer, 4096, 5));
    ProcessCounter started;
    ASSERT_TRUE(started.Active());
    CUpdateDownload download;
    OwnerWindow owner(&download);
    ASSERT_TRUE(download.Start(owner.Get(), m_url.c_str(), m_release));

    ASSERT_TRUE(PumpUntil([&] { return !owner.Outcomes().empty(); }, 60000));
    EXPECT_EQ(owner.Outcomes(), std::vector<UpdateOutcome>{UpdateOutcome::InstallerStarted});
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
    const std::wstring folder = HeldInstallerFolder();
    ASSERT_FALSE(folder.empty());
    EXPECT_EQ(_wcsnicmp(path.c_str(), folder.c_str(), folder.size()), 0) << "ran " << path.c_str();

    // The bar moved: reports for the whole size, rising through values between the ends, all
    // before the outcome.
    const auto& reports = owner.Progress();
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

TEST_F(UpdateDownloadTest, NotFoundIsAFailure) {
    ExpectFailure(HttpRoute::Status(404, "<html><body>not here</body></html>"));
}

TEST_F(UpdateDownloadTest, ConnectionDroppedHalfwayIsAFailure) {
    HttpRoute route = SlowInstallerRoute(m_installer, 4096, 0);
    route.delivery = HttpRoute::Delivery::CloseMidBody;
    route.closeAfter = m_installer.size() / 2;
    ExpectFailure(std::move(route));
}

TEST_F(UpdateDownloadTest, SilentServerEndsInTheFailurePathAfterTheStallLimit) {
    HttpRoute route;
    route.delivery = HttpRoute::Delivery::NeverAnswer;
    ExpectFailure(std::move(route), 1500);
}

TEST_F(UpdateDownloadTest, InstallerThatStallsHalfwayEndsInTheFailurePath) {
    // Bytes come at first, then none: the limit counts from the last byte, not from the start.
    HttpRoute route = SlowInstallerRoute(std::string(4 * 1024 * 1024, 'x'), 16 * 1024, 600000);
    ExpectFailure(std::move(route), 1500);
    EXPECT_FALSE(m_progress.empty()) << "no byte arrived before the stall";
}

// The user closes the window while the download runs; the download then still completes. Nothing
// may follow the close: no installer, no outcome, no progress.
TEST_F(UpdateDownloadTest, CancelDuringTheDownloadStartsNothingEvenWhenTheDownloadCompletesLater) {
    m_server.SetRoute(m_target, SlowInstallerRoute(m_installer, 1024, 10));
    ProcessCounter started;
    ASSERT_TRUE(started.Active());
    CUpdateDownload download;
    OwnerWindow owner(&download);
    ASSERT_TRUE(download.Start(owner.Get(), m_url.c_str(), m_release));

    ASSERT_TRUE(PumpUntil([&] { return !owner.Progress().empty(); }, 60000));
    download.Cancel();
    EXPECT_TRUE(download.IsCancelled());
    PumpPending();  // whatever was posted before the cancel returned
    const size_t arrivedAtCancel = owner.Arrivals();
    ASSERT_LT(owner.Progress().back().first, m_installer.size()) << "the download ended before the cancel";

    ASSERT_TRUE(PumpUntil([&] { return download.WaitForEnd(0); }, 60000));
    PumpPending();
    EXPECT_EQ(owner.Arrivals(), arrivedAtCancel);
    EXPECT_TRUE(owner.Outcomes().empty());
    EXPECT_EQ(started.Started(), 0u);
    EXPECT_TRUE(m_records.Read().empty());
}

// The cancel meets the end of the transfer: the thread is checking or starting the installer.
// Whichever comes first, an installer starts only when its outcome was posted before Cancel()
// returned, and nothing at all arrives after that.
TEST_F(UpdateDownloadTest, CancelWhileTheTransferEndsLeavesNoInstallerUntold) {
    m_server.SetRoute(m_target, HttpRoute::Ok(m_installer));
    for (int round = 0; round < 3; ++round) {
        ProcessCounter started;
        ASSERT_TRUE(started.Active());
        CUpdateDownload download;
        OwnerWindow owner(&download);
        ASSERT_TRUE(download.Start(owner.Get(), m_url.c_str(), m_release));
        // The last byte's report: the transfer is at its end.
        ASSERT_TRUE(PumpUntil(
            [&] { return !owner.Progress().empty() && owner.Progress().back().first == m_installer.size(); }, 60000));
        download.Cancel();
        PumpPending();
        const std::vector<UpdateOutcome> toldBeforeCancel = owner.Outcomes();
        const size_t arrivedAtCancel = owner.Arrivals();

        ASSERT_TRUE(download.WaitForEnd(30000));
        PumpPending();
        EXPECT_EQ(owner.Arrivals(), arrivedAtCancel) << "round " << round;
        if (started.Started() == 0) {
            EXPECT_TRUE(toldBeforeCancel.empty()) << "round " << round;
        } else {
            EXPECT_EQ(toldBeforeCancel, std::vector<UpdateOutcome>{UpdateOutcome::InstallerStarted}) << "round " << round;
            EXPECT_TRUE(m_records.WaitFor(static_cast<size_t>(1), 30000));
        }
    }
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
