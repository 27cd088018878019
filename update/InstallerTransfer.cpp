#include "update/InstallerTransfer.h"

#include <utility>

namespace {

// The listener, which also tells the transfer about every byte: the progress reports it forwards
// leave out those without a known total (a chunked answer), and a stall is a stall either way.
class CWatchedListener : public COpenUrlListener {
public:
    explicit CWatchedListener(CInstallerTransfer* transfer) : COpenUrlListener(transfer), m_pTransfer(transfer) {}

    STDMETHODIMP OnProgress(ULONG progress, ULONG total, ULONG statusCode, LPCWSTR statusText) override {
        m_pTransfer->NoteActivity();
        return COpenUrlListener::OnProgress(progress, total, statusCode, statusText);
    }
    STDMETHODIMP OnDataAvailable(DWORD flags, DWORD size, FORMATETC* format, STGMEDIUM* medium) override {
        m_pTransfer->NoteActivity();
        return COpenUrlListener::OnDataAvailable(flags, size, format, medium);
    }

private:
    CInstallerTransfer* m_pTransfer;  // not owned: outlives the call this listener serves
};

}  // namespace

CInstallerTransfer::CInstallerTransfer(std::wstring url, IDownHandler* forward)
    : m_url(std::move(url)), m_pForward(forward), m_lastActivity(GetTickCount64()) {}

bool CInstallerTransfer::Start(const std::shared_ptr<CInstallerTransfer>& transfer, UniqueHandle& thread) {
    auto* param = new std::shared_ptr<CInstallerTransfer>(transfer);
    thread.Reset(CreateThread(nullptr, 0, ThreadProc, param, 0, nullptr));
    if (!thread) delete param;
    return static_cast<bool>(thread);
}

DWORD WINAPI CInstallerTransfer::ThreadProc(LPVOID param) {
    std::unique_ptr<std::shared_ptr<CInstallerTransfer>> self(static_cast<std::shared_ptr<CInstallerTransfer>*>(param));
    // The URL moniker is a COM object; this thread gets its own apartment.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    (*self)->Run();
    if (SUCCEEDED(com)) CoUninitialize();
    return 0;
}

void CInstallerTransfer::Run() {
    CWatchedListener listener(this);
    m_result = URLDownloadToCacheFileW(nullptr, m_url.c_str(), m_path, MAX_PATH, 0, &listener);
    m_path[MAX_PATH - 1] = L'\0';
}

bool CInstallerTransfer::WaitWhileProgressing(HANDLE thread, DWORD stallLimitMs) {
    for (;;) {
        const ULONGLONG idle = GetTickCount64() - m_lastActivity.load();
        if (idle >= stallLimitMs) break;
        if (WaitForSingleObject(thread, static_cast<DWORD>(stallLimitMs - idle)) == WAIT_OBJECT_0) return true;
    }
    if (WaitForSingleObject(thread, 0) == WAIT_OBJECT_0) return true;
    std::lock_guard<std::mutex> lock(m_forwardLock);
    m_pForward = nullptr;
    return false;
}

void CInstallerTransfer::OnDownloadProgress(ULONG progress, ULONG total) {
    std::lock_guard<std::mutex> lock(m_forwardLock);
    if (m_pForward) m_pForward->OnDownloadProgress(progress, total);
}

void CInstallerTransfer::OnDownloadStart(DWORD, IBinding* binding) {
    m_binding.Reset();
    if (binding) {
        binding->AddRef();
        *m_binding.Put() = binding;
    }
}

void CInstallerTransfer::OnDownloadStop(HRESULT, LPCWSTR) {
    m_answer = QueryHttpAnswer(m_binding.Get());
    m_binding.Reset();
}

bool CInstallerTransfer::IsComplete() const {
    if (m_result != S_OK || !*m_path) return false;
    if (m_answer.status != 0 && (m_answer.status < 200 || m_answer.status > 299)) return false;
    WIN32_FILE_ATTRIBUTE_DATA data{};
    if (!GetFileAttributesExW(m_path, GetFileExInfoStandard, &data)) return false;
    const ULONGLONG size = (static_cast<ULONGLONG>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
    return m_answer.haveLength ? size == m_answer.length : size > 0;
}
