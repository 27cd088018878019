#include "tests/wkefake/FakeEngineRemote.h"

#include "tests/wkefake/FakeCommandChannel.h"

#include <algorithm>

namespace wkefake {
namespace {

std::wstring FolderOf(const std::wstring& path) {
    size_t slash = path.find_last_of(L"\\/");
    return slash == std::wstring::npos ? std::wstring(L".") : path.substr(0, slash);
}

bool ProcessEnded(HANDLE process) { return !process || WaitForSingleObject(process, 0) == WAIT_OBJECT_0; }

// A change notification on one folder, closed the way such handles must be.
class FolderWatch {
public:
    explicit FolderWatch(const std::wstring& folder)
        : m_handle(FindFirstChangeNotificationW(folder.c_str(), FALSE,
                                                FILE_NOTIFY_CHANGE_SIZE | FILE_NOTIFY_CHANGE_LAST_WRITE)) {}
    ~FolderWatch() {
        if (m_handle != INVALID_HANDLE_VALUE) FindCloseChangeNotification(m_handle);
    }
    FolderWatch(const FolderWatch&) = delete;
    FolderWatch& operator=(const FolderWatch&) = delete;

    // Waits until something in the folder changes, `process` ends or `ms` pass.
    void Wait(HANDLE process, DWORD ms) {
        HANDLE handles[2];
        DWORD count = 0;
        if (m_handle != INVALID_HANDLE_VALUE) handles[count++] = m_handle;
        if (process) handles[count++] = process;
        if (count == 0) return;
        if (WaitForMultipleObjects(count, handles, FALSE, ms) == WAIT_OBJECT_0 &&
            m_handle != INVALID_HANDLE_VALUE)
            FindNextChangeNotification(m_handle);
    }

private:
    HANDLE m_handle;
};

}  // namespace

// Wine shows the Unix root as drive Z:.
std::wstring FromBuildTreePath(const wchar_t* path) {
    std::wstring result = path[0] == L'/' ? std::wstring(L"Z:") + path : std::wstring(path);
    std::replace(result.begin(), result.end(), L'/', L'\\');
    return result;
}

std::wstring EngineDllPath(EngineDll variant) {
    switch (variant) {
        case EngineDll::Complete: return FromBuildTreePath(L"" WKEFAKE_DLL_COMPLETE);
        case EngineDll::LackingEntries: return FromBuildTreePath(L"" WKEFAKE_DLL_LACKING);
        case EngineDll::WithoutInitialize: return FromBuildTreePath(L"" WKEFAKE_DLL_NOINIT);
    }
    return std::wstring();
}

bool CopyEngineDll(EngineDll variant, const std::wstring& folder) {
    return CopyFileW(EngineDllPath(variant).c_str(), (folder + L"\\node.dll").c_str(), FALSE) != 0;
}

std::wstring NewEngineLogPath() {
    wchar_t folder[MAX_PATH];
    wchar_t path[MAX_PATH];
    DWORD length = GetTempPathW(MAX_PATH, folder);
    if (length == 0 || length >= MAX_PATH) return std::wstring();
    if (!GetTempFileNameW(folder, L"wke", 0, path)) return std::wstring();
    return path;
}

std::string QuoteCommandArg(const std::string& utf8) {
    std::string out = "\"";
    for (char c : utf8) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

RemoteEngine::~RemoteEngine() {
    if (m_process && !ProcessEnded(m_process.Get())) {
        TerminateProcess(m_process.Get(), 1);
        WaitForSingleObject(m_process.Get(), 5000);
    }
}

bool RemoteEngine::Start(const std::wstring& program, const std::wstring& arguments,
                         const std::wstring& logPath) {
    m_logPath = logPath;
    // The child inherits this process's environment.
    SetEnvironmentVariableW(L"ORVEL_FAKE_ENGINE_LOG", logPath.c_str());
    std::wstring commandLine = L"\"" + program + L"\"";
    if (!arguments.empty()) commandLine += L" " + arguments;
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION info{};
    if (!CreateProcessW(program.c_str(), &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                        FolderOf(program).c_str(), &startup, &info))
        return false;
    CloseHandle(info.hThread);
    m_process.Reset(info.hProcess);
    m_processId = info.dwProcessId;
    return true;
}

std::vector<std::string> RemoteEngine::LogLines() const {
    std::vector<std::string> lines;
    UniqueHandle file(CreateFileW(m_logPath.c_str(), GENERIC_READ,
                                  FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
    if (!file) return lines;
    std::string text;
    char buffer[4096];
    DWORD read = 0;
    while (ReadFile(file.Get(), buffer, sizeof buffer, &read, nullptr) && read > 0)
        text.append(buffer, read);
    size_t start = 0;
    for (size_t end; (end = text.find('\n', start)) != std::string::npos; start = end + 1)
        lines.push_back(text.substr(start, end - start));  // a line still being written is left out
    return lines;
}

std::optional<std::string> RemoteEngine::WaitForLogLine(const std::string& prefix, DWORD timeoutMs,
                                                        size_t from) const {
    FolderWatch watch(FolderOf(m_logPath));
    ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        // Read before judging the process: it may have written its last line and ended.
        bool ended = ProcessEnded(m_process.Get());
        std::vector<std::string> lines = LogLines();
        for (size_t i = from; i < lines.size(); ++i)
            if (lines[i].compare(0, prefix.size(), prefix) == 0) return lines[i];
        ULONGLONG now = GetTickCount64();
        if (ended || now >= deadline) return std::nullopt;
        // Change notifications may be coalesced; never wait long without looking again.
        watch.Wait(m_process.Get(), static_cast<DWORD>(std::min<ULONGLONG>(deadline - now, 100)));
    }
}

HWND RemoteEngine::FindCommandWindow(DWORD timeoutMs) const {
    // The engine writes its first log line after its command window exists.
    if (!WaitForLogLine("wkeInitializeEx", timeoutMs)) return nullptr;
    std::wstring title = std::wstring(kFakeEngineWindowClass) + L" " + std::to_wstring(m_processId);
    return FindWindowW(kFakeEngineWindowClass, title.c_str());
}

std::optional<int> RemoteEngine::Send(const std::string& command, DWORD timeoutMs) {
    HWND window = FindCommandWindow(timeoutMs);
    if (!window) return std::nullopt;
    int number = m_nextNumber++;
    std::string text = std::to_string(number) + " " + command;
    COPYDATASTRUCT data{kFakeEngineCommandTag, static_cast<DWORD>(text.size()), &text[0]};
    DWORD_PTR result = 0;
    if (!SendMessageTimeoutW(window, WM_COPYDATA, 0, reinterpret_cast<LPARAM>(&data), SMTO_NORMAL,
                             timeoutMs, &result) ||
        !result)
        return std::nullopt;
    return number;
}

std::optional<std::string> RemoteEngine::WaitForReply(int number, DWORD timeoutMs) const {
    std::string prefix = "reply " + std::to_string(number) + " ";
    std::optional<std::string> line = WaitForLogLine(prefix, timeoutMs);
    if (!line) return std::nullopt;
    return line->substr(prefix.size());
}

std::optional<std::string> RemoteEngine::Command(const std::string& command, DWORD timeoutMs) {
    std::optional<int> number = Send(command, timeoutMs);
    if (!number) return std::nullopt;
    return WaitForReply(*number, timeoutMs);
}

std::optional<DWORD> RemoteEngine::WaitForExit(DWORD timeoutMs) const {
    if (!m_process || WaitForSingleObject(m_process.Get(), timeoutMs) != WAIT_OBJECT_0)
        return std::nullopt;
    DWORD code = 0;
    GetExitCodeProcess(m_process.Get(), &code);
    return code;
}

}  // namespace wkefake
