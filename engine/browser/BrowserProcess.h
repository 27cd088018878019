// The browser the engine drives: where it is, starting it on the player's profile, and its
// private DevTools pipe. It ends with the process that uses the engine, however that ends: on
// Windows its processes belong to a kill-on-close job; under Wine the pipe's end makes it quit,
// and a small watchdog shell tidies up after it.
//
// This unit holds what every start shares (discovery, the profile, the switches) and chooses the
// start; the two starts are units of their own (BrowserStart.h): NativeStart.cpp, the Windows
// one, and WineStart.cpp, the Wine one with its watchdog script (wine-watchdog.sh).
#pragma once

#include <windows.h>

#include <memory>
#include <string>

#include "common/Handles.h"
#include "common/SocketHandles.h"
#include "engine/devtools/PipeStream.h"

// What a browser is started with.
struct BrowserLaunch {
    std::wstring browser;       // its executable
    std::wstring profile;       // its profile folder, made when missing
    bool cleanProfile = false;  // the profile's contents are removed first
    // The user agent of every request it makes unless a page is given another, from its first
    // request on (workers and whatever runs before a page's own is set included); empty: its own.
    std::wstring userAgent;
    bool muteAudio = false;  // the pages play no sound
};

// What a start leaves behind, as far as it got (a start that failed may still leave a process for
// Stop to wait for). Ends in the reverse order of its members.
struct BrowserRun {
    UniqueHandle process;                   // owned: the watchdog (Wine) or the browser (Windows)
    std::unique_ptr<WinsockScope> winsock;  // owned: the Wine start's use of sockets (Wine only)
    UniqueHandle job;                       // owned: kill-on-close job (Windows only)
    std::unique_ptr<PipeStream> stream;     // owned until taken
};

class BrowserProcess {
public:
    // The browser to start: `override` when not empty, else the first one found in the usual
    // places; empty when there is none.
    static std::wstring Locate(const std::wstring& override);

    // The profile folder used when the caller names none: "<LocalAppData>\<program>\Browser",
    // after the program that uses the engine.
    static std::wstring DefaultProfile();

    // Starts the browser and connects its DevTools pipe, waiting at most `timeoutMs` for that.
    // The Wine start is taken only under Wine, for a browser that is not a Windows program; a
    // Windows program (an .exe that exists as such) is started natively, also under Wine. Any
    // thread; the other members are used only after it returned.
    bool Start(const BrowserLaunch& launch, DWORD timeoutMs);

    // The connected pipe, once; null before a successful Start.
    std::unique_ptr<PipeStream> TakeStream() { return std::move(m_run.stream); }

    // Lets go of the browser's processes (the job ends them on Windows; the pipe's end does it
    // under Wine, once its owner has shut it down) and waits a little for the starter to end.
    void Stop();

private:
    BrowserRun m_run;
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
