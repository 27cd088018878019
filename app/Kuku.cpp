#include "app/Kuku.h"

#include "common/Handles.h"
#include "common/TextConv.h"
#include "duilib/UIMarkup.h"

#include <wininet.h>

#include <new>
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
    auto* copy = new (std::nothrow) CDuiString(value);
    if (!copy) return;
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

void CKuku::LoadUrl(const wchar_t* url) {
    m_strText.Empty();
    m_downloaded.clear();
    m_bTooLarge = false;
    m_bRefused = false;
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
        if (m_bTooLarge || m_downloaded.size() == before) break;
    }
    m_bCollecting = false;
    if (m_bTooLarge) {
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
    if (!m_pBinding) return;
    ComPtr<IWinInetHttpInfo> http;
    if (FAILED(m_pBinding->QueryInterface(IID_IWinInetHttpInfo, reinterpret_cast<void**>(http.Put()))) || !http) return;
    DWORD status = 0;
    DWORD size = sizeof status;
    DWORD flags = 0;
    if (http->QueryInfo(HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, &flags, nullptr) == S_OK &&
        (status < 200 || status > 299)) {
        m_bRefused = true;
    }
}
