#include "engine/frames/PngDecoder.h"

#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <vector>

#include "engine/frames/FrameDecoder.h"

namespace {

uint32_t BigEndian(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) << 24 | static_cast<uint32_t>(p[1]) << 16 | static_cast<uint32_t>(p[2]) << 8 | p[3];
}

// The filters of the format: each byte is stored as its difference to a prediction from the
// byte to its left (a), above (b) and above-left (c).
uint8_t Paeth(int a, int b, int c) {
    const int p = a + b - c;
    const int pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    if (pa <= pb && pa <= pc) return static_cast<uint8_t>(a);
    return static_cast<uint8_t>(pb <= pc ? b : c);
}

bool Unfilter(uint8_t* row, const uint8_t* above, size_t length, int bpp, int filter) {
    switch (filter) {
    case 0: break;
    case 1:
        for (size_t i = static_cast<size_t>(bpp); i < length; ++i) row[i] = static_cast<uint8_t>(row[i] + row[i - bpp]);
        break;
    case 2:
        for (size_t i = 0; i < length; ++i) row[i] = static_cast<uint8_t>(row[i] + above[i]);
        break;
    case 3:
        for (size_t i = 0; i < length; ++i) {
            const int left = i >= static_cast<size_t>(bpp) ? row[i - bpp] : 0;
            row[i] = static_cast<uint8_t>(row[i] + ((left + above[i]) >> 1));
        }
        break;
    case 4:
        for (size_t i = 0; i < length; ++i) {
            const bool first = i < static_cast<size_t>(bpp);
            row[i] = static_cast<uint8_t>(row[i] + Paeth(first ? 0 : row[i - bpp], above[i], first ? 0 : above[i - bpp]));
        }
        break;
    default: return false;
    }
    return true;
}

}  // namespace

bool DecodePng(const uint8_t* data, size_t size, int maxSide, DecodedFrame& frame) {
    static const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    if (!data || size < 8 || std::memcmp(data, kSignature, 8) != 0) return false;
    size_t at = 8;
    int width = 0, height = 0, bpp = 0;
    std::vector<uint8_t> raw;  // the filtered rows, each after its filter byte
    z_stream stream{};
    bool inflating = false, streamEnded = false, ended = false, good = true;
    while (good && !ended) {
        if (size - at < 12) {
            good = false;
            break;
        }
        const uint32_t length = BigEndian(data + at);
        const uint8_t* type = data + at + 4;
        if (length > size - at - 12) {
            good = false;
            break;
        }
        const uint8_t* body = data + at + 8;
        at += 12 + length;
        if (std::memcmp(type, "IHDR", 4) == 0) {
            const uint32_t w = length == 13 ? BigEndian(body) : 0, h = length == 13 ? BigEndian(body + 4) : 0;
            // 8 bits a sample, RGB or RGBA, the one compression and filter method, no interlace.
            good = width == 0 && w >= 1 && h >= 1 && w <= static_cast<uint32_t>(maxSide) &&
                   h <= static_cast<uint32_t>(maxSide) && static_cast<size_t>(w) * h <= kMaxFramePixels &&
                   body[8] == 8 && (body[9] == 2 || body[9] == 6) && body[10] == 0 && body[11] == 0 && body[12] == 0;
            if (!good) break;
            width = static_cast<int>(w);
            height = static_cast<int>(h);
            bpp = body[9] == 6 ? 4 : 3;
            raw.resize(static_cast<size_t>(height) * (1 + static_cast<size_t>(width) * bpp));
            good = inflating = inflateInit(&stream) == Z_OK;
            stream.next_out = raw.data();
            stream.avail_out = static_cast<uInt>(raw.size());
        } else if (std::memcmp(type, "IDAT", 4) == 0) {
            good = inflating;
            stream.next_in = const_cast<Bytef*>(body);
            stream.avail_in = length;
            while (good && !streamEnded && stream.avail_in > 0) {
                // More data than the picture holds stops the inflation short: an error.
                const int result = inflate(&stream, Z_NO_FLUSH);
                streamEnded = result == Z_STREAM_END;
                good = streamEnded || result == Z_OK;
            }
        } else if (std::memcmp(type, "IEND", 4) == 0) {
            ended = true;
        } else {
            good = (type[0] & 0x20) != 0;  // a critical chunk this decoder does not know (a palette, say)
        }
    }
    if (inflating) inflateEnd(&stream);
    if (!good || !ended || !streamEnded || stream.avail_out != 0) return false;

    const size_t stride = static_cast<size_t>(width) * bpp;
    const std::vector<uint8_t> none(stride, 0);
    frame.width = width;
    frame.height = height;
    frame.pixels.resize(static_cast<size_t>(width) * height);
    for (int y = 0; y < height; ++y) {
        uint8_t* row = raw.data() + static_cast<size_t>(y) * (stride + 1);
        const uint8_t* above = y ? row - stride : none.data();
        if (!Unfilter(row + 1, above, stride, bpp, row[0])) return false;
        uint32_t* out = frame.pixels.data() + static_cast<size_t>(y) * width;
        const uint8_t* p = row + 1;
        for (int x = 0; x < width; ++x, p += bpp)
            out[x] = (bpp == 4 ? static_cast<uint32_t>(p[3]) << 24 : 0xFF000000u) | static_cast<uint32_t>(p[0]) << 16 |
                     static_cast<uint32_t>(p[1]) << 8 | p[2];
    }
    return true;
}
