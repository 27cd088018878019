// The Wine start: a Linux browser for the engine running under Wine, and only there. A Linux
// program started from here gets /dev/null as its standard input whatever it is handed, so
// Windows pipes cannot reach it. The watchdog script (wine-watchdog.sh, embedded at build time)
// connects back instead, proves with a one-time secret that it is the one started here, and hands
// the socket to the browser as its pipe; it also tidies up after the browser.
#include "engine/browser/BrowserStart.h"

#include <bcrypt.h>

#include <cstring>
#include <vector>

#include "common/TextConv.h"
#include "WineWatchdogScript.h"  // generated from engine/browser/wine-watchdog.sh

namespace {

// How long the launcher waits for the watchdog to connect, and then for its first line.
constexpr DWORD kWatchdogConnectMs = 10000;

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

}  // namespace

bool StartUnderWine(const BrowserLaunch& launch, DWORD timeoutMs, BrowserRun& run) {
    // BrowserProcess::Start comes here only under Wine; elsewhere there is no Unix path (empty
    // below), no bash and nothing of this to run.
    const std::string unixProfile = ToUnixPath(launch.profile);
    const std::string secret = RandomSecret();
    run.winsock = std::make_unique<WinsockScope>();
    if (unixProfile.empty() || secret.empty() || !run.winsock->Ok()) return false;
    // The port listens for the watchdog's one connection only, and only for as long as it takes.
    UniqueSocket listener(socket(AF_INET, SOCK_STREAM, IPPROTO_TCP));
    sockaddr_in addr{};
    addr.sin_family = AF_INET;
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    int size = sizeof addr;
    if (!listener.IsValid() || bind(listener.Get(), reinterpret_cast<sockaddr*>(&addr), sizeof addr) != 0 ||
        listen(listener.Get(), 1) != 0 || getsockname(listener.Get(), reinterpret_cast<sockaddr*>(&addr), &size) != 0)
        return false;

    // The script's arguments: the browser, the profile, the port, "1" for a clean profile, then
    // the switches; the secret comes in the environment, which other users cannot read (a
    // command line they can). See wine-watchdog.sh.
    const std::wstring script = Utf8ToWide(kWineWatchdogScript, sizeof kWineWatchdogScript - 1);
    std::wstring command = L"/bin/bash -c " + QuoteArgument(script) + L" watchdog " + QuoteArgument(launch.browser) +
                           L" " + QuoteArgument(Utf8ToWide(unixProfile)) + L" " +
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
    run.process.Reset(pi.hProcess);

    const DWORD wait = timeoutMs < kWatchdogConnectMs ? timeoutMs : kWatchdogConnectMs;
    if (!Readable(listener.Get(), wait)) return false;
    UniqueSocket connection(accept(listener.Get(), nullptr, nullptr));
    listener.Reset();
    if (!connection.IsValid() || !SendsSecret(connection.Get(), secret, wait)) return false;
    BOOL noDelay = TRUE;  // DevTools traffic is many small command and answer pairs
    setsockopt(connection.Get(), IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&noDelay), sizeof noDelay);
    run.stream = MakeSocketStream(std::move(connection));
    return true;
}
