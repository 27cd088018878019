#include "update/UpdateDownload.h"

#include "update/InstallerStart.h"

#include <shellapi.h>
#include <wininet.h>

#include <cstdlib>

int UpdateProgressPercent(ULONG done, ULONG total) {
    if (total == 0) return 0;
    if (done >= total) return 100;
    return static_cast<int>(static_cast<float>(done) * 100.0f / static_cast<float>(total));
}

CUpdateDownload::~CUpdateDownload() {
    Cancel();
    if (m_hThread) WaitForSingleObject(m_hThread.Get(), INFINITE);
}

bool CUpdateDownload::Start(HWND owner, const wchar_t* url, const wchar_t* failureText,
                            IDownHandler* progress) {
    if (m_hThread) return false;
    m_hOwner = owner;
    m_strUrl = url ? url : L"";
    m_strFailureText = failureText ? failureText : L"";
    m_pProgress = progress;
    m_hThread.Reset(CreateThread(nullptr, 0, DownloadThreadProc, this, 0, nullptr));
    return static_cast<bool>(m_hThread);
}

void CUpdateDownload::Cancel() {
    std::lock_guard<std::mutex> lock(m_gate);
    m_bCancelled = true;
}

bool CUpdateDownload::IsCancelled() const {
    std::lock_guard<std::mutex> lock(m_gate);
    return m_bCancelled;
}

bool CUpdateDownload::WaitForEnd(DWORD timeoutMs) const {
    return !m_hThread || WaitForSingleObject(m_hThread.Get(), timeoutMs) == WAIT_OBJECT_0;
}

void CUpdateDownload::OnDownloadProgress(ULONG progress, ULONG total) {
    // Under the gate, so that no control is touched once the window has been closed.
    std::lock_guard<std::mutex> lock(m_gate);
    if (!m_bCancelled && m_pProgress) m_pProgress->OnDownloadProgress(progress, total);
}

void CUpdateDownload::OnDownloadStart(DWORD, IBinding* binding) {
    m_binding.Reset();
    if (binding) {
        binding->AddRef();
        *m_binding.Put() = binding;
    }
}

// The URL moniker can report success for an error page or for a connection that broke off
// halfway; the HTTP status and the announced length tell those apart.
void CUpdateDownload::OnDownloadStop(HRESULT, LPCWSTR) {
    m_dwHttpStatus = 0;
    m_bHaveLength = false;
    ComPtr<IWinInetHttpInfo> info;
    if (m_binding &&
        SUCCEEDED(m_binding->QueryInterface(IID_IWinInetHttpInfo, reinterpret_cast<void**>(info.Put()))) &&
        info) {
        DWORD status = 0;
        DWORD size = sizeof(status);
        if (info->QueryInfo(HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr,
                            nullptr) == S_OK) {
            m_dwHttpStatus = status;
        }
        // This interface answers in 8-bit text.
        char length[32] = {};
        size = sizeof(length) - 1;
        if (info->QueryInfo(HTTP_QUERY_CONTENT_LENGTH, length, &size, nullptr, nullptr) == S_OK) {
            char* end = nullptr;
            const unsigned long long value = strtoull(length, &end, 10);
            if (end != length && *end == '\0') {
                m_bHaveLength = true;
                m_ullLength = value;
            }
        }
    }
    m_binding.Reset();
}

bool CUpdateDownload::IsComplete(HRESULT result, const wchar_t* path) const {
    if (result != S_OK || !*path) return false;
    if (m_dwHttpStatus != 0 && (m_dwHttpStatus < 200 || m_dwHttpStatus > 299)) return false;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(path, GetFileExInfoStandard, &data)) return false;
    const ULONGLONG size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return m_bHaveLength ? size == m_ullLength : size > 0;
}

DWORD WINAPI CUpdateDownload::DownloadThreadProc(LPVOID param) {
    // The URL moniker and the shell's handlers are COM objects; this thread gets its own apartment.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    static_cast<CUpdateDownload*>(param)->Run();
    if (SUCCEEDED(com)) CoUninitialize();
    return 0;
}

void CUpdateDownload::Run() {
    COpenUrlListener listener(this);
    wchar_t cachePath[MAX_PATH] = {};
    const HRESULT result =
        URLDownloadToCacheFileW(nullptr, m_strUrl.c_str(), cachePath, MAX_PATH, 0, &listener);
    cachePath[MAX_PATH - 1] = L'\0';
    const bool complete = IsComplete(result, cachePath);

    if (complete) {
        std::lock_guard<std::mutex> lock(m_gate);
        if (m_bCancelled) return;
        StartInstaller(cachePath);
        PostMessageW(m_hOwner, WM_CLOSE, 1, 0);
        return;
    }

    // The box waits for the user, so the gate is not held across it; the window is disabled
    // while its box is up, and the gate is asked again before each later step.
    if (IsCancelled()) return;
    MessageBoxW(m_hOwner, m_strFailureText.c_str(), L"ERROR", MB_OK);
    if (IsCancelled()) return;
    ShellExecuteW(m_hOwner, L"OPEN", m_strUrl.c_str(), nullptr, nullptr, SW_SHOW);
    std::lock_guard<std::mutex> lock(m_gate);
    if (!m_bCancelled) PostMessageW(m_hOwner, WM_CLOSE, 1, 0);
}
