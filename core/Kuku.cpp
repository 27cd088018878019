#include "core/Kuku.h"

#include "common/Handles.h"
#include "common/TextConv.h"
#include "duilib/UIMarkup.h"

#include <memory>
#include <vector>

CKuku::CKuku() : m_mapValues(83) {}

CKuku::~CKuku() {
    for (int i = 0; i < m_mapValues.GetSize(); ++i) {
        delete static_cast<CDuiString*>(m_mapValues.Find(m_mapValues.GetAt(i), false));
    }
}

CKuku* CKuku::GetInstance() {
    static CKuku* instance = new CKuku();
    return instance;
}

const wchar_t* CKuku::Get(const wchar_t* key) const {
    if (!key) return L"";
    const auto* value = static_cast<const CDuiString*>(m_mapValues.Find(key, true));
    return value ? value->GetData() : L"";
}

void CKuku::Add(const wchar_t* key, const wchar_t* value) {
    if (!key) return;
    auto* copy = new CDuiString(value);
    if (!m_mapValues.Insert(key, copy)) delete copy;
}

bool CKuku::AddEntries(CMarkup& markup) {
    if (!markup.IsValid()) return false;
    for (CMarkupNode node = markup.GetRoot().GetChild(); node.IsValid(); node = node.GetSibling()) {
        Add(node.GetName(), node.GetValue());
    }
    return true;
}

void CKuku::LoadFile(const wchar_t* name) {
    CMarkup markup;
    if (markup.LoadFromFile(name, XMLFILE_ENCODING_UTF8)) AddEntries(markup);
}

namespace {

// One bounded fetch, shared by the caller and the worker: a caller that stops waiting leaves the
// worker with everything it still writes to.
struct FetchJob {
    std::wstring url;
    ULONGLONG deadline = 0;
    CKuku store;
};

DWORD WINAPI FetchThreadProc(LPVOID param) {
    std::unique_ptr<std::shared_ptr<FetchJob>> job(static_cast<std::shared_ptr<FetchJob>*>(param));
    // The URL moniker is a COM object; this thread gets an apartment of its own.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    (*job)->store.LoadUrlUnbounded((*job)->url.c_str(), (*job)->deadline);
    if (SUCCEEDED(com)) CoUninitialize();
    return 0;
}

}  // namespace

// A blocking URL-moniker call gives no way to bound it from outside: a silent server may leave it
// without a single callback to refuse. So the call runs on a worker thread, the caller waits for
// it with a deadline and, when that passes, leaves it behind; the worker owns what it writes to
// (its own store) and ends whenever the connection does, or with the process.
void CKuku::LoadUrl(const wchar_t* url) {
    m_strText.Empty();
    if (!url) return;
    auto job = std::make_shared<FetchJob>();
    job->url = url;
    job->deadline = GetTickCount64() + kLoadUrlTimeoutMs;
    auto* param = new std::shared_ptr<FetchJob>(job);
    UniqueHandle worker(CreateThread(nullptr, 0, FetchThreadProc, param, 0, nullptr));
    if (!worker) {
        delete param;
        return;
    }
    if (WaitForSingleObject(worker.Get(), kLoadUrlTimeoutMs) != WAIT_OBJECT_0) return;
    TakeFrom(job->store);
}

void CKuku::TakeFrom(const CKuku& other) {
    for (int i = 0; i < other.m_mapValues.GetSize(); ++i) {
        const wchar_t* key = other.m_mapValues.GetAt(i);
        Add(key, other.Get(key));
    }
    m_strText = other.m_strText;
}

void CKuku::LoadUrlUnbounded(const wchar_t* url, ULONGLONG readDeadline) {
    m_strText.Empty();
    m_downloaded.clear();
    m_bTooLarge = false;
    m_bRefused = false;
    m_bHaveLength = false;
    if (!url) return;

    COpenUrlListener listener(this);
    ComPtr<IStream> stream;
    const HRESULT hr = URLOpenBlockingStreamW(nullptr, url, stream.Put(), 0, &listener);
    if (m_pBinding) {
        m_pBinding->Release();
        m_pBinding = nullptr;
    }
    // The moniker hands over an error page's body as data: it must not be taken for a document.
    if (hr != S_OK || !stream || m_bRefused) return;

    // Feed the stream through OnDownloadData until it is drained, fails or the document is too large.
    constexpr DWORD kReadSize = 64 * 1024;
    STGMEDIUM medium{};
    medium.tymed = TYMED_ISTREAM;
    medium.pstm = stream.Get();
    m_bCollecting = true;
    for (;;) {
        const size_t before = m_downloaded.size();
        OnDownloadData(&medium, kReadSize, BSCF_INTERMEDIATEDATANOTIFICATION);
        if (m_bTooLarge || m_downloaded.size() == before || GetTickCount64() > readDeadline) break;
    }
    m_bCollecting = false;
    // A document cut off by the deadline, or by a connection that broke before the announced
    // length, is not the server's document even when what arrived happens to parse.
    if (m_bTooLarge || GetTickCount64() > readDeadline || (m_bHaveLength && m_downloaded.size() != m_ullLength)) {
        m_downloaded.clear();
        return;
    }

    // Decoded once for the whole document: a character may straddle two reads.
    std::wstring text = Utf8ToWide(m_downloaded.data(), m_downloaded.size());
    m_downloaded.clear();
    m_downloaded.shrink_to_fit();
    const size_t start = (!text.empty() && text[0] == 0xFEFF) ? 1 : 0;
    m_strText = CDuiString(text.c_str() + start);

    CMarkup markup;
    if (markup.Load(m_strText.GetData())) AddEntries(markup);
}

void CKuku::OnDownloadData(STGMEDIUM* medium, DWORD size, DWORD) {
    if (!m_bCollecting || m_bTooLarge || !medium || medium->tymed != TYMED_ISTREAM || !medium->pstm) return;
    // One byte past the limit is enough to know the document is too large.
    const size_t room = kMaxDocumentBytes + 1 - m_downloaded.size();
    const ULONG wanted = static_cast<ULONG>(size < room ? size : room);
    if (wanted == 0) return;
    std::vector<char> buffer(wanted);
    ULONG read = 0;
    const HRESULT hr = medium->pstm->Read(buffer.data(), wanted, &read);
    if (FAILED(hr) || read == 0) return;
    m_downloaded.append(buffer.data(), read > wanted ? wanted : read);
    if (m_downloaded.size() > kMaxDocumentBytes) m_bTooLarge = true;
}

void CKuku::OnDownloadStart(DWORD, IBinding* binding) {
    if (m_pBinding) m_pBinding->Release();
    m_pBinding = binding;
    if (m_pBinding) m_pBinding->AddRef();
}

void CKuku::OnDownloadStop(HRESULT result, LPCWSTR) {
    if (FAILED(result)) m_bRefused = true;
    const HttpAnswerInfo answer = QueryHttpAnswer(m_pBinding);
    if (answer.status != 0 && (answer.status < 200 || answer.status > 299)) m_bRefused = true;
    m_bHaveLength = answer.haveLength;
    m_ullLength = answer.length;
}
