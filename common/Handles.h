// Small owners for Win32 handles and COM pointers. Each closes what it holds exactly once.
#pragma once

#include <windows.h>
#include <unknwn.h>

#include <utility>

// A kernel handle released with CloseHandle. Both null and INVALID_HANDLE_VALUE mean "none".
class UniqueHandle {
public:
    UniqueHandle() = default;
    explicit UniqueHandle(HANDLE h) : m_h(h) {}
    ~UniqueHandle() { Reset(); }
    UniqueHandle(UniqueHandle&& other) noexcept : m_h(other.Release()) {}
    UniqueHandle& operator=(UniqueHandle&& other) noexcept {
        if (this != &other) Reset(other.Release());
        return *this;
    }
    UniqueHandle(const UniqueHandle&) = delete;
    UniqueHandle& operator=(const UniqueHandle&) = delete;

    HANDLE Get() const { return m_h; }
    bool IsValid() const { return m_h && m_h != INVALID_HANDLE_VALUE; }
    explicit operator bool() const { return IsValid(); }
    HANDLE Release() { return std::exchange(m_h, nullptr); }
    void Reset(HANDLE h = nullptr) {
        if (IsValid()) CloseHandle(m_h);
        m_h = h;
    }

private:
    HANDLE m_h = nullptr;
};

// A memory DC made with CreateCompatibleDC, deleted with DeleteDC.
class UniqueMemDC {
public:
    UniqueMemDC() = default;
    explicit UniqueMemDC(HDC dc) : m_dc(dc) {}
    ~UniqueMemDC() { Reset(); }
    UniqueMemDC(UniqueMemDC&& other) noexcept : m_dc(std::exchange(other.m_dc, nullptr)) {}
    UniqueMemDC& operator=(UniqueMemDC&& other) noexcept {
        if (this != &other) Reset(std::exchange(other.m_dc, nullptr));
        return *this;
    }
    UniqueMemDC(const UniqueMemDC&) = delete;
    UniqueMemDC& operator=(const UniqueMemDC&) = delete;

    HDC Get() const { return m_dc; }
    void Reset(HDC dc = nullptr) {
        if (m_dc) DeleteDC(m_dc);
        m_dc = dc;
    }

private:
    HDC m_dc = nullptr;
};

// Any GDI object (bitmap, font, brush, pen, region) deleted with DeleteObject.
// It must not be selected into a DC when the owner lets it go.
template <typename T>
class UniqueGdiObject {
public:
    UniqueGdiObject() = default;
    explicit UniqueGdiObject(T obj) : m_obj(obj) {}
    ~UniqueGdiObject() { Reset(); }
    UniqueGdiObject(UniqueGdiObject&& other) noexcept : m_obj(std::exchange(other.m_obj, nullptr)) {}
    UniqueGdiObject& operator=(UniqueGdiObject&& other) noexcept {
        if (this != &other) Reset(std::exchange(other.m_obj, nullptr));
        return *this;
    }
    UniqueGdiObject(const UniqueGdiObject&) = delete;
    UniqueGdiObject& operator=(const UniqueGdiObject&) = delete;

    T Get() const { return m_obj; }
    explicit operator bool() const { return m_obj != nullptr; }
    void Reset(T obj = nullptr) {
        if (m_obj) DeleteObject(m_obj);
        m_obj = obj;
    }

private:
    T m_obj = nullptr;
};

using UniqueBitmap = UniqueGdiObject<HBITMAP>;
using UniqueFont = UniqueGdiObject<HFONT>;
using UniqueBrush = UniqueGdiObject<HBRUSH>;

// GetDC / ReleaseDC for one window, for the lifetime of a scope.
class WindowDC {
public:
    explicit WindowDC(HWND hwnd) : m_hwnd(hwnd), m_dc(GetDC(hwnd)) {}
    ~WindowDC() {
        if (m_dc) ReleaseDC(m_hwnd, m_dc);
    }
    WindowDC(const WindowDC&) = delete;
    WindowDC& operator=(const WindowDC&) = delete;
    HDC Get() const { return m_dc; }

private:
    HWND m_hwnd;
    HDC m_dc;
};

// BeginPaint / EndPaint for one WM_PAINT.
class PaintScope {
public:
    explicit PaintScope(HWND hwnd) : m_hwnd(hwnd) { BeginPaint(hwnd, &m_ps); }
    ~PaintScope() { EndPaint(m_hwnd, &m_ps); }
    PaintScope(const PaintScope&) = delete;
    PaintScope& operator=(const PaintScope&) = delete;
    HDC Get() const { return m_ps.hdc; }
    const RECT& Dirty() const { return m_ps.rcPaint; }

private:
    HWND m_hwnd;
    PAINTSTRUCT m_ps{};
};

// SelectObject for a scope; the previous object is selected back on exit.
class SelectedObject {
public:
    SelectedObject(HDC dc, HGDIOBJ obj) : m_dc(dc), m_old(obj ? SelectObject(dc, obj) : nullptr) {}
    ~SelectedObject() {
        if (m_old) SelectObject(m_dc, m_old);
    }
    SelectedObject(const SelectedObject&) = delete;
    SelectedObject& operator=(const SelectedObject&) = delete;

private:
    HDC m_dc;
    HGDIOBJ m_old;
};

// A counted reference to a COM object.
template <typename T>
class ComPtr {
public:
    ComPtr() = default;
    ~ComPtr() { Reset(); }
    ComPtr(const ComPtr& other) : m_p(other.m_p) {
        if (m_p) m_p->AddRef();
    }
    ComPtr(ComPtr&& other) noexcept : m_p(std::exchange(other.m_p, nullptr)) {}
    ComPtr& operator=(ComPtr other) noexcept {
        std::swap(m_p, other.m_p);
        return *this;
    }

    T* Get() const { return m_p; }
    T* operator->() const { return m_p; }
    explicit operator bool() const { return m_p != nullptr; }
    // For out-parameters: releases what is held and hands out the slot.
    T** Put() {
        Reset();
        return &m_p;
    }
    void Reset() {
        if (m_p) std::exchange(m_p, nullptr)->Release();
    }

private:
    T* m_p = nullptr;
};
