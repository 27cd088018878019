#include "game/RenderGDI.h"

#include <algorithm>

bool CRenderGDI::Init(HWND hWnd) {
    m_hWnd = hWnd;
    m_hMemDC.Reset(CreateCompatibleDC(nullptr));
    RECT rc{};
    GetClientRect(hWnd, &rc);
    Resize(rc.right, rc.bottom);
    return true;
}

void CRenderGDI::Destroy() {
    // The DC goes first so that the bitmap is no longer selected anywhere when it is deleted.
    m_hMemDC.Reset();
    m_hBitmap.Reset();
    delete this;
}

void CRenderGDI::Resize(int width, int height) {
    if (width == m_nWidth && height == m_nHeight) return;
    m_nWidth = width;
    m_nHeight = height;
    // The old bitmap stays selected until CreateSurface replaces it.
    m_pBits = nullptr;
}

void CRenderGDI::CreateSurface() {
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = m_nWidth;
    info.bmiHeader.biHeight = -m_nHeight;  // top-down, as the engine lays out its pixels
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    HBITMAP bitmap = CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    if (!bitmap) {
        // A zero or huge size: stay without a surface and keep dropping updates.
        m_pBits = nullptr;
        return;
    }
    SelectObject(m_hMemDC.Get(), bitmap);
    m_hBitmap.Reset(bitmap);  // the old one is deselected by now
    m_pBits = bits;
}

void CRenderGDI::UpdateRect(HDC hdcSource, int x, int y, int cx, int cy) {
    if (!m_pBits) {
        if (cx != m_nWidth || cy != m_nHeight) return;
        CreateSurface();
        if (!m_pBits) return;
    }
    // Only the dirty rectangle, clipped to the surface: the source holds the whole view, but
    // outside the rectangle its pixels are those the surface already has. Copying on to the
    // surface's edges would cost a small update nearly as much as a full one.
    // The sums are taken wide: the engine's numbers may be anything.
    const int left = static_cast<int>(std::clamp<long long>(x, 0, m_nWidth));
    const int top = static_cast<int>(std::clamp<long long>(y, 0, m_nHeight));
    const int right = static_cast<int>(std::clamp<long long>(static_cast<long long>(x) + cx, 0, m_nWidth));
    const int bottom = static_cast<int>(std::clamp<long long>(static_cast<long long>(y) + cy, 0, m_nHeight));
    if (right <= left || bottom <= top) return;
    BitBlt(m_hMemDC.Get(), left, top, right - left, bottom - top, hdcSource, left, top, SRCCOPY);
    // Without a window GetDC would hand out the whole screen's DC: keep the update off the desktop.
    if (!m_hWnd) return;
    WindowDC window(m_hWnd);
    BitBlt(window.Get(), left, top, right - left, bottom - top, m_hMemDC.Get(), left, top, SRCCOPY);
}

void CRenderGDI::Paint(HDC hdcDest) {
    if (!m_pBits) return;
    BitBlt(hdcDest, 0, 0, m_nWidth, m_nHeight, m_hMemDC.Get(), 0, 0, SRCCOPY);
}
