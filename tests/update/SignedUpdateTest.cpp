// Signed releases: the text the publisher signs, what the signature covers, the copy of the
// installer that is verified and run, and what the download does with a release or an installer
// that does not hold.
#include "core/Kuku.h"
#include "update/HeldInstaller.h"
#include "update/InstallerVerify.h"
#include "update/UpdateCheck.h"
#include "update/UpdateDownload.h"
#include "update/UpdateRelease.h"

#include "tests/support/LoopbackHttpServer.h"
#include "tests/support/ReleaseSigner.h"
#include "tests/support/TempFolder.h"
#include "tests/support/WindowFinder.h"
#include "tests/update/UpdateTestSupport.h"

#include <gtest/gtest.h>

#include <objbase.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

namespace {

std::wstring BesideRecorder(const wchar_t* name) {
    std::wstring path = RecorderPath();
    path.resize(path.find_last_of(L"\\/") + 1);
    return path + name;
}

// The release that the publisher's tool made at build time (tests/update/CMakeLists.txt), read
// from an update server's answer as the launcher reads it.
TEST(SignedRelease, TheLauncherReadsTheToolsDocumentAsTheToolSignedItAndEveryValueIsCovered) {
    ASSERT_TRUE(SUCCEEDED(CoInitialize(nullptr)));
    LoopbackHttpServer server;
    ASSERT_TRUE(server.Start());
    const std::string document = ReadWholeFile(BesideRecorder(L"tool_release.xml"));
    ASSERT_FALSE(document.empty());
    server.SetRoute("/client/qemox/Velmark/config.xml?ver2020111203", HttpRoute::Ok(document));
    CKuku local;
    local.Add(L"Game", L"qemox");
    local.Add(L"Agent", L"Velmark");
    local.Add(L"Version", L"2020111203");
    const std::wstring base = server.BaseUrl() + L"/client/";
    UpdateRelease release;
    EXPECT_EQ(std::wstring(CheckUpdateFrom(base.c_str(), local, &release).GetData()),
              base + L"qemox/Vi%E1%BB%87tL%C3%BD/update_2020111204.exe");
    server.Stop();
    CoUninitialize();

    EXPECT_EQ(release.agent, L"Vi\u1ec7tL\u00fd");
    EXPECT_EQ(release.sha256, Sha256Hex(ReadWholeFile(RecorderPath())));
    EXPECT_EQ(ReleaseText(release), ReadWholeFile(BesideRecorder(L"tool_release.txt")));
    const wchar_t* key = PublisherPublicKey();
    ASSERT_STRNE(key, L"");
    EXPECT_TRUE(IsReleaseTrusted(release, key));

    // Whatever is changed after signing, the release is refused; a build without a key takes any.
    const std::vector<std::pair<const char*, std::function<void(UpdateRelease&)>>> changes = {
        {"a raised version", [](UpdateRelease& r) { r.version = L"2020111205"; }},
        {"another game", [](UpdateRelease& r) { r.game = L"qemoy"; }},
        {"another agent", [](UpdateRelease& r) { r.agent = L"Velmark"; }},
        {"another installer", [](UpdateRelease& r) { r.sha256[7] = r.sha256[7] == L'0' ? L'1' : L'0'; }},
        {"no signature", [](UpdateRelease& r) { r.signature.clear(); }},
        {"a changed signature", [](UpdateRelease& r) { r.signature[4] = r.signature[4] == L'A' ? L'B' : L'A'; }},
        {"a cut signature", [](UpdateRelease& r) { r.signature.resize(40); }},
        {"a signature that is no base64", [](UpdateRelease& r) { r.signature = L"not base64 at all!"; }},
    };
    for (const auto& change : changes) {
        UpdateRelease changed = release;
        change.second(changed);
        EXPECT_FALSE(IsReleaseTrusted(changed, key)) << change.first;
        EXPECT_TRUE(IsReleaseTrusted(changed, L"")) << change.first;
    }
    EXPECT_FALSE(IsReleaseTrusted(release, L"BAAA")) << "a key that is no P-256 point";
}

TEST(ReleaseText, IsTheLabelThenOneLineAValueAndRefusesWhatCouldForgeALine) {
    const UpdateRelease release{L"qemox", L"Velmark", L"2020111204", std::wstring(32, L'A') + std::wstring(32, L'9'), L""};
    EXPECT_EQ(ReleaseText(release), "OrvelClient update release, format 1\nGame=qemox\nAgent=Velmark\n"
                                    "Version=2020111204\nSha256=" + std::string(32, 'a') + std::string(32, '9') + "\n");
    const auto written = [&](const std::function<void(UpdateRelease&)>& change) {
        UpdateRelease changed = release;
        change(changed);
        return !ReleaseText(changed).empty();
    };
    EXPECT_FALSE(written([](UpdateRelease& r) { r.agent = L"Velmark\nVersion=9"; }));
    EXPECT_FALSE(written([](UpdateRelease& r) { r.game = L"qemox\r"; }));
    EXPECT_FALSE(written([](UpdateRelease& r) { r.version = L"1\t"; }));
    EXPECT_FALSE(written([](UpdateRelease& r) { r.agent = L"V\x7F"; }));
    EXPECT_FALSE(written([](UpdateRelease& r) { r.game.clear(); }));
    EXPECT_FALSE(written([](UpdateRelease& r) { r.version.clear(); }));
    EXPECT_FALSE(written([](UpdateRelease& r) { r.agent = std::wstring(kMaxReleaseValue + 1, L'a'); }));
    EXPECT_FALSE(written([](UpdateRelease& r) { r.agent = L"a\xD800"; }));
    EXPECT_FALSE(written([](UpdateRelease& r) { r.sha256.pop_back(); }));
    EXPECT_FALSE(written([](UpdateRelease& r) { r.sha256[0] = L'g'; }));
    EXPECT_TRUE(written([](UpdateRelease& r) { r.agent = std::wstring(kMaxReleaseValue, L'a'); }));
    EXPECT_TRUE(written([](UpdateRelease& r) { r.agent = L"\xD83D\xDE00"; }));
}

TEST(InstallerOfRelease, IsDecidedByTheBytesReadFromTheOpenFile) {
    const std::string bytes = ReadWholeFile(RecorderPath());
    const TempFolder folder(L"orvel_hash_");
    ASSERT_TRUE(folder.Write(L"installer.exe", bytes));
    UniqueHandle file(CreateFileW((folder.Path() + L"installer.exe").c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr));
    ASSERT_TRUE(file);
    const wchar_t* key = PublisherPublicKey();
    UpdateRelease release = SignedRelease(bytes, L"2020111204");
    EXPECT_TRUE(IsInstallerOfRelease(file.Get(), release, key));
    EXPECT_TRUE(IsInstallerOfRelease(file.Get(), release, key)) << "a second check reads from the start again";
    for (wchar_t& c : release.sha256) c = static_cast<wchar_t>(towupper(c));
    EXPECT_TRUE(IsInstallerOfRelease(file.Get(), release, key));

    UpdateRelease other = SignedRelease(bytes + "x", L"2020111204");
    EXPECT_FALSE(IsInstallerOfRelease(file.Get(), other, key));
    EXPECT_FALSE(IsInstallerOfRelease(file.Get(), other, L""));
    other.sha256.resize(63);
    EXPECT_FALSE(IsInstallerOfRelease(file.Get(), other, L""));
    // No Sha256 at all passes only a build without a key.
    other.sha256.clear();
    EXPECT_FALSE(IsInstallerOfRelease(file.Get(), other, key));
    EXPECT_TRUE(IsInstallerOfRelease(file.Get(), other, L""));
    EXPECT_FALSE(IsInstallerOfRelease(nullptr, release, key));
}

TEST(HeldInstaller, HoldsACopyOfItsOwnThatNobodyCanChangeUntilItIsLetGo) {
    const std::string bytes = ReadWholeFile(RecorderPath());
    const TempFolder folder(L"orvel_held_");
    ASSERT_TRUE(folder.Write(L"downloaded.exe", bytes));
    ASSERT_TRUE(folder.Write(L"other.exe", "other"));
    const std::wstring downloaded = folder.Path() + L"downloaded.exe";
    const std::wstring heldFolder = HeldInstallerFolder();
    ASSERT_FALSE(heldFolder.empty());

    std::wstring first;
    {
        CHeldInstaller held;
        ASSERT_TRUE(held.Take(downloaded.c_str()));
        first = held.Path();
        EXPECT_EQ(_wcsnicmp(first.c_str(), heldFolder.c_str(), heldFolder.size()), 0);
        EXPECT_EQ(ReadWholeFile(first), bytes);
        // Another program may read it, as CreateProcessW does, but not write, replace, rename or
        // delete it.
        UniqueHandle reader(CreateFileW(first.c_str(), GENERIC_READ | GENERIC_EXECUTE, FILE_SHARE_READ | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, 0, nullptr));
        EXPECT_TRUE(reader);
        UniqueHandle writer(CreateFileW(first.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                        nullptr, OPEN_EXISTING, 0, nullptr));
        EXPECT_FALSE(writer);
        EXPECT_FALSE(DeleteFileW(first.c_str()));
        EXPECT_FALSE(MoveFileExW(first.c_str(), (folder.Path() + L"moved.exe").c_str(), MOVEFILE_COPY_ALLOWED));
        EXPECT_FALSE(CopyFileW((folder.Path() + L"other.exe").c_str(), first.c_str(), FALSE));
        // What happens to the download now is nothing to the copy.
        ASSERT_TRUE(folder.Write(L"downloaded.exe", "changed"));
        EXPECT_EQ(ReadWholeFile(first), bytes);
        EXPECT_FALSE(held.Take(downloaded.c_str())) << "one holder holds one copy";
    }
    // Let go, the copy is an earlier update's: the next one removes it.
    CHeldInstaller next;
    ASSERT_TRUE(next.Take(downloaded.c_str()));
    EXPECT_NE(next.Path(), first);
    EXPECT_EQ(GetFileAttributesW(first.c_str()), INVALID_FILE_ATTRIBUTES);
    EXPECT_EQ(ReadWholeFile(next.Path()), "changed");
    EXPECT_FALSE(CHeldInstaller().Take((folder.Path() + L"missing.exe").c_str()));
}

class RefusedUpdateTest : public testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_server.Start());
        m_installer = ReadWholeFile(RecorderPath());
        ASSERT_FALSE(m_installer.empty());
        static int serial = 0;
        m_target = "/client/qemox/Velmark/update_refused_" + std::to_string(GetCurrentProcessId()) + "_" +
                   std::to_string(GetTickCount64()) + "_" + std::to_string(serial++) + ".exe";
        m_url = m_server.BaseUrl() + std::wstring(m_target.begin(), m_target.end());
    }

    // Offers `release` with `route` serving its installer: the window is told `outcome`, and
    // nothing runs.
    void ExpectNothingRuns(const UpdateRelease& release, HttpRoute route, UpdateOutcome outcome) {
        m_server.SetRoute(m_target, std::move(route));
        ProcessCounter started;
        ASSERT_TRUE(started.Active());
        CUpdateDownload download;
        OwnerWindow owner(&download);
        ASSERT_TRUE(download.Start(owner.Get(), m_url.c_str(), release));
        ASSERT_TRUE(PumpUntil([&] { return !owner.Outcomes().empty(); }, 60000));
        EXPECT_EQ(owner.Outcomes(), std::vector<UpdateOutcome>{outcome});
        EXPECT_TRUE(download.WaitForEnd(30000));
        EXPECT_EQ(started.Started(), 0u) << "something ran";
        EXPECT_TRUE(m_records.Read().empty());
    }

    LoopbackHttpServer m_server;
    RecordFile m_records;
    std::string m_installer;
    std::string m_target;
    std::wstring m_url;
};

TEST_F(RefusedUpdateTest, ReleaseThatDoesNotVerifyIsRefusedBeforeAnythingIsFetched) {
    UpdateRelease raised = SignedRelease(m_installer, L"2020111204");
    raised.version = L"2020111299";
    ExpectNothingRuns(raised, HttpRoute::Ok(m_installer), UpdateOutcome::NotVerified);
    UpdateRelease withoutSignature = SignedRelease(m_installer, L"2020111204");
    withoutSignature.signature.clear();
    ExpectNothingRuns(withoutSignature, HttpRoute::Ok(m_installer), UpdateOutcome::NotVerified);
    EXPECT_TRUE(m_server.Requests().empty()) << "the installer was asked for";
}

TEST_F(RefusedUpdateTest, InstallerWithOneByteChangedIsNotVerified) {
    std::string tampered = m_installer;
    tampered[tampered.size() / 2] ^= 0x01;
    HttpRoute route = HttpRoute::Ok(tampered);
    route.contentType = "application/octet-stream";
    ExpectNothingRuns(SignedRelease(m_installer, L"2020111204"), std::move(route), UpdateOutcome::NotVerified);
    EXPECT_EQ(m_server.Requests().size(), 1u);
}

// Verified, but no program: its start fails, and the player is sent to the installer's address.
TEST_F(RefusedUpdateTest, InstallerThatCannotStartTakesTheFailurePath) {
    const std::string notAProgram(4096, 'x');
    ExpectNothingRuns(SignedRelease(notAProgram, L"2020111204"), HttpRoute::Ok(notAProgram),
                      UpdateOutcome::DownloadFailed);
}

}  // namespace
