// The browser must not outlive the process that uses the engine, even when that process is killed.
#include <gtest/gtest.h>

#include <windows.h>

#include <string>

#include "common/Handles.h"
#include "common/TextConv.h"
#include "engine/BrowserProcess.h"
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
        if (cmdline.find(marker) != std::string::npos && cmdline.find("--user-data-dir") != std::string::npos)
            ++count;
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return count;
}

// The first folder matching `pattern` (with its folder), empty when there is none.
std::wstring FirstMatch(const std::wstring& pattern) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(pattern.c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return std::wstring();
    FindClose(search);
    return pattern.substr(0, pattern.find_last_of(L'\\') + 1) + found.cFileName;
}

// The folder of the browser's single-instance socket, which the browser makes in the system's
// temporary folder and links from its profile; asked of the system itself, as Windows programs
// cannot read a link. Empty when there is none.
std::wstring SingletonFolderOf(const std::wstring& profile) {
    // A Linux program's output does not come through a Windows pipe here: it goes to a file.
    const TempFolder folder(L"singleton-link-");
    const std::string link = ToUnixPath(profile) + "/SingletonSocket";
    const std::wstring answer = folder.Path() + L"link.txt";
    const std::string command =
        "/bin/sh -c \"readlink \\\"$0\\\" > \\\"$1\\\"\" \"" + link + "\" \"" + ToUnixPath(answer) + "\"";
    std::wstring wideCommand = Utf8ToWide(command.data(), command.size());
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, &wideCommand[0], nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr, &si, &pi))
        return std::wstring();
    UniqueHandle process(pi.hProcess);
    UniqueHandle thread(pi.hThread);
    // Wine does not wait for a Linux program's end: the answer is complete with its line break.
    std::string target;
    PumpUntil([&] {
        target = ReadWholeFile(answer);
        return !target.empty() && target.back() == '\n';
    }, 20000);
    const size_t slash = target.rfind("/SingletonSocket");
    if (slash == std::string::npos || slash == 0) return std::wstring();
    target.resize(slash);
    for (char& c : target) {
        if (c == '/') c = '\\';
    }
    return L"Z:" + Utf8ToWide(target.data(), target.size());
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
    wchar_t temp[MAX_PATH];
    ASSERT_GT(GetTempPathW(MAX_PATH, temp), 0u);
    const std::wstring profiles = std::wstring(temp) + L"wke-browser-" + std::to_wstring(helper.id) + L"-*";
    const std::wstring singleton = SingletonFolderOf(FirstMatch(profiles));
    ASSERT_FALSE(singleton.empty()) << "the browser's profile links no single-instance folder";
    EXPECT_NE(GetFileAttributesW(singleton.c_str()), INVALID_FILE_ATTRIBUTES);

    ASSERT_TRUE(TerminateProcess(helper.process.Get(), 9));
    ASSERT_EQ(WaitForSingleObject(helper.process.Get(), 10000), WAIT_OBJECT_0);
    EXPECT_TRUE(PumpUntil([&] { return ProcessesMentioning(marker) == 0; }, 20000))
        << ProcessesMentioning(marker) << " browser processes outlived the helper";
    // The browser's private profile goes with it, and so does its single-instance folder.
    EXPECT_TRUE(PumpUntil([&] { return FirstMatch(profiles).empty(); }, 20000))
        << "the browser's profile folder outlived the helper";
    EXPECT_TRUE(PumpUntil([&] { return GetFileAttributesW(singleton.c_str()) == INVALID_FILE_ATTRIBUTES; }, 20000))
        << "the browser's single-instance folder outlived the helper";
}

}  // namespace
