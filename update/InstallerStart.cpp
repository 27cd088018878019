#include "update/InstallerStart.h"

#include "common/Handles.h"

#include <windows.h>

std::wstring InstallerCommandLine(const wchar_t* path) {
    std::wstring commandLine = path ? path : L"";
    commandLine += kInstallerSwitches;
    return commandLine;
}

bool StartInstaller(const wchar_t* path) {
    if (!path || !*path) return false;
    // CreateProcessW may write into the command line, so it gets a private, writable copy.
    std::wstring commandLine = InstallerCommandLine(path);
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(path, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &process)) {
        return false;
    }
    // The launcher never waits for the installer; it only has to let go of it.
    UniqueHandle processHandle(process.hProcess);
    UniqueHandle threadHandle(process.hThread);
    return true;
}
