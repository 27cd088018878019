#include "game/RenderGDI.h"

#include "common/Dib.h"

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
    void* bits = nullptr;
    UniqueBitmap bitmap = CreateTopDownDib(m_nWidth, m_nHeight, &bits);  // laid out as the engine's pixels
    if (!bitmap) {
        // A zero or huge size: stay without a surface and keep dropping updates.
        m_pBits = nullptr;
        return;
    }
    SelectObject(m_hMemDC.Get(), bitmap.Get());
    m_hBitmap = std::move(bitmap);  // the old one is deselected by now
    m_pBits = bits;
}

void CRenderGDI::UpdateRect(HDC hdcSource, int x, int y, int cx, int cy) {
    if (!m_pBits) {
        if (cx != m_nWidth || cy != m_nHeight) return;
        CreateSurface();
        if (!m_pBits) return;
    }
    // The whole surface extent from (x, y) on: the bitmap and window bounds clip the rest.
    BitBlt(m_hMemDC.Get(), x, y, m_nWidth, m_nHeight, hdcSource, x, y, SRCCOPY);
    // Without a window GetDC would hand out the whole screen's DC: keep the update off the desktop.
    if (!m_hWnd) return;
    WindowDC window(m_hWnd);
    BitBlt(window.Get(), x, y, m_nWidth, m_nHeight, m_hMemDC.Get(), x, y, SRCCOPY);
}

void CRenderGDI::Paint(HDC hdcDest) {
    if (!m_pBits) return;
    BitBlt(hdcDest, 0, 0, m_nWidth, m_nHeight, m_hMemDC.Get(), 0, 0, SRCCOPY);
}
