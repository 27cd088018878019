#include "duilib/UIMarkup.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

namespace {

const char kConfig[] =
    "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"utf-8\"?>\n"
    "<!-- launcher settings -->\n"
    "<Update>\n"
    "  <Game>qemox</Game>\n"
    "  <Title></Title>\n"
    "  <ExitSTR>B\xE1\xBA\xA1n mu\xE1\xBB\x91n tho\xC3\xA1t kh\xC3\xB4ng?</ExitSTR>\n"
    "  <Btn1 kind='link'>http://a/?x=1&amp;y=&#50;&#x33;<Inner>no</Inner></Btn1>\n"
    "  <Raw><![CDATA[<b>&amp;</b>]]></Raw>\n"
    "  <?pi ignored?>\n"
    "</Update>\n";

bool LoadUtf8(CMarkup& markup, const std::string& text) {
    return markup.LoadFromMem(reinterpret_cast<const unsigned char*>(text.data()), text.size());
}

// Every element of the document, depth first; checks the links on the way.
int CountNodes(const CMarkupNode& node, int depth) {
    EXPECT_LT(depth, 1000);
    int count = 1;
    EXPECT_NE(node.GetName(), nullptr);
    EXPECT_NE(node.GetName()[0], L'\0');
    for (CMarkupNode child = node.GetChild(); child.IsValid(); child = child.GetSibling()) {
        EXPECT_STREQ(child.GetParent().GetName(), node.GetName());
        count += CountNodes(child, depth + 1);
    }
    return count;
}

}  // namespace

TEST(Markup, ReadsConfigurationDocument) {
    CMarkup markup;
    ASSERT_TRUE(LoadUtf8(markup, kConfig));
    ASSERT_TRUE(markup.IsValid());
    const CMarkupNode root = markup.GetRoot();
    EXPECT_STREQ(root.GetName(), L"Update");
    EXPECT_FALSE(root.GetParent().IsValid());

    std::vector<std::wstring> names;
    for (CMarkupNode n = root.GetChild(); n.IsValid(); n = n.GetSibling()) names.push_back(n.GetName());
    EXPECT_EQ(names, (std::vector<std::wstring>{L"Game", L"Title", L"ExitSTR", L"Btn1", L"Raw"}));

    EXPECT_STREQ(root.GetChild(L"Game").GetValue(), L"qemox");
    EXPECT_STREQ(root.GetChild(L"Title").GetValue(), L"");
    EXPECT_STREQ(root.GetChild(L"ExitSTR").GetValue(), L"B\u1EA1n mu\u1ED1n tho\u00E1t kh\u00F4ng?");
    const CMarkupNode btn = root.GetChild(L"Btn1");
    EXPECT_STREQ(btn.GetValue(), L"http://a/?x=1&y=23");  // the nested element's text is not included
    EXPECT_STREQ(btn.GetChild().GetName(), L"Inner");
    EXPECT_TRUE(btn.HasChildren());
    EXPECT_FALSE(root.GetChild(L"Game").HasChildren());
    EXPECT_STREQ(root.GetChild(L"Raw").GetValue(), L"<b>&amp;</b>");
    EXPECT_FALSE(root.GetChild(L"game").IsValid());
    EXPECT_FALSE(root.GetChild(L"Inner").IsValid());  // only direct children
}

TEST(Markup, ReadsAttributesAndWideText) {
    CMarkup markup(L"<Window size=\"1100,550\" caption='0,0,0,30'><Font name=\"&quot;a&apos;\" id=\"0\"/></Window>");
    ASSERT_TRUE(markup.IsValid());
    const CMarkupNode root = markup.GetRoot();
    EXPECT_EQ(root.GetAttributeCount(), 2);
    EXPECT_STREQ(root.GetAttributeName(0), L"size");
    EXPECT_STREQ(root.GetAttributeValue(0), L"1100,550");
    EXPECT_STREQ(root.GetAttributeValue(L"caption"), L"0,0,0,30");
    EXPECT_EQ(root.GetAttributeValue(L"Caption"), nullptr);
    EXPECT_EQ(root.GetAttributeValue(5), nullptr);
    EXPECT_TRUE(root.HasAttribute(L"size"));
    EXPECT_FALSE(root.HasAttribute(L"missing"));
    EXPECT_STREQ(root.GetChild(L"Font").GetAttributeValue(L"name"), L"\"a'");

    // The same document as UTF-16 bytes.
    const std::u16string text = u"\xFEFF<a x=\"\u5FAE\u8F6F\"/>";
    CMarkup utf16;
    ASSERT_TRUE(utf16.LoadFromMem(reinterpret_cast<const unsigned char*>(text.data()), text.size() * 2,
                                  XMLFILE_ENCODING_UNICODE));
    EXPECT_STREQ(utf16.GetRoot().GetAttributeValue(L"x"), L"\u5FAE\u8F6F");
}

TEST(Markup, RefusesDocumentsThatAreNotWellFormed) {
    const char* const damaged[] = {
        "",
        "   ",
        "plain text",
        "<a>",
        "<a></b>",
        "<a><b></a></b>",
        "<a/><b/>",
        "<a/>trailing",
        "<a>&unknown;</a>",
        "<a>&amp</a>",
        "<a>&#0;</a>",
        "<a>&#xD800;</a>",
        "<a>&#x110000;</a>",
        "<a>&#;</a>",
        "<a x=\"1\" x=\"2\"/>",
        "<a x=\"<\"/>",
        "<a x=1/>",
        "<a x=\"1\"y=\"2\"/>",
        "<a x=\"unterminated/>",
        "<!DOCTYPE a [<!ENTITY e \"x\">]><a>&e;</a>",
        "<a><!-- unterminated </a>",
        "<a><!-- a -- b --></a>",
        "<a><![CDATA[ open </a>",
        "<a>]]></a>",
        "<1a/>",
        "< a/>",
        "<a>\x01</a>",
        "<a>\xC0\xAF</a>",           // overlong UTF-8
        "<a>\xE4\xB8</a>",           // truncated UTF-8
        "<a>\xED\xA0\x80</a>",       // encoded surrogate
        "<a>\xFF</a>",
        "<?xml version=\"1.0\"",
    };
    for (const char* text : damaged) {
        CMarkup markup;
        EXPECT_FALSE(LoadUtf8(markup, text)) << text;
        EXPECT_FALSE(markup.IsValid()) << text;
        EXPECT_FALSE(markup.GetRoot().IsValid()) << text;
        EXPECT_EQ(markup.GetRoot().GetName(), nullptr);
        EXPECT_EQ(markup.GetRoot().GetAttributeValue(L"x"), nullptr);
    }
    CMarkup markup;
    EXPECT_FALSE(markup.Load(nullptr));
    EXPECT_FALSE(markup.LoadFromMem(nullptr, 10));
}

TEST(Markup, EveryTruncationOfAValidDocumentFailsCleanly) {
    const std::string text = kConfig;
    const size_t end = text.rfind('>') + 1;
    for (size_t length = 0; length < end; ++length) {
        CMarkup markup;
        EXPECT_FALSE(LoadUtf8(markup, text.substr(0, length))) << length;
    }
    CMarkup markup;
    EXPECT_TRUE(LoadUtf8(markup, text.substr(0, end)));
}

TEST(Markup, NestingAndSizeAreBounded) {
    std::string deep;
    for (int i = 0; i < 190; ++i) deep += "<n>";
    for (int i = 0; i < 190; ++i) deep += "</n>";
    CMarkup ok;
    EXPECT_TRUE(LoadUtf8(ok, deep));
    EXPECT_EQ(CountNodes(ok.GetRoot(), 0), 190);

    std::string tooDeep;
    for (int i = 0; i < 100000; ++i) tooDeep += "<n>";
    for (int i = 0; i < 100000; ++i) tooDeep += "</n>";
    CMarkup refused;
    EXPECT_FALSE(LoadUtf8(refused, tooDeep));

    std::string huge = "<a>" + std::string(dui::kMaxXmlBytes, 'x') + "</a>";
    CMarkup big;
    EXPECT_FALSE(LoadUtf8(big, huge));
}

TEST(Markup, MutatedDocumentsNeverBreakTheTree) {
    // Deterministic byte mutations of a valid document: whatever loads must be a sound tree.
    uint32_t seed = 12345;
    auto next = [&seed]() { return seed = seed * 1103515245u + 12345u; };
    const std::string original = kConfig;
    int loaded = 0;
    for (int round = 0; round < 3000; ++round) {
        std::string text = original;
        const int edits = 1 + static_cast<int>(next() % 4);
        for (int e = 0; e < edits; ++e) {
            const size_t pos = next() % text.size();
            switch (next() % 3) {
            case 0: text[pos] = static_cast<char>(next() >> 16); break;
            case 1: text.erase(pos, 1 + next() % 8); break;
            default: text.insert(pos, 1, "<>&/\"'=![]-?"[next() % 12]); break;
            }
        }
        CMarkup markup;
        if (LoadUtf8(markup, text)) {
            ++loaded;
            EXPECT_GE(CountNodes(markup.GetRoot(), 0), 1);
        } else {
            EXPECT_FALSE(markup.GetRoot().IsValid());
        }
    }
    EXPECT_GT(loaded, 0);
}
