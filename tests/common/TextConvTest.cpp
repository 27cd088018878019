#include "common/TextConv.h"

#include <gtest/gtest.h>

TEST(TextConv, NullAndEmptyGiveEmpty) {
    EXPECT_EQ(ToAnsi(nullptr), "");
    EXPECT_EQ(ToUtf8(nullptr), "");
    EXPECT_EQ(ToAnsi(L""), "");
    EXPECT_EQ(ToUtf8(L""), "");
    EXPECT_EQ(WideToMultiByte(std::wstring(), CP_ACP), "");
    EXPECT_EQ(Utf8ToWide(nullptr, 0), L"");
}

TEST(TextConv, Utf8CarriesNonAsciiText) {
    // The shipped exit question is Vietnamese: every letter must survive.
    const wchar_t* question = L"B\u1ea1n mu\u1ed1n tho\u00e1t kh\u00f4ng?";
    const std::string utf8 = ToUtf8(question);
    EXPECT_EQ(utf8, "B\xe1\xba\xa1n mu\xe1\xbb\x91n tho\xc3\xa1t kh\xc3\xb4ng?");
    EXPECT_EQ(Utf8ToWide(utf8.data(), utf8.size()), question);
    EXPECT_EQ(WideToMultiByte(question, CP_UTF8), utf8);
}

TEST(TextConv, ToAnsiStopsAtTheTerminator) {
    const wchar_t text[] = L"ab\0cd";
    EXPECT_EQ(ToAnsi(text), "ab");
    EXPECT_EQ(ToAnsi(L"vi"), "vi");
    if (GetACP() == 1252) {
        EXPECT_EQ(ToAnsi(L"caf\u00e9"), "caf\xe9");
    }
}

TEST(TextConv, WideToMultiByteConvertsExactlyTheLength) {
    // Embedded zeros are part of the string; no terminator is added.
    const std::wstring withZero(L"a\0b", 3);
    const std::string converted = WideToMultiByte(withZero, CP_ACP);
    ASSERT_EQ(converted.size(), 3u);
    EXPECT_EQ(converted, std::string("a\0b", 3));
    EXPECT_EQ(WideToMultiByte(L"https://example.org/x", CP_ACP), "https://example.org/x");
}

TEST(TextConv, InvalidUtf8BecomesReplacementCharacters) {
    const char bytes[] = {'o', 'k', '\xff', '\xc3'};
    const std::wstring wide = Utf8ToWide(bytes, sizeof bytes);
    ASSERT_GE(wide.size(), 3u);
    EXPECT_EQ(wide.substr(0, 2), L"ok");
    EXPECT_EQ(wide[2], L'\xfffd');
}
