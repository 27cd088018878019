// Drawing: skin images (PNG members decoded with WIC into premultiplied 32-bit bitmaps),
// colour fills with alpha, and text. Only the UI thread draws.
#pragma once

#include "common/Handles.h"
#include "duilib/UIString.h"

#include <windows.h>

#include <memory>

class CPaintManagerUI;

struct TImageInfo {
    UniqueBitmap bitmap;  // 32-bit top-down DIB section, premultiplied alpha
    int width = 0;
    int height = 0;
};

// An image reference of a skin attribute: either a plain member name, or
// "file='name' source='l,t,r,b' dest='l,t,r,b'" (source: the part of the image to draw,
// default all of it; dest: where inside the control, relative to its top-left corner,
// default the whole control).
struct TDrawInfo {
    CDuiString file;
    RECT source{};
    RECT dest{};
    bool hasSource = false;
    bool hasDest = false;
};

namespace dui {

TDrawInfo ParseDrawInfo(const wchar_t* description);

// Decodes an image file of the registered skin. Null when absent or not decodable.
// Needs COM on the calling thread.
std::unique_ptr<TImageInfo> LoadSkinImage(const wchar_t* file);

// Draws `description` into `rcItem`, scaled from its source rectangle, blended by alpha.
// False when the image is missing.
bool DrawImage(HDC hDC, CPaintManagerUI* manager, const RECT& rcItem, const wchar_t* description);

// Fills with a 0xAARRGGBB colour; fully transparent colours draw nothing.
void DrawColor(HDC hDC, const RECT& rc, DWORD color);

// One line of text with DrawText format flags, in a 0xAARRGGBB colour.
void DrawText(HDC hDC, const RECT& rc, const wchar_t* text, DWORD color, HFONT font, UINT format);

}  // namespace dui
