// The end-to-end tests' window probe, run as they run it (a separate process beside the windows it
// reports), against a window of this test: a window may move after it was first seen (the player,
// the window manager or the launcher may move it), so colours asked for at a window's client point
// must be read where the window is when the probe runs, not where it was first seen.
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <string>

#include "common/Handles.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/MessagePump.h"

namespace {

const COLORREF kFill = RGB(200, 40, 160);
const wchar_t kClass[] = L"WindowProbeTestWindow";

// What window_probe.exe prints for `arguments` (after the folder, which is this program's).
std::string RunProbe(const std::wstring& arguments) {
    const std::wstring folder = ProgramFolder();
    PipedChild probe;
    // The folder without its last backslash, which would escape the closing quote.
    if (!StartPiped(folder + L"window_probe.exe", L"\"" + folder.substr(0, folder.size() - 1) + L"\" " + arguments,
                    false, probe))
        return "(the probe did not start)";
    return ReadToEnd(probe);
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
        // Visible at the screen's corner from the start; the test moves it later.
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
