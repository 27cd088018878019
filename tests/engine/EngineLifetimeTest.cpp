// The browser must not outlive the process that uses the engine, even when that process is killed,
// and the profile it leaves must serve the next start, even when the browser itself was killed.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <string>

#include "common/Handles.h"
#include "common/TextConv.h"
#include "engine/browser/BrowserProcess.h"
#include "tests/engine/EngineTestSupport.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempFolder.h"

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
        if (cmdline.find(marker) != std::string::npos) ++count;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return count;
}

// Runs a shell command as a Linux program and waits until `done` holds. Wine does not wait for a
// Linux program's end, and it writes nowhere a Windows program could read.
bool RunShellUntil(const std::string& script, const std::function<bool()>& done) {
    std::wstring command = L"/bin/sh -c " + QuoteArgument(Utf8ToWide(script));
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, &command[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi))
        return false;
    UniqueHandle process(pi.hProcess);
    UniqueHandle thread(pi.hThread);
    return PumpUntil(done, 20000);
}

// The folder of the browser's single-instance socket, which the browser makes in the system's
// temporary folder and links from its profile; asked of the system itself, as Windows programs
// cannot read a link. Empty when there is none.
std::wstring SingletonFolderOf(const std::wstring& profile) {
    const TempFolder folder(L"singleton-link-");
    const std::wstring answer = folder.Path() + L"link.txt";
    std::string target;
    RunShellUntil("readlink \"" + ToUnixPath(profile) + "/SingletonSocket\" > \"" + ToUnixPath(answer) + "\"", [&] {
        // The answer is complete with its line break.
        target = ReadWholeFile(answer);
        return !target.empty() && target.back() == '\n';
    });
    const size_t slash = target.rfind("/SingletonSocket");
    if (slash == std::string::npos || slash == 0) return std::wstring();
    target.resize(slash);
    for (char& c : target) {
        if (c == '/') c = '\\';
    }
    return L"Z:" + Utf8ToWide(target);
}

// A stand-in launcher on `profile`, started and up (its browser answered).
bool StartHelper(const std::wstring& profile, bool keep, PipedChild& helper) {
    if (!StartPiped(ProgramFolder() + L"engine_lifetime_helper.exe", QuoteArgument(profile) + (keep ? L" keep" : L""),
                    true, helper))
        return false;
    // A blocking read: the helper writes "ready" once its browser is up, or ends (end of file).
    std::string said;
    char buf[64];
    DWORD got = 0;
    while (said.find("ready") == std::string::npos && ReadFile(helper.output.Get(), buf, sizeof buf, &got, nullptr) &&
           got)
        said.append(buf, got);
    return said.find("ready") != std::string::npos;
}

TEST(EngineLifetime, BrowserEndsWithItsKilledProcessAndTheKeptProfileServesTheNextStarts) {
    const TempFolder folder(L"engine-lifetime-");
    ASSERT_TRUE(folder.Ready());
    const std::wstring profile = folder.Path() + L"Browser";
    const std::string marker = "--user-data-dir=" + ToUnixPath(profile);

    // The process that uses the engine is killed: its browser ends, and so does the folder of the
    // browser's single-instance socket; the profile stays.
    PipedChild first;
    ASSERT_TRUE(StartHelper(profile, false, first)) << "the helper's engine did not start";
    EXPECT_GT(ProcessesMentioning(marker), 0) << "the browser should run while the helper does";
    const std::wstring singleton = SingletonFolderOf(profile);
    ASSERT_FALSE(singleton.empty()) << "the browser's profile links no single-instance folder";
    ASSERT_TRUE(TerminateProcess(first.process.Get(), 9));
    ASSERT_EQ(WaitForSingleObject(first.process.Get(), 10000), WAIT_OBJECT_0);
    EXPECT_TRUE(PumpUntil([&] { return ProcessesMentioning(marker) == 0; }, 20000))
        << ProcessesMentioning(marker) << " browser processes outlived the helper";
    EXPECT_TRUE(PumpUntil([&] { return GetFileAttributesW(singleton.c_str()) == INVALID_FILE_ATTRIBUTES; }, 20000))
        << "the browser's single-instance folder outlived the helper";
    EXPECT_NE(GetFileAttributesW(profile.c_str()), INVALID_FILE_ATTRIBUTES) << "the profile went with the browser";

    // Now the browser is killed too, and its watchdog first, so that nothing tidies up: its lock
    // stays in the profile. (The brackets keep the patterns from matching the shell that runs them.)
    PipedChild second;
    ASSERT_TRUE(StartHelper(profile, true, second)) << "the kept profile did not serve the second start";
    const std::string unixProfile = ToUnixPath(profile);
    ASSERT_TRUE(RunShellUntil("pkill -9 -f -- '[w]atchdog .*" + unixProfile + "'; pkill -9 -f -- '[-]" + marker.substr(1) + "'",
                              [&] { return ProcessesMentioning(marker) == 0; }));
    ASSERT_TRUE(TerminateProcess(second.process.Get(), 9));
    ASSERT_EQ(WaitForSingleObject(second.process.Get(), 10000), WAIT_OBJECT_0);

    // The next start takes the profile over without complaint.
    PipedChild third;
    ASSERT_TRUE(StartHelper(profile, true, third)) << "the profile a killed browser left did not serve the next start";
    ASSERT_TRUE(TerminateProcess(third.process.Get(), 9));
    EXPECT_TRUE(PumpUntil([&] { return ProcessesMentioning(marker) == 0; }, 20000));
}

}  // namespace
