// Measures the engine against the real browser. Every line of output is "<name> <value>".
//
//   engine_bench start                   the engine's start: its own return, the first view, the
//                                        browser up with the first page running
//   engine_bench frames <flat|textured> [minimised]
//                                        an animated page in a game-sized view painted the way the
//                                        game window paints (the renderer into a window): the page's
//                                        own frame rate, the frames that reached the window, and
//                                        the CPU of this process (the launcher's share) and of the
//                                        browser's processes; minimised, the same with the window
//                                        minimised and the view told so, then how long the
//                                        restored window waits for its first frame
//   engine_bench still                   frames delivered while a page stands still
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

#include "common/Handles.h"
#include "game/RenderGDI.h"
#include "tests/engine/EngineTestSupport.h"
#include "tests/support/LoopbackHttpServer.h"

namespace {

// The game window's default inner size.
constexpr int kWidth = 1013;
constexpr int kHeight = 640;
constexpr DWORD kMeasureMs = 5000;

void Report(const char* name, double value) { std::printf("%s %.3f\n", name, value); }

// A full-window canvas that changes every frame: one colour with a moving square (compresses
// well), or a noise texture sliding by (does not).
std::string AnimatedPage(bool textured) {
    std::string page =
        "<html><body style='margin:0;overflow:hidden'><canvas id=c width=1013 height=640></canvas><script>"
        "var c=document.getElementById('c').getContext('2d'),n=0;window.frames=0;";
    if (textured) {
        page +=
            "var t=c.createImageData(1013,640);for(var i=0;i<t.data.length;i++)t.data[i]=(Math.random()*256)|0;"
            "var s=document.createElement('canvas');s.width=1013;s.height=640;s.getContext('2d').putImageData(t,0,0);"
            "function f(){n++;window.frames++;var x=(n*7)%1013;c.drawImage(s,-x,0);c.drawImage(s,1013-x,0);"
            "requestAnimationFrame(f);}f();";
    } else {
        page +=
            "function f(){n++;window.frames++;c.fillStyle='hsl('+(n%360)+',80%,50%)';c.fillRect(0,0,1013,640);"
            "c.fillStyle='#fff';c.fillRect((n*7)%973,(n*3)%600,40,40);requestAnimationFrame(f);}f();";
    }
    return page + "</script></body></html>";
}

struct Painter {
    CRenderGDI* render = nullptr;
    int frames = 0;
};

void WKE_CALL OnPaint(wkeWebView, void* param, HDC hdc, int x, int y, int cx, int cy) {
    auto* painter = static_cast<Painter*>(param);
    ++painter->frames;
    painter->render->UpdateRect(hdc, x, y, cx, cy);
}

void WKE_CALL CountFrame(wkeWebView, void* param, HDC, int, int, int, int) { ++*static_cast<int*>(param); }

ULONGLONG ProcessCpuNs() {
    FILETIME created, exited, kernel, user;
    if (!GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user)) return 0;
    auto ns = [](const FILETIME& t) { return ((static_cast<ULONGLONG>(t.dwHighDateTime) << 32) | t.dwLowDateTime) * 100; };
    return ns(kernel) + ns(user);
}

// Reads a small file of a Linux process through the Z: drive; empty when it cannot.
std::string ProcFile(const std::wstring& pid, const wchar_t* name) {
    UniqueHandle file(CreateFileW((L"Z:\\proc\\" + pid + L"\\" + name).c_str(), GENERIC_READ, FILE_SHARE_READ,
                                  nullptr, OPEN_EXISTING, 0, nullptr));
    char text[8192];
    DWORD got = 0;
    if (!file || !ReadFile(file.Get(), text, sizeof text, &got, nullptr)) return std::string();
    return std::string(text, got);
}

// On-CPU time of every thread of a Linux process: a process's own schedstat is its main thread's
// alone, and the browser does most of its work (compositing, capture, encoding) on others.
ULONGLONG ThreadsCpuNs(const std::wstring& pid) {
    ULONGLONG total = 0;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW((L"Z:\\proc\\" + pid + L"\\task\\*").c_str(), &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    do {
        if (found.cFileName[0] < L'0' || found.cFileName[0] > L'9') continue;
        total += _strtoui64(ProcFile(pid, (std::wstring(L"task\\") + found.cFileName + L"\\schedstat").c_str()).c_str(),
                            nullptr, 10);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    return total;
}

// On-CPU time of every thread of every Linux process whose command line names `marker`, and of
// every process below one (the browser's helpers do not all name the profile).
ULONGLONG LinuxCpuNs(const std::string& marker) {
    struct Process {
        std::wstring pid;
        std::string parent;
        bool named = false;
    };
    std::vector<Process> all;
    WIN32_FIND_DATAW found;
    HANDLE search = FindFirstFileW(L"Z:\\proc\\*", &found);
    if (search == INVALID_HANDLE_VALUE) return 0;
    do {
        if (found.cFileName[0] < L'0' || found.cFileName[0] > L'9') continue;
        Process process;
        process.pid = found.cFileName;
        std::string line = ProcFile(process.pid, L"cmdline");
        for (char& c : line) c = c ? c : ' ';
        process.named = line.find(marker) != std::string::npos;
        // "pid (name) state ppid ...": the parent follows the name's closing parenthesis.
        const std::string stat = ProcFile(process.pid, L"stat");
        const size_t close = stat.rfind(')');
        if (close != std::string::npos && close + 4 < stat.size()) {
            const size_t begin = close + 4;
            process.parent = stat.substr(begin, stat.find(' ', begin) - begin);
        }
        all.push_back(process);
    } while (FindNextFileW(search, &found));
    FindClose(search);
    std::vector<std::string> counted;
    for (const Process& process : all)
        if (process.named) counted.push_back(std::string(process.pid.begin(), process.pid.end()));
    for (bool grew = true; grew;) {
        grew = false;
        for (Process& process : all) {
            if (process.named || std::find(counted.begin(), counted.end(), process.parent) == counted.end()) continue;
            process.named = grew = true;
            counted.push_back(std::string(process.pid.begin(), process.pid.end()));
        }
    }
    ULONGLONG total = 0;
    for (const Process& process : all)
        if (process.named) total += ThreadsCpuNs(process.pid);
    return total;
}

int PageFrames(wkeWebView view) {
    const std::wstring text = ScriptText(view, wkeRunJS(view, "window.frames"));
    return _wtoi(text.c_str());
}

int Frames(bool textured, bool minimised) {
    LoopbackHttpServer server;
    if (!server.Start()) return 1;
    server.AddPage("/animated.html", AnimatedPage(textured));
    if (!LoadTestEngine()) return 1;

    // The host window, sized as the game window's client area, with the renderer feeding it.
    WNDCLASSW wc{};
    wc.lpfnWndProc = DefWindowProcW;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"EngineBenchHost";
    RegisterClassW(&wc);
    RECT outer{0, 0, kWidth, kHeight};
    AdjustWindowRect(&outer, WS_OVERLAPPEDWINDOW, FALSE);
    HWND host = CreateWindowW(wc.lpszClassName, L"bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                              outer.right - outer.left, outer.bottom - outer.top, nullptr, nullptr, wc.hInstance, nullptr);
    Painter painter;
    painter.render = new CRenderGDI();
    painter.render->Init(host);
    wkeWebView view = wkeCreateWebWindow(WKE_WINDOW_TYPE_CONTROL, host, 0, 0, kWidth, kHeight);
    if (!host || !view) return 1;
    wkeSetHandle(view, host);
    wkeResize(view, kWidth, kHeight);
    painter.render->Resize(kWidth, kHeight);
    wkeOnPaintUpdated(view, OnPaint, &painter);
    const std::wstring page = server.Url("/animated.html");
    wkeLoadURLW(view, page.c_str());
    PumpUntil([&] { return painter.frames > 10; }, 60000);
    if (minimised) {
        ShowWindow(host, SW_MINIMIZE);
        wkeShowWindow(view, false);
    }
    PumpUntil([] { return false; }, 1000);  // settled

    const std::string browser = "Browser";  // the bench's own profile, named after this program
    const int pageBefore = PageFrames(view);
    const int paintedBefore = painter.frames;
    const ULONGLONG ownBefore = ProcessCpuNs();
    const ULONGLONG browserBefore = LinuxCpuNs("engine_bench/" + browser);
    const ULONGLONG start = GetTickCount64();
    PumpUntil([] { return false; }, kMeasureMs);
    const double seconds = static_cast<double>(GetTickCount64() - start) / 1000.0;
    const double own = static_cast<double>(ProcessCpuNs() - ownBefore);
    const double browserCpu = static_cast<double>(LinuxCpuNs("engine_bench/" + browser) - browserBefore);
    const int painted = painter.frames - paintedBefore;
    const int pageFrames = PageFrames(view) - pageBefore;

    Report("page_fps", pageFrames / seconds);
    Report("frames_per_s", painted / seconds);
    Report("launcher_cpu_pct", own / (seconds * 1e7));
    Report("launcher_cpu_ms_per_frame", painted ? own / 1e6 / painted : 0);
    Report("browser_cpu_pct", browserCpu / (seconds * 1e7));
    if (minimised) {
        // The player comes back: how long until the window shows the page's current picture.
        const int paintedHidden = painter.frames;
        const ULONGLONG restore = GetTickCount64();
        ShowWindow(host, SW_RESTORE);
        wkeShowWindow(view, true);
        if (PumpUntil([&] { return painter.frames > paintedHidden; }, 5000))
            Report("restored_paint_ms", static_cast<double>(GetTickCount64() - restore));
    }
    return 0;
}

int Start() {
    const ULONGLONG before = GetTickCount64();
    if (!LoadTestEngine()) return 1;
    Report("engine_start_ms", static_cast<double>(GetTickCount64() - before));
    const ULONGLONG viewStart = GetTickCount64();
    wkeWebView view = wkeCreateWebView();
    Report("engine_first_view_ms", static_cast<double>(GetTickCount64() - viewStart));
    if (!view || AnswerOncePageRuns(view, "1") != L"1") return 1;
    Report("engine_browser_up_ms", static_cast<double>(GetTickCount64() - before));
    return 0;
}

int Still() {
    LoopbackHttpServer server;
    if (!server.Start()) return 1;
    server.AddPage("/still.html", "<html><body style='background:#eee'>still</body></html>");
    if (!LoadTestEngine()) return 1;
    wkeWebView view = wkeCreateWebView();
    int frames = 0;
    wkeOnPaintUpdated(view, CountFrame, &frames);
    const std::wstring page = server.Url("/still.html");
    wkeLoadURLW(view, page.c_str());
    PumpUntil([] { return false; }, 1500);
    frames = 0;
    PumpUntil([] { return false; }, 3000);
    Report("still_frames_per_s", frames / 3.0);
    return 0;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring what = argc > 1 ? argv[1] : L"";
    if (what == L"start") return Start();
    if (what == L"still") return Still();
    if (what == L"frames" && argc > 2) {
        const std::wstring kind = argv[2];
        if (kind != L"flat" && kind != L"textured") return 2;
        return Frames(kind == L"textured", argc > 3 && std::wstring(argv[3]) == L"minimised");
    }
    std::fprintf(stderr, "usage: engine_bench start | still | frames <flat|textured> [minimised]\n");
    return 2;
}
