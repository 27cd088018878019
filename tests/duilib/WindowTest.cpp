#include "WindowTestSupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <map>
#include <memory>
#include <thread>
#include <type_traits>
#include <utility>

namespace {

constexpr DWORD kSkinnedStyle = 0x96C80000;

RECT Rect(int x, int y, int cx, int cy) { return RECT{x, y, x + cx, y + cy}; }

void ExpectPos(CPaintManagerUI& pm, const wchar_t* name, const RECT& expected) {
    CControlUI* control = pm.FindControl(name);
    ASSERT_NE(control, nullptr) << name;
    const RECT& rc = control->GetPos();
    EXPECT_TRUE(EqualRect(&rc, &expected)) << name << ": " << rc.left << "," << rc.top << "," << rc.right << ","
                                           << rc.bottom;
}

// Records the messages it sees and handles those it is told to.
class RecordingFilter : public IMessageFilterUI {
public:
    LRESULT MessageHandler(UINT uMsg, WPARAM, LPARAM, bool& bHandled) override {
        seen.push_back(uMsg);
        if (std::find(swallow.begin(), swallow.end(), uMsg) != swallow.end()) {
            bHandled = true;
            return 42;
        }
        return 0;
    }
    std::vector<UINT> seen;
    std::vector<UINT> swallow;
};

}  // namespace

TEST(SkinnedWindow, LoginSkinGivesSizeAndEveryNamedControlItsPlace) {
    SetUpSkin();
    RecordingWindow window(L"XML_LOGIN");
    const HWND hwnd = window.Create(nullptr, L"Login", kSkinnedStyle, 0, 0, 0, 1500, 900);
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(window.GetHWND(), hwnd);
    EXPECT_EQ(window.Manager().GetPaintWindow(), hwnd);
    RECT rc{};
    GetWindowRect(hwnd, &rc);
    EXPECT_EQ(rc.right - rc.left, 1100);
    EXPECT_EQ(rc.bottom - rc.top, 550);
    GetClientRect(hwnd, &rc);
    EXPECT_EQ(rc.right, 1100);
    EXPECT_EQ(rc.bottom, 550);

    // The framework asked only for the element it lacks, and InitWindow ran once, after the tree.
    EXPECT_EQ(window.m_askedClasses, std::vector<std::wstring>{L"WkeWebkit"});
    EXPECT_EQ(window.m_initCount, 1);
    EXPECT_TRUE(window.m_controlsAtInit);

    CPaintManagerUI& pm = window.Manager();
    ExpectPos(pm, L"root", Rect(0, 0, 1100, 550));
    ExpectPos(pm, L"minbtn", Rect(850, 45, 28, 28));
    ExpectPos(pm, L"closebtn", Rect(895, 40, 35, 35));
    ExpectPos(pm, L"Btn1", Rect(260, 90, 110, 37));
    ExpectPos(pm, L"Btn2", Rect(380, 90, 110, 37));
    ExpectPos(pm, L"Btn3", Rect(500, 90, 110, 37));
    ExpectPos(pm, L"Btn4", Rect(620, 90, 110, 37));
    ExpectPos(pm, L"body", Rect(264, 129, 560, 341));
    ExpectPos(pm, L"login", Rect(264, 129, 560, 341));
    EXPECT_EQ(pm.FindControl(L"missing"), nullptr);
    EXPECT_STREQ(pm.FindControl(L"Btn1")->GetClass(), L"ButtonUI");
    EXPECT_NE(pm.FindControl(L"body")->GetInterface(L"Container"), nullptr);
    EXPECT_EQ(pm.FindControl(L"Btn1")->GetInterface(L"Container"), nullptr);

    // Centred in the work area.
    window.CenterWindow();
    RECT work{};
    SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
    GetWindowRect(hwnd, &rc);
    EXPECT_LE(std::abs((rc.left - work.left) - (work.right - rc.right)), 1);
    EXPECT_LE(std::abs((rc.top - work.top) - (work.bottom - rc.bottom)), 1);
    DestroyWindow(hwnd);
    EXPECT_TRUE(window.m_final);
    EXPECT_TRUE(window.m_destroyedSeen);
}

TEST(SkinnedWindow, UpdateSkinLaysOutTitleBarAndProgress) {
    SetUpSkin();
    RecordingWindow window(L"XML_UPDATE");
    const HWND hwnd = window.Create(nullptr, L"Update", kSkinnedStyle, 0, 0, 0, 400, 300);
    ASSERT_NE(hwnd, nullptr);
    RECT rc{};
    GetWindowRect(hwnd, &rc);
    EXPECT_EQ(rc.right - rc.left, 400);
    EXPECT_EQ(rc.bottom - rc.top, 200);
    CPaintManagerUI& pm = window.Manager();
    ExpectPos(pm, L"appbar", Rect(0, 0, 400, 28));
    ExpectPos(pm, L"footer", Rect(0, 197, 400, 3));
    ExpectPos(pm, L"closebtn", Rect(400 - 6 - 30, 0, 30, 27));
    ExpectPos(pm, L"minbtn", Rect(400 - 6 - 30 - 27, 0, 27, 27));
    CControlUI* progress = pm.FindControl(L"progress");
    ASSERT_NE(progress, nullptr);
    ASSERT_NE(progress->GetInterface(L"Progress"), nullptr);
    const RECT& bar = progress->GetPos();
    EXPECT_EQ(bar.left, 3 + 20);
    EXPECT_EQ(bar.right, 400 - 3 - 20);
    EXPECT_EQ(bar.bottom - bar.top, 18);
    DestroyWindow(hwnd);
}

namespace {

// Whether Create accepts a placement without the extended style before it: such a call used to
// compile and move x into the extended style.
template <typename W, typename = void>
struct TakesPlacementWithoutExStyle : std::false_type {};
template <typename W>
struct TakesPlacementWithoutExStyle<
    W, std::void_t<decltype(std::declval<W&>().Create(nullptr, L"", DWORD{}, 100, 100, 400, 300))>>
    : std::true_type {};

}  // namespace

TEST(SkinnedWindow, CreatedAwayFromTheOriginKeepsItsPlaceAndTakesTheSkinSize) {
    EXPECT_FALSE(TakesPlacementWithoutExStyle<RecordingWindow>::value);
    SetUpSkin();
    RecordingWindow window(L"XML_LOGIN");
    const HWND hwnd = window.Create(nullptr, L"Login", kSkinnedStyle, 0, 100, 100, 1500, 900);
    ASSERT_NE(hwnd, nullptr) << "error " << GetLastError();
    EXPECT_EQ(window.m_initCount, 1);
    RECT rc{};
    GetWindowRect(hwnd, &rc);
    EXPECT_EQ(rc.left, 100);
    EXPECT_EQ(rc.top, 100);
    EXPECT_EQ(rc.right - rc.left, 1100);
    EXPECT_EQ(rc.bottom - rc.top, 550);
    DestroyWindow(hwnd);
    EXPECT_TRUE(window.m_final);
}

TEST(SkinnedWindow, MissingSkinMakesCreateFailCleanly) {
    SetUpSkin();
    RecordingWindow window(L"XML_GAME");  // listed in res.xml, but no member in the archive
    EXPECT_EQ(window.Create(nullptr, L"Nothing", kSkinnedStyle, 0, 0, 0, 10, 10), nullptr);
    EXPECT_EQ(window.GetHWND(), nullptr);
    EXPECT_EQ(window.m_initCount, 0);
    EXPECT_FALSE(window.m_final);  // the caller still owns the object
    RecordingWindow unknown(L"no-such-skin.xml");
    EXPECT_EQ(unknown.Create(nullptr, L"Nothing", kSkinnedStyle, 0, 0, 0, 10, 10), nullptr);
}

TEST(SkinnedWindow, ButtonClickReachesOnClickWithItsSender) {
    SetUpSkin();
    RecordingWindow window(L"XML_LOGIN");
    const HWND hwnd = window.Create(nullptr, L"Login", kSkinnedStyle, 0, 0, 0, 1500, 900);
    ASSERT_NE(hwnd, nullptr);
    CControlUI* btn3 = window.Manager().FindControl(L"Btn3");
    ClickAt(hwnd, CenterOf(btn3->GetPos()));
    ASSERT_EQ(window.m_clicks.size(), 1u);
    EXPECT_EQ(window.m_clicks[0], btn3);

    // Pressed on one button and released elsewhere: no click.
    const LPARAM down = MAKELPARAM(CenterOf(btn3->GetPos()).x, CenterOf(btn3->GetPos()).y);
    SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, down);
    SendMessageW(hwnd, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
    // A press on the background is no click either.
    ClickAt(hwnd, POINT{5, 300});
    EXPECT_EQ(window.m_clicks.size(), 1u);
    EXPECT_EQ(window.m_closeCount, 0);
    DestroyWindow(hwnd);
}

TEST(SkinnedWindow, CloseAndMinimiseButtonsTakeTheirDefaultActions) {
    SetUpSkin();
    RecordingWindow window(L"XML_LOGIN");
    const HWND hwnd = window.Create(nullptr, L"Login", kSkinnedStyle, 0, 0, 0, 1500, 900);
    ASSERT_NE(hwnd, nullptr);
    CPaintManagerUI& pm = window.Manager();

    ClickAt(hwnd, CenterOf(pm.FindControl(L"minbtn")->GetPos()));
    EXPECT_EQ(window.m_sysCommands, std::vector<WPARAM>{SC_MINIMIZE});
    EXPECT_TRUE(IsIconic(hwnd));
    ShowWindow(hwnd, SW_RESTORE);

    ClickAt(hwnd, CenterOf(pm.FindControl(L"closebtn")->GetPos()));
    EXPECT_EQ(window.m_clicks.size(), 2u);
    // The close request is posted: the window goes once the loop has run.
    EXPECT_TRUE(IsWindow(hwnd));
    EXPECT_TRUE(PumpUntil([&] { return window.m_final; }));
    EXPECT_EQ(window.m_closeCount, 1);
    EXPECT_TRUE(window.m_destroyedSeen);
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST(SkinnedWindow, CloseFromAnotherThreadReachesOnClose) {
    SetUpSkin();
    RecordingWindow window(L"XML_UPDATE");
    ASSERT_NE(window.Create(nullptr, L"Update", kSkinnedStyle, 0, 0, 0, 400, 300), nullptr);
    std::thread([&window] { window.Close(1); }).join();
    EXPECT_TRUE(PumpUntil([&] { return window.m_final; }));
    EXPECT_EQ(window.m_closeCount, 1);
}

TEST(SkinnedWindow, FindControlByPointFindsTheTopmostControl) {
    SetUpSkin();
    RecordingWindow window(L"XML_LOGIN");
    const HWND hwnd = window.Create(nullptr, L"Login", kSkinnedStyle, 0, 0, 0, 1500, 900);
    ASSERT_NE(hwnd, nullptr);
    CPaintManagerUI& pm = window.Manager();
    EXPECT_EQ(pm.FindControl(POINT{300, 200}), pm.FindControl(L"login"));  // inside body, over the page
    EXPECT_EQ(pm.FindControl(POINT{261, 91}), pm.FindControl(L"Btn1"));
    EXPECT_EQ(pm.FindControl(POINT{10, 10}), pm.FindControl(L"root"));
    EXPECT_EQ(pm.FindControl(POINT{1100, 10}), nullptr);
    EXPECT_EQ(pm.FindControl(POINT{-1, 10}), nullptr);

    // Overlapping floating siblings: the later one is painted on top and wins.
    auto* container = static_cast<CContainerUI*>(pm.FindControl(L"root")->GetInterface(L"Container"));
    ASSERT_NE(container, nullptr);
    auto* cover = new CControlUI;
    cover->SetAttribute(L"name", L"cover");
    cover->SetAttribute(L"float", L"true");
    cover->SetAttribute(L"pos", L"250,80,400,140");
    container->Add(cover);
    pm.UpdateLayout();
    EXPECT_EQ(pm.FindControl(L"cover"), cover);
    EXPECT_EQ(pm.FindControl(POINT{300, 100}), cover);
    EXPECT_EQ(pm.FindControl(POINT{500, 100}), pm.FindControl(L"Btn3"));
    cover->SetVisible(false);
    EXPECT_EQ(pm.FindControl(POINT{300, 100}), pm.FindControl(L"Btn1"));
    EXPECT_TRUE(container->Remove(cover));
    EXPECT_EQ(pm.FindControl(L"cover"), nullptr);
    DestroyWindow(hwnd);
}

TEST(SkinnedWindow, MessageFiltersSeeMessagesFirstAndCanHandleThem) {
    SetUpSkin();
    RecordingWindow window(L"XML_LOGIN");
    const HWND hwnd = window.Create(nullptr, L"Login", kSkinnedStyle, 0, 0, 0, 1500, 900);
    ASSERT_NE(hwnd, nullptr);
    CPaintManagerUI& pm = window.Manager();
    RecordingFilter filter;
    ASSERT_TRUE(pm.AddMessageFilter(&filter));
    EXPECT_FALSE(pm.AddMessageFilter(&filter));

    const UINT custom = WM_APP + 7;
    filter.swallow = {custom, WM_LBUTTONDOWN, WM_CLOSE};
    EXPECT_EQ(SendMessageW(hwnd, custom, 0, 0), 42);
    EXPECT_EQ(std::count(window.m_customMessages.begin(), window.m_customMessages.end(), custom), 0);
    ClickAt(hwnd, CenterOf(pm.FindControl(L"Btn2")->GetPos()));
    EXPECT_TRUE(window.m_clicks.empty());  // the press never reached the button
    SendMessageW(hwnd, WM_CLOSE, 0, 0);
    EXPECT_EQ(window.m_closeCount, 0);
    EXPECT_TRUE(IsWindow(hwnd));
    EXPECT_NE(std::find(filter.seen.begin(), filter.seen.end(), WM_MOUSEMOVE), filter.seen.end());

    // Unhandled messages go on to the window.
    filter.swallow.clear();
    SendMessageW(hwnd, custom, 0, 0);
    EXPECT_EQ(std::count(window.m_customMessages.begin(), window.m_customMessages.end(), custom), 1);
    ClickAt(hwnd, CenterOf(pm.FindControl(L"Btn2")->GetPos()));
    EXPECT_EQ(window.m_clicks.size(), 1u);

    ASSERT_TRUE(pm.RemoveMessageFilter(&filter));
    filter.seen.clear();
    SendMessageW(hwnd, custom, 0, 0);
    EXPECT_TRUE(filter.seen.empty());
    DestroyWindow(hwnd);
}

TEST(SkinnedWindow, CaptionDragsExceptOverControlsThatTakeTheMouse) {
    SetUpSkin();
    RecordingWindow window(L"XML_UPDATE");
    const HWND hwnd = window.Create(nullptr, L"Update", kSkinnedStyle, 0, 0, 0, 400, 300);
    ASSERT_NE(hwnd, nullptr);
    auto hitTest = [hwnd](int x, int y) {
        POINT pt{x, y};
        ClientToScreen(hwnd, &pt);
        return SendMessageW(hwnd, WM_NCHITTEST, 0, MAKELPARAM(pt.x, pt.y));
    };
    CPaintManagerUI& pm = window.Manager();
    EXPECT_EQ(hitTest(100, 14), HTCAPTION);  // the title label
    const POINT close = CenterOf(pm.FindControl(L"closebtn")->GetPos());
    EXPECT_EQ(hitTest(close.x, close.y), HTCLIENT);
    EXPECT_EQ(hitTest(200, 100), HTCLIENT);  // below the caption band
    EXPECT_EQ(hitTest(2, 100), HTLEFT);      // size box 10,0,10,10
    EXPECT_EQ(hitTest(397, 100), HTRIGHT);
    EXPECT_EQ(hitTest(200, 195), HTBOTTOM);
    EXPECT_EQ(hitTest(2, 195), HTBOTTOMLEFT);
    DestroyWindow(hwnd);
}

namespace {

class MapWindow : public RecordingWindow {
    DUI_DECLARE_MESSAGE_MAP()

public:
    MapWindow() : RecordingWindow(L"XML_LOGIN") {}
    void OnBtn4(TNotifyUI& msg) { btn4.push_back(msg.pSender); }
    void OnAnyClick(TNotifyUI& msg) { any.push_back(msg.pSender); }
    std::vector<CControlUI*> btn4, any;
};

DUI_BEGIN_MESSAGE_MAP(MapWindow, RecordingWindow)
DUI_ON_MSGTYPE_CTRNAME(DUI_MSGTYPE_CLICK, L"Btn4", MapWindow::OnBtn4)
DUI_ON_MSGTYPE(DUI_MSGTYPE_CLICK, MapWindow::OnAnyClick)
DUI_END_MESSAGE_MAP()

}  // namespace

TEST(SkinnedWindow, NotificationMapRunsEntriesOfEveryMapInTheChain) {
    SetUpSkin();
    MapWindow window;
    const HWND hwnd = window.Create(nullptr, L"Login", kSkinnedStyle, 0, 0, 0, 1500, 900);
    ASSERT_NE(hwnd, nullptr);
    CPaintManagerUI& pm = window.Manager();
    ClickAt(hwnd, CenterOf(pm.FindControl(L"Btn4")->GetPos()));
    ClickAt(hwnd, CenterOf(pm.FindControl(L"Btn1")->GetPos()));
    EXPECT_EQ(window.btn4, std::vector<CControlUI*>{pm.FindControl(L"Btn4")});
    EXPECT_EQ(window.any.size(), 2u);
    EXPECT_EQ(window.m_clicks.size(), 2u);  // the base map still sends clicks to OnClick
    DestroyWindow(hwnd);
}

