#include "core/Kuku.h"

#include "duilib/UIManager.h"
#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/TempFolder.h"

#include <gtest/gtest.h>

#include <objbase.h>

#include <string>

namespace {

const char kVietnamese[] = "B\xe1\xba\xa1n mu\xe1\xbb\x91n tho\xc3\xa1t kh\xc3\xb4ng?";  // UTF-8
const wchar_t kVietnameseWide[] = L"B\x1ea1n mu\x1ed1n tho\x00e1t kh\x00f4ng?";

class KukuTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
        ASSERT_TRUE(m_server.Start());
    }
    void TearDown() override {
        m_server.Stop();
        CoUninitialize();
    }
    // Serves `route` at /config.xml and loads the store from it.
    void LoadServed(HttpRoute route) {
        m_server.SetRoute("/config.xml", std::move(route));
        m_store.LoadUrl((m_server.BaseUrl() + L"/config.xml").c_str());
    }

    LoopbackHttpServer m_server;
    CKuku m_store;
};

TEST_F(KukuTest, AddKeepsTheFirstValueAndGetNeverAnswersNull) {
    m_store.Add(L"Title", L"first");
    m_store.Add(L"Title", L"second");
    EXPECT_STREQ(L"first", m_store.Get(L"Title"));
    ASSERT_NE(nullptr, m_store.Get(L"Missing"));
    EXPECT_STREQ(L"", m_store.Get(L"Missing"));
    EXPECT_STREQ(L"", m_store.Get(nullptr));
    m_store.Add(L"Empty", nullptr);
    EXPECT_STREQ(L"", m_store.Get(L"Empty"));
}

TEST_F(KukuTest, DocumentEntriesFollowTheFormatRules) {
    LoadServed(HttpRoute::Ok(
        "<?xml version=\"1.0\" encoding=\"utf-8\"?>\r\n"
        "<Update>\r\n"
        "  <Version>2020111203</Version>\r\n"
        "  <Version>1999</Version>\r\n"
        "  <Title></Title>\r\n"
        "  <Btn1 kind=\"link\">http://example.invalid/home<Inner>nested</Inner></Btn1>\r\n"
        "  <Game>qemox</Game>\r\n"
        "</Update>\r\n"));
    EXPECT_STREQ(L"2020111203", m_store.Get(L"Version"));  // the first occurrence wins
    EXPECT_STREQ(L"", m_store.Get(L"version"));           // keys match case-sensitively
    EXPECT_STREQ(L"", m_store.Get(L"Title"));             // an empty element reads like a missing key
    EXPECT_STREQ(L"http://example.invalid/home", m_store.Get(L"Btn1"));
    EXPECT_STREQ(L"", m_store.Get(L"Inner"));  // nested elements are not entries
    EXPECT_STREQ(L"", m_store.Get(L"kind"));   // nor are attributes
    EXPECT_STREQ(L"", m_store.Get(L"Update"));  // nor is the root
    EXPECT_STREQ(L"qemox", m_store.Get(L"Game"));
}

TEST_F(KukuTest, FetchesTheExactTargetWithOneGet) {
    m_server.SetRoute("/client/qemox/Velmark/config.xml?ver2020111203", HttpRoute::Ok("<U><Version>7</Version></U>"));
    m_store.LoadUrl((m_server.BaseUrl() + L"/client/qemox/Velmark/config.xml?ver2020111203").c_str());
    EXPECT_STREQ(L"7", m_store.Get(L"Version"));
    const auto requests = m_server.Requests();
    ASSERT_EQ(1u, requests.size());
    EXPECT_EQ("GET", requests[0].method);
    EXPECT_EQ("/client/qemox/Velmark/config.xml?ver2020111203", requests[0].target);
    EXPECT_EQ("127.0.0.1:" + std::to_string(m_server.Port()), requests[0].Header("Host"));
}

TEST_F(KukuTest, DamagedDocumentsAddNothing) {
    const char* damaged[] = {
        "<Update><Version>1</Version>",                  // root never closed
        "<Update><Version>1</Versio></Update>",          // mismatched end tag
        "Version=1",                                     // not markup at all
        "",                                              // empty body
    };
    for (const char* body : damaged) {
        CKuku store;
        m_server.SetRoute("/damaged", HttpRoute::Ok(body));
        store.LoadUrl((m_server.BaseUrl() + L"/damaged").c_str());
        EXPECT_STREQ(L"", store.Get(L"Version")) << body;
    }
}

TEST_F(KukuTest, MultiByteCharactersCutAcrossManyWritesSurvive) {
    std::string body = std::string("<Update><Version>3</Version><ExitSTR>") + kVietnamese + "</ExitSTR></Update>";
    HttpRoute route = HttpRoute::Ok(body);
    route.delivery = HttpRoute::Delivery::SmallWrites;
    route.writeSize = 1;
    route.delayMs = 1;
    LoadServed(route);
    EXPECT_STREQ(kVietnameseWide, m_store.Get(L"ExitSTR"));
    EXPECT_STREQ(L"3", m_store.Get(L"Version"));
    // The store keeps the whole decoded document.
    EXPECT_NE(-1, m_store.GetText().Find(kVietnameseWide));
}

TEST_F(KukuTest, ChunkedAnswerWithCharactersCutAcrossChunks) {
    std::string body = std::string("<Update><ExitSTR>") + kVietnamese + kVietnamese + "</ExitSTR></Update>";
    HttpRoute route = HttpRoute::Ok(body);
    route.delivery = HttpRoute::Delivery::Chunked;
    route.writeSize = 2;
    route.delayMs = 1;
    LoadServed(route);
    EXPECT_STREQ((std::wstring(kVietnameseWide) + kVietnameseWide).c_str(), m_store.Get(L"ExitSTR"));
}

TEST_F(KukuTest, ByteOrderMarkIsNotPartOfTheDocument) {
    LoadServed(HttpRoute::Ok("\xef\xbb\xbf<Update><Version>5</Version></Update>"));
    EXPECT_STREQ(L"5", m_store.Get(L"Version"));
}

TEST_F(KukuTest, DocumentOverOneMebibyteIsRefused) {
    std::string body = "<Update><Version>9</Version><Pad>";
    body.append(CKuku::kMaxDocumentBytes, 'x');
    body += "</Pad></Update>";
    LoadServed(HttpRoute::Ok(body));
    EXPECT_STREQ(L"", m_store.Get(L"Version"));
    EXPECT_EQ(0, m_store.GetText().GetLength());
}

TEST_F(KukuTest, DocumentOfExactlyOneMebibyteIsAccepted) {
    const std::string head = "<Update><Version>9</Version><Pad>";
    const std::string tail = "</Pad></Update>";
    std::string body = head;
    body.append(CKuku::kMaxDocumentBytes - head.size() - tail.size(), 'x');
    body += tail;
    ASSERT_EQ(CKuku::kMaxDocumentBytes, body.size());
    LoadServed(HttpRoute::Ok(body));
    EXPECT_STREQ(L"9", m_store.Get(L"Version"));
}

TEST_F(KukuTest, FailedDownloadsAddNothing) {
    // A 404 whose body would otherwise parse as a configuration.
    m_server.SetRoute("/missing", HttpRoute::Status(404, "<Update><Version>8</Version></Update>"));
    m_store.LoadUrl((m_server.BaseUrl() + L"/missing").c_str());
    EXPECT_STREQ(L"", m_store.Get(L"Version"));
    m_server.SetRoute("/error", HttpRoute::Status(500, "<Update><Version>8</Version></Update>"));
    m_store.LoadUrl((m_server.BaseUrl() + L"/error").c_str());
    EXPECT_STREQ(L"", m_store.Get(L"Version"));

    // A connection closed in the middle of the body.
    HttpRoute cut = HttpRoute::Ok("<Update><Version>8</Version><Game>qemox</Game></Update>");
    cut.delivery = HttpRoute::Delivery::CloseMidBody;
    cut.closeAfter = 30;
    LoadServed(cut);
    EXPECT_STREQ(L"", m_store.Get(L"Version"));

    // Nobody listening.
    const std::wstring base = m_server.BaseUrl();
    m_server.Stop();
    m_store.LoadUrl((base + L"/config.xml").c_str());
    EXPECT_STREQ(L"", m_store.Get(L"Version"));
    m_store.LoadUrl(nullptr);
    EXPECT_STREQ(L"", m_store.Get(L"Version"));
}

TEST_F(KukuTest, LoadFileReadsTheSkinsDocumentOrNothing) {
    TempFolder folder(L"kuku_skin_");
    ASSERT_TRUE(folder.Write(L"config.xml", std::string("<?xml version=\"1.0\" encoding=\"utf-8\"?><Update><ExitSTR>") +
                                                kVietnamese + "</ExitSTR><GameW>1080</GameW></Update>"));
    CPaintManagerUI::SetResourceType(UILIB_FILE);
    CPaintManagerUI::SetResourcePath(folder.Path().c_str());

    m_store.LoadFile(L"config.xml");
    EXPECT_STREQ(kVietnameseWide, m_store.Get(L"ExitSTR"));
    EXPECT_STREQ(L"1080", m_store.Get(L"GameW"));

    CKuku missing;
    missing.LoadFile(L"absent.xml");
    EXPECT_STREQ(L"", missing.Get(L"GameW"));
}

TEST(KukuInstance, IsOneProcessWideStore) {
    CKuku* first = CKuku::GetInstance();
    ASSERT_NE(nullptr, first);
    first->Add(L"Title", L"Tolma Launcher");
    EXPECT_EQ(first, CKuku::GetInstance());
    EXPECT_STREQ(L"Tolma Launcher", CKuku::GetInstance()->Get(L"Title"));
}

}  // namespace
