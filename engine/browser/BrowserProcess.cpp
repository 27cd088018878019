// What every start of the browser shares: where the browser is, the profile, the switches, the
// choice of the start (the native one in NativeStart.cpp, the Wine one in WineStart.cpp), and the
// Windows and Unix paths under Wine.
#include "engine/browser/BrowserProcess.h"

#include <cstring>

#include "common/ModulePath.h"
#include "common/TextConv.h"
#include "common/UserFolders.h"
#include "engine/browser/BrowserStart.h"

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

// Switches of every start: a browser without windows of its own (headless) that asks nothing of
// the player (no first-run steps, no sync, no default-browser question, no crash uploads), driven
// over its DevTools pipe. The cache is bounded; the rest of the profile (cookies, storage,
// databases) is the player's and stays. On Windows it draws with the player's graphics card
// (WebGL games need it), and falls back to its own software renderer when the card's process
// fails to start.
const wchar_t* const kBrowserSwitches[] = {
    L"--headless", L"--remote-debugging-pipe", L"--no-first-run", L"--no-default-browser-check",
    L"--disable-sync", L"--disable-default-apps", L"--disable-crash-reporter", L"--hide-scrollbars",
    L"--disable-features=Translate,MediaRouter,OptimizationHints", L"--disk-cache-size=268435456",
};

// Under Wine only. Where the launcher runs under Wine (development and tests here), the machines
// have no way out to the internet, so the browser's own requests (component and list updates,
// background fetches) could only fail, again and again. A browser on a player's Windows keeps
// them: they bring it certificate revocation lists and safe-browsing data.
// And a Linux browser under Wine draws in software: the machines it runs on here have no graphics
// card to give it.
const wchar_t* const kWineSwitches[] = {L"--disable-background-networking", L"--disable-component-update",
                                        L"--disable-gpu"};

// Whether `path` names a Windows program (rather than a Linux one by its Unix path).
bool IsWindowsProgram(const std::wstring& path) {
    if (path.size() < 5 || _wcsicmp(path.c_str() + path.size() - 4, L".exe") != 0) return false;
    const DWORD attributes = GetFileAttributesW(path.c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && !(attributes & FILE_ATTRIBUTE_DIRECTORY);
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

std::wstring SwitchesText(const BrowserLaunch& launch, bool underWine) {
    std::wstring text;
    for (const wchar_t* sw : kBrowserSwitches) text += L" " + QuoteArgument(sw);
    if (underWine)
        for (const wchar_t* sw : kWineSwitches) text += L" " + QuoteArgument(sw);
    if (!launch.userAgent.empty()) text += L" " + QuoteArgument(L"--user-agent=" + launch.userAgent);
    if (launch.muteAudio) text += L" --mute-audio";
    return text;
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
    // The one place the start is chosen: the Wine start is reached only under Wine.
    if (RunningUnderWine() && !IsWindowsProgram(launch.browser)) return StartUnderWine(launch, timeoutMs, m_run);
    return StartNative(launch, m_run);
}

void BrowserProcess::Stop() {
    m_run.stream.reset();
    m_run.job.Reset();
    if (m_run.process) WaitForSingleObject(m_run.process.Get(), 5000);
    m_run.process.Reset();
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
