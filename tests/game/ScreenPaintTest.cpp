// What the game window really shows: the engine double raises paint updates with known pixels,
// and the pixels are read back from the game window and from the display.
#include "tests/game/GameTestSupport.h"
#include "common/Dib.h"

#include <cstdint>

#include "common/Handles.h"

namespace {

const COLORREF kPageColour = RGB(0x20, 0x80, 0xC0);
const COLORREF kMarkColour = RGB(0xF0, 0x10, 0x50);
const COLORREF kNewColour = RGB(0x30, 0xC0, 0x40);

// One pixel of `source` at (x, y), copied out as BitBlt sees it (the window DC reads what the
// window shows; the screen DC reads what the display shows).
COLORREF ReadPixel(HDC source, int x, int y) {
    void* bits = nullptr;
    UniqueMemDC dc(CreateCompatibleDC(nullptr));
    UniqueBitmap bitmap = CreateTopDownDib(1, 1, &bits);
    SelectedObject select(dc.Get(), bitmap.Get());
    if (!BitBlt(dc.Get(), 0, 0, 1, 1, source, x, y, SRCCOPY)) return CLR_INVALID;
    GdiFlush();
    const uint32_t value = *static_cast<uint32_t*>(bits);
    return RGB((value >> 16) & 0xFF, (value >> 8) & 0xFF, value & 0xFF);
}

COLORREF WindowPixel(HWND hwnd, int x, int y) {
    WindowDC dc(hwnd);
    return ReadPixel(dc.Get(), x, y);
}

// The display's pixel at the window's client point (x, y).
COLORREF DisplayPixel(HWND hwnd, int x, int y) {
    POINT pt{x, y};
    ClientToScreen(hwnd, &pt);
    WindowDC screen(nullptr);
    return ReadPixel(screen.Get(), pt.x, pt.y);
}

}  // namespace

TEST_F(GameTest, PaintUpdateReachesTheScreenAtItsPlace) {
    Build();
    Show();
    // Other test processes share the display: keep their windows from covering this one.
    SetWindowPos(m_game->m_hHostWnd, HWND_TOPMOST, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE);
    // The double's own view window paints nothing and covers the game window, which clips its
    // children; the page's pixels are to come from the renderer alone.
    ShowWindow(ViewState().hostWindow, SW_HIDE);
    PumpPending();
    const HWND game = m_game->m_hGameWnd;
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

    // A dirty rectangle lands where it says, with nothing above or to its left touched.
    auto fresh = [](int, int) -> uint32_t { return 0xFF30C040; };
    ASSERT_TRUE(wkefake::RaisePaintUpdated(View(), client.right, client.bottom, fresh,
                                           RECT{200, 100, 210, 110}));
    EXPECT_EQ(WindowPixel(game, 205, 105), kNewColour);
    EXPECT_EQ(WindowPixel(game, 199, 105), kPageColour);
    EXPECT_EQ(WindowPixel(game, 205, 99), kPageColour);
    EXPECT_EQ(WindowPixel(game, 37, 23), kMarkColour);
    EXPECT_TRUE(PumpUntil([&] { return DisplayPixel(game, 205, 105) == kNewColour; }));
    EXPECT_EQ(DisplayPixel(game, 199, 105), kPageColour);
    EXPECT_EQ(DisplayPixel(game, 37, 23), kMarkColour);
}
