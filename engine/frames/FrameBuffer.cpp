#include "engine/frames/FrameBuffer.h"

#include "common/Dib.h"

#include <algorithm>
#include <cstring>

FrameBuffer::~FrameBuffer() {
    if (m_dc.Get() && m_original) SelectObject(m_dc.Get(), m_original);
}

RECT FrameBuffer::Update(const DecodedFrame& frame) {
    RECT changed{0, 0, 0, 0};
    if (frame.width <= 0 || frame.height <= 0 ||
        frame.pixels.size() != static_cast<size_t>(frame.width) * static_cast<size_t>(frame.height))
        return changed;
    bool resized = false;
    if (frame.width != m_width || frame.height != m_height || !m_bits) {
        if (!m_dc.Get()) m_dc.Reset(CreateCompatibleDC(nullptr));
        if (!m_dc.Get()) return changed;
        if (m_original) SelectObject(m_dc.Get(), m_original);
        m_bitmap.Reset();
        m_bits = nullptr;
        void* bits = nullptr;
        m_bitmap = CreateTopDownDib(frame.width, frame.height, &bits);
        if (!m_bitmap) {
            m_width = m_height = 0;
            return changed;
        }
        HGDIOBJ previous = SelectObject(m_dc.Get(), m_bitmap.Get());
        if (!m_original) m_original = previous;
        m_bits = static_cast<uint32_t*>(bits);
        m_width = frame.width;
        m_height = frame.height;
        resized = true;
    }
    // Report only the rows and columns that differ, so a caret blink does not repaint the page.
    int top = m_height, bottom = -1, left = m_width, right = -1;
    for (int y = 0; y < m_height; ++y) {
        const uint32_t* src = frame.pixels.data() + static_cast<size_t>(y) * m_width;
        uint32_t* dst = m_bits + static_cast<size_t>(y) * m_width;
        if (!resized && std::memcmp(src, dst, static_cast<size_t>(m_width) * 4) == 0) continue;
        int first = 0;
        int last = m_width - 1;
        if (!resized) {
            while (src[first] == dst[first]) ++first;
            while (src[last] == dst[last]) --last;
        }
        left = std::min(left, first);
        right = std::max(right, last);
        top = std::min(top, y);
        bottom = y;
        std::memcpy(dst, src, static_cast<size_t>(m_width) * 4);
    }
    GdiFlush();
    if (bottom >= 0) changed = RECT{left, top, right + 1, bottom + 1};
    return changed;
}

void FrameBuffer::CopyTo(void* bits, int width, int height, int pitch) const {
    if (!bits || width <= 0 || height <= 0) return;
    const size_t rowBytes = static_cast<size_t>(width) * 4;
    const size_t stride = pitch > 0 ? static_cast<size_t>(pitch) : rowBytes;
    for (int y = 0; y < height; ++y) {
        uint32_t* dst = reinterpret_cast<uint32_t*>(static_cast<char*>(bits) + stride * static_cast<size_t>(y));
        int copied = 0;
        if (m_bits && y < m_height) {
            copied = std::min(width, m_width);
            std::memcpy(dst, m_bits + static_cast<size_t>(y) * m_width, static_cast<size_t>(copied) * 4);
        }
        std::fill(dst + copied, dst + width, 0xFFFFFFFFu);
    }
}

void FrameBuffer::PaintTo(HDC target, int width, int height) const {
    int covered = 0;
    int coveredHeight = 0;
    if (m_bits) {
        covered = std::min(width, m_width);
        coveredHeight = std::min(height, m_height);
        BitBlt(target, 0, 0, covered, coveredHeight, m_dc.Get(), 0, 0, SRCCOPY);
    }
    HBRUSH white = static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH));
    RECT right{covered, 0, width, height};
    RECT below{0, coveredHeight, covered, height};
    if (right.left < right.right) FillRect(target, &right, white);
    if (below.top < below.bottom) FillRect(target, &below, white);
}
