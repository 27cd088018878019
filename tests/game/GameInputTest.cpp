#include "tests/game/GameTestSupport.h"
#include "common/Dib.h"

#include "game/RenderGDI.h"

using wkefake::Call;
using wkefake::CallsNamed;

namespace {

// Real input through the system's queue, as a player's devices deliver it.
void Key(WORD vk, bool up, bool extended = false) {
    INPUT in{};
    in.type = INPUT_KEYBOARD;
    in.ki.wVk = vk;
    in.ki.dwFlags = (up ? KEYEVENTF_KEYUP : 0) | (extended ? KEYEVENTF_EXTENDEDKEY : 0);
    SendInput(1, &in, sizeof(in));
}

void MouseAt(POINT screen, DWORD flags, DWORD data = 0) {
    const int w = GetSystemMetrics(SM_CXSCREEN) - 1, h = GetSystemMetrics(SM_CYSCREEN) - 1;
    INPUT in{};
    in.type = INPUT_MOUSE;
    in.mi.dx = (screen.x * 65535 + w / 2) / w;
    in.mi.dy = (screen.y * 65535 + h / 2) / h;
    in.mi.mouseData = data;
    in.mi.dwFlags = flags | MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
    SendInput(1, &in, sizeof(in));
}

POINT ToScreen(HWND hwnd, int x, int y) {
    POINT pt{x, y};
    ClientToScreen(hwnd, &pt);
    return pt;
}

bool HasCall(const std::string& name, const std::function<bool(const Call&)>& match) {
    for (const Call& call : CallsNamed(name))
        if (match(call)) return true;
    return false;
}

}  // namespace

TEST_F(GameTest, HeldKeyRepeatsWithFlagAndExtendedKeysAreMarked) {
    Build();
    Show();
    SetFocus(m_game->GameWindow());
    ASSERT_EQ(GetFocus(), m_game->GameWindow());
    Key('A', false);
    Key('A', false);
    Key('A', true);
    Key(VK_LEFT, false, true);
    Key(VK_LEFT, true, true);
    ASSERT_TRUE(PumpUntil([] { return CallsNamed("wkeFireKeyUpEvent").size() >= 2; }));
    const auto downs = CallsNamed("wkeFireKeyDownEvent");
    ASSERT_GE(downs.size(), 3u);
    EXPECT_EQ(downs[0].Int(0), 'A');
    EXPECT_EQ(downs[0].Int(1), 0);
    EXPECT_EQ(downs[1].Int(0), 'A');
    EXPECT_EQ(downs[1].Int(1), 0x4000);
    EXPECT_FALSE(downs[1].Bool(2));
    EXPECT_EQ(downs[2].Int(0), VK_LEFT);
    EXPECT_EQ(downs[2].Int(1) & 0x0100, 0x0100);
    // The unhandled key-down was translated: the page got the character too.
    EXPECT_TRUE(HasCall("wkeFireKeyPressEvent", [](const Call& c) { return c.Int(0) == 'a'; }));
    const auto ups = CallsNamed("wkeFireKeyUpEvent");
    EXPECT_EQ(ups.back().Int(0), VK_LEFT);
    EXPECT_EQ(ups.back().Int(1) & 0x0100, 0x0100);
}

TEST_F(GameTest, WheelTowardsTheUserIsNegativeInClientCoordinates) {
    Build();
    Show();
    SetFocus(m_game->GameWindow());
    const POINT at = ToScreen(m_game->GameWindow(), 100, 80);
    MouseAt(at, 0);
    MouseAt(at, MOUSEEVENTF_WHEEL, static_cast<DWORD>(-WHEEL_DELTA));
    ASSERT_TRUE(PumpUntil([] { return wkefake::CallCount("wkeFireMouseWheelEvent") > 0; }));
    const Call* wheel = wkefake::LastCall("wkeFireMouseWheelEvent");
    EXPECT_EQ(wheel->Int(0), 100);
    EXPECT_EQ(wheel->Int(1), 80);
    EXPECT_EQ(wheel->Int(2), -WHEEL_DELTA);
    EXPECT_EQ(wheel->Int(3), 0);
}

TEST_F(GameTest, ContextMenuKeyPassesMinusOneAndMouseMenuIsConverted) {
    Build();
    Show();
    SendMessageW(m_game->GameWindow(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(m_game->GameWindow()),
                 static_cast<LPARAM>(-1));
    const POINT at = ToScreen(m_game->GameWindow(), 30, 40);
    SendMessageW(m_game->GameWindow(), WM_CONTEXTMENU, reinterpret_cast<WPARAM>(m_game->GameWindow()),
                 MAKELPARAM(at.x, at.y));
    const auto menus = CallsNamed("wkeFireContextMenuEvent");
    ASSERT_EQ(menus.size(), 2u);
    EXPECT_EQ(menus[0].Int(0), -1);
    EXPECT_EQ(menus[0].Int(1), -1);
    EXPECT_EQ(menus[1].Int(0), 30);
    EXPECT_EQ(menus[1].Int(1), 40);
}

TEST_F(GameTest, DragReleasedOutsideStillReachesThePage) {
    Build();
    Show();
    RECT client{};
    GetClientRect(m_game->GameWindow(), &client);
    const POINT inside = ToScreen(m_game->GameWindow(), 50, 60);
    const POINT outside = ToScreen(m_game->GameWindow(), client.right + 40, client.bottom + 30);
    SetCursorPos(inside.x, inside.y);
    PostMessageW(m_game->GameWindow(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(50, 60));
    ASSERT_TRUE(PumpUntil([&] { return GetCapture() == m_game->GameWindow(); }));
    MouseAt(outside, 0);
    MouseAt(outside, MOUSEEVENTF_LEFTUP);
    ASSERT_TRUE(PumpUntil([] {
        return HasCall("wkeFireMouseEvent", [](const Call& c) { return c.Int(0) == WM_LBUTTONUP; });
    }));
    EXPECT_TRUE(HasCall("wkeFireMouseEvent", [](const Call& c) {
        return c.Int(0) == WM_LBUTTONDOWN && c.Int(1) == 50 && c.Int(2) == 60 &&
               (c.Int(3) & MK_LBUTTON);
    }));
    const auto ups = CallsNamed("wkeFireMouseEvent");
    const Call* up = nullptr;
    for (const Call& c : ups)
        if (c.Int(0) == WM_LBUTTONUP) up = &c;
    ASSERT_NE(up, nullptr);
    EXPECT_EQ(up->Int(1), client.right + 40);
    EXPECT_EQ(up->Int(2), client.bottom + 30);
    EXPECT_EQ(GetCapture(), nullptr);
}

TEST_F(GameTest, ClickGivesTheGameWindowTheFocus) {
    Build();
    Show();
    SetFocus(m_game->HostWindow());
    ASSERT_EQ(GetFocus(), m_game->HostWindow());
    PostMessageW(m_game->GameWindow(), WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(20, 20));
    PostMessageW(m_game->GameWindow(), WM_LBUTTONUP, 0, MAKELPARAM(20, 20));
    ASSERT_TRUE(PumpUntil([&] { return GetFocus() == m_game->GameWindow(); }));
    EXPECT_GE(wkefake::CallCount("wkeSetFocus"), 1u);
    SetFocus(m_game->HostWindow());
    EXPECT_GE(wkefake::CallCount("wkeKillFocus"), 1u);
}

TEST_F(GameTest, HandledInputAnswersZero) {
    Build();
    wkefake::SetInputAnswer(true);
    EXPECT_EQ(SendMessageW(m_game->GameWindow(), WM_KEYDOWN, VK_F5, 0), 0);
    EXPECT_EQ(SendMessageW(m_game->GameWindow(), WM_MOUSEMOVE, MK_SHIFT, MAKELPARAM(-5, 7)), 0);
    const Call* move = wkefake::LastCall("wkeFireMouseEvent");
    ASSERT_NE(move, nullptr);
    EXPECT_EQ(move->Int(1), -5);  // signed halves of lParam
    EXPECT_EQ(move->Int(2), 7);
    EXPECT_EQ(move->Int(3), MK_SHIFT);
}

// Records what the host window receives, in front of its own procedure.
WNDPROC g_hostProc = nullptr;
std::vector<std::pair<WPARAM, LPARAM>> g_commands;
std::vector<UINT> g_showCommands;

LRESULT CALLBACK RecordingHostProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_COMMAND) g_commands.emplace_back(wParam, lParam);
    if (message == WM_WINDOWPOSCHANGED) g_showCommands.push_back(IsZoomed(hwnd) ? 1u : 0u);
    return CallWindowProcW(g_hostProc, hwnd, message, wParam, lParam);
}

TEST_F(GameTest, CommandsGoToTheHostUnchanged) {
    Build();
    g_hostProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        m_game->HostWindow(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordingHostProc)));
    EXPECT_EQ(SendMessageW(m_game->GameWindow(), WM_COMMAND, 0x12345, 0x6789), 0);
    ASSERT_EQ(g_commands.size(), 1u);
    EXPECT_EQ(g_commands[0].first, 0x12345u);
    EXPECT_EQ(g_commands[0].second, 0x6789);
}

namespace {

// The game window under the player's pointer is the view's own, whatever the engine made for the
// view: nothing of it covers the game window, also once the page is shown again.
bool GameWindowIsTheView(CGameWnd& game) {
    POINT pt{100, 80};
    return wkeGetHostHWND(game.WebView()) == game.GameWindow() &&
           ChildWindowFromPointEx(game.GameWindow(), pt, CWP_SKIPINVISIBLE) == game.GameWindow();
}

}  // namespace

// Minimised, the game's page is told it is hidden (it gets no frames and may pause itself);
// restored, it is shown again.
TEST_F(GameTest, RestorePassesThroughMaximisedAndThePageIsHiddenOnlyWhileMinimised) {
    Build();
    Show();
    EXPECT_TRUE(GameWindowIsTheView(*m_game));
    EXPECT_NE(ViewState().shown, std::optional<bool>(false));
    ShowWindow(m_game->HostWindow(), SW_MINIMIZE);
    ASSERT_TRUE(IsIconic(m_game->HostWindow()));
    EXPECT_EQ(ViewState().shown, std::optional<bool>(false));
    g_hostProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrW(
        m_game->HostWindow(), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(RecordingHostProc)));
    // A double click on the caption sends the restore command with its low bits set.
    SendMessageW(m_game->HostWindow(), WM_SYSCOMMAND, SC_RESTORE | 0x2, 0);
    EXPECT_NE(std::find(g_showCommands.begin(), g_showCommands.end(), 1u), g_showCommands.end());
    EXPECT_FALSE(IsZoomed(m_game->HostWindow()));
    EXPECT_FALSE(IsIconic(m_game->HostWindow()));
    EXPECT_EQ(ViewState().shown, std::optional<bool>(true));
    EXPECT_TRUE(GameWindowIsTheView(*m_game));
}

TEST_F(GameTest, CaretPlacesTheCandidateWindowBelowIt) {
    Build();
    wkefake::SetCaret(wkeRect{40, 50, 2, 18});
    EXPECT_EQ(SendMessageW(m_game->GameWindow(), WM_IME_STARTCOMPOSITION, 0, 0), 0);
    EXPECT_EQ(wkefake::CallCount("wkeGetCaretRect"), 1u);
}

// Painting: the renderer's surface follows the view's size; paint never asks the engine.
namespace {

const COLORREF kPageColour = RGB(0x20, 0x80, 0xC0);
uint32_t PagePixel(int, int) { return 0xFF2080C0; }


}  // namespace

// The surface as the window's WM_PAINT would copy it, read from a memory DIB.
COLORREF SurfacePixel(CRenderGDI* render, int x, int y) {
    UniqueMemDC dc(CreateCompatibleDC(nullptr));
    void* bits = nullptr;
    UniqueBitmap bitmap = CreateTopDownDib(render->Width(), render->Height(), &bits);
    SelectedObject select(dc.Get(), bitmap.Get());
    render->Paint(dc.Get());
    return GetPixel(dc.Get(), x, y);
}

TEST_F(GameTest, FullSizeUpdateCreatesSurfaceAndPaintNeverAsksTheEngine) {
    Build();
    Show();
    CRenderGDI* render = m_game->Renderer();
    RECT client{};
    GetClientRect(m_game->GameWindow(), &client);
    ASSERT_EQ(render->Width(), client.right);
    EXPECT_FALSE(render->HasSurface());

    // After the resize a partial update is dropped.
    ASSERT_TRUE(wkefake::RaisePaintUpdated(View(), client.right, client.bottom, PagePixel,
                                           RECT{0, 0, 10, 10}));
    EXPECT_FALSE(render->HasSurface());

    ASSERT_TRUE(wkefake::RaisePaintUpdated(View(), client.right, client.bottom, PagePixel, client));
    ASSERT_TRUE(render->HasSurface());
    EXPECT_EQ(SurfacePixel(render, 5, 5), kPageColour);
    EXPECT_EQ(SurfacePixel(render, client.right - 1, client.bottom - 1), kPageColour);

    // WM_PAINT of both windows repeats the surface without a word to the engine.
    const size_t calls = wkefake::Calls().size();
    InvalidateRect(m_game->HostWindow(), nullptr, TRUE);
    InvalidateRect(m_game->GameWindow(), nullptr, FALSE);
    UpdateWindow(m_game->HostWindow());
    UpdateWindow(m_game->GameWindow());
    PumpPending();
    EXPECT_EQ(wkefake::Calls().size(), calls);
    EXPECT_FALSE(GetUpdateRect(m_game->GameWindow(), nullptr, FALSE));
    EXPECT_TRUE(render->HasSurface());
}

TEST(RenderGDI, SurfaceIsMadeOnlyFromFullSizeUpdatesAndKeptForTheSameSize) {
    HDC screen = GetDC(nullptr);
    UniqueMemDC source(CreateCompatibleDC(screen));
    UniqueBitmap pixels(CreateCompatibleBitmap(screen, 64, 48));
    ReleaseDC(nullptr, screen);
    SelectedObject select(source.Get(), pixels.Get());
    RECT all{0, 0, 64, 48};
    HBRUSH brush = CreateSolidBrush(RGB(0x11, 0x22, 0x33));
    FillRect(source.Get(), &all, brush);
    DeleteObject(brush);

    CRenderGDI* render = new CRenderGDI();
    EXPECT_TRUE(render->Init(nullptr));
    render->Resize(64, 48);
    render->UpdateRect(source.Get(), 0, 0, 32, 48);
    EXPECT_FALSE(render->HasSurface());
    render->UpdateRect(source.Get(), 0, 0, 64, 48);
    ASSERT_TRUE(render->HasSurface());

    // Same size: the surface stays; a different size drops it until the next full update.
    render->Resize(64, 48);
    EXPECT_TRUE(render->HasSurface());
    render->Resize(80, 48);
    EXPECT_FALSE(render->HasSurface());
    render->UpdateRect(source.Get(), 0, 0, 64, 48);
    EXPECT_FALSE(render->HasSurface());
    render->UpdateRect(source.Get(), 0, 0, 80, 48);
    EXPECT_TRUE(render->HasSurface());

    // Paint copies the surface out: the part that came from the source carries its colour.
    UniqueMemDC target(CreateCompatibleDC(nullptr));
    void* bits = nullptr;
    UniqueBitmap targetBitmap = CreateTopDownDib(80, 48, &bits);
    SelectedObject selectTarget(target.Get(), targetBitmap.Get());
    render->Paint(target.Get());
    EXPECT_EQ(GetPixel(target.Get(), 10, 10), RGB(0x11, 0x22, 0x33));
    render->Destroy();
}
