#include "engine/BrowserProcess.h"

#include <cstdio>
#include <vector>

#include "common/TextConv.h"

namespace {

typedef char*(CDECL* WineGetUnixFileName)(const wchar_t* dosName);
typedef wchar_t*(CDECL* WineGetDosFileName)(const char* unixName);

void* WineExport(const char* name) {
    HMODULE kernel = GetModuleHandleW(L"kernel32.dll");
    return kernel ? reinterpret_cast<void*>(GetProcAddress(kernel, name)) : nullptr;
}

bool UnixFileExists(const std::string& unixPath) {
    auto convert = reinterpret_cast<WineGetDosFileName>(WineExport("wine_get_dos_file_name"));
    if (!convert) return false;
    wchar_t* dosPath = convert(unixPath.c_str());
    if (!dosPath) return false;
    DWORD attributes = GetFileAttributesW(dosPath);
    HeapFree(GetProcessHeap(), 0, dosPath);
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

std::wstring EnvPath(const wchar_t* variable, const wchar_t* tail) {
    wchar_t buf[MAX_PATH];
    DWORD n = GetEnvironmentVariableW(variable, buf, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return std::wstring();
    return std::wstring(buf) + tail;
}

std::wstring FindBrowser() {
    if (RunningUnderWine()) {
        for (const char* candidate : {"/usr/bin/chromium", "/usr/bin/chromium-browser", "/usr/lib/chromium/chromium",
                                      "/usr/bin/google-chrome", "/usr/bin/google-chrome-stable",
                                      "/snap/bin/chromium"}) {
            if (UnixFileExists(candidate)) return Utf8ToWide(candidate, strlen(candidate));
        }
        return std::wstring();
    }
    const std::wstring candidates[] = {
        EnvPath(L"ProgramFiles", L"\\Google\\Chrome\\Application\\chrome.exe"),
        EnvPath(L"ProgramFiles(x86)", L"\\Google\\Chrome\\Application\\chrome.exe"),
        EnvPath(L"LOCALAPPDATA", L"\\Google\\Chrome\\Application\\chrome.exe"),
        EnvPath(L"LOCALAPPDATA", L"\\Chromium\\Application\\chrome.exe"),
        EnvPath(L"ProgramFiles(x86)", L"\\Microsoft\\Edge\\Application\\msedge.exe"),
        EnvPath(L"ProgramFiles", L"\\Microsoft\\Edge\\Application\\msedge.exe"),
    };
    for (const std::wstring& path : candidates) {
        if (path.empty()) continue;
        DWORD attributes = GetFileAttributesW(path.c_str());
        if (attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY)) return path;
    }
    return std::wstring();
}

// Switches every start gets: no sandbox or GPU (neither works in this setting), nothing that
// phones home, and a private profile so that several launchers never share state.
const wchar_t* const kBrowserSwitches[] = {
    L"--headless", L"--no-sandbox", L"--disable-gpu", L"--no-first-run", L"--disable-background-networking",
    L"--disable-component-update", L"--disable-sync", L"--disable-default-apps", L"--disable-crash-reporter",
    L"--no-default-browser-check", L"--mute-audio", L"--hide-scrollbars", L"--remote-debugging-port=0",
    L"--remote-debugging-address=127.0.0.1", L"--disable-features=Translate,MediaRouter,OptimizationHints",
};

bool ReadSmallFile(const std::wstring& path, std::string& out) {
    UniqueHandle file(CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file) return false;
    char buf[1024];
    DWORD got = 0;
    if (!ReadFile(file.Get(), buf, sizeof buf, &got, nullptr)) return false;
    out.assign(buf, got);
    return true;
}

}  // namespace

bool RunningUnderWine() { return WineExport("wine_get_unix_file_name") != nullptr; }

std::string ToUnixPath(const std::wstring& dosPath) {
    auto convert = reinterpret_cast<WineGetUnixFileName>(WineExport("wine_get_unix_file_name"));
    if (!convert) return std::string();
    char* unixPath = convert(dosPath.c_str());
    if (!unixPath) return std::string();
    std::string result(unixPath);
    HeapFree(GetProcessHeap(), 0, unixPath);
    return result;
}

std::wstring QuoteArgument(const std::wstring& arg) {
    if (!arg.empty() && arg.find_first_of(L" \t\n\v\"") == std::wstring::npos) return arg;
    std::wstring out = L"\"";
    for (size_t i = 0;; ++i) {
        size_t backslashes = 0;
        while (i < arg.size() && arg[i] == L'\\') {
            ++i;
            ++backslashes;
        }
        if (i == arg.size()) {
            out.append(backslashes * 2, L'\\');
            break;
        }
        if (arg[i] == L'"') {
            out.append(backslashes * 2 + 1, L'\\');
        } else {
            out.append(backslashes, L'\\');
        }
        out += arg[i];
    }
    out += L'"';
    return out;
}

std::wstring BrowserProcess::Locate(const std::wstring& override) { return override.empty() ? FindBrowser() : override; }

bool BrowserProcess::Start(const std::wstring& browser, DWORD timeoutMs) {
    if (browser.empty()) return false;

    wchar_t temp[MAX_PATH];
    DWORD n = GetTempPathW(MAX_PATH, temp);
    if (n == 0 || n >= MAX_PATH) return false;
    wchar_t name[64];
    swprintf(name, 64, L"wke-browser-%lu-%lu", GetCurrentProcessId(), GetTickCount());
    m_profileDir = std::wstring(temp) + name;
    if (!CreateDirectoryW(m_profileDir.c_str(), nullptr)) return false;

    bool started;
    if (RunningUnderWine()) {
        std::string unixProfile = ToUnixPath(m_profileDir);
        started = !unixProfile.empty() && StartUnderWine(browser, unixProfile);
    } else {
        started = StartNative(browser);
    }
    return started && WaitForEndpoint(timeoutMs);
}

bool BrowserProcess::StartUnderWine(const std::wstring& browser, const std::string& unixProfile) {
    if (!m_winsock.Ok()) return false;
    UniqueSocket listener(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof addr;
    if (!listener.IsValid() || bind(listener.Get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        listen(listener.Get(), 1) != 0 || getsockname(listener.Get(), reinterpret_cast<sockaddr*>(&addr), &size) != 0)
        return false;

    // $1 browser, $2 profile, $3 the lifeline port, then the switches. The browser starts only
    // once the lifeline is connected, so no browser can exist without one.
    static const wchar_t kScript[] =
        L"b=\"$1\"; d=\"$2\"; exec 3<>\"/dev/tcp/127.0.0.1/$3\" || exit 1; shift 3; "
        L"\"$b\" \"--user-data-dir=$d\" \"$@\" about:blank </dev/null >/dev/null 2>&1 & p=$!; "
        L"cat <&3 >/dev/null; kill $p 2>/dev/null; wait $p; "
        // Ended by a signal, the browser leaves the folder of its single-instance socket in the
        // system's temporary folder; the profile names it. Only those two entries and the then
        // empty folder are removed, whatever the link says.
        L"s=$(readlink \"$d/SingletonSocket\"); t=${s%/SingletonSocket}; "
        L"if [ -n \"$s\" ] && [ \"$t\" != \"$s\" ]; then "
        L"rm -f \"$t/SingletonSocket\" \"$t/SingletonCookie\"; rmdir \"$t\" 2>/dev/null; fi; "
        // The browser's helpers end a moment after it and may still write into the profile.
        L"for i in 1 2 3 4 5 6 7 8 9 10; do rm -rf \"$d\" 2>/dev/null; [ -e \"$d\" ] || break; sleep 0.5; done";
    std::wstring command = L"/bin/bash -c " + QuoteArgument(kScript) + L" watchdog " + QuoteArgument(browser) + L" " +
                           QuoteArgument(Utf8ToWide(unixProfile.data(), unixProfile.size())) + L" " +
                           std::to_wstring(ntohs(addr.sin_port));
    for (const wchar_t* sw : kBrowserSwitches) command += L" " + QuoteArgument(sw);

    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::vector<wchar_t> mutableCommand(command.begin(), command.end());
    mutableCommand.push_back(L'\0');
    if (!CreateProcessW(nullptr, mutableCommand.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW, nullptr, nullptr,
                        &si, &pi))
        return false;
    UniqueHandle thread(pi.hThread);
    m_process.Reset(pi.hProcess);

    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(listener.Get(), &readable);
    timeval wait{10, 0};
    if (select(0, &readable, nullptr, nullptr, &wait) != 1) return false;
    m_lifeline.Reset(accept(listener.Get(), nullptr, nullptr));
    return m_lifeline.IsValid();
}

bool BrowserProcess::StartNative(const std::wstring& browser) {
    std::wstring command = QuoteArgument(browser) + L" " + QuoteArgument(L"--user-data-dir=" + m_profileDir);
    for (const wchar_t* sw : kBrowserSwitches) command += L" " + QuoteArgument(sw);
    command += L" about:blank";

    m_job.Reset(CreateJobObjectW(nullptr, nullptr));
    if (m_job) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        SetInformationJobObject(m_job.Get(), JobObjectExtendedLimitInformation, &limits, sizeof limits);
    }
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::vector<wchar_t> mutableCommand(command.begin(), command.end());
    mutableCommand.push_back(L'\0');
    if (!CreateProcessW(nullptr, mutableCommand.data(), nullptr, nullptr, FALSE, CREATE_SUSPENDED | CREATE_NO_WINDOW,
                        nullptr, nullptr, &si, &pi))
        return false;
    UniqueHandle thread(pi.hThread);
    m_process.Reset(pi.hProcess);
    if (m_job) AssignProcessToJobObject(m_job.Get(), m_process.Get());
    ResumeThread(thread.Get());
    return true;
}

bool BrowserProcess::WaitForEndpoint(DWORD timeoutMs) {
    // The browser writes "<port>\n<path>" into its profile once it listens. There is no change
    // notification that works for this under Wine, so look at the file at a 20 ms pace; the wait
    // on the process handle is the pace and also notices a browser that ended at once.
    const std::wstring file = m_profileDir + L"\\DevToolsActivePort";
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    for (;;) {
        std::string text;
        if (ReadSmallFile(file, text)) {
            size_t lineEnd = text.find('\n');
            if (lineEnd != std::string::npos) {
                unsigned port = 0;
                std::string path = text.substr(lineEnd + 1);
                while (!path.empty() && (path.back() == '\n' || path.back() == '\r')) path.pop_back();
                if (sscanf(text.c_str(), "%u", &port) == 1 && port > 0 && port < 65536 && path.size() > 1 &&
                    path[0] == '/') {
                    m_port = static_cast<unsigned short>(port);
                    m_wsPath = path;
                    return true;
                }
            }
        }
        if (GetTickCount64() >= deadline) return false;
        if (WaitForSingleObject(m_process.Get(), 20) == WAIT_OBJECT_0) return false;
    }
}

void BrowserProcess::Stop() {
    m_lifeline.Reset();
    m_job.Reset();
    if (m_process) WaitForSingleObject(m_process.Get(), 5000);
    m_process.Reset();
}

std::string BrowserFileUrl(const std::wstring& fileNameOrUrl) {
    std::wstring path = fileNameOrUrl;
    if (path.size() >= 5 && _wcsnicmp(path.c_str(), L"file:", 5) == 0) {
        path.erase(0, 5);
        while (!path.empty() && (path[0] == L'/' || path[0] == L'\\')) path.erase(0, 1);
        // %xx escapes of the address become the characters of the path.
        std::wstring decoded;
        for (size_t i = 0; i < path.size(); ++i) {
            if (path[i] == L'%' && i + 2 < path.size() && iswxdigit(path[i + 1]) && iswxdigit(path[i + 2])) {
                decoded += static_cast<wchar_t>(wcstol(path.substr(i + 1, 2).c_str(), nullptr, 16));
                i += 2;
            } else {
                decoded += path[i] == L'/' ? L'\\' : path[i];
            }
        }
        path = decoded;
    }
    wchar_t full[MAX_PATH * 4];
    DWORD n = GetFullPathNameW(path.c_str(), MAX_PATH * 4, full, nullptr);
    if (n == 0 || n >= MAX_PATH * 4) return ToUtf8(fileNameOrUrl.c_str());
    std::string target;
    if (RunningUnderWine()) {
        target = ToUnixPath(full);
        if (target.empty()) return ToUtf8(fileNameOrUrl.c_str());
    } else {
        target = "/" + ToUtf8(full);
        for (char& c : target) {
            if (c == '\\') c = '/';
        }
    }
    static const char kHex[] = "0123456789ABCDEF";
    std::string url = "file://";
    for (unsigned char c : target) {
        if (isalnum(c) || c == '/' || c == '-' || c == '_' || c == '.' || c == '~' || c == ':' || c >= 0x80) {
            url += static_cast<char>(c);
        } else {
            url += '%';
            url += kHex[c >> 4];
            url += kHex[c & 15];
        }
    }
    return url;
}
