// Feeds arbitrary bytes to the engine's own image decoders as a frame from the browser, and checks
// that a decoded picture is whole and within the side it was allowed.
#include "engine/frames/FrameDecoder.h"
#include "engine/frames/JpegDecoder.h"
#include "engine/frames/PngDecoder.h"

#include <cstdint>
#include <cstdlib>

namespace {

// Smaller than the engine's own bound, so that each input decodes quickly; the bound is checked
// the same way.
constexpr int kSide = 2048;

void CheckWhole(bool decoded, const DecodedFrame& frame) {
    if (!decoded) return;
    if (frame.width <= 0 || frame.height <= 0 || frame.width > kSide || frame.height > kSide) abort();
    if (frame.pixels.size() != static_cast<size_t>(frame.width) * static_cast<size_t>(frame.height)) abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    DecodedFrame jpeg, png;
    CheckWhole(DecodeJpeg(data, size, kSide, jpeg), jpeg);
    CheckWhole(DecodePng(data, size, kSide, png), png);
    return 0;
}
