#include "update/InstallerStart.h"

#include "tests/update/UpdateTestSupport.h"

#include <gtest/gtest.h>

#include <string>

namespace {

// A copy of the recording installer at `folder`\`name`, the folders made as needed.
std::wstring PlaceRecorder(const std::wstring& folder, const std::wstring& name) {
    for (size_t pos = folder.find(L'\\', 3); ; pos = folder.find(L'\\', pos + 1)) {
        CreateDirectoryW(folder.substr(0, pos).c_str(), nullptr);
        if (pos == std::wstring::npos) break;
    }
    const std::wstring path = folder + L"\\" + name;
    return CopyFileW(RecorderPath().c_str(), path.c_str(), FALSE) ? path : std::wstring();
}

std::wstring TempFolder(const wchar_t* leaf) {
    wchar_t temp[MAX_PATH] = {};
    GetTempPathW(MAX_PATH, temp);
    return std::wstring(temp) + leaf + std::to_wstring(GetCurrentProcessId());
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
    const std::wstring path = PlaceRecorder(TempFolder(L"orvel update test "), L"setup 2.exe");
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
    std::wstring folder = TempFolder(L"orvel_long_");
    while (folder.size() + 22 < 255) folder += L"\\abcdefghij";  // ends 244..254 units long
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
    EXPECT_FALSE(StartInstaller((TempFolder(L"orvel_missing_") + L"\\update.exe").c_str()));
    EXPECT_FALSE(StartInstaller(L""));
    EXPECT_FALSE(StartInstaller(nullptr));
    EXPECT_EQ(started.Started(), 0u);
}

}  // namespace
