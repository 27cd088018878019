#include <gtest/gtest.h>

#include <string>

#include "engine/devtools/Json.h"

namespace {

Json ParseText(const std::string& text, bool* ok = nullptr) { return Json::Parse(text.data(), text.size(), ok); }

TEST(Json, ParsesADevToolsMessageAndReadsItsMembers) {
    bool ok = false;
    Json m = ParseText(R"({"id":7,"result":{"value":"a\"b","list":[1,2.5,-3e2],"flag":true,"none":null}})", &ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(m["id"].AsInt(), 7);
    EXPECT_EQ(m["result"]["value"].AsString(), "a\"b");
    EXPECT_EQ(m["result"]["list"].Size(), 3u);
    EXPECT_DOUBLE_EQ(m["result"]["list"].At(1).AsNumber(), 2.5);
    EXPECT_DOUBLE_EQ(m["result"]["list"].At(2).AsNumber(), -300);
    EXPECT_TRUE(m["result"]["flag"].AsBool());
    EXPECT_TRUE(m["result"]["none"].IsNull());
    EXPECT_TRUE(m["missing"]["deeper"].IsNull());
    EXPECT_TRUE(m["result"]["list"].At(9).IsNull());
}

TEST(Json, DecodesEscapesAndSurrogatePairsToUtf8) {
    Json s = ParseText(R"("\u00e9\ud83d\ude00\n\t\/")");
    EXPECT_EQ(s.AsString(), "\xC3\xA9\xF0\x9F\x98\x80\n\t/");
    EXPECT_EQ(ParseText(R"("\ud800x")").AsString(), "\xEF\xBF\xBDx") << "a lone surrogate becomes U+FFFD";
}

TEST(Json, RefusesBrokenAndHostileText) {
    for (const char* bad : {"", "{", "[1,]", "{\"a\" 1}", "\"unterminated", "tru", "{\"a\":1} x", "\"\\q\""}) {
        bool ok = true;
        EXPECT_TRUE(ParseText(bad, &ok).IsNull()) << bad;
        EXPECT_FALSE(ok) << bad;
    }
    bool ok = true;
    ParseText(std::string(100000, '['), &ok);
    EXPECT_FALSE(ok) << "deep nesting is refused, not recursed into";
}

TEST(Json, ParsesWithinABudgetOfAFewTimesTheTextAndRefusesWhatWouldNeedMore) {
    // A console message with a deep stack: many small values, within the budget of its size.
    std::string frames;
    for (int i = 0; i < 200; ++i)
        frames += (i ? "," : "") + std::string(R"({"functionName":"f)") + std::to_string(i) +
                  R"(","scriptId":"12","url":"http://127.0.0.1:18480/game.html","lineNumber":40,"columnNumber":12})";
    const std::string console = R"({"method":"Runtime.consoleAPICalled","params":{"type":"log","stackTrace":)"
                                R"({"callFrames":[)" + frames + "]}}}";
    bool ok = false;
    size_t used = 0;
    Json m = Json::Parse(console.data(), console.size(), Json::BudgetFor(console.size()), &ok, &used);
    ASSERT_TRUE(ok);
    EXPECT_EQ(m["params"]["stackTrace"]["callFrames"].Size(), 200u);
    EXPECT_LE(used, Json::BudgetFor(console.size()).maxBytes);

    // A giant string costs about its length, once.
    const std::string big = "{\"v\":\"" + std::string(8u << 20, 'x') + "\"}";
    Json b = Json::Parse(big.data(), big.size(), Json::BudgetFor(big.size()), &ok, &used);
    ASSERT_TRUE(ok);
    EXPECT_EQ(b["v"].AsString().size(), 8u << 20);
    EXPECT_LT(used, big.size() + 4096);

    // Values packed tight, as a page's script result or console line can be, would need many
    // times their text: refused before they are built, whatever their kind.
    for (const char* item : {"0,", "[],", "{\"a\":0},", "\"\","}) {
        std::string dense = "[";
        while (dense.size() < (4u << 20)) dense += item;
        dense += "0]";
        ParseText(dense, &ok);
        EXPECT_FALSE(ok) << item;
    }
    // An explicit budget is what counts: three values where two are allowed.
    Json::Parse("[1,2]", 5, JsonBudget{2, 1u << 20}, &ok, &used);
    EXPECT_FALSE(ok);
    EXPECT_EQ(used, 0u);
}

TEST(Json, SerialisesWhatItParsesAndQuotesForScripts) {
    Json o = Json::Object();
    o.Set("text", "line\nquote\"back\\slash\x01").Set("n", 42).Set("f", 0.5).Set("list", Json::Array().Push(true).Push(nullptr));
    std::string text = o.Serialize();
    bool ok = false;
    Json back = ParseText(text, &ok);
    ASSERT_TRUE(ok) << text;
    EXPECT_EQ(back["text"].AsString(), "line\nquote\"back\\slash\x01");
    EXPECT_EQ(back["n"].AsInt(), 42);
    EXPECT_EQ(text.find("42.0"), std::string::npos);
    EXPECT_DOUBLE_EQ(back["f"].AsNumber(), 0.5);
    EXPECT_EQ(JsonQuote("a\xE2\x80\xA8" "b"), "\"a\\u2028b\"") << "a line separator would end a script line";
}

}  // namespace
