// The last frame of a view, kept in a 32-bit DIB section selected into a memory DC, so that it
// can be copied into a caller's buffer, handed out as a DC, or painted into a window.
#pragma once

#include <windows.h>

#include <cstdint>

#include "common/Handles.h"
#include "engine/frames/FrameDecoder.h"

class FrameBuffer {
public:
    FrameBuffer() = default;
    ~FrameBuffer();
    FrameBuffer(const FrameBuffer&) = delete;
    FrameBuffer& operator=(const FrameBuffer&) = delete;

    // Takes a decoded frame; the DIB is made again only when the size changes. Returns the
    // changed rectangle (empty when nothing changed).
    RECT Update(const DecodedFrame& frame);

    // Writes width x height pixels into `bits` (rows `pitch` bytes apart, 0 means width * 4);
    // what the frame does not cover (no frame yet, or a size change under way) is white.
    void CopyTo(void* bits, int width, int height, int pitch) const;

    // Paints the frame at the window's origin; what it does not cover is filled white.
    void PaintTo(HDC target, int width, int height) const;

    HDC Dc() const { return m_dc.Get(); }
    int Width() const { return m_width; }
    int Height() const { return m_height; }
    bool Empty() const { return m_bits == nullptr; }

private:
    UniqueMemDC m_dc;            // owned
    UniqueBitmap m_bitmap;       // owned, selected into m_dc while set
    HGDIOBJ m_original = nullptr;  // the DC's first bitmap, selected back before m_bitmap goes
    uint32_t* m_bits = nullptr;  // inside m_bitmap
    int m_width = 0;
    int m_height = 0;
};
