#include "app/DownloadListener.h"

void IDownHandler::OnDownloadData(STGMEDIUM*, DWORD, DWORD) {}
void IDownHandler::OnDownloadProgress(ULONG, ULONG) {}
void IDownHandler::OnDownloadStart(DWORD, IBinding*) {}
void IDownHandler::OnDownloadStop(HRESULT, LPCWSTR) {}

// A COM object must answer IUnknown; the URL moniker also asks for the callback interface itself.
STDMETHODIMP COpenUrlListener::QueryInterface(REFIID riid, void** ppv) {
    if (!ppv) return E_POINTER;
    if (IsEqualIID(riid, IID_IUnknown) || IsEqualIID(riid, IID_IBindStatusCallback)) {
        *ppv = static_cast<IBindStatusCallback*>(this);
        return S_OK;
    }
    *ppv = nullptr;
    return E_NOINTERFACE;
}

STDMETHODIMP COpenUrlListener::OnStartBinding(DWORD reserved, IBinding* binding) {
    if (m_pHandler) m_pHandler->OnDownloadStart(reserved, binding);
    return S_OK;
}

STDMETHODIMP COpenUrlListener::OnProgress(ULONG progress, ULONG total, ULONG, LPCWSTR) {
    if (total != 0 && m_pHandler) m_pHandler->OnDownloadProgress(progress, total);
    return S_OK;
}

STDMETHODIMP COpenUrlListener::OnStopBinding(HRESULT result, LPCWSTR error) {
    if (m_pHandler) m_pHandler->OnDownloadStop(result, error);
    return S_OK;
}

// The caller's bind flags stay as they are; refusing here makes the moniker abandon the download.
STDMETHODIMP COpenUrlListener::GetBindInfo(DWORD*, BINDINFO*) { return S_OK; }

STDMETHODIMP COpenUrlListener::OnDataAvailable(DWORD flags, DWORD size, FORMATETC*, STGMEDIUM* medium) {
    if (m_pHandler) m_pHandler->OnDownloadData(medium, size, flags);
    return S_OK;
}
