#include <gtest/gtest.h>

#include <objbase.h>
#include <wincodec.h>

#include <algorithm>
#include <cstdlib>
#include <vector>

#include "common/Handles.h"
#include "engine/frames/FrameDecoder.h"
#include "engine/frames/JpegDecoder.h"
#include "engine/frames/PngDecoder.h"

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

namespace {

// A picture encoded by the system's encoder for `container` (its JPEG samples colour at half
// resolution).
std::string SystemImage(const GUID& container, int width, int height, uint32_t (*pixel)(int x, int y)) {
    ComPtr<IWICImagingFactory> factory;
    ComPtr<IStream> stream;
    ComPtr<IWICBitmapEncoder> encoder;
    ComPtr<IWICBitmapFrameEncode> frame;
    ComPtr<IPropertyBag2> options;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                reinterpret_cast<void**>(factory.Put()))) ||
        FAILED(CreateStreamOnHGlobal(nullptr, TRUE, stream.Put())) ||
        FAILED(factory->CreateEncoder(container, nullptr, encoder.Put())) ||
        FAILED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)) ||
        FAILED(encoder->CreateNewFrame(frame.Put(), options.Put())))
        return std::string();
    PROPBAG2 name{};
    name.pstrName = const_cast<wchar_t*>(L"ImageQuality");
    VARIANT quality;
    VariantInit(&quality);
    quality.vt = VT_R4;
    quality.fltVal = 0.95f;
    if (IsEqualGUID(container, GUID_ContainerFormatJpeg)) options->Write(1, &name, &quality);
    std::vector<uint32_t> pixels(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) pixels[static_cast<size_t>(y) * width + x] = pixel(x, y);
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGRA;
    if (FAILED(frame->Initialize(options.Get())) || FAILED(frame->SetSize(width, height)) ||
        FAILED(frame->SetPixelFormat(&format)))
        return std::string();
    // The encoder takes what it takes (24-bit BGR here); the pixels are converted for it.
    std::vector<BYTE> bgr(static_cast<size_t>(width) * height * 3);
    for (size_t i = 0; i < pixels.size(); ++i) {
        bgr[3 * i] = static_cast<BYTE>(pixels[i]);
        bgr[3 * i + 1] = static_cast<BYTE>(pixels[i] >> 8);
        bgr[3 * i + 2] = static_cast<BYTE>(pixels[i] >> 16);
    }
    const bool asBgr = IsEqualGUID(format, GUID_WICPixelFormat24bppBGR);
    if (FAILED(frame->WritePixels(height, width * (asBgr ? 3 : 4), static_cast<UINT>(asBgr ? bgr.size() : pixels.size() * 4),
                                  asBgr ? bgr.data() : reinterpret_cast<BYTE*>(pixels.data()))) ||
        FAILED(frame->Commit()) || FAILED(encoder->Commit()))
        return std::string();
    HGLOBAL memory = nullptr;
    if (FAILED(GetHGlobalFromStream(stream.Get(), &memory))) return std::string();
    STATSTG stat{};
    stream->Stat(&stat, STATFLAG_NONAME);
    const char* bytes = static_cast<const char*>(GlobalLock(memory));
    std::string out(bytes, static_cast<size_t>(stat.cbSize.QuadPart));
    GlobalUnlock(memory);
    return out;
}

// Smooth colour with sharp steps of brightness, at a size that is no whole number of blocks.
uint32_t Scene(int x, int y) {
    const int grey = ((x / 23 + y / 17) % 2) ? 200 : 40;
    const int r = (grey + x) / 2, g = (grey + y * 2) / 2, b = (grey + (x + y) / 2) / 2;
    return 0xFF000000u | static_cast<uint32_t>(r << 16 | g << 8 | b);
}

int Channel(uint32_t pixel, int shift) { return static_cast<int>((pixel >> shift) & 0xFF); }

using Decoder = bool (*)(const uint8_t* data, size_t size, int maxSide, DecodedFrame& frame);

// Every third byte from `from` on changed in turn: a whole picture within the allowed side, or none.
void ExpectChangedBytesGiveWholePicturesOrNone(Decoder decode, std::string bytes, size_t from) {
    DecodedFrame damaged;
    for (size_t at = from; at < bytes.size(); at += 3) {
        const char kept = bytes[at];
        bytes[at] = static_cast<char>(kept ^ 0x5A);
        if (decode(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), kMaxFrameSide, damaged)) {
            EXPECT_EQ(damaged.pixels.size(), static_cast<size_t>(damaged.width) * damaged.height) << "byte " << at;
            EXPECT_LE(damaged.width, kMaxFrameSide) << "byte " << at;
            EXPECT_LE(damaged.height, kMaxFrameSide) << "byte " << at;
        }
        bytes[at] = kept;
    }
}

}  // namespace

// The engine's own decoder gives what the system's does, within rounding and the way each
// spreads colour over the pixels that share it; and damaged data never takes it out of bounds.
TEST(FrameDecoder, DecodesJpegAsTheSystemDoesAndSurvivesDamage) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    const int width = 203, height = 117;
    const std::string jpeg = SystemImage(GUID_ContainerFormatJpeg, width, height, Scene);
    ASSERT_GT(jpeg.size(), 100u);
    const auto* data = reinterpret_cast<const uint8_t*>(jpeg.data());
    DecodedFrame ours;
    ASSERT_TRUE(DecodeJpeg(data, jpeg.size(), kMaxFrameSide, ours));
    ASSERT_EQ(ours.width, width);
    ASSERT_EQ(ours.height, height);
    // What the system's own decoder makes of it.
    ComPtr<IWICImagingFactory> factory;
    ASSERT_TRUE(SUCCEEDED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                           reinterpret_cast<void**>(factory.Put()))));
    ComPtr<IWICStream> stream;
    ASSERT_TRUE(SUCCEEDED(factory->CreateStream(stream.Put())));
    ASSERT_TRUE(SUCCEEDED(stream->InitializeFromMemory(const_cast<BYTE*>(data), static_cast<DWORD>(jpeg.size()))));
    ComPtr<IWICBitmapDecoder> decoder;
    ASSERT_TRUE(SUCCEEDED(factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand, decoder.Put())));
    ComPtr<IWICBitmapFrameDecode> source;
    ASSERT_TRUE(SUCCEEDED(decoder->GetFrame(0, source.Put())));
    ComPtr<IWICFormatConverter> converter;
    ASSERT_TRUE(SUCCEEDED(factory->CreateFormatConverter(converter.Put())));
    ASSERT_TRUE(SUCCEEDED(converter->Initialize(source.Get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone,
                                                nullptr, 0, WICBitmapPaletteTypeCustom)));
    std::vector<uint32_t> theirs(static_cast<size_t>(width) * height);
    ASSERT_TRUE(SUCCEEDED(converter->CopyPixels(nullptr, width * 4, width * 4 * height, reinterpret_cast<BYTE*>(theirs.data()))));
    double total = 0;
    int worst = 0;
    for (size_t i = 0; i < theirs.size(); ++i) {
        EXPECT_EQ(ours.pixels[i] >> 24, 0xFFu);
        for (int shift : {0, 8, 16}) {
            const int difference = std::abs(Channel(ours.pixels[i], shift) - Channel(theirs[i], shift));
            total += difference;
            worst = std::max(worst, difference);
        }
    }
    EXPECT_LT(total / (theirs.size() * 3), 1.5) << "mean difference per channel";
    EXPECT_LE(worst, 24) << "largest difference of a channel";

    // Cut short anywhere, or with a byte changed anywhere: a result of the header's size or none.
    DecodedFrame damaged;
    for (size_t length = 0; length < jpeg.size(); length += 7) {
        if (DecodeJpeg(data, length, kMaxFrameSide, damaged)) {
            EXPECT_EQ(damaged.pixels.size(), static_cast<size_t>(width) * height) << "cut at " << length;
        }
    }
    ExpectChangedBytesGiveWholePicturesOrNone(DecodeJpeg, jpeg, 2);
    EXPECT_FALSE(DecodeJpeg(data, jpeg.size(), 100, damaged)) << "larger than allowed";
    CoUninitialize();
}

// A lossless picture comes out exactly as it went in; damage gives a picture of its size or none.
TEST(FrameDecoder, DecodesPngExactlyAndSurvivesDamage) {
    ASSERT_TRUE(SUCCEEDED(CoInitializeEx(nullptr, COINIT_MULTITHREADED)));
    const int width = 203, height = 117;
    const std::string png = SystemImage(GUID_ContainerFormatPng, width, height, Scene);
    ASSERT_GT(png.size(), 100u);
    const auto* data = reinterpret_cast<const uint8_t*>(png.data());
    DecodedFrame frame;
    ASSERT_TRUE(DecodePng(data, png.size(), kMaxFrameSide, frame));
    ASSERT_EQ(frame.width, width);
    ASSERT_EQ(frame.height, height);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            ASSERT_EQ(frame.pixels[static_cast<size_t>(y) * width + x], Scene(x, y)) << x << "," << y;
    DecodedFrame damaged;
    for (size_t length = 0; length < png.size(); length += 5)
        EXPECT_FALSE(DecodePng(data, length, kMaxFrameSide, damaged)) << "cut at " << length;
    ExpectChangedBytesGiveWholePicturesOrNone(DecodePng, png, 8);
    CoUninitialize();
}
