#include "engine/frames/FrameDecoder.h"

#include <windows.h>
#include <wincodec.h>

#include "common/Handles.h"
#include "engine/frames/JpegDecoder.h"
#include "engine/frames/PngDecoder.h"

namespace {

// The value of each base64 character; kSkip for what is passed over, kBad for the rest.
constexpr uint8_t kSkip = 0xFE, kBad = 0xFF;
struct Base64Table {
    uint8_t value[256];
    Base64Table() {
        for (uint8_t& v : value) v = kBad;
        const char* alphabet = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
        for (int i = 0; i < 64; ++i) value[static_cast<unsigned char>(alphabet[i])] = static_cast<uint8_t>(i);
        value['='] = value['\n'] = value['\r'] = kSkip;
    }
};
const Base64Table kBase64;

bool DecodeWithSystem(const std::string& bytes, DecodedFrame& frame) {
    // One factory for the thread: making one costs more than a frame's decoding under Wine.
    static thread_local ComPtr<IWICImagingFactory> factory;
    if (!factory && FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER,
                                            IID_IWICImagingFactory, reinterpret_cast<void**>(factory.Put()))))
        return false;
    ComPtr<IWICStream> stream;
    if (FAILED(factory->CreateStream(stream.Put()))) return false;
    if (FAILED(stream->InitializeFromMemory(reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data())),
                                            static_cast<DWORD>(bytes.size()))))
        return false;
    ComPtr<IWICBitmapDecoder> decoder;
    if (FAILED(factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand, decoder.Put())))
        return false;
    ComPtr<IWICBitmapFrameDecode> source;
    if (FAILED(decoder->GetFrame(0, source.Put()))) return false;
    ComPtr<IWICFormatConverter> converter;
    if (FAILED(factory->CreateFormatConverter(converter.Put()))) return false;
    if (FAILED(converter->Initialize(source.Get(), GUID_WICPixelFormat32bppBGRA, WICBitmapDitherTypeNone, nullptr, 0,
                                     WICBitmapPaletteTypeCustom)))
        return false;
    UINT width = 0;
    UINT height = 0;
    if (FAILED(converter->GetSize(&width, &height)) || width == 0 || height == 0 || width > kMaxFrameSide ||
        height > kMaxFrameSide || static_cast<size_t>(width) * height > kMaxFramePixels)
        return false;
    frame.width = static_cast<int>(width);
    frame.height = static_cast<int>(height);
    frame.pixels.resize(static_cast<size_t>(width) * height);
    const UINT stride = width * 4;
    return SUCCEEDED(converter->CopyPixels(nullptr, stride, stride * height,
                                           reinterpret_cast<BYTE*>(frame.pixels.data())));
}

}  // namespace

bool DecodeBase64(const char* text, size_t size, std::string& bytes) {
    bytes.resize(size / 4 * 3 + 3);
    char* out = &bytes[0];
    unsigned buffer = 0;
    int bits = 0;
    for (size_t i = 0; i < size; ++i) {
        const uint8_t v = kBase64.value[static_cast<unsigned char>(text[i])];
        if (v >= kSkip) {
            if (v == kBad) return false;
            continue;
        }
        buffer = (buffer << 6) | v;
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            *out++ = static_cast<char>((buffer >> bits) & 0xFF);
        }
    }
    bytes.resize(static_cast<size_t>(out - bytes.data()));
    return true;
}

bool DecodeImage(const std::string& bytes, DecodedFrame& frame) {
    if (bytes.empty() || bytes.size() > 0x7FFFFFFF) return false;
    const auto* data = reinterpret_cast<const uint8_t*>(bytes.data());
    if (bytes.size() > 2 && data[0] == 0xFF && data[1] == 0xD8 && DecodeJpeg(data, bytes.size(), kMaxFrameSide, frame))
        return true;
    if (DecodePng(data, bytes.size(), kMaxFrameSide, frame)) return true;
    return DecodeWithSystem(bytes, frame);
}
