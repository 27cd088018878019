#include <windows.h>
#include <shellapi.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>

#include "common/Handles.h"
#include "common/ModulePath.h"
#include "common/TextConv.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/TempFolder.h"

namespace {

struct RestartResult {
    DWORD probeExit = 99;
    std::string marker;  // "<path of the new process>\n<its command line>"
};

// Runs the probe at `probe` with the bridge command and waits (with a deadline, on a change
// notification of the marker's folder) for the process the restart starts to report itself.
RestartResult RunProbe(const std::wstring& probe, const std::wstring& command) {
    RestartResult result;
    const TempFolder folder(L"orvel_restart_");
    const std::wstring marker = folder.Path() + L"marker.txt";
    DeleteFileW(marker.c_str());
    SetEnvironmentVariableW(L"ORVEL_RESTART_MARKER", marker.c_str());
    UniqueHandle watch(FindFirstChangeNotificationW(folder.Path().c_str(), FALSE,
                                                    FILE_NOTIFY_CHANGE_FILE_NAME));

    std::wstring line = L"\"" + probe + L"\" bridge " + command;
    STARTUPINFOW si{};
    si.cb = sizeof(si);
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(probe.c_str(), &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi)) {
        ADD_FAILURE() << "probe did not start: " << GetLastError();
        return result;
    }
    UniqueHandle process(pi.hProcess), thread(pi.hThread);
    EXPECT_EQ(WaitForSingleObject(process.Get(), 20000), WAIT_OBJECT_0);
    GetExitCodeProcess(process.Get(), &result.probeExit);

    // Woken by the folder's change notification, and polled as well: under load Wine may refuse
    // the notification (it rests on the host's inotify instances) or deliver it late.
    const ULONGLONG deadline = GetTickCount64() + 20000;
    // The marker is renamed into place whole; it counts once it can be read with both lines.
    while ((result.marker = ReadWholeFile(marker)).find('\n') == std::string::npos) {
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline) break;
        const DWORD slice = static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, 100));
        if (watch) {
            if (WaitForSingleObject(watch.Get(), slice) == WAIT_OBJECT_0) FindNextChangeNotification(watch.Get());
        } else {
            Sleep(slice);
        }
    }
    if (watch) FindCloseChangeNotification(watch.Release());
    return result;
}

std::wstring ProbeBesideUs() { return ProgramFolder() + L"restart_probe.exe"; }

void ExpectStartedWithoutArguments(const RestartResult& result, const std::wstring& probe) {
    const size_t split = result.marker.find('\n');
    ASSERT_NE(split, std::string::npos) << "no new process reported";
    EXPECT_EQ(result.marker.substr(0, split), ToUtf8(probe.c_str()));
    const std::wstring commandLine = Utf8ToWide(result.marker.data() + split + 1,
                                                result.marker.size() - split - 1);
    int argc = 0;
    LPWSTR* argv = CommandLineToArgvW(commandLine.c_str(), &argc);
    ASSERT_NE(argv, nullptr);
    EXPECT_EQ(argc, 1) << ToUtf8(commandLine.c_str());
    LocalFree(argv);
}

}  // namespace

TEST(BridgeRestart, WindowReturnInSmallLettersStartsOwnExecutableWithoutArgumentsAndQuits) {
    const std::wstring probe = ProbeBesideUs();
    const RestartResult result = RunProbe(probe, L"windowreturn");
    EXPECT_EQ(result.probeExit, 0u);  // the quit was posted
    ExpectStartedWithoutArguments(result, probe);
}

TEST(BridgeRestart, ExitGameToLoginRestartsToo) {
    const std::wstring probe = ProbeBesideUs();
    const RestartResult result = RunProbe(probe, L"ExitGameToLogin");
    EXPECT_EQ(result.probeExit, 0u);
    ExpectStartedWithoutArguments(result, probe);
}

TEST(ModuleFilePath, ReadsThePathWhole) {
    const std::wstring path = ModuleFilePath(nullptr);
    ASSERT_FALSE(path.empty());
    wchar_t small[MAX_PATH] = {};
    ASSERT_GT(GetModuleFileNameW(nullptr, small, MAX_PATH), 0u);
    EXPECT_EQ(path, small);
    EXPECT_EQ(path.substr(path.size() - 4), L".exe");
}
