// Turns the browser's encoded frames (base64 JPEG or PNG) into 32-bit BGRA pixels. What the
// browser sends (JPEG while a page moves, PNG once it rests) is decoded by engine/frames/JpegDecoder and
// engine/frames/PngDecoder; anything else by the system's codecs (WIC).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// Frames larger than this either way, or than this many pixels, are refused (a 32-bit process
// could not hold many of them).
constexpr int kMaxFrameSide = 8192;
constexpr size_t kMaxFramePixels = 16u * 1024u * 1024u;

struct DecodedFrame {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;  // top-down rows of `width` pixels, 0xAARRGGBB
};

// Decodes standard base64 (line breaks and padding are passed over) into `bytes`, whose memory is
// reused; false on a character outside the alphabet.
bool DecodeBase64(const char* text, size_t size, std::string& bytes);
inline bool DecodeBase64(const std::string& text, std::string& bytes) {
    return DecodeBase64(text.data(), text.size(), bytes);
}

// Decodes a JPEG or PNG image into `frame`, whose memory is reused when the size stays. The
// calling thread must have initialised COM (for what is not JPEG).
bool DecodeImage(const std::string& bytes, DecodedFrame& frame);
