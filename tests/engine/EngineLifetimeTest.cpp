// The browser must not outlive the process that uses the engine, even when that process is killed.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "common/Handles.h"
#include "tests/engine/EngineTestSupport.h"
#include "tests/support/ChildProcess.h"

namespace {

// Linux processes whose command line contains `marker`, read from /proc through the Z: drive.
int ProcessesMentioning(const std::string& marker) {
    int count = 0;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(L"Z:\\proc\\*", &found);
    if (search == INVALID_HANDLE_VALUE) return -1;
    do {
        if (found.cFileName[0] < L'0' || found.cFileName[0] > L'9') continue;
        std::wstring path = std::wstring(L"Z:\\proc\\") + found.cFileName + L"\\cmdline";
        UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr));
        if (!file) continue;
        char buf[8192];
        DWORD got = 0;
        if (!ReadFile(file.Get(), buf, sizeof buf, &got, nullptr)) continue;
        std::string cmdline(buf, got);
        for (char& c : cmdline) {
            if (c == '\0') c = ' ';
        }
        if (cmdline.find(marker) != std::string::npos && cmdline.find("--user-data-dir") != std::string::npos)
            ++count;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return count;
}

TEST(EngineLifetime, BrowserEndsWhenTheProcessUsingTheEngineIsKilled) {
    PipedChild helper;
    ASSERT_TRUE(StartPiped(ProgramFolder() + L"engine_lifetime_helper.exe", L"", true, helper));

    // A blocking read: the helper writes "ready" once its browser is up, or ends (end of file).
    std::string said;
    char buf[64];
    DWORD got = 0;
    while (said.find("ready") == std::string::npos &&
           ReadFile(helper.output.Get(), buf, sizeof buf, &got, nullptr) && got)
        said.append(buf, got);
    ASSERT_NE(said.find("ready"), std::string::npos) << "the helper's engine did not start";

    const std::string marker = "wke-browser-" + std::to_string(helper.id) + "-";
    EXPECT_GT(ProcessesMentioning(marker), 0) << "the browser should run while the helper does";

    ASSERT_TRUE(TerminateProcess(helper.process.Get(), 9));
    ASSERT_EQ(WaitForSingleObject(helper.process.Get(), 10000), WAIT_OBJECT_0);
    EXPECT_TRUE(PumpUntil([&] { return ProcessesMentioning(marker) == 0; }, 20000))
        << ProcessesMentioning(marker) << " browser processes outlived the helper";
    // The browser's private profile goes with it.
    wchar_t temp[MAX_PATH];
    ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
    const std::wstring profiles = std::wstring(temp) + L"wke-browser-" + std::to_wstring(helper.id) + L"-*";
    EXPECT_TRUE(PumpUntil([&] {
        WIN32_FIND_DATAW found;
        HANDLE search = FindFirstFileW(profiles.c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) return true;
        FindClose(search);
        return false;
    }, 20000)) << "the browser's profile folder outlived the helper";
}

}  // namespace
