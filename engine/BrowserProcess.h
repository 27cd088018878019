// Starts the headless browser that the engine drives and ties its life to this process.
//
// Under Wine the browser is a Linux program that a Job object cannot reach, and Wine hands a
// Linux program neither a pipe as its standard input nor this process as its parent. The browser
// is therefore started by a watchdog shell that first connects to a loopback socket this process
// listens on and then reads from it: when this process ends in any way (also when it is killed)
// its sockets close, the read ends, and the shell ends the browser and removes its profile folder.
// On Windows a kill-on-close Job object does the same.
#pragma once

#include <windows.h>

#include <string>

#include "common/Handles.h"
#include "engine/WebSocket.h"

class BrowserProcess {
public:
    // The browser to start: `override` when not empty, else the first one found in the usual
    // places; empty when there is none.
    static std::wstring Locate(const std::wstring& override);

    // Starts the browser at `browser` and waits, at most `timeoutMs`, until its DevTools endpoint
    // is announced. Any thread; the other members are read only after it returned.
    bool Start(const std::wstring& browser, DWORD timeoutMs);

    // Ends the browser now (the same path the process's death would take).
    void Stop();

    unsigned short Port() const { return m_port; }
    const std::string& BrowserPath() const { return m_wsPath; }  // "/devtools/browser/<id>"
    // The profile folder, as this process sees it (also names the browser's processes).
    const std::wstring& ProfileDir() const { return m_profileDir; }

private:
    bool StartUnderWine(const std::wstring& browser, const std::string& unixProfile);
    bool StartNative(const std::wstring& browser);
    bool WaitForEndpoint(DWORD timeoutMs);

    UniqueHandle m_process;     // owned: the shell (Wine) or the browser (Windows)
    WinsockScope m_winsock;
    UniqueSocket m_lifeline;    // owned: the watchdog's connection; closing it ends the browser
    UniqueHandle m_job;         // owned: kill-on-close job (Windows only)
    std::wstring m_profileDir;  // created by Start
    unsigned short m_port = 0;
    std::string m_wsPath;
};

// Whether this process runs under Wine (and so can start Linux programs by their Unix path).
bool RunningUnderWine();
// The Linux path of a Windows path under Wine; empty elsewhere or when it has none.
std::string ToUnixPath(const std::wstring& dosPath);

// Quotes one argument so that CommandLineToArgvW (and Wine's start-up of Unix programs) gives it back.
std::wstring QuoteArgument(const std::wstring& arg);

// A local file (a path, or a file: address with a Windows path) as an address the browser can
// open; under Wine the browser sees the Unix file system. Other text is returned unchanged.
std::string BrowserFileUrl(const std::wstring& fileNameOrUrl);
