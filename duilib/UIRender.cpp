#include "duilib/UIRender.h"

#include "common/Dib.h"
#include "duilib/UIAttributes.h"
#include "duilib/UIManager.h"
#include "duilib/UISkin.h"

#include <wincodec.h>

#include <cwchar>
#include <vector>

namespace dui {
namespace {

constexpr UINT kMaxImageSide = 8192;

COLORREF ToColorRef(DWORD argb) { return RGB((argb >> 16) & 0xFF, (argb >> 8) & 0xFF, argb & 0xFF); }

// Reads `key='value'` pairs; a description without '=' is a plain file name.
void ReadPairs(const wchar_t* text, TDrawInfo& info) {
    const wchar_t* p = text;
    while (*p) {
        while (*p == L' ') ++p;
        const wchar_t* keyStart = p;
        while (*p && *p != L'=') ++p;
        if (*p != L'=') return;
        const CDuiString key(keyStart, static_cast<int>(p - keyStart));
        ++p;
        if (*p != L'\'' && *p != L'"') return;
        const wchar_t quote = *p++;
        const wchar_t* valueStart = p;
        while (*p && *p != quote) ++p;
        if (!*p) return;
        const CDuiString value(valueStart, static_cast<int>(p - valueStart));
        ++p;
        if (key == L"file") {
            info.file = value;
        } else if (key == L"source") {
            info.source = ParseRect(value);
            info.hasSource = true;
        } else if (key == L"dest") {
            info.dest = ParseRect(value);
            info.hasDest = true;
        }
    }
}

}  // namespace

TDrawInfo ParseDrawInfo(const wchar_t* description) {
    TDrawInfo info;
    if (!description) return info;
    if (std::wcschr(description, L'=')) {
        ReadPairs(description, info);
    } else {
        info.file = description;
    }
    return info;
}

std::unique_ptr<TImageInfo> LoadSkinImage(const wchar_t* file) {
    std::vector<unsigned char> bytes;
    if (!ReadSkinFile(file, bytes) || bytes.empty()) return nullptr;

    ComPtr<IWICImagingFactory> factory;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                reinterpret_cast<void**>(factory.Put())))) {
        return nullptr;
    }
    ComPtr<IWICStream> stream;
    if (FAILED(factory->CreateStream(stream.Put())) ||
        FAILED(stream->InitializeFromMemory(bytes.data(), static_cast<DWORD>(bytes.size())))) {
        return nullptr;
    }
    ComPtr<IWICBitmapDecoder> decoder;
    ComPtr<IWICBitmapFrameDecode> frame;
    ComPtr<IWICFormatConverter> converter;
    if (FAILED(factory->CreateDecoderFromStream(stream.Get(), nullptr, WICDecodeMetadataCacheOnDemand,
                                                decoder.Put())) ||
        FAILED(decoder->GetFrame(0, frame.Put())) || FAILED(factory->CreateFormatConverter(converter.Put())) ||
        FAILED(converter->Initialize(frame.Get(), GUID_WICPixelFormat32bppPBGRA, WICBitmapDitherTypeNone, nullptr,
                                     0.0, WICBitmapPaletteTypeCustom))) {
        return nullptr;
    }
    UINT width = 0, height = 0;
    if (FAILED(converter->GetSize(&width, &height)) || width == 0 || height == 0 || width > kMaxImageSide ||
        height > kMaxImageSide) {
        return nullptr;
    }
    void* pixels = nullptr;
    auto image = std::make_unique<TImageInfo>();
    image->bitmap = CreateTopDownDib(static_cast<int>(width), static_cast<int>(height), &pixels);
    if (!image->bitmap) return nullptr;
    const UINT stride = width * 4;
    if (FAILED(converter->CopyPixels(nullptr, stride, stride * height, static_cast<BYTE*>(pixels)))) return nullptr;
    GdiFlush();
    image->width = static_cast<int>(width);
    image->height = static_cast<int>(height);
    return image;
}

bool DrawImage(HDC hDC, CPaintManagerUI* manager, const RECT& rcItem, const wchar_t* description) {
    if (!manager || !description || !*description) return false;
    const TDrawInfo info = ParseDrawInfo(description);
    const TImageInfo* image = manager->GetImage(info.file);
    if (!image) return false;

    RECT source = info.hasSource ? info.source : RECT{0, 0, image->width, image->height};
    if (source.right > image->width) source.right = image->width;
    if (source.bottom > image->height) source.bottom = image->height;
    if (source.left < 0) source.left = 0;
    if (source.top < 0) source.top = 0;
    if (source.right <= source.left || source.bottom <= source.top) return false;
    RECT dest = rcItem;
    if (info.hasDest) {
        dest = RECT{rcItem.left + info.dest.left, rcItem.top + info.dest.top, rcItem.left + info.dest.right,
                    rcItem.top + info.dest.bottom};
    }
    if (dest.right <= dest.left || dest.bottom <= dest.top) return false;

    UniqueMemDC memDC(CreateCompatibleDC(hDC));
    SelectedObject selected(memDC.Get(), image->bitmap.Get());
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    return AlphaBlend(hDC, dest.left, dest.top, dest.right - dest.left, dest.bottom - dest.top, memDC.Get(),
                      source.left, source.top, source.right - source.left, source.bottom - source.top, blend) != FALSE;
}

void DrawColor(HDC hDC, const RECT& rc, DWORD color) {
    const BYTE alpha = static_cast<BYTE>(color >> 24);
    if (alpha == 0 || rc.right <= rc.left || rc.bottom <= rc.top) return;
    if (alpha == 0xFF) {
        UniqueBrush brush(CreateSolidBrush(ToColorRef(color)));
        FillRect(hDC, &rc, brush.Get());
        return;
    }
    // One premultiplied pixel stretched over the rectangle.
    BITMAPINFO bmi{};
    bmi.bmiHeader.biSize = sizeof(bmi.bmiHeader);
    bmi.bmiHeader.biWidth = 1;
    bmi.bmiHeader.biHeight = 1;
    bmi.bmiHeader.biPlanes = 1;
    bmi.bmiHeader.biBitCount = 32;
    bmi.bmiHeader.biCompression = BI_RGB;
    void* bits = nullptr;
    UniqueBitmap pixel(CreateDIBSection(nullptr, &bmi, DIB_RGB_COLORS, &bits, nullptr, 0));
    if (!pixel || !bits) return;
    auto premultiply = [alpha](DWORD channel) { return (channel & 0xFF) * alpha / 255; };
    *static_cast<DWORD*>(bits) = (static_cast<DWORD>(alpha) << 24) | (premultiply(color >> 16) << 16) |
                                 (premultiply(color >> 8) << 8) | premultiply(color);
    UniqueMemDC memDC(CreateCompatibleDC(hDC));
    SelectedObject selected(memDC.Get(), pixel.Get());
    const BLENDFUNCTION blend{AC_SRC_OVER, 0, 255, AC_SRC_ALPHA};
    AlphaBlend(hDC, rc.left, rc.top, rc.right - rc.left, rc.bottom - rc.top, memDC.Get(), 0, 0, 1, 1, blend);
}

void DrawText(HDC hDC, const RECT& rc, const wchar_t* text, DWORD color, HFONT font, UINT format) {
    if (!text || !*text) return;
    SelectedObject selected(hDC, font);
    const int oldMode = SetBkMode(hDC, TRANSPARENT);
    const COLORREF oldColor = SetTextColor(hDC, ToColorRef(color));
    RECT area = rc;
    ::DrawTextW(hDC, text, -1, &area, format | DT_NOPREFIX);
    SetTextColor(hDC, oldColor);
    SetBkMode(hDC, oldMode);
}

}  // namespace dui
