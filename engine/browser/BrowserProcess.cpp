#include "engine/browser/BrowserProcess.h"

#include <bcrypt.h>

#include <cstdio>
#include <cstring>
#include <vector>

#include "common/ModulePath.h"
#include "common/TextConv.h"
#include "common/UserFolders.h"

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

// Switches of every start: a browser without windows of its own (headless, drawing in software)
// that asks nothing of the player (no first-run steps, no sync, no default-browser question, no
// crash uploads), driven over its DevTools pipe. The cache is bounded; the rest of the profile
// (cookies, storage, databases) is the player's and stays.
const wchar_t* const kBrowserSwitches[] = {
    L"--headless", L"--remote-debugging-pipe", L"--disable-gpu", L"--no-first-run", L"--no-default-browser-check",
    L"--disable-sync", L"--disable-default-apps", L"--disable-crash-reporter", L"--hide-scrollbars",
    L"--disable-features=Translate,MediaRouter,OptimizationHints", L"--disk-cache-size=268435456",
};

// Under Wine only. Where the launcher runs under Wine (development and tests here), the machines
// have no way out to the internet, so the browser's own requests (component and list updates,
// background fetches) could only fail, again and again. A browser on a player's Windows keeps
// them: they bring it certificate revocation lists and safe-browsing data.
const wchar_t* const kClosedNetworkSwitches[] = {L"--disable-background-networking", L"--disable-component-update"};

// How long the launcher waits for the watchdog to connect, and then for its first line.
constexpr DWORD kWatchdogConnectMs = 10000;

// The watchdog, a shell that starts the Linux browser under Wine. $1 browser, $2 profile, $3 the
// port to connect to, $4 "1" to start with an empty profile, then the switches; the one-time
// secret comes in the environment, which other users cannot read (a command line they can).
const wchar_t kWatchdogScript[] =
    L"s=$WKE_PIPE_SECRET; unset WKE_PIPE_SECRET; b=$1; d=$2; port=$3; clean=$4; shift 4; "
    L"exec 3<>\"/dev/tcp/127.0.0.1/$port\" || exit 1; printf '%s\\n' \"$s\" >&3; "
    // The browser sends small messages back to back (an answer, then the next frame): the second
    // would wait for the launcher's delayed acknowledgement of the first, some 40 ms a frame. The
    // shell cannot ask the socket to send at once; perl, where there is one, can.
    L"command -v perl >/dev/null && perl -MSocket=IPPROTO_TCP,TCP_NODELAY "
    L"-e 'open(my $t, \"+<&=\", 3) or exit; setsockopt($t, IPPROTO_TCP, TCP_NODELAY, 1)' 2>/dev/null; "
    // A browser of an earlier run may still be on the profile (its launcher has just ended and it
    // is on its way out, still writing after it dropped its lock): any process with this profile
    // as an argument of its own counts. The pattern comes from a file so that grep's own command
    // line does not match it. Past the wait they have no launcher left and are ended.
    L"on() { grep -lszxF -f <(printf '%s\\n' \"--user-data-dir=$d\") /proc/[0-9]*/cmdline | cut -d/ -f3; }; "
    L"i=0; while [ -n \"$(on)\" ] && [ $i -lt 100 ]; do sleep 0.1; i=$((i+1)); done; "
    L"p=$(on); if [ -n \"$p\" ]; then kill -9 $p; sleep 0.5; fi; "
    // With no browser alive on it, what a killed one left goes: its lock, and the folder of its
    // single-instance socket in the system's temporary folder (only those two entries and the then
    // empty folder, whatever the link says).
    L"stale() { k=$(readlink \"$d/SingletonSocket\"); t=${k%/SingletonSocket}; "
    L"if [ -n \"$k\" ] && [ \"$t\" != \"$k\" ]; then rm -f \"$t/SingletonSocket\" \"$t/SingletonCookie\"; "
    L"rmdir \"$t\" 2>/dev/null; fi; rm -f \"$d/SingletonLock\" \"$d/SingletonSocket\" \"$d/SingletonCookie\"; }; "
    L"stale; if [ \"$clean\" = 1 ]; then rm -rf \"$d\"; fi; mkdir -p \"$d\"; "
    // The browser refuses to start as root with its sandbox, and a Linux browser for a Windows
    // program runs as whoever runs Wine: only then is the sandbox given up.
    L"if [ \"$(id -u)\" = 0 ]; then set -- --no-sandbox \"$@\"; fi; "
    L"\"$b\" \"--user-data-dir=$d\" \"$@\" about:blank 3<&3 4>&3 </dev/null >/dev/null 2>&1 & c=$!; "
    // The browser quits when its pipe ends, which it does when the launcher ends in any way.
    L"exec 3<&-; wait $c; stale";

std::wstring SwitchesText(const BrowserLaunch& launch, bool underWine) {
    std::wstring text;
    for (const wchar_t* sw : kBrowserSwitches) text += L" " + QuoteArgument(sw);
    if (underWine)
        for (const wchar_t* sw : kClosedNetworkSwitches) text += L" " + QuoteArgument(sw);
    if (!launch.userAgent.empty()) text += L" " + QuoteArgument(L"--user-agent=" + launch.userAgent);
    if (launch.muteAudio) text += L" --mute-audio";
    return text;
}

// A one-time secret for the watchdog's connection: 16 random bytes as hex.
std::string RandomSecret() {
    unsigned char bytes[16];
    if (!BCRYPT_SUCCESS(BCryptGenRandom(nullptr, bytes, sizeof bytes, BCRYPT_USE_SYSTEM_PREFERRED_RNG)))
        return std::string();
    return ToLowerHex(bytes, sizeof bytes);
}

// This process's environment with `name`=`value` added, as CreateProcessW takes it.
std::vector<wchar_t> EnvironmentWith(const std::wstring& name, const std::wstring& value) {
    std::vector<wchar_t> block;
    if (wchar_t* current = GetEnvironmentStringsW()) {
        for (const wchar_t* p = current; *p;) {
            const size_t length = wcslen(p);
            block.insert(block.end(), p, p + length + 1);
            p += length + 1;
        }
        FreeEnvironmentStringsW(current);
    }
    const std::wstring entry = name + L"=" + value;
    block.insert(block.end(), entry.c_str(), entry.c_str() + entry.size() + 1);
    block.push_back(L'\0');
    return block;
}

// Waits at most `timeoutMs` for `s` to be readable (or to have a connection to accept).
bool Readable(SOCKET s, DWORD timeoutMs) {
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(s, &readable);
    timeval wait{static_cast<long>(timeoutMs / 1000), static_cast<long>(timeoutMs % 1000) * 1000};
    return select(0, &readable, nullptr, nullptr, &wait) == 1;
}

// Whether the first line the other side sends is `secret`, compared in a time that does not
// depend on where it differs.
bool SendsSecret(SOCKET s, const std::string& secret, DWORD timeoutMs) {
    std::string line;
    const ULONGLONG deadline = GetTickCount64() + timeoutMs;
    while (line.size() <= secret.size()) {
        const ULONGLONG now = GetTickCount64();
        if (now >= deadline || !Readable(s, static_cast<DWORD>(deadline - now))) return false;
        char c = 0;
        if (recv(s, &c, 1, 0) != 1) return false;
        if (c == '\n') break;
        line += c;
    }
    if (line.size() != secret.size()) return false;
    unsigned char difference = 0;
    for (size_t i = 0; i < secret.size(); ++i) difference |= static_cast<unsigned char>(line[i] ^ secret[i]);
    return difference == 0;
}

// Whether `path` names a Windows program (rather than a Linux one by its Unix path).
bool IsWindowsProgram(const std::wstring& path) {
    if (path.size() < 5 || _wcsicmp(path.c_str() + path.size() - 4, L".exe") != 0) return false;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
}

// Removes what `folder` holds, without following links or junctions out of it.
void RemoveContents(const std::wstring& folder) {
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((folder + L"\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return;
    do {
        const std::wstring name = found.cFileName;
        if (name == L"." || name == L"..") continue;
        const std::wstring path = folder + L"\\" + name;
        const bool folderEntry = (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
        // A link or junction is removed itself; what it points to is not touched.
        if (folderEntry && !(found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT)) RemoveContents(path);
        if (folderEntry) {
            RemoveDirectoryW(path.c_str());
        } else {
            SetFileAttributesW(path.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(path.c_str());
        }
    } while (FindNextFileW(search, &found));
    FindClose(search);
}

// The C runtime's inheritance block (STARTUPINFOW::lpReserved2): the number of descriptors, a
// flag byte for each, then a handle for each, packed. The browser finds its DevTools pipe as
// descriptors 3 (commands) and 4 (answers); 0 to 2 are not handed over.
std::vector<BYTE> RuntimeDescriptors(HANDLE commands, HANDLE answers) {
    constexpr int kCount = 5;
    constexpr unsigned char kOpenPipe = 0x01 | 0x08;  // FOPEN | FPIPE
    const unsigned char flags[kCount] = {0, 0, 0, kOpenPipe, kOpenPipe};
    const HANDLE handles[kCount] = {INVALID_HANDLE_VALUE, INVALID_HANDLE_VALUE, INVALID_HANDLE_VALUE, commands, answers};
    std::vector<BYTE> block(sizeof(int) + sizeof flags + sizeof handles);
    memcpy(block.data(), &kCount, sizeof kCount);
    memcpy(block.data() + sizeof kCount, flags, sizeof flags);
    memcpy(block.data() + sizeof kCount + sizeof flags, handles, sizeof handles);
    return block;
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

std::wstring BrowserProcess::DefaultProfile() {
    const std::wstring base = LocalAppDataFolder();
    std::wstring program = ModuleFilePath(nullptr);
    program = program.substr(program.find_last_of(L"\\/") + 1);
    const size_t dot = program.rfind(L'.');
    if (dot != std::wstring::npos && dot > 0) program.resize(dot);
    if (base.empty() || program.empty()) return std::wstring();
    return base + program + L"\\Browser";
}

bool BrowserProcess::Start(const BrowserLaunch& launch, DWORD timeoutMs) {
    if (launch.browser.empty() || launch.profile.empty() || !MakeFolderTree(launch.profile)) return false;
    if (RunningUnderWine() && !IsWindowsProgram(launch.browser)) return StartUnderWine(launch, timeoutMs);
    return StartNative(launch);
}

bool BrowserProcess::StartUnderWine(const BrowserLaunch& launch, DWORD timeoutMs) {
    const std::string unixProfile = ToUnixPath(launch.profile);
    const std::string secret = RandomSecret();
    if (unixProfile.empty() || secret.empty() || !m_winsock.Ok()) return false;
    // A Linux program started from here gets /dev/null as its standard input whatever it is
    // handed, so Windows pipes cannot reach it. The watchdog connects back instead, proves with
    // the secret that it is the one started here, and hands the socket to the browser as its
    // pipe. The port listens for that one connection only, and only for as long as it takes.
    UniqueSocket listener(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof addr;
    if (!listener.IsValid() || bind(listener.Get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        listen(listener.Get(), 1) != 0 || getsockname(listener.Get(), reinterpret_cast<sockaddr*>(&addr), &size) != 0)
        return false;

    std::wstring command = L"/bin/bash -c " + QuoteArgument(kWatchdogScript) + L" watchdog " +
                           QuoteArgument(launch.browser) + L" " + QuoteArgument(Utf8ToWide(unixProfile)) + L" " +
                           std::to_wstring(ntohs(addr.sin_port)) + (launch.cleanProfile ? L" 1" : L" 0") +
                           SwitchesText(launch, true);
    std::vector<wchar_t> environment = EnvironmentWith(L"WKE_PIPE_SECRET", Utf8ToWide(secret));
    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, CREATE_NO_WINDOW | CREATE_UNICODE_ENVIRONMENT,
                        environment.data(), nullptr, &si, &pi))
        return false;
    UniqueHandle thread(pi.hThread);
    m_process.Reset(pi.hProcess);

    const DWORD wait = timeoutMs < kWatchdogConnectMs ? timeoutMs : kWatchdogConnectMs;
    if (!Readable(listener.Get(), wait)) return false;
    UniqueSocket connection(accept(listener.Get(), nullptr, nullptr));
    listener.Reset();
    if (!connection.IsValid() || !SendsSecret(connection.Get(), secret, wait)) return false;
    BOOL noDelay = TRUE;  // DevTools traffic is many small command and answer pairs
    setsockopt(connection.Get(), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
    m_stream = MakeSocketStream(std::move(connection));
    return true;
}

bool BrowserProcess::StartNative(const BrowserLaunch& launch) {
    // The job ended the browser of an earlier run when its launcher ended, so nothing holds the
    // profile now.
    if (launch.cleanProfile) RemoveContents(launch.profile);
    // Two pipes: the browser reads commands from the first and writes answers into the second.
    // Only the browser's ends are inheritable, and only they are handed to it.
    SECURITY_ATTRIBUTES inheritable{sizeof inheritable, nullptr, TRUE};
    HANDLE commandsRead = nullptr, commandsWrite = nullptr, answersRead = nullptr, answersWrite = nullptr;
    if (!CreatePipe(&commandsRead, &commandsWrite, &inheritable, 0)) return false;
    UniqueHandle browserCommands(commandsRead), ourCommands(commandsWrite);
    if (!CreatePipe(&answersRead, &answersWrite, &inheritable, 0)) return false;
    UniqueHandle ourAnswers(answersRead), browserAnswers(answersWrite);
    if (!SetHandleInformation(ourCommands.Get(), HANDLE_FLAG_INHERIT, 0) ||
        !SetHandleInformation(ourAnswers.Get(), HANDLE_FLAG_INHERIT, 0))
        return false;

    HANDLE inherited[2] = {browserCommands.Get(), browserAnswers.Get()};
    SIZE_T listSize = 0;
    InitializeProcThreadAttributeList(nullptr, 1, 0, &listSize);
    std::vector<BYTE> listMemory(listSize);
    auto* attributes = reinterpret_cast<LPPROC_THREAD_ATTRIBUTE_LIST>(listMemory.data());
    if (!InitializeProcThreadAttributeList(attributes, 1, 0, &listSize)) return false;
    const bool listed = UpdateProcThreadAttribute(attributes, 0, PROC_THREAD_ATTRIBUTE_HANDLE_LIST, inherited,
                                                  sizeof inherited, nullptr, nullptr) != FALSE;
    std::vector<BYTE> descriptors = RuntimeDescriptors(browserCommands.Get(), browserAnswers.Get());
    STARTUPINFOEXW si{};
    si.StartupInfo.cb = sizeof si;
    si.StartupInfo.cbReserved2 = static_cast<WORD>(descriptors.size());
    si.StartupInfo.lpReserved2 = descriptors.data();
    si.lpAttributeList = attributes;
    std::wstring command = QuoteArgument(launch.browser) + L" " + QuoteArgument(L"--user-data-dir=" + launch.profile) +
                           SwitchesText(launch, false) + L" about:blank";

    m_job.Reset(CreateJobObjectW(nullptr, nullptr));
    if (m_job) {
        JOBOBJECT_EXTENDED_LIMIT_INFORMATION limits{};
        limits.BasicLimitInformation.LimitFlags = JOB_OBJECT_LIMIT_KILL_ON_JOB_CLOSE;
        SetInformationJobObject(m_job.Get(), JobObjectExtendedLimitInformation, &limits, sizeof limits);
    }
    PROCESS_INFORMATION pi{};
    const BOOL created = listed && CreateProcessW(nullptr, command.data(), nullptr, nullptr, TRUE,
                                                  CREATE_SUSPENDED | CREATE_NO_WINDOW | EXTENDED_STARTUPINFO_PRESENT,
                                                  nullptr, nullptr, &si.StartupInfo, &pi);
    DeleteProcThreadAttributeList(attributes);
    if (!created) return false;
    UniqueHandle thread(pi.hThread);
    m_process.Reset(pi.hProcess);
    if (m_job) AssignProcessToJobObject(m_job.Get(), m_process.Get());
    ResumeThread(thread.Get());
    // The browser holds its own copies now; the pipes must end when it does.
    browserCommands.Reset();
    browserAnswers.Reset();
    m_stream = MakeHandleStream(std::move(ourCommands), std::move(ourAnswers));
    return true;
}

void BrowserProcess::Stop() {
    m_stream.reset();
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
