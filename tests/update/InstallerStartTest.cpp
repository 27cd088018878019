#include "update/InstallerStart.h"

#include "tests/support/TempFolder.h"
#include "tests/update/UpdateTestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A copy of the recording installer named `name` in `folder` (ending with a backslash), the folders
// made as needed.
std::wstring PlaceRecorder(const std::wstring& folder, const std::wstring& name) {
    for (size_t pos = folder.find(L'\\', 3); ; pos = folder.find(L'\\', pos + 1)) {
        CreateDirectoryW(folder.substr(0, pos).c_str(), nullptr);
        if (pos == std::wstring::npos) break;
    }
    const std::wstring path = folder + name;
    return CopyFileW(RecorderPath().c_str(), path.c_str(), FALSE) ? path : std::wstring();
}

TEST(InstallerCommandLine, IsThePathFollowedDirectlyByTheSwitches) {
    EXPECT_EQ(InstallerCommandLine(L"C:\\cache\\update_2.exe"), L"C:\\cache\\update_2.exe /SILENT /norestart ");
    EXPECT_EQ(std::wstring(kInstallerSwitches).size(), 20u);
    EXPECT_EQ(InstallerCommandLine(nullptr), kInstallerSwitches);
}

TEST(InstallerCommandLine, KeepsTheWholeOfTheLongestCachePath) {
    const std::wstring path = L"C:\\" + std::wstring(MAX_PATH - 4, L'a');  // 259 units, the most the cache returns
    const std::wstring commandLine = InstallerCommandLine(path.c_str());
    EXPECT_EQ(commandLine.size(), path.size() + 20);
    EXPECT_EQ(commandLine, path + kInstallerSwitches);
}

// The path is not quoted, so only the application name keeps a path with spaces whole.
TEST(StartInstaller, RunsAPathWithSpacesWithExactlyTheCommandLine) {
    RecordFile records;
    const TempFolder folder(L"orvel update test ");
    const std::wstring path = PlaceRecorder(folder.Path(), L"setup 2.exe");
    ASSERT_FALSE(path.empty());
    ASSERT_TRUE(StartInstaller(path.c_str()));
    ASSERT_TRUE(records.WaitFor(1, 30000));
    const std::vector<Record> runs = records.Read();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].commandLine, path + kInstallerSwitches);
    EXPECT_EQ(_wcsicmp(runs[0].program.c_str(), path.c_str()), 0);
}

// A path near the cache's limit makes a command line longer than MAX_PATH; it runs uncut.
TEST(StartInstaller, RunsAPathTooLongForAMaxPathCommandLine) {
    RecordFile records;
    const TempFolder top(L"orvel_long_");
    std::wstring folder = top.Path();
    while (folder.size() + 21 < 255) folder += L"abcdefghij\\";  // ends 244..254 units long
    const std::wstring path = PlaceRecorder(folder, L"update.exe");
    ASSERT_FALSE(path.empty());
    ASSERT_GT(path.size() + 20, static_cast<size_t>(MAX_PATH));
    ASSERT_LT(path.size(), static_cast<size_t>(MAX_PATH));
    ASSERT_TRUE(StartInstaller(path.c_str()));
    ASSERT_TRUE(records.WaitFor(1, 30000));
    const std::vector<Record> runs = records.Read();
    ASSERT_EQ(runs.size(), 1u);
    EXPECT_EQ(runs[0].commandLine, path + kInstallerSwitches);
}

TEST(StartInstaller, ReportsAMissingFileAndStartsNothing) {
    ProcessCounter started;
    ASSERT_TRUE(started.Active());
    const TempFolder empty(L"orvel_missing_");
    EXPECT_FALSE(StartInstaller((empty.Path() + L"update.exe").c_str()));
    EXPECT_FALSE(StartInstaller(L""));
    EXPECT_FALSE(StartInstaller(nullptr));
    EXPECT_EQ(started.Started(), 0u);
}

}  // namespace
