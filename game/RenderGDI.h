// CRenderGDI: a 32-bit off-screen copy of the game view's pixels, fed by the engine's
// paint-updated notifications and blitted into the game window on WM_PAINT.
#pragma once

#include <windows.h>

#include "common/Handles.h"

class CRenderGDI {
public:
    CRenderGDI() = default;
    CRenderGDI(const CRenderGDI&) = delete;
    CRenderGDI& operator=(const CRenderGDI&) = delete;

    // Remembers the window that updates are copied onto and takes its client size. Always true.
    virtual bool Init(HWND hWnd);
    // Releases the surface and the object itself.
    virtual void Destroy();
    // A new size invalidates the surface; the same size keeps it.
    virtual void Resize(int width, int height);

    // Copies the dirty rectangle of `hdcSource` (which holds the whole view) into the surface and
    // onto the window at once. While there is no surface only an update of exactly the current
    // size is taken (it creates one).
    void UpdateRect(HDC hdcSource, int x, int y, int cx, int cy);
    // Repeats the surface into `hdcDest`; draws nothing without a surface. Never asks the engine.
    void Paint(HDC hdcDest);
    void CreateSurface();

    bool HasSurface() const { return m_pBits != nullptr; }
    int Width() const { return m_nWidth; }
    int Height() const { return m_nHeight; }

protected:
    virtual ~CRenderGDI() = default;

private:
    HWND m_hWnd = nullptr;        // not owned
    UniqueBitmap m_hBitmap;       // owned; selected into m_hMemDC (declared first: outlives the DC)
    UniqueMemDC m_hMemDC;         // owned
    int m_nWidth = 0;
    int m_nHeight = 0;
    void* m_pBits = nullptr;      // pixels of m_hBitmap; null: no valid surface for this size
};
