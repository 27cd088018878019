#include "duilib/UIString.h"
#include "duilib/UIStringPtrMap.h"

#include <gtest/gtest.h>

#include <string>

TEST(DuiString, ConstructionTakesWholeTextOrGivenLength) {
    EXPECT_STREQ(CDuiString(L"hello").GetData(), L"hello");
    EXPECT_STREQ(CDuiString(L"hello", 3).GetData(), L"hel");
    EXPECT_STREQ(CDuiString(L"hi", 10).GetData(), L"hi");  // stops at the terminator
    EXPECT_TRUE(CDuiString(nullptr).IsEmpty());
    EXPECT_EQ(CDuiString(L"hello", 0).GetLength(), 0);
    CDuiString s(L"abc");
    const wchar_t* raw = s;
    EXPECT_STREQ(raw, L"abc");
    s.Empty();
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_STREQ(s.GetData(), L"");
}

TEST(DuiString, ConcatenationAndComparison) {
    CDuiString s(L"ab");
    s += L"cd";
    s += L'e';
    s += CDuiString(L"f");
    s.Append(nullptr);
    s.Append(L"g");
    EXPECT_TRUE(s == L"abcdefg");
    EXPECT_TRUE(s != L"abcdef");
    EXPECT_STREQ((s + L"!").GetData(), L"abcdefg!");
    EXPECT_STREQ((L">" + s).GetData(), L">abcdefg");
    EXPECT_STREQ((CDuiString(L"x") + CDuiString(L"y")).GetData(), L"xy");
    EXPECT_LT(CDuiString(L"abc").Compare(L"abd"), 0);
    EXPECT_GT(CDuiString(L"b").Compare(L"a"), 0);
    EXPECT_EQ(CDuiString(L"").Compare(nullptr), 0);
    EXPECT_NE(CDuiString(L"Abc").Compare(L"abc"), 0);
    EXPECT_EQ(CDuiString(L"Abc").CompareNoCase(L"aBC"), 0);
    EXPECT_LT(CDuiString(L"abc").CompareNoCase(L"ABD"), 0);
    EXPECT_LT(CDuiString(L"ab").CompareNoCase(L"ABC"), 0);  // a proper prefix orders first
}

TEST(DuiString, FindIsCaseSensitiveAndNegativeWhenAbsent) {
    const CDuiString s(L"url?desktopType=1&desktopType=2");
    EXPECT_EQ(s.Find(L"desktopType"), 4);
    EXPECT_EQ(s.Find(L"desktopType", 5), 18);
    EXPECT_EQ(s.Find(L"DESKTOPTYPE"), -1);
    EXPECT_EQ(s.Find(L"missing"), -1);
    EXPECT_EQ(s.Find(L""), -1);
    EXPECT_EQ(s.Find(static_cast<const wchar_t*>(nullptr)), -1);
    EXPECT_EQ(s.Find(L"url", 100), -1);
    EXPECT_EQ(s.Find(L"url", -3), -1);
    EXPECT_EQ(s.Find(L'?'), 3);
}

TEST(DuiString, ReplaceChangesEveryOccurrenceAndCountsThem) {
    CDuiString s(L"orvelclient://a/orvelclient://b");
    EXPECT_EQ(s.Replace(L"orvelclient://", L""), 2);
    EXPECT_STREQ(s.GetData(), L"a/b");
    CDuiString t(L"aaaa");
    EXPECT_EQ(t.Replace(L"aa", L"a"), 2);  // non-overlapping, left to right; no re-scan
    EXPECT_STREQ(t.GetData(), L"aa");
    CDuiString u(L"ORVELCLIENT://x");
    EXPECT_EQ(u.Replace(L"orvelclient://", L""), 0);
    EXPECT_STREQ(u.GetData(), L"ORVELCLIENT://x");
    CDuiString v(L"a.b.c");
    EXPECT_EQ(v.Replace(L".", L"::"), 2);
    EXPECT_STREQ(v.GetData(), L"a::b::c");
    EXPECT_EQ(v.Replace(L"", L"x"), 0);
}

TEST(DuiString, CaseMappingAndSubstrings) {
    CDuiString s(L"MiXeD 12");
    s.MakeLower();
    EXPECT_STREQ(s.GetData(), L"mixed 12");
    s.MakeUpper();
    EXPECT_STREQ(s.GetData(), L"MIXED 12");
    const CDuiString t(L"abcdef");
    EXPECT_STREQ(t.Left(2).GetData(), L"ab");
    EXPECT_STREQ(t.Left(99).GetData(), L"abcdef");
    EXPECT_STREQ(t.Mid(2, 3).GetData(), L"cde");
    EXPECT_STREQ(t.Mid(4).GetData(), L"ef");
    EXPECT_STREQ(t.Mid(10).GetData(), L"");
    EXPECT_STREQ(t.Right(2).GetData(), L"ef");
    EXPECT_STREQ(t.Right(-1).GetData(), L"");
    EXPECT_EQ(t.GetAt(1), L'b');
    EXPECT_EQ(t[5], L'f');
    EXPECT_EQ(t[6], L'\0');
    EXPECT_EQ(t[-1], L'\0');
}

TEST(StdStringPtrMap, InsertRefusesPresentKeyAndFindIsExact) {
    CStdStringPtrMap map(83);
    int first = 1, second = 2;
    EXPECT_TRUE(map.Insert(L"Version", &first));
    EXPECT_FALSE(map.Insert(L"Version", &second));
    EXPECT_EQ(map.Find(L"Version"), &first);
    EXPECT_EQ(map.Find(L"version"), nullptr);
    EXPECT_EQ(map.Find(L"Versio"), nullptr);
    EXPECT_EQ(map.Find(nullptr), nullptr);
    EXPECT_FALSE(map.Insert(nullptr, &first));
    EXPECT_EQ(map.GetSize(), 1);
    EXPECT_EQ(map.Set(L"Version", &second), &first);
    EXPECT_EQ(map.Find(L"Version"), &second);
    EXPECT_TRUE(map.Remove(L"Version"));
    EXPECT_FALSE(map.Remove(L"Version"));
    EXPECT_EQ(map.Find(L"Version"), nullptr);
    EXPECT_EQ(map.GetSize(), 0);
}

TEST(StdStringPtrMap, ManyKeysInFewBucketsStayFindableAndIterable) {
    CStdStringPtrMap map(3);
    static int values[200];
    for (int i = 0; i < 200; ++i) ASSERT_TRUE(map.Insert((L"key" + std::to_wstring(i)).c_str(), &values[i]));
    EXPECT_EQ(map.GetSize(), 200);
    // Optimised look-ups reorder the buckets; every key must still map to its own value.
    for (int round = 0; round < 2; ++round) {
        for (int i = 199; i >= 0; --i) EXPECT_EQ(map.Find((L"key" + std::to_wstring(i)).c_str()), &values[i]);
    }
    int seen[200] = {};
    for (int i = 0; i < map.GetSize(); ++i) {
        const wchar_t* key = map.GetAt(i);
        ASSERT_NE(key, nullptr);
        const int* value = static_cast<const int*>(map.Find(key, false));
        ASSERT_NE(value, nullptr);
        ++seen[value - values];
    }
    for (int count : seen) EXPECT_EQ(count, 1);
    EXPECT_EQ(map.GetAt(200), nullptr);
    EXPECT_EQ(map.GetAt(-1), nullptr);
}
