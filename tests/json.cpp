// JSON reader: whole-document parses with their exact error texts, the string decoder,
// the store search scanner, urlEncode, and the depth bound.
#include "steam/json.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

namespace {

struct Parsed {
    bool ok;
    JsonValue root;
    std::string error;
    size_t pos;
};

Parsed parse(const std::string& text) {
    Parsed p;
    JsonParser jp(text);
    jp.skipWhitespace();
    p.ok = jp.parseValue(p.root);
    p.error = jp.error;
    p.pos = jp.pos;
    return p;
}

std::string readData(const std::string& name) {
    std::ifstream f(std::string(KB_TEST_DATA_DIR) + "/steam/" + name, std::ios::binary);
    std::stringstream ss;
    ss << f.rdbuf();
    return ss.str();
}

}  // namespace

TEST(Json, ErrorTexts) {
    struct Case {
        std::string text, error;
    };
    const Case CASES[] = {
        {"[1,]", "bad num"},
        {"[1", "unterminated arr"},
        {"[1,", ""},
        {"[", ""},
        {"[ 1 2]", "expect comma or bracket"},
        {"{", ""},
        {"{\"a\":1,", ""},
        {"{\"a\" 1}", "expect colon"},
        {"{\"a\"", "expect colon"},
        {"{\"a\":1 \"b\":2}", "expect comma or brace"},
        {"{\"a\":1", "unterminated obj"},
        {"{a:1}", "expect quote"},
        {"tru", "bad bool"},
        {"fals", "bad bool"},
        {"nul", "bad null"},
        {"-", "bad num value"},
        {"x", "bad num"},
        {"", "eof"},
        {" \t\r\n", "eof"},
        {"1e999", "bad num value"},
        {"\"abc", "unterminated string"},
        {"\"ab\\", "bad escape"},
        {"\"\\u12", "bad \\u"},
        {"\"\\u12zz\"", "bad \\u hex"},
        {"[\"a\",{\"b\":[tru]}]", "bad bool"},
    };
    for (const Case& c : CASES) {
        Parsed p = parse(c.text);
        EXPECT_FALSE(p.ok) << c.text;
        EXPECT_EQ(p.error, c.error) << c.text;
    }
}

TEST(Json, Values) {
    Parsed p = parse(" {\"a\":1,\"a\":2, \"s\":\"\\u00e9\\ud83d\\ude00\\x\\/\\n\", \"n\":null,"
                     "\"t\":true,\"f\":false,\"arr\":[1.5,-2e3,[]],\"o\":{}} trailing garbage");
    ASSERT_TRUE(p.ok) << p.error;
    const JsonValue& r = p.root;
    EXPECT_EQ(r.type, JsonType::Object);
    EXPECT_EQ(r.objectMembers.size(), 8u);
    ASSERT_NE(r.find("a"), nullptr);
    EXPECT_EQ(r.find("a")->numberValue, 1.0);
    EXPECT_EQ(r.find("missing"), nullptr);
    EXPECT_EQ(r.find("s")->stringValue, "\xC3\xA9\xED\xA0\xBD\xED\xB8\x80x/\n");
    EXPECT_EQ(r.find("n")->type, JsonType::Null);
    EXPECT_TRUE(r.find("t")->boolValue);
    EXPECT_EQ(r.find("f")->type, JsonType::Bool);
    EXPECT_FALSE(r.find("f")->boolValue);
    const JsonValue* arr = r.find("arr");
    ASSERT_EQ(arr->arrayItems.size(), 3u);
    EXPECT_EQ(arr->arrayItems[1].numberValue, -2000.0);
    EXPECT_EQ(arr->arrayItems[2].type, JsonType::Array);
    EXPECT_EQ(r.find("o")->type, JsonType::Object);
    EXPECT_EQ(r.find("s")->find("a"), nullptr);  // not an object

    EXPECT_EQ(parse("1.2.3").root.numberValue, 1.2);
    EXPECT_EQ(parse("+5").root.numberValue, 5.0);
    EXPECT_EQ(parse("\"\x01raw \xE4\xB8\xAD\"").root.stringValue, "\x01raw \xE4\xB8\xAD");
    Parsed k = parse("{\"k\\u0041\":1}");
    EXPECT_EQ(k.root.objectMembers[0].first, "kA");
}

TEST(Json, DepthBound) {
    const std::string ok = std::string(kJsonMaxDepth, '[') + std::string(kJsonMaxDepth, ']');
    EXPECT_TRUE(parse(ok).ok);
    for (const std::string open : {"[", "{\"a\":"}) {
        std::string deep;
        for (int i = 0; i < 100000; ++i) deep += open;
        Parsed p = parse(deep);
        EXPECT_FALSE(p.ok);
        EXPECT_EQ(p.error, "too deep");
    }
}

TEST(Json, RealAppDetails) {
    const std::string body = readData("appdetails_377530.json");
    ASSERT_FALSE(body.empty());
    Parsed p = parse(body);
    ASSERT_TRUE(p.ok) << p.error << " at " << p.pos;
    const JsonValue* app = p.root.find("377530");
    ASSERT_NE(app, nullptr);
    EXPECT_TRUE(app->find("success")->boolValue);
    EXPECT_EQ(app->find("data")->find("steam_appid")->numberValue, 377530.0);
}

TEST(JsonDecode, Escapes) {
    struct Case {
        std::string raw, decoded;
    };
    const Case CASES[] = {
        {"plain", "plain"},
        {"a\\\"b\\/c\\\\d", "a\"b/c\\d"},
        {"\\b\\f\\n\\r\\t", "\b\f\n\r\t"},
        {"\\u00e9", "\xC3\xA9"},
        {"\\u4E2D", "\xE4\xB8\xAD"},
        {"\\u0041\\u0000", std::string("A\0", 2)},
        {"\\u12", "u12"},
        {"\\u00zz", std::string("\0", 1)},
        {"\\q", "q"},
        {"end\\", "end\\"},
        {"\\ud83d\\ude00", "\xED\xA0\xBD\xED\xB8\x80"},
    };
    for (const Case& c : CASES) EXPECT_EQ(decodeJsonString(c.raw), c.decoded) << c.raw;
}

TEST(JsonScan, SteamItems) {
    using Items = std::vector<std::pair<std::string, int32_t>>;
    struct Case {
        std::string json;
        Items items;
    };
    const Case CASES[] = {
        {"{\"total\":1,\"items\":[{\"type\":\"app\",\"name\":\"A\\u00e9\",\"id\":10},{\"name\":\"\",\"id\":5},{\"id\":7}]}",
         {{"A\xC3\xA9", 10}}},
        {"{\"items\":[]}", {}},
        {"{\"total\":0}", {}},
        {"{\"items\":", {}},
        {"{\"items\": [ {\"name\" :\t\"x\\\"}y\", \"id\": 4294967295}, {\"name\":\"no id\"} ,{\"id\":\"12\",\"name\":\"q\"}",
         {{"x\"}y", -1}, {"no id", 0}, {"q", 0}}},
        {"{\"items\":[{\"name\":\"cut", {{"cut", 0}}},
        {"{\"items\":[{\"name\":\"a\",\"id\":1}], \"more\":[{\"name\":\"b\",\"id\":2}]}", {{"a", 1}}},
    };
    for (const Case& c : CASES) {
        Items items;
        extractAllSteamItems(c.json, items);
        EXPECT_EQ(items, c.items) << c.json;
    }
}

TEST(JsonScan, RealStoreSearch) {
    std::vector<std::pair<std::string, int32_t>> items;
    extractAllSteamItems(readData("storesearch_csgo_schinese.json"), items);
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].second, 730);
    EXPECT_FALSE(items[0].first.empty());
}

TEST(JsonUrl, Encode) {
    EXPECT_EQ(urlEncode("a b\xE4\xB8\xAD"), "a%20b%E4%B8%AD");
    EXPECT_EQ(urlEncode("AZaz09-._~"), "AZaz09-._~");
    EXPECT_EQ(urlEncode("&=+/?#%"), "%26%3D%2B%2F%3F%23%25");
    EXPECT_EQ(urlEncode(std::string("\0\xFF", 2)), "%00%FF");
}
