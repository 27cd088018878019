// The web view control inside a real skinned window: painting, input from window messages and
// framework events, the cursor and the message filter.
#include "webview/WkeWebkitUI.h"

#include "tests/support/TempFolder.h"
#include "tests/wkefake/FakeWebEngine.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using wkefake::CallCount;
using wkefake::CallsNamed;
using wkefake::LastCall;

// The page sits at (10, 20)-(310, 220); a small button at the window's top-left corner.
const char kPageSkin[] =
    "<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
    "<Window size=\"400,300\">\n"
    "  <VerticalLayout name=\"root\">\n"
    "    <Button name=\"other\" float=\"true\" pos=\"0,0,8,8\"/>\n"
    "    <WkeWebkit name=\"page\" float=\"true\" pos=\"10,20,310,220\" homepage=\"about:blank\"/>\n"
    "  </VerticalLayout>\n"
    "</Window>\n";
constexpr int kLeft = 10, kTop = 20, kWidth = 300, kHeight = 200;

class PageWindow : public WindowImplBase {
public:
    const wchar_t* GetWindowClassName() const override { return L"OrvelWebViewTest"; }
    CDuiString GetSkinFile() override { return L"page.xml"; }
    CControlUI* CreateControl(const wchar_t* pstrClass) override {
        return wcscmp(pstrClass, L"WkeWebkit") == 0 ? new CWkeWebkitUI() : nullptr;
    }
    CWkeWebkitUI* Page() {
        CControlUI* control = m_pm.FindControl(L"page");
        return control ? static_cast<CWkeWebkitUI*>(control->GetInterface(L"WkeBrowser")) : nullptr;
    }
    CPaintManagerUI& Manager() { return m_pm; }
};

// Writes the skin into `folder` and serves skin files from there.
bool UseLooseSkin(const TempFolder& folder) {
    if (!folder.Write(L"page.xml", kPageSkin)) return false;
    CPaintManagerUI::SetResourceType(UILIB_FILE);
    CPaintManagerUI::SetResourcePath(folder.Path().c_str());
    return true;
}

void Pump() {
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
        TranslateMessage(&msg);
        DispatchMessageW(&msg);
    }
}

LPARAM At(int x, int y) { return MAKELPARAM(x, y); }

class WebViewWindow : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(UseLooseSkin(skin));
        window = new PageWindow();
        ASSERT_NE(window->Create(nullptr, L"Page", WS_POPUP | WS_VISIBLE, 0, 0, 0, 400, 300), nullptr);
        Pump();
        page = window->Page();
        ASSERT_NE(page, nullptr);
        view = page->GetWebView();
    }
    void TearDown() override {
        if (window && IsWindow(window->GetHWND())) DestroyWindow(window->GetHWND());
        delete window;
    }
    // One framework event of `type` delivered straight to the control.
    void Fire(int type, int x, int y, WPARAM wParam = 0, LPARAM lParam = 0, WORD keyState = 0, wchar_t key = 0) {
        TEventUI event;
        event.Type = type;
        event.pSender = page;
        event.ptMouse = POINT{x, y};
        event.wParam = wParam;
        event.lParam = lParam;
        event.wKeyState = keyState;
        event.chKey = key;
        page->DoEvent(event);
    }
    size_t InputCalls() {
        size_t n = 0;
        for (const char* name : {"wkeFireMouseEvent", "wkeFireMouseWheelEvent", "wkeFireKeyDownEvent",
                                 "wkeFireKeyUpEvent", "wkeFireKeyPressEvent", "wkeFireContextMenuEvent",
                                 "wkeSetFocus", "wkeKillFocus"}) {
            n += CallCount(name);
        }
        return n;
    }

    ScopedFakeWebEngine engine;
    TempFolder skin{L"orvel-webview-"};
    PageWindow* window = nullptr;
    CWkeWebkitUI* page = nullptr;
    wkeWebView view = nullptr;
};

}  // namespace

TEST_F(WebViewWindow, InitTiesTheViewToTheWindowAndSizesIt) {
    const wkefake::View* state = wkefake::FindView(view);
    ASSERT_NE(state, nullptr);
    EXPECT_EQ(state->handle, window->GetHWND());
    EXPECT_EQ(state->name, "page");
    EXPECT_EQ(state->width, kWidth);
    EXPECT_EQ(state->height, kHeight);
    EXPECT_EQ(state->lastUrl, L"about:blank");
}

TEST_F(WebViewWindow, PaintCopiesThePageImageToTheControlsCorner) {
    wkefake::SetPaintPixels([](int x, int y) { return 0xFF000000u | (static_cast<uint32_t>(x) << 8) | (y & 0xFF); });
    HDC screen = GetDC(nullptr);
    HDC dc = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, 400, 300);
    ReleaseDC(nullptr, screen);
    HGDIOBJ old = SelectObject(dc, bitmap);
    window->Manager().PaintTo(dc);

    const wkefake::Call* paint = LastCall("wkePaint");
    ASSERT_NE(paint, nullptr);
    EXPECT_NE(paint->Pointer(0), nullptr);
    EXPECT_EQ(paint->Int(1), 0);
    EXPECT_EQ(GetPixel(dc, kLeft, kTop), RGB(0, 0, 0));
    EXPECT_EQ(GetPixel(dc, kLeft + 7, kTop + 5), RGB(0, 7, 5));
    EXPECT_EQ(GetPixel(dc, kLeft + kWidth - 1, kTop + kHeight - 1), RGB((kWidth - 1) >> 8, (kWidth - 1) & 0xFF, kHeight - 1));

    // A paint without a size change in between reuses the bitmap; a size change rebuilds it.
    window->Manager().PaintTo(dc);
    EXPECT_EQ(LastCall("wkePaint")->Pointer(0), paint->Pointer(0));
    const void* first = paint->Pointer(0);
    page->SetPos(RECT{kLeft, kTop, kLeft + 100, kTop + 50});
    page->SetPos(RECT{kLeft, kTop, kLeft + 120, kTop + 60});
    EXPECT_EQ(wkefake::FindView(view)->width, 120);
    EXPECT_EQ(wkefake::FindView(view)->height, 60);
    const size_t paints = CallCount("wkePaint");
    RECT all{0, 0, 400, 300};
    page->DoPaint(dc, all, nullptr);
    EXPECT_EQ(CallCount("wkePaint"), paints + 1);
    EXPECT_NE(LastCall("wkePaint")->Pointer(0), first);

    SelectObject(dc, old);
    DeleteObject(bitmap);
    DeleteDC(dc);
}

TEST_F(WebViewWindow, EmptyRectangleNeverPaintsIntoANullBuffer) {
    page->SetPos(RECT{kLeft, kTop, kLeft, kTop});
    HDC dc = CreateCompatibleDC(nullptr);
    const size_t paints = CallCount("wkePaint");
    RECT all{0, 0, 400, 300};
    EXPECT_TRUE(page->DoPaint(dc, all, nullptr));
    EXPECT_TRUE(page->DoPaint(dc, all, nullptr));
    EXPECT_EQ(CallCount("wkePaint"), paints);
    // Once the control has a size again, the next paint builds the bitmap.
    page->SetPos(RECT{kLeft, kTop, kLeft + 5, kTop + 5});
    EXPECT_TRUE(page->DoPaint(dc, all, nullptr));
    ASSERT_EQ(CallCount("wkePaint"), paints + 1);
    EXPECT_NE(LastCall("wkePaint")->Pointer(0), nullptr);
    DeleteDC(dc);
}

TEST_F(WebViewWindow, WindowMouseMessagesReachThePageAtViewCoordinates) {
    HWND hwnd = window->GetHWND();
    PostMessageW(hwnd, WM_MOUSEMOVE, MK_SHIFT | 0x40, At(kLeft + 30, kTop + 40));
    PostMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, At(kLeft + 31, kTop + 41));
    PostMessageW(hwnd, WM_LBUTTONUP, 0, At(kLeft + 31, kTop + 41));
    PostMessageW(hwnd, WM_RBUTTONDOWN, MK_RBUTTON | MK_CONTROL, At(kLeft + 5, kTop + 6));
    POINT wheelAt{kLeft + 8, kTop + 9};  // the wheel message carries screen coordinates
    ClientToScreen(hwnd, &wheelAt);
    PostMessageW(hwnd, WM_MOUSEWHEEL, MAKEWPARAM(MK_SHIFT, static_cast<WORD>(-WHEEL_DELTA)),
                 At(wheelAt.x, wheelAt.y));
    Pump();

    std::vector<std::string> seen;
    for (const wkefake::Call& call : CallsNamed("wkeFireMouseEvent")) {
        seen.push_back(std::to_string(call.Int(0)) + " " + std::to_string(call.Int(1)) + "," +
                       std::to_string(call.Int(2)) + " " + std::to_string(call.Int(3)));
    }
    const std::vector<std::string> expected = {
        "512 30,40 4",   // WM_MOUSEMOVE, foreign bit 0x40 dropped
        "513 31,41 1",   // WM_LBUTTONDOWN
        "514 31,41 0",   // WM_LBUTTONUP
        "516 5,6 10",    // WM_RBUTTONDOWN with MK_RBUTTON | MK_CONTROL
    };
    ASSERT_GE(seen.size(), expected.size());
    // Mouse enter may add moves; compare the distinct button messages in order.
    std::vector<std::string> buttons;
    for (const std::string& s : seen) {
        if (s.rfind("512 ", 0) != 0 || buttons.empty()) buttons.push_back(s);
    }
    EXPECT_EQ(buttons, expected);
    EXPECT_EQ(LastCall("wkeFireMouseEvent")->view, view);
    // The wheel goes to the control under the last mouse position.
    const wkefake::Call* wheel = LastCall("wkeFireMouseWheelEvent");
    ASSERT_NE(wheel, nullptr);
    EXPECT_EQ(wheel->Int(0), 8);
    EXPECT_EQ(wheel->Int(1), 9);
    EXPECT_EQ(wheel->Int(2), -120);
    EXPECT_EQ(wheel->Int(3), MK_SHIFT);
}

TEST_F(WebViewWindow, FrameworkEventsBecomeTheEngineCallsOfTheTable) {
    const int x = kLeft + 12, y = kTop + 34;
    Fire(UIEVENT_KEYDOWN, x, y, 'A', 0x001E0001, 0, 'A');
    Fire(UIEVENT_KEYUP, x, y, 'A', static_cast<LPARAM>(0xC01E0001u), 0, 'A');
    Fire(UIEVENT_CHAR, x, y, 0x00E9, 0x00120001, 0, 0x00E9);
    ASSERT_NE(LastCall("wkeFireKeyDownEvent"), nullptr);
    EXPECT_EQ(LastCall("wkeFireKeyDownEvent")->Int(0), 'A');
    EXPECT_EQ(LastCall("wkeFireKeyDownEvent")->Int(1), 0x001E0001);
    EXPECT_FALSE(LastCall("wkeFireKeyDownEvent")->Bool(2));
    EXPECT_EQ(LastCall("wkeFireKeyUpEvent")->Int(1), static_cast<int64_t>(0xC01E0001u));
    EXPECT_EQ(LastCall("wkeFireKeyPressEvent")->Int(0), 0xE9);

    for (int type : {UIEVENT_MOUSEMOVE, UIEVENT_MOUSELEAVE, UIEVENT_MOUSEENTER}) {
        Fire(type, x, y, 0x3F);
        const wkefake::Call* move = LastCall("wkeFireMouseEvent");
        EXPECT_EQ(move->Int(0), WM_MOUSEMOVE);
        EXPECT_EQ(move->Int(1), 12);
        EXPECT_EQ(move->Int(2), 34);
        EXPECT_EQ(move->Int(3), 0x1F);
    }
    const struct {
        int type;
        unsigned message;
    } buttons[] = {{UIEVENT_BUTTONDOWN, WM_LBUTTONDOWN},
                   {UIEVENT_BUTTONUP, WM_LBUTTONUP},
                   {UIEVENT_RBUTTONDOWN, WM_RBUTTONDOWN},
                   {UIEVENT_DBLCLICK, WM_LBUTTONDBLCLK}};
    for (const auto& row : buttons) {
        Fire(row.type, x, y, 0xFFFF, 0, 0x0009);
        const wkefake::Call* click = LastCall("wkeFireMouseEvent");
        EXPECT_EQ(click->Int(0), row.message);
        EXPECT_EQ(click->Int(3), 0x0009) << "the key-state word as it is";
    }
    Fire(UIEVENT_CONTEXTMENU, x, y, 0x0F);
    ASSERT_NE(LastCall("wkeFireContextMenuEvent"), nullptr);
    EXPECT_EQ(LastCall("wkeFireContextMenuEvent")->Int(0), 12);
    EXPECT_EQ(LastCall("wkeFireContextMenuEvent")->Int(1), 34);
    EXPECT_EQ(LastCall("wkeFireContextMenuEvent")->Int(2), 0x0C);
    Fire(UIEVENT_SCROLLWHEEL, x, y, 0, 0, MK_CONTROL);
    EXPECT_EQ(LastCall("wkeFireMouseWheelEvent")->Int(2), 120);
    EXPECT_EQ(LastCall("wkeFireMouseWheelEvent")->Int(3), MK_CONTROL);
    Fire(UIEVENT_SCROLLWHEEL, x, y, 1);
    EXPECT_EQ(LastCall("wkeFireMouseWheelEvent")->Int(2), -120);
    Fire(UIEVENT_SETFOCUS, x, y);
    Fire(UIEVENT_KILLFOCUS, x, y);
    EXPECT_EQ(CallCount("wkeSetFocus"), 1u);
    EXPECT_EQ(CallCount("wkeKillFocus"), 1u);

    const size_t before = InputCalls();
    for (int type : std::vector<int>{UIEVENT_SYSKEY, UIEVENT_MOUSEHOVER, UIEVENT_RBUTTONUP, UIEVENT_MBUTTONDOWN,
                     UIEVENT_MBUTTONUP, UIEVENT_WINDOWSIZE, UIEVENT_TIMER, 0, 99}) {
        Fire(type, x, y, 1, 1, 1, 'x');
    }
    EXPECT_EQ(InputCalls(), before);
}

TEST_F(WebViewWindow, DisabledOrHiddenControlForwardsNothing) {
    page->SetEnabled(false);
    SetCursor(LoadCursorW(nullptr, IDC_IBEAM));
    for (int type = 1; type <= 28; ++type) Fire(type, kLeft + 1, kTop + 1, 1, 1, 1, 'k');
    EXPECT_EQ(InputCalls(), 0u);
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_IBEAM)) << "not even the framework saw the events";
    page->SetEnabled(true);
    page->SetVisible(false);
    for (int type = 1; type <= 28; ++type) Fire(type, kLeft + 1, kTop + 1, 1, 1, 1, 'k');
    EXPECT_EQ(InputCalls(), 0u);
}

TEST_F(WebViewWindow, CursorIsSetOnlyWhenThePagesWishChanges) {
    wkefake::SetCursorType(WKE_CURSOR_HAND);
    Fire(UIEVENT_MOUSEMOVE, kLeft + 1, kTop + 1);
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_HAND));
    // Same wish: the control leaves the cursor alone.
    SetCursor(LoadCursorW(nullptr, IDC_CROSS));
    Fire(UIEVENT_MOUSEMOVE, kLeft + 2, kTop + 1);
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_CROSS));
    // The framework's own set-cursor event is swallowed, so the page's cursor stays.
    Fire(UIEVENT_SETCURSOR, kLeft + 2, kTop + 1);
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_CROSS));
    wkefake::SetCursorType(WKE_CURSOR_IBEAM);
    Fire(UIEVENT_MOUSEMOVE, kLeft + 3, kTop + 1);
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_IBEAM));
    wkefake::SetCursorType(30);
    RECT all{0, 0, 400, 300};
    HDC dc = CreateCompatibleDC(nullptr);
    page->DoPaint(dc, all, nullptr);
    DeleteDC(dc);
    EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_ARROW));

    // Every type the page may wish for, as the player sees it.
    const struct {
        int type;
        LPCWSTR id;
    } table[] = {
        {0, IDC_ARROW},     {1, IDC_CROSS},     {2, IDC_HAND},       {3, IDC_IBEAM},    {4, IDC_WAIT},
        {5, IDC_HELP},      {6, IDC_SIZEWE},    {13, IDC_SIZEWE},    {15, IDC_SIZEWE},  {7, IDC_SIZENS},
        {10, IDC_SIZENS},   {14, IDC_SIZENS},   {8, IDC_SIZENESW},   {12, IDC_SIZENESW}, {9, IDC_SIZENWSE},
        {11, IDC_SIZENWSE}, {16, IDC_SIZEALL},  {17, IDC_SIZEALL},   {18, IDC_ARROW},   {19, IDC_ARROW},
        {20, IDC_ARROW},    {-1, IDC_ARROW},
    };
    int x = kLeft + 4;
    for (const auto& row : table) {
        wkefake::SetCursorType(row.type);
        SetCursor(nullptr);
        Fire(UIEVENT_MOUSEMOVE, x++, kTop + 1);
        // Each type differs from the one before it, so the control sets the cursor anew.
        EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, row.id)) << "type " << row.type;
    }
}

TEST_F(WebViewWindow, SetCursorMessageIsSwallowedOnlyOverThePage) {
    HWND hwnd = window->GetHWND();
    SendMessageW(hwnd, WM_MOUSEMOVE, 0, At(kLeft + 50, kTop + 50));
    bool handled = false;
    page->MessageHandler(WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd), HTCLIENT, handled);
    EXPECT_TRUE(handled);
    handled = false;
    page->MessageHandler(WM_KEYDOWN, 'A', 0, handled);
    EXPECT_FALSE(handled);

    SendMessageW(hwnd, WM_MOUSEMOVE, 0, At(2, 2));  // over the other button
    page->MessageHandler(WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd), HTCLIENT, handled);
    EXPECT_FALSE(handled);
    page->MessageHandler(WM_IME_STARTCOMPOSITION, 0, 0, handled);
    EXPECT_FALSE(handled);
    EXPECT_EQ(CallCount("wkeGetCaretRect"), 0u);

    // The window minimised hides the page, restored shows it; the window handles the message.
    ShowWindow(hwnd, SW_MINIMIZE);
    EXPECT_EQ(wkefake::FindView(view)->shown, std::optional<bool>(false));
    ShowWindow(hwnd, SW_RESTORE);
    EXPECT_EQ(wkefake::FindView(view)->shown, std::optional<bool>(true));
    page->MessageHandler(WM_SIZE, SIZE_MINIMIZED, 0, handled);
    EXPECT_FALSE(handled);
}

TEST_F(WebViewWindow, CompositionWindowFollowsThePageCaret) {
    HWND hwnd = window->GetHWND();
    SendMessageW(hwnd, WM_MOUSEMOVE, 0, At(kLeft + 50, kTop + 50));
    wkefake::SetCaret(wkeRect{7, 9, 1, 16});
    bool handled = false;
    page->MessageHandler(WM_IME_STARTCOMPOSITION, 0, 0, handled);
    EXPECT_TRUE(handled);
    EXPECT_EQ(CallCount("wkeGetCaretRect"), 1u);
    HIMC context = ImmGetContext(hwnd);
    if (context) {
        COMPOSITIONFORM form{};
        if (ImmGetCompositionWindow(context, &form)) {
            EXPECT_EQ(form.ptCurrentPos.x, kLeft + 7);
            EXPECT_EQ(form.ptCurrentPos.y, kTop + 9);
        }
        ImmReleaseContext(hwnd, context);
    }
}

TEST_F(WebViewWindow, DestroyingTheWindowStopsThePagesEvents) {
    wkeWebView gone = view;
    DestroyWindow(window->GetHWND());
    Pump();
    ASSERT_NE(wkefake::FindView(gone), nullptr);
    EXPECT_TRUE(wkefake::FindView(gone)->destroyed);
    EXPECT_FALSE(wkefake::RaisePaintUpdated(gone, 4, 4, [](int, int) { return 0u; }, RECT{0, 0, 4, 4}));
    EXPECT_FALSE(wkefake::RaiseLoadingFinished(gone, L"http://a.example/", WKE_LOADING_FAILED, L"", true));
    for (const wkefake::Call& call : wkefake::Calls()) EXPECT_FALSE(call.onDestroyedView) << call.name;
}

TEST_F(WebViewWindow, EnginePaintUpdateOnlyMarksThePageForRepaint) {
    HWND hwnd = window->GetHWND();
    ValidateRect(hwnd, nullptr);
    const size_t paints = CallCount("wkePaint");
    EXPECT_TRUE(wkefake::RaisePaintUpdated(view, 4, 4, [](int, int) { return 0xFF00FF00u; }, RECT{0, 0, 4, 4}));
    EXPECT_EQ(CallCount("wkePaint"), paints) << "rendering waits for the window's next paint";
    RECT dirty{};
    ASSERT_TRUE(GetUpdateRect(hwnd, &dirty, FALSE));
    RECT pageRect{kLeft, kTop, kLeft + kWidth, kTop + kHeight}, common{};
    EXPECT_TRUE(IntersectRect(&common, &dirty, &pageRect));
    UpdateWindow(hwnd);
    EXPECT_EQ(CallCount("wkePaint"), paints + 1);
}
