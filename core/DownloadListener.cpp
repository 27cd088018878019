#include "core/DownloadListener.h"

#include "common/Handles.h"

#include <wininet.h>

#include <cstdlib>

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

HttpAnswerInfo QueryHttpAnswer(IBinding* binding) {
    HttpAnswerInfo answer;
    ComPtr<IWinInetHttpInfo> info;
    if (!binding || FAILED(binding->QueryInterface(IID_IWinInetHttpInfo, reinterpret_cast<void**>(info.Put()))) ||
        !info) {
        return answer;
    }
    DWORD status = 0;
    DWORD size = sizeof(status);
    if (info->QueryInfo(HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr, nullptr) == S_OK) {
        answer.status = status;
    }
    // This interface answers in 8-bit text.
    char length[32] = {};
    size = sizeof(length) - 1;
    if (info->QueryInfo(HTTP_QUERY_CONTENT_LENGTH, length, &size, nullptr, nullptr) == S_OK) {
        char* end = nullptr;
        const unsigned long long value = strtoull(length, &end, 10);
        if (end != length && *end == '\0') {
            answer.haveLength = true;
            answer.length = value;
        }
    }
    return answer;
}
