#include "common/UrlEscape.h"

#include <gtest/gtest.h>

TEST(UrlEscape, AsciiAddressesComeBackByteForByte) {
    std::wstring printable;
    for (wchar_t c = 0x20; c <= 0x7E; ++c) printable += c;
    EXPECT_EQ(EscapeNonAsciiInUrl(printable), printable);
    const std::wstring address = L"https://127.0.0.1:18480/client/qemox/Velmark/config.xml?ver2020111203#a b%41";
    EXPECT_EQ(EscapeNonAsciiInUrl(address), address);
    EXPECT_EQ(EscapeNonAsciiInUrl(L""), L"");
}

TEST(UrlEscape, OtherCharactersBecomeTheirUtf8Bytes) {
    EXPECT_EQ(EscapeNonAsciiInUrl(L"http://h/client/q\u1eb9mox/Vi\u1ec7t/update_1.exe"),
              L"http://h/client/q%E1%BA%B9mox/Vi%E1%BB%87t/update_1.exe");
    EXPECT_EQ(EscapeNonAsciiInUrl(L"/V\u00e9lmark\u00e9"), L"/V%C3%A9lmark%C3%A9");
    // A character outside the basic plane is one character of four bytes, not two of three.
    EXPECT_EQ(EscapeNonAsciiInUrl(L"/\xD83D\xDE00/"), L"/%F0%9F%98%80/");
    // ASCII control characters and DEL are not printable.
    EXPECT_EQ(EscapeNonAsciiInUrl(std::wstring(L"a\tb\x7F\nc\0d", 8)), L"a%09b%7F%0Ac%00d");
    EXPECT_EQ(EscapeNonAsciiInUrl(L"/\xD800x"), L"/%EF%BF%BDx");
    // Escaping what was escaped changes nothing.
    const std::wstring once = EscapeNonAsciiInUrl(L"/\u0110\u1ea1i");
    EXPECT_EQ(once, L"/%C4%90%E1%BA%A1i");
    EXPECT_EQ(EscapeNonAsciiInUrl(once), once);
}
