// For process-level tests: starts a program that loads the stand-in node.dll, sends commands to
// the engine inside it and reads its call log (see FakeCommandChannel.h for the commands).
#pragma once

#include "common/Handles.h"

#include <windows.h>

#include <optional>
#include <string>
#include <vector>

namespace wkefake {

enum class EngineDll {
    Complete,           // every entry point
    LackingEntries,     // without wkeGetCaret and wkeOnDownload
    WithoutInitialize,  // without wkeInitializeEx
};

// A path of the build tree (a Unix path, as CMake gives it) as the Windows side sees it.
std::wstring FromBuildTreePath(const wchar_t* path);

// Full path of a built node.dll variant (each lives alone in a folder of the build tree).
std::wstring EngineDllPath(EngineDll variant);

// Copies a node.dll variant into `folder` (next to a copy of the launcher, for instance).
bool CopyEngineDll(EngineDll variant, const std::wstring& folder);

// A fresh, empty file name in the temporary folder, for one process's call log.
std::wstring NewEngineLogPath();

// Double quotes and backslash escapes, so that a command argument may hold spaces.
std::string QuoteCommandArg(const std::string& utf8);

class RemoteEngine {
public:
    RemoteEngine() = default;
    ~RemoteEngine();  // ends the process if it is still running
    RemoteEngine(const RemoteEngine&) = delete;
    RemoteEngine& operator=(const RemoteEngine&) = delete;

    // Starts `program` with `arguments`, its engine logging to `logPath` (ORVEL_FAKE_ENGINE_LOG).
    bool Start(const std::wstring& program, const std::wstring& arguments, const std::wstring& logPath);

    HANDLE Process() const { return m_process.Get(); }
    DWORD ProcessId() const { return m_processId; }
    const std::wstring& LogPath() const { return m_logPath; }

    // Every line of the log so far (UTF-8).
    std::vector<std::string> LogLines() const;
    // Waits until a log line starts with `prefix` (looking from line `from` on); gives that line.
    // Gives nothing when the deadline passes or the process ends without writing it.
    std::optional<std::string> WaitForLogLine(const std::string& prefix, DWORD timeoutMs,
                                              size_t from = 0) const;
    // Sends one command and waits for its answer in the log.
    std::optional<std::string> Command(const std::string& command, DWORD timeoutMs = 20000);
    // Sends one command without waiting for its answer (for a handler that opens a modal box);
    // gives the number to wait for with WaitForReply, or nothing when it could not be sent.
    std::optional<int> Send(const std::string& command, DWORD timeoutMs = 20000);
    std::optional<std::string> WaitForReply(int number, DWORD timeoutMs = 20000) const;
    // Waits for the process to end; gives its exit code.
    std::optional<DWORD> WaitForExit(DWORD timeoutMs) const;

private:
    HWND FindCommandWindow(DWORD timeoutMs) const;

    UniqueHandle m_process;  // owned: the started program
    DWORD m_processId = 0;
    std::wstring m_logPath;
    int m_nextNumber = 1;
};

}  // namespace wkefake
