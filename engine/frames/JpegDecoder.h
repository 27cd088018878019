// A baseline JPEG decoder for the browser's animated frames. The system's image codecs cost
// several times the whole frame budget per frame under Wine (most of it before the first pixel),
// so the common case is decoded here: 8-bit baseline Huffman JPEG, grey or YCbCr in one scan,
// with luma sampled at most twice the chroma in either direction, restart markers allowed.
// Anything else is refused and left to the system's codecs. Every length and index comes from the
// data and is checked against what is there: damaged or hostile data gives false, never a read or
// write out of bounds.
#pragma once

#include <cstddef>
#include <cstdint>

struct DecodedFrame;

// Decodes `data` into `frame` (top-down 0xFFRRGGBB rows, resized to the picture; its memory is
// reused when the size stays). Pictures larger than `maxSide` pixels either way are refused.
bool DecodeJpeg(const uint8_t* data, size_t size, int maxSide, DecodedFrame& frame);
