#include "common/Dib.h"

UniqueBitmap CreateTopDownDib(int width, int height, void** bits) {
    *bits = nullptr;
    if (width <= 0 || height <= 0) return UniqueBitmap();
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(info.bmiHeader);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = -height;  // negative: the first row in memory is the top one
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    UniqueBitmap bitmap(CreateDIBSection(nullptr, &info, DIB_RGB_COLORS, bits, nullptr, 0));
    if (!bitmap || !*bits) {
        *bits = nullptr;
        return UniqueBitmap();
    }
    return bitmap;
}
