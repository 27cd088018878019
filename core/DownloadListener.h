// The download event interface and the bind-status callback that forwards URL-moniker events to it.
#pragma once

#include <windows.h>
#include <urlmon.h>

// Receives the events of one synchronous download. Every operation does nothing by default; an
// implementer overrides what it needs. Never deleted through this interface.
class IDownHandler {
public:
    // Data has arrived: `medium->pstm` holds at least `size` unread bytes.
    virtual void OnDownloadData(STGMEDIUM* medium, DWORD size, DWORD flags);
    // Progress with a known, non-zero total.
    virtual void OnDownloadProgress(ULONG progress, ULONG total);
    virtual void OnDownloadStart(DWORD reserved, IBinding* binding);
    // The binding ended with `result`; `error` may be null.
    virtual void OnDownloadStop(HRESULT result, LPCWSTR error);

protected:
    ~IDownHandler() = default;
};

// The bind-status callback handed to URLOpenBlockingStreamW / URLDownloadToCacheFileW. It lives on
// the caller's stack for exactly one synchronous call, so it counts no references.
class COpenUrlListener : public IBindStatusCallback {
public:
    explicit COpenUrlListener(IDownHandler* handler = nullptr) : m_pHandler(handler) {}

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override { return 0; }
    STDMETHODIMP_(ULONG) Release() override { return 0; }

    STDMETHODIMP OnStartBinding(DWORD reserved, IBinding* binding) override;
    STDMETHODIMP GetPriority(LONG*) override { return E_NOTIMPL; }
    STDMETHODIMP OnLowResource(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP OnProgress(ULONG progress, ULONG total, ULONG statusCode, LPCWSTR statusText) override;
    STDMETHODIMP OnStopBinding(HRESULT result, LPCWSTR error) override;
    STDMETHODIMP GetBindInfo(DWORD* bindf, BINDINFO* bindInfo) override;
    STDMETHODIMP OnDataAvailable(DWORD flags, DWORD size, FORMATETC* format, STGMEDIUM* medium) override;
    STDMETHODIMP OnObjectAvailable(REFIID, IUnknown*) override { return E_NOTIMPL; }

    IDownHandler* m_pHandler;  // not owned; may be null
};

// What the HTTP answer behind a binding said about itself, as far as it said it.
struct HttpAnswerInfo {
    DWORD status = 0;          // 0: not told
    bool haveLength = false;   // the answer announced Content-Length...
    ULONGLONG length = 0;      // ...of this many bytes
};
// Asks `binding` (may be null) for the status code and the announced length. The URL moniker can
// report success for an error page or for a connection that broke off halfway; these tell.
HttpAnswerInfo QueryHttpAnswer(IBinding* binding);
