// The installer download of a launcher built with a publisher key (the key made for the tests at
// configure time; the signatures made at build time by scripts/publisher-sign).
#include "update/InstallerStart.h"
#include "update/InstallerVerify.h"
#include "update/UpdateDownload.h"

#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/TempFolder.h"
#include "tests/support/WindowFinder.h"
#include "tests/update/UpdateTestSupport.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

namespace {

std::wstring BesideRecorder(const wchar_t* name) {
    std::wstring path = RecorderPath();
    path.resize(path.find_last_of(L"\\/") + 1);
    return path + name;
}

// A file the publisher tool wrote at build time, without its line end.
std::wstring ToolOutput(const wchar_t* name) {
    std::string text = ReadWholeFile(BesideRecorder(name));
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    return std::wstring(text.begin(), text.end());
}

class SignedUpdateTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_server.Start());
        m_installer = ReadWholeFile(RecorderPath());
        ASSERT_FALSE(m_installer.empty());
        m_signature = ToolOutput(L"recording_installer.sig");
        m_otherSignature = ToolOutput(L"other_file.sig");
        ASSERT_FALSE(m_signature.empty());
        ASSERT_FALSE(m_otherSignature.empty());
        ASSERT_NE(m_signature, m_otherSignature);
        static int serial = 0;
        m_target = "/client/qemox/Velmark/update_signed_" + std::to_string(GetCurrentProcessId()) + "_" +
                   std::to_string(GetTickCount64()) + "_" + std::to_string(serial++) + ".exe";
        m_url = m_server.BaseUrl() + std::wstring(m_target.begin(), m_target.end());
    }

    // Serves `route` and downloads with `check`: the window is told of a failure, and nothing runs.
    void ExpectNothingRuns(HttpRoute route, const InstallerCheck& check) {
        m_server.SetRoute(m_target, std::move(route));
        ProcessCounter started;
        ASSERT_TRUE(started.Active());
        CUpdateDownload download;
        OwnerWindow owner(&download);
        ASSERT_TRUE(download.Start(owner.Get(), m_url.c_str(), check));
        ASSERT_TRUE(PumpUntil([&] { return !owner.Outcomes().empty(); }, 60000));
        EXPECT_EQ(owner.Outcomes(), std::vector<UpdateOutcome>{UpdateOutcome::DownloadFailed});
        EXPECT_TRUE(download.WaitForEnd(30000));
        EXPECT_EQ(started.Started(), 0u) << "an installer ran";
        EXPECT_TRUE(m_records.Read().empty());
    }

    InstallerCheck Signed(std::wstring signature) {
        InstallerCheck check;
        check.signature = std::move(signature);
        return check;
    }

    LoopbackHttpServer m_server;
    RecordFile m_records;
    std::string m_installer;
    std::wstring m_signature;
    std::wstring m_otherSignature;
    std::string m_target;
    std::wstring m_url;
};

TEST_F(SignedUpdateTest, BuildCarriesTheTestKey) {
    EXPECT_STRNE(PublisherPublicKey(), L"");
}

TEST_F(SignedUpdateTest, GoodSignatureRunsTheInstaller) {
    m_server.SetRoute(m_target, HttpRoute::Ok(m_installer));
    CUpdateDownload download;
    OwnerWindow owner(&download);
    ASSERT_TRUE(download.Start(owner.Get(), m_url.c_str(), Signed(m_signature)));
    ASSERT_TRUE(m_records.WaitFor(1, 60000));
    const std::vector<Record> records = m_records.Read();
    ASSERT_EQ(records.size(), 1u);
    EXPECT_NE(records[0].commandLine.find(kInstallerSwitches), std::wstring::npos);
    EXPECT_TRUE(PumpUntil([&] { return owner.Outcomes() == std::vector<UpdateOutcome>{UpdateOutcome::InstallerStarted}; },
                          30000));
    EXPECT_TRUE(download.WaitForEnd(30000));
}

TEST_F(SignedUpdateTest, FlippedByteRunsNothing) {
    std::string tampered = m_installer;
    tampered[tampered.size() / 2] ^= 0x01;
    HttpRoute route = HttpRoute::Ok(tampered);
    route.contentType = "application/octet-stream";
    ExpectNothingRuns(std::move(route), Signed(m_signature));
}

TEST_F(SignedUpdateTest, SignatureOfAnotherFileRunsNothing) {
    ExpectNothingRuns(HttpRoute::Ok(m_installer), Signed(m_otherSignature));
}

TEST_F(SignedUpdateTest, MissingSignatureRunsNothingEvenWithAMatchingDigest) {
    InstallerCheck check;
    check.sha256 = ToolOutput(L"recording_installer.sha256");
    ASSERT_EQ(check.sha256.size(), 64u);
    ExpectNothingRuns(HttpRoute::Ok(m_installer), check);
}

TEST_F(SignedUpdateTest, TruncatedDownloadRunsNothing) {
    HttpRoute route = SlowInstallerRoute(m_installer, 4096, 0);
    route.delivery = HttpRoute::Delivery::CloseMidBody;
    route.closeAfter = m_installer.size() / 2;
    ExpectNothingRuns(std::move(route), Signed(m_signature));
}

// The verification itself, on files: only the exact bytes with their own signature pass.
TEST(InstallerVerify, SignatureHoldsOnlyForTheSignedBytes) {
    const std::string installer = ReadWholeFile(RecorderPath());
    const std::wstring signature = ToolOutput(L"recording_installer.sig");
    const std::wstring key = PublisherPublicKey();
    EXPECT_TRUE(VerifyFileSignature(RecorderPath().c_str(), key.c_str(), signature.c_str()));

    std::string flipped = installer;
    flipped[0] ^= 0x80;
    const TempFolder folder(L"orvel_sig_");
    ASSERT_TRUE(folder.Write(L"flipped.exe", flipped));
    EXPECT_FALSE(VerifyFileSignature((folder.Path() + L"flipped.exe").c_str(), key.c_str(), signature.c_str()));
    ASSERT_TRUE(folder.Write(L"truncated.exe", installer.substr(0, installer.size() - 1)));
    EXPECT_FALSE(VerifyFileSignature((folder.Path() + L"truncated.exe").c_str(), key.c_str(), signature.c_str()));

    std::wstring badSignature = signature;
    badSignature[4] = badSignature[4] == L'A' ? L'B' : L'A';
    EXPECT_FALSE(VerifyFileSignature(RecorderPath().c_str(), key.c_str(), badSignature.c_str()));
    EXPECT_FALSE(VerifyFileSignature(RecorderPath().c_str(), key.c_str(), L""));
    EXPECT_FALSE(VerifyFileSignature(RecorderPath().c_str(), key.c_str(), L"not base64 at all!"));
    EXPECT_FALSE(VerifyFileSignature(RecorderPath().c_str(), key.c_str(), signature.substr(0, 40).c_str()));
    EXPECT_FALSE(VerifyFileSignature(RecorderPath().c_str(), L"BAAA", signature.c_str()));
    EXPECT_FALSE(VerifyFileSignature(L"C:\\no\\such\\file.exe", key.c_str(), signature.c_str()));
}

TEST(InstallerVerify, WithAKeyOnlyTheSignatureDecides) {
    const std::wstring path = RecorderPath();
    InstallerCheck check;
    check.sha256 = ToolOutput(L"recording_installer.sha256");
    EXPECT_FALSE(IsInstallerTrusted(path.c_str(), PublisherPublicKey(), check));
    check.signature = ToolOutput(L"recording_installer.sig");
    EXPECT_TRUE(IsInstallerTrusted(path.c_str(), PublisherPublicKey(), check));
    check.sha256 = std::wstring(64, L'0');  // without a key this would refuse; the signature rules
    EXPECT_TRUE(IsInstallerTrusted(path.c_str(), PublisherPublicKey(), check));
}

TEST(InstallerVerify, WithoutAKeyTheDigestIsCheckedWhenGiven) {
    const std::wstring path = RecorderPath();
    const std::wstring digest = ToolOutput(L"recording_installer.sha256");
    InstallerCheck check;
    EXPECT_TRUE(IsInstallerTrusted(path.c_str(), L"", check));
    check.sha256 = digest;
    EXPECT_TRUE(IsInstallerTrusted(path.c_str(), L"", check));
    std::wstring upper = digest;
    for (wchar_t& c : upper) c = static_cast<wchar_t>(towupper(c));
    EXPECT_TRUE(FileMatchesSha256(path.c_str(), upper.c_str()));
    std::wstring wrong = digest;
    wrong[10] = wrong[10] == L'0' ? L'1' : L'0';
    check.sha256 = wrong;
    EXPECT_FALSE(IsInstallerTrusted(path.c_str(), L"", check));
    check.sha256 = digest.substr(0, 63);
    EXPECT_FALSE(IsInstallerTrusted(path.c_str(), L"", check));
    check.sha256 = std::wstring(64, L'g');
    EXPECT_FALSE(IsInstallerTrusted(path.c_str(), L"", check));
}

}  // namespace
