// CKuku: the configuration store, a flat table from key to text value read from config.xml
// (the skin's copy, or the server's copy over HTTP).
#pragma once

#include "core/DownloadListener.h"
#include "duilib/UIString.h"
#include "duilib/UIStringPtrMap.h"

#include <string>

class CKuku : public IDownHandler {
public:
    // The largest document LoadUrl accepts; a larger one adds nothing.
    static constexpr size_t kMaxDocumentBytes = 1024 * 1024;
    // The longest LoadUrl keeps its caller waiting, whatever the server does (refuses, stays
    // silent, trickles): start-up goes on within this, as when the server cannot be reached.
    static constexpr DWORD kLoadUrlTimeoutMs = 8000;

    CKuku();
    ~CKuku();
    CKuku(const CKuku&) = delete;
    CKuku& operator=(const CKuku&) = delete;

    // The process-wide store, created on first use and never destroyed.
    static CKuku* GetInstance();

    // The value stored under exactly `key`, or "" when absent (never null).
    const wchar_t* Get(const wchar_t* key) const;
    // Stores a copy of `value` under `key` unless the key is already present (the first value wins).
    void Add(const wchar_t* key, const wchar_t* value);

    // Adds the entries of a document of the registered skin. A missing or damaged document adds nothing.
    void LoadFile(const wchar_t* name);
    // Downloads the document at `url` synchronously and adds its entries. A failed download, a
    // damaged document, one over kMaxDocumentBytes or one not complete within kLoadUrlTimeoutMs
    // adds nothing.
    void LoadUrl(const wchar_t* url);
    // The download itself, without a time limit of its own: LoadUrl runs it on a worker thread
    // against a store of that thread's, so that a server that never ends cannot hold the caller.
    void LoadUrlUnbounded(const wchar_t* url, ULONGLONG readDeadline);

    // Appends up to `size` bytes read from `medium`'s stream to the document being downloaded.
    // Takes bytes only while LoadUrl reads the downloaded stream.
    void OnDownloadData(STGMEDIUM* medium, DWORD size, DWORD flags) override;
    // Keep the binding so that the HTTP status of the answer can be asked for at its end.
    void OnDownloadStart(DWORD reserved, IBinding* binding) override;
    void OnDownloadStop(HRESULT result, LPCWSTR error) override;

    // Text of the last downloaded document, decoded from UTF-8.
    const CDuiString& GetText() const { return m_strText; }

private:
    // Adds every direct child of the root as (name, text). Returns false when the document is damaged.
    bool AddEntries(class CMarkup& markup);
    // Adds every entry of `other` (first value wins, as with Add) and takes its document text.
    void TakeFrom(const CKuku& other);

    CStdStringPtrMap m_mapValues;  // key -> CDuiString*, each value owned by this store
    CDuiString m_strText;          // decoded text of the document LoadUrl fetched
    std::string m_downloaded;      // raw bytes of the download in progress
    bool m_bCollecting = false;    // LoadUrl is reading the downloaded stream
    bool m_bTooLarge = false;      // the download in progress went over kMaxDocumentBytes
    bool m_bRefused = false;       // the server answered with an HTTP error, or the binding failed
    bool m_bHaveLength = false;      // the server announced the document's length...
    ULONGLONG m_ullLength = 0;       // ...which is this many bytes
    IBinding* m_pBinding = nullptr;  // counted reference while a download runs
};

// The process-wide store's value of `key`: "" when absent (never null).
inline const wchar_t* ConfigValue(const wchar_t* key) { return CKuku::GetInstance()->Get(key); }
