// The launcher's own measurements, one per run; scripts/bench runs each several times, sets the
// floors beside them and prints the table. Every line of output is "<name> <value>".
//
//   launcher_bench startup <program> <window class> <window title> [argument]
//       starts the program, waits for its window to be visible, reports the time, the time its
//       middle first showed what it shows once settled (for the launcher, the login page's first
//       painted frame), the process's peak working set a few seconds later, then closes the window
//   launcher_bench check <update base address>   the update check, first call in the process and later ones
//   launcher_bench download <address>            the installer download of the update window
//   launcher_bench get <address> <installer>     the same fetches with nothing of ours around them:
//                                                a bare URL moniker, a bare Winsock GET, a bare
//                                                URLDownloadToCacheFileW (where Wine's share shows)
//   launcher_bench paint                         the game window's renderer against memcpy
#include <winsock2.h>
#include <windows.h>
#include <objbase.h>
#include <psapi.h>
#include <wininet.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "core/Kuku.h"
#include "common/Dib.h"
#include "common/Handles.h"
#include "game/RenderGDI.h"
#include "update/InstallerTransfer.h"
#include "update/UpdateCheck.h"
#include "update/UpdateDownload.h"
#include "tests/support/MessagePump.h"

namespace {

double Now() {
    static const double ticksPerMs = [] {
        LARGE_INTEGER frequency;
        QueryPerformanceFrequency(&frequency);
        return static_cast<double>(frequency.QuadPart) / 1000.0;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return static_cast<double>(now.QuadPart) / ticksPerMs;
}

int Usage();

void Report(const char* name, double value) { std::printf("%s %.3f\n", name, value); }

// ---- start-up ----

// A grid of points over the middle of a window, as the screen showed them.
struct ScreenPoints {
    static constexpr int kColumns = 24, kRows = 12;
    uint32_t colour[kColumns * kRows] = {};

    // Most points look alike: lossy frames of the same picture, a blinking caret, allowed.
    bool LooksLike(const ScreenPoints& other) const {
        int alike = 0;
        for (int i = 0; i < kColumns * kRows; ++i) {
            int worst = 0;
            for (int shift = 0; shift < 24; shift += 8)
                worst = std::max(worst, std::abs(static_cast<int>((colour[i] >> shift) & 0xff) -
                                                 static_cast<int>((other.colour[i] >> shift) & 0xff)));
            alike += worst <= 24;
        }
        return alike * 10 >= kColumns * kRows * 9;
    }
};

// Reads the middle three fifths of a window off the screen.
class ScreenReader {
public:
    bool Read(HWND window, ScreenPoints& points) {
        RECT r;
        if (!GetWindowRect(window, &r)) return false;
        const int width = (r.right - r.left) * 3 / 5, height = (r.bottom - r.top) * 3 / 5;
        if (width <= 0 || height <= 0 || !m_dc.Get()) return false;
        if (width != m_width || height != m_height) {
            void* bits = nullptr;
            m_bitmap = CreateTopDownDib(width, height, &bits);
            m_bits = static_cast<const uint32_t*>(bits);
            m_width = width;
            m_height = height;
        }
        if (!m_bitmap) return false;
        {
            WindowDC screen(nullptr);
            SelectedObject selected(m_dc.Get(), m_bitmap.Get());
            if (!BitBlt(m_dc.Get(), 0, 0, width, height, screen.Get(), r.left + (r.right - r.left) / 5,
                        r.top + (r.bottom - r.top) / 5, SRCCOPY))
                return false;
        }
        constexpr int kColumns = ScreenPoints::kColumns, kRows = ScreenPoints::kRows;
        for (int row = 0; row < kRows; ++row)
            for (int column = 0; column < kColumns; ++column)
                points.colour[row * kColumns + column] =
                    m_bits[(row * height / kRows + height / (2 * kRows)) * width + column * width / kColumns +
                           width / (2 * kColumns)];
        return true;
    }

private:
    UniqueMemDC m_dc{CreateCompatibleDC(nullptr)};
    UniqueBitmap m_bitmap;
    const uint32_t* m_bits = nullptr;  // m_bitmap's pixels
    int m_width = 0, m_height = 0;
};

// Watches the window's middle until `until` and returns the time it first looked as it does at
// the end (0 when it could not be read): the first painted frame of content that then stays.
double SettledContentAt(HWND window, double until) {
    std::vector<std::pair<double, ScreenPoints>> changes;
    ScreenReader reader;
    ScreenPoints points;
    for (double at = Now(); at < until; at = Now()) {
        if (reader.Read(window, points) && (changes.empty() || !changes.back().second.LooksLike(points)))
            changes.emplace_back(at, points);
        Sleep(2);
    }
    for (const auto& change : changes)
        if (change.second.LooksLike(changes.back().second)) return change.first;
    return 0;
}

int Startup(const wchar_t* program, const wchar_t* windowClass, const wchar_t* title, const wchar_t* argument) {
    std::wstring command = L"\"" + std::wstring(program) + L"\"";
    if (argument) command += L" " + std::wstring(argument);
    std::wstring folder(program);
    folder.resize(folder.find_last_of(L"\\/") + 1);

    STARTUPINFOW si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    const double start = Now();
    if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, folder.c_str(), &si, &pi)) {
        std::fprintf(stderr, "cannot start %ls\n", program);
        return 1;
    }
    UniqueHandle process(pi.hProcess);
    UniqueHandle thread(pi.hThread);

    HWND window = nullptr;
    const double deadline = start + 60000;
    while (Now() < deadline) {
        window = FindWindowW(windowClass, title);
        if (window && IsWindowVisible(window)) break;
        window = nullptr;
        if (WaitForSingleObject(process.Get(), 1) == WAIT_OBJECT_0) break;
    }
    if (!window) {
        std::fprintf(stderr, "no visible window \"%ls\" of class %ls\n", title, windowClass);
        TerminateProcess(process.Get(), 1);
        return 1;
    }
    Report("startup_ms", Now() - start);

    // The window's content (for the launcher, the login page) arrives after the window itself.
    const double settled = SettledContentAt(window, Now() + 3000);
    if (settled > 0) Report("content_ms", settled - start);
    PROCESS_MEMORY_COUNTERS memory{};
    memory.cb = sizeof memory;
    if (GetProcessMemoryInfo(process.Get(), &memory, sizeof memory))
        Report("peak_working_set_mib", static_cast<double>(memory.PeakWorkingSetSize) / (1024.0 * 1024.0));

    PostMessageW(window, WM_CLOSE, 0, 0);
    if (WaitForSingleObject(process.Get(), 20000) != WAIT_OBJECT_0) TerminateProcess(process.Get(), 1);
    return 0;
}

// ---- update check ----

int Check(const wchar_t* baseUrl) {
    // The shipped skin's identity; the publisher answers with this same version: no update.
    CKuku local;
    local.Add(L"Game", L"qemox");
    local.Add(L"Agent", L"Velmark");
    local.Add(L"Version", L"2020111203");

    double start = Now();
    const CDuiString first = CheckUpdateFrom(baseUrl, local);
    Report("check_first_ms", Now() - start);
    if (!first.IsEmpty()) {
        std::fprintf(stderr, "the server offers an update; expected none\n");
        return 1;
    }
    constexpr int kRepeats = 10;
    std::vector<double> times;
    for (int i = 0; i < kRepeats; ++i) {
        start = Now();
        CheckUpdateFrom(baseUrl, local);
        times.push_back(Now() - start);
    }
    double sum = 0;
    for (double t : times) sum += t;
    Report("check_later_ms", sum / kRepeats);
    return 0;
}

// ---- the same transfers without the launcher ----

// One URLOpenBlockingStreamW read to its end, as the update check makes it but without a
// listener, a worker thread or parsing.
double BareMonikerGetMs(const wchar_t* url) {
    const double start = Now();
    ComPtr<IStream> stream;
    if (URLOpenBlockingStreamW(nullptr, url, stream.Put(), 0, nullptr) == S_OK && stream) {
        char buffer[4096];
        ULONG read = 0;
        while (stream->Read(buffer, sizeof buffer, &read) == S_OK && read) {
        }
    }
    return Now() - start;
}

// One HTTP/1.0 GET over a fresh Winsock connection, read to the connection's end.
double BareWinsockGetMs(const std::string& host, unsigned short port, const std::string& path) {
    const double start = Now();
    SOCKET s = socket(AF_INET, SOCK_STREAM, IPPROTO_TCP);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = inet_addr(host.c_str());
    if (s != INVALID_SOCKET && connect(s, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0) {
        const std::string request = "GET " + path + " HTTP/1.0\r\nHost: " + host + "\r\n\r\n";
        send(s, request.data(), static_cast<int>(request.size()), 0);
        char buffer[4096];
        while (recv(s, buffer, sizeof buffer, 0) > 0) {
        }
    }
    if (s != INVALID_SOCKET) closesocket(s);
    return Now() - start;
}

int BareTransfers(const wchar_t* url, const wchar_t* installerUrl) {
    // http://<dotted address>:<port><path>, as scripts/bench passes it.
    const std::wstring wide(url);
    const std::string narrow(wide.begin(), wide.end());
    const size_t hostStart = narrow.find("//") + 2;
    const size_t portStart = narrow.find(':', hostStart);
    const size_t pathStart = narrow.find('/', hostStart);
    if (hostStart == 1 || portStart == std::string::npos || pathStart == std::string::npos) return Usage();
    const std::string host = narrow.substr(hostStart, portStart - hostStart);
    const auto port = static_cast<unsigned short>(std::stoi(narrow.substr(portStart + 1, pathStart - portStart - 1)));
    const std::string path = narrow.substr(pathStart);

    WSADATA wsa;
    if (WSAStartup(MAKEWORD(2, 2), &wsa) != 0) return 1;
    Report("moniker_get_first_ms", BareMonikerGetMs(url));
    constexpr int kRepeats = 10;
    double moniker = 0;
    double winsock = 0;
    for (int i = 0; i < kRepeats; ++i) {
        moniker += BareMonikerGetMs(url);
        winsock += BareWinsockGetMs(host, port, path);
    }
    Report("moniker_get_later_ms", moniker / kRepeats);
    Report("winsock_get_ms", winsock / kRepeats);
    WSACleanup();

    wchar_t file[MAX_PATH] = {};
    const double start = Now();
    if (URLDownloadToCacheFileW(nullptr, installerUrl, file, MAX_PATH, 0, nullptr) != S_OK) return 1;
    const double elapsed = Now() - start;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(file, GetFileExInfoStandard, &data);
    const double mib = static_cast<double>((static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow) /
                       (1024.0 * 1024.0);
    Report("moniker_download_mib_per_s", mib / (elapsed / 1000.0));
    DeleteUrlCacheEntryW(installerUrl);
    DeleteFileW(file);
    return 0;
}

// ---- installer download ----

// What the update window does with each progress report: one bar position.
class CProgressSink : public IDownHandler {
public:
    void OnDownloadProgress(ULONG progress, ULONG total) override { m_nPercent = UpdateProgressPercent(progress, total); }
    int m_nPercent = 0;
};

int Download(const wchar_t* url) {
    CProgressSink sink;
    auto transfer = std::make_shared<CInstallerTransfer>(url, &sink);
    UniqueHandle worker;
    const double start = Now();
    if (!CInstallerTransfer::Start(transfer, worker) ||
        !transfer->WaitWhileProgressing(worker.Get(), kInstallerStallLimitMs) || !transfer->IsComplete()) {
        std::fprintf(stderr, "the download failed\n");
        return 1;
    }
    const double elapsed = Now() - start;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    GetFileAttributesExW(transfer->Path(), GetFileExInfoStandard, &data);
    const double mib = static_cast<double>((static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow) /
                       (1024.0 * 1024.0);
    Report("download_ms", elapsed);
    Report("download_mib_per_s", mib / (elapsed / 1000.0));
    // Many runs of a large file would fill the cache.
    DeleteUrlCacheEntryW(url);
    DeleteFileW(transfer->Path());
    return sink.m_nPercent == 100 ? 0 : 1;
}

// ---- paint path ----

constexpr int kViewWidth = 1080;
constexpr int kViewHeight = 640;

LRESULT CALLBACK PlainWndProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcW(hwnd, message, wParam, lParam);
}

// Calls `update` for at least `ms` and returns the mean time of one call in microseconds.
template <typename F>
double MeanMicroseconds(double ms, F update, HDC flushFrom) {
    int count = 0;
    const double start = Now();
    double now = start;
    while (now - start < ms) {
        update();
        ++count;
        now = Now();
    }
    // Reading a pixel back waits until the display has taken every copy.
    GetPixel(flushFrom, 0, 0);
    return (Now() - start) * 1000.0 / count;
}

int Paint() {
    WNDCLASSEXW wc{};
    wc.cbSize = sizeof wc;
    wc.lpfnWndProc = PlainWndProc;
    wc.hInstance = GetModuleHandleW(nullptr);
    wc.lpszClassName = L"OrvelBenchPaint";
    RegisterClassExW(&wc);
    RECT frame{0, 0, kViewWidth, kViewHeight};
    AdjustWindowRect(&frame, WS_OVERLAPPEDWINDOW, FALSE);
    HWND hwnd = CreateWindowExW(0, wc.lpszClassName, L"paint bench", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0,
                                frame.right - frame.left, frame.bottom - frame.top, nullptr, nullptr,
                                wc.hInstance, nullptr);
    if (!hwnd) return 1;
    PumpPending();

    // The engine hands over a DC holding the whole view; a frame of varied pixels stands in for it.
    void* bits = nullptr;
    UniqueMemDC source(CreateCompatibleDC(nullptr));
    UniqueBitmap frameBitmap = CreateTopDownDib(kViewWidth, kViewHeight, &bits);
    if (!frameBitmap) return 1;
    SelectedObject select(source.Get(), frameBitmap.Get());
    auto* pixels = static_cast<uint32_t*>(bits);
    for (int i = 0; i < kViewWidth * kViewHeight; ++i) pixels[i] = 0xFF000000u | (i * 2654435761u >> 8);

    CRenderGDI* render = new CRenderGDI();
    render->Init(hwnd);
    if (render->Width() != kViewWidth || render->Height() != kViewHeight) {
        std::fprintf(stderr, "the window's client area is %dx%d\n", render->Width(), render->Height());
        render->Destroy();
        return 1;
    }
    WindowDC window(hwnd);
    const double runMs = 2000;
    const double full = MeanMicroseconds(runMs, [&] { render->UpdateRect(source.Get(), 0, 0, kViewWidth, kViewHeight); },
                                         window.Get());
    const double small = MeanMicroseconds(runMs, [&] { render->UpdateRect(source.Get(), 0, 0, 64, 64); }, window.Get());
    render->Destroy();

    const size_t frameBytes = static_cast<size_t>(kViewWidth) * kViewHeight * 4;
    std::vector<uint8_t> from(static_cast<const uint8_t*>(bits), static_cast<const uint8_t*>(bits) + frameBytes);
    std::vector<uint8_t> to(frameBytes);
    const double copy = MeanMicroseconds(runMs, [&] {
        std::memcpy(to.data(), from.data(), frameBytes);
        from[0] ^= to[frameBytes - 1];  // each copy is used, so none is left out
    }, window.Get());

    Report("paint_full_per_s", 1e6 / full);
    Report("memcpy_full_per_s", 1e6 / copy);
    Report("paint_full_us", full);
    Report("paint_64x64_us", small);
    DestroyWindow(hwnd);
    return 0;
}

int Usage() {
    std::fprintf(stderr,
                 "usage: launcher_bench startup <program> <window class> <window title> [argument]\n"
                 "       launcher_bench check <update base address>\n"
                 "       launcher_bench download <address>\n"
                 "       launcher_bench get <document address> <installer address>\n"
                 "       launcher_bench paint\n");
    return 2;
}

}  // namespace

int wmain(int argc, wchar_t** argv) {
    if (argc < 2) return Usage();
    // As the launcher's UI thread: a single-threaded apartment.
    if (FAILED(CoInitialize(nullptr))) return 1;
    const std::wstring what = argv[1];
    int result = 2;
    if (what == L"startup" && (argc == 5 || argc == 6))
        result = Startup(argv[2], argv[3], argv[4], argc == 6 ? argv[5] : nullptr);
    else if (what == L"check" && argc == 3)
        result = Check(argv[2]);
    else if (what == L"download" && argc == 3)
        result = Download(argv[2]);
    else if (what == L"get" && argc == 4)
        result = BareTransfers(argv[2], argv[3]);
    else if (what == L"paint" && argc == 2)
        result = Paint();
    else
        result = Usage();
    std::fflush(stdout);
    CoUninitialize();
    return result;
}
