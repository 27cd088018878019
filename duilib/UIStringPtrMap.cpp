#include "duilib/UIStringPtrMap.h"

namespace {

size_t HashKey(const wchar_t* key) {
    size_t hash = 5381;
    for (; *key; ++key) hash = hash * 33 + static_cast<size_t>(*key);
    return hash;
}

}  // namespace

CStdStringPtrMap::CStdStringPtrMap(int nSize) : m_buckets(nSize > 0 ? static_cast<size_t>(nSize) : 1, nullptr) {}

CStdStringPtrMap::~CStdStringPtrMap() { RemoveAll(); }

// The link that points at the item holding `key`, or the bucket's final null link.
CStdStringPtrMap::Item** CStdStringPtrMap::Slot(const wchar_t* key) const {
    Item** link = &m_buckets[HashKey(key) % m_buckets.size()];
    while (*link && (*link)->key != key) link = &(*link)->next;
    return link;
}

void* CStdStringPtrMap::Find(const wchar_t* key, bool optimize) const {
    if (!key) return nullptr;
    Item** link = Slot(key);
    Item* item = *link;
    if (!item) return nullptr;
    Item** head = &m_buckets[HashKey(key) % m_buckets.size()];
    if (optimize && item != *head) {
        *link = item->next;
        item->next = *head;
        *head = item;
    }
    return item->data;
}

bool CStdStringPtrMap::Insert(const wchar_t* key, void* data) {
    if (!key) return false;
    Item** link = Slot(key);
    if (*link) return false;
    *link = new Item{CDuiString(key), data, nullptr};
    ++m_count;
    return true;
}

void* CStdStringPtrMap::Set(const wchar_t* key, void* data) {
    if (!key) return nullptr;
    Item** link = Slot(key);
    if (!*link) {
        *link = new Item{CDuiString(key), data, nullptr};
        ++m_count;
        return nullptr;
    }
    void* old = (*link)->data;
    (*link)->data = data;
    return old;
}

bool CStdStringPtrMap::Remove(const wchar_t* key) {
    if (!key) return false;
    Item** link = Slot(key);
    Item* item = *link;
    if (!item) return false;
    *link = item->next;
    delete item;
    --m_count;
    return true;
}

void CStdStringPtrMap::RemoveAll() {
    for (Item*& head : m_buckets) {
        while (head) {
            Item* next = head->next;
            delete head;
            head = next;
        }
    }
    m_count = 0;
}

const wchar_t* CStdStringPtrMap::GetAt(int index) const {
    if (index < 0 || index >= m_count) return nullptr;
    for (Item* head : m_buckets) {
        for (Item* item = head; item; item = item->next) {
            if (index-- == 0) return item->key.GetData();
        }
    }
    return nullptr;
}
