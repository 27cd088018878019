#include <gtest/gtest.h>

#include "engine/view/ScriptValues.h"

namespace {

Json Remote(const char* text) { return Json::Parse(text, strlen(text)); }

TEST(ScriptValues, RemoteObjectsBecomeValuesWithTheirTexts) {
    ScriptValue s = ValueFromRemoteObject(Remote(R"({"type":"string","value":"h\u00e9"})"));
    EXPECT_EQ(s.kind, ScriptValue::Kind::String);
    EXPECT_EQ(s.text, L"h\u00e9");
    ScriptValue n = ValueFromRemoteObject(Remote(R"({"type":"number","value":42,"description":"42"})"));
    EXPECT_EQ(n.kind, ScriptValue::Kind::Number);
    EXPECT_EQ(ValueText(n), L"42");
    ScriptValue nan = ValueFromRemoteObject(Remote(R"({"type":"number","unserializableValue":"NaN"})"));
    EXPECT_EQ(ValueText(nan), L"NaN");
    EXPECT_EQ(ValueText(ValueFromRemoteObject(Remote(R"({"type":"undefined"})"))), L"undefined");
    EXPECT_EQ(ValueText(ValueFromRemoteObject(Remote(R"({"type":"object","subtype":"null","value":null})"))), L"null");
    EXPECT_EQ(ValueFromRemoteObject(Remote(R"({"type":"object","description":"Window"})")).kind,
              ScriptValue::Kind::Object);
}

TEST(ScriptValues, StoreRecyclesOldValuesWithoutConfusingThem) {
    ScriptValueStore store;
    ScriptValue v;
    v.kind = ScriptValue::Kind::String;
    v.text = L"first";
    const int64_t first = store.Add(v);
    ASSERT_NE(store.Find(first), nullptr);
    EXPECT_EQ(store.Find(first)->text, L"first");
    EXPECT_EQ(store.Find(0), nullptr) << "0 is undefined";
    EXPECT_EQ(store.Find(first + 1), nullptr) << "a value never made";
    for (size_t i = 0; i < ScriptValueStore::kCapacity; ++i) store.Add(ScriptValue());
    EXPECT_EQ(store.Find(first), nullptr) << "a recycled slot must not answer for its old value";
}

TEST(ScriptValues, LiteralsQuoteTextSafely) {
    ScriptValue s;
    s.kind = ScriptValue::Kind::String;
    s.text = L"a'b\"c</script>\n";
    EXPECT_EQ(ScriptLiteral(s), "\"a'b\\\"c</script>\\n\"");
    ScriptValue g;
    g.kind = ScriptValue::Kind::Global;
    g.name = "x\"]";
    EXPECT_EQ(ScriptLiteral(g), "globalThis[\"x\\\"]\"]");
    ScriptValue n;
    n.kind = ScriptValue::Kind::Number;
    n.number = 1.5;
    EXPECT_EQ(ScriptLiteral(n), "1.5");
    EXPECT_EQ(ScriptLiteral(ScriptValue()), "undefined");
}

TEST(ScriptValues, ArgumentsFromThePageKeepTheirTypes) {
    EXPECT_EQ(ValueFromArgument(Remote(R"({"t":"string","s":"x"})")).kind, ScriptValue::Kind::String);
    ScriptValue n = ValueFromArgument(Remote(R"({"t":"number","s":"2.5"})"));
    EXPECT_EQ(n.kind, ScriptValue::Kind::Number);
    EXPECT_DOUBLE_EQ(n.number, 2.5);
    EXPECT_EQ(ValueFromArgument(Remote(R"({"t":"object","s":"null","n":true})")).kind, ScriptValue::Kind::Null);
    EXPECT_EQ(ValueFromArgument(Remote(R"({"t":"object","s":"null"})")).kind, ScriptValue::Kind::Object);
    EXPECT_NE(BindingInstallScript("Load\"Game").find("\"Load\\\"Game\""), std::string::npos);
}

}  // namespace
