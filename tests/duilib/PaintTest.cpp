// Painting: screenshots of the skinned windows (kept under the build folder) compared with the
// artwork, and the progress bar repainted after another thread changed its value.
#include "WindowTestSupport.h"

#include <gtest/gtest.h>

#include <thread>

namespace {

constexpr DWORD kSkinnedStyle = 0x96C80000;

std::wstring ArtefactPath(const wchar_t* name) {
    std::wstring dir = L"Z:" ORVEL_TEST_ARTEFACT_DIR;  // a Unix path, seen through Wine's Z: drive
    for (wchar_t& c : dir) {
        if (c == L'/') c = L'\\';
    }
    CreateDirectoryW(dir.c_str(), nullptr);
    return dir + L"\\" + name;
}

// Shows the window and waits until the screen shows `expected` at `pt`.
bool ShownWith(HWND hwnd, POINT pt, DWORD expected, Capture& capture) {
    return PumpUntil([&] {
        capture = CaptureWindow(hwnd);
        return capture.width > pt.x && capture.height > pt.y && SameColor(capture.At(pt.x, pt.y), expected);
    });
}

}  // namespace

TEST(SkinnedPainting, LoginScreenshotShowsTheArtwork) {
    SetUpSkin();
    RecordingWindow window(L"XML_LOGIN");
    const HWND hwnd = window.Create(nullptr, L"Login", kSkinnedStyle, 0, 0, 0, 1500, 900);
    ASSERT_NE(hwnd, nullptr);
    window.CenterWindow();
    UpdateWindow(hwnd);

    // Background: bg.png over the black back buffer, at a spot no control covers.
    const DWORD background = ArtworkPixel(L"imgs/login/bg.png", 60, 300, 0);
    Capture shot;
    ASSERT_TRUE(ShownWith(hwnd, POINT{60, 300}, background, shot));
    EXPECT_TRUE(SavePng(shot, ArtefactPath(L"login.png")));
    ASSERT_EQ(shot.width, 1100);
    ASSERT_EQ(shot.height, 550);

    const DWORD corner = ArtworkPixel(L"imgs/login/bg.png", 1000, 500, 0);
    EXPECT_TRUE(SameColor(shot.At(1000, 500), corner));
    // Btn2 shows slice 111,0,220,37 of btns.png over the background.
    for (const POINT offset : {POINT{20, 18}, POINT{55, 10}, POINT{90, 25}}) {
        const DWORD below = ArtworkPixel(L"imgs/login/bg.png", 380 + offset.x, 90 + offset.y, 0);
        const DWORD expected = ArtworkPixel(L"imgs/login/btns.png", 111 + offset.x, offset.y, below);
        EXPECT_TRUE(SameColor(shot.At(380 + offset.x, 90 + offset.y), expected))
            << std::hex << shot.At(380 + offset.x, 90 + offset.y) << " vs " << expected;
    }
    // The close button's normal image at its place.
    const DWORD underClose = ArtworkPixel(L"imgs/login/bg.png", 895 + 17, 40 + 17, 0);
    EXPECT_TRUE(SameColor(shot.At(895 + 17, 40 + 17),
                          ArtworkPixel(L"imgs/login/btn_close_normal.png", 17, 17, underClose)));
    DestroyWindow(hwnd);
}

TEST(SkinnedPainting, UpdateScreenshotShowsTitleBarAndProgress) {
    SetUpSkin();
    RecordingWindow window(L"XML_UPDATE");
    const HWND hwnd = window.Create(nullptr, L"Update", kSkinnedStyle, 0, 0, 0, 400, 300);
    ASSERT_NE(hwnd, nullptr);
    window.CenterWindow();
    auto* progress = static_cast<CProgressUI*>(window.Manager().FindControl(L"progress")->GetInterface(L"Progress"));
    ASSERT_NE(progress, nullptr);
    progress->SetShowText(true);
    progress->SetValue(50);
    UpdateWindow(hwnd);

    const RECT bar = progress->GetPos();
    const POINT filled{bar.left + 10, bar.top + 3};
    Capture shot;
    ASSERT_TRUE(ShownWith(hwnd, filled, 0x0000AA, shot));
    EXPECT_TRUE(SavePng(shot, ArtefactPath(L"update.png")));
    EXPECT_TRUE(SameColor(shot.At(bar.right - 10, bar.top + 3), 0xFFFFFF));  // unfilled half: background
    // Title bar: the left cap (slice 0,0,6,28 of title.png) and the body's white background.
    EXPECT_TRUE(SameColor(shot.At(2, 14), ArtworkPixel(L"imgs/game/title.png", 2, 14, 0)));
    EXPECT_TRUE(SameColor(shot.At(200, 60), 0xFFFFFF));
    DestroyWindow(hwnd);
}

TEST(SkinnedPainting, ProgressSetFromAnotherThreadRepaintsTheBar) {
    SetUpSkin();
    RecordingWindow window(L"XML_UPDATE");
    const HWND hwnd = window.Create(nullptr, L"Update", kSkinnedStyle, 0, 0, 0, 400, 300);
    ASSERT_NE(hwnd, nullptr);
    auto* progress = static_cast<CProgressUI*>(window.Manager().FindControl(L"progress")->GetInterface(L"Progress"));
    ASSERT_NE(progress, nullptr);
    const RECT bar = progress->GetPos();
    const POINT probe{bar.left + (bar.right - bar.left) * 3 / 4, bar.top + 3};
    Capture shot;
    ASSERT_TRUE(ShownWith(hwnd, probe, 0xFFFFFF, shot));  // value 0: empty bar

    std::thread worker([progress] {
        progress->SetMaxValue(100);
        progress->SetValue(80);
    });
    worker.join();
    EXPECT_EQ(progress->GetValue(), 80);
    EXPECT_EQ(progress->GetMaxValue(), 100);
    // Nothing on this thread touches the control: the repaint comes from the posted request.
    EXPECT_TRUE(ShownWith(hwnd, probe, 0x0000AA, shot));
    const RECT filled = progress->GetBarRect();
    EXPECT_EQ(filled.right - filled.left, (bar.right - bar.left) * 80 / 100);
    DestroyWindow(hwnd);
}
