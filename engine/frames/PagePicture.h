// A view's picture of its page: the moving page's frames, and once it rests, the exact picture.
//
// Frames come lossy (JPEG) while the page changes. Once it has been still for a moment, the whole
// view is asked for exactly (PNG) and the picture becomes it, whatever the frames before showed:
// the browser may have drawn more than its last frame did, and a frame may even be of another
// size than the view (a resize under way), so the exact picture is always of the view as the
// caller sized it, never of what the last frame covered. UI thread only.
#pragma once

#include <windows.h>

#include "engine/frames/FrameBuffer.h"
#include "engine/frames/FrameDecoder.h"

class PagePicture {
public:
    // What to ask the browser for once the page rests: the view's whole area at the page's scroll
    // position, and which frame it follows.
    struct ExactRequest {
        double x = 0, y = 0;
        int width = 0, height = 0;
        unsigned serial = 0;
    };

    // A frame of the moving page; `scrollX`, `scrollY` say where the page was then. Returns the
    // rectangle that changed (empty when nothing did; then an exact picture still due stays due).
    RECT ApplyFrame(const DecodedFrame& frame, double scrollX, double scrollY);
    // Whether a lossy frame has been shown since the last exact picture.
    bool ExactDue() const { return m_lossy; }
    // The exact picture to ask for, for a view of `width` x `height`; false when none is due.
    bool Request(int width, int height, ExactRequest* request) const;

    enum class Exact {
        Taken,     // the picture is the page's, to the last pixel
        Outdated,  // a newer frame came meanwhile, and asks again once the page rests
        Unfit,     // the browser answered another size than asked: to be asked again
    };
    // The exact picture answered for `request`; `changed` is what it changed of the picture.
    Exact ApplyExact(const DecodedFrame& picture, const ExactRequest& request, RECT* changed);

    const FrameBuffer& Buffer() const { return m_buffer; }

private:
    FrameBuffer m_buffer;
    unsigned m_serial = 0;  // frames that changed the picture so far
    bool m_lossy = false;   // a moving frame was shown since the last exact picture
    double m_scrollX = 0;   // the page's scroll position with the last frame
    double m_scrollY = 0;
};
