// The end-to-end tests' window probe, run as they run it (a separate process beside the windows it
// reports), against a window of this test: the launcher's windows appear at the screen's corner
// and are centred after that, so colours asked for at a window's client point must be read where
// the window is when the probe runs, not where it was first seen.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <string>

#include "common/Handles.h"
#include "tests/support/MessagePump.h"

namespace {

const COLORREF kFill = RGB(200, 40, 160);
const wchar_t kClass[] = L"WindowProbeTestWindow";

std::wstring ProgramFolder() {
    wchar_t self[MAX_PATH];
    const DWORD n = GetModuleFileNameW(nullptr, self, MAX_PATH);
    std::wstring path(self, n);
    return path.substr(0, path.find_last_of(L'\\') + 1);
}

// What window_probe.exe prints for `arguments` (after the folder, which is this program's).
std::string RunProbe(const std::wstring& arguments) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    HANDLE readEnd = nullptr;
    HANDLE writeEnd = nullptr;
    if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return "(no pipe)";
    UniqueHandle output(readEnd);
    UniqueHandle childOutput(writeEnd);
    SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = writeEnd;
    PROCESS_INFORMATION pi{};
    const std::wstring folder = ProgramFolder();
    const std::wstring program = folder + L"window_probe.exe";
    // The folder without its last backslash, which would escape the closing quote.
    std::wstring command = L"\"" + program + L"\" \"" + folder.substr(0, folder.size() - 1) + L"\" " + arguments;
    if (!CreateProcessW(program.c_str(), &command[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si, &pi))
        return "(the probe did not start)";
    UniqueHandle process(pi.hProcess);
    UniqueHandle thread(pi.hThread);
    childOutput.Reset();
    // Reads until the probe ends and closes its end of the pipe.
    std::string said;
    char buf[512];
    DWORD got = 0;
    while (ReadFile(output.Get(), buf, sizeof buf, &got, nullptr) && got) said.append(buf, got);
    WaitForSingleObject(process.Get(), 10000);
    return said;
}

std::string ColourLine(int x, int y, COLORREF colour) {
    return "{\"point\":[" + std::to_string(x) + "," + std::to_string(y) + "],\"rgb\":[" +
           std::to_string(GetRValue(colour)) + "," + std::to_string(GetGValue(colour)) + "," +
           std::to_string(GetBValue(colour)) + "]}";
}

bool ScreenShows(int x, int y, COLORREF colour) {
    WindowDC screen(nullptr);
    return GetPixel(screen.Get(), x, y) == colour;
}

class WindowProbeTest : public testing::Test {
protected:
    void SetUp() override {
        WNDCLASSW wc{};
        wc.lpfnWndProc = DefWindowProcW;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = kClass;
        wc.hbrBackground = m_brush.Get();
        RegisterClassW(&wc);
        // Like the launcher's windows: visible at the screen's corner from the start.
        m_window = CreateWindowExW(WS_EX_TOPMOST, kClass, L"Probed", WS_POPUP | WS_VISIBLE, 0, 0, 240, 160, nullptr,
                                   nullptr, wc.hInstance, nullptr);
        ASSERT_NE(m_window, nullptr);
    }
    void TearDown() override {
        if (m_window) DestroyWindow(m_window);
        UnregisterClassW(kClass, GetModuleHandleW(nullptr));
    }
    std::wstring ClientPoint(int x, int y) const {
        return std::to_wstring(static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(m_window))) + L":" +
               std::to_wstring(x) + L"," + std::to_wstring(y);
    }

    UniqueBrush m_brush{CreateSolidBrush(kFill)};
    HWND m_window = nullptr;
};

TEST_F(WindowProbeTest, ClientPointsAreReadWhereTheWindowIsNow) {
    ASSERT_TRUE(PumpUntil([] { return ScreenShows(50, 40, kFill); }));
    const std::string handle =
        "\"hwnd\":" + std::to_string(static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(m_window)));
    std::string said = RunProbe(ClientPoint(50, 40));
    EXPECT_NE(said.find(handle + ","), std::string::npos) << said;
    EXPECT_NE(said.find(ColourLine(50, 40, kFill)), std::string::npos) << said;

    // The window moves after it was seen; the same client point follows it, a screen point does not.
    SetWindowPos(m_window, nullptr, 600, 420, 0, 0, SWP_NOSIZE | SWP_NOZORDER);
    ASSERT_TRUE(PumpUntil([] { return ScreenShows(650, 460, kFill) && !ScreenShows(50, 40, kFill); }));
    said = RunProbe(ClientPoint(50, 40) + L" 50,40");
    EXPECT_NE(said.find(ColourLine(650, 460, kFill)), std::string::npos) << said;
    EXPECT_EQ(said.find(ColourLine(50, 40, kFill)), std::string::npos) << said;
    EXPECT_NE(said.find("\"client\":[600,420,240,160]"), std::string::npos) << said;
}

TEST_F(WindowProbeTest, ClientPointOfAWindowThatIsGoneHasNoColour) {
    const std::wstring point = ClientPoint(10, 10);
    DestroyWindow(m_window);
    m_window = nullptr;
    const std::string said = RunProbe(point + L" nonsense");
    // The probe's standard output is in text mode.
    EXPECT_EQ(said, "{\"point\":null,\"rgb\":null}\r\n{\"point\":null,\"rgb\":null}\r\n");
}

}  // namespace
