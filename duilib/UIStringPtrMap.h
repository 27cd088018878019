// CStdStringPtrMap: a hash map from wide-string key to an untyped pointer. Free of Windows headers.
// The map keeps its own copy of every key; it never owns, frees or touches the values.
#pragma once

#include "duilib/UIString.h"

#include <vector>

class CStdStringPtrMap {
public:
    explicit CStdStringPtrMap(int nSize = 83);
    ~CStdStringPtrMap();
    CStdStringPtrMap(const CStdStringPtrMap&) = delete;
    CStdStringPtrMap& operator=(const CStdStringPtrMap&) = delete;

    // The value stored under exactly `key` (case-sensitive), or null. With `optimize` a hit
    // moves to the front of its bucket so that repeated look-ups of the same key are cheap.
    void* Find(const wchar_t* key, bool optimize = true) const;
    // Adds the key; refuses (returns false) a key that is already present or a null key.
    bool Insert(const wchar_t* key, void* data);
    // Stores `data` under the key whether or not it is present; returns the value it replaced.
    void* Set(const wchar_t* key, void* data);
    // Removes the key; false when absent.
    bool Remove(const wchar_t* key);
    void RemoveAll();

    int GetSize() const { return m_count; }
    // The key of the index-th entry (0 .. GetSize()-1, in bucket order), or null outside.
    const wchar_t* GetAt(int index) const;
    const wchar_t* operator[](int index) const { return GetAt(index); }

private:
    struct Item {
        CDuiString key;
        void* data;
        Item* next;
    };
    Item** Slot(const wchar_t* key) const;

    // Owned: every Item of every bucket.
    mutable std::vector<Item*> m_buckets;
    int m_count = 0;
};
