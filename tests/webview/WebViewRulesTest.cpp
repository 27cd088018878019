#include "webview/WebViewRules.h"

#include <gtest/gtest.h>

#include <string>

TEST(UrlScheme, IsTheLowerCasedTextBeforeTheFirstColon) {
    EXPECT_EQ(UrlScheme(L"file:///C:/page.html"), "file");
    EXPECT_EQ(UrlScheme(L"FILE:///C:/page.html"), "file");
    EXPECT_EQ(UrlScheme(L"HtTpS://example.com/a:b"), "https");
    EXPECT_EQ(UrlScheme(L"about:blank"), "about");
    EXPECT_EQ(UrlScheme(L"svn+ssh.x-y:z"), "svn+ssh.x-y");
    EXPECT_EQ(UrlScheme(L"c:\\page.html"), "c");
    // Empty without a colon, or with anything but ASCII letters, '+', '-', '.' before it.
    EXPECT_EQ(UrlScheme(L""), "");
    EXPECT_EQ(UrlScheme(nullptr), "");
    EXPECT_EQ(UrlScheme(L"example.com/page"), "");
    EXPECT_EQ(UrlScheme(L"h2:x"), "");             // digits do not count
    EXPECT_EQ(UrlScheme(L" http://x"), "");        // nor does white space
    EXPECT_EQ(UrlScheme(L"ht\x00e9tp://x"), "");   // nor a letter outside ASCII
    EXPECT_EQ(UrlScheme(L":x"), "");
}

TEST(UrlScheme, DecidesFileAndWebAddresses) {
    EXPECT_TRUE(IsFileUrl(L"File:///C:/page.html"));
    EXPECT_FALSE(IsFileUrl(L"c:\\page.html"));
    EXPECT_FALSE(IsFileUrl(L"files:///x"));
    EXPECT_TRUE(IsWebUrl(L"HTTP://game.example/play?id=1"));
    EXPECT_TRUE(IsWebUrl(L"https://game.example/"));
    EXPECT_FALSE(IsWebUrl(L"javascript:alert(1)"));
    EXPECT_FALSE(IsWebUrl(L"file:///C:/x.html"));
    EXPECT_FALSE(IsWebUrl(L"data:text/html,x"));
    EXPECT_FALSE(IsWebUrl(L"httpx://x"));
    EXPECT_FALSE(IsWebUrl(L""));
}

TEST(StoreBoundedUrl, StoresUpToCapacityAndRefusesLongerText) {
    wchar_t buffer[kWebUrlCapacity];
    buffer[kWebUrlCapacity - 1] = L'#';
    std::wstring fits(kWebUrlCapacity - 1, L'a');
    ASSERT_TRUE(StoreBoundedUrl(buffer, fits.c_str()));
    EXPECT_EQ(std::wstring(buffer), fits);
    EXPECT_EQ(buffer[kWebUrlCapacity - 1], L'\0');

    ASSERT_TRUE(StoreBoundedUrl(buffer, L"about:blank"));
    std::wstring tooLong(kWebUrlCapacity, L'b');
    EXPECT_FALSE(StoreBoundedUrl(buffer, tooLong.c_str()));
    EXPECT_EQ(std::wstring(buffer), L"about:blank");

    EXPECT_TRUE(StoreBoundedUrl(buffer, nullptr));
    EXPECT_EQ(std::wstring(buffer), L"");
}
