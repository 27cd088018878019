#include "duilib/UIString.h"

#include <cwchar>
#include <cwctype>

namespace {

const wchar_t* OrEmpty(const wchar_t* text) { return text ? text : L""; }

wchar_t FoldLower(wchar_t ch) { return static_cast<wchar_t>(std::towlower(static_cast<wint_t>(ch))); }

}  // namespace

CDuiString::CDuiString(const wchar_t* text, int length) { Assign(text, length); }

CDuiString::CDuiString(wchar_t ch) : m_str(1, ch) {}

CDuiString& CDuiString::operator=(const wchar_t* text) {
    Assign(text);
    return *this;
}

CDuiString& CDuiString::operator=(wchar_t ch) {
    m_str.assign(1, ch);
    return *this;
}

void CDuiString::Assign(const wchar_t* text, int length) {
    if (!text || length == 0) {
        m_str.clear();
        return;
    }
    if (length < 0) {
        m_str.assign(text);
        return;
    }
    m_str.assign(text, std::wcslen(text) < static_cast<size_t>(length) ? std::wcslen(text)
                                                                        : static_cast<size_t>(length));
}

void CDuiString::Append(const wchar_t* text) { m_str.append(OrEmpty(text)); }

CDuiString& CDuiString::operator+=(const CDuiString& other) {
    m_str += other.m_str;
    return *this;
}

CDuiString& CDuiString::operator+=(const wchar_t* text) {
    Append(text);
    return *this;
}

CDuiString& CDuiString::operator+=(wchar_t ch) {
    m_str.push_back(ch);
    return *this;
}

CDuiString CDuiString::operator+(const CDuiString& other) const {
    CDuiString result(*this);
    result += other;
    return result;
}

CDuiString CDuiString::operator+(const wchar_t* text) const {
    CDuiString result(*this);
    result += text;
    return result;
}

CDuiString operator+(const wchar_t* left, const CDuiString& right) {
    CDuiString result(left);
    result += right;
    return result;
}

int CDuiString::Compare(const wchar_t* text) const { return std::wcscmp(m_str.c_str(), OrEmpty(text)); }

int CDuiString::CompareNoCase(const wchar_t* text) const {
    const wchar_t* a = m_str.c_str();
    const wchar_t* b = OrEmpty(text);
    for (;; ++a, ++b) {
        const wchar_t ca = FoldLower(*a);
        const wchar_t cb = FoldLower(*b);
        if (ca != cb) return ca < cb ? -1 : 1;
        if (ca == 0) return 0;
    }
}

int CDuiString::Find(const wchar_t* sub, int start) const {
    if (!sub || !*sub || start < 0 || start > GetLength()) return -1;
    const size_t pos = m_str.find(sub, static_cast<size_t>(start));
    return pos == std::wstring::npos ? -1 : static_cast<int>(pos);
}

int CDuiString::Find(wchar_t ch, int start) const {
    if (start < 0 || start > GetLength()) return -1;
    const size_t pos = m_str.find(ch, static_cast<size_t>(start));
    return pos == std::wstring::npos ? -1 : static_cast<int>(pos);
}

int CDuiString::Replace(const wchar_t* from, const wchar_t* to) {
    if (!from || !*from) return 0;
    const std::wstring needle(from);
    const std::wstring replacement(OrEmpty(to));
    std::wstring result;
    int count = 0;
    size_t pos = 0;
    for (;;) {
        const size_t hit = m_str.find(needle, pos);
        if (hit == std::wstring::npos) break;
        result.append(m_str, pos, hit - pos);
        result += replacement;
        pos = hit + needle.size();
        ++count;
    }
    if (count == 0) return 0;
    result.append(m_str, pos, std::wstring::npos);
    m_str.swap(result);
    return count;
}

void CDuiString::MakeLower() {
    for (wchar_t& ch : m_str) ch = FoldLower(ch);
}

void CDuiString::MakeUpper() {
    for (wchar_t& ch : m_str) ch = static_cast<wchar_t>(std::towupper(static_cast<wint_t>(ch)));
}

CDuiString CDuiString::Left(int count) const { return Mid(0, count); }

CDuiString CDuiString::Mid(int pos, int count) const {
    const int length = GetLength();
    if (pos < 0) pos = 0;
    if (pos >= length) return CDuiString();
    if (count < 0 || count > length - pos) count = length - pos;
    return CDuiString(m_str.c_str() + pos, count);
}

CDuiString CDuiString::Right(int count) const {
    const int length = GetLength();
    if (count <= 0) return CDuiString();
    if (count > length) count = length;
    return Mid(length - count, count);
}

wchar_t CDuiString::GetAt(int index) const {
    return index >= 0 && index < GetLength() ? m_str[static_cast<size_t>(index)] : L'\0';
}
