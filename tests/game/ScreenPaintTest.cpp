// What the game window really shows: the engine double raises paint updates with known pixels,
// and the pixels are read back from the game window and from the display.
#include "tests/game/GameTestSupport.h"
#include "common/Dib.h"

#include <cstdint>
#include <vector>

#include "common/Handles.h"

namespace {

const COLORREF kPageColour = RGB(0x20, 0x80, 0xC0);
const COLORREF kMarkColour = RGB(0xF0, 0x10, 0x50);
const COLORREF kNewColour = RGB(0x30, 0xC0, 0x40);

// The pixels of `source` from (x, y) on (0x00RRGGBB), copied out as BitBlt sees them (the window
// DC reads what the window shows; the screen DC reads what the display shows). Empty on failure.
std::vector<uint32_t> ReadPixels(HDC source, int x, int y, int width, int height) {
    void* bits = nullptr;
    UniqueMemDC dc(CreateCompatibleDC(nullptr));
    UniqueBitmap bitmap = CreateTopDownDib(width, height, &bits);
    if (!bitmap) return {};
    SelectedObject select(dc.Get(), bitmap.Get());
    if (!BitBlt(dc.Get(), 0, 0, width, height, source, x, y, SRCCOPY)) return {};
    GdiFlush();
    std::vector<uint32_t> pixels(static_cast<const uint32_t*>(bits),
                                 static_cast<const uint32_t*>(bits) + static_cast<size_t>(width) * height);
    for (uint32_t& pixel : pixels) pixel &= 0xFFFFFF;
    return pixels;
}

COLORREF ReadPixel(HDC source, int x, int y) {
    const std::vector<uint32_t> pixel = ReadPixels(source, x, y, 1, 1);
    if (pixel.empty()) return CLR_INVALID;
    return RGB((pixel[0] >> 16) & 0xFF, (pixel[0] >> 8) & 0xFF, pixel[0] & 0xFF);
}

COLORREF WindowPixel(HWND hwnd, int x, int y) {
    WindowDC dc(hwnd);
    return ReadPixel(dc.Get(), x, y);
}

std::vector<uint32_t> WindowPixels(HWND hwnd, int width, int height) {
    WindowDC dc(hwnd);
    return ReadPixels(dc.Get(), 0, 0, width, height);
}

size_t Differences(const std::vector<uint32_t>& a, const std::vector<uint32_t>& b) {
    if (a.size() != b.size()) return SIZE_MAX;
    size_t count = 0;
    for (size_t i = 0; i < a.size(); ++i) count += a[i] != b[i];
    return count;
}

// The display's pixel at the window's client point (x, y).
COLORREF DisplayPixel(HWND hwnd, int x, int y) {
    POINT pt{x, y};
    ClientToScreen(hwnd, &pt);
    WindowDC screen(nullptr);
    return ReadPixel(screen.Get(), pt.x, pt.y);
}

}  // namespace

// A game window on top of the display whose pixels come from the renderer alone.
class ScreenPaintTest : public GameTest {
protected:
    HWND ShowGame() {
        Build();
        Show();
        // Other test processes share the display: keep their windows from covering this one.
        SetWindowPos(m_game->HostWindow(), HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
        PumpPending();
        return m_game->GameWindow();
    }
};

TEST_F(ScreenPaintTest, PaintUpdateReachesTheScreenAtItsPlace) {
    const HWND game = ShowGame();
    RECT client{};
    GetClientRect(game, &client);
    ASSERT_GT(client.right, 300);
    ASSERT_GT(client.bottom, 200);

    // A full-size update with one marked pixel.
    auto marked = [](int x, int y) -> uint32_t { return x == 37 && y == 23 ? 0xFFF01050 : 0xFF2080C0; };
    ASSERT_TRUE(wkefake::RaisePaintUpdated(View(), client.right, client.bottom, marked, client));
    EXPECT_EQ(WindowPixel(game, 37, 23), kMarkColour);
    EXPECT_EQ(WindowPixel(game, 38, 23), kPageColour);
    EXPECT_EQ(WindowPixel(game, client.right - 1, client.bottom - 1), kPageColour);
    // The display shows it once the window system has had its turn.
    EXPECT_TRUE(PumpUntil([&] { return DisplayPixel(game, 37, 23) == kMarkColour; }));
    EXPECT_EQ(DisplayPixel(game, 36, 23), kPageColour);
    EXPECT_EQ(DisplayPixel(game, 37, 24), kPageColour);

    // A dirty rectangle lands where it says, and nothing around it is touched.
    auto fresh = [](int, int) -> uint32_t { return 0xFF30C040; };
    ASSERT_TRUE(wkefake::RaisePaintUpdated(View(), client.right, client.bottom, fresh,
                                           RECT{200, 100, 210, 110}));
    EXPECT_EQ(WindowPixel(game, 205, 105), kNewColour);
    EXPECT_EQ(WindowPixel(game, 199, 105), kPageColour);
    EXPECT_EQ(WindowPixel(game, 205, 99), kPageColour);
    EXPECT_EQ(WindowPixel(game, 210, 105), kPageColour);
    EXPECT_EQ(WindowPixel(game, 205, 110), kPageColour);
    EXPECT_EQ(WindowPixel(game, 37, 23), kMarkColour);
    EXPECT_TRUE(PumpUntil([&] { return DisplayPixel(game, 205, 105) == kNewColour; }));
    EXPECT_EQ(DisplayPixel(game, 199, 105), kPageColour);
    EXPECT_EQ(DisplayPixel(game, 37, 23), kMarkColour);
}

// The engine's source always holds the whole view, so copying only the dirty rectangle leaves the
// window showing exactly what copying the whole frame would.
TEST_F(ScreenPaintTest, DirtyRectangleShowsWhatTheWholeFrameWould) {
    const HWND game = ShowGame();
    RECT client{};
    GetClientRect(game, &client);
    ASSERT_GT(client.right, 200);
    ASSERT_GT(client.bottom, 150);
    const int width = client.right;
    const int height = client.bottom;

    auto first = [](int x, int y) -> uint32_t {
        return 0xFF000000u | (x * 3 & 0xFF) << 16 | (y * 5 & 0xFF) << 8 | ((x + y) & 0xFF);
    };
    // The next frame changes a 64x64 square and a corner square that runs off the view.
    const RECT square{100, 60, 164, 124};
    const RECT corner{width - 20, height - 20, width + 44, height + 44};
    auto second = [&](int x, int y) -> uint32_t {
        const POINT pt{x, y};
        if (PtInRect(&square, pt)) return 0xFF30C040;
        if (PtInRect(&corner, pt)) return 0xFFF01050;
        return first(x, y);
    };
    ASSERT_TRUE(wkefake::RaisePaintUpdated(View(), width, height, first, client));
    ASSERT_TRUE(wkefake::RaisePaintUpdated(View(), width, height, second, square));
    ASSERT_TRUE(wkefake::RaisePaintUpdated(View(), width, height, second, corner));
    // An empty or inverted rectangle changes nothing.
    auto black = [](int, int) -> uint32_t { return 0xFF000000; };
    ASSERT_TRUE(wkefake::RaisePaintUpdated(View(), width, height, black, RECT{10, 10, 10, 40}));
    ASSERT_TRUE(wkefake::RaisePaintUpdated(View(), width, height, black, RECT{40, 40, 20, 20}));
    const std::vector<uint32_t> byRectangles = WindowPixels(game, width, height);
    ASSERT_EQ(byRectangles.size(), static_cast<size_t>(width) * height);
    EXPECT_EQ(byRectangles[60 * width + 100], 0x30C040u);
    EXPECT_EQ(byRectangles[static_cast<size_t>(height - 1) * width + width - 1], 0xF01050u);

    ASSERT_TRUE(wkefake::RaisePaintUpdated(View(), width, height, second, client));
    EXPECT_EQ(Differences(WindowPixels(game, width, height), byRectangles), 0u);
}
