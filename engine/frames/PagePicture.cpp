#include "engine/frames/PagePicture.h"

RECT PagePicture::ApplyFrame(const DecodedFrame& frame, double scrollX, double scrollY) {
    m_scrollX = scrollX;
    m_scrollY = scrollY;
    const RECT changed = m_buffer.Update(frame);
    // A frame that changes nothing (the browser sends one when the exact picture is taken, say)
    // leaves a question for the exact picture standing.
    if (IsRectEmpty(&changed)) return changed;
    ++m_serial;
    m_lossy = true;
    return changed;
}

bool PagePicture::Request(int width, int height, ExactRequest* request) const {
    if (!m_lossy || width <= 0 || height <= 0) return false;
    request->x = m_scrollX;
    request->y = m_scrollY;
    request->width = width;
    request->height = height;
    request->serial = m_serial;
    return true;
}

PagePicture::Exact PagePicture::ApplyExact(const DecodedFrame& picture, const ExactRequest& request, RECT* changed) {
    *changed = RECT{0, 0, 0, 0};
    if (request.serial != m_serial) return Exact::Outdated;
    if (picture.width != request.width || picture.height != request.height) return Exact::Unfit;
    // The whole view: it replaces the picture, also one of another size than the view.
    *changed = m_buffer.Update(picture);
    m_lossy = false;
    return Exact::Taken;
}
