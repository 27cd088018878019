#include "app/Startup.h"

#include "duilib/UIBase.h"
#include "duilib/UIManager.h"

#include <gtest/gtest.h>

namespace {

// A plain framework window that can be told to refuse its creation; it notes where it was when it
// became visible.
class ProbeWnd : public CWindowWnd {
public:
    explicit ProbeWnd(bool refuse) : m_refuse(refuse) {}
    const wchar_t* GetWindowClassName() const override { return L"OrvelProbeWnd"; }
    LRESULT HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) override {
        if (message == WM_CREATE && m_refuse) return -1;
        if (message == WM_WINDOWPOSCHANGED && (reinterpret_cast<WINDOWPOS*>(lParam)->flags & SWP_SHOWWINDOW) &&
            !m_shown) {
            m_shown = true;
            GetWindowRect(m_hWnd, &m_shownAt);
        }
        return CWindowWnd::HandleMessage(message, wParam, lParam);
    }

    bool m_shown = false;
    RECT m_shownAt{};

private:
    bool m_refuse;
};

TEST(RunFrameworkWindow, WindowThatCannotBeMadeRunsNoLoop) {
    CPaintManagerUI::SetInstance(GetModuleHandleW(nullptr));
    ProbeWnd window(true);
    // Returning at all proves that no loop waits for a quit message nobody would post.
    EXPECT_FALSE(RunFrameworkWindow(&window, L"Login", 1500, 900));
    EXPECT_EQ(nullptr, window.GetHWND());
    EXPECT_FALSE(RunFrameworkWindow(nullptr, L"Login", 1500, 900));
}

TEST(RunFrameworkWindow, CreatesCentresAndRunsUntilQuit) {
    CPaintManagerUI::SetInstance(GetModuleHandleW(nullptr));
    ProbeWnd window(false);
    PostQuitMessage(0);
    EXPECT_TRUE(RunFrameworkWindow(&window, L"Update", 400, 300));
    ASSERT_NE(nullptr, window.GetHWND());
    wchar_t title[32] = {};
    GetWindowTextW(window.GetHWND(), title, 32);
    EXPECT_STREQ(L"Update", title);
    EXPECT_EQ(static_cast<LONG_PTR>(0x96C80000), GetWindowLongPtrW(window.GetHWND(), GWL_STYLE) & 0x96C80000);
    RECT bounds{};
    ASSERT_TRUE(GetWindowRect(window.GetHWND(), &bounds));
    RECT work{};
    ASSERT_TRUE(SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0));
    EXPECT_NEAR((work.left + work.right) / 2, (bounds.left + bounds.right) / 2, 1);
    EXPECT_NEAR((work.top + work.bottom) / 2, (bounds.top + bounds.bottom) / 2, 1);
    // It was already there when it first became visible, not at the screen's corner.
    ASSERT_TRUE(window.m_shown);
    EXPECT_EQ(bounds.left, window.m_shownAt.left);
    EXPECT_EQ(bounds.top, window.m_shownAt.top);
    DestroyWindow(window.GetHWND());
}

}  // namespace
