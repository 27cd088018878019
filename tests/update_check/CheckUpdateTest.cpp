#include "update/UpdateCheck.h"

#include "core/Kuku.h"
#include "tests/support/LoopbackHttpServer.h"

#include <gtest/gtest.h>

#include <objbase.h>

#include <string>

namespace {

const char kConfigTarget[] = "/client/qemox/Velmark/config.xml?ver2020111203";

std::string ServerDocument(const std::string& version, const std::string& game = "qemox",
                           const std::string& agent = "Velmark") {
    return "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n<Update>\n  <Game>" + game + "</Game>\n  <Agent>" + agent +
           "</Agent>\n  <Version>" + version + "</Version>\n</Update>\n";
}

class CheckUpdateTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        ASSERT_TRUE(m_server.Start());
        m_base = m_server.BaseUrl() + L"/client/";
        SetLocal(L"2020111203");
    }
    void TearDown() override {
        m_server.Stop();
        CoUninitialize();
    }
    void SetLocal(const wchar_t* version) {
        m_local.Add(L"Game", L"qemox");
        m_local.Add(L"Agent", L"Velmark");
        m_local.Add(L"Version", version);
    }
    // The answer for a server that offers `version` of the installer.
    CDuiString CheckAgainst(const std::string& version) {
        m_server.SetRoute(kConfigTarget, HttpRoute::Ok(ServerDocument(version)));
        return Check();
    }
    CDuiString Check() { return CheckUpdateFrom(m_base.c_str(), m_local); }
    std::wstring Installer(const std::wstring& game, const std::wstring& agent, const std::wstring& version) {
        return m_base + game + L"/" + agent + L"/update_" + version + L".exe";
    }

    LoopbackHttpServer m_server;
    std::wstring m_base;
    CKuku m_local;
};

TEST_F(CheckUpdateTest, NewerVersionNamesTheInstallerAndTheReleaseFromTheServersDocument) {
    std::string document = ServerDocument("2020111204", "qemox2", "Agent7");
    document.insert(document.find("</Update>"), "  <Sha256>ab12</Sha256>\n  <Signature>c2ln</Signature>\n");
    m_server.SetRoute(kConfigTarget, HttpRoute::Ok(document));
    UpdateRelease release;
    EXPECT_STREQ(Installer(L"qemox2", L"Agent7", L"2020111204").c_str(),
                 CheckUpdateFrom(m_base.c_str(), m_local, &release).GetData());
    EXPECT_EQ(release.game, L"qemox2");
    EXPECT_EQ(release.agent, L"Agent7");
    EXPECT_EQ(release.version, L"2020111204");
    EXPECT_EQ(release.sha256, L"ab12");
    EXPECT_EQ(release.signature, L"c2ln");
    // The document was asked for at the exact address, version glued to "ver".
    const auto requests = m_server.Requests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ(kConfigTarget, requests[0].target);
}

// The URL functions would send each of these letters as "?": the server sees them escaped as
// UTF-8, in the document's address and in the installer's.
TEST_F(CheckUpdateTest, NonAsciiValuesReachTheServerEscapedAsUtf8) {
    CKuku local;
    local.Add(L"Game", L"qemox");
    local.Add(L"Agent", L"Vi\u1ec7t");
    local.Add(L"Version", L"2020111203");
    m_server.SetRoute("/client/qemox/Vi%E1%BB%87t/config.xml?ver2020111203",
                      HttpRoute::Ok(ServerDocument("2020111204", "qemox", "\xc4\x90\xe1\xba\xa1iL\xc3\xbd")));
    EXPECT_EQ(m_base + L"qemox/%C4%90%E1%BA%A1iL%C3%BD/update_2020111204.exe",
              std::wstring(CheckUpdateFrom(m_base.c_str(), local).GetData()));
    ASSERT_EQ(1u, m_server.Requests().size());
}

TEST_F(CheckUpdateTest, EqualOrOlderVersionOffersNothing) {
    EXPECT_STREQ(L"", CheckAgainst("2020111203").GetData());
    EXPECT_STREQ(L"", CheckAgainst("2020111202").GetData());
}

TEST_F(CheckUpdateTest, VersionsOfUnequalLengthCompareAsText) {
    EXPECT_STREQ(Installer(L"qemox", L"Velmark", L"999").c_str(), CheckAgainst("999").GetData());
    EXPECT_STREQ(Installer(L"qemox", L"Velmark", L"20201112030").c_str(), CheckAgainst("20201112030").GetData());
    EXPECT_STREQ(L"", CheckAgainst("202011120").GetData());
}

TEST_F(CheckUpdateTest, LettersCompareWithoutCase) {
    CKuku lower;
    lower.Add(L"Game", L"qemox");
    lower.Add(L"Agent", L"Velmark");
    lower.Add(L"Version", L"abc");
    m_server.SetRoute("/client/qemox/Velmark/config.xml?verabc", HttpRoute::Ok(ServerDocument("ABD")));
    EXPECT_STREQ(Installer(L"qemox", L"Velmark", L"ABD").c_str(), CheckUpdateFrom(m_base.c_str(), lower).GetData());

    CKuku upper;
    upper.Add(L"Game", L"qemox");
    upper.Add(L"Agent", L"Velmark");
    upper.Add(L"Version", L"ABC");
    m_server.SetRoute("/client/qemox/Velmark/config.xml?verABC", HttpRoute::Ok(ServerDocument("abc")));
    EXPECT_STREQ(L"", CheckUpdateFrom(m_base.c_str(), upper).GetData());
}

TEST_F(CheckUpdateTest, UnreachableServerOffersNothing) {
    m_server.Stop();
    EXPECT_STREQ(L"", Check().GetData());
}

TEST_F(CheckUpdateTest, DocumentWithoutVersionOffersNothing) {
    m_server.SetRoute(kConfigTarget, HttpRoute::Ok("<Update><Game>qemox</Game><Agent>Velmark</Agent></Update>"));
    EXPECT_STREQ(L"", Check().GetData());
}

TEST_F(CheckUpdateTest, NotFoundOffersNothingWhateverItsBody) {
    m_server.SetRoute(kConfigTarget, HttpRoute::Status(404, ServerDocument("2020111299")));
    EXPECT_STREQ(L"", Check().GetData());
}

TEST_F(CheckUpdateTest, EmptyLocalVersionTakesAnyServerVersion) {
    CKuku empty;
    m_server.SetRoute("/client///config.xml", HttpRoute::Ok(ServerDocument("1")));
    EXPECT_STREQ(Installer(L"qemox", L"Velmark", L"1").c_str(), CheckUpdateFrom(m_base.c_str(), empty).GetData());
    EXPECT_EQ("/client///config.xml?ver", m_server.Requests().back().target);
}

TEST_F(CheckUpdateTest, DocumentInManySmallChunksWithCharactersCutAcross) {
    // Multi-byte game and agent names, one byte per chunk, so every character is cut.
    HttpRoute route = HttpRoute::Ok(ServerDocument("2020111205", "q\xe1\xba\xb9mox", "V\xc3\xa9lmark"));
    route.delivery = HttpRoute::Delivery::Chunked;
    route.writeSize = 1;
    route.delayMs = 1;
    m_server.SetRoute(kConfigTarget, route);
    EXPECT_STREQ(Installer(L"q%E1%BA%B9mox", L"V%C3%A9lmark", L"2020111205").c_str(), Check().GetData());
}

TEST_F(CheckUpdateTest, OversizedDocumentOffersNothing) {
    std::string body = ServerDocument("2020111299");
    body.insert(body.find("</Update>"), "<Pad>" + std::string(CKuku::kMaxDocumentBytes, 'x') + "</Pad>");
    m_server.SetRoute(kConfigTarget, HttpRoute::Ok(body));
    EXPECT_STREQ(L"", Check().GetData());
}

TEST(CheckUpdateProduct, AsksTheBuildsUpdateServer) {
    // The product's check goes to the publisher's server compiled into this build.
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    LoopbackHttpServer server;
    ASSERT_TRUE(server.StartWhenFree(18480));
    CKuku::GetInstance()->Add(L"Game", L"qemox");
    CKuku::GetInstance()->Add(L"Agent", L"Velmark");
    CKuku::GetInstance()->Add(L"Version", L"2020111203");
    server.SetRoute(kConfigTarget, HttpRoute::Ok(ServerDocument("2020111204")));
    EXPECT_STREQ(L"http://127.0.0.1:18480/client/qemox/Velmark/update_2020111204.exe", CheckUpdate().GetData());
    server.Stop();
    CoUninitialize();
}

}  // namespace
