// CDuiString: the framework's wide (UTF-16 on Windows) string. Free of Windows headers.
#pragma once

#include <string>

class CDuiString {
public:
    CDuiString() = default;
    // `length` -1 takes the whole zero-terminated text; otherwise at most `length` units,
    // stopping early at a terminator. Null text gives the empty string.
    CDuiString(const wchar_t* text, int length = -1);
    explicit CDuiString(wchar_t ch);
    CDuiString(const CDuiString&) = default;
    CDuiString(CDuiString&&) noexcept = default;
    CDuiString& operator=(const CDuiString&) = default;
    CDuiString& operator=(CDuiString&&) noexcept = default;
    CDuiString& operator=(const wchar_t* text);
    CDuiString& operator=(wchar_t ch);

    operator const wchar_t*() const { return m_str.c_str(); }
    const wchar_t* GetData() const { return m_str.c_str(); }
    int GetLength() const { return static_cast<int>(m_str.size()); }
    bool IsEmpty() const { return m_str.empty(); }
    void Empty() { m_str.clear(); }

    void Append(const wchar_t* text);
    void Assign(const wchar_t* text, int length = -1);
    CDuiString& operator+=(const CDuiString& other);
    CDuiString& operator+=(const wchar_t* text);
    CDuiString& operator+=(wchar_t ch);
    CDuiString operator+(const CDuiString& other) const;
    CDuiString operator+(const wchar_t* text) const;

    bool operator==(const wchar_t* text) const { return Compare(text) == 0; }
    bool operator!=(const wchar_t* text) const { return Compare(text) != 0; }
    bool operator==(const CDuiString& other) const { return m_str == other.m_str; }
    bool operator!=(const CDuiString& other) const { return m_str != other.m_str; }

    // Unit-by-unit comparison; null compares as the empty string. <0, 0 or >0.
    int Compare(const wchar_t* text) const;
    // As Compare, with letters folded to lower case first.
    int CompareNoCase(const wchar_t* text) const;

    // Index of the first occurrence of `sub` at or after `start`, case-sensitive; -1 when
    // absent (also for an empty or null `sub` and a start outside the string).
    int Find(const wchar_t* sub, int start = 0) const;
    int Find(wchar_t ch, int start = 0) const;
    // Replaces every non-overlapping occurrence, left to right; returns how many.
    int Replace(const wchar_t* from, const wchar_t* to);

    void MakeLower();
    void MakeUpper();

    // Substrings; out-of-range counts and positions are clamped.
    CDuiString Left(int count) const;
    CDuiString Mid(int pos, int count = -1) const;
    CDuiString Right(int count) const;

    // The unit at `index`, or 0 outside the string.
    wchar_t GetAt(int index) const;
    wchar_t operator[](int index) const { return GetAt(index); }

    const std::wstring& Str() const { return m_str; }

private:
    std::wstring m_str;
};

CDuiString operator+(const wchar_t* left, const CDuiString& right);
