#include "WindowTestSupport.h"

#include "common/Handles.h"
#include "common/Dib.h"

#include <gtest/gtest.h>

#include <wincodec.h>

#include <algorithm>
#include <cstdlib>

DUI_BEGIN_MESSAGE_MAP(RecordingWindow, WindowImplBase)
DUI_END_MESSAGE_MAP()

void RecordingWindow::InitWindow() {
    ++m_initCount;
    m_controlsAtInit = m_pm.FindControl(L"root") != nullptr;
}

void RecordingWindow::OnClick(TNotifyUI& msg) {
    m_clicks.push_back(msg.pSender);
    WindowImplBase::OnClick(msg);
}

CControlUI* RecordingWindow::CreateControl(const wchar_t* pstrClass) {
    m_askedClasses.push_back(pstrClass);
    return std::wstring(pstrClass) == L"WkeWebkit" ? new CControlUI : nullptr;
}

LRESULT RecordingWindow::OnClose(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
    ++m_closeCount;
    return WindowImplBase::OnClose(uMsg, wParam, lParam, bHandled);
}

LRESULT RecordingWindow::OnSysCommand(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
    m_sysCommands.push_back(wParam & 0xFFF0);
    return WindowImplBase::OnSysCommand(uMsg, wParam, lParam, bHandled);
}

LRESULT RecordingWindow::HandleCustomMessage(UINT uMsg, WPARAM wParam, LPARAM lParam, BOOL& bHandled) {
    m_customMessages.push_back(uMsg);
    if (uMsg == WM_DESTROY) m_destroyedSeen = true;
    return WindowImplBase::HandleCustomMessage(uMsg, wParam, lParam, bHandled);
}

void RecordingWindow::OnFinalMessage(HWND hWnd) {
    WindowImplBase::OnFinalMessage(hWnd);
    m_final = true;
}

void SetUpSkin() {
    CoInitialize(nullptr);
    CPaintManagerUI::SetInstance(GetModuleHandleW(nullptr));
    CPaintManagerUI::SetResourceType(UILIB_ZIPRESOURCE);
    HMODULE module = CPaintManagerUI::GetResourceDll();
    HRSRC resource = FindResourceW(module, L"SKIN", L"ZIPRES");
    ASSERT_NE(resource, nullptr);
    HGLOBAL loaded = LoadResource(module, resource);
    const DWORD size = SizeofResource(module, resource);
    ASSERT_NE(size, 0u);
    ASSERT_TRUE(CPaintManagerUI::SetResourceZip(LockResource(loaded), size));
    ASSERT_TRUE(CResourceManager::GetInstance()->LoadResource(L"res.xml"));
}

void ClickAt(HWND hwnd, POINT pt) {
    const LPARAM lParam = MAKELPARAM(pt.x, pt.y);
    SendMessageW(hwnd, WM_MOUSEMOVE, 0, lParam);
    SendMessageW(hwnd, WM_LBUTTONDOWN, MK_LBUTTON, lParam);
    SendMessageW(hwnd, WM_LBUTTONUP, 0, lParam);
}

POINT CenterOf(const RECT& rc) { return POINT{(rc.left + rc.right) / 2, (rc.top + rc.bottom) / 2}; }

Capture CaptureWindow(HWND hwnd) {
    Capture capture;
    RECT client{};
    GetClientRect(hwnd, &client);
    capture.width = client.right;
    capture.height = client.bottom;
    POINT origin{0, 0};
    ClientToScreen(hwnd, &origin);
    void* bits = nullptr;
    UniqueBitmap bitmap = CreateTopDownDib(capture.width, capture.height, &bits);
    if (!bitmap) return capture;
    {
        WindowDC screen(nullptr);
        UniqueMemDC memDC(CreateCompatibleDC(screen.Get()));
        SelectedObject selected(memDC.Get(), bitmap.Get());
        BitBlt(memDC.Get(), 0, 0, capture.width, capture.height, screen.Get(), origin.x, origin.y, SRCCOPY);
    }
    GdiFlush();
    const DWORD* source = static_cast<const DWORD*>(bits);
    capture.pixels.assign(source, source + static_cast<size_t>(capture.width) * capture.height);
    for (DWORD& pixel : capture.pixels) pixel &= 0x00FFFFFF;
    return capture;
}

bool SavePng(const Capture& capture, const std::wstring& path) {
    ComPtr<IWICImagingFactory> factory;
    if (FAILED(CoCreateInstance(CLSID_WICImagingFactory, nullptr, CLSCTX_INPROC_SERVER, IID_IWICImagingFactory,
                                reinterpret_cast<void**>(factory.Put())))) {
        return false;
    }
    ComPtr<IWICStream> stream;
    ComPtr<IWICBitmapEncoder> encoder;
    ComPtr<IWICBitmapFrameEncode> frame;
    if (FAILED(factory->CreateStream(stream.Put())) ||
        FAILED(stream->InitializeFromFilename(path.c_str(), GENERIC_WRITE)) ||
        FAILED(factory->CreateEncoder(GUID_ContainerFormatPng, nullptr, encoder.Put())) ||
        FAILED(encoder->Initialize(stream.Get(), WICBitmapEncoderNoCache)) ||
        FAILED(encoder->CreateNewFrame(frame.Put(), nullptr)) || FAILED(frame->Initialize(nullptr)) ||
        FAILED(frame->SetSize(static_cast<UINT>(capture.width), static_cast<UINT>(capture.height)))) {
        return false;
    }
    WICPixelFormatGUID format = GUID_WICPixelFormat32bppBGR;
    if (FAILED(frame->SetPixelFormat(&format))) return false;
    std::vector<DWORD> pixels = capture.pixels;
    const UINT stride = static_cast<UINT>(capture.width) * 4;
    return SUCCEEDED(frame->WritePixels(static_cast<UINT>(capture.height), stride, stride * capture.height,
                                        reinterpret_cast<BYTE*>(pixels.data()))) &&
           SUCCEEDED(frame->Commit()) && SUCCEEDED(encoder->Commit());
}

DWORD ArtworkPixel(const wchar_t* member, int x, int y, DWORD below) {
    const std::unique_ptr<TImageInfo> image = dui::LoadSkinImage(member);
    if (!image || x < 0 || y < 0 || x >= image->width || y >= image->height) return 0xFFFFFFFF;
    DIBSECTION dib{};
    GetObjectW(image->bitmap.Get(), sizeof(dib), &dib);
    const DWORD pixel = static_cast<const DWORD*>(dib.dsBm.bmBits)[static_cast<size_t>(y) * image->width + x];
    const DWORD alpha = pixel >> 24;
    DWORD result = 0;
    for (int shift = 0; shift < 24; shift += 8) {
        const DWORD channel = ((pixel >> shift) & 0xFF) + ((below >> shift) & 0xFF) * (255 - alpha) / 255;
        result |= std::min<DWORD>(channel, 255) << shift;
    }
    return result;
}

bool SameColor(DWORD a, DWORD b, int tolerance) {
    for (int shift = 0; shift < 24; shift += 8) {
        if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) > tolerance) {
            return false;
        }
    }
    return true;
}
