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

TEST(CursorIdForType, FollowsTheCursorTable) {
    const struct {
        int type;
        LPCWSTR id;
    } table[] = {
        {0, IDC_ARROW},     {1, IDC_CROSS},     {2, IDC_HAND},       {3, IDC_IBEAM},    {4, IDC_WAIT},
        {5, IDC_HELP},      {6, IDC_SIZEWE},    {13, IDC_SIZEWE},    {15, IDC_SIZEWE},  {7, IDC_SIZENS},
        {10, IDC_SIZENS},   {14, IDC_SIZENS},   {8, IDC_SIZENESW},   {12, IDC_SIZENESW}, {9, IDC_SIZENWSE},
        {11, IDC_SIZENWSE}, {16, IDC_SIZEALL},  {17, IDC_SIZEALL},   {18, IDC_ARROW},   {19, IDC_ARROW},
        {20, IDC_ARROW},    {30, IDC_ARROW},    {-1, IDC_ARROW},
    };
    for (const auto& row : table) EXPECT_EQ(CursorIdForType(row.type), row.id) << "type " << row.type;
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
