#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "engine/frames/FrameBuffer.h"
#include "engine/frames/PagePicture.h"

namespace {

DecodedFrame Solid(int w, int h, uint32_t colour) {
    DecodedFrame f;
    f.width = w;
    f.height = h;
    f.pixels.assign(static_cast<size_t>(w) * h, colour);
    return f;
}

TEST(FrameBuffer, ReportsOnlyTheChangedRectangle) {
    FrameBuffer buffer;
    RECT first = buffer.Update(Solid(10, 8, 0xFF112233));
    EXPECT_EQ(first.right - first.left, 10);
    EXPECT_EQ(first.bottom - first.top, 8);
    DecodedFrame next = Solid(10, 8, 0xFF112233);
    next.pixels[3 * 10 + 4] = 0xFFFFFFFF;
    next.pixels[5 * 10 + 6] = 0xFF000000;
    RECT changed = buffer.Update(next);
    EXPECT_EQ(changed.left, 4);
    EXPECT_EQ(changed.top, 3);
    EXPECT_EQ(changed.right, 7);
    EXPECT_EQ(changed.bottom, 6);
    EXPECT_TRUE(IsRectEmpty(&(changed = buffer.Update(next)))) << "the same frame changes nothing";
    EXPECT_EQ(GetPixel(buffer.Dc(), 4, 3), RGB(255, 255, 255));
    EXPECT_EQ(GetPixel(buffer.Dc(), 0, 0), RGB(0x11, 0x22, 0x33));
}

TEST(FrameBuffer, CopiesIntoTheCallersBufferAtTheViewSize) {
    FrameBuffer buffer;
    std::vector<uint32_t> out(6 * 4, 0);
    buffer.CopyTo(out.data(), 6, 4, 0);
    EXPECT_EQ(out[0], 0xFFFFFFFFu) << "no frame yet reads as white";
    buffer.Update(Solid(4, 3, 0xFF0000FF));
    // A pitch wider than the row leaves the padding alone.
    std::vector<uint32_t> padded(8 * 4, 0x12345678);
    buffer.CopyTo(padded.data(), 6, 4, 8 * 4);
    EXPECT_EQ(padded[0], 0xFF0000FFu);
    EXPECT_EQ(padded[3], 0xFF0000FFu);
    EXPECT_EQ(padded[4], 0xFFFFFFFFu) << "beyond the frame is white";
    EXPECT_EQ(padded[6], 0x12345678u) << "beyond the row is not written";
    EXPECT_EQ(padded[3 * 8], 0xFFFFFFFFu);
    buffer.CopyTo(nullptr, 6, 4, 0);
    std::vector<uint32_t> small(2 * 2, 0);
    buffer.CopyTo(small.data(), 2, 2, 0);
    EXPECT_EQ(small[3], 0xFF0000FFu);
}

TEST(FrameBuffer, RefusesFramesWhosePixelsDoNotMatchTheirSize) {
    FrameBuffer buffer;
    DecodedFrame broken = Solid(4, 4, 0);
    broken.pixels.resize(3);
    RECT r = buffer.Update(broken);
    EXPECT_TRUE(IsRectEmpty(&r));
    EXPECT_TRUE(buffer.Empty());
}

// What a hostile page's game view went through: its frames came smaller than the 1080x640 view
// (the browser still at an earlier size), the page turned magenta and rested. The picture at rest
// is asked for the whole view and replaces the frames' picture, so no area stays white; answers
// overtaken by a newer frame, or of another size than asked, never become the picture.
TEST(PagePicture, AtRestIsTheWholeViewExactlyWhateverTheFramesBeforeIt) {
    constexpr uint32_t kMagenta = 0xFFFF00FF, kNearMagenta = 0xFFFD02FB, kGrey = 0xFF202020;
    PagePicture picture;
    PagePicture::ExactRequest request;
    EXPECT_FALSE(picture.Request(1080, 640, &request)) << "nothing shown, nothing due";
    picture.ApplyFrame(Solid(1013, 373, kGrey), 0, 0);
    RECT changed = picture.ApplyFrame(Solid(1013, 373, kNearMagenta), 0, 24);
    EXPECT_FALSE(IsRectEmpty(&changed));
    ASSERT_TRUE(picture.Request(1080, 640, &request));
    EXPECT_EQ(request.width, 1080);
    EXPECT_EQ(request.height, 640);
    EXPECT_EQ(request.y, 24) << "where the page was scrolled to";
    changed = picture.ApplyFrame(Solid(1013, 373, kNearMagenta), 0, 24);
    EXPECT_TRUE(IsRectEmpty(&changed)) << "a frame that changes nothing";

    EXPECT_EQ(picture.ApplyExact(Solid(1013, 373, kMagenta), request, &changed), PagePicture::Exact::Unfit);
    EXPECT_TRUE(picture.ExactDue());
    ASSERT_EQ(picture.ApplyExact(Solid(1080, 640, kMagenta), request, &changed), PagePicture::Exact::Taken);
    EXPECT_EQ(changed.right, 1080);
    EXPECT_EQ(changed.bottom, 640);
    EXPECT_EQ(GetPixel(picture.Buffer().Dc(), 600, 400), RGB(255, 0, 255));
    std::vector<uint32_t> out(1080 * 640, 0);
    picture.Buffer().CopyTo(out.data(), 1080, 640, 0);
    EXPECT_EQ(out[400 * 1080 + 1079], kMagenta) << "the area the frames did not cover is the page's too";
    EXPECT_FALSE(picture.Request(1080, 640, &request)) << "at rest, exact";

    picture.ApplyFrame(Solid(1080, 640, kGrey), 0, 0);
    ASSERT_TRUE(picture.Request(1080, 640, &request));
    picture.ApplyFrame(Solid(1080, 640, kNearMagenta), 0, 0);
    EXPECT_EQ(picture.ApplyExact(Solid(1080, 640, kGrey), request, &changed), PagePicture::Exact::Outdated);
    EXPECT_EQ(GetPixel(picture.Buffer().Dc(), 10, 10), RGB(0xFD, 0x02, 0xFB)) << "the newer frame stays";
    EXPECT_TRUE(picture.ExactDue());
}

}  // namespace
