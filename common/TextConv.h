// Text conversion: wide to narrow for the web engine, which takes narrow text, and bytes to hex.
// None of these report failure: on any failure the result is empty.
#pragma once

#include <windows.h>

#include <string>

// Zero-terminated wide text in the system ANSI code page; null gives "".
std::string ToAnsi(const wchar_t* text);

// Zero-terminated wide text in UTF-8; null gives "".
std::string ToUtf8(const wchar_t* text);

// Exactly text.size() units converted to `codePage` (no terminator). The result is
// empty unless the conversion writes exactly the size it announced.
std::string WideToMultiByte(std::wstring text, UINT codePage);

// `size` bytes as lower-case hex digits, two a byte.
std::string ToLowerHex(const unsigned char* bytes, size_t size);

// UTF-8 bytes to wide text; invalid sequences become U+FFFD. Not bounded by a terminator.
std::wstring Utf8ToWide(const char* bytes, size_t size);
inline std::wstring Utf8ToWide(const std::string& utf8) { return Utf8ToWide(utf8.data(), utf8.size()); }
