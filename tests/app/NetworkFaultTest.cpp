// The launcher as a process against an update server that misbehaves on purpose: whatever the
// server does, start-up reaches the login window within the bound, as when no update is due, and
// nothing the server sent is taken for its document.
#include "core/Kuku.h"
#include "tests/app/LauncherFolder.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/WindowFinder.h"
#include "tests/wkefake/FakeEngineRemote.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <string>

namespace {

constexpr uint16_t kPublisherPort = 18480;
const char kConfigTarget[] = "/client/qemox/Velmark/config.xml?ver2020111203";
// From the moment the server has the request to a usable window.
constexpr DWORD kStartUpBoundMs = 10000;

// A document that offers an update: if any of it were taken, the update window would open instead.
std::string NewerDocument() {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?><Update><Game>qemox</Game><Agent>Velmark</Agent>"
           "<Version>2020111299</Version></Update>";
}

class NetworkFaultTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_copy.Ready());
        ASSERT_TRUE(wkefake::CopyEngineDll(wkefake::EngineDll::Complete, m_copy.Folder()));
        ASSERT_TRUE(m_server.StartWhenFree(kPublisherPort)) << "the publisher's port stayed taken";
    }
    void TearDown() override {
        m_launcher.reset();
        m_server.Stop();
    }

    // Starts the launcher, waits for its login window and checks that no update window came. The
    // bound counts from the request's arrival (or from the launch when none can arrive); both
    // times are printed.
    void ExpectLoginWindow(const char* fault, bool requestArrives = true) {
        m_launcher = std::make_unique<wkefake::RemoteEngine>();
        const ULONGLONG launched = GetTickCount64();
        ASSERT_TRUE(m_launcher->Start(m_copy.Program(), L"", m_copy.Folder() + L"engine.log"));
        ULONGLONG from = launched;
        if (requestArrives) {
            ASSERT_TRUE(m_server.WaitForRequests(1, 60000)) << "the launcher did not ask the server";
            from = GetTickCount64();
        }
        HWND login = WaitForWindow(L"Login", nullptr, m_launcher->ProcessId(), kStartUpBoundMs);
        const ULONGLONG shown = GetTickCount64();
        ASSERT_NE(nullptr, login) << fault << ": no login window within the bound";
        EXPECT_LE(shown - from, kStartUpBoundMs) << fault;
        EXPECT_EQ(nullptr, WaitForWindow(L"Update", nullptr, m_launcher->ProcessId(), 0)) << fault;
        RECT bounds{};
        ASSERT_TRUE(GetWindowRect(login, &bounds));
        EXPECT_EQ(1100, bounds.right - bounds.left) << fault;
        std::printf("[ fault    ] %s: usable window %llu ms after %s, %llu ms after launch\n", fault,
                    static_cast<unsigned long long>(shown - from), requestArrives ? "the request" : "the launch",
                    static_cast<unsigned long long>(shown - launched));
    }

    LauncherFolder m_copy{L"orvel_fault_"};
    LoopbackHttpServer m_server;
    std::unique_ptr<wkefake::RemoteEngine> m_launcher;
};

TEST_F(NetworkFaultTest, RefusedConnection) {
    m_server.Stop();  // the port is free again and nothing listens on it
    ExpectLoginWindow("refused", false);
}

TEST_F(NetworkFaultTest, ServerAcceptsAndStaysSilent) {
    HttpRoute route;
    route.delivery = HttpRoute::Delivery::NeverAnswer;
    m_server.SetRoute(kConfigTarget, route);
    ExpectLoginWindow("silent");
}

TEST_F(NetworkFaultTest, ServerTricklesTheDocument) {
    HttpRoute route = HttpRoute::Ok(NewerDocument());
    route.delivery = HttpRoute::Delivery::SmallWrites;
    route.writeSize = 1;
    route.delayMs = 500;
    m_server.SetRoute(kConfigTarget, route);
    ExpectLoginWindow("trickle");
}

TEST_F(NetworkFaultTest, NotFoundAndServerErrorBodiesAreNotTheDocument) {
    m_server.SetRoute(kConfigTarget, HttpRoute::Status(404, NewerDocument()));
    ExpectLoginWindow("404");
    m_launcher.reset();
    m_server.Stop();
    ASSERT_TRUE(m_server.StartWhenFree(kPublisherPort));
    m_server.SetRoute(kConfigTarget, HttpRoute::Status(500, NewerDocument()));
    ExpectLoginWindow("500");
}

TEST_F(NetworkFaultTest, ConnectionClosedMidDocument) {
    // What arrives before the close is a whole document offering an update; the rest never comes.
    const std::string document = NewerDocument();
    HttpRoute route = HttpRoute::Ok(document + "\n<!--" + std::string(4096, '-') + "-->\n");
    route.delivery = HttpRoute::Delivery::CloseMidBody;
    route.closeAfter = document.size();
    m_server.SetRoute(kConfigTarget, route);
    ExpectLoginWindow("closed mid-document");
}

TEST_F(NetworkFaultTest, Garbage) {
    std::string garbage(8192, '\0');
    unsigned value = 12345;
    for (char& c : garbage) {
        value = value * 1103515245u + 12345u;
        c = static_cast<char>(value >> 16);
    }
    HttpRoute route = HttpRoute::Ok(garbage);
    route.contentType = "application/octet-stream";
    m_server.SetRoute(kConfigTarget, route);
    ExpectLoginWindow("garbage");
}

TEST_F(NetworkFaultTest, DocumentOverTheLimit) {
    // Well-formed and offering an update, but longer than any configuration has a reason to be.
    std::string document = NewerDocument();
    document.insert(document.find("</Update>"), "<Pad>" + std::string(CKuku::kMaxDocumentBytes, 'x') + "</Pad>");
    m_server.SetRoute(kConfigTarget, HttpRoute::Ok(document));
    ExpectLoginWindow("over 1 MiB");
}

}  // namespace
