// A PNG decoder for the exact pictures the engine asks for once a page has come to rest: 8-bit
// RGB or RGBA, not interlaced, as the browser writes them. The system's codecs cost more to set
// up under Wine than these pictures take to inflate; anything else is refused and left to
// them. Every length and index comes from the data and is checked against what is there.
#pragma once

#include <cstddef>
#include <cstdint>

struct DecodedFrame;

// Decodes `data` into `frame` (top-down 0xAARRGGBB rows, resized to the picture). Pictures
// larger than `maxSide` pixels either way are refused.
bool DecodePng(const uint8_t* data, size_t size, int maxSide, DecodedFrame& frame);
