#include <gtest/gtest.h>

#include <objbase.h>

#include "engine/FrameDecoder.h"

namespace {

// A 2x2 PNG: #3366cc, #ff0000 / #00ff00, #102030.
const char kPng[] = "iVBORw0KGgoAAAANSUhEUgAAAAIAAAACCAIAAAD91JpzAAAAFUlEQVR4nGMwTjvznwEI/jMIKBgAAB/CA8TtrvF0AAAAAElFTkSuQmCC";

TEST(FrameDecoder, DecodesABase64PngIntoTopDownBgraPixels) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    std::string bytes;
    ASSERT_TRUE(DecodeBase64(kPng, bytes));
    DecodedFrame frame;
    ASSERT_TRUE(DecodeImage(bytes, frame));
    EXPECT_EQ(frame.width, 2);
    EXPECT_EQ(frame.height, 2);
    ASSERT_EQ(frame.pixels.size(), 4u);
    EXPECT_EQ(frame.pixels[0], 0xFF3366CCu);
    EXPECT_EQ(frame.pixels[1], 0xFFFF0000u);
    EXPECT_EQ(frame.pixels[2], 0xFF00FF00u);
    EXPECT_EQ(frame.pixels[3], 0xFF102030u);
    CoUninitialize();
}

TEST(FrameDecoder, RefusesWhatIsNotAnImage) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    std::string bytes;
    EXPECT_FALSE(DecodeBase64("ab$d", bytes));
    DecodedFrame frame;
    EXPECT_FALSE(DecodeImage("not an image at all", frame));
    EXPECT_FALSE(DecodeImage(std::string(), frame));
    ASSERT_TRUE(DecodeBase64(kPng, bytes));
    EXPECT_FALSE(DecodeImage(bytes.substr(0, bytes.size() / 2), frame)) << "a cut-off image";
    CoUninitialize();
}

}  // namespace
