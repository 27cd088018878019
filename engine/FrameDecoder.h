// Turns the browser's encoded frames (base64 PNG or JPEG) into 32-bit BGRA pixels with WIC.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct DecodedFrame {
    int width = 0;
    int height = 0;
    std::vector<uint32_t> pixels;  // top-down rows of `width` pixels, 0xAARRGGBB
};

// Decodes standard base64; false on a character outside the alphabet.
bool DecodeBase64(const std::string& text, std::string& bytes);

// Decodes a PNG or JPEG image. The calling thread must have initialised COM. Images larger than
// 8192 pixels in either direction are refused.
bool DecodeImage(const std::string& bytes, DecodedFrame& frame);
